// The polling threads: events arrive on the main thread, stopping is
// orderly, and the components can be switched and freed while a thread
// polls them (run under the thread sanitizer too).
#include <atomic>

#include "InputFixture.h"

using namespace kv;

namespace kvtest {
namespace {

using PollingThreadTest = InputTest;

TEST_F(PollingThreadTest, MouseEventsArriveOnTheMainThreadAndStopEndsThem) {
  auto* mouse = new TKVIMouse(form.get());
  int downs = 0;
  bool offMainThread = false;
  mouse->OnButton0Down = [&](TObject*, DWORD, DWORD) {
    ++downs;
    offMainThread |= !Application().IsMainThread();
  };
  mouse->SetActive(true);
  mouse->SetFocusControl();
  mouse->SetAutoCheck(true);
  EXPECT_TRUE(mouse->AutoCheck());
  HeadlessInput::Button(0, true, 1);
  ASSERT_TRUE(PumpUntil([&] { return downs == 1; }));
  EXPECT_FALSE(offMainThread);

  mouse->SetAutoCheck(false);
  EXPECT_FALSE(mouse->AutoCheck());
  HeadlessInput::Button(0, false, 2);
  HeadlessInput::Button(0, true, 3);
  PumpFor(std::chrono::milliseconds(50));
  EXPECT_EQ(downs, 1) << "no poll after the thread was stopped";
  mouse->CheckChange();
  EXPECT_EQ(downs, 2) << "the records stayed in the device for the application";
}

TEST_F(PollingThreadTest, KeyboardThreadPollsWithoutSpinningAndRestarts) {
  auto* keys = new TKVIKeyboard(form.get());
  std::vector<DWORD> downs;
  keys->OnKeyDown = [&](TObject*, DWORD key, DWORD, DWORD) { downs.push_back(key); };
  keys->SetActive(true);
  keys->SetAutoCheck(true);
  HeadlessInput::PressKey(DIK_W, 1);
  ASSERT_TRUE(PumpUntil([&] { return downs.size() == 1; }));
  keys->SetAutoCheck(false);
  keys->SetAutoCheck(true);
  HeadlessInput::PressKey(DIK_S, 2);
  ASSERT_TRUE(PumpUntil([&] { return downs.size() == 2; }));
  EXPECT_EQ(downs, (std::vector<DWORD>{DIK_W, DIK_S}));

  // A poll is requested only after the previous one ran, and idle waits
  // sleep: over a quarter second the polls stay far below a spinning rate.
  int polls = 0;
  keys->SetBuffered(false);
  keys->OnMoreKeys = [&](TObject*) { ++polls; };
  const auto start = std::chrono::steady_clock::now();
  PumpFor(std::chrono::milliseconds(250));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GT(polls, 0);
  EXPECT_LE(polls, ms.count() + 1) << "at most one poll per pump pass of at least a millisecond";
}

TEST_F(PollingThreadTest, MainThreadSwitchesAndFreesComponentsWhileTheyPoll) {
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    DWORD t = 0;
    while (feeding) {
      HeadlessInput::MoveMouse(1, 1, 0, ++t);
      HeadlessInput::PressKey(DIK_E, t);
      HeadlessInput::ReleaseKey(DIK_E, t);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int round = 0; round < 20; ++round) {
    auto* mouse = new TKVIMouse(form.get());
    auto* keys = new TKVIKeyboard(form.get());
    int events = 0;
    mouse->OnChange = [&](TObject*) { ++events; };
    keys->OnKeyDown = [&](TObject*, DWORD, DWORD, DWORD) { ++events; };
    mouse->SetAutoCheck(true);
    keys->SetAutoCheck(true);
    mouse->SetActive(true);
    mouse->SetFocusControl();
    keys->SetActive(true);
    PumpFor(std::chrono::milliseconds(5));
    mouse->SetBuffered(round % 2 == 0);
    keys->SetExclusive(round % 2 == 0);
    PumpFor(std::chrono::milliseconds(5));
    keys->SetActive(false);
    if (round % 3 == 0) mouse->SetAutoCheck(false);
    delete mouse;
    delete keys;
    EXPECT_GE(events, 0);
  }
  feeding = false;
  feeder.join();
}

}  // namespace
}  // namespace kvtest
