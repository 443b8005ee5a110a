// Parse and LoadFile: header, decompression, the token source for the
// encoding, the object grammar, and the scene flattened into one mesh.
#include "korvane3d/rm/xfile/XFile.h"

#include <algorithm>
#include <memory>
#include <new>

#include "korvane3d/platform/win/FileAccess.h"
#include "korvane3d/rm/xfile/BinaryTokens.h"
#include "korvane3d/rm/xfile/Header.h"
#include "korvane3d/rm/xfile/Mszip.h"
#include "korvane3d/rm/xfile/Reader.h"
#include "korvane3d/rm/xfile/TextTokens.h"

namespace kv::xfile {
namespace {

using namespace detail;

// Files larger than this are refused before reading (TooLarge).
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 31;

bool IsText(Encoding e) { return e == Encoding::Text || e == Encoding::CompressedText; }
bool IsCompressed(Encoding e) { return e == Encoding::CompressedText || e == Encoding::CompressedBinary; }

Result Failure(const ErrorState& errors, std::span<const std::uint8_t> body, bool text) {
  Result result{errors.status(), errors.message(), 0, errors.offset()};
  if (text && result.offset <= body.size())
    result.line = 1 + std::size_t(std::count(body.begin(), body.begin() + std::ptrdiff_t(result.offset), '\n'));
  return result;
}

Result ParseChecked(std::span<const std::uint8_t> bytes, MeshData& out, FileInfo* info) {
  FileInfo header;
  std::string message;
  if (!ReadHeader(bytes, header, message)) return {Status::BadFile, message, bytes.empty() ? 0u : 1u, 0};
  ErrorState errors;
  std::span<const std::uint8_t> file = bytes;
  std::vector<std::uint8_t> inflated;
  if (IsCompressed(header.encoding)) {
    if (!MszipDecompress(bytes, inflated, errors)) return Failure(errors, bytes, false);
    file = inflated;
  }
  std::unique_ptr<TokenSource> source;
  if (IsText(header.encoding))
    source = std::make_unique<TextTokens>(file, kHeaderSize, errors);
  else
    source = std::make_unique<BinaryTokens>(file, kHeaderSize, header.floatBits, errors);
  Scene scene;
  SceneReader reader(*source, scene);
  MeshData mesh;
  if (!reader.ReadAll() || !BuildMesh(scene, mesh, errors))
    return Failure(errors, file, IsText(header.encoding));
  header.meshCount = scene.meshes.size();
  out = std::move(mesh);
  if (info) *info = header;
  return {};
}

}  // namespace

Result Parse(std::span<const std::uint8_t> bytes, MeshData& out, FileInfo* info) {
  try {
    return ParseChecked(bytes, out, info);
  } catch (const std::bad_alloc&) {
    return {Status::TooLarge, "not enough memory for the mesh", 0, 0};
  }
}

namespace {

Result FromFileError(const files::Result& failure) {
  return {failure.error == files::Error::TooLarge ? Status::TooLarge : Status::FileNotFound, failure.message, 0, 0};
}

}  // namespace

// The file is read, not mapped: a mapped file that another process cuts
// short kills its reader, a read one is only an error. The header comes
// first, so that a file that is no mesh file costs 16 bytes.
Result LoadFile(std::string_view path, MeshData& out, FileInfo* info) {
  const std::string name(path);
  files::InputFile file;
  if (files::Result opened = file.Open(name); !opened) return FromFileError(opened);
  if (file.Size() > kMaxFileSize) return {Status::TooLarge, name + " is too large", 0, 0};
  std::uint8_t head[kHeaderSize];
  const std::span<std::uint8_t> headBytes(head, std::size_t(std::min<std::uint64_t>(file.Size(), kHeaderSize)));
  if (files::Result read = file.ReadAt(0, headBytes); !read) return FromFileError(read);
  FileInfo header;
  std::string message;
  if (!ReadHeader(headBytes, header, message)) return {Status::BadFile, message, headBytes.empty() ? 0u : 1u, 0};
  files::FileBytes bytes;
  if (files::Result read = file.ReadAll(bytes); !read) return FromFileError(read);
  return Parse(bytes.bytes(), out, info);
}

}  // namespace kv::xfile
