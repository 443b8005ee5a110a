// The geometry of a mesh builder (and of its frozen copies), stored flat for
// renderers: per-vertex arrays, and faces as runs of corners.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "korvane3d/rm/D3DRM.h"
#include "korvane3d/rm/Math.h"

namespace kv::rm {

// The material and texture shared by a set of faces.
struct FaceGroup {
  ComPtr<IDirect3DRMMaterial2> material;
  ComPtr<IDirect3DRMTexture3> texture;
};

struct MeshGeometry {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<std::array<float, 2>> uvs;  // one (u, v) per position
  std::vector<D3DCOLOR> vertexColors;     // empty, or one per position
  // Face f has the corners faceStart[f] .. faceStart[f + 1] - 1; each corner
  // names a position and a normal.
  std::vector<std::uint32_t> faceStart{0};
  std::vector<std::uint32_t> cornerVertex;
  std::vector<std::uint32_t> cornerNormal;
  std::vector<D3DCOLOR> faceColor;      // 0xAARRGGBB per face
  std::vector<std::uint32_t> faceGroup;  // index into groups per face
  std::vector<std::uint8_t> faceWrap;    // D3DRMMAP_WRAPU | D3DRMMAP_WRAPV per face
  std::vector<FaceGroup> groups{FaceGroup{}};

  std::size_t FaceCount() const { return faceStart.size() - 1; }
  std::uint32_t FaceSize(std::size_t f) const { return faceStart[f + 1] - faceStart[f]; }
  // Words of face data in (vertex, normal) pair form, with the final 0.
  std::size_t FaceDataWords() const { return FaceCount() + 2 * cornerVertex.size() + 1; }
  bool Box(D3DRMBOX& box) const;
  void Clear() { *this = MeshGeometry{}; }
  std::uint32_t GroupFor(IDirect3DRMMaterial2* material, IDirect3DRMTexture3* texture);
  // Appends other, its indices shifted past what is here.
  void Append(const MeshGeometry& other);
  // Unnormalised face normal (Newell's method; for a triangle the cross
  // product (v1 - v0) x (v2 - v0)).
  Vec3 FaceNormal(std::size_t f) const;
};

// Normals averaged per vertex from the unit normals of the faces that use
// it; with a crease angle, only faces within that angle of each other share
// a normal. Replaces normals and cornerNormal.
void GenerateVertexNormals(MeshGeometry& g, bool useCrease, float crease);

}  // namespace kv::rm
