// Mesh files on disk: a file cut short by another process while it loads,
// and saves that keep what they replace (links, permissions, the old file
// when the disk is full).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "XFileTestUtil.h"
#include "korvane3d/rm/xfile/SampleMesh.h"
#include "support/FileFaults.h"

namespace kv::xfile::test {
namespace {

namespace fs = std::filesystem;

class MeshFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kv-meshfiles-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

// The reader used to map the file: a truncation while it parsed killed the
// process with SIGBUS. Another thread cuts the file to a third and writes
// it back, over and over, while it is loaded again and again.
TEST_F(MeshFiles, AFileCutShortWhileItLoadsIsAnErrorNotACrash) {
  SaveOptions options;
  options.encoding = Encoding::Text;
  const std::vector<std::uint8_t> bytes = Write(MakeSphere(120, 240), options);
  const std::string path = (dir / "sphere.x").string();
  kvtest::WriteText(path, std::string(bytes.begin(), bytes.end()));
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::atomic<bool> stop{false};
  std::thread cutter([&] {
    while (!stop.load()) {
      if (::ftruncate(fd, off_t(bytes.size() / 3)) != 0) break;
      if (::pwrite(fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) break;
    }
  });
  int loaded = 0, refused = 0;
  for (int i = 0; i < 20; ++i) {
    MeshData mesh;
    const Result result = LoadFile(path, mesh);
    if (result) {
      ++loaded;
      EXPECT_EQ(mesh.positions.size(), std::size_t(121 * 241));
    } else {
      ++refused;
      EXPECT_TRUE(result.status == Status::FileNotFound || result.status == Status::BadFile) << result.message;
    }
  }
  stop = true;
  cutter.join();
  ::close(fd);
  EXPECT_EQ(loaded + refused, 20);
}

TEST_F(MeshFiles, SavingKeepsLinksPermissionsAndTheOldFileOnFailure) {
  SaveOptions options;
  options.encoding = Encoding::Binary;
  const MeshData small = MakeSphere(3, 6), large = MakeSphere(40, 80);
  fs::create_directories(dir / "models");
  const fs::path real = dir / "models" / "ship.x";
  ASSERT_TRUE(SaveFile(real.string(), small, options));
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("models/ship.x", dir / "ship.x");

  ASSERT_TRUE(SaveFile((dir / "ship.x").string(), large, options));
  EXPECT_TRUE(fs::is_symlink(dir / "ship.x")) << "the link was replaced by a file";
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  MeshData back;
  ASSERT_TRUE(LoadFile(real.string(), back));
  EXPECT_TRUE(SameMesh(large, back));

  {
    kvtest::ScopedDiskFull full(4096);
    const Result fits = SaveFile((dir / "ship.x").string(), small, options);
    EXPECT_TRUE(fits) << "a small mesh fits: " << fits.message;
    const Result tooLarge = SaveFile((dir / "ship.x").string(), large, options);
    EXPECT_EQ(tooLarge.status, Status::FileNotFound);
    EXPECT_NE(tooLarge.message.find("ship.x"), std::string::npos) << tooLarge.message;
  }
  ASSERT_TRUE(LoadFile(real.string(), back));
  EXPECT_TRUE(SameMesh(small, back)) << "the file before the failed save is intact";
  EXPECT_EQ(kvtest::NamesIn(dir / "models"), (std::set<std::string>{"ship.x"}));
}

}  // namespace
}  // namespace kv::xfile::test
