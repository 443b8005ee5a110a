#include "XFileTestUtil.h"

#include <bit>

namespace kv::xfile::test {

MeshData MakeSphere(int rings, int segments) {
  MeshData mesh;
  mesh.name = "sphere";
  const double pi = std::acos(-1.0);
  for (int r = 0; r <= rings; ++r) {
    for (int s = 0; s <= segments; ++s) {
      const double theta = pi * r / rings, phi = 2 * pi * s / segments;
      const Vec3 n{float(std::sin(theta) * std::cos(phi)), float(std::cos(theta)), float(std::sin(theta) * std::sin(phi))};
      mesh.positions.push_back({n[0] * 2.5f, n[1] * 2.5f, n[2] * 2.5f});
      mesh.normals.push_back(n);
      mesh.texCoords.push_back({float(s) / float(segments), float(r) / float(rings)});
      mesh.vertexColors.push_back(0xff000000u | std::uint32_t(r * 7 % 256) << 16 | std::uint32_t(s * 13 % 256));
    }
  }
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const std::uint32_t a = std::uint32_t(r * (segments + 1) + s), b = a + std::uint32_t(segments) + 1;
      mesh.faceSizes.push_back(4);
      for (std::uint32_t v : {a, b, b + 1, a + 1}) mesh.faceVertices.push_back(v);
      mesh.faceMaterials.push_back(std::uint32_t(r % 2));
      mesh.faceWraps.push_back({s % 2 == 0, r % 3 == 0});
    }
  }
  mesh.faceNormals = mesh.faceVertices;
  Material red;
  red.name = "red";
  red.faceColor = {1, 0, 0, 0.5f};
  red.power = 12.5f;
  red.specular = {0.25f, 0.5f, 0.75f};
  Material textured;
  textured.faceColor = {0.1f, 0.2f, 0.3f, 1};
  textured.emissive = {0.01f, 0.02f, 0.03f};
  textured.textureFile = "maps\\stone \"old\".bmp";
  mesh.materials = {red, textured};
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
