// The generic dataset: the state machine, the ring of record buffers, the field objects, the
// data links and all before- and after-events of a set of records. A concrete dataset derives
// from TDataSet and supplies the overridable operations (the protected pure and default
// virtuals below) through which the base reaches its records; the base carries out every
// user-level operation by calling them in a fixed order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/db_types.h"
#include "dataset/field.h"
#include "framework/component.h"
#include "framework/exception.h"
#include "framework/stream.h"
#include "framework/variant.h"

namespace dataset {

class TDataSource;
class TDataLink;
class TFieldDefs;
class TIndexDefs;
class TDataSet;

using TDataSetNotifyEvent = std::function<void(TDataSet& dataset)>;
// Decides whether the record being filtered is shown; `accept` starts true.
using TFilterRecordEvent = std::function<void(TDataSet& dataset, bool& accept)>;
// Answers a failed edit, post or delete; `action` starts as eaFail.
using TDataSetErrorEvent =
    std::function<void(TDataSet& dataset, framework::Exception& error, TDataAction& action)>;

class TDataSet : public framework::TComponent {
 public:
  explicit TDataSet(framework::TComponent* owner);
  // A subclass must close the dataset in its own destructor, while its overrides still exist;
  // the base's destructor only checks that it is closed and detaches fields and links.
  ~TDataSet() override;

  std::string ClassName() const override { return "TDataSet"; }

  // ---- Opening and closing ----
  bool Active() const { return state_ != stInactive && state_ != stOpening; }
  // Opening: BeforeOpen; CursorOpen; the ring's buffers allocated with NewRecordBuffer and
  // filled; state stBrowse; AfterOpen. Closing: BeforeClose; state stInactive; buffers freed
  // with DisposeRecordBuffer; CursorClose; AfterClose. While the component is being loaded the
  // value is only remembered and applied by Loaded().
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  DataSetState State() const { return state_; }
  // True once a field of the record being edited or inserted was changed.
  bool Modified() const { return modified_; }
  void Loaded() override;

  // ---- Navigation ----
  // Leave edit/insert (posting if modified); clear the ring; CursorToFirst; fill the ring.
  void GoFirst();
  // Leave edit/insert; clear the ring; CursorToLast; fill the ring backwards.
  void GoLast();
  void GoNext() { StepBy(1); }
  void GoPrior() { StepBy(-1); }
  // Moves by `distance` records (negative: backwards); answers how many records it moved.
  int StepBy(int distance);
  // The end (start) mark: a move tried to go past the last (first) record.
  bool AtEnd() const { return eof_; }
  bool AtStart() const { return bof_; }
  // No record in the ring (an inserted record counts).
  bool IsEmpty() const { return active_ >= filled_; }
  // Re-reads the records shown.
  void Refresh();
  // CountRecords of the subclass.
  int RecordCount();
  // CurrentRecNo and MoveToRecNo of the subclass.
  int RecNo();
  void SetRecNo(int value);

  // ---- Bookmarks ----
  int BookmarkSize() const { return bookmark_size_; }
  // A copy of the active record's bookmark; empty when there is no record.
  TBookmark TakeBookmark();
  // Leaves edit/insert, then InternalGotoBookmark and ResyncBuffers(rsExact | rsCenter).
  void ReturnToBookmark(const TBookmark& bookmark);
  bool BookmarkValid(const TBookmark& bookmark);
  // -1, 0 or 1 as the subclass orders them.
  int CompareBookmarks(const TBookmark& a, const TBookmark& b);
  // The active record's bookmark as a byte string (BookmarkText of the subclass) and going to
  // one (GotoBookmarkText).
  std::string Bookmark() { return BookmarkText(); }
  void SetBookmark(const std::string& text);

  // ---- Editing ----
  void BeginEdit();
  void StartInsert();
  // Inserts a new record after the last one.
  void StartAppend();
  // Posts the record being edited or inserted (nothing in other states).
  virtual void PostRecord();
  // Abandons the edit or insert (nothing in other states).
  void CancelEdit();
  void DeleteRecord();
  // Inserts a record at the active position with `values` assigned to the fields in field
  // order and posts it. An Empty value leaves its field as the new record has it; Null clears.
  void InsertValues(const std::vector<framework::Variant>& values);
  // As InsertValues, but appends after the last record.
  void AppendValues(const std::vector<framework::Variant>& values);
  // In edit or insert: post when modified, else cancel. Refuses a closed dataset.
  void CheckBrowseMode();
  // Asks the data links to write pending edits into the fields.
  void UpdateRecord();
  // The dataset is open and its records can be changed.
  bool CanModify();

  // ---- Searching ----
  // Makes current the first record whose `key_fields` (names separated by ";") equal
  // `key_values` (one value, or an array for several fields); false when none does.
  virtual bool Locate(const std::string& key_fields, const framework::Variant& key_values,
                      TLocateOptions options);
  // The values of `result_fields` of the first record whose key fields equal the key values,
  // without moving; Null when there is none.
  virtual framework::Variant Lookup(const std::string& key_fields,
                                    const framework::Variant& key_values,
                                    const std::string& result_fields);
  // The find hook with the four directions; Found() answers the last one.
  bool FindFirst();
  bool FindLast();
  bool FindNext();
  bool FindPrior();
  bool Found() const { return found_; }

  // ---- Fields and definitions ----
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  int FieldCount() const { return fields_.Count(); }
  TField* FindField(const std::string& name) const { return fields_.FindField(name); }
  // The field of that name; EDatabaseError "Field 'name' not found" when there is none.
  TField& FieldNamed(const std::string& name) const;
  TFieldDefs& FieldDefs() { return *field_defs_; }
  const TFieldDefs& FieldDefs() const { return *field_defs_; }
  // The index definitions; a subclass may install its own collection (SetIndexDefs).
  TIndexDefs& IndexDefs() { return *index_defs_; }
  // True while the fields were created from the definitions at opening (no persistent fields).
  bool DefaultFields() const { return default_fields_; }
  // The field definitions read by BuildFieldDefs (refreshed only while closed).
  void UpdateFieldDefs();
  // Size of the calculated area of a record buffer: per calculated or lookup field one
  // presence byte and its data.
  int CalcFieldsSize() const { return calc_fields_size_; }

  // ---- Filtering ----
  bool Filtered() const { return filtered_; }
  virtual void SetFiltered(bool value);
  const std::string& Filter() const { return filter_text_; }
  virtual void SetFilterText(const std::string& text);

  // ---- Data links and display ----
  // Holds back notifications of data links until the matching EnableControls.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }
  // Recalculate calculated fields after every change of a data field (default true).
  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool value) { auto_calc_fields_ = value; }
  // The data source this dataset follows (a master), or null.
  virtual TDataSource* DataSource() const { return nullptr; }
  // True when following master sources from `source` leads back to this dataset.
  bool IsLinkedTo(const TDataSource* source) const;

  // ---- Services a subclass and its peers use in public ----
  // A stream over a blob field's content of the current record. The base has none and raises.
  virtual std::unique_ptr<framework::TStream> CreateBlobStream(TField& field,
                                                               TBlobStreamMode mode);
  // Copies `src` to `dest` when they differ; answers the length.
  virtual int TranslateText(const char* src, char* dest, bool to_oem);

  // ---- Events ----
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent OnNewRecord, OnCalcFields;
  TFilterRecordEvent OnFilterRecord;
  TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;

 protected:
  // ======== The overridable operations, in the order the base declares them ========

  // Zero the calculated area of `buffer`.
  virtual void ClearCalcArea(TRecordBuffer buffer);
  // The on-new-record hook: runs OnNewRecord.
  virtual void DoOnNewRecord();
  // The find hook: repeat the last search from the start/end or onward.
  virtual bool FindRecordByKey(bool restart, bool go_forward);
  // The active record's bookmark as BookmarkSize() bytes.
  virtual std::string BookmarkText();
  virtual bool CanModifyData();
  // Number of records, -1 when unknown.
  virtual int CountRecords();
  // 1-based number of the active record, -1 when unknown.
  virtual int CurrentRecNo();
  virtual void CancelRecord();
  virtual void EditRecord();
  virtual void RefreshRecords();
  // Go to a bookmark given as text, then resync.
  virtual void GotoBookmarkText(const std::string& text);
  // (SetFiltered and SetFilterText are public above.)
  virtual void MoveToRecNo(int rec_no);
  // Refresh or apply IndexDefs (called by TIndexDefs::Update).
  virtual void UpdateIndexDefs();
  virtual TRecordBuffer NewRecordBuffer() = 0;
  // Frees `buffer` and sets it to null; nothing for null.
  virtual void DisposeRecordBuffer(TRecordBuffer& buffer) = 0;
  // Writes BookmarkSize() bytes of the buffer's bookmark to `out`.
  virtual void BookmarkOfBuffer(TRecordBuffer buffer, void* out) = 0;
  virtual TBookmarkFlag BookmarkFlagOf(TRecordBuffer buffer) = 0;
  virtual uint16_t RecordBufferSize() = 0;
  // Store a record built in `buffer` (appended when `append`).
  virtual void AddRecordAt(TRecordBuffer buffer, bool append) = 0;
  // Delete the current record.
  virtual void RemoveRecord() = 0;
  // Place the cursor before the first / after the last record.
  virtual void CursorToFirst() = 0;
  virtual void CursorToLast() = 0;
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  // Prepare a buffer for a new record (defaults).
  virtual void InitRecordBuffer(TRecordBuffer buffer);
  // Write the active buffer to the records (edit or insert).
  virtual void StoreRecord() = 0;
  // Make the buffer's record the cursor's current record.
  virtual void CursorToRecord(TRecordBuffer buffer) = 0;
  virtual void SetBookmarkFlagOf(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
  virtual void SetBookmarkOfBuffer(TRecordBuffer buffer, const void* data) = 0;
  // Store a native field value (null = null) into the buffer of the current state.
  virtual void WriteFieldValue(TField& field, const void* data) = 0;
  // Read the current, next or previous record into `buffer`.
  virtual TFetchResult FetchRecord(TRecordBuffer buffer, TFetchMode mode, bool check) = 0;
  virtual void CursorClose() = 0;
  // Hands the exception being processed to the application's exception handler.
  virtual void HandleCursorError();
  // Fill FieldDefs() from the records' source.
  virtual void BuildFieldDefs() = 0;
  // Open the records' source and prepare fields (CreateFields, BindFields) and buffer layout
  // (SetBookmarkSize).
  virtual void CursorOpen() = 0;
  virtual bool CursorIsOpen() = 0;
  virtual bool BookmarkIsValid(const void* bookmark);
  virtual int OrderBookmarks(const void* a, const void* b);
  // (CreateBlobStream is public above.)
  // Copy the whole active buffer into `dest`; false when there is none.
  virtual bool CopyActiveRecord(TRecordBuffer dest);
  // Read a field's native value from the buffer of the current state; false means null.
  // `dest` may be null (null test only).
  virtual bool ReadFieldValue(TField& field, void* dest) = 0;
  // (Locate, Lookup and PostRecord are public above.)
  // Refill the ring around the cursor's record.
  virtual void ResyncBuffers(TResyncOptions options);
  // (TranslateText is public above.)

  // ======== Services of the base ========

  TRecordBuffer ActiveBuffer() const { return buffers_.empty() ? nullptr : buffers_[active_]; }
  // The buffer whose calculated fields are being computed (state stCalcFields); between
  // computations the base's own spare buffer.
  TRecordBuffer CalcBuffer() const { return calc_buffer_; }
  // A buffer owned by the base for the subclass's temporary use while open.
  TRecordBuffer TempBuffer() const { return temp_buffer_; }
  // Switches to a temporary state and answers the old one for RestoreState.
  DataSetState SetTempState(DataSetState state);
  void RestoreState(DataSetState old_state);
  // Computes the calculated and lookup fields of `buffer` (ClearCalcArea first) in state
  // stCalcFields with CalcBuffer() = buffer.
  void CalculateFields(TRecordBuffer buffer);
  // Notifies fields, data sources and links; deFieldChange marks the record modified.
  void DataEvent(TDataEvent event, const void* info = nullptr);
  // The cursor no longer matches any buffer.
  void CursorPosChanged() { current_ = -1; }
  // Makes the active buffer's record the cursor's current one (by its bookmark flag).
  void UpdateCursorPos();
  // Empties the ring (buffers stay allocated).
  void ClearBuffers();
  // Makes the spare buffer the only filled one (used after the subclass read a record into it).
  void ActivateBuffers();
  void SetBookmarkSize(int size) { bookmark_size_ = size; }
  void SetState(DataSetState state);
  void SetModified(bool value) { modified_ = value; }
  void SetFound(bool value) { found_ = value; }
  // Raises "dataset not open" unless active.
  void CheckActive() const;
  void CheckInactive() const;
  // Creates a field object for every definition (default fields, owned by the dataset).
  void CreateFields();
  // Destroys the default fields.
  void DestroyFields();
  // Binds (or unbinds) the fields to the definitions: field numbers, types checked, calculated
  // area offsets and size.
  void BindFields(bool binding);
  // Installs the subclass's own index-definition collection.
  void SetIndexDefs(std::unique_ptr<TIndexDefs> index_defs);

  // The ring: BufferCount() buffers (plus the spare), FilledCount() of them holding records,
  // ActiveIndex() the active one, CurrentIndex() the one matching the cursor (-1: none).
  int BufferCount() const { return buffer_count_; }
  int FilledCount() const { return filled_; }
  int ActiveIndex() const { return active_; }
  int CurrentIndex() const { return current_; }
  TRecordBuffer BufferAt(int index) const { return buffers_.at(index); }

 private:
  // GoFirst (first) or GoLast: clear the ring, put the cursor before the first (after the last)
  // record and fill the ring from there.
  void GoToEnd(bool first);
  friend class TField;
  friend class TDataSource;
  friend class TDataLink;
  friend class TFieldDefs;
  friend class TIndexDefs;

  // Buffer ring internals.
  void SetBufferCount(int count);
  void UpdateBufferCount();
  void AllocateBuffers();
  void FreeBuffers();
  void MakeBufferCurrent(int index);
  void SyncCursorTo(TRecordBuffer buffer);
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  // Moves the spare buffer to `index`, shifting the records from there one place on.
  void OpenBufferAt(int index);
  // Takes the buffer at `index` out of the ring again (undoes OpenBufferAt).
  void CloseBufferAt(int index);
  void InitNewRecord(TRecordBuffer buffer);
  void StartInsertOrAppend(bool append);
  void InsertOrAppendValues(const std::vector<framework::Variant>& values, bool append);
  void AssignValues(const std::vector<framework::Variant>& values);
  void CheckRequiredFields();
  void CheckCanModify();
  // Runs `operation` with the active record made current, offering database errors to
  // `handler`; answers false when the handler chose eaAbort.
  bool RunWithErrorEvent(const std::function<void()>& operation,
                         const TDataSetErrorEvent& handler);
  void OpenCursor();
  void CloseCursor();
  void Fire(const TDataSetNotifyEvent& event) {
    if (event) event(*this);
  }
  void NotifyDataSources(TDataEvent event, const void* info);
  // Field access from TField.
  bool GetFieldValue(const TField& field, void* buffer);
  void SetFieldValue(TField& field, const void* buffer);
  void AddField(TField* field);
  void RemoveField(TField* field);
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  // Reads the values of `names` from the record in `buffer` (state stCalcFields).
  std::vector<framework::Variant> BufferValues(TRecordBuffer buffer,
                                               const std::vector<TField*>& fields);
  bool WalkForMatch(const std::vector<TField*>& key_fields,
                    const std::vector<framework::Variant>& keys, TLocateOptions options);

  DataSetState state_ = stInactive;
  bool modified_ = false;
  bool streamed_active_ = false;
  bool default_fields_ = false;
  bool insert_grew_ = false;  // the last OpenBufferAt added a record to the ring
  bool bof_ = true;
  bool eof_ = true;
  bool found_ = false;
  bool filtered_ = false;
  bool auto_calc_fields_ = true;
  std::string filter_text_;
  int bookmark_size_ = 0;
  int calc_fields_size_ = 0;
  bool has_calc_fields_ = false;
  int disable_count_ = 0;
  bool pending_change_ = false;
  DataSetState disabled_state_ = stInactive;

  std::vector<TRecordBuffer> buffers_;  // buffer_count_ + 1 while open (the last is spare)
  int buffer_count_ = 0;
  int filled_ = 0;
  int active_ = 0;
  int current_ = -1;
  TRecordBuffer calc_buffer_ = nullptr;
  TRecordBuffer temp_buffer_ = nullptr;
  TRecordBuffer own_calc_buffer_ = nullptr;

  TFields fields_;
  std::unique_ptr<TFieldDefs> field_defs_;
  std::unique_ptr<TIndexDefs> index_defs_;
  std::vector<TDataSource*> data_sources_;
};

}  // namespace dataset
