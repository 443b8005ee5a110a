// How a viewer session starts and ends, as a user meets it: without a display
// it says so and draws off screen; Esc, Ctrl-C and SIGTERM end it the
// orderly way, with the requested files written; F1 shows the frame rate
// over the picture. Windows and keys come from a private X server.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ViewerProcess.h"
#include "korvane3d/rm/image/Image.h"
#include "support/XServer.h"

using namespace kv;

namespace kvtest {
namespace {

constexpr auto kLimit = std::chrono::seconds(120);  // a loaded machine is slow

// No display to be had: the variables that name one are gone and the
// headless backend is not forced.
const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "KV_BACKEND"};

int Lines(const std::string& text, const std::string& containing) {
  int count = 0;
  for (std::size_t at = text.find(containing); at != std::string::npos; at = text.find(containing, at + 1)) ++count;
  return count;
}

class ViewerSession : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kv3dview-session-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(ViewerSession, WithoutADisplayTheDemoIsDrawnOffScreenIntoDemoPng) {
  ViewerProcess demo({}, dir_, kNoDisplay);
  ASSERT_TRUE(demo.Started());
  ASSERT_EQ(demo.Wait(kLimit), 0) << demo.Output();
  EXPECT_EQ(Lines(demo.Output(), "\n"), 1) << demo.Output();
  EXPECT_NE(demo.Output().find("no display; drawing 90 frames off screen into demo.png"), std::string::npos)
      << demo.Output();
  EXPECT_GT(ColourCount(Path("demo.png")), 100u);

  // A form given: drawn the same way, its picture named after it.
  ViewerProcess form({KV_EXAMPLES_DIR "/solar_system.kvf", "--frames", "3"}, dir_, kNoDisplay);
  ASSERT_EQ(form.Wait(kLimit), 0) << form.Output();
  EXPECT_NE(form.Output().find("3 frames off screen into solar_system.png"), std::string::npos) << form.Output();
  EXPECT_GT(ColourCount(Path("solar_system.png")), 20u);
}

// Frames that would take hours end at the signal, and what was asked for is
// written all the same.
TEST_F(ViewerSession, CtrlCAndSigtermEndTheFramesAndTheFilesAreStillWritten) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const std::string form = "saved-" + std::to_string(signal) + ".kvf";
    ViewerProcess viewer({"--headless", "--frames", "100000000", "--save-form", form}, dir_);
    ASSERT_TRUE(viewer.WaitUntilItBlocksStopSignals()) << viewer.Output();
    viewer.Signal(signal);
    ASSERT_EQ(viewer.Wait(kLimit), 0) << viewer.Output();
    std::ifstream saved(Path(form));
    std::string first;
    std::getline(saved, first);
    EXPECT_EQ(first, "object DemoForm: TForm");
    EXPECT_TRUE(fs::exists(Path("demo.png")));
  }
}

class ViewerWindow : public ViewerSession {
 protected:
  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Reason();
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs xdotool";
    ViewerSession::SetUp();
  }
  // Runs xdotool on the demo's window once it is there and has the focus.
  static bool OnWindow(const std::string& commands) {
    const std::string find = "timeout 60 xdotool search --sync --name '^Korvane 3D demo' ";
    return std::system((find + "windowfocus --sync %1 " + commands + " >/dev/null 2>&1").c_str()) == 0;
  }

  XServer x_;  // DISPLAY for the viewers this test starts
};

TEST_F(ViewerWindow, EscEndsTheWindowAndF1ShowsTheFrameRateOverThePicture) {
  ViewerProcess viewer({"--screenshot", "shot.png", "--save-form", "esc.kvf", "--size", "320x240"}, dir_,
                       {"KV_BACKEND"});
  ASSERT_TRUE(OnWindow("key F1")) << viewer.Output();
  std::this_thread::sleep_for(std::chrono::seconds(2));  // frames with the figure, and a rate to show
  ASSERT_TRUE(OnWindow("key Escape")) << viewer.Output();
  ASSERT_EQ(viewer.Wait(kLimit), 0) << viewer.Output();
  EXPECT_TRUE(fs::exists(Path("esc.kvf")));

  // The figure is white on a black box in the top left corner, where the
  // demo has only its dark background.
  kv::image::Image shot;
  ASSERT_TRUE(kv::image::LoadImageFile(Path("shot.png"), shot)) << viewer.Output();
  int white = 0, black = 0;
  for (int y = 4; y < 28; ++y) {
    for (int x = 4; x < 100; ++x) {
      const std::uint32_t p = shot.At(x, y) & 0xFFFFFF;
      white += p == 0xFFFFFF;
      black += p == 0;
    }
  }
  EXPECT_GT(white, 20);
  EXPECT_GT(black, 200);
}

TEST_F(ViewerWindow, CtrlCClosesTheWindowTheWayEscDoes) {
  ViewerProcess viewer({"--save-form", "interrupted.kvf"}, dir_, {"KV_BACKEND"});
  ASSERT_TRUE(OnWindow("")) << viewer.Output();
  ASSERT_TRUE(viewer.BlocksStopSignals());
  viewer.Signal(SIGINT);
  ASSERT_EQ(viewer.Wait(kLimit), 0) << viewer.Output();
  EXPECT_TRUE(fs::exists(Path("interrupted.kvf")));
}

}  // namespace
}  // namespace kvtest
