// The built-in demo form and where it finds its files.
#include "DemoForm.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "DemoControls.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"

namespace kv::viewer {

namespace {

namespace fs = std::filesystem;

bool HasDemoFiles(const fs::path& folder) {
  std::error_code ec;
  return fs::is_regular_file(folder / "knot.x", ec);
}

// The demo's text, less its mouse and keyboard (kDemoDevicesAndEnd), with
// "@DATA@" standing for the data folder. A shadow's plane is given in the
// scene's coordinates: just above the floor's top (y = -1.475), whatever its
// object does.
constexpr const char* kDemoForm = R"(object DemoForm: TForm
  Caption = 'Korvane 3D demo - drag to orbit, wheel to zoom, arrows to move, F1 frame rate, Esc to quit'
  Left = 80
  Top = 60
  Width = 800
  Height = 600
  object View: TKV3DView
    Align = alClient
    Scene = Scene
    Camera = Camera
    AutoRender = True
    OnFlip = DemoFlip
  end
  object Scene: TKV3DScene
    BackgroundColor = $00301810
    Fog.Color = $00301810
    Fog.Visible = True
    Fog.Start = 9.0
    Fog.End = 26.0
  end
  object Camera: TKV3DCamera
    ParentFrame = Scene
    Position.Y = 2.2
    Position.Z = -9.0
    Orientation.DirY = -0.22
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
  end
  object Sun: TKV3DLight
    ParentFrame = Scene
    Color = $00B0C0D0
    Orientation.DirX = 0.45
    Orientation.DirY = -1.0
    Orientation.DirZ = -0.55
    Orientation.UpZ = 1.0
  end
  object Sky: TKV3DLight
    ParentFrame = Scene
    Type = tAmbient
    Color = $00403830
  end
  object LampArm: TKV3DFrame
    ParentFrame = Scene
    Position.Y = 2.5
    Rotation.Y = 1.0
    Rotation.Angle = 2.0
  end
  object Lamp: TKV3DLight
    ParentFrame = LampArm
    Type = tPoint
    Color = $00FFC090
    Position.X = 4.0
  end
  object Floor: TKV3DObject
    ParentFrame = Scene
    Position.Y = -1.5
    Position.Z = 3.0
    Mesh.ActiveShape = stCube
    Mesh.Cube.Grid = 9
    Scale.X = 16.0
    Scale.Y = 0.05
    Scale.Z = 16.0
    Texture.FileName = '@DATA@checker.png'
    Wrap.Type = twFlat
    Wrap.OriginX = -0.5
    Wrap.OriginZ = -0.5
    Wrap.DirY = 1.0
    Wrap.UpZ = 1.0
    Wrap.TextureScaleU = 4.0
    Wrap.TextureScaleV = 4.0
    Color = clWhite
  end
  object Tube: TKV3DObject
    ParentFrame = Scene
    Position.X = -3.4
    Position.Y = -1.45
    Position.Z = 1.5
    Orientation.DirY = 1.0
    Orientation.UpZ = 1.0
    Mesh.ActiveShape = stPrism
    Mesh.Prism.Vertices = 40
    Mesh.Prism.Depth = 1.6
    Mesh.Prism.Aperture = 0.6
    Color = $003050E0
    Rotation.Y = 1.0
    Rotation.Angle = 1.2
  end
  object Planet: TKV3DObject
    ParentFrame = Scene
    Position.Y = 0.6
    Position.Z = 1.5
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Edges = 28
    Mesh.Sphere.Walls = 28
    Scale.X = 1.4
    Scale.Y = 1.4
    Scale.Z = 1.4
    Texture.FileName = '@DATA@planet.png'
    Wrap.Type = twChrome
    Wrap.DirZ = 1.0
    Wrap.UpY = 1.0
    Color = clWhite
    Shadow.Light = Sun
    Shadow.PlaneY = -1.44
    Rotation.Y = 1.0
    Rotation.Angle = 1.5
  end
  object Moon: TKV3DObject
    ParentFrame = Planet
    Position.X = 2.3
    Mesh.ActiveShape = stSphere
    Mesh.Sphere.Edges = 12
    Mesh.Sphere.Walls = 12
    Scale.X = 0.3
    Scale.Y = 0.3
    Scale.Z = 0.3
    Color = clSilver
  end
  object Grid: TKV3DObject
    ParentFrame = Scene
    Position.X = 3.4
    Position.Y = -0.3
    Position.Z = 1.0
    Mesh.ActiveShape = stCube
    Mesh.Cube.Grid = 6
    Scale.X = 1.5
    Scale.Y = 1.5
    Scale.Z = 1.5
    Quality.FillMode = tfWireframe
    Color = clLime
    Rotation.X = 1.0
    Rotation.Y = 1.0
    Rotation.Angle = 1.8
  end
  object Knot: TKV3DObject
    ParentFrame = Scene
    Position.X = 1.3
    Position.Y = 2.7
    Position.Z = 6.0
    Mesh.File.FileName = '@DATA@knot.x'
    Scale.X = 1.6
    Scale.Y = 1.6
    Scale.Z = 1.6
    Color = $0030B0F0
    Material.Power = 12.0
    Material.Specular = clWhite
    Shadow.Light = Sun
    Shadow.PlaneY = -1.44
    Rotation.Y = 1.0
    Rotation.Angle = 1.0
  end
)";

}  // namespace

std::string DemoDataFolder() {
  if (const char* folder = std::getenv("KV_DEMO_DATA"); folder != nullptr && *folder != '\0') {
    std::string named = folder;
    return named.back() == '/' ? named : named + "/";
  }
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  const fs::path candidates[] = {
#ifdef KV_EXAMPLES_DATA_DIR
      fs::path(KV_EXAMPLES_DATA_DIR),                            // the source tree this was built from
#endif
      program.parent_path() / "../../examples/data",             // build/bin inside the source tree
      program.parent_path() / "../share/korvane3d/examples/data",  // an installed copy
  };
  for (const fs::path& candidate : candidates) {
    if (HasDemoFiles(candidate)) return fs::weakly_canonical(candidate, ec).string() + "/";
  }
  return "examples/data/";
}

std::string DemoFormText() {
  std::string text = std::string(kDemoForm) + kDemoDevicesAndEnd;
  const std::string folder = DemoDataFolder();
  const std::string marker = "@DATA@";
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + folder.size()))
    text.replace(at, marker.size(), folder);
  return text;
}

std::unique_ptr<TComponent> ReadDemoForm() {
  auto form = std::make_unique<TForm>(nullptr);
  if (!ReadDemoForm(*form)) return nullptr;
  return form;
}

bool ReadDemoForm(TForm& form) {
  RegisterDemoControls(form);
  return ReadComponentText(DemoFormText(), "demo form", &form);
}

}  // namespace kv::viewer
