// kvmesh: information about DirectX mesh files and conversion between their
// encodings.
//   kvmesh info FILE
//   kvmesh convert IN OUT --format text|binary|compressed [--float64] [--compressed-text] [--templates]
//   kvmesh sphere OUT --vertices N --format ... (a generated test mesh, e.g. for kvbench --xload)
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/Version.h"
#include "korvane3d/rm/xfile/SampleMesh.h"
#include "korvane3d/rm/xfile/XFile.h"

using namespace kv;

namespace {

namespace xf = kv::xfile;

constexpr const char* kUsage =
    "usage: kvmesh info FILE\n"
    "       kvmesh convert IN OUT --format text|binary|compressed [--float64] [--compressed-text] [--templates]\n"
    "       kvmesh sphere OUT --vertices N --format text|binary|compressed [same options as convert]\n"
    "       kvmesh --help | --version\n"
    "\n"
    "info     prints the encoding, float size, counts, bounding box, materials and texture names\n"
    "convert  reads IN and writes OUT in the given encoding, with normals, texture coordinates,\n"
    "         materials, texture names and face wraps; --float64 writes 64-bit floats,\n"
    "         --compressed-text compresses a text body instead of a binary one, --templates\n"
    "         writes the template declarations too\n"
    "sphere   writes a UV sphere of about N vertices with normals, texture coordinates and a\n"
    "         material, for load benchmarks and tests\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "kvmesh: %s (kvmesh --help for usage)\n", problem);
  return 2;
}

std::string Describe(const xf::Result& result) {
  std::string text = result.message;
  if (result.line) text = "line " + std::to_string(result.line) + ": " + text;
  else if (result.offset) text = "offset " + std::to_string(result.offset) + ": " + text;
  return text;
}

int LoadFailure(const char* path, const xf::Result& result) {
  std::fprintf(stderr, "kvmesh: %s: %s\n", path, Describe(result).c_str());
  return 1;
}

const char* EncodingName(xf::Encoding encoding) {
  switch (encoding) {
    case xf::Encoding::Text: return "text";
    case xf::Encoding::Binary: return "binary";
    case xf::Encoding::CompressedText: return "compressed text (tzip)";
    case xf::Encoding::CompressedBinary: return "compressed binary (bzip)";
  }
  return "?";
}

void PrintBox(const xf::MeshData& mesh) {
  if (mesh.positions.empty()) {
    std::printf("bounding box: none\n");
    return;
  }
  xf::Vec3 lo, hi;
  lo.fill(std::numeric_limits<float>::infinity());
  hi.fill(-std::numeric_limits<float>::infinity());
  for (const xf::Vec3& p : mesh.positions)
    for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
  std::printf("bounding box: (%g, %g, %g) - (%g, %g, %g)\n", lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
}

int Info(const char* path) {
  xf::MeshData mesh;
  xf::FileInfo info;
  if (xf::Result result = xf::LoadFile(path, mesh, &info); !result) return LoadFailure(path, result);
  std::printf("file: %s\n", path);
  std::printf("encoding: %s, version %d.%d, %d-bit floats\n", EncodingName(info.encoding), info.majorVersion,
              info.minorVersion, info.floatBits);
  std::printf("meshes: %zu (merged as \"%s\")\n", info.meshCount, mesh.name.c_str());
  std::printf("vertices: %zu\nnormals: %zu\nfaces: %zu\n", mesh.positions.size(), mesh.normals.size(),
              mesh.faceSizes.size());
  std::printf("texture coordinates: %s\nvertex colours: %s\nface wraps: %s\n", mesh.texCoords.empty() ? "no" : "yes",
              mesh.vertexColors.empty() ? "no" : "yes", mesh.faceWraps.empty() ? "no" : "yes");
  PrintBox(mesh);
  std::printf("materials: %zu\n", mesh.materials.size());
  std::set<std::string> textures;
  for (std::size_t i = 0; i < mesh.materials.size(); ++i) {
    const xf::Material& m = mesh.materials[i];
    std::printf("  %zu: colour (%g, %g, %g, %g), power %g", i, m.faceColor[0], m.faceColor[1], m.faceColor[2],
                m.faceColor[3], m.power);
    if (!m.textureFile.empty()) std::printf(", texture \"%s\"", m.textureFile.c_str());
    std::printf("\n");
    if (!m.textureFile.empty()) textures.insert(m.textureFile);
  }
  std::printf("texture names: %zu\n", textures.size());
  for (const std::string& name : textures) std::printf("  %s\n", name.c_str());
  return 0;
}

struct Command {
  std::vector<const char*> files;
  xf::SaveOptions options;
  long vertices = 0;
};

// The options shared by convert and sphere; returns 0 or the exit status of a usage error.
int ParseCommand(int argc, char** argv, Command& command) {
  const char* format = nullptr;
  bool float64 = false, compressedText = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--format" || arg == "--vertices") {
      if (i + 1 == argc) return Usage((std::string(arg) + " needs a value").c_str());
      if (arg == "--format") format = argv[++i];
      else command.vertices = std::strtol(argv[++i], nullptr, 10);
    } else if (arg == "--float64") {
      float64 = true;
    } else if (arg == "--compressed-text") {
      compressedText = true;
    } else if (arg == "--templates") {
      command.options.templates = true;
    } else if (arg.starts_with("--")) {
      return Usage(("unknown option " + std::string(arg)).c_str());
    } else {
      command.files.push_back(argv[i]);
    }
  }
  if (!format) return Usage("missing --format text|binary|compressed");
  const std::string_view f = format;
  xf::SaveOptions& options = command.options;
  if (f == "text") options.encoding = xf::Encoding::Text;
  else if (f == "binary") options.encoding = xf::Encoding::Binary;
  else if (f == "compressed") options.encoding = compressedText ? xf::Encoding::CompressedText : xf::Encoding::CompressedBinary;
  else return Usage(("unknown format " + std::string(f) + " (text, binary or compressed)").c_str());
  if (compressedText && f != "compressed") return Usage("--compressed-text goes with --format compressed");
  options.floatBits = float64 ? 64 : 32;
  options.textureTopology = true;
  return 0;
}

int Save(const char* path, const xf::MeshData& mesh, const xf::SaveOptions& options) {
  if (xf::Result result = xf::SaveFile(path, mesh, options); !result) {
    std::fprintf(stderr, "kvmesh: %s: %s\n", path, result.message.c_str());
    return 1;
  }
  return 0;
}

int Convert(int argc, char** argv) {
  Command command;
  if (int status = ParseCommand(argc, argv, command)) return status;
  if (command.files.size() != 2) return Usage("convert needs an input and an output file");
  xf::MeshData mesh;
  if (xf::Result result = xf::LoadFile(command.files[0], mesh); !result) return LoadFailure(command.files[0], result);
  return Save(command.files[1], mesh, command.options);
}

int Sphere(int argc, char** argv) {
  Command command;
  if (int status = ParseCommand(argc, argv, command)) return status;
  if (command.files.size() != 1) return Usage("sphere needs one output file");
  if (command.vertices < 12 || command.vertices > 50'000'000) return Usage("--vertices must be 12 to 50000000");
  // (rings + 1) * (2 * rings + 1) vertices.
  const int rings = int(std::sqrt(double(command.vertices) / 2));
  return Save(command.files[0], xf::MakeSphere(rings, 2 * rings), command.options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kvmesh %s (Korvane 3D)\n", kv::Version());
    return 0;
  }
  if (argc < 2) return Usage("missing command");
  const std::string_view command = argv[1];
  if (command == "info") {
    if (argc != 3) return Usage("info needs exactly one file");
    return Info(argv[2]);
  }
  if (command == "convert") return Convert(argc - 2, argv + 2);
  if (command == "sphere") return Sphere(argc - 2, argv + 2);
  return Usage(("unknown command " + std::string(command)).c_str());
}
