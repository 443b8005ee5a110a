// GDI drawing: lines, rectangles, ellipses, fills, text and single pixels,
// every one clipped to the device context's target. Logical coordinates are
// limited to +/- 2^27, as on Windows, so no arithmetic below can overflow.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "korvane3d/platform/win/GdiFont.h"
#include "korvane3d/platform/win/GdiInternal.h"
#include "korvane3d/platform/win/GdiRaster.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

using namespace kv::win::detail;

namespace {

using i64 = long long;
constexpr i64 kCoordLimit = i64{1} << 27;
constexpr i64 kLargestEllipse = i64{1} << 16;

i64 ClampCoord(i64 v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }

struct PixelPoint {
  i64 x, y;
};
PixelPoint ToPixels(const DeviceContext& dc, i64 x, i64 y) {
  return {ClampCoord(x) + dc.target.origin.x, ClampCoord(y) + dc.target.origin.y};
}

// A pen's mark at one pixel: the pixel itself, or a square of the pen's width.
void Stamp(Raster& raster, const PenState& pen, i64 x, i64 y) {
  if (pen.width <= 1) {
    raster.Plot(static_cast<int>(x), static_cast<int>(y), pen.color);
    return;
  }
  i64 x0 = x - pen.width / 2;
  i64 y0 = y - pen.width / 2;
  for (i64 row = y0; row < y0 + pen.width; ++row) {
    raster.Span(static_cast<int>(x0), static_cast<int>(x0 + pen.width), static_cast<int>(row), pen.color);
  }
}

// Whether the i-th pixel of a styled line is drawn.
bool PatternOn(const PenState& pen, i64 i) {
  if (pen.width > 1) return true;  // wide pens always draw solid
  switch (pen.style) {
    case PS_DASH: return i % 24 < 18;
    case PS_DOT: return i % 6 < 3;
    default: return true;
  }
}

// The step range [first, last) of a line along its major axis, from start
// in direction step, that can reach [low, high).
void StepRange(i64 start, i64 step, i64 low, i64 high, i64& first, i64& last) {
  if (step > 0) {
    first = std::max(first, low - start);
    last = std::min(last, high - start);
  } else if (step < 0) {
    first = std::max(first, start - high + 1);
    last = std::min(last, start - low + 1);
  }
}

i64 RoundedDiv(i64 num, i64 den) {  // den > 0; halves round up
  i64 twice = 2 * num + den;
  i64 q = twice / (2 * den);
  if (twice % (2 * den) < 0) --q;
  return q;
}

// Draws from a to b in pixel coordinates, leaving out b itself.
void DrawLine(Raster& raster, const PenState& pen, PixelPoint a, PixelPoint b) {
  if (pen.style == PS_NULL) return;
  i64 dx = b.x - a.x, dy = b.y - a.y;
  i64 n = std::max(std::llabs(dx), std::llabs(dy));
  if (n == 0) return;
  bool xMajor = std::llabs(dx) >= std::llabs(dy);
  i64 majorStart = xMajor ? a.x : a.y, majorStep = xMajor ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1);
  i64 minorStart = xMajor ? a.y : a.x, minorDelta = xMajor ? dy : dx;
  const RECT& clip = raster.Clip();
  i64 margin = pen.width;
  i64 first = 0, last = n;
  if (xMajor) StepRange(majorStart, majorStep, clip.left - margin, clip.right + margin, first, last);
  else StepRange(majorStart, majorStep, clip.top - margin, clip.bottom + margin, first, last);
  for (i64 i = first; i < last; ++i) {
    if (!PatternOn(pen, i)) continue;
    i64 major = majorStart + i * majorStep;
    i64 minor = minorStart + RoundedDiv(i * minorDelta, n);
    if (xMajor) Stamp(raster, pen, major, minor);
    else Stamp(raster, pen, minor, major);
  }
}

// Calls visit(x, y) for the points of one quadrant of the ellipse with radii
// a and b (midpoint algorithm), from (0, b) to (a, 0).
template <class Visit>
void EllipseQuadrant(i64 a, i64 b, Visit visit) {
  if (a == 0 || b == 0) {
    for (i64 x = 0; x <= a; ++x) visit(x, i64{0});
    for (i64 y = 1; y <= b; ++y) visit(i64{0}, y);
    return;
  }
  const i64 a2 = a * a, b2 = b * b;
  i64 x = 0, y = b;
  i64 d = 4 * b2 - 4 * a2 * b + a2;  // everything scaled by 4
  while (b2 * x <= a2 * y) {
    visit(x, y);
    if (d < 0) {
      d += 4 * b2 * (2 * x + 3);
    } else {
      d += 4 * b2 * (2 * x + 3) - 8 * a2 * (y - 1);
      --y;
    }
    ++x;
  }
  d = b2 * (2 * x + 1) * (2 * x + 1) + 4 * a2 * (y - 1) * (y - 1) - 4 * a2 * b2;
  while (y >= 0) {
    visit(x, y);
    if (d > 0) {
      d += 4 * a2 * (3 - 2 * y);
    } else {
      d += 4 * b2 * (2 * x + 2) + 4 * a2 * (3 - 2 * y);
      ++x;
    }
    --y;
  }
}

void Normalize(i64& left, i64& top, i64& right, i64& bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
}

bool BrushColor(HBRUSH brush, BrushState& out) {
  std::uintptr_t value = HandleValue(brush);
  if (value >= 1 && value <= 31) {  // (HBRUSH)(COLOR_xxx + 1): a system colour
    out = BrushState{false, GetSysColor(static_cast<int>(value - 1))};
    return true;
  }
  auto object = GdiObjects().Find(value);
  if (!object || object->kind != GdiObject::Kind::Brush) return false;
  out = object->brush;
  return true;
}

template <class Fn>
BOOL WithDC(HDC dc, Fn&& fn) {
  auto context = FindDC(dc);
  if (!context) return FALSE;
  std::lock_guard lock(context->mutex);
  Raster raster(context->target);
  return fn(*context, raster);
}

}  // namespace

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  return WithDC(dc, [&](DeviceContext& context, Raster&) {
    if (previous) *previous = context.position;
    context.position = POINT{x, y};
    return TRUE;
  });
}

BOOL LineTo(HDC dc, int x, int y) {
  return WithDC(dc, [&](DeviceContext& context, Raster& raster) {
    DrawLine(raster, context.penState, ToPixels(context, context.position.x, context.position.y),
             ToPixels(context, x, y));
    context.position = POINT{x, y};
    return TRUE;
  });
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return WithDC(dc, [&](DeviceContext& context, Raster& raster) {
    PixelPoint a = ToPixels(context, left, top), b = ToPixels(context, right, bottom);
    Normalize(a.x, a.y, b.x, b.y);
    if (b.x - a.x < 1 || b.y - a.y < 1) return TRUE;
    const PenState& pen = context.penState;
    bool outlined = pen.style != PS_NULL;
    if (!context.brushState.hollow) {
      i64 inset = outlined ? 1 : 0;
      raster.Fill(RECT{static_cast<LONG>(a.x + inset), static_cast<LONG>(a.y + inset), static_cast<LONG>(b.x - 1),
                       static_cast<LONG>(b.y - 1)},
                  context.brushState.color);
    }
    if (outlined) {
      PixelPoint tl{a.x, a.y}, tr{b.x - 1, a.y}, br{b.x - 1, b.y - 1}, bl{a.x, b.y - 1};
      DrawLine(raster, pen, tl, tr);
      DrawLine(raster, pen, tr, br);
      DrawLine(raster, pen, br, bl);
      DrawLine(raster, pen, bl, tl);
      if (tl.x == tr.x && tl.y == bl.y) Stamp(raster, pen, tl.x, tl.y);  // a single pixel
    }
    return TRUE;
  });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return WithDC(dc, [&](DeviceContext& context, Raster& raster) -> BOOL {
    PixelPoint p = ToPixels(context, left, top), q = ToPixels(context, right, bottom);
    Normalize(p.x, p.y, q.x, q.y);
    i64 w = q.x - p.x, h = q.y - p.y;
    if (w < 1 || h < 1) return TRUE;
    if (w > kLargestEllipse || h > kLargestEllipse) return FALSE;
    // Even sizes have two centre columns (rows); each half uses its own.
    i64 a = (w - 1) / 2, b = (h - 1) / 2;
    i64 xLeft = p.x + a, xRight = p.x + w - 1 - a, yTop = p.y + b, yBottom = p.y + h - 1 - b;
    const PenState& pen = context.penState;
    if (!context.brushState.hollow) {
      std::vector<i64> widest(static_cast<std::size_t>(b) + 1, 0);
      EllipseQuadrant(a, b, [&](i64 x, i64 y) { widest[static_cast<std::size_t>(y)] = std::max(widest[static_cast<std::size_t>(y)], x); });
      for (i64 y = 0; y <= b; ++y) {
        i64 x = widest[static_cast<std::size_t>(y)];
        raster.Span(static_cast<int>(xLeft - x), static_cast<int>(xRight + x + 1), static_cast<int>(yTop - y), context.brushState.color);
        raster.Span(static_cast<int>(xLeft - x), static_cast<int>(xRight + x + 1), static_cast<int>(yBottom + y), context.brushState.color);
      }
    }
    if (pen.style != PS_NULL) {
      EllipseQuadrant(a, b, [&](i64 x, i64 y) {
        Stamp(raster, pen, xLeft - x, yTop - y);
        Stamp(raster, pen, xRight + x, yTop - y);
        Stamp(raster, pen, xLeft - x, yBottom + y);
        Stamp(raster, pen, xRight + x, yBottom + y);
      });
    }
    return TRUE;
  });
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  BrushState state;
  if (!rect || !BrushColor(brush, state)) return 0;
  return WithDC(dc, [&](DeviceContext& context, Raster& raster) {
    PixelPoint a = ToPixels(context, rect->left, rect->top), b = ToPixels(context, rect->right, rect->bottom);
    if (!state.hollow) {
      raster.Fill(RECT{static_cast<LONG>(a.x), static_cast<LONG>(a.y), static_cast<LONG>(b.x), static_cast<LONG>(b.y)},
                  state.color);
    }
    return TRUE;
  });
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (length < 0 || (!text && length > 0)) return FALSE;
  return WithDC(dc, [&](DeviceContext& context, Raster& raster) {
    const i64 s = context.fontState.scale;
    const i64 cellW = kGlyphWidth * s, cellH = kGlyphHeight * s;
    PixelPoint origin = ToPixels(context, x, y);
    const RECT& clip = raster.Clip();
    for (int i = 0; i < length; ++i) {
      i64 left = origin.x + i * cellW;
      if (left >= clip.right) break;
      if (left + cellW <= clip.left || origin.y >= clip.bottom || origin.y + cellH <= clip.top) continue;
      if (context.bkMode == OPAQUE) {
        raster.Fill(RECT{static_cast<LONG>(left), static_cast<LONG>(origin.y), static_cast<LONG>(left + cellW),
                         static_cast<LONG>(origin.y + cellH)},
                    context.bkColor);
      }
      const GlyphRows& glyph = Glyph(static_cast<unsigned char>(text[i]));
      for (int row = 0; row < kGlyphHeight; ++row) {
        for (int col = 0; col < kGlyphWidth; ++col) {
          if (!(glyph[static_cast<std::size_t>(row)] & (0x80u >> col))) continue;
          for (i64 sy = 0; sy < s; ++sy) {
            i64 py = origin.y + row * s + sy;
            raster.Span(static_cast<int>(left + col * s), static_cast<int>(left + col * s + s), static_cast<int>(py),
                        context.textColor);
          }
        }
      }
    }
    return TRUE;
  });
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
  if (!size || length < 0 || (!text && length > 0)) return FALSE;
  return WithDC(dc, [&](DeviceContext& context, Raster&) {
    int s = context.fontState.scale;
    size->cx = static_cast<LONG>(std::min<i64>(i64{kGlyphWidth} * s * length, kCoordLimit));
    size->cy = kGlyphHeight * s;
    return TRUE;
  });
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  COLORREF result = CLR_INVALID;
  WithDC(dc, [&](DeviceContext& context, Raster& raster) {
    PixelPoint p = ToPixels(context, x, y);
    if (!raster.Inside(static_cast<int>(p.x), static_cast<int>(p.y))) return FALSE;
    raster.Plot(static_cast<int>(p.x), static_cast<int>(p.y), color & 0xFFFFFF);
    result = raster.Read(static_cast<int>(p.x), static_cast<int>(p.y));
    return TRUE;
  });
  return result;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  COLORREF result = CLR_INVALID;
  WithDC(dc, [&](DeviceContext& context, Raster& raster) {
    PixelPoint p = ToPixels(context, x, y);
    if (!raster.Inside(static_cast<int>(p.x), static_cast<int>(p.y))) return FALSE;
    result = raster.Read(static_cast<int>(p.x), static_cast<int>(p.y));
    return TRUE;
  });
  return result;
}

}  // namespace kv
