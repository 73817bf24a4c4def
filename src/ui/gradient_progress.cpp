#include "ui/gradient_progress.h"

#include <algorithm>

#include "toolkit/render.h"

namespace {

// The capsule over a rectangle: half circles of diameter `d` at both ends joined by straight edges,
// its box starting one pixel in from the left and one pixel above the top (the bar's long-standing
// geometry), never drawn outside the control.
tzui::RoundShape Capsule(const RECT& rc, int d) {
  tzui::RoundShape s;
  s.left = static_cast<float>(rc.left + 1);
  s.top = static_cast<float>(rc.top - 1);
  s.right = static_cast<float>(rc.right - 1);
  s.bottom = static_cast<float>(rc.top - 1 + d);
  for (float& r : s.radius) r = static_cast<float>(d) / 2;
  return s;
}

}  // namespace

int CGradientProgress::FilledRight(int left, int right, int min, int max, int value) {
  if (max <= min) max = min + 1;
  value = std::clamp(value, min, max);
  const long long width = static_cast<long long>(right) - left;
  return static_cast<int>(left + width * (static_cast<long long>(value) - min) / (static_cast<long long>(max) - min));
}

void CGradientProgress::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"forecolor2") {
    tzui::ARGB32 color = 0;
    if (tzui::ParseColor(value, color)) SetForeColor2(color);
    return;
  }
  tzui::CProgressUI::SetAttribute(name, value);
}

void CGradientProgress::PaintBkColor(Gdiplus::Graphics& g) {
  const RECT& rc = GetPos();
  const int d = rc.bottom - rc.top;
  if (bk_color_ == 0 || d <= 0 || rc.right <= rc.left) return;
  tzui::ShapePaint paint;
  paint.color = bk_color_;
  tzui::FillShape(g, Capsule(rc, d), paint, rc);
}

void CGradientProgress::PaintStatusImage(Gdiplus::Graphics& g) {
  if (fore_color_ == 0) return;
  const RECT& rc = GetPos();
  const int d = rc.bottom - rc.top;
  if (d <= 0) return;
  if (!horizontal_) {
    // Vertical bars fill from the bottom up with the same rule, as a plain rounded bar.
    RECT filled = rc;
    filled.top = rc.bottom - (FilledRight(rc.top, rc.bottom, min_, max_, value_) - rc.top);
    if (filled.bottom - filled.top <= 0) return;
    const int w = rc.right - rc.left;
    tzui::ShapePaint paint;
    paint.color = fore_color_;
    tzui::FillShape(g, tzui::MakeRoundShape(filled, w / 2, w / 2, w / 2, w / 2), paint, rc);
    return;
  }
  RECT filled = rc;
  filled.right = FilledRight(rc.left, rc.right, min_, max_, value_);
  if (filled.right - filled.left <= 0) return;
  tzui::ShapePaint paint;
  paint.color = fore_color_;
  if (fore_color2_ != 0) {
    // The gradient spans exactly the filled part: the second colour sits at its right end.
    paint.gradient = true;
    paint.color2 = fore_color2_;
    paint.x0 = static_cast<float>(rc.left);
    paint.x1 = static_cast<float>(filled.right);
  }
  tzui::FillShape(g, Capsule(filled, d), paint, rc);
}

tzui::CControlUI* CreateGradientProgress(std::wstring_view type_name) {
  return tzui::EqualsNoCase(type_name, L"GradientProgress") ? new CGradientProgress() : nullptr;
}
