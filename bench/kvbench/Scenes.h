// The four reference rendering scenes (spheres, textured, fill, many) as plain
// data that every renderer in kvbench draws the same way, at any frame size
// (the reference size is 640x480; larger frames keep the 45-degree vertical
// field of view and widen the horizontal one with the aspect).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvane3d/rm/raster/RasterTypes.h"

namespace kvbench {

using namespace kv;

inline constexpr int kReferenceWidth = 640, kReferenceHeight = 480;

struct BenchMesh {
  std::vector<kv::raster::Vec3> positions;
  std::vector<kv::raster::Vec3> normals;
  std::vector<kv::raster::Vec2> uvs;
  std::vector<std::uint32_t> colors;     // per vertex, 0xAARRGGBB (fill scene)
  std::vector<std::uint16_t> indices16;  // triangle list
  std::vector<std::uint32_t> indices32;  // the same list
};

struct BenchScene {
  std::string name;
  BenchMesh mesh;
  std::vector<kv::raster::Vec3> instances;  // one object per translation, in draw order
  bool lit = true;
  bool textured = false;
  int textureSize = 0;
  std::vector<std::uint32_t> texture;  // 0xAARRGGBB, row 0 at v = 0
  std::uint64_t trianglesPerFrame = 0;
  int width = kReferenceWidth, height = kReferenceHeight;
};

inline constexpr std::uint32_t kBackground = 0x202040;  // RGB (32, 32, 64)
inline constexpr float kNear = 1.0f, kFar = 5000.0f, kEyeZ = -25.0f;
// Vertical field of view 45 degrees: tan(22.5°).
inline constexpr float kTanHalfFov = 0.41421356237f;

// false when the name is not one of the four scenes.
bool MakeScene(const std::string& name, int width, int height, BenchScene& out);

// Whole-frame checks of the reference scenes, written to stderr; false when
// the picture is wrong. rgb: 0x00RRGGBB, top row first. The covered
// fraction and the probe pixel are known at the reference size only; the
// fill scene's colour holds at every size.
bool CheckFrame(const BenchScene& scene, const std::vector<std::uint32_t>& rgb, const char* who);

}  // namespace kvbench
