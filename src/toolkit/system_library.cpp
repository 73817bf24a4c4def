#include "toolkit/system_library.h"

#include <map>
#include <string>

#include "platform/sync.h"

namespace tzui {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  static tz::CriticalSection lock;
  static std::map<std::wstring, HMODULE> loaded;
  tz::ScopedLock hold(lock);
  const auto it = loaded.find(name);
  if (it != loaded.end()) return it->second;
  HMODULE module = nullptr;
  wchar_t dir[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    const std::wstring path = std::wstring(dir) + L"\\" + name;
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  loaded[name] = module;
  return module;
}

}  // namespace tzui
