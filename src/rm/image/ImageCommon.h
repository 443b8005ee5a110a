// Helpers shared by the image decoders: results, size checks and bounded
// little/big-endian reads over a byte span. Internal to the image layer.
#pragma once

#include "korvane3d/platform/win/FileAccess.h"
#include "korvane3d/rm/image/Image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kv::image::detail {

inline Result Fail(Status status, std::string message) { return Result{status, std::move(message)}; }

// Width and height as read from a header (64-bit so that absurd values do not
// wrap). Zero or negative sides are Corrupt; sides or areas beyond kMaxSide /
// kMaxPixels are TooLarge. `what` names the format in the message.
Result CheckDimensions(const char* what, std::int64_t width, std::int64_t height);

// Allocates the pixels of a checked width x height, all zero (transparent black).
void AllocatePixels(Image& image, int width, int height);

// What the first bytes of an image file say, checked before the rest is
// read: a known format, and a size within the limits that a file of
// fileBytes can hold. `head` is the whole file or its first kHeadBytes.
inline constexpr std::size_t kHeadBytes = 65536;
Result CheckHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes);
Result CheckPnmHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes);
Result CheckPngHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes);

// Decodes a PNG file whose head passed CheckHead, reading it as the decoder
// asks for its bytes: data that breaks off early costs what came before,
// not the whole file.
Result DecodePngFile(const files::InputFile& file, Image& out);

inline std::uint16_t ReadLe16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t ReadLe32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::int32_t ReadLe32Signed(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::int32_t>(ReadLe32(b, at));
}

inline constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

inline constexpr std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Scales a sample in 0..maxValue to 0..255, rounding to nearest.
inline std::uint32_t ScaleToByte(std::uint32_t value, std::uint32_t maxValue) {
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) * 255u + maxValue / 2) / maxValue);
}

}  // namespace kv::image::detail
