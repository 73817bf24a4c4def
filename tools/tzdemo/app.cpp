// TzDemo.exe: the application the installer carries. Its window shows the version, the folder it
// was installed to and the plug-ins it found. "/report:FILE" writes the same lines to FILE (UTF-8)
// and exits, for checks without a display; "/ready:FILE" creates FILE once the window shows.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "tzdemo_product.h"

namespace {

std::wstring ModuleDir() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return L".";
    if (n < buffer.size()) break;
    buffer.resize(buffer.size() * 2);
  }
  std::wstring path(buffer.data());
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring Parent(const std::wstring& dir) {
  const size_t cut = dir.find_last_of(L'\\');
  return cut == std::wstring::npos || cut < 2 ? dir : dir.substr(0, cut);
}

// The executable lives in <install dir>\bin\<platform>.
std::wstring InstallDir() { return Parent(Parent(ModuleDir())); }

std::wstring PlatformName() {
  const std::wstring dir = ModuleDir();
  return dir.substr(dir.find_last_of(L'\\') + 1);
}

// Names the plug-ins in <install dir>\plugins\<platform> give themselves.
std::vector<std::wstring> Plugins() {
  std::vector<std::wstring> names;
  const std::wstring folder = InstallDir() + L"\\plugins\\" + PlatformName();
  WIN32_FIND_DATAW found;
  tz::UniqueFindHandle find(FindFirstFileW((folder + L"\\*.dll").c_str(), &found));
  if (!find) return names;
  do {
    tz::UniqueHmodule plugin(LoadLibraryExW((folder + L"\\" + found.cFileName).c_str(), nullptr, 0));
    if (!plugin) continue;
    using NameFunction = const wchar_t* (*)();
    auto name =
        reinterpret_cast<NameFunction>(reinterpret_cast<void*>(GetProcAddress(plugin.Get(), TZDEMO_PLUGIN_EXPORT)));
    if (name) names.push_back(std::wstring(name()) + L" (" + found.cFileName + L")");
  } while (FindNextFileW(find.Get(), &found));
  return names;
}

std::vector<std::wstring> InfoLines() {
  std::vector<std::wstring> lines;
  lines.push_back(std::wstring(TZDEMO_DISPLAYNAME) + L" \u7248\u672c " TZDEMO_VERSION_TEXT);
  lines.push_back(L"\u5b89\u88c5\u76ee\u5f55: " + InstallDir());
  const std::vector<std::wstring> plugins = Plugins();
  if (plugins.empty()) lines.push_back(L"\u63d2\u4ef6: \u65e0");
  for (const std::wstring& plugin : plugins) lines.push_back(L"\u63d2\u4ef6: " + plugin);
  return lines;
}

// The text after `name` up to the next blank, or within quotes.
bool SwitchValue(const std::wstring& args, const wchar_t* name, std::wstring& value) {
  const size_t at = args.find(name);
  if (at == std::wstring::npos) return false;
  value = args.substr(at + wcslen(name));
  if (!value.empty() && value.front() == L'"') {
    value = value.substr(1, value.find(L'"', 1) - 1);
  } else {
    value = value.substr(0, value.find(L' '));
  }
  return !value.empty();
}

int WriteReport(const std::wstring& path) {
  std::string text;
  for (const std::wstring& line : InfoLines()) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    text += utf8 + "\r\n";
  }
  tz::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  return ok && written == text.size() ? 0 : 1;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      HFONT font = CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                               0, L"Microsoft Yahei");
      HGDIOBJ old = SelectObject(dc, font);
      SetBkMode(dc, TRANSPARENT);
      int y = 24;
      for (const std::wstring& line : InfoLines()) {
        TextOutW(dc, 24, y, line.c_str(), static_cast<int>(line.size()));
        y += 32;
      }
      SelectObject(dc, old);
      DeleteObject(font);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int show) {
  const std::wstring args = command_line ? command_line : L"";
  std::wstring path;
  if (SwitchValue(args, L"/report:", path)) return WriteReport(path);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"TzDemoMainWindow";
  if (!RegisterClassExW(&window_class)) return 1;
  const std::wstring title = std::wstring(TZDEMO_DISPLAYNAME) + L" " TZDEMO_VERSION_TEXT;
  HWND window = CreateWindowExW(0, window_class.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 240, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  if (SwitchValue(args, L"/ready:", path)) {
    tz::UniqueFileHandle ready(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
