// Window and client rectangles, coordinate conversion, moving and sizing.
#include <algorithm>

#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv {

using namespace kv::win::detail;

RECT BoundedWindowRect(int x, int y, int width, int height) {
  x = std::clamp(x, kMinWindowCoordinate, kMaxWindowCoordinate);
  y = std::clamp(y, kMinWindowCoordinate, kMaxWindowCoordinate);
  width = std::clamp(width, 0, kMaxWindowSide);
  height = std::clamp(height, 0, kMaxWindowSide);
  if (width > 0 && std::int64_t{width} * height > kMaxWindowPixels) {
    height = static_cast<int>(kMaxWindowPixels / width);
  }
  return RECT{x, y, x + width, y + height};
}

BOOL GetWindowRect(HWND wnd, RECT* rect) {
  if (!rect) return FALSE;
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w) return FALSE;
  POINT o = reg.ClientOriginOnScreen(wnd);
  *rect = RECT{o.x, o.y, o.x + w->Width(), o.y + w->Height()};
  return TRUE;
}

BOOL GetClientRect(HWND wnd, RECT* rect) {
  if (!rect) return FALSE;
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w) return FALSE;
  *rect = w->ClientRect();
  return TRUE;
}

BOOL ClientToScreen(HWND wnd, POINT* point) {
  if (!point) return FALSE;
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  if (!reg.Find(wnd)) return FALSE;
  POINT o = reg.ClientOriginOnScreen(wnd);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND wnd, POINT* point) {
  if (!point) return FALSE;
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  if (!reg.Find(wnd)) return FALSE;
  POINT o = reg.ClientOriginOnScreen(wnd);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

namespace {

struct Placement {
  RECT before;
  RECT after;
  bool topLevel = false;
  bool exists = false;
};

// Stores a new rectangle; a new size also gives a top-level window a
// framebuffer of that size and invalidates the whole client area.
Placement ApplyRect(HWND wnd, const RECT& wanted) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  Placement p;
  WindowRecord* w = reg.Find(wnd);
  if (!w) return p;
  p.exists = true;
  p.before = w->rect;
  p.after = wanted;
  p.topLevel = !w->IsChild();
  w->rect = wanted;
  bool sized = w->Width() != p.before.right - p.before.left || w->Height() != p.before.bottom - p.before.top;
  if (sized && w->framebuffer) w->framebuffer = w->framebuffer->Resized(w->Width(), w->Height());
  if (p.before != p.after && w->visible) {
    w->update = w->ClientRect();
    w->erase = true;
    ++w->updateSerial;
  }
  return p;
}

void SendPlacementMessages(HWND wnd, const Placement& p) {
  int w = p.after.right - p.after.left;
  int h = p.after.bottom - p.after.top;
  if (w != p.before.right - p.before.left || h != p.before.bottom - p.before.top) {
    CallWindowProcedure(wnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w, h));
  }
  if (p.after.left != p.before.left || p.after.top != p.before.top) {
    CallWindowProcedure(wnd, WM_MOVE, 0, MAKELPARAM(p.after.left, p.after.top));
  }
}

BOOL SetWindowPosOnMainThread(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  RECT current;
  bool topLevel;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return FALSE;
    current = w->rect;
    topLevel = !w->IsChild();
  }
  const RECT wanted = BoundedWindowRect((flags & SWP_NOMOVE) ? current.left : x, (flags & SWP_NOMOVE) ? current.top : y,
                                        (flags & SWP_NOSIZE) ? current.right - current.left : cx,
                                        (flags & SWP_NOSIZE) ? current.bottom - current.top : cy);
  auto backend = ActiveBackend();
  if (topLevel && !(flags & SWP_NOZORDER) && (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
    bool topmost = insertAfter == HWND_TOPMOST;
    {
      auto& reg = WindowRegistry::Instance();
      auto lock = reg.Lock();
      if (WindowRecord* w = reg.Find(wnd)) w->topmost = topmost;
    }
    backend->TopLevelTopmost(wnd, topmost);
  }
  Placement p = ApplyRect(wnd, wanted);
  if (!p.exists) return FALSE;
  if (topLevel && p.before != p.after) backend->TopLevelPlaced(wnd, p.after);
  SendPlacementMessages(wnd, p);
  if (flags & SWP_SHOWWINDOW) ShowWindow(wnd, SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(wnd, SW_HIDE);
  return IsWindow(wnd);
}

}  // namespace

namespace win::detail {

void NativeWindowResized(HWND wnd, int clientWidth, int clientHeight) {
  RECT wanted;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return;
    wanted = BoundedWindowRect(w->rect.left, w->rect.top, clientWidth, clientHeight);
  }
  SendPlacementMessages(wnd, ApplyRect(wnd, wanted));
}

void NativeWindowMoved(HWND wnd, int screenX, int screenY) {
  RECT wanted;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return;
    wanted = BoundedWindowRect(screenX, screenY, w->Width(), w->Height());
  }
  Placement p = ApplyRect(wnd, wanted);
  SendPlacementMessages(wnd, p);
}

}  // namespace win::detail

BOOL SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (kv::platform::IsMainThread()) return SetWindowPosOnMainThread(wnd, insertAfter, x, y, cx, cy, flags);
  BOOL result = FALSE;
  RunOnMainThread([&] { result = SetWindowPosOnMainThread(wnd, insertAfter, x, y, cx, cy, flags); });
  return result;
}

BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL /*repaint*/) {
  return SetWindowPos(wnd, HWND_TOP, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kv
