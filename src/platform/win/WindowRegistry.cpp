// The shared window records: lookup, the tree and coordinate walks.
#include "korvane3d/platform/win/WindowRegistry.h"

#include <algorithm>

#include "korvane3d/platform/win/HandleTable.h"

namespace kv::win::detail {

std::shared_ptr<Framebuffer> Framebuffer::Resized(int w, int h) const {
  auto out = std::make_shared<Framebuffer>(w, h);
  int rows = std::min(height, h);
  int cols = std::min(width, w);
  for (int y = 0; y < rows; ++y) {
    std::copy_n(pixels.data() + static_cast<std::size_t>(y) * width, cols,
                out->pixels.data() + static_cast<std::size_t>(y) * w);
  }
  return out;
}

RECT IntersectRects(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool IsRectEmptyish(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT UnionRects(const RECT& a, const RECT& b) {
  if (IsRectEmptyish(a)) return b;
  if (IsRectEmptyish(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

WindowRegistry& WindowRegistry::Instance() {
  static WindowRegistry registry;
  return registry;
}

HWND WindowRegistry::Add(WindowRecord record) {
  std::uintptr_t value = (static_cast<std::uintptr_t>(HandleKind::Window) << 40) | ++counter_;
  HWND wnd = MakeHandle<HWND>(value);
  record.handle = wnd;
  HWND parent = record.parent;
  windows_.emplace(value, std::make_unique<WindowRecord>(std::move(record)));
  if (WindowRecord* p = parent ? Find(parent) : nullptr) {
    p->children.push_back(wnd);
  } else {
    topLevels_.push_back(wnd);
  }
  return wnd;
}

void WindowRegistry::Remove(HWND wnd) {
  WindowRecord* w = Find(wnd);
  if (!w) return;
  auto unlink = [wnd](std::vector<HWND>& list) { std::erase(list, wnd); };
  if (WindowRecord* p = w->parent ? Find(w->parent) : nullptr) unlink(p->children);
  unlink(topLevels_);
  for (auto& entry : windows_) {
    if (entry.second->owner == wnd) entry.second->owner = nullptr;
  }
  if (focus == wnd) focus = nullptr;
  windows_.erase(HandleValue(wnd));
}

void WindowRegistry::Relink(HWND wnd, HWND newParent) {
  WindowRecord* w = Find(wnd);
  if (!w) return;
  if (WindowRecord* p = w->parent ? Find(w->parent) : nullptr) std::erase(p->children, wnd);
  std::erase(topLevels_, wnd);
  w->parent = newParent;
  if (WindowRecord* p = newParent ? Find(newParent) : nullptr) {
    p->children.push_back(wnd);
  } else {
    topLevels_.push_back(wnd);
  }
}

WindowRecord* WindowRegistry::Find(HWND wnd) {
  auto it = windows_.find(HandleValue(wnd));
  return it == windows_.end() ? nullptr : it->second.get();
}

HWND WindowRegistry::TopLevelOf(HWND wnd) {
  WindowRecord* w = Find(wnd);
  while (w && w->IsChild()) {
    WindowRecord* p = Find(w->parent);
    if (!p) return nullptr;
    w = p;
  }
  return w ? w->handle : nullptr;
}

POINT WindowRegistry::ClientOriginOnScreen(HWND wnd) {
  POINT origin;
  for (WindowRecord* w = Find(wnd); w; w = w->IsChild() ? Find(w->parent) : nullptr) {
    origin.x += w->rect.left;
    origin.y += w->rect.top;
  }
  return origin;
}

POINT WindowRegistry::ClientOriginInTopLevel(HWND wnd) {
  POINT origin;
  for (WindowRecord* w = Find(wnd); w && w->IsChild(); w = Find(w->parent)) {
    origin.x += w->rect.left;
    origin.y += w->rect.top;
  }
  return origin;
}

RECT WindowRegistry::VisibleClientInTopLevel(HWND wnd) {
  WindowRecord* w = Find(wnd);
  if (!w) return RECT{};
  POINT origin = ClientOriginInTopLevel(wnd);
  RECT visible{origin.x, origin.y, origin.x + w->Width(), origin.y + w->Height()};
  for (WindowRecord* a = w->IsChild() ? Find(w->parent) : nullptr; a; a = a->IsChild() ? Find(a->parent) : nullptr) {
    POINT o = ClientOriginInTopLevel(a->handle);
    visible = IntersectRects(visible, RECT{o.x, o.y, o.x + a->Width(), o.y + a->Height()});
  }
  return visible;
}

bool WindowRegistry::IsVisibleChain(HWND wnd) {
  for (WindowRecord* w = Find(wnd); w; w = w->IsChild() ? Find(w->parent) : nullptr) {
    if (!w->visible) return false;
  }
  return Find(wnd) != nullptr;
}

bool WindowRegistry::IsDescendant(HWND ancestor, HWND wnd) {
  for (WindowRecord* w = Find(wnd); w && w->IsChild(); w = Find(w->parent)) {
    if (w->parent == ancestor) return true;
  }
  return false;
}

HWND WindowRegistry::WindowAtScreenPoint(POINT screen) {
  // Later siblings lie on top of earlier ones, so search from the last.
  auto hit = [&](auto&& self, HWND wnd) -> HWND {
    WindowRecord* w = Find(wnd);
    if (!w || !w->visible) return nullptr;
    POINT o = ClientOriginOnScreen(wnd);
    if (screen.x < o.x || screen.y < o.y || screen.x >= o.x + w->Width() || screen.y >= o.y + w->Height()) {
      return nullptr;
    }
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
      if (HWND inner = self(self, *it)) return inner;
    }
    return wnd;
  };
  for (auto it = topLevels_.rbegin(); it != topLevels_.rend(); ++it) {
    if (HWND found = hit(hit, *it)) return found;
  }
  return nullptr;
}

HWND WindowRegistry::FirstWindowNeedingPaint(HWND within) {
  auto search = [&](auto&& self, HWND wnd) -> HWND {
    WindowRecord* w = Find(wnd);
    if (!w || !w->visible) return nullptr;
    if (w->update) return wnd;
    for (HWND child : w->children) {
      if (HWND found = self(self, child)) return found;
    }
    return nullptr;
  };
  if (within) return IsVisibleChain(within) ? search(search, within) : nullptr;
  for (HWND top : topLevels_) {
    if (HWND found = search(search, top)) return found;
  }
  return nullptr;
}

}  // namespace kv::win::detail
