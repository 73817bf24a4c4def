#pragma once
// System DLLs the toolkit uses are loaded from the system directory by full path, never found
// through the search path (a DLL planted beside the installer must not be picked up).
#include <windows.h>

namespace tzui {

// The module, loaded once per process and kept; nullptr when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

template <typename Fn>
Fn SystemProc(const wchar_t* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace tzui
