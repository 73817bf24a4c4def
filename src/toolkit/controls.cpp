#include "toolkit/controls.h"

#include <algorithm>

#include "toolkit/line_break.h"
#include "toolkit/paint_manager.h"
#include "toolkit/render.h"
#include "toolkit/resource_package.h"

namespace tzui {

namespace {

Gdiplus::RectF ToRectF(const RECT& rc) {
  return Gdiplus::RectF(static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top),
                        static_cast<Gdiplus::REAL>(rc.right - rc.left), static_cast<Gdiplus::REAL>(rc.bottom - rc.top));
}

bool Intersects(const RECT& a, const RECT& b) {
  RECT tmp;
  return IntersectRect(&tmp, &a, &b) != FALSE;
}

void SetColorAttr(std::wstring_view value, ARGB32& target) {
  ARGB32 color = 0;
  if (ParseColor(value, color)) target = color;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CControlUI

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (manager_) manager_->ReapControl(this);
}

std::wstring CControlUI::ResolveText(const std::wstring& raw) const {
  if (!resource_text_ || raw.empty()) return raw;
  const std::wstring* found = CResourceManager::Instance().FindText(raw);
  return found ? *found : raw;
}

std::wstring CControlUI::GetText() const { return ResolveText(text_); }

void CControlUI::SetText(std::wstring_view text) {
  text_ = text;
  Invalidate();
}

std::wstring CControlUI::GetToolTip() const { return ResolveText(tooltip_); }

void CControlUI::SetToolTip(std::wstring_view text) {
  tooltip_ = text;
  if (manager_) manager_->UpdateTooltip(manager_->GetHot());
}

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (!visible && manager_) {
    if (manager_->GetFocus() == this) manager_->SetFocus(nullptr);
  }
  NeedParentUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
  Invalidate();
}

bool CControlUI::IsFocused() const { return manager_ && manager_->GetFocus() == this; }

void CControlUI::SetFocus() {
  if (manager_) manager_->SetFocus(this);
}

void CControlUI::SetFixedWidth(int width) {
  fixed_width_ = std::max(0, width);
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int height) {
  fixed_height_ = std::max(0, height);
  NeedParentUpdate();
}

void CControlUI::SetPadding(const RECT& padding) {
  padding_ = padding;
  NeedParentUpdate();
}

void CControlUI::SetBkColor(ARGB32 color) {
  bk_color_ = color;
  Invalidate();
}

void CControlUI::SetBorderColor(ARGB32 color) {
  border_color_ = color;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) {
  border_size_ = std::max(0, size);
  Invalidate();
}

void CControlUI::SetBkImage(std::wstring_view image) {
  bk_image_ = image;
  Invalidate();
}

void CControlUI::SetBorderRound(int radius) {
  border_round_ = std::max(0, radius);
  Invalidate();
}

void CControlUI::SetPos(const RECT& pos) { pos_ = pos; }

SIZE CControlUI::EstimateSize(SIZE) { return SIZE{Scale(fixed_width_), Scale(fixed_height_)}; }

void CControlUI::SetManager(CPaintManagerUI* manager, CContainerUI* parent) {
  manager_ = manager;
  parent_ = parent;
}

void CControlUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"name") SetName(value);
  else if (name == L"text") SetText(value);
  else if (name == L"tooltip") SetToolTip(value);
  else if (name == L"resourcetext") SetResourceText(ParseBool(value));
  else if (name == L"visible") SetVisible(ParseBool(value));
  else if (name == L"enabled") SetEnabled(ParseBool(value));
  else if (name == L"width") SetFixedWidth(ParseInt(value));
  else if (name == L"height") SetFixedHeight(ParseInt(value));
  else if (name == L"padding") {
    RECT rc{};
    if (ParseRect(value, rc)) SetPadding(rc);
  } else if (name == L"bkcolor") SetColorAttr(value, bk_color_);
  else if (name == L"bordercolor") SetColorAttr(value, border_color_);
  else if (name == L"bordersize") SetBorderSize(ParseInt(value));
  else if (name == L"borderround") SetBorderRound(ParseInt(value));
  else if (name == L"bkimage") SetBkImage(value);
  else if (name == L"mouse") SetMouseEnabled(ParseBool(value));
  else if (name == L"cursor") SetCursor(EqualsNoCase(value, L"hand") ? IDC_HAND : IDC_ARROW);
}

void CControlUI::ApplyAttributeList(std::wstring_view list) {
  // name="value" pairs separated by blanks; values may hold anything but a double quote.
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && (list[i] == L' ' || list[i] == L'\t' || list[i] == L'\r' || list[i] == L'\n')) ++i;
    const size_t eq = list.find(L'=', i);
    if (eq == std::wstring_view::npos) return;
    const std::wstring_view name = list.substr(i, eq - i);
    if (eq + 1 >= list.size() || list[eq + 1] != L'"') return;
    const size_t close = list.find(L'"', eq + 2);
    if (close == std::wstring_view::npos) return;
    SetAttribute(name, list.substr(eq + 2, close - eq - 2));
    i = close + 1;
  }
}

void CControlUI::DoPaint(Gdiplus::Graphics& g, const RECT& dirty) {
  if (!visible_ || !Intersects(pos_, dirty)) return;
  PaintBkColor(g);
  PaintBkImage(g);
  PaintStatusImage(g);
  PaintText(g);
  PaintBorder(g);
  if (IsFocused() && manager_ && manager_->show_focus_) PaintFocus(g);
}

void CControlUI::FillRoundRect(Gdiplus::Graphics& g, const RECT& rc, ARGB32 color, int radius_px) const {
  tzui::FillRoundRect(g, rc, radius_px, color);
}

void CControlUI::PaintBkColor(Gdiplus::Graphics& g) { FillRoundRect(g, pos_, bk_color_, Scale(border_round_)); }

void CControlUI::PaintBkImage(Gdiplus::Graphics& g) {
  if (!bk_image_.empty() && manager_) manager_->DrawImage(g, bk_image_, pos_);
}

void CControlUI::PaintStatusImage(Gdiplus::Graphics&) {}
void CControlUI::PaintText(Gdiplus::Graphics&) {}

void CControlUI::PaintBorder(Gdiplus::Graphics& g) {
  if (border_color_ == 0 || border_size_ <= 0) return;
  const int r = Scale(border_round_);
  StrokeShape(g, MakeRoundShape(pos_, r, r, r, r), static_cast<float>(Scale(border_size_)), border_color_, pos_);
}

void CControlUI::PaintFocus(Gdiplus::Graphics& g) {
  // Keyboard focus: a thin light outline just inside the control.
  Gdiplus::Pen pen(Gdiplus::Color(200, 255, 255, 255), static_cast<Gdiplus::REAL>(std::max(1, Scale(1))));
  pen.SetDashStyle(Gdiplus::DashStyleDot);
  RECT rc = pos_;
  InflateRect(&rc, -Scale(2), -Scale(2));
  rc.right -= 1;
  rc.bottom -= 1;
  g.DrawRectangle(&pen, ToGdiRect(rc));
}

void CControlUI::DoEvent(TEventUI&) {}

CControlUI* CControlUI::FindControlAt(POINT pt) {
  if (!visible_ || !PtInRect(&pos_, pt)) return nullptr;
  return this;
}

void CControlUI::Invalidate() {
  if (manager_) manager_->Invalidate();
}

void CControlUI::NeedParentUpdate() {
  if (manager_) {
    manager_->NeedUpdate();
    manager_->Invalidate();
  }
}

std::wstring CControlUI::GetAccessibleName() const {
  std::wstring name = GetText();
  return name.empty() ? GetToolTip() : name;
}

int CControlUI::Scale(int v) const { return manager_ ? manager_->Scale(v) : v; }

RECT CControlUI::ScaleRect(const RECT& r) const { return RECT{Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }

// ---------------------------------------------------------------------------------------------
// CContainerUI

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  std::unique_ptr<CControlUI> owned(control);
  if (!control || index < 0 || index > GetCount()) return false;
  control->SetManager(manager_, this);
  items_.insert(items_.begin() + index, std::move(owned));
  NeedParentUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == control) {
      items_.erase(it);
      NeedParentUpdate();
      return true;
    }
  }
  return false;
}

void CContainerUI::RemoveAll() {
  items_.clear();
  NeedParentUpdate();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

void CContainerUI::SetInset(const RECT& inset) {
  inset_ = inset;
  NeedParentUpdate();
}

RECT CContainerUI::ContentRect() const { return Deflated(pos_, ScaleRect(inset_)); }

void CContainerUI::SetPos(const RECT& pos) {
  CControlUI::SetPos(pos);
  const RECT content = ContentRect();
  for (auto& item : items_) {
    if (!item->IsVisible()) continue;
    const RECT pad = item->ScaleRect(item->GetPadding());
    RECT rc{content.left + pad.left, content.top + pad.top, content.right - pad.right, content.bottom - pad.bottom};
    if (item->GetFixedWidth() > 0) rc.right = std::min<LONG>(rc.right, rc.left + Scale(item->GetFixedWidth()));
    if (item->GetFixedHeight() > 0) rc.bottom = std::min<LONG>(rc.bottom, rc.top + Scale(item->GetFixedHeight()));
    item->SetPos(rc);
  }
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CContainerUI* parent) {
  CControlUI::SetManager(manager, parent);
  for (auto& item : items_) item->SetManager(manager, this);
}

void CContainerUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"inset") {
    RECT rc{};
    if (ParseRect(value, rc)) SetInset(rc);
  } else if (name == L"childpadding") {
    SetChildPadding(ParseInt(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::DoPaint(Gdiplus::Graphics& g, const RECT& dirty) {
  if (!visible_ || !Intersects(pos_, dirty)) return;
  CControlUI::DoPaint(g, dirty);
  for (auto& item : items_) item->DoPaint(g, dirty);
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
  if (!visible_ || !PtInRect(&pos_, pt)) return nullptr;
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if (CControlUI* hit = (*it)->FindControlAt(pt)) return hit;
  }
  return this;
}

CControlUI* CContainerUI::FindByName(std::wstring_view name) {
  if (name.empty()) return nullptr;
  if (EqualsNoCase(name_, name)) return this;
  for (auto& item : items_) {
    if (CContainerUI* container = item->AsContainer()) {
      if (CControlUI* found = container->FindByName(name)) return found;
    } else if (EqualsNoCase(item->GetName(), name)) {
      return item.get();
    }
  }
  return nullptr;
}

void CContainerUI::CollectControls(std::vector<CControlUI*>& out) {
  out.push_back(this);
  for (auto& item : items_) {
    if (CContainerUI* container = item->AsContainer()) container->CollectControls(out);
    else out.push_back(item.get());
  }
}

// ---------------------------------------------------------------------------------------------
// Layouts

namespace {

// Splits `extent` between children: fixed sizes first, the rest evenly among flexible ones.
struct Slot {
  CControlUI* control;
  int size;      // main-axis size without margins, -1 while flexible
  int before;    // margin before, after (main axis)
  int after;
};

void Distribute(std::vector<Slot>& slots, int extent, int gap) {
  int used = 0, flexible = 0;
  for (auto& s : slots) {
    used += s.before + s.after;
    if (s.size >= 0) used += s.size;
    else ++flexible;
  }
  if (!slots.empty()) used += gap * static_cast<int>(slots.size() - 1);
  int left = std::max(0, extent - used);
  for (auto& s : slots) {
    if (s.size >= 0) continue;
    const int share = flexible > 1 ? left / flexible : left;
    s.size = share;
    left -= share;
    --flexible;
  }
}

// The visible items of a layout, one after another along its axis (vertical: top to bottom), with
// the sizes the extent allows.
std::vector<Slot> PlanSlots(const CControlUI& layout, const std::vector<std::unique_ptr<CControlUI>>& items,
                            const RECT& content, bool vertical, int gap) {
  const SIZE room{content.right - content.left, content.bottom - content.top};
  std::vector<Slot> slots;
  for (auto& item : items) {
    if (!item->IsVisible()) continue;
    const RECT pad = item->ScaleRect(item->GetPadding());
    const int fixed = vertical ? item->GetFixedHeight() : item->GetFixedWidth();
    int size = fixed > 0 ? layout.Scale(fixed) : -1;
    if (size < 0) {
      const SIZE est = item->EstimateSize(room);
      const int wanted = vertical ? est.cy : est.cx;
      if (wanted > 0) size = wanted;
    }
    slots.push_back({item.get(), size, static_cast<int>(vertical ? pad.top : pad.left),
                     static_cast<int>(vertical ? pad.bottom : pad.right)});
  }
  Distribute(slots, vertical ? room.cy : room.cx, gap);
  return slots;
}

}  // namespace

void CVerticalLayoutUI::SetPos(const RECT& pos) {
  CControlUI::SetPos(pos);
  const RECT content = ContentRect();
  const int gap = Scale(child_padding_);
  int y = content.top;
  for (const Slot& s : PlanSlots(*this, items_, content, true, gap)) {
    const RECT pad = s.control->ScaleRect(s.control->GetPadding());
    y += s.before;
    RECT rc{content.left + pad.left, y, content.right - pad.right, y + s.size};
    if (s.control->GetFixedWidth() > 0) rc.right = rc.left + Scale(s.control->GetFixedWidth());
    s.control->SetPos(rc);
    y += s.size + s.after + gap;
  }
}

void CHorizontalLayoutUI::SetPos(const RECT& pos) {
  CControlUI::SetPos(pos);
  const RECT content = ContentRect();
  const int gap = Scale(child_padding_);
  int x = content.left;
  for (const Slot& s : PlanSlots(*this, items_, content, false, gap)) {
    const RECT pad = s.control->ScaleRect(s.control->GetPadding());
    x += s.before;
    RECT rc{x, content.top + pad.top, x + s.size, content.bottom - pad.bottom};
    if (s.control->GetFixedHeight() > 0) {
      // Fixed heights sit in the middle of the row.
      const int h = Scale(s.control->GetFixedHeight());
      const int room = rc.bottom - rc.top;
      if (h < room) rc.top += (room - h) / 2;
      rc.bottom = rc.top + h;
    }
    s.control->SetPos(rc);
    x += s.size + s.after + gap;
  }
}

// ---------------------------------------------------------------------------------------------
// CLabelUI

void CLabelUI::SetTextColor(ARGB32 color) {
  text_color_ = color;
  Invalidate();
}

void CLabelUI::SetFont(int font_id) {
  font_ = font_id;
  NeedParentUpdate();
}

void CLabelUI::SetTextStyle(unsigned style) {
  text_style_ = style;
  Invalidate();
}

void CLabelUI::SetTextPadding(const RECT& padding) {
  text_padding_ = padding;
  NeedParentUpdate();
}

void CLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"textcolor") SetColorAttr(value, text_color_);
  else if (name == L"disabledtextcolor") SetColorAttr(value, disabled_text_color_);
  else if (name == L"font") SetFont(ParseInt(value, -1));
  else if (name == L"align") {
    text_style_ &= ~3u;
    if (EqualsNoCase(value, L"center")) text_style_ |= kAlignCenter;
    else if (EqualsNoCase(value, L"right")) text_style_ |= kAlignRight;
  } else if (name == L"valign") {
    text_style_ &= ~12u;
    if (EqualsNoCase(value, L"center")) text_style_ |= kVAlignCenter;
    else if (EqualsNoCase(value, L"bottom")) text_style_ |= kVAlignBottom;
  } else if (name == L"endellipsis") {
    text_style_ = ParseBool(value) ? (text_style_ | kEndEllipsis) : (text_style_ & ~kEndEllipsis);
  } else if (name == L"wordbreak" || name == L"multiline") {
    text_style_ = ParseBool(value) ? (text_style_ | kWordBreak) : (text_style_ & ~kWordBreak);
  } else if (name == L"textpadding") {
    RECT rc{};
    if (ParseRect(value, rc)) SetTextPadding(rc);
  } else if (name == L"autocalcwidth") {
    SetAutoCalcWidth(ParseBool(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

SIZE CLabelUI::EstimateSize(SIZE available) {
  SIZE size = CControlUI::EstimateSize(available);
  if (!auto_calc_width_ || !manager_ || fixed_width_ > 0) return size;
  Gdiplus::Font* font = manager_->GetFont(font_);
  if (!font) return size;
  HDC screen = GetDC(nullptr);
  Gdiplus::Graphics g(screen);
  Gdiplus::RectF bounds;
  const std::wstring text = GetText();
  g.MeasureString(text.c_str(), static_cast<INT>(text.size()), font, Gdiplus::PointF(0, 0), &bounds);
  ReleaseDC(nullptr, screen);
  const RECT pad = ScaleRect(text_padding_);
  size.cx = static_cast<LONG>(bounds.Width + 0.99f) + pad.left + pad.right;
  return size;
}

void CLabelUI::DrawText(Gdiplus::Graphics& g, const std::wstring& text, ARGB32 color, const RECT& rc) const {
  if (text.empty() || color == 0 || !manager_) return;
  Gdiplus::Font* font = manager_->GetFont(font_);
  if (!font) return;
  Gdiplus::StringFormat format;
  const unsigned h = text_style_ & 3u, v = text_style_ & 12u;
  format.SetAlignment(h == kAlignCenter ? Gdiplus::StringAlignmentCenter
                                        : h == kAlignRight ? Gdiplus::StringAlignmentFar : Gdiplus::StringAlignmentNear);
  format.SetLineAlignment(v == kVAlignCenter ? Gdiplus::StringAlignmentCenter
                                             : v == kVAlignBottom ? Gdiplus::StringAlignmentFar
                                                                  : Gdiplus::StringAlignmentNear);
  INT flags = Gdiplus::StringFormatFlagsNoClip;
  if (!(text_style_ & kWordBreak)) flags |= Gdiplus::StringFormatFlagsNoWrap;
  format.SetFormatFlags(flags);
  format.SetTrimming((text_style_ & kEndEllipsis) ? Gdiplus::StringTrimmingEllipsisCharacter
                                                  : Gdiplus::StringTrimmingNone);
  Gdiplus::SolidBrush brush(ToColor(color));
  const Gdiplus::RectF box = ToRectF(rc);
  auto width_of = [&](std::wstring_view s) {
    Gdiplus::RectF bounds;
    g.MeasureString(s.data(), static_cast<INT>(s.size()), font, Gdiplus::PointF(0, 0), &bounds);
    return bounds.Width;
  };
  if ((text_style_ & kEndEllipsis) && !(text_style_ & kWordBreak)) {
    // Shorten by hand: not every GDI+ honours the trimming of a single-line format.
    if (width_of(text) > box.Width) {
      size_t lo = 0, hi = text.size();
      while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (width_of(text.substr(0, mid) + L"\u2026") <= box.Width) lo = mid;
        else hi = mid - 1;
      }
      const std::wstring shortened = text.substr(0, lo) + L"\u2026";
      format.SetTrimming(Gdiplus::StringTrimmingNone);
      g.DrawString(shortened.c_str(), static_cast<INT>(shortened.size()), font, box, &format, &brush);
      return;
    }
  }
  if (text_style_ & kWordBreak) {
    // Broken into lines here: GDI+ (Wine's at least) would start a line with 。 or split a word.
    const std::vector<std::wstring> lines = BreakLines(text, box.Width, width_of);
    const float line_height = font->GetHeight(&g);
    const float height = line_height * static_cast<float>(lines.size());
    float y = box.Y;
    if (v == kVAlignCenter) y += (box.Height - height) / 2;
    else if (v == kVAlignBottom) y += box.Height - height;
    format.SetFormatFlags(flags | Gdiplus::StringFormatFlagsNoWrap);
    format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    for (const std::wstring& line : lines) {
      const Gdiplus::RectF row(box.X, y, box.Width, line_height);
      g.DrawString(line.c_str(), static_cast<INT>(line.size()), font, row, &format, &brush);
      y += line_height;
    }
    return;
  }
  g.DrawString(text.c_str(), static_cast<INT>(text.size()), font, box, &format, &brush);
}

void CLabelUI::PaintText(Gdiplus::Graphics& g) {
  const ARGB32 color = (!enabled_ && disabled_text_color_) ? disabled_text_color_ : text_color_;
  DrawText(g, GetText(), color, Deflated(pos_, ScaleRect(text_padding_)));
}

// ---------------------------------------------------------------------------------------------
// CButtonUI

CButtonUI::CButtonUI() { text_style_ = kAlignCenter | kVAlignCenter; }

void CButtonUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"normalimage") normal_image_ = value;
  else if (name == L"hotimage") hot_image_ = value;
  else if (name == L"pushedimage") pushed_image_ = value;
  else if (name == L"disabledimage") disabled_image_ = value;
  else if (name == L"hotbkcolor") SetColorAttr(value, hot_bk_color_);
  else if (name == L"pushedbkcolor") SetColorAttr(value, pushed_bk_color_);
  else if (name == L"disabledbkcolor") SetColorAttr(value, disabled_bk_color_);
  else if (name == L"hottextcolor") SetColorAttr(value, hot_text_color_);
  else if (name == L"pushedtextcolor") SetColorAttr(value, pushed_text_color_);
  else CLabelUI::SetAttribute(name, value);
}

void CButtonUI::SetEnabled(bool enabled) {
  if (!enabled) hot_ = pushed_ = captured_ = false;
  CLabelUI::SetEnabled(enabled);
}

void CButtonUI::DoEvent(TEventUI& event) {
  switch (event.type) {
    case UIEventType::kMouseEnter:
      hot_ = true;
      Invalidate();
      break;
    case UIEventType::kMouseLeave:
      hot_ = false;
      Invalidate();
      break;
    case UIEventType::kButtonDown:
    case UIEventType::kDoubleClick:
      if (!enabled_) break;
      pushed_ = captured_ = true;
      if (manager_) manager_->SetCapture(this);
      Invalidate();
      break;
    case UIEventType::kMouseMove:
      if (captured_) {
        const bool inside = PtInRect(&pos_, event.pt) != FALSE;
        if (inside != pushed_) {
          pushed_ = inside;
          Invalidate();
        }
      }
      break;
    case UIEventType::kButtonUp:
      if (captured_) {
        const bool fire = pushed_ && enabled_ && PtInRect(&pos_, event.pt);
        captured_ = pushed_ = false;
        if (manager_) manager_->ReleaseCapture();
        Invalidate();
        if (fire) Activate();
      }
      break;
    case UIEventType::kKeyDown:
      if ((event.wParam == VK_RETURN || event.wParam == VK_SPACE) && enabled_) Activate();
      break;
    default:
      break;
  }
}

void CButtonUI::Activate() {
  if (!enabled_ || !visible_ || !manager_) return;
  manager_->SendNotify(this, L"click");
}

ARGB32 CButtonUI::StateBkColor() const {
  if (!enabled_) return disabled_bk_color_ ? disabled_bk_color_ : bk_color_;
  if (pushed_ && pushed_bk_color_) return pushed_bk_color_;
  if ((hot_ || pushed_) && hot_bk_color_) return hot_bk_color_;
  return bk_color_;
}

ARGB32 CButtonUI::StateTextColor() const {
  if (!enabled_) return disabled_text_color_ ? disabled_text_color_ : text_color_;
  if (pushed_ && pushed_text_color_) return pushed_text_color_;
  if ((hot_ || pushed_) && hot_text_color_) return hot_text_color_;
  return text_color_;
}

const std::wstring& CButtonUI::StateImage() const {
  if (!enabled_ && !disabled_image_.empty()) return disabled_image_;
  if (pushed_ && !pushed_image_.empty()) return pushed_image_;
  if ((hot_ || pushed_) && !hot_image_.empty()) return hot_image_;
  return normal_image_;
}

void CButtonUI::PaintBkColor(Gdiplus::Graphics& g) { FillRoundRect(g, pos_, StateBkColor(), Scale(border_round_)); }

void CButtonUI::PaintStatusImage(Gdiplus::Graphics& g) {
  const std::wstring& image = StateImage();
  if (!image.empty() && manager_) manager_->DrawImage(g, image, pos_);
}

void CButtonUI::PaintText(Gdiplus::Graphics& g) {
  RECT rc = pos_;
  const RECT pad = ScaleRect(text_padding_);
  rc.left += pad.left;
  rc.top += pad.top;
  rc.right -= pad.right;
  rc.bottom -= pad.bottom;
  DrawText(g, GetText(), StateTextColor(), rc);
}

// ---------------------------------------------------------------------------------------------
// CCheckBoxUI

void CCheckBoxUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"checked" || name == L"selected") SetCheck(ParseBool(value));
  else if (name == L"selectedimage") selected_image_ = value;
  else CButtonUI::SetAttribute(name, value);
}

void CCheckBoxUI::SetCheck(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Invalidate();
}

void CCheckBoxUI::Activate() {
  if (!enabled_ || !visible_ || !manager_) return;
  SetCheck(!checked_);
  manager_->SendNotify(this, L"checkclick", checked_ ? 1 : 0);
  CButtonUI::Activate();
}

void CCheckBoxUI::PaintStatusImage(Gdiplus::Graphics& g) {
  if (checked_ && !selected_image_.empty() && manager_) {
    manager_->DrawImage(g, selected_image_, pos_);
    return;
  }
  CButtonUI::PaintStatusImage(g);
}

// ---------------------------------------------------------------------------------------------
// CImageControlUI

void CImageControlUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"image" || name == L"normalimage") SetImage(value);
  else CControlUI::SetAttribute(name, value);
}

void CImageControlUI::PaintStatusImage(Gdiplus::Graphics& g) {
  if (!image_.empty() && manager_) manager_->DrawImage(g, image_, pos_);
}

// ---------------------------------------------------------------------------------------------
// CProgressUI

void CProgressUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"min") SetMinValue(ParseInt(value));
  else if (name == L"max") SetMaxValue(ParseInt(value));
  else if (name == L"value") SetValue(ParseInt(value));
  else if (name == L"forecolor") SetColorAttr(value, fore_color_);
  else if (name == L"hor") SetHorizontal(ParseBool(value));
  else CLabelUI::SetAttribute(name, value);
}

void CProgressUI::SetValue(int v) {
  if (value_ == v) return;
  value_ = v;
  Invalidate();
}

std::wstring CProgressUI::GetAccessibleValue() const {
  const long long range = max_ > min_ ? static_cast<long long>(max_) - min_ : 1;
  long long v = std::clamp<long long>(value_, min_, static_cast<long long>(min_) + range) - min_;
  return std::to_wstring(v * 100 / range) + L"%";
}

void CProgressUI::PaintStatusImage(Gdiplus::Graphics& g) {
  if (fore_color_ == 0) return;
  const long long range = max_ > min_ ? static_cast<long long>(max_) - min_ : 1;
  const long long v = std::clamp<long long>(value_, min_, static_cast<long long>(min_) + range) - min_;
  RECT rc = pos_;
  if (horizontal_) rc.right = static_cast<LONG>(rc.left + (static_cast<long long>(rc.right) - rc.left) * v / range);
  else rc.top = static_cast<LONG>(rc.bottom - (static_cast<long long>(rc.bottom) - rc.top) * v / range);
  if (rc.right <= rc.left || rc.bottom <= rc.top) return;
  FillRoundRect(g, rc, fore_color_, 0);
}

}  // namespace tzui
