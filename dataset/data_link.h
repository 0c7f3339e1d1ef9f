// The data link: what a control (a grid, an edit box, a detail dataset) attaches to a data
// source to follow a dataset. It asks for a number of record buffers, keeps its own window over
// the dataset's ring, and receives the dataset's notifications through virtual members.
#pragma once

#include "dataset/db_types.h"

namespace dataset {

class TDataSet;
class TDataSource;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  // Leaves its data source.
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return data_source_; }
  void SetDataSource(TDataSource* source);
  // The source's dataset, or null.
  TDataSet* DataSet() const;
  // The source is enabled and its dataset is open.
  bool Active() const { return active_; }
  // Editing: the dataset is in edit or insert.
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);

  // Number of records the link shows; the dataset keeps at least as many buffers as its most
  // demanding link asks for.
  int BufferCount() const { return buffer_count_; }
  void SetBufferCount(int count);
  // The active record within the link's window (0 .. RecordCount() - 1).
  int ActiveRecord() const;
  // Makes record `index` of the window the dataset's active one (to read its fields); the
  // caller restores the old value.
  void SetActiveRecord(int index);
  // Records in the link's window.
  int RecordCount() const;
  // Puts the dataset into edit (when the source's AutoEdit allows it); answers Editing().
  bool Edit();
  // Lets the link write its pending changes (UpdateData) now.
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField* /*field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  friend class TDataSet;

  void DataEvent(TDataEvent event, const void* info);
  void UpdateState();
  void UpdateRange();
  void SetActive(bool value);
  void SetEditing(bool value);

  TDataSource* data_source_ = nullptr;
  int buffer_count_ = 1;
  int first_record_ = 0;
  bool active_ = false;
  bool editing_ = false;
  bool read_only_ = false;
  bool updating_ = false;
};

}  // namespace dataset
