#include "korvane3d/scene/Kv3dlight.h"

#include <cmath>
#include <iterator>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"

namespace kv {

const EnumInfo kLightTypeInfo{"TLightType", {"tDirectional", "tPoint", "tAmbient", "tSpot", "tParallelPoint"}};

namespace {
constexpr D3DRMLIGHTTYPE kD3DTypes[] = {D3DRMLIGHT_DIRECTIONAL, D3DRMLIGHT_POINT, D3DRMLIGHT_AMBIENT, D3DRMLIGHT_SPOT,
                                        D3DRMLIGHT_PARALLELPOINT};
constexpr int kTypeCount = static_cast<int>(std::size(kD3DTypes));

bool IsLightType(TLightType type) { return type >= 0 && type < kTypeCount; }

// Radians as the engine light stores them.
float AngleToRadians(float degrees) { return static_cast<float>(DegToRad(degrees)); }
}  // namespace

D3DRMLIGHTTYPE LightTypeToD3D(TLightType type) {
  return IsLightType(type) ? kD3DTypes[type] : D3DRMLIGHT_DIRECTIONAL;
}

bool LightTypeFromD3D(D3DRMLIGHTTYPE d3dType, TLightType& type) {
  for (int i = 0; i < kTypeCount; ++i) {
    if (kD3DTypes[i] != d3dType) continue;
    type = static_cast<TLightType>(i);
    return true;
  }
  return false;
}

const TClassInfo& TKV3DLight::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DLight, TKV3DCustomFrame>("TKV3DLight", [](PropertyBuilder<TKV3DLight>& p) {
    p.Boolean("Visible", &TKV3DLight::Visible, &TKV3DLight::SetVisible).Default(true);
    // White is a new light's colour: a black light is stored, a white one
    // is not.
    p.Color("Color", &TKV3DLight::GetColor, &TKV3DLight::SetColor).Default(clWhite);
    p.Enum("Type", &TKV3DLight::GetType, &TKV3DLight::SetType, kLightTypeInfo);
    p.Float("SpotPenumbraAngle", &TKV3DLight::GetSpotPenumbraAngle, &TKV3DLight::SetSpotPenumbraAngle)
        .Default(kInitialPenumbra);
    p.Float("SpotUmbraAngle", &TKV3DLight::GetSpotUmbraAngle, &TKV3DLight::SetSpotUmbraAngle).Default(kInitialUmbra);
    p.Float("SpotRange", &TKV3DLight::GetSpotRange, &TKV3DLight::SetSpotRange).Default(kInitialRange);
    p.Float("AConstantAttenuation", &TKV3DLight::GetConstantAttenuation, &TKV3DLight::SetConstantAttenuation)
        .Default(kInitialConstantAttenuation);
    p.Float("ALinearAttenuation", &TKV3DLight::GetLinearAttenuation, &TKV3DLight::SetLinearAttenuation);
    p.Float("AQuadraticAttenuation", &TKV3DLight::GetQuadraticAttenuation, &TKV3DLight::SetQuadraticAttenuation);
    p.Reference("EnableFrame", &TKV3DLight::GetEnableFrame, &TKV3DLight::SetEnableFrame);
    p.Reference("ParentFrame", &TKV3DLight::ParentFrame, &TKV3DLight::SetParentFrame);
    p.Object("Position", &TKV3DLight::Position, &TKV3DLight::SetPosition);
    p.Object("Rotation", &TKV3DLight::Rotation, &TKV3DLight::SetRotation);
    p.Object("Orientation", &TKV3DLight::Orientation, &TKV3DLight::SetOrientation);
    p.Object("Velocity", &TKV3DLight::Velocity, &TKV3DLight::SetVelocity);
  });
  return info;
}

TKV3DLight::TKV3DLight(TComponent* owner) : TKV3DCustomFrame(owner, DeferConstruct{}) {
  Construct();
  SetVisible(true);
}

TKV3DLight::~TKV3DLight() {
  Release();
  // The engine light goes with light_; the enable frame link lets go by
  // itself.
}

void TKV3DLight::Init() {
  constantAttenuation_ = kInitialConstantAttenuation;
  linearAttenuation_ = kInitialLinearAttenuation;
  quadraticAttenuation_ = kInitialQuadraticAttenuation;
  umbra_ = kInitialUmbra;
  penumbra_ = kInitialPenumbra;
  range_ = kInitialRange;
  type_ = tDirectional;
}

void TKV3DLight::Create() {
  TKV3DCustomFrame::Create();
  if (SharedD3DRM3() != nullptr && GetIDirect3DRMFrame3() != nullptr) {
    Release();
    SharedD3DRM3()->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 1.0f, 1.0f, 1.0f, light_.ReleaseAndGetAddressOf());
    if (light_) UpdateVisible(visible_);
  }
  Change();
  ChangeType();
  ChangeColor();
  // The engine light starts with the component's own values, so that what
  // the getters read back is what the properties say.
  ChangeParamLight();
  ChangePosParams();
}

// ---- Visibility ----------------------------------------------------------------------

void TKV3DLight::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  UpdateVisible(value);
}

void TKV3DLight::UpdateVisible(bool value) {
  if (!value) {
    Release();
    return;
  }
  IDirect3DRMFrame3* frame = GetIDirect3DRMFrame3();
  if (light_ && frame != nullptr) frame->AddLight(light_.Get());
}

void TKV3DLight::Release() {
  IDirect3DRMFrame3* frame = GetIDirect3DRMFrame3();
  if (frame == nullptr) return;
  ComPtr<IDirect3DRMLightArray> lights;
  if (FAILED(frame->GetLights(lights.ReleaseAndGetAddressOf())) || !lights) return;
  // The array is a snapshot: deleting from the frame leaves it whole.
  for (DWORD i = 0; i < lights->GetSize(); ++i) {
    ComPtr<IDirect3DRMLight> light;
    if (SUCCEEDED(lights->GetElement(i, light.ReleaseAndGetAddressOf())) && light) frame->DeleteLight(light.Get());
  }
}

// ---- Type and colour -------------------------------------------------------------------

bool TKV3DLight::SetType(TLightType value) {
  if (!IsLightType(value)) return Fail("not a value of TLightType");
  if (value == type_) return true;
  type_ = value;
  ChangeType();
  return true;
}

TLightType TKV3DLight::GetType() {
  // A type the component does not know keeps the stored one.
  if (light_) LightTypeFromD3D(light_->GetType(), type_);
  return type_;
}

void TKV3DLight::ChangeType() {
  if (light_) light_->SetType(LightTypeToD3D(type_));
}

void TKV3DLight::ChangeColor() {
  D3DVALUE r = 0, g = 0, b = 0;
  ColorToD3DValues(color_, r, g, b);
  if (light_) light_->SetColorRGB(r, g, b);
}

TColor TKV3DLight::GetColor() {
  if (light_) color_ = ColorToD3DColor(light_->GetColor());
  return color_;
}

// ---- Spot, range, attenuation, enable frame ----------------------------------------------------

bool TKV3DLight::SetParam(float& field, float value, const char* name) {
  if (!std::isfinite(value)) return Fail(std::string("the light's ") + name + " must be a finite number");
  if (value == field) return true;
  field = value;
  ChangeParamLight();
  return true;
}

bool TKV3DLight::SetSpotUmbraAngle(float value) { return SetParam(umbra_, value, "SpotUmbraAngle"); }
bool TKV3DLight::SetSpotPenumbraAngle(float value) { return SetParam(penumbra_, value, "SpotPenumbraAngle"); }
bool TKV3DLight::SetSpotRange(float value) { return SetParam(range_, value, "SpotRange"); }
bool TKV3DLight::SetConstantAttenuation(float value) {
  return SetParam(constantAttenuation_, value, "AConstantAttenuation");
}
bool TKV3DLight::SetLinearAttenuation(float value) { return SetParam(linearAttenuation_, value, "ALinearAttenuation"); }
bool TKV3DLight::SetQuadraticAttenuation(float value) {
  return SetParam(quadraticAttenuation_, value, "AQuadraticAttenuation");
}

float TKV3DLight::ReadParam(float& field, D3DVALUE (IDirect3DRMLight::*getter)()) {
  if (light_) field = (light_.Get()->*getter)();
  return field;
}

float TKV3DLight::GetSpotRange() { return ReadParam(range_, &IDirect3DRMLight::GetRange); }
float TKV3DLight::GetConstantAttenuation() {
  return ReadParam(constantAttenuation_, &IDirect3DRMLight::GetConstantAttenuation);
}
float TKV3DLight::GetLinearAttenuation() { return ReadParam(linearAttenuation_, &IDirect3DRMLight::GetLinearAttenuation); }
float TKV3DLight::GetQuadraticAttenuation() {
  return ReadParam(quadraticAttenuation_, &IDirect3DRMLight::GetQuadraticAttenuation);
}

namespace {
// The engine keeps radians as floats; converting back gives a degree value
// that can miss the one sent by a rounding step. When the engine still holds
// what the stored degrees convert to, the stored degrees are the answer, so
// a property reads back exactly what was written.
float DegreesOf(float radians, float storedDegrees) {
  if (radians == AngleToRadians(storedDegrees)) return storedDegrees;
  return static_cast<float>(RadToDeg(radians));
}
}  // namespace

float TKV3DLight::GetSpotUmbraAngle() {
  if (light_) umbra_ = DegreesOf(light_->GetUmbra(), umbra_);
  return umbra_;
}

float TKV3DLight::GetSpotPenumbraAngle() {
  if (light_) penumbra_ = DegreesOf(light_->GetPenumbra(), penumbra_);
  return penumbra_;
}

void TKV3DLight::SetEnableFrame(TKV3DFrame* value) {
  if (static_cast<TComponent*>(value) == static_cast<TComponent*>(this) || value == enableFrame_.get()) return;
  enableFrame_ = value;
  ChangeParamLight();
}

void TKV3DLight::ChangeParamLight() {
  if (!light_) return;
  light_->SetUmbra(AngleToRadians(umbra_));
  light_->SetPenumbra(AngleToRadians(penumbra_));
  light_->SetRange(range_);
  light_->SetConstantAttenuation(constantAttenuation_);
  light_->SetLinearAttenuation(linearAttenuation_);
  light_->SetQuadraticAttenuation(quadraticAttenuation_);
  SendEnableFrame();
}

void TKV3DLight::SendEnableFrame() {
  if (!light_) return;
  TKV3DFrame* enable = enableFrame_.get();
  if (enable == nullptr) {
    light_->SetEnableFrame(nullptr);
  } else if (IDirect3DRMFrame3* frame = enable->GetIDirect3DRMFrame3()) {
    light_->SetEnableFrame(frame);
  }
  // A frame component without an engine frame yet: nothing to limit to.
}

void TKV3DLight::EnableFrameGone() {
  // The link already reads null: the light lights the whole scene again.
  SendEnableFrame();
}

// ---- Clone ---------------------------------------------------------------------------------

TKV3DLight* TKV3DLight::Clone() {
  auto* copy = new TKV3DLight(Owner());  // belongs to the owner (or to the caller without one)
  copy->SetParentFrame(ParentFrame());
  copy->SetPosition(Position());
  copy->SetRotation(Rotation());
  copy->SetOrientation(Orientation());
  copy->SetVelocity(Velocity());
  copy->SetVisible(Visible());
  copy->SetColor(GetColor());
  copy->SetType(GetType());
  copy->SetSpotPenumbraAngle(GetSpotPenumbraAngle());
  copy->SetSpotUmbraAngle(GetSpotUmbraAngle());
  copy->SetSpotRange(GetSpotRange());
  copy->SetConstantAttenuation(GetConstantAttenuation());
  copy->SetLinearAttenuation(GetLinearAttenuation());
  copy->SetQuadraticAttenuation(GetQuadraticAttenuation());
  copy->SetEnableFrame(GetEnableFrame());
  return copy;
}

}  // namespace kv
