#include "toolkit/dpi.h"

#include "toolkit/system_library.h"

namespace tzui {


void EnableProcessDpiAwareness() {
  using SetAwareness = HRESULT(WINAPI*)(int);
  // 2: per-monitor aware. E_ACCESSDENIED means a manifest already decided.
  if (auto set = SystemProc<SetAwareness>(L"shcore.dll", "SetProcessDpiAwareness")) {
    const HRESULT hr = set(2);
    if (SUCCEEDED(hr) || hr == E_ACCESSDENIED) return;
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
    auto get = SystemProc<GetDpi>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (get && SUCCEEDED(get(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && x > 0) return x;
  }
  return SystemDpi();
}

UINT DpiForWindow(HWND window) {
  HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  return DpiForMonitor(monitor);
}

}  // namespace tzui
