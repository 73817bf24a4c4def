#pragma once
// A yes/no fact about the system that is asked once. Only an answer is kept: a query that fails
// gives "no" for that call and is asked again next time, instead of standing for "no" for the
// rest of the run.
#include <atomic>

namespace tz {

// `query(bool& answer)` returns false when it could not find out.
template <typename Query>
bool CachedAnswer(std::atomic<int>& state, Query query) {
  const int known = state.load();  // 0 unknown, 1 no, 2 yes
  if (known != 0) return known == 2;
  bool answer = false;
  if (!query(answer)) return false;
  state.store(answer ? 2 : 1);
  return answer;
}

}  // namespace tz
