#include "korvane3d/objects/Kv3dwrap.h"

#include <cmath>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/AppearanceAccess.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/package/Kv.h"

namespace kv {

const EnumInfo kWrapTypeInfo{"TWrapType", {"twFlat", "twCylinder", "twSphere", "twChrome"}};

const TClassInfo& TKV3DWrap::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DWrap, TPersistent>("TKV3DWrap", [](PropertyBuilder<TKV3DWrap>& p) {
    // The object itself is the initial reference frame and is not written;
    // any other frame, or none ("nil"), is.
    p.Reference("RefFrame", &TKV3DWrap::RefFrame, &TKV3DWrap::SetRefFrame).StoredIf(&TKV3DWrap::IsRefFrameStored);
    p.Float("OriginX", &TKV3DWrap::OriginX, &TKV3DWrap::SetOriginX);
    p.Float("OriginY", &TKV3DWrap::OriginY, &TKV3DWrap::SetOriginY);
    p.Float("OriginZ", &TKV3DWrap::OriginZ, &TKV3DWrap::SetOriginZ);
    p.Float("DirX", &TKV3DWrap::DirX, &TKV3DWrap::SetDirX);
    p.Float("DirY", &TKV3DWrap::DirY, &TKV3DWrap::SetDirY);
    p.Float("DirZ", &TKV3DWrap::DirZ, &TKV3DWrap::SetDirZ);
    p.Float("UpX", &TKV3DWrap::UpX, &TKV3DWrap::SetUpX);
    p.Float("UpY", &TKV3DWrap::UpY, &TKV3DWrap::SetUpY);
    p.Float("UpZ", &TKV3DWrap::UpZ, &TKV3DWrap::SetUpZ);
    p.Float("TextureOriginU", &TKV3DWrap::TextureOriginU, &TKV3DWrap::SetTextureOriginU);
    p.Float("TextureOriginV", &TKV3DWrap::TextureOriginV, &TKV3DWrap::SetTextureOriginV);
    p.Float("TextureScaleU", &TKV3DWrap::TextureScaleU, &TKV3DWrap::SetTextureScaleU).Default(kInitialTextureScale);
    p.Float("TextureScaleV", &TKV3DWrap::TextureScaleV, &TKV3DWrap::SetTextureScaleV).Default(kInitialTextureScale);
    p.Enum("Type", &TKV3DWrap::Type, &TKV3DWrap::SetType, kWrapTypeInfo).Default(twFlat);
  });
  return info;
}

TKV3DWrap::TKV3DWrap(TKV3DObject* object) : object_(object) { refFrame_ = object; }

TKV3DWrap::~TKV3DWrap() {
  object_ = nullptr;
  refFrame_ = nullptr;
}

TPersistent* TKV3DWrap::GetOwner() const { return object_; }

bool TKV3DWrap::IsRefFrameStored() const { return RefFrame() != object_; }

bool TKV3DWrap::Assign(const TPersistent* source) {
  const auto* from = dynamic_cast<const TKV3DWrap*>(source);
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  // A wrap relative to its own object stays relative to its own object (a
  // clone's wrap must not follow the original).
  const bool ownObject = from->object_ != nullptr && from->RefFrame() == from->object_;
  SetRefFrame(ownObject ? object_ : from->RefFrame());
  SetOriginX(from->originX_);
  SetOriginY(from->originY_);
  SetOriginZ(from->originZ_);
  SetDirX(from->dirX_);
  SetDirY(from->dirY_);
  SetDirZ(from->dirZ_);
  SetUpX(from->upX_);
  SetUpY(from->upY_);
  SetUpZ(from->upZ_);
  SetTextureOriginU(from->textureOriginU_);
  SetTextureOriginV(from->textureOriginV_);
  SetTextureScaleU(from->textureScaleU_);
  SetTextureScaleV(from->textureScaleV_);
  SetType(from->type_);
  return true;
}

void TKV3DWrap::SetRefFrame(TKV3DCustomFrame* value) {
  if (value == RefFrame()) return;
  refFrame_ = value;
  Change();
}

void TKV3DWrap::RefFrameGone() {
  // The object's own destruction takes the wrap with it: nothing to redo.
  if (object_ == nullptr || object_->ComponentState().Contains(csDestroying)) return;
  Change();
}

bool TKV3DWrap::SetType(TWrapType value) {
  if (value < twFlat || value > twChrome) return Fail("not a wrap type");
  if (value == type_) return true;
  type_ = value;
  Change();  // publishes the type to the object's move step
  return true;
}

bool TKV3DWrap::SetParam(float& field, float value) {
  if (!std::isfinite(value)) return Fail("expected a finite number");
  if (value == field) return true;
  field = value;
  Change();
  return true;
}

bool TKV3DWrap::SetOriginX(float value) { return SetParam(originX_, value); }
bool TKV3DWrap::SetOriginY(float value) { return SetParam(originY_, value); }
bool TKV3DWrap::SetOriginZ(float value) { return SetParam(originZ_, value); }
bool TKV3DWrap::SetDirX(float value) { return SetParam(dirX_, value); }
bool TKV3DWrap::SetDirY(float value) { return SetParam(dirY_, value); }
bool TKV3DWrap::SetDirZ(float value) { return SetParam(dirZ_, value); }
bool TKV3DWrap::SetUpX(float value) { return SetParam(upX_, value); }
bool TKV3DWrap::SetUpY(float value) { return SetParam(upY_, value); }
bool TKV3DWrap::SetUpZ(float value) { return SetParam(upZ_, value); }
bool TKV3DWrap::SetTextureOriginU(float value) { return SetParam(textureOriginU_, value); }
bool TKV3DWrap::SetTextureOriginV(float value) { return SetParam(textureOriginV_, value); }

bool TKV3DWrap::SetTextureScaleU(float value) {
  if (value == 0.0f) return Fail("a texture scale cannot be 0");
  return SetParam(textureScaleU_, value);
}

bool TKV3DWrap::SetTextureScaleV(float value) {
  if (value == 0.0f) return Fail("a texture scale cannot be 0");
  return SetParam(textureScaleV_, value);
}

void TKV3DWrap::Change() {
  Rebuild();
  ApplyToMesh();
  if (object_ != nullptr) object_->ChangeTexture();
}

void TKV3DWrap::Rebuild() {
  IDirect3DRM3* root = SharedD3DRM3();
  if (root == nullptr || object_ == nullptr) return;
  TKV3DCustomFrame* ref = RefFrame();
  IDirect3DRMFrame3* refFrame = ref != nullptr ? ref->GetIDirect3DRMFrame3() : nullptr;
  // Zero or parallel direction and up make no wrap: the object then keeps
  // its texture coordinates.
  ComPtr<IDirect3DRMWrap> made;
  root->CreateWrap(static_cast<D3DRMWRAPTYPE>(type_), refFrame, originX_, originY_, originZ_, dirX_, dirY_, dirZ_,
                   upX_, upY_, upZ_, textureOriginU_, textureOriginV_, textureScaleU_, textureScaleV_,
                   made.ReleaseAndGetAddressOf());
  wrap_ = std::move(made);
  // The object's move step uses a chrome wrap on the thread that moves the
  // scene: it gets the new one published.
  object_->PublishMoveState();
}

void TKV3DWrap::ApplyToMesh() {
  IDirect3DRMMeshBuilder3* builder = MeshBuilderOf(object_);
  if (builder == nullptr) return;
  TKV3DTexture* texture = object_->Texture();
  IDirect3DRMFrame3* frame = FrameOf(object_);
  if (frame != nullptr && texture != nullptr && texture->GetIDirect3DTexture() != nullptr) {
    frame->DeleteVisual(texture->GetIDirect3DTexture());
  }
  // Texture coordinates come from the unscaled geometry.
  TKV3DScale* scale = object_->Scale();
  if (scale != nullptr) scale->UnChange();
  if (wrap_) wrap_->Apply(builder);
  RefreshMeshVisual(object_);
  if (texture != nullptr) builder->SetTexture(texture->GetIDirect3DTexture());
  if (scale != nullptr) scale->Change();
}

}  // namespace kv
