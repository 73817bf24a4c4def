#pragma once
// The install run behind the main window: the worker thread that runs the install stage, the two
// messages it reports through, the percentage bookkeeping, the install duration, and the reboot
// the user accepted, which waits until the installer's last step.
#include <windows.h>

#include <functional>
#include <string>

class CInstallerInfo;

// Posted by the install worker when the stage returns (wParam: the stage result).
constexpr UINT kInstallFinishedMessage = WM_USER + 10;
// Posted by the status callback from any thread (wParam: the percentage).
constexpr UINT kInstallProgressMessage = WM_USER + 11;

// The percentage shown on the installing page: it only moves forward and stops at 100.
class CProgressState {
 public:
  // True when `percent` is above the last reported value; `shown` is then the value to show
  // (at most 100) and `percent` becomes the last one.
  bool Advance(int percent, int& shown);
  int Last() const { return last_; }

 private:
  int last_ = 0;
};

// Milliseconds from `start` to `end` (tick counts); false when the clock did not advance, which
// includes a tick count that wrapped round in between.
bool InstallDuration(DWORD start, DWORD end, DWORD& duration);

// One install run on its own thread. The thread marks the install phase for the crash handler,
// runs `stage` in an apartment-threaded COM apartment and posts kInstallFinishedMessage with its
// result to `window`. The object keeps the thread handle so that the run can be waited for
// before the engine unloads what the stage used.
class CInstallWorker {
 public:
  using Stage = std::function<int()>;

  CInstallWorker() = default;
  ~CInstallWorker();
  CInstallWorker(const CInstallWorker&) = delete;
  CInstallWorker& operator=(const CInstallWorker&) = delete;

  // Starts the thread; false (and nothing runs) when it cannot be started or a run is going on.
  bool Start(HWND window, CInstallerInfo& info, Stage stage);
  // From a successful Start until Finished: the window must not close in between.
  bool Running() const { return running_; }
  // The window handled the finished message.
  void Finished() { running_ = false; }
  // Waits up to `timeout_ms` for the thread to end; true when it has ended or none was started.
  bool WaitForEnd(DWORD timeout_ms);

 private:
  HANDLE thread_ = nullptr;
  bool running_ = false;
};

// The reboot the user accepted. It is done after everything else, so that the summary, the log
// and its exit copy are complete first.
void RequestRebootAtExit();
bool RebootRequested();
// Asks Windows to restart when a reboot was requested; logs a refused request. True when a
// reboot was requested and accepted by Windows.
bool RebootIfRequested();

// Keeps Windows from ending the session while an install runs, with a reason the user sees.
// Does nothing on systems without the call (before Vista).
void BlockShutdown(HWND window, const std::wstring& reason);
void UnblockShutdown(HWND window);
