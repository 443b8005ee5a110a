// Ticks, sleeping, sound, process exit, the cursor, system colours and
// screen metrics.
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/Gdi.h"
#include "korvane3d/platform/win/HeadlessState.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

namespace win::detail {

HeadlessScreenState& HeadlessScreen() {
  static HeadlessScreenState state;
  return state;
}

namespace {

std::atomic<DWORD> tickBias{0};

// Windows' standard colour scheme of its classic look, by COLOR_ index.
constexpr std::array<COLORREF, 31> kSystemColors = {
    RGB(192, 192, 192),  // COLOR_SCROLLBAR
    RGB(0, 128, 128),    // COLOR_BACKGROUND
    RGB(0, 0, 128),      // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(0, 0, 128),      // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(192, 192, 192),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),        // COLOR_3DDKSHADOW
    RGB(223, 223, 223),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(180, 180, 180),  // (button alternate face)
    RGB(0, 0, 128),      // COLOR_HOTLIGHT
    RGB(16, 132, 208),   // COLOR_GRADIENTACTIVECAPTION
    RGB(181, 181, 181),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 0, 128),      // COLOR_MENUHILIGHT
    RGB(192, 192, 192),  // COLOR_MENUBAR
};

}  // namespace
}  // namespace win::detail

using namespace kv::win::detail;

DWORD GetTickCount() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return static_cast<DWORD>(static_cast<std::uint64_t>(ms)) + tickBias.load(std::memory_order_relaxed);
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

BOOL Beep(DWORD frequency, DWORD duration) {
  // No backend plays tones; every beep is recorded so it can be observed.
  RecordBeep(frequency, duration);
  return TRUE;
}

void ExitProcess(UINT exitCode) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  _exit(static_cast<int>(exitCode));
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  *point = ActiveBackend()->CursorPos();
  return TRUE;
}

DWORD GetSysColor(int index) {
  if (index < 0 || index >= static_cast<int>(kSystemColors.size())) return 0;
  return kSystemColors[static_cast<std::size_t>(index)];
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return ActiveBackend()->ScreenSize().cx;
    case SM_CYSCREEN: return ActiveBackend()->ScreenSize().cy;
    default: return 0;
  }
}

namespace platform {

void SetHeadlessScreenSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  HeadlessScreen().SetSize(SIZE{width, height});
}

void SetHeadlessCursorPos(POINT screenPoint) { HeadlessScreen().SetCursor(screenPoint); }

void SetTickCountBias(DWORD bias) { tickBias.store(bias, std::memory_order_relaxed); }

}  // namespace platform

}  // namespace kv
