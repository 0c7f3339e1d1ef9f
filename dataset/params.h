// Query parameters: named values with a data type and a direction, and the parser that finds
// the parameter tokens (":name") of an SQL text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataset/db_types.h"
#include "framework/variant.h"

namespace dataset {

class TField;

class TParam {
 public:
  TParam(std::string name, TFieldType type, TParamType param_type)
      : name_(std::move(name)), data_type_(type), param_type_(param_type) {}

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type) { data_type_ = type; }
  TParamType ParamType() const { return param_type_; }
  void SetParamType(TParamType type) { param_type_ = type; }
  // The value; Null until one is assigned.
  const framework::Variant& Value() const { return value_; }
  // Sets the value; the data type follows the value's kind while it is ftUnknown.
  void SetValue(const framework::Variant& value);
  bool IsNull() const { return value_.IsClear(); }
  // True once a value was assigned.
  bool Bound() const { return bound_; }
  void Clear();

  std::string AsString() const { return value_.ToString(); }
  void SetAsString(const std::string& value);
  int32_t AsInteger() const { return value_.ToInt32(); }
  void SetAsInteger(int32_t value);
  double AsFloat() const { return value_.ToDouble(); }
  void SetAsFloat(double value);
  framework::TDateTime AsDateTime() const { return value_.ToDate(); }
  void SetAsDateTime(framework::TDateTime value);
  void SetAsDate(framework::TDateTime value);
  bool AsBoolean() const { return value_.ToBool(); }
  void SetAsBoolean(bool value);

  // Takes `field`'s data type when this one's is ftUnknown, then `value`.
  void AssignFieldValue(const TField& field, const framework::Variant& value);
  // Takes `field`'s data type, then its value.
  void AssignField(const TField& field);
  // Copies name, types and value.
  void Assign(const TParam& other);
  bool operator==(const TParam& other) const;

 private:
  std::string name_;
  TFieldType data_type_;
  TParamType param_type_;
  framework::Variant value_ = framework::Variant::Null();
  bool bound_ = false;
};

class TParams {
 public:
  TParams() = default;
  TParams(const TParams& other) { Assign(other); }
  TParams& operator=(const TParams& other) {
    if (this != &other) Assign(other);
    return *this;
  }

  int Count() const { return static_cast<int>(items_.size()); }
  TParam& Items(int index) { return *items_.at(index); }
  const TParam& Items(int index) const { return *items_.at(index); }
  TParam& operator[](int index) { return *items_.at(index); }
  // Appends a parameter (names may repeat, as in SQL texts).
  TParam& CreateParam(TFieldType type, const std::string& name, TParamType param_type);
  void Delete(int index);
  void Clear() { items_.clear(); }
  // The first parameter of that name (ignoring case), or null.
  TParam* FindParam(const std::string& name);
  const TParam* FindParam(const std::string& name) const;
  // As FindParam; raises EDatabaseError "Parameter 'name' not found".
  TParam& ParamByName(const std::string& name);
  // Replaces the contents with copies of `other`'s parameters.
  void Assign(const TParams& other);
  // Gives every parameter of this collection the value (and data type) of the parameter of the
  // same name in `other`; membership does not change.
  void AssignValues(const TParams& other);
  // Same parameters with the same names, types and values in the same order.
  bool IsEqual(const TParams& other) const;

  // Collects the parameter names of `sql` in order of first occurrence and, when `create`,
  // appends a parameter (ftUnknown, ptInput) for each name not yet present.
  //
  // A parameter token is ":" followed by a name: letters, digits, "_" and bytes of 128 and
  // above, or a name in double quotes (":"first name""). Tokens are not looked for inside
  // '...' and "..." strings, [...] names and #...# date literals; "::" is a literal colon,
  // and a ":" that follows a letter or digit (as in a time 10:30) starts no token.
  std::vector<std::string> ParseSQL(const std::string& sql, bool create);

 private:
  std::vector<std::unique_ptr<TParam>> items_;
};

}  // namespace dataset
