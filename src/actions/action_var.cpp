// var: sets a script variable (mode 0), chooses one of two values by a condition (mode 1), or
// tests whether a variable exists (mode 2), or makes a fresh private folder and names it (mode 3).
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"
#include "platform/private_folder.h"
#include "script/script_values.h"

namespace {

enum VarMode { VAR_SET = 0, VAR_CHOOSE = 1, VAR_EXISTS = 2, VAR_PRIVATE_FOLDER = 3 };

}  // namespace

int RunVarAction(CActionMan& man, const ActionRecord& item) {
  CVariableStore& variables = man.Run().variables;
  std::wstring value;
  switch (tz::ParseDecimal(item.method)) {
    case VAR_SET:
      value = man.Expand(item.value);
      break;
    case VAR_CHOOSE: {
      const std::vector<std::wstring> choices = tz::SplitTrim(item.value, L',');
      if (choices.size() != 2) return ACTION_NOTHING;
      const auto condition = static_cast<uint32_t>(tz::ParseDecimal(item.param1));
      value = man.Expand(man.Conditions().Evaluate(condition) ? choices[0] : choices[1]);
      break;
    }
    case VAR_EXISTS: {
      std::wstring ignored;
      return variables.GetVariable(item.name, ignored) ? ACTION_DONE : ACTION_NOTHING;
    }
    case VAR_PRIVATE_FOLDER:
      // Files the installer loads (the extension module) go to a folder no other process could
      // have prepared: a new name under the expanded `value`, prefixed by the expanded `param1`.
      if (!tz::CreatePrivateFolder(man.Expand(item.value), item.param1.empty() ? L"tz" : man.Expand(item.param1),
                                   value))
        return man.RunFailurePath(item);
      break;
    default:
      return ACTION_NOTHING;
  }
  // The name is taken as written: a variable's name never depends on other variables.
  if (!variables.SetVariable(item.name, value)) return ACTION_NOTHING;
  GetLog().Info(L"Set var %s, value %s", item.name.c_str(), value.c_str());
  return ACTION_DONE;
}
