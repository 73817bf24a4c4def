#pragma once
// The main installer window as the entry sees it. The slots keep this order.
#include <windows.h>

class IMainWnd {
 public:
  virtual void Destroy() = 0;                    // destroy the window and free the object
  virtual void Init(HINSTANCE instance) = 0;     // load the skin, become owner of message boxes and reports
  virtual bool CreateAndShow() = 0;
  virtual int RunMessageLoop() = 0;              // the install result: 0, 2 or 3
  virtual void OnEnd() = 0;

 protected:
  ~IMainWnd() = default;
};

class RunContext;

// Creates the main window object (not yet shown) for the stores of this run.
IMainWnd* CreateMainWindowObject(RunContext& run);
