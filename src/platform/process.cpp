#include "platform/process.h"

#include <windows.h>
#include <psapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <optional>

#include "platform/cached_answer.h"
#include "platform/handles.h"
#include "platform/program_path.h"
#include "platform/sync.h"
#include "platform/text_compare.h"

namespace tz {
namespace {

// Shared by the reboot action and the window's reboot prompt; tried again while false.
std::atomic<bool> g_shutdown_privilege{false};
std::atomic<bool> g_debug_privilege{false};

constexpr DWORD kKillWaitMs = 2000;
constexpr DWORD kAfterKillSleepMs = 1000;
constexpr size_t kMaxCommandLine = kMaxStartCommandLine;
constexpr size_t kMaxMediumCommandLine = 1023;
constexpr DWORD kRebootReasonApplication = 0x40000;  // SHTDN_REASON_MAJOR_APPLICATION
constexpr size_t kDriveTableChars = 200;

CriticalSection& CacheLock() {
  static CriticalSection lock;
  return lock;
}

// Logical drive strings ("A:\0C:\0...\0"), read once; an empty read is retried on the next call.
std::wstring DriveTable() {
  static std::wstring drives;
  ScopedLock lock(CacheLock());
  if (drives.empty()) {
    wchar_t buffer[kDriveTableChars] = {};
    const DWORD n = GetLogicalDriveStringsW(kDriveTableChars - 1, buffer);
    if (n > 0 && n < kDriveTableChars) drives.assign(buffer, n);
  }
  return drives;
}

bool EnablePrivilegeOnce(std::atomic<bool>& flag, const wchar_t* name) {
  if (!flag.load()) flag.store(EnablePrivilege(name));
  return flag.load();
}

// The directory part of a process's image path, as the directory filter compares it.
bool ImageDirectoryMatches(DWORD process_id, const std::wstring& directory) {
  std::wstring image;
  if (!GetProcessImagePath(process_id, image)) return false;
  const size_t cut = image.rfind(L'\\');
  if (cut == std::wstring::npos) return false;
  return EqualsIgnoreCase(std::wstring_view(image).substr(0, cut), directory);
}

struct SnapshotEntry {
  DWORD id;
  std::wstring exe;
};

// The snapshot's entries in order, read once: each step of a snapshot walk is costly under Wine,
// and a list of names is matched against the same snapshot many times.
std::vector<SnapshotEntry> ReadSnapshot(HANDLE snapshot) {
  std::vector<SnapshotEntry> entries;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID != 0) entries.push_back({entry.th32ProcessID, entry.szExeFile});
  }
  return entries;
}

// The processes named `exe_name` (and started from `directory` when given), in snapshot order.
std::vector<DWORD> EnumerateProcesses(const std::vector<SnapshotEntry>& entries, const std::wstring& exe_name,
                                      const std::wstring& directory, bool all) {
  std::vector<DWORD> found;
  for (const SnapshotEntry& entry : entries) {
    if (!EqualsIgnoreCase(entry.exe, exe_name)) continue;
    if (!directory.empty() && !ImageDirectoryMatches(entry.id, directory)) continue;
    found.push_back(entry.id);
    if (!all) break;
  }
  return found;
}

UniqueFileHandle ProcessSnapshot() { return UniqueFileHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)); }

// Terminates one process and waits (bounded) for it to end. True when it was terminated or had
// already ended; a process that ignores the wait still counts once TerminateProcess accepted.
bool TerminateAndWait(DWORD process_id) {
  // Killing our own process by name would end the install half-way.
  if (process_id == GetCurrentProcessId()) return false;
  // SYNCHRONIZE makes the wait meaningful; without it the wait would return at once.
  UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id));
  if (!process) process.Reset(OpenProcess(PROCESS_TERMINATE, FALSE, process_id));
  if (!process) return false;
  const bool terminated = TerminateProcess(process.Get(), 0) != FALSE;
  const bool ended = WaitForSingleObject(process.Get(), kKillWaitMs) == WAIT_OBJECT_0;
  return terminated || ended;
}

}  // namespace

std::wstring DevicePathToDrivePath(const std::wstring& device_path) {
  const std::wstring drives = DriveTable();
  for (size_t pos = 0; pos < drives.size() && drives[pos];) {
    const size_t end = drives.find(L'\0', pos);
    const std::wstring root = drives.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
    pos = end == std::wstring::npos ? drives.size() : end + 1;
    if (root.size() < 2) continue;
    const std::wstring drive = root.substr(0, 2);  // "X:"
    wchar_t device[MAX_PATH] = {};
    if (!QueryDosDeviceW(drive.c_str(), device, MAX_PATH)) continue;
    const std::wstring prefix = std::wstring(device) + L'\\';
    if (StartsWithIgnoreCase(device_path, prefix)) return drive + L'\\' + device_path.substr(prefix.size());
  }
  // Paths no drive names, such as those of system processes started before the drives were
  // mounted, still lead to a real directory, so a directory filter can match them.
  static constexpr std::wstring_view kSystemRoot = L"\\SystemRoot\\";
  if (StartsWithIgnoreCase(device_path, kSystemRoot)) {
    wchar_t windir[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(windir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring result(windir, n);
    if (result.back() != L'\\') result += L'\\';
    return result + device_path.substr(kSystemRoot.size());
  }
  static constexpr std::wstring_view kDosPrefix = L"\\??\\";
  if (StartsWithIgnoreCase(device_path, kDosPrefix) && device_path.size() > 6 && device_path[5] == L':')
    return device_path.substr(kDosPrefix.size());
  return {};
}

bool QueryWow64(bool& wow64) {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const HMODULE kernel = GetModuleHandleW(L"kernel32");
  if (!kernel) return false;
  const auto fn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
  // Systems older than the function have no 64-bit edition.
  BOOL result = FALSE;
  if (fn && !fn(GetCurrentProcess(), &result)) return false;
  wow64 = result != FALSE;
  return true;
}

bool IsWow64() {
  static std::atomic<int> state{0};
  return CachedAnswer(state, QueryWow64);
}

bool GetWindowsVersion(WindowsVersion& version) {
  static std::optional<WindowsVersion> cache;
  ScopedLock lock(CacheLock());
  if (!cache) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);  // the extended record, 284 bytes
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto rtl = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                 reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                           : nullptr;
    bool ok;
    if (rtl) {
      ok = rtl(&info) == 0;
    } else {
      ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
    }
    if (!ok) return false;
    WindowsVersion v;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.build = info.dwBuildNumber;
    v.platform_id = info.dwPlatformId;
    info.szCSDVersion[127] = L'\0';
    v.service_pack = info.szCSDVersion;
    v.service_pack_major = info.wServicePackMajor;
    v.service_pack_minor = info.wServicePackMinor;
    v.suite_mask = info.wSuiteMask;
    v.product_type = info.wProductType;
    cache = std::move(v);
  }
  version = *cache;
  return true;
}

bool GetWindowsVersion(DWORD& major, DWORD& minor, DWORD& build) {
  WindowsVersion v;
  if (!GetWindowsVersion(v)) return false;
  major = v.major;
  minor = v.minor;
  build = v.build;
  return true;
}

bool EnablePrivilege(const wchar_t* name) {
  if (!name || !*name) return false;
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Put())) return false;
  TOKEN_PRIVILEGES privileges{};
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  return AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr) != FALSE;
}

bool Reboot() {
  EnablePrivilegeOnce(g_shutdown_privilege, SE_SHUTDOWN_NAME);
  return ExitWindowsEx(EWX_REBOOT, kRebootReasonApplication) != FALSE;
}

bool GetProcessImagePath(DWORD process_id, std::wstring& path) {
  EnablePrivilegeOnce(g_debug_privilege, SE_DEBUG_NAME);
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
  if (!process) process.Reset(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) return false;
  wchar_t image[MAX_PATH] = {};
  const DWORD n = K32GetProcessImageFileNameW(process.Get(), image, MAX_PATH);
  process.Reset();
  if (n == 0 || n >= MAX_PATH) return false;
  path = DevicePathToDrivePath(std::wstring(image, n));
  return true;
}

DWORD FindProcess(const std::wstring& exe_name, const std::wstring& directory) {
  if (exe_name.empty()) return 0;
  const UniqueFileHandle snapshot = ProcessSnapshot();
  if (!snapshot) return 0;
  const std::vector<DWORD> found = EnumerateProcesses(ReadSnapshot(snapshot.Get()), exe_name, directory, false);
  return found.empty() ? 0 : found.front();
}

bool KillProcesses(const std::wstring& exe_name, const std::wstring& directory) {
  if (exe_name.empty()) return false;
  const UniqueFileHandle snapshot = ProcessSnapshot();
  if (!snapshot) return false;
  unsigned terminated = 0;
  for (const DWORD id : EnumerateProcesses(ReadSnapshot(snapshot.Get()), exe_name, directory, true)) {
    if (TerminateAndWait(id)) ++terminated;
  }
  if (terminated > 0) Sleep(kAfterKillSleepMs);
  return terminated > 0;
}

unsigned KillFirstByNames(const std::vector<std::wstring>& exe_names) {
  if (exe_names.empty()) return 0;
  const UniqueFileHandle snapshot = ProcessSnapshot();
  if (!snapshot) return 0;
  const std::vector<SnapshotEntry> entries = ReadSnapshot(snapshot.Get());
  unsigned count = 0;
  for (const std::wstring& name : exe_names) {
    if (name.empty()) continue;
    const std::vector<DWORD> found = EnumerateProcesses(entries, name, {}, false);
    if (found.empty() || !TerminateAndWait(found.front())) continue;
    Sleep(kAfterKillSleepMs);
    ++count;
  }
  return count;
}

bool StartProcess(const std::wstring& file, const std::wstring& arguments, bool show, bool wait,
                  DWORD timeout_ms, const std::wstring& working_dir, DWORD* exit_code) {
  if (file.empty()) return false;
  std::wstring command = arguments.empty() ? QuoteProgramPath(file) : L"\"" + file + L"\" " + arguments;
  if (command.size() > kMaxCommandLine) command.resize(kMaxCommandLine);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show ? SW_SHOWNORMAL : SW_HIDE;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      working_dir.empty() ? nullptr : working_dir.c_str(), &startup, &info)) {
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  thread.Reset();
  if (wait) {
    DWORD code = kStillRunning;
    if (WaitForSingleObject(process.Get(), timeout_ms == 0 ? INFINITE : timeout_ms) == WAIT_OBJECT_0 &&
        !GetExitCodeProcess(process.Get(), &code)) {
      code = kStillRunning;
    }
    if (exit_code) *exit_code = code;
  }
  return true;
}

bool StartMediumIntegrity(const std::wstring& command_line) {
  if (command_line.empty() || command_line.size() > kMaxMediumCommandLine) return false;
  wchar_t command[kMaxMediumCommandLine + 2] = {};  // CreateProcess may write into it
  std::copy(command_line.begin(), command_line.end(), command);

  constexpr DWORD kAccess = TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT;
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), kAccess, token.Put())) return false;
  UniqueHandle medium_token;
  if (!DuplicateTokenEx(token.Get(), kAccess, nullptr, SecurityImpersonation, TokenPrimary, medium_token.Put()))
    return false;

  UniqueLocalMem<PSID> sid;
  if (!ConvertStringSidToSidW(L"S-1-16-8192", sid.Put())) return false;  // medium mandatory level
  TOKEN_MANDATORY_LABEL label{};
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  label.Label.Sid = sid.Get();
  if (!SetTokenInformation(medium_token.Get(), TokenIntegrityLevel, &label,
                           sizeof(label) + GetLengthSid(sid.Get())))
    return false;

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessAsUserW(medium_token.Get(), nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

}  // namespace tz
