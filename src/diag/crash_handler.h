#pragma once
// The top-level exception filter. On a crash it freezes the other threads, describes the crash in
// a named shared block and starts the bug-report program (tzbugreport.exe in the application data
// folder) with "-st <block name>", waits for it, and lets Windows go on with its default handling.
#include <windows.h>

#include <cstdint>
#include <string>

// What the handler asks of the run when it crashes. Every answer must come without waiting: the
// other threads are suspended by then and one of them may hold a store's lock for ever, so a
// value behind a taken lock is answered false (the handler does without it).
class ICrashFacts {
 public:
  virtual bool AppName(std::wstring& out) = 0;         // the script variable APPNAME
  virtual bool ProductVersion(std::wstring& out) = 0;  // of the installer's version resource
  virtual bool Channel(std::wstring& out) = 0;
  virtual bool InstallRunning() = 0;                   // an interactive install worker is running

 protected:
  ~ICrashFacts() = default;
};

// Remembers where the facts come from and sets CrashFilter as the top-level exception filter.
void InstallCrashHandler(ICrashFacts& facts);

// The filter; returns EXCEPTION_CONTINUE_SEARCH on every path.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info);

// The crash block, byte for byte: "crpr", 237, process id, thread id, 1, the address of the
// EXCEPTION_POINTERS, version, "installer", channel, and the JSON text at 236. Its size is the
// JSON length + 247 (the mapping's size).
constexpr size_t kCrashJsonOffset = 236;
constexpr size_t kCrashBlockExtra = 247;
struct CrashBlockFields {
  DWORD process_id = 0;
  DWORD thread_id = 0;
  uint32_t pointers_address = 0;
  std::wstring version;
  std::wstring channel;
  std::string json;
};
std::string BuildCrashBlock(const CrashBlockFields& fields);

// {"except_msg":{"crashPoint":...,"living":...},"inst_log":...} by jsoncpp's fast writer;
// `inst_log` only when a script log file is open (`log_path` not null).
std::string CrashJson(const std::string& crash_point, bool living, const std::string* log_path);

// "<module>!0x<address>\r\n", "<unknown>" for a module that was not found; at most 511 characters.
std::wstring CrashPointText(const std::wstring& module, unsigned long long address);

// 16 characters from A-Z, a-z, 0-9 drawn with rand().
std::wstring CrashMappingName();

// <appdata>\<appname>\tools\tzbugreport.exe; empty when it does not fit in 260 characters.
std::wstring ReporterPath(const std::wstring& appdata, const std::wstring& appname);
