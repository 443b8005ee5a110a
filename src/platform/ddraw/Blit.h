// Pixel copies and fills between blocks of surface memory: the work behind
// Blt, Flip presentation and window presentation. Internal to the display
// layer; callers have validated every rectangle against its surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "korvane3d/platform/ddraw/PixelFormat.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv::ddraw {

struct PixelView {
  std::byte* data = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes per row
  Format format = Format::Xrgb8888;

  std::byte* At(int x, int y) const {
    return data + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * BytesPerPixel(format);
  }
  RECT Bounds() const { return RECT{0, 0, width, height}; }
};

bool IsEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);
bool Contains(const RECT& outer, const RECT& inner);
RECT Offset(const RECT& r, LONG dx, LONG dy);

// Sets every pixel of area to the raw value (in dst's format).
void Fill(const PixelView& dst, const RECT& area, std::uint32_t raw);

// Copies srcRect of src onto destRect of dst, stretching by nearest pixel
// when the sizes differ and converting colour formats; only the pixels of
// destRect that lie inside clip are written. src and dst may be the same
// memory, with overlapping rectangles.
void StretchCopy(const PixelView& dst, const RECT& destRect, const RECT& clip, const PixelView& src,
                 const RECT& srcRect);

}  // namespace kv::ddraw
