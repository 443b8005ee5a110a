#include "korvane3d/host/Registry.h"

#include "korvane3d/host/Forms.h"
#include "korvane3d/host/Timer.h"

namespace kv {

void RegisterHostClasses() {
  for (const TClassInfo* cls : {&TComponent::StaticClass(), &TForm::StaticClass(), &TButton::StaticClass(),
                                &TTimer::StaticClass()}) {
    RegisterClass(*cls);
  }
}

}  // namespace kv
