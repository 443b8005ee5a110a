// make_knot: writes the trefoil knot mesh that the viewer's demo shows
// (examples/data/knot.x) as a text mesh file with normals and a material.
//   make_knot OUT.x [--segments N] [--sides N]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

#include "rm/xfile/XFile.h"

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
// points out of the tube, as the shape generators' faces do.
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

int Usage() {
  std::fprintf(stderr, "usage: make_knot OUT.x [--segments N] [--sides N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) return Usage();
  int segments = 128, sides = 10;
  for (int i = 2; i + 1 < argc; i += 2) {
    const int value = std::atoi(argv[i + 1]);
    if (value < 3 || value > 4096) return Usage();
    if (std::strcmp(argv[i], "--segments") == 0) segments = value;
    else if (std::strcmp(argv[i], "--sides") == 0) sides = value;
    else return Usage();
  }
  xf::SaveOptions options;
  options.textureCoordinates = false;
  const xf::Result result = xf::SaveFile(argv[1], MakeKnot(segments, sides, 0.12), options);
  if (result.status != xf::Status::Ok) {
    std::fprintf(stderr, "make_knot: %s: %s\n", argv[1], result.message.c_str());
    return 1;
  }
  return 0;
}
