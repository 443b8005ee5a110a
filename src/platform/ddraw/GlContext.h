// OpenGL contexts for the hardware (HAL) device: an OpenGL 3.3 core context
// made through EGL without any window (Mesa's surfaceless platform, or a
// 1x1 pbuffer where that is missing). The device draws into its own
// framebuffer object and reads the picture back into the render-target
// surface, so no window system is needed.
//
// Which driver a program gets: KV_DRIVER=hal asks for the GL device on any
// renderer (Mesa's software ones too, as CI does), KV_DRIVER=rgb for the
// software rasterizer; without it the GL device is offered only on a
// hardware renderer. A GL device that cannot start is simply not offered.
#pragma once

#include <memory>
#include <string>

namespace kv::ddraw {

enum class DriverRequest { Automatic, Hardware, Software };

// KV_DRIVER read now: "hal", "rgb", anything else (or unset) automatic.
DriverRequest RequestedDriver();

class GlContext {
 public:
  // A new context, or null with the reason in why.
  static std::shared_ptr<GlContext> CreateOffscreen(std::string& why);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // Binds the context to the calling thread; false when EGL refuses.
  bool MakeCurrent();
  // Unbinds it from the calling thread.
  void ReleaseCurrent();
  // GL_RENDERER, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  const std::string& Renderer() const { return renderer_; }
  // False for Mesa's software renderers (llvmpipe, softpipe, swrast).
  bool IsHardware() const;

 private:
  GlContext() = default;
  struct Egl;
  std::unique_ptr<Egl> egl_;
  std::string renderer_;
};

// Whether the hardware device is offered under the current KV_DRIVER: a GL
// context can be made (probed once per process) and, when automatic, its
// renderer is hardware.
bool HardwareDeviceOffered();

// For messages: the renderer found by the probe, or why there is none.
std::string ProbedRenderer();

}  // namespace kv::ddraw
