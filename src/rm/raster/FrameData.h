// Plain data passed between the rasterizer's stages within one frame. All of
// it is fixed-size and lives in arenas reused from frame to frame.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "korvane3d/rm/raster/RasterTypes.h"

namespace kv::raster {

// Output of transform and light, one per mesh vertex. When the draw's
// colours do not depend on the face, c and s hold the final colour and
// specular (0..255); otherwise they hold lighting factors (diffuse sum with
// ambient, specular sum) that set-up combines with each face's base colour.
struct alignas(16) ClipVertex {
  float x, y, z, w;        // clip space
  std::int32_t fx, fy;     // pixel position in sub-pixel units, valid without clip bits
  float sz, q;             // depth and 1/w, idem
  float c[4];              // colour rgba, or diffuse factors rgb
  float s[3];              // specular rgb
  float fog;               // 1: no fog, 0: fog colour only
  float u, v;
};

// Outcode bits.
enum ClipBits : std::uint8_t {
  kClipNear = 1,
  kClipFar = 2,
  kClipGuardLeft = 4,   // beyond the guard band: clipping needed
  kClipGuardRight = 8,
  kClipGuardBottom = 16,
  kClipGuardTop = 32,
  kClipInvalid = 64,    // non-finite coordinates: the triangle is dropped
};
inline constexpr std::uint8_t kClipNeeded = 63;

// Offscreen bits (outside the viewport, inside the guard band): a triangle
// whose three vertices share one is invisible.
enum OffscreenBits : std::uint8_t { kOffLeft = 1, kOffRight = 2, kOffBottom = 4, kOffTop = 8 };

// One mip level. Each row carries one more texel, a copy of its first, and
// one more row follows, a copy of the first: the four texels of a bilinear
// sample at (x, y) are then always x and x + 1 of rows y and y + 1, with no
// wrap test, and each pair can be read in one load.
struct TextureLevel {
  int width = 0, height = 0;
  int pitch = 0;                          // texels from one row to the next (width + 1)
  const std::uint32_t* texels = nullptr;  // texel (0, 0)
  float fw = 0, fh = 0, invW = 0, invH = 0;  // the sizes as floats and their reciprocals
  bool powerOfTwo = false;                   // both sides: a wrap keeps the low bits
};

// Per-draw state that the set-up and pixel stages read.
struct DrawState {
  // Texture levels as plain data (the pixel stage is compiled per
  // instruction set and must not call shared inline code).
  const TextureLevel* texLevels = nullptr;
  int texLevelCount = 0;
  float emissive[3] = {0, 0, 0};
  bool depthTest = true, depthWrite = true;
  bool blend = false;        // src·a + dst·(1 − a)
  bool alphaTest = false;    // discard transparent texels
  bool fog = false;
  bool specular = false;     // separate specular added after texturing
  bool perspective = true;   // perspective-correct texture coordinates
  bool wrapU = false, wrapV = false;
  bool sorted = false;       // deferred and drawn far to near at the end of the batch
  bool depthFloat = true;
  bool flatShade = false;     // one colour per face
  bool faceLighting = false;  // lighting factors come from the face (flat, or no normals)
  bool lit = true;
  FillMode fill = FillMode::Solid;
  int cullSign = 0;          // +1: cull clockwise, −1: cull counter-clockwise, 0: none
  // A blended shadow: its pixels go to the cover plane (opaque) and are
  // blended into the colour plane with coverAlpha once per pixel, however
  // many of the draw's faces overlap there. coverId names the draw.
  bool coverOnce = false;
  std::uint8_t coverAlpha = 0;
  std::uint32_t coverId = 0;
  // Plane layout of this draw's triangle records.
  std::uint8_t planeCount = 0;
  std::int8_t planeQ = -1, planeColor = -1, planeAlpha = -1, planeSpec = -1, planeUV = -1, planeFog = -1;
};

// The colour of a lit point: saturate(emissive + base·diffuse), with the
// specular added before saturation unless the draw keeps it separate (for
// texturing, which it must not modulate). Results are 0..255.
inline void ComposeColor(std::uint32_t base, const float diffuse[3], const float specular[3], const DrawState& s,
                         float color[4], float highlight[3]) {
  const int shifts[3] = {16, 8, 0};
  for (int i = 0; i < 3; ++i) {
    float v = static_cast<float>((base >> shifts[i]) & 255) * (1.0f / 255.0f) * diffuse[i];
    if (s.lit) v += s.emissive[i];
    float sp = specular[i] < 0 ? 0 : (specular[i] > 1 ? 1 : specular[i]);
    if (!s.specular) v += sp;
    color[i] = (v > 0 ? (v < 1 ? v : 1) : 0) * 255.0f;
    highlight[i] = s.specular ? sp * 255.0f : 0.0f;
  }
  color[3] = static_cast<float>(base >> 24);
}

// One draw as recorded in a batch: its vertices and indices in the batch
// arenas and its state.
struct DrawRecord {
  std::uint32_t firstVertex = 0, vertexCount = 0;
  std::uint32_t firstIndex = 0, triangleCount = 0;
  std::uint32_t firstFace = 0;        // per-face base colours and flat factors
  std::uint32_t state = 0;
  bool hasFaceData = false;
  bool hasVertexColors = false;
  bool hasFaceColors = false;
  bool finalColors = false;  // ClipVertex::c and s are final: no per-face colour work
  // The batch's recorded call whose transform and lighting run with the
  // set-up, or -1: the vertices were written in Draw.
  std::int32_t deferredCall = -1;
};

// Per triangle, when the draw needs it: base colour and flat lighting.
struct FaceData {
  std::uint32_t baseColor;
  std::uint8_t edgeFlags;
  float dr, dg, db, sr, sg, sb;  // flat shading factors (face normal)
};

// A plane a(x, y) = a0 + dx·(x − x0) + dy·(y − y0) over pixel centres.
struct Plane {
  float a0, dx, dy;
};

enum class RecordKind : std::uint8_t { Triangle, Line, Point };

// Header of every binned record; triangle, line and point bodies follow.
struct RecordHeader {
  RecordKind kind;
  std::uint8_t gouraud;   // 0: colour planes are constant
  std::uint8_t pad[2];
  std::uint32_t state;
  std::int32_t x0, y0, x1, y1;  // inclusive pixel bounds, clipped to the viewport
};

struct TriangleRecord {
  RecordHeader h;
  std::int32_t edgeA[3], edgeB[3];  // steps per pixel in x and y
  std::int64_t edgeC[3];            // value at pixel (x0, y0), fill rule folded in
  Plane planes[12];                 // only DrawState::planeCount are stored
};

// Lines and points carry their end values; pixels are shaded one by one.
struct LinePoint {
  float x, y;       // pixel coordinates
  float z, q;       // depth and 1/w
  float attr[10];   // colour rgba, specular rgb, u, v, fog: premultiplied by q
};
struct LineRecord {
  RecordHeader h;
  LinePoint p[2];
};

inline std::size_t TriangleRecordSize(int planeCount) {
  return (offsetof(TriangleRecord, planes) + sizeof(Plane) * static_cast<std::size_t>(planeCount) + 7) &
         ~std::size_t{7};
}

// A growable array of plain elements that leaves what it appends
// uninitialised: the stages write every element they append, and zeroing
// them first would cost as much as the transform itself.
template <typename T>
class PodBuffer {
 public:
  T* Append(std::size_t n) {
    if (size_ + n > capacity_) Reserve(std::max({capacity_ * 2, size_ + n, std::size_t{1024}}));
    T* at = data_.get() + size_;
    size_ += n;
    return at;
  }
  void PushBack(const T& v) { *Append(1) = v; }
  void Clear() { size_ = 0; }
  std::size_t Size() const { return size_; }
  T* Data() { return data_.get(); }
  const T* Data() const { return data_.get(); }
  T& operator[](std::size_t i) { return data_[i]; }

 private:
  void Reserve(std::size_t n) {
    std::unique_ptr<T[]> grown(new T[n]);
    if (size_) std::memcpy(grown.get(), data_.get(), size_ * sizeof(T));
    data_ = std::move(grown);
    capacity_ = n;
  }
  std::unique_ptr<T[]> data_;
  std::size_t size_ = 0, capacity_ = 0;
};

// A growing byte arena; records are addressed by offset, so growth is safe.
class RecordArena {
 public:
  std::uint32_t Allocate(std::size_t bytes) {
    std::size_t at = used_;
    if (at + bytes > bytes_.size()) bytes_.resize(std::max<std::size_t>(bytes_.size() * 2, at + bytes + 65536));
    used_ = at + bytes;
    return static_cast<std::uint32_t>(at);
  }
  template <typename T>
  T* At(std::uint32_t offset) {
    return reinterpret_cast<T*>(bytes_.data() + offset);
  }
  template <typename T>
  const T* At(std::uint32_t offset) const {
    return reinterpret_cast<const T*>(bytes_.data() + offset);
  }
  void Clear() { used_ = 0; }
  std::size_t Used() const { return used_; }

 private:
  std::vector<std::byte> bytes_;
  std::size_t used_ = 0;
};

}  // namespace kv::raster
