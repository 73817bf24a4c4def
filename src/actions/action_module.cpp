// rundll and unload: calling into and releasing extension modules.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"
#include "extension/module_calls.h"
#include "script/text_expand.h"

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

int RunRunDllAction(const ActionRecord& item) {
  const std::wstring module = Expand(item.path);
  if (!LoadExtensionModule(module)) {
    GetLog().Error(L"加载扩展dll失败: %s", module.c_str());
    return ACTION_NOTHING;
  }
  const std::wstring function = Expand(item.name);
  // The two texts go to the module as written: expanding them is the module's choice.
  const int answer = CallExtensionAction(module, function, item.id, item.value, item.param1);
  GetLog().Info(L"执行扩展dll: %s, 函数: %s, 结果是: %d", module.c_str(), function.c_str(), answer);
  return MapModuleAnswer(answer);
}

int RunUnloadAction(const ActionRecord& item) {
  if (item.path.empty()) {
    UnloadAllExtensionModules();
    return ACTION_DONE;
  }
  if (UnloadExtensionModule(Expand(item.path))) return ACTION_DONE;
  return GetActionMan().RunFailurePath(item);
}
