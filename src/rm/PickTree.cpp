#include "korvane3d/rm/PickTree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace kv::rm {

namespace {

constexpr std::uint32_t kLeafSize = 4;
// Halving splits keep the depth under 33 for any triangle count that fits
// the indices, so the pending nodes of a query fit a fixed stack.
constexpr std::size_t kStackSize = 64;

float Axis(Vec3 v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

void Grow(D3DRMBOX& box, Vec3 p) {
  box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z)};
  box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z)};
}

D3DRMBOX EmptyBox() {
  constexpr float inf = std::numeric_limits<float>::infinity();
  return {{inf, inf, inf}, {-inf, -inf, -inf}};
}

// Widens a box by a little more than the rounding of the slab and triangle
// tests, so a triangle the exact test meets is never pruned with its box.
void Pad(D3DRMBOX& box) {
  const float scale = std::max(MaxAbs(box.min), MaxAbs(box.max));
  const float pad = scale * 1e-5f;
  box.min = box.min - Vec3{pad, pad, pad};
  box.max = box.max + Vec3{pad, pad, pad};
}

// A split key that orders every triangle, also one with non-finite corners.
float CentroidKey(Vec3 c, int axis) {
  const float v = Axis(c, axis);
  return std::isfinite(v) ? v : 0.0f;
}

}  // namespace

bool SegmentMeetsBox(Vec3 o, Vec3 d, const D3DRMBOX& box, float tMax, float& entry) {
  float lo = 0, hi = tMax;
  for (int a = 0; a < 3; ++a) {
    const float origin = Axis(o, a), dir = Axis(d, a), mn = Axis(box.min, a), mx = Axis(box.max, a);
    if (dir == 0) {
      if (origin < mn || origin > mx) return false;
      continue;
    }
    float t0 = (mn - origin) / dir, t1 = (mx - origin) / dir;
    if (t0 > t1) std::swap(t0, t1);
    lo = std::max(lo, t0);
    hi = std::min(hi, t1);
    if (lo > hi) return false;
  }
  entry = lo;
  return true;
}

bool SegmentMeetsTriangle(Vec3 o, Vec3 d, Vec3 a, Vec3 b, Vec3 c, float& t) {
  const Vec3 e1 = b - a, e2 = c - a;
  const Vec3 p = Cross(d, e2);
  const float det = Dot(e1, p);
  if (std::fabs(det) < 1e-20f) return false;
  const float inv = 1.0f / det;
  const Vec3 s = o - a;
  const float u = Dot(s, p) * inv;
  if (u < 0 || u > 1) return false;
  const Vec3 q = Cross(s, e1);
  const float v = Dot(d, q) * inv;
  if (v < 0 || u + v > 1) return false;
  t = Dot(e2, q) * inv;
  return t >= 0 && t <= 1;
}

TriangleTree::TriangleTree(const MeshGeometry& g) {
  std::vector<Vec3> centroids;
  for (std::size_t f = 0; f < g.FaceCount(); ++f) {
    const std::uint32_t first = g.faceStart[f], corners = g.FaceSize(f);
    const Vec3 a = g.positions[g.cornerVertex[first]];
    for (std::uint32_t i = 1; i + 1 < corners; ++i) {
      const Vec3 b = g.positions[g.cornerVertex[first + i]], c = g.positions[g.cornerVertex[first + i + 1]];
      triangles_.push_back({a, b, c, static_cast<std::uint32_t>(triangles_.size()), static_cast<std::uint32_t>(f)});
      centroids.push_back((a + b + c) * (1.0f / 3.0f));
    }
  }
  if (!triangles_.empty()) Build(centroids);
}

void TriangleTree::Build(std::vector<Vec3>& centroids) {
  const auto n = static_cast<std::uint32_t>(triangles_.size());
  std::vector<std::uint32_t> index(n);
  std::iota(index.begin(), index.end(), 0u);
  struct Work {
    std::uint32_t node, first, count;
  };
  nodes_.reserve(2 * (n / kLeafSize) + 1);
  nodes_.emplace_back();
  std::vector<Work> work{{0, 0, n}};
  while (!work.empty()) {
    const Work w = work.back();
    work.pop_back();
    if (w.count <= kLeafSize) {
      nodes_[w.node].first = w.first;
      nodes_[w.node].count = w.count;
      continue;
    }
    // Split at the median along the longest side of the centroids' box.
    D3DRMBOX spread = EmptyBox();
    for (std::uint32_t i = w.first; i < w.first + w.count; ++i) {
      const Vec3 c = centroids[index[i]];
      Grow(spread, {CentroidKey(c, 0), CentroidKey(c, 1), CentroidKey(c, 2)});
    }
    const Vec3 side = spread.max - spread.min;
    const int axis = side.x >= side.y && side.x >= side.z ? 0 : side.y >= side.z ? 1 : 2;
    const std::uint32_t mid = w.first + w.count / 2;
    std::nth_element(index.begin() + w.first, index.begin() + mid, index.begin() + w.first + w.count,
                     [&](std::uint32_t l, std::uint32_t r) {
                       return CentroidKey(centroids[l], axis) < CentroidKey(centroids[r], axis);
                     });
    const auto child = static_cast<std::uint32_t>(nodes_.size());
    nodes_.emplace_back();
    nodes_.emplace_back();
    nodes_[w.node].first = child;
    work.push_back({child, w.first, mid - w.first});
    work.push_back({child + 1, mid, w.first + w.count - mid});
  }
  std::vector<Triangle> ordered;
  ordered.reserve(n);
  for (std::uint32_t i : index) ordered.push_back(triangles_[i]);
  triangles_ = std::move(ordered);
  // Children come after their parent, so a backward pass sees them first.
  for (std::size_t i = nodes_.size(); i-- > 0;) {
    Node& node = nodes_[i];
    if (node.count > 0) {
      node.box = BoundsOf(node.first, node.count);
      Pad(node.box);
    } else {
      node.box = nodes_[node.first].box;
      Grow(node.box, nodes_[node.first + 1].box.min);
      Grow(node.box, nodes_[node.first + 1].box.max);
    }
  }
}

D3DRMBOX TriangleTree::BoundsOf(std::uint32_t first, std::uint32_t count) const {
  D3DRMBOX box = EmptyBox();
  for (std::uint32_t i = first; i < first + count; ++i) {
    Grow(box, triangles_[i].a);
    Grow(box, triangles_[i].b);
    Grow(box, triangles_[i].c);
  }
  return box;
}

bool TriangleTree::Nearest(Vec3 o, Vec3 d, TriangleHit& hit) const {
  struct Pending {
    std::uint32_t node;
    float entry;
  };
  std::array<Pending, kStackSize> stack;
  std::size_t top = 0;
  float best = std::numeric_limits<float>::infinity();
  std::uint32_t bestOrder = std::numeric_limits<std::uint32_t>::max();
  float entry = 0;
  if (nodes_.empty() || !SegmentMeetsBox(o, d, nodes_[0].box, 1.0f, entry)) return false;
  stack[top++] = {0, entry};
  while (top > 0) {
    const Pending p = stack[--top];
    if (p.entry > best) continue;
    const Node& node = nodes_[p.node];
    if (node.count > 0) {
      for (std::uint32_t i = node.first; i < node.first + node.count; ++i) {
        const Triangle& tri = triangles_[i];
        float t;
        if (SegmentMeetsTriangle(o, d, tri.a, tri.b, tri.c, t) && (t < best || (t == best && tri.order < bestOrder))) {
          best = t;
          bestOrder = tri.order;
          hit = {t, tri.face};
        }
      }
      continue;
    }
    // Nearer child on top of the stack; ties in distance still get visited.
    const float limit = std::min(1.0f, best);
    float e0 = 0, e1 = 0;
    const bool in0 = SegmentMeetsBox(o, d, nodes_[node.first].box, limit, e0);
    const bool in1 = SegmentMeetsBox(o, d, nodes_[node.first + 1].box, limit, e1);
    if (in0 && in1 && e1 < e0) {
      stack[top++] = {node.first, e0};
      stack[top++] = {node.first + 1, e1};
    } else {
      if (in1) stack[top++] = {node.first + 1, e1};
      if (in0) stack[top++] = {node.first, e0};
    }
  }
  return bestOrder != std::numeric_limits<std::uint32_t>::max();
}

const TriangleTree& PickTreeCache::For(const MeshGeometry& geometry, std::uint64_t revision) const {
  if (!tree_ || revision_ != revision) {
    tree_ = std::make_unique<const TriangleTree>(geometry);
    revision_ = revision;
  }
  return *tree_;
}

}  // namespace kv::rm
