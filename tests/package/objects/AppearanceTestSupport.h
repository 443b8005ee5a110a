// Shared set-up for the appearance tests (material, texture, wrap, shadow,
// quality, scale): the headless platform, a fresh engine root, and a visual
// object whose mesh holds a small geometry of known vertices.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "korvane3d/host/Component.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/rm/D3DRM.h"
#include "support/OwnPictures.h"

namespace kvtest {

using namespace kv;

class AppearanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    kv::ResetSharedRuntime();
    owner = std::make_unique<kv::TComponent>(nullptr);
    object = new kv::TKV3DObject(owner.get());
    object->SetName("Thing");
    pictures_ = std::filesystem::path(::testing::TempDir()) /
                ("kv-appearance-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(pictures_);
  }
  void TearDown() override {
    owner.reset();
    kv::ResetSharedRuntime();
    std::filesystem::remove_all(pictures_);
  }

  // A picture of our own in the test's folder, in the format the name's
  // extension gives (.bmp, .png, .ppm); written at the first call.
  std::string Picture(const std::string& name) {
    const std::filesystem::path file = pictures_ / name;
    if (std::filesystem::exists(file)) return file.string();
    const std::string path = WritePicture(file);
    EXPECT_FALSE(path.empty()) << name;
    return path;
  }

  // Replaces the object's geometry by triangles over `points` (three per
  // face), each corner with the normal `normal`.
  void SetTriangles(const std::vector<D3DVECTOR>& points, D3DVECTOR normal = {0, 0, -1}) {
    std::vector<DWORD> data;
    for (DWORD i = 0; i + 2 < points.size(); i += 3) data.insert(data.end(), {3, i, 0, i + 1, 0, i + 2, 0});
    data.push_back(0);
    kv::TKV3DFace face(points, {normal}, data);
    if (Builder() == nullptr) object->Mesh()->Create();
    ASSERT_TRUE(object->Mesh()->SetFace(&face));
  }
  // A unit square in the plane z = 0 (two triangles).
  void SetSquare() { SetTriangles({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {1, 0, 0}}); }

  IDirect3DRMMeshBuilder3* Builder() const { return object->Mesh()->GetIDirect3DMeshBuilder(); }
  IDirect3DRMFrame3* Frame() const { return object->GetIDirect3DRMFrame3(); }

  D3DVECTOR Vertex(DWORD index) const {
    D3DVECTOR v{};
    Builder()->GetVertex(index, &v);
    return v;
  }
  std::pair<float, float> TexCoords(DWORD index) const {
    float u = -99, v = -99;
    Builder()->GetTextureCoordinates(index, &u, &v);
    return {u, v};
  }

  // The visuals on the object's frame that answer to `iid`.
  std::vector<kv::ComPtr<IUnknown>> VisualsOf(REFIID iid) const {
    DWORD count = 0;
    Frame()->GetVisuals(&count, nullptr);
    std::vector<IUnknown*> raw(count, nullptr);
    Frame()->GetVisuals(&count, raw.data());
    std::vector<kv::ComPtr<IUnknown>> out;
    for (IUnknown* v : raw) {
      kv::ComPtr<IUnknown> typed;
      if (v != nullptr && SUCCEEDED(v->QueryInterface(iid, reinterpret_cast<void**>(typed.ReleaseAndGetAddressOf()))))
        out.push_back(typed);
      if (v != nullptr) v->Release();
    }
    return out;
  }

  std::unique_ptr<kv::TComponent> owner;
  kv::TKV3DObject* object = nullptr;  // owned by `owner`

 private:
  std::filesystem::path pictures_;
};

}  // namespace kvtest
