// Picking and collision checking of the view: which visual objects of the
// parent's components lie under a point, and which of them touch.
#include <algorithm>
#include <unordered_map>

#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/rm/D3DRMGuids.h"
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

// The object's box in the scene's coordinates; a position that cannot be
// read is the origin.
CollisionBox BoxInScene(TKV3DObject* object, IDirect3DRMFrame3* sceneFrame) {
  D3DVECTOR position{0, 0, 0};
  IDirect3DRMFrame3* frame = object->GetIDirect3DRMFrame3();
  if (frame == nullptr || FAILED(frame->GetPosition(sceneFrame, &position))) position = {0, 0, 0};
  return ObjectBoxAt(*object, position);
}

}  // namespace

std::vector<TKV3DObject*> TKV3DView::PickedList() const {
  std::vector<TKV3DObject*> objects;
  for (const Link<TKV3DObject>& link : pickedList_)
    if (TKV3DObject* object = link.get()) objects.push_back(object);
  return objects;
}

void TKV3DView::GenPick(int x, int y) {
  if (chain_->Viewport() == nullptr) return;
  ComPtr<IDirect3DRMPickedArray> picked;
  const HRESULT result = chain_->Viewport()->Pick(x, y, picked.ReleaseAndGetAddressOf());
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
  // Handlers may free objects, pick again or free the view: report from a
  // copy, skipping objects that are gone, and stop once the view is.
  const std::vector<Link<TKV3DObject>> reported = pickedList_;
  const Link<TKV3DView> self(this);
  for (std::size_t layer = 0; layer < reported.size(); ++layer) {
    const auto index = static_cast<std::int32_t>(layer);
    if (TKV3DObject* object = reported[layer].get()) object->Picked(index);
    if (!self) return;
    if (TKV3DObject* object = reported[layer].get()) OnPicked(this, object, index);
    if (!self) return;
  }
}

void TKV3DView::FindTopParentFrame(IDirect3DRMFrame* frame) {
  if (frame == nullptr || Parent() == nullptr) return;
  AppendObjectsAbove(IndexObjectsByFrame(Parent()), frame, pickedList_);
}

// Each pair is checked as it comes, in ownership order, against where its
// objects are at that moment: the grid finds the pairs whose boxes touch,
// and whenever the event handlers of a reported pair moved, resized or freed
// an object, the pairs after that one are found again from the new boxes. A
// pair an earlier handler moved into contact is thus reported in the same
// pass, and a handler that frees the view ends the pass.
void TKV3DView::CollisionChecking() {
  TWinControl* parent = Parent();
  if (parent == nullptr) return;
  IDirect3DRMFrame3* sceneFrame = Scene() != nullptr ? Scene()->GetIDirect3DRMFrame3() : nullptr;
  // The list kept from the last pass, held for this one so that a handler
  // freeing the view cannot free it under the loop; a pass started from a
  // handler of this one works on a list of its own.
  std::shared_ptr<CollisionCandidates> kept = collisionCandidates_;
  if (kept.use_count() > 2) kept = std::make_shared<CollisionCandidates>();
  CollisionCandidates& candidates = *kept;
  candidates.Begin(*parent, sceneFrame);
  if (candidates.Count() < 2) return;
  std::vector<CollisionPair> pairs = collisionPairs_.Find(candidates.Boxes());
  const Link<TKV3DView> self(this);
  for (std::size_t next = 0; next < pairs.size();) {
    const CollisionPair pair = pairs[next++];
    TKV3DObject* a = candidates.At(pair.first);
    TKV3DObject* b = candidates.At(pair.second);
    if (a == nullptr || b == nullptr || a == b || !ReportCollision(a, b)) continue;
    if (!self) return;
    if (!candidates.Refresh()) continue;
    pairs = collisionPairs_.Find(candidates.Boxes());
    next = static_cast<std::size_t>(std::upper_bound(pairs.begin(), pairs.end(), pair) - pairs.begin());
  }
}

void TKV3DView::CheckObjects(TKV3DObject* a, TKV3DObject* b) { ReportCollision(a, b); }

bool TKV3DView::ReportCollision(TKV3DObject* a, TKV3DObject* b) {
  if (a == nullptr || b == nullptr) return false;
  IDirect3DRMFrame3* sceneFrame = Scene() != nullptr ? Scene()->GetIDirect3DRMFrame3() : nullptr;
  if (!BoxesTouch(BoxInScene(a, sceneFrame), BoxInScene(b, sceneFrame))) return false;
  const Link<TKV3DObject> first(a), second(b);
  a->Collision(a, b);
  // The first handler may have freed either object, or the view.
  if (TKV3DObject* other = second.get()) other->Collision(other, first.get());
  return true;
}

}  // namespace kv
