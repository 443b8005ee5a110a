// Ray queries on a mesh's triangles: a bounding-volume hierarchy over the
// fan triangles of every face, in model coordinates, and the cache that
// keeps one with a mesh builder (or frozen mesh) until its geometry changes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "korvane3d/rm/MeshGeometry.h"

namespace kv::rm {

// Slab test of the segment o + t·d, t in [0, tMax], against a box. On a
// meeting, entry is the smallest t inside the box.
bool SegmentMeetsBox(Vec3 o, Vec3 d, const D3DRMBOX& box, float tMax, float& entry);

// Möller–Trumbore, both sides of the triangle; t along the segment, in [0, 1].
bool SegmentMeetsTriangle(Vec3 o, Vec3 d, Vec3 a, Vec3 b, Vec3 c, float& t);

struct TriangleHit {
  float t = 0;
  std::uint32_t face = 0;
};

class TriangleTree {
 public:
  explicit TriangleTree(const MeshGeometry& geometry);

  // The nearest triangle that o + t·d, t in [0, 1], meets. Equal distances
  // go to the triangle that comes first face by face, fan by fan, so the
  // answer is the one a scan of every triangle in order would give.
  bool Nearest(Vec3 o, Vec3 d, TriangleHit& hit) const;
  std::size_t TriangleCount() const { return triangles_.size(); }

 private:
  struct Triangle {
    Vec3 a, b, c;
    std::uint32_t order;  // position in the face-by-face scan
    std::uint32_t face;
  };
  // A leaf holds triangles [first, first + count); an inner node (count 0)
  // has its children at first and first + 1.
  struct Node {
    D3DRMBOX box;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };

  void Build(std::vector<Vec3>& centroids);
  D3DRMBOX BoundsOf(std::uint32_t first, std::uint32_t count) const;

  std::vector<Triangle> triangles_;
  std::vector<Node> nodes_;
};

// The tree of one geometry revision, built on first use. Callers hold the
// engine lock, which also guards the cache.
class PickTreeCache {
 public:
  const TriangleTree& For(const MeshGeometry& geometry, std::uint64_t revision) const;

 private:
  mutable std::unique_ptr<const TriangleTree> tree_;
  mutable std::uint64_t revision_ = 0;
};

}  // namespace kv::rm
