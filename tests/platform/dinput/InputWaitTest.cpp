// Waiting for input from a polling thread, and devices fed on one thread
// while read on others.
#include <atomic>
#include <chrono>
#include <thread>

#include "DInputTestSupport.h"
#include "korvane3d/platform/dinput/InputEvent.h"

namespace kv::dinput::test {
namespace {

using namespace std::chrono_literals;

TEST(InputEvent, KeepsASignalForOneWaitAndTimesOutOtherwise) {
  InputEvent event;
  EXPECT_EQ(event.Wait(1ms), InputEvent::Timeout);
  event.Signal();
  event.Signal();
  EXPECT_EQ(event.Wait(1ms), InputEvent::Input);
  EXPECT_EQ(event.Wait(1ms), InputEvent::Timeout);  // two signals, one wake
  event.RequestStop();
  event.Signal();
  EXPECT_EQ(event.Wait(10s), InputEvent::Stopped);  // stop wins, without waiting
  EXPECT_EQ(event.Wait(10s), InputEvent::Stopped);
  event.ClearStop();
  EXPECT_EQ(event.Wait(1ms), InputEvent::Input);
}

TEST(InputEvent, StopWakesAWaitingThread) {
  auto event = std::make_shared<InputEvent>();
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = event->Wait(std::chrono::hours(1)); });
  event->RequestStop();
  waiter.join();
  EXPECT_EQ(result.load(), InputEvent::Stopped);
}

TEST_F(DInputTest, AttachedEventWakesOnInputAndOnLoss) {
  ComPtr<IDirectInputDeviceA> keyboard = Ready(GUID_SysKeyboard);
  auto event = std::make_shared<InputEvent>();
  ASSERT_EQ(SetInputEvent(keyboard.Get(), event), DI_OK);
  EXPECT_EQ(SetInputEvent(nullptr, event), DIERR_INVALIDPARAM);

  std::atomic<int> result{-1};
  std::thread waiter([&] { result = event->Wait(std::chrono::hours(1)); });
  HeadlessInput::PressKey(DIK_F1, 1);
  waiter.join();
  EXPECT_EQ(result.load(), InputEvent::Input);

  HeadlessInput::MoveMouse(1, 1, 0, 2);  // not this device's input
  EXPECT_EQ(event->Wait(1ms), InputEvent::Timeout);
  HeadlessInput::LoseFocus();
  EXPECT_EQ(event->Wait(1ms), InputEvent::Input);

  // The focus coming back may let the lost device be acquired again: it
  // signals, so that a thread waiting for it tries.
  HeadlessInput::GainFocus();
  EXPECT_EQ(event->Wait(1ms), InputEvent::Input);

  // Detached, or the device gone: the event stays usable and quiet.
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  ASSERT_EQ(SetInputEvent(keyboard.Get(), nullptr), DI_OK);
  HeadlessInput::PressKey(DIK_F2, 3);
  EXPECT_EQ(event->Wait(1ms), InputEvent::Timeout);
}

// Input arrives on one thread while a polling thread waits for it and reads
// the device, and a third reads its state: every record comes out
// exactly once and in order (thread sanitizer builds check the locking).
TEST_F(DInputTest, FeedingWaitingAndReadingOnSeparateThreads) {
  ComPtr<IDirectInputDeviceA> mouse = Ready(GUID_SysMouse, DIBUFFERSIZE_MAX);
  auto event = std::make_shared<InputEvent>();
  ASSERT_EQ(SetInputEvent(mouse.Get(), event), DI_OK);
  constexpr int kMoves = 1000;  // fits the buffer: no record may be lost

  std::thread feeder([] {
    for (int i = 1; i <= kMoves; ++i) HeadlessInput::MoveMouse(1, 0, 0, static_cast<DWORD>(i));
  });
  std::thread other([&] {
    DIMOUSESTATE state;
    for (int i = 0; i < 200; ++i) mouse->GetDeviceState(sizeof state, &state);
  });

  LONG total = 0;
  DWORD lastTime = 0;
  bool ordered = true;
  for (int idle = 0; total < kMoves && idle < 2000;) {
    if (event->Wait(5ms) == InputEvent::Timeout) ++idle;
    DIDEVICEOBJECTDATA records[64];
    DWORD count = 64;
    if (FAILED(mouse->GetDeviceData(sizeof records[0], records, &count, 0))) continue;
    for (DWORD i = 0; i < count; ++i) {
      ordered = ordered && records[i].dwTimeStamp > lastTime;
      lastTime = records[i].dwTimeStamp;
      total += static_cast<LONG>(records[i].dwData);
    }
  }
  feeder.join();
  other.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(total, kMoves);
}

}  // namespace
}  // namespace kv::dinput::test
