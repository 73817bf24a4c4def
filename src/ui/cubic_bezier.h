#pragma once
// CSS-style cubic-bezier timing curves from (0, 0) to (1, 1) for the Windows Animation Manager:
// an interpolator that answers each frame from a precomputed table, and the cubic fit used where
// the system offers neither a bezier transition nor a way to plug in an interpolator.
#include <uianimation.h>

#include <vector>

#include "ui/unknown_base.h"

struct TzCubicBezierPoints {
  double x1 = 0.25;
  double y1 = 0.1;
  double x2 = 0.25;
  double y2 = 1.0;
};

// dy/dx of the curve at parameter t, limited to +-max_slope. The parameter is used as normalised
// time directly (the curve is not solved for x), so a vertical tangent gives the limit.
double TzCubicBezierSlope(const TzCubicBezierPoints& points, double t, double max_slope);

// Start and end slopes of the Hermite cubic from (0, 0) to (1, 1) that passes through the curve's
// points at t = 0.1 and t = 0.9. A degenerate system gives (1, 0).
struct TzCubicFit {
  double start_slope;
  double end_slope;
};
TzCubicFit TzFitCubicToBezier(const TzCubicBezierPoints& points);

// Runs from 0 to 1 along the curve over its duration; the initial value and velocity are ignored.
class TzCubicBezierInterpolator final
    : public TzUnknownBase<IUIAnimationInterpolator, TzCubicBezierInterpolator> {
 public:
  TzCubicBezierInterpolator() = default;

  void SetControlPoints(const TzCubicBezierPoints& points) { points_ = points; }
  void SetSampleCount(int count) { samples_ = count > 0 ? count : 1; }
  // Fills the table of samples_ + 1 cumulative values; must run before the first value request.
  void BuildTable();
  const std::vector<double>& Table() const { return table_; }

  HRESULT STDMETHODCALLTYPE SetInitialValueAndVelocity(double value, double velocity) override;
  HRESULT STDMETHODCALLTYPE SetDuration(double duration) override;
  HRESULT STDMETHODCALLTYPE GetDuration(double* duration) override;
  HRESULT STDMETHODCALLTYPE GetFinalValue(double* value) override;
  HRESULT STDMETHODCALLTYPE InterpolateValue(double offset, double* value) override;
  HRESULT STDMETHODCALLTYPE InterpolateVelocity(double offset, double* velocity) override;
  HRESULT STDMETHODCALLTYPE GetDependencies(UI_ANIMATION_DEPENDENCIES* initial_value,
                                            UI_ANIMATION_DEPENDENCIES* initial_velocity,
                                            UI_ANIMATION_DEPENDENCIES* duration) override;

 private:
  friend class TzUnknownBase<IUIAnimationInterpolator, TzCubicBezierInterpolator>;
  ~TzCubicBezierInterpolator() = default;

  double initial_value_ = 0.0;
  double duration_ = 0.0;
  TzCubicBezierPoints points_;
  int samples_ = 1000;
  double max_slope_ = 5.0;
  std::vector<double> table_;
};
