#pragma once
// The receiving side of an animation, embedded in a window: holds the running animation's id and
// gets each value through OnValue on the window's thread.
#include <cstdint>

#include "ui/animation_manager.h"

class TzAnimationBaseClient {
 public:
  TzAnimationBaseClient() = default;
  TzAnimationBaseClient(const TzAnimationBaseClient&) = delete;
  TzAnimationBaseClient& operator=(const TzAnimationBaseClient&) = delete;
  // Stops a running animation so no value reaches a destroyed object.
  virtual ~TzAnimationBaseClient();

  // Starts the client's animation in place of any it is running; false when there is no manager
  // or it refused.
  virtual bool Start() = 0;
  virtual void Stop();
  // Durations of 10 microseconds or less are ignored.
  virtual void SetDuration(double seconds);
  virtual void SetRepeat(bool repeat);
  virtual void OnValue(double value) = 0;

  void SetAnimationManager(TzAnimationManager* manager) { manager_ = manager; }
  TzAnimationManager* AnimationManager() const { return manager_; }
  uint32_t AnimationId() const { return animation_id_; }
  double Duration() const { return duration_; }
  bool Repeat() const { return repeat_; }

 protected:
  static void ForwardValue(double value, void* client);

  uint32_t animation_id_ = 0;
  double duration_ = 1.0;
  bool repeat_ = false;
  TzAnimationManager* manager_ = nullptr;
};

// Runs from 0 to 1 along a cubic-bezier curve, by default (0.25, 0.1) (0.25, 1.0).
class TzAnimationCubicBezierClient : public TzAnimationBaseClient {
 public:
  bool Start() override;
  void SetControlPoints(const TzCubicBezierPoints& points) { points_ = points; }
  const TzCubicBezierPoints& ControlPoints() const { return points_; }

 private:
  TzCubicBezierPoints points_;
};
