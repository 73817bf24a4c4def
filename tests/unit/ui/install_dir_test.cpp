#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ui/install_dir.h"

namespace {

struct BrowseCase {
  const wchar_t* selected;
  const wchar_t* dirname;
  const wchar_t* expected;
};

class BrowseSuffixTest : public ::testing::TestWithParam<BrowseCase> {};

TEST_P(BrowseSuffixTest, AppendsTheFolderNameUnlessItIsTheLastComponent) {
  const BrowseCase& c = GetParam();
  EXPECT_EQ(InstallPathFromBrowse(c.selected, c.dirname), c.expected) << c.selected << L" + " << c.dirname;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrowseSuffixTest,
    ::testing::Values(BrowseCase{L"D:\\Apps\\", L"Prod", L"D:\\Apps\\Prod"},
                      BrowseCase{L"D:\\Apps", L"Prod", L"D:\\Apps\\Prod"},
                      BrowseCase{L"D:\\Apps\\Prod", L"Prod", L"D:\\Apps\\Prod"},
                      BrowseCase{L"D:\\apps\\PROD\\", L"Prod", L"D:\\apps\\PROD"},
                      // A name that merely ends with the folder name is another folder.
                      BrowseCase{L"D:\\MyProd", L"Prod", L"D:\\MyProd\\Prod"},
                      BrowseCase{L"D:\\Prod\\Sub", L"Prod", L"D:\\Prod\\Sub\\Prod"},
                      BrowseCase{L"E:\\", L"Prod", L"E:\\Prod"},
                      BrowseCase{L"E:\\", L"", L"E:\\"},
                      BrowseCase{L"D:\\Apps\\", L"", L"D:\\Apps\\"},
                      BrowseCase{L"D:\\Vendor\\Prod", L"Vendor\\Prod", L"D:\\Vendor\\Prod"},
                      BrowseCase{L"D:\\Prod", L"Prod\\", L"D:\\Prod"}));

struct FillCase {
  const wchar_t* text;
  const wchar_t* value;
  const wchar_t* expected;
};

class FillPlaceholderTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillPlaceholderTest, ReplacesOnePlaceholderAsPlainText) {
  const FillCase& c = GetParam();
  EXPECT_EQ(FillPlaceholder(c.text, c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillPlaceholderTest,
    ::testing::Values(FillCase{L"正在安装...（%d%%）", L"42", L"正在安装...（42%）"},
                      FillCase{L"at least %s free", L"200M", L"at least 200M free"},
                      // A product name with a percent sign is not a format.
                      FillCase{L"keep 100% Music working: %s", L"1G", L"keep 100% Music working: 1G"},
                      FillCase{L"%s and %s", L"x", L"x and %s"},
                      FillCase{L"value %s", L"%d%s", L"value %d%s"},
                      FillCase{L"no placeholder", L"x", L"no placeholder"},
                      FillCase{L"trailing %", L"x", L"trailing %"}));

// A folder of its own under the test data folder, removed afterwards.
class ValidateInstallDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::wstring(TZ_TEST_DATA_DIR) + L"\\ui_validate";
    for (wchar_t& c : root_)
      if (c == L'/') c = L'\\';
    Remove(root_);
    CreateDirectoryW(root_.c_str(), nullptr);
  }
  void TearDown() override { Remove(root_); }

  static void Remove(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        Remove(dir + L"\\" + name);
      else
        DeleteFileW((dir + L"\\" + name).c_str());
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    RemoveDirectoryW(dir.c_str());
  }

  // A path of exactly `length` characters inside the test folder.
  std::wstring PathOfLength(size_t length) const {
    std::wstring path = root_ + L"\\";
    path.append(length - path.size(), L'a');
    return path;
  }

  std::wstring root_;
};

TEST_F(ValidateInstallDirTest, EachCheckReportsItsOwnProblem) {
  std::wstring file = root_ + L"\\plain.txt";
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  ASSERT_LT(root_.size() + 2, kMaxInstallPathLength);

  struct Case {
    std::wstring path;
    unsigned long long required;
    InstallDirProblem expected;
  } cases[] = {
      {L"", 0, InstallDirProblem::kInvalidPath},
      {L"\\\\server\\share\\Prod", 0, InstallDirProblem::kInvalidPath},
      {L"relative\\Prod", 0, InstallDirProblem::kInvalidPath},
      {L"C:Prod", 0, InstallDirProblem::kInvalidPath},
      {PathOfLength(201), 0, InstallDirProblem::kTooLong},
      {PathOfLength(200), 0, InstallDirProblem::kNone},
      {root_ + L"\\new\\deeper", 1, InstallDirProblem::kNone},
      {root_ + L"\\huge", ~0ull, InstallDirProblem::kNotEnoughSpace},
      {file, 0, InstallDirProblem::kReadOnly},
      {file + L"\\below", 0, InstallDirProblem::kReadOnly},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidateInstallDir(c.path, c.required), c.expected) << c.path;
  }
  // The writability check leaves the directories it made, and no temporary file.
  EXPECT_NE(GetFileAttributesW((root_ + L"\\new\\deeper").c_str()), INVALID_FILE_ATTRIBUTES);
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((root_ + L"\\new\\deeper\\nl_*").c_str(), &data);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  // A failed space check creates nothing.
  EXPECT_EQ(GetFileAttributesW((root_ + L"\\huge").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ValidateInstallDirTest, FreeSpaceIsReadFromTheNearestExistingAncestor) {
  ULARGE_INTEGER free_bytes{};
  ASSERT_TRUE(GetDiskFreeSpaceExW((root_ + L"\\").c_str(), &free_bytes, nullptr, nullptr));
  const std::wstring missing = root_ + L"\\not\\yet\\there";
  ASSERT_GT(free_bytes.QuadPart, 1u);
  EXPECT_TRUE(VolumeHasFreeSpace(missing, 1));
  EXPECT_FALSE(VolumeHasFreeSpace(missing, ~0ull));
  EXPECT_FALSE(VolumeHasFreeSpace(L"\\\\server\\share", 0));
  EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(InstallDirMessages, EveryProblemHasItsKey) {
  EXPECT_STREQ(InstallDirMessageKey(InstallDirProblem::kInvalidPath), L"Error.Text.WrongInstPath");
  EXPECT_STREQ(InstallDirMessageKey(InstallDirProblem::kTooLong), L"Error.Text.PathTooLong");
  EXPECT_STREQ(InstallDirMessageKey(InstallDirProblem::kNotEnoughSpace), L"Error.Text.DriveSpaceNotEnough");
  EXPECT_STREQ(InstallDirMessageKey(InstallDirProblem::kReadOnly), L"Error.Text.PathReadOnly");
}

}  // namespace
