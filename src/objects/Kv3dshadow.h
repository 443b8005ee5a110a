// The planar shadow of a visual object.
//
// Given a light component and a plane (a point on it and its normal), the
// shadow makes an engine shadow visual of the object's present geometry and
// hangs it on the object's frame. The visual is a snapshot: later geometry
// changes show in it only after the next Change (the object runs Change on
// every rebuild of its mesh). A replaced visual is taken off the frame and
// released, so a frame never carries stale shadows.
//
// The plane values are never stored as 0: an exact 0 becomes 0.001.
//
// Light is a weak link: when that light component is freed the shadow
// takes its visual off the frame and has no light.
//
// Threads: main thread, like the object that owns it.
#pragma once

#include "korvane3d/host/Link.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DObject;
class TKV3DLight;

class TKV3DShadow : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DShadow(TKV3DObject* object);
  ~TKV3DShadow() override;

  // What an exact 0 is stored as.
  static constexpr float kNonZero = 0.001f;

  // Copies the six plane values through the setters, then SetLight.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DObject* Object() const { return object_; }

  TKV3DLight* Light() const { return light_.get(); }
  // Always rebuilds: the old visual goes, a new one is made for the light
  // (none for a null light).
  void SetLight(TKV3DLight* value);
  // Takes the shadow visual off the object's frame and releases it.
  void NoShadow();

  // The getters read the engine shadow's plane back when there is one. The
  // setters refuse values that are not finite (false, last error set).
  float GetPlaneX();
  float GetPlaneY();
  float GetPlaneZ();
  float GetNormalX();
  float GetNormalY();
  float GetNormalZ();
  bool SetPlaneX(float value);
  bool SetPlaneY(float value);
  bool SetPlaneZ(float value);
  bool SetNormalX(float value);
  bool SetNormalY(float value);
  bool SetNormalZ(float value);

  // Makes a new shadow visual from the present geometry and hangs it on the
  // object's frame (the previous one is taken off and released).
  void Change();
  // Sends the plane to the present shadow visual.
  void ChangeParam();

  // The present shadow visual, or null.
  IDirect3DRMShadow2* GetIDirect3DShadow() const { return shadow_.Get(); }

 private:
  bool SetParam(float& field, float value);
  void ReadPlane();
  void LightGone();
  IDirect3DRMFrame3* ObjectFrame() const;

  TKV3DObject* object_;  // not owning; the object owns this shadow
  Link<TKV3DLight> light_{[this] { LightGone(); }};
  float planeX_ = 0.0f, planeY_ = 1.0f, planeZ_ = 0.0f;
  float normalX_ = 0.0f, normalY_ = 1.0f, normalZ_ = 0.0f;
  ComPtr<IDirect3DRMShadow2> shadow_;
};

}  // namespace kv
