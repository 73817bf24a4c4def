// acctree CLASS [TITLE]: prints what a screen reader finds in a top-level window: the window's
// rectangle and title, then one line per accessible child of its client area:
//   child <id> role=<role> state=<hex> rect=<x>,<y>,<w>,<h> name=<name> value=<value>
// (screen coordinates, UTF-8). Exit code 1 when no such window exists, 2 when it answers no
// accessible object.
#include <windows.h>
#include <oleacc.h>

#include <string>

namespace {

void Print(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring TakeBstr(BSTR s) {
  std::wstring text = s ? std::wstring(s, SysStringLen(s)) : std::wstring();
  SysFreeString(s);
  for (wchar_t& c : text)
    if (c == L'\r' || c == L'\n') c = L' ';
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 3;
  HWND window = FindWindowW(argv[1], argc > 2 ? argv[2] : nullptr);
  if (!window) return 1;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  RECT rc{};
  GetWindowRect(window, &rc);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  Print(L"window rect=" + std::to_wstring(rc.left) + L"," + std::to_wstring(rc.top) + L"," +
        std::to_wstring(rc.right - rc.left) + L"," + std::to_wstring(rc.bottom - rc.top) +
        L" enabled=" + std::to_wstring(IsWindowEnabled(window) ? 1 : 0) + L" title=" + title + L"\n");
  IAccessible* acc = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&acc))) ||
      !acc) {
    CoUninitialize();
    return 2;
  }
  long count = 0;
  acc->get_accChildCount(&count);
  for (long id = 1; id <= count; ++id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    BSTR name = nullptr, value = nullptr;
    acc->get_accName(child, &name);
    acc->get_accValue(child, &value);
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    acc->get_accRole(child, &role);
    acc->get_accState(child, &state);
    long x = 0, y = 0, w = 0, h = 0;
    acc->accLocation(&x, &y, &w, &h, child);
    wchar_t line[128] = {};
    swprintf(line, 128, L"child %ld role=%ld state=%lx rect=%ld,%ld,%ld,%ld", id, role.vt == VT_I4 ? role.lVal : -1L,
             state.vt == VT_I4 ? state.lVal : 0L, x, y, w, h);
    Print(std::wstring(line) + L" name=" + TakeBstr(name) + L" value=" + TakeBstr(value) + L"\n");
  }
  acc->Release();
  CoUninitialize();
  return 0;
}
