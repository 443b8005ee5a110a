// TRenderLoop: the thread that drives a view.
//
// It carries out the viewport changes the view asks for (on the main thread,
// through Synchronize) and, while running, draws frame after frame: step 1
// and presentation on the main thread, the scene move, clearing, rendering
// and the GDI events on its own thread.
//
// While there is nothing to do (no change request, not running) it blocks
// until RunRender, a change request or Stop wakes it. Stop ends it in order:
// the thread is woken, leaves its loop, releases the view's chain and is
// joined; the main thread keeps serving its queue meanwhile, so a loop
// inside Synchronize finishes its step first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "korvane3d/host/Thread.h"

namespace kv {

class TKV3DView;

// Frames counted over windows of just over a second, on GetTickCount.
class FrameRateCounter {
 public:
  // Counts one frame; a window longer than 1000 ms closes the sample first.
  void CountFrame();
  int Rate() const { return rate_.load(); }
  void Clear() { rate_ = 0; }

 private:
  int frameCount_ = 0;
  std::uint32_t lastSampleTick_ = 0;
  std::atomic<int> rate_{0};
};

class TRenderLoop : public TThread {
 public:
  explicit TRenderLoop(TKV3DView* view);
  ~TRenderLoop() override;

  void SetRunning(bool value);
  bool Running() const { return running_.load(); }
  // Asks for a viewport change on the next pass.
  void RequestChange();
  // A change is asked for or under way.
  bool ChangePending() const { return changeRequest_.load() || changing_.load(); }
  int FPS() const { return frameRate_.Rate(); }
  // Ends the thread in order and joins it (main thread).
  void Stop();
  // True while one of the loop's steps runs on the main thread (an OnFlip
  // or OnFlipError handler among them); the loop thread then waits for it.
  bool InStep() const { return inStep_; }
  // For a view freed inside one of the loop's steps, where joining would
  // wait for the step that is waiting for the join: the loop forgets the
  // view, ends after the step and frees itself on the main thread.
  void Abandon();

 protected:
  void Execute() override;

 private:
  void Wake();
  void WaitForWork();
  bool RunChange();
  bool RunFrame();
  // Synchronize with InStep set while `step` runs.
  bool Step(const std::function<void()>& step);

  TKV3DView* view_;  // not owning: the view owns the loop; null once abandoned
  bool inStep_ = false;  // main thread only
  std::atomic<bool> running_{false};
  std::atomic<bool> changeRequest_{true};  // the first pass builds the chain
  std::atomic<bool> changing_{false};
  std::atomic<bool> active_{false};
  FrameRateCounter frameRate_;
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace kv
