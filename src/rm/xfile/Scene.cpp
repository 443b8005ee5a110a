// From the scene read from a file to one mesh record: material references
// resolved, each mesh carried by its frames' accumulated matrices, all meshes
// merged in file order.
#include <cmath>

#include "korvane3d/rm/xfile/Reader.h"

namespace kv::xfile::detail {
namespace {

using Matrix = std::array<double, 16>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// a then b, for row vectors: v * a * b.
Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix out{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) out[r * 4 + c] += a[r * 4 + k] * b[k * 4 + c];
  return out;
}

// Each frame's matrix relative to the file; parents come before children.
std::vector<Matrix> WorldMatrices(const std::vector<SceneFrame>& frames) {
  std::vector<Matrix> world(frames.size(), kIdentity);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    Matrix local = kIdentity;
    if (frames[i].hasMatrix) std::copy(frames[i].matrix.begin(), frames[i].matrix.end(), local.begin());
    world[i] = frames[i].parent < 0 ? local : Multiply(local, world[std::size_t(frames[i].parent)]);
  }
  return world;
}

// Positions by the matrix; normals by the inverse transpose of its 3x3 part
// (the cofactor matrix, with the determinant's sign), then renormalised.
// False when a position lands beyond the float range.
bool Transform(MeshData& mesh, const Matrix& m) {
  bool finite = true;
  for (Vec3& p : mesh.positions) {
    const double x = p[0], y = p[1], z = p[2];
    for (int c = 0; c < 3; ++c) {
      p[std::size_t(c)] = float(x * m[c] + y * m[4 + c] + z * m[8 + c] + m[12 + c]);
      finite &= std::isfinite(p[std::size_t(c)]);
    }
  }
  auto at = [&](int r, int c) { return m[std::size_t(r * 4 + c)]; };
  double cof[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      cof[r][c] = at((r + 1) % 3, (c + 1) % 3) * at((r + 2) % 3, (c + 2) % 3) -
                  at((r + 1) % 3, (c + 2) % 3) * at((r + 2) % 3, (c + 1) % 3);
  const double det = at(0, 0) * cof[0][0] + at(0, 1) * cof[0][1] + at(0, 2) * cof[0][2];
  const double sign = det < 0 ? -1.0 : 1.0;
  for (Vec3& n : mesh.normals) {
    double out[3];
    for (int c = 0; c < 3; ++c) out[c] = sign * (n[0] * cof[0][c] + n[1] * cof[1][c] + n[2] * cof[2][c]);
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    if (length > 0)
      for (int c = 0; c < 3; ++c) n[std::size_t(c)] = float(out[c] / length);
  }
  return finite;
}

// Per-vertex normals as the average of the unit normals (Newell's method for
// polygons) of the faces around each vertex; for meshes merged with meshes
// that have normals.
void GenerateNormals(MeshData& mesh) {
  std::vector<std::array<double, 3>> sums(mesh.positions.size(), {0, 0, 0});
  std::size_t at = 0;
  for (std::uint32_t corners : mesh.faceSizes) {
    double n[3] = {0, 0, 0};
    for (std::uint32_t i = 0; i < corners; ++i) {
      const Vec3& a = mesh.positions[mesh.faceVertices[at + i]];
      const Vec3& b = mesh.positions[mesh.faceVertices[at + (i + 1) % corners]];
      n[0] += (double(a[1]) - b[1]) * (double(a[2]) + b[2]);
      n[1] += (double(a[2]) - b[2]) * (double(a[0]) + b[0]);
      n[2] += (double(a[0]) - b[0]) * (double(a[1]) + b[1]);
    }
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (std::uint32_t i = 0; length > 0 && i < corners; ++i)
      for (int c = 0; c < 3; ++c) sums[mesh.faceVertices[at + i]][std::size_t(c)] += n[c] / length;
    at += corners;
  }
  mesh.normals.resize(sums.size());
  for (std::size_t v = 0; v < sums.size(); ++v) {
    const auto& s = sums[v];
    const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (int c = 0; c < 3; ++c) mesh.normals[v][std::size_t(c)] = length > 0 ? float(s[std::size_t(c)] / length) : 0.f;
  }
  mesh.faceNormals = mesh.faceVertices;
}

template <typename T>
void AppendOffset(std::vector<T>& to, const std::vector<T>& from, T offset) {
  to.reserve(to.size() + from.size());
  for (T value : from) to.push_back(value + offset);
}

template <typename T>
void Append(std::vector<T>& to, const std::vector<T>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// Appends `part` to `all`. Per-vertex and per-face attributes that only one
// side has are filled in for the other with neutral values.
void Merge(MeshData& all, MeshData& part, bool anyNormals, bool anyCoords, bool anyColors, bool anyMaterials,
           bool anyWraps) {
  if (anyNormals && part.normals.empty() && !part.faceVertices.empty()) GenerateNormals(part);
  if (anyCoords) part.texCoords.resize(part.positions.size(), Vec2{0, 0});
  if (anyColors) part.vertexColors.resize(part.positions.size(), 0xffffffffu);
  if (anyWraps) part.faceWraps.resize(part.faceSizes.size(), {false, false});
  if (anyMaterials && part.faceMaterials.empty() && !part.faceSizes.empty()) {
    part.materials.assign(1, Material{});
    part.faceMaterials.assign(part.faceSizes.size(), 0);
  }
  AppendOffset(all.faceVertices, part.faceVertices, std::uint32_t(all.positions.size()));
  AppendOffset(all.faceNormals, part.faceNormals, std::uint32_t(all.normals.size()));
  AppendOffset(all.faceMaterials, part.faceMaterials, std::uint32_t(all.materials.size()));
  Append(all.positions, part.positions);
  Append(all.normals, part.normals);
  Append(all.faceSizes, part.faceSizes);
  Append(all.texCoords, part.texCoords);
  Append(all.vertexColors, part.vertexColors);
  Append(all.materials, part.materials);
  Append(all.faceWraps, part.faceWraps);
}

bool ResolveReferences(Scene& scene, ErrorState& errors) {
  for (SceneMesh& sceneMesh : scene.meshes) {
    for (const MaterialReference& ref : sceneMesh.references) {
      const auto it = scene.namedMaterials.find(ref.name);
      if (it == scene.namedMaterials.end())
        return errors.Fail(Status::BadFile, "reference to unknown material \"" + ref.name + "\"", ref.offset);
      sceneMesh.mesh.materials[ref.slot] = it->second;
    }
  }
  return true;
}

}  // namespace

bool BuildMesh(Scene& scene, MeshData& out, ErrorState& errors) {
  if (!ResolveReferences(scene, errors)) return false;
  if (scene.meshes.empty()) return errors.Fail(Status::NotFound, "the file holds no mesh", 0);
  const std::vector<Matrix> world = WorldMatrices(scene.frames);
  bool anyNormals = false, anyCoords = false, anyColors = false, anyMaterials = false, anyWraps = false;
  std::uint64_t positions = 0, corners = 0;
  for (SceneMesh& sceneMesh : scene.meshes) {
    MeshData& mesh = sceneMesh.mesh;
    if (sceneMesh.frame >= 0 && world[std::size_t(sceneMesh.frame)] != kIdentity &&
        !Transform(mesh, world[std::size_t(sceneMesh.frame)]))
      return errors.Fail(Status::BadFile,
                         (mesh.name.empty() ? std::string("a mesh") : "mesh \"" + mesh.name + "\"") +
                             ": its frames' matrices carry a vertex beyond the float range",
                         sceneMesh.offset);
    anyNormals |= !mesh.normals.empty();
    anyCoords |= !mesh.texCoords.empty();
    anyColors |= !mesh.vertexColors.empty();
    anyMaterials |= !mesh.faceMaterials.empty();
    anyWraps |= !mesh.faceWraps.empty();
    positions += mesh.positions.size();
    corners += mesh.faceVertices.size();
  }
  if (positions > kMaxElements || corners > kMaxElements)
    return errors.Fail(Status::TooLarge, "the meshes together exceed the size limit", 0);
  if (scene.meshes.size() == 1) {
    out = std::move(scene.meshes.front().mesh);
    return true;
  }
  MeshData all;
  all.name = scene.meshes.front().mesh.name;
  std::size_t normals = 0, faces = 0;
  for (const SceneMesh& part : scene.meshes) {
    normals += part.mesh.normals.empty() ? part.mesh.positions.size() : part.mesh.normals.size();
    faces += part.mesh.faceSizes.size();
  }
  all.positions.reserve(positions);
  all.faceVertices.reserve(corners);
  all.faceSizes.reserve(faces);
  if (anyNormals) all.normals.reserve(normals), all.faceNormals.reserve(corners);
  if (anyCoords) all.texCoords.reserve(positions);
  if (anyMaterials) all.faceMaterials.reserve(faces);
  for (SceneMesh& sceneMesh : scene.meshes)
    Merge(all, sceneMesh.mesh, anyNormals, anyCoords, anyColors, anyMaterials, anyWraps);
  out = std::move(all);
  return true;
}

}  // namespace kv::xfile::detail
