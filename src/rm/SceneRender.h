// Turning a scene into rasterizer calls: the per-mesh conversion (cached by
// mesh revision, so an unchanged mesh costs nothing to submit again), the
// lights, the fog and the draws of one frame.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/SceneWalk.h"
#include "korvane3d/rm/Texture.h"
#include "korvane3d/rm/raster/Rasterizer.h"

namespace kv::rm {

struct DeviceSettings;

// One face group of a mesh as rasterizer arrays.
struct ConvertedPart {
  std::vector<kv::raster::Vec3> positions, normals;
  std::vector<kv::raster::Vec2> uvs;
  std::vector<std::uint32_t> vertexColors, indices, faceColors;
  std::vector<std::uint8_t> edgeFlags;
  // Set when every face has this colour: the draw can then carry it as its
  // own colour instead of faceColors.
  std::optional<std::uint32_t> faceColor;
  kv::raster::Material material;
  // Converted at each draw (SceneCache::TextureFor), so that a change of its
  // colour key shows without the mesh being converted again.
  ComPtr<Texture> texture;
  bool wrapU = false, wrapV = false;

  kv::raster::MeshData Mesh() const;
};

struct ConvertedMesh {
  std::uint64_t revision = 0;
  std::uint64_t lastUse = 0;
  ComPtr<IDirect3DRMVisual> keepAlive;  // the cache key stays valid while cached
  std::vector<ConvertedPart> parts;
};

// Per-device cache of converted meshes and textures. Entries not used for a
// while are dropped, which also releases the objects they keep alive.
class SceneCache {
 public:
  // The converted form of a mesh builder's or mesh's geometry; reconverted
  // when revision changes.
  const ConvertedMesh& Mesh(IDirect3DRMVisual* visual, const MeshGeometry& geometry, std::uint64_t revision);
  std::shared_ptr<const kv::raster::Texture> TextureFor(Texture* texture);
  // Called once per rendered frame: ages and prunes the entries.
  void EndFrame();

 private:
  struct CachedTexture {
    ComPtr<IDirect3DRMTexture3> keepAlive;
    std::size_t levels = 0;
    bool colorKey = false;
    std::uint32_t keyColor = 0;  // 0x00RRGGBB, when colorKey
    std::uint64_t lastUse = 0;
    std::shared_ptr<const kv::raster::Texture> converted;
  };
  void Convert(const MeshGeometry& geometry, ConvertedMesh& out);
  // Face group `group` into part, whose arrays are reused (a mesh whose
  // texture coordinates a wrap moves is converted again every frame).
  void ConvertGroup(const MeshGeometry& g, std::uint32_t group, ConvertedPart& part);
  // The part's vertex for mesh vertex v with normal n, made on first use.
  std::uint32_t PartVertex(const MeshGeometry& g, std::uint32_t v, std::uint32_t n, ConvertedPart& part);

  std::unordered_map<const void*, ConvertedMesh> meshes_;
  std::unordered_map<const void*, CachedTexture> textures_;
  std::uint64_t frame_ = 1;
  // ConvertGroup's record of the part vertices made so far: per mesh vertex
  // the newest one made from it, per part vertex the one made before it from
  // the same mesh vertex (with another normal) and its normal.
  std::vector<std::uint32_t> newestFrom_, madeBefore_, normalOf_;
  bool withNormals_ = false, withUvs_ = false, withColors_ = false;  // of the group being converted
};

// Effective quality: the lower of device and object per field.
D3DRMRENDERQUALITY CombineQuality(D3DRMRENDERQUALITY device, D3DRMRENDERQUALITY object);

// Lights and fog of a scene for the rasterizer; lights beyond the
// rasterizer's limit are left out.
struct SceneLighting {
  std::vector<PlacedLight> placed;
  std::vector<kv::raster::Light> lights;
};
SceneLighting GatherLights(Frame& scene);
kv::raster::Fog FogOf(const SceneSettings& settings);

// Draws everything under scene (RENDERENABLE frames) into an open frame.
kv::raster::Result DrawScene(Frame& scene, const SceneLighting& lighting, const DeviceSettings& settings,
                             SceneCache& cache, kv::raster::Rasterizer& raster);

}  // namespace kv::rm
