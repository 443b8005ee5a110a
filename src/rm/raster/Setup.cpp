#include "rm/raster/Setup.h"

#include <algorithm>
#include <cmath>

namespace kv::raster {

void ChunkBins::Reset(int tileCount) {
  arena.Clear();
  deferred.clear();
  if (static_cast<int>(bins.size()) != tileCount) bins.assign(static_cast<size_t>(tileCount), {});
  for (auto& bin : bins) bin.clear();
}

namespace {

struct ScreenVertex {
  float x, y, z, q;
  float attr[kAttrCount];
};

// Attribute slots in PolyVertex::attr and ScreenVertex::attr.
enum Attr { kR = 0, kG, kB, kA, kSR, kSG, kSB, kU, kV, kFog };

ScreenVertex Project(const PolyVertex& v, const ScreenMapping& m) {
  ScreenVertex s;
  float q = 1.0f / v.w;
  s.x = m.centreX + m.halfWidth * v.x * q;
  s.y = m.centreY - m.halfHeight * v.y * q;
  s.z = v.z * q;
  s.q = q;
  for (int i = 0; i < kAttrCount; ++i) s.attr[i] = v.attr[i];
  return s;
}

float Saturate(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float Channel(std::uint32_t c, int shift) { return static_cast<float>((c >> shift) & 255) * (1.0f / 255.0f); }

struct Emitter {
  const SetupContext& ctx;
  const DrawState& state;
  std::uint32_t stateIndex;
  ChunkBins& out;
  std::uint32_t chunkIndex;
  std::uint64_t order;   // submission order of the next deferred record
  float sortDepth = 0;   // of the triangle being emitted

  void Store(std::uint32_t offset) {
    if (state.sorted)
      out.deferred.push_back({sortDepth, order++, offset, chunkIndex});
    else
      BinRecord(ctx, out.arena, offset, out.bins);
  }

  void Triangle(const ScreenVertex* a, const ScreenVertex* b, const ScreenVertex* c, bool cullDone);
  void Line(const ScreenVertex& a, const ScreenVertex& b);
  void Point(const ScreenVertex& a);
};

void SetPlane(Plane& p, float a0, float a1, float a2, const float fx[3], const float fy[3], float invDet,
              float ox, float oy) {
  float d1 = a1 - a0, d2 = a2 - a0;
  float x10 = fx[1] - fx[0], y10 = fy[1] - fy[0], x20 = fx[2] - fx[0], y20 = fy[2] - fy[0];
  p.dx = (d1 * y20 - d2 * y10) * invDet;
  p.dy = (d2 * x10 - d1 * x20) * invDet;
  p.a0 = a0 + p.dx * (ox - fx[0]) + p.dy * (oy - fy[0]);
}

bool SameColour(const ScreenVertex& a, const ScreenVertex& b) {
  for (int i = kR; i <= kSB; ++i)
    if (a.attr[i] != b.attr[i]) return false;
  return true;
}

void Emitter::Triangle(const ScreenVertex* a, const ScreenVertex* b, const ScreenVertex* c, bool cullDone) {
  constexpr float kSub = 1 << kSubPixelBits;
  std::int32_t X[3], Y[3];
  const ScreenVertex* v[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    X[i] = static_cast<std::int32_t>(std::lrintf(v[i]->x * kSub));
    Y[i] = static_cast<std::int32_t>(std::lrintf(v[i]->y * kSub));
  }
  std::int64_t area = static_cast<std::int64_t>(X[1] - X[0]) * (Y[2] - Y[0]) -
                      static_cast<std::int64_t>(Y[1] - Y[0]) * (X[2] - X[0]);
  if (area == 0) return;
  // y points down, so a positive area is a clockwise triangle on screen.
  if (!cullDone && state.cullSign != 0 && (area > 0) == (state.cullSign > 0)) return;
  if (area < 0) {
    std::swap(v[1], v[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }
  const int half = 1 << (kSubPixelBits - 1);
  // Pixels whose centres lie within the snapped bounds, inside the scissor.
  int px0 = (std::min({X[0], X[1], X[2]}) - half + (1 << kSubPixelBits) - 1) >> kSubPixelBits;
  int px1 = (std::max({X[0], X[1], X[2]}) - half) >> kSubPixelBits;
  int py0 = (std::min({Y[0], Y[1], Y[2]}) - half + (1 << kSubPixelBits) - 1) >> kSubPixelBits;
  int py1 = (std::max({Y[0], Y[1], Y[2]}) - half) >> kSubPixelBits;
  const Rect& sc = ctx.scissor;
  px0 = std::max(px0, sc.x);
  py0 = std::max(py0, sc.y);
  px1 = std::min(px1, sc.x + sc.width - 1);
  py1 = std::min(py1, sc.y + sc.height - 1);
  if (px0 > px1 || py0 > py1) return;

  const std::uint32_t offset = out.arena.Allocate(TriangleRecordSize(state.planeCount));
  TriangleRecord& r = *out.arena.At<TriangleRecord>(offset);
  r.h.kind = RecordKind::Triangle;
  r.h.state = stateIndex;
  r.h.x0 = px0;
  r.h.y0 = py0;
  r.h.x1 = px1;
  r.h.y1 = py1;
  const std::int32_t sx = px0 * (1 << kSubPixelBits) + half, sy = py0 * (1 << kSubPixelBits) + half;
  for (int k = 0; k < 3; ++k) {
    int i = k, j = (k + 1) % 3;
    std::int32_t dx = X[j] - X[i], dy = Y[j] - Y[i];
    r.edgeA[k] = -dy * (1 << kSubPixelBits);
    r.edgeB[k] = dx * (1 << kSubPixelBits);
    std::int64_t e = static_cast<std::int64_t>(dx) * (sy - Y[i]) - static_cast<std::int64_t>(dy) * (sx - X[i]);
    // Top-left rule: pixels exactly on an edge belong to the triangle only
    // for top edges (horizontal, interior below) and left edges.
    bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    r.edgeC[k] = topLeft ? e : e - 1;
  }

  float fx[3], fy[3];
  for (int i = 0; i < 3; ++i) {
    fx[i] = static_cast<float>(X[i]) / kSub;
    fy[i] = static_cast<float>(Y[i]) / kSub;
  }
  const float det = (fx[1] - fx[0]) * (fy[2] - fy[0]) - (fy[1] - fy[0]) * (fx[2] - fx[0]);
  const float invDet = 1.0f / det;
  const float ox = static_cast<float>(px0) + 0.5f, oy = static_cast<float>(py0) + 0.5f;
  auto plane = [&](int index, float a0, float a1, float a2) {
    SetPlane(r.planes[index], a0, a1, a2, fx, fy, invDet, ox, oy);
  };
  const ScreenVertex &A = *v[0], &B = *v[1], &C = *v[2];
  plane(0, A.z, B.z, C.z);
  if (state.planeQ >= 0) plane(state.planeQ, A.q, B.q, C.q);
  const bool gouraud = !state.flatShade && !(SameColour(A, B) && SameColour(A, C));
  r.h.gouraud = gouraud ? 1 : 0;
  auto colourPlanes = [&](int first, int attr, int n) {
    for (int i = 0; i < n; ++i) {
      if (gouraud)
        plane(first + i, A.attr[attr + i] * A.q, B.attr[attr + i] * B.q, C.attr[attr + i] * C.q);
      else
        r.planes[first + i] = {A.attr[attr + i], 0, 0};
    }
  };
  colourPlanes(state.planeColor, kR, 4);
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

LinePoint ToLinePoint(const ScreenVertex& s) {
  LinePoint p;
  p.x = s.x;
  p.y = s.y;
  p.z = s.z;
  p.q = s.q;
  for (int i = 0; i < kAttrCount; ++i) p.attr[i] = s.attr[i] * s.q;
  return p;
}

void Emitter::Line(const ScreenVertex& a, const ScreenVertex& b) {
  const Rect& sc = ctx.scissor;
  int x0 = std::max(static_cast<int>(std::floor(std::min(a.x, b.x))), sc.x);
  int y0 = std::max(static_cast<int>(std::floor(std::min(a.y, b.y))), sc.y);
  int x1 = std::min(static_cast<int>(std::floor(std::max(a.x, b.x))), sc.x + sc.width - 1);
  int y1 = std::min(static_cast<int>(std::floor(std::max(a.y, b.y))), sc.y + sc.height - 1);
  if (x0 > x1 || y0 > y1) return;
  const std::uint32_t offset = out.arena.Allocate(sizeof(LineRecord));
  LineRecord& r = *out.arena.At<LineRecord>(offset);
  r.h = {RecordKind::Line, 1, {0, 0}, stateIndex, x0, y0, x1, y1};
  r.p[0] = ToLinePoint(a);
  r.p[1] = ToLinePoint(b);
  Store(offset);
}

void Emitter::Point(const ScreenVertex& a) {
  int x = static_cast<int>(std::floor(a.x)), y = static_cast<int>(std::floor(a.y));
  const Rect& sc = ctx.scissor;
  if (x < sc.x || y < sc.y || x >= sc.x + sc.width || y >= sc.y + sc.height) return;
  const std::uint32_t offset = out.arena.Allocate(sizeof(LineRecord));
  LineRecord& r = *out.arena.At<LineRecord>(offset);
  r.h = {RecordKind::Point, 1, {0, 0}, stateIndex, x, y, x, y};
  r.p[0] = ToLinePoint(a);
  r.p[1] = r.p[0];
  Store(offset);
}

// The values set-up interpolates at one corner of a triangle.
void CornerValues(const ClipVertex& v, std::uint32_t base, const float* diffuse, const float* specular,
                  const DrawState& s, PolyVertex& out) {
  out.x = v.x;
  out.y = v.y;
  out.z = v.z;
  out.w = v.w;
  const int shifts[3] = {16, 8, 0};
  for (int i = 0; i < 3; ++i) {
    float lit = Channel(base, shifts[i]) * diffuse[i];
    if (s.lit) lit += s.emissive[i];
    out.attr[kR + i] = Saturate(lit) * 255.0f;
    out.attr[kSR + i] = Saturate(specular[i]) * 255.0f;
  }
  out.attr[kA] = static_cast<float>(base >> 24);
  out.attr[kU] = v.u;
  out.attr[kV] = v.v;
  out.attr[kFog] = v.fog;
}

// With a wrap flag, a coordinate moves by whole turns so that it lies within
// half a turn of the first corner: interpolation takes the short way round.
void ApplyWraps(const DrawState& s, PolyVertex* v) {
  for (int axis = 0; axis < 2; ++axis) {
    if (!(axis == 0 ? s.wrapU : s.wrapV)) continue;
    const int a = kU + axis;
    for (int i = 1; i < 3; ++i) {
      float d = v[i].attr[a] - v[0].attr[a];
      v[i].attr[a] -= std::round(d);
    }
  }
}

struct DrawSetup {
  const SetupContext& ctx;
  const DrawRecord& draw;
  const DrawState& state;
  Emitter& emit;

  void Corners(std::uint32_t t, PolyVertex pv[3]) const {
    const BatchView& b = ctx.batch;
    const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
    const FaceData* face = draw.hasFaceData ? &b.faces[draw.firstFace + t] : nullptr;
    for (int k = 0; k < 3; ++k) {
      const ClipVertex& v = b.vertices[idx[k]];
      // Flat shading takes one base colour per face; otherwise vertex colours
      // win over face colours, which win over the draw's colour.
      std::uint32_t base;
      if (state.flatShade && face)
        base = draw.hasFaceColors ? face->baseColor : b.baseColors[idx[0]];
      else if (draw.hasVertexColors || !face)
        base = b.baseColors[idx[k]];
      else
        base = face->baseColor;
      const float vd[3] = {v.dr, v.dg, v.db}, vs[3] = {v.sr, v.sg, v.sb};
      if (state.faceLighting && face) {
        const float fd[3] = {face->dr, face->dg, face->db}, fs[3] = {face->sr, face->sg, face->sb};
        CornerValues(v, base, fd, fs, state, pv[k]);
      } else {
        CornerValues(v, base, vd, vs, state, pv[k]);
      }
    }
    ApplyWraps(state, pv);
  }

  float SortDepth(const PolyVertex pv[3]) const {
    return ctx.orthographic ? pv[0].z + pv[1].z + pv[2].z : pv[0].w + pv[1].w + pv[2].w;
  }

  // Screen-space signed area of a projected polygon (positive: clockwise).
  static float Area(const ScreenVertex* s, int n) {
    float a = 0;
    for (int i = 0; i < n; ++i) {
      const ScreenVertex& p = s[i];
      const ScreenVertex& q = s[(i + 1) % n];
      a += p.x * q.y - q.x * p.y;
    }
    return 0.5f * a;
  }

  bool Culled(float area) const {
    if (area == 0) return true;
    return state.cullSign != 0 && (area > 0) == (state.cullSign > 0);
  }

  void Solid(const PolyVertex pv[3], std::uint16_t codes) {
    if (!(codes & kClipNeeded)) {
      ScreenVertex s[3] = {Project(pv[0], ctx.map), Project(pv[1], ctx.map), Project(pv[2], ctx.map)};
      emit.Triangle(&s[0], &s[1], &s[2], false);
      return;
    }
    Polygon poly;
    poly.count = 3;
    for (int i = 0; i < 3; ++i) poly.v[i] = pv[i];
    ClipPolygon(poly, static_cast<std::uint8_t>(codes & kClipNeeded), ctx.guard);
    if (poly.count < 3) return;
    ScreenVertex s[kMaxPolygon + 1];
    for (int i = 0; i < poly.count; ++i) s[i] = Project(poly.v[i], ctx.map);
    if (Culled(Area(s, poly.count))) return;
    for (int i = 1; i + 1 < poly.count; ++i) emit.Triangle(&s[0], &s[i], &s[i + 1], true);
  }

  void Wire(const PolyVertex pv[3], std::uint16_t codes, std::uint8_t edgeFlags) {
    Polygon poly;
    poly.count = 3;
    for (int i = 0; i < 3; ++i) poly.v[i] = pv[i];
    if (codes & kClipNeeded) ClipPolygon(poly, static_cast<std::uint8_t>(codes & kClipNeeded), ctx.guard);
    if (poly.count < 3) return;
    ScreenVertex s[kMaxPolygon + 1];
    for (int i = 0; i < poly.count; ++i) s[i] = Project(poly.v[i], ctx.map);
    if (Culled(Area(s, poly.count))) return;
    for (int k = 0; k < 3; ++k) {
      if (!(edgeFlags & (1 << k))) continue;
      Polygon seg;
      seg.count = 2;
      seg.v[0] = pv[k];
      seg.v[1] = pv[(k + 1) % 3];
      if (codes & kClipNeeded) ClipPolygon(seg, static_cast<std::uint8_t>(codes & kClipNeeded), ctx.guard, false);
      if (seg.count == 2) emit.Line(Project(seg.v[0], ctx.map), Project(seg.v[1], ctx.map));
    }
  }

  void Triangles() {
    const BatchView& b = ctx.batch;
    for (std::uint32_t t = 0; t < draw.triangleCount; ++t) {
      const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
      const std::uint16_t c0 = b.outcodes[idx[0]], c1 = b.outcodes[idx[1]], c2 = b.outcodes[idx[2]];
      if (((c0 | c1 | c2) & kClipInvalid) || (c0 & c1 & c2)) continue;
      PolyVertex pv[3];
      Corners(t, pv);
      emit.sortDepth = SortDepth(pv);
      if (state.fill == FillMode::Wireframe) {
        std::uint8_t flags = draw.hasFaceData ? b.faces[draw.firstFace + t].edgeFlags : 7;
        Wire(pv, static_cast<std::uint16_t>(c0 | c1 | c2), flags);
      } else {
        Solid(pv, static_cast<std::uint16_t>(c0 | c1 | c2));
      }
    }
  }

  void Points() {
    const BatchView& b = ctx.batch;
    const float one[3] = {1, 1, 1};
    for (std::uint32_t i = 0; i < draw.vertexCount; ++i) {
      const std::uint32_t at = draw.firstVertex + i;
      if (b.outcodes[at] & (kClipInvalid | kClipNeeded)) continue;
      const ClipVertex& v = b.vertices[at];
      const float vd[3] = {v.dr, v.dg, v.db}, vs[3] = {v.sr, v.sg, v.sb};
      PolyVertex pv;
      CornerValues(v, b.baseColors[at], state.faceLighting ? one : vd, vs, state, pv);
      emit.sortDepth = ctx.orthographic ? pv.z : pv.w;
      emit.Point(Project(pv, ctx.map));
    }
  }
};

}  // namespace

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
