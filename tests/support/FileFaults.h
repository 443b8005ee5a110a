// Real write failures for the tests of the file writers: a full disk (the
// file-size limit, with SIGXFSZ ignored so that a write past it fails with
// EFBIG instead of killing the process), and what a folder holds afterwards.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace kvtest {

// Files larger than `bytes` cannot be written while this lives.
class ScopedDiskFull {
 public:
  explicit ScopedDiskFull(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &savedAction_);
    struct rlimit limited = saved_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~ScopedDiskFull() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::sigaction(SIGXFSZ, &savedAction_, nullptr);
  }
  ScopedDiskFull(const ScopedDiskFull&) = delete;
  ScopedDiskFull& operator=(const ScopedDiskFull&) = delete;

 private:
  struct rlimit saved_ {};
  struct sigaction savedAction_ {};
};

// The names in a folder, hidden ones (temporaries) included.
inline std::set<std::string> NamesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

}  // namespace kvtest
