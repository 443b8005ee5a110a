// The mouse component driven through the headless input source.
#include "InputFixture.h"

using namespace kv;

namespace kvtest {
namespace {

class MouseTest : public InputTest {
 protected:
  TKVIMouse* MakeMouse(bool buffered = true) {
    auto* mouse = new TKVIMouse(form.get());
    mouse->SetBuffered(buffered);
    mouse->OnButton0Down = [this](TObject*, DWORD t, DWORD s) { Log("down0", t, s); };
    mouse->OnButton0Up = [this](TObject*, DWORD t, DWORD s) { Log("up0", t, s); };
    mouse->OnButton2Down = [this](TObject*, DWORD t, DWORD s) { Log("down2", t, s); };
    mouse->OnMove = [this](TObject*, LONG x, LONG y, LONG z, DWORD t, DWORD s) {
      log.push_back("move " + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z) + " @" +
                    std::to_string(t) + "#" + std::to_string(s));
    };
    mouse->OnChange = [this](TObject*) { log.push_back("change"); };
    return mouse;
  }
  TKVIMouse* ReadyMouse(bool buffered = true) {
    TKVIMouse* mouse = MakeMouse(buffered);
    mouse->SetActive(true);
    mouse->SetFocusControl();
    return mouse;
  }
  void Log(const char* what, DWORD t, DWORD s) {
    log.push_back(std::string(what) + " @" + std::to_string(t) + "#" + std::to_string(s));
  }
};

TEST_F(MouseTest, ActivationConfiguresTheDeviceAndLeavesItsCodesInTag) {
  TKVIMouse* mouse = MakeMouse();
  mouse->SetBufferSize(1000);
  EXPECT_EQ(mouse->BufferSize(), 256u);
  mouse->SetActive(true);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(mouse->Tag(), 5);
  EXPECT_TRUE(HeadlessInput::AcquiredDevices().empty()) << "activation does not acquire";
  mouse->SetFocusControl();
  EXPECT_EQ(mouse->Tag(), 2);
  ASSERT_EQ(HeadlessInput::AcquiredDevices().size(), 1u);
  EXPECT_EQ(HeadlessInput::AcquiredDevices()[0].cooperativeFlags, DISCL_FOREGROUND | DISCL_EXCLUSIVE);

  // A setting change while active rebuilds the device, which is then not acquired.
  mouse->SetBackground(true);
  mouse->SetExclusive(false);
  EXPECT_TRUE(HeadlessInput::AcquiredDevices().empty());
  mouse->SetFocusControl();
  EXPECT_EQ(HeadlessInput::AcquiredDevices()[0].cooperativeFlags, DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);

  mouse->SetBufferSize(0);
  EXPECT_EQ(mouse->BufferSize(), 0u);
  mouse->SetActive(false);
  EXPECT_TRUE(HeadlessInput::AcquiredDevices().empty());
  EXPECT_EQ(mouse->GetIDirectInputDevice(), nullptr);
}

TEST_F(MouseTest, ActivationWithoutAWindowShowsItsFailedStepsAndStaysUsable) {
  auto mouse = std::make_unique<TKVIMouse>(nullptr);
  mouse->SetActive(true);
  const std::vector<std::string> boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back(), "SetCooperativeLevel");
  for (const auto& box : kv::platform::RecordedMessageBoxes()) {
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.type, 0u);
  }
  EXPECT_EQ(mouse->Tag(), 0) << "the buffer-size step did not run";
  mouse->SetFocusControl();
  EXPECT_EQ(mouse->Tag(), 2);
  EXPECT_FALSE(mouse->CheckChange());
  mouse->SetActive(false);
}

TEST_F(MouseTest, BufferedRecordsFireButtonMoveAndChangeWithTheirStamps) {
  TKVIMouse* mouse = ReadyMouse();
  HeadlessInput::Button(0, true, 100);
  HeadlessInput::MoveMouse(-5, 0, 0, 110);
  HeadlessInput::Button(0, false, 120);
  HeadlessInput::Button(2, true, 130);
  EXPECT_FALSE(mouse->CheckChange()) << "the buffered path reports through events only";
  EXPECT_EQ(log, (std::vector<std::string>{"down0 @100#1", "move 0,0,0 @100#1", "change", "move -5,0,0 @110#2", "change",
                                           "up0 @120#3", "move 0,0,0 @120#3", "change", "down2 @130#4",
                                           "move 0,0,0 @130#4", "change"}));
  log.clear();
  EXPECT_FALSE(mouse->CheckChange());
  EXPECT_TRUE(log.empty()) << "records are taken by the read";
}

TEST_F(MouseTest, OverflowBeepsResetsAndReportsNothing) {
  TKVIMouse* mouse = MakeMouse();
  mouse->SetBufferSize(2);
  mouse->SetActive(true);
  mouse->SetFocusControl();
  for (DWORD i = 0; i < 5; ++i) HeadlessInput::MoveMouse(1, 0, 0, i);
  EXPECT_FALSE(mouse->CheckChange());
  EXPECT_TRUE(log.empty());
  const auto beeps = kv::platform::RecordedBeeps();
  ASSERT_EQ(beeps.size(), 1u);
  EXPECT_EQ(beeps[0].frequency, 1000u);
  EXPECT_EQ(beeps[0].duration, 1u);
}

TEST_F(MouseTest, ImmediateModeFiresOneChangePerEdgeAndTickDoublesIt) {
  TKVIMouse* mouse = ReadyMouse(false);
  EXPECT_FALSE(mouse->CheckChange());
  HeadlessInput::Button(1, true, 10);
  EXPECT_TRUE(mouse->CheckChange());
  EXPECT_FALSE(mouse->CheckChange()) << "holding is no change";
  EXPECT_FALSE(mouse->CheckChange());
  HeadlessInput::Button(1, false, 20);
  EXPECT_TRUE(mouse->CheckChange());
  EXPECT_EQ(log, (std::vector<std::string>{"change", "change"})) << "no button or move events in immediate mode";

  log.clear();
  HeadlessInput::MoveMouse(3, 0, 0, 30);
  mouse->Tick(nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"change", "change"}));

  log.clear();
  mouse->SetBuffered(true);
  mouse->SetFocusControl();
  HeadlessInput::MoveMouse(1, 0, 0, 40);
  mouse->Tick(nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"move 1,0,0 @40#4", "change"})) << "buffered Tick adds nothing";
}

TEST_F(MouseTest, LostInputIsReacquiredByTheNextPoll) {
  TKVIMouse* mouse = ReadyMouse();
  HeadlessInput::LoseFocus();
  HeadlessInput::Button(0, true, 5);
  EXPECT_FALSE(mouse->CheckChange());
  HeadlessInput::GainFocus();
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(mouse->CheckChange());  // re-acquires
  HeadlessInput::MoveMouse(2, 0, 0, 9);
  mouse->CheckChange();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "change");
  EXPECT_EQ(log.front().rfind("move 2,0,0", 0), 0u);
}

TEST_F(MouseTest, InactiveOrUnbufferedDevicesReportNothingAndDoNotRebuildEveryPoll) {
  TKVIMouse* mouse = MakeMouse();
  EXPECT_FALSE(mouse->CheckChange());
  mouse->SetBufferSize(0);
  mouse->SetActive(true);
  mouse->SetFocusControl();
  IDirectInputDeviceA* device = mouse->GetIDirectInputDevice();
  HeadlessInput::Button(0, true, 1);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(mouse->CheckChange());
  EXPECT_EQ(mouse->GetIDirectInputDevice(), device) << "a zero buffer size is not rebuilt on every poll";
  EXPECT_EQ(HeadlessInput::AcquiredDevices().size(), 1u);
  EXPECT_TRUE(log.empty());
}

TEST_F(MouseTest, CursorFollowsExclusiveMovementWithinTheScreen) {
  kv::platform::SetHeadlessScreenSize(800, 600);
  kv::platform::SetHeadlessCursorPos({100, 50});
  TKVIMouse* mouse = ReadyMouse();
  EXPECT_EQ(mouse->CursorX(), 100);
  EXPECT_EQ(mouse->CursorY(), 50);
  HeadlessInput::MoveMouse(30, -80, 0, 1);
  mouse->CheckChange();
  EXPECT_EQ(mouse->CursorX(), 130);
  EXPECT_EQ(mouse->CursorY(), 0);
  HeadlessInput::MoveMouse(5000, 0, 0, 2);
  mouse->CheckChange();
  EXPECT_EQ(mouse->CursorX(), 800);
  kv::platform::SetHeadlessScreenSize(1024, 768);
}

TEST_F(MouseTest, PublishedPropertiesInOrder) {
  std::vector<std::string> names;
  for (const auto& p : TKVIMouse::StaticClass().Properties()) names.push_back(p.name);
  const std::vector<std::string> tail{"BufferSize",    "Buffered",      "Exclusive",     "Background",
                                      "OnButton0Down", "OnButton0Up",   "OnButton1Down", "OnButton1Up",
                                      "OnButton2Down", "OnButton2Up",   "OnButton3Down", "OnButton3Up",
                                      "OnMove",        "OnChange"};
  ASSERT_GE(names.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - tail.size(), names.end()), tail);
}

}  // namespace
}  // namespace kvtest
