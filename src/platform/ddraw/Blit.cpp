#include "korvane3d/platform/ddraw/Blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kv::ddraw {

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) return RECT{};
  return r;
}

bool Contains(const RECT& outer, const RECT& inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

RECT Offset(const RECT& r, LONG dx, LONG dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

void Fill(const PixelView& dst, const RECT& area, std::uint32_t raw) {
  if (IsEmpty(area)) return;
  const int bpp = BytesPerPixel(dst.format);
  const int w = area.right - area.left;
  // Build one row, then copy it down.
  std::vector<std::byte> row(static_cast<std::size_t>(w) * bpp);
  for (int x = 0; x < w; ++x) StoreRaw(dst.format, row.data() + static_cast<std::size_t>(x) * bpp, raw);
  for (LONG y = area.top; y < area.bottom; ++y) std::memcpy(dst.At(area.left, y), row.data(), row.size());
}

namespace {

// Source coordinate of each destination column or row: the pixel under the
// destination pixel's centre.
std::vector<int> NearestMap(LONG destStart, LONG destLen, LONG srcStart, LONG srcLen, LONG from, LONG to) {
  std::vector<int> map;
  map.reserve(static_cast<std::size_t>(to - from));
  for (LONG d = from; d < to; ++d) {
    long long offset = (2LL * (d - destStart) + 1) * srcLen / (2LL * destLen);
    map.push_back(static_cast<int>(srcStart + offset));
  }
  return map;
}

void CopyRow(const PixelView& dst, const PixelView& src, int dy, int sy, LONG x0, const std::vector<int>& cols,
             bool straight) {
  std::byte* out = dst.At(x0, dy);
  const int dbpp = BytesPerPixel(dst.format);
  if (src.format == dst.format) {
    if (straight) {
      std::memcpy(out, src.At(cols.front(), sy), cols.size() * static_cast<std::size_t>(dbpp));
      return;
    }
    for (int sx : cols) {
      std::memcpy(out, src.At(sx, sy), static_cast<std::size_t>(dbpp));
      out += dbpp;
    }
    return;
  }
  for (int sx : cols) {
    StoreXrgb(dst.format, out, LoadXrgb(src.format, src.At(sx, sy)));
    out += dbpp;
  }
}

// A copy of the source rectangle, for copies within one block of memory.
struct Detached {
  std::vector<std::byte> bytes;
  PixelView view;
  RECT rect;
};

Detached Detach(const PixelView& src, const RECT& srcRect) {
  Detached d;
  const int bpp = BytesPerPixel(src.format);
  const int w = srcRect.right - srcRect.left, h = srcRect.bottom - srcRect.top;
  d.bytes.resize(static_cast<std::size_t>(w) * h * bpp);
  d.view = PixelView{d.bytes.data(), w, h, w * bpp, src.format};
  for (int y = 0; y < h; ++y)
    std::memcpy(d.view.At(0, y), src.At(srcRect.left, srcRect.top + y), static_cast<std::size_t>(w) * bpp);
  d.rect = RECT{0, 0, w, h};
  return d;
}

}  // namespace

void StretchCopy(const PixelView& dst, const RECT& destRect, const RECT& clip, const PixelView& src,
                 const RECT& srcRect) {
  RECT area = Intersect(Intersect(destRect, clip), dst.Bounds());
  if (IsEmpty(area) || IsEmpty(srcRect) || IsEmpty(destRect)) return;
  if (src.data == dst.data) {
    Detached copy = Detach(src, srcRect);
    StretchCopy(dst, destRect, clip, copy.view, copy.rect);
    return;
  }
  const LONG dw = destRect.right - destRect.left, dh = destRect.bottom - destRect.top;
  const LONG sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
  std::vector<int> cols = NearestMap(destRect.left, dw, srcRect.left, sw, area.left, area.right);
  std::vector<int> rows = NearestMap(destRect.top, dh, srcRect.top, sh, area.top, area.bottom);
  const bool straight = dw == sw;
  for (std::size_t i = 0; i < rows.size(); ++i)
    CopyRow(dst, src, static_cast<int>(area.top + static_cast<LONG>(i)), rows[i], area.left, cols, straight);
}

}  // namespace kv::ddraw
