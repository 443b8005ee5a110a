// What an application asks of a shown view: waiting for its device without
// polling, and saving what it drew as a PNG file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "korvane3d/host/Error.h"
#include "korvane3d/rm/image/Image.h"
#include "package/view/ViewFixture.h"

namespace kvtest {
namespace {

namespace fs = std::filesystem;

class ViewPicture : public ViewTest {
 protected:
  std::string TempPath(const std::string& name) const {
    return (fs::temp_directory_path() / ("kv-view-picture-" + std::to_string(::getpid()) + "-" + name)).string();
  }
};

TEST_F(ViewPicture, WaitsForTheDeviceThenSavesTheDrawnFrame) {
  MakeScene(clNavy);
  auto* view = new TKV3DView(form.get());
  view->SetParent(form.get());
  view->SetBounds(0, 0, 64, 48);
  view->SetScene(scene);
  view->SetCamera(camera);
  ASSERT_TRUE(view->WaitUntilReady()) << LastErrorText();
  EXPECT_FALSE(view->RenderLoop()->ChangePending());
  view->Render();  // false: presented (Flip reports a dropped frame as true)

  const std::string file = TempPath("frame.png");
  ASSERT_TRUE(view->SaveFrameToPNG(file)) << LastErrorText();
  image::Image saved;
  ASSERT_TRUE(image::LoadImageFile(file, saved));
  fs::remove(file);
  EXPECT_EQ(saved.width, 64);
  EXPECT_EQ(saved.height, 48);
  EXPECT_EQ(saved.pixels[24 * 64 + 32] & 0x00FFFFFFu, 0x00000080u) << "the navy background, as drawn";
}

TEST_F(ViewPicture, AFileThatCannotBeWrittenIsReportedAndTheViewDrawsOn) {
  MakeScene();
  TKV3DView* view = MakeView();
  view->SetScene(scene);
  view->SetCamera(camera);
  view->Render();  // false: presented (Flip reports a dropped frame as true)
  EXPECT_FALSE(view->SaveFrameToPNG(TempPath("no-such-folder") + "/frame.png"));
  EXPECT_NE(LastErrorText().find("no-such-folder"), std::string::npos) << LastErrorText();
  EXPECT_FALSE(view->Render()) << "still presents";
}

}  // namespace
}  // namespace kvtest
