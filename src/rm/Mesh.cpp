#include "korvane3d/rm/Mesh.h"

namespace kv::rm {

ComPtr<Mesh> Mesh::Create(const MeshGeometry& geometry, D3DRMRENDERQUALITY quality, bool perspective) {
  auto mesh = ComPtr<Mesh>::Adopt(new Mesh);
  mesh->geometry_ = std::make_shared<const MeshGeometry>(geometry);
  mesh->quality_ = quality;
  mesh->perspective_ = perspective;
  return mesh;
}

Mesh* Mesh::From(IUnknown* object) { return ExactCast<Mesh>(object); }

HRESULT Mesh::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out, {IID_IDirect3DRMObject, IID_IDirect3DRMVisual, IID_IDirect3DRMMesh},
                     static_cast<IDirect3DRMMesh*>(this));
}

HRESULT Mesh::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = ComPtr<Mesh>::Adopt(new Mesh);
  copy->CopyObjectDataFrom(*this);
  copy->geometry_ = geometry_;  // immutable, so shared
  copy->quality_ = quality_;
  copy->perspective_ = perspective_;
  return copy->QueryInterface(iid, out);
}

HRESULT Mesh::GetBox(D3DRMBOX* box) {
  if (!box) return D3DRMERR_BADVALUE;
  return geometry_->Box(*box) ? D3DRM_OK : D3DRMERR_BOXNOTSET;
}

DWORD Mesh::GetGroupCount() {
  // Groups that some face uses.
  std::vector<bool> used(geometry_->groups.size());
  for (std::uint32_t g : geometry_->faceGroup) used[g] = true;
  return static_cast<DWORD>(std::count(used.begin(), used.end(), true));
}

int Mesh::GetVertexCount() { return static_cast<int>(geometry_->positions.size()); }
int Mesh::GetFaceCount() { return static_cast<int>(geometry_->FaceCount()); }

}  // namespace kv::rm
