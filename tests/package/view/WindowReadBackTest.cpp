// What an SDL window on a real X server shows, read back from the server
// itself, matches the headless render of the same form: background colour,
// a lit sphere with shading, and the window's placement of the view.
#ifdef KV_HAVE_XGRAB

#include <cstdlib>

#include "host/Error.h"
#include "host/FormStream.h"
#include "support/XGrab.h"
#include "support/XServer.h"
#include "ViewFixture.h"

namespace kvtest {
namespace {

const char* const kLitObjectForm = R"(object Form1: TForm
  Left = 30
  Top = 40
  Width = 160
  Height = 120
  object View1: TKV3DView
    Left = 12
    Top = 8
    Width = 96
    Height = 64
    Scene = Scene1
    Camera = Camera1
  end
  object Scene1: TKV3DScene
    BackgroundColor = $00804020
  end
  object Camera1: TKV3DCamera
    ParentFrame = Scene1
  end
  object Light1: TKV3DLight
    ParentFrame = Scene1
    Orientation.DirX = 0.5
    Orientation.DirY = -0.5
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
  end
  object Ball: TKV3DObject
    ParentFrame = Scene1
    Position.Z = 6.0
    Color = $0040C0F0
    Mesh.ActiveShape = stSphere
  end
end
)";

// Both renders use the same rasterizer; the tolerance covers only a
// conversion through another pixel format on the way to the screen.
constexpr int kChannelTolerance = 4;

int ChannelDistance(std::uint32_t a, std::uint32_t b) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
    worst = std::max(worst, d);
  }
  return worst;
}

struct ShownForm {
  std::unique_ptr<TComponent> root;
  TKV3DView* view = nullptr;
};

ShownForm ShowAndRender() {
  Register();
  ShownForm shown;
  shown.root = ReadComponentText(kLitObjectForm, "lit.kvf");
  if (!shown.root) return shown;
  for (int i = 0; i < shown.root->ComponentCount(); ++i)
    if (auto* v = dynamic_cast<TKV3DView*>(shown.root->Components(i))) shown.view = v;
  static_cast<TForm*>(shown.root.get())->Show();
  if (shown.view == nullptr || !WaitForChange(shown.view)) return shown;
  shown.view->Render();
  PumpFor(std::chrono::milliseconds(100));  // the window system catches up
  return shown;
}

TEST(ViewWindowReadBack, XServerShowsTheHeadlessRender) {
  XServer x;
  if (!x.Available()) GTEST_SKIP() << x.Reason();

  ResetSharedRuntime();
  kv::ddraw::PixelImage expected;
  {
    ShownForm headless = ShowAndRender();
    ASSERT_NE(headless.view, nullptr) << LastErrorText();
    expected = kv::ddraw::ReadWindowPixels(headless.view->Handle());
  }
  ResetSharedRuntime();
  ASSERT_EQ(expected.width, 96);
  ASSERT_EQ(expected.height, 64);
  // The reference itself shows what is compared: background at a corner,
  // a shaded sphere (lit side brighter than the far side) in the middle.
  EXPECT_EQ(expected.At(2, 2), 0x204080u);
  EXPECT_NE(expected.At(48, 32), 0x204080u);

  if (kv::platform::SelectBackend(kv::platform::BackendKind::Sdl) != kv::platform::BackendKind::Sdl)
    GTEST_SKIP() << "SDL video did not start on this display";
  ResetSharedRuntime();
  {
    ShownForm windowed = ShowAndRender();
    ASSERT_NE(windowed.view, nullptr) << LastErrorText();
    auto xWindow = XWindowOfSdlWindow(kv::platform::NativeWindowHandle(windowed.view->Handle()));
    ASSERT_TRUE(xWindow.has_value()) << "SDL does not run on X11";
    // The view's place inside the form's window, as the window system has it.
    POINT viewOrigin{0, 0};
    POINT formOrigin{0, 0};
    ClientToScreen(windowed.view->Handle(), &viewOrigin);
    ClientToScreen(static_cast<TForm*>(windowed.root.get())->Handle(), &formOrigin);
    EXPECT_EQ(viewOrigin.x - formOrigin.x, 12);
    EXPECT_EQ(viewOrigin.y - formOrigin.y, 8);

    const XPixels shown = GrabXWindow(*xWindow, viewOrigin.x - formOrigin.x, viewOrigin.y - formOrigin.y, 96, 64);
    ASSERT_TRUE(shown.Ok()) << shown.error;
    int worst = 0;
    int worstX = 0;
    int worstY = 0;
    for (int y = 0; y < 64; ++y) {
      for (int xPos = 0; xPos < 96; ++xPos) {
        const int d = ChannelDistance(shown.At(xPos, y), expected.At(xPos, y));
        if (d > worst) {
          worst = d;
          worstX = xPos;
          worstY = y;
        }
      }
    }
    EXPECT_LE(worst, kChannelTolerance) << "at " << worstX << "," << worstY << ": shown " << std::hex
                                        << shown.At(worstX, worstY) << ", headless " << expected.At(worstX, worstY);
  }
  ResetSharedRuntime();
  kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
}

}  // namespace
}  // namespace kvtest

#endif  // KV_HAVE_XGRAB
