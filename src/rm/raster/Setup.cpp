#include "korvane3d/rm/raster/Setup.h"

#include "korvane3d/rm/raster/VertexStage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv::raster {

void ChunkBins::Reset(int tileCount) {
  arena.Clear();
  deferred.clear();
  if (static_cast<int>(bins.size()) != tileCount) bins.assign(static_cast<size_t>(tileCount), {});
  for (auto& bin : bins) bin.clear();
}

namespace {

// A triangle corner on screen: snapped position, depth, 1/w and the values
// set-up interpolates.
struct Corner {
  std::int32_t X, Y;  // sub-pixel units
  float z, q;
  float attr[kAttrCount];
};

Corner Project(const PolyVertex& v, const ScreenMapping& m) {
  Corner s;
  float q = 1.0f / v.w;
  s.X = SnapToSubPixel(m.centreX + m.halfWidth * v.x * q);
  s.Y = SnapToSubPixel(m.centreY - m.halfHeight * v.y * q);
  s.z = v.z * q;
  s.q = q;
  for (int i = 0; i < kAttrCount; ++i) s.attr[i] = v.attr[i];
  return s;
}

// Twice the signed area in sub-pixel units; y points down, so a positive
// area is a clockwise triangle on screen.
std::int64_t Area2(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                   std::int32_t y2) {
  return static_cast<std::int64_t>(x1 - x0) * (y2 - y0) - static_cast<std::int64_t>(y1 - y0) * (x2 - x0);
}

struct Emitter {
  const SetupContext& ctx;
  const DrawState& state;
  std::uint32_t stateIndex;
  ChunkBins& out;
  std::uint32_t chunkIndex;
  std::uint64_t order;   // submission order of the next deferred record
  float sortDepth = 0;   // of the primitive being emitted

  bool Culled(std::int64_t area) const {
    return area == 0 || (state.cullSign != 0 && (area > 0) == (state.cullSign > 0));
  }

  void Store(std::uint32_t offset) {
    if (state.sorted)
      out.deferred.push_back({sortDepth, order++, offset, chunkIndex});
    else
      BinRecord(ctx, out.arena, offset, out.bins);
  }

  void Triangle(const Corner* a, const Corner* b, const Corner* c, std::int64_t area);
  void Line(const Corner& a, const Corner& b);
  void Point(const Corner& a);
};

void SetPlane(Plane& p, float a0, float a1, float a2, const float fx[3], const float fy[3], float invDet,
              float ox, float oy) {
  float d1 = a1 - a0, d2 = a2 - a0;
  float x10 = fx[1] - fx[0], y10 = fy[1] - fy[0], x20 = fx[2] - fx[0], y20 = fy[2] - fy[0];
  p.dx = (d1 * y20 - d2 * y10) * invDet;
  p.dy = (d2 * x10 - d1 * x20) * invDet;
  p.a0 = a0 + p.dx * (ox - fx[0]) + p.dy * (oy - fy[0]);
}

bool SameColour(const Corner& a, const Corner& b, const DrawState& s) {
  for (int i = kR; i <= kSB; ++i)
    if (a.attr[i] != b.attr[i] && (i != kA || s.planeAlpha >= 0)) return false;
  return true;
}

// area: Area2 of (a, b, c), non-zero; the caller has done culling.
void Emitter::Triangle(const Corner* a, const Corner* b, const Corner* c, std::int64_t area) {
  if (area < 0) std::swap(b, c);
  const Corner* v[3] = {a, b, c};
  const int one = 1 << kSubPixelBits, half = one >> 1;
  // Pixels whose centres lie within the snapped bounds, inside the scissor.
  const Rect& sc = ctx.scissor;
  int px0 = std::max((std::min({a->X, b->X, c->X}) - half + one - 1) >> kSubPixelBits, sc.x);
  int px1 = std::min((std::max({a->X, b->X, c->X}) - half) >> kSubPixelBits, sc.x + sc.width - 1);
  int py0 = std::max((std::min({a->Y, b->Y, c->Y}) - half + one - 1) >> kSubPixelBits, sc.y);
  int py1 = std::min((std::max({a->Y, b->Y, c->Y}) - half) >> kSubPixelBits, sc.y + sc.height - 1);
  if (px0 > px1 || py0 > py1) return;

  const std::uint32_t offset = out.arena.Allocate(TriangleRecordSize(state.planeCount));
  TriangleRecord& r = *out.arena.At<TriangleRecord>(offset);
  r.h.kind = RecordKind::Triangle;
  r.h.state = stateIndex;
  r.h.x0 = px0;
  r.h.y0 = py0;
  r.h.x1 = px1;
  r.h.y1 = py1;
  const std::int32_t sx = px0 * one + half, sy = py0 * one + half;
  for (int k = 0; k < 3; ++k) {
    const Corner& p = *v[k];
    const Corner& q = *v[(k + 1) % 3];
    std::int32_t dx = q.X - p.X, dy = q.Y - p.Y;
    r.edgeA[k] = -dy * one;
    r.edgeB[k] = dx * one;
    std::int64_t e = static_cast<std::int64_t>(dx) * (sy - p.Y) - static_cast<std::int64_t>(dy) * (sx - p.X);
    // Top-left rule: pixels exactly on an edge belong to the triangle only
    // for top edges (horizontal, interior below) and left edges.
    bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    r.edgeC[k] = topLeft ? e : e - 1;
  }

  float fx[3], fy[3];
  for (int i = 0; i < 3; ++i) {
    fx[i] = static_cast<float>(v[i]->X) * (1.0f / one);
    fy[i] = static_cast<float>(v[i]->Y) * (1.0f / one);
  }
  const float invDet = 1.0f / ((fx[1] - fx[0]) * (fy[2] - fy[0]) - (fy[1] - fy[0]) * (fx[2] - fx[0]));
  const float ox = static_cast<float>(px0) + 0.5f, oy = static_cast<float>(py0) + 0.5f;
  auto plane = [&](int index, float a0, float a1, float a2) {
    SetPlane(r.planes[index], a0, a1, a2, fx, fy, invDet, ox, oy);
  };
  const Corner &A = *v[0], &B = *v[1], &C = *v[2];
  plane(0, A.z, B.z, C.z);
  const bool gouraud = !state.flatShade && !(SameColour(A, B, state) && SameColour(A, C, state));
  r.h.gouraud = gouraud ? 1 : 0;
  // 1/w is read only for perspective interpolation (the pixel stage makes
  // the same choice).
  if (state.planeQ >= 0 && (gouraud || state.planeUV >= 0 || state.planeFog >= 0))
    plane(state.planeQ, A.q, B.q, C.q);
  auto colourPlanes = [&](int first, int attr, int n) {
    for (int i = 0; i < n; ++i) {
      if (gouraud)
        plane(first + i, A.attr[attr + i] * A.q, B.attr[attr + i] * B.q, C.attr[attr + i] * C.q);
      else
        r.planes[first + i] = {A.attr[attr + i], 0, 0};
    }
  };
  colourPlanes(state.planeColor, kR, 3);
  if (state.planeAlpha >= 0) colourPlanes(state.planeAlpha, kA, 1);
  if (state.planeSpec >= 0) colourPlanes(state.planeSpec, kSR, 3);
  if (state.planeUV >= 0) {
    for (int i = 0; i < 2; ++i) {
      if (state.perspective)
        plane(state.planeUV + i, A.attr[kU + i] * A.q, B.attr[kU + i] * B.q, C.attr[kU + i] * C.q);
      else
        plane(state.planeUV + i, A.attr[kU + i], B.attr[kU + i], C.attr[kU + i]);
    }
  }
  if (state.planeFog >= 0) plane(state.planeFog, A.attr[kFog] * A.q, B.attr[kFog] * B.q, C.attr[kFog] * C.q);
  Store(offset);
}

LinePoint ToLinePoint(const Corner& s) {
  LinePoint p;
  p.x = static_cast<float>(s.X) * (1.0f / (1 << kSubPixelBits));
  p.y = static_cast<float>(s.Y) * (1.0f / (1 << kSubPixelBits));
  p.z = s.z;
  p.q = s.q;
  for (int i = 0; i < kAttrCount; ++i) p.attr[i] = s.attr[i] * s.q;
  return p;
}

void Emitter::Line(const Corner& a, const Corner& b) {
  const LinePoint pa = ToLinePoint(a), pb = ToLinePoint(b);
  const Rect& sc = ctx.scissor;
  int x0 = std::max(static_cast<int>(std::floor(std::min(pa.x, pb.x))), sc.x);
  int y0 = std::max(static_cast<int>(std::floor(std::min(pa.y, pb.y))), sc.y);
  int x1 = std::min(static_cast<int>(std::floor(std::max(pa.x, pb.x))), sc.x + sc.width - 1);
  int y1 = std::min(static_cast<int>(std::floor(std::max(pa.y, pb.y))), sc.y + sc.height - 1);
  if (x0 > x1 || y0 > y1) return;
  const std::uint32_t offset = out.arena.Allocate(sizeof(LineRecord));
  LineRecord& r = *out.arena.At<LineRecord>(offset);
  r.h = {RecordKind::Line, 1, {0, 0}, stateIndex, x0, y0, x1, y1};
  r.p[0] = pa;
  r.p[1] = pb;
  Store(offset);
}

void Emitter::Point(const Corner& a) {
  const LinePoint p = ToLinePoint(a);
  int x = static_cast<int>(std::floor(p.x)), y = static_cast<int>(std::floor(p.y));
  const Rect& sc = ctx.scissor;
  if (x < sc.x || y < sc.y || x >= sc.x + sc.width || y >= sc.y + sc.height) return;
  const std::uint32_t offset = out.arena.Allocate(sizeof(LineRecord));
  LineRecord& r = *out.arena.At<LineRecord>(offset);
  r.h = {RecordKind::Point, 1, {0, 0}, stateIndex, x, y, x, y};
  r.p[0] = p;
  r.p[1] = p;
  Store(offset);
}

struct DrawSetup {
  const SetupContext& ctx;
  const DrawRecord& draw;
  const DrawState& state;
  Emitter& emit;

  void CornerValues(std::uint32_t t, int k, float* attr) const { CornerAttributes(ctx.batch, draw, state, t, k, attr); }

  void ClipCorners(std::uint32_t t, PolyVertex pv[3]) const {
    const std::uint32_t* idx = ctx.batch.indices + draw.firstIndex + 3 * t;
    for (int k = 0; k < 3; ++k) {
      const ClipVertex& v = ctx.batch.vertices[idx[k]];
      pv[k].x = v.x;
      pv[k].y = v.y;
      pv[k].z = v.z;
      pv[k].w = v.w;
      CornerValues(t, k, pv[k].attr);
    }
    ApplyWraps(state, pv);
  }

  float SortDepth(std::uint32_t t) const {
    const std::uint32_t* idx = ctx.batch.indices + draw.firstIndex + 3 * t;
    float sum = 0;
    for (int k = 0; k < 3; ++k) {
      const ClipVertex& v = ctx.batch.vertices[idx[k]];
      sum += ctx.orthographic ? v.z : v.w;
    }
    return sum;
  }

  // The common case: all three corners inside the guard band, already
  // projected and snapped by the vertex stage. Culling comes first, before
  // any attribute work.
  void Unclipped(std::uint32_t t) {
    const BatchView& b = ctx.batch;
    const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
    const ClipVertex &v0 = b.vertices[idx[0]], &v1 = b.vertices[idx[1]], &v2 = b.vertices[idx[2]];
    const std::int64_t area = Area2(v0.fx, v0.fy, v1.fx, v1.fy, v2.fx, v2.fy);
    if (emit.Culled(area)) return;
    Corner c[3];
    const ClipVertex* v[3] = {&v0, &v1, &v2};
    for (int k = 0; k < 3; ++k) {
      c[k].X = v[k]->fx;
      c[k].Y = v[k]->fy;
      c[k].z = v[k]->sz;
      c[k].q = v[k]->q;
      CornerValues(t, k, c[k].attr);
    }
    ApplyWraps(state, c);
    emit.Triangle(&c[0], &c[1], &c[2], area);
  }

  // Polygon area of projected corners, in sub-pixel units (twice the area).
  static std::int64_t PolygonArea2(const Corner* s, int n) {
    std::int64_t a = 0;
    for (int i = 1; i + 1 < n; ++i) a += Area2(s[0].X, s[0].Y, s[i].X, s[i].Y, s[i + 1].X, s[i + 1].Y);
    return a;
  }

  // Projects a clipped polygon; false when it is culled or empty.
  bool ProjectPolygon(const Polygon& poly, Corner* s) const {
    if (poly.count < 3) return false;
    for (int i = 0; i < poly.count; ++i) s[i] = Project(poly.v[i], ctx.map);
    return !emit.Culled(PolygonArea2(s, poly.count));
  }

  void Clipped(std::uint32_t t, std::uint16_t codes) {
    Polygon poly;
    poly.count = 3;
    ClipCorners(t, poly.v);
    ClipPolygon(poly, static_cast<std::uint8_t>(codes & kClipNeeded), ctx.guard);
    Corner s[kMaxPolygon + 1];
    if (!ProjectPolygon(poly, s)) return;
    for (int i = 1; i + 1 < poly.count; ++i) {
      std::int64_t area = Area2(s[0].X, s[0].Y, s[i].X, s[i].Y, s[i + 1].X, s[i + 1].Y);
      // Fan pieces of a front polygon that snap to zero or flip are slivers.
      if (area != 0 && !emit.Culled(area)) emit.Triangle(&s[0], &s[i], &s[i + 1], area);
    }
  }

  void Wire(std::uint32_t t, std::uint16_t codes) {
    Polygon poly;
    poly.count = 3;
    ClipCorners(t, poly.v);
    const PolyVertex original[3] = {poly.v[0], poly.v[1], poly.v[2]};
    if (codes & kClipNeeded) ClipPolygon(poly, static_cast<std::uint8_t>(codes & kClipNeeded), ctx.guard);
    Corner s[kMaxPolygon + 1];
    if (!ProjectPolygon(poly, s)) return;
    const std::uint8_t flags = draw.hasFaceData ? ctx.batch.faces[draw.firstFace + t].edgeFlags : 7;
    for (int k = 0; k < 3; ++k) {
      if (!(flags & (1 << k))) continue;
      Polygon seg;
      seg.count = 2;
      seg.v[0] = original[k];
      seg.v[1] = original[(k + 1) % 3];
      if (codes & kClipNeeded) ClipPolygon(seg, static_cast<std::uint8_t>(codes & kClipNeeded), ctx.guard, false);
      if (seg.count == 2) emit.Line(Project(seg.v[0], ctx.map), Project(seg.v[1], ctx.map));
    }
  }

  void Triangles() {
    const BatchView& b = ctx.batch;
    for (std::uint32_t t = 0; t < draw.triangleCount; ++t) {
      const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
      const std::uint16_t c0 = b.outcodes[idx[0]], c1 = b.outcodes[idx[1]], c2 = b.outcodes[idx[2]];
      const std::uint16_t any = static_cast<std::uint16_t>(c0 | c1 | c2);
      if ((any & kClipInvalid) || (c0 & c1 & c2)) continue;
      if (state.sorted) emit.sortDepth = SortDepth(t);
      if (state.fill == FillMode::Wireframe)
        Wire(t, any);
      else if (!(any & kClipNeeded))
        Unclipped(t);
      else
        Clipped(t, any);
    }
  }

  static constexpr std::uint32_t kNoCorner = ~std::uint32_t{0};

  // Per vertex of the draw, 3·t + k for its first use as corner k of
  // triangle t, or kNoCorner.
  std::vector<std::uint32_t> FirstCorners() const {
    std::vector<std::uint32_t> corner(draw.vertexCount, kNoCorner);
    const std::uint32_t* idx = ctx.batch.indices + draw.firstIndex;
    for (std::uint32_t c = 0; c < 3 * draw.triangleCount; ++c) {
      std::uint32_t& first = corner[idx[c] - draw.firstVertex];
      if (first == kNoCorner) first = c;
    }
    return corner;
  }

  // A point has the colour its vertex has as a corner of the first face that
  // uses it, as the solid and wireframe fills draw it (the face's colour and,
  // with flat shading, the face's lighting); a vertex of no face takes the
  // draw's colour.
  void Points() {
    const BatchView& b = ctx.batch;
    const float one[3] = {1, 1, 1};
    const std::vector<std::uint32_t> firstCorner = draw.finalColors ? std::vector<std::uint32_t>{} : FirstCorners();
    for (std::uint32_t i = 0; i < draw.vertexCount; ++i) {
      const std::uint32_t at = draw.firstVertex + i;
      if (b.outcodes[at] & (kClipInvalid | kClipNeeded)) continue;
      const ClipVertex& v = b.vertices[at];
      Corner c;
      c.X = v.fx;
      c.Y = v.fy;
      c.z = v.sz;
      c.q = v.q;
      if (draw.finalColors) {
        for (int k = 0; k < 4; ++k) c.attr[kR + k] = v.c[k];
        for (int k = 0; k < 3; ++k) c.attr[kSR + k] = v.s[k];
      } else if (firstCorner[i] != kNoCorner) {
        CornerValues(firstCorner[i] / 3, static_cast<int>(firstCorner[i] % 3), c.attr);
      } else {
        ComposeColor(b.baseColors[at], state.faceLighting ? one : v.c, v.s, state, c.attr + kR, c.attr + kSR);
      }
      c.attr[kU] = v.u;
      c.attr[kV] = v.v;
      c.attr[kFog] = v.fog;
      emit.sortDepth = ctx.orthographic ? v.z : v.w;
      emit.Point(c);
    }
  }
};

}  // namespace

void CornerAttributes(const BatchView& b, const DrawRecord& draw, const DrawState& state, std::uint32_t t, int k,
                      float* attr) {
  const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
  const ClipVertex& v = b.vertices[idx[k]];
  if (draw.finalColors) {
    for (int i = 0; i < 4; ++i) attr[kR + i] = v.c[i];
    for (int i = 0; i < 3; ++i) attr[kSR + i] = v.s[i];
  } else {
    // Flat shading takes one base colour per face; otherwise vertex colours
    // win over face colours, which win over the draw's colour.
    const FaceData& face = b.faces[draw.firstFace + t];
    std::uint32_t base;
    if (state.flatShade)
      base = draw.hasFaceColors ? face.baseColor : b.baseColors[idx[0]];
    else
      base = draw.hasVertexColors ? b.baseColors[idx[k]] : face.baseColor;
    const float fd[3] = {face.dr, face.dg, face.db}, fs[3] = {face.sr, face.sg, face.sb};
    const bool perFace = state.faceLighting;
    ComposeColor(base, perFace ? fd : v.c, perFace ? fs : v.s, state, attr + kR, attr + kSR);
  }
  attr[kU] = v.u;
  attr[kV] = v.v;
  attr[kFog] = v.fog;
}

void BinRecord(const SetupContext& ctx, const RecordArena& arena, std::uint32_t offset,
               std::vector<std::vector<std::uint32_t>>& bins) {
  const RecordHeader& h = *arena.At<RecordHeader>(offset);
  const TileGrid& g = ctx.grid;
  const int tx0 = (h.x0 - g.originX) >> kTileShift, tx1 = (h.x1 - g.originX) >> kTileShift;
  const int ty0 = (h.y0 - g.originY) >> kTileShift, ty1 = (h.y1 - g.originY) >> kTileShift;
  const bool testEdges = h.kind == RecordKind::Triangle && (tx1 > tx0 + 1 || ty1 > ty0 + 1);
  const TriangleRecord* tri = testEdges ? arena.At<TriangleRecord>(offset) : nullptr;
  for (int ty = ty0; ty <= ty1; ++ty) {
    const int cy0 = std::max(h.y0, g.originY + ty * kTileSize);
    const int cy1 = std::min(h.y1, g.originY + ty * kTileSize + kTileSize - 1);
    for (int tx = tx0; tx <= tx1; ++tx) {
      if (tri) {
        // Skip tiles that lie wholly outside one edge.
        const int cx0 = std::max(h.x0, g.originX + tx * kTileSize);
        const int cx1 = std::min(h.x1, g.originX + tx * kTileSize + kTileSize - 1);
        bool outside = false;
        for (int k = 0; k < 3 && !outside; ++k) {
          std::int64_t e = tri->edgeC[k] + static_cast<std::int64_t>(tri->edgeA[k]) * (cx0 - h.x0) +
                           static_cast<std::int64_t>(tri->edgeB[k]) * (cy0 - h.y0);
          std::int64_t sx = static_cast<std::int64_t>(tri->edgeA[k]) * (cx1 - cx0);
          std::int64_t sy = static_cast<std::int64_t>(tri->edgeB[k]) * (cy1 - cy0);
          outside = e + std::max<std::int64_t>(sx, 0) + std::max<std::int64_t>(sy, 0) < 0;
        }
        if (outside) continue;
      }
      bins[static_cast<size_t>(ty * g.tilesX + tx)].push_back(offset);
    }
  }
}

void SetUpDraws(const SetupContext& ctx, std::uint32_t firstDraw, std::uint32_t endDraw, std::uint32_t chunkIndex,
                ChunkBins& out) {
  for (std::uint32_t d = firstDraw; d < endDraw; ++d) {
    const DrawRecord& draw = ctx.batch.draws[d];
    const DrawState& state = ctx.batch.states[draw.state];
    Emitter emit{ctx, state, draw.state, out, chunkIndex, static_cast<std::uint64_t>(d) << 32};
    DrawSetup setup{ctx, draw, state, emit};
    if (state.fill == FillMode::Points)
      setup.Points();
    else
      setup.Triangles();
  }
}

}  // namespace kv::raster
