#include "korvane3d/rm/Shadow.h"

#include <cmath>

#include "korvane3d/rm/Mesh.h"
#include "korvane3d/rm/MeshBuilder.h"

namespace kv::rm {
namespace {

bool IsCaster(IUnknown* visual) { return Mesh::From(visual) || MeshBuilder::From(visual); }

bool FinitePlane(Vec3 p, Vec3 n) {
  for (float v : {p.x, p.y, p.z, n.x, n.y, n.z})
    if (!std::isfinite(v)) return false;
  return !IsZero(n);
}

// Vertex v carried by toScene and flattened onto the plane; false when it
// cannot be (the ray runs along the plane, or the vertex is on the far side
// of the light).
bool ProjectVertex(Vec3 v, bool fromPoint, Vec3 light, Vec3 dir, Vec3 p, Vec3 n, Vec3& out) {
  const float eps = 1e-6f;
  if (fromPoint) {
    float denom = Dot(n, v - light);
    if (std::fabs(denom) < eps) return false;
    float t = Dot(n, p - light) / denom;
    if (t <= 0) return false;
    out = light + (v - light) * t;
  } else {
    float denom = Dot(n, dir);
    if (std::fabs(denom) < eps) return false;
    out = v + dir * (Dot(n, p - v) / denom);
  }
  return true;
}

constexpr std::uint32_t kNotPlaced = 0xFFFFFFFFu;

}  // namespace

bool ProjectOntoPlane(const MeshGeometry& caster, const Mat4& casterToScene, D3DRMLIGHTTYPE type, Vec3 lightPosition,
                      Vec3 lightDirection, Vec3 planePoint, Vec3 planeNormal, ShadowGeometry& out) {
  out.positions.clear();
  out.triangles.clear();
  out.faceCount = 0;
  if (type == D3DRMLIGHT_AMBIENT) return false;
  const bool fromPoint = type == D3DRMLIGHT_POINT || type == D3DRMLIGHT_SPOT;
  Vec3 dir = Normalized(lightDirection);
  if (type == D3DRMLIGHT_PARALLELPOINT) {
    D3DRMBOX box;
    if (!caster.Box(box)) return false;
    dir = Normalized(TransformPoint((box.min + box.max) * 0.5f, casterToScene) - lightPosition);
  }
  if (!fromPoint && IsZero(dir)) return false;
  // Each vertex once, however many faces share it; a face is kept only when
  // all its corners project.
  const std::size_t vertexCount = caster.positions.size();
  out.projected.resize(vertexCount);
  out.projects.resize(vertexCount);
  out.placed.assign(vertexCount, kNotPlaced);
  for (std::size_t v = 0; v < vertexCount; ++v)
    out.projects[v] = ProjectVertex(TransformPoint(caster.positions[v], casterToScene), fromPoint, lightPosition, dir,
                                    planePoint, planeNormal, out.projected[v]);
  auto place = [&](std::uint32_t v) {
    if (out.placed[v] == kNotPlaced) {
      out.placed[v] = static_cast<std::uint32_t>(out.positions.size());
      out.positions.push_back(out.projected[v]);
    }
    return out.placed[v];
  };
  for (std::size_t f = 0; f < caster.FaceCount(); ++f) {
    const std::uint32_t first = caster.faceStart[f], end = caster.faceStart[f + 1];
    bool whole = end > first;
    for (std::uint32_t c = first; c < end && whole; ++c) whole = out.projects[caster.cornerVertex[c]] != 0;
    if (!whole) continue;
    ++out.faceCount;
    if (end - first < 3) continue;
    const std::uint32_t c0 = place(caster.cornerVertex[first]);
    for (std::uint32_t c = first + 1; c + 1 < end; ++c)
      out.triangles.insert(out.triangles.end(), {c0, place(caster.cornerVertex[c]), place(caster.cornerVertex[c + 1])});
  }
  return out.FaceCount() > 0;
}

HRESULT Shadow::Create(IUnknown* visual, IDirect3DRMLight* light, Vec3 point, Vec3 normal, ComPtr<Shadow>& out) {
  out = nullptr;
  Light* l = Light::From(light);
  if (!visual || !IsCaster(visual) || !l) return D3DRMERR_BADOBJECT;
  if (!FinitePlane(point, normal)) return D3DRMERR_BADVALUE;
  ComPtr<IDirect3DRMVisual> caster;
  if (FAILED(ComPtr<IUnknown>(visual).As(IID_IDirect3DRMVisual, caster))) return D3DRMERR_BADOBJECT;
  out = ComPtr<Shadow>::Adopt(new Shadow);
  out->caster_ = std::move(caster);
  out->light_ = ComPtr<Light>(l);
  out->point_ = point;
  out->normal_ = normal;
  return D3DRM_OK;
}

HRESULT Shadow::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out,
                     {IID_IDirect3DRMObject, IID_IDirect3DRMVisual, IID_IDirect3DRMShadow, IID_IDirect3DRMShadow2},
                     static_cast<IDirect3DRMShadow2*>(this));
}

HRESULT Shadow::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = ComPtr<Shadow>::Adopt(new Shadow);
  copy->CopyObjectDataFrom(*this);
  copy->caster_ = caster_;
  copy->light_ = light_;
  copy->point_ = point_;
  copy->normal_ = normal_;
  copy->options_ = options_;
  return copy->QueryInterface(iid, out);
}

HRESULT Shadow::GetVisual(IDirect3DRMVisual** visual) {
  EngineLock lock;
  return HandOut(caster_.Get(), visual);
}

HRESULT Shadow::SetVisual(IUnknown* visual, DWORD) {
  if (!visual || !IsCaster(visual)) return D3DRMERR_BADOBJECT;
  ComPtr<IDirect3DRMVisual> caster;
  if (FAILED(ComPtr<IUnknown>(visual).As(IID_IDirect3DRMVisual, caster))) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  caster_ = std::move(caster);
  return D3DRM_OK;
}

HRESULT Shadow::GetLight(IDirect3DRMLight** light) {
  EngineLock lock;
  return HandOut(light_.Get(), light);
}

HRESULT Shadow::SetLight(IDirect3DRMLight* light, DWORD) {
  Light* l = Light::From(light);
  if (!l) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  light_ = ComPtr<Light>(l);
  return D3DRM_OK;
}

HRESULT Shadow::GetPlane(D3DVALUE* px, D3DVALUE* py, D3DVALUE* pz, D3DVALUE* nx, D3DVALUE* ny, D3DVALUE* nz) {
  if (!px || !py || !pz || !nx || !ny || !nz) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *px = point_.x;
  *py = point_.y;
  *pz = point_.z;
  *nx = normal_.x;
  *ny = normal_.y;
  *nz = normal_.z;
  return D3DRM_OK;
}

HRESULT Shadow::SetPlane(D3DVALUE px, D3DVALUE py, D3DVALUE pz, D3DVALUE nx, D3DVALUE ny, D3DVALUE nz, DWORD) {
  if (!FinitePlane({px, py, pz}, {nx, ny, nz})) return D3DRMERR_BADVALUE;
  EngineLock lock;
  point_ = {px, py, pz};
  normal_ = {nx, ny, nz};
  return D3DRM_OK;
}

HRESULT Shadow::GetOptions(DWORD* options) {
  if (!options) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *options = options_;
  return D3DRM_OK;
}

HRESULT Shadow::SetOptions(DWORD options) {
  if (options & ~D3DRMSHADOW_TRUEALPHA) return D3DRMERR_BADVALUE;
  EngineLock lock;
  options_ = options;
  return D3DRM_OK;
}

const MeshGeometry* Shadow::CasterGeometry() const {
  if (Mesh* mesh = Mesh::From(caster_.Get())) return &mesh->Geometry();
  if (MeshBuilder* builder = MeshBuilder::From(caster_.Get())) return &builder->Geometry();
  return nullptr;
}

bool Shadow::Project(const Mat4& casterWorld, const Mat4& lightWorld, ShadowGeometry& out) const {
  out.positions.clear();
  out.triangles.clear();
  out.faceCount = 0;
  const MeshGeometry* caster = CasterGeometry();
  if (!caster) return false;
  const Vec3 position = TransformPoint({0, 0, 0}, lightWorld);
  const Vec3 direction = TransformDirection({0, 0, 1}, lightWorld);  // a light shines along its frame's +z
  return ProjectOntoPlane(*caster, casterWorld, light_->Params().type, position, direction, point_, normal_, out);
}

}  // namespace kv::rm
