#include "toolkit/window_impl.h"

#include <string>

#include "toolkit/accessible.h"
#include "toolkit/builder.h"
#include "toolkit/dpi.h"
#include "toolkit/resource_package.h"

namespace tzui {

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() {
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  ReleaseAccessible(accessible_);
}

bool WindowImplBase::RegisterWindowClass() {
  const std::wstring name = GetWindowClassName();
  HINSTANCE instance = manager_.GetInstance();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance, name.c_str(), &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &WindowImplBase::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name.c_str();
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND WindowImplBase::Create(HWND owner, std::wstring_view title, DWORD style, DWORD ex_style, int x, int y, int cx,
                            int cy) {
  if (window_ || !RegisterWindowClass()) return nullptr;
  const std::wstring name = GetWindowClassName();
  const std::wstring caption(title);
  HWND hwnd = CreateWindowExW(ex_style, name.c_str(), caption.c_str(), style, x, y, cx, cy, owner, nullptr,
                              manager_.GetInstance(), this);
  return hwnd;
}

LRESULT CALLBACK WindowImplBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowImplBase* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<WindowImplBase*>(cs->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<WindowImplBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    const LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DisconnectAccessible(self->accessible_);
    self->window_ = nullptr;
    self->destroyed_ = true;
    self->OnFinalMessage(hwnd);
    return result;
  }
  return self->HandleMessage(msg, wParam, lParam);
}

LRESULT WindowImplBase::OnCreate() {
  manager_.Init(window_);
  manager_.AddNotifier(this);
  InitResource();
  manager_.SetDPI(DpiForWindow(window_));
  const std::wstring skin = GetSkinFile();
  CControlUI* root = CDialogBuilder::Create(skin, this, &manager_);
  if (!root) FailDescriptionLoad(skin);
  manager_.AttachDialog(root);
  if (manager_.IsLayered()) SetWindowLongW(window_, GWL_EXSTYLE, GetWindowLongW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
  const SIZE init = manager_.GetInitSize();
  if (init.cx > 0 && init.cy > 0)
    SetWindowPos(window_, nullptr, 0, 0, manager_.Scale(init.cx), manager_.Scale(init.cy),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InitWindow();
  manager_.SendNotify(root, L"windowinit");
  return 0;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
  if (msg.type == L"click") OnClick(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
  if (!msg.sender) return;
  const std::wstring& name = msg.sender->GetName();
  if (EqualsNoCase(name, L"closebtn")) Close(1);
  else if (EqualsNoCase(name, L"minbtn")) SendMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

LRESULT WindowImplBase::OnClose(WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnDestroy(WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  bool handled = false;
  const LRESULT custom = HandleCustomMessage(msg, wParam, lParam, handled);
  if (handled) return custom;
  switch (msg) {
    case WM_CREATE:
      return OnCreate();
    case WM_CLOSE: {
      const LRESULT r = OnClose(wParam, lParam, handled);
      if (handled) return r;
      close_code_ = static_cast<UINT>(wParam);
      // The owner must be usable again before this window goes, or activation falls elsewhere.
      if (HWND owner = GetWindow(window_, GW_OWNER)) {
        if (modal_) EnableWindow(owner, TRUE);
      }
      DestroyWindow(window_);
      return 0;
    }
    case WM_DESTROY: {
      const LRESULT r = OnDestroy(wParam, lParam, handled);
      if (handled) return r;
      break;
    }
    case WM_DPICHANGED:
      SetDPI(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_GETOBJECT: {
      LRESULT result = 0;
      if (AnswerGetObject(manager_, window_, wParam, lParam, accessible_, result)) return result;
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        OnEscape();
        return 0;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    default:
      break;
  }
  LRESULT result = 0;
  if (manager_.MessageHandler(msg, wParam, lParam, result)) return result;
  return DefWindowProcW(window_, msg, wParam, lParam);
}

void WindowImplBase::CenterWindow() {
  if (!window_) return;
  RECT rc{};
  GetWindowRect(window_, &rc);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  HWND owner = GetWindow(window_, GW_OWNER);
  const bool use_owner = owner && IsWindowVisible(owner) && !IsIconic(owner);
  HMONITOR monitor = use_owner ? MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(monitor, &mi)) work = mi.rcWork;
  RECT area = work;
  if (use_owner) GetWindowRect(owner, &area);
  int x = area.left + (area.right - area.left - w) / 2;
  int y = area.top + (area.bottom - area.top - h) / 2;
  // Keep it on the work area even when the owner hangs over an edge.
  if (x + w > work.right) x = work.right - w;
  if (y + h > work.bottom) y = work.bottom - h;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT WindowImplBase::ShowModal() {
  if (!window_) return 0;
  HWND owner = GetWindow(window_, GW_OWNER);
  modal_ = true;
  if (owner) EnableWindow(owner, FALSE);
  ::ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  MSG msg;
  bool quit = false;
  WPARAM quit_code = 0;
  while (!destroyed_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      quit = true;
      quit_code = msg.wParam;
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner) EnableWindow(owner, TRUE);
  modal_ = false;
  if (quit) {
    // The quit belongs to the outer loop.
    if (window_) DestroyWindow(window_);
    PostQuitMessage(static_cast<int>(quit_code));
  }
  return close_code_;
}

int WindowImplBase::MessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void WindowImplBase::ShowWindow(bool show, bool activate) {
  if (!window_) return;
  ::ShowWindow(window_, show ? (activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void WindowImplBase::Close(UINT ret) {
  if (window_) PostMessageW(window_, WM_CLOSE, ret, 0);
}

void WindowImplBase::SetTitle(std::wstring_view title) {
  if (window_) SetWindowTextW(window_, std::wstring(title).c_str());
}

void WindowImplBase::SetDPI(UINT dpi, const RECT* suggested) {
  if (!window_) return;
  manager_.SetDPI(dpi);
  if (suggested) {
    SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const SIZE init = manager_.GetInitSize();
    if (init.cx > 0 && init.cy > 0)
      SetWindowPos(window_, nullptr, 0, 0, manager_.Scale(init.cx), manager_.Scale(init.cy),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  manager_.NeedUpdate();
  manager_.Invalidate();
}

void FailDescriptionLoad(std::wstring_view description) {
  const std::wstring text = L"无法加载窗口描述：" + std::wstring(description);
  MessageBoxW(nullptr, text.c_str(), L"Setup", MB_OK | MB_ICONERROR);
  ExitProcess(1);
}

}  // namespace tzui
