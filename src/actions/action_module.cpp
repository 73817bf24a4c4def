// rundll and unload: calling into and releasing extension modules.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"

namespace {

// The module function's answer as an action result: 1 done, 2 failed, 3 and 4 the stop codes that
// end the stage with 2 and 3; anything else means nothing was done.
int MapModuleAnswer(int answer) {
  switch (answer) {
    case 1:
      return ACTION_DONE;
    case 2:
      return ACTION_FAILED;
    case 3:
      return ACTION_STOP_ABORT;
    case 4:
      return ACTION_STOP_EXIT;
    default:
      return ACTION_NOTHING;
  }
}

}  // namespace

int RunRunDllAction(CActionMan& man, const ActionRecord& item) {
  RunContext::ModuleEntry entry;
  if (!man.Run().PrepareModuleCall(item.path, item.name, true, entry)) return ACTION_NOTHING;
  // The two texts go to the module as written: expanding them is the module's choice.
  const int answer = man.Run().Modules().CallAction(entry.module, entry.function, item.id, item.value, item.param1);
  GetLog().Info(L"执行扩展dll: %s, 函数: %s, 结果是: %d", entry.module.c_str(), entry.function.c_str(), answer);
  return MapModuleAnswer(answer);
}

int RunUnloadAction(CActionMan& man, const ActionRecord& item) {
  if (item.path.empty()) {
    man.Run().Modules().UnloadAll();
    return ACTION_DONE;
  }
  if (man.Run().Modules().Unload(man.Expand(item.path))) return ACTION_DONE;
  return man.RunFailurePath(item);
}
