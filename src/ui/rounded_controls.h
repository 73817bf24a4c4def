#pragma once
// The installer skin's rounded controls: buttons and check boxes with rounded, state-coloured
// backgrounds, and vertical layouts with rounded corners and an optional border.
#include <string_view>

#include "toolkit/controls.h"

// Four corner radii (top-left, top-right, bottom-right, bottom-left), 96-DPI units.
struct CornerRadii {
  int tl = 0, tr = 0, br = 0, bl = 0;
};
// "r" or "tl,tr,br,bl".
CornerRadii ParseCornerRadii(std::wstring_view text);

class CRoundedButtonUI : public tzui::CButtonUI {
 public:
  CRoundedButtonUI();
  std::wstring_view GetClass() const override { return L"RoundedButton"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintBkColor(Gdiplus::Graphics& g) override;
  void PaintBorder(Gdiplus::Graphics& g) override;
  void PaintFocus(Gdiplus::Graphics& g) override;
  void SetBorderRadius(int radius) { radii_ = {radius, radius, radius, radius}; Invalidate(); }
  void SetBorderRadii(const CornerRadii& radii) { radii_ = radii; Invalidate(); }
  const CornerRadii& GetBorderRadii() const { return radii_; }
  void SetShowBorder(bool on) { show_border_ = on; Invalidate(); }

 protected:
  CornerRadii radii_{4, 4, 4, 4};
  bool show_border_ = false;
};

// Icon (unchecked `normalimage`, checked `normalonimage`) at `iconoffset`, then the text.
class CRoundedCheckboxUI : public CRoundedButtonUI {
 public:
  std::wstring_view GetClass() const override { return L"RoundedCheckbox"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintStatusImage(Gdiplus::Graphics& g) override;
  void Activate() override;
  tzui::AccessibleRole GetAccessibleRole() const override { return tzui::AccessibleRole::kCheckButton; }
  bool IsChecked() const override { return checked_; }
  void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }
  void SetTextColor(tzui::ARGB32 color);

 private:
  bool checked_ = false;
  tzui::ARGB32 unchecked_text_color_ = 0xFF000000;
  tzui::ARGB32 checked_text_color_ = 0;
  std::wstring unchecked_image_;
  std::wstring checked_image_;
  POINT icon_offset_{};
  bool has_icon_offset_ = false;
};

// Rounded background and border for any layout.
class RoundedLayoutBase {
 public:
  void SetRadii(const CornerRadii& radii) { radii_ = radii; }
  bool SetRoundedAttribute(std::wstring_view name, std::wstring_view value);

 protected:
  void PaintRounded(Gdiplus::Graphics& g, const tzui::CControlUI& control, tzui::ARGB32 bk, tzui::ARGB32 border) const;
  CornerRadii radii_{};
  bool show_border_ = false;
};

class RVerticalLayout : public tzui::CVerticalLayoutUI, public RoundedLayoutBase {
 public:
  std::wstring_view GetClass() const override { return L"RVerticalLayout"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintBkColor(Gdiplus::Graphics& g) override;
  void PaintBorder(Gdiplus::Graphics& g) override;

 private:
  tzui::ARGB32 border_ = 0;
};

// Creates the rounded types by description name ("RoundedButton", "RoundedCheckbox",
// "RVerticalLayout"); nullptr for any other. Windows call it from their builder callback.
tzui::CControlUI* CreateRoundedControl(std::wstring_view type_name);
