// A drawing back end for the rasterizer's batches. With a sink, the
// rasterizer still checks every call, transforms and lights the vertices
// (its vertex stage, on every core) and records draws and clears exactly as
// it does for itself; what it hands over instead of setting up and filling
// triangles is the batch: clip-space vertices with their lit colours, fog
// factors and texture coordinates, per-face data and per-draw state. The
// OpenGL device is such a sink; the image on the CPU side and on the sink's
// side then come from the same vertex values.
#pragma once

#include <cstdint>
#include <memory>

#include "korvane3d/rm/raster/Projection.h"
#include "korvane3d/rm/raster/Setup.h"
#include "korvane3d/rm/raster/Texture.h"

namespace kv::raster {

// What stays the same through one frame.
struct SinkFrame {
  Target target;           // the caller's memory; the picture must be there after EndFrame
  View view;
  Rect scissor;            // the viewport, inside the target
  ScreenMapping map;
  GuardBand guard;         // the guard band the vertex outcodes were made with
  TextureFilter filter = TextureFilter::Nearest;
  std::uint32_t renderMode = 0;
  bool dither = true;
  Fog fog;
};

// One flushed batch: its clears come first, then its draws in order.
struct SinkBatch {
  std::uint32_t clearFlags = 0;  // ClearFlags
  std::uint32_t clearColor = 0;  // 0x??RRGGBB
  const Texture* background = nullptr;
  BatchView view;
  std::uint32_t drawCount = 0;
  const std::shared_ptr<const Texture>* textures = nullptr;  // per draw, null where untextured
};

class BatchSink {
 public:
  virtual ~BatchSink() = default;
  // A failed BeginFrame fails the rasterizer's BeginFrame and changes nothing.
  virtual Result BeginFrame(const SinkFrame& frame) = 0;
  virtual Result DrawBatch(const SinkBatch& batch) = 0;
  // Every pixel of the frame is in SinkFrame::target when this returns.
  virtual Result EndFrame() = 0;
};

}  // namespace kv::raster
