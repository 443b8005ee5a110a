// In-memory BMP construction and test pictures, shared by the image tests and
// the image benchmark. No test framework here.
#pragma once

#include "korvane3d/rm/image/Image.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kv::image::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = v & 255;
  b[at + 1] = (v >> 8) & 255;
}
inline void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 255;
}

// A BMP made field by field, so tests can state exactly what is in the file.
struct BmpLayout {
  int width = 2;
  int height = 2;          // negative: top-down
  int bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t infoSize = 40;
  std::vector<std::uint32_t> palette{};  // 0x00RRGGBB entries
  std::vector<std::uint32_t> masks{};    // after a 40-byte header, or inside a larger one
  std::uint32_t colorsUsed = 0;
  Bytes pixelData{};                   // exactly as stored in the file
  std::size_t gapBeforePixels = 0;
  long long dataOffset = -1;           // -1: computed
  long long fileSize = -1;             // -1: computed
};

inline Bytes BuildBmp(const BmpLayout& s) {
  const bool core = s.infoSize == 12;
  const std::size_t masksAfter = (s.infoSize == 40) ? s.masks.size() * 4 : 0;
  const std::size_t paletteAt = 14 + s.infoSize + masksAfter;
  const std::size_t entry = core ? 3 : 4;
  const std::size_t dataAt = paletteAt + s.palette.size() * entry + s.gapBeforePixels;
  Bytes b(dataAt + s.pixelData.size(), 0);
  b[0] = 'B';
  b[1] = 'M';
  PutLe32(b, 2, s.fileSize >= 0 ? static_cast<std::uint32_t>(s.fileSize) : static_cast<std::uint32_t>(b.size()));
  PutLe32(b, 10, s.dataOffset >= 0 ? static_cast<std::uint32_t>(s.dataOffset) : static_cast<std::uint32_t>(dataAt));
  PutLe32(b, 14, s.infoSize);
  if (core) {
    PutLe16(b, 18, s.width);
    PutLe16(b, 20, s.height);
    PutLe16(b, 22, 1);
    PutLe16(b, 24, s.bitCount);
  } else {
    PutLe32(b, 18, static_cast<std::uint32_t>(s.width));
    PutLe32(b, 22, static_cast<std::uint32_t>(s.height));
    PutLe16(b, 26, 1);
    PutLe16(b, 28, s.bitCount);
    PutLe32(b, 30, s.compression);
    PutLe32(b, 38, 2835);
    PutLe32(b, 42, 2835);
    PutLe32(b, 46, s.colorsUsed);
    for (std::size_t i = 0; i < s.masks.size(); ++i) PutLe32(b, 54 + 4 * i, s.masks[i]);
  }
  for (std::size_t i = 0; i < s.palette.size(); ++i) {
    const std::uint32_t c = s.palette[i];
    b[paletteAt + i * entry] = c & 255;
    b[paletteAt + i * entry + 1] = (c >> 8) & 255;
    b[paletteAt + i * entry + 2] = (c >> 16) & 255;
  }
  std::copy(s.pixelData.begin(), s.pixelData.end(), b.begin() + dataAt);
  return b;
}

// The stored rows of a 24-bit BMP holding `image` (bottom-up, padded).
inline Bytes Bgr24Rows(const Image& image) {
  const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) / 4 * 4;
  Bytes rows(stride * image.height, 0);
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* row = rows.data() + stride * (image.height - 1 - y);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.At(x, y);
      row[3 * x] = p & 255;
      row[3 * x + 1] = (p >> 8) & 255;
      row[3 * x + 2] = (p >> 16) & 255;
    }
  }
  return rows;
}

// A deterministic test picture with every channel varying.
inline Image Gradient(int width, int height, bool withAlpha = false) {
  Image image;
  image.width = width;
  image.height = height;
  image.hasAlpha = withAlpha;
  image.pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t a = withAlpha ? (x * 7 + y * 3) & 255 : 255;
      image.pixels[static_cast<std::size_t>(y) * width + x] =
          (a << 24) | (((x * 255) / std::max(1, width - 1)) << 16) | (((y * 255) / std::max(1, height - 1)) << 8) | ((x ^ y) & 255);
    }
  }
  return image;
}

}  // namespace kv::image::test
