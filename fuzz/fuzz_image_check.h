// The checks every image fuzz target makes on a decoder's result.
#pragma once

#include "korvane3d/rm/image/Image.h"
#include "korvane3d/rm/image/ImageCommon.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace kv::image::fuzz {

using Decoder = Result (*)(std::span<const std::uint8_t>, Image&);

// Loading the bytes as a file (the head checked first, a PNG read as it
// decodes, the other formats read whole) gives what decoding them in memory
// gives. The file lives in memory and is rewritten for every input.
inline void CheckFileLoad(std::span<const std::uint8_t> bytes) {
  static const int fd = ::memfd_create("fuzz-image", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
  if (!bytes.empty() && ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) std::abort();
  Image fromMemory, fromFile;
  const bool decoded = static_cast<bool>(Decode(bytes, fromMemory));
  const bool loaded = static_cast<bool>(LoadImageFile(path, fromFile));
  if (decoded != loaded || fromMemory.width != fromFile.width || fromMemory.height != fromFile.height ||
      fromMemory.hasAlpha != fromFile.hasAlpha || fromMemory.pixels != fromFile.pixels)
    std::abort();
}

// A success gives a consistent image within the limits; a failure gives a
// message and leaves the output untouched. The check that file loading
// makes on a file's first bytes never refuses an image that decodes, and
// loading the bytes as a file agrees with decoding them.
inline Image CheckDecoder(Decoder decode, std::span<const std::uint8_t> bytes) {
  CheckFileLoad(bytes);
  Image image;
  const Result r = decode(bytes, image);
  if (!r) {
    if (r.message.empty() || !image.pixels.empty() || image.width != 0) std::abort();
    return image;
  }
  const auto head = bytes.first(std::min(bytes.size(), detail::kHeadBytes));
  if (!detail::CheckHead(head, bytes.size())) std::abort();
  const bool sane = image.width > 0 && image.height > 0 && image.width <= kMaxSide && image.height <= kMaxSide &&
                    image.pixels.size() == static_cast<std::size_t>(image.width) * image.height;
  if (!sane) std::abort();
  return image;
}

}  // namespace kv::image::fuzz
