// How the retained-mode engine's device reaches the memory it draws into.
//
// The engine is handed an IDirect3DDevice2 (made by IDirect3D3::CreateDevice
// on a render-target surface, with or without a depth buffer attached). To
// draw a frame it holds a RenderTargetLock for as long as the rasterizer
// touches pixels: the lock locks the render target (and its attached depth
// buffer) through IDirectDrawSurface4::Lock and gives their memory; its
// destructor unlocks both. While it is held, Blt and Flip involving these
// surfaces, and GetDC on them, answer DDERR_SURFACEBUSY, so presentation
// and the GDI events must not overlap the drawing (the render loop keeps
// them apart).
//
//   kv::ddraw::RenderTargetLock target(device2);
//   if (FAILED(target.Result())) return target.Result();  // e.g. DDERR_SURFACELOST
//   DrawInto(target.Color(), target.Depth());
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "korvane3d/platform/ddraw/D3D.h"

namespace kv::ddraw {

// One locked surface. Colour formats: 16 bits 5-6-5, 24 bits (bytes blue,
// green, red), 32 bits 0x00RRGGBB. Depth formats: 16 bits (2 bytes per
// pixel), 24 bits (low bits of 4 bytes), 24+8 stencil or 32 bits (4 bytes);
// larger values are farther. `format` is the surface's DDPIXELFORMAT.
struct SurfaceMemory {
  std::byte* pixels = nullptr;  // top-left pixel
  int width = 0;
  int height = 0;
  int pitchBytes = 0;
  int bytesPerPixel = 0;
  DDPIXELFORMAT format;
};

// A fill of part of a colour surface (a raw pixel of its format) that the
// device left undone when its frame ended: the surface does it before any
// other access to its pixels (Lock, GetDC, Blt from or to it, Flip,
// read-back), so nobody sees the pixels without it, and the device's next
// lock may take it over and do it as it draws (a clear followed by a
// render then writes each pixel once, while it is in cache).
struct ColorFill {
  RECT area{};
  std::uint32_t raw = 0;
};

class RenderTargetLock {
 public:
  explicit RenderTargetLock(IDirect3DDevice2* device);
  explicit RenderTargetLock(IDirect3DDevice3* device);
  ~RenderTargetLock();
  RenderTargetLock(const RenderTargetLock&) = delete;
  RenderTargetLock& operator=(const RenderTargetLock&) = delete;

  // DD_OK when Color() is usable; otherwise what locking answered, and
  // nothing is locked.
  HRESULT Result() const { return result_; }
  const SurfaceMemory& Color() const { return color_; }
  // The attached depth buffer, or null without one.
  const SurfaceMemory* Depth() const { return depthSurface_ ? &depth_ : nullptr; }

  // The fill the target holds undone (see ColorFill), now the caller's to
  // do before it draws over the area; none when the target holds none.
  std::optional<ColorFill> TakePendingFill();
  // Does `fill` on the locked target now.
  void FillNow(const ColorFill& fill);
  // Leaves `fill` undone on the target when the lock ends (a fill taken and
  // not done must come back this way or be done).
  void LeaveFill(const ColorFill& fill);

 private:
  void Acquire(IDirectDrawSurface4* target);
  void Release();  // unlocks the colour surface, leaving pending_ on it

  HRESULT result_ = DDERR_INVALIDPARAMS;
  kv::ComPtr<IDirectDrawSurface4> colorSurface_;  // set while locked
  kv::ComPtr<IDirectDrawSurface4> depthSurface_;
  SurfaceMemory color_;
  SurfaceMemory depth_;
  std::optional<ColorFill> pending_;  // held aside while locked, left on unlock
};

class GlContext;

// The OpenGL context of a hardware (HAL) device, which the engine draws
// with; null for the software device (and anything else).
std::shared_ptr<GlContext> GlContextOf(IDirect3DDevice2* device);

}  // namespace kv::ddraw
