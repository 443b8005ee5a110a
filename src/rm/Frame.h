// Frames: the nodes of the scene graph. Each has a local matrix mapping its
// coordinates to its parent's, a continuous spin and a velocity advanced by
// Move, visuals and lights, appearance settings, and (used on scene roots)
// background and fog.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "korvane3d/rm/Math.h"
#include "korvane3d/rm/Object.h"

namespace kv::rm {

class Light;

struct SceneSettings {
  D3DCOLOR background = 0xff000000;
  ComPtr<IDirect3DRMTexture3> backgroundImage;
  bool fogEnabled = false;
  D3DCOLOR fogColor = 0xff000000;
  D3DRMFOGMODE fogMode = D3DRMFOG_LINEAR;
  float fogStart = 1.0f;
  float fogEnd = 100.0f;
  float fogDensity = 1.0f;
  D3DRMFOGMETHOD fogMethod = D3DRMFOGMETHOD_VERTEX;
};

class Frame;

// A link to a frame that does not keep it alive and reads null once the
// frame is gone (a light's enable frame, a wrap's reference frame). Read it
// with the engine lock held.
class FrameLink {
 public:
  FrameLink() = default;
  explicit FrameLink(Frame* frame);
  Frame* Get() const { return anchor_ ? *anchor_ : nullptr; }

 private:
  std::shared_ptr<Frame*> anchor_;
};

class Frame final : public ObjectImpl<IDirect3DRMFrame3> {
 public:
  static ComPtr<Frame> Create();
  // The engine's frame behind an interface pointer, or null for a foreign one.
  static Frame* From(IUnknown* object);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;

  HRESULT AddChild(IDirect3DRMFrame3* child) override;
  HRESULT DeleteChild(IDirect3DRMFrame3* child) override;
  HRESULT GetChildren(IDirect3DRMFrameArray** children) override;
  HRESULT GetParent(IDirect3DRMFrame3** parent) override;
  HRESULT GetScene(IDirect3DRMFrame3** scene) override;

  HRESULT AddVisual(IUnknown* visual) override;
  HRESULT DeleteVisual(IUnknown* visual) override;
  HRESULT GetVisuals(DWORD* count, IUnknown** visuals) override;
  HRESULT GetVisualArray(IDirect3DRMVisualArray** visuals) override;
  HRESULT AddLight(IDirect3DRMLight* light) override;
  HRESULT DeleteLight(IDirect3DRMLight* light) override;
  HRESULT GetLights(IDirect3DRMLightArray** lights) override;

  HRESULT AddTransform(D3DRMCOMBINETYPE type, const D3DRMMATRIX4D matrix) override;
  HRESULT AddTranslation(D3DRMCOMBINETYPE type, D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  HRESULT AddScale(D3DRMCOMBINETYPE type, D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) override;
  HRESULT AddRotation(D3DRMCOMBINETYPE type, D3DVALUE x, D3DVALUE y, D3DVALUE z, D3DVALUE theta) override;
  HRESULT GetTransform(IDirect3DRMFrame3* ref, D3DRMMATRIX4D matrix) override;
  HRESULT SetPosition(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  HRESULT GetPosition(IDirect3DRMFrame3* ref, D3DVECTOR* position) override;
  HRESULT SetOrientation(IDirect3DRMFrame3* ref, D3DVALUE dx, D3DVALUE dy, D3DVALUE dz, D3DVALUE ux, D3DVALUE uy,
                         D3DVALUE uz) override;
  HRESULT GetOrientation(IDirect3DRMFrame3* ref, D3DVECTOR* dir, D3DVECTOR* up) override;
  HRESULT SetRotation(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z, D3DVALUE theta) override;
  HRESULT GetRotation(IDirect3DRMFrame3* ref, D3DVECTOR* axis, D3DVALUE* theta) override;
  HRESULT SetVelocity(IDirect3DRMFrame3* ref, D3DVALUE x, D3DVALUE y, D3DVALUE z, BOOL withRotation) override;
  HRESULT GetVelocity(IDirect3DRMFrame3* ref, D3DVECTOR* velocity, BOOL withRotation) override;
  HRESULT Transform(D3DVECTOR* dst, const D3DVECTOR* src) override;
  HRESULT InverseTransform(D3DVECTOR* dst, const D3DVECTOR* src) override;

  HRESULT Move(D3DVALUE delta) override;
  HRESULT AddMoveCallback(D3DRMFRAME3MOVECALLBACK cb, void* arg, DWORD flags) override;
  HRESULT DeleteMoveCallback(D3DRMFRAME3MOVECALLBACK cb, void* arg) override;

  HRESULT SetColor(D3DCOLOR color) override;
  HRESULT SetColorRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  D3DCOLOR GetColor() override;
  HRESULT SetMaterialMode(D3DRMMATERIALMODE mode) override;
  D3DRMMATERIALMODE GetMaterialMode() override;
  HRESULT SetTexture(IDirect3DRMTexture3* texture) override;
  HRESULT GetTexture(IDirect3DRMTexture3** texture) override;
  HRESULT SetTraversalOptions(DWORD flags) override;
  HRESULT GetTraversalOptions(DWORD* flags) override;

  HRESULT SetSceneBackground(D3DCOLOR color) override;
  HRESULT SetSceneBackgroundRGB(D3DVALUE r, D3DVALUE g, D3DVALUE b) override;
  D3DCOLOR GetSceneBackground() override;
  HRESULT SetSceneBackgroundImage(IDirect3DRMTexture3* texture) override;
  HRESULT GetSceneBackgroundImage(IDirect3DRMTexture3** texture) override;
  HRESULT SetSceneFogEnable(BOOL enable) override;
  BOOL GetSceneFogEnable() override;
  HRESULT SetSceneFogColor(D3DCOLOR color) override;
  D3DCOLOR GetSceneFogColor() override;
  HRESULT SetSceneFogMode(D3DRMFOGMODE mode) override;
  D3DRMFOGMODE GetSceneFogMode() override;
  HRESULT SetSceneFogParams(D3DVALUE start, D3DVALUE end, D3DVALUE density) override;
  HRESULT GetSceneFogParams(D3DVALUE* start, D3DVALUE* end, D3DVALUE* density) override;
  HRESULT SetSceneFogMethod(D3DRMFOGMETHOD method) override;
  HRESULT GetSceneFogMethod(D3DRMFOGMETHOD* method) override;

  // Read-only access for renderers and the other engine objects; call with
  // the engine lock held.
  Frame* Parent() const { return parent_; }
  Frame* SceneRoot();
  const std::deque<ComPtr<Frame>>& Children() const { return children_; }
  const std::vector<ComPtr<IDirect3DRMVisual>>& Visuals() const { return visuals_; }
  const std::vector<ComPtr<Light>>& Lights() const { return lights_; }
  const Mat4& LocalMatrix() const { return local_; }
  Mat4 WorldMatrix() const;
  D3DCOLOR Color() const { return color_; }
  D3DRMMATERIALMODE MaterialMode() const { return materialMode_; }
  IDirect3DRMTexture3* FrameTexture() const { return texture_.Get(); }
  DWORD TraversalOptions() const { return traversal_; }
  const SceneSettings& Scene() const { return scene_; }
  // True when target is this frame or reachable from it through children
  // and frames used as visuals.
  bool Reaches(const Frame* target) const;
  bool IsAncestorOrSelf(const Frame* descendant) const;

 private:
  friend class FrameLink;
  struct MoveCallback {
    D3DRMFRAME3MOVECALLBACK cb;
    void* arg;
    DWORD flags;
    friend bool operator==(const MoveCallback&, const MoveCallback&) = default;
  };

  Frame();
  ~Frame() override;
  const char* ClassName() const override { return "Frame"; }

  void Detach();
  void Combine(D3DRMCOMBINETYPE type, const Mat4& n);
  bool RefToParent(IDirect3DRMFrame3* ref, Mat4& refToParent) const;
  bool ParentToRef(IDirect3DRMFrame3* ref, Mat4& parentToRef) const;
  Mat4 ParentWorld() const;
  ComPtr<Frame> CloneTree(Frame* parent) const;
  void RunMoveCallbacks(DWORD order, float delta);
  void ApplyMotion(float delta);

  Frame* parent_ = nullptr;
  // A deque: a child leaves a long list (the shared root's, a scene's) at
  // either end without the rest moving up.
  std::deque<ComPtr<Frame>> children_;
  std::vector<ComPtr<IDirect3DRMVisual>> visuals_;
  std::vector<ComPtr<Light>> lights_;
  Mat4 local_;
  Vec3 rotationAxis_{};  // parent coordinates, as given (not normalised)
  float rotationAngle_ = 0;
  Vec3 velocity_{};  // parent coordinates
  bool velocityWithRotation_ = false;
  // Row lengths the spin keeps, valid while the axes are as the last turn
  // left them.
  Vec3 spinLengths_{};
  Mat4 afterSpin_;
  bool spinLengthsValid_ = false;
  std::vector<MoveCallback> moveCallbacks_;
  std::uint64_t moveStamp_ = 0;
  D3DCOLOR color_ = 0xffffffff;
  D3DRMMATERIALMODE materialMode_ = D3DRMMATERIAL_FROMMESH;
  ComPtr<IDirect3DRMTexture3> texture_;
  DWORD traversal_ = D3DRMFRAME_RENDERENABLE | D3DRMFRAME_PICKENABLE;
  SceneSettings scene_;
  std::shared_ptr<Frame*> anchor_;
};

}  // namespace kv::rm
