#include "script/variable_store.h"

CVariableStore& GetVariableStore() {
  static CVariableStore store;
  return store;
}

bool CVariableStore::AddVariable(const VariableRecord& record) {
  tz::ScopedLock lock(lock_);
  return records_.emplace(record.varname, record).second;
}

bool CVariableStore::FindRecord(const std::wstring& name, VariableRecord& out) {
  tz::ScopedLock lock(lock_);
  auto it = records_.find(name);
  if (it == records_.end()) return false;
  out = it->second;
  return true;
}

void CVariableStore::ResetForTests() {
  tz::ScopedLock lock(lock_);
  records_.clear();
}
