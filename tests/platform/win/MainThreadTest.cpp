// The main thread's one queue and one wait: what ends a wait, what keeps it
// blocked, and run-and-wait calls that are cancelled.
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "WinTestSupport.h"
#include "korvane3d/platform/win/MainThread.h"

using namespace kv;
using namespace std::chrono_literals;
using kv::platform::MainThreadClock;
using kv::platform::WakeOn;

namespace {

using MainThreadTest = kvtest::HeadlessTest;

// How long a wait that nothing ends is given; short, so that a test whose
// wait does end early is told apart from one that blocks.
constexpr auto kQuiet = 150ms;

TEST_F(MainThreadTest, WaitEndsForATaskAWakeUpOrAMessageAndOnlyThen) {
  // Nothing to do: the wait lasts until its deadline.
  auto start = MainThreadClock::now();
  platform::WaitOnMainThread(WakeOn::TasksAndMessages, start + kQuiet);
  EXPECT_GE(MainThreadClock::now() - start, kQuiet);

  // A task posted from another thread ends it early.
  int ran = 0;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    platform::PostMainThreadTask([&] { ++ran; });
  });
  start = MainThreadClock::now();
  platform::WaitOnMainThread(WakeOn::Tasks, start + 60s);
  poster.join();
  EXPECT_LT(MainThreadClock::now() - start, 30s);
  EXPECT_EQ(ran, 0) << "the wait only waits; serving is the caller's";
  EXPECT_EQ(platform::RunMainThreadTasks(), 1u);
  EXPECT_EQ(ran, 1);

  // A wake-up given before the wait is kept for it.
  platform::WakeMainThread();
  start = MainThreadClock::now();
  platform::WaitOnMainThread(WakeOn::Tasks, start + 60s);
  EXPECT_LT(MainThreadClock::now() - start, 30s);

  // A waiting message ends a wait for messages at once; a wait for tasks
  // leaves it for the message loop and blocks (its post's wake-up may end
  // one wait early: waits are made in loops).
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, nullptr);
  PostMessageA(form, WM_USER, 0, 0);
  platform::WaitOnMainThread(WakeOn::Tasks, MainThreadClock::now() + 60s);
  start = MainThreadClock::now();
  platform::WaitOnMainThread(WakeOn::Tasks, start + kQuiet);
  EXPECT_GE(MainThreadClock::now() - start, kQuiet);
  start = MainThreadClock::now();
  platform::WaitOnMainThread(WakeOn::TasksAndMessages, start + 60s);
  EXPECT_LT(MainThreadClock::now() - start, 30s);
  DestroyWindow(form);
}

TEST_F(MainThreadTest, AConditionMadeTrueWithAWakeUpIsNeverMissed) {
  // The waker may come between the waiter's check and its block: many
  // rounds, so that both orders happen.
  for (int round = 0; round < 200; ++round) {
    std::atomic<bool> done{false};
    std::thread waker([&] {
      done = true;
      platform::WakeMainThread();
    });
    while (!done) platform::WaitOnMainThread(WakeOn::Tasks, std::nullopt, [&] { return done.load(); });
    waker.join();
  }
}

TEST_F(MainThreadTest, CancelledTasksAndCallsNeverRun) {
  int tagged = 0, plain = 0;
  const int tag = 0;
  platform::PostMainThreadTask([&] { ++tagged; }, &tag);
  platform::PostMainThreadTask([&] { ++plain; });
  platform::CancelMainThreadTasks(&tag);
  EXPECT_EQ(platform::RunMainThreadTasks(), 1u);
  EXPECT_EQ(tagged, 0);
  EXPECT_EQ(plain, 1);

  // A call cancelled while queued releases its waiter; its task stays
  // behind in the queue but never runs.
  bool ran = false;
  auto call = std::make_shared<platform::MainThreadCall>([&] { ran = true; });
  std::atomic<int> result{0};
  std::thread worker([&] { result = call->PostAndWait() ? 1 : 2; });
  while (!platform::MainThreadTasksPending()) std::this_thread::sleep_for(1ms);
  call->Cancel();
  worker.join();
  EXPECT_EQ(result, 2);
  platform::RunMainThreadTasks();
  EXPECT_FALSE(ran);

  // An exception thrown on the main thread reaches the waiter.
  platform::MainThreadCall throwing([] { throw std::runtime_error("refused"); });
  std::atomic<bool> caught{false};
  std::thread other([&] {
    try {
      throwing.PostAndWait();
    } catch (const std::runtime_error&) {
      caught = true;
    }
  });
  while (!caught) {
    platform::RunMainThreadTasks();
    std::this_thread::sleep_for(1ms);
  }
  other.join();
}

// A worker's window call (SendMessageA) and a task travel the same queue:
// a main thread waiting for tasks serves the window call too.
TEST_F(MainThreadTest, WindowCallsFromWorkersAreServedByATaskWait) {
  kvtest::MessageLog log;
  HWND form = CreateWindowExA(0, "", 0, 0, 0, 10, 10, nullptr, log.Proc());
  std::atomic<bool> done{false};
  std::thread worker([&] {
    SendMessageA(form, WM_USER + 7, 1, 2);
    done = true;
    platform::WakeMainThread();
  });
  const auto end = MainThreadClock::now() + 30s;
  while (!done && MainThreadClock::now() < end) {
    platform::RunMainThreadTasks();
    platform::WaitOnMainThread(WakeOn::Tasks, end, [&] { return done.load(); });
  }
  worker.join();
  EXPECT_EQ(log.Count(WM_USER + 7, form), 1);
  DestroyWindow(form);
}

}  // namespace
