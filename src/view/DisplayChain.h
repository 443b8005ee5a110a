// The view's chain of display objects: the DirectDraw object with its
// Direct3D interfaces (made once), and the primary surface, back surface,
// depth buffer, Direct3D device, retained-mode device and viewport that each
// viewport change releases and builds again.
//
// The members are declared in creation order, so that the language releases
// them in reverse (the viewport first, the DirectDraw object last), both when
// a change releases the surfaces and when the chain goes with its view.
//
// Each build step stores its result in LastDXResult; a failure is reported
// (unforced) with the step's context text and ends the step with the
// reporter's result (std::optional<bool> set), leaving what was made so far
// for the next change to release. Empty means the step succeeded.
//
// Threads: main thread only. The render loop draws with references it takes
// on the main thread (FrameTargets), never with the chain itself.
#pragma once

#include <optional>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/DDraw.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/DeviceInterfaces.h"

namespace kv {

using ChainStep = std::optional<bool>;

class DisplayChain {
 public:
  DisplayChain() = default;
  DisplayChain(const DisplayChain&) = delete;
  DisplayChain& operator=(const DisplayChain&) = delete;

  // ---- Made once --------------------------------------------------------------------
  // Creates the DirectDraw object and its Direct3D interfaces when missing.
  ChainStep CreateDirectDraw();
  // Picks the driver (hardware unless forceSoftware or none is offered) and
  // the depth format it offers last; `hardware` reports the choice.
  ChainStep ChooseDriver(bool forceSoftware, bool& hardware);
  IDirectDraw4* DirectDraw() const { return directDraw_.Get(); }

  // ---- Rebuilt by each change ---------------------------------------------------------
  // Releases the viewport, the devices, the depth buffer, the back surface
  // and the primary, in that order.
  void ReleaseSurfaces();
  // Windowed: a primary clipped to `window` and an off-screen back surface
  // of the client size.
  ChainStep BuildWindowed(HWND window, int width, int height);
  // Full screen: the exclusive level for `window` (none: the level the last
  // call left counts), the display mode, and a flipping primary with one
  // back buffer (video memory on the hardware driver, falling back once to
  // system memory).
  ChainStep BuildFullScreen(HWND window, int width, int height, int bitsPerPixel, bool hardware);
  // The depth buffer (width x height), the devices on the back surface and
  // the viewport through `camera`.
  ChainStep BuildDevice(IDirect3DRMFrame3* camera, int depthWidth, int depthHeight, bool hardware, bool fullScreen);

  IDirectDrawClipper* Clipper() const { return clipper_.Get(); }
  IDirectDrawSurface4* Primary() const { return primary_.Get(); }
  IDirectDrawSurface4* Back() const { return back_.Get(); }
  IDirectDrawSurface4* DepthBuffer() const { return zBuffer_.Get(); }
  IDirect3DRMDevice3* Device() const { return rmDevice_.Get(); }
  IDirect3DRMViewport2* Viewport() const { return viewport_.Get(); }
  // The window a windowed chain draws into (its clipper's); null for a
  // full-screen chain or none.
  HWND Window() const { return window_; }

  // ---- Presentation -----------------------------------------------------------------------
  // Whether a surface of the chain has lost its memory.
  bool AnySurfaceLost() const;
  // Restores every lost surface (a full-screen back buffer comes back with
  // its primary); the first failure, else DD_OK.
  HRESULT RestoreLostSurfaces();

 private:
  // Declared in creation order: released in reverse.
  ComPtr<IDirectDraw4> directDraw_;
  ComPtr<IDirect3D3> direct3D3_;
  ComPtr<IDirect3D2> direct3D2_;
  ComPtr<IDirect3D> direct3D_;
  ComPtr<IDirectDrawClipper> clipper_;  // never set: the windowed clipper belongs to the primary
  ComPtr<IDirectDrawSurface4> primary_;
  ComPtr<IDirectDrawSurface4> back_;
  ComPtr<IDirectDrawSurface4> zBuffer_;
  ComPtr<IDirect3DDevice3> d3dDevice3_;
  ComPtr<IDirect3DDevice2> d3dDevice2_;
  ComPtr<IDirect3DRMDevice3> rmDevice_;
  ComPtr<IDirect3DRMViewport2> viewport_;

  DDPIXELFORMAT zBufferFormat_{};
  bool videoMemoryPrimary_ = false;
  bool fullScreen_ = false;
  HWND window_ = nullptr;
};

}  // namespace kv
