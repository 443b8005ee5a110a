#include "view/CollisionSweep.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace kv {

namespace {

// A box covering more cells than this is compared with every box instead.
constexpr double kMaxCellsPerBox = 64;
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

// Cell k on an axis holds the values v with floor((v - origin) / size) = k.
// The map is monotonic, so when two boxes touch, the larger of their two
// minima lies in both and its cell is a cell of both on every axis.
struct Grid {
  double origin[3]{};
  double size = 1;

  std::int64_t Cell(float v, int axis) const {
    const double k = std::floor((static_cast<double>(v) - origin[axis]) / size);
    return static_cast<std::int64_t>(std::clamp(k, -kCellLimit, kCellLimit));
  }
};

// A cell twice the median box side: most boxes cover one or two cells per
// axis. Points only: a cell per box on average over their spread.
Grid MakeGrid(std::span<const CollisionBox> boxes, std::span<const std::uint32_t> placed) {
  Grid grid;
  std::vector<float> sides;
  sides.reserve(placed.size());
  for (int a = 0; a < 3; ++a) grid.origin[a] = boxes[placed[0]].min[a];
  double spread = 0;
  for (std::uint32_t i : placed) {
    sides.push_back(LargestSide(boxes[i]));
    for (int a = 0; a < 3; ++a) {
      grid.origin[a] = std::min(grid.origin[a], static_cast<double>(boxes[i].min[a]));
      spread = std::max(spread, static_cast<double>(boxes[i].max[a]) - grid.origin[a]);
    }
  }
  std::nth_element(sides.begin(), sides.begin() + static_cast<std::ptrdiff_t>(sides.size() / 2), sides.end());
  grid.size = 2.0 * sides[sides.size() / 2];
  if (!(grid.size > 0)) grid.size = spread / std::cbrt(static_cast<double>(placed.size()));
  if (!(grid.size > 0) || !std::isfinite(grid.size)) grid.size = 1;
  return grid;
}

std::uint64_t CellHash(std::int64_t x, std::int64_t y, std::int64_t z) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
  h ^= static_cast<std::uint64_t>(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
  return h ^ (h >> 29);
}

// Boxes by bucket of the cells they cover (counting sort). Cells whose
// hashes share a bucket only cost extra comparisons.
struct Buckets {
  std::vector<std::uint32_t> start;  // bucket b holds boxes[start[b] .. start[b + 1])
  std::vector<std::uint32_t> boxes;
};

// Places each box; those covering too many cells go to wide instead.
Buckets FillBuckets(std::span<const CollisionBox> boxes, std::span<const std::uint32_t> placed, const Grid& grid,
                    std::vector<std::uint32_t>& wide) {
  struct Entry {
    std::uint32_t bucket, box;
  };
  std::vector<Entry> entries;
  entries.reserve(placed.size() * 2);
  const std::size_t bucketCount = std::bit_ceil(std::max<std::size_t>(placed.size() * 4, 16));
  for (std::uint32_t i : placed) {
    std::int64_t lo[3], hi[3];
    double cells = 1;
    for (int a = 0; a < 3; ++a) {
      lo[a] = grid.Cell(boxes[i].min[a], a);
      hi[a] = grid.Cell(boxes[i].max[a], a);
      cells *= static_cast<double>(hi[a] - lo[a] + 1);
    }
    if (cells > kMaxCellsPerBox) {
      wide.push_back(i);
      continue;
    }
    for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
      for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
        for (std::int64_t z = lo[2]; z <= hi[2]; ++z)
          entries.push_back({static_cast<std::uint32_t>(CellHash(x, y, z) & (bucketCount - 1)), i});
  }
  Buckets b;
  b.start.assign(bucketCount + 1, 0);
  for (const Entry& e : entries) ++b.start[e.bucket + 1];
  for (std::size_t k = 1; k < b.start.size(); ++k) b.start[k] += b.start[k - 1];
  b.boxes.resize(entries.size());
  std::vector<std::uint32_t> fill(b.start.begin(), b.start.end() - 1);
  for (const Entry& e : entries) b.boxes[fill[e.bucket]++] = e.box;
  return b;
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

std::vector<CollisionPair> FindTouchingPairs(std::span<const CollisionBox> boxes) {
  const auto n = static_cast<std::uint32_t>(boxes.size());
  std::vector<std::uint32_t> placed, others;
  placed.reserve(n);
  for (std::uint32_t i = 0; i < n; ++i) (IsPlaceable(boxes[i]) ? placed : others).push_back(i);

  std::vector<CollisionPair> pairs;
  if (!placed.empty()) {
    const Buckets buckets = FillBuckets(boxes, placed, MakeGrid(boxes, placed), others);
    for (std::size_t k = 0; k + 1 < buckets.start.size(); ++k)
      for (std::uint32_t p = buckets.start[k]; p < buckets.start[k + 1]; ++p)
        for (std::uint32_t q = p + 1; q < buckets.start[k + 1]; ++q) {
          const std::uint32_t i = buckets.boxes[p], j = buckets.boxes[q];
          if (i != j && BoxesTouch(boxes[i], boxes[j])) pairs.push_back(Ordered(i, j));
        }
  }
  // The boxes outside the grid against every box, each such pair once.
  std::sort(others.begin(), others.end());
  for (std::uint32_t i : others)
    for (std::uint32_t j = 0; j < n; ++j) {
      const bool bothOutside = std::binary_search(others.begin(), others.end(), j);
      if (j != i && (!bothOutside || i < j) && BoxesTouch(boxes[i], boxes[j])) pairs.push_back(Ordered(i, j));
    }
  // A pair sharing several cells was found in each.
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
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
