// Format detection, dispatch by content, file loading and the shared checks.
#include "korvane3d/rm/image/Image.h"

#include "korvane3d/rm/image/ImageCommon.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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

// Files larger than this cannot hold an image within the pixel limits in any
// supported encoding (the widest is ASCII Netpbm), so they are not read.
constexpr std::int64_t kMaxFileBytes = 1LL << 30;

}  // namespace

Format DetectFormat(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return Format::Bmp;
  if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7') return Format::Pnm;
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0) return Format::Png;
  return Format::Unknown;
}

Result Decode(std::span<const std::uint8_t> bytes, Image& out) {
  switch (DetectFormat(bytes)) {
    case Format::Bmp: return DecodeBmp(bytes, out);
    case Format::Pnm: return DecodePnm(bytes, out);
    case Format::Png: return DecodePng(bytes, out);
    case Format::Unknown: break;
  }
  return detail::Fail(Status::UnknownFormat,
                      bytes.empty() ? "no image data (empty file)" : "not a BMP, PPM/PGM or PNG image");
}

Result LoadImageFile(std::string_view path, Image& out) {
  const std::string name(path);
  std::unique_ptr<std::FILE, detail::FileCloser> file(std::fopen(name.c_str(), "rb"));
  if (!file) {
    return detail::Fail(Status::FileNotFound, "cannot open '" + name + "': " + std::strerror(errno));
  }
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (static_cast<std::int64_t>(bytes.size()) > kMaxFileBytes) {
      return detail::Fail(Status::TooLarge, "'" + name + "' is larger than any image this reader accepts");
    }
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) {
    return detail::Fail(Status::FileNotFound, "cannot read '" + name + "' (is it a directory?)");
  }
  Result result = Decode(bytes, out);
  if (!result) result.message = name + ": " + result.message;
  return result;
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
