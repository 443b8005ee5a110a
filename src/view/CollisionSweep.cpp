#include "korvane3d/view/CollisionSweep.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace kv {

namespace {

// A box covering more cells than this is compared with every box instead.
constexpr std::int64_t kMaxCellsPerBox = 64;
// Cell coordinates are clamped here; clamping keeps them in order, which
// is all the shared-cell argument below needs.
constexpr double kCellLimit = 1e12;

bool Within(float v, float lo, float hi) { return v >= lo && v <= hi; }

// A box the grid can place: finite bounds, no minimum above its maximum.
bool IsPlaceable(const CollisionBox& b) {
  for (int a = 0; a < 3; ++a)
    if (!std::isfinite(b.min[a]) || !std::isfinite(b.max[a]) || b.min[a] > b.max[a]) return false;
  return true;
}

float LargestSide(const CollisionBox& b) {
  return std::max({b.max[0] - b.min[0], b.max[1] - b.min[1], b.max[2] - b.min[2]});
}

CollisionPair Ordered(std::uint32_t i, std::uint32_t j) { return i < j ? CollisionPair{i, j} : CollisionPair{j, i}; }

// Cell k on an axis holds the values v with floor((v - origin) * perCell)
// = k; the origin lies below every bound, so truncation is the floor. The
// map is monotonic, so when two boxes touch, the larger of their two minima
// lies in both and its cell is a cell of both on every axis.
struct Grid {
  double origin[3]{};
  double perCell = 1;  // cells per unit length

  std::int64_t Cell(float v, int axis) const {
    const double k = (static_cast<double>(v) - origin[axis]) * perCell;
    return static_cast<std::int64_t>(std::min(k, kCellLimit));
  }
};

// A cell twice the median box side (of an even sample of at most
// kSideSamples boxes): most boxes cover one or two cells per axis. Points
// only: a cell per box on average over their spread.
constexpr std::size_t kSideSamples = 1024;

Grid MakeGrid(std::span<const CollisionBox> boxes, std::span<const std::uint32_t> placed, std::vector<float>& sides) {
  Grid grid;
  for (int a = 0; a < 3; ++a) grid.origin[a] = boxes[placed[0]].min[a];
  double far = grid.origin[0];
  for (std::uint32_t i : placed)
    for (int a = 0; a < 3; ++a) {
      grid.origin[a] = std::min(grid.origin[a], static_cast<double>(boxes[i].min[a]));
      far = std::max(far, static_cast<double>(boxes[i].max[a]));
    }
  sides.clear();
  const std::size_t step = std::max<std::size_t>(1, placed.size() / kSideSamples);
  for (std::size_t k = 0; k < placed.size(); k += step) sides.push_back(LargestSide(boxes[placed[k]]));
  const auto middle = sides.begin() + static_cast<std::ptrdiff_t>(sides.size() / 2);
  std::nth_element(sides.begin(), middle, sides.end());
  double size = 2.0 * *middle;
  if (!(size > 0)) size = (far - std::min({grid.origin[0], grid.origin[1], grid.origin[2]})) /
                          std::cbrt(static_cast<double>(placed.size()));
  grid.perCell = size > 0 && std::isfinite(1.0 / size) ? 1.0 / size : 1.0;
  return grid;
}

std::uint64_t CellHash(std::int64_t x, std::int64_t y, std::int64_t z) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
  h ^= static_cast<std::uint64_t>(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
  return h ^ (h >> 29);
}

}  // namespace

bool BoxesTouch(const CollisionBox& a, const CollisionBox& b) {
  for (int k = 0; k < 3; ++k) {
    const bool overlap = Within(a.min[k], b.min[k], b.max[k]) || Within(a.max[k], b.min[k], b.max[k]) ||
                         Within(b.min[k], a.min[k], a.max[k]) || Within(b.max[k], a.min[k], a.max[k]);
    if (!overlap) return false;
  }
  return true;
}

const std::vector<CollisionPair>& TouchingPairFinder::Find(std::span<const CollisionBox> boxes) {
  placed_.clear();
  outside_.clear();
  pairs_.clear();
  for (std::uint32_t i = 0; i < boxes.size(); ++i) (IsPlaceable(boxes[i]) ? placed_ : outside_).push_back(i);
  if (!placed_.empty()) {
    FillBuckets(boxes);
    PairWithinBuckets(boxes);
  }
  PairOutsideBoxes(boxes);
  // A pair sharing several cells was found in each.
  std::sort(pairs_.begin(), pairs_.end());
  pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
  return pairs_;
}

// Boxes by bucket of the cells they cover (a counting sort); cells whose
// hashes share a bucket only cost extra comparisons. Boxes covering too
// many cells join the outside ones.
void TouchingPairFinder::FillBuckets(std::span<const CollisionBox> boxes) {
  const Grid grid = MakeGrid(boxes, placed_, sides_);
  entries_.clear();
  for (std::uint32_t i : placed_) {
    std::int64_t lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      lo[a] = grid.Cell(boxes[i].min[a], a);
      hi[a] = grid.Cell(boxes[i].max[a], a);
    }
    const std::int64_t sx = hi[0] - lo[0] + 1, sy = hi[1] - lo[1] + 1, sz = hi[2] - lo[2] + 1;
    if (sx > kMaxCellsPerBox || sy > kMaxCellsPerBox || sz > kMaxCellsPerBox || sx * sy * sz > kMaxCellsPerBox) {
      outside_.push_back(i);
      continue;
    }
    for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
      for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
        for (std::int64_t z = lo[2]; z <= hi[2]; ++z)
          entries_.push_back({CellHash(x, y, z), i});
  }
  // About as many buckets as entries: few cells share a bucket, and the
  // passes over the buckets cost no more than those over the entries.
  const std::size_t bucketCount = std::bit_ceil(std::max<std::size_t>(entries_.size(), 16));
  const std::uint64_t mask = bucketCount - 1;
  // Counts, then running ends; placing each entry at --end leaves every
  // bucket's start in its slot.
  bucketStart_.assign(bucketCount + 1, 0);
  for (const Entry& e : entries_) ++bucketStart_[e.cell & mask];
  for (std::size_t k = 1; k <= bucketCount; ++k) bucketStart_[k] += bucketStart_[k - 1];
  bucketBoxes_.resize(entries_.size());
  for (const Entry& e : entries_) bucketBoxes_[--bucketStart_[e.cell & mask]] = e.box;
}

void TouchingPairFinder::PairWithinBuckets(std::span<const CollisionBox> boxes) {
  for (std::size_t k = 0; k + 1 < bucketStart_.size(); ++k) {
    const std::uint32_t begin = bucketStart_[k], end = bucketStart_[k + 1];
    for (std::uint32_t p = begin; p < end; ++p)
      for (std::uint32_t q = p + 1; q < end; ++q) {
        const std::uint32_t i = bucketBoxes_[p], j = bucketBoxes_[q];
        if (i != j && BoxesTouch(boxes[i], boxes[j])) pairs_.push_back(Ordered(i, j));
      }
  }
}

// The boxes outside the grid against every box, each such pair once.
void TouchingPairFinder::PairOutsideBoxes(std::span<const CollisionBox> boxes) {
  if (outside_.empty()) return;
  isOutside_.assign(boxes.size(), 0);
  for (std::uint32_t i : outside_) isOutside_[i] = 1;
  for (std::uint32_t i : outside_)
    for (std::uint32_t j = 0; j < boxes.size(); ++j)
      if (j != i && (!isOutside_[j] || i < j) && BoxesTouch(boxes[i], boxes[j])) pairs_.push_back(Ordered(i, j));
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
