// Big forms load in time proportional to their size: many objects in one
// scene, one long chain of parents, and a big form read back into the
// components it was written from. Each row runs in a child process with a
// time and memory bound (a quadratic load took minutes here).
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

TEST_F(FrameTest, BigFormsLoadInTimeProportionalToTheirSize) {
  struct Row {
    const char* what;
    int count;
    bool chain;
    bool readTwice;  // the second time into the components of the first
    long maxGrowthMiB;
  };
  const Row rows[] = {
      {"20,000 objects in one scene", 20000, false, false, 1024},
      {"10,000 frames each under the one before", 10000, true, false, 512},
      {"10,000 objects read again into themselves", 10000, false, true, 512},
  };
  constexpr unsigned kLimitSeconds = 60;
  constexpr double kMaxSeconds = 20;
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
        kLimitSeconds);
    ASSERT_TRUE(outcome.finished) << outcome.Describe();
    EXPECT_EQ(outcome.result, 0) << outcome.Describe();
    EXPECT_LT(outcome.seconds, kMaxSeconds) << outcome.Describe();
    EXPECT_LT(outcome.peakGrowthKb / 1024, row.maxGrowthMiB) << outcome.Describe();
  }
}

}  // namespace
}  // namespace kvtest
