// The parameters of every event type the components publish. Each entry
// names its type, so the compiler knows it; kvdoc checks that the number of
// names matches the type's parameters and that no type is listed twice.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <typeinfo>

#include "Descriptions.h"
#include "korvane3d/Korvane3D.h"

namespace kvdoc {

namespace {

template <class E>
struct Arity;
template <class... A>
struct Arity<kv::TEvent<A...>> {
  static constexpr std::size_t value = sizeof...(A);
};

template <class E>
EventSignature Signature(const char* typeName, std::initializer_list<const char*> parameters) {
  if (parameters.size() != Arity<E>::value) {
    std::fprintf(stderr, "kvdoc: %s takes %zu parameters, its description names %zu\n", typeName, Arity<E>::value,
                 parameters.size());
    std::exit(1);
  }
  return EventSignature{typeid(E), typeName, {parameters.begin(), parameters.end()}};
}

}  // namespace

const std::vector<EventSignature>& EventSignatures() {
  using namespace kv;
  static const std::vector<EventSignature> signatures = [] {
    std::vector<EventSignature> list = {
        Signature<TNotifyEvent>("TNotifyEvent", {"Sender: TObject*"}),
        Signature<TMouseEvent>("TMouseEvent",
                               {"Sender: TObject*", "Button: TMouseButton", "Shift: TShiftState", "X: int", "Y: int"}),
        Signature<TMouseMoveEvent>("TMouseMoveEvent", {"Sender: TObject*", "Shift: TShiftState", "X: int", "Y: int"}),
        Signature<TPickedEvent>("TPickedEvent", {"Sender: TObject*", "PickedObject: TObject*", "Layer: int32_t"}),
        Signature<TFlipErrorEvent>("TFlipErrorEvent", {"Sender: TObject*", "Error: HRESULT"}),
        Signature<TGDIEvent>("TGDIEvent", {"Sender: TObject*", "DC: HDC"}),
        Signature<TCollisionEvent>("TCollisionEvent", {"Sender: TObject*", "CollisionObject: TObject*"}),
        Signature<TKVIButtonEvent>("TKVIButtonEvent", {"Sender: TObject*", "TimeStamp: DWORD", "Sequence: DWORD"}),
        Signature<TKVIMoveEvent>("TKVIMoveEvent", {"Sender: TObject*", "X: LONG", "Y: LONG", "Z: LONG",
                                                   "TimeStamp: DWORD", "Sequence: DWORD"}),
        Signature<TKeyEvent>("TKeyEvent", {"Sender: TObject*", "Key: DWORD", "TimeStamp: DWORD", "Sequence: DWORD"}),
        Signature<TKeyPressedEvent>("TKeyPressedEvent", {"Sender: TObject*", "Key: DWORD"}),
        Signature<TEvent<TObject*, TCloseAction&>>("TCloseEvent", {"Sender: TObject*", "Action: TCloseAction&"}),
    };
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (list[i].type == list[j].type) {
          std::fprintf(stderr, "kvdoc: %s and %s are one type\n", list[j].typeName.c_str(), list[i].typeName.c_str());
          std::exit(1);
        }
      }
    }
    return list;
  }();
  return signatures;
}

}  // namespace kvdoc
