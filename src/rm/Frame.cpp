// Frame creation, hierarchy, visuals, lights, appearance and scene settings.
// Placement is in FramePlacement.cpp, motion in FrameMove.cpp.
#include "korvane3d/rm/Frame.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "korvane3d/rm/Arrays.h"
#include "korvane3d/rm/FramePositions.h"
#include "korvane3d/rm/Light.h"

namespace kv::rm {

FrameLink::FrameLink(Frame* frame) : anchor_(frame ? frame->anchor_ : nullptr) {}

Frame::Frame() : anchor_(std::make_shared<Frame*>(this)) {}

Frame::~Frame() {
  // Runs under the engine lock (ObjectImpl::Release). Children outlive
  // their parent as scene roots of their own.
  *anchor_ = nullptr;
  for (auto& child : children_) child->parent_ = nullptr;
  if (!children_.empty()) NotePlacementChange();
}

ComPtr<Frame> Frame::Create() { return ComPtr<Frame>::Adopt(new Frame); }

Frame* Frame::From(IUnknown* object) { return ExactCast<Frame>(object); }

HRESULT Frame::QueryInterface(REFIID iid, void** out) {
  return AnswerQuery(iid, out,
                     {IID_IDirect3DRMObject, IID_IDirect3DRMVisual, IID_IDirect3DRMFrame, IID_IDirect3DRMFrame2,
                      IID_IDirect3DRMFrame3},
                     static_cast<IDirect3DRMFrame3*>(this));
}

// ---- Hierarchy --------------------------------------------------------------

bool Frame::IsAncestorOrSelf(const Frame* descendant) const {
  for (const Frame* f = descendant; f; f = f->parent_)
    if (f == this) return true;
  return false;
}

bool Frame::Reaches(const Frame* target) const {
  std::vector<const Frame*> pending{this};
  std::unordered_set<const Frame*> seen;
  while (!pending.empty()) {
    const Frame* f = pending.back();
    pending.pop_back();
    if (f == target) return true;
    if (!seen.insert(f).second) continue;
    for (auto& child : f->children_) pending.push_back(child.Get());
    for (auto& visual : f->visuals_)
      if (const Frame* instance = From(visual.Get())) pending.push_back(instance);
  }
  return false;
}

void Frame::Detach() {
  if (!parent_) return;
  NotePlacementChange();
  Frame* parent = std::exchange(parent_, nullptr);
  auto& siblings = parent->children_;
  // Looked for from both ends at once: frames mostly leave a long list in
  // the order they came (moved on to their parents as a form is read) or in
  // the reverse one (freed), so either way it is found, and taken out of
  // the deque, at once.
  for (std::size_t front = 0, back = siblings.size(); front < back; ++front) {
    std::size_t at = front;
    if (siblings[at].Get() != this && siblings[at = --back].Get() != this) continue;
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(at));  // may drop the last reference: the caller holds one
    return;
  }
}

HRESULT Frame::AddChild(IDirect3DRMFrame3* child) {
  Frame* impl = From(child);
  if (!impl) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  if (impl->parent_ == this) return D3DRM_OK;
  // A frame may not hang below itself: the hierarchy would have no end.
  if (impl->Reaches(this)) return D3DRMERR_BADVALUE;
  ComPtr<Frame> keep(impl);
  impl->Detach();
  impl->parent_ = this;
  NotePlacementChange();
  children_.push_back(keep);
  return D3DRM_OK;
}

HRESULT Frame::DeleteChild(IDirect3DRMFrame3* child) {
  Frame* impl = From(child);
  if (!impl) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  if (impl->parent_ != this) return D3DRMERR_NOTFOUND;
  ComPtr<Frame> keep(impl);
  impl->Detach();
  return D3DRM_OK;
}

HRESULT Frame::GetChildren(IDirect3DRMFrameArray** children) {
  if (!children) return D3DRMERR_BADVALUE;
  EngineLock lock;
  std::vector<ComPtr<IDirect3DRMFrame3>> items(children_.begin(), children_.end());
  *children = MakeFrameArray(std::move(items)).Detach();
  return D3DRM_OK;
}

HRESULT Frame::GetParent(IDirect3DRMFrame3** parent) {
  EngineLock lock;
  return HandOut(parent_, parent);
}

Frame* Frame::SceneRoot() {
  Frame* f = this;
  while (f->parent_) f = f->parent_;
  return f;
}

HRESULT Frame::GetScene(IDirect3DRMFrame3** scene) {
  EngineLock lock;
  return HandOut(SceneRoot(), scene);
}

// ---- Visuals and lights -----------------------------------------------------

HRESULT Frame::AddVisual(IUnknown* visual) {
  if (!visual) return D3DRMERR_BADOBJECT;
  ComPtr<IDirect3DRMVisual> v;
  if (FAILED(ComPtr<IUnknown>(visual).As(IID_IDirect3DRMVisual, v))) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  if (std::find(visuals_.begin(), visuals_.end(), v) != visuals_.end()) return D3DRM_OK;
  // A frame used as a visual draws its whole tree here; it must not contain
  // this frame, or drawing would never end.
  if (Frame* instance = From(v.Get()); instance && instance->Reaches(this)) return D3DRMERR_BADVALUE;
  visuals_.push_back(std::move(v));
  return D3DRM_OK;
}

HRESULT Frame::DeleteVisual(IUnknown* visual) {
  if (!visual) return D3DRMERR_BADOBJECT;
  ComPtr<IDirect3DRMVisual> v;
  if (FAILED(ComPtr<IUnknown>(visual).As(IID_IDirect3DRMVisual, v))) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  auto it = std::find(visuals_.begin(), visuals_.end(), v);
  if (it == visuals_.end()) return D3DRMERR_NOTFOUND;
  visuals_.erase(it);
  return D3DRM_OK;
}

HRESULT Frame::GetVisuals(DWORD* count, IUnknown** visuals) {
  if (!count) return D3DRMERR_BADVALUE;
  EngineLock lock;
  DWORD n = static_cast<DWORD>(visuals_.size());
  if (visuals) {
    if (*count < n) {
      *count = n;
      return D3DRMERR_BADVALUE;
    }
    // Each pointer carries a reference for the caller.
    for (DWORD i = 0; i < n; ++i) {
      visuals[i] = visuals_[i].Get();
      visuals[i]->AddRef();
    }
  }
  *count = n;
  return D3DRM_OK;
}

HRESULT Frame::GetVisualArray(IDirect3DRMVisualArray** visuals) {
  if (!visuals) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *visuals = MakeVisualArray(visuals_).Detach();
  return D3DRM_OK;
}

HRESULT Frame::AddLight(IDirect3DRMLight* light) {
  Light* impl = Light::From(light);
  if (!impl) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  ComPtr<Light> l(impl);
  if (std::find(lights_.begin(), lights_.end(), l) == lights_.end()) lights_.push_back(l);
  return D3DRM_OK;
}

HRESULT Frame::DeleteLight(IDirect3DRMLight* light) {
  Light* impl = Light::From(light);
  if (!impl) return D3DRMERR_BADOBJECT;
  EngineLock lock;
  auto it = std::find_if(lights_.begin(), lights_.end(), [&](const ComPtr<Light>& l) { return l.Get() == impl; });
  if (it == lights_.end()) return D3DRMERR_NOTFOUND;
  lights_.erase(it);
  return D3DRM_OK;
}

HRESULT Frame::GetLights(IDirect3DRMLightArray** lights) {
  if (!lights) return D3DRMERR_BADVALUE;
  EngineLock lock;
  std::vector<ComPtr<IDirect3DRMLight>> items(lights_.begin(), lights_.end());
  *lights = MakeLightArray(std::move(items)).Detach();
  return D3DRM_OK;
}

// ---- Clone ------------------------------------------------------------------

ComPtr<Frame> Frame::CloneTree(Frame* parent) const {
  auto copy = Create();
  copy->CopyObjectDataFrom(*this);
  copy->local_ = local_;
  copy->rotationAxis_ = rotationAxis_;
  copy->rotationAngle_ = rotationAngle_;
  copy->velocity_ = velocity_;
  copy->velocityWithRotation_ = velocityWithRotation_;
  copy->moveCallbacks_ = moveCallbacks_;
  copy->color_ = color_;
  copy->materialMode_ = materialMode_;
  copy->texture_ = texture_;
  copy->traversal_ = traversal_;
  copy->scene_ = scene_;
  copy->visuals_ = visuals_;  // visuals and lights are shared, not copied
  copy->lights_ = lights_;
  for (auto& child : children_) child->CloneTree(copy.Get());
  if (parent) {
    copy->parent_ = parent;
    parent->children_.push_back(copy);
  }
  return copy;
}

HRESULT Frame::Clone(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  EngineLock lock;
  // The copy hangs under the same parent, so it keeps the same placement.
  ComPtr<Frame> copy = CloneTree(parent_);
  HRESULT hr = copy->QueryInterface(iid, out);
  if (FAILED(hr)) copy->Detach();
  return hr;
}

// ---- Appearance -------------------------------------------------------------

HRESULT Frame::SetColor(D3DCOLOR color) {
  EngineLock lock;
  color_ = color;
  return D3DRM_OK;
}

HRESULT Frame::SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) { return SetColor(ColorFromRGB(r, g, b)); }

D3DCOLOR Frame::GetColor() {
  EngineLock lock;
  return color_;
}

HRESULT Frame::SetMaterialMode(D3DRMMATERIALMODE mode) {
  if (mode > D3DRMMATERIAL_FROMFRAME) return D3DRMERR_BADVALUE;
  EngineLock lock;
  materialMode_ = mode;
  return D3DRM_OK;
}

D3DRMMATERIALMODE Frame::GetMaterialMode() {
  EngineLock lock;
  return materialMode_;
}

HRESULT Frame::SetTexture(IDirect3DRMTexture3* texture) {
  EngineLock lock;
  texture_ = ComPtr<IDirect3DRMTexture3>(texture);
  return D3DRM_OK;
}

HRESULT Frame::GetTexture(IDirect3DRMTexture3** texture) {
  EngineLock lock;
  return HandOut(texture_.Get(), texture);
}

HRESULT Frame::SetTraversalOptions(DWORD flags) {
  if (flags & ~(D3DRMFRAME_RENDERENABLE | D3DRMFRAME_PICKENABLE)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  traversal_ = flags;
  return D3DRM_OK;
}

HRESULT Frame::GetTraversalOptions(DWORD* flags) {
  if (!flags) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *flags = traversal_;
  return D3DRM_OK;
}

// ---- Scene settings (read by renderers from the scene root) -----------------

HRESULT Frame::SetSceneBackground(D3DCOLOR color) {
  EngineLock lock;
  scene_.background = color;
  return D3DRM_OK;
}

HRESULT Frame::SetSceneBackgroundRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) {
  return SetSceneBackground(ColorFromRGB(r, g, b));
}

D3DCOLOR Frame::GetSceneBackground() {
  EngineLock lock;
  return scene_.background;
}

HRESULT Frame::SetSceneBackgroundImage(IDirect3DRMTexture3* texture) {
  EngineLock lock;
  scene_.backgroundImage = ComPtr<IDirect3DRMTexture3>(texture);
  return D3DRM_OK;
}

HRESULT Frame::GetSceneBackgroundImage(IDirect3DRMTexture3** texture) {
  EngineLock lock;
  return HandOut(scene_.backgroundImage.Get(), texture);
}

HRESULT Frame::SetSceneFogEnable(BOOL enable) {
  EngineLock lock;
  scene_.fogEnabled = enable != FALSE;
  return D3DRM_OK;
}

BOOL Frame::GetSceneFogEnable() {
  EngineLock lock;
  return scene_.fogEnabled ? TRUE : FALSE;
}

HRESULT Frame::SetSceneFogColor(D3DCOLOR color) {
  EngineLock lock;
  scene_.fogColor = color;
  return D3DRM_OK;
}

D3DCOLOR Frame::GetSceneFogColor() {
  EngineLock lock;
  return scene_.fogColor;
}

HRESULT Frame::SetSceneFogMode(D3DRMFOGMODE mode) {
  if (mode > D3DRMFOG_EXPONENTIALSQUARED) return D3DRMERR_BADVALUE;
  EngineLock lock;
  scene_.fogMode = mode;
  return D3DRM_OK;
}

D3DRMFOGMODE Frame::GetSceneFogMode() {
  EngineLock lock;
  return scene_.fogMode;
}

HRESULT Frame::SetSceneFogParams(D3DVALUE start, D3DVALUE end, D3DVALUE density) {
  if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(density)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  scene_.fogStart = start;
  scene_.fogEnd = end;
  scene_.fogDensity = density;
  return D3DRM_OK;
}

HRESULT Frame::GetSceneFogParams(D3DVALUE* start, D3DVALUE* end, D3DVALUE* density) {
  EngineLock lock;
  if (start) *start = scene_.fogStart;
  if (end) *end = scene_.fogEnd;
  if (density) *density = scene_.fogDensity;
  return D3DRM_OK;
}

HRESULT Frame::SetSceneFogMethod(D3DRMFOGMETHOD method) {
  if (method != D3DRMFOGMETHOD_VERTEX && method != D3DRMFOGMETHOD_TABLE && method != D3DRMFOGMETHOD_ANY)
    return D3DRMERR_BADVALUE;
  EngineLock lock;
  scene_.fogMethod = method;
  return D3DRM_OK;
}

HRESULT Frame::GetSceneFogMethod(D3DRMFOGMETHOD* method) {
  if (!method) return D3DRMERR_BADVALUE;
  EngineLock lock;
  *method = scene_.fogMethod;
  return D3DRM_OK;
}

}  // namespace kv::rm
