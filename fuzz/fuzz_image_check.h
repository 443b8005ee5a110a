// The checks every image fuzz target makes on a decoder's result.
#pragma once

#include "korvane3d/rm/image/Image.h"

#include <cstdint>
#include <cstdlib>
#include <span>

namespace kv::image::fuzz {

using Decoder = Result (*)(std::span<const std::uint8_t>, Image&);

// A success gives a consistent image within the limits; a failure gives a
// message and leaves the output untouched.
inline Image CheckDecoder(Decoder decode, std::span<const std::uint8_t> bytes) {
  Image image;
  const Result r = decode(bytes, image);
  if (!r) {
    if (r.message.empty() || !image.pixels.empty() || image.width != 0) std::abort();
    return image;
  }
  const bool sane = image.width > 0 && image.height > 0 && image.width <= kMaxSide && image.height <= kMaxSide &&
                    image.pixels.size() == static_cast<std::size_t>(image.width) * image.height;
  if (!sane) std::abort();
  return image;
}

}  // namespace kv::image::fuzz
