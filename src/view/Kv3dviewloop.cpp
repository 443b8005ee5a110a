#include "korvane3d/view/Kv3dviewloop.h"

#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

// ---- FrameRateCounter --------------------------------------------------------------

void FrameRateCounter::CountFrame() {
  const std::uint32_t now = GetTickCount();
  // Unsigned difference: a wrap of the tick count still measures forward.
  if (now - lastSampleTick_ > 1000u) {
    lastSampleTick_ = now;
    rate_ = frameCount_;
    frameCount_ = 0;
  }
  ++frameCount_;
}

// ---- TRenderLoop -------------------------------------------------------------------

TRenderLoop::TRenderLoop(TKV3DView* view) : view_(view) {}

TRenderLoop::~TRenderLoop() { Stop(); }

void TRenderLoop::Wake() {
  std::lock_guard lock(wakeMutex_);
  wake_.notify_all();
}

void TRenderLoop::SetRunning(bool value) {
  running_ = value;
  Wake();
}

void TRenderLoop::RequestChange() {
  changeRequest_ = true;
  Wake();
}

void TRenderLoop::Stop() {
  {
    std::lock_guard lock(wakeMutex_);
    Terminate();
    wake_.notify_all();
  }
  WaitFor();
}

void TRenderLoop::Abandon() {
  view_ = nullptr;
  SetFreeOnTerminate(true);
  std::lock_guard lock(wakeMutex_);
  Terminate();
  wake_.notify_all();
}

bool TRenderLoop::Step(const std::function<void()>& step) {
  return Synchronize([this, &step] {
    inStep_ = true;
    struct StepDone {
      bool& flag;
      ~StepDone() { flag = false; }
    } done{inStep_};
    step();
  });
}

void TRenderLoop::WaitForWork() {
  std::unique_lock lock(wakeMutex_);
  wake_.wait(lock, [this] { return Terminated() || running_.load() || changeRequest_.load(); });
}

bool TRenderLoop::RunChange() {
  changing_ = true;
  changeRequest_ = false;
  // Cleared however the step ends, so that CanGet never stays false.
  struct ChangeDone {
    std::atomic<bool>& flag;
    ~ChangeDone() { flag = false; }
  } done{changing_};
  return Step([this] {
    if (Terminated()) return;
    view_->CallChangeViewport();
    // A failure shows only while error reports are visible; the retry uses
    // the software driver.
    if (view_->lastChangeResult_) {
      view_->forceSoftware_ = true;
      view_->CallChangeViewport();
      view_->forceSoftware_ = false;
    }
  });
}

bool TRenderLoop::RunFrame() {
  frameRate_.CountFrame();
  FrameTargets targets;
  bool draw = false;
  if (!Step([this, &targets, &draw] {
        // Automatic rendering may have ended while this step waited for the
        // main thread: then the frame is not drawn, so that no scene moves
        // after AutoRender went off.
        if (Terminated() || !running_.load()) return;
        view_->CallOnFlip();
        if (Terminated()) return;  // the handler may have freed the view
        targets = view_->TakeFrameTargets();
        draw = true;
      }))
    return false;
  if (Terminated()) return false;
  if (!draw) return true;
  view_->DrawFrame(targets);
  targets = FrameTargets{};  // the loop holds no chain object between frames
  return Step([this] {
    if (!Terminated()) view_->CallFlip();
  });
}

void TRenderLoop::Execute() {
  active_ = true;
  while (active_ && !Terminated()) {
    // Idle: no frame rate, and no spinning until there is work.
    if (!running_.load()) frameRate_.Clear();
    WaitForWork();
    if (Terminated()) break;
    try {
      if (changeRequest_.load() && !RunChange()) break;
      if (running_.load() && !RunFrame()) break;
    } catch (...) {
      // An event handler that throws loses its frame, not the loop.
    }
  }
  active_ = false;
  // Leaving in order: the chain goes from the viewport down to the primary.
  // The main thread is inside Stop, waiting for this thread, and touches
  // none of it meanwhile.
  if (Terminated() && view_ != nullptr) view_->ReleaseChain();
}

}  // namespace kv
