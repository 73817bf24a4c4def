#include "toolkit/dpi.h"

#include <string>

#include "platform/handles.h"

namespace tzui {

namespace {

// Shcore is loaded from the system directory only, never from beside the installer.
HMODULE ShcoreModule() {
  static HMODULE module = [] {
    wchar_t dir[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return static_cast<HMODULE>(nullptr);
    const std::wstring path = std::wstring(dir) + L"\\shcore.dll";
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }();
  return module;
}

}  // namespace

void EnableProcessDpiAwareness() {
  using SetAwareness = HRESULT(WINAPI*)(int);
  if (HMODULE shcore = ShcoreModule()) {
    auto set = reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
    // 2: per-monitor aware. E_ACCESSDENIED means a manifest already decided.
    if (set) {
      const HRESULT hr = set(2);
      if (SUCCEEDED(hr) || hr == E_ACCESSDENIED) return;
    }
  }
  SetProcessDPIAware();
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 96;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT DpiForMonitor(HMONITOR monitor) {
  using GetDpi = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  if (monitor) {
    if (HMODULE shcore = ShcoreModule()) {
      auto get = reinterpret_cast<GetDpi>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
      UINT x = 0, y = 0;
      if (get && SUCCEEDED(get(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && x > 0) return x;
    }
  }
  return SystemDpi();
}

UINT DpiForWindow(HWND window) {
  HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  return DpiForMonitor(monitor);
}

}  // namespace tzui
