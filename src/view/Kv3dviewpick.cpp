// Picking, collision checking and object storage of the view.
#include "view/Kv3dview.h"

namespace kv {

void TKV3DView::GenPick(int /*x*/, int /*y*/) {}

void TKV3DView::FindTopParentFrame(IDirect3DRMFrame* /*frame*/) {}

void TKV3DView::CollisionChecking() {}

void TKV3DView::CheckObjects(TKV3DObject* /*a*/, TKV3DObject* /*b*/) {}

void TKV3DView::AddToStorage(TObjectStorage /*kind*/) {}

void TKV3DView::AddToStorage(TKV3DFrame* /*frame*/) {}

void TKV3DView::DeleteFromStorage(TKV3DFrame* /*frame*/) {}

void TKV3DView::DeleteFromStorage(const std::string& /*name*/) {}

void TKV3DView::ClearStorage() {}

void TKV3DView::ReadStorage() {}

void TKV3DView::WriteStorage() {}

}  // namespace kv
