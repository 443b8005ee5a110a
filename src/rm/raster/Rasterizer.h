// The software rasterizer (the device's RGB driver). A scene-graph renderer
// drives it once per frame:
//
//   raster.BeginFrame(target, view, frameState);   // target, camera, lights, fog
//   raster.Clear(kClearTarget | kClearDepth, 0x202040);
//   for each visual: raster.Draw(drawCall);        // mesh arrays + model matrix + state
//   raster.EndFrame();                             // every pixel is in target now
//
// Draw transforms and lights the mesh at once (its arrays may be reused as
// soon as it returns) and records the result, or, for a draw whose arrays
// stay valid until EndFrame (DrawCall::meshStaysValid), records just the
// call; the vertex work of such draws, the set-up, binning and pixel work run
// on all cores at EndFrame (or when a Clear follows draws). The image depends only on the input: the same with any number of
// threads and on every run. No call throws; a call that fails changes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "korvane3d/rm/raster/RasterTypes.h"
#include "korvane3d/rm/raster/Texture.h"

namespace kv::raster {

class BatchSink;

struct RasterizerOptions {
  int threads = 0;                // 0: one per processor core (at most 8)
  bool allowWideKernels = true;   // false: baseline x86-64 pixel code even on AVX2 machines
  // Set: batches are drawn by this back end (BatchSink.h) instead of the
  // rasterizer's own set-up and pixel stages.
  std::shared_ptr<BatchSink> sink;
};

enum ClearFlags : std::uint32_t {
  kClearTarget = 1,  // the viewport to the colour (or background image)
  kClearDepth = 2,   // the viewport's depth to the far value
};

struct FrameStats {
  std::uint64_t draws = 0;
  std::uint64_t triangles = 0;  // submitted, before culling and clipping
  std::uint64_t batches = 0;
};

class Rasterizer {
 public:
  explicit Rasterizer(const RasterizerOptions& options = {});
  ~Rasterizer();
  Rasterizer(const Rasterizer&) = delete;
  Rasterizer& operator=(const Rasterizer&) = delete;

  // Starts a frame. The target memory must stay valid until EndFrame. The
  // depth buffer belongs to the rasterizer; it keeps its contents between
  // frames while the target's size and depth format stay the same.
  Result BeginFrame(const Target& target, const View& view, const FrameState& state);

  // Clears the viewport; background (optional) is stretched over it instead of
  // the colour (0x??RRGGBB).
  Result Clear(std::uint32_t flags, std::uint32_t color, std::shared_ptr<const Texture> background = nullptr);

  Result Draw(const DrawCall& draw);
  Result DrawDecal(const DecalCall& decal);

  // A colour clear left undone on the target (by an earlier frame, see
  // TakeColorClearLeft), to be done before anything of this frame is drawn
  // there: the first batch that draws over the same rectangle clears each
  // tile just before drawing it, as a Clear in this frame would. Fails,
  // changing nothing, outside a frame and on a target other than Xrgb8888:
  // the caller then clears itself. With a sink, the first batch that draws
  // there comes to the sink with the clear.
  Result AdoptColorClear(const ColorClear& clear);

  // Finishes every pixel of the frame in the target, except a colour clear
  // that nothing drew over when the target allows that (mayLeaveColorClear).
  Result EndFrame();
  // The colour clear the last frame left undone, for the caller to do or
  // hand to a later frame (AdoptColorClear); none when there is none.
  std::optional<ColorClear> TakeColorClearLeft();

  bool InFrame() const;
  int ThreadCount() const;
  const char* KernelName() const;  // "avx2" or "generic"
  FrameStats LastFrameStats() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kv::raster
