// The `extract` action through the dispatcher, with the archives of the extraction tests: what the
// window is told while the items come out, and what a locked target leaves behind (the reboot
// option, the pending files and the prefix's real PendingFileRenameOperations, saved and restored).
// Log lines, result codes and files of whole installs are checked by the e2e scenarios.
#include <gtest/gtest.h>

#include <set>

#include "../extract/extract_test_support.h"
#include "core/engine.h"
#include "state/ui_host.h"

namespace {

using namespace extract_test;

class StatusRecorder final : public IInstallStatusCallback {
 public:
  void Progress(int percent) override { events.push_back(L"progress:" + std::to_wstring(percent)); }
  void ActionText(const std::wstring& text) override { events.push_back(L"text:" + text); }
  void ExtractedFile(const std::wstring& path) override { events.push_back(L"file:" + path); }
  std::vector<std::wstring> events;
};

class ExtractActionTest : public ExtractFixture {
 protected:
  void SetUp() override {
    ExtractFixture::SetUp();
    SetUIHost(nullptr, &status_, UI_NOTIFY_PROGRESS | UI_NOTIFY_EXTRACTED_FILE);
    ASSERT_TRUE(pending_.IsOpen());
  }
  void TearDown() override {
    ClearUIHost();
    if (lock_ != INVALID_HANDLE_VALUE) CloseHandle(lock_);
    ExtractFixture::TearDown();
  }

  // Runs an extract item through the dispatcher of this test's run.
  int RunExtract(const std::wstring& archive, int32_t start, int32_t end) {
    ActionRecord item;
    item.id = next_id_++;
    item.type = ACT_EXTRACT;
    item.value = Fixture(archive);
    item.path = target_;
    item.start = start;
    item.end = end;
    EXPECT_TRUE(engine_.run.actions.Add(item));
    return engine_.actions.Execute(item.id);
  }

  void Lock(const std::wstring& path, DWORD share) {
    WriteBytes(path, "old content");
    lock_ = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock_, INVALID_HANDLE_VALUE);
  }

  std::wstring Scheduled() { return pending_.Raw(); }

  CEngine engine_;  // a fresh run for every test
  uint32_t next_id_ = 7000;
  StatusRecorder status_;
  PendingRenameSnapshot pending_;
  HANDLE lock_ = INVALID_HANDLE_VALUE;
};

uint64_t SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

TEST_F(ExtractActionTest, EveryItemMovesTheBarByItsShareOfTheRange) {
  ASSERT_EQ(RunExtract(L"payload.7z", 10, 60), ACTION_DONE);
  const auto& ev = status_.events;
  ASSERT_GE(ev.size(), 4u);
  EXPECT_EQ(ev.front(), L"progress:10");
  EXPECT_EQ(ev.back(), L"progress:60");

  // Between the two: one position and one file report per item, the position covering the
  // bytes of every item begun so far (directories count 0).
  std::vector<std::wstring> files;
  std::vector<int> positions;
  for (size_t i = 1; i + 1 < ev.size(); i += 2) {
    ASSERT_EQ(ev[i].rfind(L"progress:", 0), 0u) << i;
    ASSERT_EQ(ev[i + 1].rfind(L"file:", 0), 0u) << i;
    positions.push_back(std::stoi(ev[i].substr(9)));
    files.push_back(ev[i + 1].substr(5));
  }
  ASSERT_EQ(files.size(), 12u);
  uint64_t total = 0;
  for (const auto& f : files) total += SizeOf(f);
  uint64_t begun = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(files[i].rfind(target_, 0), 0u) << files[i];
    begun += SizeOf(files[i]);
    EXPECT_EQ(positions[i], 10 + static_cast<int>(begun * 50 / total)) << files[i];
  }
  EXPECT_EQ(positions.back(), 60);
}

TEST_F(ExtractActionTest, WithoutBothEndsOrWithoutBytesOnlyTheDispatcherReports) {
  ASSERT_EQ(RunExtract(L"payload.7z", 5, -1), ACTION_DONE);
  EXPECT_EQ(status_.events.front(), L"progress:5");
  size_t positions = 0;
  for (const auto& e : status_.events) positions += e.rfind(L"progress:", 0) == 0;
  EXPECT_EQ(positions, 1u);

  status_.events.clear();
  ASSERT_EQ(RunExtract(L"only_dirs.7z", 86, 95), ACTION_DONE);
  EXPECT_EQ(status_.events, (std::vector<std::wstring>{L"progress:86", L"file:" + target_ + L"one",
                                                       L"file:" + target_ + L"one\\two", L"file:" + target_ + L"three",
                                                       L"progress:95"}));
}

// Wine cannot write an empty resource into an installer, but this program carries one.
TEST_F(ExtractActionTest, EmptyResourceCountsAsMissing) {
  ActionRecord item;
  item.id = 6999;
  item.type = ACT_EXTRACT;
  item.value = L"310";
  item.name = L"FILE";
  item.path = target_;
  ASSERT_TRUE(engine_.run.actions.Add(item));
  EXPECT_EQ(engine_.actions.Execute(item.id), ACTION_FAILED);
  const auto log = LogSince(logMark_);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), L"E|解压错误: 找不到资源310");
}

TEST_F(ExtractActionTest, DamagedItemIsNotReportedAsExtracted) {
  ASSERT_EQ(RunExtract(L"crc.7z", -1, -1), ACTION_FAILED);
  std::set<std::wstring> reported(status_.events.begin(), status_.events.end());
  EXPECT_TRUE(reported.count(L"file:" + target_ + L"a.txt"));
  EXPECT_FALSE(reported.count(L"file:" + target_ + L"b.txt"));
}

struct LockCase {
  const char* name;
  DWORD share;
  const wchar_t* dir;  // below the scratch folder
  int result;
  bool needReboot;
  const char* readme;  // what the target holds afterwards
};
void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }

class LockedTargetTest : public ExtractActionTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockedTargetTest, DecidesAndRecordsTheReboot) {
  const LockCase& c = GetParam();
  target_ = root_ + c.dir;
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  Lock(target_ + L"readme.txt", c.share);
  EXPECT_EQ(RunExtract(L"payload.7z", -1, -1), c.result);
  EXPECT_EQ(engine_.run.options.IsTrue(OPT_NEEDREBOOT), c.needReboot);
  EXPECT_EQ(engine_.run.options.Has(OPT_NEEDREBOOT), c.needReboot) << "a pending name must not touch the option";
  EXPECT_EQ(ReadBytes(target_ + L"readme.txt"), c.readme);
}

INSTANTIATE_TEST_SUITE_P(
    Shares, LockedTargetTest,
    ::testing::Values(LockCase{"movable", FILE_SHARE_READ | FILE_SHARE_DELETE, L"\\movable\\", ACTION_DONE, true,
                               "hello from the payload\n"},
                      LockCase{"unmovable", FILE_SHARE_READ, L"\\unmovable\\", ACTION_DONE, true, "old content"},
                      LockCase{"pending_dir", FILE_SHARE_READ, L"\\old.Tz012345\\", ACTION_FAILED, false,
                               "old content"}),
    [](const auto& info) { return std::string(info.param.name); });

// The numbering starts at the tick count. Creating a file under Wine takes longer than a tick, so
// the names are prepared for a stretch of ticks a little ahead, and the extraction starts when it
// begins: whichever number it starts from, fifty taken names in a row make it write over the last.
TEST_F(ExtractActionTest, FiftyTakenPendingNamesReuseTheLast) {
  constexpr DWORD kLead = 1000;   // ms to create the names
  constexpr DWORD kWindow = 200;  // ms the extraction may take to reach the locked file
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  const std::wstring readme = target_ + L"readme.txt";
  Lock(readme, FILE_SHARE_READ);
  const DWORD from = GetTickCount() + kLead;
  std::set<unsigned> taken;
  for (DWORD k = 0; k < kWindow; ++k)
    for (unsigned i = 0; i < 50; ++i) taken.insert((from + k) % 100000 + i);
  for (unsigned n : taken) WriteBytes(FormatPendingName(readme, n), "older");
  const DWORD now = GetTickCount();
  if (static_cast<int>(from - now) <= 0) GTEST_SKIP() << "creating the names took longer than " << kLead << " ms";
  Sleep(from - now);

  ASSERT_EQ(RunExtract(L"payload.7z", -1, -1), ACTION_DONE);
  if (GetTickCount() - from >= kWindow) GTEST_SKIP() << "the extraction did not reach the file within the prepared ticks";

  EXPECT_EQ(ReadBytes(readme), "old content");
  std::vector<unsigned> written;
  for (unsigned n : taken)
    if (ReadBytes(FormatPendingName(readme, n)) != "older") written.push_back(n);
  ASSERT_EQ(written.size(), 1u);
  const std::wstring pending = FormatPendingName(readme, written[0]);
  EXPECT_EQ(ReadBytes(pending), "hello from the payload\n");
  for (unsigned i = 1; i < 50; ++i) EXPECT_TRUE(taken.count(written[0] - i)) << "not the fiftieth name";
  const std::wstring op = L"\\??\\" + pending + L'\0' + L"!\\??\\" + readme + L'\0';
  EXPECT_NE(Scheduled().find(op), std::wstring::npos);
  EXPECT_TRUE(engine_.run.options.IsTrue(OPT_NEEDREBOOT));
}
