#pragma once
// The installing page's progress bar: a capsule whose filled part runs in a colour gradient.
#include <string_view>

#include "toolkit/controls.h"

class CGradientProgress : public tzui::CProgressUI {
 public:
  std::wstring_view GetClass() const override { return L"GradientProgress"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintBkColor(Gdiplus::Graphics& g) override;
  void PaintStatusImage(Gdiplus::Graphics& g) override;
  void SetForeColor2(tzui::ARGB32 color) { fore_color2_ = color; Invalidate(); }
  tzui::ARGB32 GetForeColor2() const { return fore_color2_; }

  // Right edge of the filled part for a bar from `left` to `right` (64-bit product, clamped).
  static int FilledRight(int left, int right, int min, int max, int value);

 private:
  tzui::ARGB32 fore_color2_ = 0;
};

// The main window's control factory: a new CGradientProgress for "GradientProgress" (any case),
// nullptr otherwise.
tzui::CControlUI* CreateGradientProgress(std::wstring_view type_name);
