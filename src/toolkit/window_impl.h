#pragma once
// A skinned top-level window: registers its class, builds its controls from the description named
// by the subclass, and hands notifications to the subclass's hooks. The object lives until its
// window is destroyed; the owner deletes it afterwards (OnFinalMessage is the last call).
#include <windows.h>

#include <string>
#include <string_view>

#include "toolkit/controls.h"
#include "toolkit/paint_manager.h"
#include "toolkit/ui_types.h"

namespace tzui {

class WindowImplBase : public INotifyUI, public IDialogBuilderCallback {
 public:
  WindowImplBase();
  virtual ~WindowImplBase();
  WindowImplBase(const WindowImplBase&) = delete;
  WindowImplBase& operator=(const WindowImplBase&) = delete;

  // Creates the window (the description is built during WM_CREATE). nullptr on failure; a
  // description that cannot be loaded shows the toolkit's load-failure box and ends the process
  // with exit code 1.
  HWND Create(HWND owner, std::wstring_view title, DWORD style, DWORD ex_style, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT);
  HWND GetHWND() const { return window_; }
  // Over the owner's monitor work area (primary monitor when there is no visible owner).
  void CenterWindow();
  // Disables the owner, runs messages until this window is destroyed, re-enables the owner.
  // Answers the wParam of the WM_CLOSE that ended it (0 when closed otherwise).
  UINT ShowModal();
  // Runs messages until WM_QUIT; answers its exit code.
  static int MessageLoop();
  void ShowWindow(bool show = true, bool activate = true);
  // Posts WM_CLOSE with `ret` as wParam.
  void Close(UINT ret = 0);
  void SetTitle(std::wstring_view title);

  CPaintManagerUI& GetPaintManager() { return manager_; }
  CControlUI* FindControl(std::wstring_view name) const { return manager_.FindControl(name); }
  template <typename T>
  T* FindControlAs(std::wstring_view name) const { return dynamic_cast<T*>(manager_.FindControl(name)); }

  // Moves the window to another DPI: scales sizes, fonts and images; `suggested` (device pixels)
  // becomes its rectangle when given.
  void SetDPI(UINT dpi, const RECT* suggested = nullptr);

  // IDialogBuilderCallback: the subclass creates its own control types; the toolkit's otherwise.
  CControlUI* CreateControl(std::wstring_view) override { return nullptr; }
  // INotifyUI: "click" goes to OnClick; the rest is ignored unless the subclass overrides.
  void Notify(TNotifyUI& msg) override;

 protected:
  // Hooks the windows fill in.
  virtual std::wstring GetWindowClassName() const = 0;
  virtual std::wstring GetSkinFile() = 0;
  // Before the description is read (load packages, string tables).
  virtual void InitResource() {}
  // After the controls are built.
  virtual void InitWindow() {}
  // Default: "closebtn" closes (WM_CLOSE, wParam 1), "minbtn" minimises.
  virtual void OnClick(TNotifyUI& msg);
  // WM_CLOSE: set `handled` to swallow it; otherwise the window is destroyed.
  virtual LRESULT OnClose(WPARAM wParam, LPARAM lParam, bool& handled);
  virtual LRESULT OnDestroy(WPARAM wParam, LPARAM lParam, bool& handled);
  // Any other message before the toolkit's handling.
  virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
  // Escape: default nothing. The message box answers as its close button.
  virtual void OnEscape() {}
  virtual void OnFinalMessage(HWND) {}

  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  CPaintManagerUI manager_;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  bool RegisterWindowClass();
  LRESULT OnCreate();

  HWND window_ = nullptr;
  UINT close_code_ = 0;
  bool destroyed_ = false;
  bool modal_ = false;
  void* accessible_ = nullptr;  // the window's IAccessible, created on first WM_GETOBJECT
};

// Shows the plain system box for a description that could not be loaded and ends the process
// with exit code 1.
[[noreturn]] void FailDescriptionLoad(std::wstring_view description);

}  // namespace tzui
