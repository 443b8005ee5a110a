#include "korvane3d/rm/SceneRender.h"

#include <algorithm>
#include <cmath>

#include "korvane3d/rm/ConvertedTextures.h"
#include "korvane3d/rm/Device.h"
#include "korvane3d/rm/Light.h"
#include "korvane3d/rm/Material.h"
#include "korvane3d/rm/Mesh.h"
#include "korvane3d/rm/SceneWalk.h"
#include "korvane3d/rm/Shadow.h"

namespace kv::rm {

namespace kr = kv::raster;

namespace {

constexpr std::uint64_t kFramesKept = 120;

kr::Vec3 ToRaster(Vec3 v) { return {v.x, v.y, v.z}; }

kr::Matrix ToRaster(const Mat4& m) {
  kr::Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[i][j];
  return r;
}

kr::ColorF ColorOf(D3DCOLOR c) { return {ColorChannel(c, 16), ColorChannel(c, 8), ColorChannel(c, 0)}; }

// Edge k of a fan triangle (c0, ci, ci+1) runs from its corner k to corner
// k + 1; only edges on the polygon's outline are drawn in wireframe.
std::uint8_t FanEdgeFlags(std::uint32_t i, std::uint32_t corners) {
  std::uint8_t flags = 2;
  if (i == 1) flags |= 1;
  if (i + 2 == corners) flags |= 4;
  return flags;
}

}  // namespace

kr::MeshData ConvertedPart::Mesh() const {
  kr::MeshData m;
  m.positions = positions;
  m.normals = normals;
  m.uvs = uvs;
  m.vertexColors = vertexColors;
  m.indices = indices;
  m.faceColors = faceColors;
  m.edgeFlags = edgeFlags;
  return m;
}

D3DRMRENDERQUALITY CombineQuality(D3DRMRENDERQUALITY device, D3DRMRENDERQUALITY object) {
  return std::min(device & D3DRMSHADE_MASK, object & D3DRMSHADE_MASK) |
         std::min(device & D3DRMLIGHT_MASK, object & D3DRMLIGHT_MASK) |
         std::min(device & D3DRMFILL_MASK, object & D3DRMFILL_MASK);
}

const ConvertedMesh& SceneCache::Mesh(IDirect3DRMVisual* visual, const MeshGeometry& geometry,
                                      std::uint64_t revision) {
  auto [it, added] = meshes_.try_emplace(visual);
  ConvertedMesh& entry = it->second;
  if (added || entry.revision != revision) {
    entry.keepAlive = ComPtr<IDirect3DRMVisual>(visual);
    entry.revision = revision;
    Convert(geometry, entry);
  }
  entry.lastUse = frame_;
  return entry;
}

std::shared_ptr<const kr::Texture> SceneCache::TextureFor(Texture* texture) {
  if (!texture) return nullptr;
  auto [it, added] = textures_.try_emplace(texture);
  CachedTexture& entry = it->second;
  // The colour key is applied when the texture is converted, so a change of
  // the decal's transparency or colour converts it again.
  const DecalSettings& decal = texture->Decal();
  const std::uint32_t keyColor = decal.transparent ? decal.transparentColor & 0xffffffu : 0;
  if (added || entry.levels != texture->LevelCount() || entry.colorKey != decal.transparent ||
      entry.keyColor != keyColor) {
    entry.keepAlive = ComPtr<IDirect3DRMTexture3>(texture);
    entry.levels = texture->LevelCount();
    entry.colorKey = decal.transparent;
    entry.keyColor = keyColor;
    const kv::image::Image& image = texture->Image();
    kr::TextureDesc desc;
    desc.width = image.width;
    desc.height = image.height;
    desc.pixels = image.pixels;
    desc.hasAlpha = image.hasAlpha;
    desc.mipmaps = texture->LevelCount() > 1;
    desc.colorKey = decal.transparent;
    desc.keyColor = keyColor;
    entry.converted = ConvertShared(texture->SharedImage(), desc);
  }
  entry.lastUse = frame_;
  return entry.converted;
}

void SceneCache::EndFrame() {
  ++frame_;
  std::erase_if(meshes_, [&](const auto& e) { return e.second.lastUse + kFramesKept < frame_; });
  std::erase_if(textures_, [&](const auto& e) { return e.second.lastUse + kFramesKept < frame_; });
}

void SceneCache::Convert(const MeshGeometry& g, ConvertedMesh& out) {
  std::size_t kept = 0;
  for (std::uint32_t group = 0; group < g.groups.size(); ++group) {
    if (kept == out.parts.size()) out.parts.emplace_back();
    ConvertGroup(g, group, out.parts[kept]);
    if (!out.parts[kept].indices.empty()) ++kept;
  }
  out.parts.resize(kept);
}

namespace {
constexpr std::uint32_t kNoVertex = 0xFFFFFFFFu;
}  // namespace

std::uint32_t SceneCache::PartVertex(const MeshGeometry& g, std::uint32_t v, std::uint32_t n, ConvertedPart& part) {
  for (std::uint32_t k = newestFrom_[v]; k != kNoVertex; k = madeBefore_[k])
    if (normalOf_[k] == n) return k;
  const auto made = static_cast<std::uint32_t>(part.positions.size());
  part.positions.push_back(ToRaster(g.positions[v]));
  if (withNormals_) part.normals.push_back(ToRaster(n < g.normals.size() ? g.normals[n] : Vec3{0, 0, 1}));
  if (withUvs_) part.uvs.push_back({g.uvs[v][0], g.uvs[v][1]});
  if (withColors_) part.vertexColors.push_back(g.vertexColors[v]);
  madeBefore_.push_back(newestFrom_[v]);
  normalOf_.push_back(n);
  newestFrom_[v] = made;
  return made;
}

void SceneCache::ConvertGroup(const MeshGeometry& g, std::uint32_t group, ConvertedPart& part) {
  part.positions.clear();
  part.normals.clear();
  part.uvs.clear();
  part.vertexColors.clear();
  part.indices.clear();
  part.faceColors.clear();
  part.edgeFlags.clear();
  part.faceColor.reset();
  part.material = {};
  part.wrapU = part.wrapV = false;
  const FaceGroup& fg = g.groups[group];
  if (Material* material = fg.material ? Material::From(fg.material.Get()) : nullptr) {
    const MaterialParams& p = material->Params();
    part.material.emissive = {p.emissive.x, p.emissive.y, p.emissive.z};
    part.material.specular = {p.specular.x, p.specular.y, p.specular.z};
    part.material.power = p.power;
  }
  part.texture = ComPtr<Texture>(fg.texture ? Texture::From(fg.texture.Get()) : nullptr);
  withNormals_ = !g.normals.empty();
  withUvs_ = part.texture && g.uvs.size() == g.positions.size();
  withColors_ = g.vertexColors.size() == g.positions.size();
  // One rasterizer vertex per distinct (position, normal) pair.
  newestFrom_.assign(g.positions.size(), kNoVertex);
  madeBefore_.clear();
  normalOf_.clear();
  auto corner = [&](std::uint32_t c) {
    return PartVertex(g, g.cornerVertex[c], withNormals_ ? g.cornerNormal[c] : 0, part);
  };
  for (std::size_t f = 0; f < g.FaceCount(); ++f) {
    if (g.faceGroup[f] != group || g.FaceSize(f) < 3) continue;
    if (f < g.faceWrap.size()) {
      part.wrapU = (g.faceWrap[f] & D3DRMMAP_WRAPU) != 0;
      part.wrapV = (g.faceWrap[f] & D3DRMMAP_WRAPV) != 0;
    }
    const std::uint32_t first = g.faceStart[f], corners = g.FaceSize(f);
    const std::uint32_t c0 = corner(first);
    for (std::uint32_t i = 1; i + 1 < corners; ++i) {
      part.indices.insert(part.indices.end(), {c0, corner(first + i), corner(first + i + 1)});
      part.faceColors.push_back(f < g.faceColor.size() ? g.faceColor[f] : 0xffffffff);
      part.edgeFlags.push_back(FanEdgeFlags(i, corners));
    }
  }
  const auto& colors = part.faceColors;
  if (!colors.empty() && std::all_of(colors.begin(), colors.end(), [&](std::uint32_t c) { return c == colors[0]; })) {
    part.faceColor = colors[0];
  }
}

SceneLighting GatherLights(Frame& scene) {
  SceneLighting out;
  for (PlacedLight& placed : CollectLights(scene)) {
    if (out.lights.size() >= static_cast<std::size_t>(kr::kMaxLights)) break;
    Light& light = *placed.light;
    const LightParams& p = light.Params();
    kr::Light l;
    l.type = static_cast<kr::LightType>(light.GetType());
    l.color = ColorOf(light.GetColor());
    l.position = ToRaster(placed.world.Translation());
    l.direction = ToRaster(Normalized(placed.world.Row(2)));
    l.constantAttenuation = p.constant;
    l.linearAttenuation = p.linear;
    l.quadraticAttenuation = p.quadratic;
    l.range = p.range;
    l.umbra = p.umbra;
    l.penumbra = p.penumbra;
    out.lights.push_back(l);
    out.placed.push_back(placed);
  }
  return out;
}

kr::Fog FogOf(const SceneSettings& s) {
  kr::Fog fog;
  fog.enabled = s.fogEnabled;
  fog.mode = static_cast<kr::FogMode>(s.fogMode);
  fog.color = s.fogColor;
  fog.start = s.fogStart;
  fog.end = s.fogEnd;
  fog.density = s.fogDensity;
  return fog;
}

namespace {

// True when a part's faces, all of one colour, can be drawn with that colour
// as the draw's colour (no per-face colour work, and the rasterizer finishes
// the colours per vertex). A translucent frame colour makes the draw blend
// even under opaque face colours; such a draw keeps its face colours so that
// it still does.
bool DrawsFaceColorAsItsColor(std::uint32_t frameColor, const ConvertedPart& part) {
  if (!part.faceColor) return false;
  const bool frameTranslucent = (frameColor >> 24) != 255, facesTranslucent = (*part.faceColor >> 24) != 255;
  return !frameTranslucent || facesTranslucent;
}

// Per-frame context of the walk.
struct SceneDraw {
  const SceneLighting& lighting;
  const DeviceSettings& settings;
  SceneCache& cache;
  kr::Rasterizer& raster;
  kr::Result result;
  ShadowGeometry shadow;  // reused between shadows
  std::vector<kr::Vec3> shadowPositions;

  std::uint64_t LightMask(std::span<Frame* const> path) const {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < lighting.placed.size(); ++i)
      if (LightReaches(*lighting.placed[i].light, path)) mask |= std::uint64_t{1} << i;
    return mask;
  }

  void Submit(const kr::DrawCall& call) {
    if (result) result = raster.Draw(call);
  }

  void DrawMesh(IDirect3DRMVisual* visual, const MeshGeometry& g, std::uint64_t revision,
                D3DRMRENDERQUALITY quality, bool perspective, const FrameVisit& v) {
    const ConvertedMesh& mesh = cache.Mesh(visual, g, revision);
    const D3DRMRENDERQUALITY q = CombineQuality(settings.quality, quality);
    const bool frameColor = v.frame->MaterialMode() == D3DRMMATERIAL_FROMFRAME;
    kr::DrawCall call;
    call.modelToWorld = ToRaster(v.world);
    call.shade = (q & D3DRMSHADE_MASK) == D3DRMSHADE_FLAT ? kr::ShadeMode::Flat : kr::ShadeMode::Gouraud;
    call.lighting = (q & D3DRMLIGHT_MASK) == D3DRMLIGHT_ON;
    const DWORD fill = q & D3DRMFILL_MASK;
    call.fill = fill == D3DRMFILL_SOLID       ? kr::FillMode::Solid
                : fill == D3DRMFILL_WIREFRAME ? kr::FillMode::Wireframe
                                              : kr::FillMode::Points;
    call.cull = static_cast<kr::CullMode>(settings.cullMode);
    call.perspectiveTexturing = perspective;
    call.lightMask = LightMask(v.path);
    // The cache keeps the converted arrays for the frame: the rasterizer may
    // transform and light them later, on every core.
    call.meshStaysValid = true;
    for (const ConvertedPart& part : mesh.parts) {
      call.mesh = part.Mesh();
      call.color = v.frame->Color();
      if (frameColor) {
        call.mesh.faceColors = {};
      } else if (DrawsFaceColorAsItsColor(call.color, part)) {
        call.color = *part.faceColor;
        call.mesh.faceColors = {};
      }
      call.material = part.material;
      call.texture = cache.TextureFor(part.texture.Get());
      call.wrapU = part.wrapU;
      call.wrapV = part.wrapV;
      Submit(call);
    }
  }

  void DrawShadow(const Shadow& s, const FrameVisit& v) {
    const PlacedLight* placed = nullptr;
    for (const PlacedLight& p : lighting.placed)
      if (p.light == s.CastingLight()) placed = &p;
    if (!placed || !s.Project(v.world, placed->world, shadow)) return;
    shadowPositions.clear();
    for (const Vec3& p : shadow.positions) shadowPositions.push_back(ToRaster(p));
    kr::DrawCall call;
    call.mesh.positions = shadowPositions;
    call.mesh.indices = shadow.triangles;  // projected in the scene's coordinates: identity model matrix
    call.lighting = false;
    call.cull = kr::CullMode::None;
    call.shadow = true;
    Submit(call);
  }

  void DrawDecal(Texture& texture, const FrameVisit& v) {
    const DecalSettings& d = texture.Decal();
    kr::DecalCall call;
    call.texture = cache.TextureFor(&texture);
    if (!call.texture) return;
    call.position = ToRaster(v.world.Translation());
    call.width = d.width;
    call.height = d.height;
    call.scaleWithDepth = d.scale;
    call.originX = static_cast<float>(d.originX);
    call.originY = static_cast<float>(d.originY);
    if (result) result = raster.DrawDecal(call);
  }

  void Visit(const FrameVisit& v) {
    for (const ComPtr<IDirect3DRMVisual>& visual : v.frame->Visuals()) {
      if (!result) return;
      if (MeshBuilder* b = MeshBuilder::From(visual.Get())) {
        DrawMesh(visual.Get(), b->Geometry(), b->Revision(), b->Quality(), b->Perspective(), v);
      } else if (Mesh* m = Mesh::From(visual.Get())) {
        DrawMesh(visual.Get(), m->Geometry(), 0, m->Quality(), m->Perspective(), v);
      } else if (Shadow* s = dynamic_cast<Shadow*>(visual.Get())) {
        DrawShadow(*s, v);
      } else if (Texture* t = Texture::From(visual.Get())) {
        DrawDecal(*t, v);
      }
    }
  }
};

}  // namespace

kr::Result DrawScene(Frame& scene, const SceneLighting& lighting, const DeviceSettings& settings, SceneCache& cache,
                     kr::Rasterizer& raster) {
  SceneDraw draw{lighting, settings, cache, raster, {}, {}, {}};
  WalkScene(scene, D3DRMFRAME_RENDERENABLE, [&](const FrameVisit& v) { draw.Visit(v); });
  cache.EndFrame();
  return draw.result;
}

}  // namespace kv::rm
