// A form with a view, a scene, a camera, lights and visual objects (a lit
// cube, a tube, a mesh file, a sphere casting a shadow on a plate; the
// shadow plane is given in the ball's own frame) rendered headless and compared with a
// stored picture in ref/. A pixel may differ by at most kMaxChannel in any
// channel and the whole picture by kMeanChannel on average (another
// compiler or the vector pixel code may round a few pixels differently). A
// failing comparison writes the actual picture and a difference picture
// (differences times 8) into <build>/objects-ref/.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "package/view/ViewFixture.h"
#include "korvane3d/rm/image/Image.h"
#include "support/ReferenceImage.h"

using namespace kv;

namespace kvtest {
namespace {

constexpr int kMaxChannel = 16;
constexpr double kMeanChannel = 0.5;

const char* const kObjectsForm = R"(object Form1: TForm
  Width = 160
  Height = 120
  object View1: TKV3DView
    Left = 0
    Top = 0
    Width = 128
    Height = 96
    Scene = Scene1
    Camera = Camera1
  end
  object Scene1: TKV3DScene
    BackgroundColor = clNavy
  end
  object Camera1: TKV3DCamera
    ParentFrame = Scene1
    Position.Y = 1.0
    Position.Z = -6.0
  end
  object Ambient: TKV3DLight
    ParentFrame = Scene1
    Type = tAmbient
    Color = $00404040
  end
  object Sun: TKV3DLight
    ParentFrame = Scene1
    Position.Y = 6.0
    Position.Z = -2.0
    Orientation.DirY = -1.0
    Orientation.DirZ = 0.4
    Orientation.UpZ = 1.0
  end
  object Box: TKV3DObject
    ParentFrame = Scene1
    Position.X = -1.6
    Position.Y = 0.6
    Orientation.DirX = 0.6
    Orientation.DirY = 0.3
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
    Mesh.ActiveShape = stCube
    Scale.X = 1.2
    Scale.Y = 1.2
    Scale.Z = 1.2
    Color = clRed
  end
  object Tube: TKV3DObject
    ParentFrame = Scene1
    Position.X = 1.5
    Position.Y = 0.2
    Orientation.DirY = -0.8
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
    Mesh.Prism.Depth = 1.0
    Mesh.Prism.Aperture = 0.5
    Mesh.Prism.Vertices = 12
    Mesh.ActiveShape = stPrism
    Color = clYellow
  end
  object Ball: TKV3DObject
    ParentFrame = Scene1
    Position.Y = 1.2
    Position.Z = 1.0
    Mesh.ActiveShape = stSphere
    Scale.X = 0.6
    Scale.Y = 0.6
    Scale.Z = 0.6
    Color = clLime
    Shadow.PlaneY = -2.1
    Shadow.Light = Sun
  end
  object Crate: TKV3DObject
    ParentFrame = Scene1
    Position.X = 2.6
    Position.Y = 2.2
    Position.Z = 3.0
    Orientation.DirX = -0.7
    Orientation.DirY = -0.5
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
    Mesh.File.FileName = '%CUBE%'
    Color = clAqua
  end
  object Plate: TKV3DObject
    ParentFrame = Scene1
    Position.Y = -1.0
    Mesh.Cube.Grid = 4
    Mesh.ActiveShape = stCube
    Scale.X = 6.0
    Scale.Y = 0.1
    Scale.Z = 5.0
    Color = clSilver
  end
end
)";

std::filesystem::path OutDir() { return std::filesystem::path(KV_BINARY_DIR) / "objects-ref"; }

kv::image::Image ToImage(const kv::ddraw::PixelImage& shown) {
  kv::image::Image img;
  img.width = shown.width;
  img.height = shown.height;
  img.pixels.reserve(shown.pixels.size());
  for (std::uint32_t p : shown.pixels) img.pixels.push_back(0xFF000000u | p);
  return img;
}

void CompareWithReference(const kv::image::Image& actual, const std::string& name) {
  kvtest::CompareWithReferencePng(
      actual, std::filesystem::path(KV_SOURCE_DIR) / "tests/package/objects/ref" / (name + ".png"), OutDir(),
      {kMaxChannel, kMeanChannel});
}

class ObjectImage : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    kv::ddraw::ResetHeadlessDisplay();
    ResetSharedRuntime();
    Register();
  }
  void TearDown() override {
    root.reset();
    ResetSharedRuntime();
    kv::ddraw::ResetHeadlessDisplay();
  }
  std::unique_ptr<TComponent> root;
};

TEST_F(ObjectImage, LitObjectsWithAShadowMatchTheirPicture) {
  // A mesh file beside the generated shapes: a cube of our own, written in
  // the binary encoding.
  const std::string cube = (std::filesystem::path(KV_BINARY_DIR) / "objects-crate.x").string();
  {
    TKV3DObject source(nullptr);
    source.Mesh()->SetActiveShape(stCube);
    source.Mesh()->File()->SetFormat(ffBinary);
    ASSERT_TRUE(source.Mesh()->File()->SaveToFile(cube)) << LastErrorText();
  }
  std::string text = kObjectsForm;
  text.replace(text.find("%CUBE%"), 6, cube);
  root = ReadComponentText(text, "objects.kvf");
  ASSERT_NE(root, nullptr) << LastErrorText();
  auto* view = dynamic_cast<TKV3DView*>(root->FindComponent("View1"));
  ASSERT_NE(view, nullptr);
  static_cast<TForm*>(root.get())->Show();
  ASSERT_TRUE(WaitForChange(view));
  ASSERT_NE(view->GetIDirect3DRMViewport2(), nullptr);
  EXPECT_FALSE(view->Render());
  const kv::ddraw::PixelImage shown = kv::ddraw::ReadWindowPixels(view->Handle());
  ASSERT_EQ(shown.width, 128);
  ASSERT_EQ(shown.height, 96);
  CompareWithReference(ToImage(shown), "lit-objects");
}

}  // namespace
}  // namespace kvtest
