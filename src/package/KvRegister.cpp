// The package's palette: its component classes in palette order. A unit
// adds its class here (include and one line) when it lands; the order of
// the list is the order on the page.
#include <vector>

#include "frames/Kv3dcamera.h"
#include "frames/Kv3dframe.h"
#include "host/Registry.h"
#include "input/Kvikeyboard.h"
#include "input/Kvimouse.h"
#include "objects/Kv3dobject.h"
#include "package/Kv.h"
#include "scene/Kv3dlight.h"
#include "scene/Kv3dscene.h"
#include "view/Kv3dview.h"

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
