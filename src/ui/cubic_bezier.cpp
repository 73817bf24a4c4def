#include "ui/cubic_bezier.h"

#include <cmath>

namespace {

// One coordinate of the curve with control values 0, c1, c2, 1.
double BezierAt(double c1, double c2, double t) {
  return t * (3 * c1 + t * (3 * c2 - 6 * c1 + t * (3 * c1 - 3 * c2 + 1)));
}

// A third of that coordinate's derivative.
double BezierThirdDerivativeAt(double c1, double c2, double t) {
  return (3 * c1 - 3 * c2 + 1) * t * t + 2 * (c2 - 2 * c1) * t + c1;
}

}  // namespace

double TzCubicBezierSlope(const TzCubicBezierPoints& p, double t, double max_slope) {
  const double dx = BezierThirdDerivativeAt(p.x1, p.x2, t);
  const double dy = BezierThirdDerivativeAt(p.y1, p.y2, t);
  // A vanishing dx (exactly 0 included) means a vertical tangent: the limit, signed like dy / dx.
  if (std::fabs(dx) < 1e-6) {
    if (dy == 0) return 0.0;
    return ((dy < 0) != (dx < 0)) ? -max_slope : max_slope;
  }
  const double slope = dy / dx;
  if (slope > max_slope) return max_slope;
  if (slope < -max_slope) return -max_slope;
  return slope;
}

TzCubicFit TzFitCubicToBezier(const TzCubicBezierPoints& p) {
  const double a = BezierAt(p.x1, p.x2, 0.1);
  const double b = BezierAt(p.x1, p.x2, 0.9);
  const double pa = BezierAt(p.y1, p.y2, 0.1);
  const double qb = BezierAt(p.y1, p.y2, 0.9);
  // h(s) = 3s^2 - 2s^3 + m0 s(s-1)^2 + m1 s^2(s-1), through (a, pa) and (b, qb).
  const double a11 = a * (a - 1) * (a - 1), a12 = a * a * (a - 1);
  const double a21 = b * (b - 1) * (b - 1), a22 = b * b * (b - 1);
  const double r1 = pa - 3 * a * a + 2 * a * a * a;
  const double r2 = qb - 3 * b * b + 2 * b * b * b;
  const double det = a11 * a22 - a12 * a21;
  if (!(std::fabs(det) >= 1e-6)) return {1.0, 0.0};
  return {(r1 * a22 - a12 * r2) / det, (a11 * r2 - r1 * a21) / det};
}

void TzCubicBezierInterpolator::BuildTable() {
  table_.assign(static_cast<size_t>(samples_) + 1, 0.0);
  double sum = 0.0, magnitude = 0.0;
  for (int k = 1; k <= samples_; ++k) {
    const double slope = TzCubicBezierSlope(points_, static_cast<double>(k) / samples_, max_slope_);
    sum += slope;
    magnitude += std::fabs(slope);
    table_[k] = sum;
  }
  // Slopes that cancel out (up to rounding) leave nothing to normalise by: run linearly instead.
  const bool usable = std::isfinite(sum) && std::fabs(sum) > 1e-9 * magnitude;
  for (int i = 0; i < samples_; ++i) {
    table_[i] = usable ? table_[i] / sum : static_cast<double>(i) / samples_;
  }
  table_[samples_] = 1.0;
}

HRESULT TzCubicBezierInterpolator::SetInitialValueAndVelocity(double value, double) {
  initial_value_ = value;
  return S_OK;
}

HRESULT TzCubicBezierInterpolator::SetDuration(double duration) {
  duration_ = duration;
  return S_OK;
}

HRESULT TzCubicBezierInterpolator::GetDuration(double* duration) {
  if (!duration) return E_POINTER;
  *duration = duration_;
  return S_OK;
}

HRESULT TzCubicBezierInterpolator::GetFinalValue(double* value) {
  if (!value) return E_POINTER;
  *value = 1.0;
  return S_OK;
}

HRESULT TzCubicBezierInterpolator::InterpolateValue(double offset, double* value) {
  if (!value) return E_POINTER;
  if (table_.empty()) BuildTable();
  // No length means the run is over; before the start (or a NaN offset) it has not begun.
  int index = samples_;
  if (duration_ > 0) {
    const double position = samples_ * offset / duration_ + 0.5;
    if (!(position >= 0)) {
      index = 0;
    } else if (position < samples_) {
      index = static_cast<int>(position);
    }
  }
  *value = table_[index];
  return S_OK;
}

HRESULT TzCubicBezierInterpolator::InterpolateVelocity(double offset, double* velocity) {
  if (!velocity) return E_POINTER;
  double t = duration_ > 0 ? offset / duration_ : 1.0;
  if (!(t >= 0)) t = 0;
  if (t > 1) t = 1;
  *velocity = TzCubicBezierSlope(points_, t, max_slope_);
  return S_OK;
}

HRESULT TzCubicBezierInterpolator::GetDependencies(UI_ANIMATION_DEPENDENCIES* initial_value,
                                                   UI_ANIMATION_DEPENDENCIES* initial_velocity,
                                                   UI_ANIMATION_DEPENDENCIES* duration) {
  if (!initial_value || !initial_velocity || !duration) return E_POINTER;
  *initial_value = UI_ANIMATION_DEPENDENCY_INTERMEDIATE_VALUES;
  *initial_velocity = UI_ANIMATION_DEPENDENCY_NONE;
  *duration = UI_ANIMATION_DEPENDENCY_DURATION;
  return S_OK;
}
