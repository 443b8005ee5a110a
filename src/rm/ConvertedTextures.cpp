#include "korvane3d/rm/ConvertedTextures.h"

#include <map>
#include <mutex>

namespace kv::rm {

namespace {

namespace kr = kv::raster;

struct Key {
  const kv::image::Image* image = nullptr;
  bool hasAlpha = false, mipmaps = false, colorKey = false;
  std::uint32_t keyColor = 0;
  auto operator<=>(const Key&) const = default;
};

// An entry watches both its image and its texture. A texture may outlive
// its image for a moment (a frame still drawing it), and a new image may
// then take the old one's address: the image's own weak pointer tells the
// two apart.
struct Entry {
  std::weak_ptr<const kv::image::Image> image;
  std::weak_ptr<const kr::Texture> texture;
};

bool SameImage(const std::weak_ptr<const kv::image::Image>& a, const std::shared_ptr<const kv::image::Image>& b) {
  return !a.expired() && !a.owner_before(b) && !b.owner_before(a);
}

class Conversions {
 public:
  std::shared_ptr<const kr::Texture> For(const std::shared_ptr<const kv::image::Image>& image,
                                         const kr::TextureDesc& desc) {
    const Key key{image.get(), desc.hasAlpha, desc.mipmaps, desc.colorKey, desc.colorKey ? desc.keyColor : 0};
    std::lock_guard lock(mutex_);
    if (auto it = entries_.find(key); it != entries_.end() && SameImage(it->second.image, image))
      if (std::shared_ptr<const kr::Texture> known = it->second.texture.lock()) return known;
    std::shared_ptr<const kr::Texture> converted;
    if (!kr::Texture::Create(desc, converted)) return nullptr;
    std::erase_if(entries_, [](const auto& e) { return e.second.texture.expired() || e.second.image.expired(); });
    entries_[key] = {image, converted};
    return converted;
  }

 private:
  std::mutex mutex_;
  std::map<Key, Entry> entries_;
};

}  // namespace

std::shared_ptr<const kv::raster::Texture> ConvertShared(const std::shared_ptr<const kv::image::Image>& image,
                                                         const kv::raster::TextureDesc& desc) {
  static Conversions conversions;
  return conversions.For(image, desc);
}

}  // namespace kv::rm
