// The link of a detail dataset to its master: it resolves a list of master field names into
// the master's field objects and tells the detail when the master record changes or the master
// goes away.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dataset/data_link.h"

namespace dataset {

class TMasterDataLink : public TDataLink {
 public:
  // `detail` is the dataset that follows the master.
  explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}

  TDataSet* Detail() const { return detail_; }
  // Master field names separated by ";". Resolved into Fields() while the link is active; a
  // name the master lacks raises the master's field-not-found error.
  const std::string& FieldNames() const { return field_names_; }
  void SetFieldNames(const std::string& names);
  // The master's fields, in the order of FieldNames (empty while inactive).
  const std::vector<TField*>& Fields() const { return fields_; }

  // A new master record, or a change of one of Fields() in it, or the master reopened.
  std::function<void()> OnMasterChange;
  // The master closed or its source was disabled.
  std::function<void()> OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;

 private:
  void ResolveFields();

  TDataSet* detail_;
  std::string field_names_;
  std::vector<TField*> fields_;
};

}  // namespace dataset
