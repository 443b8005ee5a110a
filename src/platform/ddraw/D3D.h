// The Direct3D device interfaces of the display layer, with DirectX 6's
// names. The DirectDraw object answers IDirect3D3, IDirect3D2 and IDirect3D;
// a device is made on a render-target surface with IDirect3D3::CreateDevice.
//
// Two drivers: the software RGB device (IID_IDirect3DRGBDevice), the
// rasterizer of the retained-mode engine, which draws into the render
// target's memory (RenderTarget.h); and the hardware device
// (IID_IDirect3DHALDevice), which draws with OpenGL off screen and reads the
// picture back into that memory, offered where GlContext.h says so.
#pragma once

#include "korvane3d/platform/ddraw/DDraw.h"

namespace kv {

inline constexpr IID IID_IDirect3D =
    MakeGuid(0x3BBA0080, 0x2421, 0x11CF, 0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56);
inline constexpr IID IID_IDirect3D2 =
    MakeGuid(0x6AAE1EC1, 0x662A, 0x11D0, 0x88, 0x9D, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x6A);
inline constexpr IID IID_IDirect3D3 =
    MakeGuid(0xBB223240, 0xE72B, 0x11D0, 0xA9, 0xB4, 0x00, 0xAA, 0x00, 0xC0, 0x99, 0x3E);
inline constexpr IID IID_IDirect3DDevice2 =
    MakeGuid(0x93281501, 0x8CF8, 0x11D0, 0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29);
inline constexpr IID IID_IDirect3DDevice3 =
    MakeGuid(0xB0AB3B60, 0x33D7, 0x11D1, 0xA9, 0x81, 0x00, 0xC0, 0x4F, 0xD7, 0xB1, 0x74);

// Device (driver) identifiers.
inline constexpr CLSID IID_IDirect3DRGBDevice =
    MakeGuid(0xA4665C60, 0x2673, 0x11CF, 0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56);
inline constexpr CLSID IID_IDirect3DHALDevice =
    MakeGuid(0x84E63DE0, 0x46AA, 0x11CF, 0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E);

constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, LPVOID context);

class IDirect3DDevice3;

// The older interfaces carry no calls of their own here; they exist so that
// the engine can be handed the interface it takes (IDirect3D2) and so that
// identity queries work.
class IDirect3D : public IUnknown {};
class IDirect3D2 : public IUnknown {};

class IDirect3D3 : public IUnknown {
 public:
  // Calls back with each depth-buffer format the device can use, in this
  // order: 16 bits, 24 bits (in 32), 24 bits with 8 stencil bits
  // (DDPF_ZBUFFER | DDPF_STENCILBUFFER), 32 bits; until the callback
  // returns D3DENUMRET_CANCEL. For IID_IDirect3DHALDevice where the hardware
  // device is not offered, it fails with D3DERR_INVALID_DEVICE and calls
  // nothing.
  virtual HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
  // A device of the given driver drawing on target, a surface of this
  // DirectDraw object with DDSCAPS_3DDEVICE and an RGB format of 16, 24 or
  // 32 bits. A depth buffer attached to the target (in system memory, as
  // the software device requires; anywhere for the hardware device) is used
  // by the device; without one the device draws without depth testing.
  virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface4* target, IDirect3DDevice3** out,
                               IUnknown* outer) = 0;
};

// One device object answers both interfaces.
class IDirect3DDevice2 : public IUnknown {
 public:
  // The render-target surface; the caller owns a new reference.
  virtual HRESULT GetRenderTarget(IDirectDrawSurface4** target) = 0;
};

class IDirect3DDevice3 : public IUnknown {
 public:
  virtual HRESULT GetRenderTarget(IDirectDrawSurface4** target) = 0;
};

}  // namespace kv
