// make_demo_data: writes the files the viewer's demo and the example forms
// use into a folder: the trefoil knot mesh (knot.x, a text mesh file with
// normals and a material) and two textures (planet.png, checker.png).
//   make_demo_data FOLDER
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <utility>

#include "korvane3d/Version.h"
#include "korvane3d/rm/image/Image.h"
#include "korvane3d/rm/xfile/XFile.h"

using namespace kv;

namespace {

namespace xf = kv::xfile;

struct V {
  double x, y, z;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(V a, double s) { return {a.x * s, a.y * s, a.z * s}; }
V Cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V Unit(V a) { return a * (1.0 / std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z)); }
xf::Vec3 F(V a) { return {float(a.x), float(a.y), float(a.z)}; }

// The (2, 3) torus knot: twice round the axis, three times through the hole.
V Knot(double t) {
  const double r = 0.6 + 0.25 * std::cos(3 * t);
  return {r * std::cos(2 * t), r * std::sin(2 * t), 0.25 * std::sin(3 * t)};
}

// A tube of `sides` corners around the knot at `segments` points along it;
// every quad winds so that the usual cross product of its first two edges
// points out of the tube, like the cube generator's faces.
xf::MeshData MakeKnot(int segments, int sides, double radius) {
  xf::MeshData mesh;
  mesh.name = "Knot";
  const double step = 2 * std::numbers::pi / segments;
  for (int i = 0; i < segments; ++i) {
    const double t = i * step;
    const V centre = Knot(t);
    const V tangent = Unit(Knot(t + 1e-4) - Knot(t - 1e-4));
    const V bend = Knot(t + 1e-3) + Knot(t - 1e-3) - centre * 2;  // towards the curve's centre of curvature
    const V binormal = Unit(Cross(tangent, bend));
    const V normal = Cross(binormal, tangent);
    for (int k = 0; k < sides; ++k) {
      const double a = 2 * std::numbers::pi * k / sides;
      const V out = normal * std::cos(a) + binormal * std::sin(a);
      mesh.positions.push_back(F(centre + out * radius));
      mesh.normals.push_back(F(out));
    }
  }
  auto index = [&](int i, int k) { return std::uint32_t((i % segments) * sides + (k % sides)); };
  for (int i = 0; i < segments; ++i) {
    for (int k = 0; k < sides; ++k) {
      mesh.faceSizes.push_back(4);
      for (std::uint32_t v : {index(i, k), index(i, k + 1), index(i + 1, k + 1), index(i + 1, k)}) {
        mesh.faceVertices.push_back(v);
        mesh.faceNormals.push_back(v);
      }
    }
  }
  xf::Material gold;
  gold.name = "Gold";
  gold.faceColor = {0.95f, 0.7f, 0.2f, 1.0f};
  gold.power = 20;
  gold.specular = {1, 1, 0.8f};
  mesh.materials.push_back(gold);
  mesh.faceMaterials.assign(mesh.faceSizes.size(), 0);
  return mesh;
}

// Bands of ochre, cream and rust with soft edges, like a gas planet; the
// rows run along the texture's v.
kv::image::Image Planet() {
  kv::image::Image image{128, 128, false, {}};
  for (int y = 0; y < image.height; ++y) {
    const double band = 0.5 + 0.5 * std::sin(y * 0.35) * std::cos(y * 0.11);
    const double swirl = 0.08 * std::sin(y * 1.7);
    for (int x = 0; x < image.width; ++x) {
      const double t = std::clamp(band + swirl * std::sin(x * 0.2), 0.0, 1.0);
      const auto r = std::uint32_t(200 + 55 * t), g = std::uint32_t(110 + 110 * t), b = std::uint32_t(40 + 140 * t);
      image.pixels.push_back(0xFF000000u | r << 16 | g << 8 | b);
    }
  }
  return image;
}

// An eight by eight board of teal and white squares.
kv::image::Image Checker() {
  kv::image::Image image{128, 128, false, {}};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) image.pixels.push_back(((x / 16 + y / 16) % 2) != 0 ? 0xFF1E8C8Cu : 0xFFF0F0E6u);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* kUsage = "usage: make_demo_data FOLDER   (writes knot.x, planet.png and checker.png)\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("make_demo_data %s (Korvane 3D)\n", kv::Version());
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  xf::SaveOptions options;
  options.textureCoordinates = false;
  const xf::Result mesh = xf::SaveFile(folder + "knot.x", MakeKnot(128, 10, 0.12), options);
  if (mesh.status != xf::Status::Ok) {
    std::fprintf(stderr, "make_demo_data: knot.x: %s\n", mesh.message.c_str());
    return 1;
  }
  for (const auto& [name, image] : {std::pair{"planet.png", Planet()}, std::pair{"checker.png", Checker()}}) {
    const kv::image::Result saved = kv::image::SavePng(folder + name, image);
    if (!saved) {
      std::fprintf(stderr, "make_demo_data: %s: %s\n", name, saved.message.c_str());
      return 1;
    }
  }
  return 0;
}
