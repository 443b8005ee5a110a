#include "korvane3d/view/Kv3dview.h"

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/frames/Kv3dplacement.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dviewloop.h"

namespace kv {

const EnumInfo kDriverTypeInfo{"TDriverType", {"dtRGB", "dtHAL"}};
const EnumInfo kProjectionTypeInfo{"TProjectionType", {"ptPerspective", "ptOrthographic"}};
const EnumInfo kProjectionHandInfo{"TProjectionHand", {"phLeftHand", "phRightHand"}};
const EnumInfo kSetRMInfo{"TSetRM",
                          {"rmBlendedTransparency", "rmSortedTransparency", "rmLightInModelSpace",
                           "rmDisableSortedAlphaZWrite", "rmViewDependentSpecular"}};

const TClassInfo& TKV3DView::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DView, TCustomControl>("TKV3DView", [](PropertyBuilder<TKV3DView>& p) {
    using V = TKV3DView;
    PublishMouseEvents(p);
    p.Reference("Scene", &V::Scene, &V::SetScene);
    p.Reference("Camera", &V::Camera, &V::SetCamera);
    p.Enum("DisplayMode", &V::DisplayMode, &V::SetDisplayMode, kDisplayModeInfo);
    p.Enum("DriverType", &V::DriverType, &V::SetDriverType, kDriverTypeInfo);
    // Width and Height replace the control's: full screen reads the parent's.
    p.Integer("Width", &V::GetWidth, &V::SetWidth).Default(100);
    p.Integer("Height", &V::GetHeight, &V::SetHeight).Default(100);
    p.Boolean("AutoRender", &V::AutoRender, &V::SetAutoRender);
    p.Float("RenderDelta", &V::RenderDelta, detail::FiniteSetter(&V::SetRenderDelta)).Default(1.0f);
    p.Integer("FPS", &V::GetFPS, &V::SetFPS);
    p.Boolean("AutoCheckCollision", &V::AutoCheckCollision, &V::SetAutoCheckCollision);
    p.Event("OnPicked", &V::OnPicked);
    p.String("StorageFileName", &V::StorageFileName, &V::SetStorageFileName);
    p.Event("OnFlip", &V::OnFlip);
    p.Event("OnFlipError", &V::OnFlipError);
    p.Event("OnDrawBackGDI", &V::OnDrawBackGDI);
    p.Event("OnDrawFrontGDI", &V::OnDrawFrontGDI);
    p.Event("OnPaint", &V::OnPaint);
    p.Object("Quality", &V::Quality, &V::SetQuality);
    p.Object("Plane", &V::Plane, &V::SetPlane);
    p.Enum("ProjectionType", &V::GetProjectionType, &V::SetProjectionType, kProjectionTypeInfo);
    p.Enum("ProjectionHand", &V::GetProjectionHand, &V::SetProjectionHand, kProjectionHandInfo);
    p.Boolean("UniformScaling", &V::UniformScaling, &V::SetUniformScaling).Default(true);
    p.Set("RenderMode", &V::GetRenderMode, &V::SetRenderMode, kSetRMInfo);
    p.Boolean("ShowBackFaces", &V::ShowBackFaces, &V::SetShowBackFaces);
  });
  return info;
}

TKV3DView::TKV3DView(TComponent* owner) : TCustomControl(owner) {
  CheckDirectX();
  // Floating-point traps stay off: the engine divides by zero on purpose
  // in degenerate geometry and expects infinities, not signals. The loop
  // thread and the engine's drawing threads start from this setting.
  MaskFloatingPointExceptions();
  plane_ = std::make_unique<TKV3DPlane>();
  plane_->SetOwner(this);
  plane_->OnChange = [this](TObject* sender) { ChangePlane(sender); };
  quality_ = std::make_unique<TKV3DViewQuality>(this);
  SetBounds(Left(), Top(), 100, 100);
  modeList_.SetSorted(true);
  displayRec_ = std::make_unique<TDisplayRec>(640, 480, 16);
  if (SharedD3DRM3() == nullptr) InitDirect3DRM();
  InitApp();
  forceSoftware_ = false;
  renderLoop_ = std::make_unique<TRenderLoop>(static_cast<RenderLoopClient*>(this));
  renderLoop_->SetPriority(ComponentState().Contains(csDesigning) ? tpIdle : tpLowest);
  renderLoop_->Start();
}

TKV3DView::~TKV3DView() {
  SetAutoRender(false);
  StopRenderLoop();
  modeList_.Clear();
  modeRecs_.clear();
  pickedList_.clear();
  Runtime().UnloadErrorLibrary();
  if (IDirectDraw4* directDraw = chain_->DirectDraw()) directDraw->SetCooperativeLevel(GetCurrentHandle(), DDSCL_NORMAL);
  chain_.reset();  // the DirectDraw object and its interfaces, last
}

void TKV3DView::StopRenderLoop() {
  // Joined, or (freed from a handler the loop waits for) left to end after
  // that step; either way the loop touches the view no more, and the chain
  // goes here, on the main thread, from the viewport down to the primary.
  TThread::Dispose(std::move(renderLoop_));
  ReleaseChain();
}

bool TKV3DView::IsLoading() const {
  const TComponentState state = ComponentState();
  return state.Contains(csLoading) || state.Contains(csReading);
}

void TKV3DView::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  // The links clear themselves; this keeps the rule visible. No viewport
  // change follows: drawing and picking check for a missing scene or camera.
  if (operation != opRemove) return;
  if (component == static_cast<TComponent*>(camera_.get())) camera_ = nullptr;
  if (component == static_cast<TComponent*>(scene_.get())) scene_ = nullptr;
}

void TKV3DView::SetScene(TKV3DScene* value) {
  if (value == scene_.get()) return;
  scene_ = value;
}

void TKV3DView::SetCamera(TKV3DCamera* value) {
  if (value == camera_.get()) return;
  camera_ = value;
  RequestViewportChange();
}

void TKV3DView::RequestViewportChange() {
  if (AutoRender() && renderLoop_) {
    renderLoop_->RequestChange();
  } else {
    CallChangeViewport();
  }
}

TWinControl* TKV3DView::ParentWindowControl() const { return Parent(); }

int TKV3DView::GetWidth() {
  if (fullScreen_) return Parent() != nullptr ? Parent()->Width() : 0;
  return Width();
}

int TKV3DView::GetHeight() {
  if (fullScreen_) return Parent() != nullptr ? Parent()->Height() : 0;
  return Height();
}

bool TKV3DView::SetWidth(int value) { return fullScreen_ || TControl::SetWidth(value); }

bool TKV3DView::SetHeight(int value) { return fullScreen_ || TControl::SetHeight(value); }

// ---- Frames' viewports --------------------------------------------------------------------

IDirect3DRMViewport2* TKV3DView::ViewportForScene(IDirect3DRMFrame3* sceneFrame) {
  TKV3DScene* scene = Scene();
  if (sceneFrame == nullptr || scene == nullptr || scene->GetIDirect3DRMFrame3() != sceneFrame) return nullptr;
  return GetIDirect3DRMViewport2();
}

// ---- The render loop's side ---------------------------------------------------------------

void TKV3DView::LoopChangeViewport() {
  CallChangeViewport();
  // A failure shows only while error reports are visible; the retry uses
  // the software driver.
  if (lastChangeResult_) {
    forceSoftware_ = true;
    CallChangeViewport();
    forceSoftware_ = false;
  }
}

bool TKV3DView::LoopBeginFrame(FrameTargets& targets) {
  const Link<TKV3DView> self(this);
  CallOnFlip();
  if (!self) return false;  // a handler freed the view
  targets = TakeFrameTargets();
  return true;
}

}  // namespace kv
