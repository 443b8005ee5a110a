// The headless display (the virtual monitor) and what tests use to steer
// and observe the display layer: the mode list, failure hooks that make the
// display misbehave the way real hardware does, and read-back of what is on
// screen. The hooks act on whichever backend is in effect; the mode list
// and the monitor belong to the headless backend.
#pragma once

#include <cstdint>
#include <vector>

#include "korvane3d/platform/ddraw/DDraw.h"

namespace kv::ddraw {

struct DisplayModeInfo {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int refreshRate = 0;  // Hz; 0 = unknown
  friend auto operator<=>(const DisplayModeInfo&, const DisplayModeInfo&) = default;
};

// The usual modes: 320x200, 320x240, 512x384, 640x400, 640x480, 800x600,
// 1024x768, 1152x864 and 1280x1024, each at 8, 16, 24 and 32 bits, 60 Hz.
std::vector<DisplayModeInfo> DefaultDisplayModes();

// Replaces the virtual monitor's mode list (sorted and de-duplicated here).
void SetHeadlessDisplayModes(std::vector<DisplayModeInfo> modes);
// Default modes, no pending failures, the desktop mode in effect.
void ResetHeadlessDisplay();

// The mode the display shows now: the exclusive program's mode, else the
// desktop's (the headless desktop is the headless screen size at 32 bits).
DisplayModeInfo CurrentDisplayMode();

// ---- Failure hooks ----------------------------------------------------------
// Marks one surface lost (for the front of a flipping chain, the chain).
void MakeSurfaceLost(IDirectDrawSurface4* surface);
// Marks every live surface of every DirectDraw object lost.
void MakeAllSurfacesLost();
// The next count creations that would use video memory find none: an
// explicit DDSCAPS_VIDEOMEMORY request fails with DDERR_OUTOFVIDEOMEMORY,
// a surface without a memory request goes to system memory.
void FailVideoMemoryCreations(int count);
// The next Blt (or Flip), on any surface, fails with this result and does
// nothing.
void FailNextBlt(HRESULT result);
void FailNextFlip(HRESULT result);

// ---- Pacing ----------------------------------------------------------------
// Whether WaitForVerticalBlank and Flip wait for the simulated vertical blank
// (on by default). Off, they return at once: benchmarks time frames without
// the 60 Hz cap.
void SetVerticalBlankWait(bool wait);

// ---- Read-back -------------------------------------------------------------
struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
// A surface's pixels as 0x00RRGGBB (depth buffers: the raw values). Empty
// for a lost or locked surface.
PixelImage ReadSurfacePixels(IDirectDrawSurface4* surface);
// What the screen shows: the front of the exclusive program's primary in
// full screen, else the most recently created primary surface. Empty when
// there is none.
PixelImage ReadScreenPixels();
// A window's client area as it was last presented. Main thread.
PixelImage ReadWindowPixels(HWND window);

}  // namespace kv::ddraw
