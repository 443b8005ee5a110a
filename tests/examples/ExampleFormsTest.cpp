// Every example form loads, builds its objects (each with geometry, each
// named texture loaded) and draws more than its background.
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "ExamplesFixture.h"
#include "korvane3d/frames/Kv3dframe.h"
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

TEST_P(ExampleForms, WrittenBackAndReadAgainEverythingStaysWhereItWas) {
  // Twice, so that a placement that moves a little at each save shows.
  form = ReadComponentResFile(GetParam());
  ASSERT_NE(form, nullptr) << LastErrorText();
  std::unique_ptr<TComponent> again;
  for (int round = 0; round < 2; ++round) {
    std::string text;
    ASSERT_TRUE(WriteComponentText(round == 0 ? form.get() : again.get(), text)) << LastErrorText();
    again = ReadComponentText(text, "again.kvf");
    ASSERT_NE(again, nullptr) << LastErrorText() << "\n" << text;
  }
  for (int i = 0; i < form->ComponentCount(); ++i) {
    auto* frame = dynamic_cast<TKV3DCustomFrame*>(form->Components(i));
    if (frame == nullptr) continue;
    SCOPED_TRACE(frame->Name());
    auto* back = dynamic_cast<TKV3DCustomFrame*>(again->FindComponent(frame->Name()));
    ASSERT_NE(back, nullptr);
    const auto near = [](float a, float b) { return std::abs(a - b) < 1e-5f; };
    TKV3DPosition* p = frame->Position();
    TKV3DPosition* q = back->Position();
    EXPECT_TRUE(near(q->GetX(), p->GetX()) && near(q->GetY(), p->GetY()) && near(q->GetZ(), p->GetZ()))
        << q->GetX() << ", " << q->GetY() << ", " << q->GetZ();
    TKV3DOrientation* o = frame->Orientation();
    TKV3DOrientation* r = back->Orientation();
    EXPECT_TRUE(near(r->GetDirX(), o->GetDirX()) && near(r->GetDirY(), o->GetDirY()) &&
                near(r->GetDirZ(), o->GetDirZ()) && near(r->GetUpY(), o->GetUpY()));
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleForms,
                         ::testing::Values("solar_system.kvf", "textured_shapes.kvf", "fog_lights_shadows.kvf"),
                         [](const auto& info) { return std::filesystem::path(info.param).stem().string(); });

}  // namespace
}  // namespace kvtest
