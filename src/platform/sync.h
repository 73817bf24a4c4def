#pragma once
// Critical section owner and its scoped lock; every store holds one and locks only its own data.
#include <windows.h>

namespace tz {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&cs_); }
  void Leave() { LeaveCriticalSection(&cs_); }
  // True when the section is free (or already ours); never waits. For the crash handler, which must
  // not block on a lock held by a thread it has suspended.
  bool IsFree() {
    if (!TryEnterCriticalSection(&cs_)) return false;
    LeaveCriticalSection(&cs_);
    return true;
  }

 private:
  CRITICAL_SECTION cs_;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~ScopedLock() { cs_.Leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& cs_;
};

}  // namespace tz
