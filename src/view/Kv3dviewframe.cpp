// The view's frame: the five drawing steps, presentation, manual rendering,
// the frame rate, and the window's paint and size messages.
#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dview.h"
#include "korvane3d/view/Kv3dviewloop.h"

namespace kv {

// ---- Automatic and manual rendering ------------------------------------------------------

void TKV3DView::SetAutoRender(bool value) {
  if (value == autoRender_.load()) return;
  RunRender(value);
  autoRender_ = value;
}

void TKV3DView::RunRender(bool value) {
  if (renderLoop_) renderLoop_->SetRunning(value);
}

int TKV3DView::GetFPS() {
  // Automatic rendering counts in the loop, manual rendering in Render.
  fps_ = AutoRender() && renderLoop_ ? renderLoop_->FPS() : manualFrameRate_.Rate();
  return fps_;
}

bool TKV3DView::CanGet() const { return !(AutoRender() && renderLoop_ && renderLoop_->ChangePending()); }

bool TKV3DView::Render() {
  manualFrameRate_.CountFrame();
  const std::weak_ptr<const bool> alive = alive_;
  CallOnFlip();
  if (alive.expired()) return true;  // freed by a handler: nothing drawn
  DrawFrame(TakeFrameTargets());
  return CallFlip();
}

// ---- The steps ---------------------------------------------------------------------------

FrameTargets TKV3DView::TakeFrameTargets() {
  FrameTargets targets;
  targets.loading = IsLoading();
  targets.hasCamera = Camera() != nullptr;
  targets.delta = renderDelta_;
  targets.back = back_;
  targets.viewport = viewport_;
  targets.device = rmDevice_;
  if (TKV3DScene* scene = Scene()) targets.scene = ComPtr<IDirect3DRMFrame3>(scene->GetIDirect3DRMFrame3());
  targets.onDrawBackGDI = OnDrawBackGDI;
  targets.onDrawFrontGDI = OnDrawFrontGDI;
  return targets;
}

void TKV3DView::CallOnFlip() {
  const std::weak_ptr<const bool> alive = alive_;
  if (autoCheckCollision_) CollisionChecking();
  if (alive.expired()) return;  // an OnCollision handler freed the view
  OnFlip(this);
}

void TKV3DView::DrawGDI(IDirectDrawSurface4* back, const TGDIEvent& event) {
  if (!event.Assigned()) return;
  HDC dc = nullptr;
  if (FAILED(back->GetDC(&dc))) return;
  {
    std::lock_guard lock(gdiMutex_);
    Canvas()->SetHandle(dc);
    event(this, dc);
    Canvas()->SetHandle(nullptr);
  }
  back->ReleaseDC(dc);
}

void TKV3DView::MoveAndClear(const FrameTargets& targets) {
  if (targets.loading || !targets.back) return;
  if (targets.scene && targets.viewport) {
    targets.scene->Move(targets.delta);
    targets.viewport->Clear(D3DRMCLEAR_TARGET | D3DRMCLEAR_ZBUFFER);
  }
  DrawGDI(targets.back.Get(), targets.onDrawBackGDI);
}

void TKV3DView::RenderScene(const FrameTargets& targets) {
  // A camera that was freed leaves the viewport looking through a frame
  // nobody places any more: nothing is drawn until a new one is set.
  if (targets.loading || !targets.back || !targets.scene || !targets.hasCamera) return;
  if (!targets.viewport || !targets.device) return;
  targets.viewport->Render(targets.scene.Get());
  targets.device->Update();
}

void TKV3DView::DrawFrame(const FrameTargets& targets) {
  MoveAndClear(targets);
  RenderScene(targets);
  if (!targets.loading && targets.back) DrawGDI(targets.back.Get(), targets.onDrawFrontGDI);
}

void TKV3DView::CallOnDrawBackGDI() { MoveAndClear(TakeFrameTargets()); }

void TKV3DView::RenderIM() { RenderScene(TakeFrameTargets()); }

void TKV3DView::CallOnDrawFrontGDI() {
  FrameTargets targets = TakeFrameTargets();
  if (!targets.loading && targets.back) DrawGDI(targets.back.Get(), targets.onDrawFrontGDI);
}

bool TKV3DView::CallFlip() { return Flip(); }

// ---- Presentation --------------------------------------------------------------------------

bool TKV3DView::PresentOnce(HRESULT& result) {
  if (fullScreen_) {
    result = primary_->Flip(nullptr, DDFLIP_WAIT);
  } else {
    result = directDraw_ ? directDraw_->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr) : S_OK;
    ReportDXError(result, "WaitForVerticalBlank", false);
    result = primary_->Blt(&screenClientRect_, back_.Get(), &clientRect_, DDBLT_WAIT, nullptr);
    if (FAILED(result)) ReportDXError(result, "Blt", true);
  }
  LastDXResult = result;
  return SUCCEEDED(result);
}

bool TKV3DView::Flip() {
  if (IsLoading() || !back_) return true;
  bool presented = false;
  if (primary_) {
    // Bounded: a display that keeps refusing costs a few attempts, and the
    // frame is dropped.
    for (int attempt = 0; attempt < kMaxPresentAttempts && !presented; ++attempt) {
      HRESULT result = S_OK;
      if (PresentOnce(result)) {
        presented = true;
        break;
      }
      const std::weak_ptr<const bool> alive = alive_;
      OnFlipError(this, result);
      if (alive.expired()) return true;  // the handler freed the view
      if (result == DDERR_SURFACELOST) {
        const HRESULT restored = primary_->Restore();
        LastDXResult = restored;
        if (SUCCEEDED(restored)) break;  // back, but this frame is lost
      }
    }
  }
  if (!fullScreen_) UpdatePos();
  return !presented;
}

void TKV3DView::Update3D() {
  TKV3DScene* scene = Scene();
  if (!rmDevice_ || !viewport_ || scene == nullptr || scene->GetIDirect3DRMFrame3() == nullptr) return;
  IDirect3DRMFrame3* sceneFrame = scene->GetIDirect3DRMFrame3();
  ReportDXError(sceneFrame->Move(1.0f), nullptr, false);
  ReportDXError(viewport_->Clear(D3DRMCLEAR_ALL), nullptr, false);
  ReportDXError(viewport_->Render(sceneFrame), nullptr, false);
  ReportDXError(rmDevice_->Update(), nullptr, false);
}

// ---- Window messages -------------------------------------------------------------------------

void TKV3DView::Paint() {
  HWND wnd = GetCurrentHandle();
  if (wnd == nullptr) return;
  PAINTSTRUCT paint;
  if (rmDevice_) {
    RECT update{};
    if (!GetUpdateRect(wnd, &update, FALSE)) return;
    BeginPaint(wnd, &paint);
    ComPtr<IDirect3DRMWinDevice> winDevice;
    if (SUCCEEDED(rmDevice_.As(IID_IDirect3DRMWinDevice, winDevice)))
      ReportDXError(winDevice->HandlePaint(paint.hdc), nullptr, false);
    EndPaint(wnd, &paint);
    return;
  }
  BeginPaint(wnd, &paint);
  EndPaint(wnd, &paint);
}

void TKV3DView::Resize() {
  // Nothing while the view is being made (the loop's first pass builds).
  if (fullScreen_ || !renderLoop_) return;
  RequestViewportChange();
}

void TKV3DView::WMPaint(TMessage& message) {
  Paint();
  OnPaint(this);
  message.Result = 0;
}

void TKV3DView::WMSize(TMessage& message) {
  const auto size = static_cast<std::uintptr_t>(message.LParam);
  StoreBounds(Left(), Top(), LOWORD(size), HIWORD(size));
  Resize();
  OnResize(this);
}

void TKV3DView::WMCreate(TMessage& message) {
  if (SharedD3DRM3() == nullptr) {
    InitDirect3DRM();
    InitApp();
  }
  message.Result = 0;
}

void TKV3DView::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_CREATE: WMCreate(message); break;
    case WM_SIZE: WMSize(message); break;
    case WM_PAINT: WMPaint(message); break;
    default: TCustomControl::Dispatch(message);
  }
}

}  // namespace kv
