#include "korvane3d/platform/ddraw/DirectDrawObject.h"

#include <new>

#include "korvane3d/platform/ddraw/Clipper.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

namespace ddraw {

namespace {

// A surface is as large as a window may be (WinApi.h).
constexpr int kMaxSurfaceSide = kMaxWindowSide;
constexpr DWORD kMemoryCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
// Caps CreateSurface understands; hints with no effect here are accepted.
constexpr DWORD kKnownCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE |
                             DDSCAPS_OFFSCREENPLAIN | DDSCAPS_ZBUFFER | DDSCAPS_WRITEONLY | DDSCAPS_OWNDC |
                             kMemoryCaps;

DDSURFACEDESC2 ModeDesc(const DisplayModeInfo& mode, DWORD size) {
  DDSURFACEDESC2 desc;
  desc.dwSize = size;
  desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc.dwWidth = static_cast<DWORD>(mode.width);
  desc.dwHeight = static_cast<DWORD>(mode.height);
  desc.lPitch = mode.width * ((mode.bitsPerPixel + 7) / 8);
  desc.dwRefreshRate = static_cast<DWORD>(mode.refreshRate);
  if (auto format = ColorFormatForBits(static_cast<DWORD>(mode.bitsPerPixel))) desc.ddpfPixelFormat = ToPixelFormat(*format);
  return desc;
}

bool ModeMatches(const DisplayModeInfo& mode, const DDSURFACEDESC2* filter) {
  if (!filter) return true;
  if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != static_cast<DWORD>(mode.width)) return false;
  if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != static_cast<DWORD>(mode.height)) return false;
  if ((filter->dwFlags & DDSD_PIXELFORMAT) &&
      filter->ddpfPixelFormat.dwRGBBitCount != static_cast<DWORD>(mode.bitsPerPixel))
    return false;
  if ((filter->dwFlags & DDSD_REFRESHRATE) && filter->dwRefreshRate != static_cast<DWORD>(mode.refreshRate))
    return false;
  return true;
}

}  // namespace

bool DescSizeOk(const DDSURFACEDESC2& desc) {
  return desc.dwSize == sizeof(DDSURFACEDESC2) || desc.dwSize == kWindowsDDSurfaceDesc2Size;
}

DirectDrawObject::~DirectDrawObject() { Display::Instance().ReleaseExclusive(this); }

HRESULT DirectDrawObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirectDraw)
    *object = static_cast<IDirectDraw*>(this);
  else if (riid == IID_IDirectDraw4)
    *object = static_cast<IDirectDraw4*>(this);
  else if (riid == IID_IDirect3D3)
    *object = static_cast<IDirect3D3*>(this);
  else if (riid == IID_IDirect3D2)
    *object = static_cast<IDirect3D2*>(this);
  else if (riid == IID_IDirect3D)
    *object = static_cast<IDirect3D*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

// ---- Cooperative level and display modes ----------------------------------------

HRESULT DirectDrawObject::SetCooperativeLevel(HWND window, DWORD flags) {
  const bool normal = flags & DDSCL_NORMAL;
  const bool exclusive = flags & DDSCL_EXCLUSIVE;
  const bool fullScreen = flags & DDSCL_FULLSCREEN;
  if (normal == exclusive || exclusive != fullScreen) return DDERR_INVALIDPARAMS;
  Display& display = Display::Instance();
  if (exclusive) {
    // The exclusive level belongs to a top-level window, as on Windows.
    if (!window || !IsWindow(window) || GetParent(window)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = display.AcquireExclusive(this, window); FAILED(hr)) return hr;
  } else {
    display.ReleaseExclusive(this);
  }
  std::lock_guard lock(mutex_);
  cooperativeLevelSet_ = true;
  normalWindow_ = normal ? window : nullptr;
  return DD_OK;
}

HWND DirectDrawObject::NormalWindow() {
  std::lock_guard lock(mutex_);
  return normalWindow_;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate,
                                         DWORD flags) {
  if (flags & ~DDSDM_STANDARDVGAMODE) return DDERR_INVALIDPARAMS;
  Display& display = Display::Instance();
  if (!display.IsExclusive(this)) return DDERR_NOEXCLUSIVEMODE;
  for (const DisplayModeInfo& mode : display.Modes()) {
    if (static_cast<DWORD>(mode.width) == width && static_cast<DWORD>(mode.height) == height &&
        static_cast<DWORD>(mode.bitsPerPixel) == bitsPerPixel &&
        (refreshRate == 0 || static_cast<DWORD>(mode.refreshRate) == refreshRate))
      return display.SetMode(this, mode);
  }
  return DDERR_INVALIDMODE;
}

HRESULT DirectDrawObject::RestoreDisplayMode() {
  Display::Instance().RestoreMode(this);
  return DD_OK;
}

HRESULT DirectDrawObject::EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, LPVOID context,
                                           LPDDENUMMODESCALLBACK2 callback) {
  if (!callback || (filter && !DescSizeOk(*filter))) return DDERR_INVALIDPARAMS;
  if (flags & ~(DDEDM_REFRESHRATES | DDEDM_STANDARDVGAMODES)) return DDERR_INVALIDPARAMS;
  std::vector<DisplayModeInfo> modes = Display::Instance().Modes();
  const bool withRates = flags & DDEDM_REFRESHRATES;
  const DisplayModeInfo* previous = nullptr;
  for (const DisplayModeInfo& mode : modes) {
    DisplayModeInfo offered = mode;
    if (!withRates) {
      // One entry per size and depth; the list is sorted, so rates of one
      // mode are neighbours.
      if (previous && previous->width == mode.width && previous->height == mode.height &&
          previous->bitsPerPixel == mode.bitsPerPixel)
        continue;
      offered.refreshRate = 0;
    }
    previous = &mode;
    if (!ModeMatches(offered, filter)) continue;
    DDSURFACEDESC2 desc = ModeDesc(offered, sizeof(DDSURFACEDESC2));
    if (callback(&desc, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

HRESULT DirectDrawObject::GetDisplayMode(DDSURFACEDESC2* desc) {
  if (!desc || !DescSizeOk(*desc)) return DDERR_INVALIDPARAMS;
  *desc = ModeDesc(Display::Instance().CurrentMode(), desc->dwSize);
  return DD_OK;
}

HRESULT DirectDrawObject::WaitForVerticalBlank(DWORD flags, HANDLE /*event*/) {
  if (flags == DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
  if (flags != DDWAITVB_BLOCKBEGIN && flags != DDWAITVB_BLOCKEND) return DDERR_INVALIDPARAMS;
  Display::Instance().WaitForVerticalBlank(flags == DDWAITVB_BLOCKEND);
  return DD_OK;
}

HRESULT DirectDrawObject::RestoreAllSurfaces() { return Display::Instance().RestoreAll(this); }

// ---- Surfaces ---------------------------------------------------------------------

HRESULT DirectDrawObject::ChooseMemory(DWORD caps, SurfacePlan* plan) {
  const bool system = caps & DDSCAPS_SYSTEMMEMORY;
  const bool video = caps & (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
  if (system && video) return DDERR_INVALIDCAPS;
  if (system) {
    plan->videoMemory = false;
    return DD_OK;
  }
  const bool exhausted = Display::Instance().TakeVideoMemoryFailure();
  if (exhausted && video) return DDERR_OUTOFVIDEOMEMORY;
  plan->videoMemory = !exhausted;
  return DD_OK;
}

HRESULT DirectDrawObject::ValidatePrimary(const DDSURFACEDESC2& desc, SurfacePlan* plan) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
  if (caps & (DDSCAPS_ZBUFFER | DDSCAPS_OFFSCREENPLAIN)) return DDERR_INVALIDCAPS;
  const bool flip = caps & DDSCAPS_FLIP;
  if (flip) {
    if (!(caps & DDSCAPS_COMPLEX) || !(desc.dwFlags & DDSD_BACKBUFFERCOUNT) || desc.dwBackBufferCount == 0)
      return DDERR_INVALIDPARAMS;
    if (desc.dwBackBufferCount > 1) return DDERR_UNSUPPORTED;
    if (!Display::Instance().IsExclusive(this)) return DDERR_NOEXCLUSIVEMODE;
  } else if (desc.dwFlags & DDSD_BACKBUFFERCOUNT) {
    return DDERR_INVALIDPARAMS;
  }
  const DisplayModeInfo mode = Display::Instance().CurrentMode();
  std::optional<Format> format = ColorFormatForBits(static_cast<DWORD>(mode.bitsPerPixel));
  if (!format || *format == Format::Pal8) return DDERR_UNSUPPORTEDMODE;
  plan->role = flip ? SurfaceRole::FlipFront : SurfaceRole::Primary;
  plan->width = mode.width;
  plan->height = mode.height;
  plan->format = *format;
  plan->mode = mode;
  plan->extraCaps = caps & DDSCAPS_3DDEVICE;
  return DD_OK;
}

HRESULT DirectDrawObject::ValidateSized(const DDSURFACEDESC2& desc, SurfacePlan* plan) {
  const DWORD caps = desc.ddsCaps.dwCaps;
  if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
  if (desc.dwFlags & DDSD_BACKBUFFERCOUNT || caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
  if (desc.dwWidth == 0 || desc.dwHeight == 0) return DDERR_INVALIDPARAMS;
  if (desc.dwWidth > kMaxSurfaceSide) return DDERR_TOOBIGWIDTH;
  if (desc.dwHeight > kMaxSurfaceSide) return DDERR_TOOBIGHEIGHT;
  plan->width = static_cast<int>(desc.dwWidth);
  plan->height = static_cast<int>(desc.dwHeight);
  plan->mode = Display::Instance().CurrentMode();
  if (caps & DDSCAPS_ZBUFFER) {
    if (caps & (DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN)) return DDERR_INVALIDCAPS;
    std::optional<Format> format;
    if (desc.dwFlags & DDSD_PIXELFORMAT) format = DepthFormat(desc.ddpfPixelFormat);
    if (!format) return DDERR_INVALIDPIXELFORMAT;
    plan->role = SurfaceRole::Depth;
    plan->format = *format;
    return DD_OK;
  }
  std::optional<Format> format;
  if (desc.dwFlags & DDSD_PIXELFORMAT) {
    format = SurfaceColorFormat(desc.ddpfPixelFormat);
    if (!format) return DDERR_INVALIDPIXELFORMAT;
  } else {
    format = ColorFormatForBits(static_cast<DWORD>(plan->mode.bitsPerPixel));
    if (!format || *format == Format::Pal8) return DDERR_UNSUPPORTEDMODE;
  }
  plan->role = SurfaceRole::OffScreen;
  plan->format = *format;
  plan->extraCaps = caps & (DDSCAPS_3DDEVICE | DDSCAPS_OFFSCREENPLAIN);
  if (plan->extraCaps == 0) plan->extraCaps = DDSCAPS_OFFSCREENPLAIN;
  return DD_OK;
}

HRESULT DirectDrawObject::ValidateSurfaceDesc(const DDSURFACEDESC2& desc, SurfacePlan* plan) {
  const DWORD caps = (desc.dwFlags & DDSD_CAPS) ? desc.ddsCaps.dwCaps : 0;
  if (caps & ~kKnownCaps) return DDERR_INVALIDCAPS;
  DDSURFACEDESC2 withCaps = desc;
  withCaps.ddsCaps.dwCaps = caps;
  HRESULT hr = (caps & DDSCAPS_PRIMARYSURFACE) ? ValidatePrimary(withCaps, plan) : ValidateSized(withCaps, plan);
  if (FAILED(hr)) return hr;
  return ChooseMemory(caps, plan);
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!desc || !DescSizeOk(*desc)) return DDERR_INVALIDPARAMS;
  {
    std::lock_guard lock(mutex_);
    if (!cooperativeLevelSet_) return DDERR_NOCOOPERATIVELEVELSET;
  }
  SurfacePlan plan;
  if (HRESULT hr = ValidateSurfaceDesc(*desc, &plan); FAILED(hr)) return hr;
  const bool primary = plan.role == SurfaceRole::Primary || plan.role == SurfaceRole::FlipFront;
  std::unique_lock lock(mutex_);
  if (primary && primary_) return DDERR_PRIMARYSURFACEALREADYEXISTS;
  SurfaceImpl* made = nullptr;
  lock.unlock();  // a failed creation releases its surface, which may call PrimaryGone
  HRESULT hr = SurfaceImpl::Create(this, plan, &made);
  if (FAILED(hr)) return hr == DDERR_OUTOFMEMORY && plan.videoMemory ? DDERR_OUTOFVIDEOMEMORY : hr;
  lock.lock();
  if (primary) {
    if (primary_) {  // another thread made one meanwhile
      lock.unlock();
      made->Release();
      return DDERR_PRIMARYSURFACEALREADYEXISTS;
    }
    primary_ = made;
  }
  *surface = made;
  return DD_OK;
}

void DirectDrawObject::PrimaryGone(const SurfaceImpl* primary) {
  std::lock_guard lock(mutex_);
  if (primary_ == primary) primary_ = nullptr;
}

HRESULT DirectDrawObject::CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (flags != 0) return DDERR_INVALIDPARAMS;
  auto* made = new (std::nothrow) ClipperImpl();
  if (!made) return DDERR_OUTOFMEMORY;
  *clipper = made;
  return DD_OK;
}

}  // namespace ddraw

extern "C" HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (guid == DDCREATE_HARDWAREONLY) return DDERR_NODIRECTDRAWHW;
  if (guid && guid != DDCREATE_EMULATIONONLY) return DDERR_INVALIDDIRECTDRAWGUID;
  auto* made = new (std::nothrow) kv::ddraw::DirectDrawObject();
  if (!made) return DDERR_OUTOFMEMORY;
  *directDraw = made;
  return DD_OK;
}

}  // namespace kv
