#include "korvane3d/platform/ddraw/GlContext.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace kv::ddraw {

namespace {

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  const std::size_t n = std::strlen(name);
  for (const char* at = std::strstr(list, name); at; at = std::strstr(at + n, name))
    if ((at == list || at[-1] == ' ') && (at[n] == ' ' || at[n] == '\0')) return true;
  return false;
}

struct DisplayCandidates {
  std::vector<EglCandidate> kinds;
  std::vector<EGLDisplay> displays;
  void Add(EglSource source, EGLDisplay display) {
    if (display == EGL_NO_DISPLAY) return;
    kinds.push_back(EglCandidate{source});
    displays.push_back(display);
  }
};

// Every display EGL can give, in the order ChooseEglCandidate wants. Each
// GPU is listed by device enumeration with its own driver (NVIDIA's too,
// which Mesa's platforms never reach: there they would give llvmpipe).
DisplayCandidates ListDisplays() {
  DisplayCandidates list;
  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  std::vector<EGLDeviceEXT> devices;
  if (HasExtension(client, "EGL_EXT_device_enumeration") && HasExtension(client, "EGL_EXT_platform_device")) {
    EGLint count = 0;
    if (eglQueryDevicesEXT(0, nullptr, &count) && count > 0) {
      devices.resize(static_cast<std::size_t>(count));
      if (!eglQueryDevicesEXT(count, devices.data(), &count)) count = 0;
      devices.resize(static_cast<std::size_t>(std::max(count, 0)));
    }
  }
  auto deviceDisplay = [](EGLDeviceEXT device) {
    return eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
  };
  auto software = [](EGLDeviceEXT device) {
    return HasExtension(eglQueryDeviceStringEXT(device, EGL_EXTENSIONS), "EGL_MESA_device_software");
  };
  for (EGLDeviceEXT device : devices)
    if (!software(device)) list.Add(EglSource::Device, deviceDisplay(device));
  if (HasExtension(client, "EGL_MESA_platform_surfaceless"))
    list.Add(EglSource::Surfaceless, eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
  for (EGLDeviceEXT device : devices)
    if (software(device)) list.Add(EglSource::SoftwareDevice, deviceDisplay(device));
  list.Add(EglSource::Default, eglGetDisplay(EGL_DEFAULT_DISPLAY));
  return list;
}

}  // namespace

// One EGL display for the process, chosen and initialised on first use and
// kept: EGL displays are not reference counted, so terminating one would
// pull it from under every other context. Displays tried and not chosen
// are left initialised for the same reason.
EGLDisplay GlContext::SharedDisplay(std::string& why) {
  static std::once_flag once;
  static EGLDisplay display = EGL_NO_DISPLAY;
  static std::string failure;
  std::call_once(once, [] {
    DisplayCandidates list = ListDisplays();
    std::string lastWhy = "no EGL display could be made";
    const int chosen = ChooseEglCandidate(std::span(list.kinds), [&](int i) {
      EglCandidate& c = list.kinds[static_cast<std::size_t>(i)];
      EGLint major = 0, minor = 0;
      if (!eglInitialize(list.displays[static_cast<std::size_t>(i)], &major, &minor)) return;
      std::shared_ptr<GlContext> trial = CreateOnDisplay(list.displays[static_cast<std::size_t>(i)], lastWhy);
      c.works = trial != nullptr;
      c.hardware = trial && trial->IsHardware();
    });
    if (chosen < 0) {
      failure = lastWhy;
      return;
    }
    display = list.displays[static_cast<std::size_t>(chosen)];
  });
  why = failure;
  return display;
}

struct GlContext::Egl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;  // a pbuffer where surfaceless contexts are not supported
};

DriverRequest RequestedDriver() {
  const char* value = std::getenv("KV_DRIVER");
  if (!value) return DriverRequest::Automatic;
  if (std::strcmp(value, "hal") == 0) return DriverRequest::Hardware;
  if (std::strcmp(value, "rgb") == 0) return DriverRequest::Software;
  return DriverRequest::Automatic;
}

std::shared_ptr<GlContext> GlContext::CreateOffscreen(std::string& why) {
  EGLDisplay display = SharedDisplay(why);
  if (display == EGL_NO_DISPLAY) return nullptr;
  return CreateOnDisplay(display, why);
}

std::shared_ptr<GlContext> GlContext::CreateOnDisplay(void* display, std::string& why) {
  if (!eglBindAPI(EGL_OPENGL_API)) {
    why = "EGL offers no desktop OpenGL";
    return nullptr;
  }
  const bool surfaceless = HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context");
  const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE,
                                     surfaceless ? 0 : EGL_PBUFFER_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) {
    why = "no EGL configuration for OpenGL";
    return nullptr;
  }
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                      EGL_NONE};
  std::shared_ptr<GlContext> made(new GlContext);
  made->egl_ = std::make_unique<Egl>();
  Egl& egl = *made->egl_;
  egl.display = display;
  egl.context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (egl.context == EGL_NO_CONTEXT) {
    why = "no OpenGL 3.3 core context";
    return nullptr;
  }
  if (!surfaceless) {
    const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    egl.surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
    if (egl.surface == EGL_NO_SURFACE) {
      why = "no EGL pbuffer";
      return nullptr;
    }
  }
  if (!made->MakeCurrent()) {
    why = "the OpenGL context cannot be made current";
    return nullptr;
  }
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  made->renderer_ = renderer ? renderer : "";
  made->ReleaseCurrent();
  return made;
}

GlContext::GlContext() = default;

GlContext::~GlContext() {
  if (!egl_) return;  // a window context's part ends itself
  if (eglBindAPI(EGL_OPENGL_API) && eglGetCurrentContext() == egl_->context) ReleaseCurrent();
  if (egl_->surface != EGL_NO_SURFACE) eglDestroySurface(egl_->display, egl_->surface);
  if (egl_->context != EGL_NO_CONTEXT) eglDestroyContext(egl_->display, egl_->context);
}

bool GlContext::MakeCurrent() {
  if (window_) return MakeWindowCurrent();
  // The bound API is per thread; a thread drawing for the first time has
  // OpenGL ES bound.
  return eglBindAPI(EGL_OPENGL_API) &&
         eglMakeCurrent(egl_->display, egl_->surface, egl_->surface, egl_->context) == EGL_TRUE;
}

void GlContext::ReleaseCurrent() {
  if (window_) {
    ReleaseWindow();
    return;
  }
  eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool GlContext::IsHardware() const {
  for (const char* software : {"llvmpipe", "softpipe", "swrast"})
    if (renderer_.find(software) != std::string::npos) return false;
  return !renderer_.empty();
}

namespace {

struct Probe {
  bool available = false;
  bool hardware = false;
  std::string renderer;  // or why there is none
};

const Probe& ProbeOnce() {
  static std::once_flag once;
  static Probe probe;
  std::call_once(once, [] {
    std::string why;
    std::shared_ptr<GlContext> context = GlContext::CreateOffscreen(why);
    probe.available = context != nullptr;
    probe.hardware = context && context->IsHardware();
    probe.renderer = context ? context->Renderer() : why;
  });
  return probe;
}

}  // namespace

bool HardwareDeviceOffered() {
  const DriverRequest request = RequestedDriver();
  if (request == DriverRequest::Software) return false;
  const Probe& probe = ProbeOnce();
  return probe.available && (request == DriverRequest::Hardware || probe.hardware);
}

std::string ProbedRenderer() { return ProbeOnce().renderer; }

}  // namespace kv::ddraw
