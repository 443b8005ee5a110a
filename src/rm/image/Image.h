// Images for textures and backgrounds: BMP, PPM/PGM and PNG, decoded into one
// plain 32-bit layout. Every decoder is defensive: truncated data, bad counts
// and absurd sizes give an error status, never a crash and never an
// allocation beyond what the data can fill.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::image {

// Pixels are 0xAARRGGBB, top row first, rows packed (width pixels each).
struct Image {
  int width = 0;
  int height = 0;
  bool hasAlpha = false;  // the source carried alpha (or a transparency key)
  std::vector<std::uint32_t> pixels;

  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

enum class Format { Unknown, Bmp, Pnm, Png };

enum class Status {
  Ok,
  FileNotFound,  // cannot open or read the file
  UnknownFormat, // not a BMP, PPM/PGM or PNG by its first bytes
  Unsupported,   // a legal variant this reader does not handle (a JPEG inside a BMP, ...)
  Corrupt,       // truncated, inconsistent or out-of-range data
  TooLarge,      // dimensions beyond the limits below
};

struct Result {
  Status status = Status::Ok;
  std::string message;  // what went wrong, for people; empty when Ok
  explicit operator bool() const { return status == Status::Ok; }
};

// Largest accepted image: each side at most 16384 pixels and at most 64
// million pixels in all.
inline constexpr int kMaxSide = 16384;
inline constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;

Format DetectFormat(std::span<const std::uint8_t> bytes);
Result Decode(std::span<const std::uint8_t> bytes, Image& out);  // by content, not by name
Result DecodeBmp(std::span<const std::uint8_t> bytes, Image& out);
Result DecodePnm(std::span<const std::uint8_t> bytes, Image& out);
Result DecodePng(std::span<const std::uint8_t> bytes, Image& out);
Result LoadImageFile(std::string_view path, Image& out);

// Writes an 8-bit RGB (or RGBA when withAlpha) PNG, top row first.
Result SavePng(std::string_view path, const Image& image, bool withAlpha = false);

}  // namespace kv::image
