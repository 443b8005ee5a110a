// Writing pixels of every layout a device context supports, clipped. All
// coordinates here are pixel coordinates of the target. Internal to GDI.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "korvane3d/platform/win/GdiInternal.h"

namespace kv::win::detail {

class Raster {
 public:
  explicit Raster(const DcTarget& target) : t_(target.pixels), clip_(target.clip) {}

  const RECT& Clip() const { return clip_; }
  bool Inside(int x, int y) const { return x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom; }

  void Plot(int x, int y, COLORREF color) {
    if (Inside(x, y)) Write(Row(y), x, Native(color));
  }
  // Pixels x0..x1-1 of row y.
  void Span(int x0, int x1, int y, COLORREF color) {
    if (y < clip_.top || y >= clip_.bottom) return;
    x0 = std::max(x0, static_cast<int>(clip_.left));
    x1 = std::min(x1, static_cast<int>(clip_.right));
    if (x0 >= x1) return;
    std::uint32_t native = Native(color);
    std::uint8_t* row = Row(y);
    switch (t_.layout) {
      case PixelLayout::XRGB8888:
        std::fill_n(reinterpret_cast<std::uint32_t*>(row) + x0, x1 - x0, native);
        break;
      case PixelLayout::RGB565:
        std::fill_n(reinterpret_cast<std::uint16_t*>(row) + x0, x1 - x0, static_cast<std::uint16_t>(native));
        break;
      case PixelLayout::RGB888:
        for (int x = x0; x < x1; ++x) Write(row, x, native);
        break;
    }
  }
  void Fill(const RECT& r, COLORREF color) {
    for (int y = std::max(r.top, clip_.top); y < std::min(r.bottom, clip_.bottom); ++y) Span(r.left, r.right, y, color);
  }
  // The colour at (x, y), which must be inside the pixels.
  COLORREF Read(int x, int y) const {
    const std::uint8_t* row = static_cast<const std::uint8_t*>(t_.pixels) + static_cast<std::ptrdiff_t>(y) * t_.pitchBytes;
    switch (t_.layout) {
      case PixelLayout::XRGB8888: {
        std::uint32_t v;
        std::memcpy(&v, row + x * 4, 4);
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
      }
      case PixelLayout::RGB565: {
        std::uint16_t v;
        std::memcpy(&v, row + x * 2, 2);
        unsigned r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
        return RGB(static_cast<BYTE>((r << 3) | (r >> 2)), static_cast<BYTE>((g << 2) | (g >> 4)),
                   static_cast<BYTE>((b << 3) | (b >> 2)));
      }
      case PixelLayout::RGB888:
        return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    }
    return CLR_INVALID;
  }

 private:
  std::uint8_t* Row(int y) { return static_cast<std::uint8_t*>(t_.pixels) + static_cast<std::ptrdiff_t>(y) * t_.pitchBytes; }

  std::uint32_t Native(COLORREF c) const {
    std::uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (t_.layout == PixelLayout::RGB565) return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    return (r << 16) | (g << 8) | b;  // XRGB, and RGB888 stored blue first
  }
  void Write(std::uint8_t* row, int x, std::uint32_t native) {
    switch (t_.layout) {
      case PixelLayout::XRGB8888:
        std::memcpy(row + x * 4, &native, 4);
        break;
      case PixelLayout::RGB565: {
        auto v = static_cast<std::uint16_t>(native);
        std::memcpy(row + x * 2, &v, 2);
        break;
      }
      case PixelLayout::RGB888:
        row[x * 3] = static_cast<std::uint8_t>(native);
        row[x * 3 + 1] = static_cast<std::uint8_t>(native >> 8);
        row[x * 3 + 2] = static_cast<std::uint8_t>(native >> 16);
        break;
    }
  }

  PixelTarget t_;
  RECT clip_;
};

}  // namespace kv::win::detail
