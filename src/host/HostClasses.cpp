#include "host/Registry.h"

#include "host/Forms.h"
#include "host/Timer.h"

namespace kv {

void RegisterHostClasses() {
  for (const TClassInfo* cls : {&TComponent::StaticClass(), &TForm::StaticClass(), &TButton::StaticClass(),
                                &TTimer::StaticClass()}) {
    RegisterClass(*cls);
  }
}

}  // namespace kv
