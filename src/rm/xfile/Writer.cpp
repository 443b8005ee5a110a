// Write and SaveFile: checks the mesh record, walks it once through the
// emitter of the encoding, and compresses the body for tzip and bzip.
#include <new>

#include "korvane3d/platform/win/FileAccess.h"
#include "korvane3d/rm/xfile/Emitter.h"
#include "korvane3d/rm/xfile/Header.h"
#include "korvane3d/rm/xfile/Mszip.h"
#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile {
namespace {

using namespace detail;

// The standard templates a written mesh uses, dependencies first.
constexpr std::string_view kWrittenTemplates[] = {
    "Header",   "Vector",        "Coords2d",          "ColorRGBA",         "ColorRGB",
    "IndexedColor", "Boolean",   "Boolean2d",         "MeshFace",          "MeshFaceWraps",
    "MeshTextureCoords", "MeshVertexColors", "MeshNormals", "TextureFilename", "Material",
    "MeshMaterialList", "Mesh",
};

Result Invalid(std::string message) { return {Status::InvalidMesh, std::move(message), 0, 0}; }

bool AllBelow(const std::vector<std::uint32_t>& indices, std::size_t size) {
  for (std::uint32_t i : indices)
    if (i >= size) return false;
  return true;
}

std::span<const float> Flat(const std::vector<Vec3>& v) { return {v.empty() ? nullptr : v.data()->data(), v.size() * 3}; }
std::span<const float> Flat(const std::vector<Vec2>& v) { return {v.empty() ? nullptr : v.data()->data(), v.size() * 2}; }

void EmitMaterial(Emitter& e, const Material& m, bool textureNames) {
  e.Begin("Material", m.name);
  e.FloatStruct(m.faceColor);
  e.FloatStruct({&m.power, 1});
  e.FloatStruct(m.specular);
  e.FloatStruct(m.emissive);
  if (textureNames && !m.textureFile.empty()) {
    e.Begin("TextureFilename", {});
    e.String(m.textureFile);
    e.End();
  }
  e.End();
}

void EmitMesh(Emitter& e, const MeshData& mesh, const SaveOptions& options) {
  e.Begin("Mesh", mesh.name);
  e.Dword(std::uint32_t(mesh.positions.size()));
  e.FloatArray(Flat(mesh.positions), 3);
  e.Dword(std::uint32_t(mesh.faceSizes.size()));
  e.FaceArray(mesh.faceSizes, mesh.faceVertices);
  if (options.normals && !mesh.normals.empty()) {
    e.Begin("MeshNormals", {});
    e.Dword(std::uint32_t(mesh.normals.size()));
    e.FloatArray(Flat(mesh.normals), 3);
    e.Dword(std::uint32_t(mesh.faceSizes.size()));
    // Normals without their own face indices go one per vertex.
    e.FaceArray(mesh.faceSizes, mesh.faceNormals.empty() ? mesh.faceVertices : mesh.faceNormals);
    e.End();
  }
  if (options.textureCoordinates && !mesh.texCoords.empty()) {
    e.Begin("MeshTextureCoords", {});
    e.Dword(std::uint32_t(mesh.texCoords.size()));
    e.FloatArray(Flat(mesh.texCoords), 2);
    e.End();
  }
  if (!mesh.vertexColors.empty()) {
    e.Begin("MeshVertexColors", {});
    e.Dword(std::uint32_t(mesh.vertexColors.size()));
    e.IndexedColorArray(mesh.vertexColors);
    e.End();
  }
  if (options.materials && !mesh.materials.empty()) {
    e.Begin("MeshMaterialList", {});
    e.Dword(std::uint32_t(mesh.materials.size()));
    e.Dword(std::uint32_t(mesh.faceMaterials.size()));
    e.DwordArray(mesh.faceMaterials);
    for (const Material& m : mesh.materials) EmitMaterial(e, m, options.textureNames);
    e.End();
  }
  if (options.textureTopology && !mesh.faceWraps.empty()) {
    e.Begin("MeshFaceWraps", {});
    e.Dword(std::uint32_t(mesh.faceWraps.size()));
    e.BoolPairArray(mesh.faceWraps);
    e.End();
  }
  e.End();
}

}  // namespace

namespace detail {
std::array<float, 4> ColorFloats(std::uint32_t argb) {
  return {float((argb >> 16) & 0xff) / 255.f, float((argb >> 8) & 0xff) / 255.f, float(argb & 0xff) / 255.f,
          float(argb >> 24) / 255.f};
}
}  // namespace detail

Result CheckMesh(const MeshData& mesh) {
  std::uint64_t corners = 0;
  for (std::uint32_t n : mesh.faceSizes) {
    if (n == 0) return Invalid("a face has no corners");
    corners += n;
  }
  if (corners != mesh.faceVertices.size()) return Invalid("face sizes do not add up to the face vertex list");
  if (!AllBelow(mesh.faceVertices, mesh.positions.size())) return Invalid("a face vertex index is out of range");
  if (!mesh.faceNormals.empty() && mesh.faceNormals.size() != corners)
    return Invalid("face normal indices do not match the face vertices");
  if (!AllBelow(mesh.faceNormals, mesh.normals.size())) return Invalid("a face normal index is out of range");
  if (!mesh.normals.empty() && mesh.faceNormals.empty() && mesh.normals.size() != mesh.positions.size())
    return Invalid("normals without face normal indices must be one per vertex");
  if (!mesh.texCoords.empty() && mesh.texCoords.size() != mesh.positions.size())
    return Invalid("texture coordinates must be one per vertex");
  if (!mesh.vertexColors.empty() && mesh.vertexColors.size() != mesh.positions.size())
    return Invalid("vertex colours must be one per vertex");
  if (!mesh.faceMaterials.empty() && mesh.faceMaterials.size() != mesh.faceSizes.size())
    return Invalid("face materials must be one per face");
  if (!AllBelow(mesh.faceMaterials, mesh.materials.size())) return Invalid("a face material index is out of range");
  if (!mesh.faceWraps.empty() && mesh.faceWraps.size() != mesh.faceSizes.size())
    return Invalid("face wraps must be one per face");
  if (mesh.positions.size() > 0xffffffffu || mesh.faceSizes.size() > 0xffffffffu)
    return Invalid("too many vertices or faces for a file");
  return {};
}

Result Write(const MeshData& mesh, const SaveOptions& options, std::vector<std::uint8_t>& out) {
  if (options.floatBits != 32 && options.floatBits != 64)
    return Invalid("float size must be 32 or 64 bits, not " + std::to_string(options.floatBits));
  if (Result check = CheckMesh(mesh); !check) return check;
  try {
    const bool text = options.encoding == Encoding::Text || options.encoding == Encoding::CompressedText;
    std::unique_ptr<Emitter> emitter = text ? MakeTextEmitter() : MakeBinaryEmitter(options.floatBits);
    if (options.templates)
      for (std::string_view name : kWrittenTemplates) emitter->Template(*TemplateSet::Standard().Find(name));
    emitter->Begin("Header", {});
    for (std::uint32_t v : {1u, 0u, 1u}) emitter->Dword(v);
    emitter->End();
    EmitMesh(*emitter, mesh, options);
    std::vector<std::uint8_t> body = emitter->Finish();
    const std::string header = MakeHeader(options.encoding, options.floatBits);
    std::vector<std::uint8_t> file(header.begin(), header.end());
    if (options.encoding == Encoding::CompressedText || options.encoding == Encoding::CompressedBinary) {
      MszipCompress(body, file);
    } else {
      file.insert(file.end(), body.begin(), body.end());
    }
    out = std::move(file);
    return {};
  } catch (const std::bad_alloc&) {
    return {Status::TooLarge, "not enough memory to write the mesh", 0, 0};
  }
}

std::vector<std::uint8_t> Write(const MeshData& mesh, const SaveOptions& options) {
  std::vector<std::uint8_t> out;
  Write(mesh, options, out);
  return out;
}

// Replaces the file as one step, so a failed save leaves any existing file
// as it was.
Result SaveFile(std::string_view path, const MeshData& mesh, const SaveOptions& options) {
  std::vector<std::uint8_t> bytes;
  if (Result written = Write(mesh, options, bytes); !written) return written;
  const files::Result replaced = files::ReplaceFile(std::string(path), bytes);
  if (!replaced) return {Status::FileNotFound, replaced.message, 0, 0};
  return {};
}

}  // namespace kv::xfile
