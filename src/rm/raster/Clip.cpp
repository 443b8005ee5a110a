#include "korvane3d/rm/raster/Clip.h"

#include <cmath>

namespace kv::raster {

ClipPlane PlaneFor(std::uint8_t clipBit, const GuardBand& guard) {
  switch (clipBit) {
    case kClipNear: return {0, 0, 1, 0};
    case kClipFar: return {0, 0, -1, 1};
    case kClipGuardLeft: return {1, 0, 0, guard.x};
    case kClipGuardRight: return {-1, 0, 0, guard.x};
    case kClipGuardBottom: return {0, 1, 0, guard.y};
    default: return {0, -1, 0, guard.y};
  }
}

namespace {

float Distance(const PolyVertex& v, const ClipPlane& p) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d * v.w; }

// The point where the edge from inside vertex a to outside vertex b meets the plane.
PolyVertex Intersect(const PolyVertex& a, float da, const PolyVertex& b, float db) {
  float t = da / (da - db);
  PolyVertex r;
  r.x = a.x + (b.x - a.x) * t;
  r.y = a.y + (b.y - a.y) * t;
  r.z = a.z + (b.z - a.z) * t;
  r.w = a.w + (b.w - a.w) * t;
  for (int i = 0; i < kAttrCount; ++i) r.attr[i] = a.attr[i] + (b.attr[i] - a.attr[i]) * t;
  return r;
}

}  // namespace

int ClipAgainstPlane(const PolyVertex* in, int count, PolyVertex* out, const ClipPlane& plane, bool closed) {
  if (count == 0) return 0;
  int n = 0;
  int first = closed ? 0 : 1;
  int prev = closed ? count - 1 : 0;
  float dPrev = Distance(in[prev], plane);
  if (!closed && dPrev >= 0) out[n++] = in[0];
  for (int i = first; i < count; ++i) {
    float d = Distance(in[i], plane);
    bool inPrev = dPrev >= 0, inCur = d >= 0;
    if (inPrev != inCur)
      out[n++] = inPrev ? Intersect(in[prev], dPrev, in[i], d) : Intersect(in[i], d, in[prev], dPrev);
    if (inCur) out[n++] = in[i];
    prev = i;
    dPrev = d;
  }
  return n;
}

void ClipPolygon(Polygon& poly, std::uint8_t clipBits, const GuardBand& guard, bool closed) {
  Polygon scratch;
  Polygon* src = &poly;
  Polygon* dst = &scratch;
  for (std::uint8_t bit = 1; bit <= kClipGuardTop; bit = static_cast<std::uint8_t>(bit << 1)) {
    if (!(clipBits & bit)) continue;
    dst->count = ClipAgainstPlane(src->v, src->count, dst->v, PlaneFor(bit, guard), closed);
    Polygon* t = src;
    src = dst;
    dst = t;
    if (src->count == 0) break;
  }
  if (src != &poly) poly = *src;
}

}  // namespace kv::raster
