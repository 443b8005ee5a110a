// Big forms load in time proportional to their size: many objects in one
// scene, one long chain of parents, and a big form read back into the
// components it was written from. Each row runs in a child process under a
// generous hang bound: loads that grew with the square of the form's size
// took 40 s to minutes at these sizes, and now take about a second (the
// figures are in bench_components).
#include <string>

#include "FrameFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "support/BoundedRun.h"

using namespace kv;

namespace kvtest {
namespace {

// A scene and `count` frames (objects, or a chain of plain frames each
// under the one before), each placed.
std::string BigForm(int count, bool chain) {
  std::string text = "object Form1: TForm\n  object Scene1: TKV3DScene\n  end\n";
  for (int i = 0; i < count; ++i) {
    const std::string name = (chain ? "Frame" : "Ball") + std::to_string(i);
    const std::string parent = !chain || i == 0 ? "Scene1" : "Frame" + std::to_string(i - 1);
    text += "  object " + name + (chain ? ": TKV3DFrame\n" : ": TKV3DObject\n");
    text += "    ParentFrame = " + parent + "\n    Position.X = 1.5\n  end\n";
  }
  return text + "end\n";
}

// Unoptimised and sanitizer builds run the same work many times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(NDEBUG)
constexpr unsigned kSlowBuildFactor = 10;
#else
constexpr unsigned kSlowBuildFactor = 1;
#endif

TEST_F(FrameTest, BigFormsLoadInTimeProportionalToTheirSize) {
  struct Row {
    const char* what;
    int count;
    bool chain;
    bool readTwice;  // the second time into the components of the first
  };
  const Row rows[] = {
      {"20,000 objects in one scene", 20000, false, false},
      {"20,000 frames each under the one before", 20000, true, false},
      {"20,000 objects read again into themselves", 20000, false, true},
  };
  // Each row took 40 s of processor time or more before (the chain 130 s).
  constexpr unsigned kHangSeconds = 30;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string text = BigForm(row.count, row.chain);
    const BoundedOutcome outcome = RunBounded(
        [&] {
          auto loaded = ReadComponentText(text, "big.kvf");
          if (loaded == nullptr) return 1;
          if (row.readTwice && !ReadComponentText(text, "big.kvf", loaded.get())) return 2;
          const std::string last = (row.chain ? "Frame" : "Ball") + std::to_string(row.count - 1);
          auto* frame = dynamic_cast<TKV3DCustomFrame*>(loaded->FindComponent(last));
          if (frame == nullptr || frame->Position()->GetX() != 1.5f || frame->ParentFrame() == nullptr) return 3;
          return loaded->ComponentCount() == row.count + 1 ? 0 : 4;
        },
        kHangSeconds * kSlowBuildFactor);
    ASSERT_TRUE(outcome.finished) << outcome.Describe();
    EXPECT_EQ(outcome.result, 0) << outcome.Describe();
  }
}

}  // namespace
}  // namespace kvtest
