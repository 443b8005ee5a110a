// Reading regular files without blocking on special ones and without mapping
// them (a mapped file that another process truncates kills the reader with
// SIGBUS).
#include "korvane3d/platform/win/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace kv::files {

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISDIR(mode)) return "a directory";
  return "not a plain file";
}

Result NotRegular(const std::string& path, mode_t mode) {
  return {Error::NotRegular, path + " is not a regular file (" + KindOf(mode) + ")"};
}

Result CannotOpen(const std::string& path) {
  return {errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == ELOOP || errno == ENAMETOOLONG
              ? Error::NotFound
              : Error::Io,
          "cannot open " + path + ": " + std::strerror(errno)};
}

FileIdentity IdentityOf(const struct stat& info) {
  return {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::uint64_t(info.st_size),
          std::int64_t(info.st_mtim.tv_sec), std::int64_t(info.st_mtim.tv_nsec),
          std::int64_t(info.st_ctim.tv_sec), std::int64_t(info.st_ctim.tv_nsec)};
}

}  // namespace

FileBytes::FileBytes(std::size_t size) : data_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size) {}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

Result InputFile::Open(const std::string& path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  path_ = path;
  identity_ = {};
  // The name is looked at first, so that no FIFO or device is ever opened
  // (opening some devices acts on them); the descriptor is checked again
  // below in case the name was swapped in between.
  struct stat info {};
  if (path.empty()) return {Error::NotFound, "no file name given"};
  if (::stat(path.c_str(), &info) != 0) return CannotOpen(path);
  if (!S_ISREG(info.st_mode)) return NotRegular(path, info.st_mode);
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return CannotOpen(path);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const Result refused = S_ISREG(info.st_mode) ? Result{Error::Io, "cannot read " + path + ": " + std::strerror(errno)}
                                                 : NotRegular(path, info.st_mode);
    ::close(fd);
    return refused;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  identity_ = IdentityOf(info);
  return {};
}

Result InputFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (fd_ < 0) return {Error::Io, "no file is open"};
  std::size_t done = 0;
  while (done < into.size()) {
    const ssize_t n = ::pread(fd_, into.data() + done, into.size() - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {Error::Io, "cannot read " + path_ + ": " + std::strerror(errno)};
    if (n == 0)
      return {Error::Changed, path_ + " was cut short while it was read (" + std::to_string(offset + done) +
                                  " of " + std::to_string(offset + into.size()) + " bytes there)"};
    done += std::size_t(n);
  }
  return {};
}

Result InputFile::ReadAll(FileBytes& out) const {
  try {
    FileBytes bytes{static_cast<std::size_t>(Size())};
    if (Result read = ReadAt(0, bytes.writable()); !read) return read;
    out = std::move(bytes);
    return {};
  } catch (const std::bad_alloc&) {
    return {Error::TooLarge, "not enough memory to read " + path_};
  }
}

Result ReadWholeFile(const std::string& path, std::uint64_t maxBytes, FileBytes& out) {
  InputFile file;
  if (Result opened = file.Open(path); !opened) return opened;
  if (file.Size() > maxBytes)
    return {Error::TooLarge, path + " is too large (" + std::to_string(file.Size()) + " bytes, at most " +
                                 std::to_string(maxBytes) + " accepted)"};
  return file.ReadAll(out);
}

}  // namespace kv::files
