#pragma once
// The main installer window as the entry sees it. The slots keep this order.
#include <windows.h>

#include <functional>
#include <string>

class CStageRunner;
class RunContext;

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

// Creates the main window object (not yet shown) for a run: its stores, the stage runner that runs
// preinstall and install, and how the run computes its default install directory.
IMainWnd* CreateMainWindowObject(RunContext& run, CStageRunner& stages,
                                 std::function<std::wstring()> default_install_dir);
