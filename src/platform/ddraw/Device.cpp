// The Direct3D side of the DirectDraw object (depth formats, devices) and
// the device object.
#include "korvane3d/platform/ddraw/Device.h"

#include <new>

#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/platform/ddraw/RenderTarget.h"
#include "korvane3d/platform/ddraw/Surface.h"
#include "korvane3d/platform/win/Backend.h"

namespace kv::ddraw {

namespace {
// The depth formats of both devices, in the order they are offered.
constexpr Format kDepthFormats[] = {Format::Z16, Format::Z24, Format::Z24S8, Format::Z32};

// The hardware device exists when OpenGL can start and (unless KV_DRIVER
// asks for it anyway) its renderer is not one of Mesa's software ones.
bool KnownDevice(REFCLSID device) {
  if (device == IID_IDirect3DRGBDevice) return true;
  return device == IID_IDirect3DHALDevice && HardwareDeviceOffered();
}
}  // namespace

// A 32-bit target on SDL draws through a context of the window it is shown
// in and presents by swapping buffers: a windowed target through the normal
// window's context, the back buffer of an exclusive owner's flip chain
// through the full-screen window's. Anything else (other formats, and a
// window whose context cannot be made) draws off screen and reads the
// picture back.
std::shared_ptr<GlContext> DirectDrawObject::ContextFor(SurfaceImpl* target) {
  std::string why;
  if (target->PixelFormat() == Format::Xrgb8888 &&
      kv::platform::CurrentBackend() == kv::platform::BackendKind::Sdl) {
    std::shared_ptr<GlContext> gl;
    if (target->Role() == SurfaceRole::BackBuffer) {
      if (HWND exclusive = Display::Instance().ExclusiveWindow(this)) gl = GlContext::CreateForFullScreen(exclusive, why);
    } else if (HWND window = NormalWindow()) {
      gl = GlContext::CreateForWindow(window, why);
    }
    if (gl) {
      target->FollowGlPicture(gl);
      return gl;
    }
  }
  return GlContext::CreateOffscreen(why);
}

HRESULT DirectDrawObject::EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                             LPVOID context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!KnownDevice(device)) return D3DERR_INVALID_DEVICE;
  for (Format format : kDepthFormats) {
    DDPIXELFORMAT pf = ToPixelFormat(format);
    if (callback(&pf, context) == D3DENUMRET_CANCEL) break;
  }
  return D3D_OK;
}

HRESULT DirectDrawObject::CreateDevice(REFCLSID device, IDirectDrawSurface4* target, IDirect3DDevice3** out,
                                       IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!KnownDevice(device)) return D3DERR_INVALID_DEVICE;
  if (!target) return DDERR_INVALIDPARAMS;
  SurfaceImpl* surface = SurfaceImpl::From(target);
  if (!surface) return DDERR_INVALIDOBJECT;
  if (surface->Owner() != this) return DDERR_DEVICEDOESNTOWNSURFACE;
  if (surface->IsLost() != DD_OK) return DDERR_SURFACELOST;
  if (!(surface->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
  if (IsDepth(surface->PixelFormat()) || surface->PixelFormat() == Format::Pal8) return DDERR_INVALIDPIXELFORMAT;
  const bool hardware = device == IID_IDirect3DHALDevice;
  // The software rasterizer reads and writes the depth buffer directly; the
  // hardware device keeps its depth with its framebuffer.
  if (!hardware && surface->HasDepthInVideoMemory()) return D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY;
  std::shared_ptr<GlContext> gl;
  if (hardware) {
    gl = ContextFor(surface);
    if (!gl) return D3DERR_INVALID_DEVICE;
  }
  auto* made = new (std::nothrow) Direct3DDevice(surface, std::move(gl));
  if (!made) return DDERR_OUTOFMEMORY;
  *out = made;
  return D3D_OK;
}

HRESULT Direct3DDevice::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirect3DDevice3)
    *object = static_cast<IDirect3DDevice3*>(this);
  else if (riid == IID_IDirect3DDevice2)
    *object = static_cast<IDirect3DDevice2*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT Direct3DDevice::GetRenderTarget(IDirectDrawSurface4** target) {
  if (!target) return DDERR_INVALIDPARAMS;
  target_->AddRef();
  *target = target_.Get();
  return D3D_OK;
}

std::shared_ptr<GlContext> GlContextOf(IDirect3DDevice2* device) {
  auto* d3d = dynamic_cast<Direct3DDevice*>(device);
  return d3d ? d3d->Gl() : nullptr;
}

}  // namespace kv::ddraw
