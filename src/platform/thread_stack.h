// A bounded stack for per-thread bookkeeping (the items being evaluated on this thread).
//
// It is trivially constructible and destructible on purpose: a thread_local with a destructor makes
// the runtime register a per-thread exit hook under a process-wide key, and the key's teardown at
// process exit waits on a lock that threads ending at the same time also take. Seen as an
// installer that wrote its last log line and never exited. Plain data needs no hook.
#pragma once

#include <cstddef>
#include <type_traits>

namespace tz {

template <typename T, size_t N>
struct ThreadStack {
  static_assert(std::is_trivially_copyable<T>::value, "thread stacks hold plain values");

  T items[N];
  size_t count;

  size_t size() const { return count; }
  bool full() const { return count == N; }
  // False (and nothing stored) when full: callers treat that as their nesting cap.
  bool push(T value) {
    if (count == N) return false;
    items[count++] = value;
    return true;
  }
  void pop() {
    if (count != 0) --count;
  }
  const T& operator[](size_t i) const { return items[i]; }
  template <typename Pred>
  bool any(Pred pred, size_t from = 0) const {
    for (size_t i = from; i < count; ++i)
      if (pred(items[i])) return true;
    return false;
  }
};

}  // namespace tz
