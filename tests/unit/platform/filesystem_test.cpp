// File system services on real files of the build tree; version and image readers on helper
// binaries built beside this test program.
#include "platform/filesystem.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform_test_support.h"

namespace tz {
namespace {

using test::Exists;
using test::HelperPath;
using test::IsDir;

class FileSystemTest : public test::ScratchDirTest {
 protected:
  void Files(std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) test::WriteBytes(Path(name), "x");
  }
};

TEST_F(FileSystemTest, CreateDirectoriesWalksEveryLevel) {
  EXPECT_TRUE(CreateDirectories(Path(L"a\\b\\c")));
  EXPECT_TRUE(IsDir(Path(L"a\\b\\c")));
  EXPECT_TRUE(CreateDirectories(Path(L"a\\b\\c\\")));
  EXPECT_TRUE(CreateDirectories(Path(L"f/g")));
  EXPECT_TRUE(IsDir(Path(L"f\\g")));
  Files({L"file.txt"});
  EXPECT_FALSE(CreateDirectories(Path(L"file.txt\\x")));
  for (const wchar_t* bad : {L"", L"Z:\\", L"abc"}) EXPECT_FALSE(CreateDirectories(bad));
}

TEST_F(FileSystemTest, CreateDirectoriesAtPathLimit) {
  for (size_t length : {259u, 260u, 261u}) {
    const std::wstring parent = Path(L"limit" + std::to_wstring(length));
    const std::wstring path = parent + L"\\" + std::wstring(length - parent.size() - 1, L'n');
    const bool created = CreateDirectories(path);
    // Windows refuses directory paths over 248 characters, Wine may not; the result must say which.
    EXPECT_EQ(created, IsDir(path)) << length;
    EXPECT_EQ(IsDir(parent), length <= 260) << "a path over 260 characters is refused untouched";
  }
}

TEST_F(FileSystemTest, DeleteMatchingOnlyTopLevelFiles) {
  Files({L"a.log", L"b.log", L"c.txt"});
  ASSERT_TRUE(CreateDirectories(Path(L"sub.log")));
  Files({L"sub.log\\d.log", L"here.tzdel"});
  EXPECT_EQ(DeleteMatching(Path(L"*.log")), 2u);
  EXPECT_FALSE(Exists(Path(L"a.log")));
  EXPECT_TRUE(Exists(Path(L"c.txt")));
  EXPECT_TRUE(Exists(Path(L"sub.log\\d.log")));
  EXPECT_EQ(DeleteMatching(L""), 0u);
  // Without a directory the pattern means the current directory, never the drive's root.
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(dir_.c_str());
  const unsigned relative = DeleteMatching(L"*.tzdel");
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(relative, 1u);
  EXPECT_FALSE(Exists(Path(L"here.tzdel")));
}

TEST_F(FileSystemTest, DeleteFileIfPresent) {
  Files({L"f.txt", L"ro.txt"});
  SetFileAttributesW(Path(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(CreateDirectories(Path(L"d")));
  EXPECT_TRUE(DeleteFileIfPresent(Path(L"f.txt")));
  EXPECT_FALSE(Exists(Path(L"f.txt")));
  EXPECT_TRUE(DeleteFileIfPresent(Path(L"d")));
  EXPECT_TRUE(IsDir(Path(L"d")));
  EXPECT_TRUE(DeleteFileIfPresent(Path(L"missing")));
  EXPECT_TRUE(DeleteFileIfPresent(L""));
  EXPECT_FALSE(DeleteFileIfPresent(Path(L"ro.txt")));
}

TEST_F(FileSystemTest, DeleteFilesInLeavesSubdirectories) {
  ASSERT_TRUE(CreateDirectories(Path(L"sub")));
  Files({L"a.txt", L"b", L"sub\\c.txt"});
  EXPECT_EQ(DeleteFilesIn(dir_ + L"\\"), 2u);
  EXPECT_TRUE(Exists(Path(L"sub\\c.txt")));
  EXPECT_EQ(DeleteFilesIn(dir_), 0u);
  EXPECT_EQ(DeleteFilesIn(L""), 0u);
}

TEST_F(FileSystemTest, DeleteTreeRemovesTreeButRefusesRoots) {
  ASSERT_TRUE(CreateDirectories(Path(L"t\\a\\b")));
  Files({L"t\\a\\b\\f.txt", L"t\\g.txt", L"keep.txt"});
  EXPECT_EQ(DeleteTree(Path(L"t")), 0);
  EXPECT_FALSE(Exists(Path(L"t")));
  EXPECT_NE(DeleteTree(Path(L"t")), 0);
  for (const wchar_t* root : {L"", L"\\", L"Z:", L"z:/", L"\\\\server\\share\\"})
    EXPECT_EQ(DeleteTree(root), kDeleteTreeRefused) << testing::PrintToString(std::wstring(root));
  EXPECT_TRUE(Exists(Path(L"keep.txt")));
}

TEST(ShellFolderTest, SpecialFoldersAndProgramFiles) {
  for (auto* get : {&GetUserDesktop, &GetCommonDesktop, &GetPrograms}) {
    std::wstring path;
    EXPECT_TRUE(get(path) && IsDir(path)) << testing::PrintToString(path);
  }
  // The environment tells a 32-bit process both folders (%ProgramW6432% only under WOW64).
  wchar_t env32[MAX_PATH] = {}, env64[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramFiles", env32, MAX_PATH);
  if (!GetEnvironmentVariableW(L"ProgramW6432", env64, MAX_PATH)) wcscpy(env64, env32);
  std::wstring path32, path64;
  ASSERT_TRUE(GetProgramFiles(true, path32) && GetProgramFiles(false, path64));
  EXPECT_EQ(path32, env32);
  EXPECT_EQ(path64, env64);
}

TEST_F(FileSystemTest, IsWritableDirectory) {
  EXPECT_TRUE(IsWritableDirectory(dir_));
  EXPECT_FALSE(test::AnyMatch(Path(L"nl_*"))) << "the probe file is removed";
  EXPECT_TRUE(IsWritableDirectory(Path(L"new\\deeper")));
  EXPECT_TRUE(IsDir(Path(L"new\\deeper")));
  Files({L"file"});
  EXPECT_FALSE(IsWritableDirectory(Path(L"file")));
  EXPECT_FALSE(IsWritableDirectory(L""));
}

TEST_F(FileSystemTest, HasFreeSpaceOnlyForDriveLetters) {
  EXPECT_TRUE(HasFreeSpace(dir_, 0));
  EXPECT_TRUE(HasFreeSpace(L"z" + dir_.substr(1), 1));
  EXPECT_FALSE(HasFreeSpace(dir_, ~0ull));
  for (const wchar_t* path : {L"\\\\server\\share\\dir", L"", L"1:\\x", L"relative\\dir"})
    EXPECT_FALSE(HasFreeSpace(path, 0)) << testing::PrintToString(std::wstring(path));
}

TEST(FileVersionTest, FixedVersionsAndStringsOfTranslation) {
  FileVersionRecord record;
  ASSERT_TRUE(ReadFileVersion(kVerProductVersion | kVerFileVersion | kVerLegalCopyright | kVerLegalTrademarks,
                              HelperPath(L"tz_versioned.dll"), record));
  // Parts of 32768 and more print negative; LegalTrademarks is not in the resource.
  EXPECT_EQ(record, (FileVersionRecord{{kVerProductVersion, L"5.6.7.-1"},
                                       {kVerFileVersion, L"1.2.-25536.4"},
                                       {kVerLegalCopyright, L"(c) Tz, with, commas"}}));
}

TEST(FileVersionTest, WithoutTranslationTableReadsChineseUnicodeStrings) {
  FileVersionRecord record;
  ASSERT_TRUE(ReadFileVersion(kVerCompanyName | kVerSpecialBuild, HelperPath(L"tz_versioned_notrans.exe"), record));
  EXPECT_EQ(record, (FileVersionRecord{{kVerCompanyName, L"Tz Zh Company"}, {kVerSpecialBuild, L"zh-build"}}));
}

TEST(FileVersionTest, FailsWithoutResourceOrRequest) {
  FileVersionRecord record{{99, L"untouched"}};
  EXPECT_FALSE(ReadFileVersion(kVerFileVersion, HelperPath(L"tz_testproc.exe"), record));
  EXPECT_FALSE(ReadFileVersion(0, HelperPath(L"tz_versioned.dll"), record));
  EXPECT_FALSE(ReadFileVersion(kVerFileVersion, L"", record));
  EXPECT_EQ(record.size(), 1u);
}

TEST_F(FileSystemTest, ReadImageBitness) {
  test::WriteBytes(Path(L"sixteen.bin"), std::string("MZ") + std::string(14, '\0'));
  std::string far_header(64, '\0');
  far_header[0] = 'M', far_header[1] = 'Z', far_header[61] = 0x10;  // COFF header beyond the end
  test::WriteBytes(Path(L"far.bin"), far_header);
  test::WriteBytes(Path(L"text.txt"), std::string(100, 'x'));
  struct {
    std::wstring path;
    int expected;  // -1 unreadable, 32 or 64
  } cases[] = {{HelperPath(L"tz_pe64.exe"), 64},   {HelperPath(L"tz_versioned.dll"), 32}, {Path(L"sixteen.bin"), -1},
               {Path(L"far.bin"), -1},             {Path(L"text.txt"), -1},               {Path(L"missing.exe"), -1}};
  for (const auto& c : cases) {
    bool is_64bit = false;
    const int found = ReadImageBitness(c.path, is_64bit) ? (is_64bit ? 64 : 32) : -1;
    EXPECT_EQ(found, c.expected) << testing::PrintToString(c.path);
  }
}

TEST(SizeTextTest, ParseSize) {
  const struct {
    const wchar_t* text;
    std::uint64_t bytes;
  } cases[] = {{L"200M", 209715200}, {L"1.5G", 1610612736}, {L"512", 512},  {L"1.", 1},           {L"10Q", 10},
               {L"200MB", 200},      {L"2k", 2048},         {L"", 0},      {L"-5M", 0},          {L"-1.5G", 0},
               {L"1.2.3K", 1228},    {L"100000E", ~0ull},   {L"0000000000000000001K", 1},  // 19 characters count
               {L"99999999999999999999", 9223372036854775807ull}};
  for (const auto& c : cases) EXPECT_EQ(ParseSize(c.text), c.bytes) << testing::PrintToString(std::wstring(c.text));
}

TEST(SizeTextTest, FormatSize) {
  const struct {
    std::uint64_t bytes;
    const wchar_t* text;
  } cases[] = {{1ull << 30, L"1G"}, {1023, L"1023B"}, {1536, L"1.5K"}, {2055208, L"2M"} /* 1.96 MiB */,
               {0, L"0B"},          {3ull << 40, L"3T"}, {1ull << 60, L"1024P"}};
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace tz
