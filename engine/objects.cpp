#include "engine/objects.h"

#include "dao/dao_constants.h"

namespace engine {

PropertyImpl::PropertyImpl(std::string name, int type, Variant value)
    : name_(std::move(name)), type_(type), value_(std::move(value)) {}

void PropertyImpl::SetName(const std::string& name) {
  if (get_) Raise(dao::err::kInvalidOperation, "The name of the property " + Quoted(name_) + " cannot be changed.");
  name_ = name;
}

void PropertyImpl::SetValue(const Variant& value) {
  if (get_ && !set_) Raise(dao::err::kInvalidOperation, "The property " + Quoted(name_) + " is read-only.");
  if (set_) set_(value);
  else value_ = value;
}

std::vector<std::shared_ptr<dao::Property>> RecordsetFieldProperties(
    const std::string& name, int type, int32_t size, int32_t attributes, bool required,
    const std::string& default_value, const std::string& table, const std::string& column, int ordinal) {
  std::vector<std::shared_ptr<dao::Property>> out;
  auto add = [&](const char* property, int property_type, Variant v) {
    out.push_back(std::make_shared<PropertyImpl>(property, property_type, [v] { return v; }));
  };
  add("Name", dao::dbText, Variant(name));
  add("Type", dao::dbInteger, Variant(type));
  add("Size", dao::dbLong, Variant(size));
  add("Attributes", dao::dbLong, Variant(attributes));
  add("Required", dao::dbBoolean, Variant(required));
  add("DefaultValue", dao::dbText, Variant(default_value));
  add("SourceTable", dao::dbText, Variant(table));
  add("SourceField", dao::dbText, Variant(column));
  add("OrdinalPosition", dao::dbInteger, Variant(ordinal));
  return out;
}

std::shared_ptr<dao::Properties> MakeProperties(
    std::function<std::vector<std::shared_ptr<dao::Property>>()> items,
    std::function<void(const PropertyValue&)> store, std::function<void(const std::string&)> remove) {
  std::function<void(std::shared_ptr<dao::Property>)> append;
  if (store) {
    append = [items, store](std::shared_ptr<dao::Property> p) {
      auto* own = dynamic_cast<PropertyImpl*>(p.get());
      if (own == nullptr || !own->free_standing())
        Raise(dao::err::kInvalidArgument, "Only a property made by CreateProperty can be appended.");
      if (own->Name().empty()) Raise(dao::err::kInvalidArgument, "The property has no name.");
      for (const auto& existing : items())
        if (SameName(existing->Name(), own->Name()))
          Raise(dao::err::kObjectExists, "The property " + Quoted(own->Name()) + " already exists.");
      store(PropertyValue{own->Name(), own->Type(), own->Value()});
    };
  }
  return std::make_shared<ListCollection<dao::Property>>("Properties", std::move(items), std::move(append),
                                                         std::move(remove));
}

namespace {

class ErrorImpl : public dao::Error {
 public:
  ErrorImpl(int32_t number, std::string description, std::string source)
      : number_(number), description_(std::move(description)), source_(std::move(source)) {}
  int32_t Number() override { return number_; }
  std::string Source() override { return source_; }
  std::string Description() override { return description_; }
  std::string HelpFile() override { return ""; }
  int32_t HelpContext() override { return 0; }
  std::string Name() { return std::to_string(number_); }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

thread_local std::vector<std::shared_ptr<dao::Error>> g_errors;

}  // namespace

void RecordError(int number, const std::string& description, const std::string& source) {
  g_errors.clear();
  g_errors.push_back(std::make_shared<ErrorImpl>(number, description, source));
}

void AppendRecordedError(int number, const std::string& description, const std::string& source) {
  g_errors.push_back(std::make_shared<ErrorImpl>(number, description, source));
}

std::shared_ptr<dao::Errors> LastErrors() {
  return std::make_shared<ListCollection<dao::Error>>(
      "Errors", [] { return g_errors; }, nullptr, nullptr);
}

std::shared_ptr<dao::Properties> NamedObject::Properties() {
  const std::string name = name_;
  return MakeProperties([name] {
    return std::vector<std::shared_ptr<dao::Property>>{
        std::make_shared<PropertyImpl>("Name", dao::dbText, [name] { return Variant(name); })};
  });
}

}  // namespace engine
