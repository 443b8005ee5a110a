#include "TestClasses.h"

#include "korvane3d/host/Registry.h"

using namespace kv;

namespace kvtest {

const EnumInfo kTestShapeInfo{"TTestShape", {"tsCube", "tsSphere", "tsPrism"}};
const EnumInfo kTestOptionInfo{"TTestOption", {"toSmooth", "toShiny", "toHidden"}};

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

const TClassInfo& TTestRange::StaticClass() {
  static const TClassInfo info = DefineClass<TTestRange, TPersistent>("TTestRange", [](PropertyBuilder<TTestRange>& p) {
    p.Integer("Low", &TTestRange::Low, &TTestRange::SetLow);
    p.Integer("High", &TTestRange::High, &TTestRange::SetHigh).Default(10);
  });
  return info;
}

bool TTestRange::Assign(const TPersistent* source) {
  if (const auto* r = dynamic_cast<const TTestRange*>(source)) {
    low_ = r->low_;
    high_ = r->high_;
    return true;
  }
  return TPersistent::Assign(source);
}

const TClassInfo& TTestPoint::StaticClass() {
  static const TClassInfo info = DefineClass<TTestPoint, TPersistent>("TTestPoint", [](PropertyBuilder<TTestPoint>& p) {
    p.Float("X", &TTestPoint::X, &TTestPoint::SetX);
    p.Float("Y", &TTestPoint::Y, &TTestPoint::SetY);
    p.Object("Range", &TTestPoint::Range);
  });
  return info;
}

bool TTestPoint::Assign(const TPersistent* source) {
  if (const auto* p = dynamic_cast<const TTestPoint*>(source)) {
    x_ = p->x_;
    y_ = p->y_;
    return range_.Assign(&p->range_);
  }
  return TPersistent::Assign(source);
}

const TClassInfo& TTestThing::StaticClass() {
  static const TClassInfo info = DefineClass<TTestThing, TComponent>("TTestThing", [](PropertyBuilder<TTestThing>& p) {
    p.Boolean("Enabled", &TTestThing::Enabled, &TTestThing::SetEnabled).Default(true);
    p.Integer("Count", &TTestThing::Count, &TTestThing::SetCount);
    p.Integer("Small", &TTestThing::Small, &TTestThing::SetSmall);
    p.Unsigned("Mask", &TTestThing::Mask, &TTestThing::SetMask);
    p.Float("Scale", &TTestThing::Scale, &TTestThing::SetScale).Default(1.0f);
    p.Float("Precise", &TTestThing::Precise, &TTestThing::SetPrecise);
    p.Enum("Shape", &TTestThing::Shape, &TTestThing::SetShape, kTestShapeInfo);
    p.Set("Options", &TTestThing::Options, &TTestThing::SetOptions, kTestOptionInfo);
    p.String("Caption", &TTestThing::Caption, &TTestThing::SetCaption);
    p.Color("Color", &TTestThing::Color, &TTestThing::SetColor).Default(clWhite);
    p.Reference("Partner", &TTestThing::Partner, &TTestThing::SetPartner);
    p.Object("Position", &TTestThing::Position);
    p.Integer("Positive", &TTestThing::Positive, &TTestThing::SetPositive).Default(1);
    p.Event("OnPing", &TTestThing::OnPing);
    p.Event("OnValue", &TTestThing::OnValue);
  });
  return info;
}

bool TTestThing::SetPositive(int v) {
  if (v < 0) return Fail("must not be negative");
  positive_ = v;
  return true;
}

void TTestThing::Loaded() {
  TComponent::Loaded();
  partnerAtLoaded = Partner() ? Partner()->Name() : "";
  readingAtLoaded = ComponentState().Contains(csReading);
  Log().push_back("Loaded " + Name());
}

void TTestThing::Notification(TComponent* component, TOperation operation) {
  Log().push_back(Name() + (operation == opInsert ? " insert " : " remove ") + component->Name());
  TComponent::Notification(component, operation);
}

const TClassInfo& TTestThingEx::StaticClass() {
  static const TClassInfo info = DefineClass<TTestThingEx, TTestThing>("TTestThingEx", [](PropertyBuilder<TTestThingEx>& p) {
    p.String("Extra", &TTestThingEx::Extra, &TTestThingEx::SetExtra);
  });
  return info;
}

const TClassInfo& TTestOther::StaticClass() {
  static const TClassInfo info = DefineClass<TTestOther, TComponent>("TTestOther");
  return info;
}

void RegisterTestClasses() {
  RegisterComponents("Tests", {&TTestThing::StaticClass(), &TTestThingEx::StaticClass(), &TTestOther::StaticClass()});
}

}  // namespace kvtest
