// Internal state of Rasterizer: the frame's settings, the batch of recorded
// draws waiting for set-up, and the per-chunk bins.
#pragma once

#include <memory>
#include <vector>

#include "korvane3d/rm/raster/BatchSink.h"
#include "korvane3d/rm/raster/Kernels.h"
#include "korvane3d/rm/raster/Rasterizer.h"
#include "korvane3d/rm/raster/Setup.h"
#include "korvane3d/rm/raster/VertexStage.h"
#include "korvane3d/rm/raster/WorkerPool.h"

namespace kv::raster {

// Draws recorded since the last flush.
struct Batch {
  PodBuffer<ClipVertex> vertices;
  PodBuffer<std::uint16_t> outcodes;
  PodBuffer<std::uint32_t> baseColors;
  PodBuffer<std::uint32_t> indices;
  PodBuffer<FaceData> faces;
  std::vector<DrawState> states;
  std::vector<DrawRecord> draws;
  std::vector<std::shared_ptr<const Texture>> textures;  // per draw (null: none), kept alive until the flush
  std::vector<DrawCall> deferredCalls;  // draws whose vertex work waits for the flush
  std::uint64_t triangles = 0;
  std::uint32_t clearFlags = 0;  // clear at the start of the batch
  std::uint32_t clearColor = 0;
  std::shared_ptr<const Texture> background;
  bool coverOnce = false;  // some draw uses the cover planes

  bool Empty() const { return draws.empty() && clearFlags == 0; }
  void Reset();
};

// Planes of the draws that blend each pixel at most once (DrawState::
// coverOnce), made when the first such draw comes: such a draw writes its
// colour into `pixels` (kUncovered where it did not reach), and each pixel it
// reached is blended into the colour plane unless `stamps` shows that the
// same draw did so already.
struct CoverPlanes {
  static constexpr std::uint32_t kUncovered = 0xFF000000u;  // no draw writes a top byte
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint32_t> stamps;  // coverId of the last draw that blended the pixel
  int pitch = 0, height = 0;
  std::uint32_t lastId = 0;

  // A new draw's id; the stamps start over when the ids wrap.
  std::uint32_t NextId();
  // Planes of the working plane's layout (pitch, height), made or remade
  // when that changes.
  void Prepare(int newPitch, int newHeight);
};

struct Rasterizer::Impl {
  explicit Impl(const RasterizerOptions& options);

  // Frame
  bool inFrame = false;
  Target target;
  View view;
  TextureFilter filter = TextureFilter::Nearest;
  std::uint32_t renderMode = 0;
  bool dither = true;
  FrameLighting lighting;
  Matrix worldToClip, worldToClipShadow;
  ScreenMapping map;
  GuardBand guard;
  Rect scissor;
  TileGrid grid;
  float clipPerUnitX = 0, clipPerUnitY = 0;  // clip-space x, y per camera unit at w = 1
  FrameStats stats, lastStats;

  // Buffers
  std::vector<float> depthF;
  std::vector<std::uint16_t> depth16;
  int depthPitch = 0, depthWidth = 0, depthHeight = 0;
  DepthFormat depthFormat = DepthFormat::Float32;
  std::vector<std::uint32_t> working;  // 32-bit plane for 16- and 24-bit targets
  int workingPitch = 0;
  CoverPlanes cover;                   // for draws that darken each pixel once
  // A depth clear not done yet, over this rectangle. Only the rasterizer
  // reads its depth planes, so a frame that clears and draws nothing leaves
  // its depth clear to the next batch that draws over the same rectangle,
  // which clears each tile just before drawing it, while it is in cache.
  bool depthClearPending = false;
  Rect pendingDepthRect;
  // A colour clear not done yet, in this frame: taken over like the depth
  // clear by a batch that draws over the same rectangle. Others see the
  // target, so at EndFrame it is done, or handed to the caller when the
  // target allows (colorClearLeft).
  std::optional<ColorClear> pendingColorClear;
  std::optional<ColorClear> colorClearLeft;

  // Work
  Batch batch;
  std::vector<ChunkBins> chunks;
  ChunkBins late;  // sorted transparency, drawn after everything else
  int chunkCount = 0;
  WorkerPool pool;
  const KernelTable* kernels;
  std::shared_ptr<BatchSink> sink;
  Result sinkResult;  // the first failure of the sink in this frame

  Result PrepareBuffers();
  DrawState MakeState(const DrawCall& draw) const;
  Result RecordDraw(const DrawCall& draw);
  Result RecordDecal(const DecalCall& decal);
  void Flush();
  void FlushToSink();
  Result BeginSinkFrame();
  // Pending depth clears: a clear-only batch leaves its depth clear pending;
  // a batch that draws takes it over (same rectangle) or has it done first.
  void DeferDepthClear();
  void TakePendingDepthClear();
  void ClearPendingDepthNow();
  void DeferColorClear();
  void TakePendingColorClear();
  void ClearPendingColorNow();
  void FillColor(const ColorClear& clear);
  // The vertex work of draws [first, end) recorded for the flush: thread safe
  // for disjoint ranges.
  void RunDeferredVertices(std::uint32_t first, std::uint32_t end);
  VertexStageInput VertexInput(const DrawCall& draw, const DrawState& state, bool finalColors) const;

 private:
  int SplitIntoChunks(std::vector<std::uint32_t>& bounds) const;
  void SortDeferred(const SetupContext& ctx);
  void RasterTile(int tile);
  TileTarget TileFor(int tile) const;
};

}  // namespace kv::raster
