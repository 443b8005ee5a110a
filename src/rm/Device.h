// The device: draws into the render target of a Direct3D device (the display
// layer's surfaces) through the software rasterizer (or, for a hardware
// Direct3D device, through its OpenGL back end), with the quality,
// texture filter, dithering, render mode and cull mode that every viewport
// on it uses.
#pragma once

#include <memory>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/rm/DeviceInterfaces.h"
#include "korvane3d/rm/Object.h"
#include "korvane3d/rm/Root.h"
#include "korvane3d/rm/SceneRender.h"
#include "korvane3d/rm/raster/Rasterizer.h"

namespace kv::rm {



struct DeviceSettings {
  D3DRMRENDERQUALITY quality = D3DRMRENDER_FLAT;
  D3DRMTEXTUREQUALITY textureQuality = D3DRMTEXTURE_NEAREST;
  bool dither = true;
  DWORD renderMode = 0;
  DWORD bufferCount = 1;
  DWORD cullMode = D3DCULL_CCW;
};

class Device final : public ObjectImpl<IDirect3DRMDevice3> {
 public:
  static HRESULT Create(Root* root, IDirect3DDevice2* d3dDevice, ComPtr<Device>& out);
  static Device* From(IUnknown* object);

  HRESULT QueryInterface(REFIID iid, void** out) override;

  HRESULT SetQuality(D3DRMRENDERQUALITY quality) override;
  D3DRMRENDERQUALITY GetQuality() override;
  HRESULT SetTextureQuality(D3DRMTEXTUREQUALITY quality) override;
  D3DRMTEXTUREQUALITY GetTextureQuality() override;
  HRESULT SetDither(BOOL dither) override;
  BOOL GetDither() override;
  HRESULT SetRenderMode(DWORD flags) override;
  DWORD GetRenderMode() override;
  HRESULT SetBufferCount(DWORD count) override;
  DWORD GetBufferCount() override;
  DWORD GetWidth() override;
  DWORD GetHeight() override;
  HRESULT Update() override;
  HRESULT RenderStateChange(DWORD state, DWORD value, DWORD flags) override;

  // For viewports, with the engine lock held. Draw runs one rasterizer frame
  // on the locked render target: begin, whatever body does, end.
  using FrameBody = kv::raster::Result (*)(void* context, kv::raster::Rasterizer& raster);
  HRESULT DrawFrame(const kv::raster::View& view, const kv::raster::FrameState& state, FrameBody body,
                    void* context);
  const DeviceSettings& Settings() const { return settings_; }
  SceneCache& Cache() { return cache_; }
  Root* Owner() const { return root_.Get(); }
  // Draws and triangles of the last rasterizer frame (the last Render, or a
  // Clear after it). Takes the engine lock.
  kv::raster::FrameStats LastFrameStats() const;
  // True when the device draws through OpenGL (a hardware device whose GL
  // back end started), false for the software rasterizer.
  bool DrawsWithGl() const { return drawsWithGl_; }

 private:
  class WinDevice final : public IDirect3DRMWinDevice {
   public:
    explicit WinDevice(Device* device) : device_(device) {}
    HRESULT QueryInterface(REFIID iid, void** out) override { return device_->QueryInterface(iid, out); }
    ULONG AddRef() override { return device_->AddRef(); }
    ULONG Release() override { return device_->Release(); }
    HRESULT HandlePaint(HDC dc) override;

   private:
    Device* device_;
  };

  Device() : winDevice_(this) {}
  ~Device() override = default;
  const char* ClassName() const override { return "Device"; }

  ComPtr<Root> root_;
  ComPtr<IDirect3DDevice2> d3dDevice_;
  DWORD width_ = 0, height_ = 0;
  DeviceSettings settings_;
  std::unique_ptr<kv::raster::Rasterizer> raster_;
  bool drawsWithGl_ = false;
  bool glDrawsToWindow_ = false;  // its picture is shown from GL, not from the target's memory
  SceneCache cache_;
  WinDevice winDevice_;
};

}  // namespace kv::rm
