#include "XFileTestUtil.h"

#include <bit>

#include "korvane3d/rm/xfile/SampleMesh.h"

namespace kv::xfile::test {

MeshData MakeRichSphere(int rings, int segments) {
  MeshData mesh = MakeSphere(rings, segments, 2.5f);
  for (std::size_t v = 0; v < mesh.positions.size(); ++v)
    mesh.vertexColors.push_back(0xff000000u | std::uint32_t(v * 7 % 256) << 16 | std::uint32_t(v * 13 % 256));
  for (std::size_t f = 0; f < mesh.faceSizes.size(); ++f) {
    mesh.faceMaterials[f] = std::uint32_t(f / 3 % 2);
    mesh.faceWraps.push_back({f % 2 == 0, f % 3 == 0});
  }
  Material textured;
  textured.faceColor = {0.1f, 0.2f, 0.3f, 0.5f};
  textured.emissive = {0.01f, 0.02f, 0.03f};
  textured.textureFile = "maps\\stone \"old\".bmp";
  mesh.materials.push_back(textured);
  return mesh;
}

namespace {

template <typename T>
bool SameFloats(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t k = 0; k < a[i].size(); ++k)
      if (std::bit_cast<std::uint32_t>(a[i][k]) != std::bit_cast<std::uint32_t>(b[i][k])) return false;
  return true;
}

bool SameMaterial(const Material& a, const Material& b) {
  const std::vector<std::array<float, 4>> ca{a.faceColor}, cb{b.faceColor};
  const std::vector<Vec3> va{a.specular, a.emissive}, vb{b.specular, b.emissive};
  return a.name == b.name && SameFloats(ca, cb) && SameFloats(va, vb) &&
         std::bit_cast<std::uint32_t>(a.power) == std::bit_cast<std::uint32_t>(b.power) && a.textureFile == b.textureFile;
}

}  // namespace

::testing::AssertionResult SameMesh(const MeshData& a, const MeshData& b) {
  if (a.name != b.name) return ::testing::AssertionFailure() << "names " << a.name << " / " << b.name;
  if (!SameFloats(a.positions, b.positions)) return ::testing::AssertionFailure() << "positions differ";
  if (!SameFloats(a.normals, b.normals)) return ::testing::AssertionFailure() << "normals differ";
  if (!SameFloats(a.texCoords, b.texCoords)) return ::testing::AssertionFailure() << "texture coordinates differ";
  if (a.faceSizes != b.faceSizes || a.faceVertices != b.faceVertices || a.faceNormals != b.faceNormals)
    return ::testing::AssertionFailure() << "faces differ";
  if (a.vertexColors != b.vertexColors) return ::testing::AssertionFailure() << "vertex colours differ";
  if (a.faceMaterials != b.faceMaterials || a.materials.size() != b.materials.size())
    return ::testing::AssertionFailure() << "material lists differ";
  for (std::size_t i = 0; i < a.materials.size(); ++i)
    if (!SameMaterial(a.materials[i], b.materials[i])) return ::testing::AssertionFailure() << "material " << i << " differs";
  if (a.faceWraps != b.faceWraps) return ::testing::AssertionFailure() << "face wraps differ";
  return ::testing::AssertionSuccess();
}

}  // namespace kv::xfile::test
