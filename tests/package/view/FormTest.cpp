// A form with a view, a scene with background and fog, a camera and a light:
// read from text, rendered headless and in a real SDL window, written back.
#include "host/Error.h"
#include "host/FormStream.h"
#include "support/XServer.h"
#include "ViewFixture.h"

namespace kvtest {
namespace {

const char* const kViewForm = R"(object Form1: TForm
  Left = 20
  Top = 20
  Width = 160
  Height = 120
  object View1: TKV3DView
    Left = 0
    Top = 0
    Width = 96
    Height = 64
    Scene = Scene1
    Camera = Camera1
    DisplayMode = dm800x600x32
    RenderDelta = 0.5
    StorageFileName = 'store.kvf'
    Quality.ShadeMode = smFlat
    Quality.TextureQuality = tqLinear
    Plane.Back = 200.0
    ProjectionType = ptOrthographic
    RenderMode = [rmSortedTransparency]
    ShowBackFaces = True
  end
  object Scene1: TKV3DScene
    Fog.Color = clGray
    Fog.Visible = True
    BackgroundColor = clNavy
  end
  object Camera1: TKV3DCamera
    ParentFrame = Scene1
  end
  object Light1: TKV3DLight
    ParentFrame = Scene1
  end
end
)";

TKV3DView* FindView(TComponent* root) {
  for (int i = 0; i < root->ComponentCount(); ++i)
    if (auto* v = dynamic_cast<TKV3DView*>(root->Components(i))) return v;
  return nullptr;
}

// Reads the form, shows it and waits for the view's chain.
std::unique_ptr<TComponent> ShowForm(const char* text, TKV3DView*& view) {
  Register();
  std::unique_ptr<TComponent> root = ReadComponentText(text, "view.kvf");
  if (!root) return root;
  view = FindView(root.get());
  static_cast<TForm*>(root.get())->Show();
  WaitForChange(view);
  return root;
}

class ViewForms : public ViewTest {};

TEST_F(ViewForms, FormRendersItsSceneAndWritesBackWhatItRead) {
  TKV3DView* view = nullptr;
  std::unique_ptr<TComponent> root = ShowForm(kViewForm, view);
  ASSERT_NE(root, nullptr) << LastErrorText();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_EQ(view->DisplayMode(), dm800x600x32);
  EXPECT_EQ(view->StorageFileName(), "store.kvf");
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetQuality(), 0x88u);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetTextureQuality(), 1u);
  EXPECT_EQ(view->GetIDirect3DRMDevice3()->GetRenderMode(), 3u);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetBack(), 200.0f);
  EXPECT_EQ(view->GetIDirect3DRMViewport2()->GetProjection(), D3DRMPROJECT_ORTHOGRAPHIC);

  EXPECT_FALSE(view->Render());
  const auto shown = kv::ddraw::ReadWindowPixels(view->Handle());
  ASSERT_EQ(shown.width, 96);
  ASSERT_EQ(shown.height, 64);
  EXPECT_EQ(shown.At(0, 0), 0x000080u);
  EXPECT_EQ(shown.At(95, 63), 0x000080u);

  std::string written;
  ASSERT_TRUE(WriteComponentText(root.get(), written));
  for (const char* line : {"DisplayMode = dm800x600x32", "RenderDelta = 0.5", "StorageFileName = 'store.kvf'", "Quality.ShadeMode = smFlat",
                           "Quality.TextureQuality = tqLinear", "Plane.Back = 200.0", "ProjectionType = ptOrthographic",
                           "RenderMode = [rmBlendedTransparency, rmSortedTransparency]", "ShowBackFaces = True",
                           "Scene = Scene1", "Camera = Camera1"})
    EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
  for (const char* absent : {"AutoRender", "DriverType", "UniformScaling", "Plane.Front", "Quality.LightMode"})
    EXPECT_EQ(written.find(absent), std::string::npos) << absent << "\n" << written;
  // The published order: the view's own properties after the control's.
  EXPECT_LT(written.find("Scene = Scene1"), written.find("DisplayMode"));
  EXPECT_LT(written.find("Quality.ShadeMode"), written.find("Plane.Back"));
  EXPECT_LT(written.find("Plane.Back"), written.find("ProjectionType"));
}

TEST_F(ViewForms, BadViewValuesNameTheLineAndBuildNothing) {
  Register();
  struct Case {
    const char* line;
    const char* property;
  };
  for (const Case& c : {Case{"DisplayMode = dm800x600x31", "DisplayMode"}, Case{"Quality.FillMode = fmDots", "Quality.FillMode"},
                        Case{"RenderMode = [rmBogus]", "RenderMode"}, Case{"Plane.Field = 'wide'", "Plane.Field"}}) {
    const std::string text = std::string("object Form1: TForm\n  object View1: TKV3DView\n    ") + c.line + "\n  end\nend\n";
    EXPECT_EQ(ReadComponentText(text, "bad.kvf"), nullptr) << c.line;
    EXPECT_NE(LastErrorText().find("bad.kvf:3"), std::string::npos) << LastErrorText();
    EXPECT_NE(LastErrorText().find(c.property), std::string::npos) << LastErrorText();
  }
}

TEST(ViewRealWindow, FormRendersInAnSdlWindow) {
  XServer x;
  if (!x.Available()) GTEST_SKIP() << x.Reason();
  if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl)
    GTEST_SKIP() << "SDL video did not start on this display";
  ResetSharedRuntime();
  {
    TKV3DView* view = nullptr;
    std::unique_ptr<TComponent> root = ShowForm(kViewForm, view);
    ASSERT_NE(root, nullptr) << LastErrorText();
    ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
    view->SetAutoRender(true);
    PumpFor(std::chrono::milliseconds(300));
    view->SetAutoRender(false);
    const auto shown = kv::ddraw::ReadWindowPixels(view->Handle());
    ASSERT_EQ(shown.width, 96);
    EXPECT_EQ(shown.At(10, 10), 0x000080u);
  }
  ResetSharedRuntime();
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
}

}  // namespace
}  // namespace kvtest
