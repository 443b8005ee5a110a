// Parse and LoadFile: header, decompression, the token source for the
// encoding, the object grammar, and the scene flattened into one mesh.
#include "korvane3d/rm/xfile/XFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

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

// A whole file, mapped read-only: no copy and no zero-filling of a buffer,
// which for a large text mesh costs as much as parsing it.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile() {
    if (data_) ::munmap(data_, size_);
  }

  Result Open(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {Status::FileNotFound, "cannot open " + name + ": " + std::strerror(errno), 0, 0};
    Result result = Map(fd, name);
    ::close(fd);
    return result;
  }

  std::span<const std::uint8_t> bytes() const { return {static_cast<const std::uint8_t*>(data_), size_}; }

 private:
  Result Map(int fd, const std::string& name) {
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {Status::FileNotFound, name + " is not a regular file", 0, 0};
    if (std::uint64_t(st.st_size) > kMaxFileSize) return {Status::TooLarge, name + " is too large", 0, 0};
    size_ = std::size_t(st.st_size);
    if (size_ == 0) return {};
    void* data = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (data == MAP_FAILED) {
      size_ = 0;
      return {Status::FileNotFound, "cannot read " + name + ": " + std::strerror(errno), 0, 0};
    }
    data_ = data;
    return {};
  }

  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace

Result LoadFile(std::string_view path, MeshData& out, FileInfo* info) {
  MappedFile file;
  if (Result opened = file.Open(std::string(path)); !opened) return opened;
  return Parse(file.bytes(), out, info);
}

}  // namespace kv::xfile
