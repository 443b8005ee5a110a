// Texturing (filters, colour key, wraps, perspective), transparency,
// shadows, decals, backgrounds and output formats.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "RasterTestSupport.h"
#include "korvane3d/rm/raster/TileOutput.h"

namespace kv::raster::test {
namespace {

std::shared_ptr<const Texture> MakeTexture(int w, int h, std::vector<std::uint32_t> texels, bool mipmaps = false,
                                           bool key = false, std::uint32_t keyColor = 0, bool alpha = false) {
  TextureDesc desc;
  desc.width = w;
  desc.height = h;
  desc.pixels = texels;
  desc.mipmaps = mipmaps;
  desc.colorKey = key;
  desc.keyColor = keyColor;
  desc.hasAlpha = alpha;
  std::shared_ptr<const Texture> t;
  Result r = Texture::Create(desc, t);
  EXPECT_TRUE(r) << r.message;
  return t;
}

// A square that exactly fills a 64x64 viewport, uv 0..1 from the top-left.
TestMesh FullSquare(float uMax = 1, float vMax = 1) {
  TestMesh m = Square(0, 0, 1, 2);
  for (Vec2& uv : m.uvs) {
    uv.u *= uMax;
    uv.v *= vMax;
  }
  return m;
}

Canvas RenderTextured(std::shared_ptr<const Texture> tex, TextureFilter filter, TestMesh m = FullSquare(),
                      DrawCall d = Unlit(0xffffff)) {
  Canvas c(64, 64);
  c.state.textureFilter = filter;
  Rasterizer r;
  d.texture = std::move(tex);
  Render(r, c, {{m, d}});
  return c;
}

const std::vector<std::uint32_t> kQuad = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff};  // R G / B W

TEST(Texture, NearestAndLinear) {
  auto tex = MakeTexture(2, 2, kQuad);
  Canvas n = RenderTextured(tex, TextureFilter::Nearest);
  EXPECT_EQ(n.At(10, 10), 0xff0000u);
  EXPECT_EQ(n.At(50, 10), 0x00ff00u);
  EXPECT_EQ(n.At(10, 50), 0x0000ffu);
  EXPECT_EQ(n.At(50, 50), 0xffffffu);
  Canvas l = RenderTextured(tex, TextureFilter::Linear);
  Rgb nearCentre = ToRgb(l.At(16, 16));  // close to the red texel's centre
  EXPECT_GT(nearCentre.r, 245);
  EXPECT_LT(nearCentre.g, 10);
  Rgb mid = ToRgb(l.At(32, 16));  // between red and green, on the top row
  EXPECT_NEAR(mid.r, 128, 10);
  EXPECT_NEAR(mid.g, 128, 10);
  Rgb wrap = ToRgb(l.At(0, 16));  // repeat: the left edge blends with the right column
  EXPECT_GT(wrap.g, 100);
}

TEST(Texture, RepeatWrapsCoordinatesBeyondOne) {
  auto tex = MakeTexture(2, 2, kQuad);
  Canvas c = RenderTextured(tex, TextureFilter::Nearest, FullSquare(2, 2));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(c.At(x, y), c.At(x + 32, y + 32));
  EXPECT_EQ(c.At(5, 5), 0xff0000u);
  EXPECT_EQ(c.At(20, 5), 0x00ff00u);
}

TEST(Texture, MipFiltersPickSmallerLevelsWhenMinified) {
  // 8x8 checker of single texels: level 0 alternates, level 3 is the average.
  std::vector<std::uint32_t> texels(64);
  for (int i = 0; i < 64; ++i) texels[i] = ((i % 8 + i / 8) % 2) ? 0xffffffff : 0xff000000;
  auto tex = MakeTexture(8, 8, texels, true);
  ASSERT_EQ(tex->LevelCount(), 4);
  TestMesh small = Square(0, 0, 0.06f, 2);  // 8 texels on about 4 pixels
  for (TextureFilter f : {TextureFilter::MipNearest, TextureFilter::MipLinear, TextureFilter::LinearMipNearest,
                          TextureFilter::LinearMipLinear}) {
    Canvas c = RenderTextured(tex, f, small);
    Rgb p = ToRgb(c.At(32, 32));
    EXPECT_NEAR(p.r, 128, 40) << "filter " << static_cast<int>(f);
  }
  Canvas nearest = RenderTextured(tex, TextureFilter::Nearest, small);
  Rgb p = ToRgb(nearest.At(32, 32));
  EXPECT_TRUE(p.r == 0 || p.r == 255) << "without mips a single texel shows";
}

TEST(Texture, ColourKeyAndAlphaDiscardTexels) {
  auto keyed = MakeTexture(2, 2, kQuad, false, true, 0xff0000);
  Canvas c = RenderTextured(keyed, TextureFilter::Nearest);
  EXPECT_EQ(c.At(10, 10), kBlack) << "the key colour shows the background";
  EXPECT_EQ(c.At(50, 10), 0x00ff00u);
  auto alpha = MakeTexture(2, 2, {0x00ff0000, 0xff00ff00, 0xff0000ff, 0xffffffff}, false, false, 0, true);
  Canvas a = RenderTextured(alpha, TextureFilter::Nearest);
  EXPECT_EQ(a.At(10, 10), kBlack);
  EXPECT_EQ(a.At(50, 50), 0xffffffu);
}

// Draws without blending, alpha test or separate specular take block loops
// specialised for them; they must give the general loop's bits, which only
// some pixels would show if the two rounded differently. A transparent
// texel that is never sampled turns the alpha test on, which sends the same
// draw through the general loop: fogged, in perspective, flat and gouraud,
// under both filters, the two pictures must be identical.
TEST(Texture, SpecialisedAndGeneralLoopsGiveTheSameBits) {
  std::vector<std::uint32_t> texels(64 * 64);
  for (std::uint32_t i = 0; i < texels.size(); ++i) texels[i] = 0xff000000u | ((i * 0x9e3779b1u) >> 8);
  std::vector<std::uint32_t> holed = texels;
  holed[60 * 64 + 60] = 0;  // transparent; the uvs below never reach column or row 60
  TestMesh square = Square(0, 0, 1, 2);
  square.positions[1].z = square.positions[2].z = 5;  // the top edge recedes: perspective
  for (Vec2& uv : square.uvs) uv = {0.05f + 0.8f * uv.u, 0.05f + 0.8f * uv.v};
  for (bool gouraud : {false, true}) {
    TestMesh m = square;
    if (gouraud) m.vertexColors = {0xffff8040, 0xff40ff80, 0xff8040ff, 0xffffffff};
    for (TextureFilter filter : {TextureFilter::Nearest, TextureFilter::Linear}) {
      auto render = [&](const std::vector<std::uint32_t>& t) {
        Canvas c(256, 256);
        c.state.textureFilter = filter;
        c.state.fog.enabled = true;
        c.state.fog.start = 1.5f;
        c.state.fog.end = 6;
        c.state.fog.color = 0xff3070b0;
        DrawCall d = Unlit(0xd0e8f8);
        d.texture = MakeTexture(64, 64, t, false, false, 0, true);
        Rasterizer r;
        Render(r, c, {{m, d}});
        return c;
      };
      const Canvas specialised = render(texels), general = render(holed);
      EXPECT_GT(specialised.CountNot(0), 256 * 100) << "the square covers much of the canvas";
      EXPECT_EQ(specialised.pixels, general.pixels) << "gouraud " << gouraud << ", filter " << static_cast<int>(filter);
    }
  }
}

TEST(Texture, ModulatedByTheLitColour) {
  auto white = MakeTexture(1, 1, {0xffffffff});
  Canvas c = RenderTextured(white, TextureFilter::Nearest, FullSquare(), Unlit(0x804020));
  EXPECT_EQ(c.At(32, 32), 0x804020u);
}

TEST(Texture, WrapUInterpolatesTheShortWay) {
  // Four texel columns A B C D across u. The triangle's u runs 0.9 -> 0.1:
  // the short way passes through D and A only.
  auto tex = MakeTexture(4, 1, {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
  TestMesh m = Triangle({-1, -1, 2}, {0, 1, 2}, {1, -1, 2});
  m.uvs = {{0.9f, 0.5f}, {0.9f, 0.5f}, {0.1f, 0.5f}};
  for (bool wrap : {false, true}) {
    DrawCall d = Unlit(0xffffff);
    d.wrapU = wrap;
    Canvas c = RenderTextured(tex, TextureFilter::Nearest, m, d);
    int middle = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) middle += c.At(x, y) == 0x00ff00u || c.At(x, y) == 0x0000ffu;
    if (wrap)
      EXPECT_EQ(middle, 0);
    else
      EXPECT_GT(middle, 100);
  }
}

TEST(Texture, PerspectiveAgainstAffine) {
  // A square receding from z=1 (left) to z=3 (right), u from 0 to 1. With
  // perspective the u = 0.5 boundary is where the world midpoint (z=2)
  // projects; with affine interpolation it is half way across on screen.
  auto tex = MakeTexture(2, 1, {0xffff0000, 0xff00ff00});
  TestMesh m;
  m.positions = {{-0.5f, -0.5f, 1}, {-0.5f, 0.5f, 1}, {0.5f, 0.5f, 3}, {0.5f, -0.5f, 3}};
  m.uvs = {{0, 0}, {0, 0}, {1, 0}, {1, 0}};
  m.indices = {0, 1, 2, 0, 2, 3};
  auto boundary = [&](bool perspective) {
    DrawCall d = Unlit(0xffffff);
    d.perspectiveTexturing = perspective;
    Canvas c = RenderTextured(tex, TextureFilter::Nearest, m, d);
    for (int x = 0; x < 64; ++x)
      if (c.At(x, 32) == 0x00ff00u) return x;
    return -1;
  };
  // Left edge x = 32 − 32 = 0, right edge x = 32 + 64·0.5/3 = 42.7.
  EXPECT_NEAR(boundary(false), 21, 1);
  EXPECT_NEAR(boundary(true), 32, 1);  // world x = 0 at z = 2 projects to the centre
}

TEST(Transparency, BlendedOnlyInBlendedMode) {
  for (bool blended : {false, true}) {
    Canvas c(16, 16);
    c.state.renderMode = blended ? static_cast<std::uint32_t>(kBlendedTransparency) : 0u;
    Rasterizer r;
    Render(r, c, {{Square(0, 0, 1, 2), Unlit(0xff0000, 0x80)}}, 0xffffff);
    EXPECT_EQ(c.At(8, 8), blended ? 0xff7f7fu : 0xff0000u);
  }
}

TEST(Transparency, SortedModeDrawsFarToNear) {
  // Near translucent red submitted before far translucent blue.
  auto frame = [](std::uint32_t mode) {
    Canvas c(16, 16);
    c.state.renderMode = mode;
    Rasterizer r;
    Render(r, c, {{Square(0, 0, 1, 2), Unlit(0xff0000, 0x80)}, {Square(0, 0, 2, 4), Unlit(0x0000ff, 0x80)}}, 0x000000);
    return c.At(8, 8);
  };
  // Unsorted: the red square writes depth, so the blue one is hidden.
  EXPECT_EQ(frame(kBlendedTransparency), 0x800000u);
  // Sorted: blue over black first, then red over that.
  EXPECT_EQ(frame(kBlendedTransparency | kSortedTransparency), 0x800040u);
}

TEST(Shadow, BlackHalfBlendedOrOpaqueAndAboveItsPlane) {
  for (bool blended : {false, true}) {
    Canvas c(16, 16);
    c.state.renderMode = blended ? static_cast<std::uint32_t>(kBlendedTransparency) : 0u;
    Rasterizer r;
    DrawCall floor = Unlit(0xffffff), shadow = Unlit(0xffffff);
    shadow.shadow = true;
    // The shadow lies in the same plane as the surface it falls on.
    Render(r, c, {{Square(0, 0, 2, 3), floor}, {Square(0, 0, 2, 3), shadow}});
    EXPECT_EQ(c.At(8, 8), blended ? 0x7f7f7fu : 0x000000u);
  }
}

TEST(Shadow, BlendedDarkensEachPixelOncePerShadow) {
  // Two overlapping squares in one shadow draw, over a white floor; a second
  // shadow over part of them darkens that part once more.
  TestMesh both = Square(-0.2f, 0, 1, 3);
  const TestMesh other = Square(0.2f, 0, 1, 3);
  for (std::uint32_t i : other.indices) both.indices.push_back(i + 4);
  both.positions.insert(both.positions.end(), other.positions.begin(), other.positions.end());
  both.normals.insert(both.normals.end(), other.normals.begin(), other.normals.end());
  both.uvs.insert(both.uvs.end(), other.uvs.begin(), other.uvs.end());
  const std::uint32_t blended = kBlendedTransparency;
  for (std::uint32_t mode : {blended, blended | kSortedTransparency}) {
    Canvas c(32, 32);
    c.state.renderMode = mode;
    Rasterizer r;
    DrawCall floor = Unlit(0xffffff), shadow = Unlit(0xffffff);
    shadow.shadow = true;
    Render(r, c, {{Square(0, 0, 2, 3), floor}, {both, shadow}, {Square(0.6f, 0, 0.1f, 3), shadow}});
    EXPECT_EQ(c.At(16, 16), 0x7f7f7fu) << mode;  // both squares of the first shadow
    EXPECT_EQ(c.At(5, 16), 0x7f7f7fu) << mode;   // the left square alone
    EXPECT_EQ(c.At(22, 16), 0x3f3f3fu) << mode;  // under the second shadow as well
  }
}

TEST(Points, TakeTheColoursOfTheirFacesLitOrUnlit) {
  TestMesh m = Square(0, 0, 0.5f, 3);
  m.faceColors = {0xffff0000, 0xffff0000};
  for (ShadeMode shade : {ShadeMode::Flat, ShadeMode::Gouraud})
    for (bool lit : {false, true}) {
      Canvas c(32, 32);
      Light ambient;
      ambient.type = LightType::Ambient;
      ambient.color = {0.5f, 0.5f, 0.5f};
      c.state.lights = std::span<const Light>(&ambient, 1);
      Rasterizer r;
      DrawCall points = Unlit(0xffffff);
      points.fill = FillMode::Points;
      points.shade = shade;
      points.lighting = lit;
      Render(r, c, {{m, points}});
      // The corners: red (half red under the half-strength ambient light).
      const std::uint32_t expected = lit ? 0x800000u : 0xff0000u;
      std::set<std::uint32_t> seen;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
          if (c.At(x, y) != kBlack) seen.insert(c.At(x, y));
      EXPECT_EQ(seen, std::set<std::uint32_t>{expected}) << static_cast<int>(shade) << " lit " << lit;
    }
}

TEST(Decal, ScaledWithDepthOrFixedPixels) {
  auto tex = MakeTexture(4, 4, std::vector<std::uint32_t>(16, 0xffff0000));
  Canvas c(200, 200);
  Rasterizer r;
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0));
  DecalCall d;
  d.texture = tex;
  d.position = {0, 0, 2};  // 1 world unit at depth 2 is 100 pixels
  ASSERT_TRUE(r.DrawDecal(d));
  d.position = {-0.5f, -0.5f, 2};
  d.scaleWithDepth = false;
  d.originX = 2;
  d.originY = 2;
  ASSERT_TRUE(r.DrawDecal(d));
  ASSERT_TRUE(r.EndFrame());
  EXPECT_EQ(c.At(100, 100), 0xff0000u);
  EXPECT_EQ(c.At(199, 199), 0xff0000u);
  EXPECT_EQ(c.At(99, 150), kBlack);
  // The fixed-size decal: 4x4 pixels centred on (50, 150).
  EXPECT_EQ(c.At(48, 148), 0xff0000u);
  EXPECT_EQ(c.At(51, 151), 0xff0000u);
  EXPECT_EQ(c.At(52, 150), kBlack);
  EXPECT_EQ(c.At(47, 150), kBlack);
}

TEST(Output, BackgroundImageIsStretched) {
  auto image = MakeTexture(2, 2, kQuad);
  Canvas c(100, 60);
  Rasterizer r;
  ASSERT_TRUE(r.BeginFrame(c.target, c.view, c.state));
  ASSERT_TRUE(r.Clear(kClearTarget | kClearDepth, 0, image));
  ASSERT_TRUE(r.EndFrame());
  EXPECT_EQ(c.At(0, 0), 0xff0000u);
  EXPECT_EQ(c.At(49, 29), 0xff0000u);
  EXPECT_EQ(c.At(50, 29), 0x00ff00u);
  EXPECT_EQ(c.At(49, 30), 0x0000ffu);
  EXPECT_EQ(c.At(99, 59), 0xffffffu);
}

TEST(Output, Rgb565WithAndWithoutDither) {
  const std::uint32_t grey = 0x7b7b7b;  // between two 5-bit steps
  for (bool dither : {false, true}) {
    Canvas c(16, 16, PixelFormat::Rgb565);
    c.state.dither = dither;
    Rasterizer r;
    Render(r, c, {}, grey);
    double sum = 0;
    std::set<int> values;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        int red5 = c.At16(x, y) >> 11;
        values.insert(red5);
        sum += (red5 << 3) | (red5 >> 2);
      }
    if (dither) {
      EXPECT_EQ(values.size(), 2u) << "dithering mixes the two nearest levels";
      EXPECT_NEAR(sum / 256, 0x7b, 2.5) << "and keeps the average";
    } else {
      EXPECT_EQ(values.size(), 1u);
    }
  }
  EXPECT_EQ(PackRgb565(0xffffff, 15), 0xffff);
  EXPECT_EQ(PackRgb565(0x000000, 15), 0x0000) << "dithering never wraps or lifts black";
}

TEST(Output, Rgb888KeepsBytesAndOtherPixels) {
  Canvas c(10, 4, PixelFormat::Rgb888);
  c.view.viewport = {2, 1, 5, 2};
  auto* bytes = reinterpret_cast<std::uint8_t*>(c.pixels.data());
  std::fill(bytes, bytes + c.target.pitch * 4, 0x11);
  Rasterizer r;
  Render(r, c, {}, 0x123456);
  const std::uint8_t* px = bytes + 1 * c.target.pitch + 3 * 2;
  EXPECT_EQ(px[0], 0x56);
  EXPECT_EQ(px[1], 0x34);
  EXPECT_EQ(px[2], 0x12);
  EXPECT_EQ(bytes[1 * c.target.pitch + 3 * 1], 0x11) << "outside the viewport";
  EXPECT_EQ(bytes[3 * c.target.pitch + 3 * 2], 0x11);
}

}  // namespace
}  // namespace kv::raster::test
