// Drawing a batch: set-up and binning of the recorded draws in parallel
// chunks, the far-to-near sort of sorted-transparency records, then the
// pixel stage tile by tile on every thread.
#include <algorithm>
#include <cstring>

#include "korvane3d/rm/raster/RasterizerImpl.h"
#include "korvane3d/rm/raster/TileOutput.h"

namespace kv::raster {

// Chunks are contiguous runs of draws with about the same number of
// triangles each; their bins are replayed in chunk order, so draw order holds
// whatever thread set them up.
int Rasterizer::Impl::SplitIntoChunks(std::vector<std::uint32_t>& bounds) const {
  const auto& draws = batch.draws;
  bounds.assign(1, 0);
  if (draws.empty()) return 0;
  // Weights: set-up per triangle, and the vertex work where it waits for
  // the flush.
  auto weight = [](const DrawRecord& d) -> std::uint64_t {
    return d.triangleCount + (d.deferredCall >= 0 ? d.vertexCount : d.vertexCount / 4) + 1;
  };
  std::uint64_t total = 0;
  for (const DrawRecord& d : draws) total += weight(d);
  const int wanted = static_cast<int>(std::min<std::size_t>(draws.size(), static_cast<std::size_t>(pool.Size()) * 3));
  std::uint64_t acc = 0;
  for (std::size_t i = 0; i < draws.size(); ++i) {
    acc += weight(draws[i]);
    const std::uint64_t next = total * bounds.size() / static_cast<std::uint64_t>(wanted);
    if (acc >= next && static_cast<int>(bounds.size()) < wanted) bounds.push_back(static_cast<std::uint32_t>(i + 1));
  }
  if (bounds.back() != draws.size()) bounds.push_back(static_cast<std::uint32_t>(draws.size()));
  return static_cast<int>(bounds.size()) - 1;
}

void Rasterizer::Impl::SortDeferred(const SetupContext& ctx) {
  std::vector<DeferredRecord> all;
  for (int c = 0; c < chunkCount; ++c) all.insert(all.end(), chunks[c].deferred.begin(), chunks[c].deferred.end());
  if (all.empty()) return;
  std::stable_sort(all.begin(), all.end(), [](const DeferredRecord& a, const DeferredRecord& b) {
    if (a.depth != b.depth) return a.depth > b.depth;
    return a.order < b.order;
  });
  for (const DeferredRecord& d : all) {
    const RecordArena& from = chunks[d.chunk].arena;
    const RecordHeader& h = *from.At<RecordHeader>(d.offset);
    const std::size_t size = h.kind == RecordKind::Triangle
                                 ? TriangleRecordSize(batch.states[h.state].planeCount)
                                 : sizeof(LineRecord);
    const std::uint32_t at = late.arena.Allocate(size);
    std::memcpy(late.arena.At<std::byte>(at), from.At<std::byte>(d.offset), size);
    BinRecord(ctx, late.arena, at, late.bins);
  }
}

TileTarget Rasterizer::Impl::TileFor(int tile) const {
  TileTarget t;
  const int tx = tile % grid.tilesX, ty = tile / grid.tilesX;
  const int x = grid.originX + tx * kTileSize, y = grid.originY + ty * kTileSize;
  t.x0 = std::max(x, scissor.x);
  t.y0 = std::max(y, scissor.y);
  t.x1 = std::min(x + kTileSize, scissor.x + scissor.width);
  t.y1 = std::min(y + kTileSize, scissor.y + scissor.height);
  if (target.format == PixelFormat::Xrgb8888) {
    t.color = static_cast<std::uint32_t*>(target.pixels);
    t.colorPitch = target.pitch / 4;
    t.colorSafeX = target.width;
  } else {
    t.color = const_cast<std::uint32_t*>(working.data());
    t.colorPitch = workingPitch;
    t.colorSafeX = workingPitch;
  }
  t.depthPitch = depthPitch;
  if (depthFormat == DepthFormat::Float32)
    t.depthF = const_cast<float*>(depthF.data());
  else
    t.depth16 = const_cast<std::uint16_t*>(depth16.data());
  return t;
}

namespace {

bool SameRect(const Rect& a, const Rect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

void DrawOne(const KernelTable& k, const TileTarget& t, const ShadeContext& sc, const RecordArena& arena,
             std::uint32_t offset, const RecordHeader& h, const DrawState& s) {
  const int depth = s.depthFloat ? 1 : 0;
  switch (h.kind) {
    case RecordKind::Triangle:
      k.triangle[depth][s.texLevels ? 1 : 0][h.gouraud](t, *arena.At<TriangleRecord>(offset), s, sc);
      break;
    case RecordKind::Line: k.line[depth](t, *arena.At<LineRecord>(offset), s, sc); break;
    case RecordKind::Point: k.point[depth](t, *arena.At<LineRecord>(offset), s, sc); break;
  }
}

// The pixel stage's blend, src·alpha + dst·(1 − alpha), rounded alike.
std::uint32_t Blend(std::uint32_t src, std::uint32_t dst, float alpha) {
  std::uint32_t out = 0;
  for (int shift : {16, 8, 0}) {
    const float v = static_cast<float>((src >> shift) & 255) * alpha +
                    static_cast<float>((dst >> shift) & 255) * (1.0f - alpha);
    out |= static_cast<std::uint32_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f) << shift;
  }
  return out;
}

// A cover-once record: drawn into the cover plane, then each pixel it reached
// is blended into the tile unless its draw blended there already, and the
// cover plane is left clear again.
void DrawCovering(const KernelTable& k, const TileTarget& t, const ShadeContext& sc, const RecordArena& arena,
                  std::uint32_t offset, const RecordHeader& h, const DrawState& s, CoverPlanes& cover) {
  TileTarget into = t;
  into.color = cover.pixels.data();
  into.colorPitch = cover.pitch;
  into.colorSafeX = cover.pitch;
  DrawOne(k, into, sc, arena, offset, h, s);
  const float alpha = static_cast<float>(s.coverAlpha) * (1.0f / 255.0f);
  const int x0 = std::max(h.x0, t.x0), x1 = std::min(h.x1 + 1, t.x1);
  const int y0 = std::max(h.y0, t.y0), y1 = std::min(h.y1 + 1, t.y1);
  for (int y = y0; y < y1; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(cover.pitch);
    std::uint32_t* color = t.color + static_cast<std::ptrdiff_t>(y) * t.colorPitch;
    for (int x = x0; x < x1; ++x) {
      std::uint32_t& covered = cover.pixels[row + x];
      if (covered == CoverPlanes::kUncovered) continue;
      if (std::uint32_t& stamp = cover.stamps[row + x]; stamp != s.coverId) {
        stamp = s.coverId;
        color[x] = Blend(covered, color[x], alpha);
      }
      covered = CoverPlanes::kUncovered;
    }
  }
}

void DrawBin(const KernelTable& k, const TileTarget& t, const ShadeContext& sc, const RecordArena& arena,
             const std::vector<std::uint32_t>& bin, const std::vector<DrawState>& states, CoverPlanes& cover) {
  for (std::uint32_t offset : bin) {
    const RecordHeader& h = *arena.At<RecordHeader>(offset);
    const DrawState& s = states[h.state];
    if (s.coverOnce)
      DrawCovering(k, t, sc, arena, offset, h, s, cover);
    else
      DrawOne(k, t, sc, arena, offset, h, s);
  }
}

}  // namespace

void Rasterizer::Impl::RasterTile(int tile) {
  const TileTarget t = TileFor(tile);
  if (t.x0 >= t.x1 || t.y0 >= t.y1) return;
  const bool direct = target.format == PixelFormat::Xrgb8888;
  if (batch.clearFlags & kClearTarget) {
    if (batch.background)
      FillTileBackground(t, *batch.background, view.viewport);
    else
      FillTileColor(t, batch.clearColor);
  } else if (!direct) {
    LoadTileFromTarget(target, t);
  }
  if (batch.clearFlags & kClearDepth) ClearTileDepth(t);

  ShadeContext sc;
  const std::uint32_t fog = lighting.fog.color;
  sc.fogColor[0] = static_cast<float>((fog >> 16) & 255);
  sc.fogColor[1] = static_cast<float>((fog >> 8) & 255);
  sc.fogColor[2] = static_cast<float>(fog & 255);
  sc.filter = filter;
  for (int c = 0; c < chunkCount; ++c)
    DrawBin(*kernels, t, sc, chunks[c].arena, chunks[c].bins[tile], batch.states, cover);
  DrawBin(*kernels, t, sc, late.arena, late.bins[tile], batch.states, cover);
  if (!direct) StoreTileToTarget(target, t, dither);
}

void Rasterizer::Impl::ClearPendingDepthNow() {
  if (!depthClearPending) return;
  depthClearPending = false;
  TileTarget t;
  t.x0 = pendingDepthRect.x;
  t.y0 = pendingDepthRect.y;
  t.x1 = pendingDepthRect.x + pendingDepthRect.width;
  t.y1 = pendingDepthRect.y + pendingDepthRect.height;
  t.depthPitch = depthPitch;
  if (depthFormat == DepthFormat::Float32)
    t.depthF = depthF.data();
  else
    t.depth16 = depth16.data();
  ClearTileDepth(t);
}

void Rasterizer::Impl::DeferDepthClear() {
  if (!(batch.clearFlags & kClearDepth)) return;
  if (depthClearPending && !SameRect(pendingDepthRect, scissor)) ClearPendingDepthNow();
  depthClearPending = true;
  pendingDepthRect = scissor;
  batch.clearFlags &= ~std::uint32_t{kClearDepth};
}

void Rasterizer::Impl::TakePendingDepthClear() {
  if (!depthClearPending) return;
  if (SameRect(pendingDepthRect, scissor)) {
    depthClearPending = false;
    batch.clearFlags |= kClearDepth;
  } else {
    ClearPendingDepthNow();
  }
}

// Only a plain colour over an Xrgb8888 target (the plane drawn into) waits;
// a background image or a 16- or 24-bit target (dithered from the working
// plane) is cleared by the batch as before.
void Rasterizer::Impl::DeferColorClear() {
  if (!(batch.clearFlags & kClearTarget) || batch.background || target.format != PixelFormat::Xrgb8888) return;
  if (pendingColorClear && !SameRect(pendingColorClear->area, scissor)) ClearPendingColorNow();
  pendingColorClear = ColorClear{scissor, batch.clearColor};
  batch.clearFlags &= ~std::uint32_t{kClearTarget};
}

void Rasterizer::Impl::TakePendingColorClear() {
  if (!pendingColorClear) return;
  if (!SameRect(pendingColorClear->area, scissor)) {
    ClearPendingColorNow();
  } else if (!(batch.clearFlags & kClearTarget)) {
    batch.clearFlags |= kClearTarget;
    batch.clearColor = pendingColorClear->color;
    batch.background.reset();
  }
  // (A batch that clears the same rectangle itself covers it anyway.)
  pendingColorClear.reset();
}

void Rasterizer::Impl::ClearPendingColorNow() {
  if (!pendingColorClear) return;
  FillColor(*pendingColorClear);
  pendingColorClear.reset();
}

void Rasterizer::Impl::FillColor(const ColorClear& clear) {
  TileTarget t;
  t.x0 = clear.area.x;
  t.y0 = clear.area.y;
  t.x1 = clear.area.x + clear.area.width;
  t.y1 = clear.area.y + clear.area.height;
  t.color = static_cast<std::uint32_t*>(target.pixels);
  t.colorPitch = target.pitch / 4;
  FillTileColor(t, clear.color);
}

Result Rasterizer::Impl::BeginSinkFrame() {
  SinkFrame frame;
  frame.target = target;
  frame.view = view;
  frame.scissor = scissor;
  frame.map = map;
  frame.guard = guard;
  frame.filter = filter;
  frame.renderMode = renderMode;
  frame.dither = dither;
  frame.fog = lighting.fog;
  sinkResult = {};
  return sink->BeginFrame(frame);
}

// The vertex work runs on every core as for the rasterizer's own set-up;
// the sink then draws the batch on the calling thread.
void Rasterizer::Impl::FlushToSink() {
  if (grid.Count() > 0 && !batch.Empty()) {
    // As for the rasterizer's own drawing: a colour clear nothing draws over
    // may be left to the caller; a later batch takes it over.
    if (batch.draws.empty()) {
      if (target.mayLeaveColorClear) DeferColorClear();
    } else {
      TakePendingColorClear();
    }
  }
  if (grid.Count() > 0 && !batch.Empty()) {
    std::vector<std::uint32_t> bounds;
    const int count = SplitIntoChunks(bounds);
    pool.Run(count, [&](int c, int) { RunDeferredVertices(bounds[c], bounds[c + 1]); });
    SinkBatch out;
    out.clearFlags = batch.clearFlags;
    out.clearColor = batch.clearColor;
    out.background = batch.background.get();
    out.view = {batch.vertices.Data(), batch.outcodes.Data(), batch.baseColors.Data(), batch.indices.Data(),
                batch.faces.Data(),    batch.states.data(),   batch.draws.data()};
    out.drawCount = static_cast<std::uint32_t>(batch.draws.size());
    out.textures = batch.textures.data();
    Result r = sink->DrawBatch(out);
    if (sinkResult && !r) sinkResult = r;
    ++stats.batches;
  }
  batch.Reset();
}

void Rasterizer::Impl::Flush() {
  if (sink) {
    FlushToSink();
    return;
  }
  if (batch.Empty()) return;
  const int tiles = grid.Count();
  if (tiles == 0) {
    batch.Reset();
    return;
  }
  if (batch.draws.empty()) {
    DeferDepthClear();
    DeferColorClear();
  } else {
    TakePendingDepthClear();
  }
  if (batch.Empty()) {
    batch.Reset();
    return;
  }
  TakePendingColorClear();
  if (batch.coverOnce) cover.Prepare(depthPitch, target.height);
  SetupContext ctx;
  ctx.batch = {batch.vertices.Data(), batch.outcodes.Data(), batch.baseColors.Data(), batch.indices.Data(),
               batch.faces.Data(),    batch.states.data(),   batch.draws.data()};
  ctx.map = map;
  ctx.scissor = scissor;
  ctx.guard = guard;
  ctx.grid = grid;
  ctx.orthographic = view.projection.type == ProjectionType::Orthographic;

  std::vector<std::uint32_t> bounds;
  chunkCount = SplitIntoChunks(bounds);
  if (static_cast<int>(chunks.size()) < chunkCount) chunks.resize(static_cast<std::size_t>(chunkCount));
  pool.Run(chunkCount, [&](int c, int) {
    chunks[c].Reset(tiles);
    RunDeferredVertices(bounds[c], bounds[c + 1]);
    SetUpDraws(ctx, bounds[c], bounds[c + 1], static_cast<std::uint32_t>(c), chunks[c]);
  });
  late.Reset(tiles);
  SortDeferred(ctx);
  pool.Run(tiles, [&](int tile, int) { RasterTile(tile); });
  ++stats.batches;
  batch.Reset();
}

}  // namespace kv::raster
