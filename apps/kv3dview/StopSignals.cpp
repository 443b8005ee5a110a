#include "StopSignals.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/MainThreadQueue.h"

namespace kv::viewer {

namespace {
sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

void BlockStopSignals() {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::StopSignals(std::function<void()> stop) : stop_(std::move(stop)) {
  // The waiter posts to the main thread's queue: make sure it exists, on
  // this (the main) thread.
  Application();
  waiter_ = std::thread([this] { Wait(); });
}

StopSignals::~StopSignals() {
  // The waiter takes our own SIGTERM, sent to it alone, as its cue to end.
  closing_ = true;
  pthread_kill(waiter_.native_handle(), SIGTERM);
  waiter_.join();
  Application().Queue().Cancel(this);  // a stop that came too late to run
}

void StopSignals::Wait() {
  const sigset_t set = StopSet();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || closing_) return;
    if (requested_.exchange(true)) {
      std::fputs("kv3dview: stopping at once\n", stderr);
      std::_Exit(128 + signal);
    }
    Application().Queue().Post(stop_, this);
  }
}

}  // namespace kv::viewer
