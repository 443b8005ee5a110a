// Helpers for the rasterizer tests: a small canvas with its own target, a
// camera at the origin looking down +z, quads and triangles in front of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "korvane3d/rm/raster/RasterMath.h"
#include "korvane3d/rm/raster/Rasterizer.h"
#include "support/GlDevice.h"

namespace kv::raster::test {

inline constexpr std::uint32_t kBlack = 0x000000;

// For fixtures that draw through the OpenGL back end: UseGl (in SetUp)
// makes it, or skips the test (KV_SKIP_NO_GL); Options hands it to a
// rasterizer, which without it draws itself.
class SinkChoice {
 protected:
  void UseGl() {
    std::string why;
    sink_ = kvtest::GlSinkOrWhy(why);
    if (!sink_) KV_SKIP_NO_GL(why);
  }
  RasterizerOptions Options() const {
    RasterizerOptions o;
    o.sink = sink_;
    return o;
  }
  std::shared_ptr<BatchSink> sink_;
};

struct Rgb {
  int r = 0, g = 0, b = 0;
};
inline Rgb ToRgb(std::uint32_t p) { return {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255),
                                            static_cast<int>(p & 255)}; }

// A 32-bit target with a default view: camera at the origin looking down
// +z, front 1, back 100, field 0.5 (window ±0.5 on the front plane).
struct Canvas {
  int width, height;
  std::vector<std::uint32_t> pixels;
  Target target;
  View view;
  FrameState state;

  Canvas(int w, int h, PixelFormat format = PixelFormat::Xrgb8888, DepthFormat depth = DepthFormat::Float32)
      : width(w), height(h) {
    int bytes = format == PixelFormat::Xrgb8888 ? 4 : (format == PixelFormat::Rgb888 ? 3 : 2);
    int pitch = (w * bytes + 3) & ~3;
    pixels.assign(static_cast<size_t>(pitch / 4 + 1) * h, 0);
    target = {pixels.data(), w, h, pitch, format, depth};
    view.projection.back = 100;
    view.viewport = {0, 0, w, h};
  }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * (target.pitch / 4) + x] & 0xffffff; }
  std::uint16_t At16(int x, int y) const {
    return reinterpret_cast<const std::uint16_t*>(pixels.data())[static_cast<size_t>(y) * (target.pitch / 2) + x];
  }
  // Pixels (x, y) of a 32-bit canvas that are not the given colour.
  int CountNot(std::uint32_t color) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += At(x, y) != color;
    return n;
  }
};

// A mesh owned by the test, viewed through MeshData.
struct TestMesh {
  std::vector<Vec3> positions, normals;
  std::vector<Vec2> uvs;
  std::vector<std::uint32_t> indices, vertexColors, faceColors;
  MeshData View() const {
    MeshData m;
    m.positions = positions;
    m.normals = normals;
    m.uvs = uvs;
    m.indices = indices;
    m.vertexColors = vertexColors;
    m.faceColors = faceColors;
    return m;
  }
};

// An axis-aligned square at depth z, facing the camera (clockwise on screen),
// with normals towards the camera and uv 0..1 from its top-left corner.
inline TestMesh Square(float cx, float cy, float half, float z) {
  TestMesh m;
  m.positions = {{cx - half, cy - half, z}, {cx - half, cy + half, z}, {cx + half, cy + half, z}, {cx + half, cy - half, z}};
  m.normals.assign(4, {0, 0, -1});
  m.uvs = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
  m.indices = {0, 1, 2, 0, 2, 3};
  return m;
}

// A unit UV sphere, n rings by n segments, clockwise from outside, uv over
// the whole texture.
TestMesh Sphere(int n);

inline TestMesh Triangle(Vec3 a, Vec3 b, Vec3 c) {
  TestMesh m;
  m.positions = {a, b, c};
  m.normals.assign(3, {0, 0, -1});
  m.uvs = {{0, 0}, {1, 0}, {0, 1}};
  m.indices = {0, 1, 2};
  return m;
}

// Draws each mesh with the given base draw into a cleared canvas.
inline void Render(Rasterizer& r, Canvas& c, const std::vector<std::pair<TestMesh, DrawCall>>& draws,
                   std::uint32_t clear = kBlack) {
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, clear));
  for (const auto& [mesh, draw] : draws) {
    DrawCall d = draw;
    d.mesh = mesh.View();
    Result res = r.Draw(d);
    ASSERT_TRUE(res) << res.message;
  }
  ASSERT_TRUE(r.EndFrame());
}

inline DrawCall Unlit(std::uint32_t rgb, std::uint32_t alpha = 255) {
  DrawCall d;
  d.lighting = false;
  d.color = (alpha << 24) | (rgb & 0xffffff);
  return d;
}

// Writes an image of a 32-bit canvas into the build tree for a person to look at.
bool SaveCanvasPng(const Canvas& c, const std::string& path);

}  // namespace kv::raster::test
