// Irrlicht's Burning's Video as a kvbench peer, behind a plain interface:
// Irrlicht 1.8's headers do not compile as C++20, so the code that includes
// them is built as C++17 on its own (see bench/CMakeLists.txt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kvbench::irrlicht {

// One of the reference scenes as plain arrays (three floats per position,
// normal and instance, two per texture coordinate).
struct PeerScene {
  const float* positions = nullptr;
  const float* normals = nullptr;
  const float* uvs = nullptr;
  const std::uint32_t* colors = nullptr;  // 0xAARRGGBB per vertex, or null
  std::size_t vertexCount = 0;
  const std::uint16_t* indices = nullptr;
  std::size_t indexCount = 0;
  const float* instances = nullptr;  // translations, in draw order
  std::size_t instanceCount = 0;
  bool lit = true;
  bool textured = false;
  int textureSize = 0;
  const std::uint32_t* texture = nullptr;  // 0xAARRGGBB, row 0 at v = 0
  std::uint32_t background = 0;            // 0xRRGGBB
  int width = 0, height = 0;
  float eyeZ = -25, nearPlane = 1, farPlane = 5000, verticalFov = 0.78539816f;
};

class Peer {
 public:
  Peer();
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  // Builds the scene (the arrays are copied); false when Irrlicht cannot
  // create its device.
  bool Init(const PeerScene& scene);
  bool RenderFrame();
  // The last frame as 0x00RRGGBB, top row first.
  void ReadImage(std::vector<std::uint32_t>& rgb);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kvbench::irrlicht
