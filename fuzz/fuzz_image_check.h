// The checks every image fuzz target makes on a decoder's result.
#pragma once

#include "korvane3d/rm/image/Image.h"
#include "korvane3d/rm/image/ImageCommon.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace kv::image::fuzz {

using Decoder = Result (*)(std::span<const std::uint8_t>, Image&);

// A success gives a consistent image within the limits; a failure gives a
// message and leaves the output untouched. The check that file loading
// makes on a file's first bytes never refuses an image that decodes.
inline Image CheckDecoder(Decoder decode, std::span<const std::uint8_t> bytes) {
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
