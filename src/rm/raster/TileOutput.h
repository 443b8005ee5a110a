// Work at the start and end of a tile: clearing colour and depth, drawing the
// stretched background image, and moving pixels between the 32-bit working
// plane and 24-bit or 16-bit targets (with ordered dithering).
#pragma once

#include <cstdint>

#include "korvane3d/rm/raster/Kernels.h"
#include "korvane3d/rm/raster/RasterTypes.h"
#include "korvane3d/rm/raster/Texture.h"

namespace kv::raster {

void FillTileColor(const TileTarget& tile, std::uint32_t xrgb);
// The image scaled to the viewport (nearest texel), the part inside the tile.
void FillTileBackground(const TileTarget& tile, const Texture& image, const Rect& viewport);
void ClearTileDepth(const TileTarget& tile);

// target format <-> the tile's 32-bit working plane
void LoadTileFromTarget(const Target& target, const TileTarget& tile);
void StoreTileToTarget(const Target& target, const TileTarget& tile, bool dither);

// One pixel converted to a 16-bit format; threshold 0..15 from the 4x4
// ordered-dither matrix, or -1 for plain rounding.
std::uint16_t PackRgb565(std::uint32_t xrgb, int threshold);
std::uint16_t PackRgb555(std::uint32_t xrgb, int threshold);
int DitherThreshold(int x, int y);

}  // namespace kv::raster
