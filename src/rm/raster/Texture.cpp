#include "korvane3d/rm/raster/Texture.h"

#include <algorithm>

namespace kv::raster {
namespace {

std::uint32_t Average4(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    std::uint32_t sum = ((a >> shift) & 255) + ((b >> shift) & 255) + ((c >> shift) & 255) +
                        ((d >> shift) & 255);
    out |= ((sum + 2) / 4) << shift;
  }
  return out;
}

// A level with its wrap border (see TextureLevel): rows of width + 1 texels,
// height + 1 rows.
std::vector<std::uint32_t> Bordered(const std::uint32_t* texels, int width, int height) {
  const std::size_t pitch = static_cast<std::size_t>(width) + 1;
  std::vector<std::uint32_t> out(pitch * (static_cast<std::size_t>(height) + 1));
  for (int y = 0; y <= height; ++y) {
    const std::uint32_t* src = texels + static_cast<std::size_t>(y % height) * width;
    std::uint32_t* dst = out.data() + static_cast<std::size_t>(y) * pitch;
    std::copy(src, src + width, dst);
    dst[width] = src[0];
  }
  return out;
}

}  // namespace

void Texture::AddLevel(std::vector<std::uint32_t> texels, int width, int height) {
  storage_.push_back(Bordered(texels.data(), width, height));
  TextureLevel level;
  level.width = width;
  level.height = height;
  level.pitch = width + 1;
  level.texels = storage_.back().data();
  level.fw = static_cast<float>(width);
  level.fh = static_cast<float>(height);
  level.invW = 1.0f / level.fw;
  level.invH = 1.0f / level.fh;
  level.powerOfTwo = (width & (width - 1)) == 0 && (height & (height - 1)) == 0;
  levels_.push_back(level);
}

Result Texture::Create(const TextureDesc& desc, std::shared_ptr<const Texture>& out) {
  if (desc.width <= 0 || desc.height <= 0)
    return {Status::InvalidArgument, "texture size must be positive"};
  if (desc.width > kMaxSide || desc.height > kMaxSide)
    return {Status::TooLarge, "texture side larger than 16384"};
  size_t count = static_cast<size_t>(desc.width) * static_cast<size_t>(desc.height);
  if (desc.pixels.size() != count)
    return {Status::InvalidArgument, "texture pixel count does not match its size"};

  std::shared_ptr<Texture> texture(new Texture());
  std::vector<std::uint32_t> base(desc.pixels.begin(), desc.pixels.end());
  const std::uint32_t key = desc.colorKey ? (desc.keyColor & 0xffffffu) : 0;
  for (std::uint32_t& texel : base) {
    if (!desc.hasAlpha) texel |= 0xff000000u;
    if (desc.colorKey && (texel & 0xffffffu) == key) texel = 0;  // transparent black: no halo colour
    std::uint32_t alpha = texel >> 24;
    if (alpha != 255) texture->hasTransparency_ = true;
    if (alpha != 255 && alpha != 0) texture->hasAlpha_ = true;
  }
  texture->AddLevel(std::move(base), desc.width, desc.height);
  if (desc.mipmaps) texture->BuildMipChain();
  out = std::move(texture);
  return {};
}

// Each level halves the previous one (odd sides round down, never below 1)
// with a 2x2 box filter; the last texel row or column is reused for odd sides.
void Texture::BuildMipChain() {
  storage_.reserve(32);
  while (levels_.back().width > 1 || levels_.back().height > 1) {
    const TextureLevel src = levels_.back();
    int w = src.width > 1 ? src.width / 2 : 1;
    int h = src.height > 1 ? src.height / 2 : 1;
    std::vector<std::uint32_t> texels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      int y0 = std::min(2 * y, src.height - 1), y1 = std::min(2 * y + 1, src.height - 1);
      for (int x = 0; x < w; ++x) {
        int x0 = std::min(2 * x, src.width - 1), x1 = std::min(2 * x + 1, src.width - 1);
        const std::uint32_t* r0 = src.texels + static_cast<size_t>(y0) * src.pitch;
        const std::uint32_t* r1 = src.texels + static_cast<size_t>(y1) * src.pitch;
        texels[static_cast<size_t>(y) * w + x] = Average4(r0[x0], r0[x1], r1[x0], r1[x1]);
      }
    }
    AddLevel(std::move(texels), w, h);
  }
}

}  // namespace kv::raster
