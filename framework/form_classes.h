// The classes that form files can name, with the stored properties of each: how the form reader
// creates a component of a class and assigns its properties, and what the form writer prints.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/component.h"
#include "framework/exception.h"
#include "framework/form_value.h"

namespace framework {

// One stored property of a class.
struct TPropertyInfo {
  std::string name;  // may be dotted ("SQL.Strings") for a property of an owned object
  // Assigns a value read from a form file; raises on a value of the wrong kind.
  std::function<void(TComponent&, const TFormValue&)> set;
  // The value to write; a property without it is read but never written.
  std::function<TFormValue(const TComponent&)> get;
  // Whether the value is written; unset means always.
  std::function<bool(const TComponent&)> stored;
  // For a property that names another component: set after the whole form has been read, with
  // the component found among the owners' children (null for the identifier nil).
  std::function<void(TComponent&, TComponent*)> set_reference;
  bool is_reference() const { return static_cast<bool>(set_reference); }
};

struct TComponentClass {
  std::string name;
  std::string parent;  // the base class whose properties this class inherits ("" for none)
  // Creates a component of the class owned by `owner`; null for classes that are never created
  // by the reader (abstract bases, or roots that exist before their form is read).
  std::function<TComponent*(TComponent* owner)> create;
  std::vector<TPropertyInfo> properties;
};

// Registers (or replaces) a class. "TComponent" is always registered, with no stored properties
// (the name is part of each block's header).
void RegisterComponentClass(TComponentClass cls);
// The class of that name (case-insensitive), or null.
const TComponentClass* FindComponentClass(const std::string& name);
// The stored property of that name of the class or one of its bases, or null.
const TPropertyInfo* FindStoredProperty(const std::string& class_name, const std::string& name);
// All stored properties of the class, those of its bases first, each in registration order.
std::vector<const TPropertyInfo*> StoredProperties(const std::string& class_name);

// Builds the registration of class C with typed accessors:
//   TClassRegistrar<TFoo>("TFoo", "TComponent").Create(...).Boolean("Active", &TFoo::Active,
//       &TFoo::SetActive, false).Commit();
// A default makes the property written only when its value differs from it.
template <class C>
class TClassRegistrar {
 public:
  TClassRegistrar(std::string name, std::string parent) {
    cls_.name = std::move(name);
    cls_.parent = std::move(parent);
  }

  TClassRegistrar& Create(std::function<TComponent*(TComponent*)> create) {
    cls_.create = std::move(create);
    return *this;
  }
  // A class created by `new C(owner)`.
  TClassRegistrar& Creatable() {
    cls_.create = [](TComponent* owner) -> TComponent* { return new C(owner); };
    return *this;
  }

  template <class Get, class Set>
  TClassRegistrar& Boolean(const std::string& name, Get get, Set set,
                           std::optional<bool> def = std::nullopt) {
    return Add<bool>(name, get, set, def, [](const TFormValue& v) { return v.AsBoolean(); },
                     [](bool b) { return TFormValue::Boolean(b); });
  }
  template <class Get, class Set>
  TClassRegistrar& Integer(const std::string& name, Get get, Set set,
                           std::optional<int> def = std::nullopt) {
    return Add<int>(name, get, set, def, [](const TFormValue& v) { return v.AsInt32(); },
                    [](int i) { return TFormValue::Integer(i); });
  }
  // Texts are written only when not empty unless another default is given.
  template <class Get, class Set>
  TClassRegistrar& String(const std::string& name, Get get, Set set,
                          std::optional<std::string> def = std::string()) {
    return Add<std::string>(name, get, set, def,
                            [](const TFormValue& v) { return v.AsString(); },
                            [](const std::string& s) { return TFormValue::String(s); });
  }
  // Written only when the list is not empty.
  template <class Get, class Set>
  TClassRegistrar& Strings(const std::string& name, Get get, Set set) {
    TPropertyInfo p;
    p.name = name;
    p.set = [set](TComponent& c, const TFormValue& v) { std::invoke(set, Self(c), v.AsStrings()); };
    p.get = [get](const TComponent& c) {
      return TFormValue::Strings(std::invoke(get, Self(c)));
    };
    p.stored = [get](const TComponent& c) { return std::invoke(get, Self(c)).Count() > 0; };
    cls_.properties.push_back(std::move(p));
    return *this;
  }
  // A reference to another component of class T (get returns T*, set takes T*).
  template <class T, class Get, class Set>
  TClassRegistrar& Reference(const std::string& name, Get get, Set set) {
    TPropertyInfo p;
    p.name = name;
    p.set_reference = [set](TComponent& c, TComponent* target) {
      T* typed = nullptr;
      if (target != nullptr) {
        typed = dynamic_cast<T*>(target);
        if (typed == nullptr)
          throw EComponentError("Invalid property value: " + target->Name() +
                                " is not of the required class");
      }
      std::invoke(set, Self(c), typed);
    };
    p.get = [get](const TComponent& c) {
      const TComponent* target = std::invoke(get, Self(c));
      return TFormValue::Identifier(target != nullptr ? target->Name() : "nil");
    };
    p.stored = [get](const TComponent& c) { return std::invoke(get, Self(c)) != nullptr; };
    cls_.properties.push_back(std::move(p));
    return *this;
  }
  // Any other property, with hand-written accessors.
  TClassRegistrar& Property(TPropertyInfo info) {
    cls_.properties.push_back(std::move(info));
    return *this;
  }

  void Commit() { RegisterComponentClass(cls_); }

 private:
  static C& Self(TComponent& c) { return dynamic_cast<C&>(c); }
  static const C& Self(const TComponent& c) { return dynamic_cast<const C&>(c); }

  template <class T, class Get, class Set, class Read, class Write>
  TClassRegistrar& Add(const std::string& name, Get get, Set set, std::optional<T> def,
                       Read read, Write write) {
    TPropertyInfo p;
    p.name = name;
    p.set = [set, read](TComponent& c, const TFormValue& v) { std::invoke(set, Self(c), read(v)); };
    p.get = [get, write](const TComponent& c) { return write(T(std::invoke(get, Self(c)))); };
    if (def) {
      p.stored = [get, d = *def](const TComponent& c) { return T(std::invoke(get, Self(c))) != d; };
    }
    cls_.properties.push_back(std::move(p));
    return *this;
  }

  TComponentClass cls_;
};

}  // namespace framework
