// A frozen copy of a mesh builder's geometry: what CreateMesh hands out and
// what shadows are made from. Its geometry never changes.
#pragma once

#include <memory>

#include "korvane3d/rm/MeshGeometry.h"
#include "korvane3d/rm/Object.h"
#include "korvane3d/rm/PickTree.h"

namespace kv::rm {

class Mesh final : public ObjectImpl<IDirect3DRMMesh> {
 public:
  static ComPtr<Mesh> Create(const MeshGeometry& geometry, D3DRMRENDERQUALITY quality, bool perspective);
  static Mesh* From(IUnknown* object);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT GetBox(D3DRMBOX* box) override;
  DWORD GetGroupCount() override;
  int GetVertexCount() override;
  int GetFaceCount() override;

  const MeshGeometry& Geometry() const { return *geometry_; }
  // Ray queries on Geometry(), built on first use.
  const PickTreeCache& PickTrees() const { return pickTrees_; }
  D3DRMRENDERQUALITY Quality() const { return quality_; }
  bool Perspective() const { return perspective_; }

 private:
  Mesh() = default;
  ~Mesh() override = default;
  const char* ClassName() const override { return "Mesh"; }

  std::shared_ptr<const MeshGeometry> geometry_;
  D3DRMRENDERQUALITY quality_ = D3DRMRENDER_GOURAUD;
  bool perspective_ = false;
  PickTreeCache pickTrees_;
};

}  // namespace kv::rm
