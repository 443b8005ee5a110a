#include "korvane3d/frames/Kv3dframe.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "korvane3d/frames/SceneViewport.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"

namespace kv {

namespace {
// Engine results in the frame base go to the reporter unforced, with no
// context: silent unless every report is asked to be shown.
void Reported(HRESULT hr) { ReportDXError(hr, nullptr, false); }

// Takes `frame` off a notify list, where it is listed once. Searched from the
// end: frames are freed last created first, so a long list (a scene's) is
// not walked whole for each one.
void EraseLinked(std::vector<TKV3DCustomFrame*>& list, const TKV3DCustomFrame* frame) {
  auto it = std::find(list.rbegin(), list.rend(), frame);
  if (it != list.rend()) list.erase(std::next(it).base());
}
}  // namespace

void FrameMoveCallback(IDirect3DRMFrame3* /*frame*/, void* arg, D3DVALUE /*delta*/) {
  if (arg == nullptr) return;
  // Nothing may propagate into the engine's Move.
  try {
    static_cast<TKV3DCustomFrame*>(arg)->DoOnMove();
  } catch (...) {
  }
}

const TClassInfo& TKV3DCustomFrame::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DCustomFrame, TComponent>("TKV3DCustomFrame");
  return info;
}

TKV3DCustomFrame::TKV3DCustomFrame(TComponent* owner) : TKV3DCustomFrame(owner, DeferConstruct{}) { Construct(); }

TKV3DCustomFrame::TKV3DCustomFrame(TComponent* owner, DeferConstruct) : TComponent(owner) {
  CheckDirectX();
  position_ = std::make_unique<TKV3DPosition>(this);
  rotation_ = std::make_unique<TKV3DRotation>(this);
  orientation_ = std::make_unique<TKV3DOrientation>(this);
  velocity_ = std::make_unique<TKV3DVelocity>(this);
}

void TKV3DCustomFrame::Construct() {
  Init();
  Create();
}

TKV3DCustomFrame::~TKV3DCustomFrame() {
  // Weak links to this frame let go and the owner's components hear of it
  // while this object is still whole.
  Destroying();
  TellLinkedFrames();
  RemoveMoveCallback();
  DetachFromParent();
  RescueChildren();
  frame_.Reset();
  position_.reset();
  rotation_.reset();
  orientation_.reset();
  velocity_.reset();
}

void TKV3DCustomFrame::RemoveMoveCallback() {
  if (!frame_ || !moveCallbackAdded_) return;
  moveCallbackAdded_ = false;
  // The engine lock held by a Move covers its callbacks, so once this
  // returns no callback for this component runs or will run.
  Reported(frame_->DeleteMoveCallback(FrameMoveCallback, this));
}

void TKV3DCustomFrame::DetachFromParent() {
  if (!frame_) return;
  // Out of whatever engine frame holds it (the parent's, the shared root or
  // a scene's): a freed component's frame must not stay in the scene graph.
  ComPtr<IDirect3DRMFrame3> holder;
  frame_->GetParent(holder.ReleaseAndGetAddressOf());
  if (holder) Reported(holder->DeleteChild(frame_.Get()));
}

void TKV3DCustomFrame::RescueChildren() {
  if (!frame_) return;
  ComPtr<IDirect3DRMFrameArray> children;
  Reported(frame_->GetChildren(children.ReleaseAndGetAddressOf()));
  if (!children) return;
  for (DWORD i = 0; i < children->GetSize(); ++i) {
    ComPtr<IDirect3DRMFrame3> child;
    children->GetElement(i, child.ReleaseAndGetAddressOf());
    if (!child) continue;
    Reported(frame_->DeleteChild(child.Get()));
    if (IDirect3DRMFrame3* root = SharedRootFrame()) root->AddChild(child.Get());
  }
}

void TKV3DCustomFrame::Create() {
  if (SharedD3DRM3() == nullptr) InitDirect3DRM();
  if (SharedD3DRM() != nullptr && SharedD3DRM3() != nullptr) {
    Reported(SharedD3DRM3()->CreateFrame(nullptr, frame_.ReleaseAndGetAddressOf()));
  }
  if (!frame_) return;
  const HRESULT added = frame_->AddMoveCallback(FrameMoveCallback, this, 0);
  Reported(added);
  moveCallbackAdded_ = added == D3DRM_OK;
  if (IDirect3DRMFrame3* root = SharedRootFrame()) root->AddChild(frame_.Get());
  ChangePosParams();
}

void TKV3DCustomFrame::BeginReading() {
  TComponent::BeginReading();
  // Reading into an existing frame then ends where reading into a new one
  // would. What the class does not publish is in no form and stays.
  const TClassInfo& cls = ClassInfo();
  const auto published = [&cls](const char* name) { return cls.FindProperty(name) != nullptr; };
  if (published("ParentFrame")) SetParentFrame(nullptr);
  if (published("ParentUpdate")) parentUpdate_ = true;
  if (published("Position")) position_->Restart();
  if (published("Rotation")) rotation_->Restart();
  if (published("Orientation")) orientation_->Restart();
  if (published("Velocity")) velocity_->Restart();
}

void TKV3DCustomFrame::Loaded() {
  TComponent::Loaded();
  // A streamed Modulus applies only when the form gave no components.
  velocity_->FinishReading();
  position_->FinishReading();
  // The streamed orientation goes out first, relative to the parent the
  // frame already hangs under (references are resolved before Loaded).
  // Re-parenting then keeps it with ParentUpdate false, or sends it once
  // more with ParentUpdate true.
  orientation_->FinishReading();
  ChangeParentFrame();
  ChangeColor();
}

void TKV3DCustomFrame::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  Unlink(component);
  // The parent link reads null by itself once the parent starts going; its
  // engine frame has then already moved this frame under the shared root.
  if (parentFrame_.Target() == component) parentFrame_ = nullptr;
}

void TKV3DCustomFrame::AddToNotify(TKV3DCustomFrame* frame) {
  if (frame == nullptr || frame == this) return;
  // A frame being freed has told its links already; a new one would outlive it.
  if (ComponentState().Contains(csDestroying) || frame->ComponentState().Contains(csDestroying)) return;
  // Links are kept both ways, so the shorter list answers for both.
  const bool linked = notifyList_.size() <= frame->notifyList_.size() ? IsInNotifyList(frame) : frame->IsInNotifyList(this);
  if (linked) return;
  notifyList_.push_back(frame);
  frame->notifyList_.push_back(this);
}

void TKV3DCustomFrame::Unlink(TComponent* component) {
  if (notifyList_.empty()) return;
  // Only a live frame can be listed: one that has begun to be freed has left
  // every list already (see TellLinkedFrames) and is no frame any more by the
  // time its owner announces it. Links are kept both ways, so the shorter
  // list answers for both: a scene's long one is not searched for each of
  // its children.
  auto* frame = dynamic_cast<TKV3DCustomFrame*>(component);
  if (frame == nullptr || frame->notifyList_.empty()) return;
  const bool linked = notifyList_.size() <= frame->notifyList_.size() ? IsInNotifyList(frame) : frame->IsInNotifyList(this);
  if (!linked) return;
  EraseLinked(notifyList_, frame);
  EraseLinked(frame->notifyList_, this);
}

void TKV3DCustomFrame::TellLinkedFrames() {
  // In link order, each frame taken off both lists before it is told; a
  // frame freed by a handler meanwhile unlinks itself, so none is told twice
  // and none after it is gone.
  while (!notifyList_.empty()) {
    TKV3DCustomFrame* frame = notifyList_.front();
    notifyList_.erase(notifyList_.begin());
    EraseLinked(frame->notifyList_, this);
    frame->Notification(this, opRemove);
  }
}

bool TKV3DCustomFrame::IsInNotifyList(const TKV3DCustomFrame* frame) const {
  // From the end, where the latest links are.
  return std::find(notifyList_.rbegin(), notifyList_.rend(), frame) != notifyList_.rend();
}

void TKV3DCustomFrame::SetParentFrame(TKV3DCustomFrame* value) {
  if (value == ParentFrame() || value == this) return;
  TKV3DCustomFrame* old = ParentFrame();
  if (value == nullptr && old != nullptr && old->frame_ && frame_) {
    Reported(old->frame_->DeleteChild(frame_.Get()));
    if (IDirect3DRMFrame3* root = SharedRootFrame()) root->AddChild(frame_.Get());
  }
  parentFrame_ = value;
  ChangeParentFrame();
  if (value != nullptr) value->AddToNotify(this);
}

void TKV3DCustomFrame::ChangeParentFrame() {
  TKV3DCustomFrame* parent = ParentFrame();
  if (parent == nullptr || parent == this || parent->ParentFrame() == this) return;
  if (!parent->frame_ || !frame_) return;
  std::unique_ptr<TKV3DPosition> position;
  std::unique_ptr<TKV3DOrientation> orientation;
  std::unique_ptr<TKV3DRotation> rotation;
  std::unique_ptr<TKV3DVelocity> velocity;
  // A form holds a frame's placement relative to its parent (what the
  // getters read when it was written), so while one is read the streamed
  // numbers are taken relative to the parent whatever ParentUpdate says:
  // keeping the world placement would shift the frame by its parent's
  // placement at every save and load. Loaded re-parents once more with the
  // loading flag cleared, which then keeps that placement.
  const bool keepWorld = !parentUpdate_ && !ComponentState().Contains(csLoading);
  if (keepWorld) {
    // The world placement before anything moves, relative to the parent.
    position = GetRefPosition(parent);
    orientation = GetRefOrientation(parent);
    rotation = GetRefRotation(parent);
    velocity = GetRefVelocity(parent);
  }
  Reported(parent->frame_->AddChild(frame_.Get()));
  Change();
  if (!keepWorld) {
    ChangePosParams();
  } else {
    SetPosition(position.get());
    SetOrientation(orientation.get());
    SetRotation(rotation.get());
    SetVelocity(velocity.get());
  }
  SendNotification();
}

void TKV3DCustomFrame::SendNotification() {
  TComponent* owner = Owner();
  if (owner == nullptr) return;
  // A name the owner does not use yet, so the temporary button never
  // collides with one of its components.
  std::string name = "ButtonSender";
  for (int i = 1; owner->FindComponent(name) != nullptr; ++i) name = "ButtonSender" + std::to_string(i);
  auto* button = new TButton(owner);  // owned by `owner` until deleted below
  button->SetName(name);
  delete button;
}

IDirect3DRMFrame3* TKV3DCustomFrame::GetIRefFrame() {
  TKV3DCustomFrame* parent = ParentFrame();
  lastRefFrame_ = parent != nullptr && parent->frame_ ? parent->frame_.Get() : SharedRootFrame();
  return lastRefFrame_;
}

IDirect3DRMFrame3* TKV3DCustomFrame::GetIScene() {
  if (!frame_) return nullptr;
  ComPtr<IDirect3DRMFrame3> scene;
  frame_->GetScene(scene.ReleaseAndGetAddressOf());
  // Not owning: the scene root stays alive while this frame hangs below it.
  lastScene_ = scene.Get();
  return lastScene_;
}

IDirect3DRMViewport2* TKV3DCustomFrame::GetIViewport() {
  lastViewport_ = FindSceneViewport(this);
  return lastViewport_;
}

void TKV3DCustomFrame::SetPosition(const TKV3DPosition* value) { position_->Assign(value); }
void TKV3DCustomFrame::SetRotation(const TKV3DRotation* value) { rotation_->Assign(value); }
void TKV3DCustomFrame::SetOrientation(const TKV3DOrientation* value) { orientation_->Assign(value); }
void TKV3DCustomFrame::SetVelocity(const TKV3DVelocity* value) { velocity_->Assign(value); }

void TKV3DCustomFrame::ChangePosParams() {
  if (velocity_) velocity_->Change();
  if (position_) position_->Change();
  if (rotation_) rotation_->Change();
  if (orientation_) orientation_->Change();
}

void TKV3DCustomFrame::DoOnMove() { OnMove(this); }

void TKV3DCustomFrame::Picked(std::int32_t layer) { OnFramePicked(this, layer); }

void TKV3DCustomFrame::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  ChangeColor();
}

void TKV3DCustomFrame::ChangeColor() {
  D3DVALUE r = 0, g = 0, b = 0;
  ColorToD3DValues(color_, r, g, b);
  if (frame_) Reported(frame_->SetColorRGB(r, g, b));
}

TColor TKV3DCustomFrame::GetColor() {
  if (frame_) color_ = ColorToD3DColor(frame_->GetColor());
  return color_;
}

// ---- TKV3DFrame ------------------------------------------------------------------

const TClassInfo& TKV3DFrame::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DFrame, TKV3DCustomFrame>("TKV3DFrame", [](PropertyBuilder<TKV3DFrame>& p) {
    p.Reference("ParentFrame", &TKV3DFrame::ParentFrame, &TKV3DFrame::SetParentFrame);
    p.Boolean("ParentUpdate", &TKV3DFrame::ParentUpdate, &TKV3DFrame::SetParentUpdate).Default(true);
    p.Object("Position", &TKV3DFrame::Position, &TKV3DFrame::SetPosition);
    p.Object("Rotation", &TKV3DFrame::Rotation, &TKV3DFrame::SetRotation);
    p.Object("Orientation", &TKV3DFrame::Orientation, &TKV3DFrame::SetOrientation);
    p.Object("Velocity", &TKV3DFrame::Velocity, &TKV3DFrame::SetVelocity);
    p.Event("OnMove", static_cast<TNotifyEvent TKV3DFrame::*>(&TKV3DFrame::OnMove));
  });
  return info;
}

TKV3DFrame::TKV3DFrame(TComponent* owner) : TKV3DFrame(owner, DeferConstruct{}) { Construct(); }

}  // namespace kv
