// Shared pieces of the display-layer tests: a fresh headless display per
// test, a DirectDraw object at the normal level, and surface helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kvtest {

using namespace kv;

using kv::ComPtr;

inline ComPtr<IDirectDraw4> MakeDirectDraw4() {
  ComPtr<IDirectDraw> dd;
  EXPECT_EQ(DirectDrawCreate(nullptr, dd.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  ComPtr<IDirectDraw4> dd4;
  if (dd) {
    EXPECT_EQ(dd.As(IID_IDirectDraw4, dd4), S_OK);
  }
  return dd4;
}

inline DDSURFACEDESC2 Desc(DWORD flags, DWORD caps, DWORD width = 0, DWORD height = 0) {
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  desc.dwFlags = flags;
  desc.ddsCaps.dwCaps = caps;
  desc.dwWidth = width;
  desc.dwHeight = height;
  return desc;
}

inline DDPIXELFORMAT RgbFormat(DWORD bits) {
  DDPIXELFORMAT pf;
  pf.dwSize = sizeof(pf);
  pf.dwFlags = DDPF_RGB;
  pf.dwRGBBitCount = bits;
  pf.dwRBitMask = bits == 16 ? 0xF800 : 0xFF0000;
  pf.dwGBitMask = bits == 16 ? 0x07E0 : 0x00FF00;
  pf.dwBBitMask = bits == 16 ? 0x001F : 0x0000FF;
  return pf;
}

inline DDPIXELFORMAT DepthFormat(DWORD bits) {
  DDPIXELFORMAT pf;
  pf.dwSize = sizeof(pf);
  pf.dwFlags = DDPF_ZBUFFER;
  pf.dwZBufferBitDepth = bits;
  pf.dwZBitMask = bits == 16 ? 0xFFFF : bits == 24 ? 0xFFFFFF : 0xFFFFFFFF;
  return pf;
}

// An off-screen render target; bits 0 takes the display mode's format.
inline ComPtr<IDirectDrawSurface4> MakeOffscreen(IDirectDraw4* dd, int w, int h, DWORD bits = 32,
                                                 DWORD memory = DDSCAPS_SYSTEMMEMORY) {
  DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | memory,
                             static_cast<DWORD>(w), static_cast<DWORD>(h));
  if (bits) {
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = RgbFormat(bits);
  }
  ComPtr<IDirectDrawSurface4> surface;
  EXPECT_EQ(dd->CreateSurface(&desc, surface.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  return surface;
}

inline ComPtr<IDirectDrawSurface4> MakeDepth(IDirectDraw4* dd, int w, int h, DWORD bits = 16) {
  DDSURFACEDESC2 desc = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT,
                             DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, static_cast<DWORD>(w), static_cast<DWORD>(h));
  desc.ddpfPixelFormat = DepthFormat(bits);
  ComPtr<IDirectDrawSurface4> surface;
  EXPECT_EQ(dd->CreateSurface(&desc, surface.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  return surface;
}

inline HRESULT ColorFill(IDirectDrawSurface4* surface, DWORD raw, RECT* rect = nullptr) {
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = raw;
  return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// Writes 0x00RRGGBB pixels into a 32-bit surface through Lock.
template <class PixelOf>
void Paint32(IDirectDrawSurface4* surface, PixelOf pixelOf) {
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  auto* base = static_cast<std::uint8_t*>(desc.lpSurface);
  for (DWORD y = 0; y < desc.dwHeight; ++y)
    for (DWORD x = 0; x < desc.dwWidth; ++x) {
      std::uint32_t v = pixelOf(static_cast<int>(x), static_cast<int>(y));
      std::memcpy(base + y * desc.lPitch + x * 4, &v, 4);
    }
  ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

// A fresh headless backend and virtual monitor, and a DirectDraw object at
// the normal cooperative level.
class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kv::platform::SelectBackend(kv::platform::BackendKind::Headless), kv::platform::BackendKind::Headless);
    kv::platform::SetHeadlessScreenSize(1024, 768);
    kv::ddraw::ResetHeadlessDisplay();
    dd = MakeDirectDraw4();
    ASSERT_TRUE(dd);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
  }
  void TearDown() override {
    dd = nullptr;
    kv::ddraw::ResetHeadlessDisplay();
  }

  HWND MakeTopWindow(int x, int y, int w, int h) {
    return CreateWindowExA(0, "ddraw test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h, nullptr,
                           [](HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(wnd, msg, wp, lp); });
  }
  HWND MakeChildWindow(HWND parent, int x, int y, int w, int h) {
    return CreateWindowExA(0, "view", WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                           [](HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(wnd, msg, wp, lp); });
  }

  ComPtr<IDirectDraw4> dd;
};

}  // namespace kvtest
