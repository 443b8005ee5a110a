// The view's rendering settings: the device quality, the clipping plane and
// field of view, projection, handedness, uniform scaling, render mode and
// back faces. Each is stored in the component, pushed to the device or
// viewport when it changes, and pushed again to every new chain (Change).
#include <cmath>

#include "korvane3d/frames/Kv3dplacement.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

const EnumInfo kShadeModeInfo{"TRShadeMode", {"smGouraud", "smFlat", "smPhong"}};
const EnumInfo kFillModeInfo{"TRFillMode", {"fmSolid", "fmWireframe", "fmPoints"}};
const EnumInfo kTextureQualityInfo{
    "TTextureQuality",
    {"tqNearest", "tqLinear", "tqMipNearest", "tqMipLinear", "tqLinearMipNearest", "tqLinearMipLinear"}};

namespace {
template <class E>
bool InRange(E value, const EnumInfo& info) {
  return static_cast<std::size_t>(value) < info.names.size();
}

bool Refuse(const EnumInfo& info) { return Fail("not a value of " + info.typeName); }
}  // namespace

// ---- TKV3DViewQuality -------------------------------------------------------------------

const TClassInfo& TKV3DViewQuality::StaticClass() {
  static const TClassInfo info =
      DefineClass<TKV3DViewQuality, TPersistent>("TKV3DViewQuality", [](PropertyBuilder<TKV3DViewQuality>& p) {
        using Q = TKV3DViewQuality;
        p.Enum("ShadeMode", &Q::ShadeMode, &Q::SetShadeMode, kShadeModeInfo);
        p.Boolean("LightMode", &Q::LightMode, &Q::SetLightMode).Default(true);
        p.Enum("FillMode", &Q::FillMode, &Q::SetFillMode, kFillModeInfo);
        p.Boolean("Dither", &Q::GetDither, &Q::SetDither);
        p.Enum("TextureQuality", &Q::GetTextureQuality, &Q::SetTextureQuality, kTextureQualityInfo);
      });
  return info;
}

TKV3DViewQuality::TKV3DViewQuality(TKV3DView* view) : view_(view) {}

TPersistent* TKV3DViewQuality::GetOwner() const { return view_; }

bool TKV3DViewQuality::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DViewQuality*>(dynamic_cast<const TKV3DViewQuality*>(source));
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  const TRShadeMode shade = from->ShadeMode();
  const bool light = from->LightMode();
  const TRFillMode fill = from->FillMode();
  const bool dither = from->GetDither();
  const TTextureQuality texture = from->GetTextureQuality();
  shadeMode_ = shade;
  lightMode_ = light;
  fillMode_ = fill;
  dither_ = dither;
  textureQuality_ = texture;
  Changing();
  return true;
}

bool TKV3DViewQuality::SetShadeMode(TRShadeMode value) {
  if (!InRange(value, kShadeModeInfo)) return Refuse(kShadeModeInfo);
  if (value == shadeMode_) return true;
  shadeMode_ = value;
  Changing();
  return true;
}

void TKV3DViewQuality::SetLightMode(bool value) {
  if (value == lightMode_) return;
  lightMode_ = value;
  Changing();
}

bool TKV3DViewQuality::SetFillMode(TRFillMode value) {
  if (!InRange(value, kFillModeInfo)) return Refuse(kFillModeInfo);
  if (value == fillMode_) return true;
  fillMode_ = value;
  Changing();
  return true;
}

void TKV3DViewQuality::SetDither(bool value) {
  if (value == dither_) return;
  dither_ = value;
  Changing();
}

bool TKV3DViewQuality::SetTextureQuality(TTextureQuality value) {
  if (!InRange(value, kTextureQualityInfo)) return Refuse(kTextureQualityInfo);
  textureQuality_ = value;
  Changing();
  return true;
}

bool TKV3DViewQuality::GetDither() {
  if (view_ != nullptr && view_->CanGet()) {
    if (IDirect3DRMDevice3* device = view_->GetIDirect3DRMDevice3()) dither_ = device->GetDither() != FALSE;
  }
  return dither_;
}

TTextureQuality TKV3DViewQuality::GetTextureQuality() {
  if (view_ != nullptr && view_->CanGet()) {
    if (IDirect3DRMDevice3* device = view_->GetIDirect3DRMDevice3()) {
      const D3DRMTEXTUREQUALITY reported = device->GetTextureQuality();
      if (reported <= tqLinearMipLinear) textureQuality_ = static_cast<TTextureQuality>(reported);
    }
  }
  return textureQuality_;
}

DWORD TKV3DViewQuality::RenderQuality() const {
  DWORD shade = D3DRMSHADE_GOURAUD;
  if (shadeMode_ == smFlat) shade = D3DRMSHADE_FLAT;
  if (shadeMode_ == smPhong) shade = D3DRMSHADE_PHONG;
  DWORD fill = D3DRMFILL_SOLID;
  if (fillMode_ == fmWireframe) fill = D3DRMFILL_WIREFRAME;
  if (fillMode_ == fmPoints) fill = D3DRMFILL_POINTS;
  return shade | (lightMode_ ? D3DRMLIGHT_ON : D3DRMLIGHT_OFF) | fill;
}

void TKV3DViewQuality::ChangeQuality() {
  if (view_ == nullptr) return;
  IDirect3DRMDevice3* device = view_->GetIDirect3DRMDevice3();
  if (device == nullptr) return;
  ReportDXError(device->SetQuality(RenderQuality()), nullptr, false);
  ReportDXError(device->SetTextureQuality(static_cast<D3DRMTEXTUREQUALITY>(textureQuality_)), nullptr, false);
  ReportDXError(device->SetDither(dither_ ? TRUE : FALSE), nullptr, false);
}

void TKV3DViewQuality::Changing() {
  if (view_ != nullptr) view_->RequestViewportChange();
}

// ---- TKV3DPlane ----------------------------------------------------------------------------

const TClassInfo& TKV3DPlane::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DPlane, TPersistent>("TKV3DPlane", [](PropertyBuilder<TKV3DPlane>& p) {
    using P = TKV3DPlane;
    p.Float("Back", &P::Back, detail::FiniteSetter(&P::SetBack)).Default(kInitialBack);
    p.Float("Front", &P::Front, detail::FiniteSetter(&P::SetFront)).Default(kInitialFront);
    p.Float("Left", &P::Left, detail::FiniteSetter(&P::SetLeft));
    p.Float("Right", &P::Right, detail::FiniteSetter(&P::SetRight));
    p.Float("Top", &P::Top, detail::FiniteSetter(&P::SetTop));
    p.Float("Bottom", &P::Bottom, detail::FiniteSetter(&P::SetBottom));
    p.Float("Field", &P::Field, detail::FiniteSetter(&P::SetField)).Default(kInitialField);
  });
  return info;
}

void TKV3DPlane::SetValue(float& field, float value) {
  if (value == field) return;
  field = value;
  OnChange(this);
}

bool TKV3DPlane::Assign(const TPersistent* source) {
  const auto* from = dynamic_cast<const TKV3DPlane*>(source);
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  const bool changed = back_ != from->back_ || front_ != from->front_ || left_ != from->left_ ||
                       right_ != from->right_ || top_ != from->top_ || bottom_ != from->bottom_ ||
                       field_ != from->field_;
  back_ = from->back_;
  front_ = from->front_;
  left_ = from->left_;
  right_ = from->right_;
  top_ = from->top_;
  bottom_ = from->bottom_;
  field_ = from->field_;
  if (changed) OnChange(this);
  return true;
}

// ---- The view's settings ----------------------------------------------------------------------

void TKV3DView::SetQuality(const TKV3DViewQuality* value) {
  if (value != nullptr) quality_->Assign(value);
}

void TKV3DView::SetPlane(const TKV3DPlane* value) {
  if (value != nullptr) plane_->Assign(value);
}

void TKV3DView::Change() {
  if (quality_) quality_->ChangeQuality();
  ChangePlane(plane_.get());
  ChangeRenderMode();
  ChangeShowBackFaces();
}

void TKV3DView::ChangePlane(TObject* /*sender*/) {
  if (chain_->Viewport() == nullptr) return;
  ReportDXError(chain_->Viewport()->SetBack(plane_->Back()), nullptr, false);
  ReportDXError(chain_->Viewport()->SetFront(plane_->Front()), nullptr, false);
  ReportDXError(chain_->Viewport()->SetPlane(plane_->Left(), plane_->Right(), plane_->Bottom(), plane_->Top()), nullptr, false);
  ReportDXError(chain_->Viewport()->SetField(plane_->Field()), nullptr, false);
  ReportDXError(chain_->Viewport()->SetProjection(projectionType_ == ptOrthographic ? D3DRMPROJECT_ORTHOGRAPHIC
                                                                           : D3DRMPROJECT_PERSPECTIVE),
                nullptr, false);
  // The handedness belongs to the shared root: every view of the process
  // follows the view that set it last.
  if (IDirect3DRM3* root = SharedD3DRM3()) {
    ReportDXError(root->SetOptions(projectionHand_ == phRightHand ? D3DRMOPTIONS_RIGHTHANDED : D3DRMOPTIONS_LEFTHANDED),
                  nullptr, false);
  }
  ReportDXError(chain_->Viewport()->SetUniformScaling(uniformScaling_ ? TRUE : FALSE), nullptr, false);
}

bool TKV3DView::SetProjectionType(TProjectionType value) {
  if (!InRange(value, kProjectionTypeInfo)) return Refuse(kProjectionTypeInfo);
  if (value == projectionType_) return true;
  projectionType_ = value;
  ChangePlane(plane_.get());
  return true;
}

TProjectionType TKV3DView::GetProjectionType() {
  if (chain_->Viewport() != nullptr) {
    const D3DRMPROJECTIONTYPE reported = chain_->Viewport()->GetProjection();
    if (reported == D3DRMPROJECT_PERSPECTIVE) projectionType_ = ptPerspective;
    if (reported == D3DRMPROJECT_ORTHOGRAPHIC) projectionType_ = ptOrthographic;
  }
  return projectionType_;
}

bool TKV3DView::SetProjectionHand(TProjectionHand value) {
  if (!InRange(value, kProjectionHandInfo)) return Refuse(kProjectionHandInfo);
  if (value == projectionHand_) return true;
  projectionHand_ = value;
  ChangePlane(plane_.get());
  return true;
}

TProjectionHand TKV3DView::GetProjectionHand() {
  if (IDirect3DRM3* root = SharedD3DRM3()) {
    DWORD options = 0;
    root->GetOptions(&options);
    if (options == D3DRMOPTIONS_LEFTHANDED) projectionHand_ = phLeftHand;
    if (options == D3DRMOPTIONS_RIGHTHANDED) projectionHand_ = phRightHand;
  }
  return projectionHand_;
}

void TKV3DView::SetUniformScaling(bool value) {
  if (value == uniformScaling_) return;
  uniformScaling_ = value;
  ChangePlane(plane_.get());
}

DWORD TKV3DView::RenderModeFlags() const {
  DWORD flags = 0;
  if (renderMode_.Contains(rmSortedTransparency)) {
    flags = D3DRMRENDERMODE_BLENDEDTRANSPARENCY | D3DRMRENDERMODE_SORTEDTRANSPARENCY;
  } else if (renderMode_.Contains(rmBlendedTransparency)) {
    flags = D3DRMRENDERMODE_BLENDEDTRANSPARENCY;
  }
  if (renderMode_.Contains(rmLightInModelSpace)) flags |= D3DRMRENDERMODE_LIGHTINMODELSPACE;
  if (renderMode_.Contains(rmDisableSortedAlphaZWrite)) flags |= D3DRMRENDERMODE_DISABLESORTEDALPHAZWRITE;
  if (renderMode_.Contains(rmViewDependentSpecular)) flags |= D3DRMRENDERMODE_VIEWDEPENDENTSPECULAR;
  return flags;
}

void TKV3DView::ChangeRenderMode() {
  if (chain_->Device() != nullptr) ReportDXError(chain_->Device()->SetRenderMode(RenderModeFlags()), nullptr, false);
}

TSetRMs TKV3DView::GetRenderMode() {
  if (CanGet() && chain_->Device() != nullptr) {
    const DWORD flags = chain_->Device()->GetRenderMode();
    TSetRMs read;
    if (flags & D3DRMRENDERMODE_BLENDEDTRANSPARENCY) read.Include(rmBlendedTransparency);
    if (flags & D3DRMRENDERMODE_SORTEDTRANSPARENCY) read.Include(rmSortedTransparency);
    if (flags & D3DRMRENDERMODE_LIGHTINMODELSPACE) read.Include(rmLightInModelSpace);
    if (flags & D3DRMRENDERMODE_DISABLESORTEDALPHAZWRITE) read.Include(rmDisableSortedAlphaZWrite);
    if (flags & D3DRMRENDERMODE_VIEWDEPENDENTSPECULAR) read.Include(rmViewDependentSpecular);
    renderMode_ = read;
  }
  return renderMode_;
}

void TKV3DView::SetRenderMode(TSetRMs value) {
  // Only the five known elements form the stored byte.
  value = TSetRMs::FromBits(value.Bits() & 0x1F);
  if (value.Bits() == renderMode_.Bits()) return;
  renderMode_ = value;
  ChangeRenderMode();
}

void TKV3DView::SetShowBackFaces(bool value) {
  if (value == showBackFaces_) return;
  showBackFaces_ = value;
  ChangeShowBackFaces();
}

void TKV3DView::ChangeShowBackFaces() {
  if (chain_->Device() == nullptr) return;
  ReportDXError(chain_->Device()->RenderStateChange(D3DRENDERSTATE_CULLMODE, showBackFaces_ ? D3DCULL_NONE : D3DCULL_CCW, 0),
                nullptr, false);
}

}  // namespace kv
