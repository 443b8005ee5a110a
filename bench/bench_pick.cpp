// Picking on a scene of 100,000 triangles in 1,000 objects (a 10 x 10 x 10
// block of 100-triangle balls in front of the camera): through the view's
// GenPick with visual objects, and through the engine's viewport alone, with
// every mesh's triangle tree already built and with every mesh edited before
// each pick so that all trees are rebuilt.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/VirtualMonitor.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/D3DRM.h"
#include "ViewBenchSupport.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/rm/DeviceInterfaces.h"

using namespace kv;

namespace {

using kv::ComPtr;

constexpr DWORD kSize = 400;

DDSURFACEDESC2 SurfaceDesc(DWORD caps, DWORD pixelFlags) {
  DDSURFACEDESC2 desc;
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = caps;
  desc.dwWidth = desc.dwHeight = kSize;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = pixelFlags;
  if (pixelFlags == DDPF_ZBUFFER) {
    desc.ddpfPixelFormat.dwZBufferBitDepth = 16;
    desc.ddpfPixelFormat.dwZBitMask = 0xFFFF;
  } else {
    desc.ddpfPixelFormat.dwRGBBitCount = 32;
    desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
    desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
    desc.ddpfPixelFormat.dwBBitMask = 0xFF;
  }
  return desc;
}

// A ball of 5 rings of 10 quads: 50 faces, 100 triangles, as face data.
struct Ball {
  std::vector<D3DVECTOR> vertices;
  std::vector<DWORD> faces;
};

Ball MakeBallFaces() {
  constexpr int kRings = 5, kSlices = 10;
  std::vector<D3DVECTOR> vertices;
  for (int r = 0; r <= kRings; ++r) {
    const float polar = 3.14159265f * static_cast<float>(r) / kRings;
    for (int s = 0; s < kSlices; ++s) {
      const float around = 2 * 3.14159265f * static_cast<float>(s) / kSlices;
      vertices.push_back({std::sin(polar) * std::cos(around) * 0.4f, std::cos(polar) * 0.4f,
                          std::sin(polar) * std::sin(around) * 0.4f});
    }
  }
  std::vector<DWORD> faces;
  for (int r = 0; r < kRings; ++r)
    for (int s = 0; s < kSlices; ++s) {
      const auto at = [&](int rr, int ss) { return static_cast<DWORD>(rr * kSlices + ss % kSlices); };
      faces.insert(faces.end(), {4, at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1)});
    }
  faces.push_back(0);
  return {std::move(vertices), std::move(faces)};
}

ComPtr<IDirect3DRMMeshBuilder3> MakeBall(IDirect3DRM3* root) {
  const Ball faces = MakeBallFaces();
  ComPtr<IDirect3DRMMeshBuilder3> ball;
  root->CreateMeshBuilder(ball.ReleaseAndGetAddressOf());
  ball->AddFaces(static_cast<DWORD>(faces.vertices.size()), faces.vertices.data(), 0, nullptr, faces.faces.data(),
                 nullptr);
  return ball;
}

float BlockX(int i) { return static_cast<float>(i % 10) - 4.5f; }
float BlockY(int i) { return static_cast<float>(i / 10 % 10) - 4.5f; }
float BlockZ(int i) { return 12.0f + static_cast<float>(i / 100); }

struct PickScene {
  ComPtr<IDirectDraw4> dd;
  ComPtr<IDirectDrawSurface4> target;
  ComPtr<IDirect3DRM3> root;
  ComPtr<IDirect3DRMDevice3> device;
  ComPtr<IDirect3DRMFrame3> scene, camera;
  ComPtr<IDirect3DRMViewport2> viewport;
  std::vector<ComPtr<IDirect3DRMMeshBuilder3>> balls;

  bool Build() {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    ComPtr<IDirectDraw> dd1;
    ComPtr<IDirectDrawSurface4> depth;
    ComPtr<IDirect3D3> d3d3;
    ComPtr<IDirect3D2> d3d2;
    ComPtr<IDirect3DDevice3> device3;
    ComPtr<IDirect3DDevice2> device2;
    ComPtr<IDirect3DRM> root1;
    DDSURFACEDESC2 color = SurfaceDesc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY, DDPF_RGB);
    DDSURFACEDESC2 zbuffer = SurfaceDesc(DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, DDPF_ZBUFFER);
    if (FAILED(DirectDrawCreate(nullptr, dd1.ReleaseAndGetAddressOf(), nullptr)) ||
        FAILED(dd1.As(IID_IDirectDraw4, dd)) || FAILED(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL)) ||
        FAILED(dd->CreateSurface(&color, target.ReleaseAndGetAddressOf(), nullptr)) ||
        FAILED(dd->CreateSurface(&zbuffer, depth.ReleaseAndGetAddressOf(), nullptr)) ||
        FAILED(target->AddAttachedSurface(depth.Get())) || FAILED(dd.As(IID_IDirect3D3, d3d3)) ||
        FAILED(dd.As(IID_IDirect3D2, d3d2)) ||
        FAILED(d3d3->CreateDevice(IID_IDirect3DRGBDevice, target.Get(), device3.ReleaseAndGetAddressOf(), nullptr)) ||
        FAILED(device3.As(IID_IDirect3DDevice2, device2)) || FAILED(Direct3DRMCreate(root1.ReleaseAndGetAddressOf())) ||
        FAILED(root1.As(IID_IDirect3DRM3, root)) ||
        FAILED(root->CreateDeviceFromD3D(d3d2.Get(), device2.Get(), device.ReleaseAndGetAddressOf())) ||
        FAILED(root->CreateFrame(nullptr, scene.ReleaseAndGetAddressOf())) ||
        FAILED(root->CreateFrame(scene.Get(), camera.ReleaseAndGetAddressOf())) ||
        FAILED(root->CreateViewport(device.Get(), camera.Get(), 0, 0, kSize, kSize, viewport.ReleaseAndGetAddressOf())))
      return false;
    for (int i = 0; i < 1000; ++i) {
      ComPtr<IDirect3DRMFrame3> frame;
      root->CreateFrame(scene.Get(), frame.ReleaseAndGetAddressOf());
      frame->SetPosition(scene.Get(), BlockX(i), BlockY(i), BlockZ(i));
      balls.push_back(MakeBall(root.Get()));
      frame->AddVisual(balls.back().Get());
    }
    return true;
  }
};

// Pixels across the block, some between balls.
constexpr LONG kPoints[][2] = {{200, 200}, {137, 251}, {260, 140}, {222, 303}, {90, 90}, {310, 177}, {5, 5}};

void Pick(benchmark::State& state, bool editEveryMesh) {
  PickScene s;
  if (!s.Build()) {
    state.SkipWithError("no viewport");
    return;
  }
  std::size_t next = 0, picked = 0;
  for (auto _ : state) {
    if (editEveryMesh) {
      state.PauseTiming();
      for (auto& ball : s.balls) ball->Translate(0, 0, 0);
      state.ResumeTiming();
    }
    const auto& point = kPoints[next++ % std::size(kPoints)];
    ComPtr<IDirect3DRMPickedArray> hits;
    s.viewport->Pick(point[0], point[1], hits.ReleaseAndGetAddressOf());
    picked += hits ? hits->GetSize() : 0;
  }
  state.counters["hits/pick"] = benchmark::Counter(static_cast<double>(picked) / static_cast<double>(state.iterations()));
}

void BM_ViewportPick(benchmark::State& state) { Pick(state, false); }
void BM_ViewportPickAfterEditingEveryMesh(benchmark::State& state) { Pick(state, true); }

// The same block as visual objects on a form, picked with the view's
// GenPick (the engine's pick, the objects found by frame, the events).
void BM_GenPick(benchmark::State& state) {
  kvbench::ViewBench bench;
  if (!bench.Build(static_cast<int>(kSize), static_cast<int>(kSize))) {
    state.SkipWithError("no viewport");
    return;
  }
  const Ball ball = MakeBallFaces();
  const kv::TKV3DFace faces(ball.vertices, {}, ball.faces);
  for (int i = 0; i < 1000; ++i) bench.Place(BlockX(i), BlockY(i), BlockZ(i))->Mesh()->SetFace(&faces);
  std::size_t next = 0, picked = 0;
  for (auto _ : state) {
    const auto& point = kPoints[next++ % std::size(kPoints)];
    bench.view->GenPick(point[0], point[1]);
    picked += bench.view->PickedList().size();
  }
  state.counters["objects/pick"] =
      benchmark::Counter(static_cast<double>(picked) / static_cast<double>(state.iterations()));
}

}  // namespace

BENCHMARK(BM_GenPick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ViewportPick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ViewportPickAfterEditingEveryMesh)->Unit(benchmark::kMicrosecond);
