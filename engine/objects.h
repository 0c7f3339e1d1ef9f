// Building blocks of the engine's DAO objects: a collection over a list of objects, properties
// backed by functions, the error list of the last failure, and the small objects (containers,
// relations, users, groups) that exist for callers that count and refresh them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dao/dao_interfaces.h"
#include "engine/catalog.h"
#include "engine/errors.h"

namespace engine {

using dao::Variant;

// The name DAO objects are looked up by.
inline std::string ObjectName(dao::Error& e) { return std::to_string(e.Number()); }
template <class T>
std::string ObjectName(T& object) {
  return object.Name();
}

// A collection whose items come from a function (re-evaluated by Refresh, or on every access
// when `live`), with optional append and delete actions.
template <class T>
class ListCollection : public dao::Collection<T> {
 public:
  using Items = std::vector<std::shared_ptr<T>>;
  ListCollection(std::string what, std::function<Items()> source,
                 std::function<void(std::shared_ptr<T>)> append = nullptr,
                 std::function<void(const std::string&)> remove = nullptr, bool live = true)
      : what_(std::move(what)), source_(std::move(source)), append_(std::move(append)),
        remove_(std::move(remove)), live_(live) {}

  int Count() override { return static_cast<int>(Get().size()); }
  std::shared_ptr<T> Item(int index) override {
    const Items& items = Get();
    if (index < 0 || index >= static_cast<int>(items.size()))
      Raise(dao::err::kNotInCollection, "Item " + std::to_string(index) + " is not in the collection " + what_ +
                                            " (it has " + std::to_string(items.size()) + " items).");
    return items[index];
  }
  std::shared_ptr<T> Item(const std::string& name) override {
    for (const auto& item : Get())
      if (SameName(ObjectName(*item), name)) return item;
    Raise(dao::err::kNotInCollection, "Item " + Quoted(name) + " is not in the collection " + what_ + ".");
  }
  void Refresh() override {
    cached_ = source_();
    loaded_ = true;
  }
  void Append(std::shared_ptr<T> object) override {
    if (!append_) Raise(dao::err::kNotSupported, "Items cannot be appended to the collection " + what_ + ".");
    if (!object) Raise(dao::err::kInvalidArgument, "No object was given to append to " + what_ + ".");
    append_(std::move(object));
    loaded_ = false;
  }
  void Delete(const std::string& name) override {
    if (!remove_) Raise(dao::err::kNotSupported, "Items cannot be deleted from the collection " + what_ + ".");
    remove_(name);
    loaded_ = false;
  }

 private:
  const Items& Get() {
    if (live_ || !loaded_) {
      cached_ = source_();
      loaded_ = true;
    }
    return cached_;
  }

  std::string what_;
  std::function<Items()> source_;
  std::function<void(std::shared_ptr<T>)> append_;
  std::function<void(const std::string&)> remove_;
  bool live_;
  bool loaded_ = false;
  Items cached_;
};

// A property whose value is read and written through functions.
class PropertyImpl : public dao::Property {
 public:
  PropertyImpl(std::string name, int type, std::function<Variant()> get,
               std::function<void(const Variant&)> set = nullptr, bool inherited = false)
      : name_(std::move(name)), type_(type), get_(std::move(get)), set_(std::move(set)),
        inherited_(inherited) {}
  // A free-standing property (CreateProperty) holding its own value.
  PropertyImpl(std::string name, int type, Variant value);

  std::string Name() override { return name_; }
  void SetName(const std::string& name) override;
  Variant Value() override { return get_ ? get_() : value_; }
  void SetValue(const Variant& value) override;
  int Type() override { return type_; }
  void SetType(int type) override { type_ = type; }
  bool Inherited() override { return inherited_; }
  bool free_standing() const { return !get_; }

 private:
  std::string name_;
  int type_;
  std::function<Variant()> get_;
  std::function<void(const Variant&)> set_;
  bool inherited_ = false;
  Variant value_;
};

// Builds a Properties collection: built-in properties first, then stored ones; appending a
// free-standing property stores it through `store`.
std::shared_ptr<dao::Properties> MakeProperties(
    std::function<std::vector<std::shared_ptr<dao::Property>>()> items,
    std::function<void(const PropertyValue&)> store = nullptr,
    std::function<void(const std::string&)> remove = nullptr);

// The read-only properties every field of a recordset shows, Name to OrdinalPosition.
std::vector<std::shared_ptr<dao::Property>> RecordsetFieldProperties(
    const std::string& name, int type, int32_t size, int32_t attributes, bool required,
    const std::string& default_value, const std::string& table, const std::string& column, int ordinal);

// The engine's record of the last failure on this thread (all engines share the one thread
// everything runs on); read by DBEngine.Errors.
void RecordError(int number, const std::string& description, const std::string& source);
// Adds a further error after those recorded (the diagnostics of a driver behind item 0).
void AppendRecordedError(int number, const std::string& description, const std::string& source);
std::shared_ptr<dao::Errors> LastErrors();

// A named object with nothing behind it (containers, users, groups).
class NamedObject : public dao::Container, public dao::User, public dao::Group {
 public:
  explicit NamedObject(std::string name) : name_(std::move(name)) {}
  std::string Name() override { return name_; }
  std::string Owner() override { return "admin"; }
  std::shared_ptr<dao::Properties> Properties() override;

 private:
  std::string name_;
};

}  // namespace engine
