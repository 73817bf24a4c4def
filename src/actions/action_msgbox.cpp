// msgbox: asks the user through the window's two-button prompt and runs the action chosen by the
// pressed button.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "diag/install_log.h"
#include "script/script_values.h"
#include "state/message_box.h"

int RunMsgBoxAction(CActionMan& man, const ActionRecord& item) {
  // A silent run has nobody to ask; `param1` true marks a box that must be asked anyway.
  if (!tz::IsTrueText(item.param1) && man.Run().options.IsTrue(OPT_SILENT)) {
    GetLog().Info(L"Action msgbox %u skipped for silent mode", item.id);
    return ACTION_NOTHING;
  }
  const std::wstring text = man.Expand(item.name);
  const std::wstring caption = man.Expand(item.path);
  std::vector<std::wstring> buttons;
  for (const std::wstring& button : tz::SplitTrim(item.value, L',')) buttons.push_back(man.Expand(button));
  const int mask = tz::ParseDecimal(item.method);

  const int pressed = ShowTwoButtonPrompt(text, caption, buttons, mask);
  int result = pressed != 0 ? ACTION_DONE : ACTION_NOTHING;
  // The two lists pair up by position; lists of different lengths cannot be paired and are ignored.
  if (!item.retlist.empty() && item.retlist.size() == item.actionlist.size()) {
    for (size_t i = 0; i < item.retlist.size(); ++i) {
      if (item.retlist[i] != pressed) continue;
      result = man.Execute(static_cast<uint32_t>(item.actionlist[i]));
      break;
    }
  }
  return result;
}
