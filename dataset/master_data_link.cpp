#include "dataset/master_data_link.h"

#include <algorithm>

#include "dataset/data_source.h"
#include "dataset/dataset.h"

namespace dataset {

void TMasterDataLink::SetFieldNames(const std::string& names) {
  if (names == field_names_) return;
  field_names_ = names;
  ActiveChanged();
}

void TMasterDataLink::ResolveFields() {
  fields_.clear();
  TDataSet* master = DataSet();
  if (!Active() || master == nullptr) return;
  std::vector<TField*> fields;
  for (const std::string& name : SplitFieldNames(field_names_))
    fields.push_back(&master->FieldNamed(name));
  fields_ = std::move(fields);
}

void TMasterDataLink::ActiveChanged() {
  ResolveFields();
  if (detail_ == nullptr || !detail_->Active() ||
      detail_->HasState(framework::csDestroying))
    return;
  if (Active() && !fields_.empty()) {
    if (OnMasterChange) OnMasterChange();
  } else if (OnMasterDisable) {
    OnMasterDisable();
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (detail_ != nullptr && detail_->Active() && detail_->State() != stSetKey)
    detail_->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged() { ActiveChanged(); }

void TMasterDataLink::RecordChanged(TField* field) {
  if (detail_ == nullptr || !detail_->Active() || fields_.empty()) return;
  if (DataSource() != nullptr && DataSource()->State() == stSetKey) return;
  if (field != nullptr && std::find(fields_.begin(), fields_.end(), field) == fields_.end())
    return;
  if (OnMasterChange) OnMasterChange();
}

}  // namespace dataset
