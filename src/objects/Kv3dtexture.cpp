#include "korvane3d/objects/Kv3dtexture.h"

#include <cmath>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/AppearanceAccess.h"
#include "korvane3d/package/Kv.h"

namespace kv {

namespace {
// Stores a differing value; true when it changed.
template <class V>
bool Replace(V& field, V value) {
  if (field == value) return false;
  field = value;
  return true;
}
}  // namespace

// ---- TKV3DDecal ------------------------------------------------------------------------

const TClassInfo& TKV3DDecal::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DDecal, TPersistent>("TKV3DDecal", [](PropertyBuilder<TKV3DDecal>& p) {
    p.Boolean("Scale", &TKV3DDecal::Scale, &TKV3DDecal::SetScale).Default(true);
    p.Float("Width", &TKV3DDecal::Width, &TKV3DDecal::SetWidth).Default(kInitialWidth);
    p.Float("Height", &TKV3DDecal::Height, &TKV3DDecal::SetHeight).Default(kInitialHeight);
    p.Integer("OrginX", &TKV3DDecal::OrginX, &TKV3DDecal::SetOrginX);
    p.Integer("OrginY", &TKV3DDecal::OrginY, &TKV3DDecal::SetOrginY);
    p.Boolean("Transparent", &TKV3DDecal::Transparent, &TKV3DDecal::SetTransparent);
    p.Color("TransparentColor", &TKV3DDecal::TransparentColor, &TKV3DDecal::SetTransparentColor);
  });
  return info;
}

TKV3DDecal::TKV3DDecal(TKV3DTexture* texture) : texture_(texture) {}

TPersistent* TKV3DDecal::GetOwner() const { return texture_; }

bool TKV3DDecal::Assign(const TPersistent* source) {
  const auto* from = dynamic_cast<const TKV3DDecal*>(source);
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  SetScale(from->scale_);
  SetWidth(from->width_);
  SetHeight(from->height_);
  SetOrginX(from->orginX_);
  SetOrginY(from->orginY_);
  SetTransparent(from->transparent_);
  SetTransparentColor(from->transparentColor_);
  return true;
}

void TKV3DDecal::SetScale(bool value) {
  if (Replace(scale_, value)) Change();
}

bool TKV3DDecal::SetWidth(float value) {
  if (!std::isfinite(value)) return Fail("expected a finite number");
  if (Replace(width_, value)) Change();
  return true;
}

bool TKV3DDecal::SetHeight(float value) {
  if (!std::isfinite(value)) return Fail("expected a finite number");
  if (Replace(height_, value)) Change();
  return true;
}

void TKV3DDecal::SetOrginX(std::int32_t value) {
  if (Replace(orginX_, value)) Change();
}

void TKV3DDecal::SetOrginY(std::int32_t value) {
  if (Replace(orginY_, value)) Change();
}

void TKV3DDecal::SetTransparent(bool value) {
  if (Replace(transparent_, value)) Change();
}

void TKV3DDecal::SetTransparentColor(TColor value) {
  if (Replace(transparentColor_, value)) Change();
}

void TKV3DDecal::Change() {
  IDirect3DRMTexture3* texture = texture_ != nullptr ? texture_->GetIDirect3DTexture() : nullptr;
  if (texture == nullptr) return;
  // The engine takes 0xAARRGGBB; the colour key is opaque.
  texture->SetDecalTransparentColor(0xFF000000u | ColorToD3DColor(transparentColor_));
  texture->SetDecalTransparency(transparent_ ? TRUE : FALSE);
  texture->SetDecalSize(width_, height_);
  texture->SetDecalScale(scale_ ? TRUE : FALSE);
  texture->SetDecalOrigin(orginX_, orginY_);
}

// ---- TKV3DTexture ------------------------------------------------------------------------

const TClassInfo& TKV3DTexture::StaticClass() {
  static const TClassInfo info =
      DefineClass<TKV3DTexture, TPersistent>("TKV3DTexture", [](PropertyBuilder<TKV3DTexture>& p) {
        p.Boolean("UseMipMap", &TKV3DTexture::UseMipMap, &TKV3DTexture::SetUseMipMap);
        p.Unsigned("Shades", &TKV3DTexture::GetShades, &TKV3DTexture::SetShades).Default(kInitialShades);
        p.Integer("Colors", &TKV3DTexture::GetColors, &TKV3DTexture::SetColors).Default(kInitialColors);
        p.Object("Decal", &TKV3DTexture::Decal, &TKV3DTexture::SetDecal);
        p.String("FileName", &TKV3DTexture::FileName, &TKV3DTexture::SetFileName);
      });
  return info;
}

TKV3DTexture::TKV3DTexture(TKV3DObject* object)
    : object_(object), decal_(std::make_unique<TKV3DDecal>(this)) {}

TKV3DTexture::~TKV3DTexture() {
  object_ = nullptr;
  decal_.reset();
  texture_ = nullptr;
}

TPersistent* TKV3DTexture::GetOwner() const { return object_; }

bool TKV3DTexture::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DTexture*>(dynamic_cast<const TKV3DTexture*>(source));
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  SetShades(from->GetShades());
  SetColors(from->GetColors());
  decal_->Assign(from->Decal());
  SetFileName(from->FileName());
  return true;
}

bool TKV3DTexture::SetDecal(const TKV3DDecal* value) {
  if (value == nullptr) return Fail("expected a TKV3DDecal");
  return decal_->Assign(value);
}

std::uint32_t TKV3DTexture::GetShades() {
  if (texture_) shades_ = texture_->GetShades();
  return shades_;
}

std::int32_t TKV3DTexture::GetColors() {
  if (texture_) colors_ = static_cast<std::int32_t>(texture_->GetColors());
  return colors_;
}

void TKV3DTexture::SetShades(std::uint32_t value) {
  if (value == shades_) return;
  shades_ = value;
  Change();
}

bool TKV3DTexture::SetColors(std::int32_t value) {
  if (value < 0) return Fail("the number of colours cannot be negative");
  if (value == colors_) return true;
  colors_ = value;
  Change();
  return true;
}

void TKV3DTexture::SetUseMipMap(bool value) {
  if (value == useMipMap_) return;
  useMipMap_ = value;
  SetFileName(fileName_);
}

void TKV3DTexture::SetFileName(const std::string& value) {
  const std::string name = value;  // `value` may be our own field
  DropTexture();
  fileName_ = name;
  const std::string path = LocateDataFile(name, object_);
  if (path.empty()) {
    if (!name.empty()) reports_.Problem(object_, "texture file \"" + name + "\" not found");
  } else {
    Load(path);
  }
  // The object re-applies everything, this texture's settings included; a
  // texture without an object sends its own settings to the new image.
  if (object_ != nullptr) {
    object_->UpdateTexture();
  } else {
    Change();
  }
}

void TKV3DTexture::DropTexture() {
  if (!texture_) return;
  // The engine may show the texture as a decal of the object's frame.
  if (IDirect3DRMFrame3* frame = FrameOf(object_)) frame->DeleteVisual(texture_.Get());
  texture_ = nullptr;
}

void TKV3DTexture::Load(const std::string& path) {
  IDirect3DRM3* root = SharedD3DRM3();
  if (root == nullptr) return;
  const HRESULT hr = root->LoadTexture(path.c_str(), texture_.ReleaseAndGetAddressOf());
  if (FAILED(hr) || !texture_) {
    texture_ = nullptr;
    reports_.Problem(object_, "texture file \"" + path + "\" could not be loaded");
    return;
  }
  reports_.Clear();
  // Mipmaps only for a texture that was made.
  if (useMipMap_) texture_->GenerateMIPMap(0);
}

void TKV3DTexture::Change() {
  if (texture_) {
    texture_->SetColors(static_cast<DWORD>(colors_));
    texture_->SetShades(shades_);
  }
  decal_->Change();
}

void TKV3DTexture::SetIDirect3DTexture(IDirect3DRMTexture3* other) {
  if (other == nullptr || !texture_ || other == texture_.Get()) return;
  shades_ = other->GetShades();
  colors_ = static_cast<std::int32_t>(other->GetColors());
  LONG x = 0, y = 0;
  other->GetDecalOrigin(&x, &y);
  decal_->SetOrginX(static_cast<std::int32_t>(x));
  decal_->SetOrginY(static_cast<std::int32_t>(y));
  decal_->SetScale(other->GetDecalScale() != 0);
  D3DVALUE width = 0, height = 0;
  other->GetDecalSize(&width, &height);
  decal_->SetWidth(width);
  decal_->SetHeight(height);
  decal_->SetTransparent(other->GetDecalTransparency() != 0);
  decal_->SetTransparentColor(ColorToD3DColor(other->GetDecalTransparentColor()));
  Change();
}

}  // namespace kv
