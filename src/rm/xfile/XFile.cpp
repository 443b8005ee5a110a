// Parse and LoadFile: header, decompression, the token source for the
// encoding, the object grammar, and the scene flattened into one mesh.
#include "rm/xfile/XFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "rm/xfile/BinaryTokens.h"
#include "rm/xfile/Header.h"
#include "rm/xfile/Mszip.h"
#include "rm/xfile/Reader.h"
#include "rm/xfile/TextTokens.h"

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

static Result ReadWholeFile(std::string_view path, std::vector<std::uint8_t>& bytes) {
  const std::string name(path);
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {Status::FileNotFound, "cannot open " + name + ": " + std::strerror(errno), 0, 0};
  struct stat st{};
  Result result;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result = {Status::FileNotFound, name + " is not a regular file", 0, 0};
  } else if (std::uint64_t(st.st_size) > kMaxFileSize) {
    result = {Status::TooLarge, name + " is too large", 0, 0};
  } else {
    bytes.resize(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += std::size_t(n);
    }
    bytes.resize(done);
    if (done != std::size_t(st.st_size))
      result = {Status::FileNotFound, "cannot read " + name + ": " + std::strerror(errno), 0, 0};
  }
  ::close(fd);
  return result;
}

Result LoadFile(std::string_view path, MeshData& out, FileInfo* info) {
  std::vector<std::uint8_t> bytes;
  try {
    Result read = ReadWholeFile(path, bytes);
    if (!read) return read;
  } catch (const std::bad_alloc&) {
    return {Status::TooLarge, "not enough memory to read " + std::string(path), 0, 0};
  }
  return Parse(bytes, out, info);
}

}  // namespace kv::xfile
