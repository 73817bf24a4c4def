#include "ui/animation_client.h"

TzAnimationBaseClient::~TzAnimationBaseClient() { TzAnimationBaseClient::Stop(); }

void TzAnimationBaseClient::ForwardValue(double value, void* client) {
  static_cast<TzAnimationBaseClient*>(client)->OnValue(value);
}

void TzAnimationBaseClient::Stop() {
  if (animation_id_ != 0 && manager_) manager_->Stop(animation_id_);
  animation_id_ = 0;
}

void TzAnimationBaseClient::SetDuration(double seconds) {
  if (seconds > 1e-5) duration_ = seconds;
}

void TzAnimationBaseClient::SetRepeat(bool repeat) { repeat_ = repeat; }

bool TzAnimationCubicBezierClient::Start() {
  if (!manager_) return false;
  // Two runs feeding one receiver would fight over its state.
  Stop();
  TzAnimationRequest request;
  request.repeat = repeat_;
  request.duration = duration_;
  request.points = points_;
  animation_id_ =
      manager_->Start(request, &ForwardValue, static_cast<TzAnimationBaseClient*>(this));
  return animation_id_ != 0;
}
