// Mesh, its children (normals, texture coordinates, vertex colours, face
// wraps, the material list) and Material. Every count is checked against
// what the file can still hold before anything is allocated, and every index
// against the array it indexes.
#include <algorithm>
#include <cmath>

#include "korvane3d/rm/xfile/Reader.h"

namespace kv::xfile::detail {
namespace {

std::string MeshLabel(const MeshData& mesh) {
  return mesh.name.empty() ? std::string("Mesh") : "Mesh \"" + mesh.name + "\"";
}

// Index of the first out-of-range entry, or npos.
std::size_t FirstOutOfRange(const std::vector<std::uint32_t>& indices, std::size_t size) {
  for (std::size_t i = 0; i < indices.size(); ++i)
    if (indices[i] >= size) return i;
  return std::string::npos;
}

std::uint32_t ColorByte(float value) {
  // Truncation as the platform converts colours; the small bias keeps an
  // exact n/255 from falling to n-1.
  const double scaled = std::clamp(double(value), 0.0, 1.0) * 255.0 + 1e-3;
  return std::min(255u, std::uint32_t(scaled));
}

// The floats of an array of vectors, for reading straight into it; the array
// may be empty (no element to take the address of).
template <std::size_t N>
float* FloatsOf(std::vector<std::array<float, N>>& values) {
  return reinterpret_cast<float*>(values.data());
}

}  // namespace

bool SceneReader::ReadMesh(std::string_view name, int frame, int depth, std::size_t openedAt) {
  SceneMesh sceneMesh;
  sceneMesh.frame = frame;
  sceneMesh.offset = openedAt;
  MeshData& mesh = sceneMesh.mesh;
  mesh.name = name;
  std::uint32_t vertexCount = 0;
  if (!source_.ReadUint(vertexCount) || !CheckCount(vertexCount, 3, "vertex")) return false;
  mesh.positions.resize(vertexCount);
  if (!source_.ReadFloats(FloatsOf(mesh.positions), std::size_t(vertexCount) * 3)) return false;
  if (!ReadFaces(mesh)) return false;
  Context self{Parent::Mesh, "Mesh"};
  self.mesh = &sceneMesh;
  if (!ReadChildren(self, depth, openedAt)) return false;
  scene_.meshes.push_back(std::move(sceneMesh));
  return true;
}

bool SceneReader::ReadFaces(MeshData& mesh) {
  std::uint32_t faceCount = 0;
  if (!source_.ReadUint(faceCount) || !CheckCount(faceCount, 2, "face")) return false;
  mesh.faceVertices.reserve(std::min<std::size_t>(std::size_t(faceCount) * 3, source_.MaxValuesLeft()));
  if (!source_.ReadFaceArray(faceCount, mesh.faceSizes, mesh.faceVertices)) return false;
  const std::size_t bad = FirstOutOfRange(mesh.faceVertices, mesh.positions.size());
  if (bad != std::string::npos)
    return Fail(MeshLabel(mesh) + ": face vertex index " + std::to_string(mesh.faceVertices[bad]) +
                " is out of range (" + std::to_string(mesh.positions.size()) + " vertices)");
  return true;
}

bool SceneReader::ReadNormals(MeshData& mesh) {
  std::uint32_t normalCount = 0;
  if (!source_.ReadUint(normalCount) || !CheckCount(normalCount, 3, "normal")) return false;
  std::vector<Vec3> normals(normalCount);
  if (!source_.ReadFloats(FloatsOf(normals), std::size_t(normalCount) * 3)) return false;
  std::uint32_t faceCount = 0;
  if (!source_.ReadUint(faceCount) || !CheckCount(faceCount, 2, "normal face")) return false;
  if (faceCount != mesh.faceSizes.size())
    return Fail(MeshLabel(mesh) + ": MeshNormals has " + std::to_string(faceCount) + " faces, the mesh " +
                std::to_string(mesh.faceSizes.size()));
  std::vector<std::uint32_t> sizes, faceNormals;
  faceNormals.reserve(mesh.faceVertices.size());
  if (!source_.ReadFaceArray(faceCount, sizes, faceNormals)) return false;
  if (sizes != mesh.faceSizes) {
    const std::size_t f = std::size_t(std::mismatch(sizes.begin(), sizes.end(), mesh.faceSizes.begin()).first - sizes.begin());
    return Fail(MeshLabel(mesh) + ": normal face " + std::to_string(f) + " has " + std::to_string(sizes[f]) +
                " corners, the face " + std::to_string(mesh.faceSizes[f]));
  }
  const std::size_t bad = FirstOutOfRange(faceNormals, normalCount);
  if (bad != std::string::npos)
    return Fail(MeshLabel(mesh) + ": normal index " + std::to_string(faceNormals[bad]) + " is out of range (" +
                std::to_string(normalCount) + " normals)");
  mesh.normals = std::move(normals);
  mesh.faceNormals = std::move(faceNormals);
  return true;
}

// Texture coordinates are per vertex. A list shorter or longer than the
// vertex list is padded with (0, 0) or cut, as exporters are not always exact.
bool SceneReader::ReadTextureCoords(MeshData& mesh) {
  std::uint32_t count = 0;
  if (!source_.ReadUint(count) || !CheckCount(count, 2, "texture coordinate")) return false;
  std::vector<Vec2> coords(count);
  if (!source_.ReadFloats(FloatsOf(coords), std::size_t(count) * 2)) return false;
  coords.resize(mesh.positions.size(), Vec2{0, 0});
  mesh.texCoords = std::move(coords);
  return true;
}

bool SceneReader::ReadVertexColors(MeshData& mesh) {
  std::uint32_t count = 0;
  if (!source_.ReadUint(count) || !CheckCount(count, 5, "vertex colour")) return false;
  std::vector<std::uint32_t> colors(mesh.positions.size(), 0xffffffffu);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t index = 0;
    float rgba[4];
    if (!source_.ReadUint(index) || !source_.ReadFloats(rgba, 4)) return false;
    if (index >= colors.size())
      return Fail(MeshLabel(mesh) + ": vertex colour index " + std::to_string(index) + " is out of range (" +
                  std::to_string(colors.size()) + " vertices)");
    colors[index] = ColorByte(rgba[3]) << 24 | ColorByte(rgba[0]) << 16 | ColorByte(rgba[1]) << 8 |
                    ColorByte(rgba[2]);
  }
  mesh.vertexColors = std::move(colors);
  return true;
}

bool SceneReader::ReadFaceWraps(MeshData& mesh) {
  std::uint32_t count = 0;
  if (!source_.ReadUint(count) || !CheckCount(count, 2, "face wrap")) return false;
  std::vector<std::uint32_t> flags(std::size_t(count) * 2);
  if (!source_.ReadUints(flags.data(), flags.size())) return false;
  mesh.faceWraps.assign(mesh.faceSizes.size(), {false, false});
  for (std::size_t f = 0; f < std::min<std::size_t>(count, mesh.faceWraps.size()); ++f)
    mesh.faceWraps[f] = {flags[2 * f] != 0, flags[2 * f + 1] != 0};
  return true;
}

// Faces beyond the listed indexes take the last one listed; the materials
// are the Material children and "{ name }" references, in order.
bool SceneReader::ReadMaterialList(SceneMesh& sceneMesh, int depth, std::size_t openedAt) {
  MeshData& mesh = sceneMesh.mesh;
  std::uint32_t counts[2] = {};  // materials, face indexes
  if (!source_.ReadUints(counts, 2) || !CheckCount(counts[1], 1, "material index")) return false;
  std::vector<std::uint32_t> indices(counts[1]);
  if (!source_.ReadUints(indices.data(), indices.size())) return false;
  const std::size_t bad = FirstOutOfRange(indices, counts[0]);
  if (bad != std::string::npos)
    return Fail(MeshLabel(mesh) + ": material index " + std::to_string(indices[bad]) + " is out of range (" +
                std::to_string(counts[0]) + " materials)");
  mesh.materials.clear();
  sceneMesh.references.clear();
  Context self{Parent::MaterialList, "MeshMaterialList"};
  self.mesh = &sceneMesh;
  if (!ReadChildren(self, depth, openedAt)) return false;
  if (mesh.materials.size() < counts[0])
    return Fail(MeshLabel(mesh) + ": MeshMaterialList declares " + std::to_string(counts[0]) +
                    " materials but holds " + std::to_string(mesh.materials.size()),
                openedAt);
  mesh.materials.resize(counts[0]);
  std::erase_if(sceneMesh.references, [&](const MaterialReference& r) { return r.slot >= counts[0]; });
  if (counts[0] == 0) {
    mesh.faceMaterials.clear();
    return true;
  }
  const std::uint32_t last = indices.empty() ? 0 : indices.back();
  indices.resize(mesh.faceSizes.size(), last);
  mesh.faceMaterials = std::move(indices);
  return true;
}

bool SceneReader::ReadMaterial(Material& material, int depth, std::size_t openedAt) {
  float values[11];
  if (!source_.ReadFloats(values, 11)) return false;
  std::copy(values, values + 4, material.faceColor.begin());
  material.power = values[4];
  std::copy(values + 5, values + 8, material.specular.begin());
  std::copy(values + 8, values + 11, material.emissive.begin());
  Context self{Parent::Material, "Material"};
  self.material = &material;
  return ReadChildren(self, depth, openedAt);
}

}  // namespace kv::xfile::detail
