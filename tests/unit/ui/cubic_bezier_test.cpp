#include "ui/cubic_bezier.h"

#include <gtest/gtest.h>

#include "platform/handles.h"

namespace {

constexpr TzCubicBezierPoints kWindowCurve{0.25, 0.1, 0.25, 1.0};

tz::ComPtr<TzCubicBezierInterpolator> MakeInterpolator(const TzCubicBezierPoints& points,
                                                       double duration, int samples = 1000) {
  tz::ComPtr<TzCubicBezierInterpolator> interpolator;
  interpolator.Attach(new TzCubicBezierInterpolator());
  interpolator->SetControlPoints(points);
  interpolator->SetSampleCount(samples);
  interpolator->SetDuration(duration);
  interpolator->BuildTable();
  return interpolator;
}

struct SlopeCase {
  const char* name;
  TzCubicBezierPoints points;
  double t;
  double expected;
};

class SlopeTest : public testing::TestWithParam<SlopeCase> {};

TEST_P(SlopeTest, ClampsToTheMaximumSlope) {
  const SlopeCase& c = GetParam();
  EXPECT_DOUBLE_EQ(TzCubicBezierSlope(c.points, c.t, 5.0), c.expected);
}

// At t = 0 the thirds of the derivatives are x1 and y1 themselves.
INSTANTIATE_TEST_SUITE_P(
    Cases, SlopeTest,
    testing::Values(SlopeCase{"Ordinary", {0.5, 0.25, 0.5, 0.75}, 0.0, 0.5},
                    SlopeCase{"WindowCurveEndsFlat", kWindowCurve, 1.0, 0.0},
                    SlopeCase{"SteepIsLimited", {0.1, 0.9, 0.5, 0.5}, 0.0, 5.0},
                    SlopeCase{"SteepDownIsLimited", {0.1, -0.9, 0.5, 0.5}, 0.0, -5.0},
                    SlopeCase{"NearZeroXTakesSignOfRatio", {1e-7, 1e-9, 0.5, 0.5}, 0.0, 5.0},
                    SlopeCase{"NearZeroNegativeX", {-1e-7, 0.3, 0.5, 0.5}, 0.0, -5.0},
                    SlopeCase{"ZeroXPositiveY", {0.0, 0.3, 0.5, 0.5}, 0.0, 5.0},
                    SlopeCase{"ZeroXNegativeY", {0.0, -0.3, 0.5, 0.5}, 0.0, -5.0},
                    SlopeCase{"ZeroXZeroY", {0.0, 0.0, 0.5, 0.5}, 0.0, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CubicBezierInterpolatorTest, WindowCurveTableRisesFromZeroToExactlyOne) {
  const auto interpolator = MakeInterpolator(kWindowCurve, 0.3);
  const std::vector<double>& table = interpolator->Table();
  ASSERT_EQ(table.size(), 1001u);
  EXPECT_EQ(table.front(), 0.0);
  EXPECT_EQ(table.back(), 1.0);
  for (size_t i = 1; i < table.size(); ++i) ASSERT_GE(table[i], table[i - 1]) << "entry " << i;
  EXPECT_NEAR(table[500], 0.674, 0.001);
}

TEST(CubicBezierInterpolatorTest, SlopesThatCancelOutGiveALinearTable) {
  // Slopes +3 at t = 0.5 and -3 at t = 1: nothing to normalise by.
  const auto interpolator = MakeInterpolator({1.0 / 3, -1.0, 2.0 / 3, 2.0}, 1.0, 2);
  EXPECT_EQ(interpolator->Table(), (std::vector<double>{0.0, 0.5, 1.0}));
}

struct ValueCase {
  const char* name;
  double duration;
  double offset;
  size_t entry;  // expected table entry
};

class InterpolateValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(InterpolateValueTest, AnswersFromTheTable) {
  const ValueCase& c = GetParam();
  const auto interpolator = MakeInterpolator(kWindowCurve, c.duration);
  double value = -1;
  ASSERT_EQ(interpolator->InterpolateValue(c.offset, &value), S_OK);
  EXPECT_EQ(value, interpolator->Table()[c.entry]);
}

INSTANTIATE_TEST_SUITE_P(Cases, InterpolateValueTest,
                         testing::Values(ValueCase{"AtDuration", 0.3, 0.3, 1000},
                                         ValueCase{"AtHalf", 0.3, 0.15, 500},
                                         ValueCase{"RoundsToNearest", 1.0, 0.0004, 0},
                                         ValueCase{"RoundsUp", 1.0, 0.0006, 1},
                                         ValueCase{"PastTheEnd", 0.3, 9.0, 1000},
                                         ValueCase{"BeforeTheStart", 0.3, -0.1, 0},
                                         ValueCase{"NoDurationIsTheEnd", 0.0, 0.0, 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnknownBaseTest, AnswersOnlyItsInterfaceAndCountsReferences) {
  const auto interpolator = MakeInterpolator(kWindowCurve, 0.3);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(interpolator->QueryInterface(IID_IUIAnimationTransition, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(interpolator->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  for (REFIID iid : {IID_IUnknown, IID_IUIAnimationInterpolator}) {
    ASSERT_EQ(interpolator->QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<IUIAnimationInterpolator*>(interpolator.Get()));
    EXPECT_EQ(interpolator->Release(), 1u);
  }
  EXPECT_EQ(interpolator->AddRef(), 2u);
  EXPECT_EQ(interpolator->Release(), 1u);
}

struct FitCase {
  const char* name;
  TzCubicBezierPoints points;
  double start_slope;
  double end_slope;
};

class CubicFitTest : public testing::TestWithParam<FitCase> {};

// With x1 = 1/3 and x2 = 2/3 the curve is a cubic in time whose end slopes are 3 y1 and
// 3 (1 - y2), so the fit must find them exactly.
TEST_P(CubicFitTest, RecoversTheSlopesOfACubicCurve) {
  const FitCase& c = GetParam();
  const TzCubicFit fit = TzFitCubicToBezier(c.points);
  EXPECT_NEAR(fit.start_slope, c.start_slope, 1e-9);
  EXPECT_NEAR(fit.end_slope, c.end_slope, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CubicFitTest,
    testing::Values(FitCase{"Linear", {1.0 / 3, 1.0 / 3, 2.0 / 3, 2.0 / 3}, 1.0, 1.0},
                    FitCase{"SmoothStep", {1.0 / 3, 0.0, 2.0 / 3, 1.0}, 0.0, 0.0},
                    FitCase{"Overshoot", {1.0 / 3, 0.5, 2.0 / 3, 0.5}, 1.5, 1.5},
                    FitCase{"EaseOut", {1.0 / 3, 0.6, 2.0 / 3, 1.0}, 1.8, 0.0},
                    // x(0.1) = 0 makes the system singular.
                    FitCase{"Degenerate", {-0.01 / 2.43, 0.5, 0.0, 0.5}, 1.0, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
