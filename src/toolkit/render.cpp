#include "toolkit/render.h"

#include "toolkit/system_library.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tzui {

bool EnsureGdiplus() {
  static const bool started = [] {
    // Loaded here by full path; the delay-bound imports then resolve to this module.
    if (!LoadSystemLibrary(L"gdiplus.dll")) return false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    // Kept for the life of the process: windows may paint until the very end.
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  }();
  return started;
}

Gdiplus::Rect ToGdiRect(const RECT& rc) {
  return Gdiplus::Rect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

void AddRoundRect(Gdiplus::GraphicsPath& path, const RECT& rc, int tl, int tr, int br, int bl) {
  const int w = rc.right - rc.left;
  const int h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return;
  const int limit = std::min(w, h) / 2;
  auto clamp = [limit](int r) { return std::max(0, std::min(r, limit)); };
  tl = clamp(tl), tr = clamp(tr), br = clamp(br), bl = clamp(bl);
  const Gdiplus::REAL l = static_cast<Gdiplus::REAL>(rc.left), t = static_cast<Gdiplus::REAL>(rc.top);
  const Gdiplus::REAL r = static_cast<Gdiplus::REAL>(rc.right), b = static_cast<Gdiplus::REAL>(rc.bottom);
  path.StartFigure();
  if (tl) path.AddArc(l, t, 2.0f * tl, 2.0f * tl, 180, 90);
  else path.AddLine(l, t, l, t);
  if (tr) path.AddArc(r - 2.0f * tr, t, 2.0f * tr, 2.0f * tr, 270, 90);
  else path.AddLine(r, t, r, t);
  if (br) path.AddArc(r - 2.0f * br, b - 2.0f * br, 2.0f * br, 2.0f * br, 0, 90);
  else path.AddLine(r, b, r, b);
  if (bl) path.AddArc(l, b - 2.0f * bl, 2.0f * bl, 2.0f * bl, 90, 90);
  else path.AddLine(l, b, l, b);
  path.CloseFigure();
}

void FillRoundRect(Gdiplus::Graphics& g, const RECT& rc, int radius, ARGB32 color) {
  if (color == 0) return;
  if (radius <= 0) {
    Gdiplus::SolidBrush brush(ToColor(color));
    g.FillRectangle(&brush, ToGdiRect(rc));
    return;
  }
  ShapePaint paint;
  paint.color = color;
  FillShape(g, MakeRoundShape(rc, radius, radius, radius, radius), paint, rc);
}

RoundShape MakeRoundShape(const RECT& rc, int tl, int tr, int br, int bl) {
  RoundShape s;
  s.left = static_cast<float>(rc.left);
  s.top = static_cast<float>(rc.top);
  s.right = static_cast<float>(rc.right);
  s.bottom = static_cast<float>(rc.bottom);
  s.radius[0] = static_cast<float>(tl);
  s.radius[1] = static_cast<float>(tr);
  s.radius[2] = static_cast<float>(br);
  s.radius[3] = static_cast<float>(bl);
  return s;
}

namespace {

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Area of the pixel centred at (x, y) that the shape covers, from its distance to the outline.
float Coverage(const RoundShape& s, float x, float y) {
  const float w = s.right - s.left, h = s.bottom - s.top;
  if (w <= 0 || h <= 0) return 0;
  const float limit = std::min(w, h) / 2;
  float cov = Clamp01(x - s.left + 0.5f) * Clamp01(s.right - x + 0.5f) * Clamp01(y - s.top + 0.5f) *
              Clamp01(s.bottom - y + 0.5f);
  if (cov <= 0) return 0;
  const float r[4] = {std::min(s.radius[0], limit), std::min(s.radius[1], limit), std::min(s.radius[2], limit),
                      std::min(s.radius[3], limit)};
  float cx = 0, cy = 0, rr = 0;
  if (x < s.left + r[0] && y < s.top + r[0]) cx = s.left + r[0], cy = s.top + r[0], rr = r[0];
  else if (x > s.right - r[1] && y < s.top + r[1]) cx = s.right - r[1], cy = s.top + r[1], rr = r[1];
  else if (x > s.right - r[2] && y > s.bottom - r[2]) cx = s.right - r[2], cy = s.bottom - r[2], rr = r[2];
  else if (x < s.left + r[3] && y > s.bottom - r[3]) cx = s.left + r[3], cy = s.bottom - r[3], rr = r[3];
  else return cov;
  const float d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
  return std::min(cov, Clamp01(rr - d + 0.5f));
}

std::uint32_t Premultiply(ARGB32 c, float coverage) {
  const float a = static_cast<float>(c >> 24) * coverage;
  if (a <= 0) return 0;
  auto ch = [&](int shift) {
    return static_cast<std::uint32_t>(static_cast<float>((c >> shift) & 0xFF) * a / 255.0f + 0.5f);
  };
  return (static_cast<std::uint32_t>(a + 0.5f) << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

ARGB32 Mix(ARGB32 a, ARGB32 b, float t) {
  ARGB32 out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float ca = static_cast<float>((a >> shift) & 0xFF), cb = static_cast<float>((b >> shift) & 0xFF);
    out |= static_cast<ARGB32>(ca + (cb - ca) * t + 0.5f) << shift;
  }
  return out;
}

template <typename CoverageFn, typename ColorFn>
void BlendMask(Gdiplus::Graphics& g, const RoundShape& s, const RECT& clip, CoverageFn coverage, ColorFn color) {
  RECT box{static_cast<LONG>(std::floor(s.left)), static_cast<LONG>(std::floor(s.top)),
           static_cast<LONG>(std::ceil(s.right)), static_cast<LONG>(std::ceil(s.bottom))};
  RECT area{};
  if (!IntersectRect(&area, &box, &clip)) return;
  const int w = area.right - area.left, h = area.bottom - area.top;
  std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const float py = static_cast<float>(area.top + y) + 0.5f;
    for (int x = 0; x < w; ++x) {
      const float px = static_cast<float>(area.left + x) + 0.5f;
      const float cov = coverage(px, py);
      if (cov > 0) pixels[static_cast<size_t>(y) * w + x] = Premultiply(color(px), cov);
    }
  }
  Gdiplus::Bitmap layer(w, h, w * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels.data()));
  const auto state = g.Save();
  g.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
  g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
  g.DrawImage(&layer, Gdiplus::Rect(area.left, area.top, w, h), 0, 0, w, h, Gdiplus::UnitPixel);
  g.Restore(state);
}

}  // namespace

void FillShape(Gdiplus::Graphics& g, const RoundShape& shape, const ShapePaint& paint, const RECT& clip) {
  if (paint.color == 0 && (!paint.gradient || paint.color2 == 0)) return;
  BlendMask(
      g, shape, clip, [&](float x, float y) { return Coverage(shape, x, y); },
      [&](float x) {
        if (!paint.gradient || paint.x1 <= paint.x0) return paint.color;
        return Mix(paint.color, paint.color2, Clamp01((x - paint.x0) / (paint.x1 - paint.x0)));
      });
}

void StrokeShape(Gdiplus::Graphics& g, const RoundShape& shape, float width, ARGB32 color, const RECT& clip) {
  if (color == 0 || width <= 0) return;
  RoundShape inner = shape;
  inner.left += width;
  inner.top += width;
  inner.right -= width;
  inner.bottom -= width;
  for (float& r : inner.radius) r = std::max(0.0f, r - width);
  BlendMask(
      g, shape, clip,
      [&](float x, float y) { return std::max(0.0f, Coverage(shape, x, y) - Coverage(inner, x, y)); },
      [&](float) { return color; });
}

}  // namespace tzui
