// Choosing the platform backend, and what tests and the display and input
// layers need of it beyond the Windows calls. Package code never includes
// this file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvane3d/platform/win/WinTypes.h"

namespace kv::platform {

enum class BackendKind { Auto, Headless, Sdl };

// Selects the backend for the process. Auto picks SDL2 when a display is
// present (DISPLAY or WAYLAND_DISPLAY set and SDL's video starts) and the
// environment variable KV_BACKEND is not "headless"; otherwise headless.
// The calling thread becomes the main thread. Selecting again first tears
// down every window of the previous backend. Returns the backend in effect
// (SDL falls back to headless when it cannot start).
BackendKind SelectBackend(BackendKind kind);
// The backend in effect; the first call selects Auto.
BackendKind CurrentBackend();
bool IsMainThread();

// ---- What headless records -----------------------------------------------
struct RecordedMessageBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<RecordedMessageBox> RecordedMessageBoxes();
void ClearRecordedMessageBoxes();
struct RecordedBeep {
  DWORD frequency;
  DWORD duration;
};
std::vector<RecordedBeep> RecordedBeeps();
void ClearRecordedBeeps();

// ---- Headless screen and clock -------------------------------------------
// The headless screen's size (default 1024 x 768) and cursor.
void SetHeadlessScreenSize(int width, int height);
void SetHeadlessCursorPos(POINT screenPoint);
// Added to every GetTickCount (any backend), so tests can start the clock
// just before its 32-bit wrap.
void SetTickCountBias(DWORD bias);

// ---- Window pixels, for the display layer --------------------------------
// Every top-level window has a 32-bit XRGB framebuffer the size of its client
// area, holding what is shown. The display layer copies into it (presentation
// in a window) and then calls PresentWindowPixels, which on SDL puts it on
// screen. Children draw into their top-level window's framebuffer at their
// client offset. Main thread only.
struct WindowPixels {
  std::uint32_t* pixels = nullptr;  // top-left first, 0x00RRGGBB
  int width = 0;
  int height = 0;
  int pitchPixels = 0;
  POINT clientOrigin;  // where the asked-for window's client area starts in it
};
bool LockWindowPixels(HWND wnd, WindowPixels* out);
void UnlockWindowPixels(HWND wnd);
void PresentWindowPixels(HWND wnd);

// SDL only: the SDL_Window behind a top-level window (null headless).
void* NativeWindowHandle(HWND wnd);
// SDL only: the SDL_Window behind wnd's top-level window, able to carry an
// OpenGL context: a window made without OpenGL is made again with it, in the
// same place and state (its native id changes). Null headless, or when no
// OpenGL window can be made.
void* OpenGlWindowHandle(HWND wnd);
// SDL only: while set, a top-level window's framebuffer is shown by
// presenter (a window drawn through OpenGL composes and swaps there) instead
// of SDL's window surface. Called on the main thread with the framebuffer's
// pixels (0x00RRGGBB rows, top first). An empty presenter goes back to the
// window surface.
using WindowPresenter = std::function<void(const std::uint32_t* pixels, int width, int height)>;
void SetWindowPresenter(HWND wnd, WindowPresenter presenter);

// SDL only: the window that has the keyboard focus (null when none of ours).
HWND FocusWindow();

// SDL only: every SDL event the message pump takes (PeekMessageA,
// GetMessageA) is shown to the listeners first, on the main thread; the
// input layer reads mouse and keyboard events this way. The argument is a
// const SDL_Event*. Returns an id for RemoveSdlEventListener.
using SdlEventListener = std::function<void(const void* sdlEvent)>;
int AddSdlEventListener(SdlEventListener listener);
void RemoveSdlEventListener(int id);

}  // namespace kv::platform
