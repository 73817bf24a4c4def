#include "state/ui_host.h"

#include "platform/sync.h"

namespace {

// The lock covers the three fields only: callers copy them out and call the window unlocked, so a
// window call that reaches the engine again cannot deadlock on it.
tz::CriticalSection& HostLock() {
  static tz::CriticalSection lock;
  return lock;
}

UIHostState& HostState() {
  static UIHostState state;
  return state;
}

}  // namespace

void SetUIHost(IUIOperation* operations, IInstallStatusCallback* status, unsigned flags) {
  tz::ScopedLock lock(HostLock());
  HostState() = UIHostState{operations, status, flags};
}

void ClearUIHost() { SetUIHost(nullptr, nullptr, 0); }

UIHostState GetUIHost() {
  tz::ScopedLock lock(HostLock());
  return HostState();
}

void ReportProgress(int percent) {
  const UIHostState host = GetUIHost();
  if (host.status && (host.flags & UI_NOTIFY_PROGRESS)) host.status->Progress(percent);
}

void ReportActionText(const std::wstring& text) {
  const UIHostState host = GetUIHost();
  if (host.status && (host.flags & UI_NOTIFY_ACTION_TEXT)) host.status->ActionText(text);
}

void ReportExtractedFile(const std::wstring& path) {
  const UIHostState host = GetUIHost();
  if (host.status && (host.flags & UI_NOTIFY_EXTRACTED_FILE)) host.status->ExtractedFile(path);
}

void ShowMainWindow(bool show) {
  const UIHostState host = GetUIHost();
  if (host.operations) host.operations->ShowWindow(show);
}
