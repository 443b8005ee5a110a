// TKV3DObject: creates its parts, relays the frame's life events to them in
// a fixed order and keeps the visibility, perspective and colour-alpha
// settings.
#include "korvane3d/objects/Kv3dobject.h"

#include <atomic>
#include <cmath>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/objects/Kv3dmaterial.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/objects/Kv3dwrap.h"
#include "korvane3d/rm/EngineLock.h"
#include "korvane3d/scene/Kv3dlight.h"

namespace kv {

namespace {
std::atomic<std::uint64_t> boxChanges{0};
void NoteBoxChange() { boxChanges.fetch_add(1, std::memory_order_relaxed); }
std::atomic<std::uint64_t> checkCollisionChanges{0};
}  // namespace

const TClassInfo& TKV3DObject::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DObject, TKV3DFrame>("TKV3DObject", [](PropertyBuilder<TKV3DObject>& p) {
    p.Boolean("Visible", &TKV3DObject::Visible, &TKV3DObject::SetVisible).Default(true);
    p.Object("Mesh", &TKV3DObject::Mesh, &TKV3DObject::SetMesh);
    p.Float("ColorAlpha", &TKV3DObject::ColorAlpha, &TKV3DObject::SetColorAlpha).Default(kInitialColorAlpha);
    p.Object("Scale", &TKV3DObject::Scale, &TKV3DObject::SetScale);
    p.Event("OnCollision", &TKV3DObject::OnCollision);
    p.Boolean("CheckCollision", &TKV3DObject::CheckCollision, &TKV3DObject::SetCheckCollision);
    p.Boolean("Perspective", &TKV3DObject::GetPerspective, &TKV3DObject::SetPerspective).Default(true);
    // Always written: against a stream default of 0 a black object would
    // write nothing and come back white.
    p.Color("Color", &TKV3DObject::Color, &TKV3DObject::SetColor).Stored(true);
    p.Object("Quality", &TKV3DObject::Quality, &TKV3DObject::SetQuality);
    p.Object("Wrap", &TKV3DObject::Wrap, &TKV3DObject::SetWrap);
    p.Object("Shadow", &TKV3DObject::Shadow, &TKV3DObject::SetShadow);
    p.Object("Texture", &TKV3DObject::Texture, &TKV3DObject::SetTexture);
    p.Object("Material", &TKV3DObject::Material, &TKV3DObject::SetMaterial);
  });
  return info;
}

TKV3DObject::TKV3DObject(TComponent* owner) : TKV3DFrame(owner, DeferConstruct{}) {
  Construct();
  // Set directly: while the parts were made the mesh had no frame to hang on.
  visible_ = true;
  colorAlpha_ = kInitialColorAlpha;
  PublishMoveState();  // the parts made while the object was not complete
}

TKV3DObject::~TKV3DObject() {
  NoteBoxChange();  // a freed object's box touches nothing any more
  // DoOnMove reads the mesh and wrap on the thread that moves the scene:
  // no Move may call it once freeing has begun.
  RemoveMoveCallback();
  DestroyParts();
}

void TKV3DObject::DestroyParts() {
  // Engine calls made while the parts are released stay whole against a
  // render on another thread: one step, under the engine lock.
  rm::EngineLock lock;
  wrap_.reset();
  texture_.reset();
  material_.reset();
  quality_.reset();
  shadow_.reset();
  mesh_.reset();
  scale_.reset();
}

void TKV3DObject::Init() {
  wrap_ = std::make_unique<TKV3DWrap>(this);
  quality_ = std::make_unique<TKV3DQuality>(this);
  shadow_ = std::make_unique<TKV3DShadow>(this);
  // The mesh's first rebuild ends in MeshChanged, which needs the three
  // parts above; it finds the mesh pointer itself still null.
  mesh_ = std::make_unique<TKV3DMesh>(this);
  scale_ = std::make_unique<TKV3DScale>(this);
  texture_ = std::make_unique<TKV3DTexture>(this);
  material_ = std::make_unique<TKV3DMaterial>(this);
  perspective_ = true;
}

void TKV3DObject::Create() { TKV3DFrame::Create(); }

void TKV3DObject::Loaded() {
  TKV3DFrame::Loaded();
  // Every other property is known now (UseMipMap, the decal), so the
  // texture file is loaded once more with all of them in place.
  if (texture_ && !texture_->FileName().empty()) {
    const std::string name = texture_->FileName();
    texture_->SetFileName(name);
  }
}

void TKV3DObject::Notification(TComponent* component, TOperation operation) {
  TKV3DFrame::Notification(component, operation);
  if (operation != opRemove || component == nullptr) return;
  const bool isFrame = dynamic_cast<TKV3DCustomFrame*>(component) != nullptr;
  if (isFrame && mesh_) mesh_->UpdateMeshVisible();
  if (dynamic_cast<TKV3DLight*>(component) != nullptr) {
    if (shadow_ && static_cast<TComponent*>(shadow_->Light()) == component) shadow_->SetLight(nullptr);
    if (mesh_) mesh_->UpdateMeshVisible();
  }
  if (isFrame && wrap_ && static_cast<TComponent*>(wrap_->RefFrame()) == component) wrap_->SetRefFrame(nullptr);
}

// ---- Parts --------------------------------------------------------------------------

bool TKV3DObject::SetMesh(const TKV3DMesh* value) { return !mesh_ || value == nullptr || mesh_->Assign(value); }
bool TKV3DObject::SetWrap(const TKV3DWrap* value) { return value == nullptr || wrap_->Assign(value); }
bool TKV3DObject::SetQuality(const TKV3DQuality* value) { return value == nullptr || quality_->Assign(value); }
bool TKV3DObject::SetShadow(const TKV3DShadow* value) { return value == nullptr || shadow_->Assign(value); }
bool TKV3DObject::SetScale(const TKV3DScale* value) { return value == nullptr || scale_->Assign(value); }
bool TKV3DObject::SetTexture(const TKV3DTexture* value) { return value == nullptr || texture_->Assign(value); }
bool TKV3DObject::SetMaterial(const TKV3DMaterial* value) { return value == nullptr || material_->Assign(value); }

// ---- Settings -----------------------------------------------------------------------

void TKV3DObject::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  if (mesh_) mesh_->SetVisible(value);
}

bool TKV3DObject::SetColorAlpha(float value) {
  if (!std::isfinite(value)) return Fail("the object's ColorAlpha must be a finite number");
  if (value == colorAlpha_) return true;
  colorAlpha_ = value;
  ChangeColor();
  return true;
}

bool TKV3DObject::GetPerspective() {
  if (IDirect3DRMMeshBuilder3* builder = mesh_ ? mesh_->GetIDirect3DMeshBuilder() : nullptr)
    perspective_ = builder->GetPerspective() != FALSE;
  return perspective_;
}

void TKV3DObject::SetPerspective(bool value) {
  if (value == perspective_) return;
  perspective_ = value;
  ChangePerspective();
}

void TKV3DObject::ChangePerspective() {
  if (!ApplyPerspective()) return;
  mesh_->Change();
}

bool TKV3DObject::ApplyPerspective() {
  IDirect3DRMMeshBuilder3* builder = mesh_ ? mesh_->GetIDirect3DMeshBuilder() : nullptr;
  if (builder == nullptr) return false;
  builder->SetPerspective(perspective_ ? TRUE : FALSE);
  return true;
}

std::uint64_t TKV3DObject::BoxChanges() { return boxChanges.load(std::memory_order_relaxed); }

void TKV3DObject::SetCheckCollision(bool value) {
  if (value == checkCollision_) return;
  checkCollision_ = value;
  checkCollisionChanges.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t TKV3DObject::CheckCollisionChanges() {
  return checkCollisionChanges.load(std::memory_order_relaxed);
}

void TKV3DObject::SetBox(const D3DRMBOX& box) {
  boxMin_ = box.min;
  boxMax_ = box.max;
  NoteBoxChange();
}

// ---- Re-application -----------------------------------------------------------------

void TKV3DObject::ChangeColor() {
  if (mesh_) mesh_->ChangeColor();
}

void TKV3DObject::Change() {
  ChangePosParams();
  ChangeQualityMode();
  ChangeColor();
  ChangePerspective();
  ChangeMaterial();
  ChangeTexture();
  ChangeShadow();
  ChangeMesh();
  ChangeWrapType();
}

void TKV3DObject::MeshChanged() {
  // A rebuild may have made a new builder, which starts without the flag;
  // GetPerspective reads the builder, so the flag would otherwise be lost.
  ApplyPerspective();
  ChangeQualityMode();
  ChangeColor();
  ChangeMaterial();
  ChangeTexture();
  ChangeShadow();
  ChangeWrapType();
}

void TKV3DObject::UpdateTexture() {
  ChangeColor();
  ChangeMaterial();
  ChangeTexture();
  ChangeShadow();
  ChangeWrapType();
}

void TKV3DObject::ChangeQualityMode() {
  if (quality_) quality_->Change();
}

void TKV3DObject::ChangeMaterial() {
  if (material_) material_->Change();
}

void TKV3DObject::ChangeTexture() {
  if (texture_) texture_->Change();
}

void TKV3DObject::ChangeShadow() {
  if (shadow_) shadow_->Change();
}

void TKV3DObject::ChangeWrapType() {
  if (wrap_) wrap_->Change();
}

void TKV3DObject::ChangeMesh() {
  if (mesh_) mesh_->Change();
}

void TKV3DObject::ChangeScale() {
  if (!scale_) return;
  scale_->UnChange();
  scale_->Change();
}

// ---- Movement, collision, copies ----------------------------------------------------

void TKV3DObject::PublishMoveState() {
  // The parts are still being made, or already going.
  if (ComponentState().Contains(csDestroying)) return;
  MoveState state;
  state.builder = ComPtr<IDirect3DRMMeshBuilder3>(mesh_ ? mesh_->GetIDirect3DMeshBuilder() : nullptr);
  if (wrap_ && wrap_->Type() == twChrome) state.chromeWrap = ComPtr<IDirect3DRMWrap>(wrap_->GetIDirect3DWrap());
  rm::EngineLock lock;
  moveState_ = std::move(state);
}

void TKV3DObject::DoOnMove() {
  rm::AssertEngineLocked();  // the engine calls move callbacks under its lock
  // A chrome wrap depends on where the object sits relative to the viewer.
  const MoveState& state = moveState_;
  if (state.chromeWrap && state.builder && GetIDirect3DRMFrame3() != nullptr)
    state.chromeWrap->ApplyRelative(GetIDirect3DRMFrame3(), state.builder.Get());
  OnMove(this);
}

void TKV3DObject::Collision(TObject* sender, TObject* collisionObject) { OnCollision(sender, collisionObject); }

TKV3DObject* TKV3DObject::Clone() {
  auto* clone = new TKV3DObject(Owner());  // belongs to the owner, if any
  clone->SetParentFrame(ParentFrame());
  clone->SetVisible(visible_);
  clone->SetPosition(Position());
  clone->SetRotation(Rotation());
  clone->SetOrientation(Orientation());
  clone->OnFramePicked = OnFramePicked;
  clone->SetVelocity(Velocity());
  clone->SetScale(scale_.get());
  clone->OnCollision = OnCollision;
  clone->checkCollision_ = checkCollision_;
  clone->SetPerspective(GetPerspective());
  clone->SetColor(color_);
  clone->SetQuality(quality_.get());
  clone->SetWrap(wrap_.get());
  clone->SetShadow(shadow_.get());
  clone->SetMaterial(material_.get());
  clone->SetMesh(mesh_.get());
  clone->SetTexture(texture_.get());
  return clone;
}

}  // namespace kv
