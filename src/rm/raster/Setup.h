// Set-up: assembles triangles (or lines and points) from a batch's
// transformed vertices, clips them where needed, culls, snaps to the
// sub-pixel grid, computes edge functions and attribute planes and bins the
// resulting records into screen tiles.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "korvane3d/rm/raster/Clip.h"
#include "korvane3d/rm/raster/FrameData.h"
#include "korvane3d/rm/raster/Projection.h"

namespace kv::raster {

inline constexpr int kTileShift = 6;  // 64x64-pixel tiles
inline constexpr int kTileSize = 1 << kTileShift;
inline constexpr int kSubPixelBits = 4;

struct TileGrid {
  int originX = 0, originY = 0;  // pixel position of tile (0,0), multiples of kTileSize
  int tilesX = 0, tilesY = 0;
  int Count() const { return tilesX * tilesY; }
};

// Read-only views of one batch.
struct BatchView {
  const ClipVertex* vertices = nullptr;
  const std::uint16_t* outcodes = nullptr;
  const std::uint32_t* baseColors = nullptr;
  const std::uint32_t* indices = nullptr;  // absolute vertex indices
  const FaceData* faces = nullptr;
  const DrawState* states = nullptr;
  const DrawRecord* draws = nullptr;
};

struct SetupContext {
  BatchView batch;
  ScreenMapping map;
  Rect scissor;  // viewport ∩ target, in pixels
  GuardBand guard;
  TileGrid grid;
  bool orthographic = false;
};

// A record of a sorted-transparency draw, waiting for the far-to-near sort.
struct DeferredRecord {
  float depth;            // larger is farther
  std::uint64_t order;    // submission order, for ties
  std::uint32_t offset;   // in its chunk's arena
  std::uint32_t chunk;
};

// Output of set-up for one contiguous range of draws.
struct ChunkBins {
  RecordArena arena;
  std::vector<std::vector<std::uint32_t>> bins;  // per tile, offsets into arena
  std::vector<DeferredRecord> deferred;
  void Reset(int tileCount);
};

// Colour, specular, uv and fog (Attr slots) of corner k of triangle t of a
// draw, as the pixel stage receives them: final colours, or the face's base
// colour composed with the vertex's or the face's lighting.
void CornerAttributes(const BatchView& batch, const DrawRecord& draw, const DrawState& state, std::uint32_t t, int k,
                      float* attr);

// With a wrap flag, a coordinate moves by whole turns so that it lies within
// half a turn of the first corner: interpolation takes the short way round.
template <typename V>
void ApplyWraps(const DrawState& s, V* v) {
  for (int axis = 0; axis < 2; ++axis) {
    if (!(axis == 0 ? s.wrapU : s.wrapV)) continue;
    const int a = kU + axis;
    for (int i = 1; i < 3; ++i) v[i].attr[a] -= std::round(v[i].attr[a] - v[0].attr[a]);
  }
}

void SetUpDraws(const SetupContext& ctx, std::uint32_t firstDraw, std::uint32_t endDraw, std::uint32_t chunkIndex,
                ChunkBins& out);

// Adds a record to the tiles its bounds (and, for triangles, its edges) touch.
void BinRecord(const SetupContext& ctx, const RecordArena& arena, std::uint32_t offset,
               std::vector<std::vector<std::uint32_t>>& bins);

}  // namespace kv::raster
