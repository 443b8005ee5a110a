#include "korvane3d/platform/ddraw/RenderTarget.h"

namespace kv::ddraw {

namespace {

HRESULT LockWhole(IDirectDrawSurface4* surface, SurfaceMemory* out) {
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
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
  result_ = LockWhole(target, &color_);
  if (FAILED(result_)) return;
  colorSurface_ = kv::ComPtr<IDirectDrawSurface4>(target);
  DDSCAPS2 caps;
  caps.dwCaps = DDSCAPS_ZBUFFER;
  kv::ComPtr<IDirectDrawSurface4> depth;
  if (FAILED(target->GetAttachedSurface(&caps, depth.ReleaseAndGetAddressOf()))) return;
  if (HRESULT hr = LockWhole(depth.Get(), &depth_); FAILED(hr)) {
    colorSurface_->Unlock(nullptr);
    colorSurface_ = nullptr;
    color_ = SurfaceMemory{};
    result_ = hr;
    return;
  }
  depthSurface_ = std::move(depth);
}

RenderTargetLock::~RenderTargetLock() {
  if (depthSurface_) depthSurface_->Unlock(nullptr);
  if (colorSurface_) colorSurface_->Unlock(nullptr);
}

}  // namespace kv::ddraw
