// How the texture of a visual object is mapped onto its mesh.
//
// A wrap (flat, cylinder, sphere or chrome) is given by an origin, a
// direction (the wrap's z axis), an up vector (its y axis), a texture origin
// and a texture scale, all relative to a reference frame (the object itself
// unless set otherwise). Change builds a new engine wrap from these values
// and applies it to the object's mesh builder, which sets the texture
// coordinates of every vertex; it is also the step that puts the object's
// texture on the mesh builder. The coordinates are computed on the unscaled
// geometry: the object's scale is undone around the apply.
//
// A chrome wrap depends on where the object sits relative to the viewer;
// the object re-applies it on every move (ApplyRelative).
//
// RefFrame is a weak link: when that frame is freed the wrap forgets it and
// re-applies itself with no reference frame.
//
// Threads: main thread, like the object that owns it. The object's move
// callback (on the thread that moves the scene, under the engine lock) reads
// Type and the engine wrap; both are replaced under the engine lock.
#pragma once

#include "korvane3d/host/Link.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DObject;
class TKV3DCustomFrame;

// The values are the engine's wrap types.
enum TWrapType : int { twFlat = 0, twCylinder = 1, twSphere = 2, twChrome = 3 };
extern const EnumInfo kWrapTypeInfo;

class TKV3DWrap : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // The object is also the first reference frame.
  explicit TKV3DWrap(TKV3DObject* object);
  ~TKV3DWrap() override;

  static constexpr float kInitialTextureScale = 1.0f;

  // Copies every value through the setters (each differing value runs a
  // full Change). A source relative to its own object makes this wrap
  // relative to this wrap's object.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DObject* Object() const { return object_; }

  TKV3DCustomFrame* RefFrame() const { return refFrame_.get(); }
  void SetRefFrame(TKV3DCustomFrame* value);
  // Whether a form writes RefFrame: when it is not the object itself.
  bool IsRefFrameStored() const;

  // The float setters refuse values that are not finite (false, last error
  // set); the texture scales also refuse 0.
  float OriginX() const { return originX_; }
  float OriginY() const { return originY_; }
  float OriginZ() const { return originZ_; }
  float DirX() const { return dirX_; }
  float DirY() const { return dirY_; }
  float DirZ() const { return dirZ_; }
  float UpX() const { return upX_; }
  float UpY() const { return upY_; }
  float UpZ() const { return upZ_; }
  float TextureOriginU() const { return textureOriginU_; }
  float TextureOriginV() const { return textureOriginV_; }
  float TextureScaleU() const { return textureScaleU_; }
  float TextureScaleV() const { return textureScaleV_; }
  bool SetOriginX(float value);
  bool SetOriginY(float value);
  bool SetOriginZ(float value);
  bool SetDirX(float value);
  bool SetDirY(float value);
  bool SetDirZ(float value);
  bool SetUpX(float value);
  bool SetUpY(float value);
  bool SetUpZ(float value);
  bool SetTextureOriginU(float value);
  bool SetTextureOriginV(float value);
  bool SetTextureScaleU(float value);
  bool SetTextureScaleV(float value);

  TWrapType Type() const { return type_; }
  bool SetType(TWrapType value);

  // Rebuilds the engine wrap, applies it to the mesh builder and puts the
  // object's texture on it; then the object's ChangeTexture.
  void Change();

  IDirect3DRMWrap* GetIDirect3DWrap() const { return wrap_.Get(); }

 private:
  bool SetParam(float& field, float value);
  // The reference frame component was freed: re-apply without it.
  void RefFrameGone();
  void Rebuild();
  void ApplyToMesh();

  TKV3DObject* object_;  // not owning; the object owns this wrap
  float originX_ = 0, originY_ = 0, originZ_ = 0;
  float dirX_ = 0, dirY_ = 0, dirZ_ = 0;
  float upX_ = 0, upY_ = 0, upZ_ = 0;
  float textureOriginU_ = 0, textureOriginV_ = 0;
  float textureScaleU_ = kInitialTextureScale, textureScaleV_ = kInitialTextureScale;
  Link<TKV3DCustomFrame> refFrame_{[this] { RefFrameGone(); }};
  TWrapType type_ = twFlat;
  ComPtr<IDirect3DRMWrap> wrap_;
};

}  // namespace kv
