#include "korvane3d/rm/Device.h"

#include <optional>

#include "korvane3d/platform/ddraw/RenderTarget.h"
#include "korvane3d/rm/gl/GlRenderer.h"
#include "korvane3d/rm/Root.h"

namespace kv::rm {

namespace kr = kv::raster;

namespace {

bool ValidQuality(D3DRMRENDERQUALITY q) {
  return (q & ~(D3DRMSHADE_MASK | D3DRMLIGHT_MASK | D3DRMFILL_MASK)) == 0 && (q & D3DRMSHADE_MASK) <= D3DRMSHADE_PHONG &&
         ((q & D3DRMLIGHT_MASK) == D3DRMLIGHT_OFF || (q & D3DRMLIGHT_MASK) == D3DRMLIGHT_ON) &&
         (q & D3DRMFILL_MASK) <= D3DRMFILL_SOLID && (q & D3DRMFILL_MASK) % D3DRMFILL_WIREFRAME == 0;
}

// The rasterizer's name for a locked surface's colour layout, or false for
// one it cannot draw into.
bool TargetFormat(const kv::ddraw::SurfaceMemory& color, kr::PixelFormat& format) {
  switch (color.bytesPerPixel) {
    case 4: format = kr::PixelFormat::Xrgb8888; return true;
    case 3: format = kr::PixelFormat::Rgb888; return true;
    case 2:
      format = color.format.dwRBitMask == 0x7C00 ? kr::PixelFormat::Rgb555 : kr::PixelFormat::Rgb565;
      return true;
    default: return false;
  }
}

// A fill of a 32-bit surface and a colour clear of the rasterizer are the
// same thing: the raw pixel is the colour.
kr::ColorClear ToColorClear(const kv::ddraw::ColorFill& fill) {
  const RECT& a = fill.area;
  return {{static_cast<int>(a.left), static_cast<int>(a.top), static_cast<int>(a.right - a.left),
           static_cast<int>(a.bottom - a.top)},
          fill.raw};
}

kv::ddraw::ColorFill ToColorFill(const kr::ColorClear& clear) {
  const kr::Rect& a = clear.area;
  return {RECT{a.x, a.y, a.x + a.width, a.y + a.height}, clear.color & 0xFFFFFFu};
}

}  // namespace

HRESULT Root::CreateDeviceFromD3D(IDirect3D2* d3d, IDirect3DDevice2* d3dDevice, IDirect3DRMDevice3** device) {
  if (!device) return D3DRMERR_BADVALUE;
  *device = nullptr;
  if (!d3d || !d3dDevice) return D3DRMERR_BADVALUE;
  ComPtr<Device> created;
  HRESULT hr = Device::Create(this, d3dDevice, created);
  if (FAILED(hr)) return hr;
  *device = created.Detach();
  return D3DRM_OK;
}

HRESULT Device::Create(Root* root, IDirect3DDevice2* d3dDevice, ComPtr<Device>& out) {
  ComPtr<IDirectDrawSurface4> target;
  if (FAILED(d3dDevice->GetRenderTarget(target.ReleaseAndGetAddressOf())) || !target) return D3DRMERR_BADDEVICE;
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  if (FAILED(target->GetSurfaceDesc(&desc))) return D3DRMERR_BADDEVICE;
  if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > static_cast<DWORD>(kr::kMaxTargetSide) ||
      desc.dwHeight > static_cast<DWORD>(kr::kMaxTargetSide))
    return D3DRMERR_BADDEVICE;
  ComPtr<Device> device = ComPtr<Device>::Adopt(new Device);
  device->root_ = ComPtr<Root>(root);
  device->d3dDevice_ = ComPtr<IDirect3DDevice2>(d3dDevice);
  device->width_ = desc.dwWidth;
  device->height_ = desc.dwHeight;
  // A hardware device draws through OpenGL; should its shaders not build,
  // it draws with the software rasterizer into the same target instead.
  kr::RasterizerOptions options;
  if (std::shared_ptr<kv::ddraw::GlContext> gl = kv::ddraw::GlContextOf(d3dDevice)) {
    std::string why;
    const bool toWindow = gl->DrawsToWindow();
    options.sink = kv::glraster::CreateGlSink(std::move(gl), why);
    device->glDrawsToWindow_ = options.sink && toWindow;
  }
  device->drawsWithGl_ = options.sink != nullptr;
  device->raster_ = std::make_unique<kr::Rasterizer>(options);
  out = std::move(device);
  return D3DRM_OK;
}

Device* Device::From(IUnknown* object) { return dynamic_cast<Device*>(object); }

HRESULT Device::QueryInterface(REFIID iid, void** out) {
  if (out && iid == IID_IDirect3DRMWinDevice) {
    AddRef();
    *out = static_cast<IDirect3DRMWinDevice*>(&winDevice_);
    return S_OK;
  }
  return AnswerQuery(iid, out, {IID_IDirect3DRMObject, IID_IDirect3DRMDevice, IID_IDirect3DRMDevice3},
                     static_cast<IDirect3DRMDevice3*>(this));
}

HRESULT Device::SetQuality(D3DRMRENDERQUALITY quality) {
  if (!ValidQuality(quality)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  settings_.quality = quality;
  return D3DRM_OK;
}
D3DRMRENDERQUALITY Device::GetQuality() {
  EngineLock lock;
  return settings_.quality;
}

HRESULT Device::SetTextureQuality(D3DRMTEXTUREQUALITY quality) {
  if (quality > D3DRMTEXTURE_LINEARMIPLINEAR) return D3DRMERR_BADVALUE;
  EngineLock lock;
  settings_.textureQuality = quality;
  return D3DRM_OK;
}
D3DRMTEXTUREQUALITY Device::GetTextureQuality() {
  EngineLock lock;
  return settings_.textureQuality;
}

HRESULT Device::SetDither(BOOL dither) {
  EngineLock lock;
  settings_.dither = dither != FALSE;
  return D3DRM_OK;
}
BOOL Device::GetDither() {
  EngineLock lock;
  return settings_.dither ? TRUE : FALSE;
}

HRESULT Device::SetRenderMode(DWORD flags) {
  constexpr DWORD kKnown = D3DRMRENDERMODE_BLENDEDTRANSPARENCY | D3DRMRENDERMODE_SORTEDTRANSPARENCY |
                           D3DRMRENDERMODE_LIGHTINMODELSPACE | D3DRMRENDERMODE_VIEWDEPENDENTSPECULAR |
                           D3DRMRENDERMODE_DISABLESORTEDALPHAZWRITE;
  if (flags & ~kKnown) return D3DRMERR_BADVALUE;
  EngineLock lock;
  settings_.renderMode = flags;
  return D3DRM_OK;
}
DWORD Device::GetRenderMode() {
  EngineLock lock;
  return settings_.renderMode;
}

HRESULT Device::SetBufferCount(DWORD count) {
  if (count < 1 || count > 2) return D3DRMERR_BADVALUE;
  EngineLock lock;
  settings_.bufferCount = count;
  return D3DRM_OK;
}
DWORD Device::GetBufferCount() {
  EngineLock lock;
  return settings_.bufferCount;
}

DWORD Device::GetWidth() { return width_; }
DWORD Device::GetHeight() { return height_; }

// Every Clear and Render finishes its own rasterizer frame, so the picture
// is complete in the target by the time they return.
HRESULT Device::Update() { return D3DRM_OK; }

HRESULT Device::RenderStateChange(DWORD state, DWORD value, DWORD) {
  if (state != D3DRENDERSTATE_CULLMODE) return D3DRMERR_BADVALUE;
  if (value < D3DCULL_NONE || value > D3DCULL_CCW) return D3DRMERR_BADVALUE;
  EngineLock lock;
  settings_.cullMode = value;
  return D3DRM_OK;
}

kr::FrameStats Device::LastFrameStats() const {
  EngineLock lock;
  return raster_->LastFrameStats();
}

HRESULT Device::WinDevice::HandlePaint(HDC) { return D3DRM_OK; }

HRESULT Device::DrawFrame(const kr::View& view, const kr::FrameState& state, FrameBody body, void* context) {
  kv::ddraw::RenderTargetLock lock(d3dDevice_.Get());
  if (FAILED(lock.Result())) return lock.Result();
  const kv::ddraw::SurfaceMemory& color = lock.Color();
  kr::Target target;
  if (!TargetFormat(color, target.format)) return D3DRMERR_BADDEVICE;
  target.pixels = color.pixels;
  target.width = color.width;
  target.height = color.height;
  target.pitch = color.pitchBytes;
  const kv::ddraw::SurfaceMemory* depth = lock.Depth();
  target.depthFormat = depth && depth->bytesPerPixel == 2 ? kr::DepthFormat::Unorm16 : kr::DepthFormat::Float32;
  // Drawing into 32-bit memory hands colour clears between frames through
  // the surface: a frame that only clears leaves the fill there, and the
  // next frame clears as it draws. Not where GL shows its picture in a
  // window: the surface's fill would not reach the picture shown.
  const bool handsOverClears = target.format == kr::PixelFormat::Xrgb8888 && !glDrawsToWindow_;
  target.mayLeaveColorClear = handsOverClears;
  std::optional<kv::ddraw::ColorFill> fill = lock.TakePendingFill();
  if (fill && !handsOverClears) {
    lock.FillNow(*fill);
    fill.reset();
  }
  kr::Result r = raster_->BeginFrame(target, view, state);
  if (!r) {
    if (fill) lock.LeaveFill(*fill);
    return D3DRMERR_BADVALUE;
  }
  if (fill && !raster_->AdoptColorClear(ToColorClear(*fill))) lock.FillNow(*fill);
  r = body(context, *raster_);
  kr::Result end = raster_->EndFrame();
  if (std::optional<kr::ColorClear> left = raster_->TakeColorClearLeft()) lock.LeaveFill(ToColorFill(*left));
  return r && end ? D3DRM_OK : D3DRMERR_BADVALUE;
}

}  // namespace kv::rm
