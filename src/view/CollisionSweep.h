// Which boxes of a set touch: the pair finder behind the view's collision
// checking. Boxes are axis-aligned, in single precision; two boxes touch
// when on every axis a bound of one lies within the bounds of the other,
// bounds included (so boxes sharing only a face or a corner touch).
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <span>
#include <vector>

namespace kv {

struct CollisionBox {
  std::array<float, 3> min{};
  std::array<float, 3> max{};
};

// Positions of two boxes in the input, first < second.
struct CollisionPair {
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  auto operator<=>(const CollisionPair&) const = default;
};

bool BoxesTouch(const CollisionBox& a, const CollisionBox& b);

// Every touching pair, ordered by first and then by second. Boxes are
// dropped into the cells of a uniform grid sized after the typical box, and
// only boxes sharing a cell are compared, so the cost follows the number of
// near boxes rather than the square of their count. Boxes spanning many
// cells, boxes with a bound that is not a number and boxes whose minimum
// lies above their maximum are compared with every other box, so the answer
// is always that of BoxesTouch on every pair. The finder keeps its working
// memory between calls, so a pass every frame allocates nothing once the
// set has stopped growing.
class TouchingPairFinder {
 public:
  // The pairs stay valid until the next call.
  const std::vector<CollisionPair>& Find(std::span<const CollisionBox> boxes);

 private:
  struct Entry {
    std::uint64_t cell;  // the cell's hash
    std::uint32_t box;
  };
  void FillBuckets(std::span<const CollisionBox> boxes);
  void PairWithinBuckets(std::span<const CollisionBox> boxes);
  void PairOutsideBoxes(std::span<const CollisionBox> boxes);

  std::vector<std::uint32_t> placed_, outside_;
  std::vector<std::uint8_t> isOutside_;
  std::vector<float> sides_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> bucketStart_, bucketBoxes_;
  std::vector<CollisionPair> pairs_;
};

// The same answer by testing all n(n - 1)/2 pairs: the reference for tests
// and benchmarks.
std::vector<CollisionPair> FindTouchingPairsByTestingAll(std::span<const CollisionBox> boxes);

}  // namespace kv
