#pragma once
// The control tree of a skinned window. Controls are windowless: the paint manager lays them out,
// paints them into the window's surface and routes mouse and keyboard events to them. Sizes given
// to controls (fixed width/height, padding, insets, radii) are in 96-DPI units; rectangles read
// back (GetPos) are device pixels in client coordinates.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <richedit.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/ui_types.h"

namespace tzui {

// r less the margins of by, never turned inside out (an over-large margin leaves an empty rectangle).
inline RECT Deflated(RECT r, const RECT& by) {
  r.left += by.left;
  r.top += by.top;
  r.right -= by.right;
  r.bottom -= by.bottom;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

class CPaintManagerUI;
class CContainerUI;

// What the paint manager delivers to a control.
enum class UIEventType {
  kMouseEnter, kMouseLeave, kMouseMove, kButtonDown, kButtonUp, kDoubleClick, kScrollWheel,
  kSetFocus, kKillFocus, kKeyDown, kSetCursor,
};

struct TEventUI {
  UIEventType type = UIEventType::kMouseMove;
  POINT pt{};          // client coordinates, device pixels
  WPARAM wParam = 0;   // virtual key for kKeyDown, wheel delta for kScrollWheel
  LPARAM lParam = 0;
};

// Role of a control for screen readers (IAccessible roles).
enum class AccessibleRole { kNone, kStaticText, kPushButton, kCheckButton, kProgressBar, kText, kGraphic, kGrouping };

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // Type name as written in descriptions ("Control", "Label", ...).
  virtual std::wstring_view GetClass() const { return L"Control"; }
  virtual CContainerUI* AsContainer() { return nullptr; }

  const std::wstring& GetName() const { return name_; }
  void SetName(std::wstring_view name) { name_ = name; }

  // Text as shown. With resourcetext="true" the text and tooltip set from a description (or by
  // SetText/SetToolTip later) are string-table ids; an id missing from the table shows as itself.
  virtual std::wstring GetText() const;
  virtual void SetText(std::wstring_view text);
  std::wstring GetToolTip() const;
  void SetToolTip(std::wstring_view text);
  void SetResourceText(bool on) { resource_text_ = on; }

  bool IsVisible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  // Whether Tab stops on it and Enter/Space press it.
  virtual bool IsKeyboardFocusable() const { return false; }
  bool IsFocused() const;
  void SetFocus();

  int GetFixedWidth() const { return fixed_width_; }
  void SetFixedWidth(int width);
  int GetFixedHeight() const { return fixed_height_; }
  void SetFixedHeight(int height);
  // Outer margin against the neighbours in the parent layout (l, t, r, b).
  const RECT& GetPadding() const { return padding_; }
  void SetPadding(const RECT& padding);

  ARGB32 GetBkColor() const { return bk_color_; }
  void SetBkColor(ARGB32 color);
  void SetBorderColor(ARGB32 color);
  void SetBorderSize(int size);
  void SetBkImage(std::wstring_view image);
  // Corner radius of background and border (0: square).
  void SetBorderRound(int radius);
  void SetMouseEnabled(bool on) { mouse_enabled_ = on; }
  bool IsMouseEnabled() const { return mouse_enabled_; }
  // Cursor over the control: IDC_ARROW by default, IDC_HAND for SetHandCursor.
  void SetCursor(LPCWSTR cursor) { cursor_ = cursor; }
  LPCWSTR GetCursor() const { return cursor_; }

  // Device-pixel rectangle in client coordinates, set by the parent's layout.
  const RECT& GetPos() const { return pos_; }
  virtual void SetPos(const RECT& pos);
  // Natural size in device pixels for layouts that ask; 0 means "whatever the layout gives".
  virtual SIZE EstimateSize(SIZE available);

  CPaintManagerUI* GetManager() const { return manager_; }
  CContainerUI* GetParent() const { return parent_; }
  virtual void SetManager(CPaintManagerUI* manager, CContainerUI* parent);

  // Description attributes; unknown names are ignored.
  virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
  // "name=\"value\" name2=\"value2\"" as used by Default elements.
  void ApplyAttributeList(std::wstring_view list);

  // Painting, called by the paint manager on the window's surface in this order.
  virtual void DoPaint(Gdiplus::Graphics& g, const RECT& dirty);
  virtual void PaintBkColor(Gdiplus::Graphics& g);
  virtual void PaintBkImage(Gdiplus::Graphics& g);
  virtual void PaintStatusImage(Gdiplus::Graphics& g);
  virtual void PaintText(Gdiplus::Graphics& g);
  virtual void PaintBorder(Gdiplus::Graphics& g);
  virtual void PaintFocus(Gdiplus::Graphics& g);

  virtual void DoEvent(TEventUI& event);
  // The topmost visible control at `pt` (device pixels), this one or a child; nullptr when outside.
  virtual CControlUI* FindControlAt(POINT pt);
  // Presses the control as a click would (Enter/Space, accessibility default action).
  virtual void Activate() {}

  void Invalidate();
  // Asks the parent layout to lay out again (size or visibility changed).
  void NeedParentUpdate();

  // Accessibility.
  virtual AccessibleRole GetAccessibleRole() const { return AccessibleRole::kNone; }
  virtual std::wstring GetAccessibleName() const;
  virtual std::wstring GetAccessibleValue() const { return {}; }
  virtual bool IsChecked() const { return false; }

  // For subclasses and the paint manager: scaled value of a 96-DPI size.
  int Scale(int v) const;
  RECT ScaleRect(const RECT& r) const;

 protected:
  // Text for display after string-table lookup.
  std::wstring ResolveText(const std::wstring& raw) const;
  // The padded content rectangle used for text.
  void FillRoundRect(Gdiplus::Graphics& g, const RECT& rc, ARGB32 color, int radius_px) const;

  CPaintManagerUI* manager_ = nullptr;
  CContainerUI* parent_ = nullptr;
  std::wstring name_;
  std::wstring text_;
  std::wstring tooltip_;
  bool resource_text_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  bool mouse_enabled_ = true;
  int fixed_width_ = 0;
  int fixed_height_ = 0;
  RECT padding_{};
  RECT pos_{};
  ARGB32 bk_color_ = 0;
  ARGB32 border_color_ = 0;
  int border_size_ = 0;
  int border_round_ = 0;
  std::wstring bk_image_;
  LPCWSTR cursor_ = IDC_ARROW;
};

// A control that owns and lays out children. The base container stacks children on top of each
// other over its whole rectangle (less insets).
class CContainerUI : public CControlUI {
 public:
  std::wstring_view GetClass() const override { return L"Container"; }
  CContainerUI* AsContainer() override { return this; }

  // Takes ownership. False (and the control deleted) when `index` is out of range.
  bool Add(CControlUI* control);
  bool AddAt(CControlUI* control, int index);
  bool Remove(CControlUI* control);  // deletes it
  void RemoveAll();
  int GetCount() const { return static_cast<int>(items_.size()); }
  CControlUI* GetItemAt(int index) const;

  void SetInset(const RECT& inset);
  const RECT& GetInset() const { return inset_; }
  void SetChildPadding(int padding) { child_padding_ = padding; }

  void SetPos(const RECT& pos) override;
  void SetManager(CPaintManagerUI* manager, CContainerUI* parent) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoPaint(Gdiplus::Graphics& g, const RECT& dirty) override;
  CControlUI* FindControlAt(POINT pt) override;
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kNone; }

  // Depth-first search by name, ignoring case; this container included.
  CControlUI* FindByName(std::wstring_view name);
  // Every control of the subtree in tree order (this one first).
  void CollectControls(std::vector<CControlUI*>& out);

 protected:
  // The content rectangle: position less insets (device pixels).
  RECT ContentRect() const;
  std::vector<std::unique_ptr<CControlUI>> items_;
  RECT inset_{};
  int child_padding_ = 0;
};

// Children top to bottom: fixed heights first, the rest shared by children without one.
class CVerticalLayoutUI : public CContainerUI {
 public:
  std::wstring_view GetClass() const override { return L"VerticalLayout"; }
  void SetPos(const RECT& pos) override;
};

// Children left to right, likewise with widths.
class CHorizontalLayoutUI : public CContainerUI {
 public:
  std::wstring_view GetClass() const override { return L"HorizontalLayout"; }
  void SetPos(const RECT& pos) override;
};

class CLabelUI : public CControlUI {
 public:
  std::wstring_view GetClass() const override { return L"Label"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintText(Gdiplus::Graphics& g) override;
  SIZE EstimateSize(SIZE available) override;
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kStaticText; }

  void SetTextColor(ARGB32 color);
  ARGB32 GetTextColor() const { return text_color_; }
  void SetDisabledTextColor(ARGB32 color) { disabled_text_color_ = color; }
  // Font id of the window's font table; -1 is the default font.
  void SetFont(int font_id);
  int GetFont() const { return font_; }
  void SetTextStyle(unsigned style);
  unsigned GetTextStyle() const { return text_style_; }
  void SetTextPadding(const RECT& padding);
  // Width follows the text (96-DPI units, text padding included).
  void SetAutoCalcWidth(bool on) { auto_calc_width_ = on; }

 protected:
  void DrawText(Gdiplus::Graphics& g, const std::wstring& text, ARGB32 color, const RECT& rc) const;
  ARGB32 text_color_ = 0xFF000000;
  ARGB32 disabled_text_color_ = 0;
  int font_ = -1;
  unsigned text_style_ = kAlignLeft | kVAlignCenter;
  RECT text_padding_{};
  bool auto_calc_width_ = false;
};

// A label that can be hovered, pressed and clicked ("click" notification), with state images and
// colours, and that takes keyboard focus.
class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  std::wstring_view GetClass() const override { return L"Button"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void DoEvent(TEventUI& event) override;
  void PaintBkColor(Gdiplus::Graphics& g) override;
  void PaintStatusImage(Gdiplus::Graphics& g) override;
  void PaintText(Gdiplus::Graphics& g) override;
  bool IsKeyboardFocusable() const override { return IsVisible() && IsEnabled(); }
  void Activate() override;
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kPushButton; }
  void SetEnabled(bool enabled) override;

  void SetNormalImage(std::wstring_view image) { normal_image_ = image; Invalidate(); }
  void SetHotImage(std::wstring_view image) { hot_image_ = image; Invalidate(); }
  void SetPushedImage(std::wstring_view image) { pushed_image_ = image; Invalidate(); }
  void SetDisabledImage(std::wstring_view image) { disabled_image_ = image; Invalidate(); }
  void SetHotBkColor(ARGB32 color) { hot_bk_color_ = color; Invalidate(); }
  void SetPushedBkColor(ARGB32 color) { pushed_bk_color_ = color; Invalidate(); }
  void SetDisabledBkColor(ARGB32 color) { disabled_bk_color_ = color; Invalidate(); }
  void SetHotTextColor(ARGB32 color) { hot_text_color_ = color; Invalidate(); }
  void SetPushedTextColor(ARGB32 color) { pushed_text_color_ = color; Invalidate(); }
  bool IsHot() const { return hot_; }
  bool IsPushed() const { return pushed_; }

 protected:
  // Background colour of the current state (0: none).
  ARGB32 StateBkColor() const;
  ARGB32 StateTextColor() const;
  const std::wstring& StateImage() const;
  bool hot_ = false;
  bool pushed_ = false;
  bool captured_ = false;
  std::wstring normal_image_, hot_image_, pushed_image_, disabled_image_;
  ARGB32 hot_bk_color_ = 0, pushed_bk_color_ = 0, disabled_bk_color_ = 0;
  ARGB32 hot_text_color_ = 0, pushed_text_color_ = 0;
};

// A button with a check state: a click toggles it, sends "checkclick" (wParam = new state), then
// "click". `selectedimage` replaces the images while checked.
class CCheckBoxUI : public CButtonUI {
 public:
  std::wstring_view GetClass() const override { return L"CheckBox"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void Activate() override;
  void PaintStatusImage(Gdiplus::Graphics& g) override;
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kCheckButton; }
  bool IsChecked() const override { return checked_; }
  virtual void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }

 protected:
  bool checked_ = false;
  std::wstring selected_image_;
};

// An image, stretched to the control (or drawn at its natural size with `imagesize`).
class CImageControlUI : public CControlUI {
 public:
  std::wstring_view GetClass() const override { return L"ImageControl"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintStatusImage(Gdiplus::Graphics& g) override;
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kGraphic; }
  void SetImage(std::wstring_view image) { image_ = image; Invalidate(); }

 private:
  std::wstring image_;
};

// Range, value and colours of a progress bar; horizontal unless told otherwise.
class CProgressUI : public CLabelUI {
 public:
  std::wstring_view GetClass() const override { return L"Progress"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintStatusImage(Gdiplus::Graphics& g) override;
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kProgressBar; }
  std::wstring GetAccessibleValue() const override;

  int GetMinValue() const { return min_; }
  int GetMaxValue() const { return max_; }
  void SetMinValue(int v) { min_ = v; Invalidate(); }
  void SetMaxValue(int v) { max_ = v; Invalidate(); }
  int GetValue() const { return value_; }
  void SetValue(int v);
  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool on) { horizontal_ = on; Invalidate(); }
  ARGB32 GetForeColor() const { return fore_color_; }
  void SetForeColor(ARGB32 color) { fore_color_ = color; Invalidate(); }

 protected:
  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
  ARGB32 fore_color_ = 0;
};

// Rich text drawn by the toolkit itself: paragraphs of runs with their own size and colour,
// word-wrapped to the control, with a skinned vertical scroll bar (style from the window's
// "VScrollBar" default: width, bkimage, thumbimage). Positions count characters as a RichEdit
// does: a line break ("\r\n", "\r" or "\n") is one character.
class CRichEditUI : public CControlUI {
 public:
  CRichEditUI();
  ~CRichEditUI() override;
  std::wstring_view GetClass() const override { return L"RichEdit"; }
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void SetPos(const RECT& pos) override;
  void PaintText(Gdiplus::Graphics& g) override;
  void DoEvent(TEventUI& event) override;
  bool IsKeyboardFocusable() const override { return IsVisible() && vscroll_; }
  AccessibleRole GetAccessibleRole() const override { return AccessibleRole::kText; }
  std::wstring GetText() const override;
  void SetText(std::wstring_view text) override;
  std::wstring GetAccessibleValue() const override { return GetText(); }

  // Appends at the end in the default format; nothing is kept for undo either way.
  void AppendText(std::wstring_view text, bool can_undo = false);
  // Selection by character positions; an end of -1 (or past the text) is the end of the text.
  void SetSel(long start, long end);
  // Size (CFM_SIZE, yHeight in twips), colour (CFM_COLOR) and weight (CFM_BOLD) of the selection.
  bool SetSelectionCharFormat(const CHARFORMAT2W& format);
  long GetTextLength() const { return static_cast<long>(text_.size()); }
  void SetTextColor(ARGB32 color);
  void SetFont(int font_id);
  void SetReadOnly(bool on) { read_only_ = on; }
  bool IsReadOnly() const { return read_only_; }
  // Scroll position in device pixels from the top of the document.
  int GetScrollPos() const { return scroll_; }
  void SetScrollPos(int pos);
  int GetScrollRange() const;

 private:
  struct CharFormat {
    LONG twips = 0;       // 0: the control's font size
    COLORREF color = 0;
    bool has_color = false;
    bool bold = false;
    bool operator==(const CharFormat&) const = default;
  };
  struct Segment {
    size_t start, length;
    CharFormat format;
    int x;
  };
  struct Line {
    int top, height, ascent;
    std::vector<Segment> segments;
  };
  HFONT FontFor(const CharFormat& format);
  void LayoutDocument(int width);
  RECT TextRect() const;
  RECT ScrollTrackRect() const;
  RECT ThumbRect() const;
  void ReadScrollStyle();

  std::wstring text_;
  std::vector<CharFormat> formats_;
  long sel_start_ = 0, sel_end_ = 0;
  ARGB32 text_color_ = 0xFF000000;
  int font_ = -1;
  bool read_only_ = false;
  bool vscroll_ = false;
  int scroll_ = 0;
  RECT inset_{};
  // Layout cache, device pixels.
  std::vector<Line> lines_;
  int layout_width_ = -1;
  UINT layout_dpi_ = 0;
  int doc_height_ = 0;
  struct FontKey {
    LONG px;
    bool bold;
    bool operator<(const FontKey& o) const { return px != o.px ? px < o.px : bold < o.bold; }
  };
  std::vector<std::pair<FontKey, HFONT>> fonts_;
  int scrollbar_width_ = 8;
  std::wstring scroll_bk_image_, scroll_thumb_image_;
  bool dragging_ = false;
  int drag_offset_ = 0;
};

}  // namespace tzui
