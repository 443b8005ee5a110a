// libFuzzer entry point for the text form reader: reads the input as a form
// with a few registered classes covering every property kind, then writes
// what was read and reads that back, which must succeed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "korvane3d/host/Color.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/PropertyBuilder.h"
#include "korvane3d/host/Registry.h"

namespace {

using namespace kv;

enum TFuzzKind { fkA, fkB, fkC };
const EnumInfo kFuzzKindInfo{"TFuzzKind", {"fkA", "fkB", "fkC"}};

class TFuzzPart : public TPersistent {
 public:
  KV_DECLARE_CLASS()
  float x = 0;
  std::string s;
  float X() const { return x; }
  void SetX(float v) { x = v; }
  const std::string& S() const { return s; }
  void SetS(const std::string& v) { s = v; }
};

class TFuzzThing : public TComponent {
 public:
  KV_DECLARE_CLASS()
  explicit TFuzzThing(TComponent* owner) : TComponent(owner) {
    RegisterMethod("Go", [](TObject*) {});
  }
  bool b = false;
  int i = 0;
  std::uint32_t u = 0;
  double d = 0;
  TFuzzKind k = fkA;
  TSet<TFuzzKind> set;
  TColor color = clWhite;
  Link<TFuzzThing> other;
  TFuzzPart part;
  TNotifyEvent OnGo;

  bool B() const { return b; }
  void SetB(bool v) { b = v; }
  int I() const { return i; }
  void SetI(int v) { i = v; }
  std::uint32_t U() const { return u; }
  void SetU(std::uint32_t v) { u = v; }
  double D() const { return d; }
  void SetD(double v) { d = v; }
  TFuzzKind K() const { return k; }
  void SetK(TFuzzKind v) { k = v; }
  TSet<TFuzzKind> Kinds() const { return set; }
  void SetKinds(TSet<TFuzzKind> v) { set = v; }
  TColor Color() const { return color; }
  void SetColor(TColor v) { color = v; }
  TFuzzThing* Other() const { return other.get(); }
  void SetOther(TFuzzThing* v) { other = v; }
  TFuzzPart* Part() { return &part; }
};

const TClassInfo& TFuzzPart::StaticClass() {
  static const TClassInfo info = DefineClass<TFuzzPart, TPersistent>("TFuzzPart", [](PropertyBuilder<TFuzzPart>& p) {
    p.Float("X", &TFuzzPart::X, &TFuzzPart::SetX);
    p.String("S", &TFuzzPart::S, &TFuzzPart::SetS);
  });
  return info;
}

const TClassInfo& TFuzzThing::StaticClass() {
  static const TClassInfo info = DefineClass<TFuzzThing, TComponent>("TFuzzThing", [](PropertyBuilder<TFuzzThing>& p) {
    p.Boolean("B", &TFuzzThing::B, &TFuzzThing::SetB);
    p.Integer("I", &TFuzzThing::I, &TFuzzThing::SetI);
    p.Unsigned("U", &TFuzzThing::U, &TFuzzThing::SetU);
    p.Float("D", &TFuzzThing::D, &TFuzzThing::SetD);
    p.Enum("K", &TFuzzThing::K, &TFuzzThing::SetK, kFuzzKindInfo);
    p.Set("Kinds", &TFuzzThing::Kinds, &TFuzzThing::SetKinds, kFuzzKindInfo);
    p.Color("Color", &TFuzzThing::Color, &TFuzzThing::SetColor).Default(clWhite);
    p.Reference("Other", &TFuzzThing::Other, &TFuzzThing::SetOther);
    p.Object("Part", &TFuzzThing::Part);
    p.Event("OnGo", &TFuzzThing::OnGo);
  });
  return info;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = RegisterComponents<TFuzzThing>("Fuzz");
  (void)registered;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<TComponent> root = ReadComponentText(text, "fuzz.kvf");
  if (root == nullptr) return 0;
  std::string written;
  if (!WriteComponentText(root.get(), written)) return 0;  // e.g. a name only the input could spell
  std::unique_ptr<TComponent> again = ReadComponentText(written, "again.kvf");
  if (again == nullptr) std::abort();  // what was written must read back
  return 0;
}
