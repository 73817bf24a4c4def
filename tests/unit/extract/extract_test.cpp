// Extraction of real archives (made by make_archives.py) from memory and from files into the
// prefix's temp directory: contents, time stamps, attributes, callbacks, progress and failures.
#include <gmock/gmock.h>

#include <cstdint>
#include <functional>

#include "extract/archive_streams.h"
#include "extract/item_path.h"
#include "extract_test_support.h"

namespace {

using namespace extract_test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const wchar_t* const kPayloadFiles[] = {L"readme.txt",      L"bin\\app.exe",   L"bin\\readonly.txt",
                                        L"docs\\empty.txt", L"docs\\中文.txt", L"deep\\a\\b\\lines.txt"};
constexpr unsigned long long kPayloadBytes = 378933;  // the files' sizes added up

struct FormatCase {
  const wchar_t* archive;
  bool fromMemory;
  bool complete;  // every file and directory (the cab holds four files and no directories)
};
void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << std::string(c.archive, c.archive + wcslen(c.archive)) << (c.fromMemory ? " (memory)" : " (file)");
}

class ExtractFormatTest : public ExtractFixture, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ExtractFormatTest, WritesEveryItemAndReportsProgressIntoTheRange) {
  const FormatCase& c = GetParam();
  if (!Exists(Fixture(c.archive))) GTEST_SKIP() << "no fixture (gcab not installed when the tests were built)";
  SetExtractRange(progress_, 1, 85);
  const std::wstring given = target_.substr(0, target_.size() - 1) + L"\\missing\\parents";  // no backslash
  target_ = given;
  ASSERT_TRUE(c.fromMemory ? ExtractMemory(c.archive) : ExtractFile(c.archive));

  for (const wchar_t* name : kPayloadFiles) {
    const std::wstring out = given + L"\\" + name;
    if (!c.complete && !Exists(out)) continue;
    EXPECT_EQ(ReadBytes(out), ReadBytes(Fixture(std::wstring(L"src\\") + name))) << out;
  }
  EXPECT_TRUE(Exists(given + L"\\deep\\a\\b\\lines.txt"));
  EXPECT_EQ(Exists(given + L"\\emptydir"), c.complete);
  EXPECT_EQ(callback_.begins, 1);
  EXPECT_EQ(callback_.ends, 1);
  EXPECT_EQ(progress_.total, c.complete ? kPayloadBytes : kPayloadBytes - 17);
  EXPECT_EQ(callback_.done.size(), callback_.items.size());
  for (const auto& d : callback_.done) {
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.path.rfind(given + L"\\", 0), 0u);
  }
  // One position per finished item, never backwards, ending exactly at the range's end.
  ASSERT_EQ(callback_.positions.size(), callback_.items.size());
  EXPECT_TRUE(std::is_sorted(callback_.positions.begin(), callback_.positions.end()));
  EXPECT_GE(callback_.positions.front(), 1);
  EXPECT_EQ(callback_.positions.back(), 85);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExtractFormatTest,
    ::testing::Values(FormatCase{L"payload.7z", true, true}, FormatCase{L"payload.7z", false, true},
                      FormatCase{L"payload.zip", true, true}, FormatCase{L"payload.zip", false, true},
                      FormatCase{L"payload.cab", true, false}, FormatCase{L"payload.cab", false, false}));

TEST_F(ExtractFixture, SevenZipItemsKeepTimeStampsAttributesAndItemOrder) {
  ASSERT_TRUE(ExtractMemory(L"payload.7z"));
  EXPECT_EQ(extractor_.LastResult(), S_OK);
  // 2021-03-04 05:06:07 UTC
  const SYSTEMTIME stamp{2021, 3, 4, 4, 5, 6, 7, 0};
  FILETIME expected{};
  SystemTimeToFileTime(&stamp, &expected);
  for (const wchar_t* name : kPayloadFiles) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW((target_ + name).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &expected), 0);
    const bool readOnly = std::wstring(name) == L"bin\\readonly.txt";
    EXPECT_EQ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0, readOnly);
  }
  ASSERT_EQ(callback_.items.size(), 12u);
  EXPECT_EQ(callback_.items[0].path, target_ + L"bin");
  EXPECT_TRUE(callback_.items[0].isDirectory);
  EXPECT_THAT(callback_.done, Contains(::testing::Field(&DoneCall::path, target_ + L"bin\\app.exe")));
  EXPECT_TRUE(callback_.positions.empty()) << "no range was given";
}

TEST_F(ExtractFixture, ArchivesWithoutBytesReportNoProgress) {
  SetExtractRange(progress_, 86, 95);
  ASSERT_TRUE(ExtractFile(L"empty.7z"));
  EXPECT_TRUE(callback_.items.empty());
  ASSERT_TRUE(ExtractMemory(L"only_dirs.7z"));
  EXPECT_EQ(callback_.items.size(), 3u);
  EXPECT_TRUE(Exists(target_ + L"one\\two") && Exists(target_ + L"three"));
  EXPECT_TRUE(callback_.positions.empty());
}

TEST_F(ExtractFixture, UnnamedStreamBecomesContentFile) {
  ASSERT_TRUE(ExtractMemory(L"unnamed.7z"));
  EXPECT_EQ(ReadBytes(target_ + L"[Content]"), "no name\n");
}

TEST_F(ExtractFixture, DamagedItemFailsTheExtractionButTheOthersAreWritten) {
  EXPECT_FALSE(ExtractMemory(L"crc.7z"));
  EXPECT_EQ(extractor_.LastResult(), S_FALSE);  // the library finished; an item did not
  EXPECT_EQ(ReadBytes(target_ + L"a.txt"), std::string(1000, 'A'));
  EXPECT_EQ(ReadBytes(target_ + L"c.txt"), std::string(1000, 'C'));
  ASSERT_EQ(callback_.done.size(), 3u);
  EXPECT_EQ(callback_.done[1].result, 3);  // the library's CRC error
  EXPECT_THAT(LogSince(logMark_), ElementsAre(L"E|解压过程中有1个文件损坏或无法解压"));
}

class ExtractEscapeTest : public ExtractFixture, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(ExtractEscapeTest, ItemOutsideTheTargetIsRefusedAndFailsTheExtraction) {
  EXPECT_FALSE(ExtractMemory(GetParam()));
  EXPECT_FALSE(Exists(root_ + L"\\evil.txt"));
  EXPECT_FALSE(Exists(L"C:\\evil.txt"));
  for (const auto& item : callback_.items) EXPECT_THAT(item.path, Not(HasSubstr(L"evil"))) << "reported";
  const auto log = LogSince(logMark_);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind(L"E|压缩包中的文件", 0), 0u);
  EXPECT_THAT(log[0], ::testing::EndsWith(L"指向目标目录之外, 已拒绝解压"));
}

INSTANTIATE_TEST_SUITE_P(Names, ExtractEscapeTest,
                         ::testing::Values(L"escape_dotdot.zip", L"escape_nested.zip", L"escape_absolute.zip",
                                           L"escape_drive.zip", L"escape_unc.zip", L"escape_device.zip",
                                           L"escape_dotdot.7z", L"escape_nested.7z", L"escape_absolute.7z",
                                           L"escape_drive.7z", L"escape_unc.7z", L"escape_device.7z"));

// Each failure keeps its cause for the caller.
TEST_F(ExtractFixture, BadInputFailsWithoutCallingBack) {
  const HRESULT kBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  const std::string truncated = ReadBytes(Fixture(L"payload.7z")).substr(0, 20000);
  const struct {
    const char* name;
    std::function<bool()> extract;
    HRESULT cause;
  } cases[] = {
      {"memory, no archive", [&] { return ExtractMemory(L"not_an_archive.bin"); }, kBadFormat},
      {"file, no archive", [&] { return ExtractFile(L"not_an_archive.bin"); }, kBadFormat},
      {"file missing", [&] { return ExtractFile(L"no_such_archive.7z"); }, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
      {"no data", [&] { return extractor_.ExtractFromMemory(nullptr, 10, target_.c_str()); }, E_INVALIDARG},
      {"no bytes", [&] { return extractor_.ExtractFromMemory("7z", 0, target_.c_str()); }, E_INVALIDARG},
      {"no target", [&] { return extractor_.ExtractFromMemory("7z", 2, nullptr); }, E_INVALIDARG},
      {"truncated", [&] { return extractor_.ExtractFromMemory(truncated.data(), truncated.size(), target_.c_str()); },
       kBadFormat},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.extract()) << c.name;
    EXPECT_EQ(extractor_.LastResult(), c.cause) << c.name;
  }
  EXPECT_EQ(callback_.begins, 0);
}

// An empty target would put every item into the root of the current drive.
TEST_F(ExtractFixture, EmptyTargetIsRefusedBeforeAnythingIsWritten) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(root_.c_str());
  data_ = ReadBytes(Fixture(L"payload.7z"));
  EXPECT_FALSE(extractor_.ExtractFromMemory(data_.data(), data_.size(), L""));
  EXPECT_FALSE(extractor_.ExtractFromFile(Fixture(L"payload.7z").c_str(), L""));
  EXPECT_EQ(callback_.begins, 0);
  for (const ItemCall& item : callback_.items) {  // what a failure left in the drive's root
    if (!item.isDirectory) DeleteFileW(item.path.c_str());
  }
  SetCurrentDirectoryW(previous);
}

TEST(MemStreamTest, SeekAndReadStayWithinTheData) {
  static const char kData[] = "0123456789";
  CMyComPtr<IInStream> stream(new CMyInMemStream(kData, 10));
  const struct {
    Int64 offset;
    UInt32 origin;
    HRESULT result;
    UInt64 position;  // when accepted
  } cases[] = {{0, STREAM_SEEK_SET, S_OK, 0},           {10, STREAM_SEEK_SET, S_OK, 10},
               {11, STREAM_SEEK_SET, E_INVALIDARG, 0},  {-1, STREAM_SEEK_SET, E_INVALIDARG, 0},
               {-3, STREAM_SEEK_END, S_OK, 7},          {-2, STREAM_SEEK_CUR, S_OK, 5},
               {-6, STREAM_SEEK_CUR, E_INVALIDARG, 0},  {1, STREAM_SEEK_END, E_INVALIDARG, 0},
               {-11, STREAM_SEEK_END, E_INVALIDARG, 0}, {0, 3, E_INVALIDARG, 0},
               {INT64_MIN, STREAM_SEEK_CUR, E_INVALIDARG, 0}, {INT64_MIN, STREAM_SEEK_END, E_INVALIDARG, 0},
               {INT64_MIN, STREAM_SEEK_SET, E_INVALIDARG, 0}};
  for (const auto& c : cases) {
    UInt64 position = 99;
    EXPECT_EQ(stream->Seek(c.offset, c.origin, &position), c.result) << c.offset << " from " << c.origin;
    if (c.result == S_OK) {
      EXPECT_EQ(position, c.position) << c.offset << " from " << c.origin;
    }
  }
  char buffer[8] = {};
  UInt32 got = 99;
  ASSERT_EQ(stream->Seek(8, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Read(buffer, 8, &got), S_OK);
  EXPECT_EQ(std::string(buffer, got), "89");
  EXPECT_EQ(stream->Read(buffer, 8, &got), S_OK);
  EXPECT_EQ(got, 0u);
  ASSERT_EQ(stream->Seek(5, STREAM_SEEK_CUR, nullptr), S_OK);
  EXPECT_EQ(stream->Read(buffer, 8, &got), E_FAIL);
}

TEST(ExtractProgressTest, PositionOnlyWithARangeAndATotal) {
  const struct {
    int32_t start, end;
    uint64_t total, begun;
    int expected;  // -1: nothing reported
  } cases[] = {{1, 85, 1000, 0, 1},   {1, 85, 1000, 500, 43}, {1, 85, 1000, 1000, 85},
               {1, 85, 3, 1, 29},     {86, 95, 0, 0, -1},     {10, 10, 100, 50, -1},
               {20, 10, 100, 50, -1}, {-1, 85, 100, 50, -1},  {1, -1, 100, 50, -1}};
  for (const auto& c : cases) {
    ExtractProgress p;
    SetExtractRange(p, c.start, c.end);
    p.total = c.total;
    p.begun = c.begun;
    int position = -1;
    EXPECT_EQ(ExtractProgressPosition(p, position) ? position : -1, c.expected) << c.start << ".." << c.end;
  }
}

TEST(ItemPathTest, OnlyNamesInsideTheTargetAreSafe) {
  for (const wchar_t* ok : {L"a.txt", L"dir\\sub\\a.txt", L"dir/sub/a.txt", L".\\a", L"a..b", L"..a", L"CONSOLE.txt",
                            L"COM10", L"[Content]"})
    EXPECT_TRUE(IsSafeItemPath(ok)) << ok;
  for (const wchar_t* bad :
       {L"", L"..", L"..\\a", L"a/../../b", L"a\\..", L"... \\a", L".. \\a", L"\\a", L"/a", L"\\\\server\\share\\a",
        L"\\\\?\\C:\\a", L"C:a", L"C:\\a", L"a:stream", L"nul", L"dir\\CON.txt", L"com1", L"LPT9.log", L"aux "})
    EXPECT_FALSE(IsSafeItemPath(bad)) << bad;
}

}  // namespace
