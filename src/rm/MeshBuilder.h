// Mesh builders: editable polygon meshes, drawn when added to a frame.
#pragma once

#include <cstdint>
#include <memory>

#include "korvane3d/rm/MeshGeometry.h"
#include "korvane3d/rm/Object.h"
#include "korvane3d/rm/PickTree.h"

namespace kv::rm {

// What a load from memory points at (D3DRMLOAD_FROMMEMORY).
struct D3DRMLOADMEMORY {
  void* lpMemory = nullptr;
  DWORD dSize = 0;
};

class MeshBuilder final : public ObjectImpl<IDirect3DRMMeshBuilder3> {
 public:
  static ComPtr<MeshBuilder> Create();
  static MeshBuilder* From(IUnknown* object);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;

  HRESULT AddFaces(DWORD vertexCount, const D3DVECTOR* vertices, DWORD normalCount, const D3DVECTOR* normals,
                   const DWORD* faceData, IDirect3DRMFaceArray** faces) override;
  HRESULT AddMeshBuilder(IDirect3DRMMeshBuilder3* other, DWORD flags) override;
  int AddVertex(D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  int AddNormal(D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  HRESULT ReserveSpace(DWORD vertexCount, DWORD normalCount, DWORD faceCount) override;
  HRESULT GetGeometry(DWORD* vertexCount, D3DVECTOR* vertices, DWORD* normalCount, D3DVECTOR* normals,
                      DWORD* faceDataSize, DWORD* faceData) override;
  HRESULT GetBox(D3DRMBOX* box) override;
  int GetVertexCount() override;
  int GetNormalCount() override;
  int GetFaceCount() override;
  HRESULT GetVertex(DWORD index, D3DVECTOR* vertex) override;
  HRESULT SetVertex(DWORD index, D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  HRESULT GetNormal(DWORD index, D3DVECTOR* normal) override;
  HRESULT SetNormal(DWORD index, D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  HRESULT GetTextureCoordinates(DWORD index, D3DVALUE* u, D3DVALUE* v) override;
  HRESULT SetTextureCoordinates(DWORD index, D3DVALUE u, D3DVALUE v) override;
  D3DCOLOR GetVertexColor(DWORD index) override;
  HRESULT SetVertexColor(DWORD index, D3DCOLOR color) override;
  HRESULT SetVertexColorRGB(DWORD index, D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  HRESULT Empty(DWORD flags) override;
  HRESULT GenerateNormals(D3DVALUE crease, DWORD flags) override;
  HRESULT Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) override;
  HRESULT Translate(D3DVALUE tx, D3DVALUE ty, D3DVALUE tz) override;

  HRESULT SetColor(D3DCOLOR color) override;
  HRESULT SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  HRESULT SetTexture(IDirect3DRMTexture3* texture) override;
  HRESULT GetTexture(IDirect3DRMTexture3** texture) override;
  HRESULT SetMaterial(IDirect3DRMMaterial2* material) override;
  HRESULT GetMaterial(IDirect3DRMMaterial2** material) override;
  HRESULT SetTextureTopology(BOOL wrapU, BOOL wrapV) override;
  HRESULT SetQuality(D3DRMRENDERQUALITY quality) override;
  D3DRMRENDERQUALITY GetQuality() override;
  HRESULT SetPerspective(BOOL enable) override;
  BOOL GetPerspective() override;
  HRESULT CreateMesh(IDirect3DRMMesh** mesh) override;

  HRESULT Load(void* source, void* objectId, D3DRMLOADOPTIONS options, D3DRMLOADTEXTURE3CALLBACK cb,
               void* arg) override;
  HRESULT Save(LPCSTR fileName, D3DRMXOFFORMAT format, D3DRMSAVEOPTIONS options) override;

  // For renderers and wraps, with the engine lock held. Revision() changes
  // with every edit, so a renderer may cache what it derives from the
  // geometry.
  const MeshGeometry& Geometry() const { return geometry_; }
  MeshGeometry& MutableGeometry() {
    ++revision_;
    return geometry_;
  }
  std::uint64_t Revision() const { return revision_; }
  // Ray queries on Geometry(), rebuilt when Revision() has moved on.
  const PickTreeCache& PickTrees() const { return pickTrees_; }
  D3DRMRENDERQUALITY Quality() const { return quality_; }
  bool Perspective() const { return perspective_; }

 private:
  MeshBuilder() = default;
  ~MeshBuilder() override = default;
  const char* ClassName() const override { return "Builder"; }
  void Changed() { ++revision_; }
  void RegroupFaces(IDirect3DRMMaterial2* material, bool setMaterial, IDirect3DRMTexture3* texture, bool setTexture);

  MeshGeometry geometry_;
  std::uint64_t revision_ = 0;
  D3DRMRENDERQUALITY quality_ = D3DRMRENDER_GOURAUD;
  bool perspective_ = false;
  ComPtr<IDirect3DRMTexture3> texture_;
  ComPtr<IDirect3DRMMaterial2> material_;
  PickTreeCache pickTrees_;
};

// Reads face data (count, indices or pairs, ..., 0) against arrays of the
// given sizes into geometry whose positions and normals are those arrays.
// Nothing is changed and BADVALUE returned when the data are out of range.
HRESULT ParseFaceData(const DWORD* faceData, DWORD vertexCount, DWORD normalCount, MeshGeometry& out);

}  // namespace kv::rm
