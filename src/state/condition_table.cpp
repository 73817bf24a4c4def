#include "state/condition_table.h"

#include <utility>

bool CConditionTable::Add(const ConditionRecord& record, IConditionJudge* judge) {
  ConditionRecord item = record;
  item.cached = false;
  item.cached_value = false;
  if (judge && !item.nocache) {
    if (items_.Contains(item.id)) return false;
    // Outside the lock: a logic item evaluates the items loaded before it.
    bool ran = false;
    const bool outcome = judge->Judge(item, ran);
    if (ran) {
      item.cached = true;
      item.cached_value = outcome;
    }
  }
  const uint32_t id = item.id;
  return items_.Insert(id, std::move(item));
}

void CConditionTable::StoreOutcome(uint32_t id, bool outcome) {
  items_.Update(id, [&](ConditionRecord& item) {
    item.cached = true;
    item.cached_value = outcome;
  });
}
