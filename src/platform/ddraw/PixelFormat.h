// The pixel formats surfaces can have, and the conversions between them and
// DDPIXELFORMAT. Internal to the display layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "korvane3d/platform/ddraw/DDrawTypes.h"

namespace kv::ddraw {

enum class Format {
  Pal8,      // 8-bit palette indices (listed display modes only; no surfaces)
  Rgb565,    // 16 bits: red 15-11, green 10-5, blue 4-0
  Rgb888,    // 24 bits: bytes blue, green, red
  Xrgb8888,  // 32 bits: 0x00RRGGBB
  Z16,       // depth, 16 bits
  Z24,       // depth, 24 bits in the low bits of 32
  Z24S8,     // depth 24 bits (high), stencil 8 bits (low), 32 bits
  Z32,       // depth, 32 bits
};

int BytesPerPixel(Format format);
int BitsPerPixel(Format format);
bool IsDepth(Format format);

DDPIXELFORMAT ToPixelFormat(Format format);
// The colour format of a display mode of this many bits per pixel.
std::optional<Format> ColorFormatForBits(DWORD bits);
// Which format a DDPIXELFORMAT describes; nullopt for formats surfaces
// cannot have (palettes, 5-5-5, alpha, YUV, odd masks).
std::optional<Format> SurfaceColorFormat(const DDPIXELFORMAT& pf);
std::optional<Format> DepthFormat(const DDPIXELFORMAT& pf);

// Colour pixels to and from 0x00RRGGBB. For depth formats these copy the
// raw value (used only by same-format copies).
std::uint32_t LoadXrgb(Format format, const std::byte* pixel);
void StoreXrgb(Format format, std::byte* pixel, std::uint32_t xrgb);
// Raw pixel values of the format, as DDBLTFX::dwFillColor gives them.
void StoreRaw(Format format, std::byte* pixel, std::uint32_t raw);

}  // namespace kv::ddraw
