// Locked-file replacement with real files and the prefix's real PendingFileRenameOperations value
// (saved before and restored after every test). What a decision means for the run (the reboot
// option) is the extract action's business, tested with it.
#include <gmock/gmock.h>

#include "extract_test_support.h"

namespace {

using namespace extract_test;
using ::testing::Contains;

std::wstring Lower(std::wstring s) {
  CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

class LockedFileTest : public ExtractFixture {
 protected:
  void SetUp() override {
    ExtractFixture::SetUp();
    ASSERT_TRUE(pending_.IsOpen());
    ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  }
  void TearDown() override {
    if (lock_ != INVALID_HANDLE_VALUE) CloseHandle(lock_);
    ExtractFixture::TearDown();
  }

  // Scheduled operations as "source -> destination" in lower case ("" destination: delete).
  std::vector<std::wstring> Scheduled() {
    const std::wstring data = pending_.Raw();
    std::vector<std::wstring> parts;
    for (size_t at = 0; at < data.size();) {
      const size_t end = data.find(L'\0', at);
      parts.push_back(data.substr(at, end - at));
      at = end == std::wstring::npos ? data.size() : end + 1;
    }
    std::vector<std::wstring> ops;
    for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2)
      ops.push_back(Lower(parts[i] + L" -> " + parts[i + 1]));
    return ops;
  }

  void Lock(const std::wstring& path, DWORD share) {
    WriteBytes(path, "old content");
    lock_ = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock_, INVALID_HANDLE_VALUE);
  }

  PendingRenameSnapshot pending_;
  HANDLE lock_ = INVALID_HANDLE_VALUE;
};

TEST_F(LockedFileTest, FileThatCanBeMovedAsideIsReplacedAtOnce) {
  const std::wstring readme = target_ + L"readme.txt";
  Lock(readme, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(ExtractMemory(L"payload.7z"));
  EXPECT_EQ(ReadBytes(readme), "hello from the payload\n");
  ASSERT_EQ(callback_.createFailed.size(), 1u);
  EXPECT_THAT(LogSince(logMark_), ::testing::ElementsAre(L"E|解压过程中创建" + readme + L"失败",
                                                         L"I|文件" + readme + L"创建失败, 回调返回4"));
  // The old file waits under its pending name for deletion at reboot.
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((readme + L".tz0*").c_str(), &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  const std::wstring pending = target_ + found.cFileName;
  EXPECT_EQ(ReadBytes(pending), "old content");
  EXPECT_THAT(Scheduled(), Contains(Lower(L"\\??\\" + pending + L" -> ")));
}

TEST_F(LockedFileTest, FileThatCannotBeMovedGetsTheNewContentUnderAPendingName) {
  const std::wstring readme = target_ + L"readme.txt";
  Lock(readme, FILE_SHARE_READ);
  ASSERT_TRUE(ExtractMemory(L"payload.7z"));
  EXPECT_EQ(ReadBytes(readme), "old content");
  const auto log = LogSince(logMark_);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], L"I|文件" + readme + L"创建失败, 回调返回1");
  const std::wstring prefix = L"I|创建文件" + readme + L".tz0";
  ASSERT_EQ(log[2].rfind(prefix, 0), 0u) << log[2];
  const size_t pathAt = std::wstring(L"I|创建文件").size();
  const std::wstring pending = log[2].substr(pathAt, log[2].find(L',') - pathAt);
  EXPECT_EQ(log[2].substr(log[2].find(L',')), L", pending操作1");
  EXPECT_EQ(ReadBytes(pending), "hello from the payload\n");
  EXPECT_THAT(Scheduled(), Contains(Lower(L"\\??\\" + pending + L" -> !\\??\\" + readme)));
  EXPECT_THAT(callback_.done, Contains(::testing::Field(&DoneCall::path, pending)));
}

TEST_F(LockedFileTest, ReadOnlyTargetIsMovedAsideToo) {
  const std::wstring readme = target_ + L"readme.txt";
  WriteBytes(readme, "old content");
  ASSERT_TRUE(SetFileAttributesW(readme.c_str(), FILE_ATTRIBUTE_READONLY));
  const HANDLE probe = CreateFileW(readme.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    GTEST_SKIP() << "this system (Wine as root) opens read-only files for writing; Windows refuses";
  }
  ASSERT_TRUE(ExtractFile(L"payload.7z"));
  EXPECT_EQ(ReadBytes(readme), "hello from the payload\n");
  EXPECT_THAT(LogSince(logMark_), Contains(L"I|文件" + readme + L"创建失败, 回调返回4"));
}

TEST_F(LockedFileTest, FiftyTakenNamesReuseTheLastOne) {
  const unsigned base = 99990;  // the numbers run past five digits
  callback_.fixedBase = &base;
  const std::wstring readme = target_ + L"readme.txt";
  for (unsigned i = 0; i < 50; ++i) WriteBytes(FormatPendingName(readme, base + i), "older");
  Lock(readme, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_TRUE(ExtractMemory(L"payload.7z"));
  const std::wstring last = readme + L".tz0100039";
  EXPECT_EQ(ReadBytes(last), "hello from the payload\n");
  EXPECT_EQ(ReadBytes(readme), "old content");
  EXPECT_THAT(Scheduled(), Contains(Lower(L"\\??\\" + last + L" -> !\\??\\" + readme)));
}

TEST_F(LockedFileTest, PendingNameFailsAtOnce) {
  target_ = root_ + L"\\dir.TZ0x\\";
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  Lock(target_ + L"readme.txt", FILE_SHARE_READ);
  EXPECT_FALSE(ExtractMemory(L"payload.7z"));
  EXPECT_THAT(LogSince(logMark_), Contains(L"I|文件" + target_ + L"readme.txt创建失败, 回调返回2"));
  EXPECT_TRUE(Scheduled() == std::vector<std::wstring>() || pending_.HadValue());
}

TEST(PendingNameTest, NamesNearTheLimitAreCutButKeepTheMarker) {
  const std::wstring dir = L"C:\\no-such-dir\\";
  const struct {
    size_t length;
    int decision;
    size_t pendingLength;
  } cases[] = {{200, kCreateUsePending, 209},
               {250, kCreateUsePending, 259},
               {252, kCreateUsePending, 259},
               {255, kCreateUsePending, 259}};
  for (const auto& c : cases) {
    const std::wstring path = dir + std::wstring(c.length - dir.size(), L'x');
    wchar_t buffer[kCreateFailedBufferChars] = {};
    path.copy(buffer, path.size());
    EXPECT_EQ(ResolveCreateFailure(buffer, kCreateFailedBufferChars, 12345), c.decision) << c.length;
    EXPECT_EQ(wcslen(buffer), c.pendingLength) << c.length;
    EXPECT_EQ(std::wstring(buffer).rfind(path, 0), 0u) << c.length;
    if (c.decision == kCreateUsePending) {
      EXPECT_TRUE(IsPendingName(buffer)) << c.length;
    }
  }
}

// 256 to 259 characters leave no room for the marker after the name: the pending file gets a
// shortened name in the same folder, or, when even that cannot fit, the failure says why.
TEST(PendingNameTest, TargetsTooLongForTheMarkerGetAShortNameBesideThemOrAnError) {
  const std::wstring shortDir = L"C:\\no-such-dir\\";
  const std::wstring longDir = L"C:\\" + std::wstring(247, L'd') + L"\\";  // 251 characters
  const struct {
    std::wstring dir;
    size_t length;
    int decision;
  } cases[] = {{shortDir, 256, kCreateUsePending}, {shortDir, 257, kCreateUsePending},
               {shortDir, 259, kCreateUsePending}, {longDir, 257, kCreateGiveUp},
               {longDir, 259, kCreateGiveUp}};
  for (const auto& c : cases) {
    const std::wstring path = c.dir + std::wstring(c.length - c.dir.size(), L'x');
    wchar_t buffer[kCreateFailedBufferChars] = {};
    path.copy(buffer, path.size());
    const size_t mark = GetLog().Records().size();
    EXPECT_EQ(ResolveCreateFailure(buffer, kCreateFailedBufferChars, 12345), c.decision) << c.length;
    const std::wstring pending = buffer;
    if (c.decision == kCreateUsePending) {
      EXPECT_LE(pending.size(), 259u) << c.length;
      EXPECT_EQ(pending.rfind(c.dir, 0), 0u) << c.length;
      EXPECT_EQ(pending.find(L'\\', c.dir.size()), std::wstring::npos) << c.length;
      EXPECT_TRUE(IsPendingName(pending.c_str())) << c.length;
      EXPECT_NE(pending.substr(0, path.size()), path) << c.length;
    } else {
      EXPECT_EQ(pending, path) << c.length;
      const std::vector<LogRecord> records = GetLog().Records();
      ASSERT_GT(records.size(), mark) << c.length;
      EXPECT_EQ(records.back().level, LOG_ERROR);
      EXPECT_EQ(records.back().text, L"路径过长, 无法为文件" + path + L"安排重启替换");
    }
  }
}

}  // namespace
