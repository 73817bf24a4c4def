#include "actions/action_man.h"

#include "actions/action_handlers.h"

#include <algorithm>
#include <vector>

#include "diag/install_log.h"
#include "platform/process.h"
#include "platform/thread_stack.h"
#include "state/ui_host.h"

namespace {

// Type code -> handler. A type without an entry runs nothing and gives ACTION_NOTHING; adding a
// type is one line here plus its action_<family>.cpp (the handlers are named here rather than
// registering themselves because the engine is a static library, whose linker drops object files
// that nothing references).
struct HandlerEntry {
  ActionType type;
  ActionHandler handler;
};
constexpr HandlerEntry kHandlers[] = {
    {ACT_MSGBOX, RunMsgBoxAction},     {ACT_RUNDLL, RunRunDllAction},         {ACT_SETPATH, RunSetPathAction},
    {ACT_UNLOAD, RunUnloadAction},     {ACT_LIST, RunListAction},             {ACT_VAR, RunVarAction},
    {ACT_SETINSTDIR, RunSetInstDirAction},
    {ACT_REGWRITE, RunRegWriteAction}, {ACT_REGDELETE, RunRegDeleteAction},
    {ACT_INI, RunIniAction},           {ACT_RUN, RunRunAction},               {ACT_SHELL, RunShellAction},
    {ACT_KILL, RunKillAction},         {ACT_REGDLL, RunRegDllAction},         {ACT_SERVICE, RunServiceAction},
    {ACT_DELETE, RunDeleteAction},     {ACT_COPY, RunCopyAction},             {ACT_SHORTCUT, RunShortcutAction},
    {ACT_EXTRACT, RunExtractAction},
};

ActionHandler FindHandler(ActionType type) {
  for (const HandlerEntry& entry : kHandlers)
    if (entry.type == type) return entry.handler;
  return nullptr;
}

// Ids of the actions Execute is running on this thread, outermost first. Once the cap is crossed,
// every call nested under the frame where the runaway began (the outermost action that appears
// again further in) fails at once, so a list naming itself twice cannot fan out exponentially;
// when that frame returns, the lists around it go on with their next actions.
thread_local tz::ThreadStack<uint32_t, kMaxActionNesting + 1> t_chain;
thread_local size_t t_unwind_to = 0;  // depth of that frame, 1 for the outermost; 0: not unwinding

class NestingScope {
 public:
  explicit NestingScope(uint32_t id) : pushed_(t_chain.push(id)) {}
  ~NestingScope() {
    if (!pushed_) return;
    if (t_chain.size() == t_unwind_to) t_unwind_to = 0;
    t_chain.pop();
  }
  // False when the chain was already at its capacity, one past the cap.
  bool pushed() const { return pushed_; }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;

 private:
  const bool pushed_;
};

size_t RunawayStart() {
  for (size_t i = 0; i < t_chain.size(); ++i) {
    const uint32_t id = t_chain[i];
    if (t_chain.any([id](uint32_t other) { return other == id; }, i + 1)) return i + 1;
  }
  return 1;
}

template <typename Fn>
Fn Kernel32Function(const char* name) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace

int CActionMan::Execute(uint32_t id) {
  NestingScope scope(id);
  if (t_unwind_to != 0) return ACTION_FAILED;
  if (!scope.pushed() || t_chain.size() > static_cast<size_t>(kMaxActionNesting)) {
    t_unwind_to = RunawayStart();
    GetLog().Error(L"动作%u嵌套执行超过%d层, 按执行失败处理", id, kMaxActionNesting);
    return ACTION_FAILED;
  }
  if (id < kFirstScriptId) return RunBuiltin(id);

  ActionRecord item;
  if (!run_.actions.Find(id, item)) return ACTION_NOTHING;
  // The display text goes to the window as written; the window decides what to make of it.
  if (!item.display.empty()) ReportActionText(item.display);
  if (item.start != -1) ReportProgress(item.start);
  const ActionHandler handler = FindHandler(item.type);
  const int result = handler ? handler(*this, item) : ACTION_NOTHING;
  // Reported whatever the result, so a failed step still moves the bar to where the script expects.
  if (item.end != -1) ReportProgress(item.end);
  return result;
}

int CActionMan::RunFailurePath(const ActionRecord& item) {
  for (int32_t next : item.onerror) {
    const int r = Execute(static_cast<uint32_t>(next));
    // 6 means "back to the window", which an error handler has no business doing: it does not stop.
    if (r == ACTION_STOP_ABORT || r == ACTION_STOP_EXIT) return r;
  }
  return ACTION_FAILED;
}

void CActionMan::SetInstallMode(int option, bool value, const wchar_t* word) {
  run_.options.SetBool(option, value);
  GetLog().Info(L"设置安装模式: %s安装", word);
}

int CActionMan::RunBuiltin(uint32_t id) {
  switch (id) {
    case BUILTIN_ACTION_FAIL:
      return ACTION_FAILED;
    case BUILTIN_ACTION_ABORT:
      return ACTION_STOP_ABORT;
    case BUILTIN_ACTION_EXIT:
      return ACTION_STOP_EXIT;
    case BUILTIN_ACTION_REBOOT:
      return tz::Reboot() ? ACTION_DONE : ACTION_BUILTIN_FAILED;
    case BUILTIN_ACTION_NEW_INSTALL:
      SetInstallMode(OPT_OVERWRITE, false, L"新");
      return ACTION_DONE;
    case BUILTIN_ACTION_OVERWRITE_INSTALL:
      SetInstallMode(OPT_OVERWRITE, true, L"覆盖");
      return ACTION_DONE;
    case BUILTIN_ACTION_INTERACTIVE:
      SetInstallMode(OPT_SILENT, false, L"非静默");
      return ACTION_DONE;
    case BUILTIN_ACTION_SILENT:
      SetInstallMode(OPT_SILENT, true, L"静默");
      return ACTION_DONE;
    case BUILTIN_ACTION_DISABLE_REDIRECTION:
      return DisableRedirection();
    case BUILTIN_ACTION_REVERT_REDIRECTION:
      return RevertRedirection();
    case BUILTIN_ACTION_HIDE_WINDOW:
      ShowMainWindow(false);
      return ACTION_DONE;
    case BUILTIN_ACTION_SHOW_WINDOW:
      ShowMainWindow(true);
      return ACTION_DONE;
    case BUILTIN_ACTION_RETURN:
      return ACTION_STOP_RETURN;
    default:
      return ACTION_NOTHING;
  }
}

int CActionMan::DisableRedirection() {
  // 32-bit Windows has nothing to redirect.
  if (!tz::IsWow64()) return ACTION_NOTHING;
  tz::ScopedLock lock(redirection_lock_);
  if (redirection_disabled_) return ACTION_NOTHING;
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  const auto disable = Kernel32Function<DisableFn>("Wow64DisableWow64FsRedirection");
  PVOID saved = nullptr;
  if (!disable || !disable(&saved)) return ACTION_BUILTIN_FAILED;
  redirection_disabled_ = true;
  redirection_saved_ = saved;
  return ACTION_DONE;
}

int CActionMan::RevertRedirection() {
  if (!tz::IsWow64()) return ACTION_NOTHING;
  tz::ScopedLock lock(redirection_lock_);
  if (!redirection_disabled_) return ACTION_NOTHING;
  using RevertFn = BOOL(WINAPI*)(PVOID);
  if (const auto revert = Kernel32Function<RevertFn>("Wow64RevertWow64FsRedirection")) revert(redirection_saved_);
  redirection_disabled_ = false;
  redirection_saved_ = nullptr;
  return ACTION_DONE;
}
