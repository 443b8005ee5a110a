// Window contexts (GlContext.h): an OpenGL context SDL makes for the SDL
// window a view shows in (or, full screen, for the exclusive window). The
// device draws its picture into a framebuffer object of this context; the
// window's framebuffer (what the window layer paints: the form, its
// controls) and that picture (full screen: the frame the last flip showed)
// are drawn into the window's default framebuffer, and the buffers are
// swapped.
#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "korvane3d/platform/ddraw/GlWindow.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

namespace {

std::atomic<int> forcedWindowFailures{0};
std::atomic<bool> forcedLoss{false};

// Which context shows each top-level window: a context that goes removes
// the window's presenter only while it is still its own.
struct Presenter {
  const void* window = nullptr;  // the context's Window record
  std::weak_ptr<GlContext> context;
};
std::mutex presentingMutex;
std::unordered_map<HWND, Presenter>& Presenting() {
  static std::unordered_map<HWND, Presenter> map;
  return map;
}

bool TakeForcedFailure() {
  int left = forcedWindowFailures.load();
  while (left > 0)
    if (forcedWindowFailures.compare_exchange_weak(left, left - 1)) return true;
  return false;
}

// The window's size against its drawable's, for placing blits.
DrawablePlacement PlacementOf(SDL_Window* window) {
  int windowWidth = 0, windowHeight = 0, drawableWidth = 0, drawableHeight = 0;
  SDL_GetWindowSize(window, &windowWidth, &windowHeight);
  SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
  return DrawablePlacement(windowWidth, windowHeight, drawableWidth, drawableHeight);
}

// The top-left width x height pixels of framebuffer (rows top first) into
// the default framebuffer's area.
void BlitInto(GLuint framebuffer, int width, int height, const BlitArea& area, GLenum filter) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  glBlitFramebuffer(0, 0, width, height, area.x0, area.y0, area.x1, area.y1, GL_COLOR_BUFFER_BIT, filter);
}

}  // namespace

HWND TopLevelOf(HWND window) {
  HWND top = window;
  while (HWND parent = GetParent(top)) top = parent;
  return top;
}

POINT OriginInTopLevel(HWND window) {
  POINT view{0, 0};
  POINT top{0, 0};
  ClientToScreen(window, &view);
  ClientToScreen(TopLevelOf(window), &top);
  return POINT{view.x - top.x, view.y - top.y};
}

RECT GlContext::Window::ShownArea(const GlImage& image) const {
  const POINT at = OriginInTopLevel(view);
  RECT client{};
  GetClientRect(view, &client);
  const int width = fullScreen ? client.right - client.left : std::min<int>(image.width, client.right - client.left);
  const int height = fullScreen ? client.bottom - client.top : std::min<int>(image.height, client.bottom - client.top);
  return RECT{at.x, at.y, at.x + std::max(0, width), at.y + std::max(0, height)};
}

GlContext::Window::~Window() {
  bool presenting = false;
  {
    std::lock_guard lock(presentingMutex);
    auto it = Presenting().find(topLevel);
    presenting = it != Presenting().end() && it->second.window == this;
    if (presenting) Presenting().erase(it);
  }
  if (presenting) kv::platform::SetWindowPresenter(topLevel, nullptr);
  // Its objects (the shown image's too) go with the context.
  if (gl) SDL_GL_DeleteContext(gl);
}

bool GlContext::ShowsIn(HWND window) const { return window_ && window_->view == window; }

bool GlContext::ShowsFullScreen() const { return window_ && window_->fullScreen; }

void GlContext::FailWindowContexts(int count) { forcedWindowFailures = count; }

void GlContext::LoseNextWindowContextUse(bool lose) { forcedLoss = lose; }

std::shared_ptr<GlContext> GlContext::CreateForWindow(HWND window, std::string& why) {
  return CreateWindowContext(window, false, why);
}

std::shared_ptr<GlContext> GlContext::CreateForFullScreen(HWND window, std::string& why) {
  return CreateWindowContext(window, true, why);
}

std::shared_ptr<GlContext> GlContext::CreateWindowContext(HWND window, bool fullScreen, std::string& why) {
  if (TakeForcedFailure()) {
    why = "the window's OpenGL context was refused";
    return nullptr;
  }
  if (!kv::platform::IsMainThread()) {
    why = "window contexts are made on the main thread";
    return nullptr;
  }
  auto* sdl = static_cast<SDL_Window*>(kv::platform::OpenGlWindowHandle(window));
  if (!sdl) {
    why = "no OpenGL window (not on SDL, or SDL cannot make one)";
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GLContext gl = SDL_GL_CreateContext(sdl);
  SDL_GL_ResetAttributes();
  if (!gl) {
    why = std::string("no OpenGL 3.3 core context for the window: ") + SDL_GetError();
    return nullptr;
  }
  std::shared_ptr<GlContext> made(new GlContext);
  made->window_ = std::make_shared<Window>();
  made->window_->view = window;
  made->window_->topLevel = TopLevelOf(window);
  made->window_->fullScreen = fullScreen;
  made->window_->sdl = sdl;
  made->window_->gl = gl;
  // The view waits for the vertical blank itself; a swap never waits again.
  SDL_GL_SetSwapInterval(0);
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  made->renderer_ = renderer ? renderer : "";
  SDL_GL_MakeCurrent(sdl, nullptr);
  {
    std::lock_guard lock(presentingMutex);
    Presenting()[made->window_->topLevel] = Presenter{made->window_.get(), made};
  }
  std::weak_ptr<GlContext> weak = made;
  kv::platform::SetWindowPresenter(made->window_->topLevel, [weak](const std::uint32_t* pixels, int width, int height) {
    if (std::shared_ptr<GlContext> context = weak.lock()) context->Present(pixels, width, height);
  });
  return made;
}

bool GlContext::MakeWindowCurrent() {
  use_.lock();
  // The window the context was made for must still be the one SDL shows:
  // a window that went (or was made again) took the context's surface.
  if (forcedLoss.exchange(false)) lost_ = true;
  if (!lost_ && kv::platform::NativeWindowHandle(window_->view) == window_->sdl &&
      SDL_GL_MakeCurrent(window_->sdl, window_->gl) == 0)
    return true;
  lost_ = true;
  use_.unlock();
  return false;
}

void GlContext::ReleaseWindow() {
  SDL_GL_MakeCurrent(window_->sdl, nullptr);
  use_.unlock();
}

void GlContext::OverlayShownPicture(HWND window, std::uint32_t* pixels, int width, int height) {
  std::shared_ptr<GlContext> context;
  {
    std::lock_guard lock(presentingMutex);
    if (auto it = Presenting().find(TopLevelOf(window)); it != Presenting().end()) context = it->second.context.lock();
  }
  if (context) context->OverlayPicture(window, pixels, width, height);
}

// The window framebuffer's pixels into formTexture, made or resized as
// needed. Most frames change only the view's part, which the picture
// covers: the window's pixels go up only when they changed.
void GlContext::Window::UploadForm(const std::uint32_t* pixels, int width, int height) {
  if (!formFramebuffer) {
    glGenTextures(1, &formTexture);
    glGenFramebuffers(1, &formFramebuffer);
  }
  const bool resized = formWidth != width || formHeight != height;
  if (!resized && std::equal(formUploaded.begin(), formUploaded.end(), pixels)) return;
  glBindTexture(GL_TEXTURE_2D, formTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (resized) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, formFramebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, formTexture, 0);
    formWidth = width;
    formHeight = height;
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  formUploaded.assign(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

// The window framebuffer's pixels everywhere, the picture over the view's
// client area, then the swap. Both are stored rows top first and placed in
// window pixels; DrawablePlacement turns them the right way up and scales
// them to the drawable.
void GlContext::Present(const std::uint32_t* pixels, int width, int height) {
  if (!MakeCurrent()) return;
  Window& w = *window_;
  const DrawablePlacement placement = PlacementOf(w.sdl);
  const GLenum filter = placement.OneToOne() ? GL_NEAREST : GL_LINEAR;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  {
    std::lock_guard lock(w.pictureMutex);
    const GlImage& image = w.OnScreen();
    const RECT area = image.framebuffer ? w.ShownArea(image) : RECT{};
    // Full screen the frame covers the whole window: its own pixels would
    // only be drawn over.
    if (area.left > 0 || area.top > 0 || area.right < width || area.bottom < height) {
      w.UploadForm(pixels, width, height);
      BlitInto(w.formFramebuffer, width, height, placement.Map(0, 0, width, height), filter);
    }
    if (image.framebuffer) {
      // In a window the picture is shown at its size, clipped; full screen
      // it is stretched over the whole client area, as a flip of memory
      // stretches the front into the window.
      const int sourceWidth = w.fullScreen ? image.width : area.right - area.left;
      const int sourceHeight = w.fullScreen ? image.height : area.bottom - area.top;
      BlitInto(image.framebuffer, sourceWidth, sourceHeight,
               placement.Map(area.left, area.top, area.right - area.left, area.bottom - area.top), filter);
    }
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  SDL_GL_SwapWindow(w.sdl);
  ReleaseCurrent();
}

}  // namespace kv::ddraw

