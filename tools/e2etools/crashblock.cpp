// Stands in for the bug-report program in the crash scenarios: "crashblock.exe -st <name>" copies
// the crash block byte for byte to block.bin beside itself and writes block.txt with what it can
// check only from outside: the mapping's exact size, its parent process, the process owning the
// block's thread, and the exception code and faulting address behind the block's pointers.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

struct SectionBasicInformation {
  void* base;
  ULONG attributes;
  LARGE_INTEGER size;
};
using NtQuerySectionFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);

uint32_t At(const unsigned char* p, size_t offset) {
  return p[offset] | (p[offset + 1] << 8) | (p[offset + 2] << 16) | (uint32_t(p[offset + 3]) << 24);
}

std::wstring Beside(const wchar_t* leaf) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* slash = wcsrchr(path, L'\\');
  if (slash) slash[1] = L'\0';
  return std::wstring(path) + leaf;
}

DWORD ParentOf(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  DWORD parent = 0;
  for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
    if (e.th32ProcessID == pid) parent = e.th32ParentProcessID;
  CloseHandle(snap);
  return parent;
}

DWORD OwnerOfThread(DWORD tid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 e{};
  e.dwSize = sizeof(e);
  DWORD owner = 0;
  for (BOOL more = Thread32First(snap, &e); more; more = Thread32Next(snap, &e))
    if (e.th32ThreadID == tid) owner = e.th32OwnerProcessID;
  CloseHandle(snap);
  return owner;
}


// "crashblock.exe -hold <name> <ready file>": takes a block name before the installer does, filled
// with junk, and keeps it for two minutes.
int Hold(const wchar_t* name, const wchar_t* ready) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
  if (!mapping) return 2;
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
  if (!view) return 2;
  memset(view, 'X', 4096);
  FILE* f = _wfopen(ready, L"w");
  if (f) fclose(f);
  Sleep(120000);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && _wcsicmp(argv[1], L"-hold") == 0) return Hold(argv[2], argv[3]);
  if (argc < 3 || _wcsicmp(argv[1], L"-st") != 0) return 1;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ | SECTION_QUERY, FALSE, argv[2]);
  if (!mapping) return 2;
  const auto* view = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  if (!view) return 2;
  SectionBasicInformation info{};
  const auto query = reinterpret_cast<NtQuerySectionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQuerySection")));
  if (!query || query(mapping, 0, &info, sizeof(info), nullptr) != 0) return 3;
  const size_t size = static_cast<size_t>(info.size.QuadPart);

  FILE* bin = _wfopen(Beside(L"block.bin").c_str(), L"wb");
  if (!bin) return 4;
  fwrite(view, 1, size, bin);
  fclose(bin);

  const DWORD pid = At(view, 20), tid = At(view, 24), pointers = At(view, 32);
  FILE* txt = _wfopen(Beside(L"block.txt").c_str(), L"w");
  if (!txt) return 4;
  fprintf(txt, "size %u\nparent %lu\nthread_owner %lu\nname %ls\n", static_cast<unsigned>(size),
          ParentOf(GetCurrentProcessId()), OwnerOfThread(tid), argv[2]);
  HANDLE process = OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
  EXCEPTION_POINTERS remote{};
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  SIZE_T got = 0;
  if (process && ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<uintptr_t>(pointers)), &remote,
                                   sizeof(remote), &got) &&
      ReadProcessMemory(process, remote.ExceptionRecord, &record, sizeof(record), &got) &&
      ReadProcessMemory(process, remote.ContextRecord, &context, sizeof(context), &got))
    fprintf(txt, "exception_code %08lx\nexception_eip %lx\n", record.ExceptionCode, context.Eip);
  fclose(txt);
  if (process) CloseHandle(process);
  return 0;
}
