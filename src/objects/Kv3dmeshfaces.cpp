// TKV3DMesh face and vertex operations, and the vertex handle TKV3DVertex.
// Every index from a caller is checked against the data before use.
#include <string>
#include <utility>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"

namespace kv {

namespace {

// Words of a face record of n corners: the count and n index pairs.
constexpr std::size_t RecordWords(std::uint32_t n) { return 2 * static_cast<std::size_t>(n) + 1; }

bool NoSuchFace(std::uint32_t index) {
  return Fail("the mesh has no face " + std::to_string(index));
}

}  // namespace

// ---- Faces ---------------------------------------------------------------------------

bool TKV3DMesh::AddFacesToBuilder(const TKV3DFace& face) {
  const HRESULT hr = meshBuilder_->AddFaces(face.VertexCount(), face.Vertices(), face.NormalCount(), face.Normals(),
                                            face.FaceData(), nullptr);
  if (FAILED(hr)) return Fail("the mesh builder refused the face set");
  return true;
}

bool TKV3DMesh::SetFace(const TKV3DFace* face) {
  if (face != nullptr && !face->IsWellFormed()) return false;  // the face set said why
  bool added = false;
  if (face != nullptr && meshBuilder_) {
    meshBuilder_->Empty(0);
    added = AddFacesToBuilder(*face);
  }
  AttachBuilder();
  Change();
  if (face != nullptr && !meshBuilder_) return Fail("the mesh has no mesh builder");
  return face == nullptr || added;
}

bool TKV3DMesh::AddFace(const TKV3DFace* face) {
  if (face == nullptr) return Fail("no face set to add");
  if (object_ == nullptr || !meshBuilder_) return Fail("the mesh has no mesh builder");
  if (!face->IsWellFormed()) return false;
  if (!AddFacesToBuilder(*face)) return false;
  AttachBuilder();
  Change();
  return true;
}

std::span<const std::uint32_t> TKV3DMesh::SearchFace(std::uint32_t index) const {
  const std::span<const std::uint32_t> data(faceData_);
  std::size_t pos = 0;
  for (std::uint32_t i = 0; i <= index; ++i) {
    // Past the end or at the terminator: there are not that many faces.
    if (pos >= data.size() || data[pos] == 0) return {};
    if (i == index) break;
    pos += RecordWords(data[pos]);
  }
  if (pos >= data.size() || RecordWords(data[pos]) > data.size() - pos) return {};
  return data.subspan(pos);
}

bool TKV3DMesh::MakeFaceData(std::span<const D3DVECTOR> sourceVertices, std::span<const D3DVECTOR> sourceNormals,
                             std::span<const std::uint32_t> record, std::vector<D3DVECTOR>& vertices,
                             std::vector<D3DVECTOR>& normals, std::vector<std::uint32_t>& faceData) {
  if (record.empty()) return false;
  const std::uint32_t n = record[0];
  if (n < 3 || RecordWords(n) > record.size()) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (record[1 + 2 * i] >= sourceVertices.size() || record[2 + 2 * i] >= sourceNormals.size()) return false;
  }
  std::vector<D3DVECTOR> outVertices(n);
  std::vector<D3DVECTOR> outNormals(n);
  std::vector<std::uint32_t> outFaceData(RecordWords(n) + 1);
  outFaceData[0] = n;
  for (std::uint32_t i = 0; i < n; ++i) {
    outVertices[i] = sourceVertices[record[1 + 2 * i]];
    outNormals[i] = sourceNormals[record[2 + 2 * i]];
    outFaceData[1 + 2 * i] = i;
    outFaceData[2 + 2 * i] = i;
  }
  outFaceData.back() = 0;
  vertices = std::move(outVertices);
  normals = std::move(outNormals);
  faceData = std::move(outFaceData);
  return true;
}

bool TKV3DMesh::GetFace(std::uint32_t index, std::unique_ptr<TKV3DFace>& face) const {
  face.reset();
  std::vector<D3DVECTOR> vertices, normals;
  std::vector<std::uint32_t> faceData;
  if (!MakeFaceData(vertices_, normals_, SearchFace(index), vertices, normals, faceData)) {
    NoSuchFace(index);
    return true;
  }
  face = std::make_unique<TKV3DFace>(std::move(vertices), std::move(normals), std::move(faceData));
  return false;
}

bool TKV3DMesh::DeleteFace(std::uint32_t index) {
  const std::span<const std::uint32_t> record = SearchFace(index);
  const bool found = !record.empty();
  if (found) {
    const auto start = faceData_.begin() + (faceData_.size() - record.size());
    faceData_.erase(start, start + static_cast<std::ptrdiff_t>(RecordWords(record[0])));
  }
  // Refilled and rebuilt in either case.
  SetChange();
  return found || NoSuchFace(index);
}

// ---- Vertices ------------------------------------------------------------------------

bool TKV3DMesh::CheckVertexIndex(std::uint32_t index) const {
  if (!meshBuilder_) return Fail("the mesh has no vertices");
  const int count = meshBuilder_->GetVertexCount();
  if (count < 0 || index >= static_cast<std::uint32_t>(count)) {
    return Fail("vertex index " + std::to_string(index) + " is out of range (the mesh has " + std::to_string(count) +
                " vertices)");
  }
  return true;
}

bool TKV3DMesh::SetVertexXYZ(std::uint32_t index, float x, float y, float z) {
  if (!CheckVertexIndex(index)) return false;
  if (FAILED(meshBuilder_->SetVertex(index, x, y, z))) return Fail("a vertex coordinate must be a finite number");
  return true;
}

bool TKV3DMesh::SetVertexX(std::uint32_t index, float value) {
  const D3DVECTOR v = GetVertexXYZ(index);
  return SetVertexXYZ(index, value, v.y, v.z);
}

bool TKV3DMesh::SetVertexY(std::uint32_t index, float value) {
  const D3DVECTOR v = GetVertexXYZ(index);
  return SetVertexXYZ(index, v.x, value, v.z);
}

bool TKV3DMesh::SetVertexZ(std::uint32_t index, float value) {
  const D3DVECTOR v = GetVertexXYZ(index);
  return SetVertexXYZ(index, v.x, v.y, value);
}

D3DVECTOR TKV3DMesh::GetVertexXYZ(std::uint32_t index) const {
  D3DVECTOR v{0, 0, 0};
  if (meshBuilder_ && FAILED(meshBuilder_->GetVertex(index, &v))) v = D3DVECTOR{0, 0, 0};
  return v;
}

float TKV3DMesh::GetVertexX(std::uint32_t index) const { return GetVertexXYZ(index).x; }
float TKV3DMesh::GetVertexY(std::uint32_t index) const { return GetVertexXYZ(index).y; }
float TKV3DMesh::GetVertexZ(std::uint32_t index) const { return GetVertexXYZ(index).z; }

// ---- TKV3DVertex ---------------------------------------------------------------------

const TClassInfo& TKV3DVertex::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DVertex, TPersistent>("TKV3DVertex");
  return info;
}

TKV3DVertex::TKV3DVertex(TKV3DMesh* mesh, std::uint32_t index) : mesh_(mesh), index_(index) {
  GetX();
  GetY();
  GetZ();
}

TKV3DVertex::TKV3DVertex(float x, float y, float z) : x_(x), y_(y), z_(z) {}

D3DVECTOR TKV3DVertex::Read() const { return mesh_ != nullptr ? mesh_->GetVertexXYZ(index_) : D3DVECTOR{0, 0, 0}; }

float TKV3DVertex::GetX() { return x_ = Read().x; }
float TKV3DVertex::GetY() { return y_ = Read().y; }
float TKV3DVertex::GetZ() { return z_ = Read().z; }

bool TKV3DVertex::SetX(float value) {
  x_ = value;
  return Change();
}

bool TKV3DVertex::SetY(float value) {
  y_ = value;
  return Change();
}

bool TKV3DVertex::SetZ(float value) {
  z_ = value;
  return Change();
}

bool TKV3DVertex::Change() { return mesh_ == nullptr || mesh_->SetVertexXYZ(index_, x_, y_, z_); }

}  // namespace kv
