// OpenGL contexts for the hardware (HAL) device, OpenGL 3.3 core, of three
// kinds. Off screen: made through EGL without any window (Mesa's surfaceless
// platform, or a 1x1 pbuffer where that is missing); the device draws into
// its own framebuffer object and reads the picture back into the
// render-target surface, so no window system is needed. In a window: made by
// SDL for the SDL window a windowed view shows in; the device leaves its
// picture in its framebuffer object, the window shows it by drawing into its
// default framebuffer and swapping buffers, and the picture is read back into
// the surface only when something reads the surface (see the picture calls
// below). In full screen: made by SDL for the exclusive window, for a flip
// chain's 32-bit back buffer; the device leaves its picture as in a window,
// and a flip keeps it as the frame shown, draws that stretched over the
// window's client area and swaps buffers. The chain's front then follows the
// frame shown and its back buffer the picture, each read back only when read.
//
// Which driver a program gets: KV_DRIVER=hal asks for the GL device on any
// renderer (Mesa's software ones too, as CI does), KV_DRIVER=rgb for the
// software rasterizer; without it the GL device is offered only on a
// hardware renderer. A GL device that cannot start is simply not offered.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "korvane3d/platform/win/WinTypes.h"

namespace kv::ddraw {

enum class DriverRequest { Automatic, Hardware, Software };

// KV_DRIVER read now: "hal", "rgb", anything else (or unset) automatic.
DriverRequest RequestedDriver();

class GlContext {
 public:
  // A new context, or null with the reason in why.
  static std::shared_ptr<GlContext> CreateOffscreen(std::string& why);
  // A context drawing into the SDL window that shows window (a child's
  // top-level), or null with the reason: not on SDL, no OpenGL window, no
  // 3.3 core context, or a failure forced by FailWindowContexts.
  static std::shared_ptr<GlContext> CreateForWindow(HWND window, std::string& why);
  // The same for window, the exclusive window of full screen: the picture is
  // shown when FlipPicture shows it, over the whole client area.
  static std::shared_ptr<GlContext> CreateForFullScreen(HWND window, std::string& why);
  // The next count window contexts fail to be made, as a driver that
  // refuses would (tests).
  static void FailWindowContexts(int count);
  // The next use of a window context finds it lost, as after a driver
  // reset or a window that went (tests); false takes that back.
  static void LoseNextWindowContextUse(bool lose = true);
  // What a window shows, for reading it back: the window layer's pixels of
  // window's client area (width x height, rows top first) get the picture
  // of the window context showing in it, or in one of its children, over
  // the view's part. The window layer never holds that picture itself.
  static void OverlayShownPicture(HWND window, std::uint32_t* pixels, int width, int height);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // Binds the context to the calling thread; false when EGL or SDL refuses,
  // or a window context's window is gone (the context is lost). A window
  // context is used by one thread at a time: it stays taken from
  // MakeCurrent to ReleaseCurrent.
  bool MakeCurrent();
  // Unbinds it from the calling thread.
  void ReleaseCurrent();

  // ---- Window contexts: the device's picture -----------------------------------------
  bool DrawsToWindow() const { return window_ != nullptr; }
  // Whether the picture is shown in window (a window context made for it).
  bool ShowsIn(HWND window) const;
  // Whether the context was made for full screen (CreateForFullScreen).
  bool ShowsFullScreen() const;
  // False once the window context could not be made current (its window
  // went, or the driver lost it): the surfaces it drew are then lost.
  bool Lost() const { return lost_.load(); }
  // The device, at the end of a frame with the context current: its picture
  // (a framebuffer object with colour texture, rows top first, 0x00RRGGBB
  // words) is newer than the surface's memory. Zero framebuffer: gone.
  void SetPicture(unsigned framebuffer, unsigned colorTexture, int width, int height);

  // What a surface's memory follows: the picture the device draws (a
  // windowed target, a flip chain's back buffer) or, in full screen, the
  // frame the last flip showed (the chain's front). Each image counts its
  // changes; a surface keeps the count its memory holds (0: none yet), so
  // that two surfaces can lag one context each on their own.
  enum class Image { Drawn, Shown };
  // The image into 32-bit surface memory (rows top first) when the memory,
  // holding count held, lags it; held then catches up.
  void ReadPicture(Image image, std::byte* pixels, int pitchBytes, std::uint64_t& held);
  // Surface memory written on the CPU (a GDI event, a lock) into the image,
  // so that the window shows it; held catches up.
  void UploadPicture(Image image, const std::byte* pixels, int pitchBytes, std::uint64_t& held);
  // Full screen, on the main thread: the picture becomes the frame shown
  // (kept apart from it, so that the device can draw the next one), and the
  // window shows it stretched over its client area by swapping buffers.
  // False when there is no picture yet or the context is lost (see Lost).
  bool FlipPicture();
  // GL_RENDERER, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  const std::string& Renderer() const { return renderer_; }
  // False for Mesa's software renderers (llvmpipe, softpipe, swrast).
  bool IsHardware() const;

 private:
  GlContext();
  // A context on an initialised EGL display (an EGLDisplay), or null with why.
  static std::shared_ptr<GlContext> CreateOnDisplay(void* display, std::string& why);
  // The process's display for off-screen contexts (ChooseEglCandidate), or
  // no display with why.
  static void* SharedDisplay(std::string& why);
  struct Egl;
  struct Window;
  static std::shared_ptr<GlContext> CreateWindowContext(HWND window, bool fullScreen, std::string& why);
  bool MakeWindowCurrent();
  void ReleaseWindow();
  void Present(const std::uint32_t* pixels, int width, int height);
  void OverlayPicture(HWND window, std::uint32_t* pixels, int width, int height);

  std::unique_ptr<Egl> egl_;
  std::shared_ptr<Window> window_;  // window contexts only
  std::string renderer_;
  std::mutex use_;                  // window contexts: held from MakeCurrent to ReleaseCurrent
  std::atomic<bool> lost_{false};
};

// Where an EGL display for off-screen contexts comes from, in the order
// they are tried.
enum class EglSource {
  Device,          // a GPU EGL enumerates, through its own driver (no window system)
  Surfaceless,     // Mesa's surfaceless platform
  SoftwareDevice,  // Mesa's software device
  Default,         // the default display
};

struct EglCandidate {
  EglSource source = EglSource::Default;
  bool works = false;     // an OpenGL 3.3 core context could be made there
  bool hardware = false;  // its renderer is not one of Mesa's software ones
};

// Which candidate (in the order given) the process draws off screen with, or
// -1: the first GPU device whose renderer is hardware; failing that, the
// first other display that works; failing that, a device that works with a
// software renderer. probe(i) fills in candidate i's works and hardware; it
// is called only as far as the choice needs (each probe makes a context).
template <typename Probe>
int ChooseEglCandidate(std::span<EglCandidate> candidates, Probe&& probe) {
  int softwareDevice = -1;
  for (int i = 0; i < static_cast<int>(candidates.size()); ++i) {
    probe(i);
    const EglCandidate& c = candidates[static_cast<std::size_t>(i)];
    if (!c.works) continue;
    if (c.hardware || c.source != EglSource::Device) return i;
    if (softwareDevice < 0) softwareDevice = i;
  }
  return softwareDevice;
}

// Whether the hardware device is offered under the current KV_DRIVER: a GL
// context can be made (probed once per process) and, when automatic, its
// renderer is hardware.
bool HardwareDeviceOffered();

// For messages: the renderer found by the probe, or why there is none.
std::string ProbedRenderer();

}  // namespace kv::ddraw
