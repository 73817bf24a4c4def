#include <gtest/gtest.h>

#include <atomic>

#include "platform/cached_answer.h"

namespace {

// A system query that fails must not stand for "no" for the rest of the run.
TEST(CachedAnswerTest, OnlyAnAnswerIsKeptAFailureIsAskedAgain) {
  struct Step {
    bool succeeds;
    bool value;
    bool expected;
    int calls_after;
  };
  const Step steps[] = {{false, true, false, 1},  // failed: "no" this time, nothing kept
                        {false, false, false, 2},
                        {true, true, true, 3},    // answered: kept
                        {false, false, true, 3},  // not asked again
                        {true, false, true, 3}};
  std::atomic<int> state{0};
  int calls = 0;
  for (const Step& s : steps) {
    const bool got = tz::CachedAnswer(state, [&](bool& answer) {
      ++calls;
      answer = s.value;
      return s.succeeds;
    });
    EXPECT_EQ(got, s.expected);
    EXPECT_EQ(calls, s.calls_after);
  }
}

}  // namespace
