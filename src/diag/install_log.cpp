#include "diag/install_log.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cwchar>

#include "platform/filesystem.h"
#include "platform/sync.h"
#include "platform/handles.h"

namespace {

using Lock = tz::ScopedLock;

void WriteText(HANDLE file, const std::wstring& text) {
  if (text.empty()) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
}

// Logging a failure must not lose its cause: callers read GetLastError after the log line.
class KeepLastError {
 public:
  KeepLastError() : error_(GetLastError()) {}
  ~KeepLastError() { SetLastError(error_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD error_;
};

void WriteBom(HANDLE file) {
  const wchar_t bom = 0xFEFF;
  DWORD written = 0;
  WriteFile(file, &bom, sizeof(bom), &written, nullptr);
}

}  // namespace

std::wstring FormatTextV(const wchar_t* format, va_list args) {
  if (!format) return {};
  va_list probe;
  va_copy(probe, args);
  const int n = _vscwprintf(format, probe);
  va_end(probe);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n) + 1, L'\0');
  _vsnwprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::wstring FormatText(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring s = FormatTextV(format, args);
  va_end(args);
  return s;
}

CInstallLog::CInstallLog() = default;

CInstallLog::~CInstallLog() = default;

void CInstallLog::SetInstaller(const LogInstaller& installer) {
  Lock lock(lock_);
  installer_ = installer;
}

CInstallLog& GetLog() {
  static CInstallLog log;  // thread-safe construction
  return log;
}

void CInstallLog::Info(const wchar_t* format, ...) {
  const KeepLastError keep;
  va_list args;
  va_start(args, format);
  std::wstring text = FormatTextV(format, args);
  va_end(args);
  Append(LOG_INFO, std::move(text));
}

void CInstallLog::Error(const wchar_t* format, ...) {
  const KeepLastError keep;
  va_list args;
  va_start(args, format);
  std::wstring text = FormatTextV(format, args);
  va_end(args);
  Append(LOG_ERROR, std::move(text));
}

void CInstallLog::Write(int level, const std::wstring& text) {
  const KeepLastError keep;
  Append(level, text);
}

void CInstallLog::Append(int level, std::wstring text) {
  LogRecord r{level, {}, std::move(text)};
  GetLocalTime(&r.time);
  Lock lock(lock_);
  records_.push_back(std::move(r));
  if (file_open_ && file_) WriteText(file_.Get(), FormatLine(records_.back()));
}

std::wstring CInstallLog::FormatLine(const LogRecord& r) {
  const wchar_t* tag = L" ";
  if (r.level == LOG_WARNING)
    tag = L" [警告]: ";
  else if (r.level == LOG_ERROR)
    tag = L" [错误]: ";
  std::wstring line = FormatText(L"[%02hd:%02hd:%02hd.%03hd]", r.time.wHour, r.time.wMinute, r.time.wSecond,
                                 r.time.wMilliseconds);
  line += tag;
  line += r.text;
  line += L"\r\n";
  return line;
}

std::wstring CInstallLog::FormatHeader() const {
  LogInstaller installer;
  {
    Lock lock(lock_);
    installer = installer_;
  }
  return FormatText(L"执行安装程序: %s\r\n版本: %s, 大小: %llu\r\n", installer.path.c_str(),
                    installer.version.c_str(), installer.size);
}

std::wstring CInstallLog::CopyFileName(const std::wstring& installer_name, const SYSTEMTIME& t) {
  return FormatText(L"%s_%04hd%02hd%02hd_%02hd%02hd%02hd.%s", installer_name.c_str(), t.wYear, t.wMonth, t.wDay,
                    t.wHour, t.wMinute, t.wSecond, L"txt");
}

void CInstallLog::WriteAll(HANDLE file) const {
  for (const LogRecord& r : records_) WriteText(file, FormatLine(r));
}

bool CInstallLog::Open(const std::wstring& path) {
  if (path.empty()) return false;
  {
    Lock lock(lock_);
    if (file_open_) return false;  // never reopened
  }
  wchar_t dir[MAX_PATH] = {};
  wcsncpy(dir, path.c_str(), MAX_PATH - 1);
  if (PathRemoveFileSpecW(dir) && dir[0] && GetFileAttributesW(dir) == INVALID_FILE_ATTRIBUTES)
    tz::CreateDirectories(dir);
  tz::UniqueFileHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_WRITE_THROUGH | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return false;
  WriteBom(h.Get());
  WriteText(h.Get(), FormatHeader());
  Lock lock(lock_);
  path_ = path;
  file_ = std::move(h);
  file_open_ = true;
  WriteAll(file_.Get());
  return true;
}

bool CInstallLog::SaveCopy() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LogInstaller installer;
  {
    Lock lock(lock_);
    installer = installer_;
  }
  const std::wstring& dir = installer.dir;
  std::wstring file = CopyFileName(installer.name, now);
  wchar_t full[MAX_PATH] = {};
  if (PathIsRelativeW(file.c_str())) {
    if (!PathCombineW(full, dir.c_str(), file.c_str())) return false;
    file = full;
  }
  tz::UniqueFileHandle h(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return false;
  WriteBom(h.Get());
  WriteText(h.Get(), FormatHeader());
  Lock lock(lock_);
  WriteAll(h.Get());
  return true;
}

void CInstallLog::SetStartTime(const SYSTEMTIME& t) {
  Lock lock(lock_);
  start_ = t;
}
SYSTEMTIME CInstallLog::StartTime() const {
  Lock lock(lock_);
  return start_;
}
void CInstallLog::SetEndTime(const SYSTEMTIME& t) {
  Lock lock(lock_);
  end_ = t;
}
SYSTEMTIME CInstallLog::EndTime() const {
  Lock lock(lock_);
  return end_;
}
bool CInstallLog::IsFileOpen() const {
  Lock lock(lock_);
  return file_open_;
}

bool CInstallLog::WriteToFileOnly(int level, const std::wstring& text, const SYSTEMTIME* stamp) {
  LogRecord r{level, {}, text};
  if (stamp)
    r.time = *stamp;
  else
    GetLocalTime(&r.time);
  Lock lock(lock_);
  if (!file_open_ || !file_) return false;
  WriteText(file_.Get(), FormatLine(r));
  return true;
}

std::vector<LogRecord> CInstallLog::Records() const {
  Lock lock(lock_);
  return records_;
}

std::wstring CInstallLog::FilePath() const {
  Lock lock(lock_);
  return path_;
}
