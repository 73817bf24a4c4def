#pragma once
// Shared by the platform tests: Wine detection, the helpers built beside this test program, a
// throwaway folder per test and small file helpers written with the raw API.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace tz::test {

inline bool RunningOnWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring dir = path;
  return dir.substr(0, dir.rfind(L'\\'));
}
inline std::wstring HelperPath(const wchar_t* name) { return ProgramDirectory() + L"\\" + name; }

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool IsDir(const std::wstring& path) {
  const DWORD attrs = GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool AnyMatch(const std::wstring& pattern) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  return find != INVALID_HANDLE_VALUE;
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}
inline std::wstring ReadUtf16(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
  CloseHandle(file);
  return text;
}

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
    const std::wstring child = dir + L"\\" + data.cFileName;
    if (data.cFileName == std::wstring(L".") || data.cFileName == std::wstring(L"..")) continue;
    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(child);
    } else {
      DeleteFileW(child.c_str());
    }
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  RemoveDirectoryW(dir.c_str());
}

// A fresh folder under the build tree's test data (Z:, with backslashes), removed after the test.
class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::wstring base = TZ_TEST_DATA_DIR;
    for (wchar_t& c : base) c = c == L'/' ? L'\\' : c;
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = base + L"\\platform" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::wstring(name.begin(), name.end());
    RemoveTree(dir_);
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(dir_); }
  std::wstring Path(const std::wstring& relative) const { return dir_ + L"\\" + relative; }

  std::wstring dir_;
};

}  // namespace tz::test
