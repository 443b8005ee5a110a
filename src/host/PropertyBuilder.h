// Declaring a class's published properties: once, in publishing order, from
// the class's own getters and setters.
//
//   class TBall : public TComponent {
//    public:
//     KV_DECLARE_CLASS()
//     explicit TBall(TComponent* owner);
//     float Radius() const;          void SetRadius(float);
//     TShape Shape() const;          void SetShape(TShape);
//     TKV3DPosition* Position() const;
//     TBall* Partner() const;        void SetPartner(TBall*);
//     TNotifyEvent OnMove;
//   };
//
//   const TClassInfo& TBall::StaticClass() {
//     static const TClassInfo info = DefineClass<TBall, TComponent>("TBall", [](PropertyBuilder<TBall>& p) {
//       p.Float("Radius", &TBall::Radius, &TBall::SetRadius).Default(1.0f);
//       p.Enum("Shape", &TBall::Shape, &TBall::SetShape, kShapeInfo);
//       p.Object("Position", &TBall::Position);
//       p.Reference("Partner", &TBall::Partner, &TBall::SetPartner);
//       p.Event("OnMove", &TBall::OnMove);
//     });
//     return info;
//   }
//
// Getters are member functions returning the value (or a const reference);
// setters take it and return nothing, or return bool to refuse a value
// (false with the last error set, Error.h). A property without a setter is
// listed but neither written to nor read from forms.
//
// Defaults: a property is written to a form only when its value differs
// from its default. Without Default(...) the default is the type's zero
// (false, 0, the first enumeration value, the empty set, "", clBlack, no
// component, no handler), so declare the value the constructor sets.
// Stored(false) never writes it; StoredIf(&T::IsXStored) asks the object.
#pragma once

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "korvane3d/host/Color.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Event.h"
#include "korvane3d/host/Set.h"
#include "korvane3d/host/TypeInfo.h"

namespace kv {

namespace detail {
bool ValueToInt64(const PropValue& value, std::int64_t& out);
bool ValueToUInt64(const PropValue& value, std::uint64_t& out);
bool ValueToDouble(const PropValue& value, double& out);
bool WrongReferenceClass(const TObject* value, const TClassInfo& expected);

template <class T>
ComponentFactory FactoryFor() {
  if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                std::is_constructible_v<T, TComponent*>) {
    return [](TComponent* owner) -> TComponent* {
      // The exact class is known here, so its owner can skip it for
      // notifications it takes no notice of (Component.h).
      T* component = new T(owner);  // owned by `owner`, or by the caller without one
      if constexpr (IgnoresInsertsAndFrees<T>()) component->IgnoreInsertsAndFrees();
      return component;
    };
  } else {
    return nullptr;
  }
}

template <class T>
ExactClass ExactClassOf() {
  if constexpr (std::is_base_of_v<TComponent, T>) {
    return {&typeid(T), IgnoresInsertsAndFrees<T>()};
  } else {
    return {&typeid(T), false};
  }
}
}  // namespace detail

template <class T>
class PropertyBuilder {
 public:
  class Options {
   public:
    Options(std::vector<PropInfo>& props, std::size_t index) : props_(props), index_(index) {}
    template <class V>
    Options& Default(const V& value) {
      PropInfo& p = props_[index_];
      if constexpr (IsTSet<V>::value) {
        p.defaultValue = value.Bits();
      } else if constexpr (std::is_same_v<V, bool>) {
        p.defaultValue = value;
      } else if constexpr (std::is_enum_v<V> || std::is_integral_v<V>) {
        if (p.kind == PropKind::Set) {
          p.defaultValue = static_cast<std::uint64_t>(value);
        } else if (p.kind == PropKind::Single || p.kind == PropKind::Double) {
          p.defaultValue = static_cast<double>(value);
        } else {
          p.defaultValue = static_cast<std::int64_t>(value);
        }
      } else if constexpr (std::is_floating_point_v<V>) {
        p.defaultValue = static_cast<double>(value);
      } else {
        p.defaultValue = std::string(value);
      }
      return *this;
    }
    Options& Stored(bool stored) {
      props_[index_].stored = stored ? StoredRule::Unconditional : StoredRule::Never;
      return *this;
    }
    Options& StoredIf(bool (T::*predicate)() const) {
      props_[index_].stored = StoredRule::Predicate;
      props_[index_].storedIf = [predicate](TObject& o) { return (Self(o).*predicate)(); };
      return *this;
    }

   private:
    std::vector<PropInfo>& props_;
    std::size_t index_;
  };

  template <class G, class S = std::nullptr_t>
  Options Boolean(std::string name, G getter, S setter = nullptr) {
    static_assert(std::is_same_v<ValueOf<G>, bool>, "a Bool property reads a bool");
    PropInfo& p = Add(std::move(name), PropKind::Boolean, false);
    p.get = [getter](TObject& o) { return PropValue(static_cast<bool>(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter](TObject& o, const PropValue& v) {
        const bool* b = std::get_if<bool>(&v);
        if (b == nullptr) return Fail("expected True or False");
        return Put(setter, o, *b);
      };
    }
    return Last();
  }

  template <class G, class S = std::nullptr_t>
  Options Integer(std::string name, G getter, S setter = nullptr) {
    using V = ValueOf<G>;
    static_assert(std::is_integral_v<V> && std::is_signed_v<V>, "an Integer property reads a signed integer");
    return Integral(std::move(name), PropKind::Integer, getter, setter);
  }

  template <class G, class S = std::nullptr_t>
  Options Unsigned(std::string name, G getter, S setter = nullptr) {
    using V = ValueOf<G>;
    static_assert(std::is_integral_v<V> && std::is_unsigned_v<V> && sizeof(V) <= 4 && !std::is_same_v<V, bool>,
                  "an Unsigned property reads an unsigned integer of at most 32 bits");
    return Integral(std::move(name), PropKind::Unsigned, getter, setter);
  }

  // Single precision for float getters, double precision for double.
  template <class G, class S = std::nullptr_t>
  Options Float(std::string name, G getter, S setter = nullptr) {
    using V = ValueOf<G>;
    static_assert(std::is_same_v<V, float> || std::is_same_v<V, double>, "a Float property reads float or double");
    PropInfo& p = Add(std::move(name), std::is_same_v<V, float> ? PropKind::Single : PropKind::Double, 0.0);
    p.get = [getter](TObject& o) { return PropValue(static_cast<double>(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter](TObject& o, const PropValue& v) {
        double d = 0;
        if (!detail::ValueToDouble(v, d)) return Fail("expected a number");
        if (std::isfinite(d) && std::fabs(d) > static_cast<double>(std::numeric_limits<V>::max())) {
          return Fail("value out of range");
        }
        return Put(setter, o, static_cast<V>(d));
      };
    }
    return Last();
  }

  template <class G, class S = std::nullptr_t>
  Options Enum(std::string name, G getter, S setter, const EnumInfo& info) {
    using V = ValueOf<G>;
    static_assert(std::is_enum_v<V> || std::is_integral_v<V>, "an Enum property reads an enumeration");
    PropInfo& p = Add(std::move(name), PropKind::Enum, std::int64_t{0});
    p.enumInfo = &info;
    p.minValue = 0;
    p.maxValue = static_cast<std::int64_t>(info.names.size()) - 1;
    p.get = [getter](TObject& o) { return PropValue(static_cast<std::int64_t>(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter, &info](TObject& o, const PropValue& v) {
        std::int64_t x = 0;
        if (!detail::ValueToInt64(v, x)) return Fail("expected a value of " + info.typeName);
        if (x < 0 || x >= static_cast<std::int64_t>(info.names.size())) return Fail("not a value of " + info.typeName);
        return Put(setter, o, static_cast<V>(x));
      };
    }
    return Last();
  }

  template <class G, class S = std::nullptr_t>
  Options Set(std::string name, G getter, S setter, const EnumInfo& info) {
    using V = ValueOf<G>;
    static_assert(IsTSet<V>::value || (std::is_integral_v<V> && std::is_unsigned_v<V>),
                  "a Set property reads a TSet or an unsigned mask");
    PropInfo& p = Add(std::move(name), PropKind::Set, std::uint64_t{0});
    p.enumInfo = &info;
    p.get = [getter](TObject& o) { return PropValue(Bits(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter, &info](TObject& o, const PropValue& v) {
        std::uint64_t bits = 0;
        if (!detail::ValueToUInt64(v, bits)) return Fail("expected a set of " + info.typeName);
        const std::size_t n = info.names.size();
        if (n < 64 && (bits >> n) != 0) return Fail("not a set of " + info.typeName);
        if constexpr (IsTSet<V>::value) {
          return Put(setter, o, V::FromBits(bits));
        } else {
          if (bits > std::numeric_limits<V>::max()) return Fail("not a set of " + info.typeName);
          return Put(setter, o, static_cast<V>(bits));
        }
      };
    }
    return Last();
  }

  template <class G, class S = std::nullptr_t>
  Options String(std::string name, G getter, S setter = nullptr) {
    PropInfo& p = Add(std::move(name), PropKind::String, std::string());
    p.get = [getter](TObject& o) { return PropValue(std::string(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter](TObject& o, const PropValue& v) {
        const std::string* s = std::get_if<std::string>(&v);
        if (s == nullptr) return Fail("expected a string");
        return Put(setter, o, *s);
      };
    }
    return Last();
  }

  template <class G, class S = std::nullptr_t>
  Options Color(std::string name, G getter, S setter = nullptr) {
    static_assert(std::is_same_v<ValueOf<G>, TColor>, "a Color property reads a TColor");
    PropInfo& p = Add(std::move(name), PropKind::Color, std::int64_t{0});
    p.get = [getter](TObject& o) { return PropValue(static_cast<std::int64_t>(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter](TObject& o, const PropValue& v) {
        std::int64_t x = 0;
        if (!detail::ValueToInt64(v, x)) return Fail("expected a colour");
        // Negative values are the signed spelling of the same 32 bits.
        if (x < std::numeric_limits<std::int32_t>::min() || x > std::numeric_limits<std::uint32_t>::max()) {
          return Fail("value out of range");
        }
        return Put(setter, o, static_cast<TColor>(static_cast<std::uint32_t>(x)));
      };
    }
    return Last();
  }

  // A non-owning link to another component of class U (the getter's U*).
  template <class G, class S = std::nullptr_t>
  Options Reference(std::string name, G getter, S setter = nullptr) {
    using P = ValueOf<G>;
    static_assert(std::is_pointer_v<P>, "a Reference property reads a component pointer");
    using U = std::remove_const_t<std::remove_pointer_t<P>>;
    static_assert(std::is_base_of_v<TComponent, U>, "a Reference property points to a component");
    PropInfo& p = Add(std::move(name), PropKind::Reference, static_cast<TObject*>(nullptr));
    p.classOf = &U::StaticClass;
    p.get = [getter](TObject& o) { return PropValue(static_cast<TObject*>(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter](TObject& o, const PropValue& v) {
        TObject* const* obj = std::get_if<TObject*>(&v);
        if (obj == nullptr) return Fail("expected a component");
        U* target = dynamic_cast<U*>(*obj);
        if (*obj != nullptr && target == nullptr) return detail::WrongReferenceClass(*obj, U::StaticClass());
        return Put(setter, o, target);
      };
    }
    return Last();
  }

  // A property object owned by the instance (getter returns U*). Its own
  // properties are read and written as dotted names. Setting it as a whole
  // copies the given object in with the setter or, without one, Assign.
  template <class G, class S = std::nullptr_t>
  Options Object(std::string name, G getter, S setter = nullptr) {
    using P = ValueOf<G>;
    static_assert(std::is_pointer_v<P>, "an Object property reads a pointer to its object");
    using U = std::remove_const_t<std::remove_pointer_t<P>>;
    static_assert(std::is_base_of_v<TPersistent, U>, "a property object is a TPersistent");
    PropInfo& p = Add(std::move(name), PropKind::Object, PropValue());
    p.classOf = &U::StaticClass;
    p.object = [getter](TObject& o) -> TPersistent* { return const_cast<U*>(std::invoke(getter, Self(o))); };
    p.get = [getter](TObject& o) { return PropValue(static_cast<TObject*>(const_cast<U*>(std::invoke(getter, Self(o))))); };
    p.set = [getter, setter](TObject& o, const PropValue& v) {
      TObject* const* obj = std::get_if<TObject*>(&v);
      const U* source = obj != nullptr ? dynamic_cast<const U*>(*obj) : nullptr;
      if (source == nullptr) return Fail("expected a " + U::StaticClass().Name());
      if constexpr (!std::is_null_pointer_v<S>) {
        (void)getter;
        return Put(setter, o, source);
      } else {
        (void)setter;
        U* target = const_cast<U*>(std::invoke(getter, Self(o)));
        return target != nullptr && target->Assign(source);
      }
    };
    return Last();
  }

  // `field` may be an event of a base class (publishing an inherited event).
  template <class C, class... A>
  Options Event(std::string name, TEvent<A...> C::*field) {
    static_assert(std::is_base_of_v<C, T>, "the event must belong to the class or a base");
    PropInfo& p = Add(std::move(name), PropKind::Event, PropValue());
    p.event = [field](TObject& o) -> TEventBase& { return Self(o).*field; };
    p.get = [field](TObject& o) { return PropValue((Self(o).*field).MethodName()); };
    return Last();
  }

  std::vector<PropInfo> Take() { return std::move(props_); }

 private:
  template <class G>
  using ValueOf = std::remove_cvref_t<std::invoke_result_t<G, T&>>;

  static T& Self(TObject& o) { return static_cast<T&>(o); }

  template <class S, class V>
  static bool Put(S setter, TObject& o, V&& value) {
    if constexpr (std::is_same_v<std::invoke_result_t<S, T&, V>, bool>) {
      return std::invoke(setter, Self(o), std::forward<V>(value));
    } else {
      std::invoke(setter, Self(o), std::forward<V>(value));
      return true;
    }
  }

  template <class V>
  static std::uint64_t Bits(const V& v) {
    if constexpr (IsTSet<V>::value) {
      return v.Bits();
    } else {
      return static_cast<std::uint64_t>(v);
    }
  }

  template <class G, class S>
  Options Integral(std::string name, PropKind kind, G getter, S setter) {
    using V = ValueOf<G>;
    PropInfo& p = Add(std::move(name), kind, std::int64_t{0});
    p.minValue = static_cast<std::int64_t>(std::numeric_limits<V>::min());
    p.maxValue = static_cast<std::int64_t>(std::numeric_limits<V>::max());
    p.get = [getter](TObject& o) { return PropValue(static_cast<std::int64_t>(std::invoke(getter, Self(o)))); };
    if constexpr (!std::is_null_pointer_v<S>) {
      p.set = [setter](TObject& o, const PropValue& v) {
        std::int64_t x = 0;
        if (!detail::ValueToInt64(v, x)) return Fail("expected an integer");
        if (x < static_cast<std::int64_t>(std::numeric_limits<V>::min()) ||
            x > static_cast<std::int64_t>(std::numeric_limits<V>::max())) {
          return Fail("value out of range");
        }
        return Put(setter, o, static_cast<V>(x));
      };
    }
    return Last();
  }

  PropInfo& Add(std::string name, PropKind kind, PropValue defaultValue) {
    PropInfo& p = props_.emplace_back();
    p.name = std::move(name);
    p.kind = kind;
    p.defaultValue = std::move(defaultValue);
    return p;
  }
  Options Last() { return Options(props_, props_.size() - 1); }

  std::vector<PropInfo> props_;
};

// The class information of T, whose parent class is Parent: the parent's
// properties followed by those `define` declares. Component classes that
// can be constructed from an owner get a factory, so forms can create them.
template <class T, class Parent>
TClassInfo DefineClass(std::string name, const std::function<void(PropertyBuilder<T>&)>& define = nullptr) {
  static_assert(std::is_base_of_v<Parent, T>, "Parent must be a base of T");
  PropertyBuilder<T> builder;
  if (define) define(builder);
  return TClassInfo(std::move(name), &Parent::StaticClass(), detail::FactoryFor<T>(), builder.Take(),
                    detail::ExactClassOf<T>());
}

}  // namespace kv
