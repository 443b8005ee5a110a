#include "korvane3d/host/Thread.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <exception>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/MainThreadQueue.h"

namespace kv {

namespace {

int NiceFor(TThreadPriority p) {
  switch (p) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
  }
  return 0;
}

}  // namespace

TThread::TThread() : queue_(Application().QueuePtr()) {}

TThread::~TThread() {
  if (thread_.joinable()) {
    Terminate();
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();  // freed from its own Execute: nothing left to wait for
    } else {
      WaitFor();
      thread_.join();
    }
  }
  queue_->Cancel(this);
}

bool TThread::Start() {
  if (started_.exchange(true)) return Fail("thread already started");
  thread_ = std::thread([this] { Body(); });
  return true;
}

void TThread::Body() {
  tid_ = static_cast<int>(::syscall(SYS_gettid));
  ApplyPriority();
  try {
    Execute();
  } catch (const std::exception& e) {
    MutexLock lock(mutex_);
    fatal_ = e.what();
  } catch (...) {
    MutexLock lock(mutex_);
    fatal_ = "unknown exception";
  }
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
  const bool freeSelf = freeOnTerminate_;
  {
    MutexLock lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }
  // From here on the object may be deleted at any moment: only locals and
  // the shared queue are used.
  std::shared_ptr<MainThreadQueue> queue = queue_;
  queue->Wake();
  if (freeSelf) queue->Post([this] { DeleteSelf(); }, this);
}

void TThread::DeleteSelf() {
  if (waitDepth_ > 0) {
    deletePending_ = true;  // WaitFor re-posts it when it returns
    return;
  }
  delete this;
}

void TThread::Dispose(std::unique_ptr<TThread> thread) {
  if (!thread) return;
  thread->Terminate();
  if (Application().IsMainThread() && thread->InSynchronize() && thread->Started() && !thread->Finished()) {
    // The thread waits for the method on this stack; it ends when that
    // returns, and only then may it go.
    thread->SetFreeOnTerminate(true);
    thread.release();
    return;
  }
  // Join before the object goes: deleting a running thread would change its
  // dynamic type under a worker that may still be calling Execute.
  thread->WaitFor();
  thread.reset();
}

void TThread::Terminate() {
  {
    MutexLock lock(mutex_);
    terminated_ = true;
    changed_.notify_all();
  }
  TerminateRequested();
}

bool TThread::WaitUntilTerminated(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MutexLock lock(mutex_);
  while (!terminated_.load()) {
    if (changed_.wait_until(mutex_, deadline) == std::cv_status::timeout) return terminated_.load();
  }
  return true;
}

int TThread::WaitFor() {
  if (!started_ || finished_) return returnValue_;
  if (thread_.get_id() == std::this_thread::get_id()) {
    Fail("a thread cannot wait for itself");
    return -1;
  }
  if (Application().IsMainThread()) {
    ++waitDepth_;
    queue_->ServeUntil([this] { return finished_.load(); });
    if (--waitDepth_ == 0 && deletePending_) {
      deletePending_ = false;
      queue_->Post([this] { DeleteSelf(); }, this);
    }
  } else {
    MutexLock lock(mutex_);
    while (!finished_.load()) changed_.wait(mutex_);
  }
  return returnValue_;
}

std::string TThread::FatalException() const {
  MutexLock lock(mutex_);
  return fatal_;
}

void TThread::SetPriority(TThreadPriority priority) {
  priority_ = priority;
  if (tid_ != 0 && !finished_) ApplyPriority();
}

void TThread::ApplyPriority() {
  const pid_t tid = tid_;
  if (tid == 0) return;
  const TThreadPriority p = priority_;
  sched_param param{};
  // Failures (raising a priority without the privilege) are ignored.
  if (p == tpIdle) {
    (void)::sched_setscheduler(tid, SCHED_IDLE, &param);
  } else {
    (void)::sched_setscheduler(tid, SCHED_OTHER, &param);
  }
  (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(p));
}

bool TThread::Synchronize(std::function<void()> method) { return Synchronize(this, std::move(method)); }

bool TThread::Synchronize(TThread* thread, std::function<void()> method) {
  if (Application().IsMainThread()) {
    method();
    return true;
  }
  if (thread == nullptr) {
    if (!Application().Queue().RunAndWait(std::move(method))) return Fail("the main thread no longer serves requests");
    return true;
  }
  // The thread object outlives the call: it is blocked here, and Dispose
  // never frees a thread whose method is running.
  const bool ran = thread->queue_->RunAndWait([thread, &method] {
    ++thread->synchronizing_;
    struct Done {
      int& depth;
      ~Done() { --depth; }
    } done{thread->synchronizing_};
    method();
  });
  if (!ran) return Fail("the main thread no longer serves requests");
  return true;
}

}  // namespace kv
