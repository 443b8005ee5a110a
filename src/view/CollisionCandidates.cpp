#include "korvane3d/view/CollisionCandidates.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/rm/FramePositions.h"

namespace kv {

namespace {

// Bitwise, so that the boxes of freed objects (NaN) compare equal.
bool SameBox(const CollisionBox& a, const CollisionBox& b) { return std::memcmp(&a, &b, sizeof(CollisionBox)) == 0; }

}  // namespace

CollisionBox ObjectBoxAt(const TKV3DObject& object, const D3DVECTOR& position) {
  const D3DVECTOR& lo = object.BoxMin();
  const D3DVECTOR& hi = object.BoxMax();
  return {{position.x + lo.x, position.y + lo.y, position.z + lo.z},
          {position.x + hi.x, position.y + hi.y, position.z + hi.z}};
}

void CollisionCandidates::Begin(const TComponent& parent, IDirect3DRMFrame3* sceneFrame) {
  if (!collected_ || &parent != parent_ || parent.ComponentsStamp() != componentsStamp_ ||
      TKV3DObject::CheckCollisionChanges() != checkChanges_)
    Collect(parent);
  sceneFrame_ = sceneFrame;
  Read();
}

void CollisionCandidates::Collect(const TComponent& parent) {
  parent_ = &parent;
  componentsStamp_ = parent.ComponentsStamp();
  checkChanges_ = TKV3DObject::CheckCollisionChanges();
  collected_ = true;
  links_.clear();
  for (int i = 0; i < parent.ComponentCount(); ++i) {
    auto* object = dynamic_cast<TKV3DObject*>(parent.Components(i));
    if (object != nullptr && object->CheckCollision()) links_.emplace_back(object);
  }
}

bool CollisionCandidates::Refresh() {
  if (rm::PlacementChanges() != placementsRead_) {
    Read();
    return true;
  }
  if (TKV3DObject::BoxChanges() == boxesRead_) return false;
  boxesRead_ = TKV3DObject::BoxChanges();
  BoxesAt(reread_);
  const bool changed = !std::equal(reread_.begin(), reread_.end(), boxes_.begin(), boxes_.end(), SameBox);
  boxes_.swap(reread_);
  return changed;
}

void CollisionCandidates::Read() {
  placementsRead_ = rm::PlacementChanges();
  boxesRead_ = TKV3DObject::BoxChanges();
  frames_.clear();
  for (const Link<TKV3DObject>& link : links_)
    frames_.push_back(link.get() != nullptr ? link.get()->GetIDirect3DRMFrame3() : nullptr);
  positions_.resize(links_.size());
  rm::GetPositions(frames_, sceneFrame_, positions_);
  BoxesAt(boxes_);
}

void CollisionCandidates::BoxesAt(std::vector<CollisionBox>& boxes) const {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  boxes.clear();
  for (std::size_t i = 0; i < links_.size(); ++i) {
    const TKV3DObject* object = links_[i].get();
    boxes.push_back(object != nullptr ? ObjectBoxAt(*object, positions_[i])
                                      : CollisionBox{{kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}});
  }
}

}  // namespace kv
