// DirectX mesh files (.x): text, binary and MSZIP-compressed encodings with
// 32- or 64-bit floats, read into and written from one plain mesh record.
// Readers are defensive: every count is checked against the bytes left before
// anything is allocated, every index against its array; a bad file gives a
// status with the line (text) or byte offset (binary) where it went wrong.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::xfile {

using Vec3 = std::array<float, 3>;
using Vec2 = std::array<float, 2>;

struct Material {
  std::string name;
  std::array<float, 4> faceColor{1, 1, 1, 1};  // r, g, b, a
  float power = 0;
  Vec3 specular{0, 0, 0};
  Vec3 emissive{0, 0, 0};
  std::string textureFile;  // empty: none
};

// One mesh. Faces are polygons of any vertex count, stored flat: face f has
// faceSizes[f] corners, whose vertex indices follow each other in
// faceVertices and whose normal indices (when normals are present) stand at
// the same places in faceNormals.
struct MeshData {
  std::string name;
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;              // empty: the file had none
  std::vector<std::uint32_t> faceSizes;
  std::vector<std::uint32_t> faceVertices;
  std::vector<std::uint32_t> faceNormals; // empty, or the same length as faceVertices
  std::vector<Vec2> texCoords;            // empty, or one per position
  std::vector<std::uint32_t> vertexColors;  // empty, or one 0xAARRGGBB per position
  std::vector<Material> materials;
  std::vector<std::uint32_t> faceMaterials;  // empty, or one index into materials per face
  std::vector<std::array<bool, 2>> faceWraps; // empty, or one (wrap u, wrap v) per face
};

enum class Encoding { Text, Binary, CompressedText, CompressedBinary };

struct FileInfo {
  Encoding encoding = Encoding::Text;
  int floatBits = 32;     // 32 or 64
  int majorVersion = 3;   // "0302" -> 3, 2
  int minorVersion = 3;
  std::size_t meshCount = 0;  // meshes found (all merged into the result)
};

enum class Status {
  Ok,
  FileNotFound,  // cannot open or read the file
  BadFile,       // not a mesh file, or corrupt (see message, line, offset)
  NotFound,      // a valid file without any mesh
  TooLarge,      // counts beyond the limits (more than 2^28 elements), or out of memory
  InvalidMesh,   // Write/SaveFile: the mesh record is inconsistent (see message)
};

struct Result {
  Status status = Status::Ok;
  std::string message;
  std::size_t line = 0;    // text encodings: 1-based line, 0 when unknown
  // Byte offset of the fault counted from the first header byte; for a
  // compressed file, in the decompressed file (header included) once the
  // fault lies in the body.
  std::size_t offset = 0;
  explicit operator bool() const { return status == Status::Ok; }
};

// Reads every Mesh in the file (top level or inside Frames, in file order),
// carries each by its frames' accumulated FrameTransformMatrix (normals by
// the inverse transpose) and merges them into one record.
Result Parse(std::span<const std::uint8_t> bytes, MeshData& out, FileInfo* info = nullptr);
// Only a regular file is read (a FIFO or device is refused without
// blocking); one cut short while it is read gives FileNotFound.
Result LoadFile(std::string_view path, MeshData& out, FileInfo* info = nullptr);

// What a save writes, as the engine's save flags ask.
struct SaveOptions {
  Encoding encoding = Encoding::Text;
  int floatBits = 32;
  bool normals = true;
  bool textureCoordinates = true;
  bool materials = true;
  bool textureNames = true;
  bool templates = false;
  bool textureTopology = false;  // MeshFaceWraps
};
// The file bytes; empty when the mesh is inconsistent (see CheckMesh).
std::vector<std::uint8_t> Write(const MeshData& mesh, const SaveOptions& options);
Result Write(const MeshData& mesh, const SaveOptions& options, std::vector<std::uint8_t>& out);
// Whether the record is consistent: every index in range, per-vertex and
// per-face arrays empty or of the right length.
Result CheckMesh(const MeshData& mesh);
// Replaces PATH as one step: a temporary beside it, flushed and renamed over
// it; on any failure the old file stays as it was. A link stays a link and
// the old file's permissions are kept.
Result SaveFile(std::string_view path, const MeshData& mesh, const SaveOptions& options);

}  // namespace kv::xfile
