// The display layer: DirectDraw with DirectX 6's names. A DirectDraw object
// stands for the display: its modes, the cooperative level of a program's
// window, and the surfaces (blocks of pixels) it creates: the primary
// surface (what is on screen), its flipping back buffer, off-screen render
// targets and depth buffers. Behind it sits the display backend in effect
// (platform/win/Backend.h): SDL2 with real display modes and full screen,
// or the headless virtual monitor (DDrawTesting.h).
//
// Every call returns an HRESULT and nothing is thrown; a call that fails
// leaves every object as it was. Objects are reference counted: hold them
// in kv::ComPtr.
//
// Threads: surfaces may be used from any thread. Each surface guards its
// state with its own mutex, so one thread may render into a back surface
// (Lock/Unlock, GetDC/ReleaseDC) while another presents (Blt, Flip); a
// surface that is locked or has a device context out answers Blt, Flip and
// a second Lock with DDERR_SURFACEBUSY instead of waiting. Calls that
// reach a window (a Blt onto the primary surface with a clipper, the
// cooperative level, display modes) belong to the main thread.
#pragma once

#include "korvane3d/platform/ddraw/DDrawTypes.h"
#include "korvane3d/platform/win/Unknown.h"

namespace kv {

inline constexpr IID IID_IDirectDraw =
    MakeGuid(0x6C14DB80, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
inline constexpr IID IID_IDirectDraw4 =
    MakeGuid(0x9C59509A, 0x39BD, 0x11D1, 0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5);
inline constexpr IID IID_IDirectDrawSurface4 =
    MakeGuid(0x0B2B8630, 0xAD35, 0x11D0, 0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B);
inline constexpr IID IID_IDirectDrawClipper =
    MakeGuid(0x6C14DB85, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);

class IDirectDrawClipper;
class IDirectDrawSurface4;

// The first interface DirectDrawCreate hands out; query it for
// IID_IDirectDraw4 (and IID_IDirect3D3, IID_IDirect3D2, IID_IDirect3D).
class IDirectDraw : public IUnknown {};

class IDirectDraw4 : public IUnknown {
 public:
  // DDSCL_NORMAL (window optional), or DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE
  // with a top-level window (DDSCL_ALLOWREBOOT, DDSCL_FPUSETUP and the
  // other hints may be added). Only one DirectDraw object holds the
  // exclusive level at a time (DDERR_EXCLUSIVEMODEALREADYSET). Going back
  // to DDSCL_NORMAL restores the desktop's display mode.
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  // Needs the exclusive level (DDERR_NOEXCLUSIVEMODE); a mode that is not
  // in the mode list gives DDERR_INVALIDMODE. Refresh rate 0 takes any.
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate,
                                 DWORD flags) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  // Calls back once per mode (width, height, pitch, pixel format and, with
  // DDEDM_REFRESHRATES, once per refresh rate), in ascending order of
  // width, height, bits per pixel and refresh rate, until the callback
  // returns DDENUMRET_CANCEL. A non-null filter limits the modes to those
  // matching its DDSD_WIDTH, DDSD_HEIGHT, DDSD_PIXELFORMAT (bit count) and
  // DDSD_REFRESHRATE fields. No lock is held during the callback.
  virtual HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, LPVOID context,
                                   LPDDENUMMODESCALLBACK2 callback) = 0;
  virtual HRESULT GetDisplayMode(DDSURFACEDESC2* desc) = 0;
  // Surfaces the display layer makes:
  // - primary: DDSD_CAPS, DDSCAPS_PRIMARYSURFACE. The screen, at the
  //   current display mode; one per DirectDraw object at a time.
  // - flipping primary: DDSD_CAPS | DDSD_BACKBUFFERCOUNT with count 1,
  //   DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX; needs the
  //   exclusive level. Its back buffer is GetAttachedSurface(DDSCAPS_BACKBUFFER).
  // - off-screen: DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT with
  //   DDSCAPS_OFFSCREENPLAIN and/or DDSCAPS_3DDEVICE; the display mode's
  //   pixel format unless DDSD_PIXELFORMAT gives an RGB one of 16 (5-6-5),
  //   24 or 32 bits.
  // - depth buffer: DDSCAPS_ZBUFFER with DDSD_PIXELFORMAT of DDPF_ZBUFFER,
  //   16, 24 or 32 bits.
  // DDSCAPS_SYSTEMMEMORY or DDSCAPS_VIDEOMEMORY choose the memory; without
  // either the surface goes to video memory when there is room.
  virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) = 0;
  virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) = 0;
  // DDWAITVB_BLOCKBEGIN: returns at the start of the next vertical blank of
  // the display (60 Hz on the virtual monitor, the mode's refresh rate on a
  // real display). DDWAITVB_BLOCKEND returns as the blank ends.
  virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
  // Restores every lost surface of this object that can be restored.
  virtual HRESULT RestoreAllSurfaces() = 0;
};

class IDirectDrawSurface4 : public IUnknown {
 public:
  // Copies src (srcRect, whole surface when null) into destRect (whole
  // surface when null) of this surface, converting pixel formats and
  // stretching (nearest pixel) when the sizes differ. Without a source,
  // DDBLT_COLORFILL fills with fx->dwFillColor (a pixel of this surface's
  // format) and DDBLT_DEPTHFILL a depth buffer with fx->dwFillDepth.
  // With a clipper attached, destRect is in screen coordinates and is
  // clipped to the clipper's window client area; the pixels also land in
  // that window. DDBLT_WAIT and DDBLT_ASYNC are accepted; other effects
  // give DDERR_UNSUPPORTED. A rectangle that is empty, inverted or outside
  // its surface (when not clipped) gives DDERR_INVALIDRECT.
  virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface4* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) = 0;
  // On the front of a flipping chain: after the vertical blank (unless
  // DDFLIP_NOVSYNC), the back buffer's memory becomes the front's and is
  // shown; the old front becomes the back buffer. override must be null or
  // the back buffer.
  virtual HRESULT Flip(IDirectDrawSurface4* override, DWORD flags) = 0;
  // The attached surface with all of caps' bits: the back buffer of a
  // flipping chain (DDSCAPS_BACKBUFFER) or an attached depth buffer
  // (DDSCAPS_ZBUFFER). The caller owns a new reference.
  virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** attached) = 0;
  // Attaches a depth buffer of the same size; this surface holds a reference.
  virtual HRESULT AddAttachedSurface(IDirectDrawSurface4* attached) = 0;
  // Detaches one explicitly attached surface, or all of them when null.
  virtual HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* attached) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  // Pixel access: fills lpSurface and lPitch (bytes per row) with the rest
  // of the description. rect, when given, makes lpSurface point at its
  // top-left pixel. One lock at a time (DDERR_SURFACEBUSY).
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Unlock(RECT* rect) = 0;
  // A GDI device context drawing on the surface (platform/win/Gdi.h); it
  // counts as a lock until ReleaseDC. A second GetDC gives
  // DDERR_DCALREADYCREATED.
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  // DDERR_SURFACELOST once the surface's memory is gone (a display mode
  // change, a full-screen window that lost the focus); Restore brings it
  // back (with undefined content), for a flipping chain through its front.
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;  // null detaches
  virtual HRESULT GetClipper(IDirectDrawClipper** clipper) = 0;
};

class IDirectDrawClipper : public IUnknown {
 public:
  // Clips to the window's client area, wherever the window is when a Blt
  // runs. flags must be 0.
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
  virtual HRESULT GetHWnd(HWND* window) = 0;
};

// Creates the DirectDraw object of the display. guid null (the primary
// display driver) or DDCREATE_EMULATIONONLY; DDCREATE_HARDWAREONLY gives
// DDERR_NODIRECTDRAWHW, any other driver DDERR_INVALIDDIRECTDRAWGUID.
extern "C" HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer);

}  // namespace kv
