#include "ui/panel_animation.h"

#include <gtest/gtest.h>

namespace {

TEST(PanelAnimationTest, HeightFollowsTheValueUntilItPassesTheEndMark) {
  struct Case {
    int start, target;
    double value;
    int height;
    bool finished;
  };
  const Case cases[] = {
      {436, 534, 0.0, 436, false},  {436, 534, 0.5, 485, false}, {534, 436, 0.5, 485, false},
      {436, 534, 0.674, 502, false}, {436, 534, 0.99, 533, false}, {436, 534, 0.9901, 534, true},
      {534, 436, 1.0, 436, true},
  };
  for (const Case& c : cases) {
    const TzPanelFrame frame = PanelFrameAt(c.start, c.target, c.value);
    EXPECT_EQ(frame.height, c.height) << c.start << "->" << c.target << " at " << c.value;
    EXPECT_EQ(frame.finished, c.finished) << c.start << "->" << c.target << " at " << c.value;
  }
}

}  // namespace
