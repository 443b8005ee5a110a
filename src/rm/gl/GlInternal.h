// Pieces of the GL sink (GlRenderer.h): the shader program, the texture
// cache and the framebuffer that stands in for the render target. Each needs
// the sink's context current on the calling thread.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "korvane3d/rm/raster/BatchSink.h"

namespace kv::glraster {

namespace kr = kv::raster;

// What a fragment shader variant does beyond interpolating colour.
enum ShaderFeature : unsigned {
  kTextured = 1,
  kAffine = 2,      // texture coordinates interpolated without perspective
  kAlphaTest = 4,   // keyed (transparent) texels discarded
  kSpecular = 8,    // separate specular added after texturing
  kFog = 16,
  kFeatureCount = 32,
};
unsigned FeaturesOf(const kr::DrawState& state, bool textured);

// A shader program: clip-space ClipVertex records in, the pixel stage's
// texture modulation, separate specular, fog and alpha test out.
class GlProgram {
 public:
  bool Build(unsigned features, std::string& why);
  ~GlProgram();
  void Use() const { glUseProgram(program_); }
  // Forgets the program without deleting it: its context is gone.
  void Abandon() { program_ = 0; }
  // With the program in use; each sets its uniform only when it changes.
  void SetAlphaReference(bool blend);
  void SetFog(std::uint32_t color);

 private:
  GLuint program_ = 0;
  GLint alphaRef_ = -1, fogColor_ = -1;
  float alphaRef = -1;
  std::uint32_t fogColor = ~0u;
};

// The variants, each compiled when first needed.
class GlPrograms {
 public:
  // Null, with why, when the variant does not compile.
  GlProgram* For(unsigned features, std::string& why);
  void Abandon() {
    for (auto& program : programs_)
      if (program) program->Abandon();
  }

 private:
  std::unique_ptr<GlProgram> programs_[kFeatureCount];
};

// GL textures made from rasterizer textures, each uploaded once with its mip
// chain and dropped when its texture is gone.
class GlTextureCache {
 public:
  ~GlTextureCache();
  // Binds texture to unit 0 with the frame's filter.
  void Bind(const std::shared_ptr<const kr::Texture>& texture, kr::TextureFilter filter);
  // Drops the GL textures of rasterizer textures that no longer exist.
  void Prune();
  // Forgets every GL texture without deleting it: the context is gone.
  void Abandon() { entries_.clear(); }

 private:
  struct Entry {
    std::weak_ptr<const kr::Texture> source;
    GLuint name = 0;
    int filter = -1;
  };
  std::unordered_map<const kr::Texture*, Entry> entries_;
};

// The framebuffer the device draws into: colour (RGBA8, alpha kept at zero)
// and depth with stencil, the size of the target. The target's pixels are
// uploaded at the start of a frame only where they differ from what the last
// frame read back (another device's drawing, a GDI event, a blit).
class GlTarget {
 public:
  ~GlTarget();
  kr::Result Prepare(const kr::Target& target);
  void Bind() const { glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_); }
  GLuint Framebuffer() const { return framebuffer_; }
  GLuint ColorTexture() const { return color_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Puts the target's pixels inside viewport into the colour buffer unless
  // they are what the last read back left there.
  void Refresh(const kr::Target& target, const kr::Rect& viewport);
  // Colour 0x00RRGGBB words (target rows, y down) inside rect into the colour buffer.
  void Upload(const std::uint32_t* pixels, int pitchPixels, const kr::Rect& rect);
  // The colour buffer inside rect into the target's pixels, in its format.
  void ReadBack(const kr::Target& target, const kr::Rect& rect, bool dither);
  // Forgets the GL objects without deleting them: the context is gone.
  void Abandon() { framebuffer_ = color_ = depth_ = 0; }
  // Whether no frame has drawn into the framebuffer since it was made.
  bool JustMade() const { return justMade_; }
  void MarkDrawn() { justMade_ = false; }
  // A 32-bit plane the size of the target, for tile helpers.
  std::vector<std::uint32_t>& Working() { return working_; }

 private:
  void Release();
  GLuint framebuffer_ = 0, color_ = 0, depth_ = 0;
  int width_ = 0, height_ = 0;
  kr::DepthFormat depthFormat_ = kr::DepthFormat::Float32;
  std::vector<std::uint32_t> working_;
  std::vector<std::uint8_t> lastRead_;  // the target's bytes as the last read back left them
  int lastPitch_ = 0;
  kr::PixelFormat lastFormat_ = kr::PixelFormat::Xrgb8888;
  // False: lastRead_ says nothing about the colour buffer, so the whole
  // rectangle is uploaded at the next Refresh.
  bool lastValid_ = false;
  // True after a 16-bit read back: the colour buffer keeps finer colours
  // than the target's pixels, so the next frame starts from the target's
  // own (as the software device does, which blends over what it stored).
  bool finerThanTarget_ = false;
  bool justMade_ = false;
};

}  // namespace kv::glraster
