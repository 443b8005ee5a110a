// The reference scenes through OSMesa's fixed-function OpenGL (Mesa's
// llvmpipe), set up to match ours exactly: the same left-handed view and
// projection loaded as matrices, clockwise front faces, one directional light
// with 0.2 global ambient, bilinear repeat texturing, one glDrawElements per
// object. A frame ends with glFinish.
#include "kvbench/Renderers.h"

#if defined(KV_HAVE_OSMESA)

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cstdio>
#include <cstdlib>

using namespace kv;

namespace kvbench {
namespace {

class OsmesaRenderer final : public SceneRenderer {
 public:
  ~OsmesaRenderer() override {
    if (context_) OSMesaDestroyContext(context_);
  }
  const char* Name() const override { return "osmesa"; }

  bool Init(const BenchScene& scene) override {
    scene_ = &scene;
    setenv("LP_NUM_THREADS", "2", 0);
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    const int w = scene.width, h = scene.height;
    buffer_.assign(static_cast<std::size_t>(w) * h, 0);
    if (!context_ || !OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, w, h)) {
      std::fprintf(stderr, "osmesa: cannot create a context\n");
      return false;
    }
    glViewport(0, 0, w, h);
    LoadProjection(w, h);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);  // left-handed data, clockwise fronts on screen
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_DITHER);
    glClearColor(32 / 255.0f, 32 / 255.0f, 64 / 255.0f, 1);
    glClearDepth(1);
    SetUpLighting(scene.lit);   // the light is placed while the modelview is identity: view space
    glTranslatef(0, 0, -kEyeZ);  // the camera: world to view is this translation
    if (scene.textured) SetUpTexture(scene);
    const BenchMesh& m = scene.mesh;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m.positions.data());
    if (scene.lit) {
      glEnableClientState(GL_NORMAL_ARRAY);
      glNormalPointer(GL_FLOAT, 0, m.normals.data());
    } else {
      for (std::uint32_t c : m.colors)
        colors_.insert(colors_.end(), {static_cast<GLubyte>(c >> 16), static_cast<GLubyte>(c >> 8),
                                       static_cast<GLubyte>(c), static_cast<GLubyte>(c >> 24)});
      glEnableClientState(GL_COLOR_ARRAY);
      glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors_.data());
    }
    if (scene.textured) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, 0, m.uvs.data());
    }
    return glGetError() == GL_NO_ERROR;
  }

  bool RenderFrame() override {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const BenchMesh& m = scene_->mesh;
    const GLsizei count = static_cast<GLsizei>(m.indices16.size());
    for (const kv::raster::Vec3& at : scene_->instances) {
      glPushMatrix();
      glTranslatef(at.x, at.y, at.z);
      glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT, m.indices16.data());
      glPopMatrix();
    }
    glFinish();
    return true;
  }

  void ReadImage(std::vector<std::uint32_t>& rgb) override {
    // OSMesa's rows run bottom up; bytes are R, G, B, A.
    rgb.resize(buffer_.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer_.data());
    const int w = scene_->width, h = scene_->height;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = bytes + 4 * (static_cast<std::size_t>(h - 1 - y) * w + x);
        rgb[static_cast<std::size_t>(y) * w + x] = (p[0] << 16) | (p[1] << 8) | p[2];
      }
  }

 private:
  // View space is left-handed (z forward); clip w = z.
  void LoadProjection(int width, int height) {
    const float ys = 1.0f / kTanHalfFov, xs = ys * static_cast<float>(height) / static_cast<float>(width);
    const float n = kNear, f = kFar;
    const GLfloat proj[16] = {xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, (f + n) / (f - n), 1, 0, 0, -2 * f * n / (f - n), 0};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(proj);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

  void SetUpLighting(bool lit) {
    if (!lit) {
      glDisable(GL_LIGHTING);
      return;
    }
    glEnable(GL_LIGHTING);
    const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1}, black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
    const GLfloat towardsLight[4] = {0, 0.70710678f, -0.70710678f, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, towardsLight);  // identity modelview: view space
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
  }

  void SetUpTexture(const BenchScene& scene) {
    std::vector<GLubyte> rgb;
    for (std::uint32_t t : scene.texture)
      rgb.insert(rgb.end(), {static_cast<GLubyte>(t >> 16), static_cast<GLubyte>(t >> 8), static_cast<GLubyte>(t)});
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, scene.textureSize, scene.textureSize, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
  }

  const BenchScene* scene_ = nullptr;
  OSMesaContext context_ = nullptr;
  std::vector<std::uint32_t> buffer_;
  std::vector<GLubyte> colors_;
};

}  // namespace

std::unique_ptr<SceneRenderer> MakeOsmesaRenderer() { return std::make_unique<OsmesaRenderer>(); }

}  // namespace kvbench

#else

namespace kvbench {
std::unique_ptr<SceneRenderer> MakeOsmesaRenderer() { return nullptr; }
}  // namespace kvbench

#endif
