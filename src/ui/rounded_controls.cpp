#include "ui/rounded_controls.h"

#include "toolkit/paint_manager.h"
#include "toolkit/render.h"

#include <algorithm>

using tzui::ARGB32;

namespace {

tzui::RoundShape ScaledShape(const tzui::CControlUI& control, const RECT& rc, const CornerRadii& r) {
  return tzui::MakeRoundShape(rc, control.Scale(r.tl), control.Scale(r.tr), control.Scale(r.br), control.Scale(r.bl));
}

}  // namespace

CornerRadii ParseCornerRadii(std::wstring_view text) {
  RECT values{};
  if (!tzui::ParseRect(text, values)) return {};
  // One number is every corner; four are top-left, top-right, bottom-right, bottom-left.
  if (text.find(L',') == std::wstring_view::npos) return {values.left, values.left, values.left, values.left};
  return {values.left, values.top, values.right, values.bottom};
}

// ---------------------------------------------------------------------------------------------

CRoundedButtonUI::CRoundedButtonUI() = default;

void CRoundedButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"borderradius") SetBorderRadii(ParseCornerRadii(value));
  else if (name == L"showborder") SetShowBorder(tzui::ParseBool(value));
  else tzui::CButtonUI::SetAttribute(name, value);
}

void CRoundedButtonUI::PaintBkColor(Gdiplus::Graphics& g) {
  tzui::ShapePaint paint;
  paint.color = StateBkColor();
  tzui::FillShape(g, ScaledShape(*this, pos_, radii_), paint, pos_);
}

void CRoundedButtonUI::PaintBorder(Gdiplus::Graphics& g) {
  if (!show_border_ || border_color_ == 0) return;
  tzui::StrokeShape(g, ScaledShape(*this, pos_, radii_), static_cast<float>(Scale(border_size_ > 0 ? border_size_ : 1)),
                    border_color_, pos_);
}

void CRoundedButtonUI::PaintFocus(Gdiplus::Graphics& g) {
  // The focus ring follows the rounded shape, inside the fill.
  RECT rc = pos_;
  InflateRect(&rc, -Scale(1), -Scale(1));
  tzui::StrokeShape(g, ScaledShape(*this, rc, radii_), static_cast<float>(std::max(1, Scale(1))), 0xE6FFFFFF, pos_);
}

// ---------------------------------------------------------------------------------------------

void CRoundedCheckboxUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"checked") {
    SetCheck(tzui::ParseBool(value));
  } else if (name == L"checkedtextcolor") {
    tzui::ParseColor(value, checked_text_color_);
    if (checked_ && checked_text_color_) tzui::CLabelUI::SetTextColor(checked_text_color_);
  } else if (name == L"textcolor") {
    ARGB32 color = 0;
    if (tzui::ParseColor(value, color)) SetTextColor(color);
  } else if (name == L"normalimage") {
    unchecked_image_ = value;
    if (!checked_) SetNormalImage(value);
  } else if (name == L"normalonimage") {
    checked_image_ = value;
    if (checked_) SetNormalImage(value);
  } else if (name == L"iconoffset") {
    SIZE offset{};
    if (tzui::ParseSize(value, offset)) {
      icon_offset_ = POINT{offset.cx, offset.cy};
      has_icon_offset_ = true;
    }
  } else {
    CRoundedButtonUI::SetAttribute(name, value);
  }
}

void CRoundedCheckboxUI::SetTextColor(ARGB32 color) {
  unchecked_text_color_ = color;
  if (!checked_ || !checked_text_color_) tzui::CLabelUI::SetTextColor(color);
}

void CRoundedCheckboxUI::SetCheck(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  if (checked) {
    if (checked_text_color_) tzui::CLabelUI::SetTextColor(checked_text_color_);
    if (!checked_image_.empty()) SetNormalImage(checked_image_);
  } else {
    tzui::CLabelUI::SetTextColor(unchecked_text_color_);
    if (!unchecked_image_.empty() || !checked_image_.empty()) SetNormalImage(unchecked_image_);
  }
  Invalidate();
}

void CRoundedCheckboxUI::Activate() {
  if (!IsEnabled() || !IsVisible() || !GetManager()) return;
  SetCheck(!checked_);
  GetManager()->SendNotify(this, L"checkclick", checked_ ? 1 : 0);
  CRoundedButtonUI::Activate();
}

void CRoundedCheckboxUI::PaintStatusImage(Gdiplus::Graphics& g) {
  const std::wstring& image = StateImage();
  if (image.empty() || !manager_) return;
  if (!has_icon_offset_) {
    manager_->DrawImage(g, image, pos_);
    return;
  }
  // An icon at its natural size, placed at the offset inside the control.
  SIZE logical{};
  if (!manager_->GetImage(image, &logical)) return;
  const int x = pos_.left + Scale(icon_offset_.x), y = pos_.top + Scale(icon_offset_.y);
  manager_->DrawImage(g, image, RECT{x, y, x + Scale(logical.cx), y + Scale(logical.cy)});
}

// ---------------------------------------------------------------------------------------------

bool RoundedLayoutBase::SetRoundedAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"borderradius") {
    radii_ = ParseCornerRadii(value);
    return true;
  }
  if (name == L"showborder") {
    show_border_ = tzui::ParseBool(value);
    return true;
  }
  return false;
}

void RoundedLayoutBase::PaintRounded(Gdiplus::Graphics& g, const tzui::CControlUI& control, ARGB32 bk,
                                     ARGB32 border) const {
  const RECT& rc = control.GetPos();
  if (bk) {
    tzui::ShapePaint paint;
    paint.color = bk;
    tzui::FillShape(g, ScaledShape(control, rc, radii_), paint, rc);
  }
  if (show_border_ && border) tzui::StrokeShape(g, ScaledShape(control, rc, radii_), static_cast<float>(control.Scale(1)), border, rc);
}

void RVerticalLayout::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (SetRoundedAttribute(name, value)) {
    Invalidate();
    return;
  }
  if (name == L"bordercolor") tzui::ParseColor(value, border_);
  tzui::CVerticalLayoutUI::SetAttribute(name, value);
}

void RVerticalLayout::PaintBkColor(Gdiplus::Graphics& g) { PaintRounded(g, *this, bk_color_, 0); }

void RVerticalLayout::PaintBorder(Gdiplus::Graphics& g) { PaintRounded(g, *this, 0, border_); }

tzui::CControlUI* CreateRoundedControl(std::wstring_view type_name) {
  if (type_name == L"RoundedButton") return new CRoundedButtonUI();
  if (type_name == L"RoundedCheckbox") return new CRoundedCheckboxUI();
  if (type_name == L"RVerticalLayout") return new RVerticalLayout();
  return nullptr;
}
