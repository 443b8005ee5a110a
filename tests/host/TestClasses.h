// Test-only component classes: one property of every kind, a property
// object nested two levels deep, a reference, events, and a log of what
// reading a form did to them.
#pragma once

#include <string>
#include <vector>

#include "korvane3d/host/Color.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kvtest {

using namespace kv;

enum TTestShape { tsCube, tsSphere, tsPrism };
enum TTestOption { toSmooth, toShiny, toHidden };
using TTestOptions = TSet<TTestOption>;
extern const EnumInfo kTestShapeInfo;
extern const EnumInfo kTestOptionInfo;

// Shared log of Loaded calls and notifications, cleared by each test.
std::vector<std::string>& Log();

class TTestRange : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TTestRange(TPersistent* owner) : owner_(owner) {}
  TPersistent* GetOwner() const override { return owner_; }
  bool Assign(const TPersistent* source) override;
  int Low() const { return low_; }
  void SetLow(int v) { low_ = v; }
  int High() const { return high_; }
  void SetHigh(int v) { high_ = v; }

 private:
  TPersistent* owner_;
  int low_ = 0;
  int high_ = 10;
};

class TTestPoint : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  explicit TTestPoint(TPersistent* owner) : owner_(owner), range_(this) {}
  TPersistent* GetOwner() const override { return owner_; }
  bool Assign(const TPersistent* source) override;
  float X() const { return x_; }
  void SetX(float v) { x_ = v; }
  float Y() const { return y_; }
  void SetY(float v) { y_ = v; }
  TTestRange* Range() { return &range_; }

 private:
  TPersistent* owner_;
  float x_ = 0, y_ = 0;
  TTestRange range_;
};

class TTestThing : public TComponent {
 public:
  KV_DECLARE_CLASS()
  explicit TTestThing(TComponent* owner) : TComponent(owner), position_(this) {}

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  int Count() const { return count_; }
  void SetCount(int v) { count_ = v; }
  short Small() const { return small_; }
  void SetSmall(short v) { small_ = v; }
  std::uint32_t Mask() const { return mask_; }
  void SetMask(std::uint32_t v) { mask_ = v; }
  float Scale() const { return scale_; }
  void SetScale(float v) { scale_ = v; }
  double Precise() const { return precise_; }
  void SetPrecise(double v) { precise_ = v; }
  TTestShape Shape() const { return shape_; }
  void SetShape(TTestShape v) { shape_ = v; }
  TTestOptions Options() const { return options_; }
  void SetOptions(TTestOptions v) { options_ = v; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { color_ = v; }
  TTestThing* Partner() const { return partner_.get(); }
  void SetPartner(TTestThing* v) { partner_ = v; }
  TTestPoint* Position() { return &position_; }
  // Refuses negative values, to test setter errors.
  int Positive() const { return positive_; }
  bool SetPositive(int v);

  TNotifyEvent OnPing;
  TEvent<TObject*, int&> OnValue;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  // What Loaded saw: the partner's name ("" when none) and the flags.
  std::string partnerAtLoaded;
  bool readingAtLoaded = true;

 private:
  bool enabled_ = true;
  int count_ = 0;
  short small_ = 0;
  std::uint32_t mask_ = 0;
  float scale_ = 1.0f;
  double precise_ = 0;
  TTestShape shape_ = tsCube;
  TTestOptions options_;
  std::string caption_;
  TColor color_ = clWhite;
  Link<TTestThing> partner_;
  TTestPoint position_;
  int positive_ = 1;
};

// Adds a property to the inherited table.
class TTestThingEx : public TTestThing {
 public:
  KV_DECLARE_CLASS()
  using TTestThing::TTestThing;
  const std::string& Extra() const { return extra_; }
  void SetExtra(const std::string& v) { extra_ = v; }

 private:
  std::string extra_;
};

class TTestOther : public TComponent {
 public:
  KV_DECLARE_CLASS()
  using TComponent::TComponent;
};

// Registers the test classes (idempotent).
void RegisterTestClasses();

}  // namespace kvtest
