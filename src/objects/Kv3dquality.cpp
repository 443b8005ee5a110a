#include "korvane3d/objects/Kv3dquality.h"

#include <cmath>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/AppearanceAccess.h"

namespace kv {

const EnumInfo kMShadeModeInfo{"TMShadeMode", {"tsGouraud", "tsFlat", "tsPhong"}};
const EnumInfo kMFillModeInfo{"TMFillMode", {"tfSolid", "tfPoints", "tfWireframe"}};

namespace {

constexpr DWORD kShadeOf[] = {D3DRMSHADE_GOURAUD, D3DRMSHADE_FLAT, D3DRMSHADE_PHONG};
constexpr DWORD kFillOf[] = {D3DRMFILL_SOLID, D3DRMFILL_POINTS, D3DRMFILL_WIREFRAME};
constexpr DWORD kLightMask = 0x38;

bool ValidShade(TMShadeMode mode) { return mode >= tsGouraud && mode <= tsPhong; }
bool ValidFill(TMFillMode mode) { return mode >= tfSolid && mode <= tfWireframe; }

}  // namespace

// ---- Engine quality mapping ------------------------------------------------------

D3DRMRENDERQUALITY RenderQualityOf(TMShadeMode shade, bool light, TMFillMode fill) {
  const DWORD shadeBits = ValidShade(shade) ? kShadeOf[shade] : D3DRMSHADE_GOURAUD;
  const DWORD fillBits = ValidFill(fill) ? kFillOf[fill] : D3DRMFILL_SOLID;
  return shadeBits | (light ? D3DRMLIGHT_ON : D3DRMLIGHT_OFF) | fillBits;
}

bool ShadeModeFromQuality(D3DRMRENDERQUALITY quality, TMShadeMode& shade) {
  const DWORD bits = quality & D3DRMSHADE_MASK;
  for (int mode = tsGouraud; mode <= tsPhong; ++mode) {
    if (kShadeOf[mode] == bits) {
      shade = static_cast<TMShadeMode>(mode);
      return true;
    }
  }
  return false;
}

bool LightModeFromQuality(D3DRMRENDERQUALITY quality, bool& light) {
  const DWORD bits = quality & kLightMask;
  if (bits != D3DRMLIGHT_ON && bits != D3DRMLIGHT_OFF) return false;
  light = bits == D3DRMLIGHT_ON;
  return true;
}

bool FillModeFromQuality(D3DRMRENDERQUALITY quality, TMFillMode& fill) {
  const DWORD bits = quality & D3DRMFILL_MASK;
  for (int mode = tfSolid; mode <= tfWireframe; ++mode) {
    if (kFillOf[mode] == bits) {
      fill = static_cast<TMFillMode>(mode);
      return true;
    }
  }
  return false;
}

// ---- TKV3DQuality -------------------------------------------------------------------

const TClassInfo& TKV3DQuality::StaticClass() {
  static const TClassInfo info =
      DefineClass<TKV3DQuality, TPersistent>("TKV3DQuality", [](PropertyBuilder<TKV3DQuality>& p) {
        p.Enum("ShadeMode", &TKV3DQuality::GetMShadeMode, &TKV3DQuality::SetMShadeMode, kMShadeModeInfo)
            .Default(tsGouraud);
        p.Boolean("LightMode", &TKV3DQuality::GetMLightMode, &TKV3DQuality::SetMLightMode).Default(true);
        p.Enum("FillMode", &TKV3DQuality::GetMFillMode, &TKV3DQuality::SetMFillMode, kMFillModeInfo)
            .Default(tfSolid);
      });
  return info;
}

TKV3DQuality::TKV3DQuality(TKV3DObject* object) : object_(object) {}

TPersistent* TKV3DQuality::GetOwner() const { return object_; }

bool TKV3DQuality::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DQuality*>(dynamic_cast<const TKV3DQuality*>(source));
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  SetMShadeMode(from->GetMShadeMode());
  SetMLightMode(from->GetMLightMode());
  SetMFillMode(from->GetMFillMode());
  return true;
}

TMShadeMode TKV3DQuality::GetMShadeMode() {
  if (IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_)) ShadeModeFromQuality(builder->GetQuality(), shadeMode_);
  return shadeMode_;
}

bool TKV3DQuality::GetMLightMode() {
  if (IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_)) LightModeFromQuality(builder->GetQuality(), lightMode_);
  return lightMode_;
}

TMFillMode TKV3DQuality::GetMFillMode() {
  if (IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_)) FillModeFromQuality(builder->GetQuality(), fillMode_);
  return fillMode_;
}

bool TKV3DQuality::SetMShadeMode(TMShadeMode value) {
  if (!ValidShade(value)) return Fail("not a shade mode");
  if (value == shadeMode_) return true;
  shadeMode_ = value;
  Change();
  return true;
}

void TKV3DQuality::SetMLightMode(bool value) {
  if (value == lightMode_) return;
  lightMode_ = value;
  Change();
}

bool TKV3DQuality::SetMFillMode(TMFillMode value) {
  if (!ValidFill(value)) return Fail("not a fill mode");
  if (value == fillMode_) return true;
  fillMode_ = value;
  Change();
  return true;
}

void TKV3DQuality::Change() {
  IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_);
  if (builder == nullptr) return;
  builder->SetQuality(RenderQualityOf(shadeMode_, lightMode_, fillMode_));
  RefreshMeshVisual(object_);
}

// ---- TKV3DScale ------------------------------------------------------------------------

const TClassInfo& TKV3DScale::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DScale, TPersistent>("TKV3DScale", [](PropertyBuilder<TKV3DScale>& p) {
    p.Float("X", &TKV3DScale::X, &TKV3DScale::SetX).Default(kInitialFactor);
    p.Float("Y", &TKV3DScale::Y, &TKV3DScale::SetY).Default(kInitialFactor);
    p.Float("Z", &TKV3DScale::Z, &TKV3DScale::SetZ).Default(kInitialFactor);
  });
  return info;
}

TKV3DScale::TKV3DScale(TKV3DObject* object) : object_(object) {}

TPersistent* TKV3DScale::GetOwner() const { return object_; }

bool TKV3DScale::Assign(const TPersistent* source) {
  const auto* from = dynamic_cast<const TKV3DScale*>(source);
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  // Without a mesh builder the undo and redo do nothing; the factors are
  // still taken, so the geometry built later gets them.
  UnChange();
  x_ = from->x_;
  y_ = from->y_;
  z_ = from->z_;
  Change();
  UpdateBox();
  return true;
}

bool TKV3DScale::SetX(float value) { return SetFactor(x_, value); }
bool TKV3DScale::SetY(float value) { return SetFactor(y_, value); }
bool TKV3DScale::SetZ(float value) { return SetFactor(z_, value); }

bool TKV3DScale::SetFactor(float& field, float value) {
  if (!std::isfinite(value)) return Fail("expected a finite number");
  if (value == 0.0f) return Fail("a scale factor cannot be 0");
  if (value == field) return true;
  UnChange();
  field = value;
  Change();
  UpdateBox();
  return true;
}

void TKV3DScale::UpdateBox() {
  // The collision test reads the box: it follows the new size at once, not
  // at the mesh's next rebuild.
  if (object_ != nullptr && object_->Mesh() != nullptr) object_->Mesh()->CopyBox();
}

void TKV3DScale::UnChange() {
  IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_);
  if (builder == nullptr || x_ == 0.0f || y_ == 0.0f || z_ == 0.0f) return;
  builder->Scale(1.0f / x_, 1.0f / y_, 1.0f / z_);
}

void TKV3DScale::Change() {
  if (IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_)) builder->Scale(x_, y_, z_);
}

}  // namespace kv
