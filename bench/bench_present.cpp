// The view's frame at real window sizes, stage by stage: the copy of the
// back surface to the window (presentation) and a whole frame (move, clear,
// render, present) of a view whose scene covers it, with and without a
// back-GDI handler between the clear and the render. Headless, no vertical
// blank pacing: memory traffic is what these measure.
#include <benchmark/benchmark.h>

#include "ViewBenchSupport.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"

namespace kvbench {
namespace {

// Room around the window on the headless screen, so that the whole client
// area is presented.
constexpr int kScreenMargin = 256;

const std::pair<int, int> kSizes[] = {{640, 480}, {1920, 1080}};

// A view of the size kSizes[index] looking at a large cube that covers it.
bool BuildCoveredView(ViewBench& bench, int index) {
  const auto [width, height] = kSizes[index];
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  kv::platform::SetHeadlessScreenSize(width + kScreenMargin, height + kScreenMargin);
  kv::ddraw::SetVerticalBlankWait(false);
  if (!bench.Build(width, height)) return false;
  bench.view->SetAutoRender(false);
  kv::TKV3DObject* cube = bench.Place(0, 0, 3);
  cube->Scale()->SetX(8);
  cube->Scale()->SetY(8);
  return true;
}

// Presentation alone: the back surface copied to the primary and the window.
void BM_PresentWindowed(benchmark::State& st) {
  ViewBench bench;
  if (!BuildCoveredView(bench, static_cast<int>(st.range(0)))) {
    st.SkipWithError("the view has no device");
    return;
  }
  bench.view->Render();
  for (auto _ : st) benchmark::DoNotOptimize(bench.view->CallFlip());
  const auto [width, height] = kSizes[st.range(0)];
  st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * width * height * 4);
}
BENCHMARK(BM_PresentWindowed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole frame; range(1) 1 gives the view a back-GDI handler (it draws
// nothing), which makes the clear a pass of its own before the handler.
void BM_ViewFrame(benchmark::State& st) {
  ViewBench bench;
  if (!BuildCoveredView(bench, static_cast<int>(st.range(0)))) {
    st.SkipWithError("the view has no device");
    return;
  }
  if (st.range(1) != 0) bench.view->OnDrawBackGDI = [](kv::TObject*, HDC) {};
  for (auto _ : st) benchmark::DoNotOptimize(bench.view->Render());
}
BENCHMARK(BM_ViewFrame)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kvbench
