// A dataset over a vector of records held in memory, implementing the overridable operations of
// TDataSet and recording every call in a log, so that tests can check the orders in which the
// base calls them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataset/dataset.h"
#include "dataset/field_defs.h"
#include "framework/variant.h"

namespace dataset_test {

// One record buffer of the memory dataset.
struct MemoryBuffer : dataset::RecordBufferData {
  int index = -1;  // position of the record, -1 when not stored
  std::vector<framework::Variant> values;
  dataset::TBookmarkFlag flag = dataset::bmfCurrent;
  int32_t bookmark = 0;  // the record's id; 0 = none
  std::vector<uint8_t> calc;
};

class MemoryDataSet : public dataset::TDataSet {
 public:
  explicit MemoryDataSet(framework::TComponent* owner = nullptr);
  ~MemoryDataSet() override;

  // Columns (before opening) and records (any time; an open dataset is not resynchronised).
  void AddColumn(const std::string& name, dataset::TFieldType type, int size = 0,
                 bool required = false);
  void AddRow(std::vector<framework::Variant> values);
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const std::vector<framework::Variant>& Row(int index) const { return rows_.at(index).values; }
  int32_t RowId(int index) const { return rows_.at(index).id; }
  // Position of the cursor: -1 before the first record, RowCount() after the last.
  int Cursor() const { return cursor_; }
  bool CursorIsOpenForTest() const { return open_; }

  // Every overridable call and every event, in order, as "Name" or "Name(argument)".
  std::vector<std::string> log;
  // The log entries whose name (the part before "(") is one of `names`.
  std::vector<std::string> LogOf(const std::vector<std::string>& names) const;
  // Makes every before/after event, OnNewRecord and OnCalcFields append its name to the log.
  void LogEvents();

  // Number of the next EditRecord/StoreRecord/RemoveRecord/AddRecordAt calls that fail with
  // EDatabaseError.
  int fail_edit = 0;
  int fail_store = 0;
  int fail_remove = 0;
  bool read_only = false;
  // Announce bookmarks of 4 bytes (else 0).
  bool bookmarks = true;
  // Buffers allocated and not yet disposed.
  int live_buffers = 0;

  // The base's ring and services, opened up for tests.
  using TDataSet::ActiveBuffer;
  using TDataSet::ActiveIndex;
  using TDataSet::BufferAt;
  using TDataSet::BufferCount;
  using TDataSet::CalcBuffer;
  using TDataSet::CurrentIndex;
  using TDataSet::CursorPosChanged;
  using TDataSet::FilledCount;
  using TDataSet::RestoreState;
  using TDataSet::SetTempState;
  MemoryBuffer* Ring(int index) const { return static_cast<MemoryBuffer*>(BufferAt(index)); }
  // The record ids held by the filled part of the ring, in ring order.
  std::vector<int32_t> RingIds() const;

 protected:
  void ClearCalcArea(dataset::TRecordBuffer buffer) override;
  void DoOnNewRecord() override;
  std::string BookmarkText() override;
  bool CanModifyData() override;
  int CountRecords() override;
  int CurrentRecNo() override;
  void CancelRecord() override;
  void EditRecord() override;
  void RefreshRecords() override;
  void MoveToRecNo(int rec_no) override;
  dataset::TRecordBuffer NewRecordBuffer() override;
  void DisposeRecordBuffer(dataset::TRecordBuffer& buffer) override;
  void BookmarkOfBuffer(dataset::TRecordBuffer buffer, void* out) override;
  dataset::TBookmarkFlag BookmarkFlagOf(dataset::TRecordBuffer buffer) override;
  uint16_t RecordBufferSize() override;
  void AddRecordAt(dataset::TRecordBuffer buffer, bool append) override;
  void RemoveRecord() override;
  void CursorToFirst() override;
  void CursorToLast() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InitRecordBuffer(dataset::TRecordBuffer buffer) override;
  void StoreRecord() override;
  void CursorToRecord(dataset::TRecordBuffer buffer) override;
  void SetBookmarkFlagOf(dataset::TRecordBuffer buffer, dataset::TBookmarkFlag flag) override;
  void SetBookmarkOfBuffer(dataset::TRecordBuffer buffer, const void* data) override;
  void WriteFieldValue(dataset::TField& field, const void* data) override;
  dataset::TFetchResult FetchRecord(dataset::TRecordBuffer buffer, dataset::TFetchMode mode,
                                    bool check) override;
  void CursorClose() override;
  void BuildFieldDefs() override;
  void CursorOpen() override;
  bool CursorIsOpen() override;
  bool BookmarkIsValid(const void* bookmark) override;
  int OrderBookmarks(const void* a, const void* b) override;
  bool CopyActiveRecord(dataset::TRecordBuffer dest) override;
  bool ReadFieldValue(dataset::TField& field, void* dest) override;

 public:
  void ResyncBuffers(dataset::TResyncOptions options) override;
  std::unique_ptr<framework::TStream> CreateBlobStream(dataset::TField& field,
                                                       dataset::TBlobStreamMode mode) override;
  // Writes a blob's new content into the buffer of the current state (used by its stream).
  void StoreBlob(dataset::TField& field, const std::string& content);

 private:
  struct Column {
    std::string name;
    dataset::TFieldType type;
    int size;
    bool required;
  };
  struct Record {
    int32_t id;
    std::vector<framework::Variant> values;
  };

  MemoryBuffer* StateBuffer();
  int IndexOfId(int32_t id) const;
  bool AcceptRecord(MemoryBuffer* buffer);
  bool FilterActive() const { return Filtered() && OnFilterRecord != nullptr; }
  void Insert(MemoryBuffer* buffer, bool append);
  void Note(const std::string& entry) { log.push_back(entry); }

  std::vector<Column> columns_;
  std::vector<Record> rows_;
  int32_t next_id_ = 1;
  int cursor_ = -1;
  bool open_ = false;
  MemoryBuffer* filter_buffer_ = nullptr;
};

}  // namespace dataset_test
