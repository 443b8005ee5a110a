// The view's rendering settings as property objects: TKV3DViewQuality (the
// device's shade, light and fill, dithering and texture filter) and
// TKV3DPlane (clipping distances, clipping rectangle and field of view),
// with the enumerations of the view's projection, handedness and render
// mode. The view (Kv3dview.h) owns one of each.
#pragma once

#include <cstdint>

#include "korvane3d/host/Event.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/host/Set.h"
#include "korvane3d/host/TypeInfo.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

class TKV3DView;

enum TRShadeMode : std::uint8_t { smGouraud, smFlat, smPhong };
enum TRFillMode : std::uint8_t { fmSolid, fmWireframe, fmPoints };
enum TTextureQuality : std::uint8_t {
  tqNearest, tqLinear, tqMipNearest, tqMipLinear, tqLinearMipNearest, tqLinearMipLinear
};
enum TProjectionType : std::uint8_t { ptPerspective, ptOrthographic };
enum TProjectionHand : std::uint8_t { phLeftHand, phRightHand };
enum TSetRM : std::uint8_t {
  rmBlendedTransparency, rmSortedTransparency, rmLightInModelSpace, rmDisableSortedAlphaZWrite,
  rmViewDependentSpecular
};
using TSetRMs = TSet<TSetRM>;
extern const EnumInfo kShadeModeInfo;
extern const EnumInfo kFillModeInfo;
extern const EnumInfo kTextureQualityInfo;
extern const EnumInfo kProjectionTypeInfo;
extern const EnumInfo kProjectionHandInfo;
extern const EnumInfo kSetRMInfo;

// ---- Quality and plane -------------------------------------------------------------

// The device's render quality. A change asks the view for a new chain, which
// receives the settings through ChangeQuality.
class TKV3DViewQuality : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DViewQuality(TKV3DView* view);

  // Copies every setting of another quality, then asks for one change.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DView* View() const { return view_; }

  TRShadeMode ShadeMode() const { return shadeMode_; }
  bool SetShadeMode(TRShadeMode value);
  bool LightMode() const { return lightMode_; }
  void SetLightMode(bool value);
  TRFillMode FillMode() const { return fillMode_; }
  bool SetFillMode(TRFillMode value);
  // These two read the device's value back when the view allows it.
  bool GetDither();
  void SetDither(bool value);
  TTextureQuality GetTextureQuality();
  // Asks for a change even when the value is the stored one.
  bool SetTextureQuality(TTextureQuality value);

  // The D3DRMRENDERQUALITY word of shade, light and fill.
  DWORD RenderQuality() const;
  // Pushes the settings to the view's device.
  void ChangeQuality();
  // Asks the view for a new chain.
  void Changing();

 private:
  TRShadeMode shadeMode_ = smGouraud;
  bool lightMode_ = true;
  TRFillMode fillMode_ = fmSolid;
  bool dither_ = false;
  TTextureQuality textureQuality_ = tqNearest;
  TKV3DView* view_;  // not owning; the view owns this object
};

// Clipping distances, clipping rectangle and field of view of the viewport.
// OnChange fires after any value changes (the view binds it to ChangePlane).
class TKV3DPlane : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  TKV3DPlane() = default;

  static constexpr float kInitialBack = 5000.0f;
  static constexpr float kInitialFront = 1.0f;
  static constexpr float kInitialField = 0.5f;

  // Copies all seven values of another plane; fires OnChange once when any
  // of them changed.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override { return owner_; }
  void SetOwner(TPersistent* owner) { owner_ = owner; }

  float Back() const { return back_; }
  float Front() const { return front_; }
  float Left() const { return left_; }
  float Right() const { return right_; }
  float Top() const { return top_; }
  float Bottom() const { return bottom_; }
  float Field() const { return field_; }
  void SetBack(float value) { SetValue(back_, value); }
  void SetFront(float value) { SetValue(front_, value); }
  void SetLeft(float value) { SetValue(left_, value); }
  void SetRight(float value) { SetValue(right_, value); }
  void SetTop(float value) { SetValue(top_, value); }
  void SetBottom(float value) { SetValue(bottom_, value); }
  void SetField(float value) { SetValue(field_, value); }

  TNotifyEvent OnChange;

 private:
  void SetValue(float& field, float value);

  float back_ = kInitialBack;
  float front_ = kInitialFront;
  float left_ = 0.0f;
  float right_ = 0.0f;
  float top_ = 0.0f;
  float bottom_ = 0.0f;
  float field_ = kInitialField;
  TPersistent* owner_ = nullptr;
};

}  // namespace kv
