#include <algorithm>
#include <cwctype>

#include "toolkit/controls.h"
#include "toolkit/paint_manager.h"
#include "toolkit/render.h"

namespace tzui {

namespace {

// Where a line may break: after a blank, and around ideographs (Chinese text has no blanks).
bool IsWide(wchar_t c) { return c >= 0x2E80; }

COLORREF ToColorRef(ARGB32 argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

}  // namespace

CRichEditUI::CRichEditUI() = default;

CRichEditUI::~CRichEditUI() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
}

void CRichEditUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"textcolor") {
    ARGB32 color = 0;
    if (ParseColor(value, color)) SetTextColor(color);
  } else if (name == L"font") {
    SetFont(ParseInt(value, -1));
  } else if (name == L"readonly") {
    SetReadOnly(ParseBool(value));
  } else if (name == L"vscrollbar") {
    vscroll_ = ParseBool(value);
  } else if (name == L"inset") {
    RECT rc{};
    if (ParseRect(value, rc)) inset_ = rc;
    layout_width_ = -1;
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CRichEditUI::SetTextColor(ARGB32 color) {
  text_color_ = color;
  Invalidate();
}

void CRichEditUI::SetFont(int font_id) {
  font_ = font_id;
  layout_width_ = -1;
  Invalidate();
}

std::wstring CRichEditUI::GetText() const { return text_; }

void CRichEditUI::SetText(std::wstring_view text) {
  text_.clear();
  formats_.clear();
  scroll_ = 0;
  AppendText(text);
}

void CRichEditUI::AppendText(std::wstring_view text, bool) {
  text_.reserve(text_.size() + text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    if (c == L'\n') c = L'\r';
    text_.push_back(c);
    formats_.push_back(CharFormat{});
  }
  layout_width_ = -1;
  Invalidate();
}

void CRichEditUI::SetSel(long start, long end) {
  const long length = GetTextLength();
  if (end < 0 || end > length) end = length;
  start = std::clamp(start, 0L, length);
  if (start > end) std::swap(start, end);
  sel_start_ = start;
  sel_end_ = end;
}

bool CRichEditUI::SetSelectionCharFormat(const CHARFORMAT2W& format) {
  if (format.cbSize != sizeof(CHARFORMAT2W) && format.cbSize != sizeof(CHARFORMATW)) return false;
  for (long i = sel_start_; i < sel_end_ && static_cast<size_t>(i) < formats_.size(); ++i) {
    CharFormat& f = formats_[static_cast<size_t>(i)];
    if (format.dwMask & CFM_SIZE) f.twips = std::max<LONG>(1, format.yHeight);
    if (format.dwMask & CFM_COLOR) {
      f.color = format.crTextColor;
      f.has_color = !(format.dwEffects & CFE_AUTOCOLOR);
    }
    if (format.dwMask & CFM_BOLD) f.bold = (format.dwEffects & CFE_BOLD) != 0;
  }
  layout_width_ = -1;
  Invalidate();
  return true;
}

HFONT CRichEditUI::FontFor(const CharFormat& format) {
  const FontInfo* info = manager_ ? manager_->GetFontInfo(font_) : nullptr;
  const UINT dpi = manager_ ? manager_->GetDPI() : 96;
  // Twips are 1/1440 inch; the control's own size is in 96-DPI pixels.
  const LONG px = format.twips > 0 ? MulDiv(format.twips, static_cast<int>(dpi), 1440)
                                   : MulDiv(info ? info->size : 12, static_cast<int>(dpi), 96);
  const FontKey key{std::max<LONG>(1, px), format.bold || (info && info->bold)};
  for (auto& [k, font] : fonts_)
    if (!(k < key) && !(key < k)) return font;
  LOGFONTW lf{};
  lf.lfHeight = -key.px;
  lf.lfWeight = key.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = ANTIALIASED_QUALITY;
  lstrcpynW(lf.lfFaceName, info && !info->face.empty() ? info->face.c_str() : L"Microsoft Yahei", LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&lf);
  if (font) fonts_.emplace_back(key, font);
  return font;
}

RECT CRichEditUI::TextRect() const {
  RECT by = ScaleRect(inset_);
  if (vscroll_) by.right += Scale(scrollbar_width_) + Scale(4);
  return Deflated(pos_, by);
}

void CRichEditUI::LayoutDocument(int width) {
  const UINT dpi = manager_ ? manager_->GetDPI() : 96;
  if (width == layout_width_ && dpi == layout_dpi_) return;
  if (dpi != layout_dpi_) {
    for (auto& [key, font] : fonts_) DeleteObject(font);
    fonts_.clear();
  }
  layout_width_ = width;
  layout_dpi_ = dpi;
  lines_.clear();
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  const HGDIOBJ old_font = GetCurrentObject(dc, OBJ_FONT);
  auto measure = [&](size_t start, size_t length, const CharFormat& f) {
    SelectObject(dc, FontFor(f));
    SIZE size{};
    GetTextExtentPoint32W(dc, text_.data() + start, static_cast<int>(length), &size);
    return static_cast<int>(size.cx);
  };
  auto metrics = [&](const CharFormat& f, int& height, int& ascent) {
    SelectObject(dc, FontFor(f));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    height = tm.tmHeight + tm.tmExternalLeading;
    ascent = tm.tmAscent;
  };
  int y = 0;
  size_t i = 0;
  const size_t n = text_.size();
  Line line{0, 0, 0, {}};
  int x = 0;
  auto finish_line = [&](const CharFormat& fallback) {
    if (line.segments.empty()) metrics(fallback, line.height, line.ascent);
    line.top = y;
    y += line.height;
    lines_.push_back(std::move(line));
    line = Line{0, 0, 0, {}};
    x = 0;
  };
  auto add_piece = [&](size_t start, size_t length, int piece_width) {
    const CharFormat& f = formats_[start];
    int h = 0, a = 0;
    metrics(f, h, a);
    line.height = std::max(line.height, h);
    line.ascent = std::max(line.ascent, a);
    if (!line.segments.empty()) {
      Segment& last = line.segments.back();
      if (last.format == f && last.start + last.length == start) {
        last.length += length;
        x += piece_width;
        return;
      }
    }
    line.segments.push_back(Segment{start, length, f, x});
    x += piece_width;
  };
  while (i < n) {
    if (text_[i] == L'\r') {
      finish_line(formats_[i]);
      ++i;
      continue;
    }
    // The next piece: one ideograph, or a word with its trailing blanks, in one format.
    size_t end = i + 1;
    if (!IsWide(text_[i])) {
      while (end < n && text_[end] != L'\r' && !IsWide(text_[end]) && !std::iswspace(text_[end - 1]) &&
             formats_[end] == formats_[i])
        ++end;
      while (end < n && text_[end] == L' ' && formats_[end] == formats_[i]) ++end;
    }
    int piece = measure(i, end - i, formats_[i]);
    if (x + piece > width && x > 0) finish_line(formats_[i]);
    if (piece > width && end - i > 1) {
      // A word wider than the line goes character by character.
      end = i + 1;
      piece = measure(i, 1, formats_[i]);
    }
    add_piece(i, end - i, piece);
    i = end;
  }
  if (!line.segments.empty() || n == 0 || text_.back() == L'\r') finish_line(n ? formats_.back() : CharFormat{});
  doc_height_ = y;
  SelectObject(dc, old_font);
  DeleteDC(dc);
}

void CRichEditUI::SetPos(const RECT& pos) {
  CControlUI::SetPos(pos);
  SetScrollPos(scroll_);
}

int CRichEditUI::GetScrollRange() const {
  const RECT rc = TextRect();
  return std::max(0, doc_height_ - static_cast<int>(rc.bottom - rc.top));
}

void CRichEditUI::SetScrollPos(int pos) {
  const int clamped = std::clamp(pos, 0, GetScrollRange());
  if (clamped == scroll_) return;
  scroll_ = clamped;
  Invalidate();
}

void CRichEditUI::ReadScrollStyle() {
  scroll_bk_image_.clear();
  scroll_thumb_image_.clear();
  scrollbar_width_ = 8;
  const std::wstring* style = manager_ ? manager_->GetDefaultAttributeList(L"VScrollBar") : nullptr;
  if (!style) return;
  // The same name="value" list as any Default element.
  std::wstring_view list = *style;
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && std::iswspace(list[i])) ++i;
    const size_t eq = list.find(L"=\"", i);
    if (eq == std::wstring_view::npos) break;
    const size_t close = list.find(L'"', eq + 2);
    if (close == std::wstring_view::npos) break;
    const std::wstring_view name = list.substr(i, eq - i), value = list.substr(eq + 2, close - eq - 2);
    if (name == L"width") scrollbar_width_ = std::max(1, ParseInt(value, 8));
    else if (name == L"bkimage") scroll_bk_image_ = value;
    else if (name == L"thumbimage") scroll_thumb_image_ = value;
    i = close + 1;
  }
}

RECT CRichEditUI::ScrollTrackRect() const {
  const RECT inset = ScaleRect(inset_);
  return RECT{pos_.right - Scale(scrollbar_width_) - Scale(4), pos_.top + inset.top, pos_.right - Scale(4),
              pos_.bottom - std::max<LONG>(inset.bottom, Scale(8))};
}

RECT CRichEditUI::ThumbRect() const {
  RECT track = ScrollTrackRect();
  const int track_h = track.bottom - track.top;
  const RECT text = TextRect();
  const int view = text.bottom - text.top;
  if (doc_height_ <= view || track_h <= 0) return RECT{};
  const int thumb_h = std::max(Scale(24), static_cast<int>(static_cast<long long>(track_h) * view / doc_height_));
  const int range = GetScrollRange();
  const int top = track.top + static_cast<int>(static_cast<long long>(track_h - thumb_h) * scroll_ / std::max(1, range));
  return RECT{track.left, top, track.right, top + thumb_h};
}

void CRichEditUI::PaintText(Gdiplus::Graphics& g) {
  if (!manager_) return;
  ReadScrollStyle();
  const RECT text_rc = TextRect();
  LayoutDocument(text_rc.right - text_rc.left);
  SetScrollPos(scroll_);
  const int w = pos_.right - pos_.left, h = pos_.bottom - pos_.top;
  if (w <= 0 || h <= 0) return;
  // GDI draws the glyphs onto an opaque copy of the background, which then gets full alpha: the
  // layered surface keeps exact GDI metrics and no holes where the text is.
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) {
    DeleteDC(dc);
    return;
  }
  const HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  const HGDIOBJ old_font = GetCurrentObject(dc, OBJ_FONT);
  const ARGB32 bk = bk_color_ ? bk_color_ : 0xFFFFFFFF;
  HBRUSH brush = CreateSolidBrush(ToColorRef(bk));
  RECT all{0, 0, w, h};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  SetBkMode(dc, TRANSPARENT);
  const int ox = text_rc.left - pos_.left, oy = text_rc.top - pos_.top;
  const int view_h = text_rc.bottom - text_rc.top;
  HRGN clip = CreateRectRgn(ox, oy, ox + (text_rc.right - text_rc.left), oy + view_h);
  SelectClipRgn(dc, clip);
  DeleteObject(clip);
  for (const Line& line : lines_) {
    const int top = line.top - scroll_;
    if (top + line.height < 0) continue;
    if (top > view_h) break;
    for (const Segment& s : line.segments) {
      SelectObject(dc, FontFor(s.format));
      TEXTMETRICW tm{};
      GetTextMetricsW(dc, &tm);
      ::SetTextColor(dc, s.format.has_color ? s.format.color : ToColorRef(text_color_));
      TextOutW(dc, ox + s.x, oy + top + line.ascent - tm.tmAscent, text_.data() + s.start, static_cast<int>(s.length));
    }
  }
  SelectClipRgn(dc, nullptr);
  GdiFlush();
  auto* px = static_cast<std::uint32_t*>(bits);
  for (int i = 0; i < w * h; ++i) px[i] |= 0xFF000000u;
  {
    Gdiplus::Bitmap layer(w, h, w * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
    const auto state = g.Save();
    if (border_round_ > 0) {
      Gdiplus::GraphicsPath path;
      const int r = Scale(border_round_);
      AddRoundRect(path, pos_, r, r, r, r);
      g.SetClip(&path, Gdiplus::CombineModeIntersect);
    }
    g.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    g.DrawImage(&layer, pos_.left, pos_.top, w, h);
    g.Restore(state);
  }
  SelectObject(dc, old_font);
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  if (vscroll_ && GetScrollRange() > 0) {
    const RECT track = ScrollTrackRect();
    if (scroll_bk_image_.empty() || !manager_->DrawImage(g, scroll_bk_image_, track))
      tzui::FillRoundRect(g, track, Scale(scrollbar_width_) / 2, 0x30FFFFFF);
    const RECT thumb = ThumbRect();
    if (scroll_thumb_image_.empty() || !manager_->DrawImage(g, scroll_thumb_image_, thumb))
      tzui::FillRoundRect(g, thumb, Scale(scrollbar_width_) / 2, 0x80FFFFFF);
  }
}

void CRichEditUI::DoEvent(TEventUI& event) {
  const RECT text = TextRect();
  const int line = Scale(20);
  const int page = std::max(line, static_cast<int>(text.bottom - text.top) - line);
  switch (event.type) {
    case UIEventType::kScrollWheel: {
      const int delta = GET_WHEEL_DELTA_WPARAM(event.wParam);
      SetScrollPos(scroll_ - delta * 3 * line / WHEEL_DELTA);
      break;
    }
    case UIEventType::kButtonDown: {
      if (!vscroll_) break;
      const RECT thumb = ThumbRect();
      const RECT track = ScrollTrackRect();
      if (PtInRect(&thumb, event.pt)) {
        dragging_ = true;
        drag_offset_ = event.pt.y - thumb.top;
        if (manager_) manager_->SetCapture(this);
      } else if (PtInRect(&track, event.pt)) {
        SetScrollPos(scroll_ + (event.pt.y < thumb.top ? -page : page));
      }
      break;
    }
    case UIEventType::kMouseMove:
      if (dragging_) {
        const RECT track = ScrollTrackRect();
        const RECT thumb = ThumbRect();
        const int travel = (track.bottom - track.top) - (thumb.bottom - thumb.top);
        if (travel > 0)
          SetScrollPos(static_cast<int>(static_cast<long long>(event.pt.y - drag_offset_ - track.top) * GetScrollRange() /
                                        travel));
      }
      break;
    case UIEventType::kButtonUp:
      if (dragging_) {
        dragging_ = false;
        if (manager_) manager_->ReleaseCapture();
      }
      break;
    case UIEventType::kKeyDown:
      switch (event.wParam) {
        case VK_UP: SetScrollPos(scroll_ - line); break;
        case VK_DOWN: SetScrollPos(scroll_ + line); break;
        case VK_PRIOR: SetScrollPos(scroll_ - page); break;
        case VK_NEXT: case VK_SPACE: SetScrollPos(scroll_ + page); break;
        case VK_HOME: SetScrollPos(0); break;
        case VK_END: SetScrollPos(GetScrollRange()); break;
        default: break;
      }
      break;
    default:
      break;
  }
}

}  // namespace tzui
