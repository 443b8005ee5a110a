// The view's frame: the five drawing steps, presentation, manual rendering,
// the frame rate, and the window's paint and size messages.
#include <optional>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/host/Application.h"
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
  // Automatic rendering counts in the loop, manual rendering in Render;
  // either figure falls to 0 a second after the last frame.
  fps_ = AutoRender() && renderLoop_ ? renderLoop_->FPS() : manualFrameRate_.Rate();
  return fps_;
}

bool TKV3DView::CanGet() const { return !(AutoRender() && renderLoop_ && renderLoop_->ChangePending()); }

bool TKV3DView::Render() {
  // This thread renders: traps stay off on it, whatever the program set.
  MaskFloatingPointExceptions();
  manualFrameRate_.CountFrame();
  const Link<TKV3DView> self(this);
  CallOnFlip();
  if (!self) return true;  // freed by a handler: nothing drawn
  if (!DrawFrame(TakeFrameTargets())) return true;
  return CallFlip();
}

// ---- The steps ---------------------------------------------------------------------------

FrameTargets TKV3DView::TakeFrameTargets() {
  FrameTargets targets;
  targets.loading = IsLoading();
  targets.hasCamera = Camera() != nullptr;
  targets.delta = renderDelta_;
  targets.back = ComPtr<IDirectDrawSurface4>(chain_->Back());
  targets.viewport = ComPtr<IDirect3DRMViewport2>(chain_->Viewport());
  targets.device = ComPtr<IDirect3DRMDevice3>(chain_->Device());
  if (TKV3DScene* scene = Scene()) targets.scene = ComPtr<IDirect3DRMFrame3>(scene->GetIDirect3DRMFrame3());
  targets.onDrawBackGDI = OnDrawBackGDI;
  targets.onDrawFrontGDI = OnDrawFrontGDI;
  return targets;
}

void TKV3DView::CallOnFlip() {
  const Link<TKV3DView> self(this);
  if (autoCheckCollision_) CollisionChecking();
  if (!self) return;  // an OnCollision handler freed the view
  OnFlip(this);
}

bool TKV3DView::DrawGDI(IDirectDrawSurface4* back, const TGDIEvent& event) {
  if (!event.Assigned()) return true;
  HDC dc = nullptr;
  if (FAILED(back->GetDC(&dc))) return true;
  // Only the main thread may free the view, so only there is it watched;
  // the lock is held through a reference of its own for the same reason.
  std::optional<Link<TKV3DView>> self;
  if (Application().IsMainThread()) self.emplace(this);
  const std::shared_ptr<std::mutex> gdiLock = gdiMutex_;
  bool alive = true;
  {
    std::lock_guard lock(*gdiLock);
    Canvas()->SetHandle(dc);
    event(this, dc);
    alive = !self || self->get() != nullptr;
    if (alive) Canvas()->SetHandle(nullptr);
  }
  back->ReleaseDC(dc);
  return alive;
}

bool TKV3DView::MoveAndClear(const FrameTargets& targets) {
  if (targets.loading || !targets.back) return true;
  if (targets.scene && targets.viewport) {
    targets.scene->Move(targets.delta);
    targets.viewport->Clear(D3DRMCLEAR_TARGET | D3DRMCLEAR_ZBUFFER);
  }
  return DrawGDI(targets.back.Get(), targets.onDrawBackGDI);
}

void TKV3DView::RenderScene(const FrameTargets& targets) {
  // A camera that was freed leaves the viewport looking through a frame
  // nobody places any more: nothing is drawn until a new one is set.
  if (targets.loading || !targets.back || !targets.scene || !targets.hasCamera) return;
  if (!targets.viewport || !targets.device) return;
  targets.viewport->Render(targets.scene.Get());
  targets.device->Update();
}

bool TKV3DView::DrawFrame(const FrameTargets& targets) {
  if (!MoveAndClear(targets)) return false;
  RenderScene(targets);
  if (targets.loading || !targets.back) return true;
  return DrawGDI(targets.back.Get(), targets.onDrawFrontGDI);
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
    result = chain_->Primary()->Flip(nullptr, DDFLIP_WAIT);
  } else {
    IDirectDraw4* directDraw = chain_->DirectDraw();
    result = directDraw != nullptr ? directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr) : S_OK;
    ReportDXError(result, "WaitForVerticalBlank", false);
    result = chain_->Primary()->Blt(&screenClientRect_, chain_->Back(), &clientRect_, DDBLT_WAIT, nullptr);
    if (FAILED(result)) ReportDXError(result, "Blt", true);
  }
  LastDXResult = result;
  return SUCCEEDED(result);
}

void TKV3DView::RecoverLostSurfaces() {
  const HRESULT restored = chain_->RestoreLostSurfaces();
  LastDXResult = restored;
  // What cannot be restored (a mode that changed under it) is built anew,
  // through the change every other rebuild takes.
  if (FAILED(restored)) RequestViewportChange();
}

bool TKV3DView::SkipPresentation() {
  if (!fullScreen_) {
    // A windowed chain draws into one window. Without a window nothing can
    // be shown: quietly, until the view has one again, and then the chain
    // is built for that window.
    HWND window = HandleAllocated() ? Handle() : nullptr;
    if (window == nullptr) return true;
    if (window != builtForWindow_) {
      RequestViewportChange();
      return true;
    }
  }
  if (!chain_->Back()) return true;
  if (!chain_->AnySurfaceLost()) return false;
  // One loss, one report: every lost surface of the chain is restored and
  // this frame, drawn into lost memory, is dropped.
  LastDXResult = DDERR_SURFACELOST;
  const Link<TKV3DView> self(this);
  OnFlipError(this, DDERR_SURFACELOST);
  if (self) RecoverLostSurfaces();
  return true;
}

bool TKV3DView::Flip() {
  if (IsLoading()) return true;
  if (SkipPresentation()) return true;
  bool presented = false;
  if (chain_->Primary() != nullptr) {
    const Link<TKV3DView> self(this);
    // Bounded: a display that keeps refusing costs a few attempts, and the
    // frame is dropped.
    for (int attempt = 0; attempt < kMaxPresentAttempts; ++attempt) {
      HRESULT result = S_OK;
      if (PresentOnce(result)) {
        presented = true;
        break;
      }
      OnFlipError(this, result);
      if (!self) return true;  // the handler freed the view
      if (result == DDERR_SURFACELOST) {
        RecoverLostSurfaces();
        break;  // this frame is lost
      }
    }
  }
  if (!fullScreen_) UpdatePos();
  return !presented;
}

void TKV3DView::Update3D() {
  TKV3DScene* scene = Scene();
  IDirect3DRMDevice3* device = chain_->Device();
  IDirect3DRMViewport2* viewport = chain_->Viewport();
  if (device == nullptr || viewport == nullptr || scene == nullptr || scene->GetIDirect3DRMFrame3() == nullptr) return;
  IDirect3DRMFrame3* sceneFrame = scene->GetIDirect3DRMFrame3();
  ReportDXError(sceneFrame->Move(1.0f), nullptr, false);
  ReportDXError(viewport->Clear(D3DRMCLEAR_ALL), nullptr, false);
  ReportDXError(viewport->Render(sceneFrame), nullptr, false);
  ReportDXError(device->Update(), nullptr, false);
}

// ---- Window messages -------------------------------------------------------------------------

void TKV3DView::Paint() {
  HWND wnd = GetCurrentHandle();
  if (wnd == nullptr) return;
  PAINTSTRUCT paint;
  if (IDirect3DRMDevice3* device = chain_->Device()) {
    RECT update{};
    if (!GetUpdateRect(wnd, &update, FALSE)) return;
    BeginPaint(wnd, &paint);
    ComPtr<IDirect3DRMWinDevice> winDevice;
    if (SUCCEEDED(device->QueryInterface(IID_IDirect3DRMWinDevice, reinterpret_cast<void**>(winDevice.ReleaseAndGetAddressOf()))))
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
