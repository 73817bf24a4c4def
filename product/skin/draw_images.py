#!/usr/bin/env python3
"""Draws the skin's images (PNG, RGBA) into OUTDIR: shapes are described once in 96-DPI units and
rasterised with 4x4 supersampling at 100 % and, where the skin needs it, at 200 %."""
import math
import os
import struct
import sys
import zlib

ACCENT = (0xFE, 0x36, 0x66)
ACCENT_HOT = (0xFE, 0x53, 0x7C)
MUTED = (0x8F, 0x98, 0xAA)
WHITE = (0xFF, 0xFF, 0xFF)


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples, straight alpha."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


# Shapes: functions of (x, y) in logical units answering coverage 0/1; layers paint in order.
def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ring_rect(x0, y0, x1, y1, r, w):
    outer = rounded_rect(x0, y0, x1, y1, r)
    inner = rounded_rect(x0 + w, y0 + w, x1 - w, y1 - w, max(0.0, r - w))
    return lambda x, y: outer(x, y) and not inner(x, y)


def segment(ax, ay, bx, by, w):
    """A stroke with round caps."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (w / 2) ** 2
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                hit = not hit
        return hit
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def render(width, height, scale, layers):
    """layers: list of (shape, colour function (x, y) -> (r, g, b), alpha 0..1)."""
    w, h = width * scale, height * scale
    n = 4
    rows = []
    for py in range(h):
        row = []
        for px in range(w):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / scale
                    y = (py + (sy + 0.5) / n) / scale
                    r = g = b = a = 0.0
                    for shape, colour, alpha in layers:
                        if shape(x, y):
                            cr, cg, cb = colour(x, y) if callable(colour) else colour
                            r = cr * alpha + r * (1 - alpha)
                            g = cg * alpha + g * (1 - alpha)
                            b = cb * alpha + b * (1 - alpha)
                            a = alpha + a * (1 - alpha)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            a = acc[3] / (n * n)
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(c / (n * n) / a)) for c in acc[:3]) + (int(round(a * 255)),))
        rows.append(row)
    return w, h, rows


def gradient(c0, c1, x0, x1):
    def colour(x, y):
        t = max(0.0, min(1.0, ((x - x0) + (y - x0) * 0.35) / (x1 - x0)))
        return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))
    return colour


def images():
    """name -> (width, height, layers, scales)."""
    both = (1, 2)
    out = {}
    # Caption buttons, 31 x 20: a glyph in the middle; the hot state lights up.
    minus = segment(11.5, 10.5, 19.5, 10.5, 1.3)
    cross = [segment(12, 6.5, 19, 13.5, 1.3), segment(19, 6.5, 12, 13.5, 1.3)]
    out["sysbtn/wnd_min.png"] = (31, 20, [(minus, MUTED, 1.0)], both)
    out["sysbtn/wnd_min_hl.png"] = (31, 20, [(rounded_rect(4, 1, 27, 19, 4), (0x3A, 0x3E, 0x4F), 1.0),
                                             (minus, WHITE, 1.0)], both)
    out["sysbtn/wnd_close.png"] = (31, 20, [(s, MUTED, 1.0) for s in cross], both)
    out["sysbtn/wnd_close_hl.png"] = (31, 20, [(rounded_rect(4, 1, 27, 19, 4), ACCENT, 1.0)] +
                                      [(s, WHITE, 1.0) for s in cross], both)
    # Check boxes, 14 x 14.
    out["sysbtn/uncheck.png"] = (14, 14, [(ring_rect(1, 1, 13, 13, 3, 1.2), (0x6B, 0x6F, 0x80), 1.0)], both)
    out["sysbtn/checked.png"] = (14, 14, [(rounded_rect(1, 1, 13, 13, 3), ACCENT, 1.0),
                                          (segment(4, 7.2, 6.2, 9.6, 1.6), WHITE, 1.0),
                                          (segment(6.2, 9.6, 10.2, 4.8, 1.6), WHITE, 1.0)], both)
    # Solid arrows, 8 x 8.
    out["sysbtn/arrow_solid_down.png"] = (8, 8, [(polygon([(1, 2.5), (7, 2.5), (4, 6)]), MUTED, 1.0)], both)
    out["sysbtn/arrow_solid_up.png"] = (8, 8, [(polygon([(1, 5.5), (7, 5.5), (4, 2)]), MUTED, 1.0)], both)
    # Product logo, 64 x 64: a rounded tile in the accent gradient with a white note.
    note = [(circle(26, 42, 7), WHITE, 1.0), (circle(42, 38, 7), WHITE, 1.0),
            (segment(32, 42, 32, 16, 3.0), WHITE, 1.0), (segment(48, 38, 48, 12, 3.0), WHITE, 1.0),
            (polygon([(30.5, 15), (49.5, 10), (49.5, 17), (30.5, 22)]), WHITE, 1.0)]
    out["app_logo.png"] = (64, 64, [(rounded_rect(2, 2, 62, 62, 16), gradient(ACCENT, (0x8A, 0x3F, 0xFC), 2, 62), 1.0)]
                           + note, both)
    # Scroll bar, 100 % only: the thumb and the track are stretched to length.
    out["scrollbar/thumb.png"] = (6, 40, [(rounded_rect(0, 0, 6, 40, 3), (0x4D, 0x4E, 0x5B), 1.0)], (1,))
    out["scrollbar/bk-nor.png"] = (6, 40, [(rounded_rect(0, 0, 6, 40, 3), (0x2D, 0x2E, 0x3B), 1.0)], (1,))
    out["scrollbar/arrow-up.png"] = (6, 6, [(polygon([(0.5, 4.5), (5.5, 4.5), (3, 1.5)]), MUTED, 1.0)], (1,))
    out["scrollbar/arrow-down.png"] = (6, 6, [(polygon([(0.5, 1.5), (5.5, 1.5), (3, 4.5)]), MUTED, 1.0)], (1,))
    return out


def main():
    outdir = sys.argv[1]
    for name, (w, h, layers, scales) in images().items():
        for scale in scales:
            pw, ph, rows = render(w, h, scale, layers)
            target = name if scale == 1 else name.replace(".png", "@%d.png" % (scale * 100))
            write_png(os.path.join(outdir, target), pw, ph, rows)


if __name__ == "__main__":
    main()
