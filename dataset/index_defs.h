// The index definitions of a dataset: name, ascending and descending field lists and options.
// A dataset may install a subclass that keeps them in step with its records' source.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataset/db_types.h"

namespace dataset {

class TDataSet;

class TIndexDef {
 public:
  TIndexDef(std::string name, std::string fields, TIndexOptions options)
      : name_(std::move(name)), fields_(std::move(fields)), options_(options) {}

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  // Field names separated by ";".
  const std::string& Fields() const { return fields_; }
  void SetFields(const std::string& fields) { fields_ = fields; }
  // The fields that are in descending order, separated by ";".
  const std::string& DescFields() const { return desc_fields_; }
  void SetDescFields(const std::string& fields) { desc_fields_ = fields; }
  TIndexOptions Options() const { return options_; }
  void SetOptions(TIndexOptions options) { options_ = options; }
  bool HasOption(TIndexOption option) const { return (options_ & option) != 0; }

  bool operator==(const TIndexDef& other) const;

 private:
  std::string name_;
  std::string fields_;
  std::string desc_fields_;
  TIndexOptions options_;
};

class TIndexDefs {
 public:
  explicit TIndexDefs(TDataSet* dataset) : dataset_(dataset) {}
  virtual ~TIndexDefs() = default;
  TIndexDefs(const TIndexDefs&) = delete;
  TIndexDefs& operator=(const TIndexDefs&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TIndexDef& Items(int index) { return *items_.at(index); }
  const TIndexDef& Items(int index) const { return *items_.at(index); }
  TIndexDef& operator[](int index) { return *items_.at(index); }
  // Appends a definition; a name already present raises EDatabaseError.
  TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
  void Delete(int index);
  void Clear() { items_.clear(); }
  // Copies the definitions of `other`.
  void Assign(const TIndexDefs& other);
  // Index of the definition of that name (ignoring case), or -1.
  int IndexOf(const std::string& name) const;
  TIndexDef* Find(const std::string& name);
  // As Find; raises EDatabaseError "Index 'name' not found".
  TIndexDef& IndexNamed(const std::string& name);
  // The first definition whose leading fields are exactly `fields` (";"-list, ignoring case),
  // preferring one with just those fields; null when none.
  TIndexDef* FindIndexForFields(const std::string& fields);
  // The dataset's update hook (UpdateIndexDefs): read or apply the definitions.
  virtual void Update();
  TDataSet* DataSet() const { return dataset_; }

 private:
  TDataSet* dataset_;
  std::vector<std::unique_ptr<TIndexDef>> items_;
};

}  // namespace dataset
