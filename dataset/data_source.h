// The data source: the component between a dataset and the data links of its controls (and of
// detail datasets). It passes the dataset's notifications on while enabled.
#pragma once

#include <functional>
#include <vector>

#include "dataset/db_types.h"
#include "framework/component.h"

namespace dataset {

class TDataSet;
class TDataLink;
class TField;

class TDataSource : public framework::TComponent {
 public:
  explicit TDataSource(framework::TComponent* owner);
  // Detaches its links and its dataset.
  ~TDataSource() override;

  std::string ClassName() const override { return "TDataSource"; }

  TDataSet* DataSet() const { return dataset_; }
  // Refused when it would link the dataset to itself through master sources.
  void SetDataSet(TDataSet* dataset);
  // While disabled the links see the dataset as inactive.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Controls may put the dataset into edit state by themselves.
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool value) { auto_edit_ = value; }
  // The dataset's state; stInactive without dataset or while disabled.
  DataSetState State() const { return state_; }
  // True when the dataset follows, directly or through master sources, this source's dataset
  // (so that making it this source's dataset's master would close a loop).
  bool IsLinkedTo(const TDataSet* dataset) const;
  // Puts the dataset into edit when AutoEdit allows it.
  void Edit();

  int LinkCount() const { return static_cast<int>(links_.size()); }
  TDataLink* Links(int index) const { return links_.at(index); }

  std::function<void(TDataSource&)> OnStateChange;
  // Info: the field that changed, or null for the whole record or dataset.
  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnUpdateData;

 protected:
  void Notification(framework::TComponent* component, framework::TOperation operation) override;

 private:
  friend class TDataSet;
  friend class TDataLink;

  // From the dataset.
  void DataEvent(TDataEvent event, const void* info);
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);
  void NotifyLinks(TDataEvent event, const void* info);
  void UpdateState();

  TDataSet* dataset_ = nullptr;
  bool enabled_ = true;
  bool auto_edit_ = true;
  DataSetState state_ = stInactive;
  std::vector<TDataLink*> links_;
};

}  // namespace dataset
