// TObject: the root of the framework's classes. It gives every instance its
// run-time class information (class name, parent class, published
// properties). A class with class information of its own puts
// KV_DECLARE_CLASS() in its public section and defines StaticClass() in its
// source file with DefineClass (PropertyBuilder.h).
#pragma once

#include <string>

#include "korvane3d/host/TypeInfo.h"

#define KV_DECLARE_CLASS()                          \
  static const ::kv::TClassInfo& StaticClass();    \
  const ::kv::TClassInfo& ClassInfo() const override { return StaticClass(); }

namespace kv {

class TObject {
 public:
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassInfo() const { return StaticClass(); }
  const std::string& ClassName() const { return ClassInfo().Name(); }
  bool InheritsFrom(const TClassInfo& cls) const { return ClassInfo().InheritsFrom(cls); }

 protected:
  TObject() = default;
};

}  // namespace kv
