// Which EGL display the OpenGL device draws off screen with. A machine with
// a GPU offers it as an enumerated device beside Mesa's platforms, which on a
// driver Mesa lacks (NVIDIA's) give only llvmpipe: the GPU must win. Here the
// candidates' answers are given, since no machine has every kind of GPU.
#include <gtest/gtest.h>

#include <vector>

#include "korvane3d/platform/ddraw/GlContext.h"

namespace kv::ddraw {
namespace {

struct Answer {
  EglSource source;
  bool works, hardware;
};

struct Outcome {
  int chosen;
  int probed;  // how many candidates had a context made
};

Outcome Choose(const std::vector<Answer>& answers) {
  std::vector<EglCandidate> candidates;
  for (const Answer& a : answers) candidates.push_back(EglCandidate{a.source});
  Outcome outcome{-1, 0};
  outcome.chosen = ChooseEglCandidate(std::span(candidates), [&](int i) {
    ++outcome.probed;
    candidates[static_cast<std::size_t>(i)].works = answers[static_cast<std::size_t>(i)].works;
    candidates[static_cast<std::size_t>(i)].hardware = answers[static_cast<std::size_t>(i)].hardware;
  });
  return outcome;
}

constexpr auto kDevice = EglSource::Device;
constexpr auto kSurfaceless = EglSource::Surfaceless;
constexpr auto kSoftwareDevice = EglSource::SoftwareDevice;
constexpr auto kDefault = EglSource::Default;

TEST(GlDisplayChoice, AGpuWinsOverMesasSoftwareRenderersAndTheSearchStopsThere) {
  struct Row {
    const char* what;
    std::vector<Answer> answers;
    Outcome expected;
  };
  const Row rows[] = {
      {"NVIDIA's device before Mesa's llvmpipe",
       {{kDevice, true, true}, {kSurfaceless, true, false}, {kDefault, true, false}},
       {0, 1}},
      {"a render node without a driver, then the GPU",
       {{kDevice, true, false}, {kDevice, true, true}, {kSurfaceless, true, false}},
       {1, 2}},
      {"a device that fails, then a GPU",
       {{kDevice, false, false}, {kDevice, true, true}, {kSurfaceless, true, false}},
       {1, 2}},
      {"no GPU: Mesa's surfaceless platform, nothing after it tried",
       {{kSurfaceless, true, false}, {kSoftwareDevice, true, false}, {kDefault, true, false}},
       {0, 1}},
      {"no surfaceless platform: the software device",
       {{kSurfaceless, false, false}, {kSoftwareDevice, true, false}, {kDefault, true, false}},
       {1, 2}},
      {"only the default display works",
       {{kSurfaceless, false, false}, {kDefault, true, true}},
       {1, 2}},
      {"a device with a software renderer is the last resort",
       {{kDevice, true, false}, {kSurfaceless, false, false}, {kDefault, false, false}},
       {0, 3}},
      {"nothing works", {{kDevice, false, false}, {kSurfaceless, false, false}, {kDefault, false, false}}, {-1, 3}},
      {"no candidates at all", {}, {-1, 0}},
  };
  for (const Row& row : rows) {
    const Outcome got = Choose(row.answers);
    EXPECT_EQ(got.chosen, row.expected.chosen) << row.what;
    EXPECT_EQ(got.probed, row.expected.probed) << row.what;
  }
}

}  // namespace
}  // namespace kv::ddraw
