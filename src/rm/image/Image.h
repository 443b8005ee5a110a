// Images for textures and backgrounds: BMP, PPM/PGM and PNG, decoded into one
// plain 32-bit layout. Every decoder is defensive: truncated data, bad counts
// and absurd sizes give an error status, never a crash and never an
// allocation beyond what the data can fill.
#pragma once

#include <cstdint>
#include <memory>
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

// On failure every decoder leaves `out` exactly as it was.
//
// BMP: OS/2 1.x and 2.x, Windows 3 (40-byte) to V5 headers; 1, 2, 4, 8, 16,
// 24 and 32 bits; uncompressed, RLE4, RLE8, OS/2 RLE24 and bit fields (masks
// of any width, scaled to 8 bits). Palette indices beyond the palette read as
// opaque black. Pixels an RLE stream skips (delta, early end of line or of
// bitmap) stay 0 (transparent) and set hasAlpha. 32-bit alpha is kept only
// when the header declares an alpha mask and some pixel has non-zero alpha.
// PNM: P1-P6, maxval 1..65535 (wider samples scaled to 8 bits).
// PNG: every colour type and depth, interlaced or not; tRNS gives alpha.
Format DetectFormat(std::span<const std::uint8_t> bytes);
Result Decode(std::span<const std::uint8_t> bytes, Image& out);  // by content, not by name
Result DecodeBmp(std::span<const std::uint8_t> bytes, Image& out);
Result DecodePnm(std::span<const std::uint8_t> bytes, Image& out);
Result DecodePng(std::span<const std::uint8_t> bytes, Image& out);
// Files: only regular files are read (a FIFO or device is refused without
// blocking), and a file's head is checked before the rest of it is read, so
// a file that cannot be an acceptable image costs no more than its first
// 64 KiB.
Result LoadImageFile(std::string_view path, Image& out);
// The same, but images decoded from the same file (the same content: a
// rewritten file is decoded again) are one shared image for as long as
// anyone holds it.
Result LoadSharedImageFile(std::string_view path, std::shared_ptr<const Image>& out);

// Writes an 8-bit RGB (or RGBA when withAlpha) PNG, top row first.
Result SavePng(std::string_view path, const Image& image, bool withAlpha = false);
// The same PNG, appended to `out` in memory.
Result EncodePng(const Image& image, std::vector<std::uint8_t>& out, bool withAlpha = false);

// "Ok", "Corrupt", ...: for logs and test messages.
const char* StatusName(Status status);

}  // namespace kv::image
