#include "korvane3d/rm/Texture.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace kv::rm {

namespace {

using ImagePtr = std::shared_ptr<const kv::image::Image>;
using Levels = std::vector<ImagePtr>;

// Mip chains by their first level. An entry's chain holds that level, so
// while the chain lives no other image can take its address.
class SharedMipChains {
 public:
  std::shared_ptr<const Levels> For(const ImagePtr& image) {
    std::lock_guard lock(mutex_);
    if (auto it = chains_.find(image.get()); it != chains_.end())
      if (std::shared_ptr<const Levels> known = it->second.lock()) return known;
    auto chain = std::make_shared<Levels>(Levels{image});
    while (chain->back()->width > 1 || chain->back()->height > 1)
      chain->push_back(std::make_shared<const kv::image::Image>(HalveImage(*chain->back())));
    std::erase_if(chains_, [](const auto& entry) { return entry.second.expired(); });
    chains_[image.get()] = chain;
    return chain;
  }

 private:
  std::mutex mutex_;
  std::map<const kv::image::Image*, std::weak_ptr<const Levels>> chains_;
};

SharedMipChains& MipChains() {
  static SharedMipChains chains;
  return chains;
}

}  // namespace

HRESULT Texture::Load(std::string_view path, ComPtr<Texture>& out) {
  out = nullptr;
  ImagePtr image;
  kv::image::Result result = kv::image::LoadSharedImageFile(path, image);
  if (result.status == kv::image::Status::FileNotFound) return D3DRMERR_FILENOTFOUND;
  if (!result) return D3DRMERR_BADFILE;
  out = FromLevels(std::make_shared<const Levels>(Levels{std::move(image)}));
  out->fileName_ = std::string(path);
  return D3DRM_OK;
}

ComPtr<Texture> Texture::FromImage(kv::image::Image image) {
  return FromLevels(std::make_shared<const Levels>(Levels{std::make_shared<const kv::image::Image>(std::move(image))}));
}

ComPtr<Texture> Texture::FromLevels(std::shared_ptr<const Levels> levels) {
  auto texture = ComPtr<Texture>::Adopt(new Texture);
  texture->levels_ = std::move(levels);
  return texture;
}

Texture* Texture::From(IUnknown* object) { return ExactCast<Texture>(object); }

HRESULT Texture::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out,
                     {IID_IDirect3DRMObject, IID_IDirect3DRMVisual, IID_IDirect3DRMTexture, IID_IDirect3DRMTexture2,
                      IID_IDirect3DRMTexture3},
                     static_cast<IDirect3DRMTexture3*>(this));
}

HRESULT Texture::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  auto copy = ComPtr<Texture>::Adopt(new Texture);
  copy->CopyObjectDataFrom(*this);
  copy->levels_ = levels_;
  copy->fileName_ = fileName_;
  copy->colors_ = colors_;
  copy->shades_ = shades_;
  copy->decal_ = decal_;
  return copy->QueryInterface(iid, out);
}

HRESULT Texture::SetColors(DWORD colors) {
  EngineLock lock;
  colors_ = colors;
  return D3DRM_OK;
}

DWORD Texture::GetColors() {
  EngineLock lock;
  return colors_;
}

HRESULT Texture::SetShades(DWORD shades) {
  EngineLock lock;
  shades_ = shades;
  return D3DRM_OK;
}

DWORD Texture::GetShades() {
  EngineLock lock;
  return shades_;
}

kv::image::Image HalveImage(const kv::image::Image& image) {
  kv::image::Image half;
  half.width = std::max(1, image.width / 2);
  half.height = std::max(1, image.height / 2);
  half.hasAlpha = image.hasAlpha;
  half.pixels.resize(static_cast<std::size_t>(half.width) * half.height);
  for (int y = 0; y < half.height; ++y)
    for (int x = 0; x < half.width; ++x) {
      int x0 = std::min(2 * x, image.width - 1), x1 = std::min(2 * x + 1, image.width - 1);
      int y0 = std::min(2 * y, image.height - 1), y1 = std::min(2 * y + 1, image.height - 1);
      std::uint32_t texels[4] = {image.At(x0, y0), image.At(x1, y0), image.At(x0, y1), image.At(x1, y1)};
      std::uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        std::uint32_t sum = 2;  // rounds to nearest
        for (std::uint32_t t : texels) sum += (t >> shift) & 0xff;
        out |= (sum / 4) << shift;
      }
      half.pixels[static_cast<std::size_t>(y) * half.width + x] = out;
    }
  return half;
}

HRESULT Texture::GenerateMIPMap(DWORD) {
  EngineLock lock;
  levels_ = MipChains().For(SharedImage());
  return D3DRM_OK;
}

HRESULT Texture::SetDecalSize(D3DVALUE width, D3DVALUE height) {
  if (!std::isfinite(width) || !std::isfinite(height)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  decal_.width = width;
  decal_.height = height;
  return D3DRM_OK;
}

HRESULT Texture::GetDecalSize(D3DVALUE* width, D3DVALUE* height) {
  if (!width || !height) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *width = decal_.width;
  *height = decal_.height;
  return D3DRM_OK;
}

HRESULT Texture::SetDecalOrigin(LONG x, LONG y) {
  EngineLock lock;
  decal_.originX = x;
  decal_.originY = y;
  return D3DRM_OK;
}

HRESULT Texture::GetDecalOrigin(LONG* x, LONG* y) {
  if (!x || !y) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *x = decal_.originX;
  *y = decal_.originY;
  return D3DRM_OK;
}

HRESULT Texture::SetDecalScale(DWORD scale) {
  EngineLock lock;
  decal_.scale = scale != 0;
  return D3DRM_OK;
}

DWORD Texture::GetDecalScale() {
  EngineLock lock;
  return decal_.scale ? TRUE : FALSE;
}

HRESULT Texture::SetDecalTransparency(BOOL transparent) {
  EngineLock lock;
  decal_.transparent = transparent != FALSE;
  return D3DRM_OK;
}

BOOL Texture::GetDecalTransparency() {
  EngineLock lock;
  return decal_.transparent ? TRUE : FALSE;
}

HRESULT Texture::SetDecalTransparentColor(D3DCOLOR color) {
  EngineLock lock;
  decal_.transparentColor = color;
  return D3DRM_OK;
}

D3DCOLOR Texture::GetDecalTransparentColor() {
  EngineLock lock;
  return decal_.transparentColor;
}

HRESULT Texture::GetSize(DWORD* width, DWORD* height) {
  if (!width || !height) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *width = static_cast<DWORD>(Image().width);
  *height = static_cast<DWORD>(Image().height);
  return D3DRM_OK;
}

}  // namespace kv::rm
