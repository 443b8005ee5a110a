// How a viewer session starts and ends, as a user meets it: without a display
// it says so and draws off screen; Esc, Ctrl-C and SIGTERM end it the
// orderly way, with the requested files written; F1 shows the frame rate
// over the picture. Windows and keys come from a private X server.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "ViewerProcess.h"
#include "korvane3d/rm/image/Image.h"
#include "support/XGrab.h"
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
  // The demo's X window once it is there (0 when it did not come).
  static unsigned long DemoWindow() {
    const RunResult found = RunCommand("timeout 60 xdotool search --sync --name '^Korvane 3D demo'");
    return found.status == 0 ? std::strtoul(found.output.c_str(), nullptr, 10) : 0;
  }
  // Gives the window the keyboard and types `keys` into it.
  static bool Type(unsigned long window, const std::string& keys) {
    const std::string id = std::to_string(window);
    return RunCommand("xdotool windowfocus --sync " + id + " key --window " + id + " " + keys).status == 0;
  }

  XServer x_;  // DISPLAY for the viewers this test starts
};

// The frame-rate figure: white on a black box in the top left corner, where
// the demo has only its dark background.
bool ShowsTheFigure(const std::function<std::uint32_t(int, int)>& pixel) {
  int white = 0, black = 0;
  for (int y = 4; y < 28; ++y) {
    for (int x = 4; x < 100; ++x) {
      const std::uint32_t p = pixel(x, y) & 0xFFFFFF;
      white += p == 0xFFFFFF;
      black += p == 0;
    }
  }
  return white > 20 && black > 200;
}

TEST_F(ViewerWindow, EscEndsTheWindowAndF1ShowsTheFrameRateOverThePicture) {
#ifndef KV_HAVE_XGRAB
  GTEST_SKIP() << "needs the X11 development files to read the window back";
#else
  ViewerProcess viewer({"--screenshot", "shot.png", "--save-form", "esc.kvf", "--size", "320x240"}, dir_,
                       {"KV_BACKEND"});
  const unsigned long window = DemoWindow();
  ASSERT_NE(window, 0u) << viewer.Output();
  // Read back from the display until the figure shows; a key that came
  // before the window could take it is pressed once more.
  auto figureShown = [&] {
    const XPixels shown = GrabXWindow(window, 0, 0, 100, 30);
    return shown.Ok() && ShowsTheFigure([&](int x, int y) { return shown.At(x, y); });
  };
  bool shown = false;
  for (int press = 0; press < 2 && !shown; ++press) {
    ASSERT_TRUE(Type(window, "F1")) << viewer.Output();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!(shown = figureShown()) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(shown) << viewer.Output();
  ASSERT_TRUE(Type(window, "Escape")) << viewer.Output();
  ASSERT_EQ(viewer.Wait(kLimit), 0) << viewer.Output();
  EXPECT_TRUE(fs::exists(Path("esc.kvf")));

  // The screenshot is what the window showed as it closed, figure included.
  kv::image::Image shot;
  ASSERT_TRUE(kv::image::LoadImageFile(Path("shot.png"), shot)) << viewer.Output();
  EXPECT_TRUE(ShowsTheFigure([&](int x, int y) { return shot.At(x, y); }));
#endif
}

TEST_F(ViewerWindow, CtrlCClosesTheWindowTheWayEscDoes) {
  ViewerProcess viewer({"--save-form", "interrupted.kvf"}, dir_, {"KV_BACKEND"});
  ASSERT_NE(DemoWindow(), 0u) << viewer.Output();
  ASSERT_TRUE(viewer.BlocksStopSignals());
  viewer.Signal(SIGINT);
  ASSERT_EQ(viewer.Wait(kLimit), 0) << viewer.Output();
  EXPECT_TRUE(fs::exists(Path("interrupted.kvf")));
}

}  // namespace
}  // namespace kvtest
