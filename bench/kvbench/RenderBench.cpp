// Times the reference scenes: our renderer first, then (when built in) the
// OSMesa peer on the same scene in the same process, one CSV line each:
//   renderer,scene,frames,seconds,fps,tris_per_s
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

struct Options {
  std::string scene;
  int frames = 0;
  int warmup = 10;
  std::string png, peerPng;
  bool peer = true;
  std::string only;  // run just this renderer (korvane, korvane-rm, osmesa)
};

bool ParseCount(const char* text, int& out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!end || *end != '\0' || v < 0 || v > 1000000) return false;
  out = static_cast<int>(v);
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
    } else if (i + 1 < argc && a == "--warmup") {
      if (!ParseCount(argv[++i], o.warmup)) return false;
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

bool SavePng(const std::string& path, const std::vector<std::uint32_t>& rgb) {
  kv::image::Image image;
  image.width = kWidth;
  image.height = kHeight;
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
  CheckFrame(scene, rgb, renderer.Name());
  if (!png.empty() && !SavePng(png, rgb)) return false;
  double fps = static_cast<double>(o.frames) / seconds;
  std::printf("%s,%s,%d,%.6f,%.2f,%.0f\n", renderer.Name(), scene.name.c_str(), o.frames, seconds, fps,
              fps * static_cast<double>(scene.trianglesPerFrame));
  std::fflush(stdout);
  return true;
}

}  // namespace

int RunRenderBench(int argc, char** argv) {
  Options o;
  BenchScene scene;
  if (!Parse(argc, argv, o) || !MakeScene(o.scene, scene)) {
    std::fputs("usage: kvbench <spheres|textured|fill|many> <frames> [--warmup N] [--png FILE]\n"
               "               [--peer-png FILE] [--no-peer] [--only korvane|korvane-rm|osmesa]\n",
               stderr);
    return 2;
  }
  auto wanted = [&](const char* name) { return o.only.empty() || o.only == name; };
  if (wanted("korvane") && !Measure(*MakeKorvaneRenderer(), scene, o, o.png)) return 1;
  if (wanted("korvane-rm") && !Measure(*MakeEngineRenderer(), scene, o, ""))
    std::fputs("korvane-rm: engine run failed\n", stderr);
  if (o.peer && wanted("osmesa")) {
    std::unique_ptr<SceneRenderer> peer = MakeOsmesaRenderer();
    if (peer && !Measure(*peer, scene, o, o.peerPng)) std::fputs("osmesa: peer run failed\n", stderr);
  }
  return 0;
}

}  // namespace kvbench
