// The polling threads: events arrive on the main thread, stopping is
// orderly, and the components can be switched and freed while a thread
// polls them (run under the thread sanitizer too).
#include <atomic>
#include <utility>

#include "InputFixture.h"
#include "support/HangGuard.h"

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

  // Immediate mode with keys held: the keyboard keeps reporting them, one
  // poll per repeat interval, never faster.
  int polls = 0;
  keys->SetBuffered(false);
  keys->OnMoreKeys = [&](TObject*) { ++polls; };
  const auto start = std::chrono::steady_clock::now();
  PumpFor(std::chrono::milliseconds(250));
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_GT(polls, 0);
  EXPECT_LE(polls, spent / TKVIKeyboard::kHeldKeyRepeat + 2);
}

// An event handler runs inside the poll that the polling thread waits for:
// stopping or freeing the component from there must neither wait for that
// thread (which waits for the handler) nor let the rest of the read reach a
// freed component (run under the address sanitizer too).
TEST_F(PollingThreadTest, HandlersMayStopOrFreeTheirOwnComponent) {
  const HangGuard guard(std::chrono::seconds(120), "an input handler stopping or freeing its own component");

  auto* keys = new TKVIKeyboard(form.get());
  std::vector<DWORD> downs;
  keys->OnKeyDown = [&](TObject*, DWORD key, DWORD, DWORD) {
    downs.push_back(key);
    keys->SetAutoCheck(false);
  };
  keys->SetActive(true);
  keys->SetAutoCheck(true);
  HeadlessInput::PressKey(DIK_A, 1);
  ASSERT_TRUE(PumpUntil([&] { return !keys->AutoCheck(); }));
  HeadlessInput::PressKey(DIK_B, 2);
  PumpFor(std::chrono::milliseconds(50));
  EXPECT_EQ(downs, (std::vector<DWORD>{DIK_A})) << "no poll once the handler stopped the thread";
  keys->OnKeyDown = [&](TObject*, DWORD key, DWORD, DWORD) { downs.push_back(key); };
  keys->SetAutoCheck(true);  // and polling starts again
  ASSERT_TRUE(PumpUntil([&] { return downs.size() == 2; }));
  EXPECT_EQ(downs.back(), static_cast<DWORD>(DIK_B));

  // Freed by its first handler while more records of the same read wait.
  int after = 0;
  // A handler that frees its component frees itself too: it touches nothing
  // after the delete.
  keys->OnKeyUp = [&](TObject*, DWORD, DWORD, DWORD) { delete std::exchange(keys, nullptr); };
  keys->OnKeyDown = [&](TObject*, DWORD, DWORD, DWORD) { ++after; };
  HeadlessInput::ReleaseKey(DIK_A, 3);
  HeadlessInput::PressKey(DIK_C, 4);
  ASSERT_TRUE(PumpUntil([&] { return keys == nullptr; }));
  PumpFor(std::chrono::milliseconds(50));
  EXPECT_EQ(after, 0) << "the rest of the read went with the component";

  // The same in immediate mode, where one read reports every held key.
  auto* held = new TKVIKeyboard(form.get());
  held->SetBuffered(false);
  int pressed = 0;
  held->OnKeyPressed = [&](TObject*, DWORD) {
    ++pressed;
    delete std::exchange(held, nullptr);
  };
  held->SetActive(true);
  held->SetAutoCheck(true);
  ASSERT_TRUE(PumpUntil([&] { return held == nullptr; }));
  EXPECT_EQ(pressed, 1);

  // The mouse, freed from a button handler before its move and change
  // events of the same record.
  auto* mouse = new TKVIMouse(form.get());
  int moves = 0;
  mouse->OnButton0Down = [&](TObject*, DWORD, DWORD) { delete std::exchange(mouse, nullptr); };
  mouse->OnMove = [&](TObject*, LONG, LONG, LONG, DWORD, DWORD) { ++moves; };
  mouse->SetActive(true);
  mouse->SetFocusControl();
  mouse->SetAutoCheck(true);
  HeadlessInput::Button(0, true, 5);
  ASSERT_TRUE(PumpUntil([&] { return mouse == nullptr; }));
  PumpFor(std::chrono::milliseconds(50));  // the thread ends and frees itself
  EXPECT_EQ(moves, 0);
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
