#include "korvane3d/host/Properties.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "korvane3d/host/Color.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Error.h"

namespace kv {

// ---- Typed value helpers (PropertyBuilder.h) ---------------------------------

namespace detail {

bool ValueToInt64(const PropValue& value, std::int64_t& out) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    out = *i;
    return true;
  }
  if (const auto* u = std::get_if<std::uint64_t>(&value)) {
    if (*u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
    out = static_cast<std::int64_t>(*u);
    return true;
  }
  return false;
}

bool ValueToUInt64(const PropValue& value, std::uint64_t& out) {
  if (const auto* u = std::get_if<std::uint64_t>(&value)) {
    out = *u;
    return true;
  }
  if (const auto* i = std::get_if<std::int64_t>(&value); i != nullptr && *i >= 0) {
    out = static_cast<std::uint64_t>(*i);
    return true;
  }
  return false;
}

bool ValueToDouble(const PropValue& value, double& out) {
  if (const auto* d = std::get_if<double>(&value)) {
    out = *d;
    return true;
  }
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    out = static_cast<double>(*i);
    return true;
  }
  return false;
}

bool WrongReferenceClass(const TObject* value, const TClassInfo& expected) {
  std::string what = value->ClassName();
  if (const auto* c = dynamic_cast<const TComponent*>(value); c != nullptr && !c->Name().empty()) {
    what = c->Name() + " is a " + what;
  } else {
    what = "a " + what;
  }
  return Fail(what + ", not a " + expected.Name());
}

}  // namespace detail

// ---- Paths ---------------------------------------------------------------------

bool FindPropertyPath(TObject& instance, std::string_view path, PropertyRef& out) {
  TObject* holder = &instance;
  for (;;) {
    const std::size_t dot = path.find('.');
    const std::string_view head = path.substr(0, dot);
    const PropInfo* info = holder->ClassInfo().FindProperty(head);
    if (info == nullptr) return Fail("unknown property of " + instance.ClassName());
    if (dot == std::string_view::npos) {
      out = {holder, info};
      return true;
    }
    if (info->kind != PropKind::Object) return Fail("unknown property of " + instance.ClassName());
    holder = info->object(*holder);
    if (holder == nullptr) return Fail("property object " + std::string(head) + " is missing");
    path.remove_prefix(dot + 1);
  }
}

TComponent* ComponentOf(TObject& holder) {
  for (TObject* o = &holder; o != nullptr;) {
    if (auto* c = dynamic_cast<TComponent*>(o)) return c;
    auto* p = dynamic_cast<TPersistent*>(o);
    o = p != nullptr ? p->GetOwner() : nullptr;
  }
  return nullptr;
}

TComponent* FindReference(TComponent* scope, std::string_view name) {
  for (TComponent* c = scope; c != nullptr; c = c->Owner()) {
    if (TComponent* found = c->FindComponent(name)) return found;
    if (SameText(c->Name(), name)) return c;
  }
  return nullptr;
}

// ---- Values as text --------------------------------------------------------------

namespace {

std::string FloatText(double value, bool single) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  char buffer[64];
  auto result = single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value))
                       : std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

bool ParseFloat(const FormValue& v, bool single, double& out) {
  if (v.kind == FormValue::Kind::Ident) {
    std::string_view t = v.text;
    const bool negative = !t.empty() && t.front() == '-';
    if (negative) t.remove_prefix(1);
    if (SameText(t, "Inf")) {
      out = negative ? -HUGE_VAL : HUGE_VAL;
      return true;
    }
    if (SameText(t, "NaN") && !negative) {
      out = std::numeric_limits<double>::quiet_NaN();
      return true;
    }
    return Fail("expected a number");
  }
  if (v.kind != FormValue::Kind::Number || v.text.find('$') != std::string::npos) return Fail("expected a number");
  const char* first = v.text.data();
  const char* last = first + v.text.size();
  if (*first == '+') ++first;
  std::from_chars_result r;
  if (single) {
    float f = 0;
    r = std::from_chars(first, last, f);
    out = f;
  } else {
    r = std::from_chars(first, last, out);
  }
  if (r.ec == std::errc::result_out_of_range) return Fail("value out of range");
  if (r.ec != std::errc() || r.ptr != last) return Fail("\"" + v.text + "\" is not a number");
  return true;
}

bool ParseInteger(const FormValue& v, std::int64_t& out) {
  if (v.kind != FormValue::Kind::Number) return Fail("expected an integer");
  std::string_view t = v.text;
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (!t.empty() && t.front() == '$') {
    base = 16;
    t.remove_prefix(1);
  }
  std::uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
  if (ec == std::errc::result_out_of_range) return Fail("value out of range");
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return Fail("\"" + v.text + "\" is not an integer");
  const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  if (magnitude > limit) return Fail("value out of range");
  out = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

bool ParseEnum(const PropInfo& info, const FormValue& v, std::int64_t& out) {
  if (v.kind != FormValue::Kind::Ident) return Fail("expected a value of " + info.enumInfo->typeName);
  const int index = info.enumInfo->IndexOf(v.text);
  if (index < 0) return Fail("\"" + v.text + "\" is not a value of " + info.enumInfo->typeName);
  out = index;
  return true;
}

bool ParseSet(const PropInfo& info, const FormValue& v, std::uint64_t& out) {
  if (v.kind != FormValue::Kind::Set) return Fail("expected a set such as [a, b]");
  out = 0;
  for (const std::string& item : v.items) {
    const int index = info.enumInfo->IndexOf(item);
    if (index < 0 || index >= 64) return Fail("\"" + item + "\" is not a value of " + info.enumInfo->typeName);
    out |= std::uint64_t{1} << index;
  }
  return true;
}

std::string SetText(const PropInfo& info, std::uint64_t bits) {
  std::string text = "[";
  for (std::size_t i = 0; i < info.enumInfo->names.size() && i < 64; ++i) {
    if ((bits >> i & 1) == 0) continue;
    if (text.size() > 1) text += ", ";
    text += info.enumInfo->names[i];
  }
  return text + "]";
}

}  // namespace

std::string PropValueToText(const PropInfo& info, const PropValue& value) {
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0;
  switch (info.kind) {
    case PropKind::Boolean: return std::get_if<bool>(&value) && std::get<bool>(value) ? "True" : "False";
    case PropKind::Integer:
    case PropKind::Unsigned: detail::ValueToInt64(value, i); return std::to_string(i);
    case PropKind::Single:
    case PropKind::Double: detail::ValueToDouble(value, d); return FloatText(d, info.kind == PropKind::Single);
    case PropKind::Enum:
      detail::ValueToInt64(value, i);
      if (i >= 0 && i < static_cast<std::int64_t>(info.enumInfo->names.size())) {
        return info.enumInfo->names[static_cast<std::size_t>(i)];
      }
      return std::to_string(i);
    case PropKind::Set: detail::ValueToUInt64(value, u); return SetText(info, u);
    case PropKind::String: return QuoteFormString(std::get_if<std::string>(&value) ? std::get<std::string>(value) : "");
    case PropKind::Color: detail::ValueToInt64(value, i); return ColorToString(static_cast<TColor>(i));
    case PropKind::Event: return std::get_if<std::string>(&value) ? std::get<std::string>(value) : "";
    case PropKind::Reference: {
      auto* const* obj = std::get_if<TObject*>(&value);
      auto* c = obj != nullptr ? dynamic_cast<TComponent*>(*obj) : nullptr;
      return c != nullptr ? c->Name() : "nil";
    }
    case PropKind::Object: return "(" + (info.classOf ? info.classOf().Name() : std::string("object")) + ")";
  }
  return {};
}

bool FormValueToPropValue(const PropInfo& info, const FormValue& v, PropValue& value) {
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0;
  switch (info.kind) {
    case PropKind::Boolean:
      if (v.kind == FormValue::Kind::Ident && SameText(v.text, "True")) {
        value = true;
      } else if (v.kind == FormValue::Kind::Ident && SameText(v.text, "False")) {
        value = false;
      } else {
        return Fail("expected True or False");
      }
      return true;
    case PropKind::Integer:
    case PropKind::Unsigned:
      if (!ParseInteger(v, i)) return false;
      if (i < info.minValue || i > info.maxValue) return Fail("value out of range");
      value = i;
      return true;
    case PropKind::Single:
    case PropKind::Double:
      if (!ParseFloat(v, info.kind == PropKind::Single, d)) return false;
      value = d;
      return true;
    case PropKind::Enum:
      if (v.kind == FormValue::Kind::Number) {
        if (!ParseInteger(v, i)) return false;
        if (i < info.minValue || i > info.maxValue) return Fail("not a value of " + info.enumInfo->typeName);
      } else if (!ParseEnum(info, v, i)) {
        return false;
      }
      value = i;
      return true;
    case PropKind::Set:
      if (!ParseSet(info, v, u)) return false;
      value = u;
      return true;
    case PropKind::String:
      if (v.kind != FormValue::Kind::String) return Fail("expected a string in single quotes");
      value = v.text;
      return true;
    case PropKind::Color: {
      TColor color = 0;
      if ((v.kind != FormValue::Kind::Ident && v.kind != FormValue::Kind::Number) || !StringToColor(v.text, color)) {
        return Fail("\"" + v.text + "\" is not a colour");
      }
      value = static_cast<std::int64_t>(color);
      return true;
    }
    default: return Fail("this kind of property takes no literal value");
  }
}

bool SameValue(const PropValue& a, const PropValue& b) {
  const auto* x = std::get_if<double>(&a);
  const auto* y = std::get_if<double>(&b);
  if (x != nullptr && y != nullptr) return std::memcmp(x, y, sizeof(double)) == 0;
  return a == b;
}

// ---- Generic access ----------------------------------------------------------------

bool GetPropValue(TObject& instance, std::string_view path, PropValue& value) {
  PropertyRef ref;
  if (!FindPropertyPath(instance, path, ref)) return false;
  value = ref.info->get(*ref.holder);
  return true;
}

namespace {

bool SetEvent(PropertyRef ref, const PropValue& value) {
  const auto* name = std::get_if<std::string>(&value);
  if (name == nullptr) return Fail("expected a method name");
  TEventBase& event = ref.info->event(*ref.holder);
  if (name->empty()) {
    event.Clear();
    return true;
  }
  TComponent* component = ComponentOf(*ref.holder);
  const std::any* method = component != nullptr ? component->FindMethod(*name) : nullptr;
  if (method == nullptr) return Fail("no method named " + *name + " is registered");
  if (!event.BindMethod(*name, *method)) return Fail("method " + *name + " does not match the event's parameters");
  return true;
}

}  // namespace

bool SetPropValue(TObject& instance, std::string_view path, const PropValue& value) {
  PropertyRef ref;
  if (!FindPropertyPath(instance, path, ref)) return false;
  if (ref.info->kind == PropKind::Event) return SetEvent(ref, value);
  if (!ref.info->Writable()) return Fail("property " + ref.info->name + " is read-only");
  return ref.info->set(*ref.holder, value);
}

bool GetPropText(TObject& instance, std::string_view path, std::string& text) {
  PropertyRef ref;
  if (!FindPropertyPath(instance, path, ref)) return false;
  text = PropValueToText(*ref.info, ref.info->get(*ref.holder));
  return true;
}

bool SetPropText(TObject& instance, std::string_view path, std::string_view text) {
  PropertyRef ref;
  if (!FindPropertyPath(instance, path, ref)) return false;
  FormValue parsed;
  if (!ParseFormValue(text, parsed)) return false;
  const PropInfo& info = *ref.info;
  switch (info.kind) {
    case PropKind::Object: return Fail("property " + info.name + " is an object; set its properties by dotted names");
    case PropKind::Event:
      if (parsed.kind != FormValue::Kind::Ident) return Fail("expected a method name");
      return SetEvent(ref, PropValue(parsed.text));
    case PropKind::Reference: {
      if (parsed.kind != FormValue::Kind::Ident) return Fail("expected a component name");
      if (!info.Writable()) return Fail("property " + info.name + " is read-only");
      if (SameText(parsed.text, "nil")) return info.set(*ref.holder, PropValue(static_cast<TObject*>(nullptr)));
      TComponent* target = FindReference(ComponentOf(*ref.holder), parsed.text);
      if (target == nullptr) return Fail("no component named " + parsed.text);
      return info.set(*ref.holder, PropValue(static_cast<TObject*>(target)));
    }
    default: {
      if (!info.Writable()) return Fail("property " + info.name + " is read-only");
      PropValue value;
      return FormValueToPropValue(info, parsed, value) && info.set(*ref.holder, value);
    }
  }
}

namespace {
void VisitProperties(TObject& holder, const std::string& prefix, const PropertyVisitor& visit, int depth) {
  for (const PropInfo& info : holder.ClassInfo().Properties()) {
    const std::string path = prefix + info.name;
    visit(path, holder, info);
    if (info.kind != PropKind::Object || depth > 16) continue;
    if (TObject* sub = info.object(holder)) VisitProperties(*sub, path + ".", visit, depth + 1);
  }
}
}  // namespace

void ForEachProperty(TObject& instance, const PropertyVisitor& visit) { VisitProperties(instance, "", visit, 0); }

}  // namespace kv
