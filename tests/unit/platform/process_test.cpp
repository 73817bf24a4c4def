// Process services with real processes: copies of tz_testproc.exe under names unique to this run,
// so finding and killing can only reach our own helpers.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/handles.h"
#include "platform_test_support.h"

namespace tz {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using test::HelperPath;

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

class ProcessTest : public test::ScratchDirTest {
 protected:
  void TearDown() override {
    for (UniqueHandle& process : spawned_) {
      TerminateProcess(process.Get(), 0);
      WaitForSingleObject(process.Get(), 2000);
    }
    ScratchDirTest::TearDown();
  }
  std::wstring Name(const wchar_t* tag) const {
    return L"tzp" + std::to_wstring(GetCurrentProcessId()) + L"_" + tag + L".exe";
  }
  // A copy of the helper as <folder>\<name>.
  std::wstring Copy(const std::wstring& folder, const std::wstring& name) {
    CreateDirectoryW(Path(folder).c_str(), nullptr);
    const std::wstring target = Path(folder + L"\\" + name);
    EXPECT_TRUE(CopyFileW(HelperPath(L"tz_testproc.exe").c_str(), target.c_str(), FALSE));
    return target;
  }
  // Starts a long sleeper, ended after the test whatever happens.
  DWORD Spawn(const std::wstring& exe) {
    std::wstring command = L"\"" + exe + L"\" /sleep:30000";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);
    spawned_.emplace_back(info.hProcess);
    return info.dwProcessId;
  }
  bool Ended(size_t index) const { return WaitForSingleObject(spawned_[index].Get(), 0) == WAIT_OBJECT_0; }

  std::vector<UniqueHandle> spawned_;
};

TEST(SystemInfoTest, Wow64VersionAndPrivileges) {
  // Only a 32-bit process on 64-bit Windows is given %ProgramW6432%.
  EXPECT_EQ(IsWow64(), GetEnvironmentVariableW(L"ProgramW6432", nullptr, 0) > 0);
  DWORD major = 0, minor = 0, build = 0;
  ASSERT_TRUE(GetWindowsVersion(major, minor, build));
  EXPECT_GE(major, 5u);
  EXPECT_GT(build, 0u);
  EXPECT_TRUE(EnablePrivilege(SE_SHUTDOWN_NAME));
  EXPECT_FALSE(EnablePrivilege(L"SeNoSuchPrivilege"));
}

TEST(DevicePathTest, MapsDeviceNamesToDrives) {
  const std::wstring drive = test::ProgramDirectory().substr(0, 2);
  wchar_t device[MAX_PATH] = {}, windir[MAX_PATH] = {};
  ASSERT_GT(QueryDosDeviceW(drive.c_str(), device, MAX_PATH), 0u);
  ASSERT_GT(GetWindowsDirectoryW(windir, MAX_PATH), 0u);
  const std::wstring dev = device;
  const struct {
    std::wstring device_path, drive_path;
  } cases[] = {
      {dev + L"\\dir\\app.exe", drive + L"\\dir\\app.exe"},
      {Upper(dev) + L"\\app.exe", drive + L"\\app.exe"},
      {dev + L"0\\app.exe", L""},  // the device name ends at a separator: Volume2 is not Volume20
      {L"\\SystemRoot\\System32\\smss.exe", windir + std::wstring(L"\\System32\\smss.exe")},
      {L"\\??\\C:\\x.exe", L"C:\\x.exe"},
      {L"\\Device\\TzNoSuchDevice\\x.exe", L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DevicePathToDrivePath(c.device_path), c.drive_path) << testing::PrintToString(c.device_path);
}

TEST_F(ProcessTest, FindProcessByNameAndDirectory) {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::wstring image;
  ASSERT_TRUE(GetProcessImagePath(GetCurrentProcessId(), image));
  EXPECT_EQ(Upper(image), Upper(own));

  const std::wstring name = Name(L"find");
  const DWORD a = Spawn(Copy(L"a", name));
  const DWORD b = Spawn(Copy(L"b", name));
  const DWORD any = FindProcess(Upper(name), L"");
  EXPECT_TRUE(any == a || any == b);
  EXPECT_EQ(FindProcess(name, Path(L"a")), a);
  EXPECT_EQ(FindProcess(Upper(name), Upper(Path(L"b"))), b);
  EXPECT_EQ(FindProcess(name, Path(L"a\\")), 0u) << "the compared directory has no trailing backslash";
  EXPECT_EQ(FindProcess(Name(L"absent"), L""), 0u);
  EXPECT_EQ(FindProcess(L"", L""), 0u);
}

TEST_F(ProcessTest, KillProcessesEndsEveryInstanceAndSleepsOnce) {
  const std::wstring name = Name(L"kill");
  Spawn(Copy(L"a", name));
  Spawn(Copy(L"b", name));
  Spawn(Copy(L"c", name));
  EXPECT_TRUE(KillProcesses(name, Path(L"c")));
  EXPECT_TRUE(Ended(2));
  EXPECT_FALSE(Ended(0));
  const auto start = Clock::now();
  EXPECT_TRUE(KillProcesses(Upper(name), L""));
  const auto elapsed = Clock::now() - start;
  EXPECT_TRUE(Ended(0) && Ended(1));
  EXPECT_TRUE(elapsed >= milliseconds(1000) && elapsed < milliseconds(1900)) << "one pause, not one per process";
  const auto none = Clock::now();
  EXPECT_FALSE(KillProcesses(name, L""));
  EXPECT_LT(Clock::now() - none, milliseconds(900));
}

TEST_F(ProcessTest, KillFirstByNamesEndsFirstProcessOfEachName) {
  const std::wstring twice = Name(L"twice"), once = Name(L"once");
  Spawn(Copy(L"a", twice));
  Spawn(Copy(L"b", twice));
  Spawn(Copy(L"a", once));
  EXPECT_EQ(KillFirstByNames({Name(L"absent"), twice, once}), 2u);
  EXPECT_NE(Ended(0), Ended(1));
  EXPECT_TRUE(Ended(2));
}

TEST_F(ProcessTest, KillingNeverReachesThisProcess) {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  const std::wstring path = own;
  const size_t cut = path.rfind(L'\\');
  // Still running afterwards is what counts.
  EXPECT_FALSE(KillProcesses(path.substr(cut + 1), path.substr(0, cut)));
  EXPECT_EQ(KillFirstByNames({path.substr(cut + 1)}), 0u);
}

TEST_F(ProcessTest, StartProcessWaitsWithTimeout) {
  DWORD code = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(StartProcess(HelperPath(L"tz_testproc.exe"), L"/sleep:300 /exit:7", false, true, 0, L"", &code));
  EXPECT_EQ(code, 7u);
  EXPECT_GE(Clock::now() - start, milliseconds(250)) << "timeout 0 waits until the end";
  ASSERT_TRUE(StartProcess(Copy(L"t", Name(L"slow")), L"/sleep:30000", false, true, 400, L"", &code));
  EXPECT_EQ(code, kStillRunning);
  EXPECT_TRUE(KillProcesses(Name(L"slow"), L""));
  code = 12345;
  EXPECT_FALSE(StartProcess(L"", L"", true, true, 0, L"", &code));
  EXPECT_FALSE(StartProcess(Path(L"missing.exe"), L"-a", true, true, 0, L"", &code));
  EXPECT_EQ(code, 12345u);
}

TEST_F(ProcessTest, StartProcessCommandLine) {
  const std::wstring exe = HelperPath(L"tz_testproc.exe");
  const std::wstring quoted = Path(L"quoted.txt"), bare = Path(L"bare.txt"), cut = Path(L"cut.txt");
  ASSERT_TRUE(StartProcess(exe, L"/record:" + quoted, true, true, 0, dir_, nullptr));
  EXPECT_EQ(test::ReadUtf16(quoted), L"\"" + exe + L"\" /record:" + quoted + L"\n" + dir_);
  // Without arguments a path with a blank is quoted: "<dir>\Tz.exe" must not run in place of a
  // program in "<dir>\Tz App".
  ASSERT_TRUE(CopyFileW(exe.c_str(), Path(L"Tz.exe").c_str(), FALSE));
  EXPECT_FALSE(StartProcess(Path(L"Tz App\\missing.exe"), L"", true, true, 0, L"", nullptr));
  EXPECT_FALSE(StartProcess(exe + L" /record:" + bare, L"", true, true, 0, L"", nullptr));
  ASSERT_TRUE(StartProcess(exe, L"/record:" + cut + L" " + std::wstring(1000, L'x'), false, true, 0, L"", nullptr));
  EXPECT_EQ(test::ReadUtf16(cut).find(L'\n'), 779u);
}

TEST_F(ProcessTest, StartMediumIntegrity) {
  const std::wstring record = Path(L"medium.txt");
  const std::wstring head = L"\"" + HelperPath(L"tz_testproc.exe") + L"\" /record:" + record + L" ";
  EXPECT_FALSE(StartMediumIntegrity(head + std::wstring(1024 - head.size(), L'x')));
  EXPECT_FALSE(StartMediumIntegrity(L""));
  Sleep(300);
  EXPECT_FALSE(test::Exists(record)) << "nothing was started";
  if (!StartMediumIntegrity(head + std::wstring(1023 - head.size(), L'x'))) {
    if (test::RunningOnWine()) GTEST_SKIP() << "this Wine cannot start a process with a medium-integrity token";
    FAIL() << "error " << GetLastError();
  }
  for (int i = 0; i < 50 && test::ReadUtf16(record).empty(); ++i) Sleep(100);
  EXPECT_FALSE(test::ReadUtf16(record).empty());
}

}  // namespace
}  // namespace tz
