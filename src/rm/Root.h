// The root object: creates every other engine object and holds the options
// global to its objects (handedness).
#pragma once

#include "korvane3d/rm/Object.h"

namespace kv::rm {

class Root final : public kv::RefCount, public IDirect3DRM3 {
 public:
  static ComPtr<Root> Create();

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override;

  HRESULT CreateFrame(IDirect3DRMFrame3* parent, IDirect3DRMFrame3** frame) override;
  HRESULT CreateMeshBuilder(IDirect3DRMMeshBuilder3** builder) override;
  HRESULT CreateLight(D3DRMLIGHTTYPE type, D3DCOLOR color, IDirect3DRMLight** light) override;
  HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE r, D3DVALUE g, D3DVALUE b, IDirect3DRMLight** light) override;
  HRESULT CreateMaterial(D3DVALUE power, IDirect3DRMMaterial2** material) override;
  HRESULT LoadTexture(LPCSTR fileName, IDirect3DRMTexture3** texture) override;
  HRESULT CreateTextureFromImage(const kv::image::Image& image, IDirect3DRMTexture3** texture) override;
  HRESULT CreateWrap(D3DRMWRAPTYPE type, IDirect3DRMFrame3* ref, D3DVALUE ox, D3DVALUE oy, D3DVALUE oz, D3DVALUE dx,
                     D3DVALUE dy, D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz, D3DVALUE ou, D3DVALUE ov,
                     D3DVALUE su, D3DVALUE sv, IDirect3DRMWrap** wrap) override;
  HRESULT CreateShadow(IUnknown* visual, IDirect3DRMLight* light, D3DVALUE px, D3DVALUE py, D3DVALUE pz, D3DVALUE nx,
                       D3DVALUE ny, D3DVALUE nz, IDirect3DRMShadow2** shadow) override;
  HRESULT SetOptions(DWORD options) override;
  HRESULT GetOptions(DWORD* options) override;
  // Defined with the device and viewport (Device.cpp, Viewport.cpp).
  HRESULT CreateDeviceFromD3D(IDirect3D2* d3d, IDirect3DDevice2* d3dDevice, IDirect3DRMDevice3** device) override;
  HRESULT CreateViewport(IDirect3DRMDevice3* device, IDirect3DRMFrame3* camera, DWORD x, DWORD y, DWORD width,
                         DWORD height, IDirect3DRMViewport2** viewport) override;

  // For renderers, with the engine lock held.
  bool RightHanded() const { return options_ == D3DRMOPTIONS_RIGHTHANDED; }

 private:
  Root() = default;
  ~Root() override = default;

  DWORD options_ = D3DRMOPTIONS_LEFTHANDED;
};

}  // namespace kv::rm
