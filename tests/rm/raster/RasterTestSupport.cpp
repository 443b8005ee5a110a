#include "RasterTestSupport.h"

#include "rm/image/Image.h"

namespace kv::raster::test {

bool SaveCanvasPng(const Canvas& c, const std::string& path) {
  kv::image::Image image;
  image.width = c.width;
  image.height = c.height;
  image.pixels.resize(static_cast<size_t>(c.width) * c.height);
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) image.pixels[static_cast<size_t>(y) * c.width + x] = 0xff000000u | c.At(x, y);
  return static_cast<bool>(kv::image::SavePng(path, image));
}

}  // namespace kv::raster::test
