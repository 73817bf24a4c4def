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

}  // namespace tzui
