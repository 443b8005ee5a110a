// Blt, Flip and presentation: the parts of a surface that move pixels to
// other surfaces and to windows.
#include <mutex>
#include <utility>

#include "korvane3d/platform/ddraw/Clipper.h"
#include "korvane3d/platform/ddraw/DirectDrawObject.h"
#include "korvane3d/platform/ddraw/GlContext.h"
#include "korvane3d/platform/ddraw/Surface.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

namespace {

constexpr DWORD kBltFlagsAccepted = DDBLT_WAIT | DDBLT_ASYNC | DDBLT_DONOTWAIT | DDBLT_COLORFILL | DDBLT_DEPTHFILL;

// The window's client area in screen coordinates; empty when the window is gone.
RECT ClientOnScreen(HWND window) {
  RECT client;
  if (!IsWindow(window) || !GetClientRect(window, &client)) return RECT{};
  POINT topLeft{client.left, client.top}, bottomRight{client.right, client.bottom};
  ClientToScreen(window, &topLeft);
  ClientToScreen(window, &bottomRight);
  return RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

// A window's framebuffer as a pixel view, for the time it is locked.
class WindowPixelsLock {
 public:
  explicit WindowPixelsLock(HWND window) : window_(window) {
    locked_ = kv::platform::LockWindowPixels(window, &pixels_);
  }
  ~WindowPixelsLock() {
    if (locked_) {
      kv::platform::UnlockWindowPixels(window_);
      kv::platform::PresentWindowPixels(window_);
    }
  }
  WindowPixelsLock(const WindowPixelsLock&) = delete;
  WindowPixelsLock& operator=(const WindowPixelsLock&) = delete;

  bool Locked() const { return locked_ && pixels_.pixels; }
  PixelView View() const {
    return PixelView{reinterpret_cast<std::byte*>(pixels_.pixels), pixels_.width, pixels_.height,
                     pixels_.pitchPixels * 4, Format::Xrgb8888};
  }
  POINT ClientOrigin() const { return pixels_.clientOrigin; }

 private:
  HWND window_;
  kv::platform::WindowPixels pixels_;
  bool locked_ = false;
};

// The source and fill a Blt writes, applied to any destination view.
struct BltWork {
  const PixelView* src = nullptr;
  RECT srcRect{};
  DWORD fill = 0;  // raw pixel of the destination's format

  void Apply(const PixelView& dst, const RECT& destRect, const RECT& clip) const {
    if (src)
      StretchCopy(dst, destRect, clip, *src, srcRect);
    else
      Fill(dst, Intersect(Intersect(destRect, clip), dst.Bounds()), fill);
  }
};

}  // namespace

HRESULT SurfaceImpl::Blt(RECT* destRect, IDirectDrawSurface4* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) {
  if (HRESULT hooked = Display::Instance().TakeBltFailure(); FAILED(hooked)) return hooked;
  if (flags & ~kBltFlagsAccepted) return DDERR_UNSUPPORTED;
  const DWORD fillFlags = flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL);
  if (fillFlags == (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) return DDERR_INVALIDPARAMS;
  if (fillFlags && (src || !fx)) return DDERR_INVALIDPARAMS;
  if (!fillFlags && !src) return DDERR_INVALIDPARAMS;
  if ((fillFlags == DDBLT_DEPTHFILL) != IsDepth(spec_.format) && fillFlags) return DDERR_INVALIDSURFACETYPE;
  SurfaceImpl* source = src ? From(src) : nullptr;
  if (src && !source) return DDERR_INVALIDOBJECT;
  if (source && (IsDepth(source->spec_.format) || IsDepth(spec_.format)) && source->spec_.format != spec_.format)
    return DDERR_INVALIDPIXELFORMAT;

  // Window work is prepared before any surface lock is taken.
  HWND clipWindow = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (clipper_) clipWindow = clipper_->Window();
    if (clipper_ && !clipWindow) return DDERR_NOCLIPLIST;
  }
  const bool primary = spec_.role == SurfaceRole::Primary || spec_.role == SurfaceRole::FlipFront;
  if (!primary) clipWindow = nullptr;  // clippers act on the screen only
  if (clipWindow && !kv::platform::IsMainThread()) return DDERR_SURFACEBUSY;
  HWND fullScreenWindow = primary ? Display::Instance().ExclusiveWindow(owner_.Get()) : nullptr;

  RECT dest = destRect ? *destRect : View().Bounds();
  const DWORD fill = fillFlags == DDBLT_COLORFILL ? fx->dwFillColor : (fillFlags ? fx->dwFillDepth : 0);
  HRESULT hr;
  if (source && source != this) {
    std::scoped_lock locks(mutex_, source->mutex_);
    hr = BltLocked(dest, source, srcRect, fill, clipWindow);
  } else {
    std::lock_guard lock(mutex_);
    hr = BltLocked(dest, source, srcRect, fill, clipWindow);
  }
  if (SUCCEEDED(hr) && fullScreenWindow && !clipWindow) PresentFullScreen(fullScreenWindow);
  return hr;
}

HRESULT SurfaceImpl::BltLocked(const RECT& dest, SurfaceImpl* src, const RECT* srcRect, DWORD fill,
                               HWND window) {
  if (HRESULT hr = CheckUsable(); FAILED(hr)) return hr;
  if (src && src != this) {
    if (HRESULT hr = src->CheckUsable(); FAILED(hr)) return hr;
  }
  if (IsEmpty(dest)) return DDERR_INVALIDRECT;
  // A picture a window context keeps is read back first, unless it goes to
  // the window that context shows it in (the swap shows it there).
  if (src && !(window && src->gl_ && src->gl_->ShowsIn(window))) src->ReadGlPictureLocked();
  if (src != this) ReadGlPictureLocked();  // what the Blt leaves alone stays
  FinishPendingFill();
  if (src) src->FinishPendingFill();
  const RECT clientOnScreen = window ? ClientOnScreen(window) : RECT{};
  if (window && IsEmpty(clientOnScreen)) return DDERR_NOCLIPLIST;
  if (!window && !Contains(View().Bounds(), dest)) return DDERR_INVALIDRECT;

  BltWork work;
  PixelView srcView;
  if (src) {
    srcView = src->View();
    work.src = &srcView;
    work.srcRect = srcRect ? *srcRect : srcView.Bounds();
    if (IsEmpty(work.srcRect) || !Contains(srcView.Bounds(), work.srcRect)) return DDERR_INVALIDRECT;
  }
  work.fill = fill;

  const RECT clip = window ? clientOnScreen : View().Bounds();
  work.Apply(View(), dest, clip);
  UploadGlPictureLocked();
  if (window) {
    // The same pixels, in the window's own framebuffer. A colour fill is in
    // this surface's format; the window takes 0x00RRGGBB.
    WindowPixelsLock pixels(window);
    if (pixels.Locked()) {
      const LONG dx = pixels.ClientOrigin().x - clientOnScreen.left;
      const LONG dy = pixels.ClientOrigin().y - clientOnScreen.top;
      BltWork windowWork = work;
      if (!src) {
        std::byte raw[4] = {};
        StoreRaw(spec_.format, raw, fill);
        windowWork.fill = LoadXrgb(spec_.format, raw);
      }
      windowWork.Apply(pixels.View(), Offset(dest, dx, dy), Offset(clientOnScreen, dx, dy));
    }
  }
  return DD_OK;
}

HRESULT SurfaceImpl::Flip(IDirectDrawSurface4* override, DWORD flags) {
  if (HRESULT hooked = Display::Instance().TakeFlipFailure(); FAILED(hooked)) return hooked;
  if (spec_.role != SurfaceRole::FlipFront || !backBuffer_) return DDERR_NOTFLIPPABLE;
  if (override && From(override) != backBuffer_.Get()) return DDERR_INVALIDPARAMS;
  if (!kv::platform::IsMainThread()) return DDERR_SURFACEBUSY;
  {
    std::scoped_lock locks(mutex_, backBuffer_->mutex_);
    if (HRESULT hr = CheckUsable(); FAILED(hr)) return hr;
    if (HRESULT hr = backBuffer_->CheckUsable(); FAILED(hr)) return hr;
  }
  if (!(flags & DDFLIP_NOVSYNC)) Display::Instance().WaitForVerticalBlank(false);
  std::shared_ptr<GlContext> swap;
  {
    std::scoped_lock locks(mutex_, backBuffer_->mutex_);
    if (HRESULT hr = CheckUsable(); FAILED(hr)) return hr;
    if (HRESULT hr = backBuffer_->CheckUsable(); FAILED(hr)) return hr;
    swap = FullScreenContextLocked();
  }
  // A flip by swapping buffers shows the back buffer's picture without
  // exchanging anything: a GL swap leaves no old frame behind. The back
  // buffer then holds the frame just shown, not the one shown before (the
  // view clears and draws every frame anew, so nothing it draws changes).
  if (swap) {
    if (swap->FlipPicture()) return DD_OK;
    if (swap->Lost()) return DDERR_SURFACELOST;
    // Nothing drawn through the context yet: the memory is the frame.
  }
  {
    std::scoped_lock locks(mutex_, backBuffer_->mutex_);
    if (HRESULT hr = CheckUsable(); FAILED(hr)) return hr;
    if (HRESULT hr = backBuffer_->CheckUsable(); FAILED(hr)) return hr;
    FlipMemoryLocked();
  }
  if (HWND window = Display::Instance().ExclusiveWindow(owner_.Get())) PresentFullScreen(window);
  return DD_OK;
}

std::shared_ptr<GlContext> SurfaceImpl::FullScreenContextLocked() {
  const std::shared_ptr<GlContext>& drawing = backBuffer_->gl_;
  if (!drawing || !drawing->ShowsFullScreen()) return nullptr;
  if (gl_ != drawing) {
    gl_ = drawing;
    glHeld_ = 0;
  }
  return gl_;
}

void SurfaceImpl::FlipMemoryLocked() {
  memory_.Swap(backBuffer_->memory_);
  std::swap(pendingFill_, backBuffer_->pendingFill_);  // each describes its memory
  // Memory that changed hands holds neither surface's image.
  glHeld_ = 0;
  backBuffer_->glHeld_ = 0;
  if (gl_) {
    // A full-screen context lays the frame it keeps over the window: the
    // frame now shown becomes that frame.
    FinishPendingFill();
    UploadGlPictureLocked();
  }
}

// Shows this primary's pixels in the exclusive window, scaled to its client
// area: how the screen looks in full screen.
void SurfaceImpl::PresentFullScreen(HWND window) {
  if (!kv::platform::IsMainThread()) return;
  RECT client;
  if (!GetClientRect(window, &client) || IsEmpty(client)) return;
  std::lock_guard lock(mutex_);
  if (FAILED(CheckUsable())) return;
  FinishPendingFill();
  WindowPixelsLock pixels(window);
  if (!pixels.Locked()) return;
  const RECT target = Offset(client, pixels.ClientOrigin().x, pixels.ClientOrigin().y);
  StretchCopy(pixels.View(), target, target, View(), View().Bounds());
}

}  // namespace kv::ddraw
