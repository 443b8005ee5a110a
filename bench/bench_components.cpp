// Building, reading and freeing headless forms with many frame components.
//
// Every re-parenting sends a notification round through the form, and every
// name given is checked against the owner's components, so these show how
// the component model scales with the number of components a form owns.
// Components made with `new` hear every notification; those a form reader
// makes are skipped where their class takes no notice, so the form
// benchmarks are expected to grow linearly and the ones built in code not.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"

using namespace kv;

namespace {

void PrepareRuntime() {
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
  kv::ResetSharedRuntime();
  kv::Register();
}

// A form with one root frame and `count` frames hung under it; each one
// optionally named, as a form reader names what it creates.
void BuildAndFree(benchmark::State& state, bool named) {
  PrepareRuntime();
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto form = std::make_unique<kv::TForm>(nullptr);
    auto* root = new kv::TKV3DFrame(form.get());  // owned by the form
    for (int i = 0; i < count; ++i) {
      auto* frame = new kv::TKV3DFrame(form.get());  // owned by the form
      if (named) frame->SetName("Frame" + std::to_string(i));
      frame->SetParentFrame(root);
    }
    benchmark::DoNotOptimize(form->ComponentCount());
    form.reset();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  kv::ResetSharedRuntime();
}

void BM_FormOfParentedFrames(benchmark::State& state) { BuildAndFree(state, false); }
void BM_FormOfNamedParentedFrames(benchmark::State& state) { BuildAndFree(state, true); }

// Looking owned components up by name in a form of `count` named frames.
void BM_FindComponent(benchmark::State& state) {
  PrepareRuntime();
  const int count = static_cast<int>(state.range(0));
  auto form = std::make_unique<kv::TForm>(nullptr);
  for (int i = 0; i < count; ++i) (new kv::TKV3DFrame(form.get()))->SetName("Frame" + std::to_string(i));
  const std::string last = "FRAME" + std::to_string(count - 1);
  for (auto _ : state) benchmark::DoNotOptimize(form->FindComponent(last));
  form.reset();
  kv::ResetSharedRuntime();
}

// The text of a form holding a scene and `count` visual objects placed in
// it, or (chain) `count` frames each hung under the one before.
std::string BigFormText(int count, bool chain) {
  std::string text = "object Form1: TForm\n  object Scene1: TKV3DScene\n  end\n";
  for (int i = 0; i < count; ++i) {
    const std::string name = (chain ? "Frame" : "Ball") + std::to_string(i);
    const std::string parent = !chain || i == 0 ? "Scene1" : "Frame" + std::to_string(i - 1);
    text += "  object " + name + (chain ? ": TKV3DFrame\n" : ": TKV3DObject\n");
    text += "    ParentFrame = " + parent + "\n";
    text += "    Position.X = " + std::to_string(i % 7) + ".5\n";
    text += "  end\n";
  }
  return text + "end\n";
}

// What a form benchmark times: reading a form into a new root, reading it
// again into the components of the first read, or freeing what was read.
enum class Timed { Load, ReadAgain, Free };

void FormBenchmark(benchmark::State& state, bool chain, Timed timed) {
  PrepareRuntime();
  const std::string text = BigFormText(static_cast<int>(state.range(0)), chain);
  for (auto _ : state) {
    if (timed != Timed::Load) state.PauseTiming();
    std::unique_ptr<kv::TComponent> form = kv::ReadComponentText(text, "big.kvf");
    if (form == nullptr) state.SkipWithError("the form did not load");
    if (timed == Timed::ReadAgain) {
      state.ResumeTiming();
      if (!kv::ReadComponentText(text, "big.kvf", form.get())) state.SkipWithError("the form did not load again");
      state.PauseTiming();
    } else if (timed == Timed::Free) {
      state.ResumeTiming();
    } else {
      state.PauseTiming();
    }
    benchmark::DoNotOptimize(form.get());
    form.reset();
    if (timed != Timed::Free) state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  kv::ResetSharedRuntime();
}

// Loading a form of many objects in one scene, and of one long parent chain;
// reading the first again into what it made (ReadStorage); freeing it.
void BM_LoadFormOfObjects(benchmark::State& state) { FormBenchmark(state, false, Timed::Load); }
void BM_LoadFormOfFrameChain(benchmark::State& state) { FormBenchmark(state, true, Timed::Load); }
void BM_ReadFormOfObjectsAgain(benchmark::State& state) { FormBenchmark(state, false, Timed::ReadAgain); }
void BM_FreeLoadedFormOfObjects(benchmark::State& state) { FormBenchmark(state, false, Timed::Free); }

}  // namespace

BENCHMARK(BM_LoadFormOfObjects)->Arg(1000)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFormOfFrameChain)->Arg(1000)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFormOfObjectsAgain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeLoadedFormOfObjects)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormOfParentedFrames)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormOfNamedParentedFrames)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindComponent)->Arg(1000)->Arg(10000);
