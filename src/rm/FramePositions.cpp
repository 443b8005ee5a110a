#include "korvane3d/rm/FramePositions.h"

#include <atomic>
#include <unordered_map>

#include "korvane3d/rm/EngineLock.h"
#include "korvane3d/rm/Frame.h"

namespace kv::rm {

namespace {
std::atomic<std::uint64_t> placementChanges{0};
}  // namespace

std::uint64_t PlacementChanges() { return placementChanges.load(std::memory_order_relaxed); }

void NotePlacementChange() { placementChanges.fetch_add(1, std::memory_order_relaxed); }

bool GetPositions(std::span<IDirect3DRMFrame3* const> frames, IDirect3DRMFrame3* ref, std::span<D3DVECTOR> out) {
  EngineLock lock;
  Frame* reference = Frame::From(ref);
  Mat4 refInverse;
  const bool refUsable = (ref == nullptr || reference != nullptr) &&
                         InvertAffine(reference != nullptr ? reference->WorldMatrix() : Mat4::Identity(), refInverse);
  // Parent coordinates -> reference coordinates, per parent (the same
  // product GetPosition forms, so the results agree to the bit).
  // Node-based, so `last` stays valid as entries are added.
  std::unordered_map<const Frame*, Mat4> parentToRef;
  const Frame* lastParent = nullptr;
  const Mat4* last = nullptr;
  bool all = refUsable;
  for (std::size_t i = 0; i < frames.size() && i < out.size(); ++i) {
    Frame* frame = Frame::From(frames[i]);
    if (frame == nullptr || !refUsable) {
      out[i] = {0, 0, 0};
      all = false;
      continue;
    }
    if (frame->Parent() != lastParent || last == nullptr) {
      auto [it, added] = parentToRef.try_emplace(frame->Parent());
      if (added && frame->Parent() == reference) {
        it->second = Mat4::Identity();  // as GetPosition takes it for the frame's own parent
      } else if (added) {
        it->second = (frame->Parent() != nullptr ? frame->Parent()->WorldMatrix() : Mat4::Identity()) * refInverse;
      }
      lastParent = frame->Parent();
      last = &it->second;
    }
    out[i] = TransformPoint(frame->LocalMatrix().Translation(), *last);
  }
  return all && frames.size() <= out.size();
}

}  // namespace kv::rm
