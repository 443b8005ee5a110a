// TPersistent: the base of every object with published properties, and of
// the property objects that components own (position, material, ...).
#pragma once

#include <string>

#include "korvane3d/host/Object.h"

namespace kv {

class TPersistent : public TObject {
 public:
  KV_DECLARE_CLASS()

  // Copies the values of `source` into this object. A class that knows how
  // to copy from the source's kind overrides Assign and calls the inherited
  // one for any other source. The base lets the source try AssignTo; when
  // neither side knows the pair it fails with "cannot assign a TX to a TY"
  // and this object is left as it was.
  virtual bool Assign(const TPersistent* source);

  // The object this one belongs to: a property object's component, a
  // component's owner. Null for a free object.
  virtual TPersistent* GetOwner() const { return nullptr; }

  // A dotted name for messages: "Form1.Ball.Position".
  virtual std::string GetNamePath() const;

 protected:
  // Copies this object's values into `dest` when this class knows the
  // destination's kind; the base reports the pair as unsupported.
  virtual bool AssignTo(TPersistent* dest) const;
};

// Copies every writable published property of `source` into `dest` through
// the setters, nested property objects included. Both must be of the same
// class. For Assign overrides that copy "all values".
bool CopyPublishedProperties(const TPersistent& source, TPersistent& dest);

}  // namespace kv
