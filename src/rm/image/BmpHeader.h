// BMP headers: the file header and every info-header version (OS/2 1.x and
// 2.x, Windows 3 to V5) read into one validated description that the pixel
// decoders rely on. Internal to the image layer.
#pragma once

#include "korvane3d/rm/image/Image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kv::image::bmp {

enum class Encoding { Rgb, Bitfields, Rle4, Rle8, Rle24 };

struct ChannelMasks {
  std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
};

struct BmpHeader {
  int width = 0;
  int height = 0;        // always positive; topDown tells the row order
  bool topDown = false;
  int bitCount = 0;      // 1, 2, 4, 8, 16, 24 or 32
  Encoding encoding = Encoding::Rgb;
  ChannelMasks masks;    // 16- and 32-bit pixels; alpha is 0 when the format has none
  // 1- to 8-bit pixels: entries past the file's palette are opaque black.
  std::array<std::uint32_t, 256> palette{};
  std::size_t dataOffset = 0;  // where the pixel data starts (inside the file)
};

// Reads and checks everything before the pixel data. On success `header`
// describes a decodable image within the size limits.
Result ParseHeader(std::span<const std::uint8_t> bytes, BmpHeader& header);

// The checks of ParseHeader that need no more than the file's first bytes
// (`head`) and its size: signature, info header, size limits, encoding.
Result CheckHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes);

// Decode the pixel data into an allocated width x height image.
Result DecodeRows(std::span<const std::uint8_t> data, const BmpHeader& header, Image& image);
Result DecodeRle(std::span<const std::uint8_t> data, const BmpHeader& header, Image& image);

}  // namespace kv::image::bmp
