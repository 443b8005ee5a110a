// Clipping in homogeneous clip space: outcodes for trivial accept and
// reject, and one Sutherland-Hodgman routine that takes the plane as a
// parameter. Polygons have a fixed capacity, so clipping never allocates.
#pragma once

#include <cmath>
#include <cstdint>

#include "korvane3d/rm/raster/FrameData.h"

namespace kv::raster {

// Values carried through clipping: colour rgba (0..255), specular rgb
// (0..255), u, v, fog.
inline constexpr int kAttrCount = 10;

// Attribute slots in PolyVertex::attr and the set-up's corners.
enum Attr { kR = 0, kG, kB, kA, kSR, kSG, kSB, kU, kV, kFog };

struct PolyVertex {
  float x, y, z, w;
  float attr[kAttrCount];
};

// Inside when a·x + b·y + c·z + d·w >= 0.
struct ClipPlane {
  float a, b, c, d;
};

// Three vertices plus at most one more for each of the six planes.
inline constexpr int kMaxPolygon = 3 + 6;

struct Polygon {
  int count = 0;
  PolyVertex v[kMaxPolygon + 1];
};

// The guard band: clipping against the sides happens only beyond
// |x| > guardX·w or |y| > guardY·w; closer in, the rasterizer's scissor does it.
struct GuardBand {
  float x = 1, y = 1;
};

// Clip bits (ClipBits) in the low byte, offscreen bits (OffscreenBits) in the
// high byte.
inline std::uint16_t Outcode(float x, float y, float z, float w, const GuardBand& guard) {
  // One test catches NaN and infinity in any of the four.
  if (!(std::fabs(x) + std::fabs(y) + std::fabs(z) + std::fabs(w) < 3.0e38f)) return kClipInvalid;
  unsigned code = 0;
  code |= z < 0 ? kClipNear : 0;
  code |= z > w ? kClipFar : 0;
  code |= x < -guard.x * w ? kClipGuardLeft : 0;
  code |= x > guard.x * w ? kClipGuardRight : 0;
  code |= y < -guard.y * w ? kClipGuardBottom : 0;
  code |= y > guard.y * w ? kClipGuardTop : 0;
  unsigned off = 0;
  off |= x < -w ? kOffLeft : 0;
  off |= x > w ? kOffRight : 0;
  off |= y < -w ? kOffBottom : 0;
  off |= y > w ? kOffTop : 0;
  return static_cast<std::uint16_t>(code | (off << 8));
}

ClipPlane PlaneFor(std::uint8_t clipBit, const GuardBand& guard);

// Clips in against one plane into out; returns the vertex count of out. An
// open polyline (closed = false) is clipped as a chain of segments. Each new
// vertex is interpolated from the inside end of its edge, so an edge shared
// by two polygons is cut at the same point in both.
int ClipAgainstPlane(const PolyVertex* in, int count, PolyVertex* out, const ClipPlane& plane, bool closed);

// Clips poly in place against every plane named in clipBits.
void ClipPolygon(Polygon& poly, std::uint8_t clipBits, const GuardBand& guard, bool closed = true);

}  // namespace kv::raster
