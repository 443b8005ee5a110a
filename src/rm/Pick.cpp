#include "rm/Pick.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "rm/Arrays.h"
#include "rm/Mesh.h"
#include "rm/MeshBuilder.h"
#include "rm/SceneWalk.h"

namespace kv::rm {

namespace {

// Slab test of the segment against a box; false when it misses entirely.
bool SegmentMeetsBox(Vec3 o, Vec3 d, const D3DRMBOX& box, float tMax) {
  float lo = 0, hi = tMax;
  const float origin[3] = {o.x, o.y, o.z}, dir[3] = {d.x, d.y, d.z};
  const float mins[3] = {box.min.x, box.min.y, box.min.z}, maxs[3] = {box.max.x, box.max.y, box.max.z};
  for (int a = 0; a < 3; ++a) {
    if (dir[a] == 0) {
      if (origin[a] < mins[a] || origin[a] > maxs[a]) return false;
      continue;
    }
    float t0 = (mins[a] - origin[a]) / dir[a], t1 = (maxs[a] - origin[a]) / dir[a];
    if (t0 > t1) std::swap(t0, t1);
    lo = std::max(lo, t0);
    hi = std::min(hi, t1);
    if (lo > hi) return false;
  }
  return true;
}

// Möller–Trumbore, both sides of the triangle; t along the segment.
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

struct MeshHit {
  float t;
  std::uint32_t face;
  std::uint32_t group;
};

// Nearest face of g met by the segment (model coordinates), fans of each face.
bool NearestFace(const MeshGeometry& g, Vec3 o, Vec3 d, MeshHit& hit) {
  D3DRMBOX box;
  if (!g.Box(box) || !SegmentMeetsBox(o, d, box, 1.0f)) return false;
  bool found = false;
  hit.t = std::numeric_limits<float>::infinity();
  for (std::size_t f = 0; f < g.FaceCount(); ++f) {
    const std::uint32_t first = g.faceStart[f], corners = g.FaceSize(f);
    const Vec3 a = g.positions[g.cornerVertex[first]];
    for (std::uint32_t i = 1; i + 1 < corners; ++i) {
      float t;
      if (SegmentMeetsTriangle(o, d, a, g.positions[g.cornerVertex[first + i]],
                               g.positions[g.cornerVertex[first + i + 1]], t) &&
          t < hit.t) {
        hit = {t, static_cast<std::uint32_t>(f), f < g.faceGroup.size() ? g.faceGroup[f] : 0};
        found = true;
      }
    }
  }
  return found;
}

const MeshGeometry* GeometryOf(IDirect3DRMVisual* visual) {
  if (MeshBuilder* b = MeshBuilder::From(visual)) return &b->Geometry();
  if (Mesh* m = Mesh::From(visual)) return &m->Geometry();
  return nullptr;
}

class PickedArray final : public kv::RefCount, public IDirect3DRMPickedArray {
 public:
  explicit PickedArray(std::vector<PickHit> hits) : hits_(std::move(hits)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    return AnswerQuery(iid, out, {IID_IDirect3DRMPickedArray}, static_cast<IDirect3DRMPickedArray*>(this));
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  DWORD GetSize() override { return static_cast<DWORD>(hits_.size()); }
  HRESULT GetPick(DWORD index, IDirect3DRMVisual** visual, IDirect3DRMFrameArray** frames,
                  D3DRMPICKDESC* desc) override {
    if (index >= hits_.size()) return D3DRMERR_BADVALUE;
    const PickHit& hit = hits_[index];
    if (visual) HandOut<IDirect3DRMVisual>(hit.visual.Get(), visual);
    if (frames) *frames = MakeFrameArray(hit.frames).Detach();
    if (desc) *desc = hit.desc;
    return D3DRM_OK;
  }

 private:
  std::vector<PickHit> hits_;
};

}  // namespace

std::vector<PickHit> PickScene(Frame& root, const PickRay& ray) {
  std::vector<PickHit> hits;
  WalkScene(root, D3DRMFRAME_PICKENABLE, [&](const FrameVisit& v) {
    Mat4 toModel;
    bool invertible = false;
    for (const ComPtr<IDirect3DRMVisual>& visual : v.frame->Visuals()) {
      const MeshGeometry* g = GeometryOf(visual.Get());
      if (!g || g->FaceCount() == 0) continue;
      if (!invertible && !(invertible = InvertAffine(v.world, toModel))) return;
      // An affine map keeps the segment parameter, so t compares across frames.
      const Vec3 o = TransformPoint(ray.origin, toModel), d = TransformDirection(ray.direction, toModel);
      MeshHit mh;
      if (!NearestFace(*g, o, d, mh)) continue;
      PickHit hit;
      hit.visual = visual;
      for (Frame* f : v.path) hit.frames.push_back(ComPtr<IDirect3DRMFrame3>(f));
      hit.desc.ulFaceIdx = mh.face;
      hit.desc.lGroupIdx = static_cast<LONG>(mh.group);
      hit.desc.vPosition = ray.origin + ray.direction * mh.t;
      hit.t = mh.t;
      hits.push_back(std::move(hit));
    }
  });
  std::stable_sort(hits.begin(), hits.end(), [](const PickHit& a, const PickHit& b) { return a.t < b.t; });
  return hits;
}

ComPtr<IDirect3DRMPickedArray> MakePickedArray(std::vector<PickHit> hits) {
  return ComPtr<IDirect3DRMPickedArray>::Adopt(new PickedArray(std::move(hits)));
}

}  // namespace kv::rm
