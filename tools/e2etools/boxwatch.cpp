// boxwatch TITLE OUTFILE READYFILE [TIMEOUT_MS]: waits for a system message box (dialog class
// "#32770") titled TITLE, writes its caption, text and icon style to OUTFILE (UTF-8) and presses
// its OK button. Creates READYFILE once it is watching. Exits 0 when a box was answered, 1 on time-out.
#include <windows.h>

#include <string>

namespace {

void WriteUtf8(const wchar_t* path, const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  if (lstrcmpiW(cls, L"Static") == 0) {
    wchar_t text[1024] = {};
    GetWindowTextW(child, text, 1024);
    if (text[0]) *reinterpret_cast<std::wstring*>(param) += std::wstring(L"text=") + text + L"\n";
    if (GetWindowLongW(child, GWL_STYLE) & SS_ICON) *reinterpret_cast<std::wstring*>(param) += L"icon\n";
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const DWORD timeout = argc > 4 ? static_cast<DWORD>(_wtoi(argv[4])) : 60000;
  WriteUtf8(argv[3], L"ready");
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeout) {
    HWND box = FindWindowW(L"#32770", argv[1]);
    if (box && IsWindowVisible(box)) {
      std::wstring report = std::wstring(L"title=") + argv[1] + L"\n";
      EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&report));
      WriteUtf8(argv[2], report);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(100);
  }
  return 1;
}
