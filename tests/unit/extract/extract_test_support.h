#pragma once
// Shared by the extraction tests: the archives made by make_archives.py, a scratch folder in the
// prefix's temp directory, a user callback that behaves like the dispatcher and records every call,
// and the log lines written since a mark.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "diag/install_log.h"
#include "extract/extract_progress.h"
#include "extract/extractor.h"
#include "extract/pending_file.h"

namespace extract_test {

inline std::wstring Fixture(const std::wstring& name) {
  std::wstring path = std::wstring(TZ_TEST_DATA_DIR) + L"\\extract\\" + name;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string ReadBytes(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string data(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
  CloseHandle(file);
  return data;
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write the test file";
  DWORD put = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(file);
}

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
    const std::wstring name = data.cFileName, child = dir + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(child);
    else
      DeleteFileW(child.c_str());
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  RemoveDirectoryW(dir.c_str());
}

// "I|text", "W|text", "E|text" for every log line written after `mark` records.
inline std::vector<std::wstring> LogSince(size_t mark) {
  std::vector<std::wstring> lines;
  const auto records = GetLog().Records();
  for (size_t i = mark; i < records.size(); ++i)
    lines.push_back(std::wstring(1, L"IWE"[records[i].level]) + L"|" + records[i].text);
  return lines;
}

struct ItemCall {
  std::wstring path;
  unsigned long long size;
  bool isDirectory;
};
struct DoneCall {
  std::wstring path;
  int result;
};

// Acts as the dispatcher does (counts sizes into the progress context, resolves create failures)
// and records what the extraction reported.
class RecordingCallback : public IExtracUserCallback {
 public:
  explicit RecordingCallback(void* expectedContext) : expected_(expectedContext) {}
  void SetTotal(void* context, uint64_t total) override {
    EXPECT_EQ(context, expected_);
    static_cast<ExtractProgress*>(context)->total = total;
  }
  void OnBegin(void* context) override {
    EXPECT_EQ(context, expected_);
    ++begins;
  }
  int OnItemBegin(void* context, const wchar_t* path, uint64_t size, bool isDirectory) override {
    static_cast<ExtractProgress*>(context)->begun += size;
    items.push_back({path, size, isDirectory});
    return itemAnswer;
  }
  int OnCreateFailed(void* context, wchar_t* buffer, unsigned chars) override {
    EXPECT_EQ(context, expected_);
    createFailed.push_back(buffer);
    return fixedBase ? ResolveCreateFailure(buffer, chars, *fixedBase) : ResolveCreateFailure(buffer, chars);
  }
  void OnItemDone(void* context, const wchar_t* path, int result) override {
    done.push_back({path, result});
    int position = 0;
    if (ExtractProgressPosition(*static_cast<ExtractProgress*>(context), position)) positions.push_back(position);
  }
  void OnEnd(void* context) override {
    EXPECT_EQ(context, expected_);
    ++ends;
  }

  void* expected_;
  int begins = 0, ends = 0, itemAnswer = kItemContinue;
  const unsigned* fixedBase = nullptr;
  std::vector<ItemCall> items;
  std::vector<std::wstring> createFailed;
  std::vector<DoneCall> done;
  std::vector<int> positions;
};

// A fresh folder in the prefix's temp directory, removed after the test.
class ExtractFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    root_ = std::wstring(temp) + L"tzx" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
    RemoveTree(root_);
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    target_ = root_ + L"\\target\\";
    extractor_.SetUserCallback(&callback_, &progress_);
    logMark_ = GetLog().Records().size();
  }
  void TearDown() override { RemoveTree(root_); }

  bool ExtractFile(const std::wstring& fixture) {
    return extractor_.ExtractFromFile(Fixture(fixture).c_str(), target_.c_str());
  }
  bool ExtractMemory(const std::wstring& fixture) {
    data_ = ReadBytes(Fixture(fixture));
    return extractor_.ExtractFromMemory(data_.data(), data_.size(), target_.c_str());
  }

  std::wstring root_, target_;
  std::string data_;
  ExtractProgress progress_;
  RecordingCallback callback_{&progress_};
  CExtractor_Impl extractor_;
  size_t logMark_ = 0;
};

// The prefix's real PendingFileRenameOperations value, saved when made and put back (or deleted,
// when there was none) when destroyed, so a test may schedule whatever it needs.
class PendingRenameSnapshot {
 public:
  PendingRenameSnapshot() {
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = 0;
    had_value_ = RegQueryValueExW(key_, kPendingValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    saved_.resize(size);
    if (had_value_) RegQueryValueExW(key_, kPendingValue, nullptr, nullptr, saved_.data(), &size);
  }
  ~PendingRenameSnapshot() {
    if (!key_) return;
    if (had_value_)
      RegSetValueExW(key_, kPendingValue, 0, REG_MULTI_SZ, saved_.data(), static_cast<DWORD>(saved_.size()));
    else
      RegDeleteValueW(key_, kPendingValue);
    RegCloseKey(key_);
  }
  PendingRenameSnapshot(const PendingRenameSnapshot&) = delete;
  PendingRenameSnapshot& operator=(const PendingRenameSnapshot&) = delete;

  bool IsOpen() const { return key_ != nullptr; }
  bool HadValue() const { return had_value_; }
  // The raw value: "source\0destination\0..." (empty when there is none).
  std::wstring Raw() const {
    DWORD size = 0;
    RegQueryValueExW(key_, kPendingValue, nullptr, nullptr, nullptr, &size);
    std::wstring data(size / sizeof(wchar_t), L'\0');
    RegQueryValueExW(key_, kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    return data;
  }

 private:
  static constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

  HKEY key_ = nullptr;
  bool had_value_ = false;
  std::vector<BYTE> saved_;
};

}  // namespace extract_test
