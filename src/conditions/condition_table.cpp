#include "conditions/condition_table.h"

#include <utility>

CConditionTable& GetConditionTable() {
  static CConditionTable table;
  return table;
}

bool CConditionTable::Add(const ConditionRecord& record, bool judge) {
  ConditionRecord item = record;
  item.cached = false;
  item.cached_value = false;
  if (judge && !item.nocache) {
    {
      tz::ScopedLock lock(lock_);
      if (items_.count(item.id) != 0) return false;
    }
    // Outside the lock: a logic item evaluates the items loaded before it.
    bool ran = false;
    const bool outcome = Judge(item, ran);
    if (ran) {
      item.cached = true;
      item.cached_value = outcome;
    }
  }
  tz::ScopedLock lock(lock_);
  return items_.emplace(item.id, std::move(item)).second;
}

bool CConditionTable::Find(uint32_t id, ConditionRecord& out) {
  tz::ScopedLock lock(lock_);
  auto it = items_.find(id);
  if (it == items_.end()) return false;
  out = it->second;
  return true;
}

void CConditionTable::ResetForTests() {
  tz::ScopedLock lock(lock_);
  items_.clear();
}
