#include "RasterTestSupport.h"

#include <cmath>

#include "korvane3d/rm/image/Image.h"

namespace kv::raster::test {

TestMesh Sphere(int n) {
  TestMesh m;
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= n; ++j) {
      float th = 3.14159265f * i / n, ph = 6.28318531f * j / n;
      Vec3 p{std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph)};
      m.positions.push_back(p);
      m.normals.push_back(p);
      m.uvs.push_back({static_cast<float>(j) / n, static_cast<float>(i) / n});
    }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      std::uint32_t a = i * (n + 1) + j, b = a + 1, c = a + n + 1, d = c + 1;
      m.indices.insert(m.indices.end(), {a, b, c, b, d, c});
    }
  return m;
}

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
