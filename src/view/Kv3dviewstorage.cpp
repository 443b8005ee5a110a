// Object storage of the view: frames the view owns, created, freed and
// cleared on request, and written to or read from a component-resource file
// named by StorageFileName.
#include <string>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

namespace {

constexpr int kStorageKinds = 5;

// The name a form designer would give: the class name without its leading
// T and the first number free among the owner's components. Named frames
// are read back into themselves by ReadStorage instead of being doubled.
std::string FreeFrameName(const TComponent& owner) {
  for (int n = 1;; ++n) {
    std::string name = "KV3DFrame" + std::to_string(n);
    if (owner.FindComponent(name) == nullptr) return name;
  }
}

}  // namespace

void TKV3DView::AddToStorage(TObjectStorage kind) {
  const int ordinal = static_cast<int>(kind);
  if (ordinal < 0 || ordinal >= kStorageKinds) return;
  auto* frame = new TKV3DFrame(this);  // owned by the view
  frame->SetName(FreeFrameName(*this));
}

void TKV3DView::AddToStorage(TKV3DFrame* /*frame*/) {}

void TKV3DView::DeleteFromStorage(TKV3DFrame* frame) {
  if (frame == nullptr) return;
  const TComponent* target = frame;
  for (int i = 0; i < ComponentCount(); ++i) {
    if (Components(i) == target) {
      delete Components(i);
      return;
    }
  }
}

void TKV3DView::DeleteFromStorage(const std::string& name) {
  for (int i = 0; i < ComponentCount(); ++i) {
    if (Components(i)->Name() == name) {
      delete Components(i);
      return;
    }
  }
}

void TKV3DView::ClearStorage() {
  // A destructor may free siblings too; the count is read afresh each time.
  while (ComponentCount() > 0) delete Components(0);
}

bool TKV3DView::ReadStorage() {
  if (storageFileName_.empty()) return true;
  return ReadComponentResFile(storageFileName_, this);
}

bool TKV3DView::WriteStorage() {
  if (storageFileName_.empty()) return true;
  return WriteComponentResFile(storageFileName_, this);
}

}  // namespace kv
