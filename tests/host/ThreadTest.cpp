// The main-thread queue, TThread and Synchronize.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/MainThreadQueue.h"
#include "korvane3d/host/Thread.h"

using namespace kv;
using namespace std::chrono_literals;

namespace {

// Runs a body given at construction.
class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : body_(std::move(body)) {}
  ~TLambdaThread() override {
    Terminate();
    WaitFor();
  }
  using TThread::SetReturnValue;
  using TThread::WaitUntilTerminated;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TLambdaThread&)> body_;
};

class Threads : public ::testing::Test {
 protected:
  void SetUp() override { ResetApplication(); }
};

}  // namespace

TEST(MainThreadQueue, RunAndWaitRunsOnTheServingThreadInOrder) {
  MainThreadQueue queue;
  std::vector<std::thread::id> ranOn;
  std::vector<int> order;
  std::atomic<bool> workersDone{false};
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(queue.RunAndWait([&, i] {
        ranOn.push_back(std::this_thread::get_id());
        order.push_back(i);
      }));
    }
    workersDone = true;
    queue.Wake();
  });
  queue.ServeUntil([&] { return workersDone.load(); });
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  for (auto id : ranOn) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(MainThreadQueue, StopReleasesWaitersWithoutRunningTheirTasks) {
  MainThreadQueue queue;
  std::atomic<int> results{0};
  bool ran = false;
  std::thread worker([&] { results = queue.RunAndWait([&] { ran = true; }) ? 1 : 2; });
  while (!queue.HasWork()) std::this_thread::sleep_for(1ms);
  queue.Stop();
  worker.join();
  EXPECT_EQ(results, 2);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(queue.RunAndWait([&] { ran = true; }));  // stopped: refused at once
  queue.Restart();
  std::thread again([&] { results = queue.RunAndWait([&] { ran = true; }) ? 1 : 2; });
  queue.ServeUntil([&] { return ran; });
  again.join();
  EXPECT_EQ(results, 1);
}

TEST(MainThreadQueue, ExceptionsReachTheWaiterAndPostedTasksCanBeCancelled) {
  MainThreadQueue queue;
  std::atomic<bool> caught{false}, finished{false};
  std::thread worker([&] {
    try {
      queue.RunAndWait([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
    finished = true;
    queue.Wake();
  });
  queue.ServeUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_TRUE(caught);

  int a = 0, b = 0;
  int tagA = 0;
  queue.Post([&] { ++a; }, &tagA);
  queue.Post([&] { ++b; });
  queue.Cancel(&tagA);
  EXPECT_EQ(queue.Serve(), 1u);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
}

TEST_F(Threads, SynchronizeRunsOnTheMainThreadAndDirectlyWhenAlreadyThere) {
  std::thread::id ranOn;
  auto thread = std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
    self.Synchronize([&] { ranOn = std::this_thread::get_id(); });
    self.SetReturnValue(7);
  });
  thread->Start();
  EXPECT_EQ(thread->WaitFor(), 7);  // serves the queue while it waits
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  bool direct = false;
  EXPECT_TRUE(TThread::Synchronize(nullptr, [&] { direct = true; }));
  EXPECT_TRUE(direct);
}

TEST_F(Threads, DeletingAThreadBlockedInSynchronizeDoesNotDeadlock) {
  for (int round = 0; round < 20; ++round) {
    std::atomic<int> synced{0};
    auto thread = std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
      while (!self.Terminated()) {
        self.Synchronize([&] { ++synced; });
      }
    });
    thread->Start();
    if (round % 2 == 0) {
      while (synced == 0) Application().ProcessMessages();
    }
    thread.reset();  // Terminate + WaitFor while the worker waits in Synchronize
  }
}

TEST_F(Threads, TerminateWakesAThreadWaitingForIt) {
  auto thread = std::make_unique<TLambdaThread>([](TLambdaThread& self) {
    while (!self.WaitUntilTerminated(10s)) {
    }
  });
  thread->Start();
  const auto start = std::chrono::steady_clock::now();
  thread->Terminate();
  thread->WaitFor();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(thread->Finished());
}

TEST_F(Threads, FreeOnTerminateDeletesOnTheMainThreadAfterOnTerminate) {
  static std::atomic<int> destroyed{0};
  struct TCounted : TThread {
    ~TCounted() override { ++destroyed; }
    void Execute() override {}
  };
  destroyed = 0;
  auto* thread = new TCounted;
  thread->SetFreeOnTerminate(true);
  std::thread::id terminateRanOn;
  thread->OnTerminate = [&](TObject*) { terminateRanOn = std::this_thread::get_id(); };
  thread->Start();
  thread->WaitFor();  // still valid after: deletion waits for the loop
  EXPECT_EQ(terminateRanOn, std::this_thread::get_id());
  EXPECT_EQ(destroyed, 0);
  for (int i = 0; i < 1000 && destroyed == 0; ++i) {
    Application().ProcessMessages();
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(destroyed, 1);

  // Deleted by hand before the loop gets to it: no double free.
  auto* early = new TCounted;
  early->SetFreeOnTerminate(true);
  early->Start();
  early->WaitFor();
  delete early;
  Application().ProcessMessages();
  EXPECT_EQ(destroyed, 2);
}

TEST_F(Threads, ExceptionsFromExecuteAreKeptNotThrown) {
  auto thread = TThread::CreateRunning<TLambdaThread>([](TLambdaThread&) { throw std::runtime_error("bad input"); });
  std::unique_ptr<TLambdaThread> owner(thread);
  thread->WaitFor();
  EXPECT_EQ(thread->FatalException(), "bad input");
  EXPECT_FALSE(thread->Start());  // once only
}

TEST_F(Threads, PrioritiesAreAppliedWhereAllowedAndReportedAsAsked) {
  std::atomic<bool> checked{false};
  auto thread = std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
    while (!self.WaitUntilTerminated(1ms)) {
    }
    checked = true;
  });
  thread->SetPriority(tpLowest);
  thread->Start();
  thread->SetPriority(tpIdle);
  thread->SetPriority(tpTimeCritical);  // needs privileges: silently ignored
  EXPECT_EQ(thread->Priority(), tpTimeCritical);
  thread.reset();
  EXPECT_TRUE(checked);
}

// A thread whose owner is freed from inside the thread's own Synchronize:
// Dispose cannot join there (the thread waits for that very call), so the
// thread ends after it and frees itself; a later owner joins as usual.
TEST_F(Threads, DisposeFromInsideTheThreadsOwnSynchronize) {
  static std::atomic<int> destroyed{0};
  struct TOwned : TLambdaThread {
    using TLambdaThread::TLambdaThread;
    ~TOwned() override { ++destroyed; }
  };
  destroyed = 0;
  std::unique_ptr<TThread> owned;
  std::atomic<bool> touchedAfterStop{false};
  owned = std::make_unique<TOwned>([&](TLambdaThread& self) {
    while (!self.Terminated()) {
      self.Synchronize([&] {
        EXPECT_TRUE(owned->InSynchronize());
        TThread::Dispose(std::move(owned));  // the owner lets go from the handler
      });
      if (!self.Terminated()) touchedAfterStop = true;
    }
  });
  owned->Start();
  ASSERT_TRUE(Application().Queue().ServeUntil([&] { return owned == nullptr; },
                                               std::chrono::steady_clock::now() + 60s));
  ASSERT_TRUE(Application().Queue().ServeUntil([&] { return destroyed.load() == 1; },
                                               std::chrono::steady_clock::now() + 60s));
  EXPECT_FALSE(touchedAfterStop);

  // Outside a Synchronize, Dispose joins before it returns.
  auto joined = std::make_unique<TOwned>([](TLambdaThread& self) {
    while (!self.WaitUntilTerminated(10s)) {
    }
  });
  joined->Start();
  TThread::Dispose(std::move(joined));
  EXPECT_EQ(destroyed, 2);
}

TEST(MainThreadQueue, ServeUntilStopsAtItsDeadline) {
  MainThreadQueue queue;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(queue.ServeUntil([] { return false; }, start + 100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

TEST_F(Threads, SynchronizeFailsCleanlyOnceTheApplicationStops) {
  std::atomic<int> result{0};
  auto thread = std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
    result = self.Synchronize([] {}) ? 1 : 2;
  });
  Application().Queue().Stop();
  thread->Start();
  thread->WaitFor();
  EXPECT_EQ(result, 2);
}
