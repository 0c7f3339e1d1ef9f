#include "dataset/index_defs.h"

#include <algorithm>

#include "dataset/dataset.h"
#include "dataset/db_error.h"
#include "dataset/field.h"
#include "framework/strings.h"

namespace dataset {

namespace {

bool SameNames(const std::vector<std::string>& a, const std::vector<std::string>& b, size_t n) {
  if (a.size() < n || b.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (!framework::SameText(a[i], b[i])) return false;
  return true;
}

}  // namespace

bool TIndexDef::operator==(const TIndexDef& other) const {
  return framework::SameText(name_, other.name_) && framework::SameText(fields_, other.fields_) &&
         framework::SameText(desc_fields_, other.desc_fields_) && options_ == other.options_;
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields,
                           TIndexOptions options) {
  if (IndexOf(name) >= 0) DatabaseError("Duplicate index name '" + name + "'", dataset_);
  items_.push_back(std::make_unique<TIndexDef>(name, fields, options));
  return *items_.back();
}

void TIndexDefs::Delete(int index) { items_.erase(items_.begin() + index); }

void TIndexDefs::Assign(const TIndexDefs& other) {
  if (&other == this) return;
  items_.clear();
  for (const auto& item : other.items_) items_.push_back(std::make_unique<TIndexDef>(*item));
}

int TIndexDefs::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (framework::SameText(items_[i]->Name(), name)) return i;
  return -1;
}

TIndexDef* TIndexDefs::Find(const std::string& name) {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : items_[index].get();
}

TIndexDef& TIndexDefs::IndexNamed(const std::string& name) {
  TIndexDef* def = Find(name);
  if (def == nullptr) DatabaseError("Index '" + name + "' not found", dataset_);
  return *def;
}

TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) {
  const std::vector<std::string> wanted = SplitFieldNames(fields);
  if (wanted.empty()) return nullptr;
  TIndexDef* leading = nullptr;
  for (const auto& item : items_) {
    const std::vector<std::string> own = SplitFieldNames(item->Fields());
    if (!SameNames(own, wanted, wanted.size())) continue;
    if (own.size() == wanted.size()) return item.get();
    if (leading == nullptr) leading = item.get();
  }
  return leading;
}

void TIndexDefs::Update() {
  if (dataset_ != nullptr) dataset_->UpdateIndexDefs();
}

}  // namespace dataset
