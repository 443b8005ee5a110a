// Format detection, dispatch by content and the shared checks.
#include "korvane3d/rm/image/Image.h"

#include "korvane3d/rm/image/BmpHeader.h"
#include "korvane3d/rm/image/ImageCommon.h"

#include <cstring>

namespace kv::image {

namespace detail {

Result CheckDimensions(const char* what, std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) {
    return Fail(Status::Corrupt, std::string(what) + ": invalid image size " + std::to_string(width) + "x" +
                                     std::to_string(height));
  }
  if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
    return Fail(Status::TooLarge, std::string(what) + ": image size " + std::to_string(width) + "x" +
                                      std::to_string(height) + " is beyond the limit of " +
                                      std::to_string(kMaxSide) + " pixels a side and " +
                                      std::to_string(kMaxPixels) + " pixels in all");
  }
  return {};
}

void AllocatePixels(Image& image, int width, int height) {
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

}  // namespace detail

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

}  // namespace

Format DetectFormat(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return Format::Bmp;
  if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7') return Format::Pnm;
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0) return Format::Png;
  return Format::Unknown;
}

namespace {

Result NotAnImage(std::span<const std::uint8_t> bytes) {
  return detail::Fail(Status::UnknownFormat,
                      bytes.empty() ? "no image data (empty file)" : "not a BMP, PPM/PGM or PNG image");
}

}  // namespace

Result Decode(std::span<const std::uint8_t> bytes, Image& out) {
  switch (DetectFormat(bytes)) {
    case Format::Bmp: return DecodeBmp(bytes, out);
    case Format::Pnm: return DecodePnm(bytes, out);
    case Format::Png: return DecodePng(bytes, out);
    case Format::Unknown: break;
  }
  return NotAnImage(bytes);
}

Result detail::CheckHead(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  switch (DetectFormat(head)) {
    case Format::Bmp: return bmp::CheckHead(head, fileBytes);
    case Format::Pnm: return CheckPnmHead(head, fileBytes);
    case Format::Png: return CheckPngHead(head, fileBytes);
    case Format::Unknown: break;
  }
  return NotAnImage(head);
}

const char* StatusName(Status status) {
  switch (status) {
    case Status::Ok: return "Ok";
    case Status::FileNotFound: return "FileNotFound";
    case Status::UnknownFormat: return "UnknownFormat";
    case Status::Unsupported: return "Unsupported";
    case Status::Corrupt: return "Corrupt";
    case Status::TooLarge: return "TooLarge";
  }
  return "?";
}

}  // namespace kv::image
