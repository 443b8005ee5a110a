// Placing a window context's blits in a drawable larger than the window
// (high-DPI displays), checked with plain sizes: the X servers tests run on
// never scale.
#include <gtest/gtest.h>

#include "korvane3d/platform/ddraw/GlPlacement.h"

namespace kvtest {
namespace {

using kv::ddraw::BlitArea;
using kv::ddraw::DrawablePlacement;

TEST(DrawablePlacement, OneToOneTurnsRowsUpsideDownOnly) {
  const DrawablePlacement same(640, 480, 640, 480);
  EXPECT_TRUE(same.OneToOne());
  EXPECT_EQ(same.Map(0, 0, 640, 480), (BlitArea{0, 480, 640, 0}));
  EXPECT_EQ(same.Map(12, 8, 96, 64), (BlitArea{12, 472, 108, 408}));
}

TEST(DrawablePlacement, DoubleDrawableDoublesEveryEdge) {
  const DrawablePlacement retina(640, 480, 1280, 960);
  EXPECT_FALSE(retina.OneToOne());
  EXPECT_EQ(retina.Map(0, 0, 640, 480), (BlitArea{0, 960, 1280, 0}));
  EXPECT_EQ(retina.Map(12, 8, 96, 64), (BlitArea{24, 944, 216, 816}));
}

TEST(DrawablePlacement, FractionalScaleRoundsEdgesSoNeighboursStillTouch) {
  const DrawablePlacement scaled(640, 480, 960, 720);
  EXPECT_FALSE(scaled.OneToOne());
  EXPECT_EQ(scaled.Map(0, 0, 640, 480), (BlitArea{0, 720, 960, 0}));
  // 13 * 1.5 = 19.5 and 97 * 1.5 = 145.5 round up; 7 * 1.5 = 10.5 too.
  const BlitArea left = scaled.Map(13, 7, 84, 5);
  EXPECT_EQ(left, (BlitArea{20, 709, 146, 702}));
  // A rectangle starting where the last one ended starts on its edge.
  const BlitArea right = scaled.Map(97, 7, 10, 5);
  EXPECT_EQ(right.x0, left.x1);
  const BlitArea below = scaled.Map(13, 12, 84, 5);
  EXPECT_EQ(below.y0, left.y1);
}

TEST(DrawablePlacement, WindowWithoutSizeYetMapsOneToOne) {
  const DrawablePlacement unsized(0, 0, 800, 600);
  EXPECT_TRUE(unsized.OneToOne());
  EXPECT_EQ(unsized.Map(10, 20, 30, 40), (BlitArea{10, 580, 40, 540}));
}

}  // namespace
}  // namespace kvtest
