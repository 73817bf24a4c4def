#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/tree_delete.h"

namespace {

std::wstring WindowsDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  GetWindowsDirectoryW(buffer, MAX_PATH);
  return buffer;
}

// What a delete is judged on: the path as Windows resolves it, never the text as written.
TEST(TreeDeleteTest, PathsAreResolvedBeforeTheGuard) {
  const std::wstring windir = WindowsDirectory();
  const struct {
    std::wstring path;
    std::wstring canonical;
    bool is_protected;
  } cases[] = {
      {L"C:\\App\\..", L"C:\\", true},
      {L"C:/App/./../", L"C:\\", true},
      {L"C:\\App\\.. .", L"C:\\", true},
      {L"C:\\App\\...", L"C:\\", true},
      {L"C:\\App\\sub\\..\\..\\..\\..", L"C:\\", true},
      {L"C:\\App. \\x.", L"C:\\App\\x", false},
      {L"C:\\App\\.\\x\\", L"C:\\App\\x", false},
      {L"\\\\server\\share\\dir\\..", L"\\\\server\\share\\", true},
      {L"\\\\?\\C:\\App\\..", L"C:\\", true},
      {L"", L"", true},
      {L"Z:", L"Z:\\", true},
      {windir + L"\\System32\\..", windir, true},
      {windir + L"\\.", windir, true},
      {windir + L"\\Temp\\x", windir + L"\\Temp\\x", false},
  };
  for (const auto& c : cases) {
    const std::wstring canonical = tz::CanonicalPath(c.path);
    EXPECT_EQ(canonical, c.canonical) << c.path;
    EXPECT_EQ(tz::IsProtectedFromDelete(canonical), c.is_protected) << c.path;
  }
  // The folders holding the Windows directory go with it.
  const std::wstring parent = windir.substr(0, windir.find_last_of(L'\\'));
  if (parent.size() > 3) {
    EXPECT_TRUE(tz::IsProtectedFromDelete(tz::CanonicalPath(parent)));
  }
}

TEST(TreeDeleteTest, RelativePathsResolveAgainstTheCurrentDirectory) {
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring expected = current;
  if (expected.back() == L'\\') expected.pop_back();
  EXPECT_EQ(tz::CanonicalPath(L"sub\\..\\x"), expected + L"\\x");
  EXPECT_EQ(tz::CanonicalPath(std::wstring(current, 2) + L"\\a\\.."), std::wstring(current, 2) + L"\\");
}

}  // namespace
