// The per-tile pixel stage: triangle, line and point records drawn into one
// tile of the colour and depth planes. Compiled once for baseline x86-64 and
// once for AVX2/FMA; SelectKernels picks the best table for this processor.
#pragma once

#include <cstdint>

#include "korvane3d/rm/raster/Clip.h"
#include "korvane3d/rm/raster/FrameData.h"
#include "korvane3d/rm/raster/Projection.h"

namespace kv::raster {

struct TileTarget {
  std::uint32_t* color = nullptr;  // pixel (0,0) of the colour plane (0x00RRGGBB)
  int colorPitch = 0;              // pixels per row
  int colorSafeX = 0;              // 8-pixel blocks ending at or before this x may be accessed whole
  float* depthF = nullptr;         // pixel (0,0) of the depth plane (one of the two)
  std::uint16_t* depth16 = nullptr;
  int depthPitch = 0;              // elements per row, a multiple of 8
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the part of the tile inside the viewport, half-open
};

struct ShadeContext {
  float fogColor[3] = {0, 0, 0};  // 0..255
  TextureFilter filter = TextureFilter::Nearest;
};

// A light whose direction is the same everywhere, carried into model space:
// the unit vector towards it and its colour.
struct ParallelLight {
  float x, y, z, r, g, b;
};

// The common vertex: no vertex colours, no fog, no separate specular, and
// either unlit or lit in model space by parallel lights only; final colours
// are written (ClipVertex::c), with s = 0 and fog = 1.
struct VertexJob {
  const Vec3* positions = nullptr;
  const Vec3* normals = nullptr;  // null: unlit, every diffuse factor 1
  const Vec2* uvs = nullptr;      // null: u = v = 0
  std::size_t count = 0;
  Matrix modelToClip;
  GuardBand guard;
  ScreenMapping map;
  const ParallelLight* lights = nullptr;
  int lightCount = 0;
  float ambient[3] = {0, 0, 0};
  float emissive[3] = {0, 0, 0};
  float base[3] = {0, 0, 0};  // the draw's colour, 0..1
  float baseAlpha = 255;      // 0..255
  ClipVertex* vertices = nullptr;
  std::uint16_t* outcodes = nullptr;
};

using VertexKernel = void (*)(const VertexJob&);
using TriangleKernel = void (*)(const TileTarget&, const TriangleRecord&, const DrawState&, const ShadeContext&);
using LineKernel = void (*)(const TileTarget&, const LineRecord&, const DrawState&, const ShadeContext&);

struct KernelTable {
  TriangleKernel triangle[2][2][2];  // [float depth][textured][gouraud]
  LineKernel line[2];                // [float depth]
  LineKernel point[2];
  VertexKernel vertices;             // the common vertex; null: the scalar loop does it
  const char* name;
};

namespace kernels_generic {
extern const KernelTable kTable;
}
namespace kernels_avx2 {
extern const KernelTable kTable;
void TransformVertices(const VertexJob& job);
}  // namespace kernels_avx2

// The AVX2 table when allowed and the processor has AVX2 and FMA, else the
// baseline one.
const KernelTable& SelectKernels(bool allowWide = true);

}  // namespace kv::raster
