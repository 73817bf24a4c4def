#pragma once
// The UI host: the one record through which the engine reaches the main window. The window fills it
// when it initialises and empties it when it is destroyed; until then (and in every run without a
// window) each report below is skipped and the window operations answer nothing.
#include <string>
#include <vector>

// One button of a skinned message box. `text_is_key` asks for `text` to be looked up in the
// language table; `primary` draws it in the accent colour; `id` is what the box returns.
struct MessageBoxButton {
  std::wstring text;
  bool text_is_key = false;
  bool primary = false;
  int id = 0;
};

// Window operations, called on the thread that runs the stage (the install worker included).
class IUIOperation {
 public:
  virtual ~IUIOperation() = default;
  // Shows a modal message box owned by the window; answers the pressed button's id, 1 for the close
  // button or when the box cannot be created, 0 when it was closed any other way.
  virtual int MessageBox(const std::wstring& title, const std::wstring& text,
                         const std::vector<MessageBoxButton>& buttons) = 0;
  virtual void ShowWindow(bool show) = 0;
};

// Install status reports. Progress may come from any thread and must not wait for the window.
class IInstallStatusCallback {
 public:
  virtual ~IInstallStatusCallback() = default;
  virtual void Progress(int percent) = 0;
  virtual void ActionText(const std::wstring& text) = 0;
  virtual void ExtractedFile(const std::wstring& path) = 0;
};

// Which status reports the callback wants.
enum UINotifyFlags : unsigned {
  UI_NOTIFY_PROGRESS = 1,
  UI_NOTIFY_ACTION_TEXT = 2,
  UI_NOTIFY_EXTRACTED_FILE = 8,
};

struct UIHostState {
  IUIOperation* operations = nullptr;
  IInstallStatusCallback* status = nullptr;
  unsigned flags = 0;
};

// Fills the record (the window's Init) or empties it (Clear, when the window is destroyed). The
// pointers stay owned by the window; it must outlive every stage that can reach them.
void SetUIHost(IUIOperation* operations, IInstallStatusCallback* status, unsigned flags);
void ClearUIHost();
UIHostState GetUIHost();

// The reports of the engine: each does nothing unless a callback with the matching flag is present.
void ReportProgress(int percent);
void ReportActionText(const std::wstring& text);
void ReportExtractedFile(const std::wstring& path);
// Shows or hides the window; nothing when there is none.
void ShowMainWindow(bool show);
