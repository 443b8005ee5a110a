// The window records every backend shares: the tree of windows, their
// rectangles, visibility, procedures, update regions and, for each top-level
// window, the framebuffer holding its client area. Guarded by one mutex;
// window procedures are never called while it is held. Internal.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "korvane3d/platform/win/WinApi.h"

namespace kv::win::detail {

// XRGB pixels of a top-level window's client area, top-left first.
struct Framebuffer {
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;

  Framebuffer(int w, int h) : pixels(static_cast<std::size_t>(w) * h, 0), width(w), height(h) {}
  // A copy of this one at a new size; the overlapping part is kept.
  std::shared_ptr<Framebuffer> Resized(int w, int h) const;
};

struct WindowRecord {
  HWND handle = nullptr;
  HWND parent = nullptr;  // WS_CHILD windows only
  HWND owner = nullptr;   // a top-level window created with a parent
  std::vector<HWND> children;  // creation order
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  RECT rect;  // in the parent's client coordinates; on the screen for a top-level window
  bool visible = false;
  bool topmost = false;
  bool destroying = false;
  std::shared_ptr<const WindowProc> proc;

  // Update region, kept as its bounding rectangle in client coordinates.
  std::optional<RECT> update;
  bool erase = false;
  std::uint64_t updateSerial = 0;  // changes whenever the update region does

  std::shared_ptr<Framebuffer> framebuffer;  // top-level windows only

  bool IsChild() const { return (style & WS_CHILD) != 0; }
  int Width() const { return rect.right - rect.left; }
  int Height() const { return rect.bottom - rect.top; }
  RECT ClientRect() const { return RECT{0, 0, Width(), Height()}; }
};

class WindowRegistry {
 public:
  static WindowRegistry& Instance();

  std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

  // All of the following need the lock held.
  HWND Add(WindowRecord record);
  void Remove(HWND wnd);
  WindowRecord* Find(HWND wnd);
  const std::vector<HWND>& TopLevels() const { return topLevels_; }
  // Moves wnd under newParent (null: among the top-level windows).
  void Relink(HWND wnd, HWND newParent);
  HWND TopLevelOf(HWND wnd);
  // Where wnd's client area starts on the screen, and inside its top-level
  // window's client area.
  POINT ClientOriginOnScreen(HWND wnd);
  POINT ClientOriginInTopLevel(HWND wnd);
  // wnd's client area in its top-level window's client coordinates, cut by
  // every ancestor's client area.
  RECT VisibleClientInTopLevel(HWND wnd);
  bool IsVisibleChain(HWND wnd);
  bool IsDescendant(HWND ancestor, HWND wnd);
  // The deepest visible window whose client area holds the screen point.
  HWND WindowAtScreenPoint(POINT screen);
  // The first visible window (parents before children) with an update region.
  HWND FirstWindowNeedingPaint(HWND within);
  HWND focus = nullptr;

 private:
  std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::unique_ptr<WindowRecord>> windows_;
  std::vector<HWND> topLevels_;
  std::uintptr_t counter_ = 0x100;
};

// Sends a message to a window's procedure on the calling (main) thread;
// 0 when the window is gone.
LRESULT CallWindowProcedure(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Used by the backends when the native window changed by itself.
void NativeWindowResized(HWND wnd, int clientWidth, int clientHeight);
void NativeWindowMoved(HWND wnd, int screenX, int screenY);
void NativeWindowShown(HWND wnd, bool visible);

// Removes every window without calling procedures (backend switch, exit).
void DestroyAllWindows();

RECT IntersectRects(const RECT& a, const RECT& b);
bool IsRectEmptyish(const RECT& r);
RECT UnionRects(const RECT& a, const RECT& b);

}  // namespace kv::win::detail
