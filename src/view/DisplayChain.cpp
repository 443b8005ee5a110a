#include "korvane3d/view/DisplayChain.h"

#include <cstring>

#include "korvane3d/package/Kv.h"

namespace kv {

namespace {

// Stores a result; for a failure, reports it (unforced) and gives what the
// reporter says, which ends the step.
ChainStep Check(HRESULT result, const char* context) {
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

DWORD Memory(bool video) { return video ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY; }

void SwapToSystemMemory(DDSURFACEDESC2& desc) {
  desc.ddsCaps.dwCaps = (desc.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
}

}  // namespace

// ---- Made once ----------------------------------------------------------------------------

ChainStep DisplayChain::CreateDirectDraw() {
  if (directDraw_) return std::nullopt;
  ComPtr<IDirectDraw> first;
  if (auto stop = Check(DirectDrawCreate(nullptr, first.ReleaseAndGetAddressOf(), nullptr), "DirectDrawCreate FAILED"))
    return stop;
  if (auto stop = Check(first.As(IID_IDirectDraw4, directDraw_), "QueryInterface FAILED")) return stop;
  if (auto stop = Check(directDraw_.As(IID_IDirect3D3, direct3D3_), "QueryInterface FAILED")) return stop;
  if (auto stop = Check(direct3D3_.As(IID_IDirect3D2, direct3D2_), "QueryInterface FAILED")) return stop;
  return Check(direct3D3_.As(IID_IDirect3D, direct3D_), "QueryInterface FAILED");
}

ChainStep DisplayChain::ChooseDriver(bool forceSoftware, bool& hardware) {
  hardware = false;
  if (!direct3D3_) return std::nullopt;
  HRESULT counted = S_OK;
  if (forceSoftware) {
    counted = direct3D3_->EnumZBufferFormats(IID_IDirect3DRGBDevice, &KeepDepthFormat, &zBufferFormat_);
  } else {
    counted = direct3D3_->EnumZBufferFormats(IID_IDirect3DHALDevice, &KeepDepthFormat, &zBufferFormat_);
    if (FAILED(counted)) {
      counted = direct3D3_->EnumZBufferFormats(IID_IDirect3DRGBDevice, &KeepDepthFormat, &zBufferFormat_);
    } else {
      hardware = true;
    }
  }
  return Check(counted, "EnumZBuffer FAILED");
}

// ---- Rebuilt by each change --------------------------------------------------------------

void DisplayChain::ReleaseSurfaces() {
  viewport_ = nullptr;
  rmDevice_ = nullptr;
  d3dDevice2_ = nullptr;
  d3dDevice3_ = nullptr;
  zBuffer_ = nullptr;
  back_ = nullptr;
  primary_ = nullptr;
  window_ = nullptr;
  fullScreen_ = false;
}

ChainStep DisplayChain::BuildWindowed(HWND window, int width, int height) {
  if (auto stop = Check(directDraw_->SetCooperativeLevel(window, DDSCL_NORMAL), "SetCooperativeLevel FAILED"))
    return stop;
  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (auto stop = Check(directDraw_->CreateSurface(&desc, primary_.ReleaseAndGetAddressOf(), nullptr),
                        "1-CreatePrimarySurface FAILED"))
    return stop;
  {
    // The primary keeps the clipper; the chain lets its own reference go.
    ComPtr<IDirectDrawClipper> clipper;
    if (auto stop = Check(directDraw_->CreateClipper(0, clipper.ReleaseAndGetAddressOf(), nullptr),
                          "CreateClipper FAILED"))
      return stop;
    clipper->SetHWnd(0, window);
    primary_->SetClipper(clipper.Get());
  }
  window_ = window;
  desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  if (auto stop = Check(directDraw_->CreateSurface(&desc, back_.ReleaseAndGetAddressOf(), nullptr),
                        "CreateBackSurface FAILED"))
    return stop;
  videoMemoryPrimary_ = false;
  return std::nullopt;
}

ChainStep DisplayChain::BuildFullScreen(HWND window, int width, int height, int bitsPerPixel, bool hardware) {
  fullScreen_ = true;
  if (window != nullptr) {
    LastDXResult = directDraw_->SetCooperativeLevel(
        window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_FPUSETUP);
  }
  if (FAILED(LastDXResult.load())) return ReportDXError(LastDXResult, "SetCooperativeLevel FAILED", false);
  if (auto stop = Check(directDraw_->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                                    static_cast<DWORD>(bitsPerPixel), 0, 0),
                        "SetDisplayMode FAILED"))
    return stop;
  DDSURFACEDESC2 desc = EmptyDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  videoMemoryPrimary_ = hardware;
  desc.ddsCaps.dwCaps |= Memory(videoMemoryPrimary_);
  HRESULT result = directDraw_->CreateSurface(&desc, primary_.ReleaseAndGetAddressOf(), nullptr);
  if (result == DDERR_OUTOFVIDEOMEMORY || result == E_OUTOFMEMORY) {
    SwapToSystemMemory(desc);
    videoMemoryPrimary_ = false;
    result = directDraw_->CreateSurface(&desc, primary_.ReleaseAndGetAddressOf(), nullptr);
  }
  if (auto stop = Check(result, "CreateSurface FAILED")) return stop;
  DDSCAPS2 caps{};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  return Check(primary_->GetAttachedSurface(&caps, back_.ReleaseAndGetAddressOf()), "GetAttachedSurface FAILED");
}

ChainStep DisplayChain::BuildDevice(IDirect3DRMFrame3* camera, int depthWidth, int depthHeight, bool hardware,
                                    bool fullScreen) {
  DDSURFACEDESC2 desc = EmptyDesc();
  back_->GetSurfaceDesc(&desc);
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | Memory(hardware);
  desc.dwWidth = static_cast<DWORD>(depthWidth);
  desc.dwHeight = static_cast<DWORD>(depthHeight);
  desc.ddpfPixelFormat = zBufferFormat_;
  HRESULT result = directDraw_->CreateSurface(&desc, zBuffer_.ReleaseAndGetAddressOf(), nullptr);
  if (FAILED(result)) {
    SwapToSystemMemory(desc);
    result = directDraw_->CreateSurface(&desc, zBuffer_.ReleaseAndGetAddressOf(), nullptr);
  }
  if (auto stop = Check(result, "CreateSurface FAILED")) return stop;
  if (auto stop = Check(back_->AddAttachedSurface(zBuffer_.Get()), "AddAttachedSurface FAILED")) return stop;

  const CLSID& driver = hardware ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice;
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
  if (fullScreen && videoMemoryPrimary_) {
    rmDevice_->SetBufferCount(2);
  } else if (auto stop = Check(rmDevice_->SetBufferCount(1), "SetBufferCount")) {
    return stop;
  }
  return Check(root->CreateViewport(rmDevice_.Get(), camera, 0, 0, rmDevice_->GetWidth(), rmDevice_->GetHeight(),
                                    viewport_.ReleaseAndGetAddressOf()),
               "FIDirect3DRMViewport2");
}

// ---- Lost surfaces ------------------------------------------------------------------------

bool DisplayChain::AnySurfaceLost() const {
  for (const ComPtr<IDirectDrawSurface4>* s : {&primary_, &back_, &zBuffer_}) {
    if (*s && (*s)->IsLost() == DDERR_SURFACELOST) return true;
  }
  return false;
}

HRESULT DisplayChain::RestoreLostSurfaces() {
  HRESULT first = DD_OK;
  const auto restore = [&first](const ComPtr<IDirectDrawSurface4>& surface) {
    if (!surface || surface->IsLost() != DDERR_SURFACELOST) return;
    const HRESULT result = surface->Restore();
    if (FAILED(result) && SUCCEEDED(first)) first = result;
  };
  restore(primary_);
  // A flipping chain's back buffer is restored with its primary.
  if (!fullScreen_) restore(back_);
  restore(zBuffer_);
  return first;
}

}  // namespace kv
