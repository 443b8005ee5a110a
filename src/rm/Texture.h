// Textures: a decoded image with its mip chain, the palette hints of
// 8-bit targets, and the settings used when the texture hangs on a frame as
// a decal.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "korvane3d/rm/Object.h"
#include "korvane3d/rm/image/Image.h"

namespace kv::rm {

struct DecalSettings {
  float width = 1, height = 1;  // in the frame's units
  LONG originX = 0, originY = 0;  // texel landing on the frame's origin
  bool scale = true;              // shrinks with depth like other geometry
  bool transparent = false;
  D3DCOLOR transparentColor = 0;
};

class Texture final : public ObjectImpl<IDirect3DRMTexture3> {
 public:
  // FILENOTFOUND when the file cannot be read, BADFILE when it is no image
  // this engine reads; nothing is made then.
  static HRESULT Load(std::string_view path, ComPtr<Texture>& out);
  static ComPtr<Texture> FromImage(kv::image::Image image);
  static Texture* From(IUnknown* object);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  HRESULT Clone(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT SetColors(DWORD colors) override;
  DWORD GetColors() override;
  HRESULT SetShades(DWORD shades) override;
  DWORD GetShades() override;
  HRESULT GenerateMIPMap(DWORD flags) override;
  HRESULT SetDecalSize(D3DVALUE width, D3DVALUE height) override;
  HRESULT GetDecalSize(D3DVALUE* width, D3DVALUE* height) override;
  HRESULT SetDecalOrigin(LONG x, LONG y) override;
  HRESULT GetDecalOrigin(LONG* x, LONG* y) override;
  HRESULT SetDecalScale(DWORD scale) override;
  DWORD GetDecalScale() override;
  HRESULT SetDecalTransparency(BOOL transparent) override;
  BOOL GetDecalTransparency() override;
  HRESULT SetDecalTransparentColor(D3DCOLOR color) override;
  D3DCOLOR GetDecalTransparentColor() override;
  HRESULT GetSize(DWORD* width, DWORD* height) override;

  // For renderers and the mesh-file code, with the engine lock held. Level 0
  // is the image itself; further levels exist after GenerateMIPMap. Images
  // never change once made: textures loaded from the same file share their
  // image, and textures with the same image share their mip levels.
  const kv::image::Image& Image() const { return *(*levels_)[0]; }
  const std::shared_ptr<const kv::image::Image>& SharedImage() const { return (*levels_)[0]; }
  std::size_t LevelCount() const { return levels_->size(); }
  const kv::image::Image& Level(std::size_t i) const { return *(*levels_)[i]; }
  const DecalSettings& Decal() const { return decal_; }
  const std::string& FileName() const { return fileName_; }

 private:
  Texture() = default;
  ~Texture() override = default;
  const char* ClassName() const override { return "Texture"; }

  using Levels = std::vector<std::shared_ptr<const kv::image::Image>>;
  static ComPtr<Texture> FromLevels(std::shared_ptr<const Levels> levels);

  std::shared_ptr<const Levels> levels_;
  std::string fileName_;
  DWORD colors_ = 8;
  DWORD shades_ = 16;
  DecalSettings decal_;
};

// The next smaller mip level: each texel the average of up to 2x2 texels.
kv::image::Image HalveImage(const kv::image::Image& image);

}  // namespace kv::rm
