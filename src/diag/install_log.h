#pragma once
// The process-wide install log: every entry is kept in memory; it also goes to the script log
// file once that is open, and to the dated exit copy at the end of a "/log" run.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/sync.h"

enum LogLevel { LOG_INFO = 0, LOG_WARNING = 1, LOG_ERROR = 2 };

struct LogRecord {
  int level;
  SYSTEMTIME time;
  std::wstring text;
};

// What the header and the exit copy say about the installer (its file, folder, version, size).
struct LogInstaller {
  std::wstring path;
  std::wstring name;
  std::wstring dir;
  std::wstring version;
  unsigned long long size = 0;
};

class CInstallLog {
 public:
  CInstallLog();
  ~CInstallLog();
  CInstallLog(const CInstallLog&) = delete;
  CInstallLog& operator=(const CInstallLog&) = delete;

  // printf-style wide formats (%s takes a wide string); no length limit. Writing an entry leaves
  // the thread's last error as it was.
  void Info(const wchar_t* format, ...);
  void Error(const wchar_t* format, ...);
  // Appends the text unchanged; the only way to write a Warning.
  void Write(int level, const std::wstring& text);

  // Set by the entry before the file opens.
  void SetInstaller(const LogInstaller& installer);
  bool Open(const std::wstring& path);
  bool SaveCopy();

  void SetStartTime(const SYSTEMTIME& t);
  SYSTEMTIME StartTime() const;
  void SetEndTime(const SYSTEMTIME& t);
  SYSTEMTIME EndTime() const;
  bool IsFileOpen() const;
  // Writes one line to the script log file only (not kept in memory); false when no file is open.
  // `stamp`: the line's time (default: now).
  bool WriteToFileOnly(int level, const std::wstring& text, const SYSTEMTIME* stamp = nullptr);

  std::vector<LogRecord> Records() const;
  std::wstring FilePath() const;
  // For the crash handler: true when logging would not wait for another thread.
  bool LockIsFree() const { return lock_.IsFree(); }

  // The texts of one line and of the header, as written to the files.
  static std::wstring FormatLine(const LogRecord& r);
  std::wstring FormatHeader() const;
  // "<name>_YYYYMMDD_HHMMSS.txt"
  static std::wstring CopyFileName(const std::wstring& installer_name, const SYSTEMTIME& t);

 private:
  void Append(int level, std::wstring text);
  void WriteAll(HANDLE file) const;  // caller holds the lock

  mutable tz::CriticalSection lock_;
  std::vector<LogRecord> records_;
  SYSTEMTIME start_{};
  SYSTEMTIME end_{};
  tz::UniqueFileHandle file_;
  LogInstaller installer_;
  bool file_open_ = false;
  std::wstring path_;
};

CInstallLog& GetLog();

// Formats a wide printf-style text with Microsoft semantics (%s is a wide string).
std::wstring FormatText(const wchar_t* format, ...);
std::wstring FormatTextV(const wchar_t* format, va_list args);
