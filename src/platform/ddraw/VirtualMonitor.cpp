// Test hooks and read-back (VirtualMonitor.h).
#include "korvane3d/platform/ddraw/VirtualMonitor.h"

#include "korvane3d/platform/ddraw/GlContext.h"

#include "korvane3d/platform/ddraw/Display.h"
#include "korvane3d/platform/ddraw/Surface.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

DisplayModeInfo CurrentDisplayMode() { return Display::Instance().CurrentMode(); }

void MakeSurfaceLost(IDirectDrawSurface4* surface) {
  if (SurfaceImpl* impl = SurfaceImpl::From(surface)) impl->MarkLost();
}

void MakeAllSurfacesLost() { Display::Instance().MarkAllLost(); }

void FailVideoMemoryCreations(int count) { Display::Instance().FailVideoMemory(count); }

void FailNextBlt(HRESULT result) { Display::Instance().FailNextBlt(result); }

void FailNextFlip(HRESULT result) { Display::Instance().FailNextFlip(result); }

void SetVerticalBlankWait(bool wait) { Display::Instance().SetVerticalBlankWait(wait); }

PixelImage ReadSurfacePixels(IDirectDrawSurface4* surface) {
  SurfaceImpl* impl = SurfaceImpl::From(surface);
  return impl ? impl->ReadPixels() : PixelImage{};
}

PixelImage ReadScreenPixels() { return Display::Instance().ReadScreen(); }

PixelImage ReadWindowPixels(HWND window) {
  PixelImage image;
  RECT client;
  if (!GetClientRect(window, &client)) return image;
  kv::platform::WindowPixels pixels;
  if (!kv::platform::LockWindowPixels(window, &pixels)) return image;
  const int w = std::min<int>(client.right - client.left, pixels.width - pixels.clientOrigin.x);
  const int h = std::min<int>(client.bottom - client.top, pixels.height - pixels.clientOrigin.y);
  if (w > 0 && h > 0 && pixels.pixels) {
    image.width = w;
    image.height = h;
    image.pixels.reserve(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      const std::uint32_t* row =
          pixels.pixels + static_cast<std::ptrdiff_t>(pixels.clientOrigin.y + y) * pixels.pitchPixels;
      for (int x = 0; x < w; ++x) image.pixels.push_back(row[pixels.clientOrigin.x + x] & 0x00FFFFFF);
    }
  }
  kv::platform::UnlockWindowPixels(window);
  // A window drawn through OpenGL shows a picture the window layer never had.
  if (!image.pixels.empty()) GlContext::OverlayShownPicture(window, image.pixels.data(), image.width, image.height);
  return image;
}

}  // namespace kv::ddraw
