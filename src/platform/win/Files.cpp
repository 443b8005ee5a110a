// Files through handles: open (or only probe), read, write, close.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "korvane3d/platform/win/HandleTable.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

using namespace kv::win::detail;

namespace {

struct OpenFile {
  int fd = -1;
  bool canRead = false;
  bool canWrite = false;
  std::mutex mutex;  // one transfer at a time keeps the file position sane
  ~OpenFile() {
    if (fd >= 0) close(fd);
  }
};

HandleTable<OpenFile>& Files() {
  static HandleTable<OpenFile> table(HandleKind::File);
  return table;
}

bool DispositionFlags(DWORD disposition, int& flags) {
  switch (disposition) {
    case CREATE_NEW: flags = O_CREAT | O_EXCL; return true;
    case CREATE_ALWAYS: flags = O_CREAT | O_TRUNC; return true;
    case OPEN_EXISTING: flags = 0; return true;
    case OPEN_ALWAYS: flags = O_CREAT; return true;
    case TRUNCATE_EXISTING: flags = O_TRUNC; return true;
    default: return false;
  }
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD /*share*/, SECURITY_ATTRIBUTES* /*security*/, DWORD disposition,
                   DWORD /*flags*/, HANDLE /*templateFile*/) {
  if (!name || !*name) return INVALID_HANDLE_VALUE;
  int flags = 0;
  if (!DispositionFlags(disposition, flags)) return INVALID_HANDLE_VALUE;
  bool read = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
  bool write = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  if (disposition == TRUNCATE_EXISTING && !write) return INVALID_HANDLE_VALUE;
  if (read && write) flags |= O_RDWR;
  else if (write) flags |= O_WRONLY;
  else if (!read && !(flags & O_CREAT)) flags |= O_PATH;  // access 0: only that it opens
  // Only regular files are read or written: a FIFO or device is refused by
  // its metadata before it is opened, and again by the descriptor in case the
  // name changed in between. A probe (access 0) only asks whether the name
  // opens; it answers for any file but a directory. Non-blocking, so that
  // probing a FIFO cannot hang; regular files ignore the flag.
  const bool probe = (flags & O_PATH) != 0;
  struct stat info {};
  if (!probe && stat(name, &info) == 0 && !S_ISREG(info.st_mode)) return INVALID_HANDLE_VALUE;
  int fd;
  do {
    fd = open(name, flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || (!probe && !S_ISREG(info.st_mode))) {
    close(fd);
    return INVALID_HANDLE_VALUE;
  }
  if (!(flags & O_PATH)) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto file = std::make_shared<OpenFile>();
  file->fd = fd;
  file->canRead = read;
  file->canWrite = write;
  return MakeHandle<HANDLE>(Files().Add(std::move(file)));
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* read, void* /*overlapped*/) {
  if (read) *read = 0;
  auto file = Files().Find(HandleValue(handle));
  if (!file || !file->canRead || (!buffer && toRead > 0)) return FALSE;
  std::lock_guard lock(file->mutex);
  DWORD done = 0;
  while (done < toRead) {
    ssize_t n = ::read(file->fd, static_cast<char*>(buffer) + done, toRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FALSE;
    if (n == 0) break;  // end of file
    done += static_cast<DWORD>(n);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written, void* /*overlapped*/) {
  if (written) *written = 0;
  auto file = Files().Find(HandleValue(handle));
  if (!file || !file->canWrite || (!buffer && toWrite > 0)) return FALSE;
  std::lock_guard lock(file->mutex);
  DWORD done = 0;
  while (done < toWrite) {
    ssize_t n = ::write(file->fd, static_cast<const char*>(buffer) + done, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = done;
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, DWORD* sizeHigh) {
  auto file = Files().Find(HandleValue(handle));
  struct stat info {};
  if (!file || fstat(file->fd, &info) != 0) return INVALID_FILE_SIZE;
  auto size = static_cast<std::uint64_t>(info.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE handle) { return Files().Remove(HandleValue(handle)) ? TRUE : FALSE; }

}  // namespace kv
