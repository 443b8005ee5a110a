#include "korvane3d/platform/ddraw/PixelFormat.h"

#include <cstring>

namespace kv::ddraw {

int BytesPerPixel(Format format) {
  switch (format) {
    case Format::Pal8: return 1;
    case Format::Rgb565:
    case Format::Z16: return 2;
    case Format::Rgb888: return 3;
    case Format::Xrgb8888:
    case Format::Z24:
    case Format::Z24S8:
    case Format::Z32: return 4;
  }
  return 4;
}

int BitsPerPixel(Format format) {
  switch (format) {
    case Format::Z24: return 24;
    default: return BytesPerPixel(format) * 8;
  }
}

bool IsDepth(Format format) {
  return format == Format::Z16 || format == Format::Z24 || format == Format::Z24S8 || format == Format::Z32;
}

namespace {

DDPIXELFORMAT Rgb(DWORD bits, DWORD r, DWORD g, DWORD b) {
  DDPIXELFORMAT pf;
  pf.dwSize = sizeof(DDPIXELFORMAT);
  pf.dwFlags = DDPF_RGB;
  pf.dwRGBBitCount = bits;
  pf.dwRBitMask = r;
  pf.dwGBitMask = g;
  pf.dwBBitMask = b;
  return pf;
}

DDPIXELFORMAT Depth(DWORD flags, DWORD bits, DWORD zMask, DWORD stencilBits, DWORD stencilMask) {
  DDPIXELFORMAT pf;
  pf.dwSize = sizeof(DDPIXELFORMAT);
  pf.dwFlags = flags;
  pf.dwZBufferBitDepth = bits;
  pf.dwStencilBitDepth = stencilBits;
  pf.dwZBitMask = zMask;
  pf.dwStencilBitMask = stencilMask;
  return pf;
}

}  // namespace

DDPIXELFORMAT ToPixelFormat(Format format) {
  switch (format) {
    case Format::Pal8: {
      DDPIXELFORMAT pf = Rgb(8, 0, 0, 0);
      pf.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
      return pf;
    }
    case Format::Rgb565: return Rgb(16, 0xF800, 0x07E0, 0x001F);
    case Format::Rgb888: return Rgb(24, 0xFF0000, 0x00FF00, 0x0000FF);
    case Format::Xrgb8888: return Rgb(32, 0xFF0000, 0x00FF00, 0x0000FF);
    case Format::Z16: return Depth(DDPF_ZBUFFER, 16, 0xFFFF, 0, 0);
    case Format::Z24: return Depth(DDPF_ZBUFFER, 24, 0x00FFFFFF, 0, 0);
    case Format::Z24S8: return Depth(DDPF_ZBUFFER | DDPF_STENCILBUFFER, 32, 0xFFFFFF00, 8, 0x000000FF);
    case Format::Z32: return Depth(DDPF_ZBUFFER, 32, 0xFFFFFFFF, 0, 0);
  }
  return {};
}

std::optional<Format> ColorFormatForBits(DWORD bits) {
  switch (bits) {
    case 8: return Format::Pal8;
    case 16: return Format::Rgb565;
    case 24: return Format::Rgb888;
    case 32: return Format::Xrgb8888;
    default: return std::nullopt;
  }
}

std::optional<Format> SurfaceColorFormat(const DDPIXELFORMAT& pf) {
  if (pf.dwFlags != DDPF_RGB) return std::nullopt;
  for (Format f : {Format::Rgb565, Format::Rgb888, Format::Xrgb8888}) {
    DDPIXELFORMAT known = ToPixelFormat(f);
    if (pf.dwRGBBitCount == known.dwRGBBitCount && pf.dwRBitMask == known.dwRBitMask &&
        pf.dwGBitMask == known.dwGBitMask && pf.dwBBitMask == known.dwBBitMask)
      return f;
  }
  return std::nullopt;
}

std::optional<Format> DepthFormat(const DDPIXELFORMAT& pf) {
  if (!(pf.dwFlags & DDPF_ZBUFFER)) return std::nullopt;
  for (Format f : {Format::Z16, Format::Z24, Format::Z24S8, Format::Z32}) {
    DDPIXELFORMAT known = ToPixelFormat(f);
    if (pf.dwFlags == known.dwFlags && pf.dwZBufferBitDepth == known.dwZBufferBitDepth &&
        pf.dwZBitMask == known.dwZBitMask)
      return f;
  }
  // Callers that give only flags and a bit depth get the plain format.
  if (pf.dwFlags == DDPF_ZBUFFER && pf.dwZBitMask == 0) {
    switch (pf.dwZBufferBitDepth) {
      case 16: return Format::Z16;
      case 24: return Format::Z24;
      case 32: return Format::Z32;
      default: break;
    }
  }
  return std::nullopt;
}

std::uint32_t LoadXrgb(Format format, const std::byte* p) {
  switch (format) {
    case Format::Rgb565: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      std::uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
      // Widen by repeating the top bits, so 0x1F becomes 0xFF.
      r = (r << 3) | (r >> 2);
      g = (g << 2) | (g >> 4);
      b = (b << 3) | (b >> 2);
      return (r << 16) | (g << 8) | b;
    }
    case Format::Rgb888:
      return std::to_integer<std::uint32_t>(p[0]) | (std::to_integer<std::uint32_t>(p[1]) << 8) |
             (std::to_integer<std::uint32_t>(p[2]) << 16);
    case Format::Pal8: return std::to_integer<std::uint32_t>(p[0]);
    case Format::Z16: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    default: {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return format == Format::Xrgb8888 ? (v & 0x00FFFFFF) : v;
    }
  }
}

void StoreXrgb(Format format, std::byte* p, std::uint32_t xrgb) {
  if (format == Format::Rgb565) {
    std::uint32_t r = (xrgb >> 19) & 0x1F, g = (xrgb >> 10) & 0x3F, b = (xrgb >> 3) & 0x1F;
    StoreRaw(format, p, (r << 11) | (g << 5) | b);
  } else if (format == Format::Xrgb8888) {
    StoreRaw(format, p, xrgb & 0x00FFFFFF);
  } else {
    StoreRaw(format, p, xrgb);
  }
}

void StoreRaw(Format format, std::byte* p, std::uint32_t raw) {
  switch (BytesPerPixel(format)) {
    case 1: p[0] = static_cast<std::byte>(raw); break;
    case 2: {
      auto v = static_cast<std::uint16_t>(raw);
      std::memcpy(p, &v, 2);
      break;
    }
    case 3:
      p[0] = static_cast<std::byte>(raw);
      p[1] = static_cast<std::byte>(raw >> 8);
      p[2] = static_cast<std::byte>(raw >> 16);
      break;
    default: std::memcpy(p, &raw, 4); break;
  }
}

}  // namespace kv::ddraw
