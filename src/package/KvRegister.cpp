// The package's palette: its component classes in palette order. A unit
// adds its class here (include and one line) when it lands; the order of
// the list is the order on the page.
#include <vector>

#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Registry.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dview.h"

namespace kv {

namespace {
std::vector<const TClassInfo*> PaletteClasses() {
  return {
      &TKV3DView::StaticClass(),
      &TKV3DScene::StaticClass(),
      &TKV3DCamera::StaticClass(),
      &TKV3DObject::StaticClass(),
      &TKV3DLight::StaticClass(),
      &TKV3DFrame::StaticClass(),
      &TKVIKeyboard::StaticClass(),
      &TKVIMouse::StaticClass(),
  };
}
}  // namespace

void Register() {
  for (const TClassInfo* cls : PaletteClasses()) RegisterComponents(kPalettePage, {cls});
}

}  // namespace kv
