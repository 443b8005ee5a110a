// Every example form loads, builds its objects (each with geometry, each
// named texture loaded) and draws more than its background.
#include <filesystem>
#include <string>

#include "ExamplesFixture.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dtexture.h"

using namespace kv;

namespace kvtest {
namespace {

class ExampleForms : public ExampleTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    ExampleTest::SetUp();
    // The forms name their files relative to the examples folder.
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(KV_EXAMPLES_DIR);
  }
  void TearDown() override {
    ExampleTest::TearDown();
    std::filesystem::current_path(previous_);
  }

 private:
  std::filesystem::path previous_;
};

TEST_P(ExampleForms, LoadsBuildsEveryObjectAndDraws) {
  form = ReadComponentResFile(GetParam());
  ASSERT_NE(form, nullptr) << LastErrorText();
  TKV3DView* view = ShowForm();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->Scene(), nullptr);

  int objects = 0;
  for (int i = 0; i < form->ComponentCount(); ++i) {
    auto* object = dynamic_cast<TKV3DObject*>(form->Components(i));
    if (object == nullptr) continue;
    ++objects;
    SCOPED_TRACE(object->Name());
    EXPECT_NE(object->Mesh()->GetIDirect3DMeshBuilder(), nullptr);
    EXPECT_GT(object->Mesh()->VertexCount(), 0u);
    if (!object->Texture()->FileName().empty()) {
      EXPECT_NE(object->Texture()->GetIDirect3DTexture(), nullptr);
    }
  }
  EXPECT_GE(objects, 3);

  const ddraw::PixelImage image = Draw(view, 10);
  ASSERT_GT(image.width, 0);
  EXPECT_GT(ShareNotBackground(image, view->Scene()), 0.02);  // the solar system is mostly space
  EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleForms,
                         ::testing::Values("solar_system.kvf", "textured_shapes.kvf", "fog_lights_shadows.kvf"),
                         [](const auto& info) { return std::filesystem::path(info.param).stem().string(); });

}  // namespace
}  // namespace kvtest
