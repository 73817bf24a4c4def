#pragma once
// The options panel's height animation: where the window stands for an animation value.

struct TzPanelFrame {
  int height;     // window height for this value
  bool finished;  // the last frame: the panel's end state applies
};

// Values above 0.99 end the run: the last value the animation delivers may stop just short of 1.
inline TzPanelFrame PanelFrameAt(int start_height, int target_height, double value) {
  if (value > 0.99) return {target_height, true};
  return {static_cast<int>((target_height - start_height) * value + start_height + 0.5), false};
}
