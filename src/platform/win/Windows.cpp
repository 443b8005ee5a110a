// Window creation, destruction, the tree, text and visibility. Changes are
// made on the main thread (calls from other threads are carried over to it),
// so window procedures always run there.
#include <algorithm>
#include <vector>

#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv {

using namespace kv::win::detail;

namespace win::detail {

LRESULT CallWindowProcedure(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<const WindowProc> proc;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return 0;
    proc = w->proc;
  }
  return proc && *proc ? (*proc)(wnd, msg, wParam, lParam) : 0;
}

}  // namespace win::detail

namespace {

// Runs a window call on the main thread, carrying it over when needed.
template <class Fn>
auto OnMainThread(Fn&& fn) -> decltype(fn()) {
  if (kv::platform::IsMainThread()) return fn();
  decltype(fn()) result{};
  RunOnMainThread([&] { result = fn(); });
  return result;
}

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

void SendSizeAndMove(HWND wnd, const RECT& rect) {
  CallWindowProcedure(wnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
  CallWindowProcedure(wnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
}

HWND CreateOnMainThread(DWORD exStyle, LPCSTR caption, DWORD style, int x, int y, int width, int height,
                        HWND parent, WindowProc proc) {
  auto& reg = WindowRegistry::Instance();
  auto backend = ActiveBackend();
  HWND wnd = nullptr;
  WindowRecord record;
  {
    auto lock = reg.Lock();
    bool child = (style & WS_CHILD) != 0;
    if (child && !reg.Find(parent)) return nullptr;  // a child needs a live parent
    if (!child && parent && !reg.Find(parent)) return nullptr;
    if (width == CW_USEDEFAULT) width = child ? 0 : kDefaultWidth;
    if (height == CW_USEDEFAULT) height = child ? 0 : kDefaultHeight;
    if (x == CW_USEDEFAULT) x = 0;
    if (y == CW_USEDEFAULT) y = 0;
    const RECT bounded = BoundedWindowRect(x, y, width, height);
    x = bounded.left;
    y = bounded.top;
    width = bounded.right - bounded.left;
    height = bounded.bottom - bounded.top;
    record.parent = child ? parent : nullptr;
    record.owner = child ? nullptr : parent;
    record.style = style;
    record.exStyle = exStyle;
    record.text = caption ? caption : "";
    record.rect = RECT{x, y, x + width, y + height};
    record.visible = (style & WS_VISIBLE) != 0;
    record.proc = std::make_shared<const WindowProc>(std::move(proc));
    if (record.visible) record.update = record.ClientRect();
    if (!child) record.framebuffer = std::make_shared<Framebuffer>(width, height);
    RECT rect = record.rect;
    std::string text = record.text;
    bool visible = record.visible;
    wnd = reg.Add(std::move(record));
    lock.unlock();
    if (!child) backend->TopLevelCreated(wnd, rect, text, visible);
  }
  if (CallWindowProcedure(wnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(wnd);
    return nullptr;
  }
  RECT rect;
  {
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return nullptr;  // destroyed by its own WM_CREATE handler
    rect = w->rect;
  }
  SendSizeAndMove(wnd, rect);
  return IsWindow(wnd) ? wnd : nullptr;
}

BOOL DestroyOnMainThread(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  std::vector<HWND> children;
  bool topLevel = false;
  {
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    children = w->children;
    topLevel = !w->IsChild();
  }
  // Children go first, so a window's WM_DESTROY sees no children left.
  for (auto it = children.rbegin(); it != children.rend(); ++it) DestroyOnMainThread(*it);
  CallWindowProcedure(wnd, WM_DESTROY, 0, 0);
  {
    auto lock = reg.Lock();
    for (HWND child : std::vector<HWND>(reg.Find(wnd) ? reg.Find(wnd)->children : std::vector<HWND>{})) {
      // Created by the WM_DESTROY handler itself: remove without messages.
      reg.Remove(child);
    }
    reg.Remove(wnd);
  }
  if (topLevel) ActiveBackend()->TopLevelDestroyed(wnd);
  return TRUE;
}

}  // namespace

namespace win::detail {

void DestroyAllWindows() {
  std::vector<HWND> tops;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    tops = reg.TopLevels();
  }
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) DestroyOnMainThread(*it);
}

}  // namespace win::detail

HWND CreateWindowExA(DWORD exStyle, LPCSTR caption, DWORD style, int x, int y, int width, int height, HWND parent,
                     WindowProc proc) {
  return OnMainThread([&] { return CreateOnMainThread(exStyle, caption, style, x, y, width, height, parent, proc); });
}

BOOL DestroyWindow(HWND wnd) {
  return OnMainThread([&] { return DestroyOnMainThread(wnd); });
}

BOOL IsWindow(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  return reg.Find(wnd) ? TRUE : FALSE;
}

HWND GetParent(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w) return nullptr;
  return w->IsChild() ? w->parent : w->owner;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  std::vector<HWND> descendants;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    if (!reg.Find(parent)) return FALSE;
    auto collect = [&](auto&& self, HWND wnd) -> void {
      if (WindowRecord* w = reg.Find(wnd))
        for (HWND child : w->children) {
          descendants.push_back(child);
          self(self, child);
        }
    };
    collect(collect, parent);
  }
  for (HWND child : descendants)
    if (IsWindow(child) && !proc(child, data)) break;
  return TRUE;
}

namespace {

// Turns a top-level window into a child of newParent, or a child into a
// top-level window (newParent null), keeping its rectangle's numbers.
HWND ReparentOnMainThread(HWND wnd, HWND newParent) {
  auto& reg = WindowRegistry::Instance();
  auto backend = ActiveBackend();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w || w->destroying) return nullptr;
  if (newParent && (!reg.Find(newParent) || newParent == wnd || reg.IsDescendant(wnd, newParent))) return nullptr;
  HWND old = w->IsChild() ? w->parent : nullptr;
  bool wasTop = !w->IsChild();
  reg.Relink(wnd, newParent);
  if (newParent) {
    w->style |= WS_CHILD;
    w->framebuffer.reset();
  } else {
    w->style &= ~WS_CHILD;
    w->framebuffer = std::make_shared<Framebuffer>(w->Width(), w->Height());
  }
  RECT rect = w->rect;
  std::string text = w->text;
  bool visible = w->visible;
  bool nowTop = !w->IsChild();
  if (w->visible) w->update = w->ClientRect(), ++w->updateSerial;
  lock.unlock();
  if (wasTop && !nowTop) backend->TopLevelDestroyed(wnd);
  if (!wasTop && nowTop) backend->TopLevelCreated(wnd, rect, text, visible);
  return old;
}

}  // namespace

HWND SetParent(HWND wnd, HWND newParent) {
  return OnMainThread([&] { return ReparentOnMainThread(wnd, newParent); });
}

BOOL SetWindowTextA(HWND wnd, LPCSTR text) {
  return OnMainThread([&]() -> BOOL {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w) return FALSE;
    w->text = text ? text : "";
    bool top = !w->IsChild();
    std::string copy = w->text;
    lock.unlock();
    if (top) ActiveBackend()->TopLevelCaption(wnd, copy);
    return TRUE;
  });
}

std::string GetWindowTextA(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  return w ? w->text : std::string();
}

namespace win::detail {

void NativeWindowShown(HWND wnd, bool visible) {
  auto& reg = WindowRegistry::Instance();
  {
    auto lock = reg.Lock();
    WindowRecord* w = reg.Find(wnd);
    if (!w || w->visible == visible) return;
    w->visible = visible;
    if (visible) w->update = w->ClientRect(), w->erase = true, ++w->updateSerial;
  }
  CallWindowProcedure(wnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
}

}  // namespace win::detail

BOOL ShowWindow(HWND wnd, int cmd) {
  return OnMainThread([&]() -> BOOL {
    bool show = cmd != SW_HIDE;
    bool was = false;
    bool top = false;
    {
      auto& reg = WindowRegistry::Instance();
      auto lock = reg.Lock();
      WindowRecord* w = reg.Find(wnd);
      if (!w) return FALSE;
      was = w->visible;
      top = !w->IsChild();
    }
    if (was != show) {
      NativeWindowShown(wnd, show);
      if (top) ActiveBackend()->TopLevelShown(wnd, show);
    }
    return was ? TRUE : FALSE;
  });
}

BOOL IsWindowVisible(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  return reg.IsVisibleChain(wnd) ? TRUE : FALSE;
}

HWND SetFocus(HWND wnd) {
  return OnMainThread([&]() -> HWND {
    auto& reg = WindowRegistry::Instance();
    HWND old;
    {
      auto lock = reg.Lock();
      if (wnd && !reg.Find(wnd)) return nullptr;
      old = reg.focus;
      if (old == wnd) return old;
      reg.focus = wnd;
    }
    if (old) CallWindowProcedure(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(wnd), 0);
    if (wnd) CallWindowProcedure(wnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
  });
}

HWND GetFocus() {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  return reg.focus;
}

}  // namespace kv
