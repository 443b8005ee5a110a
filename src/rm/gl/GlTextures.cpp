// Rasterizer textures as GL textures. A rasterizer texture never changes
// once made, so each is uploaded once; its GL copy goes when it is gone.
#include <cstdint>

#include "korvane3d/rm/gl/GlInternal.h"
#include "korvane3d/rm/raster/Texture.h"

namespace kv::glraster {

namespace {

// The GL filters of a texture quality: minification, magnification.
void FiltersOf(kr::TextureFilter filter, GLint& min, GLint& mag) {
  switch (filter) {
    case kr::TextureFilter::Nearest: min = GL_NEAREST; mag = GL_NEAREST; return;
    case kr::TextureFilter::Linear: min = GL_LINEAR; mag = GL_LINEAR; return;
    case kr::TextureFilter::MipNearest: min = GL_NEAREST_MIPMAP_NEAREST; mag = GL_NEAREST; return;
    case kr::TextureFilter::MipLinear: min = GL_LINEAR_MIPMAP_NEAREST; mag = GL_LINEAR; return;
    case kr::TextureFilter::LinearMipNearest: min = GL_NEAREST_MIPMAP_LINEAR; mag = GL_NEAREST; return;
    case kr::TextureFilter::LinearMipLinear: min = GL_LINEAR_MIPMAP_LINEAR; mag = GL_LINEAR; return;
  }
  min = mag = GL_NEAREST;
}

GLuint Upload(const kr::Texture& texture) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  // Texels are 0xAARRGGBB words; each level's rows carry one border texel.
  for (int i = 0; i < texture.LevelCount(); ++i) {
    const kr::TextureLevel& level = texture.GetLevel(i);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, level.pitch);
    glTexImage2D(GL_TEXTURE_2D, i, GL_RGBA8, level.width, level.height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 level.texels);
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, texture.LevelCount() - 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  return name;
}

}  // namespace

GlTextureCache::~GlTextureCache() {
  for (auto& [key, entry] : entries_) glDeleteTextures(1, &entry.name);
}

void GlTextureCache::Bind(const std::shared_ptr<const kr::Texture>& texture, kr::TextureFilter filter) {
  auto [it, added] = entries_.try_emplace(texture.get());
  Entry& entry = it->second;
  // The same address may belong to a newer texture once the old one is gone.
  if (!added && entry.source.lock() != texture) {
    glDeleteTextures(1, &entry.name);
    entry = {};
  }
  if (entry.name == 0) {
    entry.source = texture;
    entry.name = Upload(*texture);
  } else {
    glBindTexture(GL_TEXTURE_2D, entry.name);
  }
  if (entry.filter != static_cast<int>(filter)) {
    GLint min = GL_NEAREST, mag = GL_NEAREST;
    FiltersOf(filter, min, mag);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag);
    entry.filter = static_cast<int>(filter);
  }
}

void GlTextureCache::Prune() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.source.expired()) {
      glDeleteTextures(1, &it->second.name);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace kv::glraster
