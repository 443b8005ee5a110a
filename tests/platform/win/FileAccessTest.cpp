// Reading only regular files, reading files that shrink, and replacing files
// so that nothing is lost: full disk, kill, links, permissions, special
// targets, two writers at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "korvane3d/platform/win/FileAccess.h"
#include "support/FileFaults.h"

namespace {

namespace fs = std::filesystem;
using kv::files::Error;
using kvtest::NamesIn;
using kvtest::ReadText;
using kvtest::WriteText;

class FileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kv-fileaccess-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }

  kv::files::Result Replace(const fs::path& path, const std::string& text) {
    return kv::files::ReplaceFile(path.string(), {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }
  static mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
  }

  fs::path dir;
};

// Each kind of special file is refused at once by its metadata: opening a
// FIFO for reading would wait for a writer for ever, /dev/zero never ends.
TEST_F(FileAccessTest, OnlyRegularFilesAreRead) {
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (dir / "sock").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const struct {
    std::string path, kind;
  } rows[] = {
      {(dir / "pipe").string(), "a FIFO"},
      {"/dev/zero", "a character device"},
      {socketPath, "a socket"},
      {dir.string(), "a directory"},
  };
  for (const auto& row : rows) {
    kv::files::InputFile file;
    const kv::files::Result opened = file.Open(row.path);
    EXPECT_EQ(opened.error, Error::NotRegular) << row.path;
    EXPECT_NE(opened.message.find(row.kind), std::string::npos) << opened.message;
    kv::files::FileBytes bytes;
    EXPECT_EQ(kv::files::ReadWholeFile(row.path, 1 << 20, bytes).error, Error::NotRegular) << row.path;
  }
  ::close(sock);

  kv::files::FileBytes bytes;
  EXPECT_EQ(kv::files::ReadWholeFile((dir / "missing").string(), 100, bytes).error, Error::NotFound);
  WriteText(dir / "big", std::string(101, 'x'));
  EXPECT_EQ(kv::files::ReadWholeFile((dir / "big").string(), 100, bytes).error, Error::TooLarge);
  ASSERT_TRUE(kv::files::ReadWholeFile((dir / "big").string(), 101, bytes));
  EXPECT_EQ(bytes.size(), 101u);
}

TEST_F(FileAccessTest, AFileCutShortWhileItIsReadIsAnErrorNotACrash) {
  WriteText(dir / "mesh.x", std::string(100000, 'x'));
  kv::files::InputFile file;
  ASSERT_TRUE(file.Open((dir / "mesh.x").string()));
  EXPECT_EQ(file.Size(), 100000u);
  fs::resize_file(dir / "mesh.x", 4000);  // another process truncates it
  kv::files::FileBytes bytes;
  const kv::files::Result read = file.ReadAll(bytes);
  EXPECT_EQ(read.error, Error::Changed);
  EXPECT_NE(read.message.find("cut short"), std::string::npos) << read.message;
  EXPECT_EQ(bytes.size(), 0u);
}

TEST_F(FileAccessTest, ReplacingKeepsPermissionsAndLinks) {
  // A new file gets the mode any new file gets here (0666 less the umask).
  WriteText(dir / "plain", "x");
  ASSERT_TRUE(Replace(dir / "new", "new"));
  EXPECT_EQ(ReadText(dir / "new"), "new");
  EXPECT_EQ(ModeOf(dir / "new"), ModeOf(dir / "plain"));

  // A private file stays private.
  WriteText(dir / "secret", "old");
  fs::permissions(dir / "secret", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(Replace(dir / "secret", "new secret"));
  EXPECT_EQ(ReadText(dir / "secret"), "new secret");
  EXPECT_EQ(ModeOf(dir / "secret"), 0600u);

  // Links stay links, through a chain of them, relative and absolute; the
  // file at the end is the one replaced.
  fs::create_directories(dir / "real");
  WriteText(dir / "real" / "scene.kvf", "old");
  fs::create_symlink("real/scene.kvf", dir / "relative");
  fs::create_symlink(dir / "relative", dir / "absolute");
  ASSERT_TRUE(Replace(dir / "absolute", "through two links"));
  EXPECT_TRUE(fs::is_symlink(dir / "absolute"));
  EXPECT_TRUE(fs::is_symlink(dir / "relative"));
  EXPECT_EQ(ReadText(dir / "real" / "scene.kvf"), "through two links");

  // A dangling link makes the file it names.
  fs::create_symlink("real/later.kvf", dir / "dangling");
  ASSERT_TRUE(Replace(dir / "dangling", "made"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(ReadText(dir / "real" / "later.kvf"), "made");

  // No temporaries are left anywhere.
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"plain", "new", "secret", "real", "relative", "absolute", "dangling"}));
  EXPECT_EQ(NamesIn(dir / "real"), (std::set<std::string>{"scene.kvf", "later.kvf"}));
}

TEST_F(FileAccessTest, AFailedReplaceLeavesTheOldFileAndNoTemporary) {
  const std::string old(20000, 'o');
  WriteText(dir / "shot.png", old);
  {
    kvtest::ScopedDiskFull full(8192);
    const kv::files::Result result = Replace(dir / "shot.png", std::string(100000, 'n'));
    EXPECT_EQ(result.error, Error::Io);
    EXPECT_NE(result.message.find("shot.png"), std::string::npos) << result.message;
  }
  EXPECT_TRUE(ReadText(dir / "shot.png") == old) << "the old file changed";
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"shot.png"}));

  // Special files and folders are not written over.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_directories(dir / "folder");
  EXPECT_EQ(Replace(dir / "pipe", "x").error, Error::NotRegular);
  EXPECT_EQ(Replace(dir / "folder", "x").error, Error::NotRegular);
  EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
  EXPECT_FALSE(Replace(dir / "no-such-folder" / "f", "x"));
  EXPECT_FALSE(Replace("", "x"));

  // A folder that may not be written to (root may write anywhere).
  if (::geteuid() != 0) {
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(Replace(dir / "shot.png", "n").error, Error::NotFound);
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_TRUE(ReadText(dir / "shot.png") == old) << "the old file changed";
  }
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"shot.png", "pipe", "folder"}));
}

// The writer is killed in the middle of writing (by the file-size limit's
// own signal, which is what a kill at that moment looks like from outside).
TEST_F(FileAccessTest, AKilledWriterLeavesTheOldFileAndNoTemporary) {
  const std::string old(20000, 'o');
  WriteText(dir / "form.kvf", old);
  const pid_t child = ::fork();
  if (child == 0) {
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 8192;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_DFL);
    Replace(dir / "form.kvf", std::string(100000, 'n'));
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the writer was not killed while writing";
  EXPECT_TRUE(ReadText(dir / "form.kvf") == old) << "the old file changed";
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"form.kvf"}));
}

// Two writers at once: each reports success, and the file is all of one of
// them, never empty or mixed.
TEST_F(FileAccessTest, TwoWritersAtOnceLeaveOneWholeFile) {
  const std::string a(300000, 'a'), b(200000, 'b');
  auto writer = [&](const std::string& text, bool& ok) {
    for (int i = 0; i < 20; ++i) ok = Replace(dir / "out", text) && ok;
  };
  bool okA = true, okB = true;
  std::thread first(writer, std::cref(a), std::ref(okA));
  std::thread second(writer, std::cref(b), std::ref(okB));
  first.join();
  second.join();
  EXPECT_TRUE(okA && okB);
  const std::string result = ReadText(dir / "out");
  EXPECT_TRUE(result == a || result == b) << result.size() << " bytes";
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"out"}));
}

}  // namespace
