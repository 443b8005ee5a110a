#include "korvane3d/rm/xfile/SampleMesh.h"

#include <algorithm>
#include <cmath>

namespace kv::xfile {

MeshData MakeSphere(int rings, int segments, float radius) {
  rings = std::max(rings, 2);
  segments = std::max(segments, 3);
  MeshData mesh;
  mesh.name = "sphere";
  const double pi = std::acos(-1.0);
  const std::size_t vertices = std::size_t(rings + 1) * std::size_t(segments + 1);
  mesh.positions.reserve(vertices);
  mesh.normals.reserve(vertices);
  mesh.texCoords.reserve(vertices);
  for (int r = 0; r <= rings; ++r) {
    const double theta = pi * r / rings;
    for (int s = 0; s <= segments; ++s) {
      const double phi = 2 * pi * s / segments;
      const Vec3 n{float(std::sin(theta) * std::cos(phi)), float(std::cos(theta)), float(std::sin(theta) * std::sin(phi))};
      mesh.positions.push_back({n[0] * radius, n[1] * radius, n[2] * radius});
      mesh.normals.push_back(n);
      mesh.texCoords.push_back({float(s) / float(segments), float(r) / float(rings)});
    }
  }
  const std::size_t faces = std::size_t(rings) * std::size_t(segments) * 2;
  mesh.faceSizes.assign(faces, 3);
  mesh.faceVertices.reserve(faces * 3);
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const std::uint32_t a = std::uint32_t(r * (segments + 1) + s), b = a + std::uint32_t(segments) + 1;
      for (std::uint32_t v : {a, b, a + 1, a + 1, b, b + 1}) mesh.faceVertices.push_back(v);
    }
  }
  mesh.faceNormals = mesh.faceVertices;
  Material material;
  material.name = "surface";
  material.faceColor = {0.8f, 0.7f, 0.6f, 1.0f};
  material.power = 16;
  material.specular = {1, 1, 1};
  mesh.materials.push_back(material);
  mesh.faceMaterials.assign(faces, 0);
  return mesh;
}

}  // namespace kv::xfile
