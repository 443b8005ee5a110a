// Unit Kv3dscene: the root of a scene graph, with its background and fog.
//
// A scene is a frame component whose engine frame has no parent, so the
// engine treats it as a scene root. Other frame components join the scene by
// naming it as their ParentFrame; a view renders one scene. The scene-wide
// settings the engine keeps on a root frame (background colour, background
// image, fog) are the scene's published properties; the fog settings live in
// a property object the scene owns.
//
// The fog's initial values (black, off, linear, start 0, end 100, density
// 0.5) are sent to the engine when the scene is made, so that what the fog
// object holds, what its getters read back and what the engine draws agree
// from the start, and a form stores exactly the values that differ from them.
//
// Threads: main thread, like every component.
#pragma once

#include <memory>
#include <string>

#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/host/Color.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/package/Kv.h"

namespace kv {

// The fog formula; the values are the engine's fog modes.
enum TFogMode : int { fLinear = 0, fExponential = 1, fExponentialSquared = 2 };
extern const EnumInfo kFogModeInfo;

class TKV3DScene;

class TKV3DFog : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  // A fog without a scene only stores its values.
  explicit TKV3DFog(TKV3DScene* scene);

  static constexpr float kInitialStart = 0.0f;
  static constexpr float kInitialEnd = 100.0f;
  static constexpr float kInitialDensity = 0.5f;

  // Copies every setting of another fog (read through its getters) and
  // sends the result once.
  bool Assign(const TPersistent* source) override;
  TPersistent* GetOwner() const override;
  TKV3DScene* Scene() const { return scene_; }

  // May be a system colour, resolved when it is sent.
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  // The getters read the value back from the scene's frame when there is
  // one, store it and return it.
  TFogMode GetMode();
  bool SetMode(TFogMode value);
  float GetStart();
  float GetEnd();
  float GetDensity();
  // Refuse values that are not finite (false, last error set).
  bool SetStart(float value);
  bool SetEnd(float value);
  bool SetDensity(float value);

  // Sends the whole fog state to the scene's frame.
  void Change();

 private:
  IDirect3DRMFrame3* SceneFrame() const;
  bool SetParam(float& field, float value, const char* name);

  TColor color_ = clBlack;
  bool visible_ = false;
  TFogMode mode_ = fLinear;
  float start_ = kInitialStart;
  float end_ = kInitialEnd;
  float density_ = kInitialDensity;
  TKV3DScene* scene_;  // not owning; the scene owns this fog
};

class TKV3DScene : public TKV3DCustomFrame {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DScene(TComponent* owner);
  ~TKV3DScene() override;

  void Init() override;

  TKV3DFog* Fog() const { return fog_.get(); }
  // Copies the given fog's settings into the scene's own fog; the scene
  // never takes the given object over.
  void SetFog(const TKV3DFog* value);

  TColor BackgroundColor() const { return backgroundColor_; }
  // Applied on every write. A system colour is taken by its low three bytes.
  void SetBackgroundColor(TColor value);

  // The name as given, whatever became of it.
  const std::string& BackgroundImage() const { return backgroundImage_; }
  // Looks the file up (LocateDataFile: beside the form too) and shows it
  // behind the scene. A name that is found nowhere (or empty) removes the
  // background image; a file that is found but cannot be loaded leaves the
  // previous image in place. Both failures are reported
  // (ReportFileProblem).
  void SetBackgroundImage(const std::string& value);

 private:
  std::string backgroundImage_;
  TFileReports imageReports_;
  TColor backgroundColor_ = clBlack;
  std::unique_ptr<TKV3DFog> fog_;
};

}  // namespace kv
