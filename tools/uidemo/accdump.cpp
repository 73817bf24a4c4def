// accdump TITLE: reads the accessible tree of the window with that title (OBJID_CLIENT) as a
// screen reader does and prints one line per child: role, state, location and name.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <string>

namespace {

void Print(const std::wstring& line) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), n, nullptr, nullptr);
  printf("%s\n", utf8.c_str());
}

std::wstring TakeBstr(BSTR s) {
  std::wstring out = s ? std::wstring(s, SysStringLen(s)) : std::wstring();
  SysFreeString(s);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HWND window = nullptr;
  for (int i = 0; i < 100 && !window; ++i) {
    window = FindWindowW(nullptr, argv[1]);
    if (!window) Sleep(100);
  }
  if (!window) {
    Print(L"no window");
    return 3;
  }
  IAccessible* acc = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&acc))) || !acc) {
    Print(L"no accessible object");
    return 4;
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  acc->get_accName(self, &name);
  VARIANT role;
  VariantInit(&role);
  acc->get_accRole(self, &role);
  long count = 0;
  acc->get_accChildCount(&count);
  Print(L"window role=" + std::to_wstring(role.lVal) + L" children=" + std::to_wstring(count) + L" name=" + TakeBstr(name));
  for (long i = 1; i <= count; ++i) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = i;
    VARIANT r, s;
    VariantInit(&r);
    VariantInit(&s);
    acc->get_accRole(child, &r);
    acc->get_accState(child, &s);
    BSTR n = nullptr, v = nullptr;
    acc->get_accName(child, &n);
    acc->get_accValue(child, &v);
    long x = 0, y = 0, w = 0, h = 0;
    acc->accLocation(&x, &y, &w, &h, child);
    Print(L"child " + std::to_wstring(i) + L" role=" + std::to_wstring(r.lVal) + L" state=" + std::to_wstring(s.lVal) +
          L" rect=" + std::to_wstring(x) + L"," + std::to_wstring(y) + L"," + std::to_wstring(w) + L"," +
          std::to_wstring(h) + L" value=" + TakeBstr(v) + L" name=" + TakeBstr(n));
  }
  // A press through the accessible default action, as assistive tools do.
  if (argc >= 3) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = _wtoi(argv[2]);
    Print(L"doDefaultAction hr=" + std::to_wstring(static_cast<long>(acc->accDoDefaultAction(child))));
  }
  acc->Release();
  CoUninitialize();
  return 0;
}
