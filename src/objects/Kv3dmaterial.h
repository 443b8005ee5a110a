// The surface material of a visual object: emissive, specular and ambient
// colours and the specular power.
//
// The material keeps one engine material and puts it on the object's mesh
// builder. Every change makes a fresh engine material from the stored
// values (an engine material may be shared by whoever read it through
// GetIDirect3DMaterial, so it is never edited after it was handed out).
//
// Colours are used as raw bytes (red low, blue third); the top byte is
// ignored, so system colours are not resolved.
//
// Threads: main thread, like the object that owns it.
#pragma once

#include "korvane3d/host/Color.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DObject;

class TKV3DMaterial : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // A material without an object only stores its values.
  explicit TKV3DMaterial(TKV3DObject* object);
  ~TKV3DMaterial() override;

  static constexpr float kInitialPower = 5.0f;
  static constexpr TColor kInitialAmbient = 0x00FFFFFF;

  // Copies Emission, Power and Specular through the setters; Ambient is
  // not copied.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DObject* Object() const { return object_; }

  // The getters read the engine material back when there is one.
  TColor GetEmission();
  void SetEmission(TColor value);
  float GetPower();
  // Refuses a value that is not finite (false, last error set).
  bool SetPower(float value);
  TColor GetSpecular();
  void SetSpecular(TColor value);
  TColor GetAmbient();
  void SetAmbient(TColor value);

  // Makes a new engine material from the stored values and puts it on the
  // object's mesh builder.
  void Change();

  IDirect3DRMMaterial2* GetIDirect3DMaterial() const { return material_.Get(); }
  // Adopts the values of another engine material (not the material itself).
  void SetIDirect3DMaterial(IDirect3DRMMaterial2* material);

 private:
  TColor emission_ = clBlack;
  float power_ = kInitialPower;
  TColor specular_ = clBlack;
  TColor ambient_ = kInitialAmbient;
  TKV3DObject* object_;  // not owning; the object owns this material
  ComPtr<IDirect3DRMMaterial2> material_;
};

}  // namespace kv
