// Keys and mouse motion sent by xdotool to a real SDL window under a
// private X server arrive as the components' events, polled by their threads.
#include <cstdlib>

#include "InputFixture.h"
#include "support/XServer.h"

using namespace kv;

namespace kvtest {
namespace {

constexpr const char* kCaption = "kv input components";

bool Xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

class RealWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.Available()) GTEST_SKIP() << x_.Reason();
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs xdotool";
    if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl) {
      GTEST_SKIP() << "SDL video did not start on this display";
    }
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetCaption(kCaption);
    form_->Show();
    PumpFor(std::chrono::milliseconds(300));  // let the window appear
  }
  void TearDown() override {
    form_.reset();
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  }

  kvtest::XServer x_;  // ends after TearDown has closed SDL's video
  std::unique_ptr<TForm> form_;
};

TEST_F(RealWindowTest, KeysAndMotionArriveAsComponentEvents) {
  const std::string window = std::string("search --sync --name '^") + kCaption + "$' ";
  ASSERT_TRUE(Xdotool(window + "windowfocus --sync %1 mousemove --sync --window %1 100 100"));
  ASSERT_TRUE(PumpUntil([&] { return kv::platform::FocusWindow() == form_->Handle(); }));

  auto* keys = new TKVIKeyboard(form_.get());
  auto* mouse = new TKVIMouse(form_.get());
  mouse->SetExclusive(false);
  keys->SetExclusive(false);
  std::vector<std::string> keyLog;
  LONG dx = 0, dy = 0;
  keys->OnKeyDown = [&](TObject*, DWORD key, DWORD, DWORD) { keyLog.push_back("down " + std::to_string(key)); };
  keys->OnKeyUp = [&](TObject*, DWORD key, DWORD, DWORD) { keyLog.push_back("up " + std::to_string(key)); };
  mouse->OnMove = [&](TObject*, LONG x, LONG y, LONG, DWORD, DWORD) {
    dx += x;
    dy += y;
  };
  keys->SetActive(true);
  mouse->SetActive(true);
  mouse->SetFocusControl();
  EXPECT_EQ(mouse->Tag(), 2);
  keys->SetAutoCheck(true);
  mouse->SetAutoCheck(true);

  // The first motion after acquiring may carry the pointer's way into the
  // window; measure from a settled pointer.
  ASSERT_TRUE(Xdotool("mousemove_relative 1 1"));
  PumpUntil([&] { return dx != 0 || dy != 0; }, std::chrono::seconds(3));
  PumpFor(std::chrono::milliseconds(200));
  dx = dy = 0;

  ASSERT_TRUE(Xdotool("key a mousemove_relative 10 5"));
  const bool arrived = PumpUntil([&] { return keyLog.size() >= 2 && dx >= 10 && dy >= 5; });
  EXPECT_TRUE(arrived) << keyLog.size() << " key events, motion " << dx << "," << dy;
  const std::string a = std::to_string(DIK_A);
  EXPECT_EQ(keyLog, (std::vector<std::string>{"down " + a, "up " + a}));
  EXPECT_EQ(dx, 10);
  EXPECT_EQ(dy, 5);
}

}  // namespace
}  // namespace kvtest
