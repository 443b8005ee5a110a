// The application object: the main thread's identity and queue, the message
// loop, the main form, the executable's name and message boxes; and the
// screen object.
//
// One process-wide instance, reached with Application(). The thread that
// first asks for it is the main thread; ResetApplication() replaces it (for
// tests), making the calling thread the main thread. End every TThread
// before the application goes.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "korvane3d/host/Event.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/MainThreadQueue.h"
#include "korvane3d/host/Object.h"
#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

class TForm;

class TApplication : public TObject {
 public:
  TApplication();
  ~TApplication() override;

  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }
  std::thread::id MainThreadId() const { return mainThread_; }
  MainThreadQueue& Queue() { return *queue_; }
  std::shared_ptr<MainThreadQueue> QueuePtr() const { return queue_; }

  // Dispatches every pending window message, runs the queued main-thread
  // requests and fires due timers, then returns.
  void ProcessMessages();
  // One pass of the loop: like ProcessMessages, but when there was nothing
  // to do it fires OnIdle and then blocks until a window message, a task
  // from another thread, a wake-up or the next timer arrives. An idle
  // program does not wake otherwise.
  void HandleMessage();
  // Loops until Terminate() (closing the main form terminates).
  void Run();
  // Any thread: ends Run after the pass under way.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }

  TForm* MainForm() const;
  // The first form created becomes the main form unless one is set.
  void SetMainForm(TForm* form);

  std::string ExeName() const;  // the running executable's full path
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  // A message box owned by the main form's window.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  // (Sender, Done): set Done to false to be called again without sleeping.
  TEvent<TObject*, bool&> OnIdle;

 private:
  bool DispatchPending();

  std::thread::id mainThread_;
  std::shared_ptr<MainThreadQueue> queue_;
  std::atomic<bool> terminated_{false};
  std::unique_ptr<Link<TForm>> mainForm_;
  std::string title_;
};

TApplication& Application();
void ResetApplication();

class TScreen {
 public:
  int Width() const;
  int Height() const;
};
TScreen& Screen();

}  // namespace kv
