#pragma once
// The record tables of the install script: records by key, the first record of a key wins (a later
// one is dropped). One lock around the table's own data; callers get copies.
#include <map>
#include <utility>

#include "platform/sync.h"

namespace tz {

template <typename Key, typename Record>
class FirstWinsTable {
 public:
  FirstWinsTable() = default;
  FirstWinsTable(const FirstWinsTable&) = delete;
  FirstWinsTable& operator=(const FirstWinsTable&) = delete;

  // False, and the table unchanged, when the key is already present.
  bool Insert(const Key& key, Record record) {
    ScopedLock lock(lock_);
    return items_.emplace(key, std::move(record)).second;
  }
  bool Contains(const Key& key) {
    ScopedLock lock(lock_);
    return items_.count(key) != 0;
  }
  // Copies the record of `key` into `out`; false (and `out` untouched) when there is none.
  bool Find(const Key& key, Record& out) {
    ScopedLock lock(lock_);
    auto it = items_.find(key);
    if (it == items_.end()) return false;
    out = it->second;
    return true;
  }
  // Runs `change(record)` under the lock; false when the key is absent. `change` must not call out.
  template <typename Fn>
  bool Update(const Key& key, Fn change) {
    ScopedLock lock(lock_);
    auto it = items_.find(key);
    if (it == items_.end()) return false;
    change(it->second);
    return true;
  }
  // Runs `change(record, present)` under the lock on the record of `key`, created when absent.
  template <typename Fn>
  auto Upsert(const Key& key, Fn change) {
    ScopedLock lock(lock_);
    auto it = items_.find(key);
    const bool present = it != items_.end();
    if (!present) it = items_.emplace(key, Record{}).first;
    return change(it->second, present);
  }

  // For the crash handler: true when reading would not wait for another thread.
  bool LockIsFree() { return lock_.IsFree(); }

 private:
  CriticalSection lock_;
  std::map<Key, Record> items_;
};

}  // namespace tz
