// Times a scene: our renderers first, then (when built in) the peers on the
// same scene in the same process, one CSV line each (see kHeader). The demo
// scene is drawn through the viewer's view only.
#include "kvbench/RenderBench.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kvbench/Renderers.h"
#include "korvane3d/rm/image/Image.h"

using namespace kv;

namespace kvbench {
namespace {

constexpr const char* kHeader = "renderer,scene,frames,seconds,fps,tris_per_s,width,height,pixels_per_s";
constexpr int kMaxSide = 4096;

constexpr const char* kUsage =
    "usage: kvbench <spheres|textured|fill|many|demo> <frames> [--warmup N] [--size WxH] [--png FILE]\n"
    "               [--peer-png FILE] [--no-peer] [--header]\n"
    "               [--only korvane|korvane-rm|korvane-hal|osmesa|irrlicht|korvane-view]\n"
    "       kvbench --header\n";

struct Options {
  std::string scene;
  int frames = 0;
  int warmup = 10;
  int width = kReferenceWidth, height = kReferenceHeight;
  std::string png, peerPng;
  bool peer = true;
  bool header = false;
  std::string only;  // run just this renderer
};

bool ParseCount(const char* text, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || end == text || *end != '\0' || v < 0 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

// "WxH", each side 1..4096.
bool ParseSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  int w = 0, h = 0;
  if (!ParseCount(text.substr(0, x).c_str(), w) || !ParseCount(text.substr(x + 1).c_str(), h)) return false;
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return false;
  width = w;
  height = h;
  return true;
}

bool Parse(int argc, char** argv, Options& o) {
  if (argc < 2) return false;
  o.scene = argv[0];
  if (!ParseCount(argv[1], o.frames) || o.frames == 0) return false;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--no-peer") {
      o.peer = false;
    } else if (a == "--header") {
      o.header = true;
    } else if (i + 1 < argc && a == "--warmup") {
      if (!ParseCount(argv[++i], o.warmup)) return false;
    } else if (i + 1 < argc && a == "--size") {
      if (!ParseSize(argv[++i], o.width, o.height)) return false;
    } else if (i + 1 < argc && a == "--png") {
      o.png = argv[++i];
    } else if (i + 1 < argc && a == "--peer-png") {
      o.peerPng = argv[++i];
    } else if (i + 1 < argc && a == "--only") {
      o.only = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

bool SavePng(const std::string& path, const BenchScene& scene, const std::vector<std::uint32_t>& rgb) {
  kv::image::Image image;
  image.width = scene.width;
  image.height = scene.height;
  image.pixels.resize(rgb.size());
  for (std::size_t i = 0; i < rgb.size(); ++i) image.pixels[i] = 0xff000000u | rgb[i];
  kv::image::Result r = kv::image::SavePng(path, image);
  if (!r) std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), r.message.c_str());
  return static_cast<bool>(r);
}

// Returns false when the renderer fails; prints its CSV line otherwise.
bool Measure(SceneRenderer& renderer, const BenchScene& scene, const Options& o, const std::string& png) {
  if (!renderer.Init(scene)) return false;
  for (int i = 0; i < o.warmup; ++i)
    if (!renderer.RenderFrame()) return false;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < o.frames; ++i)
    if (!renderer.RenderFrame()) return false;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::vector<std::uint32_t> rgb;
  renderer.ReadImage(rgb);
  if (scene.name != "demo") CheckFrame(scene, rgb, renderer.Name());
  if (!png.empty() && !SavePng(png, scene, rgb)) return false;
  const double fps = static_cast<double>(o.frames) / seconds;
  const std::uint64_t triangles = renderer.TrianglesPerFrame() ? renderer.TrianglesPerFrame() : scene.trianglesPerFrame;
  const double pixels = static_cast<double>(scene.width) * static_cast<double>(scene.height);
  std::printf("%s,%s,%d,%.6f,%.2f,%.0f,%d,%d,%.0f\n", renderer.Name(), scene.name.c_str(), o.frames, seconds, fps,
              fps * static_cast<double>(triangles), scene.width, scene.height, fps * pixels);
  std::fflush(stdout);
  return true;
}

int RunDemo(const Options& o) {
  BenchScene scene;
  scene.name = "demo";
  scene.width = o.width;
  scene.height = o.height;
  // One view per process: the OpenGL device's line only when asked for.
  if (o.only == "korvane-hal") return Measure(*MakeDemoRenderer(true), scene, o, o.png) ? 0 : 1;
  if (!o.only.empty() && o.only != "korvane-view") return 0;
  return Measure(*MakeDemoRenderer(false), scene, o, o.png) ? 0 : 1;
}

}  // namespace

int RunRenderBench(int argc, char** argv) {
  if (argc == 1 && std::strcmp(argv[0], "--header") == 0) {
    std::puts(kHeader);
    return 0;
  }
  Options o;
  BenchScene scene;
  if (!Parse(argc, argv, o) || (o.scene != "demo" && !MakeScene(o.scene, o.width, o.height, scene))) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (o.header) {
    std::puts(kHeader);
    std::fflush(stdout);
  }
  if (o.scene == "demo") return RunDemo(o);
  auto wanted = [&](const char* name) { return o.only.empty() || o.only == name; };
  if (wanted("korvane") && !Measure(*MakeKorvaneRenderer(), scene, o, o.png)) return 1;
  if (wanted("korvane-rm") && !Measure(*MakeEngineRenderer(false), scene, o, o.only == "korvane-rm" ? o.png : ""))
    std::fputs("korvane-rm: engine run failed\n", stderr);
  if (wanted("korvane-hal") && !Measure(*MakeEngineRenderer(true), scene, o, o.only == "korvane-hal" ? o.png : ""))
    std::fputs("korvane-hal: OpenGL device run failed (no EGL display or GL 3.3 context?)\n", stderr);
  if (o.peer && wanted("osmesa")) {
    std::unique_ptr<SceneRenderer> peer = MakeOsmesaRenderer();
    if (peer && !Measure(*peer, scene, o, o.peerPng)) std::fputs("osmesa: peer run failed\n", stderr);
  }
  if (o.peer && wanted("irrlicht")) {
    std::unique_ptr<SceneRenderer> peer = MakeIrrlichtRenderer();
    if (peer && !Measure(*peer, scene, o, o.only == "irrlicht" ? o.peerPng : ""))
      std::fputs("irrlicht: peer run failed\n", stderr);
  }
  return 0;
}

}  // namespace kvbench
