#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <vector>

#include "state/installer_info.h"
#include "ui/install_run.h"

namespace {

TEST(ProgressState, MovesOnlyForwardAndStopsAtHundred) {
  struct Step {
    int percent;
    bool shown;
    int value;
    int last;
  } steps[] = {{0, false, 0, 0},     {-5, false, 0, 0},     {10, true, 10, 10},     {10, false, 0, 10},
               {7, false, 0, 10},    {55, true, 55, 55},    {150, true, 100, 150},  {120, false, 0, 150},
               {151, true, 100, 151}};
  CProgressState state;
  for (const Step& s : steps) {
    int shown = -1;
    EXPECT_EQ(state.Advance(s.percent, shown), s.shown) << s.percent;
    if (s.shown) {
      EXPECT_EQ(shown, s.value) << s.percent;
    }
    EXPECT_EQ(state.Last(), s.last) << s.percent;
  }
}

TEST(InstallDuration, OnlyWhenTheClockAdvanced) {
  DWORD d = 0;
  EXPECT_TRUE(InstallDuration(1000, 4500, d));
  EXPECT_EQ(d, 3500u);
  d = 7;
  EXPECT_FALSE(InstallDuration(1000, 1000, d));
  EXPECT_FALSE(InstallDuration(0xFFFFFF00u, 0x10u, d));  // wrapped round
  EXPECT_EQ(d, 7u);
}

// A message-only window that records the finished message.
class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { DestroyWindow(window_); }

  // Pumps until the finished message arrives (or 10 s pass); returns its wParam, -1 on timeout.
  int WaitFinished() {
    const DWORD until = GetTickCount() + 10000;
    MSG msg;
    while (GetTickCount() < until) {
      while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
        if (msg.message == kInstallFinishedMessage) return static_cast<int>(msg.wParam);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return -1;
  }

  HWND window_ = nullptr;
};

TEST_F(WorkerTest, RunsTheStageInItsOwnApartmentAndPostsTheResult) {
  CInstallerInfo info;
  info.SetInfoNumber(II_PHASE, 1);
  DWORD stage_thread = 0;
  HRESULT apartment = E_FAIL;
  unsigned long long phase = 0;
  CInstallWorker worker;
  ASSERT_TRUE(worker.Start(window_, info, [&] {
    stage_thread = GetCurrentThreadId();
    info.GetInfoNumber(II_PHASE, phase);
    // An apartment-threaded apartment already exists: a second request for one only adds a
    // reference, a request for the multithreaded one is refused.
    apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(apartment)) CoUninitialize();
    return 2;
  }));
  EXPECT_TRUE(worker.Running());
  EXPECT_FALSE(worker.Start(window_, info, [] { return 0; })) << "one run at a time";
  EXPECT_EQ(WaitFinished(), 2);
  EXPECT_TRUE(worker.WaitForEnd(5000));
  EXPECT_NE(stage_thread, GetCurrentThreadId());
  EXPECT_EQ(apartment, RPC_E_CHANGED_MODE);
  EXPECT_EQ(phase, 2u);
  EXPECT_TRUE(worker.Running()) << "until the window has handled the message";
  worker.Finished();
  EXPECT_FALSE(worker.Running());
  ASSERT_TRUE(worker.Start(window_, info, [] { return 0; }));
  EXPECT_EQ(WaitFinished(), 0);
  worker.Finished();
}

TEST_F(WorkerTest, WaitForEndIsBounded) {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CInstallerInfo info;
  CInstallWorker worker;
  EXPECT_TRUE(worker.WaitForEnd(0)) << "nothing started";
  ASSERT_TRUE(worker.Start(window_, info, [&] {
    WaitForSingleObject(release, 10000);
    return 0;
  }));
  EXPECT_FALSE(worker.WaitForEnd(100));
  SetEvent(release);
  EXPECT_TRUE(worker.WaitForEnd(5000));
  CloseHandle(release);
}

}  // namespace
