// Rasterizer textures shared by every texture, on every device, that shows
// the same image with the same conversion settings: objects that name the
// same image file hold its texels once, however many they are.
#pragma once

#include <memory>

#include "korvane3d/rm/image/Image.h"
#include "korvane3d/rm/raster/Texture.h"

namespace kv::rm {

// The rasterizer texture made from `image` with the settings in `desc`
// (whose pixels are the image's): the one already made when it is still in
// use, else a new one. Null when the rasterizer refuses the image.
std::shared_ptr<const kv::raster::Texture> ConvertShared(const std::shared_ptr<const kv::image::Image>& image,
                                                         const kv::raster::TextureDesc& desc);

}  // namespace kv::rm
