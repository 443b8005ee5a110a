#include "view/CollisionSweep.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

bool Within(float v, float lo, float hi) { return v >= lo && v <= hi; }

// A box the sweep can place by its interval: no bound is NaN and no
// minimum lies above its maximum.
bool IsOrdered(const CollisionBox& b) {
  for (int a = 0; a < 3; ++a)
    if (!(b.min[a] <= b.max[a])) return false;
  return true;
}

// The axis along which the ordered boxes' centres spread most: sweeping
// along it leaves the fewest boxes overlapping on that axis alone.
int WidestAxis(std::span<const CollisionBox> boxes, std::span<const std::uint32_t> ordered) {
  int best = 0;
  double bestSpread = -1;
  for (int a = 0; a < 3; ++a) {
    double sum = 0, sumSquares = 0;
    std::size_t n = 0;
    for (std::uint32_t i : ordered) {
      const double centre = 0.5 * (static_cast<double>(boxes[i].min[a]) + boxes[i].max[a]);
      if (!std::isfinite(centre)) continue;
      sum += centre;
      sumSquares += centre * centre;
      ++n;
    }
    const double mean = n ? sum / static_cast<double>(n) : 0;
    const double spread = n ? sumSquares / static_cast<double>(n) - mean * mean : 0;
    if (spread > bestSpread) {
      bestSpread = spread;
      best = a;
    }
  }
  return best;
}

CollisionPair Ordered(std::uint32_t i, std::uint32_t j) { return i < j ? CollisionPair{i, j} : CollisionPair{j, i}; }

struct Interval {
  float min, max;
  std::uint32_t index;
};

}  // namespace

bool BoxesTouch(const CollisionBox& a, const CollisionBox& b) {
  for (int k = 0; k < 3; ++k) {
    const bool overlap = Within(a.min[k], b.min[k], b.max[k]) || Within(a.max[k], b.min[k], b.max[k]) ||
                         Within(b.min[k], a.min[k], a.max[k]) || Within(b.max[k], a.min[k], a.max[k]);
    if (!overlap) return false;
  }
  return true;
}

std::vector<CollisionPair> FindTouchingPairs(std::span<const CollisionBox> boxes) {
  const auto n = static_cast<std::uint32_t>(boxes.size());
  std::vector<std::uint32_t> ordered, irregular;
  ordered.reserve(n);
  for (std::uint32_t i = 0; i < n; ++i) (IsOrdered(boxes[i]) ? ordered : irregular).push_back(i);

  std::vector<CollisionPair> pairs;
  const int axis = WidestAxis(boxes, ordered);
  std::vector<Interval> sweep;
  sweep.reserve(ordered.size());
  for (std::uint32_t i : ordered) sweep.push_back({boxes[i].min[axis], boxes[i].max[axis], i});
  std::sort(sweep.begin(), sweep.end(), [](const Interval& l, const Interval& r) { return l.min < r.min; });
  // For ordered boxes the bounds test on the sweep axis is the plain
  // interval overlap: every later box that begins before this one ends.
  for (std::size_t p = 0; p < sweep.size(); ++p)
    for (std::size_t q = p + 1; q < sweep.size() && sweep[q].min <= sweep[p].max; ++q)
      if (BoxesTouch(boxes[sweep[p].index], boxes[sweep[q].index]))
        pairs.push_back(Ordered(sweep[p].index, sweep[q].index));

  for (std::size_t k = 0; k < irregular.size(); ++k) {
    const std::uint32_t i = irregular[k];
    for (std::uint32_t j : ordered)
      if (BoxesTouch(boxes[i], boxes[j])) pairs.push_back(Ordered(i, j));
    for (std::size_t m = k + 1; m < irregular.size(); ++m)
      if (BoxesTouch(boxes[i], boxes[irregular[m]])) pairs.push_back(Ordered(i, irregular[m]));
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

std::vector<CollisionPair> FindTouchingPairsByTestingAll(std::span<const CollisionBox> boxes) {
  std::vector<CollisionPair> pairs;
  const auto n = static_cast<std::uint32_t>(boxes.size());
  for (std::uint32_t i = 0; i < n; ++i)
    for (std::uint32_t j = i + 1; j < n; ++j)
      if (BoxesTouch(boxes[i], boxes[j])) pairs.push_back({i, j});
  return pairs;
}

}  // namespace kv
