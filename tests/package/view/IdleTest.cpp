// An idle application costs nothing: with a view that does not render, a
// keyboard and a mouse that poll themselves and nothing happening, the main
// thread, the render loop and both polling threads sleep until something
// wakes them. Checked headless and in a real SDL window, by the CPU time the
// whole process uses and by how often its threads go to sleep (each timed
// wake-up of a polling thread is one more).
#include <sys/resource.h>
#include <time.h>

#include <cstdio>

#include "ViewFixture.h"
#include "korvane3d/host/Timer.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "support/XServer.h"

using namespace kv;
using namespace std::chrono_literals;

namespace kvtest {
namespace {

// The CPU time the whole process has used, all threads together.
std::chrono::nanoseconds ProcessCpuTime() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// How many times the process's threads have blocked so far, all together.
long ProcessSleeps() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw;
}

constexpr auto kIdleSpan = 3s;

// Builds the idle application in `form` and runs its loop for kIdleSpan,
// until a timer ends it; checks what that cost.
void ExpectIdleApplicationSleeps(TForm* form, const char* backend) {
  auto* scene = new TKV3DScene(form);
  auto* camera = new TKV3DCamera(form);
  camera->SetParentFrame(scene);
  auto* view = new TKV3DView(form);
  view->SetParent(form);
  view->SetBounds(0, 0, 64, 48);
  view->SetScene(scene);
  view->SetCamera(camera);
  ASSERT_TRUE(view->WaitUntilReady(std::chrono::seconds(60))) << backend;
  auto* keys = new TKVIKeyboard(form);
  keys->SetActive(true);
  keys->SetAutoCheck(true);
  auto* mouse = new TKVIMouse(form);
  mouse->SetActive(true);
  mouse->SetFocusControl();
  mouse->SetAutoCheck(true);
  PumpFor(300ms);  // their first polls, and whatever the window system sends a new window

  bool over = false;
  auto* timer = new TTimer(form);
  timer->SetInterval(static_cast<unsigned>(std::chrono::milliseconds(kIdleSpan).count()));
  timer->OnTimer = [&](TObject*) { over = true; };
  const auto cpuBefore = ProcessCpuTime();
  const long sleepsBefore = ProcessSleeps();
  const auto wallBefore = std::chrono::steady_clock::now();
  while (!over) Application().HandleMessage();
  const auto cpu = std::chrono::duration_cast<std::chrono::milliseconds>(ProcessCpuTime() - cpuBefore);
  const long sleeps = ProcessSleeps() - sleepsBefore;
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wallBefore);
  std::printf("idle %s: %lld ms CPU and %ld sleeps over %lld ms\n", backend, static_cast<long long>(cpu.count()), sleeps,
              static_cast<long long>(wall.count()));
  // Sleeping threads cost nothing; the bounds leave room for a slow,
  // instrumented build and for a sanitizer's own housekeeping thread (ten
  // wake-ups a second). A main thread waking every 10 ms, or an input thread
  // every millisecond, goes far past both.
  EXPECT_LT(cpu, wall / 50) << backend;
  EXPECT_LT(sleeps, 40 * wall.count() / 1000) << backend;
  delete timer;
  delete keys;
  delete mouse;
  delete view;
}

TEST_F(ViewTest, AnIdleApplicationSleeps) { ExpectIdleApplicationSleeps(form.get(), "headless"); }

TEST(IdleRealWindow, AnIdleApplicationSleepsInAnSdlWindow) {
  XServer x;
  if (!x.Available()) GTEST_SKIP() << x.Reason();
  if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl)
    GTEST_SKIP() << "SDL video did not start on this display";
  ResetSharedRuntime();
  {
    TForm form(nullptr);
    form.SetBounds(40, 30, 160, 120);
    form.Show();
    ExpectIdleApplicationSleeps(&form, "SDL");
  }
  ResetSharedRuntime();
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
}

}  // namespace
}  // namespace kvtest
