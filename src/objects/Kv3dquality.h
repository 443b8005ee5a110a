// The rendering quality and the scale of a visual object.
//
// TKV3DQuality sets shading, lighting and fill of the object's mesh builder.
//
// TKV3DScale scales the object's geometry along X, Y and Z by scaling the
// mesh builder's vertices themselves. The scale lives only in the geometry
// and in the three factors: UnChange divides the factors out again and
// Change multiplies them in, so a change of a factor is an undo of the old
// factors followed by the new ones, and anything that must see the unscaled
// geometry (the wrap computing texture coordinates) brackets itself with
// UnChange and Change. A factor is never 0.
//
// Threads: main thread, like the object that owns them.
#pragma once

#include "korvane3d/host/Persistent.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DObject;

// The object's own orders; the engine numbers them differently, and the
// fill order differs from the view's fill mode.
enum TMShadeMode : int { tsGouraud = 0, tsFlat = 1, tsPhong = 2 };
enum TMFillMode : int { tfSolid = 0, tfPoints = 1, tfWireframe = 2 };
extern const EnumInfo kMShadeModeInfo;
extern const EnumInfo kMFillModeInfo;

// The engine's render quality for a combination, and back (false for
// engine bits outside the table; the outputs then keep their values).
D3DRMRENDERQUALITY RenderQualityOf(TMShadeMode shade, bool light, TMFillMode fill);
bool ShadeModeFromQuality(D3DRMRENDERQUALITY quality, TMShadeMode& shade);
bool LightModeFromQuality(D3DRMRENDERQUALITY quality, bool& light);
bool FillModeFromQuality(D3DRMRENDERQUALITY quality, TMFillMode& fill);

class TKV3DQuality : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DQuality(TKV3DObject* object);

  // Copies shade, light and fill mode through the setters.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DObject* Object() const { return object_; }

  // The getters read the mesh builder's quality back when there is one.
  TMShadeMode GetMShadeMode();
  bool SetMShadeMode(TMShadeMode value);
  bool GetMLightMode();
  void SetMLightMode(bool value);
  TMFillMode GetMFillMode();
  bool SetMFillMode(TMFillMode value);

  // Sends the quality to the mesh builder and re-attaches the mesh.
  void Change();

 private:
  TKV3DObject* object_;  // not owning; the object owns this quality
  TMShadeMode shadeMode_ = tsGouraud;
  bool lightMode_ = true;
  TMFillMode fillMode_ = tfSolid;
};

class TKV3DScale : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DScale(TKV3DObject* object);

  static constexpr float kInitialFactor = 1.0f;

  // Undoes the factors in force, copies the source's and applies them.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DObject* Object() const { return object_; }

  float X() const { return x_; }
  float Y() const { return y_; }
  float Z() const { return z_; }
  // Ignore the value held; refuse 0 and values that are not finite (false,
  // last error set).
  bool SetX(float value);
  bool SetY(float value);
  bool SetZ(float value);

  // Divides the factors out of the mesh builder's vertices.
  void UnChange();
  // Multiplies the factors into the mesh builder's vertices.
  void Change();

 private:
  bool SetFactor(float& field, float value);
  void UpdateBox();

  TKV3DObject* object_;  // not owning; the object owns this scale
  float x_ = kInitialFactor, y_ = kInitialFactor, z_ = kInitialFactor;
};

}  // namespace kv
