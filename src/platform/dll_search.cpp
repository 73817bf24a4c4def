#include "platform/dll_search.h"

#include <shlwapi.h>

namespace tz {
namespace {

// Windows 7 without KB2533623 lacks both, and then LoadLibraryExW refuses the LOAD_LIBRARY_SEARCH flags.
template <typename Fn>
Fn Kernel32(const char* name) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

bool HaveSearchFlags() {
  static const bool have = Kernel32<void*>("AddDllDirectory") != nullptr;
  return have;
}

}  // namespace

void RestrictDllSearch() {
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  if (const auto set_default = Kernel32<SetDefaultFn>("SetDefaultDllDirectories")) {
    if (set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  }
  // Older systems: at least the current directory leaves the search.
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (!name || !*name) return nullptr;
  if (HaveSearchFlags()) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(system) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadModuleFromPath(const std::wstring& path) {
  if (path.empty()) return nullptr;
  if (PathIsRelativeW(path.c_str())) return LoadLibraryW(path.c_str());
  if (HaveSearchFlags())
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace tz
