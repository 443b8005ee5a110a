#include "korvane3d/objects/Kv3dshadow.h"

#include <cmath>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/AppearanceAccess.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/scene/Kv3dlight.h"

namespace kv {

const TClassInfo& TKV3DShadow::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DShadow, TPersistent>("TKV3DShadow", [](PropertyBuilder<TKV3DShadow>& p) {
    p.Float("PlaneX", &TKV3DShadow::GetPlaneX, &TKV3DShadow::SetPlaneX);
    p.Float("PlaneY", &TKV3DShadow::GetPlaneY, &TKV3DShadow::SetPlaneY).Default(1.0f);
    p.Float("PlaneZ", &TKV3DShadow::GetPlaneZ, &TKV3DShadow::SetPlaneZ);
    p.Float("NormalX", &TKV3DShadow::GetNormalX, &TKV3DShadow::SetNormalX);
    p.Float("NormalY", &TKV3DShadow::GetNormalY, &TKV3DShadow::SetNormalY).Default(1.0f);
    p.Float("NormalZ", &TKV3DShadow::GetNormalZ, &TKV3DShadow::SetNormalZ);
    p.Reference("Light", &TKV3DShadow::Light, &TKV3DShadow::SetLight);
  });
  return info;
}

TKV3DShadow::TKV3DShadow(TKV3DObject* object) : object_(object) {}

TKV3DShadow::~TKV3DShadow() {
  if (IDirect3DRMFrame3* frame = ObjectFrame(); frame != nullptr && shadow_) frame->DeleteVisual(shadow_.Get());
  object_ = nullptr;
  light_ = nullptr;
  shadow_ = nullptr;
}

TPersistent* TKV3DShadow::GetOwner() const { return object_; }

IDirect3DRMFrame3* TKV3DShadow::ObjectFrame() const { return FrameOf(object_); }

bool TKV3DShadow::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DShadow*>(dynamic_cast<const TKV3DShadow*>(source));
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  SetPlaneX(from->GetPlaneX());
  SetPlaneY(from->GetPlaneY());
  SetPlaneZ(from->GetPlaneZ());
  SetNormalX(from->GetNormalX());
  SetNormalY(from->GetNormalY());
  SetNormalZ(from->GetNormalZ());
  SetLight(from->Light());
  return true;
}

void TKV3DShadow::SetLight(TKV3DLight* value) {
  NoShadow();
  light_ = value;
  Change();
  ChangeParam();
}

void TKV3DShadow::LightGone() { NoShadow(); }

void TKV3DShadow::NoShadow() {
  if (!shadow_) return;
  if (IDirect3DRMFrame3* frame = ObjectFrame()) ReportDXError(frame->DeleteVisual(shadow_.Get()), nullptr, false);
  shadow_ = nullptr;
}

// ---- Plane ------------------------------------------------------------------------------

void TKV3DShadow::ReadPlane() {
  if (shadow_) shadow_->GetPlane(&planeX_, &planeY_, &planeZ_, &normalX_, &normalY_, &normalZ_);
}

float TKV3DShadow::GetPlaneX() { return ReadPlane(), planeX_; }
float TKV3DShadow::GetPlaneY() { return ReadPlane(), planeY_; }
float TKV3DShadow::GetPlaneZ() { return ReadPlane(), planeZ_; }
float TKV3DShadow::GetNormalX() { return ReadPlane(), normalX_; }
float TKV3DShadow::GetNormalY() { return ReadPlane(), normalY_; }
float TKV3DShadow::GetNormalZ() { return ReadPlane(), normalZ_; }

bool TKV3DShadow::SetParam(float& field, float value) {
  if (!std::isfinite(value)) return Fail("expected a finite number");
  if (value == field) return true;
  field = value == 0.0f ? kNonZero : value;
  ChangeParam();
  return true;
}

bool TKV3DShadow::SetPlaneX(float value) { return SetParam(planeX_, value); }
bool TKV3DShadow::SetPlaneY(float value) { return SetParam(planeY_, value); }
bool TKV3DShadow::SetPlaneZ(float value) { return SetParam(planeZ_, value); }
bool TKV3DShadow::SetNormalX(float value) { return SetParam(normalX_, value); }
bool TKV3DShadow::SetNormalY(float value) { return SetParam(normalY_, value); }
bool TKV3DShadow::SetNormalZ(float value) { return SetParam(normalZ_, value); }

void TKV3DShadow::ChangeParam() {
  const bool planeSet = planeX_ != 0.0f || planeY_ != 0.0f || planeZ_ != 0.0f;
  const bool normalSet = normalX_ != 0.0f || normalY_ != 0.0f || normalZ_ != 0.0f;
  if (planeSet && normalSet && shadow_) shadow_->SetPlane(planeX_, planeY_, planeZ_, normalX_, normalY_, normalZ_, 0);
}

// ---- Shadow visual ------------------------------------------------------------------------

void TKV3DShadow::Change() {
  TKV3DLight* light = Light();
  IDirect3DRMLight* engineLight = light != nullptr ? light->GetIDirect3DLight() : nullptr;
  IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_);
  IDirect3DRM3* root = SharedD3DRM3();
  if (engineLight != nullptr && builder != nullptr && root != nullptr) {
    // A snapshot of the present geometry.
    ComPtr<IDirect3DRMMesh> mesh;
    ReportDXError(builder->CreateMesh(mesh.ReleaseAndGetAddressOf()), nullptr, false);
    if (mesh) {
      ComPtr<IDirect3DRMShadow2> made;
      root->CreateShadow(mesh.Get(), engineLight, planeX_, planeY_, planeZ_, normalX_, normalY_, normalZ_,
                         made.ReleaseAndGetAddressOf());
      // The replaced visual leaves the frame and is released.
      NoShadow();
      shadow_ = std::move(made);
    }
  }
  // A hidden object shows no shadow; showing it again attaches this one.
  IDirect3DRMFrame3* frame = ObjectFrame();
  if (shadow_ && frame != nullptr && object_->Visible()) frame->AddVisual(shadow_.Get());
}

}  // namespace kv
