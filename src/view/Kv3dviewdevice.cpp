// The view's side of its display chain (DisplayChain.h): creating the
// DirectDraw objects, choosing the driver, and rebuilding the chain windowed
// or full screen for the view's windows, sizes and camera.
#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

namespace {
RECT ScreenRectOf(TWinControl* control) {
  RECT rect{};
  if (control != nullptr && control->HandleAllocated()) {
    GetWindowRect(control->Handle(), &rect);
  } else if (control != nullptr) {
    rect = control->BoundsRect();
  }
  return rect;
}

HWND WindowOf(TWinControl* control) {
  return control != nullptr && control->HandleAllocated() ? control->Handle() : nullptr;
}
}  // namespace

// ---- Creating the DirectDraw objects -----------------------------------------------

bool TKV3DView::InitApp() {
  if (auto stop = chain_->CreateDirectDraw()) return *stop;
  bool hardware = false;
  const ChainStep chosen = chain_->ChooseDriver(forceSoftware_, hardware);
  driverType_ = hardware ? dtHAL : dtRGB;
  if (chosen) return *chosen;
  FillModeList();
  return true;
}

// ---- Windows ---------------------------------------------------------------------------

HWND TKV3DView::GetCurrentHandle() {
  if (fullScreenRequest_) {
    if (HWND parent = WindowOf(Parent())) currentHandle_ = parent;
  } else if (HandleAllocated()) {
    currentHandle_ = Handle();
  }
  return currentHandle_;
}

void TKV3DView::UpdatePos() {
  if (Parent() == nullptr || !HandleAllocated() || fullScreen_) return;
  HWND wnd = Handle();
  GetWindowRect(wnd, &windowRect_);
  GetClientRect(wnd, &clientRect_);
  POINT topLeft{clientRect_.left, clientRect_.top};
  POINT bottomRight{clientRect_.right, clientRect_.bottom};
  ClientToScreen(wnd, &topLeft);
  ClientToScreen(wnd, &bottomRight);
  screenClientRect_ = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void TKV3DView::SetFullScreen(bool value) {
  // Compared with the request, not the built state: asking for full screen
  // and back before the change has run cancels the request and builds the
  // windowed chain once.
  if (value == fullScreenRequest_) return;
  if (value) savedWindowRect_ = ScreenRectOf(Parent());
  fullScreenRequest_ = value;
  RequestViewportChange();
}

void TKV3DView::SetFullScreenSwitch(bool value) {
  if (value == fullScreenSwitch_) return;
  if (value) savedWindowRect_ = ScreenRectOf(Parent());
  fullScreenSwitch_ = value;
}

// ---- The chain -----------------------------------------------------------------------------

void TKV3DView::CallChangeViewport() { lastChangeResult_ = ChangeViewport(); }

void TKV3DView::ReleaseChain() { chain_->ReleaseSurfaces(); }

ChainStep TKV3DView::LeaveFullScreen() {
  HWND parent = WindowOf(Parent());
  const HRESULT level = chain_->DirectDraw()->SetCooperativeLevel(parent, DDSCL_NORMAL);
  LastDXResult = level;
  if (parent != nullptr) {
    const RECT& r = savedWindowRect_;
    SetWindowPos(parent, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
  }
  if (FAILED(level)) return ReportDXError(level, "SetCooperativeLevel FAILED", false);
  return std::nullopt;
}

bool TKV3DView::ChangeViewport() {
  InitApp();
  if (chain_->DirectDraw() == nullptr) return false;
  if (fullScreen_ && !fullScreenRequest_) {
    if (auto stop = LeaveFullScreen()) return *stop;
  }
  ReleaseChain();
  builtForWindow_ = HandleAllocated() ? Handle() : nullptr;
  if (GetCurrentHandle() == nullptr) {
    fullScreen_ = fullScreenRequest_;
    return false;
  }
  if (auto stop = fullScreenRequest_ ? BuildFullScreen() : BuildWindowed()) return *stop;
  IDirect3DRMFrame3* cameraFrame = Camera() != nullptr ? Camera()->GetIDirect3DRMFrame3() : nullptr;
  if (cameraFrame == nullptr) {
    // Surfaces without device or viewport: nothing is drawn until a camera comes.
    fullScreen_ = fullScreenRequest_;
    return false;
  }
  const bool hardware = driverType_ == dtHAL;
  const int depthWidth = fullScreenRequest_ ? displayRec_->Width : ClientWidth();
  const int depthHeight = fullScreenRequest_ ? displayRec_->Height : ClientHeight();
  if (auto stop = chain_->BuildDevice(cameraFrame, depthWidth, depthHeight, hardware, fullScreenRequest_)) return *stop;
  if (chain_->Viewport() != nullptr) Change();
  fullScreen_ = fullScreenRequest_;
  return false;
}

ChainStep TKV3DView::BuildWindowed() {
  UpdatePos();
  HWND wnd = Handle();
  GetClientRect(wnd, &clientRect_);
  POINT topLeft{clientRect_.left, clientRect_.top};
  POINT bottomRight{clientRect_.right, clientRect_.bottom};
  ClientToScreen(wnd, &topLeft);
  ClientToScreen(wnd, &bottomRight);
  screenClientRect_ = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  if (auto stop = chain_->BuildWindowed(wnd, clientRect_.right - clientRect_.left, clientRect_.bottom - clientRect_.top))
    return stop;
  Show();
  return std::nullopt;
}

ChainStep TKV3DView::BuildFullScreen() {
  Hide();
  return chain_->BuildFullScreen(WindowOf(Parent()), displayRec_->Width, displayRec_->Height,
                                 displayRec_->BitsPerPixel, driverType_ == dtHAL);
}

}  // namespace kv
