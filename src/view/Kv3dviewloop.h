// TRenderLoop: the thread that drives a view.
//
// It carries out the viewport changes the view asks for (on the main thread,
// through Synchronize) and, while running, draws frame after frame: step 1
// and presentation on the main thread, the scene move, clearing, rendering
// and the GDI events on its own thread. It knows the view only through the
// small RenderLoopClient interface, and the loop thread touches nothing of
// the view but what the main thread hands it for one frame (FrameTargets).
//
// While there is nothing to do (no change request, not running) it blocks
// until RunRender, a change request or Terminate wakes it. The view ends it
// with TThread::Dispose: the thread is woken, leaves its loop and is joined
// (the main thread keeps serving its queue meanwhile, so a loop inside
// Synchronize finishes its step first); when the view is freed from inside
// one of the loop's own steps (an OnFlip handler), the loop ends after that
// step and frees itself. Once terminated it touches the view no more.
//
// Ready: once the change a view asked for has been carried out, the loop
// says so (Ready) and wakes the main thread, so that WaitUntilReady returns
// without anybody polling.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "korvane3d/host/Event.h"
#include "korvane3d/host/Thread.h"
#include "korvane3d/platform/ddraw/DDraw.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/DeviceInterfaces.h"

namespace kv {

using TGDIEvent = TEvent<TObject*, HDC>;  // (Sender, hDC)

// What steps 2 to 4 of a frame draw with, taken on the main thread so that
// the loop thread holds its own references and copies.
struct FrameTargets {
  bool loading = true;
  bool hasCamera = false;
  float delta = 1.0f;
  ComPtr<IDirectDrawSurface4> back;
  ComPtr<IDirect3DRMViewport2> viewport;
  ComPtr<IDirect3DRMDevice3> device;
  ComPtr<IDirect3DRMFrame3> scene;
  TGDIEvent onDrawBackGDI;
  TGDIEvent onDrawFrontGDI;
};

// What the render loop asks of the view it drives.
class RenderLoopClient {
 public:
  // Main thread: the viewport change asked for (with its software retry).
  virtual void LoopChangeViewport() = 0;
  // Main thread: step 1 (collision checking, OnFlip) and the targets of
  // steps 2 to 4. False when there is nothing to draw; a handler that freed
  // the view terminates the loop before this returns.
  virtual bool LoopBeginFrame(FrameTargets& targets) = 0;
  // Loop thread: steps 2 to 4 on the targets.
  virtual void LoopDrawFrame(const FrameTargets& targets) = 0;
  // Main thread: step 5, presentation.
  virtual void LoopPresent() = 0;

 protected:
  ~RenderLoopClient() = default;
};

// Frames counted over windows of just over a second, on GetTickCount. The
// figure falls to 0 once no frame has come for more than a second.
class FrameRateCounter {
 public:
  // Counts one frame; a window longer than 1000 ms closes the sample first.
  void CountFrame();
  int Rate() const;
  void Clear() { rate_ = 0; }

 private:
  int frameCount_ = 0;
  std::atomic<std::uint32_t> lastSampleTick_{0};
  std::atomic<std::uint32_t> lastFrameTick_{0};
  std::atomic<bool> counted_{false};
  std::atomic<int> rate_{0};
};

class TRenderLoop : public TThread {
 public:
  explicit TRenderLoop(RenderLoopClient* client);
  ~TRenderLoop() override;

  void SetRunning(bool value);
  bool Running() const { return running_.load(); }
  // Asks for a viewport change on the next pass.
  void RequestChange();
  // A change is asked for or under way.
  bool ChangePending() const { return changeRequest_.load() || changing_.load(); }
  // The chain is built as asked: nothing pending. When a change ends the
  // loop wakes the main thread, so that a wait for Ready (the view's
  // WaitUntilReady) needs no polling.
  bool Ready() const { return !ChangePending(); }
  int FPS() const { return frameRate_.Rate(); }

 protected:
  void Execute() override;
  void TerminateRequested() override { Wake(); }

 private:
  void Wake();
  void WaitForWork();
  bool RunChange();
  bool RunFrame();

  RenderLoopClient* client_;  // not owning: the view owns the loop
  std::atomic<bool> running_{false};
  std::atomic<bool> changeRequest_{true};  // the first pass builds the chain
  std::atomic<bool> changing_{false};
  std::atomic<bool> drawing_{false};  // steps 2 to 4 of a begun frame under way
  FrameRateCounter frameRate_;
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace kv
