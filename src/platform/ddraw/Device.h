// The Direct3D device: IDirect3DDevice3 and IDirect3DDevice2 on one
// reference count, bound to its render-target surface. Internal to the
// display layer.
#pragma once

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/DirectDrawObject.h"

namespace kv::ddraw {

class Direct3DDevice final : public IDirect3DDevice3, public IDirect3DDevice2, public RefCount {
 public:
  explicit Direct3DDevice(SurfaceImpl* target) : target_(target) {}

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }
  HRESULT GetRenderTarget(IDirectDrawSurface4** target) override;

 private:
  ~Direct3DDevice() override = default;
  kv::ComPtr<SurfaceImpl> target_;
};

}  // namespace kv::ddraw
