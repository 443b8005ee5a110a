// Unit Kv3dlight: a light component. It carries one engine light attached to
// its own frame, so the light sits where the frame is and points along the
// frame's direction; position, rotation, orientation, velocity and parent
// are the frame base's.
//
// Angles are published in degrees and sent in radians. Every parameter is
// sent to the engine light when the component is made, so the getters (which
// read the engine light back) agree with the published initial values.
//
// EnableFrame limits what the light lights to one frame and what hangs below
// it. The link is weak: when that frame component is freed the light forgets
// it and lights the whole scene again.
//
// Threads: main thread, like every component.
#pragma once

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

// Declared in the palette's order; the engine numbers its types differently.
enum TLightType : int { tDirectional = 0, tPoint = 1, tAmbient = 2, tSpot = 3, tParallelPoint = 4 };
extern const EnumInfo kLightTypeInfo;

D3DRMLIGHTTYPE LightTypeToD3D(TLightType type);
// False for an engine type the component does not know.
bool LightTypeFromD3D(D3DRMLIGHTTYPE d3dType, TLightType& type);

class TKV3DLight : public TKV3DCustomFrame {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DLight(TComponent* owner);
  ~TKV3DLight() override;

  static constexpr float kInitialUmbra = 25.0f;
  static constexpr float kInitialPenumbra = 30.0f;
  static constexpr float kInitialRange = 256.0f;
  static constexpr float kInitialConstantAttenuation = 1.0f;
  static constexpr float kInitialLinearAttenuation = 0.0f;
  static constexpr float kInitialQuadraticAttenuation = 0.0f;

  // ---- Frame base steps --------------------------------------------------------
  void Init() override;
  // Makes the frame and the engine light (not yet attached).
  void Create() override;
  // The light sends nothing when its parent changes.
  void Change() override {}
  void ChangeColor() override;
  TColor GetColor() override;

  // ---- Visibility -------------------------------------------------------------------
  bool Visible() const { return visible_; }
  // True attaches the light to the frame, false detaches it.
  void SetVisible(bool value);
  void UpdateVisible(bool value);
  // Detaches every light from the component's frame (the engine light
  // itself stays with the component).
  void Release();

  IDirect3DRMLight* GetIDirect3DLight() const { return light_.Get(); }

  // ---- Parameters ---------------------------------------------------------------------
  // Getters read the engine light back when there is one.
  TLightType GetType();
  bool SetType(TLightType value);
  void ChangeType();

  float GetSpotUmbraAngle();
  float GetSpotPenumbraAngle();
  float GetSpotRange();
  float GetConstantAttenuation();
  float GetLinearAttenuation();
  float GetQuadraticAttenuation();
  // Refuse values that are not finite (false, last error set, nothing
  // changed). A negative range is kept as given; such a light reaches
  // nothing.
  bool SetSpotUmbraAngle(float value);
  bool SetSpotPenumbraAngle(float value);
  bool SetSpotRange(float value);
  bool SetConstantAttenuation(float value);
  bool SetLinearAttenuation(float value);
  bool SetQuadraticAttenuation(float value);

  TKV3DFrame* GetEnableFrame() const { return enableFrame_.get(); }
  void SetEnableFrame(TKV3DFrame* value);

  // Sends the spot angles, range, attenuations and enable frame.
  void ChangeParamLight();

  // A new light with the same owner (it belongs to that owner; without one
  // the caller frees it), parent, placement and light settings.
  TKV3DLight* Clone();

 private:
  bool SetParam(float& field, float value, const char* name);
  float ReadParam(float& field, D3DVALUE (IDirect3DRMLight::*getter)());
  void SendEnableFrame();
  void EnableFrameGone();

  bool visible_ = false;  // true once construction is over
  float constantAttenuation_ = kInitialConstantAttenuation;
  float linearAttenuation_ = kInitialLinearAttenuation;
  float quadraticAttenuation_ = kInitialQuadraticAttenuation;
  TLightType type_ = tDirectional;
  float umbra_ = kInitialUmbra;  // degrees
  float penumbra_ = kInitialPenumbra;  // degrees
  float range_ = kInitialRange;
  Link<TKV3DFrame> enableFrame_{[this] { EnableFrameGone(); }};
  ComPtr<IDirect3DRMLight> light_;
};

}  // namespace kv
