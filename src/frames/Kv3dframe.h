// Unit Kv3dframe: the frame base shared by every component placed in space
// (scene, camera, frame, visual object, light), and the plain frame.
//
// A frame component owns one engine frame and four placement objects
// (position, rotation, orientation, velocity). Its ParentFrame decides under
// which engine frame its own hangs; without one it hangs under the shared
// root frame, which is then its reference frame for every placement value.
//
// Lifecycle: constructor -> Init -> Create (engine frame made under the
// shared root) -> (a form streams the published properties in, then
// resolves ParentFrame) -> Loaded (re-parents, sends colour and orientation).
// Freeing a frame tells the frames linked to it, moves its child frames
// under the shared root (their local placement unchanged) and releases its
// engine frame.
//
// Threads: components belong to the main thread. OnMove fires inside the
// engine's Move, on the thread that calls it (the view's render loop under
// automatic rendering); the engine lock keeps that safe against property
// changes on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "korvane3d/frames/Kv3dplacement.h"
#include "korvane3d/host/Color.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Event.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class IDirect3DRMViewport2;


class TKV3DFrame;

// (Sender, Layer): the layer is the object's index in the pick result.
using TFramePickedEvent = TEvent<TObject*, std::int32_t>;

class TKV3DCustomFrame : public TComponent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DCustomFrame(TComponent* owner);
  ~TKV3DCustomFrame() override;

  // ---- Overridable steps -------------------------------------------------
  virtual void SetColor(TColor value);
  // Reads the colour back from the engine frame.
  virtual TColor GetColor();
  virtual void ChangeColor();
  // Called after re-parenting; nothing here.
  virtual void Change() {}
  // Hangs the engine frame under the parent's.
  virtual void ChangeParentFrame();
  // Sends velocity, position, rotation and orientation to the engine frame.
  virtual void ChangePosParams();
  // Creates the engine frame under the shared root frame.
  virtual void Create();
  // Subclass defaults; runs before Create.
  virtual void Init() {}
  // Fires OnMove.
  virtual void DoOnMove();
  // Fires OnFramePicked.
  virtual void Picked(std::int32_t layer);

  // A frame read again starts from a new frame's parent and placement
  // (what its class publishes of them), as a form gives only what differs.
  void BeginReading() override;
  void Loaded() override;
  // Forgets a removed frame. It takes no notice of inserts, nor of a
  // component being freed (a freed frame has left every notify list and
  // parent link before), so owners skip frames for those.
  using NotificationIgnoresInsertsAndFrees = TKV3DCustomFrame;
  void Notification(TComponent* component, TOperation operation) override;

  // ---- Properties ------------------------------------------------------------
  TKV3DCustomFrame* ParentFrame() const { return parentFrame_.get(); }
  // Ignores the present parent and the component itself.
  void SetParentFrame(TKV3DCustomFrame* value);
  // True: re-parenting keeps the stored local placement (the frame moves
  // with its new parent). False: it keeps its world placement.
  bool ParentUpdate() const { return parentUpdate_; }
  void SetParentUpdate(bool value) { parentUpdate_ = value; }
  TKV3DPosition* Position() const { return position_.get(); }
  TKV3DRotation* Rotation() const { return rotation_.get(); }
  TKV3DOrientation* Orientation() const { return orientation_.get(); }
  TKV3DVelocity* Velocity() const { return velocity_.get(); }
  // Copy the given object's values in (never take it over).
  void SetPosition(const TKV3DPosition* value);
  void SetRotation(const TKV3DRotation* value);
  void SetOrientation(const TKV3DOrientation* value);
  void SetVelocity(const TKV3DVelocity* value);
  // The stored colour (GetColor reads the engine's).
  TColor Color() const { return color_; }

  // ---- Links and engine objects ------------------------------------------------
  // Links two frames both ways: each is told when the other is freed.
  void AddToNotify(TKV3DCustomFrame* frame);
  bool IsInNotifyList(const TKV3DCustomFrame* frame) const;
  // Gives every component of the owner an insert and a remove notification.
  void SendNotification();
  IDirect3DRMFrame3* GetIDirect3DRMFrame3() const { return frame_.Get(); }
  // The parent's engine frame, else the shared root frame.
  IDirect3DRMFrame3* GetIRefFrame();
  // The top frame of the hierarchy holding this frame (null without one).
  IDirect3DRMFrame3* GetIScene();
  // The viewport of the view showing this frame's scene, or null.
  IDirect3DRMViewport2* GetIViewport();

  // ---- Placement relative to another frame -----------------------------------
  // Detached objects owned by the caller; null when either frame has no
  // engine frame or ref is null.
  std::unique_ptr<TKV3DPosition> GetRefPosition(TKV3DCustomFrame* ref);
  std::unique_ptr<TKV3DRotation> GetRefRotation(TKV3DCustomFrame* ref);
  std::unique_ptr<TKV3DVelocity> GetRefVelocity(TKV3DCustomFrame* ref);
  std::unique_ptr<TKV3DOrientation> GetRefOrientation(TKV3DCustomFrame* ref);
  // Do nothing for a null value or ref, or without engine frames.
  void SetRefPosition(TKV3DCustomFrame* ref, TKV3DPosition* value);
  void SetRefRotation(TKV3DCustomFrame* ref, TKV3DRotation* value);
  void SetRefVelocity(TKV3DCustomFrame* ref, TKV3DVelocity* value);
  void SetRefOrientation(TKV3DCustomFrame* ref, TKV3DOrientation* value);
  // Orientation relative to the reference frame; the stored values stay.
  void SetDirOrientation(const D3DVECTOR& dir, const D3DVECTOR& up);
  // One turn by whole degrees about the frame's lateral, up or direction
  // axis. Stops any spin (Rotation reads zero afterwards).
  void RotAlpha(std::int32_t degrees);
  void RotBetha(std::int32_t degrees);
  void RotGamma(std::int32_t degrees);
  // A new plain frame with this one's owner, parent, placement and colour.
  // It belongs to the owner; without an owner the caller frees it.
  TKV3DFrame* Clone();

  // ---- Events --------------------------------------------------------------------
  TFramePickedEvent OnFramePicked;  // public, not published
  TNotifyEvent OnMove;

 protected:
  // C++ runs a base constructor before the subclass exists, so a virtual
  // call from it would miss the subclass's override. A subclass that
  // overrides Init or Create therefore constructs its base with
  // DeferConstruct{} and calls Construct() at the end of its own
  // constructor; Construct runs Init and then Create.
  struct DeferConstruct {};
  TKV3DCustomFrame(TComponent* owner, DeferConstruct);
  void Construct();
  // Takes this component's move callback off the engine frame (once). A
  // subclass whose DoOnMove reads its own members calls it first in its
  // destructor: a Move on another thread then cannot reach them half freed.
  void RemoveMoveCallback();

  TColor color_ = static_cast<TColor>(0x00FFFFFF);

 private:
  void SetEngineRotation(IDirect3DRMFrame3* ref, const D3DVECTOR& axis, double degrees);
  void TurnOnce(IDirect3DRMFrame3* ref, const D3DVECTOR& axis, std::int32_t degrees);
  void RescueChildren();
  void DetachFromParent();
  // Drops the link with `component` on both sides when it is a linked frame.
  void Unlink(TComponent* component);
  // Unlinks every linked frame and tells it this frame is going.
  void TellLinkedFrames();

  std::vector<TKV3DCustomFrame*> notifyList_;  // not owning
  Link<TKV3DCustomFrame> parentFrame_;
  bool parentUpdate_ = true;
  IDirect3DRMViewport2* lastViewport_ = nullptr;
  IDirect3DRMFrame3* lastScene_ = nullptr;
  IDirect3DRMFrame3* lastRefFrame_ = nullptr;
  std::unique_ptr<TKV3DVelocity> velocity_;
  std::unique_ptr<TKV3DPosition> position_;
  std::unique_ptr<TKV3DOrientation> orientation_;
  std::unique_ptr<TKV3DRotation> rotation_;
  ComPtr<IDirect3DRMFrame3> frame_;
  bool moveCallbackAdded_ = false;
};

// The move callback registered on every component's engine frame; the
// argument is the component.
void FrameMoveCallback(IDirect3DRMFrame3* frame, void* arg, D3DVALUE delta);

// An invisible frame for grouping and placing other frames.
class TKV3DFrame : public TKV3DCustomFrame {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DFrame(TComponent* owner);

 protected:
  TKV3DFrame(TComponent* owner, DeferConstruct defer) : TKV3DCustomFrame(owner, defer) {}
};

}  // namespace kv
