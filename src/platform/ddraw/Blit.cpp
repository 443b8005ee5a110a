#include "korvane3d/platform/ddraw/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv::ddraw {

namespace {

// Rows at least this long are copied with streaming stores: a whole-surface
// copy (presentation: 8 MB a frame at 1920x1080 in 32 bits, twice in a
// window) then writes memory without first reading every destination line
// into the cache, and leaves in the cache what the renderer reads next.
constexpr std::size_t kStreamRowBytes = 2048;

// memcpy whose stores bypass the cache (SSE2); the caller fences once after
// its last row (FenceStreams).
void StreamCopy(std::byte* dst, const std::byte* src, std::size_t n) {
#if defined(__SSE2__)
  const std::size_t head = std::min(n, (16 - (reinterpret_cast<std::uintptr_t>(dst) & 15)) & 15);
  std::memcpy(dst, src, head);
  dst += head;
  src += head;
  n -= head;
  for (; n >= 64; n -= 64, dst += 64, src += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 48), d);
  }
  for (; n >= 16; n -= 16, dst += 16, src += 16)
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
#endif
  std::memcpy(dst, src, n);
}

// Streaming stores are weakly ordered: fenced before the memory is handed
// to anyone else (the surface's lock is released after this).
void FenceStreams() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

}  // namespace

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
  // Plain stores: a filled surface is usually drawn on next, and streaming
  // the fill past the cache measured slower (bench_present BM_ViewFrame).
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
      const std::size_t bytes = cols.size() * static_cast<std::size_t>(dbpp);
      if (bytes >= kStreamRowBytes)
        StreamCopy(out, src.At(cols.front(), sy), bytes);
      else
        std::memcpy(out, src.At(cols.front(), sy), bytes);
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
  FenceStreams();
}

}  // namespace kv::ddraw
