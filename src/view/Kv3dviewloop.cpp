#include "korvane3d/view/Kv3dviewloop.h"

#include "korvane3d/host/Application.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

// ---- FrameRateCounter --------------------------------------------------------------

void FrameRateCounter::CountFrame() {
  const std::uint32_t now = GetTickCount();
  // Unsigned difference: a wrap of the tick count still measures forward.
  if (now - lastSampleTick_.load() > 1000u) {
    lastSampleTick_ = now;
    rate_ = frameCount_;
    frameCount_ = 0;
  }
  ++frameCount_;
  lastFrameTick_ = now;
  counted_ = true;
}

int FrameRateCounter::Rate() const {
  // A figure whose frames stopped more than a second ago no longer says
  // anything about the rate: nothing is drawn now.
  if (counted_.load() && GetTickCount() - lastFrameTick_.load() > 1000u) return 0;
  return rate_.load();
}

// ---- TRenderLoop -------------------------------------------------------------------

TRenderLoop::TRenderLoop(RenderLoopClient* client) : client_(client) {}

TRenderLoop::~TRenderLoop() {
  Terminate();
  WaitFor();
}

void TRenderLoop::Wake() {
  std::lock_guard lock(wakeMutex_);
  wake_.notify_all();
}

void TRenderLoop::SetRunning(bool value) {
  running_ = value;
  Wake();
  // Stopped from the main thread: a frame the loop is drawing (its scene
  // move included) finishes before this returns, so that nothing of the
  // scene moves or fires after automatic rendering went off. No new frame
  // can begin meanwhile: frames begin on the main thread, after running_.
  if (!value && Application().IsMainThread()) {
    Application().Queue().ServeUntil([this] { return !drawing_.load(); });
  }
}

void TRenderLoop::RequestChange() {
  changeRequest_ = true;
  Wake();
}

void TRenderLoop::WaitForWork() {
  std::unique_lock lock(wakeMutex_);
  wake_.wait(lock, [this] { return Terminated() || running_.load() || changeRequest_.load(); });
}

bool TRenderLoop::RunChange() {
  changing_ = true;
  changeRequest_ = false;
  // Cleared however the step ends, so that CanGet never stays false, and
  // the main thread told: the chain is ready (WaitUntilReady).
  struct ChangeDone {
    std::atomic<bool>& flag;
    ~ChangeDone() {
      flag = false;
      Application().Queue().Wake();
    }
  } done{changing_};
  return Synchronize([this] {
    if (!Terminated()) client_->LoopChangeViewport();
  });
}

bool TRenderLoop::RunFrame() {
  frameRate_.CountFrame();
  FrameTargets targets;
  bool draw = false;
  if (!Synchronize([this, &targets, &draw] {
        // Automatic rendering may have ended while this step waited for the
        // main thread: then the frame is not drawn, so that no scene moves
        // after AutoRender went off.
        if (Terminated() || !running_.load()) return;
        draw = client_->LoopBeginFrame(targets);
        drawing_ = draw;
      }))
    return false;
  {
    // Cleared however the drawing ends; a main thread waiting in
    // SetRunning(false) is woken.
    struct DrawingDone {
      std::atomic<bool>& flag;
      ~DrawingDone() {
        if (flag.exchange(false)) Application().Queue().Wake();
      }
    } done{drawing_};
    if (Terminated()) return false;  // the view went meanwhile
    if (!draw) return true;
    client_->LoopDrawFrame(targets);
    targets = FrameTargets{};  // the loop holds no chain object between frames
  }
  return Synchronize([this] {
    if (!Terminated()) client_->LoopPresent();
  });
}

void TRenderLoop::Execute() {
  // The view renders with floating-point exceptions masked on every thread
  // that draws; this one draws steps 2 to 4.
  MaskFloatingPointExceptions();
  while (!Terminated()) {
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
}

}  // namespace kv
