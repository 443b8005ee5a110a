// TKV3DMesh: the builder's life, the copies of its geometry, visibility,
// colour, shape selection and Assign. Face and vertex operations are in
// Kv3dmeshfaces.cpp.
#include "korvane3d/objects/Kv3dmesh.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/rm/D3DRMGuids.h"

namespace kv {

const EnumInfo kShapeTypeInfo{"TMShapeType", {"stFile", "stSphere", "stPrism", "stCube"}};

const TClassInfo& TKV3DMesh::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DMesh, TPersistent>("TKV3DMesh", [](PropertyBuilder<TKV3DMesh>& p) {
    p.Object("File", &TKV3DMesh::File);
    p.Object("Cube", &TKV3DMesh::Cube);
    p.Object("Sphere", &TKV3DMesh::Sphere);
    p.Object("Prism", &TKV3DMesh::Prism);
    p.Boolean("GenerateNormals", &TKV3DMesh::GenerateNormals, &TKV3DMesh::SetGenerateNormals);
    p.Enum("ActiveShape", &TKV3DMesh::ActiveShape, &TKV3DMesh::SetActiveShape, kShapeTypeInfo);
  });
  return info;
}

TKV3DMesh::TKV3DMesh(TKV3DObject* object) : object_(object) {
  SetChange();
  file_ = std::make_unique<TKV3DFile>(this);
  cube_ = std::make_unique<TKV3DCube>(this);
  prism_ = std::make_unique<TKV3DPrism>(this);
  sphere_ = std::make_unique<TKV3DSphere>(this);
  ChangeShape();
}

TKV3DMesh::TKV3DMesh(TKV3DObject* object, const TKV3DMesh& source)
    : object_(object), vertices_(source.vertices_), normals_(source.normals_), faceData_(source.faceData_) {
  // Nothing more: refilling the object's builder or selecting a shape would
  // change (or, for a copy without sources, take off the frame) the mesh the
  // object shows.
}

TKV3DMesh::~TKV3DMesh() {
  if (meshBuilder_) meshBuilder_->Empty(0);
  ReplaceBuilder(nullptr);
  object_ = nullptr;
  file_.reset();
  cube_.reset();
  prism_.reset();
  sphere_.reset();
}

TPersistent* TKV3DMesh::GetOwner() const { return object_; }

IDirect3DRMFrame3* TKV3DMesh::ObjectFrame() const {
  return object_ != nullptr ? object_->GetIDirect3DRMFrame3() : nullptr;
}

// ---- Published settings and shape selection ------------------------------------------

void TKV3DMesh::SetGenerateNormals(bool value) {
  if (value == generateNormals_) return;
  generateNormals_ = value;
  ChangeShape();
  Change();
}

bool TKV3DMesh::SetActiveShape(TMShapeType value) {
  if (value < stFile || value > stCube) return Fail("not a value of TMShapeType");
  if (value == activeShape_) return true;
  activeShape_ = value;
  ChangeShape();
  return true;
}

void TKV3DMesh::ChangeShape() {
  Create();
  if (activeShape_ == stFile && file_) {
    const std::string name = file_->FileName();  // LoadFromFile stores into the same field
    file_->LoadFromFile(name);
  }
  if (activeShape_ == stPrism && prism_) prism_->Set();
  if (activeShape_ == stSphere && sphere_) sphere_->Set();
  if (activeShape_ == stCube && cube_) cube_->Set();
  if (meshBuilder_ && meshBuilder_->GetFaceCount() == 0) {
    // Off the frame first: otherwise the faceless builder (or the last
    // geometry) would go on being drawn while the mesh reports none.
    SetVisible(false);
    ReplaceBuilder(nullptr);
  }
  if (object_ != nullptr && object_->Scale() != nullptr) object_->Scale()->Change();
  Change();
}

bool TKV3DMesh::Assign(const TPersistent* source) {
  const auto* from = dynamic_cast<const TKV3DMesh*>(source);
  if (from == nullptr) return source == nullptr || TPersistent::Assign(source);
  if (from == this) return true;
  SetGenerateNormals(from->generateNormals_);
  SetActiveShape(from->activeShape_);
  if (file_ && from->file_) {
    file_->SetFileName(from->file_->FileName());
    file_->SetFormat(from->file_->Format());
  }
  if (cube_ && from->cube_) cube_->SetGrid(from->cube_->Grid());
  if (prism_ && from->prism_) {
    prism_->SetDepth(from->prism_->Depth());
    prism_->SetAperture(from->prism_->Aperture());
    prism_->SetVertices(from->prism_->Vertices());
  }
  if (sphere_ && from->sphere_) {
    sphere_->SetEdges(from->sphere_->Edges());
    sphere_->SetWalls(from->sphere_->Walls());
  }
  Change();
  return true;
}

// ---- The builder ------------------------------------------------------------------------

void TKV3DMesh::ReplaceBuilder(ComPtr<IDirect3DRMMeshBuilder3> builder) {
  meshBuilder_ = std::move(builder);
  // The object's move step reads the builder on the thread that moves the
  // scene: it gets the new one published.
  if (object_ != nullptr) object_->PublishMoveState();
}

void TKV3DMesh::Create() {
  ReplaceBuilder(nullptr);
  if (SharedD3DRM3() == nullptr) InitDirect3DRM();
  if (IDirect3DRM3* d3drm = SharedD3DRM3()) {
    ComPtr<IDirect3DRMMeshBuilder3> made;
    const HRESULT hr = d3drm->CreateMeshBuilder(made.ReleaseAndGetAddressOf());
    LastDXResult = hr;
    ReportDXError(hr, nullptr, false);
    ReplaceBuilder(std::move(made));
  }
}

void TKV3DMesh::Release() {
  SetVisible(false);
  ReplaceBuilder(nullptr);
  Create();
}

void TKV3DMesh::Change() {
  if (object_ == nullptr || !meshBuilder_) return;
  UpdateMeshVisible();
  if (generateNormals_) meshBuilder_->GenerateNormals(0.0f, D3DRMGENERATENORMALS_USECREASEANGLE);
  CopyGeometry();
  object_->MeshChanged();
}

void TKV3DMesh::CopyBox() {
  if (object_ == nullptr || !meshBuilder_) return;
  // A builder without faces has no box; the object then keeps a zero one.
  D3DRMBOX box{};
  if (FAILED(meshBuilder_->GetBox(&box))) box = D3DRMBOX{};
  object_->SetBox(box);
}

void TKV3DMesh::CopyGeometry() {
  CopyBox();
  vertices_.clear();
  normals_.clear();
  faceData_.clear();
  DWORD vertexCount = 0, normalCount = 0, faceDataSize = 0;
  if (FAILED(meshBuilder_->GetGeometry(&vertexCount, nullptr, &normalCount, nullptr, &faceDataSize, nullptr))) return;
  std::vector<D3DVECTOR> vertices(vertexCount);
  std::vector<D3DVECTOR> normals(normalCount);
  std::vector<std::uint32_t> faceData(faceDataSize);
  if (FAILED(meshBuilder_->GetGeometry(&vertexCount, vertices.data(), &normalCount, normals.data(), &faceDataSize,
                                       faceData.data())))
    return;
  vertices_ = std::move(vertices);
  normals_ = std::move(normals);
  faceData_ = std::move(faceData);
}

void TKV3DMesh::SetChange() {
  TKV3DMesh* current = object_ != nullptr ? object_->Mesh() : nullptr;
  IDirect3DRMMeshBuilder3* builder = current != nullptr ? current->GetIDirect3DMeshBuilder() : nullptr;
  if (builder != nullptr) {
    builder->Empty(0);
    if (!faceData_.empty()) {
      builder->AddFaces(VertexCount(), vertices_.data(), NormalCount(), normals_.data(), faceData_.data(), nullptr);
    }
    if (IDirect3DRMFrame3* frame = ObjectFrame()) frame->AddVisual(builder);
  }
  Change();
}

void TKV3DMesh::AttachBuilder() {
  if (IDirect3DRMFrame3* frame = ObjectFrame(); frame != nullptr && meshBuilder_) frame->AddVisual(meshBuilder_.Get());
}

// ---- Visibility and colour -------------------------------------------------------------

namespace {

// Takes every visual of `frame` that answers to `iid` off the frame.
void DeleteVisualsOfKind(IDirect3DRMFrame3* frame, const IID& iid) {
  DWORD count = 0;
  if (FAILED(frame->GetVisuals(&count, nullptr))) return;
  std::vector<IUnknown*> visuals(count, nullptr);
  if (count != 0 && FAILED(frame->GetVisuals(&count, visuals.data()))) return;
  // Each entry carries a reference: adopt it so that it is released.
  std::vector<ComPtr<IUnknown>> held;
  held.reserve(visuals.size());
  for (IUnknown* v : visuals) held.push_back(ComPtr<IUnknown>::Adopt(v));
  for (const ComPtr<IUnknown>& visual : held) {
    ComPtr<IUnknown> ofKind;
    if (visual && SUCCEEDED(visual.As(iid, ofKind)) && ofKind) frame->DeleteVisual(ofKind.Get());
  }
}

}  // namespace

void TKV3DMesh::SetVisible(bool value) {
  IDirect3DRMFrame3* frame = ObjectFrame();
  if (frame == nullptr) return;
  if (value) {
    if (!meshBuilder_) return;
    frame->AddVisual(meshBuilder_.Get());
    TKV3DShadow* shadow = object_->Shadow();
    if (shadow != nullptr && shadow->GetIDirect3DShadow() != nullptr) frame->AddVisual(shadow->GetIDirect3DShadow());
    return;
  }
  // Every mesh-builder and shadow visual goes, not only this mesh's.
  DeleteVisualsOfKind(frame, IID_IDirect3DRMMeshBuilder);
  DeleteVisualsOfKind(frame, IID_IDirect3DRMShadow);
}

void TKV3DMesh::UpdateMeshVisible() {
  IDirect3DRMFrame3* frame = ObjectFrame();
  if (frame == nullptr || !meshBuilder_) return;
  SetVisible(false);
  frame->DeleteVisual(meshBuilder_.Get());
  SetVisible(object_->Visible());
  object_->SendNotification();
}

void TKV3DMesh::ChangeColor() {
  if (object_ == nullptr || !meshBuilder_) return;
  D3DVALUE red = 0, green = 0, blue = 0;
  ColorToD3DValues(object_->Color(), red, green, blue);
  // The stored alpha keeps what was set; what is packed is clamped, so 1.5
  // gives an opaque 0xFF and not the low byte of 382.
  const float alpha = std::clamp(object_->ColorAlpha(), 0.0f, 1.0f);
  const auto byte = [](float component) { return static_cast<std::uint32_t>(std::trunc(component * 255.0f)) & 0xFFu; };
  const std::uint32_t color = byte(alpha) << 24 | byte(red) << 16 | byte(green) << 8 | byte(blue);
  meshBuilder_->SetColor(color);
}

}  // namespace kv
