#pragma once
// Small value types shared by every part of the toolkit: colours, rectangles, notifications.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tzui {

class CControlUI;

// 0xAARRGGBB. 0 means "no colour": nothing is drawn.
using ARGB32 = std::uint32_t;

// "#FFFE3666", "FFFE3666", "#FE3666" (opaque when six digits). False on anything else.
bool ParseColor(std::wstring_view text, ARGB32& out);
// "l,t,r,b" (missing numbers are 0); false when no number could be read.
bool ParseRect(std::wstring_view text, RECT& out);
// "w,h"
bool ParseSize(std::wstring_view text, SIZE& out);
// "true"/"1" (any case) is true.
bool ParseBool(std::wstring_view text);
int ParseInt(std::wstring_view text, int fallback = 0);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

// A control event delivered to the window: "click", "checkclick", "setfocus", "killfocus",
// "windowinit". wParam carries the event's value ("checkclick": 1 checked, 0 unchecked).
struct TNotifyUI {
  std::wstring type;
  CControlUI* sender = nullptr;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

// Creates control types the toolkit does not know; nullptr lets the toolkit decide (and skip an
// unknown element with its children).
class IDialogBuilderCallback {
 public:
  virtual CControlUI* CreateControl(std::wstring_view type_name) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

// Text layout flags of labels and buttons.
enum TextStyle : unsigned {
  kAlignLeft = 0,
  kAlignCenter = 1,
  kAlignRight = 2,
  kVAlignTop = 0,
  kVAlignCenter = 4,
  kVAlignBottom = 8,
  kEndEllipsis = 16,
  kWordBreak = 32,
};

}  // namespace tzui
