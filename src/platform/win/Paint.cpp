// Update regions, painting and the device contexts of windows, and the
// window framebuffers the display layer draws into.
#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/GdiInternal.h"
#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv {

using namespace kv::win::detail;

namespace {

// A device context on wnd's client area in its top-level framebuffer, clipped
// to what of the client area its ancestors leave visible and to limit
// (client coordinates) when given.
HDC WindowDC(HWND wnd, const RECT* limit) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  WindowRecord* top = w ? reg.Find(reg.TopLevelOf(wnd)) : nullptr;
  if (!top || !top->framebuffer) return nullptr;
  const auto& fb = top->framebuffer;
  DcTarget target;
  target.pixels = kv::win::PixelTarget{fb->pixels.data(), fb->width, fb->height, fb->width * 4,
                                       kv::win::PixelLayout::XRGB8888};
  target.origin = reg.ClientOriginInTopLevel(wnd);
  target.clip = IntersectRects(reg.VisibleClientInTopLevel(wnd), RECT{0, 0, fb->width, fb->height});
  if (limit) {
    RECT l{limit->left + target.origin.x, limit->top + target.origin.y, limit->right + target.origin.x,
           limit->bottom + target.origin.y};
    target.clip = IntersectRects(target.clip, l);
  }
  target.keepAlive = fb;
  target.window = wnd;
  lock.unlock();
  return CreateDeviceContext(std::move(target));
}

// Marks part of a window for painting; the caller holds the registry lock.
void AddUpdate(WindowRecord& w, const RECT* rect, BOOL erase) {
  RECT area = rect ? IntersectRects(*rect, w.ClientRect()) : w.ClientRect();
  if (IsRectEmptyish(area)) return;
  w.update = w.update ? UnionRects(*w.update, area) : area;
  w.erase = w.erase || erase;
  ++w.updateSerial;
}

}  // namespace

BOOL InvalidateRect(HWND wnd, const RECT* rect, BOOL erase) {
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    if (!wnd) {
      // Every window, as Windows does for a null window.
      auto all = [&](auto&& self, HWND h) -> void {
        if (WindowRecord* w = reg.Find(h)) {
          AddUpdate(*w, nullptr, erase);
          for (HWND child : w->children) self(self, child);
        }
      };
      for (HWND top : reg.TopLevels()) all(all, top);
    } else {
      WindowRecord* w = reg.Find(wnd);
      if (!w) return FALSE;
      AddUpdate(*w, rect, erase);
    }
  }
  // The main thread may be waiting for messages; the new WM_PAINT is one.
  if (!kv::platform::IsMainThread()) ActiveBackend()->Wake();
  return TRUE;
}

BOOL ValidateRect(HWND wnd, const RECT* rect) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w) return FALSE;
  if (!w->update) return TRUE;
  RECT& u = *w->update;
  if (!rect || (rect->left <= u.left && rect->right >= u.right && rect->top <= u.top && rect->bottom >= u.bottom)) {
    w->update.reset();
    w->erase = false;
  } else if (rect->left <= u.left && rect->right >= u.right) {
    // A full-width band: what is left above or below it stays.
    if (rect->top <= u.top && rect->bottom > u.top) u.top = rect->bottom;
    else if (rect->bottom >= u.bottom && rect->top < u.bottom) u.bottom = rect->top;
  } else if (rect->top <= u.top && rect->bottom >= u.bottom) {
    if (rect->left <= u.left && rect->right > u.left) u.left = rect->right;
    else if (rect->right >= u.right && rect->left < u.right) u.right = rect->left;
  }
  if (w->update && IsRectEmptyish(*w->update)) w->update.reset();
  ++w->updateSerial;
  return TRUE;
}

BOOL GetUpdateRect(HWND wnd, RECT* rect, BOOL /*erase*/) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w) return FALSE;
  if (rect) *rect = w->update.value_or(RECT{});
  return w->update ? TRUE : FALSE;
}

HDC BeginPaint(HWND wnd, PAINTSTRUCT* paint) {
  if (!paint) return nullptr;
  RECT area;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return nullptr;
    area = w->update.value_or(RECT{});
    paint->fErase = w->erase ? TRUE : FALSE;
    w->update.reset();
    w->erase = false;
    ++w->updateSerial;
  }
  paint->rcPaint = area;
  paint->hdc = WindowDC(wnd, &area);
  return paint->hdc;
}

BOOL EndPaint(HWND wnd, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  if (paint->hdc) ReleaseDC(wnd, paint->hdc);
  if (kv::platform::IsMainThread()) kv::platform::PresentWindowPixels(wnd);
  return TRUE;
}

HDC GetDC(HWND wnd) { return WindowDC(wnd, nullptr); }

int ReleaseDC(HWND wnd, HDC dc) {
  if (!dc || WindowOfDC(dc) != wnd) return 0;
  return DeleteDC(dc) ? 1 : 0;
}

namespace platform {

bool LockWindowPixels(HWND wnd, WindowPixels* out) {
  if (!out) return false;
  auto& reg = kv::win::detail::WindowRegistry::Instance();
  auto lock = reg.Lock();
  auto* top = reg.Find(reg.TopLevelOf(wnd));
  if (!top || !top->framebuffer) return false;
  auto& fb = *top->framebuffer;
  out->pixels = fb.pixels.data();
  out->width = fb.width;
  out->height = fb.height;
  out->pitchPixels = fb.width;
  out->clientOrigin = reg.ClientOriginInTopLevel(wnd);
  return true;
}

void UnlockWindowPixels(HWND) {}

void PresentWindowPixels(HWND wnd) {
  if (!IsMainThread()) {
    kv::win::detail::RunOnMainThread([wnd] { PresentWindowPixels(wnd); });
    return;
  }
  std::shared_ptr<kv::win::detail::Framebuffer> fb;
  HWND top;
  {
    auto& reg = kv::win::detail::WindowRegistry::Instance();
    auto lock = reg.Lock();
    top = reg.TopLevelOf(wnd);
    auto* record = reg.Find(top);
    if (!record || !record->framebuffer) return;
    fb = record->framebuffer;
  }
  ActiveBackend()->Present(top, *fb);
}

}  // namespace platform

}  // namespace kv
