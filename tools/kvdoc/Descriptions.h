// The words of the component reference, kept beside the names they describe:
//   Texts*.cpp         classes, properties, events, enumerations and values
//   Methods.cpp        public methods and package functions (checked by the compiler)
//   EventTypes.cpp     each event type's parameters (checked against the type)
// kvdoc fails when a published name has no text or a text no longer names
// anything, so the reference cannot fall behind the property tables.
#pragma once

#include <map>
#include <set>
#include <string>
#include <typeindex>
#include <vector>

namespace kvdoc {

// Texts by key: "TKV3DView" (a class), "TKV3DView.Scene" (a property or
// event of that class or of its descendants), "TLightType" (an
// enumeration), "TLightType.tSpot" (one of its values).
class Descriptions {
 public:
  Descriptions();
  // The text of `key`, or null when there is none. A found key counts as used.
  const std::string* Find(const std::string& key);
  // The keys no Find has asked for, in order.
  std::vector<std::string> Unused() const;

 private:
  std::map<std::string, std::string> texts_;
  std::set<std::string> used_;
};

// One public method, listed under the class that declares it.
struct MethodDoc {
  std::string className;
  std::string name;
  std::string signature;
  std::string text;
};
const std::vector<MethodDoc>& Methods();

// One free function of the package.
struct FunctionDoc {
  std::string name;
  std::string signature;
  std::string text;
};
const std::vector<FunctionDoc>& Functions();

// The parameters of one event type, as "Name: type".
struct EventSignature {
  std::type_index type;
  std::string typeName;
  std::vector<std::string> parameters;
};
const std::vector<EventSignature>& EventSignatures();

// The tables of texts: one line per key.
using TextTable = std::vector<std::pair<const char*, const char*>>;
const TextTable& ComponentTexts();       // TextsComponents.cpp: components, base and form classes
const TextTable& PropertyObjectTexts();  // TextsObjects.cpp: property objects
const TextTable& EnumerationTexts();     // TextsEnums.cpp: enumerations and their values

}  // namespace kvdoc
