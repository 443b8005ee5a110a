#include "korvane3d/rm/Light.h"

#include <cmath>

namespace kv::rm {

ComPtr<Light> Light::Create(D3DRMLIGHTTYPE type, D3DCOLOR color) {
  auto light = ComPtr<Light>::Adopt(new Light);
  light->params_.type = type;
  light->params_.color = color | 0xff000000;
  return light;
}

Light* Light::From(IUnknown* object) { return dynamic_cast<Light*>(object); }

HRESULT Light::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out, {IID_IDirect3DRMObject, IID_IDirect3DRMLight}, static_cast<IDirect3DRMLight*>(this));
}

HRESULT Light::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = ComPtr<Light>::Adopt(new Light);
  copy->CopyObjectDataFrom(*this);
  copy->params_ = params_;
  copy->enableFrame_ = enableFrame_;
  return copy->QueryInterface(iid, out);
}

HRESULT Light::SetType(D3DRMLIGHTTYPE type) {
  if (!IsValidType(type)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  params_.type = type;
  return D3DRM_OK;
}

D3DRMLIGHTTYPE Light::GetType() {
  EngineLock lock;
  return params_.type;
}

HRESULT Light::SetColor(D3DCOLOR color) {
  EngineLock lock;
  params_.color = color | 0xff000000;  // lights are always opaque
  return D3DRM_OK;
}

HRESULT Light::SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) { return SetColor(ColorFromRGB(r, g, b)); }

D3DCOLOR Light::GetColor() {
  EngineLock lock;
  return params_.color;
}

HRESULT Light::SetValue(float& field, float value) {
  if (!std::isfinite(value)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  field = value;
  return D3DRM_OK;
}

// Any finite range is kept as given; one below zero lights nothing (no
// point is nearer than that).
HRESULT Light::SetRange(D3DVALUE range) { return SetValue(params_.range, range); }
HRESULT Light::SetUmbra(D3DVALUE angle) { return SetValue(params_.umbra, angle); }
HRESULT Light::SetPenumbra(D3DVALUE angle) { return SetValue(params_.penumbra, angle); }
HRESULT Light::SetConstantAttenuation(D3DVALUE v) { return SetValue(params_.constant, v); }
HRESULT Light::SetLinearAttenuation(D3DVALUE v) { return SetValue(params_.linear, v); }
HRESULT Light::SetQuadraticAttenuation(D3DVALUE v) { return SetValue(params_.quadratic, v); }

D3DVALUE Light::GetRange() {
  EngineLock lock;
  return params_.range;
}
D3DVALUE Light::GetUmbra() {
  EngineLock lock;
  return params_.umbra;
}
D3DVALUE Light::GetPenumbra() {
  EngineLock lock;
  return params_.penumbra;
}
D3DVALUE Light::GetConstantAttenuation() {
  EngineLock lock;
  return params_.constant;
}
D3DVALUE Light::GetLinearAttenuation() {
  EngineLock lock;
  return params_.linear;
}
D3DVALUE Light::GetQuadraticAttenuation() {
  EngineLock lock;
  return params_.quadratic;
}

HRESULT Light::SetEnableFrame(IDirect3DRMFrame3* frame) {
  Frame* impl = Frame::From(frame);
  if (frame && !impl) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  enableFrame_ = FrameLink(impl);
  return D3DRM_OK;
}

HRESULT Light::GetEnableFrame(IDirect3DRMFrame3** frame) {
  EngineLock lock;
  return HandOut(enableFrame_.Get(), frame);
}

}  // namespace kv::rm
