// Small lookups the appearance parts of a visual object share: the object's
// mesh builder and engine frame, each null when missing.
#pragma once

#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"

namespace kv {

inline IDirect3DRMMeshBuilder3* MeshBuilderOf(const TKV3DObject* object) {
  if (object == nullptr || object->Mesh() == nullptr) return nullptr;
  return object->Mesh()->GetIDirect3DMeshBuilder();
}

inline IDirect3DRMFrame3* FrameOf(const TKV3DObject* object) {
  return object != nullptr ? object->GetIDirect3DRMFrame3() : nullptr;
}

// Re-attaches the object's mesh (and shadow) visuals after the builder's
// appearance changed.
inline void RefreshMeshVisual(const TKV3DObject* object) {
  if (object != nullptr && object->Mesh() != nullptr) object->Mesh()->UpdateMeshVisible();
}

}  // namespace kv
