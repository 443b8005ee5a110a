// hello_cube: a red cube turning slowly in a navy window.
//   hello_cube [--headless] [--frames N] [--screenshot FILE.png]
#include <korvane3d/Korvane3D.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kv;

int main(int argc, char** argv) {
  bool headless = false;
  int frames = 0;  // 0: until the window is closed (60 off screen)
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--headless") headless = true;
    else if (arg == "--frames" && i + 1 < argc) frames = std::atoi(argv[++i]);
    else if (arg == "--screenshot" && i + 1 < argc) screenshot = argv[++i];
    else return std::fprintf(stderr, "usage: hello_cube [--headless] [--frames N] [--screenshot FILE.png]\n"), 2;
  }
  // Without a display there is no window to show: draw off screen instead.
  if (platform::SelectBackend(headless ? platform::BackendKind::Headless : platform::BackendKind::Auto) ==
          platform::BackendKind::Headless && !headless) {
    std::fprintf(stderr, "hello_cube: no display, drawing off screen\n");
    headless = true;
  }

  TForm form(nullptr);  // frees the components it owns
  form.SetCaption("Hello, cube");
  form.SetClientWidth(640);
  form.SetClientHeight(480);
  auto* view = new TKV3DView(&form);
  view->SetParent(&form);
  view->SetAlign(alClient);
  auto* scene = new TKV3DScene(&form);
  scene->SetBackgroundColor(clNavy);
  auto* camera = new TKV3DCamera(&form);
  camera->SetParentFrame(scene);
  camera->Position()->SetZ(-4.0f);  // looking along +z at the origin
  auto* light = new TKV3DLight(&form);  // directional, shining along +z from behind the camera
  light->SetParentFrame(scene);
  auto* cube = new TKV3DObject(&form);
  cube->SetParentFrame(scene);
  cube->Mesh()->SetActiveShape(stCube);
  cube->SetColor(clRed);
  cube->Rotation()->SetX(1.0f);  // turns about (1, 1, 0), a degree a frame
  cube->Rotation()->SetY(1.0f);
  cube->Rotation()->SetAngle(1.0f);
  view->SetScene(scene);
  view->SetCamera(camera);

  form.Show();
  if (!view->WaitUntilReady()) return std::fprintf(stderr, "hello_cube: %s\n", LastErrorText().c_str()), 1;
  if (frames == 0 && headless) frames = 60;
  if (frames > 0) {
    for (int i = 0; i < frames; ++i) {
      Application().ProcessMessages();
      view->Render();
    }
  } else {
    view->SetAutoRender(true);
    Application().Run();  // until the window is closed
  }
  if (!screenshot.empty() && !view->SaveFrameToPNG(screenshot))
    return std::fprintf(stderr, "hello_cube: %s\n", LastErrorText().c_str()), 1;
  return 0;
}
