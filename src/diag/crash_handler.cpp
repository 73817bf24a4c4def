#include "diag/crash_handler.h"

#include <dbghelp.h>
#include <json/json.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "diag/install_log.h"
#include "platform/dll_search.h"
#include "platform/encoding.h"
#include "platform/handles.h"

namespace {

constexpr wchar_t kReporterName[] = L"tzbugreport.exe";
constexpr wchar_t kDefaultAppName[] = L"dazevara";
constexpr int kMappingNameTries = 4;
constexpr DWORD kAllThreadAccess = 0x1FFFFF;
constexpr DWORD kMachineI386 = 0x14C;

ICrashFacts* g_facts = nullptr;  // set once by the entry, before the filter is installed

bool LogPath(std::wstring& path) {
  CInstallLog& log = GetLog();
  if (!log.LockIsFree() || !log.IsFileOpen()) return false;
  path = log.FilePath();
  return true;
}

// Only when the log's lock is free: a suspended thread may hold it.
void LogError(const std::wstring& text) {
  if (GetLog().LockIsFree()) GetLog().Write(LOG_ERROR, text);
}

void FreezeOtherThreads(DWORD pid, DWORD tid) {
  tz::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID != pid || entry.th32ThreadID == tid) continue;
    tz::UniqueHandle thread(OpenThread(kAllThreadAccess, FALSE, entry.th32ThreadID));
    if (thread) SuspendThread(thread.Get());
  }
}

std::wstring AppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

// The debug help library of the system, never a copy beside the installer.
tz::UniqueHmodule LoadSystemDbgHelp() { return tz::UniqueHmodule(tz::LoadSystemLibrary(L"dbghelp.dll")); }

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct ModuleSearch {
  DWORD64 address = 0;
  std::wstring name;
};

BOOL CALLBACK FindModule(PCWSTR name, DWORD64 base, ULONG size, PVOID context) {
  auto* search = static_cast<ModuleSearch*>(context);
  if (search->address < base || search->address >= base + size) return TRUE;
  // The loader's own path for that base: some dbghelp versions report the name without its
  // extension, and the report must name the file.
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(base)), path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) name = path;
  const wchar_t* slash = name ? wcsrchr(name, L'\\') : nullptr;
  search->name = slash ? slash + 1 : (name ? name : L"");
  return FALSE;
}

// One stack-walk step from the faulting context, so the crash point names the code that faulted
// rather than this handler.
std::wstring FindCrashPoint(HMODULE dbghelp, const EXCEPTION_POINTERS* info) {
  using StackWalkFn = decltype(&StackWalk64);
  using EnumModulesFn = BOOL(WINAPI*)(HANDLE, PENUMLOADED_MODULES_CALLBACKW64, PVOID);
  const auto walk = Lookup<StackWalkFn>(dbghelp, "StackWalk64");
  const auto module_base = Lookup<PGET_MODULE_BASE_ROUTINE64>(dbghelp, "SymGetModuleBase64");
  const auto table_access = Lookup<PFUNCTION_TABLE_ACCESS_ROUTINE64>(dbghelp, "SymFunctionTableAccess64");
  const auto enum_modules = Lookup<EnumModulesFn>(dbghelp, "EnumerateLoadedModulesW64");
  if (!info || !info->ContextRecord) return {};

  CONTEXT context = *info->ContextRecord;  // the walk changes it
  STACKFRAME64 frame{};
  frame.AddrPC.Offset = context.Eip;
  frame.AddrPC.Mode = AddrModeFlat;
  frame.AddrFrame.Offset = context.Ebp;
  frame.AddrFrame.Mode = AddrModeFlat;
  frame.AddrStack.Offset = context.Esp;
  frame.AddrStack.Mode = AddrModeFlat;
  if (!walk(kMachineI386, GetCurrentProcess(), GetCurrentThread(), &frame, &context, nullptr, table_access,
            module_base, nullptr))
    return {};
  ModuleSearch search;
  search.address = frame.AddrPC.Offset;
  if (enum_modules) enum_modules(GetCurrentProcess(), FindModule, &search);
  return CrashPointText(search.name, search.address);
}

// Creates the named block; a name that already exists belongs to someone else, so draw another.
tz::UniqueHandle CreateCrashMapping(DWORD size, std::wstring& name) {
  for (int attempt = 0; attempt < kMappingNameTries; ++attempt) {
    name = CrashMappingName();
    SetLastError(ERROR_SUCCESS);
    tz::UniqueHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str()));
    if (!mapping) return {};
    if (GetLastError() != ERROR_ALREADY_EXISTS) return mapping;
  }
  return {};
}

void StartReporterAndWait(const std::wstring& reporter, const std::wstring& mapping_name) {
  wchar_t command[512] = {};
  if (_snwprintf_s(command, _countof(command), _TRUNCATE, L"%s %s %s", reporter.c_str(), L"-st",
                   mapping_name.c_str()) < 0)
    return;
  wchar_t folder[MAX_PATH] = {};
  wcsncpy(folder, reporter.c_str(), MAX_PATH - 1);
  PathRemoveFileSpecW(folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &started)) return;
  tz::UniqueHandle process(started.hProcess);
  CloseHandle(started.hThread);
  WaitForSingleObject(process.Get(), INFINITE);
}

void PutAscii(std::string& block, size_t offset, size_t field_size, const std::string& text) {
  const size_t n = text.size() < field_size - 1 ? text.size() : field_size - 1;
  std::memcpy(&block[offset], text.data(), n);
}

std::string Low7Bits(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c & 0x7F);
  return out;
}

void PutUInt32(std::string& block, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void HandleCrash(EXCEPTION_POINTERS* info) {
  const DWORD pid = GetCurrentProcessId();
  const DWORD tid = GetCurrentThreadId();
  FreezeOtherThreads(pid, tid);
  std::wstring app_name, version, channel;
  const bool living = g_facts && g_facts->InstallRunning();
  if (!g_facts || !g_facts->AppName(app_name) || app_name.empty()) app_name = kDefaultAppName;
  if (g_facts) {
    g_facts->ProductVersion(version);
    g_facts->Channel(channel);
  }

  const std::wstring reporter = ReporterPath(AppDataFolder(), app_name);
  if (reporter.empty() || GetFileAttributesW(reporter.c_str()) == INVALID_FILE_ATTRIBUTES) {
    LogError(FormatText(L"[UE]can not find %s", reporter.c_str()));
    return;
  }
  const tz::UniqueHmodule dbghelp = LoadSystemDbgHelp();
  if (!dbghelp || !GetProcAddress(dbghelp.Get(), "StackWalk64")) {
    LogError(L"[UE]can not init info reader");
    return;
  }

  const std::string crash_point = tz::WideToAnsi(FindCrashPoint(dbghelp.Get(), info)).substr(0, 511);
  std::wstring log_path;
  const bool have_log = LogPath(log_path);
  const std::string log_ansi = tz::WideToAnsi(log_path);

  CrashBlockFields fields;
  fields.process_id = pid;
  fields.thread_id = tid;
  fields.pointers_address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info));
  fields.version = version;
  fields.channel = channel;
  fields.json = CrashJson(crash_point, living, have_log ? &log_ansi : nullptr);
  const std::string block = BuildCrashBlock(fields);

  std::wstring name;
  const tz::UniqueHandle mapping = CreateCrashMapping(static_cast<DWORD>(block.size()), name);
  if (!mapping) return;
  {
    tz::UniqueMapView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view) return;
    std::memcpy(view.Get(), block.data(), block.size());
  }
  StartReporterAndWait(reporter, name);
}

}  // namespace

std::string BuildCrashBlock(const CrashBlockFields& f) {
  std::string block(f.json.size() + kCrashBlockExtra, '\0');
  std::memcpy(&block[0], "crpr", 4);
  PutUInt32(block, 16, 237);
  PutUInt32(block, 20, f.process_id);
  PutUInt32(block, 24, f.thread_id);
  PutUInt32(block, 28, 1);
  PutUInt32(block, 32, f.pointers_address);
  PutUInt32(block, 40, 0);
  PutAscii(block, 44, 32, Low7Bits(f.version));
  PutAscii(block, 108, 64, "installer");
  PutAscii(block, 172, 64, Low7Bits(f.channel));
  std::memcpy(&block[kCrashJsonOffset], f.json.data(), f.json.size());
  return block;
}

std::string CrashJson(const std::string& crash_point, bool living, const std::string* log_path) {
  Json::Value root(Json::objectValue);
  root["except_msg"]["crashPoint"] = crash_point;
  root["except_msg"]["living"] = living;
  if (log_path) root["inst_log"] = *log_path;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::FastWriter writer;
#pragma GCC diagnostic pop
  return writer.write(root);
}

std::wstring CrashPointText(const std::wstring& module, unsigned long long address) {
  wchar_t text[512] = {};
  _snwprintf_s(text, _countof(text), _TRUNCATE, L"%s!0x%I64x\r\n", module.empty() ? L"<unknown>" : module.c_str(),
               address);
  return text;
}

std::wstring CrashMappingName() {
  std::wstring name;
  for (int i = 0; i < 16; ++i) {
    const int r = rand() % 62;
    name += static_cast<wchar_t>(r < 26 ? L'A' + r : (r < 52 ? L'a' + r - 26 : L'0' + r - 52));
  }
  return name;
}

std::wstring ReporterPath(const std::wstring& appdata, const std::wstring& appname) {
  if (appdata.empty()) return {};
  wchar_t path[MAX_PATH] = {};
  wcsncpy(path, appdata.c_str(), MAX_PATH - 1);
  wchar_t full[MAX_PATH] = {};
  if (!PathAppendW(path, appname.c_str()) || !PathAppendW(path, L"tools") ||
      !PathCombineW(full, path, kReporterName))
    return {};
  return full;
}

void InstallCrashHandler(ICrashFacts& facts) {
  g_facts = &facts;
  SetUnhandledExceptionFilter(CrashFilter);
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  // Nothing may escape a top-level filter; a failure here only loses the report.
  try {
    HandleCrash(info);
  } catch (...) {
  }
  return EXCEPTION_CONTINUE_SEARCH;
}
