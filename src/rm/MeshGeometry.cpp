#include "korvane3d/rm/MeshGeometry.h"

#include <algorithm>
#include <cmath>

namespace kv::rm {

bool MeshGeometry::Box(D3DRMBOX& box) const {
  if (positions.empty()) return false;
  Vec3 lo = positions[0], hi = positions[0];
  for (const Vec3& p : positions) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  box.min = lo;
  box.max = hi;
  return true;
}

std::uint32_t MeshGeometry::GroupFor(IDirect3DRMMaterial2* material, IDirect3DRMTexture3* texture) {
  for (std::uint32_t i = 0; i < groups.size(); ++i)
    if (groups[i].material.Get() == material && groups[i].texture.Get() == texture) return i;
  groups.push_back({ComPtr<IDirect3DRMMaterial2>(material), ComPtr<IDirect3DRMTexture3>(texture)});
  return static_cast<std::uint32_t>(groups.size() - 1);
}

void MeshGeometry::Append(const MeshGeometry& other) {
  auto vertexBase = static_cast<std::uint32_t>(positions.size());
  auto normalBase = static_cast<std::uint32_t>(normals.size());
  auto cornerBase = static_cast<std::uint32_t>(cornerVertex.size());
  if (!other.vertexColors.empty() || !vertexColors.empty()) {
    vertexColors.resize(positions.size(), 0xffffffff);
    if (other.vertexColors.empty())
      vertexColors.resize(positions.size() + other.positions.size(), 0xffffffff);
    else
      vertexColors.insert(vertexColors.end(), other.vertexColors.begin(), other.vertexColors.end());
  }
  positions.insert(positions.end(), other.positions.begin(), other.positions.end());
  normals.insert(normals.end(), other.normals.begin(), other.normals.end());
  uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
  for (std::uint32_t v : other.cornerVertex) cornerVertex.push_back(v + vertexBase);
  for (std::uint32_t n : other.cornerNormal) cornerNormal.push_back(n + normalBase);
  for (std::size_t f = 1; f < other.faceStart.size(); ++f) faceStart.push_back(other.faceStart[f] + cornerBase);
  faceColor.insert(faceColor.end(), other.faceColor.begin(), other.faceColor.end());
  faceWrap.insert(faceWrap.end(), other.faceWrap.begin(), other.faceWrap.end());
  for (std::uint32_t g : other.faceGroup)
    faceGroup.push_back(GroupFor(other.groups[g].material.Get(), other.groups[g].texture.Get()));
}

Vec3 MeshGeometry::FaceNormal(std::size_t f) const {
  std::uint32_t begin = faceStart[f], n = FaceSize(f);
  if (n < 3) return {};
  if (n == 3) {
    Vec3 p0 = positions[cornerVertex[begin]];
    return Cross(positions[cornerVertex[begin + 1]] - p0, positions[cornerVertex[begin + 2]] - p0);
  }
  Vec3 sum{};
  Vec3 origin = positions[cornerVertex[begin]];
  for (std::uint32_t i = 0; i < n; ++i) {
    Vec3 a = positions[cornerVertex[begin + i]] - origin;
    Vec3 b = positions[cornerVertex[begin + (i + 1) % n]] - origin;
    sum = sum + Cross(a, b);
  }
  return sum;
}

namespace {

// For each vertex, the corners that use it (compressed rows).
struct CornersByVertex {
  std::vector<std::uint32_t> start;
  std::vector<std::uint32_t> corners;
};

CornersByVertex IndexCorners(const MeshGeometry& g) {
  CornersByVertex index;
  index.start.assign(g.positions.size() + 1, 0);
  for (std::uint32_t v : g.cornerVertex) ++index.start[v + 1];
  for (std::size_t i = 1; i < index.start.size(); ++i) index.start[i] += index.start[i - 1];
  index.corners.resize(g.cornerVertex.size());
  std::vector<std::uint32_t> fill(index.start.begin(), index.start.end() - 1);
  for (std::uint32_t c = 0; c < g.cornerVertex.size(); ++c) index.corners[fill[g.cornerVertex[c]]++] = c;
  return index;
}

std::vector<std::uint32_t> CornerFaces(const MeshGeometry& g) {
  std::vector<std::uint32_t> faceOf(g.cornerVertex.size());
  for (std::size_t f = 0; f < g.FaceCount(); ++f)
    for (std::uint32_t c = g.faceStart[f]; c < g.faceStart[f + 1]; ++c) faceOf[c] = static_cast<std::uint32_t>(f);
  return faceOf;
}

}  // namespace

void GenerateVertexNormals(MeshGeometry& g, bool useCrease, float crease) {
  std::vector<Vec3> faceNormals(g.FaceCount());
  for (std::size_t f = 0; f < faceNormals.size(); ++f) faceNormals[f] = Normalized(g.FaceNormal(f));
  std::vector<std::uint32_t> faceOf = CornerFaces(g);
  CornersByVertex byVertex = IndexCorners(g);

  std::vector<Vec3> normals;
  std::vector<std::uint32_t> cornerNormal(g.cornerVertex.size(), 0);
  if (!useCrease) {
    normals.resize(g.positions.size());
    for (std::size_t v = 0; v < g.positions.size(); ++v) {
      Vec3 sum{};
      for (std::uint32_t i = byVertex.start[v]; i < byVertex.start[v + 1]; ++i) {
        std::uint32_t c = byVertex.corners[i];
        sum = sum + faceNormals[faceOf[c]];
        cornerNormal[c] = static_cast<std::uint32_t>(v);
      }
      normals[v] = Normalized(sum);
    }
  } else {
    // Faces meeting at a vertex share a normal when their normals differ by
    // at most the crease angle (a little slack keeps coplanar faces together
    // despite rounding).
    const float limit = std::cos(std::clamp(crease, 0.0f, 3.14159265f)) - 1e-5f;
    struct Cluster {
      Vec3 first, sum;
      std::uint32_t index;
    };
    std::vector<Cluster> clusters;
    for (std::size_t v = 0; v < g.positions.size(); ++v) {
      clusters.clear();
      for (std::uint32_t i = byVertex.start[v]; i < byVertex.start[v + 1]; ++i) {
        std::uint32_t c = byVertex.corners[i];
        Vec3 fn = faceNormals[faceOf[c]];
        auto it = std::find_if(clusters.begin(), clusters.end(),
                               [&](const Cluster& k) { return Dot(k.first, fn) >= limit; });
        if (it == clusters.end()) {
          clusters.push_back({fn, {}, static_cast<std::uint32_t>(normals.size())});
          normals.push_back({});
          it = clusters.end() - 1;
        }
        it->sum = it->sum + fn;
        cornerNormal[c] = it->index;
      }
      for (const Cluster& k : clusters) normals[k.index] = Normalized(k.sum);
    }
  }
  g.normals = std::move(normals);
  g.cornerNormal = std::move(cornerNormal);
}

}  // namespace kv::rm
