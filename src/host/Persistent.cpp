#include "korvane3d/host/Persistent.h"

#include "korvane3d/host/Error.h"
#include "korvane3d/host/Properties.h"
#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

const TClassInfo& TPersistent::StaticClass() {
  static const TClassInfo info = DefineClass<TPersistent, TObject>("TPersistent");
  return info;
}

bool TPersistent::Assign(const TPersistent* source) {
  if (source != nullptr && source->AssignTo(this)) return true;
  return Fail("cannot assign " + (source != nullptr ? "a " + source->ClassName() : std::string("nothing")) + " to a " +
              ClassName());
}

bool TPersistent::AssignTo(TPersistent* /*dest*/) const { return false; }

std::string TPersistent::GetNamePath() const {
  const TPersistent* owner = GetOwner();
  if (owner == nullptr) return ClassName();
  // Name the property object after the owner's property that holds it.
  for (const PropInfo& info : owner->ClassInfo().Properties()) {
    if (info.kind == PropKind::Object && info.object(const_cast<TPersistent&>(*owner)) == this) {
      return owner->GetNamePath() + "." + info.name;
    }
  }
  return owner->GetNamePath() + "." + ClassName();
}

namespace {
bool CopyLevel(TObject& source, TObject& dest, int depth) {
  for (const PropInfo& info : dest.ClassInfo().Properties()) {
    if (info.kind == PropKind::Object) {
      TObject* from = info.object(source);
      TObject* to = info.object(dest);
      if (from != nullptr && to != nullptr && depth < 16 && !CopyLevel(*from, *to, depth + 1)) return false;
    } else if (info.kind == PropKind::Event) {
      continue;
    } else if (info.Writable() && !SameText(info.name, "Name")) {
      if (!info.set(dest, info.get(source))) return false;
    }
  }
  return true;
}
}  // namespace

bool CopyPublishedProperties(const TPersistent& source, TPersistent& dest) {
  if (&source.ClassInfo() != &dest.ClassInfo()) {
    return Fail("cannot copy the properties of a " + source.ClassName() + " to a " + dest.ClassName());
  }
  return CopyLevel(const_cast<TPersistent&>(source), dest, 0);
}

}  // namespace kv
