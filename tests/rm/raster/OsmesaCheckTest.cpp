// An independent check: the same scenes drawn through OSMesa's fixed-function
// OpenGL pipeline (Mesa), set up to match ours (the same clip matrices,
// lights carried into camera space, material as ambient and diffuse colour,
// fog coordinates from camera depth, bilinear repeat texturing, alpha
// blending), then compared pixel by pixel.
//
// Tolerance: the two rasterizers differ in sub-pixel snapping and edge
// rules, and interpolate colour in slightly different ways, so edge pixels
// may differ a lot while the inside agrees closely. We require a mean
// channel difference below 1.5 and fewer than 2% of pixels differing by more
// than 24 in any channel. Skipped when OSMesa is not available.
#include <gtest/gtest.h>

#include <array>

#include "RasterTestSupport.h"

#if defined(KV_HAVE_OSMESA)
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>
#endif

#include <filesystem>

#include "korvane3d/rm/image/Image.h"
#include "korvane3d/rm/raster/Projection.h"

namespace kv::raster::test {
namespace {

constexpr int kW = 160, kH = 120;

struct CheckScene {
  View view;
  std::vector<Light> lights;
  Fog fog;
  std::uint32_t renderMode = 0;
  std::uint32_t clear = 0x203040;
  std::vector<std::pair<TestMesh, DrawCall>> objects;
};

std::vector<std::uint32_t> RenderOurs(const CheckScene& s) {
  Canvas c(kW, kH);
  c.view = s.view;
  c.state.lights = s.lights;
  c.state.fog = s.fog;
  c.state.renderMode = s.renderMode;
  c.state.textureFilter = TextureFilter::Linear;
  Rasterizer r;
  Render(r, c, s.objects, s.clear);
  std::vector<std::uint32_t> rgb(static_cast<size_t>(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) rgb[static_cast<size_t>(y) * kW + x] = c.At(x, y);
  return rgb;
}

#if defined(KV_HAVE_OSMESA)

}  // namespace
}  // namespace kv::raster::test

// Mesa keeps a few small allocations of every context it has made current
// until the process ends; they are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa\n"; }

namespace kv::raster::test {
namespace {

void LoadMatrix(const Matrix& m) { glLoadMatrixf(&m.m[0][0]); }  // row vectors = GL's column-major

void SetUpGlLights(const CheckScene& s) {
  float ambient[4] = {0, 0, 0, 1};
  int index = 0;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();  // positions below are in camera space
  for (const Light& l : s.lights) {
    if (l.type == LightType::Ambient) {
      ambient[0] += l.color.r;
      ambient[1] += l.color.g;
      ambient[2] += l.color.b;
      continue;
    }
    const GLenum id = GL_LIGHT0 + index++;
    glEnable(id);
    const float color[4] = {l.color.r, l.color.g, l.color.b, 1}, black[4] = {0, 0, 0, 1};
    glLightfv(id, GL_DIFFUSE, color);
    glLightfv(id, GL_SPECULAR, color);
    glLightfv(id, GL_AMBIENT, black);
    if (l.type == LightType::Directional) {
      Vec3 d = Normalize(TransformDirection(l.direction, s.view.worldToCamera));
      const float pos[4] = {-d.x, -d.y, -d.z, 0};
      glLightfv(id, GL_POSITION, pos);
    } else {
      Vec3 p = TransformPoint(l.position, s.view.worldToCamera);
      const float pos[4] = {p.x, p.y, p.z, 1};
      glLightfv(id, GL_POSITION, pos);
      glLightf(id, GL_CONSTANT_ATTENUATION, l.constantAttenuation);
      glLightf(id, GL_LINEAR_ATTENUATION, l.linearAttenuation);
      glLightf(id, GL_QUADRATIC_ATTENUATION, l.quadraticAttenuation);
    }
  }
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);  // our view-dependent highlights
}

void SetUpGlTexture(const Texture& t) {
  const TextureLevel& level = t.GetLevel(0);
  std::vector<GLubyte> rgba;
  for (int i = 0; i < level.width * level.height; ++i) {
    std::uint32_t p = level.texels[(i / level.width) * level.pitch + i % level.width];
    rgba.insert(rgba.end(), {static_cast<GLubyte>(p >> 16), static_cast<GLubyte>(p >> 8), static_cast<GLubyte>(p),
                             static_cast<GLubyte>(p >> 24)});
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, level.width, level.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_TEXTURE_2D);
}

void SetUpGlMaterial(const DrawCall& d) {
  const float base[4] = {((d.color >> 16) & 255) / 255.0f, ((d.color >> 8) & 255) / 255.0f, (d.color & 255) / 255.0f,
                         (d.color >> 24) / 255.0f};
  const Material& m = d.material;
  const float emissive[4] = {m.emissive.r, m.emissive.g, m.emissive.b, 1};
  const float specular[4] = {m.specular.r, m.specular.g, m.specular.b, 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, base);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, base);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emissive);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.power > 0 ? specular : std::array<float, 4>{0, 0, 0, 1}.data());
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::min(m.power, 128.0f));
}

void DrawGlObject(const CheckScene& s, const TestMesh& mesh, const DrawCall& d) {
  const Matrix modelView = Multiply(d.modelToWorld, s.view.worldToCamera);
  glMatrixMode(GL_MODELVIEW);
  LoadMatrix(modelView);
  if (d.lighting) {
    glEnable(GL_LIGHTING);
    SetUpGlMaterial(d);
  } else {
    glDisable(GL_LIGHTING);
  }
  std::vector<GLubyte> colors;
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    std::uint32_t c = mesh.vertexColors.empty() ? d.color : mesh.vertexColors[i];
    colors.insert(colors.end(), {static_cast<GLubyte>(c >> 16), static_cast<GLubyte>(c >> 8), static_cast<GLubyte>(c),
                                 static_cast<GLubyte>(c >> 24)});
  }
  std::vector<float> fogCoords;
  for (const Vec3& p : mesh.positions) fogCoords.push_back(TransformPoint(p, modelView).z);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, mesh.positions.data());
  glEnableClientState(GL_COLOR_ARRAY);
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors.data());
  glEnableClientState(GL_FOG_COORD_ARRAY);
  glFogCoordPointer(GL_FLOAT, 0, fogCoords.data());
  if (!mesh.normals.empty()) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
  }
  if (d.texture) {
    SetUpGlTexture(*d.texture);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.uvs.data());
  } else {
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  const bool blend = (s.renderMode & kBlendedTransparency) && (d.color >> 24) != 255;
  if (blend)
    glEnable(GL_BLEND);
  else
    glDisable(GL_BLEND);
  if (d.cull == CullMode::None) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(d.cull == CullMode::CCW ? GL_FRONT : GL_BACK);  // front = counter-clockwise
  }
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.indices.size()), GL_UNSIGNED_INT, mesh.indices.data());
}

std::vector<std::uint32_t> RenderGl(const CheckScene& s) {
  std::vector<std::uint32_t> buffer(static_cast<size_t>(kW) * kH);
  OSMesaContext ctx = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
  if (!ctx || !OSMesaMakeCurrent(ctx, buffer.data(), GL_UNSIGNED_BYTE, kW, kH)) {
    if (ctx) OSMesaDestroyContext(ctx);
    return {};
  }
  glViewport(0, 0, kW, kH);
  // Our clip space has depth 0..1; GL's has −1..1.
  Matrix projection = CameraToClip(s.view.projection, s.view.viewport);
  for (int i = 0; i < 4; ++i) projection.m[i][2] = 2 * projection.m[i][2] - projection.m[i][3];
  glMatrixMode(GL_PROJECTION);
  LoadMatrix(projection);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_NORMALIZE);
  glDisable(GL_DITHER);
  glShadeModel(GL_SMOOTH);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  if (s.fog.enabled) {
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, s.fog.start);
    glFogf(GL_FOG_END, s.fog.end);
    const float fc[4] = {((s.fog.color >> 16) & 255) / 255.0f, ((s.fog.color >> 8) & 255) / 255.0f,
                         (s.fog.color & 255) / 255.0f, 1};
    glFogfv(GL_FOG_COLOR, fc);
    glFogi(GL_FOG_COORD_SRC, GL_FOG_COORD);
  }
  glClearColor(((s.clear >> 16) & 255) / 255.0f, ((s.clear >> 8) & 255) / 255.0f, (s.clear & 255) / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetUpGlLights(s);
  for (const auto& [mesh, draw] : s.objects) DrawGlObject(s, mesh, draw);
  glFinish();
  OSMesaDestroyContext(ctx);
  std::vector<std::uint32_t> rgb(buffer.size());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const std::uint8_t* p = bytes + 4 * ((kH - 1 - y) * kW + x);
      rgb[static_cast<size_t>(y) * kW + x] = (p[0] << 16) | (p[1] << 8) | p[2];
    }
  return rgb;
}

void ExpectClose(const CheckScene& s, const char* name) {
  std::vector<std::uint32_t> ours = RenderOurs(s), theirs = RenderGl(s);
  ASSERT_EQ(theirs.size(), ours.size()) << "OSMesa context failed";
  double sum = 0;
  int far = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    int worst = 0;
    for (int shift : {0, 8, 16}) {
      int d = std::abs(static_cast<int>((ours[i] >> shift) & 255) - static_cast<int>((theirs[i] >> shift) & 255));
      sum += d;
      worst = std::max(worst, d);
    }
    far += worst > 24;
  }
  const double mean = sum / (3.0 * static_cast<double>(ours.size()));
  if (mean >= 1.5 || far >= static_cast<int>(ours.size() / 50)) {
    const std::filesystem::path dir = std::filesystem::path(KV_BINARY_DIR) / "raster-ref";
    std::filesystem::create_directories(dir);
    for (int which = 0; which < 2; ++which) {
      kv::image::Image img;
      img.width = kW;
      img.height = kH;
      for (std::uint32_t p : which == 0 ? ours : theirs) img.pixels.push_back(0xff000000u | p);
      kv::image::SavePng((dir / (std::string("osmesa-") + name + (which == 0 ? "-ours.png" : "-gl.png"))).string(), img);
    }
  }
  EXPECT_LT(mean, 1.5) << name;
  EXPECT_LT(far, static_cast<int>(ours.size() / 50)) << name;
  ::testing::Test::RecordProperty(std::string(name) + "_mean", std::to_string(mean));
}

#endif

CheckScene BaseScene() {
  CheckScene s;
  s.view.viewport = {0, 0, kW, kH};
  s.view.projection.back = 100;
  s.view.worldToCamera = Translation(0, -0.3f, 1);
  return s;
}

TEST(OsmesaCheck, LitSpheres) {
#if !defined(KV_HAVE_OSMESA)
  GTEST_SKIP() << "built without OSMesa";
#else
  CheckScene s = BaseScene();
  s.lights.resize(3);
  s.lights[0].type = LightType::Ambient;
  s.lights[0].color = {0.2f, 0.15f, 0.1f};
  s.lights[1].direction = {0.5f, -0.4f, 1};
  s.lights[1].color = {0.7f, 0.7f, 0.7f};
  s.lights[2].type = LightType::Point;
  s.lights[2].position = {2, 2, 2};
  s.lights[2].linearAttenuation = 0.2f;
  s.lights[2].color = {0.4f, 0.5f, 1};
  s.renderMode = kViewDependentSpecular;
  DrawCall d;
  d.color = 0xffd0a080;
  s.objects.push_back({Sphere(20), d});
  d.modelToWorld = Translation(-1.5f, 0.2f, 6);
  s.objects.back().second.modelToWorld = Translation(0.5f, 0, 5);
  d.material.specular = {1, 1, 1};
  d.material.power = 16;
  d.material.emissive = {0.1f, 0, 0.1f};
  s.objects.push_back({Sphere(20), d});
  d.material = {};
  d.modelToWorld = Multiply(Matrix{{{1.6f, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
                            Translation(1, -1.2f, 7));
  d.color = 0xff60c060;
  s.objects.push_back({Sphere(20), d});
  ExpectClose(s, "lit");
#endif
}

TEST(OsmesaCheck, TexturedFogAndBlending) {
#if !defined(KV_HAVE_OSMESA)
  GTEST_SKIP() << "built without OSMesa";
#else
  CheckScene s = BaseScene();
  s.fog = {true, FogMode::Linear, 0xff607080, 3, 12, 1};
  s.renderMode = kBlendedTransparency;
  std::vector<std::uint32_t> texels(32 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) texels[y * 32 + x] = ((x / 4 + y / 4) % 2) ? 0xffffffff : 0xff2040c0;
  TextureDesc td;
  td.width = td.height = 32;
  td.pixels = texels;
  std::shared_ptr<const Texture> tex;
  ASSERT_TRUE(Texture::Create(td, tex));
  DrawCall d;
  d.lighting = false;
  d.texture = tex;
  TestMesh floor;
  floor.positions = {{-3, -1, 1.5f}, {-3, -1, 14}, {3, -1, 14}, {3, -1, 1.5f}};
  floor.uvs = {{0, 0}, {0, 2}, {1, 2}, {1, 0}};  // little minification: compare texturing, not aliasing
  floor.indices = {0, 1, 2, 0, 2, 3};
  s.objects.push_back({floor, d});
  d.modelToWorld = Translation(0, 0.3f, 6);
  s.objects.push_back({Sphere(16), d});
  DrawCall pane;
  pane.lighting = false;
  pane.color = 0x80ff4020;
  pane.cull = CullMode::None;
  s.objects.push_back({Square(-0.6f, 0.5f, 0.7f, 4), pane});
  ExpectClose(s, "textured_fog_blend");
#endif
}

}  // namespace
}  // namespace kv::raster::test
