// The placement property objects of a frame component: position, rotation
// and velocity (one vector each, with its length) and the orientation
// (direction and up, with a turning tool for the form designer).
//
// Each object is a two-way window onto its frame's engine frame: a setter
// stores the value and sends it at once, a getter fetches the current value,
// stores and returns it. Values are relative to the frame's reference frame
// (TKV3DCustomFrame::GetIRefFrame). An object made with a null frame is
// detached: it only stores what it is given.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class IDirect3DRMViewport2;
class TKV3DCustomFrame;

namespace detail {
// A published float setter that refuses non-finite values with a clear
// error (form files and generic property access), instead of ignoring them.
template <class T>
auto FiniteSetter(void (T::*setter)(float)) {
  return [setter](T& object, float value) {
    if (!std::isfinite(value)) return Fail("expected a finite number");
    (object.*setter)(value);
    return true;
  };
}
}  // namespace detail

class TKV3DVectorProperty : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DVectorProperty(TKV3DCustomFrame* ownerFrame);
  ~TKV3DVectorProperty() override;

  // Copies x, y, z from the source's getters, then Change.
  bool Assign(const TPersistent* source) override;
  virtual void SetModulus(float value);
  virtual float GetModulus();
  virtual void SetX(float value);
  virtual void SetY(float value);
  virtual void SetZ(float value);
  virtual float GetX() = 0;
  virtual float GetY() = 0;
  virtual float GetZ() = 0;
  // Sends the stored values to the engine frame.
  virtual void Change() {}

  // Form reading. Modulus only follows from X, Y and Z and is never
  // written; one read from a form waits until Loaded, and sets the length
  // of the vector only when the form gave none of X, Y and Z (which decide
  // where they are given, so that a frame comes back where it was).
  // Restart takes a new frame's values and sends them (BeginReading).
  virtual void Restart();
  void FinishReading();

  TKV3DCustomFrame* OwnerFrame() const { return ownerFrame_; }
  TPersistent* GetOwner() const override;

 protected:
  // The owner frame's engine frame, or null (detached or frameless).
  IDirect3DRMFrame3* LiveFrame() const;
  // Sets one stored component; false when it is equal or not finite.
  static bool Store(float& field, float value);
  // The owner frame's properties are being read from a form.
  bool Reading() const;

  float x_ = 0, y_ = 0, z_ = 0;
  float modulus_ = 0;
  TKV3DCustomFrame* ownerFrame_;

 private:
  std::optional<float> streamedModulus_;
  bool componentsStreamed_ = false;
};

class TKV3DPosition : public TKV3DVectorProperty {
 public:
  KV_DECLARE_CLASS()
  using TKV3DVectorProperty::TKV3DVectorProperty;
  bool Assign(const TPersistent* source) override;
  float GetX() override;
  float GetY() override;
  float GetZ() override;
  void Change() override;

  // Screen coordinates in the view that shows the frame's scene; without
  // such a view they only store their value.
  float GetViewX();
  float GetViewY();
  void SetViewX(float value);
  void SetViewY(float value);

  // The Z a component starts with (the camera's -10). Z is written to forms
  // whenever it differs from it, so a camera placed at z 0 stays there.
  void SetStartZ(float z) { startZ_ = z; }
  bool IsZStored() const;
  void Restart() override;

 private:
  bool Shown(IDirect3DRMViewport2*& viewport, IDirect3DRMFrame3*& scene);
  bool ScreenOf(D3DRMVECTOR4D& screen, IDirect3DRMViewport2* viewport, IDirect3DRMFrame3* scene);
  void MoveOnScreen(float screenX, float screenY);

  float viewX_ = 0, viewY_ = 0;
  float startZ_ = 0;
};

class TKV3DRotation : public TKV3DVectorProperty {
 public:
  KV_DECLARE_CLASS()
  using TKV3DVectorProperty::TKV3DVectorProperty;
  bool Assign(const TPersistent* source) override;
  float GetX() override;
  float GetY() override;
  float GetZ() override;
  void Change() override;
  // Degrees per unit of time.
  float GetAngle();
  void SetAngle(float value);
  void Restart() override;

 private:
  void Fetch(D3DVECTOR& axis);
  float angle_ = 0;
  float fetchedAngle_ = 0;
};

class TKV3DVelocity : public TKV3DVectorProperty {
 public:
  KV_DECLARE_CLASS()
  using TKV3DVectorProperty::TKV3DVectorProperty;
  float GetX() override;
  float GetY() override;
  float GetZ() override;
  void Change() override;
};

class TKV3DOrientation : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DOrientation(TKV3DCustomFrame* ownerFrame);
  ~TKV3DOrientation() override;

  // Copies direction and up from the source's getters, then Change; does
  // nothing on a detached orientation.
  bool Assign(const TPersistent* source) override;
  // Sends the stored direction and up (held back while loading).
  virtual void Change();

  float GetDirX();
  float GetDirY();
  float GetDirZ();
  float GetUpX();
  float GetUpY();
  float GetUpZ();
  void SetDirX(float value);
  void SetDirY(float value);
  void SetDirZ(float value);
  void SetUpX(float value);
  void SetUpY(float value);
  void SetUpZ(float value);

  // Refreshes the six stored components from the engine frame.
  void Update();
  void UpdateRef();
  // Takes the last read-back vectors as the stored ones and sends them.
  void ChangeRot();
  // Form reading (the frame's BeginReading and Loaded): Restart clears the
  // stored vectors and the tool's settings, so that only the components a
  // form gives make the orientation; FinishReading sends them, or a new
  // frame's orientation when the form gave none.
  void Restart();
  void FinishReading();

  // The turning tool: each write turns the frame once by the angle in
  // degrees, about the reference frame's axes or (AngleRotSelf) the
  // frame's own lateral, up and direction axes.
  bool Reset() const { return reset_; }
  void SetReset(bool value);
  bool AngleRotSelf() const { return angleRotSelf_; }
  void SetAngleRotSelf(bool value) { angleRotSelf_ = value; }
  float AngleRotX() const { return angleX_; }
  float AngleRotY() const { return angleY_; }
  float AngleRotZ() const { return angleZ_; }
  void SetAngleRotX(float value);
  void SetAngleRotY(float value);
  void SetAngleRotZ(float value);

  TKV3DCustomFrame* OwnerFrame() const { return ownerFrame_; }
  TPersistent* GetOwner() const override;
  IDirect3DRMFrame3* OrientationRefFrame() const { return orientationRefFrame_; }

 private:
  enum class Axis { X, Y, Z };
  IDirect3DRMFrame3* LiveFrame() const;
  bool Loading() const;
  bool ReadingProperties() const;
  void ReadBack();
  void SetComponent(float& field, float value);
  void Turn(Axis axis, float& angleField, float degrees);
  void TurnScratch(IDirect3DRMFrame3* scratch, IDirect3DRMFrame3* ref, Axis axis, float degrees);
  void DisposeScratch(IDirect3DRMFrame3* scratch);

  TKV3DCustomFrame* ownerFrame_;
  bool reset_ = false;
  float angleX_ = 0, angleY_ = 0, angleZ_ = 0;
  bool angleRotSelf_ = false;
  D3DVECTOR dir_{}, up_{};
  D3DVECTOR readBackDir_{}, readBackUp_{};
  IDirect3DRMFrame3* orientationRefFrame_ = nullptr;
  bool restarted_ = false;  // by Restart, until FinishReading
};

}  // namespace kv
