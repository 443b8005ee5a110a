// Replacing a file as one step: write a temporary beside the target, flush
// it, give it the old file's permissions and rename it over the target.
//
// The temporary is created without a name where the file system allows it
// (O_TMPFILE), so a process killed while writing leaves nothing behind; it
// gets its unique name just before the rename. Elsewhere it has a unique
// name from the start and is removed on every failure the process lives
// through.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "korvane3d/platform/win/FileAccess.h"

namespace kv::files {

namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows before it gives up (ELOOP).
constexpr int kMaxLinks = 40;
// Keeps "." + name + the unique part within the 255 bytes a name may have.
constexpr std::size_t kMaxTemporaryStem = 200;

Result Failed(Error error, const std::string& path, const std::string& what) {
  return {error, "cannot write " + path + ": " + what};
}

Result FailedErrno(const std::string& path, const std::string& step) {
  const Error error = errno == ENOENT || errno == EACCES || errno == EPERM || errno == EROFS || errno == ENOTDIR
                          ? Error::NotFound
                          : Error::Io;
  return Failed(error, path, step + ": " + std::strerror(errno));
}

// The file that the links starting at path finally name; it need not exist.
Result FollowLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) return errno == ENOENT ? Result{} : FailedErrno(path, "cannot look at " + target);
    if (!S_ISLNK(info.st_mode)) return {};
    std::string link(std::size_t(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return FailedErrno(path, "cannot read the link " + target);
    link.resize(std::size_t(n));
    const fs::path next(link);
    target = next.is_absolute() ? link : (fs::path(target).parent_path() / next).string();
  }
  return Failed(Error::NotFound, path, "too many levels of symbolic links");
}

std::string UniquePart() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = counter.fetch_add(1) ^ (std::uint64_t(::getpid()) << 40) ^
                    std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
  // splitmix64: spreads the bits so that names from different processes differ early.
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(x));
  return text;
}

// The temporary file; removed again unless it was renamed over the target.
class Temporary {
 public:
  Temporary(std::string folder, std::string stem) : folder_(std::move(folder)), stem_(std::move(stem)) {}
  ~Temporary() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  int fd() const { return fd_; }

  // Without a name first; false when the file system cannot do that.
  bool CreateAnonymous() {
    do {
      fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    return fd_ >= 0;
  }

  // With a unique name; 0666 so that the umask gives a new file its usual mode.
  bool CreateNamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = NewName();
      do {
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
      } while (fd_ < 0 && errno == EINTR);
      if (fd_ >= 0) {
        name_ = name;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  // Gives an anonymous temporary its name (a named one has it already).
  bool Name() {
    if (!name_.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = NewName();
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        name_ = name;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  bool RenameOver(const std::string& target) {
    if (::rename(name_.c_str(), target.c_str()) != 0) return false;
    name_.clear();
    return true;
  }

 private:
  std::string NewName() const { return (fs::path(folder_) / ("." + stem_ + "." + UniquePart() + ".tmp")).string(); }

  std::string folder_, stem_, name_;
  int fd_ = -1;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

// Owner and group where the process may set them (only root may give a file
// away), then the permission bits, which a change of owner may have cleared.
bool KeepOwnerAndMode(int fd, const struct stat& old) {
  if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, uid_t(-1), old.st_gid);
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Makes the rename itself last; a folder that cannot be flushed changes nothing.
void FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// Writes, flushes and names the temporary. `old` is the file it replaces, or null.
Result Fill(Temporary& temp, const std::string& path, std::span<const std::uint8_t> bytes, const struct stat* old) {
  if (!WriteAll(temp.fd(), bytes)) return FailedErrno(path, "writing");
  if (old && !KeepOwnerAndMode(temp.fd(), *old)) return FailedErrno(path, "keeping its permissions");
  if (::fsync(temp.fd()) != 0) return FailedErrno(path, "flushing");
  return {};
}

}  // namespace

Result ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) return {Error::NotFound, "no file name given"};
  std::string target;
  if (Result followed = FollowLinks(path, target); !followed) return followed;
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return FailedErrno(path, "cannot look at " + target);
  if (exists && !S_ISREG(old.st_mode)) return {Error::NotRegular, "cannot write " + path + ": it is not a regular file"};
  const fs::path targetPath(target);
  const std::string folder = targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
  const std::string stem = targetPath.filename().string().substr(0, kMaxTemporaryStem);

  auto temp = std::make_unique<Temporary>(folder, stem);
  bool anonymous = temp->CreateAnonymous();
  if (anonymous) {
    if (Result filled = Fill(*temp, path, bytes, exists ? &old : nullptr); !filled) return filled;
    // Without /proc the anonymous file cannot be named: start again with a named one.
    anonymous = temp->Name();
    if (!anonymous) temp = std::make_unique<Temporary>(folder, stem);
  }
  if (!anonymous) {
    if (!temp->CreateNamed()) return FailedErrno(path, "cannot create a temporary file in " + folder);
    if (Result filled = Fill(*temp, path, bytes, exists ? &old : nullptr); !filled) return filled;
  }
  if (!temp->RenameOver(target)) return FailedErrno(path, "cannot rename the temporary file over " + target);
  FlushFolder(folder);
  return {};
}

}  // namespace kv::files
