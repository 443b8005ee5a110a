// Camera projection and the mapping from clip space to viewport pixels.
//
// Clip space here is chosen so that x/w and y/w run from -1 to 1 across the
// viewport rectangle (not across the view window: with uniform scaling the
// window may cover more or less than the viewport), z/w is the depth (0 at the
// front plane, 1 at the back plane) and w is the camera-space depth for a
// perspective projection (1 for an orthographic one).
#pragma once

#include "korvane3d/rm/raster/RasterTypes.h"

namespace kv::raster {

struct ScreenMapping {
  float centreX = 0, centreY = 0;  // pixel coordinates of clip (0,0)
  float halfWidth = 0, halfHeight = 0;
  // Pixel X = centreX + halfWidth·x/w, Y = centreY − halfHeight·y/w (y down).
};

// Pixels per camera unit on the front plane, per axis.
struct ProjectionScale {
  float sx = 0, sy = 0;
};

Result ValidateProjection(const Projection& projection);
ProjectionScale ScaleOf(const Projection& projection, const Rect& viewport);
ScreenMapping MappingOf(const Rect& viewport);

// Camera space to clip space, for a non-empty viewport.
Matrix CameraToClip(const Projection& projection, const Rect& viewport);

// World point to (X·w, Y·w, depth·w, w) with X, Y in target pixels and w a
// positive multiple of the camera depth for points in front of the camera
// (w = z·h/front with h half the window height; 1 for orthographic views).
Vec4 TransformToScreen(const View& view, Vec3 world);
// The inverse: false when w is zero or the camera matrix is singular.
bool InverseTransformFromScreen(const View& view, Vec4 screen, Vec3& world);

}  // namespace kv::raster
