// Pictures of appearance settings, each compared with a stored picture in
// ref/ and checked for the fact it shows: the decal's colour key and its
// changes at run time, point fills in the object's colours, blended shadows
// that darken each pixel once, and shadow planes that stay in the scene
// while their objects turn and move.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "ObjectImageFixture.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/scene/Kv3dlight.h"

using namespace kv;

namespace kvtest {
namespace {

// 0x00RRGGBB of what the view shows.
constexpr std::uint32_t kNavy = 0x000080, kRed = 0xFF0000, kLime = 0x00FF00, kBlue = 0x0000FF, kBlack = 0,
                        kWhite = 0xFFFFFF;

int Count(const kv::image::Image& img, const std::function<bool(std::uint32_t)>& test) {
  int n = 0;
  for (std::uint32_t p : img.pixels) n += test(p & 0xFFFFFFu) ? 1 : 0;
  return n;
}
int CountColour(const kv::image::Image& img, std::uint32_t colour) {
  return Count(img, [colour](std::uint32_t p) { return p == colour; });
}
std::uint32_t At(const kv::image::Image& img, int x, int y) {
  return img.pixels[static_cast<std::size_t>(y) * img.width + x] & 0xFFFFFFu;
}
int Channel(std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 255); }
bool Grey(std::uint32_t p) { return Channel(p, 16) == Channel(p, 8) && Channel(p, 8) == Channel(p, 0); }

std::string Replace(std::string text, const std::string& key, const std::string& value) {
  for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
  return text;
}

// ---- Decal colour key -------------------------------------------------------------

// A card (the front face of a cube) facing the camera, unlit, with a 2x2
// texture of red, lime, blue and black texels spread over it.
const std::string kCardForm = PictureForm(
    "clNavy",
    "    Position.Z = -2.5\n",
    R"(  object Card: TKV3DObject
    ParentFrame = Scene1
    Mesh.ActiveShape = stCube
    Quality.LightMode = False
    Wrap.Type = twFlat
    Wrap.OriginX = -0.5
    Wrap.OriginY = -0.5
    Wrap.DirZ = 1.0
    Wrap.UpY = 1.0
    Texture.Decal.Transparent = True
    Texture.Decal.TransparentColor = clLime
    Texture.FileName = '@TEXTURE@'
  end
)");

std::string FourColourTexture() {
  const std::filesystem::path dir = std::filesystem::path(KV_BINARY_DIR) / "objects-ref";
  std::filesystem::create_directories(dir);
  kv::image::Image texture;
  texture.width = 2;
  texture.height = 2;
  texture.pixels = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u};
  const std::string path = (dir / "four-colours.png").string();
  EXPECT_TRUE(kv::image::SavePng(path, texture));
  return path;
}

TEST_F(ObjectImage, TheDecalKeysItsChosenColourAndFollowsChangesAtTheNextFrame) {
  ASSERT_TRUE(Load(Replace(kCardForm, "@TEXTURE@", FourColourTexture())));
  TKV3DDecal* decal = Find("Card")->Texture()->Decal();

  // Lime is keyed away (the background shows through); black stays.
  const kv::image::Image keyed = Render();
  CompareWithReference(keyed, "decal-key");
  EXPECT_EQ(CountColour(keyed, kLime), 0);
  EXPECT_GT(CountColour(keyed, kBlack), 200);
  EXPECT_GT(CountColour(keyed, kRed), 200);
  const int holes = CountColour(keyed, kNavy);
  EXPECT_GT(holes, 200);

  // Another colour, no key, the key again: each shows at the next frame.
  decal->SetTransparentColor(clRed);
  const kv::image::Image red = Render();
  EXPECT_EQ(CountColour(red, kRed), 0);
  EXPECT_GT(CountColour(red, kLime), 200);
  EXPECT_EQ(CountColour(red, kNavy), holes);
  decal->SetTransparent(false);
  const kv::image::Image opaque = Render();
  for (std::uint32_t c : {kRed, kLime, kBlue, kBlack}) EXPECT_GT(CountColour(opaque, c), 200) << std::hex << c;
  EXPECT_LT(CountColour(opaque, kNavy), holes);
  decal->SetTransparent(true);
  EXPECT_EQ(CountColour(Render(), kRed), 0);
}

// ---- Point fills -------------------------------------------------------------------

// Three spheres drawn as points: red lit with Gouraud shading, lime unlit,
// blue lit with flat shading.
const std::string kPointsForm = PictureForm(
    "clBlack",
    "    Position.Z = -4.0\n",
    R"(  object Ambient: TKV3DLight
    ParentFrame = Scene1
    Type = tAmbient
    Color = $00404040
  end
  object Sun: TKV3DLight
    ParentFrame = Scene1
    Orientation.DirX = 0.3
    Orientation.DirY = -0.5
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
  end
  object Lit: TKV3DObject
    ParentFrame = Scene1
    Position.X = -1.3
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Edges = 12
    Mesh.Sphere.Walls = 12
    Scale.X = 0.6
    Scale.Y = 0.6
    Scale.Z = 0.6
    Quality.FillMode = tfPoints
    Color = clRed
  end
  object Unlit: TKV3DObject
    ParentFrame = Scene1
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Edges = 12
    Mesh.Sphere.Walls = 12
    Scale.X = 0.6
    Scale.Y = 0.6
    Scale.Z = 0.6
    Quality.FillMode = tfPoints
    Quality.LightMode = False
    Color = clLime
  end
  object Flat: TKV3DObject
    ParentFrame = Scene1
    Position.X = 1.3
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Edges = 12
    Mesh.Sphere.Walls = 12
    Scale.X = 0.6
    Scale.Y = 0.6
    Scale.Z = 0.6
    Quality.FillMode = tfPoints
    Quality.ShadeMode = tsFlat
    Color = clBlue
  end
)");

TEST_F(ObjectImage, PointsTakeTheObjectsColourLitOrUnlit) {
  ASSERT_TRUE(Load(kPointsForm));
  const kv::image::Image points = Render();
  CompareWithReference(points, "points");
  // Each third of the picture holds one sphere's points, in its colour
  // alone (lit points vary in brightness, the unlit ones are exact).
  const int third = points.width / 3;
  int lit = 0, unlit = 0, flat = 0;
  for (int y = 0; y < points.height; ++y)
    for (int x = 0; x < points.width; ++x) {
      const std::uint32_t p = At(points, x, y);
      if (p == kBlack) continue;
      if (x < third) {
        EXPECT_TRUE(Channel(p, 8) == 0 && Channel(p, 0) == 0) << std::hex << p << " at " << std::dec << x << "," << y;
        ++lit;
      } else if (x < 2 * third) {
        EXPECT_EQ(p, kLime) << x << "," << y;
        ++unlit;
      } else {
        EXPECT_TRUE(Channel(p, 16) == 0 && Channel(p, 8) == 0) << std::hex << p << " at " << std::dec << x << "," << y;
        ++flat;
      }
    }
  EXPECT_GT(lit, 40);
  EXPECT_GT(unlit, 40);
  EXPECT_GT(flat, 40);
}

// ---- Shadows ----------------------------------------------------------------------

// An unlit white floor (top at y = -0.95) under a light shining down at a
// slant, a ball and a turned box casting shadows onto the floor's top,
// given in the scene's coordinates.
std::string ShadowForm(const std::string& viewSettings) {
  return PictureForm(
      "clNavy",
      "    Position.Y = 2.0\n"
      "    Position.Z = -4.5\n"
      "    Orientation.DirY = -0.45\n"
      "    Orientation.DirZ = 1.0\n"
      "    Orientation.UpY = 1.0\n",
      R"(  object Ambient: TKV3DLight
    ParentFrame = Scene1
    Type = tAmbient
    Color = $00404040
  end
  object Sun: TKV3DLight
    ParentFrame = Scene1
    Orientation.DirX = 0.35
    Orientation.DirY = -1.0
    Orientation.DirZ = 0.3
    Orientation.UpZ = 1.0
  end
  object Floor: TKV3DObject
    ParentFrame = Scene1
    Position.Y = -1.0
    Mesh.ActiveShape = stCube
    Scale.X = 7.0
    Scale.Y = 0.1
    Scale.Z = 5.0
    Quality.LightMode = False
    Color = clWhite
  end
  object Ball: TKV3DObject
    ParentFrame = Scene1
    Position.X = -1.0
    Position.Z = 0.5
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Edges = 16
    Mesh.Sphere.Walls = 16
    Scale.X = 0.5
    Scale.Y = 0.5
    Scale.Z = 0.5
    Color = clRed
    Shadow.PlaneY = -0.95
    Shadow.Light = Sun
  end
  object Box: TKV3DObject
    ParentFrame = Scene1
    Position.X = 1.2
    Position.Y = 0.2
    Orientation.DirX = 0.6
    Orientation.DirY = 1.0
    Orientation.DirZ = 0.5
    Orientation.UpX = 1.0
    Orientation.UpZ = -0.2
    Mesh.ActiveShape = stCube
    Scale.X = 0.8
    Scale.Y = 0.8
    Scale.Z = 0.8
    Color = clBlue
    Shadow.PlaneY = -0.95
    Shadow.Light = Sun
  end
)",
      viewSettings);
}

TEST_F(ObjectImage, BlendedShadowsDarkenEachPixelOnce) {
  for (const char* mode : {"[rmBlendedTransparency]", "[rmBlendedTransparency, rmSortedTransparency]"}) {
    SCOPED_TRACE(mode);
    ASSERT_TRUE(Load(ShadowForm(std::string("    RenderMode = ") + mode + "\n")));
    const kv::image::Image shaded = Render();
    // The white floor at half strength, and no grey darker than that
    // (overlapping faces of a flattened mesh would darken it again).
    EXPECT_GT(Count(shaded, [](std::uint32_t p) { return p == 0x7F7F7F; }), 300);
    EXPECT_EQ(Count(shaded, [](std::uint32_t p) { return Grey(p) && Channel(p, 0) < 0x7F; }), 0);
    CompareWithReference(shaded, "shadow-blended");
    root.reset();
  }
}

TEST_F(ObjectImage, ShadowPlanesStayInTheSceneWhileTheirObjectsTurnAndMove) {
  ASSERT_TRUE(Load(ShadowForm("")));
  const kv::image::Image shaded = Render();
  CompareWithReference(shaded, "shadow-planes");
  TKV3DObject* ball = Find("Ball");
  TKV3DObject* box = Find("Box");
  ball->Shadow()->SetLight(nullptr);
  box->Shadow()->SetLight(nullptr);
  const kv::image::Image bare = Render();

  // Shadows (opaque black here) fall on the floor only, the turned box's
  // as well as the ball's.
  auto offTheFloor = [&bare](const kv::image::Image& img) {
    int off = 0;
    for (std::size_t i = 0; i < img.pixels.size(); ++i)
      off += (img.pixels[i] & 0xFFFFFFu) == kBlack && (bare.pixels[i] & 0xFFFFFFu) != kWhite ? 1 : 0;
    return off;
  };
  EXPECT_EQ(offTheFloor(shaded), 0);
  EXPECT_GT(CountColour(shaded, kBlack), 400);
  int boxShadow = 0;
  for (int y = 0; y < shaded.height; ++y)
    for (int x = shaded.width / 2; x < shaded.width; ++x) boxShadow += At(shaded, x, y) == kBlack ? 1 : 0;
  EXPECT_GT(boxShadow, 150);

  // Raised by 0.8, the ball throws the shadow it throws from the floor 0.8
  // along the light (the sun shines along (0.35, -1, 0.3)); only where the
  // ball itself hides the floor may the two pictures differ.
  ball->Shadow()->SetLight(Find<TKV3DLight>("Sun"));
  ball->Position()->SetY(0.8f);
  const kv::image::Image raised = Render();
  ball->Position()->SetY(0.0f);
  ball->Position()->SetX(-1.0f + 0.8f * 0.35f);
  ball->Position()->SetZ(0.5f + 0.8f * 0.3f);
  const kv::image::Image along = Render();
  auto isBall = [](std::uint32_t p) { return !Grey(p) && p != kNavy; };
  int compared = 0, differing = 0;
  for (std::size_t i = 0; i < raised.pixels.size(); ++i) {
    const std::uint32_t a = raised.pixels[i] & 0xFFFFFFu, b = along.pixels[i] & 0xFFFFFFu;
    if (isBall(a) || isBall(b)) continue;
    ++compared;
    differing += (a == kBlack) != (b == kBlack) ? 1 : 0;
  }
  EXPECT_GT(compared, raised.width * raised.height / 2);
  EXPECT_LE(differing, 6);
  EXPECT_EQ(offTheFloor(raised), 0);
}

}  // namespace
}  // namespace kvtest
