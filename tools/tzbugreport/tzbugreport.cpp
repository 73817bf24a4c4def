// The bug-report program. The installer's crash handler starts it as "tzbugreport.exe -st <name>"
// and waits for it: it reads the crash block the installer left in the named mapping, writes a
// minidump of the crashed installer and a short text report into the "crash" folder beside its
// own "tools" folder, and exits. The installer waits for us without a time-out, so all the work
// runs under a watchdog: past the limit the program ends itself.
#include <windows.h>
#include <dbghelp.h>
#include <json/json.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/handles.h"

namespace {

constexpr DWORD kTimeLimitMs = 60000;
constexpr size_t kJsonOffset = 236;
constexpr size_t kMinBlockSize = kJsonOffset + 1;
constexpr uint32_t kLayout = 237;

enum ExitCode : int {
  kDone = 0,
  kBadCommandLine = 1,
  kBadBlock = 2,
  kNoProcess = 3,
  kNoDump = 4,
  kTimedOut = 5,
};

struct CrashBlock {
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
  uint32_t pointers = 0;
  std::string version, product, channel, json;
};

uint32_t ReadUInt32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// A NUL-terminated text inside [offset, offset + size); false when it has no NUL there.
bool ReadField(const unsigned char* block, size_t offset, size_t size, std::string& out) {
  const void* end = std::memchr(block + offset, 0, size);
  if (!end) return false;
  out.assign(reinterpret_cast<const char*>(block + offset), static_cast<const unsigned char*>(end) - (block + offset));
  return true;
}

bool ParseBlock(const unsigned char* block, size_t size, CrashBlock& out) {
  if (size < kMinBlockSize || std::memcmp(block, "crpr", 5) != 0) return false;
  if (ReadUInt32(block + 16) != kLayout || ReadUInt32(block + 28) != 1) return false;
  out.process_id = ReadUInt32(block + 20);
  out.thread_id = ReadUInt32(block + 24);
  out.pointers = ReadUInt32(block + 32);
  return ReadField(block, 44, 32, out.version) && ReadField(block, 108, 64, out.product) &&
         ReadField(block, 172, 64, out.channel) && ReadField(block, kJsonOffset, size - kJsonOffset, out.json);
}

bool ReadBlock(const std::wstring& name, CrashBlock& out) {
  tz::UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
  if (!mapping) return false;
  tz::UniqueMapView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return false;
  MEMORY_BASIC_INFORMATION region{};
  if (!VirtualQuery(view.Get(), &region, sizeof(region))) return false;
  return ParseBlock(static_cast<const unsigned char*>(view.Get()), region.RegionSize, out);
}

std::string AnsiToUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}

std::string Utf8(const std::wstring& text) {
  const int m = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(m > 0 ? m - 1 : 0, '\0');
  if (m > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), m, nullptr, nullptr);
  return out;
}

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  _vsnprintf_s(text, sizeof(text), _TRUNCATE, format, args);
  va_end(args);
  return text;
}

// <folder of the tools folder>\crash, created when missing.
std::wstring CrashFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  PathRemoveFileSpecW(path);  // ...\tools
  PathRemoveFileSpecW(path);  // the product's folder
  if (!PathAppendW(path, L"crash")) return {};
  CreateDirectoryW(path, nullptr);
  return path;
}

// The exception code, read through the pointers the installer handed over.
bool ReadExceptionCode(HANDLE process, uint32_t pointers, DWORD& code) {
  EXCEPTION_POINTERS remote{};
  EXCEPTION_RECORD record{};
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(pointers)), &remote,
                         sizeof(remote), &got) ||
      !remote.ExceptionRecord ||
      !ReadProcessMemory(process, remote.ExceptionRecord, &record, sizeof(record), &got))
    return false;
  code = record.ExceptionCode;
  return true;
}

bool WriteDump(HANDLE process, const CrashBlock& block, const std::wstring& path, DWORD& error) {
  wchar_t dir[MAX_PATH] = {};
  wchar_t dll[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  error = ERROR_MOD_NOT_FOUND;
  if (n == 0 || n >= MAX_PATH || !PathCombineW(dll, dir, L"dbghelp.dll")) return false;
  tz::UniqueHmodule dbghelp(LoadLibraryW(dll));
  using WriteDumpFn = decltype(&MiniDumpWriteDump);
  const auto write = reinterpret_cast<WriteDumpFn>(
      reinterpret_cast<void*>(dbghelp ? GetProcAddress(dbghelp.Get(), "MiniDumpWriteDump") : nullptr));
  if (!write) return false;
  tz::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = GetLastError();
    return false;
  }
  MINIDUMP_EXCEPTION_INFORMATION exception{};
  exception.ThreadId = block.thread_id;
  exception.ExceptionPointers = reinterpret_cast<PEXCEPTION_POINTERS>(static_cast<uintptr_t>(block.pointers));
  exception.ClientPointers = TRUE;  // the address is in the installer's address space
  if (write(process, block.process_id, file.Get(), MiniDumpNormal, &exception, nullptr, nullptr)) return true;
  error = GetLastError();
  return false;
}

void WriteReport(const std::wstring& path, const std::string& text) {
  tz::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int Report(const std::wstring& mapping_name) {
  CrashBlock block;
  if (!ReadBlock(mapping_name, block)) return kBadBlock;
  Json::Value root;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Json::Reader reader;
#pragma GCC diagnostic pop
  reader.parse(block.json, root, false);
  std::string crash_point = root["except_msg"]["crashPoint"].asString();
  while (!crash_point.empty() && (crash_point.back() == '\n' || crash_point.back() == '\r')) crash_point.pop_back();

  const std::wstring folder = CrashFolder();
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t base[MAX_PATH] = {};
  _snwprintf_s(base, MAX_PATH, _TRUNCATE, L"%s\\crash_%04hd%02hd%02hd_%02hd%02hd%02hd_%u", folder.c_str(), now.wYear,
               now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, block.process_id);
  const std::wstring dump_path = std::wstring(base) + L".dmp";

  std::string text;
  text += Format("process: %u\r\n", block.process_id);
  text += Format("thread: %u\r\n", block.thread_id);
  text += Format("exception pointers: 0x%08X\r\n", block.pointers);
  text += "version: " + block.version + "\r\n";
  text += "product: " + block.product + "\r\n";
  text += "channel: " + block.channel + "\r\n";
  text += "crash point: " + AnsiToUtf8(crash_point) + "\r\n";
  text += std::string("living: ") + (root["except_msg"]["living"].asBool() ? "true" : "false") + "\r\n";
  text += "log: " + (root.isMember("inst_log") ? AnsiToUtf8(root["inst_log"].asString()) : std::string()) + "\r\n";

  int result = kDone;
  tz::UniqueHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, block.process_id));
  if (!process) {
    text += Format("dump: no access to the process (error %lu)\r\n", GetLastError());
    result = kNoProcess;
  } else {
    DWORD code = 0;
    if (ReadExceptionCode(process.Get(), block.pointers, code)) text += Format("exception code: 0x%08lX\r\n", code);
    DWORD error = 0;
    if (WriteDump(process.Get(), block, dump_path, error)) {
      text += "dump: " + Utf8(PathFindFileNameW(dump_path.c_str())) + "\r\n";
    } else {
      DeleteFileW(dump_path.c_str());
      text += Format("dump: failed (error %lu)\r\n", error);
      result = kNoDump;
    }
  }
  WriteReport(std::wstring(base) + L".txt", text);
  return result;
}

DWORD WINAPI ReportThread(void* name) {
  // A JSON text of an unexpected shape makes jsoncpp throw; the report is then lost, not the wait.
  try {
    return static_cast<DWORD>(Report(*static_cast<const std::wstring*>(name)));
  } catch (...) {
    return kBadBlock;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  tz::UniqueLocalMem<LPWSTR*> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
  if (!argv) return kBadCommandLine;
  std::wstring name;
  // The installer does not quote our path, so a blank in it splits it: look for the switch.
  for (int i = 1; i + 1 < argc; ++i)
    if (_wcsicmp(argv.Get()[i], L"-st") == 0) name = argv.Get()[i + 1];
  if (name.empty()) return kBadCommandLine;

  tz::UniqueHandle worker(CreateThread(nullptr, 0, ReportThread, &name, 0, nullptr));
  if (!worker) return kNoDump;  // without the watchdog the installer could wait for ever
  if (WaitForSingleObject(worker.Get(), kTimeLimitMs) != WAIT_OBJECT_0)
    TerminateProcess(GetCurrentProcess(), kTimedOut);
  DWORD code = kDone;
  GetExitCodeThread(worker.Get(), &code);
  return static_cast<int>(code);
}
