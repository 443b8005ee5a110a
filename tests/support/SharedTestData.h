// Third-party sample files (real meshes and images made by other programs)
// live outside the project, in ../shared/testdata beside the source tree.
// A fresh clone has no such folder: the tests that read those files then
// skip, all with the same message naming the folder, and the core tests of
// every reader run on files the tests write themselves.
//
//   TEST(RealFiles, Something) {
//     KV_REQUIRE_SHARED_FILE("xfile/room.x");
//     const std::string room = kvtest::SharedFile("xfile/room.x");
//     ...
//   }
//
// With the folder there, a file missing from it fails the test (the set of
// samples is known), never crashes it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kvtest {

// The folder of the shared sample files: $KV_TESTDATA_DIR when set (a run
// can point elsewhere, or at nothing to see what a fresh clone sees), else
// the one the build names.
inline std::filesystem::path SharedTestDataDir() {
  const char* chosen = std::getenv("KV_TESTDATA_DIR");
  return std::filesystem::path(chosen != nullptr ? chosen : KV_TESTDATA_DIR);
}

// A file or folder in there, by its path relative to the folder.
inline std::string SharedFile(const std::string& relative) { return (SharedTestDataDir() / relative).string(); }

inline bool SharedTestDataPresent() { return std::filesystem::is_directory(SharedTestDataDir()); }

// The one message every skipped test gives.
inline std::string SharedTestDataMissing() {
  return "third-party sample files not found: no folder " + SharedTestDataDir().lexically_normal().string() +
         " (../shared/testdata beside the source tree, or $KV_TESTDATA_DIR)";
}

}  // namespace kvtest

// Skips the calling test (or fixture SetUp) when the shared folder is absent;
// fails it when the folder is there but `relative` (a file or sub-folder)
// is not.
#define KV_REQUIRE_SHARED_FILE(relative)                                                         \
  do {                                                                                           \
    if (!::kvtest::SharedTestDataPresent()) GTEST_SKIP() << ::kvtest::SharedTestDataMissing();   \
    ASSERT_TRUE(std::filesystem::exists(::kvtest::SharedFile(relative)))                         \
        << "sample file " << (relative) << " missing from " << ::kvtest::SharedTestDataDir();    \
  } while (0)
