// code_scene: a scene built in code rather than read from a form file. Two
// balls roll towards each other along x; the view checks collisions and each
// ball's OnCollision turns it back, while a spinning cube between them
// counts its moves in OnMove.
//   code_scene                      in a window until it is closed
//   code_scene --headless --frames N   off screen, then prints what happened
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "korvane3d/Version.h"
#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/host/Application.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dview.h"

using namespace kv;

namespace {

struct Settings {
  bool headless = false;
  int frames = 0;  // 0: until the window is closed
  bool help = false;
  bool version = false;
};

bool ParseArguments(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      settings.help = true;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      settings.version = true;
    } else if (std::strcmp(argv[i], "--headless") == 0) {
      settings.headless = true;
    } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
      settings.frames = std::atoi(argv[++i]);
      if (settings.frames <= 0) return false;
    } else {
      return false;
    }
  }
  if (settings.headless && settings.frames == 0) settings.frames = 120;
  return true;
}

TKV3DObject* MakeBall(TForm* form, TKV3DScene* scene, float x, float speed, TColor color) {
  auto* ball = new TKV3DObject(form);
  ball->SetParentFrame(scene);
  ball->Mesh()->SetActiveShape(stSphere);
  ball->SetColor(color);
  ball->Position()->SetX(x);
  ball->Velocity()->SetX(speed);
  ball->SetCheckCollision(true);
  return ball;
}

// Turns `ball` back when it still moves towards what it hit, so a ball
// that overlaps for a few frames turns once.
void Bounce(TKV3DObject* ball, TObject* other) {
  auto* obstacle = dynamic_cast<TKV3DObject*>(other);
  if (obstacle == nullptr) return;
  const float towards = obstacle->Position()->GetX() - ball->Position()->GetX();
  const float speed = ball->Velocity()->GetX();
  if (speed * towards > 0) ball->Velocity()->SetX(-speed);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  constexpr const char* kUsage = "usage: code_scene [--headless] [--frames N] [--help] [--version]\n";
  if (!ParseArguments(argc, argv, settings)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (settings.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (settings.version) {
    std::printf("code_scene %s (Korvane 3D)\n", kv::Version());
    return 0;
  }
  platform::SelectBackend(settings.headless ? platform::BackendKind::Headless : platform::BackendKind::Auto);

  auto form = std::make_unique<TForm>(nullptr);
  form->SetCaption("Korvane 3D - a scene built in code");
  form->SetBounds(100, 100, 640, 360);
  auto* view = new TKV3DView(form.get());
  view->SetParent(form.get());
  view->SetAlign(alClient);

  auto* scene = new TKV3DScene(form.get());
  scene->SetBackgroundColor(static_cast<TColor>(0x00302818));
  auto* camera = new TKV3DCamera(form.get());
  camera->SetParentFrame(scene);
  camera->Position()->SetZ(-9.0f);
  auto* light = new TKV3DLight(form.get());
  light->SetParentFrame(scene);
  light->SetDirOrientation({0.4f, -0.6f, 1.0f}, {0.0f, 1.0f, 0.0f});
  view->SetScene(scene);
  view->SetCamera(camera);
  view->SetAutoCheckCollision(true);

  TKV3DObject* left = MakeBall(form.get(), scene, -3.5f, 0.05f, clRed);
  TKV3DObject* right = MakeBall(form.get(), scene, 3.5f, -0.05f, clYellow);
  int collisions = 0;
  for (TKV3DObject* ball : {left, right}) {
    ball->OnCollision = [ball, &collisions](TObject*, TObject* other) {
      ++collisions;
      Bounce(ball, other);
    };
  }

  auto* spinner = new TKV3DObject(form.get());
  spinner->SetParentFrame(scene);
  spinner->Mesh()->SetActiveShape(stCube);
  spinner->Mesh()->Cube()->SetGrid(4);
  spinner->SetColor(clAqua);
  spinner->Position()->SetY(1.8f);
  spinner->Rotation()->SetX(1.0f);
  spinner->Rotation()->SetY(1.0f);
  spinner->Rotation()->SetAngle(3.0f);
  // OnMove runs on the thread that moves the scene (the view's render loop
  // in a window): it only counts.
  std::atomic<int> moves{0};
  spinner->OnMove = [&moves](TObject*) { moves.fetch_add(1, std::memory_order_relaxed); };

  form->Show();
  if (!view->WaitUntilReady()) {
    std::fprintf(stderr, "code_scene: %s\n", LastErrorText().c_str());
    return 1;
  }
  if (settings.frames > 0) {
    for (int i = 0; i < settings.frames; ++i) {
      Application().ProcessMessages();
      view->Render();
    }
  } else {
    view->SetAutoRender(true);
    Application().Run();
    view->SetAutoRender(false);
  }
  std::printf("frames moved: %d, collisions: %d, left ball at x = %.2f\n", moves.load(), collisions,
              left->Position()->GetX());
  return 0;
}
