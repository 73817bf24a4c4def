#pragma once
// GDI+ helpers for controls: colours, rounded shapes and images of the package at the window's scale.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "toolkit/ui_types.h"

namespace tzui {

// Starts GDI+ (from the system directory) once per process; false when it is unavailable.
bool EnsureGdiplus();

inline Gdiplus::Color ToColor(ARGB32 argb) { return Gdiplus::Color(static_cast<Gdiplus::ARGB>(argb)); }
Gdiplus::Rect ToGdiRect(const RECT& rc);

// Closed rounded rectangle; radii per corner (top-left, top-right, bottom-right, bottom-left) in
// device pixels, each clamped to half the shorter side. All 0 gives a plain rectangle.
void AddRoundRect(Gdiplus::GraphicsPath& path, const RECT& rc, int tl, int tr, int br, int bl);
void FillRoundRect(Gdiplus::Graphics& g, const RECT& rc, int radius, ARGB32 color);

// Anti-aliased shapes computed by the toolkit itself (the same on every GDI+, Wine's included,
// which fills paths without anti-aliasing). Coordinates are device pixels, possibly fractional.
struct RoundShape {
  float left = 0, top = 0, right = 0, bottom = 0;
  float radius[4] = {0, 0, 0, 0};  // top-left, top-right, bottom-right, bottom-left
};
// A solid colour, or a horizontal gradient from `color` at x0 to `color2` at x1 (clamped outside).
struct ShapePaint {
  ARGB32 color = 0;
  ARGB32 color2 = 0;
  bool gradient = false;
  float x0 = 0, x1 = 0;
};
RoundShape MakeRoundShape(const RECT& rc, int tl, int tr, int br, int bl);
// Fills `shape` clipped to `clip`.
void FillShape(Gdiplus::Graphics& g, const RoundShape& shape, const ShapePaint& paint, const RECT& clip);
// A line of `width` just inside the shape's outline.
void StrokeShape(Gdiplus::Graphics& g, const RoundShape& shape, float width, ARGB32 color, const RECT& clip);

}  // namespace tzui
