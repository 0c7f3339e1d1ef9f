// The field definitions of a dataset: one per column of its records' source, in source order,
// with name, type, size, required flag and precision. Field objects are made from them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataset/db_types.h"
#include "framework/component.h"

namespace dataset {

class TDataSet;
class TField;

class TFieldDef {
 public:
  TFieldDef(std::string name, TFieldType type, int size, bool required, int field_no)
      : name_(std::move(name)), data_type_(type), size_(size), required_(required),
        field_no_(field_no) {}

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type) { data_type_ = type; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  int Precision() const { return precision_; }
  void SetPrecision(int value) { precision_ = value; }
  // 1-based position among the definitions.
  int FieldNo() const { return field_no_; }

  // Creates the field object of this definition's type, owned by `owner` and added to
  // `dataset`'s fields; null for types that have no field class.
  TField* CreateField(framework::TComponent* owner, TDataSet* dataset) const;

 private:
  friend class TFieldDefs;
  std::string name_;
  TFieldType data_type_;
  int size_;
  bool required_;
  int field_no_;
  int precision_ = 0;
};

class TFieldDefs {
 public:
  explicit TFieldDefs(TDataSet* dataset) : dataset_(dataset) {}

  int Count() const { return static_cast<int>(items_.size()); }
  TFieldDef& Items(int index) { return *items_.at(index); }
  const TFieldDef& Items(int index) const { return *items_.at(index); }
  TFieldDef& operator[](int index) { return *items_.at(index); }
  // Appends a definition; a name that is empty or already present raises EDatabaseError.
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  void Clear() { items_.clear(); }
  // Index of the definition of that name (ignoring case), or -1.
  int IndexOf(const std::string& name) const;
  TFieldDef* Find(const std::string& name);
  // As Find; raises EDatabaseError "Field 'name' not found".
  TFieldDef& FieldDefNamed(const std::string& name);
  // Reads the definitions from the dataset (its BuildFieldDefs) unless it is open.
  void Update();
  TDataSet* DataSet() const { return dataset_; }

 private:
  TDataSet* dataset_;
  std::vector<std::unique_ptr<TFieldDef>> items_;
};

// Creates an unnamed field object for a field type (null when the type has no field class).
TField* CreateFieldOfType(TFieldType type, framework::TComponent* owner);

}  // namespace dataset
