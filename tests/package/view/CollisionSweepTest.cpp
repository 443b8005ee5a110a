// The grid's touching pairs against the test of every pair: random sets
// (sparse, crowded, on a grid where faces and corners meet exactly) and the
// boxes that sit on the bounds of the test.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "korvane3d/view/CollisionSweep.h"

using namespace kv;

namespace kvtest {
namespace {

using kv::CollisionBox;
using kv::CollisionPair;

CollisionBox Box(float x0, float y0, float z0, float x1, float y1, float z1) { return {{x0, y0, z0}, {x1, y1, z1}}; }

std::vector<CollisionPair> FindTouchingPairs(std::span<const CollisionBox> boxes) {
  kv::TouchingPairFinder finder;
  return finder.Find(boxes);
}

void ExpectSameAsTestingAllPairs(const std::vector<CollisionBox>& boxes) {
  EXPECT_EQ(FindTouchingPairs(boxes), kv::FindTouchingPairsByTestingAll(boxes));
}

TEST(CollisionSweep, BoundsIncludedOnEveryAxis) {
  struct Case {
    const char* what;
    CollisionBox a, b;
    bool touch;
  };
  const Case cases[] = {
      {"sharing only a face", Box(0, 0, 0, 1, 1, 1), Box(1, 0.5f, 0.5f, 2, 2, 2), true},
      {"sharing only a corner", Box(0, 0, 0, 1, 1, 1), Box(1, 1, 1, 2, 2, 2), true},
      {"inside the other", Box(1, 1, 1, 2, 2, 2), Box(0, 0, 0, 5, 5, 5), true},
      {"identical", Box(0, 0, 0, 1, 1, 1), Box(0, 0, 0, 1, 1, 1), true},
      {"a point on a face", Box(1, 0.5f, 0.5f, 1, 0.5f, 0.5f), Box(0, 0, 0, 1, 1, 1), true},
      {"apart by a float step", Box(0, 0, 0, 1, 1, 1), Box(std::nextafter(1.0f, 2.0f), 0, 0, 2, 1, 1), false},
      {"overlapping on two axes only", Box(0, 0, 0, 1, 1, 1), Box(0.5f, 0.5f, 3, 2, 2, 4), false},
      {"without any extent, apart", Box(0, 0, 0, 0, 0, 0), Box(0, 0, 1, 0, 0, 1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(kv::BoxesTouch(c.a, c.b), c.touch);
    EXPECT_EQ(kv::BoxesTouch(c.b, c.a), c.touch);
    std::vector<CollisionBox> both{c.a, c.b};
    EXPECT_EQ(FindTouchingPairs(both).size(), c.touch ? 1u : 0u);
  }
}

TEST(CollisionSweep, PairsInInputOrderWhateverTheLayout) {
  // Listed right to left, and box 3 spans them all.
  const std::vector<CollisionBox> boxes{Box(4, 0, 0, 5, 1, 1), Box(3, 0, 0, 4, 1, 1), Box(2, 0, 0, 3, 1, 1),
                                        Box(0, 0, 0, 10, 1, 1)};
  EXPECT_EQ(FindTouchingPairs(boxes),
            (std::vector<CollisionPair>{{0, 1}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}));
  EXPECT_TRUE(FindTouchingPairs({}).empty());
  EXPECT_TRUE(FindTouchingPairs(std::vector<CollisionBox>{Box(0, 0, 0, 1, 1, 1)}).empty());
}

TEST(CollisionSweep, SameAsTestingAllPairsOnRandomSets) {
  std::mt19937 rng(11);
  for (int round = 0; round < 30; ++round) {
    const int count = 1 + round * 17;
    const float room = round % 3 == 0 ? 4.0f : 40.0f;  // crowded or sparse
    std::uniform_real_distribution<float> at(0, room), size(0, 3);
    std::vector<CollisionBox> boxes;
    for (int i = 0; i < count; ++i) {
      const float x = at(rng), y = at(rng), z = at(rng);
      boxes.push_back(Box(x, y, z, x + size(rng), y + size(rng), z + size(rng)));
    }
    if (round % 5 == 4) boxes.push_back(Box(-100, 2, -100, 100, 3, 100));  // far wider than the cells
    ExpectSameAsTestingAllPairs(boxes);
  }
  // Unit cubes on a grid of whole numbers: faces, edges and corners meet
  // exactly, many boxes share a minimum, some are repeated.
  std::uniform_int_distribution<int> cell(0, 6);
  std::vector<CollisionBox> grid;
  for (int i = 0; i < 300; ++i) {
    const auto x = static_cast<float>(cell(rng)), y = static_cast<float>(cell(rng)), z = static_cast<float>(cell(rng));
    grid.push_back(Box(x, y, z, x + 1, y + 1, z + 1));
  }
  ExpectSameAsTestingAllPairs(grid);
  // Points only, several on the same spot.
  std::vector<CollisionBox> points;
  for (int i = 0; i < 200; ++i) {
    const auto x = static_cast<float>(cell(rng)), y = static_cast<float>(cell(rng));
    points.push_back(Box(x, y, 0, x, y, 0));
  }
  ExpectSameAsTestingAllPairs(points);
}

TEST(CollisionSweep, BoxesOutsideTheGridStillGetTheFullTest) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<CollisionBox> boxes{
      Box(0, 0, 0, 1, 1, 1),
      Box(2, 0, 0, 0.5f, 1, 1),      // minimum above maximum: still meets box 0 (its maximum lies within)
      Box(nan, 0, 0, 0.5f, 1, 1),    // a bound that is not a number, the other within box 0
      Box(nan, nan, nan, nan, nan, nan),
      Box(-inf, -inf, -inf, inf, inf, inf),  // everywhere
      Box(5, 5, 5, 6, 6, 6),
      Box(2, 0, 0, 0.5f, 1, 1),
  };
  const std::vector<CollisionPair> pairs = FindTouchingPairs(boxes);
  EXPECT_EQ(pairs, kv::FindTouchingPairsByTestingAll(boxes));
  EXPECT_TRUE(std::count(pairs.begin(), pairs.end(), CollisionPair{0, 1}));
  EXPECT_TRUE(std::count(pairs.begin(), pairs.end(), CollisionPair{0, 2}));
  EXPECT_TRUE(std::count(pairs.begin(), pairs.end(), CollisionPair{4, 5}));
  EXPECT_FALSE(std::count(pairs.begin(), pairs.end(), CollisionPair{3, 4}));
}

}  // namespace
}  // namespace kvtest
