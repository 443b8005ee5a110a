// An immutable texture for the rasterizer: 32-bit texels with an optional mip
// chain and colour key applied once at creation, so that sampling never has
// to look at the key. Shared between draws and frames through shared_ptr.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "korvane3d/rm/raster/FrameData.h"
#include "korvane3d/rm/raster/RasterTypes.h"

namespace kv::raster {

struct TextureDesc {
  int width = 0, height = 0;
  std::span<const std::uint32_t> pixels;  // 0xAARRGGBB, top row first (v = 0)
  bool hasAlpha = false;      // false: every texel is opaque whatever its top byte
  bool mipmaps = false;       // build the chain the mip filters sample
  bool colorKey = false;      // texels whose RGB equals keyColor become transparent
  std::uint32_t keyColor = 0; // 0x??RRGGBB
};

class Texture {
 public:
  static constexpr int kMaxSide = 16384;

  static Result Create(const TextureDesc& desc, std::shared_ptr<const Texture>& out);

  int Width() const { return levels_[0].width; }
  int Height() const { return levels_[0].height; }
  int LevelCount() const { return static_cast<int>(levels_.size()); }
  const TextureLevel& GetLevel(int i) const { return levels_[static_cast<size_t>(i)]; }
  const TextureLevel* Levels() const { return levels_.data(); }
  // Some texels are not fully opaque (alpha or colour key): draws test alpha.
  bool HasTransparency() const { return hasTransparency_; }
  // Some texels are partly transparent (real alpha): blended when allowed.
  bool HasAlpha() const { return hasAlpha_; }

 private:
  Texture() = default;
  void AddLevel(std::vector<std::uint32_t> texels, int width, int height);
  void BuildMipChain();

  std::vector<std::vector<std::uint32_t>> storage_;
  std::vector<TextureLevel> levels_;
  bool hasTransparency_ = false;
  bool hasAlpha_ = false;
};

}  // namespace kv::raster
