#include "toolkit/paint_manager.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

#include "toolkit/render.h"
#include "toolkit/resource_package.h"

namespace tzui {

namespace {

// Posted to itself to repaint a layered window once per burst of changes.
constexpr UINT kRepaintMessage = WM_APP + 0x3F0;

bool EffectivelyVisible(const CControlUI* control) {
  for (const CControlUI* c = control; c; c = c->GetParent())
    if (!c->IsVisible()) return false;
  return true;
}

bool IsInteractive(const CControlUI* control) {
  switch (control->GetAccessibleRole()) {
    case AccessibleRole::kPushButton:
    case AccessibleRole::kCheckButton:
    case AccessibleRole::kText:
      return control->IsEnabled() || control->GetAccessibleRole() == AccessibleRole::kText;
    default:
      return false;
  }
}

// "dir\name.png" → "dir\name@200.png".
std::wstring ScaledName(std::wstring_view path, int scale) {
  std::wstring name(path);
  const size_t slash = name.find_last_of(L"\\/");
  size_t dot = name.find_last_of(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) dot = name.size();
  name.insert(dot, L"@" + std::to_wstring(scale));
  return name;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() { EnsureGdiplus(); }

CPaintManagerUI::~CPaintManagerUI() {
  // Controls reach back into the manager while they go; take them down first.
  root_.reset();
  focus_ = hot_ = capture_ = nullptr;
  for (auto& [id, slot] : fonts_) {
    slot.font.reset();
    if (slot.hfont) DeleteObject(slot.hfont);
  }
  fallback_font_.font.reset();
  if (fallback_font_.hfont) DeleteObject(fallback_font_.hfont);
  if (surface_dc_) {
    SelectObject(surface_dc_, surface_old_);
    DeleteDC(surface_dc_);
  }
  if (surface_bitmap_) DeleteObject(surface_bitmap_);
  if (tooltip_) DestroyWindow(tooltip_);
}

void CPaintManagerUI::Init(HWND window) { window_ = window; }

HINSTANCE CPaintManagerUI::GetInstance() const {
  HINSTANCE instance = CResourceManager::Instance().ModuleInstance();
  return instance ? instance : GetModuleHandleW(nullptr);
}

void CPaintManagerUI::AttachDialog(CControlUI* root) {
  focus_ = hot_ = capture_ = nullptr;
  root_.reset(root);
  if (root_) root_->SetManager(this, nullptr);
  NeedUpdate();
  Invalidate();
}

CControlUI* CPaintManagerUI::FindControl(std::wstring_view name) const {
  if (!root_ || name.empty()) return nullptr;
  if (CContainerUI* container = root_->AsContainer()) return container->FindByName(name);
  return EqualsNoCase(root_->GetName(), name) ? root_.get() : nullptr;
}

CControlUI* CPaintManagerUI::FindControlAt(POINT pt) const { return root_ ? root_->FindControlAt(pt) : nullptr; }

void CPaintManagerUI::SendNotify(CControlUI* sender, std::wstring_view type, WPARAM wParam, LPARAM lParam) {
  TNotifyUI msg;
  msg.type = type;
  msg.sender = sender;
  msg.wParam = wParam;
  msg.lParam = lParam;
  // A notifier may add another while it runs; iterate over a copy.
  const std::vector<INotifyUI*> notifiers = notifiers_;
  for (INotifyUI* n : notifiers) n->Notify(msg);
}

void CPaintManagerUI::SetDPI(UINT dpi) {
  if (dpi == 0) dpi = 96;
  if (dpi == dpi_) return;
  dpi_ = dpi;
  RebuildFonts();
  images_.clear();
  NeedUpdate();
  Invalidate();
}

void CPaintManagerUI::AddFont(int id, const FontInfo& info, bool is_default) {
  FontSlot& slot = fonts_[id];
  slot.font.reset();
  if (slot.hfont) DeleteObject(slot.hfont);
  slot.hfont = nullptr;
  slot.info = info;
  if (is_default || default_font_ < 0) default_font_ = id;
}

void CPaintManagerUI::RebuildFonts() {
  for (auto& [id, slot] : fonts_) {
    slot.font.reset();
    if (slot.hfont) DeleteObject(slot.hfont);
    slot.hfont = nullptr;
  }
  fallback_font_.font.reset();
  if (fallback_font_.hfont) DeleteObject(fallback_font_.hfont);
  fallback_font_.hfont = nullptr;
}

const FontInfo* CPaintManagerUI::GetFontInfo(int id) const {
  auto it = fonts_.find(id);
  if (it == fonts_.end()) it = fonts_.find(default_font_);
  return it == fonts_.end() ? nullptr : &it->second.info;
}

HFONT CPaintManagerUI::GetHFont(int id) {
  auto it = fonts_.find(id);
  if (it == fonts_.end()) it = fonts_.find(default_font_);
  FontSlot& slot = it == fonts_.end() ? fallback_font_ : it->second;
  if (!slot.hfont) {
    const FontInfo& info = slot.info;
    LOGFONTW lf{};
    lf.lfHeight = -Scale(info.size);
    lf.lfWeight = info.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = info.italic;
    lf.lfUnderline = info.underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    const std::wstring face = info.face.empty() ? L"Microsoft Yahei" : info.face;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    slot.hfont = CreateFontIndirectW(&lf);
  }
  return slot.hfont;
}

Gdiplus::Font* CPaintManagerUI::GetFont(int id) {
  if (!EnsureGdiplus()) return nullptr;
  auto it = fonts_.find(id);
  if (it == fonts_.end()) it = fonts_.find(default_font_);
  FontSlot& slot = it == fonts_.end() ? fallback_font_ : it->second;
  if (!slot.font) {
    HFONT hfont = GetHFont(id);
    if (!hfont) return nullptr;
    HDC screen = GetDC(nullptr);
    slot.font = std::make_unique<Gdiplus::Font>(screen, hfont);
    ReleaseDC(nullptr, screen);
    if (slot.font->GetLastStatus() != Gdiplus::Ok) {
      slot.font.reset();
      return nullptr;
    }
  }
  return slot.font.get();
}

void CPaintManagerUI::AddDefaultAttributeList(std::wstring_view control_class, std::wstring_view attributes) {
  std::wstring key;
  for (wchar_t c : control_class) key.push_back(static_cast<wchar_t>(std::towlower(c)));
  default_attributes_[key] = attributes;
}

const std::wstring* CPaintManagerUI::GetDefaultAttributeList(std::wstring_view control_class) const {
  std::wstring key;
  for (wchar_t c : control_class) key.push_back(static_cast<wchar_t>(std::towlower(c)));
  const auto it = default_attributes_.find(key);
  return it == default_attributes_.end() ? nullptr : &it->second;
}

Gdiplus::Bitmap* CPaintManagerUI::GetImage(std::wstring_view path, SIZE* logical_size) {
  if (path.empty() || !EnsureGdiplus()) return nullptr;
  std::wstring key(path);
  for (auto& c : key) c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
  auto it = images_.find(key);
  if (it == images_.end()) {
    ImageSlot slot;
    const int scale = GetScale();
    // Candidates: the exact scale, then the 200 % drawing (scaled down between 100 and 200 %),
    // then the plain one.
    std::vector<std::pair<std::wstring, int>> candidates;
    if (scale != 100) candidates.emplace_back(ScaledName(path, scale), scale);
    if (scale > 100 && scale != 200) candidates.emplace_back(ScaledName(path, 200), 200);
    candidates.emplace_back(std::wstring(path), 100);
    for (const auto& [name, variant_scale] : candidates) {
      std::vector<std::uint8_t> bytes;
      if (!CResourceManager::Instance().ReadEntry(name, bytes) || bytes.empty()) continue;
      IStream* stream = SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
      if (!stream) continue;
      std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
      stream->Release();
      if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) continue;
      const UINT w = decoded->GetWidth(), h = decoded->GetHeight();
      if (w == 0 || h == 0) continue;
      // A decoded copy in premultiplied form: independent of the stream and fast to draw.
      auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(w), static_cast<INT>(h), PixelFormat32bppPARGB);
      {
        Gdiplus::Graphics g(copy.get());
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        g.DrawImage(decoded.get(), 0, 0, static_cast<INT>(w), static_cast<INT>(h));
      }
      slot.bitmap = std::move(copy);
      slot.logical = SIZE{static_cast<LONG>(MulDiv(static_cast<int>(w), 100, variant_scale)),
                          static_cast<LONG>(MulDiv(static_cast<int>(h), 100, variant_scale))};
      break;
    }
    it = images_.emplace(key, std::move(slot)).first;
  }
  if (logical_size) *logical_size = it->second.logical;
  return it->second.bitmap.get();
}

bool CPaintManagerUI::DrawImage(Gdiplus::Graphics& g, std::wstring_view path, const RECT& rc) {
  Gdiplus::Bitmap* bitmap = GetImage(path);
  if (!bitmap || rc.right <= rc.left || rc.bottom <= rc.top) return false;
  const INT w = rc.right - rc.left, h = rc.bottom - rc.top;
  const bool exact = static_cast<INT>(bitmap->GetWidth()) == w && static_cast<INT>(bitmap->GetHeight()) == h;
  g.SetInterpolationMode(exact ? Gdiplus::InterpolationModeNearestNeighbor : Gdiplus::InterpolationModeHighQualityBicubic);
  Gdiplus::ImageAttributes attrs;
  attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);  // no dark fringe at the edges when scaling
  g.DrawImage(bitmap, Gdiplus::Rect(rc.left, rc.top, w, h), 0, 0, static_cast<INT>(bitmap->GetWidth()),
              static_cast<INT>(bitmap->GetHeight()), Gdiplus::UnitPixel, &attrs);
  return true;
}

void CPaintManagerUI::NeedUpdate() { need_update_ = true; }

void CPaintManagerUI::Invalidate() {
  if (!window_) return;
  if (!layered_) {
    InvalidateRect(window_, nullptr, FALSE);
    return;
  }
  if (paint_posted_) return;
  paint_posted_ = true;
  PostMessageW(window_, kRepaintMessage, 0, 0);
}

void CPaintManagerUI::Layout() {
  if (!root_ || !window_) return;
  RECT client{};
  GetClientRect(window_, &client);
  need_update_ = false;
  root_->SetPos(client);
}

void CPaintManagerUI::CreateSurface(int cx, int cy) {
  if (surface_bitmap_ && surface_size_.cx == cx && surface_size_.cy == cy) return;
  if (!surface_dc_) {
    surface_dc_ = CreateCompatibleDC(nullptr);
    if (!surface_dc_) return;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = cx;
  info.bmiHeader.biHeight = -cy;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(surface_dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return;
  if (surface_bitmap_) {
    SelectObject(surface_dc_, surface_old_);
    DeleteObject(surface_bitmap_);
  }
  surface_bitmap_ = bitmap;
  surface_old_ = SelectObject(surface_dc_, bitmap);
  surface_bits_ = bits;
  surface_size_ = SIZE{cx, cy};
}

void CPaintManagerUI::Render() {
  if (!window_ || painting_ || !EnsureGdiplus()) return;
  painting_ = true;
  if (need_update_) Layout();
  RECT client{};
  GetClientRect(window_, &client);
  const int cx = std::max<LONG>(1, client.right), cy = std::max<LONG>(1, client.bottom);
  CreateSurface(cx, cy);
  if (surface_bits_) {
    Gdiplus::Bitmap target(cx, cy, cx * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(surface_bits_));
    Gdiplus::Graphics g(&target);
    g.Clear(layered_ ? Gdiplus::Color(0, 0, 0, 0) : Gdiplus::Color(255, 0, 0, 0));
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    if (root_) root_->DoPaint(g, client);
  }
  painting_ = false;
}

void CPaintManagerUI::Present(HDC target) {
  if (!surface_dc_) return;
  if (layered_) {
    RECT wr{};
    GetWindowRect(window_, &wr);
    POINT dst{wr.left, wr.top};
    SIZE size = surface_size_;
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window_, nullptr, &dst, &size, surface_dc_, &src, 0, &blend, ULW_ALPHA);
  } else if (target) {
    BitBlt(target, 0, 0, surface_size_.cx, surface_size_.cy, surface_dc_, 0, 0, SRCCOPY);
  }
}

void CPaintManagerUI::PaintNow() {
  Render();
  if (layered_) {
    Present(nullptr);
  } else if (window_) {
    HDC dc = GetDC(window_);
    Present(dc);
    ReleaseDC(window_, dc);
  }
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (control == focus_) return;
  CControlUI* old = focus_;
  focus_ = control;
  if (old) {
    TEventUI event{UIEventType::kKillFocus};
    old->DoEvent(event);
  }
  if (control) {
    TEventUI event{UIEventType::kSetFocus};
    control->DoEvent(event);
  }
  Invalidate();
  // Screen readers follow the keyboard focus.
  if (control && window_) {
    std::vector<CControlUI*> all;
    if (root_ && root_->AsContainer()) root_->AsContainer()->CollectControls(all);
    int child = 0;
    for (CControlUI* c : all) {
      if (c->GetAccessibleRole() == AccessibleRole::kNone || !EffectivelyVisible(c)) continue;
      ++child;
      if (c == control) {
        NotifyWinEvent(EVENT_OBJECT_FOCUS, window_, OBJID_CLIENT, child);
        break;
      }
    }
  }
}

bool CPaintManagerUI::MoveFocus(bool forward) {
  if (!root_) return false;
  std::vector<CControlUI*> all;
  if (CContainerUI* container = root_->AsContainer()) container->CollectControls(all);
  else all.push_back(root_.get());
  std::vector<CControlUI*> stops;
  for (CControlUI* c : all)
    if (c->IsKeyboardFocusable() && EffectivelyVisible(c)) stops.push_back(c);
  if (stops.empty()) return false;
  auto it = std::find(stops.begin(), stops.end(), focus_);
  size_t index = 0;
  if (it == stops.end()) {
    index = forward ? 0 : stops.size() - 1;
  } else {
    const size_t at = static_cast<size_t>(it - stops.begin());
    index = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
  }
  show_focus_ = true;
  SetFocus(stops[index]);
  return true;
}

void CPaintManagerUI::ReapControl(CControlUI* control) {
  if (focus_ == control) focus_ = nullptr;
  if (hot_ == control) hot_ = nullptr;
  if (capture_ == control) capture_ = nullptr;
  if (tooltip_control_ == control) tooltip_control_ = nullptr;
}

void CPaintManagerUI::SetCapture(CControlUI* control) {
  capture_ = control;
  if (window_) ::SetCapture(window_);
}

void CPaintManagerUI::ReleaseCapture() {
  capture_ = nullptr;
  if (window_ && GetCapture() == window_) ::ReleaseCapture();
}

void CPaintManagerUI::UpdateTooltip(CControlUI* control) {
  if (!window_) return;
  const std::wstring text = control ? control->GetToolTip() : std::wstring();
  if (!tooltip_) {
    if (text.empty()) return;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                               GetInstance(), nullptr);
    if (!tooltip_) return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = 1;
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  tooltip_control_ = control;
  // The window's own font: the system one may lack the glyphs of the skin's language.
  if (HFONT font = GetHFont(-1)) SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = 1;
  tool.rect = control ? control->GetPos() : RECT{};
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tooltip_, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltip_, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

bool CPaintManagerUI::InCaption(POINT pt) const {
  RECT client{};
  GetClientRect(window_, &client);
  RECT rc{Scale(caption_.left), Scale(caption_.top), client.right - Scale(caption_.right),
          caption_.bottom ? Scale(caption_.bottom) : client.bottom};
  return PtInRect(&rc, pt) != FALSE;
}

bool CPaintManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (!window_) return false;
  result = 0;
  switch (msg) {
    case kRepaintMessage:
      paint_posted_ = false;
      Render();
      Present(nullptr);
      return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      if (layered_) {
        EndPaint(window_, &ps);
        Invalidate();
        return true;
      }
      Render();
      Present(dc);
      EndPaint(window_, &ps);
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_SIZE:
      NeedUpdate();
      Invalidate();
      return false;
    case WM_NCHITTEST: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window_, &pt);
      CControlUI* hit = FindControlAt(pt);
      if (InCaption(pt) && !(hit && IsInteractive(hit))) {
        result = HTCAPTION;
        return true;
      }
      result = HTCLIENT;
      return true;
    }
    case WM_NCCALCSIZE:
      // The skin draws the whole window: no frame, no system caption.
      if (wParam) return true;
      return false;
    case WM_NCPAINT:
      return true;
    case WM_NCACTIVATE:
      result = IsIconic(window_) ? DefWindowProcW(window_, msg, wParam, lParam) : TRUE;
      return true;
    case WM_MOUSEMOVE: {
      if (!tracking_mouse_) {
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = window_;
        tracking_mouse_ = TrackMouseEvent(&tme) != FALSE;
      }
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (capture_) {
        TEventUI event{UIEventType::kMouseMove, pt, wParam, lParam};
        capture_->DoEvent(event);
        return true;
      }
      CControlUI* hit = FindControlAt(pt);
      if (hit != hot_) {
        if (hot_) {
          TEventUI leave{UIEventType::kMouseLeave, pt};
          hot_->DoEvent(leave);
        }
        hot_ = hit;
        if (hit && hit->IsEnabled()) {
          TEventUI enter{UIEventType::kMouseEnter, pt};
          hit->DoEvent(enter);
        }
        UpdateTooltip(hit);
      }
      if (hot_) {
        TEventUI move{UIEventType::kMouseMove, pt, wParam, lParam};
        hot_->DoEvent(move);
      }
      return true;
    }
    case WM_MOUSELEAVE:
      tracking_mouse_ = false;
      if (hot_ && !capture_) {
        TEventUI leave{UIEventType::kMouseLeave};
        hot_->DoEvent(leave);
        hot_ = nullptr;
      }
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* hit = FindControlAt(pt);
      if (!hit || !hit->IsEnabled()) return true;
      if (hit->IsKeyboardFocusable()) SetFocus(hit);
      TEventUI event{msg == WM_LBUTTONDOWN ? UIEventType::kButtonDown : UIEventType::kDoubleClick, pt, wParam, lParam};
      hit->DoEvent(event);
      return true;
    }
    case WM_LBUTTONUP: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CControlUI* target = capture_ ? capture_ : FindControlAt(pt);
      if (GetCapture() == window_ && !capture_) ::ReleaseCapture();
      if (target) {
        TEventUI event{UIEventType::kButtonUp, pt, wParam, lParam};
        target->DoEvent(event);
      }
      return true;
    }
    case WM_CAPTURECHANGED:
      if (capture_ && reinterpret_cast<HWND>(lParam) != window_) {
        CControlUI* lost = capture_;
        capture_ = nullptr;
        TEventUI event{UIEventType::kButtonUp, POINT{-1, -1}};
        lost->DoEvent(event);
      }
      return false;
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window_, &pt);
      for (CControlUI* c = FindControlAt(pt); c; c = c->GetParent()) {
        if (c->GetAccessibleRole() == AccessibleRole::kText) {
          TEventUI event{UIEventType::kScrollWheel, pt, wParam, lParam};
          c->DoEvent(event);
          break;
        }
      }
      return true;
    }
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) return false;
      POINT pt{};
      GetCursorPos(&pt);
      ScreenToClient(window_, &pt);
      CControlUI* hit = FindControlAt(pt);
      LPCWSTR cursor = hit && hit->IsEnabled() ? hit->GetCursor() : IDC_ARROW;
      ::SetCursor(LoadCursorW(nullptr, cursor));
      result = TRUE;
      return true;
    }
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        MoveFocus(GetKeyState(VK_SHIFT) >= 0);
        return true;
      }
      if ((wParam == VK_RETURN || wParam == VK_SPACE) && focus_) {
        show_focus_ = true;
        // A held key repeats: the control acts once per press, as a check box must not flip back.
        if (lParam & (1 << 30)) return true;
        TEventUI event{UIEventType::kKeyDown, POINT{}, wParam, lParam};
        focus_->DoEvent(event);
        return true;
      }
      if (focus_ && (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR || wParam == VK_NEXT ||
                     wParam == VK_HOME || wParam == VK_END)) {
        TEventUI event{UIEventType::kKeyDown, POINT{}, wParam, lParam};
        focus_->DoEvent(event);
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace tzui
