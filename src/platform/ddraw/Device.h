// The Direct3D device: IDirect3DDevice3 and IDirect3DDevice2 on one
// reference count, bound to its render-target surface. Internal to the
// display layer.
#pragma once

#include <memory>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/DirectDrawObject.h"

namespace kv::ddraw {

class GlContext;

class Direct3DDevice final : public IDirect3DDevice3, public IDirect3DDevice2, public RefCount {
 public:
  // gl: the hardware device's OpenGL context; null for the software device.
  Direct3DDevice(SurfaceImpl* target, std::shared_ptr<GlContext> gl) : target_(target), gl_(std::move(gl)) {}

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT GetRenderTarget(IDirectDrawSurface4** target) override;
  const std::shared_ptr<GlContext>& Gl() const { return gl_; }

 private:
  ~Direct3DDevice() override = default;
  kv::ComPtr<SurfaceImpl> target_;
  std::shared_ptr<GlContext> gl_;
};

}  // namespace kv::ddraw
