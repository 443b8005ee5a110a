// The visual objects a view checks for collisions, and their boxes in the
// scene: the objects of the view's parent with CheckCollision on, in
// ownership order. The list is kept from pass to pass and made again only
// when the parent's components or an object's CheckCollision changed; the
// boxes are read at the start of every pass, and again after an event
// handler only when a placement or a box has changed since.
#pragma once

#include <cstdint>
#include <vector>

#include "korvane3d/host/Link.h"
#include "korvane3d/rm/D3DRM.h"
#include "korvane3d/view/CollisionSweep.h"

namespace kv {

class TComponent;
class TKV3DObject;

// The object's mesh box moved to a position, in single precision: the
// frame's rotation and scale are not applied.
CollisionBox ObjectBoxAt(const TKV3DObject& object, const D3DVECTOR& position);

class CollisionCandidates {
 public:
  // Starts a pass: the list made again where needed, every box read where
  // its object is now, in one engine pass over the positions.
  void Begin(const TComponent& parent, IDirect3DRMFrame3* sceneFrame);
  std::size_t Count() const { return links_.size(); }
  // Null once the object is freed; its box then touches nothing.
  TKV3DObject* At(std::uint32_t index) const { return links_[index].get(); }
  const std::vector<CollisionBox>& Boxes() const { return boxes_; }

  // After event handlers ran: whether any box may have changed since the
  // last reading, reading them again when so. Placements are watched
  // through the engine's count of placement changes, the meshes' boxes and
  // freed objects through the objects' count of box changes; only when one
  // moved is anything read again, so a pass with many reports stays linear.
  bool Refresh();

 private:
  void Collect(const TComponent& parent);
  void Read();
  void BoxesAt(std::vector<CollisionBox>& boxes) const;

  // What the list was made from.
  const TComponent* parent_ = nullptr;
  std::uint64_t componentsStamp_ = 0;
  std::uint64_t checkChanges_ = 0;
  bool collected_ = false;

  IDirect3DRMFrame3* sceneFrame_ = nullptr;
  std::vector<Link<TKV3DObject>> links_;
  std::vector<IDirect3DRMFrame3*> frames_;
  std::vector<D3DVECTOR> positions_;
  std::vector<CollisionBox> boxes_, reread_;
  std::uint64_t placementsRead_ = 0;
  std::uint64_t boxesRead_ = 0;
};

}  // namespace kv
