// A headless display, an off-screen render target with a depth buffer, a
// Direct3D device on it, and the engine's root, device, scene and camera.
#pragma once

#include <gtest/gtest.h>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/D3DRM.h"
#include "korvane3d/rm/DeviceInterfaces.h"

namespace kvtest {

using namespace kv;

using kv::ComPtr;

class RenderTest : public ::testing::Test {
 public:
  static constexpr int kSize = 200;

 protected:

  void SetUp() override {
    ASSERT_EQ(kv::platform::SelectBackend(kv::platform::BackendKind::Headless), kv::platform::BackendKind::Headless);
    kv::ddraw::ResetHeadlessDisplay();
    ComPtr<IDirectDraw> dd1;
    ASSERT_EQ(DirectDrawCreate(nullptr, dd1.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    ASSERT_EQ(dd1.As(IID_IDirectDraw4, dd), S_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    target = MakeSurface(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, RgbFormat());
    ComPtr<IDirectDrawSurface4> depth = MakeSurface(DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, DepthFormat());
    ASSERT_EQ(target->AddAttachedSurface(depth.Get()), DD_OK);
    ComPtr<IDirect3D3> d3d3;
    ASSERT_EQ(dd.As(IID_IDirect3D3, d3d3), S_OK);
    ASSERT_EQ(dd.As(IID_IDirect3D2, d3d2), S_OK);
    ComPtr<IDirect3DDevice3> device3;
    ASSERT_EQ(d3d3->CreateDevice(IID_IDirect3DRGBDevice, target.Get(), device3.ReleaseAndGetAddressOf(), nullptr),
              D3D_OK);
    ASSERT_EQ(device3.As(IID_IDirect3DDevice2, d3dDevice), S_OK);

    ComPtr<IDirect3DRM> root1;
    ASSERT_EQ(Direct3DRMCreate(root1.ReleaseAndGetAddressOf()), D3DRM_OK);
    ASSERT_EQ(root1.As(IID_IDirect3DRM3, root), S_OK);
    ASSERT_EQ(root->CreateDeviceFromD3D(d3d2.Get(), d3dDevice.Get(), device.ReleaseAndGetAddressOf()), D3DRM_OK);
    scene = NewFrame(nullptr);
    camera = NewFrame(scene.Get());
    ASSERT_EQ(root->CreateViewport(device.Get(), camera.Get(), 0, 0, kSize, kSize, viewport.ReleaseAndGetAddressOf()),
              D3DRM_OK);
  }

  void TearDown() override {
    viewport = nullptr;
    device = nullptr;
    camera = nullptr;
    scene = nullptr;
    root = nullptr;
    d3dDevice = nullptr;
    d3d2 = nullptr;
    target = nullptr;
    dd = nullptr;
    kv::ddraw::ResetHeadlessDisplay();
  }

  ComPtr<IDirect3DRMFrame3> NewFrame(IDirect3DRMFrame3* parent) {
    ComPtr<IDirect3DRMFrame3> f;
    EXPECT_EQ(root->CreateFrame(parent, f.ReleaseAndGetAddressOf()), D3DRM_OK);
    return f;
  }

  // An axis-aligned cube of half size h centred on the origin, faces
  // outward (clockwise seen from outside, the left-handed front).
  ComPtr<IDirect3DRMMeshBuilder3> NewCube(float h, D3DCOLOR color) {
    ComPtr<IDirect3DRMMeshBuilder3> b;
    EXPECT_EQ(root->CreateMeshBuilder(b.ReleaseAndGetAddressOf()), D3DRM_OK);
    const D3DVECTOR v[8] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                            {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
    const DWORD faces[] = {4, 0, 3, 2, 1,  4, 4, 5, 6, 7,  4, 0, 4, 7, 3,
                           4, 1, 2, 6, 5,  4, 0, 1, 5, 4,  4, 3, 7, 6, 2, 0};
    EXPECT_EQ(b->AddFaces(8, v, 0, nullptr, faces, nullptr), D3DRM_OK);
    EXPECT_EQ(b->SetColor(color), D3DRM_OK);
    return b;
  }

  // The frame with a cube at (x, y, z) under parent.
  ComPtr<IDirect3DRMFrame3> PlaceCube(IDirect3DRMFrame3* parent, float x, float y, float z, float h,
                                      D3DCOLOR color = 0xffffffff) {
    ComPtr<IDirect3DRMFrame3> f = NewFrame(parent);
    EXPECT_EQ(f->SetPosition(parent, x, y, z), D3DRM_OK);
    EXPECT_EQ(f->AddVisual(NewCube(h, color).Get()), D3DRM_OK);
    return f;
  }

  void AddWhiteLights() {
    ComPtr<IDirect3DRMLight> ambient, sun;
    ASSERT_EQ(root->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.25f, 0.25f, 0.25f, ambient.ReleaseAndGetAddressOf()),
              D3DRM_OK);
    ASSERT_EQ(root->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 1, 1, 1, sun.ReleaseAndGetAddressOf()), D3DRM_OK);
    ASSERT_EQ(scene->AddLight(ambient.Get()), D3DRM_OK);
    ASSERT_EQ(camera->AddLight(sun.Get()), D3DRM_OK);  // shines along the view direction
  }

  kv::ddraw::PixelImage Draw() {
    EXPECT_EQ(viewport->Clear(D3DRMCLEAR_ALL), D3DRM_OK);
    EXPECT_EQ(viewport->Render(scene.Get()), D3DRM_OK);
    EXPECT_EQ(device->Update(), D3DRM_OK);
    return kv::ddraw::ReadSurfacePixels(target.Get());
  }

  static DDPIXELFORMAT RgbFormat() {
    DDPIXELFORMAT pf;
    pf.dwSize = sizeof(pf);
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = 32;
    pf.dwRBitMask = 0xFF0000;
    pf.dwGBitMask = 0x00FF00;
    pf.dwBBitMask = 0x0000FF;
    return pf;
  }
  static DDPIXELFORMAT DepthFormat() {
    DDPIXELFORMAT pf;
    pf.dwSize = sizeof(pf);
    pf.dwFlags = DDPF_ZBUFFER;
    pf.dwZBufferBitDepth = 16;
    pf.dwZBitMask = 0xFFFF;
    return pf;
  }
  ComPtr<IDirectDrawSurface4> MakeSurface(DWORD caps, const DDPIXELFORMAT& pf) {
    DDSURFACEDESC2 desc;
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = caps;
    desc.dwWidth = desc.dwHeight = kSize;
    desc.ddpfPixelFormat = pf;
    ComPtr<IDirectDrawSurface4> s;
    EXPECT_EQ(dd->CreateSurface(&desc, s.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    return s;
  }

  ComPtr<IDirectDraw4> dd;
  ComPtr<IDirectDrawSurface4> target;
  ComPtr<IDirect3D2> d3d2;
  ComPtr<IDirect3DDevice2> d3dDevice;
  ComPtr<IDirect3DRM3> root;
  ComPtr<IDirect3DRMDevice3> device;
  ComPtr<IDirect3DRMFrame3> scene, camera;
  ComPtr<IDirect3DRMViewport2> viewport;
};

inline int Channel(std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xff); }

}  // namespace kvtest
