#pragma once
// Process-level services: WOW64 and Windows version, privileges, reboot, finding, killing and
// starting programs. Nothing here logs; every operation reports through its result.
#include <windows.h>

#include <string>
#include <vector>

namespace tz {

// True when this (32-bit) process runs on 64-bit Windows. Kept once the system has answered.
bool IsWow64();
// Asks the system afresh; false when it cannot tell (nothing is assumed then).
bool QueryWow64(bool& wow64);

// Windows version from RtlGetVersion (GetVersionExW when ntdll lacks it), cached on first success.
struct WindowsVersion {
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;
  DWORD platform_id = 0;
  std::wstring service_pack;
  WORD service_pack_major = 0;
  WORD service_pack_minor = 0;
  WORD suite_mask = 0;
  BYTE product_type = 0;
};
// False (outputs untouched) when neither query works; a later call tries again.
bool GetWindowsVersion(WindowsVersion& version);
bool GetWindowsVersion(DWORD& major, DWORD& minor, DWORD& build);

// Enables a privilege (SE_*_NAME) in the process token. The result is AdjustTokenPrivileges' own:
// a privilege the account does not hold still reports true. False when the token cannot be opened
// or the name is unknown.
bool EnablePrivilege(const wchar_t* name);

// Asks Windows to restart (shutdown privilege enabled once). True when the request was accepted.
bool Reboot();

// Drive-letter path of a process's image ("C:\dir\app.exe"). True when the process could be opened
// and named; the path is empty when its device path maps to no drive.
bool GetProcessImagePath(DWORD process_id, std::wstring& path);

// Kernel device path ("\Device\HarddiskVolume3\dir\app.exe") to a drive path ("C:\dir\app.exe"),
// by the device names of the machine's drives; "\SystemRoot\..." goes through the Windows
// directory and "\??\C:\..." loses its prefix. Empty when nothing maps it.
std::wstring DevicePathToDrivePath(const std::wstring& device_path);

// Id of the first running process whose executable file name is `exe_name` (any case) and, when
// `directory` is not empty, whose image directory equals it (any case, no trailing backslash).
// 0 when none.
DWORD FindProcess(const std::wstring& exe_name, const std::wstring& directory);

// Terminates every process FindProcess would match (never this process itself), waiting up to
// 2 s for each; sleeps 1 s once when any was terminated. True when at least one was.
bool KillProcesses(const std::wstring& exe_name, const std::wstring& directory);

// For each name in order, terminates its first process (one snapshot for all names). Returns how
// many names had a process terminated.
unsigned KillFirstByNames(const std::vector<std::wstring>& exe_names);

// Exit code reported when a waited-for program was still running at the timeout.
constexpr DWORD kStillRunning = STILL_ACTIVE;  // 259

// Longest command line StartProcess passes on; a longer one is cut to this length.
constexpr size_t kMaxStartCommandLine = 779;

// Starts `file` ("\"file\" arguments" when arguments are given, else the file alone, at most
// kMaxStartCommandLine characters), shown normally or hidden, in `working_dir` when not empty.
// With `wait`, waits up to `timeout_ms` (0 = no limit) and sets `exit_code` (kStillRunning when
// it did not end in time). False when the file is empty or the process could not be created.
bool StartProcess(const std::wstring& file, const std::wstring& arguments, bool show, bool wait,
                  DWORD timeout_ms, const std::wstring& working_dir, DWORD* exit_code);

// Starts a command line (at most 1023 characters) with a copy of this process's token lowered to
// medium integrity, so the program does not inherit administrator rights. Never waits.
bool StartMediumIntegrity(const std::wstring& command_line);

}  // namespace tz
