#include "korvane3d/objects/Kv3dmaterial.h"

#include <cmath>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/AppearanceAccess.h"
#include "korvane3d/package/Kv.h"

namespace kv {

namespace {

using ColorGetter = HRESULT (IDirect3DRMMaterial2::*)(D3DVALUE*, D3DVALUE*, D3DVALUE*);

// One colour of an engine material as a TColor (red in the low byte).
TColor ReadColor(IDirect3DRMMaterial2* material, ColorGetter getter) {
  D3DVALUE red = 0, green = 0, blue = 0;
  (material->*getter)(&red, &green, &blue);
  // D3DValuesToColor packs 0x00RRGGBB; given blue, green, red it packs the
  // TColor order instead.
  return D3DValuesToColor(blue, green, red);
}

}  // namespace

const TClassInfo& TKV3DMaterial::StaticClass() {
  static const TClassInfo info =
      DefineClass<TKV3DMaterial, TPersistent>("TKV3DMaterial", [](PropertyBuilder<TKV3DMaterial>& p) {
        p.Color("Emission", &TKV3DMaterial::GetEmission, &TKV3DMaterial::SetEmission).Default(clBlack);
        p.Float("Power", &TKV3DMaterial::GetPower, &TKV3DMaterial::SetPower).Default(kInitialPower);
        p.Color("Specular", &TKV3DMaterial::GetSpecular, &TKV3DMaterial::SetSpecular).Default(clBlack);
        p.Color("Ambient", &TKV3DMaterial::GetAmbient, &TKV3DMaterial::SetAmbient).Default(kInitialAmbient);
      });
  return info;
}

TKV3DMaterial::TKV3DMaterial(TKV3DObject* object) : object_(object) {
  if (SharedD3DRM3() == nullptr) InitDirect3DRM();
  Change();
}

TKV3DMaterial::~TKV3DMaterial() { object_ = nullptr; }

TPersistent* TKV3DMaterial::GetOwner() const { return object_; }

bool TKV3DMaterial::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DMaterial*>(dynamic_cast<const TKV3DMaterial*>(source));
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  SetEmission(from->GetEmission());
  SetPower(from->GetPower());
  SetSpecular(from->GetSpecular());
  return true;
}

TColor TKV3DMaterial::GetEmission() {
  if (material_) emission_ = ReadColor(material_.Get(), &IDirect3DRMMaterial2::GetEmissive);
  return emission_;
}

TColor TKV3DMaterial::GetSpecular() {
  if (material_) specular_ = ReadColor(material_.Get(), &IDirect3DRMMaterial2::GetSpecular);
  return specular_;
}

TColor TKV3DMaterial::GetAmbient() {
  if (material_) ambient_ = ReadColor(material_.Get(), &IDirect3DRMMaterial2::GetAmbient);
  return ambient_;
}

float TKV3DMaterial::GetPower() {
  if (material_) power_ = material_->GetPower();
  return power_;
}

void TKV3DMaterial::SetEmission(TColor value) {
  if (value == emission_) return;
  emission_ = value;
  Change();
}

void TKV3DMaterial::SetSpecular(TColor value) {
  if (value == specular_) return;
  specular_ = value;
  Change();
}

void TKV3DMaterial::SetAmbient(TColor value) {
  if (value == ambient_) return;
  ambient_ = value;
  Change();
}

bool TKV3DMaterial::SetPower(float value) {
  if (!std::isfinite(value)) return Fail("expected a finite number");
  if (value == power_) return true;
  power_ = value;
  Change();
  return true;
}

void TKV3DMaterial::SetIDirect3DMaterial(IDirect3DRMMaterial2* material) {
  if (material == nullptr || material == material_.Get()) return;
  power_ = material->GetPower();
  specular_ = ReadColor(material, &IDirect3DRMMaterial2::GetSpecular);
  emission_ = ReadColor(material, &IDirect3DRMMaterial2::GetEmissive);
  ambient_ = ReadColor(material, &IDirect3DRMMaterial2::GetAmbient);
  Change();
}

void TKV3DMaterial::Change() {
  // A fresh engine material each time: one handed out earlier keeps the
  // values it had.
  material_ = nullptr;
  if (IDirect3DRM3* root = SharedD3DRM3()) root->CreateMaterial(power_, material_.ReleaseAndGetAddressOf());
  if (material_) {
    D3DVALUE red = 0, green = 0, blue = 0;
    ColorToD3DValues(emission_, red, green, blue);
    material_->SetEmissive(red, green, blue);
    material_->SetPower(power_);
    ColorToD3DValues(specular_, red, green, blue);
    material_->SetSpecular(red, green, blue);
    ColorToD3DValues(ambient_, red, green, blue);
    material_->SetAmbient(red, green, blue);
  }
  IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_);
  if (builder == nullptr) return;
  builder->SetMaterial(material_.Get());
  RefreshMeshVisual(object_);
}

}  // namespace kv
