// A form with a view, a scene, a camera, lights and visual objects (a lit
// cube, a tube, a mesh file, a sphere casting a shadow on a plate; the
// shadow plane is given in the scene's coordinates) rendered headless and
// compared with a stored picture in ref/.
#include <filesystem>
#include <string>

#include "ObjectImageFixture.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dshape.h"

using namespace kv;

namespace kvtest {
namespace {

const std::string kObjectsForm = PictureForm(
    "clNavy",
    "    Position.Y = 1.0\n"
    "    Position.Z = -6.0\n",
    R"(  object Ambient: TKV3DLight
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
    Shadow.PlaneY = -0.9
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
)");

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
  ASSERT_TRUE(Load(text));
  const kv::image::Image shown = Render();
  ASSERT_EQ(shown.width, 128);
  ASSERT_EQ(shown.height, 96);
  CompareWithReference(shown, "lit-objects");
}

}  // namespace
}  // namespace kvtest
