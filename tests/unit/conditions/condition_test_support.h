#pragma once
// Shared pieces of the condition tests: a fresh condition table and option state per test, the log
// lines a test wrote, a throwaway folder, and the helper programs built beside this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine.h"
#include "diag/install_log.h"

namespace cond_test {

inline std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir = path;
  return dir.substr(0, dir.rfind(L'\\'));
}

inline std::wstring HelperPath(const wchar_t* name) { return ProgramDirectory() + L"\\" + name; }

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

inline ConditionRecord Item(uint32_t id, ConditionType type) {
  ConditionRecord r;
  r.id = id;
  r.type = type;
  return r;
}

// Each test starts with a fresh run (empty tables, the modes off) and its own scratch folder.
class ConditionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_start_ = GetLog().Records().size();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name;
    for (const char* p = info->name(); *p; ++p) name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    dir_ = std::wstring(TZ_TEST_DATA_DIR) + L"\\cond_" + std::to_wstring(GetCurrentProcessId()) + L"_" + name;
    for (wchar_t& c : dir_) {
      if (c == L'/') c = L'\\';
    }
    RemoveTree(dir_);
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
  }
  void TearDown() override {
    RemoveTree(dir_);
  }

  std::wstring Path(const std::wstring& relative) const { return dir_ + L"\\" + relative; }

  // Log lines written since the test began, with their level tags as the files show them.
  std::vector<std::wstring> NewLog() const {
    std::vector<std::wstring> lines;
    const auto records = GetLog().Records();
    for (size_t i = log_start_; i < records.size(); ++i) {
      const wchar_t* tag = records[i].level == LOG_ERROR ? L"[错误]: " : records[i].level == LOG_WARNING ? L"[警告]: " : L"";
      lines.push_back(tag + records[i].text);
    }
    return lines;
  }

  // Adds the item and evaluates it once.
  bool AddAndEvaluate(const ConditionRecord& r) {
    engine_.run.conditions.Add(r);
    return engine_.conditions.Evaluate(r.id);
  }

  CEngine engine_;  // a fresh run for every test
  size_t log_start_ = 0;
  std::wstring dir_;
};

}  // namespace cond_test
