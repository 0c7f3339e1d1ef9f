#include "dataset/data_source.h"

#include <algorithm>
#include <set>

#include "dataset/data_link.h"
#include "dataset/dataset.h"
#include "dataset/db_error.h"

namespace dataset {

TDataSource::TDataSource(framework::TComponent* owner) : framework::TComponent(owner) {}

TDataSource::~TDataSource() {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) {
    link->data_source_ = nullptr;
    link->UpdateState();
  }
  links_.clear();
  if (dataset_ != nullptr) {
    dataset_->RemoveDataSource(this);
    RemoveFreeNotification(dataset_);
    dataset_ = nullptr;
  }
}

bool TDataSource::IsLinkedTo(const TDataSet* dataset) const {
  std::set<const TDataSet*> seen;
  while (dataset != nullptr && seen.insert(dataset).second) {
    const TDataSource* source = dataset->DataSource();
    if (source == nullptr) return false;
    if (source == this) return true;
    dataset = source->DataSet();
  }
  return false;
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset != nullptr && IsLinkedTo(dataset))
    DatabaseError("Circular data link: the dataset already follows this data source", this);
  if (dataset_ != nullptr) {
    dataset_->RemoveDataSource(this);
    RemoveFreeNotification(dataset_);
  }
  dataset_ = dataset;
  if (dataset != nullptr) {
    dataset->AddDataSource(this);
    FreeNotification(dataset);
  }
  UpdateState();
  NotifyLinks(deLayoutChange, nullptr);
}

void TDataSource::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateState();
}

void TDataSource::Edit() {
  if (auto_edit_ && state_ == stBrowse && dataset_ != nullptr) dataset_->BeginEdit();
}

void TDataSource::UpdateState() {
  const DataSetState state =
      dataset_ != nullptr && enabled_ ? dataset_->State() : stInactive;
  const bool changed = state != state_;
  state_ = state;
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->UpdateState();
  if (changed && OnStateChange) OnStateChange(*this);
}

void TDataSource::DataEvent(TDataEvent event, const void* info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == stInactive) return;
  NotifyLinks(event, info);
  switch (event) {
    case deFieldChange:
    case deRecordChange:
      if (OnDataChange) OnDataChange(*this, static_cast<TField*>(const_cast<void*>(info)));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(*this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(*this);
      break;
    default:
      break;
  }
}

void TDataSource::NotifyLinks(TDataEvent event, const void* info) {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->DataEvent(event, info);
}

void TDataSource::AddLink(TDataLink* link) {
  links_.push_back(link);
  if (dataset_ != nullptr) dataset_->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  if (dataset_ != nullptr && !dataset_->HasState(framework::csDestroying))
    dataset_->UpdateBufferCount();
}

void TDataSource::Notification(framework::TComponent* component, framework::TOperation operation) {
  framework::TComponent::Notification(component, operation);
  if (operation == framework::TOperation::opRemove && component == dataset_) {
    dataset_ = nullptr;
    UpdateState();
  }
}

}  // namespace dataset
