#include "actions/action_table.h"

CActionTable& GetActionTable() {
  static CActionTable table;
  return table;
}

bool CActionTable::Add(const ActionRecord& record) {
  tz::ScopedLock lock(lock_);
  return items_.emplace(record.id, record).second;
}

bool CActionTable::Find(uint32_t id, ActionRecord& out) {
  tz::ScopedLock lock(lock_);
  auto it = items_.find(id);
  if (it == items_.end()) return false;
  out = it->second;
  return true;
}
