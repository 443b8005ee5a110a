#include "korvane3d/rm/Material.h"

#include <cmath>

namespace kv::rm {

ComPtr<Material> Material::Create(float power) {
  auto material = ComPtr<Material>::Adopt(new Material);
  material->params_.power = power;
  return material;
}

Material* Material::From(IUnknown* object) { return dynamic_cast<Material*>(object); }

HRESULT Material::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out, {IID_IDirect3DRMObject, IID_IDirect3DRMMaterial, IID_IDirect3DRMMaterial2},
                     static_cast<IDirect3DRMMaterial2*>(this));
}

HRESULT Material::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = Create(params_.power);
  copy->CopyObjectDataFrom(*this);
  copy->params_ = params_;
  return copy->QueryInterface(iid, out);
}

HRESULT Material::SetPower(D3DVALUE power) {
  if (!std::isfinite(power)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  params_.power = power;
  return D3DRM_OK;
}

D3DVALUE Material::GetPower() {
  EngineLock lock;
  return params_.power;
}

HRESULT Material::SetColor(Vec3& field, float r, float g, float b) {
  if (!std::isfinite(r) || !std::isfinite(g) || !std::isfinite(b)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  field = {r, g, b};
  return D3DRM_OK;
}

HRESULT Material::GetColor(const Vec3& field, float* r, float* g, float* b) {
  if (!r || !g || !b) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *r = field.x;
  *g = field.y;
  *b = field.z;
  return D3DRM_OK;
}

HRESULT Material::SetSpecular(D3DVALUE r, D3DVALUE g, D3DVALUE b) { return SetColor(params_.specular, r, g, b); }
HRESULT Material::GetSpecular(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) { return GetColor(params_.specular, r, g, b); }
HRESULT Material::SetEmissive(D3DVALUE r, D3DVALUE g, D3DVALUE b) { return SetColor(params_.emissive, r, g, b); }
HRESULT Material::GetEmissive(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) { return GetColor(params_.emissive, r, g, b); }
HRESULT Material::SetAmbient(D3DVALUE r, D3DVALUE g, D3DVALUE b) { return SetColor(params_.ambient, r, g, b); }
HRESULT Material::GetAmbient(D3DVALUE* r, D3DVALUE* g, D3DVALUE* b) { return GetColor(params_.ambient, r, g, b); }

}  // namespace kv::rm
