#pragma once
// The paint manager of one skinned window: owns the control tree, fonts, images and default
// attributes of that window, lays the tree out at the window's DPI, paints it into a 32-bit surface
// (a layered window when the description asks for a transparent background), and turns window
// messages into control events and notifications.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/controls.h"
#include "toolkit/ui_types.h"

namespace tzui {

struct FontInfo {
  std::wstring face;
  int size = 12;  // pixel height at 96 DPI
  bool bold = false;
  bool underline = false;
  bool italic = false;
};

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  void Init(HWND window);
  HWND GetPaintWindow() const { return window_; }

  // The root takes ownership of the tree; replaces (and deletes) an earlier one.
  void AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return root_.get(); }
  // By name, ignoring case; nullptr when absent.
  CControlUI* FindControl(std::wstring_view name) const;
  CControlUI* FindControlAt(POINT pt) const;
  void AddNotifier(INotifyUI* notifier) { notifiers_.push_back(notifier); }
  void SendNotify(CControlUI* sender, std::wstring_view type, WPARAM wParam = 0, LPARAM lParam = 0);

  // Window size from the description, 96-DPI units.
  void SetInitSize(int cx, int cy) { init_size_ = {cx, cy}; }
  SIZE GetInitSize() const { return init_size_; }
  // Drag area: left/top/right insets from the window's edges and its bottom (96-DPI units). A
  // right or bottom of 0 reaches the window's far edge.
  void SetCaptionRect(const RECT& rc) { caption_ = rc; }
  const RECT& GetCaptionRect() const { return caption_; }
  void SetLayered(bool on) { layered_ = on; }
  bool IsLayered() const { return layered_; }

  // DPI of this window; changes scale, fonts and images and lays out again.
  void SetDPI(UINT dpi);
  UINT GetDPI() const { return dpi_; }
  int GetScale() const { return MulDiv(100, static_cast<int>(dpi_), 96); }  // percent
  int Scale(int v) const { return MulDiv(v, static_cast<int>(dpi_), 96); }

  // Fonts by id; -1 (or an unknown id) is the default font.
  void AddFont(int id, const FontInfo& info, bool is_default);
  Gdiplus::Font* GetFont(int id);
  HFONT GetHFont(int id);
  const FontInfo* GetFontInfo(int id) const;
  // Default attributes applied to every control of a type before its own ones.
  void AddDefaultAttributeList(std::wstring_view control_class, std::wstring_view attributes);
  const std::wstring* GetDefaultAttributeList(std::wstring_view control_class) const;

  // Image from the package by path (either separator). When the scale is not 100 % the
  // "name@<scale>.ext" variant is preferred, then "@200" (drawn scaled down below 200 %). The
  // returned bitmap's logical size (96-DPI units) is written to `logical_size`. nullptr when missing.
  Gdiplus::Bitmap* GetImage(std::wstring_view path, SIZE* logical_size = nullptr);
  // Draws `path` stretched over `rc` (device pixels); false when the image is missing.
  bool DrawImage(Gdiplus::Graphics& g, std::wstring_view path, const RECT& rc);

  // Repaint on the next idle turn of the message loop; relayout first when NeedUpdate was asked.
  void Invalidate();
  void NeedUpdate();
  // Lays out and paints now (tests and screenshots).
  void PaintNow();

  CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);
  // Moves the keyboard focus to the next (or previous) focusable control; false when there is none.
  bool MoveFocus(bool forward);
  CControlUI* GetHot() const { return hot_; }
  // Forgets a control that is going away (focus, hot and capture references).
  void ReapControl(CControlUI* control);
  void SetCapture(CControlUI* control);
  void ReleaseCapture();

  // Window messages: true when handled (`result` holds the answer).
  bool MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The hidden parent of rich edit documents and the tooltip's owner.
  HINSTANCE GetInstance() const;

 private:
  void Layout();
  void Render();
  void Present(HDC target);
  void UpdateTooltip(CControlUI* control);
  void CreateSurface(int cx, int cy);
  void RebuildFonts();
  bool InCaption(POINT pt) const;

  HWND window_ = nullptr;
  std::unique_ptr<CControlUI> root_;
  std::vector<INotifyUI*> notifiers_;
  SIZE init_size_{};
  RECT caption_{};
  bool layered_ = false;
  UINT dpi_ = 96;
  bool need_update_ = true;
  bool paint_posted_ = false;
  bool painting_ = false;

  struct FontSlot {
    FontInfo info;
    HFONT hfont = nullptr;
    std::unique_ptr<Gdiplus::Font> font;
  };
  std::map<int, FontSlot> fonts_;
  int default_font_ = -1;
  FontSlot fallback_font_;
  std::map<std::wstring, std::wstring, std::less<>> default_attributes_;
  struct ImageSlot {
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
    std::vector<unsigned char> bytes;
    SIZE logical{};
  };
  std::map<std::wstring, ImageSlot> images_;

  CControlUI* focus_ = nullptr;
  CControlUI* hot_ = nullptr;
  CControlUI* capture_ = nullptr;
  bool show_focus_ = false;  // focus rectangle shown after keyboard use
  bool tracking_mouse_ = false;
  HWND tooltip_ = nullptr;
  CControlUI* tooltip_control_ = nullptr;

  HDC surface_dc_ = nullptr;
  HBITMAP surface_bitmap_ = nullptr;
  HGDIOBJ surface_old_ = nullptr;
  void* surface_bits_ = nullptr;
  SIZE surface_size_{};

  friend class CControlUI;
};

}  // namespace tzui
