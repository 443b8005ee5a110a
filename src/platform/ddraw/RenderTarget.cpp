#include "korvane3d/platform/ddraw/RenderTarget.h"

#include <utility>

#include "korvane3d/platform/ddraw/Surface.h"

namespace kv::ddraw {

namespace {

// Locks the whole surface. With `pending` given, a fill the surface holds
// undone is handed over instead of done (our own surfaces only; others
// have none).
HRESULT LockWhole(IDirectDrawSurface4* surface, SurfaceMemory* out, std::optional<ColorFill>* pending = nullptr) {
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  SurfaceImpl* impl = pending ? SurfaceImpl::From(surface) : nullptr;
  HRESULT hr = impl ? impl->LockTakingFill(&desc, pending) : surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
  if (FAILED(hr)) return hr;
  out->pixels = static_cast<std::byte*>(desc.lpSurface);
  out->width = static_cast<int>(desc.dwWidth);
  out->height = static_cast<int>(desc.dwHeight);
  out->pitchBytes = desc.lPitch;
  out->format = desc.ddpfPixelFormat;
  const DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;  // also the depth bit count
  out->bytesPerPixel = bits <= 16 ? 2 : bits == 24 && !(desc.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) ? 3 : 4;
  return DD_OK;
}

template <class Device>
kv::ComPtr<IDirectDrawSurface4> TargetOf(Device* device) {
  kv::ComPtr<IDirectDrawSurface4> target;
  if (device) device->GetRenderTarget(target.ReleaseAndGetAddressOf());
  return target;
}

}  // namespace

RenderTargetLock::RenderTargetLock(IDirect3DDevice2* device) { Acquire(TargetOf(device).Get()); }

RenderTargetLock::RenderTargetLock(IDirect3DDevice3* device) { Acquire(TargetOf(device).Get()); }

void RenderTargetLock::Acquire(IDirectDrawSurface4* target) {
  if (!target) return;
  result_ = LockWhole(target, &color_, &pending_);
  if (FAILED(result_)) return;
  colorSurface_ = kv::ComPtr<IDirectDrawSurface4>(target);
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_ZBUFFER;
  kv::ComPtr<IDirectDrawSurface4> depth;
  if (FAILED(target->GetAttachedSurface(&caps, depth.ReleaseAndGetAddressOf()))) return;
  if (HRESULT hr = LockWhole(depth.Get(), &depth_); FAILED(hr)) {
    Release();
    color_ = SurfaceMemory{};
    result_ = hr;
    return;
  }
  depthSurface_ = std::move(depth);
}

void RenderTargetLock::Release() {
  if (!colorSurface_) return;
  if (SurfaceImpl* impl = SurfaceImpl::From(colorSurface_.Get()))
    impl->UnlockLeavingFill(std::exchange(pending_, std::nullopt));
  else
    colorSurface_->Unlock(nullptr);
  colorSurface_ = nullptr;
}

RenderTargetLock::~RenderTargetLock() {
  if (depthSurface_) depthSurface_->Unlock(nullptr);
  Release();
}

std::optional<ColorFill> RenderTargetLock::TakePendingFill() { return std::exchange(pending_, std::nullopt); }

void RenderTargetLock::FillNow(const ColorFill& fill) {
  if (SurfaceImpl* impl = colorSurface_ ? SurfaceImpl::From(colorSurface_.Get()) : nullptr) impl->FillLocked(fill);
}

void RenderTargetLock::LeaveFill(const ColorFill& fill) {
  if (colorSurface_) pending_ = fill;
}

}  // namespace kv::ddraw
