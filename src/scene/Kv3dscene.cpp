#include "korvane3d/scene/Kv3dscene.h"

#include <cmath>

#include "korvane3d/host/Error.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

const EnumInfo kFogModeInfo{"TFogMode", {"fLinear", "fExponential", "fExponentialSquared"}};

namespace {
// The engine's packed 0xAARRGGBB with full alpha, from a TColor's low three
// bytes (red in the low byte). Each byte goes through the float component
// and back, which returns it unchanged.
D3DCOLOR OpaqueD3DColor(TColor color) {
  D3DVALUE r = 0, g = 0, b = 0;
  ColorToD3DValues(color, r, g, b);
  return 0xFF000000u | D3DValuesToColor(r, g, b);
}

bool IsFogMode(TFogMode mode) { return mode >= fLinear && mode <= fExponentialSquared; }

// The fog's colour as it is sent: a system colour is looked up as the
// scheme has it now; any other value gives its low three bytes, the markers
// clNone (white) and clDefault (black) included.
TColor FogRGB(TColor color) {
  if ((color & clSystemColor) != 0) return GetSysColor(static_cast<int>(color & 0x00FFFFFF)) & 0x00FFFFFF;
  return color & 0x00FFFFFF;
}
}  // namespace

// ---- TKV3DFog --------------------------------------------------------------------

const TClassInfo& TKV3DFog::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DFog, TPersistent>("TKV3DFog", [](PropertyBuilder<TKV3DFog>& p) {
    p.Color("Color", &TKV3DFog::Color, &TKV3DFog::SetColor);
    p.Boolean("Visible", &TKV3DFog::Visible, &TKV3DFog::SetVisible);
    p.Enum("Mode", &TKV3DFog::GetMode, &TKV3DFog::SetMode, kFogModeInfo);
    // Defaults are the values a new fog has, so a value set back to zero
    // is written and comes back as zero.
    p.Float("Start", &TKV3DFog::GetStart, &TKV3DFog::SetStart).Default(kInitialStart);
    p.Float("End", &TKV3DFog::GetEnd, &TKV3DFog::SetEnd).Default(kInitialEnd);
    p.Float("Density", &TKV3DFog::GetDensity, &TKV3DFog::SetDensity).Default(kInitialDensity);
  });
  return info;
}

TKV3DFog::TKV3DFog(TKV3DScene* scene) : scene_(scene) {}

TPersistent* TKV3DFog::GetOwner() const { return scene_; }

IDirect3DRMFrame3* TKV3DFog::SceneFrame() const { return scene_ != nullptr ? scene_->GetIDirect3DRMFrame3() : nullptr; }

bool TKV3DFog::Assign(const TPersistent* source) {
  auto* from = const_cast<TKV3DFog*>(dynamic_cast<const TKV3DFog*>(source));
  if (from == nullptr) return TPersistent::Assign(source);
  if (from == this) return true;
  // Read every value before writing any: the getters may ask the engine.
  const TColor color = from->Color();
  const bool visible = from->Visible();
  const TFogMode mode = from->GetMode();
  const float start = from->GetStart();
  const float end = from->GetEnd();
  const float density = from->GetDensity();
  color_ = color;
  visible_ = visible;
  mode_ = mode;
  start_ = start;
  end_ = end;
  density_ = density;
  Change();
  return true;
}

void TKV3DFog::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Change();
}

void TKV3DFog::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Change();
}

bool TKV3DFog::SetMode(TFogMode value) {
  if (!IsFogMode(value)) return Fail("not a value of TFogMode");
  if (value == mode_) return true;
  mode_ = value;
  Change();
  return true;
}

TFogMode TKV3DFog::GetMode() {
  if (IDirect3DRMFrame3* frame = SceneFrame()) {
    const D3DRMFOGMODE reported = frame->GetSceneFogMode();
    // A mode the component does not know keeps the stored one.
    if (reported <= D3DRMFOG_EXPONENTIALSQUARED) mode_ = static_cast<TFogMode>(reported);
  }
  return mode_;
}

bool TKV3DFog::SetParam(float& field, float value, const char* name) {
  if (!std::isfinite(value)) return Fail(std::string("the fog's ") + name + " must be a finite number");
  if (value == field) return true;
  field = value;
  Change();
  return true;
}

bool TKV3DFog::SetStart(float value) { return SetParam(start_, value, "Start"); }
bool TKV3DFog::SetEnd(float value) { return SetParam(end_, value, "End"); }
bool TKV3DFog::SetDensity(float value) { return SetParam(density_, value, "Density"); }

float TKV3DFog::GetStart() {
  if (IDirect3DRMFrame3* frame = SceneFrame()) frame->GetSceneFogParams(&start_, nullptr, nullptr);
  return start_;
}

float TKV3DFog::GetEnd() {
  if (IDirect3DRMFrame3* frame = SceneFrame()) frame->GetSceneFogParams(nullptr, &end_, nullptr);
  return end_;
}

float TKV3DFog::GetDensity() {
  if (IDirect3DRMFrame3* frame = SceneFrame()) frame->GetSceneFogParams(nullptr, nullptr, &density_);
  return density_;
}

void TKV3DFog::Change() {
  const TColor rgb = FogRGB(color_);
  IDirect3DRMFrame3* frame = SceneFrame();
  if (frame == nullptr) return;
  frame->SetSceneFogColor(OpaqueD3DColor(rgb));
  frame->SetSceneFogMode(static_cast<D3DRMFOGMODE>(mode_));
  frame->SetSceneFogEnable(visible_ ? TRUE : FALSE);
  frame->SetSceneFogParams(start_, end_, density_);
}

// ---- TKV3DScene ------------------------------------------------------------------

const TClassInfo& TKV3DScene::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DScene, TKV3DCustomFrame>("TKV3DScene", [](PropertyBuilder<TKV3DScene>& p) {
    p.Object("Fog", &TKV3DScene::Fog, &TKV3DScene::SetFog);
    p.Color("BackgroundColor", &TKV3DScene::BackgroundColor, &TKV3DScene::SetBackgroundColor);
    p.String("BackgroundImage", &TKV3DScene::BackgroundImage, &TKV3DScene::SetBackgroundImage);
  });
  return info;
}

TKV3DScene::TKV3DScene(TComponent* owner) : TKV3DCustomFrame(owner, DeferConstruct{}) {
  Construct();
  backgroundImage_.clear();
  // Out of the shared root: a frame without a parent is a scene root.
  IDirect3DRMFrame3* frame = GetIDirect3DRMFrame3();
  if (IDirect3DRMFrame3* root = SharedRootFrame(); root != nullptr && frame != nullptr) root->DeleteChild(frame);
  fog_ = std::make_unique<TKV3DFog>(this);
  fog_->Change();
}

TKV3DScene::~TKV3DScene() {
  fog_.reset();
  backgroundImage_.clear();
}

void TKV3DScene::Init() {
  backgroundImage_.clear();
  backgroundColor_ = clBlack;
}

void TKV3DScene::SetFog(const TKV3DFog* value) {
  if (value != nullptr && fog_) fog_->Assign(value);
}

void TKV3DScene::SetBackgroundColor(TColor value) {
  backgroundColor_ = value;
  if (IDirect3DRMFrame3* frame = GetIDirect3DRMFrame3()) frame->SetSceneBackground(OpaqueD3DColor(value));
}

void TKV3DScene::SetBackgroundImage(const std::string& value) {
  backgroundImage_ = value;
  const std::string path = LocateDataFile(value, this);
  IDirect3DRMFrame3* frame = GetIDirect3DRMFrame3();
  if (path.empty()) {
    if (frame != nullptr) frame->SetSceneBackgroundImage(nullptr);
    if (!value.empty()) imageReports_.Problem(this, "background image \"" + value + "\" not found");
    return;
  }
  if (SharedD3DRM() == nullptr || SharedD3DRM3() == nullptr || frame == nullptr) return;
  ComPtr<IDirect3DRMTexture3> texture;
  const HRESULT hr = SharedD3DRM3()->LoadTexture(path.c_str(), texture.ReleaseAndGetAddressOf());
  if (FAILED(hr) || !texture) {
    // The image shown so far stays.
    imageReports_.Problem(this, "background image \"" + path + "\" could not be loaded");
    return;
  }
  imageReports_.Clear();
  // The frame keeps its own reference; ours goes with `texture`.
  frame->SetSceneBackgroundImage(texture.Get());
}

}  // namespace kv
