// Building and freeing a headless form with many frame components.
//
// Every re-parenting sends a notification through the whole form, and every
// name given is checked against the owner's components, so these show how
// the component model scales with the number of components a form owns.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "korvane3d/frames/Kv3dframe.h"
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

}  // namespace

BENCHMARK(BM_FormOfParentedFrames)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormOfNamedParentedFrames)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindComponent)->Arg(1000)->Arg(10000);
