#include "MeshForm.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "DemoControls.h"
#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/FileAccess.h"
#include "korvane3d/view/Kv3dview.h"
#include "korvane3d/view/Kv3dviewquality.h"

namespace kv::viewer {

namespace {

// The camera looks along this direction (normalised where it is used);
// the key light goes with it, from its upper left.
constexpr float kLookY = -0.35f;
constexpr float kLookZ = 1.0f;

// The form, less the demo's mouse and keyboard (kDemoDevicesAndEnd).
constexpr const char* kMeshForm = R"(object MeshForm: TForm
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
    BackgroundColor = $00302420
  end
  object Camera: TKV3DCamera
    ParentFrame = Scene
    Orientation.DirY = -0.35
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
  end
  object KeyLight: TKV3DLight
    ParentFrame = Camera
    Color = $00E8E8E8
    Orientation.DirX = 0.4
    Orientation.DirY = -0.5
    Orientation.DirZ = 1.0
    Orientation.UpY = 1.0
  end
  object Ambient: TKV3DLight
    ParentFrame = Scene
    Type = tAmbient
    Color = $00404040
  end
  object Model: TKV3DFrame
    ParentFrame = Scene
  end
)";

// Where the mesh lies: the centre of its bounding box and the radius of the
// sphere around that box (1 for an empty or flat-as-a-point mesh).
struct Extent {
  D3DVECTOR centre{0, 0, 0};
  float radius = 1;
};

Extent ExtentOf(IDirect3DRMMeshBuilder3* builder) {
  Extent extent;
  D3DRMBOX box{};
  if (builder->GetFaceCount() == 0 || FAILED(builder->GetBox(&box))) return extent;
  extent.centre = {(box.min.x + box.max.x) / 2, (box.min.y + box.max.y) / 2, (box.min.z + box.max.z) / 2};
  const float dx = box.max.x - box.min.x, dy = box.max.y - box.min.y, dz = box.max.z - box.min.z;
  const float radius = std::sqrt(dx * dx + dy * dy + dz * dz) / 2;
  if (std::isfinite(radius) && radius > 0) extent.radius = radius;
  return extent;
}

// Puts the mesh's centre at the origin and the camera where the whole
// bounding sphere fits the view.
void Frame(TKV3DFrame& model, TKV3DCamera& camera, TKV3DView& view, const Extent& extent) {
  model.Position()->SetX(-extent.centre.x);
  model.Position()->SetY(-extent.centre.y);
  model.Position()->SetZ(-extent.centre.z);
  // The field is half the side of the view's square on the front plane; the
  // square fits the view's longer side, so the shorter one sees less. A
  // margin keeps the mesh off the edges.
  TKV3DPlane& plane = *view.Plane();
  const float shorter = view.Width() > 0 && view.Height() > 0
                            ? float(std::min(view.Width(), view.Height())) / float(std::max(view.Width(), view.Height()))
                            : 0.75f;
  const float halfAngle = std::atan(plane.Field() / plane.Front() * shorter);
  const float distance = extent.radius / std::sin(halfAngle) * 1.1f;
  const float length = std::sqrt(kLookY * kLookY + kLookZ * kLookZ);
  camera.Position()->SetY(-kLookY / length * distance);
  camera.Position()->SetZ(-kLookZ / length * distance);
  // Clipping planes around the mesh that leave room to zoom in and out; the
  // field follows the front plane, so the angle of view stays.
  const float front = distance / 100;
  plane.SetField(plane.Field() / plane.Front() * front);
  plane.SetFront(front);
  plane.SetBack(distance + extent.radius * 50);
}

}  // namespace

bool IsMeshFile(const std::string& path) {
  files::InputFile file;  // a FIFO or device is refused, never waited on
  std::array<std::uint8_t, 4> magic{};
  return file.Open(path) && file.ReadAt(0, magic) && std::memcmp(magic.data(), "xof ", magic.size()) == 0;
}

std::unique_ptr<ViewerForm> MakeMeshForm(const std::string& path) {
  auto form = std::make_unique<ViewerForm>(nullptr);
  RegisterDemoControls(*form);
  if (!ReadComponentText(std::string(kMeshForm) + kDemoDevicesAndEnd, "mesh form", form.get())) return nullptr;
  form->SetCaption(std::filesystem::path(path).filename().string() +
                   " - Korvane 3D (drag to orbit, wheel to zoom, arrows to move, Esc to quit)");
  auto* model = dynamic_cast<TKV3DFrame*>(form->FindComponent("Model"));
  auto* camera = dynamic_cast<TKV3DCamera*>(form->FindComponent("Camera"));
  auto* view = dynamic_cast<TKV3DView*>(form->FindComponent("View"));
  if (model == nullptr || camera == nullptr || view == nullptr || SharedD3DRM3() == nullptr) {
    Fail("the engine could not be started");
    return nullptr;
  }

  // The mesh as the file has it, with its own materials and textures: an
  // engine mesh builder on the model's frame (a visual object would put its
  // own appearance over them).
  ComPtr<IDirect3DRMMeshBuilder3> builder;
  if (FAILED(SharedD3DRM3()->CreateMeshBuilder(builder.ReleaseAndGetAddressOf()))) {
    Fail("the engine could not make a mesh");
    return nullptr;
  }
  TFileReports reports;
  if (FAILED(TKV3DFile::LoadBuilder(builder.Get(), path, model, reports))) return nullptr;  // reported
  if (builder->GetFaceCount() == 0) {
    Fail(path + ": the mesh has no faces");
    return nullptr;
  }
  model->GetIDirect3DRMFrame3()->AddVisual(builder.Get());
  Frame(*model, *camera, *view, ExtentOf(builder.Get()));
  return form;
}

}  // namespace kv::viewer
