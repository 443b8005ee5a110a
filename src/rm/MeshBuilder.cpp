// Mesh builder geometry and appearance. Files are in MeshBuilderFile.cpp.
#include "korvane3d/rm/MeshBuilder.h"

#include <cmath>

#include "korvane3d/rm/Mesh.h"

namespace kv::rm {
namespace {

constexpr std::size_t kMaxCorners = std::size_t{1} << 28;

bool Finite3(float x, float y, float z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

}  // namespace

HRESULT ParseFaceData(const DWORD* faceData, DWORD vertexCount, DWORD normalCount, MeshGeometry& out) {
  if (!faceData) return D3DRMERR_BADVALUE;
  const bool pairs = normalCount > 0;
  const DWORD stride = pairs ? 2 : 1;
  // First pass: check every index and count, so nothing is built from bad
  // data and the arrays are allocated once.
  std::size_t faces = 0, corners = 0;
  for (const DWORD* p = faceData; *p != 0; ++faces) {
    DWORD n = *p++;
    if (n < 3 || corners + n > kMaxCorners) return D3DRMERR_BADVALUE;
    for (DWORD i = 0; i < n; ++i, p += stride)
      if (p[0] >= vertexCount || (pairs && p[1] >= normalCount)) return D3DRMERR_BADVALUE;
    corners += n;
  }
  MeshGeometry parsed;
  parsed.faceStart.reserve(faces + 1);
  parsed.cornerVertex.reserve(corners);
  parsed.cornerNormal.reserve(corners);
  for (const DWORD* p = faceData; *p != 0;) {
    DWORD n = *p++;
    for (DWORD i = 0; i < n; ++i, p += stride) {
      parsed.cornerVertex.push_back(p[0]);
      parsed.cornerNormal.push_back(pairs ? p[1] : p[0]);
    }
    parsed.faceStart.push_back(static_cast<std::uint32_t>(parsed.cornerVertex.size()));
  }
  parsed.faceColor.assign(faces, 0xffffffff);
  parsed.faceGroup.assign(faces, 0);
  parsed.faceWrap.assign(faces, 0);
  out = std::move(parsed);
  return D3DRM_OK;
}

ComPtr<MeshBuilder> MeshBuilder::Create() { return ComPtr<MeshBuilder>::Adopt(new MeshBuilder); }

MeshBuilder* MeshBuilder::From(IUnknown* object) { return ExactCast<MeshBuilder>(object); }

HRESULT MeshBuilder::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out,
                     {IID_IDirect3DRMObject, IID_IDirect3DRMVisual, IID_IDirect3DRMMeshBuilder,
                      IID_IDirect3DRMMeshBuilder2, IID_IDirect3DRMMeshBuilder3},
                     static_cast<IDirect3DRMMeshBuilder3*>(this));
}

HRESULT MeshBuilder::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = Create();
  copy->CopyObjectDataFrom(*this);
  copy->geometry_ = geometry_;
  copy->quality_ = quality_;
  copy->perspective_ = perspective_;
  copy->texture_ = texture_;
  copy->material_ = material_;
  return copy->QueryInterface(iid, out);
}

HRESULT MeshBuilder::AddFaces(DWORD vertexCount, const D3DVECTOR* vertices, DWORD normalCount,
                              const D3DVECTOR* normals, const DWORD* faceData, IDirect3DRMFaceArray** faces) {
  if (faces) *faces = nullptr;
  if ((vertexCount && !vertices) || (normalCount && !normals)) return D3DRMERR_BADVALUE;
  MeshGeometry piece;
  if (HRESULT hr = ParseFaceData(faceData, vertexCount, normalCount, piece); FAILED(hr)) return hr;
  piece.positions.assign(vertices, vertices + vertexCount);
  piece.uvs.assign(vertexCount, {0.0f, 0.0f});
  if (normalCount) {
    piece.normals.assign(normals, normals + normalCount);
  } else {
    // Without normals, each new vertex gets the average of its faces'.
    GenerateVertexNormals(piece, false, 0);
  }
  EngineLock lock;
  for (std::uint32_t& g : piece.faceGroup) g = geometry_.GroupFor(material_.Get(), texture_.Get());
  piece.groups = geometry_.groups;
  if (geometry_.positions.empty() && geometry_.normals.empty() && geometry_.FaceCount() == 0)
    geometry_ = std::move(piece);  // the common first call: no copy
  else
    geometry_.Append(piece);
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::AddMeshBuilder(IDirect3DRMMeshBuilder3* other, DWORD) {
  MeshBuilder* impl = From(other);
  if (!impl) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  if (impl == this) {
    MeshGeometry copy = geometry_;
    geometry_.Append(copy);
  } else {
    geometry_.Append(impl->geometry_);
  }
  Changed();
  return D3DRM_OK;
}

int MeshBuilder::AddVertex(D3DVALUE x, D3DVALUE y, D3DVALUE z) {
  EngineLock lock;
  geometry_.positions.push_back({x, y, z});
  geometry_.uvs.push_back({0.0f, 0.0f});
  if (!geometry_.vertexColors.empty()) geometry_.vertexColors.push_back(0xffffffff);
  Changed();
  return static_cast<int>(geometry_.positions.size() - 1);
}

int MeshBuilder::AddNormal(D3DVALUE x, D3DVALUE y, D3DVALUE z) {
  EngineLock lock;
  geometry_.normals.push_back({x, y, z});
  Changed();
  return static_cast<int>(geometry_.normals.size() - 1);
}

HRESULT MeshBuilder::ReserveSpace(DWORD vertexCount, DWORD normalCount, DWORD faceCount) {
  if (vertexCount > kMaxCorners || normalCount > kMaxCorners || faceCount > kMaxCorners) return D3DRMERR_BADVALUE;
  EngineLock lock;
  geometry_.positions.reserve(vertexCount);
  geometry_.uvs.reserve(vertexCount);
  geometry_.normals.reserve(normalCount);
  geometry_.faceStart.reserve(faceCount + 1);
  geometry_.faceColor.reserve(faceCount);
  geometry_.faceGroup.reserve(faceCount);
  geometry_.faceWrap.reserve(faceCount);
  return D3DRM_OK;
}

HRESULT MeshBuilder::GetGeometry(DWORD* vertexCount, D3DVECTOR* vertices, DWORD* normalCount, D3DVECTOR* normals,
                                 DWORD* faceDataSize, DWORD* faceData) {
  EngineLock lock;
  const MeshGeometry& g = geometry_;
  const auto nv = static_cast<DWORD>(g.positions.size());
  const auto nn = static_cast<DWORD>(g.normals.size());
  const auto words = static_cast<DWORD>(g.FaceDataWords());
  // Check every buffer before writing any, so a failure writes nothing.
  if ((vertices && (!vertexCount || *vertexCount < nv)) || (normals && (!normalCount || *normalCount < nn)) ||
      (faceData && (!faceDataSize || *faceDataSize < words)))
    return D3DRMERR_BADVALUE;
  if (vertices) std::copy(g.positions.begin(), g.positions.end(), vertices);
  if (normals) std::copy(g.normals.begin(), g.normals.end(), normals);
  if (faceData) {
    DWORD* out = faceData;
    for (std::size_t f = 0; f < g.FaceCount(); ++f) {
      *out++ = g.FaceSize(f);
      for (std::uint32_t c = g.faceStart[f]; c < g.faceStart[f + 1]; ++c) {
        *out++ = g.cornerVertex[c];
        *out++ = g.cornerNormal[c];
      }
    }
    *out = 0;
  }
  if (vertexCount) *vertexCount = nv;
  if (normalCount) *normalCount = nn;
  if (faceDataSize) *faceDataSize = words;
  return D3DRM_OK;
}

HRESULT MeshBuilder::GetBox(D3DRMBOX* box) {
  if (!box) return D3DRMERR_BADVALUE;
  EngineLock lock;
  return geometry_.Box(*box) ? D3DRM_OK : D3DRMERR_BOXNOTSET;
}

int MeshBuilder::GetVertexCount() {
  EngineLock lock;
  return static_cast<int>(geometry_.positions.size());
}

int MeshBuilder::GetNormalCount() {
  EngineLock lock;
  return static_cast<int>(geometry_.normals.size());
}

int MeshBuilder::GetFaceCount() {
  EngineLock lock;
  return static_cast<int>(geometry_.FaceCount());
}

HRESULT MeshBuilder::GetVertex(DWORD index, D3DVECTOR* vertex) {
  if (!vertex) return D3DRMERR_BADVALUE;
  EngineLock lock;
  if (index >= geometry_.positions.size()) return D3DRMERR_BADVALUE;
  *vertex = geometry_.positions[index];
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetVertex(DWORD index, D3DVALUE x, D3DVALUE y, D3DVALUE z) {
  if (!Finite3(x, y, z)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  if (index >= geometry_.positions.size()) return D3DRMERR_BADVALUE;
  geometry_.positions[index] = {x, y, z};
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::GetNormal(DWORD index, D3DVECTOR* normal) {
  if (!normal) return D3DRMERR_BADVALUE;
  EngineLock lock;
  if (index >= geometry_.normals.size()) return D3DRMERR_BADVALUE;
  *normal = geometry_.normals[index];
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetNormal(DWORD index, D3DVALUE x, D3DVALUE y, D3DVALUE z) {
  if (!Finite3(x, y, z)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  if (index >= geometry_.normals.size()) return D3DRMERR_BADVALUE;
  geometry_.normals[index] = {x, y, z};
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::GetTextureCoordinates(DWORD index, D3DVALUE* u, D3DVALUE* v) {
  if (!u || !v) return D3DRMERR_BADVALUE;
  EngineLock lock;
  if (index >= geometry_.uvs.size()) return D3DRMERR_BADVALUE;
  *u = geometry_.uvs[index][0];
  *v = geometry_.uvs[index][1];
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetTextureCoordinates(DWORD index, D3DVALUE u, D3DVALUE v) {
  if (!std::isfinite(u) || !std::isfinite(v)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  if (index >= geometry_.uvs.size()) return D3DRMERR_BADVALUE;
  geometry_.uvs[index] = {u, v};
  Changed();
  return D3DRM_OK;
}

D3DCOLOR MeshBuilder::GetVertexColor(DWORD index) {
  EngineLock lock;
  if (index >= geometry_.positions.size()) return 0;
  return geometry_.vertexColors.empty() ? 0xffffffff : geometry_.vertexColors[index];
}

HRESULT MeshBuilder::SetVertexColor(DWORD index, D3DCOLOR color) {
  EngineLock lock;
  if (index >= geometry_.positions.size()) return D3DRMERR_BADVALUE;
  geometry_.vertexColors.resize(geometry_.positions.size(), 0xffffffff);
  geometry_.vertexColors[index] = color;
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetVertexColorRGB(DWORD index, D3DVALUE r, D3DVALUE g, D3DVALUE b) {
  return SetVertexColor(index, ColorFromRGB(r, g, b));
}

HRESULT MeshBuilder::Empty(DWORD) {
  EngineLock lock;
  geometry_.Clear();
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::GenerateNormals(D3DVALUE crease, DWORD flags) {
  if (!std::isfinite(crease)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  GenerateVertexNormals(geometry_, (flags & D3DRMGENERATENORMALS_USECREASEANGLE) != 0, crease);
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) {
  if (!Finite3(sx, sy, sz)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  for (Vec3& p : geometry_.positions) p = {p.x * sx, p.y * sy, p.z * sz};
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::Translate(D3DVALUE tx, D3DVALUE ty, D3DVALUE tz) {
  if (!Finite3(tx, ty, tz)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  for (Vec3& p : geometry_.positions) p = p + Vec3{tx, ty, tz};
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetColor(D3DCOLOR color) {
  EngineLock lock;
  std::fill(geometry_.faceColor.begin(), geometry_.faceColor.end(), color);
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) { return SetColor(ColorFromRGB(r, g, b)); }

void MeshBuilder::RegroupFaces(IDirect3DRMMaterial2* material, bool setMaterial, IDirect3DRMTexture3* texture,
                               bool setTexture) {
  MeshGeometry& g = geometry_;
  std::vector<FaceGroup> old;
  old.swap(g.groups);
  std::vector<std::uint32_t> remap(old.size());
  for (std::size_t i = 0; i < old.size(); ++i)
    remap[i] = g.GroupFor(setMaterial ? material : old[i].material.Get(), setTexture ? texture : old[i].texture.Get());
  for (std::uint32_t& f : g.faceGroup) f = remap[f];
  Changed();
}

HRESULT MeshBuilder::SetTexture(IDirect3DRMTexture3* texture) {
  EngineLock lock;
  texture_ = ComPtr<IDirect3DRMTexture3>(texture);
  RegroupFaces(nullptr, false, texture, true);
  return D3DRM_OK;
}

HRESULT MeshBuilder::GetTexture(IDirect3DRMTexture3** texture) {
  EngineLock lock;
  return HandOut(texture_.Get(), texture);
}

HRESULT MeshBuilder::SetMaterial(IDirect3DRMMaterial2* material) {
  EngineLock lock;
  material_ = ComPtr<IDirect3DRMMaterial2>(material);
  RegroupFaces(material, true, nullptr, false);
  return D3DRM_OK;
}

HRESULT MeshBuilder::GetMaterial(IDirect3DRMMaterial2** material) {
  EngineLock lock;
  return HandOut(material_.Get(), material);
}

HRESULT MeshBuilder::SetTextureTopology(BOOL wrapU, BOOL wrapV) {
  EngineLock lock;
  auto flags = static_cast<std::uint8_t>((wrapU ? D3DRMMAP_WRAPU : 0) | (wrapV ? D3DRMMAP_WRAPV : 0));
  std::fill(geometry_.faceWrap.begin(), geometry_.faceWrap.end(), flags);
  Changed();
  return D3DRM_OK;
}

HRESULT MeshBuilder::SetQuality(D3DRMRENDERQUALITY quality) {
  if (quality & ~(D3DRMSHADE_MASK | D3DRMLIGHT_MASK | D3DRMFILL_MASK)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  quality_ = quality;
  Changed();
  return D3DRM_OK;
}

D3DRMRENDERQUALITY MeshBuilder::GetQuality() {
  EngineLock lock;
  return quality_;
}

HRESULT MeshBuilder::SetPerspective(BOOL enable) {
  EngineLock lock;
  perspective_ = enable != FALSE;
  Changed();
  return D3DRM_OK;
}

BOOL MeshBuilder::GetPerspective() {
  EngineLock lock;
  return perspective_ ? TRUE : FALSE;
}

HRESULT MeshBuilder::CreateMesh(IDirect3DRMMesh** mesh) {
  if (!mesh) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *mesh = Mesh::Create(geometry_, quality_, perspective_).Detach();
  return D3DRM_OK;
}

}  // namespace kv::rm
