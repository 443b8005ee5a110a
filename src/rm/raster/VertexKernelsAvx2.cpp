// The common vertex (see VertexJob), eight at a time, in AVX2 (compiled with
// -mavx2; only called after the processor check in SelectKernels). Processors
// without it keep the scalar loop: in baseline SSE the gathers and the
// transposes cost more than they save. Every value is computed with the same
// operations in the same order as the scalar vertex stage, without fused
// multiply-adds (-ffp-contract=off), so both give the same bits and the
// pictures do not depend on the path taken. Like the pixel stage, it calls
// no inline code shared with other files (which the linker could otherwise
// take from this AVX2 build for everyone).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "korvane3d/rm/raster/Kernels.h"

namespace kv::raster::kernels_avx2 {
namespace {

typedef float f8 __attribute__((vector_size(32)));
typedef std::int32_t i8 __attribute__((vector_size(32)));

inline f8 Splat(float v) { return f8{v, v, v, v, v, v, v, v}; }
inline i8 SplatI(std::int32_t v) { return i8{v, v, v, v, v, v, v, v}; }
inline f8 Abs(f8 v) { return reinterpret_cast<f8>(reinterpret_cast<i8>(v) & SplatI(0x7fffffff)); }

// Round to nearest, as cvtss2si does in the scalar stage.
inline i8 RoundToInt(f8 v) {
  return reinterpret_cast<i8>(_mm256_cvtps_epi32(reinterpret_cast<__m256>(v)));
}

// Lanes [0, n) of one component of n Vec3 (or Vec2) records; the others 0.
template <int kStride>
inline f8 LoadComponent(const float* first, int n) {
  if (n == 8) {
    const __m256i index = _mm256_setr_epi32(0, kStride, 2 * kStride, 3 * kStride, 4 * kStride, 5 * kStride,
                                            6 * kStride, 7 * kStride);
    return reinterpret_cast<f8>(_mm256_i32gather_ps(first, index, 4));
  }
  f8 v = Splat(0);
  for (int k = 0; k < n; ++k) v[k] = first[k * kStride];
  return v;
}

// rows[k] becomes lane k of the eight vectors, for k < n, stored at
// out + k * strideFloats.
inline void StoreTransposed(const f8 (&v)[8], float* out, int strideFloats, int n) {
  const __m256 a0 = _mm256_unpacklo_ps(reinterpret_cast<__m256>(v[0]), reinterpret_cast<__m256>(v[1]));
  const __m256 a1 = _mm256_unpackhi_ps(reinterpret_cast<__m256>(v[0]), reinterpret_cast<__m256>(v[1]));
  const __m256 a2 = _mm256_unpacklo_ps(reinterpret_cast<__m256>(v[2]), reinterpret_cast<__m256>(v[3]));
  const __m256 a3 = _mm256_unpackhi_ps(reinterpret_cast<__m256>(v[2]), reinterpret_cast<__m256>(v[3]));
  const __m256 a4 = _mm256_unpacklo_ps(reinterpret_cast<__m256>(v[4]), reinterpret_cast<__m256>(v[5]));
  const __m256 a5 = _mm256_unpackhi_ps(reinterpret_cast<__m256>(v[4]), reinterpret_cast<__m256>(v[5]));
  const __m256 a6 = _mm256_unpacklo_ps(reinterpret_cast<__m256>(v[6]), reinterpret_cast<__m256>(v[7]));
  const __m256 a7 = _mm256_unpackhi_ps(reinterpret_cast<__m256>(v[6]), reinterpret_cast<__m256>(v[7]));
  const __m256 b0 = _mm256_shuffle_ps(a0, a2, 0x44), b1 = _mm256_shuffle_ps(a0, a2, 0xEE);
  const __m256 b2 = _mm256_shuffle_ps(a1, a3, 0x44), b3 = _mm256_shuffle_ps(a1, a3, 0xEE);
  const __m256 b4 = _mm256_shuffle_ps(a4, a6, 0x44), b5 = _mm256_shuffle_ps(a4, a6, 0xEE);
  const __m256 b6 = _mm256_shuffle_ps(a5, a7, 0x44), b7 = _mm256_shuffle_ps(a5, a7, 0xEE);
  // Rows 0-3 in the low halves, 4-7 in the high halves.
  const __m256 rows[8] = {_mm256_permute2f128_ps(b0, b4, 0x20), _mm256_permute2f128_ps(b1, b5, 0x20),
                          _mm256_permute2f128_ps(b2, b6, 0x20), _mm256_permute2f128_ps(b3, b7, 0x20),
                          _mm256_permute2f128_ps(b0, b4, 0x31), _mm256_permute2f128_ps(b1, b5, 0x31),
                          _mm256_permute2f128_ps(b2, b6, 0x31), _mm256_permute2f128_ps(b3, b7, 0x31)};
  for (int k = 0; k < n; ++k) _mm256_storeu_ps(out + k * strideFloats, rows[k]);
}

inline f8 Saturate255(f8 c) {
  // (c > 0 ? (c < 1 ? c : 1) : 0) * 255, lane by lane.
  const f8 upper = c < Splat(1) ? c : Splat(1);
  return (c > Splat(0) ? upper : Splat(0)) * Splat(255.0f);
}

// n vertices from first (1..8).
void TransformBlock(const VertexJob& job, std::size_t first, int n) {
  const float* pos = &job.positions[first].x;
  const f8 px = LoadComponent<3>(pos, n), py = LoadComponent<3>(pos + 1, n), pz = LoadComponent<3>(pos + 2, n);
  const Matrix& m = job.modelToClip;
  const f8 x = px * Splat(m.m[0][0]) + py * Splat(m.m[1][0]) + pz * Splat(m.m[2][0]) + Splat(m.m[3][0]);
  const f8 y = px * Splat(m.m[0][1]) + py * Splat(m.m[1][1]) + pz * Splat(m.m[2][1]) + Splat(m.m[3][1]);
  const f8 z = px * Splat(m.m[0][2]) + py * Splat(m.m[1][2]) + pz * Splat(m.m[2][2]) + Splat(m.m[3][2]);
  const f8 w = px * Splat(m.m[0][3]) + py * Splat(m.m[1][3]) + pz * Splat(m.m[2][3]) + Splat(m.m[3][3]);

  // The outcode (as Outcode in Clip.h).
  const i8 valid = Abs(x) + Abs(y) + Abs(z) + Abs(w) < Splat(3.0e38f);
  const f8 gx = Splat(-job.guard.x) * w, gy = Splat(-job.guard.y) * w;
  const f8 gxp = Splat(job.guard.x) * w, gyp = Splat(job.guard.y) * w;
  i8 code = ((z < Splat(0)) & SplatI(kClipNear)) | ((z > w) & SplatI(kClipFar)) | ((x < gx) & SplatI(kClipGuardLeft)) |
            ((x > gxp) & SplatI(kClipGuardRight)) | ((y < gy) & SplatI(kClipGuardBottom)) |
            ((y > gyp) & SplatI(kClipGuardTop));
  const f8 negW = -w;
  code |= (((x < negW) & SplatI(kOffLeft)) | ((x > w) & SplatI(kOffRight)) | ((y < negW) & SplatI(kOffBottom)) |
           ((y > w) & SplatI(kOffTop)))
          << 8;
  code = valid ? code : SplatI(kClipInvalid);
  for (int k = 0; k < n; ++k) job.outcodes[first + k] = static_cast<std::uint16_t>(code[k]);

  // Projection and snapping where no clipping is needed (as ProjectClipVertex).
  const i8 projected = (code & SplatI(kClipNeeded | kClipInvalid)) == SplatI(0);
  const f8 q = Splat(1.0f) / w;
  const f8 sz = z * q;
  const f8 sx = (Splat(job.map.centreX) + Splat(job.map.halfWidth) * x * q) * Splat(16.0f);
  const f8 sy = (Splat(job.map.centreY) - Splat(job.map.halfHeight) * y * q) * Splat(16.0f);
  const i8 fx = projected ? RoundToInt(sx) : SplatI(0), fy = projected ? RoundToInt(sy) : SplatI(0);

  // Parallel lights in model space (as LightParallel), then the final colour.
  f8 dr = Splat(1), dg = Splat(1), db = Splat(1);
  if (job.normals) {
    const float* nrm = &job.normals[first].x;
    const f8 nx = LoadComponent<3>(nrm, n), ny = LoadComponent<3>(nrm + 1, n), nz = LoadComponent<3>(nrm + 2, n);
    dr = Splat(job.ambient[0]);
    dg = Splat(job.ambient[1]);
    db = Splat(job.ambient[2]);
    for (int l = 0; l < job.lightCount; ++l) {
      const ParallelLight& L = job.lights[l];
      const f8 ndl = nx * Splat(L.x) + ny * Splat(L.y) + nz * Splat(L.z);
      const i8 lit = ndl > Splat(0);
      dr = lit ? dr + Splat(L.r) * ndl : dr;
      dg = lit ? dg + Splat(L.g) * ndl : dg;
      db = lit ? db + Splat(L.b) * ndl : db;
    }
  }
  const f8 zero = Splat(0);
  const f8 first8[8] = {x,
                        y,
                        z,
                        w,
                        reinterpret_cast<f8>(fx),
                        reinterpret_cast<f8>(fy),
                        projected ? sz : zero,
                        projected ? q : zero};
  const f8 second8[8] = {Saturate255(Splat(job.emissive[0]) + Splat(job.base[0]) * dr + zero),
                         Saturate255(Splat(job.emissive[1]) + Splat(job.base[1]) * dg + zero),
                         Saturate255(Splat(job.emissive[2]) + Splat(job.base[2]) * db + zero),
                         Splat(job.baseAlpha),
                         zero,
                         zero,
                         zero,
                         Splat(1.0f)};
  static_assert(sizeof(ClipVertex) == 20 * sizeof(float) && offsetof(ClipVertex, c) == 8 * sizeof(float) &&
                offsetof(ClipVertex, u) == 16 * sizeof(float));
  float* out = reinterpret_cast<float*>(job.vertices + first);
  StoreTransposed(first8, out, 20, n);
  StoreTransposed(second8, out + 8, 20, n);
  for (int k = 0; k < n; ++k) {
    ClipVertex& v = job.vertices[first + k];
    if (job.uvs) {
      v.u = job.uvs[first + k].u;
      v.v = job.uvs[first + k].v;
    } else {
      v.u = v.v = 0;
    }
  }
}

}  // namespace

void TransformVertices(const VertexJob& job) {
  std::size_t i = 0;
  for (; i + 8 <= job.count; i += 8) TransformBlock(job, i, 8);
  if (i < job.count) TransformBlock(job, i, static_cast<int>(job.count - i));
}

}  // namespace kv::raster::kernels_avx2
