#include "korvane3d/rm/raster/Projection.h"

#include <algorithm>
#include <cmath>

#include "korvane3d/rm/raster/RasterMath.h"

namespace kv::raster {

Result ValidateProjection(const Projection& p) {
  if (!(p.front > 0) || !std::isfinite(p.front)) return {Status::InvalidArgument, "front plane must be positive"};
  if (!(p.back > p.front) || !std::isfinite(p.back))
    return {Status::InvalidArgument, "back plane must lie beyond the front plane"};
  if (!(p.right != p.left) || !(p.top != p.bottom) || !std::isfinite(p.left) || !std::isfinite(p.right) ||
      !std::isfinite(p.top) || !std::isfinite(p.bottom))
    return {Status::InvalidArgument, "view window has no area"};
  return {};
}

ProjectionScale ScaleOf(const Projection& p, const Rect& vp) {
  float windowW = p.right - p.left, windowH = p.top - p.bottom;
  if (p.uniformScaling) {
    float s = static_cast<float>(std::max(vp.width, vp.height)) /
              std::max(std::fabs(windowW), std::fabs(windowH));
    return {windowW < 0 ? -s : s, windowH < 0 ? -s : s};
  }
  return {static_cast<float>(vp.width) / windowW, static_cast<float>(vp.height) / windowH};
}

ScreenMapping MappingOf(const Rect& vp) {
  ScreenMapping m;
  m.halfWidth = 0.5f * static_cast<float>(vp.width);
  m.halfHeight = 0.5f * static_cast<float>(vp.height);
  m.centreX = static_cast<float>(vp.x) + m.halfWidth;
  m.centreY = static_cast<float>(vp.y) + m.halfHeight;
  return m;
}

Matrix CameraToClip(const Projection& p, const Rect& vp) {
  ProjectionScale s = ScaleOf(p, vp);
  ScreenMapping map = MappingOf(vp);
  float kx = s.sx / map.halfWidth, ky = s.sy / map.halfHeight;
  float cx = 0.5f * (p.left + p.right), cy = 0.5f * (p.bottom + p.top);
  float mirror = p.rightHanded ? -1.0f : 1.0f;
  float d = p.front, f = p.back;
  Matrix m;
  if (p.type == ProjectionType::Perspective) {
    // x_c = kx·(x·d − cx·z), y_c = ky·(y·d − cy·z), z_c = (z − d)·f/(f − d), w = z.
    m.m[0][0] = mirror * kx * d;
    m.m[2][0] = -kx * cx;
    m.m[1][1] = ky * d;
    m.m[2][1] = -ky * cy;
    m.m[2][2] = f / (f - d);
    m.m[3][2] = -d * f / (f - d);
    m.m[2][3] = 1;
    m.m[3][3] = 0;
  } else {
    m.m[0][0] = mirror * kx;
    m.m[3][0] = -kx * cx;
    m.m[1][1] = ky;
    m.m[3][1] = -ky * cy;
    m.m[2][2] = 1 / (f - d);
    m.m[3][2] = -d / (f - d);
  }
  return m;
}

Vec4 TransformToScreen(const View& view, Vec3 world) {
  const Projection& p = view.projection;
  Vec3 c = TransformPoint(world, view.worldToCamera);
  if (p.rightHanded) c.x = -c.x;
  ProjectionScale s = ScaleOf(p, view.viewport);
  ScreenMapping map = MappingOf(view.viewport);
  float cx = 0.5f * (p.left + p.right), cy = 0.5f * (p.bottom + p.top);
  float d = p.front, f = p.back;
  if (p.type == ProjectionType::Perspective) {
    // With w = z·h/d: X·w = (centreX − sx·cx)·w + sx·x·h, which stays finite
    // for points at or behind the camera.
    float h = 0.5f * (p.top - p.bottom);
    float w = c.z * h / d;
    return {(map.centreX - s.sx * cx) * w + s.sx * c.x * h, (map.centreY + s.sy * cy) * w - s.sy * c.y * h,
            (c.z - d) * h / (d * (1 - d / f)), w};
  }
  return {map.centreX + s.sx * (c.x - cx), map.centreY - s.sy * (c.y - cy), (c.z - d) / (f - d), 1};
}

bool InverseTransformFromScreen(const View& view, Vec4 screen, Vec3& world) {
  if (screen.w == 0 || !std::isfinite(screen.w)) return false;
  const Projection& p = view.projection;
  float X = screen.x / screen.w, Y = screen.y / screen.w, zn = screen.z / screen.w;
  ProjectionScale s = ScaleOf(p, view.viewport);
  ScreenMapping map = MappingOf(view.viewport);
  float cx = 0.5f * (p.left + p.right), cy = 0.5f * (p.bottom + p.top);
  float d = p.front, f = p.back;
  float xp = (X - map.centreX) / s.sx + cx, yp = (map.centreY - Y) / s.sy + cy;
  Vec3 c;
  if (p.type == ProjectionType::Perspective) {
    float denom = 1 - zn * (1 - d / f);
    if (denom == 0) return false;
    c.z = d / denom;
    c.x = xp * c.z / d;
    c.y = yp * c.z / d;
  } else {
    c = {xp, yp, zn * (f - d) + d};
  }
  if (p.rightHanded) c.x = -c.x;
  Matrix cameraToWorld;
  if (!Invert(view.worldToCamera, cameraToWorld)) return false;
  world = TransformPoint(c, cameraToWorld);
  return true;
}

}  // namespace kv::raster
