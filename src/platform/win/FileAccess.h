// Reading and replacing whole files safely: the one place where the package
// opens data files (meshes, images, forms) and writes files (meshes, forms,
// screenshots). Every reader and writer goes through here, so the rules hold
// everywhere:
// - only regular files are read: a FIFO, device, socket or directory is
//   refused from its metadata before anything is opened, and again from the
//   open descriptor (the name may have changed in between); an open never
//   blocks;
// - a file that shrinks while it is read is an error, never a crash (files
//   are read, not mapped);
// - a replaced file is written to a fresh temporary beside it, flushed to
//   disk and renamed over it, so any failure leaves the old file as it was,
//   and a kill leaves no temporary behind where the system allows it. The
//   old file's permissions are kept, and a symbolic link stays a link: the
//   file it points to is replaced.
// Any thread may call these.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kv::files {

enum class Error {
  None,
  NotFound,    // missing, or cannot be opened (permissions, bad path)
  NotRegular,  // a FIFO, device, socket or directory
  TooLarge,    // larger than the caller accepts
  Changed,     // shrank while being read
  Io,          // read or write failure (disk full, I/O error)
};

struct Result {
  Error error = Error::None;
  std::string message;  // names the file and the cause; empty on success
  explicit operator bool() const { return error == Error::None; }
};

// Bytes read from a file; not zero-filled before the read, so a large file
// is touched once.
class FileBytes {
 public:
  FileBytes() = default;
  explicit FileBytes(std::size_t size);
  std::span<std::uint8_t> writable() { return {data_.get(), size_}; }
  std::span<const std::uint8_t> bytes() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
};

// Identifies one version of a file's content: a rewritten or replaced file
// gets a new identity.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0, changedSeconds = 0, changedNanoseconds = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// A regular file open for reading.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  Result Open(const std::string& path);
  // The size when the file was opened.
  std::uint64_t Size() const { return identity_.size; }
  const FileIdentity& Identity() const { return identity_; }
  // Fills `into` from `offset`; a file that ends sooner (it was cut short
  // since it was opened) gives Error::Changed.
  Result ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const;
  // The whole file as it was sized when opened.
  Result ReadAll(FileBytes& out) const;

 private:
  int fd_ = -1;
  std::string path_;
  FileIdentity identity_;
};

// Reads a whole regular file of at most maxBytes (Error::TooLarge beyond).
Result ReadWholeFile(const std::string& path, std::uint64_t maxBytes, FileBytes& out);

// Replaces the file at path with bytes as described above. A target that
// exists and is not a regular file (through any links) is refused.
Result ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace kv::files
