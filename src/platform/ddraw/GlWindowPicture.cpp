// A window context's images and surface memory (GlContext.h): the device's
// picture and, full screen, the frame the last flip showed, read back into
// the surfaces that follow them when those are read, written up after the
// CPU drew on them, and laid over a window's pixels when it is read back.
#include <algorithm>

#include "korvane3d/platform/ddraw/Blit.h"
#include "korvane3d/platform/ddraw/GlWindow.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv::ddraw {

namespace {

// The image's pixels, 0x00RRGGBB words rows top first (its alpha is kept at
// zero), width x height from the bottom-left of its framebuffer.
void ReadImage(const GlImage& image, std::uint32_t* pixels, int pitchPixels) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, image.framebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, pitchPixels);
  glReadPixels(0, 0, image.width, image.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
}

// shown made the size of drawn (its objects made on first use) and given
// drawn's pixels, on the GPU.
void CopyImage(const GlImage& drawn, GlImage& shown) {
  if (!shown.framebuffer) {
    glGenTextures(1, &shown.texture);
    glGenFramebuffers(1, &shown.framebuffer);
  }
  if (shown.width != drawn.width || shown.height != drawn.height) {
    glBindTexture(GL_TEXTURE_2D, shown.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, drawn.width, drawn.height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shown.framebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, shown.texture, 0);
    shown.width = drawn.width;
    shown.height = drawn.height;
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, drawn.framebuffer);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shown.framebuffer);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitFramebuffer(0, 0, drawn.width, drawn.height, 0, 0, drawn.width, drawn.height, GL_COLOR_BUFFER_BIT,
                    GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  ++shown.generation;
}

}  // namespace

void GlContext::SetPicture(unsigned framebuffer, unsigned colorTexture, int width, int height) {
  if (!window_) return;
  std::lock_guard lock(window_->pictureMutex);
  GlImage& drawn = window_->drawn;
  drawn.framebuffer = framebuffer;
  drawn.texture = colorTexture;
  drawn.width = width;
  drawn.height = height;
  if (framebuffer) ++drawn.generation;
}

void GlContext::ReadPicture(Image image, std::byte* pixels, int pitchBytes, std::uint64_t& held) {
  if (!window_) return;
  {
    std::lock_guard lock(window_->pictureMutex);
    const GlImage& from = window_->Of(image);
    if (!from.framebuffer || from.generation == held) return;
  }
  if (!MakeCurrent()) return;
  {
    std::lock_guard lock(window_->pictureMutex);
    const GlImage& from = window_->Of(image);
    if (from.framebuffer) {
      ReadImage(from, reinterpret_cast<std::uint32_t*>(pixels), pitchBytes / 4);
      held = from.generation;
    }
  }
  ReleaseCurrent();
}

void GlContext::UploadPicture(Image image, const std::byte* pixels, int pitchBytes, std::uint64_t& held) {
  if (!window_) return;
  {
    std::lock_guard lock(window_->pictureMutex);
    if (!window_->Of(image).texture) return;
  }
  if (!MakeCurrent()) return;
  {
    std::lock_guard lock(window_->pictureMutex);
    GlImage& to = window_->Of(image);
    if (to.texture) {
      glBindTexture(GL_TEXTURE_2D, to.texture);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
      glPixelStorei(GL_UNPACK_ROW_LENGTH, pitchBytes / 4);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, to.width, to.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
      glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
      glBindTexture(GL_TEXTURE_2D, 0);
      held = ++to.generation;
    }
  }
  ReleaseCurrent();
}

bool GlContext::FlipPicture() {
  if (!window_ || !window_->fullScreen || !MakeCurrent()) return false;
  bool flipped = false;
  {
    std::lock_guard lock(window_->pictureMutex);
    if (window_->drawn.framebuffer) {
      CopyImage(window_->drawn, window_->shown);
      flipped = true;
    }
  }
  ReleaseCurrent();
  // The window layer hands its pixels to Present, which lays the frame
  // shown over them and swaps.
  if (flipped) kv::platform::PresentWindowPixels(window_->topLevel);
  return flipped && !Lost();
}

// The image on screen read from its framebuffer object, then placed where
// the view lies in window: at its size and clipped to the view's client
// area, or full screen stretched over it as Present stretches it.
void GlContext::OverlayPicture(HWND window, std::uint32_t* pixels, int width, int height) {
  Window& w = *window_;
  const POINT windowAt = OriginInTopLevel(window);
  std::vector<std::uint32_t> picture;
  int pictureWidth = 0, pictureHeight = 0;
  RECT area{};
  if (!MakeCurrent()) return;
  {
    std::lock_guard lock(w.pictureMutex);
    const GlImage& image = w.OnScreen();
    if (image.framebuffer) {
      pictureWidth = image.width;
      pictureHeight = image.height;
      area = w.ShownArea(image);
      picture.resize(static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight));
      ReadImage(image, picture.data(), pictureWidth);
    }
  }
  ReleaseCurrent();
  for (std::uint32_t& p : picture) p &= 0x00FFFFFFu;
  if (picture.empty() || area.right <= area.left || area.bottom <= area.top) return;
  const PixelView into{reinterpret_cast<std::byte*>(pixels), width, height, width * 4, Format::Xrgb8888};
  const PixelView from{reinterpret_cast<std::byte*>(picture.data()), pictureWidth, pictureHeight, pictureWidth * 4,
                       Format::Xrgb8888};
  const RECT dest{area.left - windowAt.x, area.top - windowAt.y, area.right - windowAt.x, area.bottom - windowAt.y};
  const RECT source = w.fullScreen ? from.Bounds() : RECT{0, 0, area.right - area.left, area.bottom - area.top};
  StretchCopy(into, dest, into.Bounds(), from, source);
}

}  // namespace kv::ddraw

