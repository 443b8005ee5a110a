// Files named in a form read from a file: found beside the form wherever the
// program runs, and each one that cannot be had reported once, naming the
// component, while the rest of the form works.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/EngineLock.h"
#include "korvane3d/rm/MeshBuilder.h"
#include "korvane3d/rm/xfile/XFile.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "support/OwnPictures.h"

using namespace kv;

namespace {

namespace fs = std::filesystem;

constexpr const char* kForm = R"(object Form1: TForm
  object Scene1: TKV3DScene
    BackgroundImage = 'data/sky.png'
  end
  object Ball: TKV3DObject
    ParentFrame = Scene1
    Mesh.ActiveShape = stSphere
    Texture.FileName = 'data\planet.bmp'
  end
  object Ship: TKV3DObject
    ParentFrame = Scene1
    Mesh.File.FileName = 'data/ship.x'
  end
  object Lost: TKV3DObject
    ParentFrame = Scene1
    Mesh.File.FileName = 'lost.x'
    Texture.FileName = 'lost.png'
    Texture.UseMipMap = True
  end
end
)";

// A square of two triangles: the first with a texture that lies beside the
// mesh file, the second with one that is nowhere.
kv::xfile::MeshData Ship() {
  kv::xfile::MeshData mesh;
  mesh.positions = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  mesh.faceSizes = {3, 3};
  mesh.faceVertices = {0, 1, 2, 0, 2, 3};
  mesh.texCoords = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
  mesh.materials.resize(2);
  mesh.materials[0].textureFile = "hull.bmp";
  mesh.materials[1].textureFile = "gone.bmp";
  mesh.faceMaterials = {0, 1};
  return mesh;
}

class FormFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    ResetSharedRuntime();
    Register();
    oldCwd_ = fs::current_path();
    root_ = fs::temp_directory_path() / ("kv-form-files-" + std::to_string(::getpid()));
    fs::create_directories(root_ / "forms" / "data");
    fs::create_directories(root_ / "elsewhere");
    fs::current_path(root_ / "elsewhere");
    previous_ = SetFileReportHandler([this](const std::string& text) { reports_.push_back(text); });
  }
  void TearDown() override {
    form_.reset();
    SetFileReportHandler(previous_);
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
    ResetSharedRuntime();
  }
  fs::path Data(const char* name) const { return root_ / "forms" / "data" / name; }
  template <class T>
  T* Find(const char* name) const {
    return dynamic_cast<T*>(form_->FindComponent(name));
  }
  bool Reported(const std::string& text) const {
    return std::count(reports_.begin(), reports_.end(), text) == 1;
  }

  fs::path oldCwd_, root_;
  FileReportHandler previous_;
  std::vector<std::string> reports_;
  std::unique_ptr<TForm> form_ = std::make_unique<TForm>(nullptr);
};

TEST_F(FormFiles, AreFoundBesideTheFormAndTheMissingOnesReportedOnce) {
  ASSERT_FALSE(kvtest::WritePicture(Data("sky.png")).empty());
  ASSERT_FALSE(kvtest::WritePicture(Data("planet.bmp")).empty());
  ASSERT_FALSE(kvtest::WritePicture(Data("hull.bmp"), 4, 4).empty());
  ASSERT_TRUE(kv::xfile::SaveFile(Data("ship.x").string(), Ship(), {}));
  const fs::path formFile = root_ / "forms" / "scene.kvf";
  std::ofstream(formFile) << kForm;

  // Run from another folder, with a relative name for the form.
  ASSERT_TRUE(ReadComponentResFile("../forms/scene.kvf", form_.get())) << LastErrorText();
  EXPECT_NE(Find<TKV3DObject>("Ball")->Texture()->GetIDirect3DTexture(), nullptr);
  ComPtr<IDirect3DRMTexture3> background;
  Find<TKV3DScene>("Scene1")->GetIDirect3DRMFrame3()->GetSceneBackgroundImage(background.ReleaseAndGetAddressOf());
  EXPECT_TRUE(background);

  auto* ship = Find<TKV3DObject>("Ship");
  ASSERT_NE(ship->Mesh()->GetIDirect3DMeshBuilder(), nullptr);
  EXPECT_EQ(ship->Mesh()->GetIDirect3DMeshBuilder()->GetFaceCount(), 2);

  // Each missing file once, although the form's loading reloads them.
  EXPECT_TRUE(Reported("Lost: mesh file \"lost.x\" not found"));
  EXPECT_TRUE(Reported("Lost: texture file \"lost.png\" not found"));
  EXPECT_TRUE(Reported("Ship: texture file \"gone.bmp\" named by ship.x not found"));
  EXPECT_EQ(reports_.size(), 3u) << ::testing::PrintToString(reports_);

  // The same name set again is no news; a file that appears loads, and
  // losing it again is.
  auto* lost = Find<TKV3DObject>("Lost");
  lost->Texture()->SetFileName("lost.png");
  EXPECT_EQ(reports_.size(), 3u);
  EXPECT_NE(LastErrorText().find("lost.png"), std::string::npos);
  ASSERT_FALSE(kvtest::WritePicture(root_ / "forms" / "lost.png").empty());
  lost->Texture()->SetFileName("lost.png");
  EXPECT_NE(lost->Texture()->GetIDirect3DTexture(), nullptr);
  fs::remove(root_ / "forms" / "lost.png");
  lost->Texture()->SetFileName("lost.png");
  EXPECT_EQ(reports_.size(), 4u);
}

// A mesh file loaded as it is (as the viewer shows one) keeps its own
// textures, found beside it wherever the program runs.
TEST_F(FormFiles, AMeshFileKeepsItsOwnTexturesFoundBesideIt) {
  ASSERT_FALSE(kvtest::WritePicture(Data("hull.bmp"), 4, 4).empty());
  ASSERT_TRUE(kv::xfile::SaveFile(Data("ship.x").string(), Ship(), {}));
  ComPtr<IDirect3DRMMeshBuilder3> builder;
  ASSERT_TRUE(InitDirect3DRM());
  ASSERT_EQ(SharedD3DRM3()->CreateMeshBuilder(builder.ReleaseAndGetAddressOf()), D3DRM_OK);
  TComponent about(nullptr);
  about.SetName("Model");
  TFileReports reports;
  ASSERT_EQ(TKV3DFile::LoadBuilder(builder.Get(), Data("ship.x").string(), &about, reports), D3DRM_OK);
  kv::rm::EngineLock lock;
  const kv::rm::MeshGeometry& g = kv::rm::MeshBuilder::From(builder.Get())->Geometry();
  ASSERT_EQ(g.FaceCount(), 2u);
  EXPECT_TRUE(g.groups[g.faceGroup[0]].texture);   // hull.bmp
  EXPECT_FALSE(g.groups[g.faceGroup[1]].texture);  // gone.bmp
  EXPECT_EQ(reports_, std::vector<std::string>{"Model: texture file \"gone.bmp\" named by ship.x not found"});

  const std::string junk = Data("junk.x").string();
  std::ofstream(junk) << "xof 0302txt 0064\nnot a mesh";
  EXPECT_EQ(TKV3DFile::LoadBuilder(builder.Get(), junk, &about, reports), D3DRMERR_BADFILE);
  EXPECT_NE(LastErrorText().find("could not be loaded"), std::string::npos) << LastErrorText();
  EXPECT_EQ(reports_.size(), 1u);  // the caller tells
}

TEST_F(FormFiles, TextInMemoryHasNoFolderAndAnEmptyHandlerIsSilent) {
  ASSERT_FALSE(kvtest::WritePicture(Data("planet.bmp")).empty());
  const std::string text = "object Form1: TForm\n  object Ball: TKV3DObject\n"
                           "    Texture.FileName = 'data/planet.bmp'\n  end\nend\n";
  ASSERT_TRUE(ReadComponentText(text, "memory.kvf", form_.get())) << LastErrorText();
  EXPECT_EQ(Find<TKV3DObject>("Ball")->Texture()->GetIDirect3DTexture(), nullptr);
  EXPECT_EQ(reports_, std::vector<std::string>{"Ball: texture file \"data/planet.bmp\" not found"});

  // A form that knows its folder (a program may set it for text it read
  // itself) finds the file.
  form_->SetFormFolder((root_ / "forms").string());
  Find<TKV3DObject>("Ball")->Texture()->SetFileName("data/planet.bmp");
  EXPECT_NE(Find<TKV3DObject>("Ball")->Texture()->GetIDirect3DTexture(), nullptr);

  SetFileReportHandler(nullptr);
  ClearLastError();
  Find<TKV3DObject>("Ball")->Mesh()->File()->SetFileName("nowhere.x");
  EXPECT_NE(LastErrorText().find("nowhere.x"), std::string::npos);  // still the last error
  EXPECT_EQ(reports_.size(), 1u);
}

}  // namespace
