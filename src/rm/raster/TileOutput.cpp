#include "korvane3d/rm/raster/TileOutput.h"

#include <algorithm>
#include <cstring>

namespace kv::raster {
namespace {

std::uint32_t* ColorRow(const TileTarget& t, int y) {
  return t.color + static_cast<std::ptrdiff_t>(y) * t.colorPitch;
}

// Quantises an 8-bit channel to `bits` bits: rounded, or with ordered
// dithering floor(level + (threshold + 0.5) / 16), which keeps the average.
std::uint32_t Quantise(std::uint32_t v, int bits, int threshold) {
  const std::uint32_t max = (1u << bits) - 1;
  if (threshold < 0) return (v * max + 127) / 255;
  const float level = static_cast<float>(v * max) / 255.0f + (static_cast<float>(threshold) + 0.5f) / 16.0f;
  return std::min(max, static_cast<std::uint32_t>(level));
}

std::uint32_t Expand(std::uint32_t v, int bits) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); }

}  // namespace

int DitherThreshold(int x, int y) {
  static constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  return kBayer[y & 3][x & 3];
}

std::uint16_t PackRgb565(std::uint32_t c, int threshold) {
  return static_cast<std::uint16_t>((Quantise((c >> 16) & 255, 5, threshold) << 11) |
                                    (Quantise((c >> 8) & 255, 6, threshold) << 5) |
                                    Quantise(c & 255, 5, threshold));
}

std::uint16_t PackRgb555(std::uint32_t c, int threshold) {
  return static_cast<std::uint16_t>((Quantise((c >> 16) & 255, 5, threshold) << 10) |
                                    (Quantise((c >> 8) & 255, 5, threshold) << 5) |
                                    Quantise(c & 255, 5, threshold));
}

void FillTileColor(const TileTarget& t, std::uint32_t xrgb) {
  for (int y = t.y0; y < t.y1; ++y) std::fill(ColorRow(t, y) + t.x0, ColorRow(t, y) + t.x1, xrgb & 0xffffffu);
}

void FillTileBackground(const TileTarget& t, const Texture& image, const Rect& vp) {
  const TextureLevel& level = image.GetLevel(0);
  const double sx = static_cast<double>(level.width) / vp.width, sy = static_cast<double>(level.height) / vp.height;
  for (int y = t.y0; y < t.y1; ++y) {
    int ty = std::min(level.height - 1, static_cast<int>((y - vp.y + 0.5) * sy));
    const std::uint32_t* src = level.texels + static_cast<std::ptrdiff_t>(ty) * level.pitch;
    std::uint32_t* dst = ColorRow(t, y);
    for (int x = t.x0; x < t.x1; ++x) {
      int tx = std::min(level.width - 1, static_cast<int>((x - vp.x + 0.5) * sx));
      dst[x] = src[tx] & 0xffffffu;
    }
  }
}

void ClearTileDepth(const TileTarget& t) {
  for (int y = t.y0; y < t.y1; ++y) {
    std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * t.depthPitch;
    if (t.depthF)
      std::fill(t.depthF + row + t.x0, t.depthF + row + t.x1, 1.0f);
    else
      std::fill(t.depth16 + row + t.x0, t.depth16 + row + t.x1, std::uint16_t{65535});
  }
}

void LoadTileFromTarget(const Target& target, const TileTarget& t) {
  for (int y = t.y0; y < t.y1; ++y) {
    const auto* row = static_cast<const std::uint8_t*>(target.pixels) + static_cast<std::ptrdiff_t>(y) * target.pitch;
    std::uint32_t* dst = ColorRow(t, y);
    for (int x = t.x0; x < t.x1; ++x) {
      std::uint32_t c = 0;
      switch (target.format) {
        case PixelFormat::Xrgb8888: std::memcpy(&c, row + 4 * x, 4); c &= 0xffffffu; break;
        case PixelFormat::Rgb888: c = row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16); break;
        case PixelFormat::Rgb565: {
          std::uint16_t p;
          std::memcpy(&p, row + 2 * x, 2);
          c = (Expand(p >> 11, 5) << 16) | (Expand((p >> 5) & 63, 6) << 8) | Expand(p & 31, 5);
          break;
        }
        case PixelFormat::Rgb555: {
          std::uint16_t p;
          std::memcpy(&p, row + 2 * x, 2);
          c = (Expand((p >> 10) & 31, 5) << 16) | (Expand((p >> 5) & 31, 5) << 8) | Expand(p & 31, 5);
          break;
        }
      }
      dst[x] = c;
    }
  }
}

void StoreTileToTarget(const Target& target, const TileTarget& t, bool dither) {
  for (int y = t.y0; y < t.y1; ++y) {
    auto* row = static_cast<std::uint8_t*>(target.pixels) + static_cast<std::ptrdiff_t>(y) * target.pitch;
    const std::uint32_t* src = ColorRow(t, y);
    for (int x = t.x0; x < t.x1; ++x) {
      const std::uint32_t c = src[x];
      const int threshold = dither ? DitherThreshold(x, y) : -1;
      switch (target.format) {
        case PixelFormat::Xrgb8888: std::memcpy(row + 4 * x, &c, 4); break;
        case PixelFormat::Rgb888:
          row[3 * x] = static_cast<std::uint8_t>(c);
          row[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
          row[3 * x + 2] = static_cast<std::uint8_t>(c >> 16);
          break;
        case PixelFormat::Rgb565: {
          std::uint16_t p = PackRgb565(c, threshold);
          std::memcpy(row + 2 * x, &p, 2);
          break;
        }
        case PixelFormat::Rgb555: {
          std::uint16_t p = PackRgb555(c, threshold);
          std::memcpy(row + 2 * x, &p, 2);
          break;
        }
      }
    }
  }
}

}  // namespace kv::raster
