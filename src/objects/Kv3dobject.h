// Unit Kv3dobject: the visual object, a frame that shows a mesh.
//
// TKV3DObject owns seven parts: the mesh (geometry) and six appearance
// objects (wrap, quality, shadow, scale, texture, material). Each part keeps
// a back pointer to the object; the object creates them in Init and frees
// them in its destructor. Assigning a part property copies into the owned
// part, it never replaces it.
//
// Construction order of the parts: wrap, quality, shadow, mesh, scale,
// texture, material. The mesh builds its first shape in its constructor and
// that rebuild ends in MeshChanged, which re-applies quality, shadow and wrap
// (so those exist first) and skips scale, texture and material while they
// are still missing.
//
// Every rebuild of the mesh re-applies perspective, quality, colour,
// material, texture, shadow and wrap to the new mesh builder (MeshChanged).
// The object keeps a copy of the mesh's bounding box for the view's
// collision test; the mesh and a change of scale refresh it.
//
// Threads: main thread, except DoOnMove, which runs inside the engine's Move
// on the thread that moves the scene (the view's render loop). What it reads
// of the object (the mesh builder and a chrome wrap) is a snapshot the main
// thread publishes under the engine lock whenever either changes.
#pragma once

#include <cstdint>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Event.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRMDef.h"
#include "korvane3d/rm/EngineLock.h"

namespace kv {

class TKV3DMesh;
class TKV3DWrap;
class TKV3DQuality;
class TKV3DShadow;
class TKV3DScale;
class TKV3DTexture;
class TKV3DMaterial;

// (Sender, CollisionObject).
using TCollisionEvent = TEvent<TObject*, TObject*>;

class TKV3DObject : public TKV3DFrame {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DObject(TComponent* owner);
  ~TKV3DObject() override;

  static constexpr float kInitialColorAlpha = 1.0f;

  // ---- Frame base steps ----------------------------------------------------------
  // Creates the seven parts in the order above.
  void Init() override;
  // The frame's engine frame; nothing else.
  void Create() override;
  // The frame's Loaded, then reloads the texture file now that every
  // property is known.
  void Loaded() override;
  // Reacts to a removed frame or light (the parts' links clear themselves).
  // Inserts, and components being freed, are no frames or lights to it: by
  // then only their component part is left.
  using NotificationIgnoresInsertsAndFrees = TKV3DObject;
  void Notification(TComponent* component, TOperation operation) override;
  // Gives the mesh builder the colour with ColorAlpha.
  void ChangeColor() override;
  // Re-applies placement, quality, colour, perspective, material, texture,
  // shadow, mesh and wrap.
  void Change() override;
  // Recomputes chrome wrap coordinates, then fires OnMove.
  void DoOnMove() override;
  // Main thread: publishes the mesh builder and the chrome wrap to the move
  // step (the mesh and the wrap call it when theirs change).
  void PublishMoveState();

  // ---- Parts ------------------------------------------------------------------------
  TKV3DMesh* Mesh() const { return mesh_.get(); }
  TKV3DWrap* Wrap() const { return wrap_.get(); }
  TKV3DQuality* Quality() const { return quality_.get(); }
  TKV3DShadow* Shadow() const { return shadow_.get(); }
  TKV3DScale* Scale() const { return scale_.get(); }
  TKV3DTexture* Texture() const { return texture_.get(); }
  TKV3DMaterial* Material() const { return material_.get(); }
  // Copy the given part's values into the owned one (Assign).
  bool SetMesh(const TKV3DMesh* value);
  bool SetWrap(const TKV3DWrap* value);
  bool SetQuality(const TKV3DQuality* value);
  bool SetShadow(const TKV3DShadow* value);
  bool SetScale(const TKV3DScale* value);
  bool SetTexture(const TKV3DTexture* value);
  bool SetMaterial(const TKV3DMaterial* value);

  // ---- Settings ---------------------------------------------------------------------
  bool Visible() const { return visible_; }
  // True hangs the mesh (and shadow) visuals on the frame, false takes every
  // mesh and shadow visual off it.
  void SetVisible(bool value);
  // The stored value is kept as set; the colour sent to the engine clamps
  // it to 0..1. Refuses a value that is not a number (false, last error).
  float ColorAlpha() const { return colorAlpha_; }
  bool SetColorAlpha(float value);
  bool CheckCollision() const { return checkCollision_; }
  void SetCheckCollision(bool value);
  // Counts changes of CheckCollision across all objects, so that the view
  // can keep its list of objects to check while none has changed.
  static std::uint64_t CheckCollisionChanges();
  // Reads the mesh builder's flag back when there is a builder.
  bool GetPerspective();
  void SetPerspective(bool value);
  void ChangePerspective();

  // ---- Bounding box of the mesh, in the object's own coordinates -------------------
  const D3DVECTOR& BoxMax() const { return boxMax_; }
  const D3DVECTOR& BoxMin() const { return boxMin_; }
  // Written by the mesh at every rebuild.
  void SetBox(const D3DRMBOX& box);
  // Counts box writes and freed objects across all objects, so that a pass
  // over many boxes (the view's collision pass, after each event handler)
  // can tell at once that none has changed.
  static std::uint64_t BoxChanges();

  // ---- Re-application -----------------------------------------------------------------
  // After every rebuild of the mesh: perspective, quality, colour, material,
  // texture, shadow, wrap.
  void MeshChanged();
  // After the texture's file changed: colour, material, texture, shadow, wrap.
  void UpdateTexture();
  void ChangeQualityMode();
  void ChangeMaterial();
  void ChangeTexture();
  void ChangeShadow();
  void ChangeWrapType();
  void ChangeMesh();
  // Undoes the scale in the vertices and applies it again.
  void ChangeScale();

  // ---- Collision and copies -------------------------------------------------------------
  // Fires OnCollision when assigned.
  void Collision(TObject* sender, TObject* collisionObject);
  // A new object with this one's owner (it belongs to that owner; without
  // one the caller frees it), parent, placement, settings and parts; its
  // mesh is regenerated from this mesh's parameters. ColorAlpha, ParentUpdate,
  // OnMove and Name are not copied.
  TKV3DObject* Clone();

  TCollisionEvent OnCollision;

 private:
  // What DoOnMove reads, on whatever thread moves the scene.
  struct MoveState {
    ComPtr<IDirect3DRMMeshBuilder3> builder;
    ComPtr<IDirect3DRMWrap> chromeWrap;  // only while the wrap is a chrome wrap
  };

  void DestroyParts();
  // The flag to the mesh builder; false when there is none.
  bool ApplyPerspective();

  bool visible_ = false;  // true once construction is over
  float colorAlpha_ = kInitialColorAlpha;
  std::unique_ptr<TKV3DWrap> wrap_;
  std::unique_ptr<TKV3DQuality> quality_;
  std::unique_ptr<TKV3DShadow> shadow_;
  std::unique_ptr<TKV3DScale> scale_;
  std::unique_ptr<TKV3DTexture> texture_;
  std::unique_ptr<TKV3DMaterial> material_;
  std::unique_ptr<TKV3DMesh> mesh_;
  bool checkCollision_ = false;
  bool perspective_ = true;
  D3DVECTOR boxMax_{0, 0, 0};
  D3DVECTOR boxMin_{0, 0, 0};
  MoveState moveState_ KV_GUARDED_BY(rm::EngineMutex());
};

}  // namespace kv
