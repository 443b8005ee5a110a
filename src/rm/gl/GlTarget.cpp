// The framebuffer standing in for the render target, and the moves of
// pixels between it and the target's memory.
#include <algorithm>
#include <cstring>

#include "korvane3d/rm/gl/GlInternal.h"
#include "korvane3d/rm/raster/TileOutput.h"

namespace kv::glraster {

namespace {

int BytesPerPixel(kr::PixelFormat f) {
  switch (f) {
    case kr::PixelFormat::Xrgb8888: return 4;
    case kr::PixelFormat::Rgb888: return 3;
    default: return 2;
  }
}

// A tile over the whole working plane, limited to rect.
kr::TileTarget PlaneTile(std::vector<std::uint32_t>& plane, int width, const kr::Rect& rect) {
  kr::TileTarget t;
  t.color = plane.data();
  t.colorPitch = width;
  t.colorSafeX = width;
  t.x0 = rect.x;
  t.y0 = rect.y;
  t.x1 = rect.x + rect.width;
  t.y1 = rect.y + rect.height;
  return t;
}

}  // namespace

GlTarget::~GlTarget() { Release(); }

void GlTarget::Release() {
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (color_) glDeleteTextures(1, &color_);
  if (depth_) glDeleteRenderbuffers(1, &depth_);
  framebuffer_ = color_ = depth_ = 0;
  width_ = height_ = 0;
}

kr::Result GlTarget::Prepare(const kr::Target& target) {
  if (framebuffer_ && target.width == width_ && target.height == height_ && target.depthFormat == depthFormat_)
    return {};
  Release();
  glGenTextures(1, &color_);
  glBindTexture(GL_TEXTURE_2D, color_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, target.width, target.height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  // Depth with stencil in one buffer (the stencil marks shadow pixels); the
  // 16-bit depth of the target gets 24 bits here.
  glRenderbufferStorage(GL_RENDERBUFFER,
                        target.depthFormat == kr::DepthFormat::Float32 ? GL_DEPTH32F_STENCIL8 : GL_DEPTH24_STENCIL8,
                        target.width, target.height);
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    Release();
    return {kr::Status::InvalidArgument, "the GL framebuffer for the target is incomplete"};
  }
  width_ = target.width;
  height_ = target.height;
  depthFormat_ = target.depthFormat;
  justMade_ = true;
  // Colour and the record of the last read back start alike (all zero), so
  // that whatever differs in the target is uploaded; depth starts far.
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xff);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  working_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  lastPitch_ = target.pitch;
  lastFormat_ = target.format;
  lastRead_.assign(static_cast<std::size_t>(target.pitch) * static_cast<std::size_t>(height_), 0);
  lastValid_ = true;
  return {};
}

void GlTarget::Upload(const std::uint32_t* pixels, int pitchPixels, const kr::Rect& rect) {
  glBindTexture(GL_TEXTURE_2D, color_);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pitchPixels);
  glTexSubImage2D(GL_TEXTURE_2D, 0, rect.x, rect.y, rect.width, rect.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                  pixels + static_cast<std::ptrdiff_t>(rect.y) * pitchPixels + rect.x);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GlTarget::Refresh(const kr::Target& target, const kr::Rect& viewport) {
  if (target.pitch != lastPitch_ || target.format != lastFormat_) {
    // Another layout: nothing is known to match until the next upload or read back.
    lastPitch_ = target.pitch;
    lastFormat_ = target.format;
    lastRead_.assign(static_cast<std::size_t>(target.pitch) * static_cast<std::size_t>(height_), 0);
    lastValid_ = false;
  }
  // Unknown colour buffer: the whole target goes up.
  const kr::Rect rect = lastValid_ ? viewport : kr::Rect{0, 0, width_, height_};
  const auto* bytes = static_cast<const std::uint8_t*>(target.pixels);
  const std::size_t offset = static_cast<std::size_t>(rect.x) * static_cast<std::size_t>(BytesPerPixel(target.format));
  const std::size_t span = static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(BytesPerPixel(target.format));
  bool same = lastValid_ && !finerThanTarget_;
  for (int y = rect.y; y < rect.y + rect.height && same; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(target.pitch) + offset;
    same = std::memcmp(bytes + row, lastRead_.data() + row, span) == 0;
  }
  if (same) return;
  kr::LoadTileFromTarget(target, PlaneTile(working_, width_, rect));
  Upload(working_.data(), width_, rect);
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(target.pitch) + offset;
    std::memcpy(lastRead_.data() + row, bytes + row, span);
  }
  lastValid_ = true;
  finerThanTarget_ = false;
}

void GlTarget::ReadBack(const kr::Target& target, const kr::Rect& rect, bool dither) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (target.format == kr::PixelFormat::Xrgb8888 && target.pitch % 4 == 0) {
    // The colour buffer's alpha is kept at zero, so its words are the target's.
    auto* pixels = static_cast<std::uint32_t*>(target.pixels);
    glPixelStorei(GL_PACK_ROW_LENGTH, target.pitch / 4);
    glReadPixels(rect.x, rect.y, rect.width, rect.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 pixels + static_cast<std::ptrdiff_t>(rect.y) * (target.pitch / 4) + rect.x);
  } else {
    glPixelStorei(GL_PACK_ROW_LENGTH, width_);
    glReadPixels(rect.x, rect.y, rect.width, rect.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 working_.data() + static_cast<std::ptrdiff_t>(rect.y) * width_ + rect.x);
    kr::StoreTileToTarget(target, PlaneTile(working_, width_, rect), dither);
    finerThanTarget_ = target.format == kr::PixelFormat::Rgb565 || target.format == kr::PixelFormat::Rgb555;
  }
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  const auto* bytes = static_cast<const std::uint8_t*>(target.pixels);
  const std::size_t offset = static_cast<std::size_t>(rect.x) * static_cast<std::size_t>(BytesPerPixel(target.format));
  const std::size_t span = static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(BytesPerPixel(target.format));
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(target.pitch) + offset;
    std::memcpy(lastRead_.data() + row, bytes + row, span);
  }
}

}  // namespace kv::glraster
