// The DirectDraw object: IDirectDraw, IDirectDraw4 and the IDirect3D
// interfaces on one reference count. Internal to the display layer.
#pragma once

#include <memory>
#include <mutex>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/Display.h"
#include "korvane3d/platform/ddraw/Surface.h"

namespace kv::ddraw {

class DirectDrawObject final : public IDirectDraw,
                               public IDirectDraw4,
                               public IDirect3D,
                               public IDirect3D2,
                               public IDirect3D3,
                               public RefCount {
 public:
  DirectDrawObject() = default;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  // IDirectDraw4
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, LPVOID context,
                           LPDDENUMMODESCALLBACK2 callback) override;
  HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override;
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) override;
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) override;
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;
  HRESULT RestoreAllSurfaces() override;

  // IDirect3D3
  HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
  HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface4* target, IDirect3DDevice3** out,
                       IUnknown* outer) override;

  // The window given with the normal cooperative level (a windowed view's),
  // or null.
  HWND NormalWindow();

  // For surfaces: the one primary surface of this object.
  void PrimaryGone(const SurfaceImpl* primary);

 private:
  ~DirectDrawObject() override;
  HRESULT ValidateSurfaceDesc(const DDSURFACEDESC2& desc, SurfacePlan* plan);
  HRESULT ValidatePrimary(const DDSURFACEDESC2& desc, SurfacePlan* plan);
  HRESULT ValidateSized(const DDSURFACEDESC2& desc, SurfacePlan* plan);
  HRESULT ChooseMemory(DWORD caps, SurfacePlan* plan);
  std::shared_ptr<GlContext> ContextFor(SurfaceImpl* target);

  std::mutex mutex_;
  bool cooperativeLevelSet_ = false;
  HWND normalWindow_ = nullptr;
  const SurfaceImpl* primary_ = nullptr;  // not owned: cleared by the primary as it goes
};

// True when dwSize is this layer's size or the Windows size of the structure.
bool DescSizeOk(const DDSURFACEDESC2& desc);

}  // namespace kv::ddraw
