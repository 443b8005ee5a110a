#include "korvane3d/rm/raster/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>

#include "korvane3d/rm/raster/Projection.h"
#include "korvane3d/rm/raster/RasterMath.h"
#include "korvane3d/rm/raster/RasterizerImpl.h"

namespace kv::raster {
namespace {

// A batch is set up and drawn early when it grows past these, so that the
// arenas stay well inside their 32-bit offsets.
constexpr std::size_t kBatchVertexLimit = 1u << 22;
constexpr std::uint64_t kBatchTriangleLimit = 1u << 22;
constexpr std::size_t kDrawLimit = 1u << 24;  // vertices or triangles in one draw

// Camera depth is scaled by this for shadow geometry: it moves towards the
// eye by a fixed fraction of its distance and keeps its place on screen.
constexpr float kShadowPull = 1.0f - 1.0f / 512.0f;
constexpr float kShadowOrthoBias = 1.0f / 4096.0f;

int DefaultThreads(int requested) {
  if (requested > 0) return std::min(requested, 64);
  unsigned hw = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(hw, 1u, 8u));
}

int BytesPerPixel(PixelFormat f) {
  switch (f) {
    case PixelFormat::Xrgb8888: return 4;
    case PixelFormat::Rgb888: return 3;
    default: return 2;
  }
}

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(ColorF c) { return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b); }

Result CheckTarget(const Target& t) {
  if (!t.pixels) return {Status::InvalidArgument, "target has no pixels"};
  if (t.width <= 0 || t.height <= 0) return {Status::InvalidArgument, "target size must be positive"};
  if (t.width > kMaxTargetSide || t.height > kMaxTargetSide) return {Status::TooLarge, "target side larger than 4096"};
  if (static_cast<int>(t.format) < 0 || static_cast<int>(t.format) > 3)
    return {Status::InvalidArgument, "unknown pixel format"};
  const int bpp = BytesPerPixel(t.format);
  if (t.pitch < t.width * bpp) return {Status::InvalidArgument, "target pitch shorter than a row"};
  if (t.format == PixelFormat::Xrgb8888 && t.pitch % 4 != 0)
    return {Status::InvalidArgument, "32-bit target pitch must be a multiple of 4"};
  if (t.depthFormat != DepthFormat::Float32 && t.depthFormat != DepthFormat::Unorm16)
    return {Status::InvalidArgument, "unknown depth format"};
  return {};
}

Result CheckView(const View& v, const Target& t) {
  if (Result r = ValidateProjection(v.projection); !r) return r;
  if (!IsFinite(v.worldToCamera)) return {Status::InvalidArgument, "camera matrix is not finite"};
  const Rect& vp = v.viewport;
  if (vp.width < 0 || vp.height < 0 || vp.x < 0 || vp.y < 0 || vp.x > t.width - vp.width ||
      vp.y > t.height - vp.height)
    return {Status::InvalidArgument, "viewport does not fit in the target"};
  return {};
}

Result CheckState(const FrameState& s) {
  if (static_cast<int>(s.textureFilter) < 0 || static_cast<int>(s.textureFilter) > 5)
    return {Status::InvalidArgument, "unknown texture filter"};
  if (s.lights.size() > static_cast<size_t>(kMaxLights)) return {Status::TooLarge, "more than 64 lights"};
  for (const Light& l : s.lights) {
    if (static_cast<int>(l.type) < 0 || static_cast<int>(l.type) > 4)
      return {Status::InvalidArgument, "unknown light type"};
    if (!Finite(l.color) || !Finite(l.position) || !Finite(l.direction) || !std::isfinite(l.constantAttenuation) ||
        !std::isfinite(l.linearAttenuation) || !std::isfinite(l.quadraticAttenuation) || std::isnan(l.range) ||
        !std::isfinite(l.umbra) || !std::isfinite(l.penumbra))
      return {Status::InvalidArgument, "light values must be finite"};
  }
  const Fog& f = s.fog;
  if (static_cast<int>(f.mode) < 0 || static_cast<int>(f.mode) > 2)
    return {Status::InvalidArgument, "unknown fog mode"};
  if (!std::isfinite(f.start) || !std::isfinite(f.end) || !std::isfinite(f.density))
    return {Status::InvalidArgument, "fog values must be finite"};
  return {};
}

Result CheckMesh(const DrawCall& d) {
  const MeshData& m = d.mesh;
  const size_t nv = m.positions.size(), ni = m.indices.size();
  if (nv > kDrawLimit || ni / 3 > kDrawLimit) return {Status::TooLarge, "mesh larger than 16M vertices or triangles"};
  if (ni % 3 != 0) return {Status::InvalidArgument, "index count is not a multiple of 3"};
  if (!m.normals.empty() && m.normals.size() != nv) return {Status::InvalidArgument, "normal count differs from vertex count"};
  if (!m.uvs.empty() && m.uvs.size() != nv)
    return {Status::InvalidArgument, "texture coordinate count differs from vertex count"};
  if (!m.vertexColors.empty() && m.vertexColors.size() != nv)
    return {Status::InvalidArgument, "vertex colour count differs from vertex count"};
  if (!m.faceColors.empty() && m.faceColors.size() != ni / 3)
    return {Status::InvalidArgument, "face colour count differs from triangle count"};
  if (!m.edgeFlags.empty() && m.edgeFlags.size() != ni / 3)
    return {Status::InvalidArgument, "edge flag count differs from triangle count"};
  std::uint32_t maxIndex = 0;
  for (std::uint32_t i : m.indices) maxIndex = std::max(maxIndex, i);
  if (ni > 0 && maxIndex >= nv) return {Status::InvalidArgument, "index beyond the vertex array"};
  if (!IsFinite(d.modelToWorld)) return {Status::InvalidArgument, "model matrix is not finite"};
  const Material& mat = d.material;
  if (!Finite(mat.emissive) || !Finite(mat.specular) || !std::isfinite(mat.power))
    return {Status::InvalidArgument, "material values must be finite"};
  if (static_cast<int>(d.shade) < 0 || static_cast<int>(d.shade) > 2 || static_cast<int>(d.fill) < 0 ||
      static_cast<int>(d.fill) > 2 || static_cast<int>(d.cull) < 1 || static_cast<int>(d.cull) > 3)
    return {Status::InvalidArgument, "unknown shade, fill or cull mode"};
  return {};
}

bool AnyTranslucent(std::span<const std::uint32_t> colors) {
  for (std::uint32_t c : colors)
    if ((c >> 24) != 255) return true;
  return false;
}

}  // namespace

void Batch::Reset() {
  vertices.Clear();
  outcodes.Clear();
  baseColors.Clear();
  indices.Clear();
  faces.Clear();
  states.clear();
  draws.clear();
  textures.clear();
  deferredCalls.clear();
  triangles = 0;
  clearFlags = 0;
  background.reset();
  coverOnce = false;
}

std::uint32_t CoverPlanes::NextId() {
  if (++lastId == 0) {
    std::fill(stamps.begin(), stamps.end(), 0u);
    lastId = 1;
  }
  return lastId;
}

void CoverPlanes::Prepare(int newPitch, int newHeight) {
  if (newPitch == pitch && newHeight == height) return;
  pitch = newPitch;
  height = newHeight;
  const std::size_t size = static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height);
  pixels.assign(size, kUncovered);
  stamps.assign(size, 0);
}

Rasterizer::Impl::Impl(const RasterizerOptions& options)
    : pool(DefaultThreads(options.threads)), kernels(&SelectKernels(options.allowWideKernels)), sink(options.sink) {}

Result Rasterizer::Impl::PrepareBuffers() {
  const int pitch = (target.width + kTileSize - 1) / kTileSize * kTileSize;
  const size_t size = static_cast<size_t>(pitch) * static_cast<size_t>(target.height);
  if (pitch != depthPitch || target.height != depthHeight || target.depthFormat != depthFormat) {
    depthF.clear();
    depth16.clear();
    if (target.depthFormat == DepthFormat::Float32)
      depthF.assign(size, 1.0f);
    else
      depth16.assign(size, 65535);
    depthPitch = pitch;
    depthClearPending = false;  // the new planes are clear
    depthWidth = target.width;
    depthHeight = target.height;
    depthFormat = target.depthFormat;
  }
  if (target.format != PixelFormat::Xrgb8888) {
    if (working.size() != size) working.assign(size, 0);
    workingPitch = pitch;
  } else {
    working.clear();
    working.shrink_to_fit();
  }
  return {};
}

DrawState Rasterizer::Impl::MakeState(const DrawCall& d) const {
  DrawState s;
  const bool blendedMode = (renderMode & kBlendedTransparency) != 0;
  if (d.texture) {
    s.texLevels = d.texture->Levels();
    s.texLevelCount = d.texture->LevelCount();
  }
  s.lit = d.lighting;
  s.flatShade = d.shade == ShadeMode::Flat;
  s.faceLighting = s.lit && (s.flatShade || d.mesh.normals.empty());
  if (s.lit)
    for (int i = 0; i < 3; ++i) s.emissive[i] = (&d.material.emissive.r)[i];
  const bool translucent = (d.color >> 24) != 255 || AnyTranslucent(d.mesh.vertexColors) ||
                           AnyTranslucent(d.mesh.faceColors) || (d.texture && d.texture->HasAlpha());
  s.blend = blendedMode && translucent;
  s.sorted = s.blend && (renderMode & kSortedTransparency);
  s.alphaTest = d.texture && d.texture->HasTransparency();
  s.depthTest = d.depthTest;
  s.depthWrite = d.depthWrite && !(s.sorted && (renderMode & kDisableSortedAlphaZWrite));
  s.fog = lighting.fog.enabled;
  const Material& m = d.material;
  s.specular = d.texture && s.lit && m.power > 0 && (m.specular.r > 0 || m.specular.g > 0 || m.specular.b > 0);
  s.perspective = d.perspectiveTexturing;
  s.wrapU = d.wrapU;
  s.wrapV = d.wrapV;
  s.depthFloat = depthFormat == DepthFormat::Float32;
  s.fill = d.fill;
  CullMode cull = d.cull;
  if (view.projection.rightHanded && cull != CullMode::None) cull = cull == CullMode::CW ? CullMode::CCW : CullMode::CW;
  s.cullSign = cull == CullMode::CW ? 1 : (cull == CullMode::CCW ? -1 : 0);

  int n = 1;  // plane 0: depth
  if (!s.flatShade || (d.texture && s.perspective) || s.fog) s.planeQ = static_cast<std::int8_t>(n++);
  s.planeColor = static_cast<std::int8_t>(n);
  n += 3;
  if (s.blend) s.planeAlpha = static_cast<std::int8_t>(n++);  // alpha matters only when blending
  if (s.specular) {
    s.planeSpec = static_cast<std::int8_t>(n);
    n += 3;
  }
  if (d.texture) {
    s.planeUV = static_cast<std::int8_t>(n);
    n += 2;
  }
  if (s.fog) s.planeFog = static_cast<std::int8_t>(n++);
  s.planeCount = static_cast<std::uint8_t>(n);
  return s;
}

Result Rasterizer::Impl::RecordDraw(const DrawCall& input) {
  if (Result r = CheckMesh(input); !r) return r;
  const MeshData& m = input.mesh;
  const size_t nv = m.positions.size(), nt = m.indices.size() / 3;
  ++stats.draws;
  stats.triangles += nt;
  if (nv == 0 || (input.fill != FillMode::Points && nt == 0) || scissor.width == 0 || scissor.height == 0) return {};
  if (batch.vertices.Size() + nv > kBatchVertexLimit || batch.triangles + nt > kBatchTriangleLimit) Flush();

  DrawCall draw = input;
  if (input.shadow) {
    draw.color = 0xff000000u;
    draw.mesh.vertexColors = {};
    draw.mesh.faceColors = {};
    draw.texture = nullptr;
    draw.lighting = false;
    draw.cull = CullMode::None;
  }
  DrawState state = MakeState(draw);
  if (input.shadow && (renderMode & kBlendedTransparency)) {
    // Faces of a flattened mesh overlap: the shadow is drawn opaque into the
    // cover plane and blended at 50% from there, once per pixel. It goes
    // with the transparent draws (last, when they are sorted).
    state.coverOnce = true;
    state.coverAlpha = 0x80;
    state.coverId = cover.NextId();
    state.sorted = (renderMode & kSortedTransparency) != 0;
    state.depthWrite = draw.depthWrite && !(state.sorted && (renderMode & kDisableSortedAlphaZWrite));
    batch.coverOnce = true;
  }
  // Colours are final per vertex unless they depend on the face.
  const bool finalColors = !state.faceLighting && !state.flatShade &&
                           (draw.mesh.faceColors.empty() || !draw.mesh.vertexColors.empty());
  // Faces are read for their colours and lighting, and for their edge flags
  // in wireframe.
  const bool needFaces = !finalColors || (draw.fill == FillMode::Wireframe && !m.edgeFlags.empty());

  DrawRecord rec;
  rec.firstVertex = static_cast<std::uint32_t>(batch.vertices.Size());
  rec.vertexCount = static_cast<std::uint32_t>(nv);
  rec.firstIndex = static_cast<std::uint32_t>(batch.indices.Size());
  rec.triangleCount = static_cast<std::uint32_t>(nt);
  rec.firstFace = static_cast<std::uint32_t>(batch.faces.Size());
  rec.state = static_cast<std::uint32_t>(batch.states.size());
  rec.hasFaceData = needFaces;
  rec.hasVertexColors = !draw.mesh.vertexColors.empty();
  rec.hasFaceColors = !draw.mesh.faceColors.empty();
  rec.finalColors = finalColors;

  ClipVertex* vertices = batch.vertices.Append(nv);
  std::uint16_t* outcodes = batch.outcodes.Append(nv);
  std::uint32_t* baseColors = batch.baseColors.Append(nv);
  FaceData* faces = needFaces ? batch.faces.Append(nt) : nullptr;
  std::uint32_t* out = batch.indices.Append(m.indices.size());
  if (draw.meshStaysValid && !draw.shadow) {
    // Filled in at the flush, on every core (RunDeferredVertices).
    rec.deferredCall = static_cast<std::int32_t>(batch.deferredCalls.size());
    batch.deferredCalls.push_back(draw);
  } else {
    VertexStageInput in = VertexInput(draw, state, finalColors);
    if (input.shadow) in.worldToClip = worldToClipShadow;
    RunVertexStage(in, vertices, outcodes, baseColors, faces);
    for (size_t i = 0; i < m.indices.size(); ++i) out[i] = m.indices[i] + rec.firstVertex;
  }
  batch.triangles += nt;
  batch.states.push_back(state);
  batch.draws.push_back(rec);
  batch.textures.push_back(draw.texture);
  return {};
}

VertexStageInput Rasterizer::Impl::VertexInput(const DrawCall& draw, const DrawState& state, bool finalColors) const {
  VertexStageInput in;
  in.draw = &draw;
  in.state = &state;
  in.lighting = &lighting;
  in.worldToClip = worldToClip;
  in.worldToCamera = view.worldToCamera;
  in.guard = guard;
  in.map = map;
  in.finalColors = finalColors;
  in.commonVertices = kernels->vertices;
  return in;
}

void Rasterizer::Impl::RunDeferredVertices(std::uint32_t first, std::uint32_t end) {
  for (std::uint32_t d = first; d < end; ++d) {
    const DrawRecord& rec = batch.draws[d];
    if (rec.deferredCall < 0) continue;
    const DrawCall& draw = batch.deferredCalls[static_cast<std::size_t>(rec.deferredCall)];
    const VertexStageInput in = VertexInput(draw, batch.states[rec.state], rec.finalColors);
    const std::uint32_t v = rec.firstVertex;
    RunVertexStage(in, batch.vertices.Data() + v, batch.outcodes.Data() + v, batch.baseColors.Data() + v,
                   rec.hasFaceData ? batch.faces.Data() + rec.firstFace : nullptr);
    const std::span<const std::uint32_t> indices = draw.mesh.indices;
    std::uint32_t* out = batch.indices.Data() + rec.firstIndex;
    for (std::size_t i = 0; i < indices.size(); ++i) out[i] = indices[i] + v;
  }
}

Result Rasterizer::Impl::RecordDecal(const DecalCall& d) {
  if (!d.texture) return {Status::InvalidArgument, "decal has no texture"};
  if (!Finite(d.position) || !std::isfinite(d.width) || !std::isfinite(d.height) || !std::isfinite(d.originX) ||
      !std::isfinite(d.originY))
    return {Status::InvalidArgument, "decal values must be finite"};
  ++stats.draws;
  stats.triangles += 2;
  if (scissor.width == 0 || scissor.height == 0) return {};
  if (batch.vertices.Size() + 4 > kBatchVertexLimit) Flush();

  const float tw = static_cast<float>(d.texture->Width()), th = static_cast<float>(d.texture->Height());
  const Vec4 c = TransformPoint4(d.position, worldToClip);
  // Corner offsets from the decal's point: in camera units scaled to clip
  // space, or in pixels scaled by w so that the size stays fixed on screen.
  float left, top, right, bottom, perX, perY;
  if (d.scaleWithDepth) {
    left = -d.originX / tw * d.width;
    top = d.originY / th * d.height;
    right = left + d.width;
    bottom = top - d.height;
    perX = clipPerUnitX;
    perY = clipPerUnitY;
  } else {
    left = -d.originX;
    top = d.originY;
    right = left + tw;
    bottom = top - th;
    perX = c.w / map.halfWidth;
    perY = c.w / map.halfHeight;
  }
  const float xs[4] = {left, right, right, left}, ys[4] = {top, top, bottom, bottom};
  const float us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
  const float fog = lighting.fog.enabled
                        ? FogFactor(lighting.fog, TransformPoint(d.position, view.worldToCamera).z)
                        : 1.0f;

  DrawCall asDraw;
  asDraw.color = d.color;
  asDraw.texture = d.texture;
  asDraw.lighting = false;
  asDraw.cull = CullMode::None;
  asDraw.depthTest = d.depthTest;
  asDraw.depthWrite = d.depthWrite;
  asDraw.shade = ShadeMode::Gouraud;
  DrawState state = MakeState(asDraw);

  DrawRecord rec;
  rec.firstVertex = static_cast<std::uint32_t>(batch.vertices.Size());
  rec.vertexCount = 4;
  rec.firstIndex = static_cast<std::uint32_t>(batch.indices.Size());
  rec.triangleCount = 2;
  rec.state = static_cast<std::uint32_t>(batch.states.size());
  rec.finalColors = true;
  const float one[3] = {1, 1, 1}, none[3] = {0, 0, 0};
  for (int i = 0; i < 4; ++i) {
    ClipVertex v{};
    v.x = c.x + xs[i] * perX;
    v.y = c.y + ys[i] * perY;
    v.z = c.z;
    v.w = c.w;
    ComposeColor(d.color, one, none, state, v.c, v.s);
    v.fog = fog;
    v.u = us[i];
    v.v = vs[i];
    batch.outcodes.PushBack(ProjectClipVertex(v, guard, map));
    batch.vertices.PushBack(v);
    batch.baseColors.PushBack(d.color);
  }
  for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) batch.indices.PushBack(rec.firstVertex + i);
  batch.triangles += 2;
  batch.states.push_back(state);
  batch.draws.push_back(rec);
  batch.textures.push_back(d.texture);
  return {};
}

// ---- Rasterizer ----------------------------------------------------------------

Rasterizer::Rasterizer(const RasterizerOptions& options) : impl_(std::make_unique<Impl>(options)) {}
Rasterizer::~Rasterizer() = default;

Result Rasterizer::BeginFrame(const Target& target, const View& view, const FrameState& state) {
  Impl& s = *impl_;
  if (s.inFrame) return {Status::InvalidState, "a frame is already open"};
  if (Result r = CheckTarget(target); !r) return r;
  if (Result r = CheckView(view, target); !r) return r;
  if (Result r = CheckState(state); !r) return r;

  s.target = target;
  s.view = view;
  s.filter = state.textureFilter;
  s.renderMode = state.renderMode;
  s.dither = state.dither;
  const Rect& vp = view.viewport;
  s.scissor = vp;
  s.map = MappingOf(vp);
  const bool empty = vp.width == 0 || vp.height == 0;
  const Projection& proj = view.projection;
  const Matrix cameraToClip = empty ? Matrix{} : CameraToClip(proj, vp);
  s.worldToClip = Multiply(view.worldToCamera, cameraToClip);
  if (proj.type == ProjectionType::Perspective) {
    Matrix pull;
    for (int i = 0; i < 3; ++i) pull.m[i][i] = kShadowPull;
    s.worldToClipShadow = Multiply(Multiply(view.worldToCamera, pull), cameraToClip);
  } else {
    s.worldToClipShadow = s.worldToClip;
    for (int i = 0; i < 4; ++i) s.worldToClipShadow.m[i][2] -= kShadowOrthoBias * s.worldToClip.m[i][3];
  }
  if (!empty) {
    // Pixel coordinates stay within 4096 of the viewport centre; beyond
    // that, triangles are clipped (fixed-point set-up relies on it).
    s.guard = {4096.0f / s.map.halfWidth, 4096.0f / s.map.halfHeight};
    const float perX = std::fabs(cameraToClip.m[0][0]), perY = std::fabs(cameraToClip.m[1][1]);
    s.clipPerUnitX = perX;
    s.clipPerUnitY = perY;
  }
  s.grid.originX = vp.x & ~(kTileSize - 1);
  s.grid.originY = vp.y & ~(kTileSize - 1);
  s.grid.tilesX = empty ? 0 : ((vp.x + vp.width - 1) >> kTileShift) - (vp.x >> kTileShift) + 1;
  s.grid.tilesY = empty ? 0 : ((vp.y + vp.height - 1) >> kTileShift) - (vp.y >> kTileShift) + 1;
  PrepareFrameLighting(state.lights, view.worldToCamera, state.renderMode, state.fog, s.lighting);
  if (s.sink) {
    // The sink keeps its own depth buffer; the draw states still name its format.
    s.depthFormat = target.depthFormat;
    if (Result r = s.BeginSinkFrame(); !r) return r;
  } else {
    s.PrepareBuffers();
  }
  s.stats = {};
  s.batch.Reset();
  s.pendingColorClear.reset();
  s.colorClearLeft.reset();
  s.inFrame = true;
  return {};
}

Result Rasterizer::Clear(std::uint32_t flags, std::uint32_t color, std::shared_ptr<const Texture> background) {
  Impl& s = *impl_;
  if (!s.inFrame) return {Status::InvalidState, "Clear outside a frame"};
  if (flags & ~3u) return {Status::InvalidArgument, "unknown clear flags"};
  if (!s.batch.draws.empty()) s.Flush();
  s.batch.clearFlags |= flags;
  if (flags & kClearTarget) {
    s.batch.clearColor = color;
    s.batch.background = std::move(background);
  }
  return {};
}

Result Rasterizer::Draw(const DrawCall& draw) {
  if (!impl_->inFrame) return {Status::InvalidState, "Draw outside a frame"};
  return impl_->RecordDraw(draw);
}

Result Rasterizer::DrawDecal(const DecalCall& decal) {
  if (!impl_->inFrame) return {Status::InvalidState, "DrawDecal outside a frame"};
  return impl_->RecordDecal(decal);
}

Result Rasterizer::AdoptColorClear(const ColorClear& clear) {
  Impl& s = *impl_;
  if (!s.inFrame) return {Status::InvalidState, "AdoptColorClear outside a frame"};
  if (s.target.format != PixelFormat::Xrgb8888)
    return {Status::InvalidArgument, "only Xrgb8888 targets take over a colour clear"};
  const Rect& a = clear.area;
  if (a.x < 0 || a.y < 0 || a.width < 0 || a.height < 0 || a.width > s.target.width - a.x ||
      a.height > s.target.height - a.y)
    return {Status::InvalidArgument, "the clear's rectangle is not on the target"};
  // It comes before everything of this frame: pending only while nothing
  // has been recorded or drawn yet, otherwise done at once.
  if (s.batch.Empty() && !s.pendingColorClear && s.stats.batches == 0)
    s.pendingColorClear = clear;
  else
    s.FillColor(clear);
  return {};
}

std::optional<ColorClear> Rasterizer::TakeColorClearLeft() { return std::exchange(impl_->colorClearLeft, std::nullopt); }

Result Rasterizer::EndFrame() {
  Impl& s = *impl_;
  if (!s.inFrame) return {Status::InvalidState, "EndFrame without BeginFrame"};
  s.Flush();
  if (s.pendingColorClear && s.target.mayLeaveColorClear)
    s.colorClearLeft = std::exchange(s.pendingColorClear, std::nullopt);
  s.ClearPendingColorNow();
  s.batch.Reset();
  s.inFrame = false;
  s.lastStats = s.stats;
  if (s.sink) {
    Result ended = s.sink->EndFrame();
    Result first = s.sinkResult;
    s.sinkResult = {};
    return first ? ended : first;
  }
  return {};
}

bool Rasterizer::InFrame() const { return impl_->inFrame; }
int Rasterizer::ThreadCount() const { return impl_->pool.Size(); }
const char* Rasterizer::KernelName() const { return impl_->kernels->name; }
FrameStats Rasterizer::LastFrameStats() const { return impl_->lastStats; }

}  // namespace kv::raster
