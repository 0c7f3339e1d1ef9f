#include "dataset/data_link.h"

#include <algorithm>

#include "dataset/data_source.h"
#include "dataset/dataset.h"

namespace dataset {

TDataLink::~TDataLink() {
  if (data_source_ != nullptr) data_source_->RemoveLink(this);
  data_source_ = nullptr;
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == data_source_) return;
  if (data_source_ != nullptr) data_source_->RemoveLink(this);
  data_source_ = source;
  if (source != nullptr) source->AddLink(this);
  UpdateState();
}

TDataSet* TDataLink::DataSet() const {
  return data_source_ != nullptr ? data_source_->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value) {
  read_only_ = value;
  UpdateState();
}

void TDataLink::SetBufferCount(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  buffer_count_ = count;
  if (TDataSet* dataset = DataSet()) dataset->UpdateBufferCount();
  UpdateRange();
}

int TDataLink::ActiveRecord() const {
  const TDataSet* dataset = DataSet();
  if (!active_ || dataset == nullptr) return 0;
  return dataset->active_ - first_record_;
}

void TDataLink::SetActiveRecord(int index) {
  TDataSet* dataset = DataSet();
  if (!active_ || dataset == nullptr || dataset->filled_ == 0) return;
  dataset->active_ = std::clamp(first_record_ + index, 0, dataset->filled_ - 1);
}

int TDataLink::RecordCount() const {
  const TDataSet* dataset = DataSet();
  if (!active_ || dataset == nullptr) return 0;
  return std::max(0, std::min(dataset->filled_ - first_record_, buffer_count_));
}

bool TDataLink::Edit() {
  if (!read_only_ && data_source_ != nullptr && active_) data_source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::UpdateState() {
  const DataSetState state = data_source_ != nullptr ? data_source_->State() : stInactive;
  SetActive(state != stInactive);
  SetEditing((state == stEdit || state == stInsert) && !read_only_);
}

void TDataLink::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  first_record_ = 0;
  if (value) UpdateRange();
  ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
  if (value == editing_) return;
  editing_ = value;
  EditingChanged();
}

void TDataLink::UpdateRange() {
  const TDataSet* dataset = DataSet();
  if (dataset == nullptr) return;
  const int low = std::max(dataset->active_ - buffer_count_ + 1, 0);
  const int high = std::min(std::max(dataset->buffer_count_ - buffer_count_, 0), dataset->active_);
  first_record_ = std::clamp(first_record_, low, std::max(low, high));
}

void TDataLink::DataEvent(TDataEvent event, const void* info) {
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(static_cast<TField*>(const_cast<void*>(info)));
      break;
    case deDataSetChange:
      UpdateRange();
      DataSetChanged();
      break;
    case deDataSetScroll:
      UpdateRange();
      DataSetScrolled(info != nullptr ? *static_cast<const int*>(info) : 0);
      break;
    case deLayoutChange:
      UpdateRange();
      LayoutChanged();
      break;
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deUpdateState:
      UpdateState();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(static_cast<TField*>(const_cast<void*>(info)));
      break;
  }
}

}  // namespace dataset
