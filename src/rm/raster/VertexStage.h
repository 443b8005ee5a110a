// Transform and light: mesh vertices to clip space with lighting factors and
// fog, and per-face lighting for flat shading.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <span>

#include "korvane3d/rm/raster/Clip.h"
#include "korvane3d/rm/raster/FrameData.h"
#include "korvane3d/rm/raster/Kernels.h"
#include "korvane3d/rm/raster/Projection.h"
#include "korvane3d/rm/raster/RasterTypes.h"

namespace kv::raster {

// A light in world space, prepared once per frame.
struct WorldLight {
  LightType type = LightType::Directional;
  ColorF color;
  Vec3 position;
  Vec3 direction{0, 0, 1};  // unit
  float c = 1, l = 0, q = 0;
  float range = 0;
  float cosUmbra = 1, cosPenumbra = 1;  // cosines of the half angles
};

struct FrameLighting {
  WorldLight lights[kMaxLights];
  int count = 0;
  Vec3 cameraPosition;  // world
  Vec3 towardsViewer;   // world: the camera's −z, for highlights seen from infinity
  bool viewDependentSpecular = false;
  Fog fog;
};

void PrepareFrameLighting(std::span<const Light> lights, const Matrix& worldToCamera, std::uint32_t renderMode,
                          const Fog& fog, FrameLighting& out);

struct VertexStageInput {
  const DrawCall* draw = nullptr;
  const DrawState* state = nullptr;
  const FrameLighting* lighting = nullptr;
  Matrix worldToClip;
  Matrix worldToCamera;
  GuardBand guard;
  ScreenMapping map;
  bool finalColors = false;   // write final colours (else lighting factors) into vertices
  VertexKernel commonVertices = nullptr;  // the common vertex eight at a time (VertexJob), if set
};

// Snaps a pixel coordinate to the sub-pixel grid (round to nearest, with
// cvtss2si: no library call); callers keep |pixel| well inside 32 bits.
inline std::int32_t SnapToSubPixel(float pixel) { return _mm_cvtss_si32(_mm_set_ss(pixel * 16.0f)); }

// Outcode of v's clip position; inside the guard band also its snapped
// screen position, depth and 1/w. Inline: it runs once per vertex.
inline std::uint16_t ProjectClipVertex(ClipVertex& v, const GuardBand& guard, const ScreenMapping& map) {
  const std::uint16_t code = Outcode(v.x, v.y, v.z, v.w, guard);
  if (!(code & (kClipNeeded | kClipInvalid))) {
    v.q = 1.0f / v.w;
    v.sz = v.z * v.q;
    v.fx = SnapToSubPixel(map.centreX + map.halfWidth * v.x * v.q);
    v.fy = SnapToSubPixel(map.centreY - map.halfHeight * v.y * v.q);
  } else {
    v.q = v.sz = 0;
    v.fx = v.fy = 0;
  }
  return code;
}

// Per-vertex output: vertices, outcodes and base colours (one per position).
// Per-face output (when faces is not null): base colour, edge flags and,
// with face lighting, the face's lighting factors.
void RunVertexStage(const VertexStageInput& in, ClipVertex* vertices, std::uint16_t* outcodes,
                    std::uint32_t* baseColors, FaceData* faces);

// The fog factor at a camera depth (1: no fog). Not clamped: vertices pass
// it on unclamped so that linear fog interpolates exactly across large faces;
// the pixel stage clamps it to 0..1.
float FogFactor(const Fog& fog, float depth);

}  // namespace kv::raster
