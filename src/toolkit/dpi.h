#pragma once
// Display scaling. Descriptions are written for 96 DPI; every size is scaled at use.
#include <windows.h>

namespace tzui {

// Per-monitor awareness where Shcore offers it (Windows 8.1 and later), system awareness otherwise.
void EnableProcessDpiAwareness();
// DPI of the monitor that holds `window` (primary when on none); the system DPI without monitors.
UINT DpiForWindow(HWND window);
UINT DpiForMonitor(HMONITOR monitor);
UINT SystemDpi();
// v × dpi ÷ 96, rounded.
inline int ScaleByDpi(int v, UINT dpi) { return MulDiv(v, static_cast<int>(dpi), 96); }

}  // namespace tzui
