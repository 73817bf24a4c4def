// acctree CLASS [TITLE]: prints what a screen reader finds in a top-level window: the window's
// rectangle and title, then one line per accessible child of its client area:
//   child <id> role=<role> state=<hex> rect=<x>,<y>,<w>,<h> name=<name> value=<value>
// (screen coordinates, UTF-8). Exit code 1 when no such window exists, 2 when it answers no
// accessible object.
// acctree --watch CLASS ROLE SECONDS: waits for the window, then reads the value of its first
// child of that role every 10 ms until the window goes or the time is up, printing each value that
// differs from the one before ("value <ms> <text>"). A window whose thread is busy answers late,
// so the gaps between the printed times show how responsive it stayed.
// acctree --query-end CLASS: asks the window whether the session may end (WM_QUERYENDSESSION) and
// prints "queryend=<answer>"; exit code 1 when no such window exists.
#include <windows.h>
#include <oleacc.h>

#include <string>

#include "platform/encoding.h"

namespace {

void Print(const std::wstring& text) {
  const std::string bytes = tz::WideToUtf8(text);
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

namespace {

int Watch(const wchar_t* window_class, long role_wanted, DWORD seconds) {
  const DWORD start = GetTickCount();
  HWND window = nullptr;
  while (!(window = FindWindowW(window_class, nullptr))) {
    if (GetTickCount() - start > seconds * 1000) return 1;
    Sleep(50);
  }
  std::wstring last = L"\x1";
  DWORD longest_gap = 0, previous = 0;
  bool previous_had_value = false;
  while (IsWindow(window) && GetTickCount() - start < seconds * 1000) {
    const DWORD asked = GetTickCount();
    // A window whose process is going away may never answer: stop instead of waiting on it.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) break;
    // A new object each time: the window's children change with its page.
    IAccessible* acc = nullptr;
    std::wstring value;
    if (SUCCEEDED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                             reinterpret_cast<void**>(&acc))) &&
        acc) {
      long count = 0;
      acc->get_accChildCount(&count);
      for (long id = 1; id <= count; ++id) {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        VARIANT role;
        VariantInit(&role);
        if (FAILED(acc->get_accRole(child, &role)) || role.vt != VT_I4 || role.lVal != role_wanted) continue;
        BSTR text = nullptr;
        acc->get_accValue(child, &text);
        value = TakeBstr(text);
        break;
      }
      acc->Release();
    }
    const DWORD now = GetTickCount();
    // Only reads made while the value is shown count: closing the window may take its time.
    if (previous_had_value && !value.empty() && now - previous > longest_gap) longest_gap = now - previous;
    previous = asked;
    previous_had_value = !value.empty();
    if (value != last) {
      Print(L"value " + std::to_wstring(now - start) + L" " + value + L"\n");
      last = value;
    }
    Sleep(10);
  }
  Print(L"longest_gap " + std::to_wstring(longest_gap) + L"\n");
  return 0;
}

}  // namespace

int QueryEnd(const wchar_t* window_class) {
  HWND window = FindWindowW(window_class, nullptr);
  if (!window) return 1;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer))
    return 2;
  Print(L"queryend=" + std::to_wstring(answer) + L"\n");
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && wcscmp(argv[1], L"--query-end") == 0) return QueryEnd(argv[2]);
  if (argc >= 5 && wcscmp(argv[1], L"--watch") == 0) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc = Watch(argv[2], wcstol(argv[3], nullptr, 10), wcstoul(argv[4], nullptr, 10));
    CoUninitialize();
    return rc;
  }
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
        L" enabled=" + std::to_wstring(IsWindowEnabled(window) ? 1 : 0) +
        L" foreground=" + std::to_wstring(GetForegroundWindow() == window ? 1 : 0) + L" title=" + title + L"\n");
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
