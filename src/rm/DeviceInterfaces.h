// The retained-mode device, viewport and pick-result interfaces under their
// Windows names. A device draws into the render target of a Direct3D device
// through the software rasterizer; a viewport is a rectangle of a device seen
// from a camera frame. Every method takes the engine lock; nothing throws.
#pragma once

#include "korvane3d/rm/D3DRM.h"

namespace kv {

class IDirect3DDevice2;

// The window-device interface of a device (Windows' published identifier).
inline constexpr IID IID_IDirect3DRMWinDevice =
    MakeGuid(0xc5016cc0, 0xd273, 0x11ce, 0xac, 0x48, 0x00, 0x00, 0xc0, 0x38, 0x25, 0xa1);

// RenderStateChange: the one render state the device takes, and its values.
inline constexpr DWORD D3DRENDERSTATE_CULLMODE = 22;
inline constexpr DWORD D3DCULL_NONE = 1;
inline constexpr DWORD D3DCULL_CW = 2;
inline constexpr DWORD D3DCULL_CCW = 3;

struct D3DRMPICKDESC {
  ULONG ulFaceIdx = 0;
  LONG lGroupIdx = 0;
  D3DVECTOR vPosition;  // world coordinates of the hit
};

class IDirect3DRMDevice3 : public IDirect3DRMObject {
 public:
  // Shade, light and fill fields (D3DRMRENDER_*); each visual draws with the
  // lower of the device's and its own setting per field.
  virtual HRESULT SetQuality(D3DRMRENDERQUALITY quality) = 0;
  virtual D3DRMRENDERQUALITY GetQuality() = 0;
  virtual HRESULT SetTextureQuality(D3DRMTEXTUREQUALITY quality) = 0;
  virtual D3DRMTEXTUREQUALITY GetTextureQuality() = 0;
  virtual HRESULT SetDither(BOOL dither) = 0;
  virtual BOOL GetDither() = 0;
  virtual HRESULT SetRenderMode(DWORD flags) = 0;
  virtual DWORD GetRenderMode() = 0;
  virtual HRESULT SetBufferCount(DWORD count) = 0;
  virtual DWORD GetBufferCount() = 0;
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
  // Finishes the frame: every pixel drawn so far is in the render target.
  virtual HRESULT Update() = 0;
  virtual HRESULT RenderStateChange(DWORD state, DWORD value, DWORD flags) = 0;
};
using IDirect3DRMDevice = IDirect3DRMDevice3;
using IDirect3DRMDevice2 = IDirect3DRMDevice3;

class IDirect3DRMWinDevice : public IUnknown {
 public:
  // Repaints after a paint message; the picture is already in the target,
  // so there is nothing to redraw.
  virtual HRESULT HandlePaint(HDC dc) = 0;
};

class IDirect3DRMPickedArray : public IUnknown {
 public:
  virtual DWORD GetSize() = 0;
  // The visual hit, the frames from the scene root down to the frame holding
  // it, and where it was hit. Any out pointer may be null.
  virtual HRESULT GetPick(DWORD index, IDirect3DRMVisual** visual, IDirect3DRMFrameArray** frames,
                          D3DRMPICKDESC* desc) = 0;
};

class IDirect3DRMViewport2 : public IDirect3DRMObject {
 public:
  virtual HRESULT Clear(DWORD flags) = 0;
  virtual HRESULT Render(IDirect3DRMFrame3* scene) = 0;
  virtual HRESULT Pick(LONG x, LONG y, IDirect3DRMPickedArray** picked) = 0;
  // World point -> (X·w, Y·w, depth·w, w), X and Y device pixels (y down).
  virtual HRESULT Transform(D3DRMVECTOR4D* screen, D3DVECTOR* world) = 0;
  virtual HRESULT InverseTransform(D3DVECTOR* world, D3DRMVECTOR4D* screen) = 0;
  virtual HRESULT SetBack(D3DVALUE back) = 0;
  virtual D3DVALUE GetBack() = 0;
  virtual HRESULT SetFront(D3DVALUE front) = 0;
  virtual D3DVALUE GetFront() = 0;
  virtual HRESULT SetField(D3DVALUE field) = 0;
  virtual D3DVALUE GetField() = 0;
  virtual HRESULT SetPlane(D3DVALUE left, D3DVALUE right, D3DVALUE bottom, D3DVALUE top) = 0;
  virtual HRESULT GetPlane(D3DVALUE* left, D3DVALUE* right, D3DVALUE* bottom, D3DVALUE* top) = 0;
  virtual HRESULT SetProjection(D3DRMPROJECTIONTYPE type) = 0;
  virtual D3DRMPROJECTIONTYPE GetProjection() = 0;
  virtual HRESULT SetUniformScaling(BOOL uniform) = 0;
  virtual BOOL GetUniformScaling() = 0;
  virtual HRESULT SetCamera(IDirect3DRMFrame3* camera) = 0;
  virtual HRESULT GetCamera(IDirect3DRMFrame3** camera) = 0;
  virtual HRESULT GetDevice(IDirect3DRMDevice3** device) = 0;
  virtual LONG GetX() = 0;
  virtual LONG GetY() = 0;
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
};
using IDirect3DRMViewport = IDirect3DRMViewport2;

}  // namespace kv
