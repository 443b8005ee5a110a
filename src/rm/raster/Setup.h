// Set-up: assembles triangles (or lines and points) from a batch's
// transformed vertices, clips them where needed, culls, snaps to the
// sub-pixel grid, computes edge functions and attribute planes and bins the
// resulting records into screen tiles.
#pragma once

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

void SetUpDraws(const SetupContext& ctx, std::uint32_t firstDraw, std::uint32_t endDraw, std::uint32_t chunkIndex,
                ChunkBins& out);

// Adds a record to the tiles its bounds (and, for triangles, its edges) touch.
void BinRecord(const SetupContext& ctx, const RecordArena& arena, std::uint32_t offset,
               std::vector<std::vector<std::uint32_t>>& bins);

}  // namespace kv::raster
