// Picking and collision checking of the view: which visual objects of the
// parent's components lie under a point, and which of them touch.
#include <algorithm>
#include <span>
#include <unordered_map>

#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/rm/D3DRMGuids.h"
#include "korvane3d/rm/FramePositions.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

namespace {

// Frames are compared as Direct3D RM objects are: by the pointer each
// answers for IID_IDirect3DRMFrame. The frame stays alive through whoever
// handed it in, so the pointer may outlive the reference taken here.
IUnknown* FrameIdentity(IUnknown* frame) {
  ComPtr<IDirect3DRMFrame> identity;
  if (frame == nullptr ||
      FAILED(frame->QueryInterface(IID_IDirect3DRMFrame, reinterpret_cast<void**>(identity.ReleaseAndGetAddressOf()))))
    return nullptr;
  return identity.Get();
}

// The visual objects among a component's owned components, by the identity
// of their engine frames, each frame's objects in ownership order.
using ObjectsByFrame = std::unordered_map<IUnknown*, std::vector<TKV3DObject*>>;

ObjectsByFrame IndexObjectsByFrame(const TComponent* owner) {
  ObjectsByFrame index;
  if (owner == nullptr) return index;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* object = dynamic_cast<TKV3DObject*>(owner->Components(i));
    if (object == nullptr) continue;
    if (IUnknown* identity = FrameIdentity(object->GetIDirect3DRMFrame3())) index[identity].push_back(object);
  }
  return index;
}

// Scenes nest far less; this only stops a cycle in corrupt data.
constexpr int kMaxFrameDepth = 1 << 16;

// The objects whose frame is `frame` or one of its ancestors, nearest
// frame first, each once, appended to `list` when not there yet.
void AppendObjectsAbove(const ObjectsByFrame& index, IDirect3DRMFrame* frame, std::vector<Link<TKV3DObject>>& list) {
  ComPtr<IDirect3DRMFrame3> current(frame);
  for (int depth = 0; current && depth < kMaxFrameDepth; ++depth) {
    if (auto found = index.find(FrameIdentity(current.Get())); found != index.end()) {
      for (TKV3DObject* object : found->second)
        if (std::find(list.begin(), list.end(), object) == list.end()) list.emplace_back(object);
    }
    ComPtr<IDirect3DRMFrame3> parent;
    if (FAILED(current->GetParent(parent.ReleaseAndGetAddressOf()))) break;
    current = std::move(parent);
  }
}

// The mesh's box moved to a position, in single precision: the frame's
// rotation and scale are not applied.
CollisionBox BoxAt(const TKV3DObject& object, const D3DVECTOR& position) {
  const D3DVECTOR& lo = object.BoxMin();
  const D3DVECTOR& hi = object.BoxMax();
  return {{position.x + lo.x, position.y + lo.y, position.z + lo.z},
          {position.x + hi.x, position.y + hi.y, position.z + hi.z}};
}

// The object's box in the scene's coordinates; a position that cannot be
// read is the origin.
CollisionBox BoxInScene(TKV3DObject* object, IDirect3DRMFrame3* sceneFrame) {
  D3DVECTOR position{0, 0, 0};
  IDirect3DRMFrame3* frame = object->GetIDirect3DRMFrame3();
  if (frame == nullptr || FAILED(frame->GetPosition(sceneFrame, &position))) position = {0, 0, 0};
  return BoxAt(*object, position);
}

// Weak links to the objects taking part in some pair, so that a handler
// freeing one is noticed by the pairs after it.
class PairMembers {
 public:
  PairMembers(std::span<const CollisionPair> pairs, std::span<TKV3DObject* const> objects) {
    for (const CollisionPair& p : pairs) {
      indices_.push_back(p.first);
      indices_.push_back(p.second);
    }
    std::sort(indices_.begin(), indices_.end());
    indices_.erase(std::unique(indices_.begin(), indices_.end()), indices_.end());
    links_.reserve(indices_.size());
    for (std::uint32_t i : indices_) links_.emplace_back(objects[i]);
  }
  TKV3DObject* At(std::uint32_t index) const {
    const auto it = std::lower_bound(indices_.begin(), indices_.end(), index);
    return links_[static_cast<std::size_t>(it - indices_.begin())].get();
  }

 private:
  std::vector<std::uint32_t> indices_;
  std::vector<Link<TKV3DObject>> links_;
};

}  // namespace

std::vector<TKV3DObject*> TKV3DView::PickedList() const {
  std::vector<TKV3DObject*> objects;
  for (const Link<TKV3DObject>& link : pickedList_)
    if (TKV3DObject* object = link.get()) objects.push_back(object);
  return objects;
}

void TKV3DView::GenPick(int x, int y) {
  if (!viewport_) return;
  ComPtr<IDirect3DRMPickedArray> picked;
  const HRESULT result = viewport_->Pick(x, y, picked.ReleaseAndGetAddressOf());
  LastDXResult = result;
  ReportDXError(result, "Pick", false);
  pickedList_.clear();
  const DWORD count = picked ? picked->GetSize() : 0;
  const ObjectsByFrame index = count > 0 ? IndexObjectsByFrame(Parent()) : ObjectsByFrame{};
  for (DWORD i = 0; i < count; ++i) {
    ComPtr<IDirect3DRMVisual> visual;
    ComPtr<IDirect3DRMFrameArray> frames;
    // An entry that cannot be read is skipped; the others still count.
    if (FAILED(picked->GetPick(i, visual.ReleaseAndGetAddressOf(), frames.ReleaseAndGetAddressOf(), nullptr)) ||
        !frames)
      continue;
    for (DWORD j = 0; j < frames->GetSize(); ++j) {
      ComPtr<IDirect3DRMFrame3> frame;
      if (SUCCEEDED(frames->GetElement(j, frame.ReleaseAndGetAddressOf())) && frame)
        AppendObjectsAbove(index, frame.Get(), pickedList_);
    }
  }
  // Handlers may free objects or pick again: report from a copy, skipping
  // objects that are gone.
  const std::vector<Link<TKV3DObject>> reported = pickedList_;
  for (std::size_t layer = 0; layer < reported.size(); ++layer) {
    if (TKV3DObject* object = reported[layer].get()) object->Picked(static_cast<std::int32_t>(layer));
    if (TKV3DObject* object = reported[layer].get()) OnPicked(this, object, static_cast<std::int32_t>(layer));
  }
}

void TKV3DView::FindTopParentFrame(IDirect3DRMFrame* frame) {
  if (frame == nullptr || Parent() == nullptr) return;
  AppendObjectsAbove(IndexObjectsByFrame(Parent()), frame, pickedList_);
}

// The grid finds the pairs whose boxes touch now, with every position read
// in one engine pass; each pair is then checked and reported through
// CheckObjects in ownership order, so a handler that moves or frees an
// object is seen by the pairs after it.
void TKV3DView::CollisionChecking() {
  TWinControl* parent = Parent();
  if (parent == nullptr) return;
  IDirect3DRMFrame3* sceneFrame = Scene() != nullptr ? Scene()->GetIDirect3DRMFrame3() : nullptr;
  std::vector<TKV3DObject*> objects;
  std::vector<IDirect3DRMFrame3*> frames;
  for (int i = 0; i < parent->ComponentCount(); ++i) {
    auto* object = dynamic_cast<TKV3DObject*>(parent->Components(i));
    if (object == nullptr || !object->CheckCollision()) continue;
    objects.push_back(object);
    frames.push_back(object->GetIDirect3DRMFrame3());
  }
  std::vector<D3DVECTOR> positions(frames.size());
  rm::GetPositions(frames, sceneFrame, positions);
  std::vector<CollisionBox> boxes;
  boxes.reserve(objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) boxes.push_back(BoxAt(*objects[i], positions[i]));
  const std::vector<CollisionPair> pairs = collisionPairs_.Find(boxes);
  if (pairs.empty()) return;
  const PairMembers members(pairs, objects);
  for (const CollisionPair& pair : pairs) {
    TKV3DObject* a = members.At(pair.first);
    TKV3DObject* b = members.At(pair.second);
    if (a != nullptr && b != nullptr && a != b) CheckObjects(a, b);
  }
}

void TKV3DView::CheckObjects(TKV3DObject* a, TKV3DObject* b) {
  if (a == nullptr || b == nullptr) return;
  IDirect3DRMFrame3* sceneFrame = Scene() != nullptr ? Scene()->GetIDirect3DRMFrame3() : nullptr;
  if (!BoxesTouch(BoxInScene(a, sceneFrame), BoxInScene(b, sceneFrame))) return;
  const Link<TKV3DObject> first(a), second(b);
  a->Collision(a, b);
  // The first handler may have freed either object.
  if (TKV3DObject* other = second.get()) other->Collision(other, first.get());
}

}  // namespace kv
