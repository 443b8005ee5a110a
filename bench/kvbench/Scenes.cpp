#include "kvbench/Scenes.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace kv;

namespace kvbench {
namespace {

using kv::raster::Vec2;
using kv::raster::Vec3;

void FinishIndices(BenchMesh& m) {
  m.indices16.assign(m.indices32.begin(), m.indices32.end());
}

BenchMesh UvSphere() {
  BenchMesh m;
  const float pi = 3.14159265358979f;
  for (int i = 0; i <= 15; ++i) {
    for (int j = 0; j <= 15; ++j) {
      float theta = pi * static_cast<float>(i) / 15.0f, phi = 2 * pi * static_cast<float>(j) / 15.0f;
      Vec3 p{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
      m.positions.push_back(p);
      m.normals.push_back(p);
      m.uvs.push_back({static_cast<float>(j) / 15.0f, static_cast<float>(i) / 15.0f});
    }
  }
  for (int i = 0; i < 15; ++i) {
    for (int j = 0; j < 15; ++j) {
      std::uint32_t a = i * 16 + j, b = i * 16 + j + 1, c = (i + 1) * 16 + j, d = (i + 1) * 16 + j + 1;
      if (i != 0) m.indices32.insert(m.indices32.end(), {a, b, c});
      if (i != 14) m.indices32.insert(m.indices32.end(), {b, d, c});
    }
  }
  FinishIndices(m);
  return m;
}

Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 CrossV(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

BenchMesh Cube() {
  BenchMesh m;
  const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  const Vec3 axes[6] = {{1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}};
  for (int f = 0; f < 6; ++f) {
    Vec3 n = normals[f], u = axes[f], v = CrossV(u, n);
    const float su[4] = {-1, -1, 1, 1}, sv[4] = {-1, 1, 1, -1};
    std::uint32_t base = static_cast<std::uint32_t>(m.positions.size());
    for (int k = 0; k < 4; ++k) {
      m.positions.push_back(Scale(Add(n, Add(Scale(u, su[k]), Scale(v, sv[k]))), 0.2f));
      m.normals.push_back(n);
      m.uvs.push_back({0, 0});
    }
    m.indices32.insert(m.indices32.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
  }
  FinishIndices(m);
  return m;
}

BenchMesh FillQuads() {
  BenchMesh m;
  for (int k = 0; k < 20; ++k) {
    float z = 10.0f - static_cast<float>(k), h = 35.0f - static_cast<float>(k);
    std::uint32_t color = 0xff000000u | (static_cast<std::uint32_t>(20 + 12 * k) << 16) |
                          (static_cast<std::uint32_t>(240 - 12 * k) << 8) | 128u;
    std::uint32_t base = static_cast<std::uint32_t>(m.positions.size());
    const Vec3 corners[4] = {{-h, -h, z}, {-h, h, z}, {h, h, z}, {h, -h, z}};
    for (const Vec3& c : corners) {
      m.positions.push_back(c);
      m.normals.push_back({0, 0, -1});
      m.uvs.push_back({0, 0});
      m.colors.push_back(color);
    }
    m.indices32.insert(m.indices32.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
  }
  FinishIndices(m);
  return m;
}

std::vector<std::uint32_t> Checker() {
  std::vector<std::uint32_t> t(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) t[y * 256 + x] = ((x / 32 + y / 32) % 2 == 0) ? 0xffffffffu : 0xffc82828u;
  return t;
}

}  // namespace

bool MakeScene(const std::string& name, int width, int height, BenchScene& s) {
  s = BenchScene{};
  s.name = name;
  s.width = width;
  s.height = height;
  if (name == "spheres" || name == "textured") {
    s.mesh = UvSphere();
    for (int row = 0; row < 8; ++row)
      for (int col = 0; col < 8; ++col)
        s.instances.push_back({(static_cast<float>(col) - 3.5f) * 2.5f, (3.5f - static_cast<float>(row)) * 2.5f, 0});
    if (name == "textured") {
      s.textured = true;
      s.textureSize = 256;
      s.texture = Checker();
    }
  } else if (name == "fill") {
    s.mesh = FillQuads();
    s.lit = false;
    s.instances.push_back({0, 0, 0});
  } else if (name == "many") {
    s.mesh = Cube();
    for (int kz = 0; kz < 16; ++kz)
      for (int jy = 0; jy < 16; ++jy)
        for (int ix = 0; ix < 16; ++ix)
          s.instances.push_back({(static_cast<float>(ix) - 7.5f) * 0.8f, (7.5f - static_cast<float>(jy)) * 0.8f,
                                 (static_cast<float>(kz) - 7.5f) * 0.8f});
  } else {
    return false;
  }
  s.trianglesPerFrame = static_cast<std::uint64_t>(s.instances.size()) * (s.mesh.indices32.size() / 3);
  return true;
}

bool CheckFrame(const BenchScene& scene, const std::vector<std::uint32_t>& rgb, const char* who) {
  const bool referenceSize = scene.width == kReferenceWidth && scene.height == kReferenceHeight;
  std::size_t covered = 0, exact = 0;
  for (std::uint32_t p : rgb) {
    if ((p & 0xffffff) != kBackground) ++covered;
    if ((p & 0xffffff) == 0xf80c80) ++exact;
  }
  const double fraction = static_cast<double>(covered) / static_cast<double>(rgb.size());
  bool ok = true;
  double expected = scene.name == "fill" ? 1.0 : (scene.name == "many" ? 0.402 : 0.364);
  if (referenceSize && std::fabs(fraction - expected) > 0.01) ok = false;
  if (referenceSize)
    std::fprintf(stderr, "%s %s: covered fraction %.4f (expected about %.3f)\n", who, scene.name.c_str(), fraction,
                 expected);
  else
    std::fprintf(stderr, "%s %s: covered fraction %.4f at %dx%d\n", who, scene.name.c_str(), fraction, scene.width,
                 scene.height);
  if (scene.name == "fill") {
    std::fprintf(stderr, "%s fill: %zu of %zu pixels are (248,12,128)\n", who, exact, rgb.size());
    if (exact != rgb.size()) ok = false;
  }
  if (scene.name == "spheres" && referenceSize) {
    std::uint32_t p = rgb[210 * kReferenceWidth + 290];
    int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    std::fprintf(stderr, "%s spheres: pixel (290,210) = (%d,%d,%d) (expected about 222)\n", who, r, g, b);
    if (std::abs(r - 222) > 3 || std::abs(g - 222) > 3 || std::abs(b - 222) > 3) ok = false;
  }
  if (!ok) std::fprintf(stderr, "%s %s: whole-frame check FAILED\n", who, scene.name.c_str());
  return ok;
}

}  // namespace kvbench
