// The view's chain of display objects: creating the DirectDraw objects,
// choosing the driver and depth format, and rebuilding the chain windowed or
// full screen.
#include <cstring>
#include <optional>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

namespace {
// Stores a result; for a failure, reports it (unforced) and gives what the
// reporter says, which ends the operation.
std::optional<bool> Check(HRESULT result, const char* context) {
  LastDXResult = result;
  if (FAILED(result)) return ReportDXError(result, context, false);
  return std::nullopt;
}

// The depth-format enumeration keeps the last pure depth format offered.
HRESULT KeepDepthFormat(DDPIXELFORMAT* format, LPVOID context) {
  if (format->dwFlags == DDPF_ZBUFFER) std::memcpy(context, format, sizeof(DDPIXELFORMAT));
  return D3DENUMRET_OK;
}

DDSURFACEDESC2 EmptyDesc() {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(DDSURFACEDESC2);
  return desc;
}

RECT ScreenRectOf(TWinControl* control) {
  RECT rect{};
  if (control != nullptr && control->HandleAllocated()) {
    GetWindowRect(control->Handle(), &rect);
  } else if (control != nullptr) {
    rect = control->BoundsRect();
  }
  return rect;
}
}  // namespace

// ---- Creating the DirectDraw objects -----------------------------------------------

bool TKV3DView::InitApp() {
  if (!directDraw_) {
    ComPtr<IDirectDraw> first;
    if (auto stop = Check(DirectDrawCreate(nullptr, first.ReleaseAndGetAddressOf(), nullptr), "DirectDrawCreate FAILED"))
      return *stop;
    if (auto stop = Check(first.As(IID_IDirectDraw4, directDraw_), "QueryInterface FAILED")) return *stop;
    if (auto stop = Check(directDraw_.As(IID_IDirect3D3, direct3D3_), "QueryInterface FAILED")) return *stop;
    if (auto stop = Check(direct3D3_.As(IID_IDirect3D2, direct3D2_), "QueryInterface FAILED")) return *stop;
    if (auto stop = Check(direct3D3_.As(IID_IDirect3D, direct3D_), "QueryInterface FAILED")) return *stop;
  }
  driverType_ = dtRGB;
  HRESULT counted = S_OK;
  if (forceSoftware_) {
    counted = direct3D3_->EnumZBufferFormats(IID_IDirect3DRGBDevice, &KeepDepthFormat, &zBufferFormat_);
  } else {
    counted = direct3D3_->EnumZBufferFormats(IID_IDirect3DHALDevice, &KeepDepthFormat, &zBufferFormat_);
    if (FAILED(counted)) {
      counted = direct3D3_->EnumZBufferFormats(IID_IDirect3DRGBDevice, &KeepDepthFormat, &zBufferFormat_);
    } else {
      driverType_ = dtHAL;
    }
  }
  if (auto stop = Check(counted, "EnumZBuffer FAILED")) return *stop;
  FillModeList();
  return true;
}

// ---- Windows ---------------------------------------------------------------------------

HWND TKV3DView::GetCurrentHandle() {
  if (fullScreenRequest_) {
    if (Parent() != nullptr && Parent()->HandleAllocated()) currentHandle_ = Parent()->Handle();
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
  screenClientRect_ = clientRect_;
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

void TKV3DView::ReleaseChain() {
  viewport_ = nullptr;
  rmDevice_ = nullptr;
  d3dDevice2_ = nullptr;
  d3dDevice3_ = nullptr;
  zBuffer_ = nullptr;
  back_ = nullptr;
  primary_ = nullptr;
}

std::optional<bool> TKV3DView::LeaveFullScreen() {
  HWND parent = Parent() != nullptr && Parent()->HandleAllocated() ? Parent()->Handle() : nullptr;
  const HRESULT level = directDraw_->SetCooperativeLevel(parent, DDSCL_NORMAL);
  LastDXResult = level;
  if (parent != nullptr) {
    const RECT& r = savedWindowRect_;
    SetWindowPos(parent, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
  }
  return Check(level, "SetCooperativeLevel FAILED");
}

bool TKV3DView::ChangeViewport() {
  InitApp();
  if (!directDraw_) return false;
  if (fullScreen_ && !fullScreenRequest_) {
    if (auto stop = LeaveFullScreen()) return *stop;
  }
  ReleaseChain();
  if (GetCurrentHandle() == nullptr) {
    fullScreen_ = fullScreenRequest_;
    return false;
  }
  if (auto stop = fullScreenRequest_ ? BuildFullScreen() : BuildWindowed()) return *stop;
  if (Camera() == nullptr || Camera()->GetIDirect3DRMFrame3() == nullptr) {
    // Surfaces without device or viewport: nothing is drawn until a camera comes.
    fullScreen_ = fullScreenRequest_;
    return false;
  }
  if (auto stop = BuildDevice()) return *stop;
  if (viewport_) Change();
  fullScreen_ = fullScreenRequest_;
  return false;
}

std::optional<bool> TKV3DView::BuildWindowed() {
  HWND wnd = Handle();
  if (auto stop = Check(directDraw_->SetCooperativeLevel(wnd, DDSCL_NORMAL), "SetCooperativeLevel FAILED"))
    return stop;
  UpdatePos();
  GetClientRect(wnd, &clientRect_);
  POINT topLeft{clientRect_.left, clientRect_.top};
  POINT bottomRight{clientRect_.right, clientRect_.bottom};
  ClientToScreen(wnd, &topLeft);
  ClientToScreen(wnd, &bottomRight);
  screenClientRect_ = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};

  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (auto stop = Check(directDraw_->CreateSurface(&desc, primary_.ReleaseAndGetAddressOf(), nullptr),
                        "1-CreatePrimarySurface FAILED"))
    return stop;
  {
    // The primary keeps the clipper; the view lets its own reference go.
    ComPtr<IDirectDrawClipper> clipper;
    if (auto stop = Check(directDraw_->CreateClipper(0, clipper.ReleaseAndGetAddressOf(), nullptr),
                          "CreateClipper FAILED"))
      return stop;
    clipper->SetHWnd(0, wnd);
    primary_->SetClipper(clipper.Get());
  }
  desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(clientRect_.right - clientRect_.left);
  desc.dwHeight = static_cast<DWORD>(clientRect_.bottom - clientRect_.top);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  if (auto stop = Check(directDraw_->CreateSurface(&desc, back_.ReleaseAndGetAddressOf(), nullptr),
                        "CreateBackSurface FAILED"))
    return stop;
  Show();
  videoMemoryPrimary_ = false;
  return std::nullopt;
}

std::optional<bool> TKV3DView::BuildFullScreen() {
  Hide();
  if (Parent() != nullptr && Parent()->HandleAllocated()) {
    LastDXResult = directDraw_->SetCooperativeLevel(
        Parent()->Handle(), DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP);
  }
  if (FAILED(LastDXResult.load())) return ReportDXError(LastDXResult, "SetCooperativeLevel FAILED", false);
  if (auto stop = Check(directDraw_->SetDisplayMode(static_cast<DWORD>(displayRec_->Width),
                                                    static_cast<DWORD>(displayRec_->Height),
                                                    static_cast<DWORD>(displayRec_->BitsPerPixel), 0, 0),
                        "SetDisplayMode FAILED"))
    return stop;
  if (auto stop = CreateFlippingPrimary()) return stop;
  DDSCAPS2 caps{};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  return Check(primary_->GetAttachedSurface(&caps, back_.ReleaseAndGetAddressOf()), "GetAttachedSurface FAILED");
}

std::optional<bool> TKV3DView::CreateFlippingPrimary() {
  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  videoMemoryPrimary_ = driverType_ == dtHAL;
  desc.ddsCaps.dwCaps |= videoMemoryPrimary_ ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
  HRESULT result = directDraw_->CreateSurface(&desc, primary_.ReleaseAndGetAddressOf(), nullptr);
  if (result == DDERR_OUTOFVIDEOMEMORY || result == E_OUTOFMEMORY) {
    desc.ddsCaps.dwCaps = (desc.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
    videoMemoryPrimary_ = false;
    result = directDraw_->CreateSurface(&desc, primary_.ReleaseAndGetAddressOf(), nullptr);
  }
  return Check(result, "CreateSurface FAILED");
}

std::optional<bool> TKV3DView::CreateDepthBuffer() {
  DDSURFACEDESC2 desc = EmptyDesc();
  back_->GetSurfaceDesc(&desc);
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
  if (fullScreenRequest_) {
    desc.dwWidth = static_cast<DWORD>(displayRec_->Width);
    desc.dwHeight = static_cast<DWORD>(displayRec_->Height);
  } else {
    desc.dwWidth = static_cast<DWORD>(ClientWidth());
    desc.dwHeight = static_cast<DWORD>(ClientHeight());
  }
  desc.ddpfPixelFormat = zBufferFormat_;
  desc.ddsCaps.dwCaps |= driverType_ == dtHAL ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
  HRESULT result = directDraw_->CreateSurface(&desc, zBuffer_.ReleaseAndGetAddressOf(), nullptr);
  if (FAILED(result)) {
    desc.ddsCaps.dwCaps = (desc.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
    result = directDraw_->CreateSurface(&desc, zBuffer_.ReleaseAndGetAddressOf(), nullptr);
  }
  return Check(result, "CreateSurface FAILED");
}

std::optional<bool> TKV3DView::BuildDevice() {
  if (auto stop = CreateDepthBuffer()) return stop;
  if (auto stop = Check(back_->AddAttachedSurface(zBuffer_.Get()), "AddAttachedSurface FAILED")) return stop;
  const CLSID& driver = driverType_ == dtHAL ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice;
  if (auto stop = Check(direct3D3_->CreateDevice(driver, back_.Get(), d3dDevice3_.ReleaseAndGetAddressOf(), nullptr),
                        "CreateDevice RGB FAILED"))
    return stop;
  if (!d3dDevice3_) return ReportDXError(LastDXResult, "FIDirect3DDevice3_2", false);
  if (auto stop = Check(d3dDevice3_.As(IID_IDirect3DDevice2, d3dDevice2_), "FIDirect3DDevice2")) return stop;
  IDirect3DRM3* root = SharedD3DRM3();
  if (root == nullptr) return false;
  if (auto stop = Check(root->CreateDeviceFromD3D(direct3D2_.Get(), d3dDevice2_.Get(), rmDevice_.ReleaseAndGetAddressOf()),
                        "FIDirect3DRMDevice3"))
    return stop;
  if (fullScreenRequest_ && videoMemoryPrimary_) {
    rmDevice_->SetBufferCount(2);
  } else if (auto stop = Check(rmDevice_->SetBufferCount(1), "SetBufferCount")) {
    return stop;
  }
  return Check(root->CreateViewport(rmDevice_.Get(), Camera()->GetIDirect3DRMFrame3(), 0, 0, rmDevice_->GetWidth(),
                                    rmDevice_->GetHeight(), viewport_.ReleaseAndGetAddressOf()),
               "FIDirect3DRMViewport2");
}

}  // namespace kv
