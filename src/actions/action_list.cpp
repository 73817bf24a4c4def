// list: runs several actions in order as one step.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "script/script_values.h"

int RunListAction(CActionMan& man, const ActionRecord& item) {
  if (item.value.empty()) return ACTION_NOTHING;
  // The list is one step: its members' results, stop codes included, are not passed on.
  for (int32_t id : tz::ParseIdList(item.value)) man.Execute(static_cast<uint32_t>(id));
  return ACTION_DONE;
}
