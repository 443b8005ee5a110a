#include "DemoForm.h"

namespace kv::viewer {

std::string DemoFormText() {
  return R"(object DemoForm: TForm
  Left = 80
  Top = 60
  Width = 640
  Height = 480
  object View1: TKV3DView
    Align = alClient
    Scene = Scene1
    Camera = Camera1
    AutoRender = True
  end
  object Scene1: TKV3DScene
    BackgroundColor = clNavy
    Fog.Color = clGray
    Fog.Visible = True
  end
  object Camera1: TKV3DCamera
    ParentFrame = Scene1
  end
  object Light1: TKV3DLight
    ParentFrame = Scene1
  end
end
)";
}

}  // namespace kv::viewer
