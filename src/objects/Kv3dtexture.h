// The image texture of a visual object, and its decal settings.
//
// TKV3DTexture loads an image file (BMP, PPM/PGM or PNG) into an engine
// texture, with the colour and shade counts the engine quantises it to and
// an optional mipmap chain. The texture reaches the object's mesh builder
// through the object's wrap (TKV3DWrap::Change), which the object's
// UpdateTexture runs after every load.
//
// File names go through the package's file lookup (LocateDataFile), so a
// name given with backslashes, relative to the program or to the form file
// still resolves. A name that cannot be found or loaded leaves the object
// without a texture and keeps the name (the form still says which file it
// wants); the problem is reported (ReportFileProblem) and left in the last
// error.
//
// TKV3DDecal holds the decal settings of the same engine texture (size,
// origin, scaling with distance, transparency and its colour).
//
// Threads: main thread, like the object that owns them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvane3d/host/Color.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TKV3DObject;
class TKV3DTexture;

class TKV3DDecal : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DDecal(TKV3DTexture* texture);

  static constexpr float kInitialWidth = 1.0f;
  static constexpr float kInitialHeight = 1.0f;

  // Copies the seven decal settings through the setters.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;

  bool Scale() const { return scale_; }
  void SetScale(bool value);
  float Width() const { return width_; }
  // Width and height refuse values that are not finite (false, last error).
  bool SetWidth(float value);
  float Height() const { return height_; }
  bool SetHeight(float value);
  std::int32_t OrginX() const { return orginX_; }
  void SetOrginX(std::int32_t value);
  std::int32_t OrginY() const { return orginY_; }
  void SetOrginY(std::int32_t value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  // Raw bytes (red low); not resolved as a system colour.
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor value);

  // Sends all five decal settings to the texture's engine texture.
  void Change();

 private:
  TKV3DTexture* texture_;  // not owning; the texture owns this decal
  bool transparent_ = false;
  TColor transparentColor_ = 0;
  bool scale_ = true;
  float width_ = kInitialWidth;
  float height_ = kInitialHeight;
  std::int32_t orginX_ = 0;
  std::int32_t orginY_ = 0;
};

class TKV3DTexture : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // A texture without an object loads files but has nowhere to show them.
  explicit TKV3DTexture(TKV3DObject* object);
  ~TKV3DTexture() override;

  static constexpr std::int32_t kInitialColors = 8;
  static constexpr std::uint32_t kInitialShades = 16;

  // Copies Shades, Colors, the decal settings and last FileName (which
  // reloads); UseMipMap is not copied.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DObject* Object() const { return object_; }

  bool UseMipMap() const { return useMipMap_; }
  // A new value reloads the file.
  void SetUseMipMap(bool value);
  // The getters read the engine texture back when there is one.
  std::uint32_t GetShades();
  void SetShades(std::uint32_t value);
  std::int32_t GetColors();
  // Refuses a negative count (false, last error set).
  bool SetColors(std::int32_t value);
  TKV3DDecal* Decal() const { return decal_.get(); }
  // Copies the given decal's settings into the owned one.
  bool SetDecal(const TKV3DDecal* value);
  const std::string& FileName() const { return fileName_; }
  // Loads the file (every time, also for the name already held) and lets the
  // object re-apply its appearance. A file that cannot be found or loaded
  // leaves the object without a texture and the reason in the last error;
  // the name is kept either way.
  void SetFileName(const std::string& value);

  // Sends Colors, Shades and the decal settings to the engine texture.
  void Change();

  IDirect3DRMTexture3* GetIDirect3DTexture() const { return texture_.Get(); }
  // Copies the settings (shades, colours, decal) of another engine texture
  // into this texture's; does nothing before a file was loaded.
  void SetIDirect3DTexture(IDirect3DRMTexture3* other);

 private:
  void DropTexture();
  void Load(const std::string& path);

  TKV3DObject* object_;  // not owning; the object owns this texture
  bool useMipMap_ = false;
  std::unique_ptr<TKV3DDecal> decal_;
  std::int32_t colors_ = kInitialColors;
  std::uint32_t shades_ = kInitialShades;
  std::string fileName_;
  TFileReports reports_;
  ComPtr<IDirect3DRMTexture3> texture_;
};

}  // namespace kv
