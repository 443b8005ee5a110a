// SDL events as window messages: window events become WM_SIZE, WM_MOVE,
// WM_PAINT, WM_CLOSE, activation and focus messages; mouse events go to the
// window under the mouse (or the one a held button went down in), key
// events to the window with the focus.
#include <algorithm>

#include "korvane3d/platform/win/MessageQueue.h"
#include "korvane3d/platform/win/SdlBackend.h"
#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv::win::detail {
namespace {

void Post(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Already on the main thread inside the pump: no wake-up needed.
  MessageQueue::Instance().Post(MSG{wnd, msg, wParam, lParam, GetTickCount()});
}

// A window and all its descendants need painting (an exposed native window).
void InvalidateTree(HWND top) {
  std::vector<HWND> all{top};
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (WindowRecord* w = reg.Find(all[i])) all.insert(all.end(), w->children.begin(), w->children.end());
    }
  }
  for (HWND wnd : all) InvalidateRect(wnd, nullptr, TRUE);
}

void SendToTopLevels(UINT msg, WPARAM wParam) {
  std::vector<HWND> tops;
  {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    tops = reg.TopLevels();
  }
  for (HWND top : tops) SendMessageA(top, msg, wParam, 0);
}

WPARAM KeyState(Uint32 buttons) {
  WPARAM state = 0;
  if (buttons & SDL_BUTTON_LMASK) state |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) state |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) state |= MK_MBUTTON;
  SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) state |= MK_SHIFT;
  if (mods & KMOD_CTRL) state |= MK_CONTROL;
  return state;
}

LPARAM PointParam(POINT p) {
  return MAKELPARAM(static_cast<unsigned>(p.x) & 0xFFFF, static_cast<unsigned>(p.y) & 0xFFFF);
}

// The virtual-key code of a key; 0 for keys without one.
WPARAM VirtualKey(const SDL_Keysym& key) {
  SDL_Keycode sym = key.sym;
  if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
  if (sym >= SDLK_0 && sym <= SDLK_9) return '0' + (sym - SDLK_0);
  SDL_Scancode sc = key.scancode;
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    default: return 0;
  }
}

}  // namespace

void SdlBackend::Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: TranslateWindowEvent(event.window); break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL: TranslateMouse(event); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: TranslateKey(event.key); break;
    default: break;
  }
}

void SdlBackend::TranslateWindowEvent(const SDL_WindowEvent& e) {
  HWND wnd = HandleOf(e.windowID);
  if (!wnd) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: NativeWindowResized(wnd, e.data1, e.data2); break;
    case SDL_WINDOWEVENT_MOVED: NativeWindowMoved(wnd, e.data1, e.data2); break;
    case SDL_WINDOWEVENT_EXPOSED: InvalidateTree(wnd); break;
    case SDL_WINDOWEVENT_SHOWN: NativeWindowShown(wnd, true); break;
    case SDL_WINDOWEVENT_HIDDEN: NativeWindowShown(wnd, false); break;
    case SDL_WINDOWEVENT_CLOSE: Post(wnd, WM_CLOSE, 0, 0); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: {
      if (!appActive_) SendToTopLevels(WM_ACTIVATEAPP, TRUE);
      appActive_ = true;
      SendMessageA(wnd, WM_ACTIVATE, WA_ACTIVE, 0);
      HWND restore = wnd;
      if (auto it = focusBeforeDeactivation_.find(wnd); it != focusBeforeDeactivation_.end()) {
        if (IsWindow(it->second)) restore = it->second;
        focusBeforeDeactivation_.erase(it);
      }
      SetFocus(restore);
      break;
    }
    case SDL_WINDOWEVENT_FOCUS_LOST: {
      HWND focus = GetFocus();
      if (focus) focusBeforeDeactivation_[wnd] = focus;
      SetFocus(nullptr);
      SendMessageA(wnd, WM_ACTIVATE, WA_INACTIVE, 0);
      if (!SDL_GetKeyboardFocus()) {
        appActive_ = false;
        SendToTopLevels(WM_ACTIVATEAPP, FALSE);
      }
      break;
    }
    default: break;
  }
}

// The window a mouse event at (x, y) of SDL window windowId goes to, and the
// point in its client coordinates.
HWND SdlBackend::MouseTarget(Uint32 windowId, int x, int y, POINT* client) {
  HWND top = HandleOf(windowId);
  if (!top) return nullptr;
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  if (capture_ && !reg.Find(capture_)) capture_ = nullptr;
  POINT topOrigin = reg.ClientOriginOnScreen(top);
  POINT screen{topOrigin.x + x, topOrigin.y + y};
  HWND target = capture_;
  if (!target) {
    target = reg.WindowAtScreenPoint(screen);
    if (!target || reg.TopLevelOf(target) != top) target = top;
  }
  POINT origin = reg.ClientOriginOnScreen(target);
  *client = POINT{screen.x - origin.x, screen.y - origin.y};
  return target;
}

void SdlBackend::TranslateMouse(const SDL_Event& event) {
  POINT client;
  switch (event.type) {
    case SDL_MOUSEMOTION: {
      const auto& m = event.motion;
      if (HWND target = MouseTarget(m.windowID, m.x, m.y, &client)) {
        Post(target, WM_MOUSEMOVE, KeyState(m.state), PointParam(client));
      }
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const auto& b = event.button;
      bool down = event.type == SDL_MOUSEBUTTONDOWN;
      UINT msg = 0;
      switch (b.button) {
        case SDL_BUTTON_LEFT: msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case SDL_BUTTON_RIGHT: msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case SDL_BUTTON_MIDDLE: msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: return;
      }
      HWND target = MouseTarget(b.windowID, b.x, b.y, &client);
      if (!target) return;
      Uint32 held = SDL_GetMouseState(nullptr, nullptr);
      if (down) {
        capture_ = target;
        if (GetFocus() != target) SetFocus(target);
      } else if (held == 0) {
        capture_ = nullptr;
      }
      Post(target, msg, KeyState(held), PointParam(client));
      break;
    }
    case SDL_MOUSEWHEEL: {
      const auto& w = event.wheel;
      int mx = 0, my = 0;
      Uint32 held = SDL_GetMouseState(&mx, &my);
      HWND target = MouseTarget(w.windowID, mx, my, &client);
      if (!target) return;
      int notches = w.direction == SDL_MOUSEWHEEL_FLIPPED ? -w.y : w.y;
      if (notches == 0) return;
      POINT screen = client;
      ClientToScreen(target, &screen);
      auto delta = static_cast<WPARAM>(static_cast<std::uint16_t>(static_cast<std::int16_t>(notches * WHEEL_DELTA)));
      Post(target, WM_MOUSEWHEEL, (delta << 16) | KeyState(held), PointParam(screen));
      break;
    }
    default: break;
  }
}

void SdlBackend::TranslateKey(const SDL_KeyboardEvent& e) {
  WPARAM vk = VirtualKey(e.keysym);
  HWND target = KeyboardFocusWindow();
  if (!vk || !target) return;
  bool down = e.type == SDL_KEYDOWN;
  // lParam: repeat count 1; bit 30 the key was down before; bit 31 released.
  LPARAM flags = 1;
  if (!down || e.repeat) flags |= LPARAM{1} << 30;
  if (!down) flags |= LPARAM{1} << 31;
  Post(target, down ? WM_KEYDOWN : WM_KEYUP, vk, flags);
}

}  // namespace kv::win::detail
