#include "korvane3d/rm/Pick.h"

#include <algorithm>

#include "korvane3d/rm/Arrays.h"
#include "korvane3d/rm/Mesh.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/PickTree.h"
#include "korvane3d/rm/SceneWalk.h"

namespace kv::rm {

namespace {

// What picking reads of a visual: the geometry of a mesh builder or mesh
// and the triangle tree cached with it; nothing for other visuals.
struct Pickable {
  const MeshGeometry* geometry = nullptr;
  const PickTreeCache* trees = nullptr;
  std::uint64_t revision = 0;
};

Pickable PickableOf(IDirect3DRMVisual* visual) {
  if (MeshBuilder* b = MeshBuilder::From(visual)) return {&b->Geometry(), &b->PickTrees(), b->Revision()};
  if (Mesh* m = Mesh::From(visual)) return {&m->Geometry(), &m->PickTrees(), 0};
  return {};
}

struct MeshHit {
  float t;
  std::uint32_t face;
  std::uint32_t group;
};

// Nearest face met by the segment (model coordinates).
bool NearestFace(const Pickable& p, Vec3 o, Vec3 d, MeshHit& hit) {
  TriangleHit th;
  if (!p.trees->For(*p.geometry, p.revision).Nearest(o, d, th)) return false;
  const std::vector<std::uint32_t>& groups = p.geometry->faceGroup;
  hit = {th.t, th.face, th.face < groups.size() ? groups[th.face] : 0};
  return true;
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
      const Pickable p = PickableOf(visual.Get());
      if (!p.geometry || p.geometry->FaceCount() == 0) continue;
      if (!invertible && !(invertible = InvertAffine(v.world, toModel))) return;
      // An affine map keeps the segment parameter, so t compares across frames.
      const Vec3 o = TransformPoint(ray.origin, toModel), d = TransformDirection(ray.direction, toModel);
      MeshHit mh;
      if (!NearestFace(p, o, d, mh)) continue;
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
