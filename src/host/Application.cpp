#include "korvane3d/host/Application.h"

#include <filesystem>
#include <mutex>

#include "korvane3d/host/Forms.h"
#include "korvane3d/host/Timer.h"
#include "korvane3d/platform/win/MainThread.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

namespace {

struct ApplicationHolder {
  std::mutex mutex;
  std::unique_ptr<TApplication> app;
};

ApplicationHolder& Holder() {
  static ApplicationHolder holder;
  return holder;
}

}  // namespace

TApplication& Application() {
  ApplicationHolder& h = Holder();
  std::lock_guard lock(h.mutex);
  if (h.app == nullptr) h.app = std::make_unique<TApplication>();
  return *h.app;
}

void ResetApplication() {
  ApplicationHolder& h = Holder();
  std::unique_ptr<TApplication> old;
  {
    std::lock_guard lock(h.mutex);
    old = std::move(h.app);
    h.app = std::make_unique<TApplication>();
  }
}

TApplication::TApplication()
    : mainThread_(std::this_thread::get_id()),
      queue_(std::make_shared<MainThreadQueue>()),
      mainForm_(std::make_unique<Link<TForm>>()) {}

TApplication::~TApplication() {
  // Wake any worker still waiting for the main thread, and run what was
  // posted (threads that free themselves) so nothing is left behind.
  queue_->Stop();
  queue_->Serve();
}

TForm* TApplication::MainForm() const { return mainForm_->get(); }

void TApplication::SetMainForm(TForm* form) { *mainForm_ = form; }

bool TApplication::DispatchPending() {
  bool any = false;
  MSG msg;
  while (!terminated_ && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    DispatchMessageA(&msg);
  }
  return any;
}

void TApplication::ProcessMessages() {
  DispatchPending();
  queue_->Serve();
  TTimer::FireDueTimers();
}

void TApplication::Terminate() {
  terminated_ = true;
  queue_->Wake();
}

void TApplication::HandleMessage() {
  bool busy = DispatchPending();
  busy = queue_->Serve() > 0 || busy;
  busy = TTimer::FireDueTimers() > 0 || busy;
  if (busy || terminated_) return;
  bool done = true;
  OnIdle(this, done);
  if (!done) return;
  platform::WaitOnMainThread(platform::WakeOn::TasksAndMessages, TTimer::NextDue(),
                             [this] { return terminated_.load(); });
}

void TApplication::Run() {
  if (TForm* form = MainForm(); form != nullptr && form->Visible()) form->HandleNeeded();
  while (!terminated_) HandleMessage();
}

std::string TApplication::ExeName() const {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  TForm* form = MainForm();
  HWND owner = form != nullptr && form->HandleAllocated() ? form->Handle() : nullptr;
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

}  // namespace kv
