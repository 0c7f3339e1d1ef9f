#include "dataset/dataset.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <set>

#include "dataset/data_link.h"
#include "dataset/data_source.h"
#include "dataset/db_error.h"
#include "dataset/field_defs.h"
#include "dataset/index_defs.h"
#include "framework/application.h"
#include "framework/strings.h"

namespace dataset {

namespace {

bool InEditModes(DataSetState state) { return state == stEdit || state == stInsert; }

// The field-type families whose members share a field class's conversions; a persistent
// field may be bound to a definition of another member of its family.
int TypeFamily(TFieldType type) {
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return 1;
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: return 2;
    case ftDate: case ftTime: case ftDateTime: case ftTimeStamp: return 3;
    case ftString: case ftFixedChar: case ftWideString: case ftGuid: return 4;
    case ftBytes: case ftVarBytes: return 5;
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftTypedBinary:
    case ftOraBlob: case ftOraClob: return 6;
    default: return 100 + type;
  }
}

// Whether a field value matches a key value for Locate/Lookup.
bool ValuesMatch(const framework::Variant& value, const framework::Variant& key,
                 TLocateOptions options) {
  if (key.IsClear()) return value.IsClear();
  if (value.IsClear()) return false;
  if ((options & (loCaseInsensitive | loPartialKey)) != 0 || key.Type() == framework::VarType::String ||
      value.Type() == framework::VarType::String) {
    std::string v = value.ToString();
    std::string k = key.ToString();
    if (options & loCaseInsensitive) {
      v = framework::LowerCase(v);
      k = framework::LowerCase(k);
    }
    if (options & loPartialKey) return v.compare(0, k.size(), k) == 0;
    return v == k;
  }
  if (value.Type() == framework::VarType::Bytes || key.Type() == framework::VarType::Bytes)
    return value.ToBytes() == key.ToBytes();
  try {
    return value.ToDouble() == key.ToDouble();
  } catch (const framework::EVariantError&) {
    return value.ToString() == key.ToString();
  }
}

std::vector<framework::Variant> KeyList(const framework::Variant& key_values) {
  if (key_values.IsArray()) return key_values.ArrayItems();
  return {key_values};
}

}  // namespace

TDataSet::TDataSet(framework::TComponent* owner)
    : framework::TComponent(owner),
      fields_(this),
      field_defs_(std::make_unique<TFieldDefs>(this)),
      index_defs_(std::make_unique<TIndexDefs>(this)) {}

TDataSet::~TDataSet() {
  // The subclass's overrides are gone by now, so nothing here may call them.
  assert(state_ == stInactive && "a dataset subclass must close itself in its destructor");
  for (TDataSource* source : std::vector<TDataSource*>(data_sources_)) {
    source->dataset_ = nullptr;
    source->UpdateState();
  }
  data_sources_.clear();
  for (TField* field : fields_.fields_) field->dataset_ = nullptr;
  fields_.fields_.clear();
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

void TDataSet::SetActive(bool value) {
  if (HasState(framework::csLoading) || HasState(framework::csReading)) {
    streamed_active_ = value;
    return;
  }
  if (state_ == stOpening) DatabaseError("The dataset is being opened", this);
  if (value == Active()) return;
  if (value) {
    Fire(BeforeOpen);
    OpenCursor();
    SetState(stBrowse);
    Fire(AfterOpen);
  } else {
    const bool destroying = HasState(framework::csDestroying);
    if (!destroying) Fire(BeforeClose);
    SetState(stInactive);
    CloseCursor();
    if (!destroying) Fire(AfterClose);
  }
}

void TDataSet::OpenCursor() {
  default_fields_ = fields_.Count() == 0;
  state_ = stOpening;
  try {
    CursorOpen();
    // A subclass that left the fields to the base gets them here.
    if (default_fields_ && fields_.Count() == 0 && field_defs_->Count() > 0) CreateFields();
    if (fields_.Count() > 0 && fields_[0]->FieldNo() == 0 && fields_[0]->FieldKind() == fkData)
      BindFields(true);
    AllocateBuffers();
    GetNextRecords();
    bof_ = true;
    eof_ = filled_ == 0;
  } catch (...) {
    // Undo what was set up; the original error is the one the caller must see, so failures
    // while undoing are dropped.
    try {
      FreeBuffers();
      if (CursorIsOpen()) CursorClose();
    } catch (...) {
    }
    BindFields(false);
    if (default_fields_) DestroyFields();
    state_ = stInactive;
    throw;
  }
}

void TDataSet::CloseCursor() {
  try {
    FreeBuffers();
    CursorClose();
  } catch (...) {
    BindFields(false);
    if (default_fields_) DestroyFields();
    throw;
  }
  BindFields(false);
  if (default_fields_) DestroyFields();
}

void TDataSet::Loaded() {
  framework::TComponent::Loaded();
  if (!streamed_active_) return;
  try {
    SetActive(true);
  } catch (...) {
    if (!HasState(framework::csDesigning)) throw;
    HandleCursorError();
  }
}

void TDataSet::CheckActive() const {
  if (state_ == stInactive) DatabaseError("Cannot perform this operation on a closed dataset", this);
}

void TDataSet::CheckInactive() const {
  if (Active() || state_ == stOpening)
    DatabaseError("Cannot perform this operation on an open dataset", this);
}

void TDataSet::SetState(DataSetState state) {
  if (state_ == state) return;
  state_ = state;
  modified_ = false;
  DataEvent(deUpdateState);
}

DataSetState TDataSet::SetTempState(DataSetState state) {
  const DataSetState old = state_;
  state_ = state;
  return old;
}

void TDataSet::RestoreState(DataSetState old_state) { state_ = old_state; }

// ---------------------------------------------------------------------------------------------
// The buffer ring

void TDataSet::AllocateBuffers() {
  assert(buffers_.empty());
  int count = 1;
  for (TDataSource* source : data_sources_)
    for (TDataLink* link : source->links_) count = std::max(count, link->BufferCount());
  for (int i = 0; i <= count; ++i) buffers_.push_back(NewRecordBuffer());
  buffer_count_ = count;
  temp_buffer_ = NewRecordBuffer();
  own_calc_buffer_ = NewRecordBuffer();
  calc_buffer_ = own_calc_buffer_;
  filled_ = 0;
  active_ = 0;
  current_ = -1;
}

void TDataSet::FreeBuffers() {
  filled_ = 0;
  active_ = 0;
  current_ = -1;
  buffer_count_ = 0;
  calc_buffer_ = nullptr;
  std::vector<TRecordBuffer> buffers;
  buffers.swap(buffers_);
  for (TRecordBuffer& buffer : buffers) DisposeRecordBuffer(buffer);
  if (temp_buffer_ != nullptr) DisposeRecordBuffer(temp_buffer_);
  if (own_calc_buffer_ != nullptr) DisposeRecordBuffer(own_calc_buffer_);
  temp_buffer_ = nullptr;
  own_calc_buffer_ = nullptr;
}

void TDataSet::UpdateBufferCount() {
  if (!Active()) return;
  int count = 1;
  for (TDataSource* source : data_sources_)
    for (TDataLink* link : source->links_) count = std::max(count, link->BufferCount());
  SetBufferCount(count);
}

void TDataSet::SetBufferCount(int count) {
  assert(count >= 1);
  if (count == buffer_count_ || buffers_.empty()) return;
  if (count > buffer_count_) {
    // Unused buffers are interchangeable, so new ones simply join the unused tail.
    while (static_cast<int>(buffers_.size()) < count + 1) buffers_.push_back(NewRecordBuffer());
    buffer_count_ = count;
    if (state_ == stBrowse && filled_ > 0) {
      GetNextRecords();
      GetPriorRecords();
    }
  } else {
    // Drop records from the end, or from the start once the active record is the last.
    while (filled_ > count) {
      if (active_ < filled_ - 1) {
        --filled_;
        if (current_ >= filled_) current_ = -1;
      } else {
        std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.begin() + filled_);
        --filled_;
        --active_;
        current_ = current_ > 0 ? current_ - 1 : -1;
      }
    }
    while (static_cast<int>(buffers_.size()) > count + 1) {
      TRecordBuffer buffer = buffers_.back();
      buffers_.pop_back();
      DisposeRecordBuffer(buffer);
    }
    buffer_count_ = count;
  }
  DataEvent(deDataSetChange);
}

void TDataSet::ClearBuffers() {
  filled_ = 0;
  active_ = 0;
  current_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  filled_ = 1;
  active_ = 0;
  current_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::SyncCursorTo(TRecordBuffer buffer) {
  switch (BookmarkFlagOf(buffer)) {
    case bmfBof: CursorToFirst(); break;
    case bmfEof: CursorToLast(); break;
    case bmfCurrent:
    case bmfInserted: CursorToRecord(buffer); break;
  }
}

void TDataSet::MakeBufferCurrent(int index) {
  if (current_ == index) return;
  SyncCursorTo(buffers_[index]);
  current_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (filled_ > 0) MakeBufferCurrent(active_);
}

bool TDataSet::GetNextRecord() {
  if (filled_ > 0) MakeBufferCurrent(filled_ - 1);
  if (FetchRecord(buffers_[filled_], fetchNext, true) != fetchOk) {
    CursorPosChanged();
    return false;
  }
  if (filled_ == 0) {
    ActivateBuffers();
  } else if (filled_ < buffer_count_) {
    ++filled_;
  } else {
    // Full ring: the first record falls out and its buffer becomes the spare.
    std::rotate(buffers_.begin(), buffers_.begin() + 1, buffers_.begin() + filled_ + 1);
    if (active_ > 0) --active_;
  }
  current_ = filled_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (filled_ > 0) MakeBufferCurrent(0);
  if (FetchRecord(buffers_[filled_], fetchPrior, true) != fetchOk) {
    CursorPosChanged();
    return false;
  }
  if (filled_ == 0) {
    ActivateBuffers();
  } else {
    // The new record goes in front; with a full ring the last record falls out.
    std::rotate(buffers_.begin(), buffers_.begin() + filled_, buffers_.begin() + filled_ + 1);
    if (filled_ < buffer_count_) {
      ++filled_;
      ++active_;
    } else if (active_ < filled_ - 1) {
      ++active_;
    }
  }
  current_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int count = 0;
  while (filled_ < buffer_count_ && GetNextRecord()) ++count;
  return count;
}

int TDataSet::GetPriorRecords() {
  int count = 0;
  while (filled_ < buffer_count_ && GetPriorRecord()) ++count;
  return count;
}

void TDataSet::OpenBufferAt(int index) {
  assert(index >= 0 && index <= filled_);
  std::rotate(buffers_.begin() + index, buffers_.begin() + filled_,
              buffers_.begin() + filled_ + 1);
  if (current_ >= index) ++current_;
  insert_grew_ = filled_ < buffer_count_;
  if (insert_grew_) {
    ++filled_;
  } else if (current_ >= filled_) {
    current_ = -1;  // its record fell out of the ring
  }
  active_ = index;
}

void TDataSet::CloseBufferAt(int index) {
  if (insert_grew_) {
    std::rotate(buffers_.begin() + index, buffers_.begin() + index + 1,
                buffers_.begin() + filled_);
    --filled_;
  } else {
    // The record that fell out still sits untouched in the spare buffer.
    std::rotate(buffers_.begin() + index, buffers_.begin() + index + 1,
                buffers_.begin() + filled_ + 1);
  }
  if (active_ >= filled_) active_ = std::max(filled_ - 1, 0);
  current_ = -1;
}

void TDataSet::ResyncBuffers(TResyncOptions options) {
  TRecordBuffer spare = buffers_[filled_];
  if (options & rsExact) {
    CursorPosChanged();
    if (FetchRecord(spare, fetchCurrent, true) != fetchOk)
      DatabaseError("Record not found or changed by another user", this);
  } else if (FetchRecord(spare, fetchCurrent, false) != fetchOk &&
             FetchRecord(spare, fetchNext, false) != fetchOk &&
             FetchRecord(spare, fetchPrior, false) != fetchOk) {
    ClearBuffers();
    DataEvent(deDataSetChange);
    return;
  }
  int before = (options & rsCenter) ? (buffer_count_ - 1) / 2 : std::min(active_, buffer_count_ - 1);
  std::swap(buffers_[0], buffers_[filled_]);
  ActivateBuffers();
  try {
    while (before > 0 && GetPriorRecord()) --before;
    GetNextRecords();
    GetPriorRecords();
  } catch (...) {
    DataEvent(deDataSetChange);
    throw;
  }
  DataEvent(deDataSetChange);
}

// ---------------------------------------------------------------------------------------------
// Navigation

void TDataSet::GoFirst() { GoToEnd(true); }

void TDataSet::GoLast() { GoToEnd(false); }

void TDataSet::GoToEnd(bool first) {
  CheckBrowseMode();
  Fire(BeforeScroll);
  ClearBuffers();
  // The marks and the change notice hold also when the fetch fails half-way.
  auto finish = [this, first] {
    (first ? bof_ : eof_) = true;
    (first ? eof_ : bof_) = filled_ == 0;
    DataEvent(deDataSetChange);
  };
  try {
    if (first) {
      CursorToFirst();
      GetNextRecords();
    } else {
      CursorToLast();
      GetPriorRecords();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  Fire(AfterScroll);
}

int TDataSet::StepBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    Fire(BeforeScroll);
    bof_ = false;
    eof_ = false;
    try {
      while (distance > 0) {
        if (active_ < filled_ - 1) {
          ++active_;
        } else {
          const bool was_empty = filled_ == 0;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          if (!was_empty) active_ = filled_ - 1;
        }
        --distance;
        ++moved;
      }
      while (distance < 0) {
        if (active_ > 0) {
          --active_;
        } else {
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          active_ = 0;
        }
        ++distance;
        --moved;
      }
    } catch (...) {
      DataEvent(deDataSetChange);
      throw;
    }
    DataEvent(deDataSetScroll, &moved);
    Fire(AfterScroll);
  }
  return moved;
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  RefreshRecords();
  ResyncBuffers(0);
}

int TDataSet::RecordCount() {
  CheckActive();
  return CountRecords();
}

int TDataSet::RecNo() {
  CheckActive();
  return CurrentRecNo();
}

void TDataSet::SetRecNo(int value) {
  CheckActive();
  MoveToRecNo(value);
}

// ---------------------------------------------------------------------------------------------
// Bookmarks

TBookmark TDataSet::TakeBookmark() {
  CheckActive();
  if (IsEmpty() || bookmark_size_ == 0 || state_ == stInsert) return {};
  TBookmark bookmark(bookmark_size_);
  BookmarkOfBuffer(ActiveBuffer(), bookmark.data());
  return bookmark;
}

void TDataSet::ReturnToBookmark(const TBookmark& bookmark) {
  CheckBrowseMode();
  if (bookmark.empty()) return;
  if (static_cast<int>(bookmark.size()) != bookmark_size_) DatabaseError("Invalid bookmark", this);
  Fire(BeforeScroll);
  InternalGotoBookmark(bookmark.data());
  ResyncBuffers(rsExact | rsCenter);
  Fire(AfterScroll);
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (!Active() || bookmark.empty() || static_cast<int>(bookmark.size()) != bookmark_size_)
    return false;
  return BookmarkIsValid(bookmark.data());
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  return OrderBookmarks(a.empty() ? nullptr : a.data(), b.empty() ? nullptr : b.data());
}

void TDataSet::SetBookmark(const std::string& text) {
  CheckBrowseMode();
  Fire(BeforeScroll);
  GotoBookmarkText(text);
  Fire(AfterScroll);
}

// ---------------------------------------------------------------------------------------------
// Editing

void TDataSet::CheckCanModify() {
  if (!CanModifyData()) DatabaseError("Cannot modify a read-only dataset", this);
}

bool TDataSet::CanModify() { return Active() && CanModifyData(); }

bool TDataSet::RunWithErrorEvent(const std::function<void()>& operation,
                                 const TDataSetErrorEvent& handler) {
  for (;;) {
    try {
      UpdateCursorPos();
      operation();
      return true;
    } catch (framework::EDatabaseError& error) {
      if (!handler) throw;
      TDataAction action = eaFail;
      handler(*this, error, action);
      if (action == eaFail) throw;
      if (action == eaAbort) return false;
    }
  }
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode);
  if (InEditModes(state_)) {
    UpdateRecord();
    if (modified_)
      PostRecord();
    else
      CancelEdit();
  }
}

void TDataSet::UpdateRecord() {
  if (!InEditModes(state_)) DatabaseError("Dataset not in edit or insert mode", this);
  DataEvent(deUpdateRecord);
}

void TDataSet::BeginEdit() {
  CheckActive();
  if (InEditModes(state_)) return;
  if (IsEmpty()) {
    StartInsert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeEdit);
  if (!RunWithErrorEvent([this] { EditRecord(); }, OnEditError)) return;
  CalculateFields(ActiveBuffer());
  SetState(stEdit);
  DataEvent(deRecordChange);
  Fire(AfterEdit);
}

void TDataSet::InitNewRecord(TRecordBuffer buffer) {
  InitRecordBuffer(buffer);
  ClearCalcArea(buffer);
  SetBookmarkFlagOf(buffer, bmfInserted);
}

void TDataSet::StartInsert() { StartInsertOrAppend(false); }

void TDataSet::StartAppend() { StartInsertOrAppend(true); }

void TDataSet::StartInsertOrAppend(bool append) {
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeInsert);
  if (!append) {
    const std::string mark = BookmarkText();
    const bool was_empty = filled_ == 0;
    OpenBufferAt(active_);
    TRecordBuffer buffer = ActiveBuffer();
    InitNewRecord(buffer);
    if (was_empty)
      SetBookmarkFlagOf(buffer, bmfBof);
    else
      SetBookmarkOfBuffer(buffer, mark.empty() ? nullptr : mark.data());
  } else {
    // The new record goes after the last one, with as many records before it as fit.
    ClearBuffers();
    CursorToLast();
    while (filled_ < buffer_count_ - 1 && GetPriorRecord()) {
    }
    OpenBufferAt(filled_);
    TRecordBuffer buffer = ActiveBuffer();
    InitNewRecord(buffer);
    SetBookmarkFlagOf(buffer, bmfEof);
    eof_ = true;
    bof_ = false;
  }
  SetState(stInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    CloseBufferAt(active_);
    SetState(stBrowse);
    DataEvent(deDataSetChange);
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange);
  Fire(AfterInsert);
}

void TDataSet::PostRecord() {
  CheckActive();
  if (!InEditModes(state_)) return;
  UpdateRecord();
  DataEvent(deCheckBrowseMode);
  Fire(BeforePost);
  if (!RunWithErrorEvent(
          [this] {
            CheckRequiredFields();
            StoreRecord();
          },
          OnPostError))
    return;
  SetState(stBrowse);
  ResyncBuffers(0);
  Fire(AfterPost);
}

void TDataSet::CancelEdit() {
  CheckActive();
  if (!InEditModes(state_)) return;
  DataEvent(deCheckBrowseMode);
  Fire(BeforeCancel);
  UpdateCursorPos();
  CancelRecord();
  SetState(stBrowse);
  ResyncBuffers(0);
  Fire(AfterCancel);
}

void TDataSet::DeleteRecord() {
  CheckActive();
  if (InEditModes(state_)) {
    CancelEdit();
    return;
  }
  if (IsEmpty()) DatabaseError("Cannot delete a record: the dataset is empty", this);
  CheckCanModify();
  DataEvent(deCheckBrowseMode);
  Fire(BeforeDelete);
  if (!RunWithErrorEvent([this] { RemoveRecord(); }, OnDeleteError)) return;
  SetState(stBrowse);
  ResyncBuffers(0);
  Fire(AfterDelete);
}

void TDataSet::InsertValues(const std::vector<framework::Variant>& values) {
  InsertOrAppendValues(values, false);
}

void TDataSet::AppendValues(const std::vector<framework::Variant>& values) {
  InsertOrAppendValues(values, true);
}

void TDataSet::InsertOrAppendValues(const std::vector<framework::Variant>& values, bool append) {
  CheckBrowseMode();
  if (static_cast<int>(values.size()) > fields_.Count())
    DatabaseError("Too many values: the dataset has " + std::to_string(fields_.Count()) +
                      " fields, " + std::to_string(values.size()) + " values were given",
                  this);
  CheckCanModify();
  Fire(BeforeInsert);
  UpdateCursorPos();
  DisableControls();
  try {
    if (append) {
      ClearBuffers();
      CursorToLast();
      OpenBufferAt(0);
    } else {
      OpenBufferAt(active_);
    }
    TRecordBuffer buffer = ActiveBuffer();
    try {
      InitNewRecord(buffer);
      if (append) SetBookmarkFlagOf(buffer, bmfEof);
      SetState(stInsert);
      DoOnNewRecord();
      Fire(AfterInsert);
      AssignValues(values);
      Fire(BeforePost);
      CheckRequiredFields();
      AddRecordAt(buffer, append);
    } catch (...) {
      CloseBufferAt(active_);
      SetState(stBrowse);
      throw;
    }
    SetState(stBrowse);
    ResyncBuffers(0);
    Fire(AfterPost);
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TDataSet::AssignValues(const std::vector<framework::Variant>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i].IsEmpty()) continue;
    fields_[static_cast<int>(i)]->SetValue(values[i]);
  }
}

void TDataSet::CheckRequiredFields() {
  for (TField* field : fields_) {
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData &&
        field->DataType() != ftAutoInc && field->IsNull())
      DatabaseError("Field '" + field->DisplayLabel() + "' must have a value", this);
  }
}

// ---------------------------------------------------------------------------------------------
// Searching

std::vector<framework::Variant> TDataSet::BufferValues(TRecordBuffer buffer,
                                                       const std::vector<TField*>& fields) {
  if (has_calc_fields_) CalculateFields(buffer);
  const TRecordBuffer saved = calc_buffer_;
  calc_buffer_ = buffer;
  const DataSetState old = SetTempState(stCalcFields);
  std::vector<framework::Variant> values;
  try {
    for (TField* field : fields) values.push_back(field->Value());
  } catch (...) {
    RestoreState(old);
    calc_buffer_ = saved;
    throw;
  }
  RestoreState(old);
  calc_buffer_ = saved;
  return values;
}

bool TDataSet::WalkForMatch(const std::vector<TField*>& key_fields,
                            const std::vector<framework::Variant>& keys,
                            TLocateOptions options) {
  CursorToFirst();
  CursorPosChanged();
  while (FetchRecord(temp_buffer_, fetchNext, true) == fetchOk) {
    const std::vector<framework::Variant> values = BufferValues(temp_buffer_, key_fields);
    bool match = true;
    for (size_t i = 0; i < keys.size() && match; ++i)
      match = ValuesMatch(values[i], keys[i], options);
    if (match) return true;
  }
  return false;
}

bool TDataSet::Locate(const std::string& key_fields, const framework::Variant& key_values,
                      TLocateOptions options) {
  CheckBrowseMode();
  std::vector<TField*> fields;
  for (const std::string& name : SplitFieldNames(key_fields)) fields.push_back(&FieldNamed(name));
  const std::vector<framework::Variant> keys = KeyList(key_values);
  if (fields.empty() || keys.size() != fields.size())
    DatabaseError("The number of key values does not match the number of key fields", this);
  found_ = false;
  if (IsEmpty()) return false;
  UpdateCursorPos();
  bool found;
  try {
    found = WalkForMatch(fields, keys, options);
  } catch (...) {
    CursorPosChanged();
    UpdateCursorPos();
    throw;
  }
  if (!found) {
    CursorPosChanged();
    UpdateCursorPos();
    return false;
  }
  Fire(BeforeScroll);
  ResyncBuffers(rsExact | rsCenter);
  Fire(AfterScroll);
  found_ = true;
  return true;
}

framework::Variant TDataSet::Lookup(const std::string& key_fields,
                                    const framework::Variant& key_values,
                                    const std::string& result_fields) {
  CheckActive();
  std::vector<TField*> fields;
  for (const std::string& name : SplitFieldNames(key_fields)) fields.push_back(&FieldNamed(name));
  const std::vector<framework::Variant> keys = KeyList(key_values);
  if (fields.empty() || keys.size() != fields.size())
    DatabaseError("The number of key values does not match the number of key fields", this);
  std::vector<TField*> results;
  for (const std::string& name : SplitFieldNames(result_fields))
    results.push_back(&FieldNamed(name));
  if (results.empty()) DatabaseError("No result fields given", this);
  if (IsEmpty()) return framework::Variant::Null();
  UpdateCursorPos();
  framework::Variant result = framework::Variant::Null();
  try {
    if (WalkForMatch(fields, keys, 0)) {
      std::vector<framework::Variant> values = BufferValues(temp_buffer_, results);
      result = values.size() == 1 ? values[0] : framework::Variant::Array(std::move(values));
    }
  } catch (...) {
    CursorPosChanged();
    UpdateCursorPos();
    throw;
  }
  CursorPosChanged();
  UpdateCursorPos();
  return result;
}

bool TDataSet::FindFirst() { return found_ = FindRecordByKey(true, true); }
bool TDataSet::FindLast() { return found_ = FindRecordByKey(true, false); }
bool TDataSet::FindNext() { return found_ = FindRecordByKey(false, true); }
bool TDataSet::FindPrior() { return found_ = FindRecordByKey(false, false); }

// ---------------------------------------------------------------------------------------------
// Fields and definitions

TField& TDataSet::FieldNamed(const std::string& name) const { return fields_.FieldByName(name); }

void TDataSet::UpdateFieldDefs() {
  if (state_ == stInactive) BuildFieldDefs();
}

void TDataSet::CreateFields() {
  for (int i = 0; i < field_defs_->Count(); ++i) field_defs_->Items(i).CreateField(this, this);
}

void TDataSet::DestroyFields() {
  // Only called for default fields: every field in the list was created by CreateFields.
  while (fields_.Count() > 0) {
    TField* field = fields_[fields_.Count() - 1];
    fields_.Remove(field);
    field->dataset_ = nullptr;
    delete field;
  }
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  has_calc_fields_ = false;
  for (TField* field : fields_) {
    field->field_no_ = 0;
    field->offset_ = -1;
    field->lookup_list_valid_ = false;
    if (!binding) continue;
    if (field->kind_ == fkData || field->kind_ == fkInternalCalc) {
      const int index = field_defs_->IndexOf(field->field_name_);
      if (index < 0) {
        if (field->kind_ == fkData) DatabaseError("Field '" + field->field_name_ + "' not found", this);
      } else {
        const TFieldDef& def = field_defs_->Items(index);
        if (TypeFamily(def.DataType()) != TypeFamily(field->data_type_))
          DatabaseError("Type mismatch for field '" + field->field_name_ + "': the field is " +
                            FieldTypeName(field->data_type_) + ", the column is " +
                            FieldTypeName(def.DataType()),
                        this);
        field->field_no_ = def.FieldNo();
      }
    }
    if (field->kind_ == fkCalculated || field->kind_ == fkLookup) {
      field->offset_ = calc_fields_size_;
      calc_fields_size_ += 1 + field->DataSize();
    }
    if (field->kind_ != fkData) has_calc_fields_ = true;
  }
}

void TDataSet::SetIndexDefs(std::unique_ptr<TIndexDefs> index_defs) {
  assert(index_defs != nullptr);
  index_defs_ = std::move(index_defs);
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
  if (!has_calc_fields_ && !OnCalcFields) return;
  const TRecordBuffer saved = calc_buffer_;
  calc_buffer_ = buffer;
  const DataSetState old = SetTempState(stCalcFields);
  try {
    ClearCalcArea(buffer);
    for (TField* field : fields_) {
      if (field->kind_ != fkLookup) continue;
      std::vector<framework::Variant> keys;
      for (const std::string& name : SplitFieldNames(field->KeyFields()))
        keys.push_back(FieldNamed(name).Value());
      if (keys.empty()) continue;
      const framework::Variant key =
          keys.size() == 1 ? keys[0] : framework::Variant::Array(std::move(keys));
      const framework::Variant value = field->LookupValue(key);
      if (!value.IsClear()) field->SetValue(value);
    }
    if (OnCalcFields) OnCalcFields(*this);
  } catch (...) {
    RestoreState(old);
    calc_buffer_ = saved;
    throw;
  }
  RestoreState(old);
  calc_buffer_ = saved;
}

bool TDataSet::GetFieldValue(const TField& field, void* buffer) {
  CheckActive();
  return ReadFieldValue(const_cast<TField&>(field), buffer);
}

void TDataSet::SetFieldValue(TField& field, const void* buffer) {
  CheckActive();
  bool writable;
  if (field.kind_ == fkCalculated || field.kind_ == fkLookup) {
    writable = InEditModes(state_) || state_ == stSetKey || state_ == stCalcFields ||
               state_ == stFilter || state_ == stNewValue || state_ == stInternalCalc;
  } else {
    writable = InEditModes(state_) || state_ == stSetKey || state_ == stNewValue ||
               (field.kind_ == fkInternalCalc &&
                (state_ == stCalcFields || state_ == stInternalCalc));
  }
  if (!writable) DatabaseError("Dataset not in edit or insert mode", this);
  WriteFieldValue(field, buffer);
}

void TDataSet::AddField(TField* field) {
  // While opening, the default fields are being added.
  if (Active()) DatabaseError("Cannot perform this operation on an open dataset", this);
  if (!field->field_name_.empty() && fields_.FindField(field->field_name_) != nullptr)
    DatabaseError("Duplicate field name '" + field->field_name_ + "'", this);
  fields_.Add(field);
  DataEvent(deLayoutChange);
}

void TDataSet::RemoveField(TField* field) {
  // The record layout depends on the fields, so an open dataset closes first.
  if (Active() && !HasState(framework::csDestroying)) Close();
  fields_.Remove(field);
  if (!HasState(framework::csDestroying)) DataEvent(deLayoutChange);
}

// ---------------------------------------------------------------------------------------------
// Filtering

void TDataSet::SetFiltered(bool value) {
  if (value == filtered_) return;
  filtered_ = value;
  if (Active()) GoFirst();
}

void TDataSet::SetFilterText(const std::string& text) {
  if (text == filter_text_) return;
  filter_text_ = text;
  if (Active() && filtered_) GoFirst();
}

// ---------------------------------------------------------------------------------------------
// Notifications and data sources

void TDataSet::DataEvent(TDataEvent event, const void* info) {
  if (event == deFieldChange && info != nullptr) {
    TField* field = static_cast<TField*>(const_cast<void*>(info));
    const bool data_field = field->kind_ == fkData || field->kind_ == fkInternalCalc;
    if (data_field && InEditModes(state_)) {
      modified_ = true;
      if (has_calc_fields_ && auto_calc_fields_ && field->kind_ == fkData)
        CalculateFields(ActiveBuffer());
    }
    field->Change();
  }
  if (disable_count_ > 0) {
    if (event != deFieldChange && event != deUpdateState) pending_change_ = true;
    return;
  }
  NotifyDataSources(event, info);
}

void TDataSet::NotifyDataSources(TDataEvent event, const void* info) {
  for (TDataSource* source : std::vector<TDataSource*>(data_sources_)) source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
  if (disable_count_ == 0) {
    disabled_state_ = state_;
    pending_change_ = false;
  }
  ++disable_count_;
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0) return;
  if (--disable_count_ > 0) return;
  if (state_ != disabled_state_) NotifyDataSources(deUpdateState, nullptr);
  if (pending_change_ || state_ != disabled_state_) NotifyDataSources(deDataSetChange, nullptr);
  pending_change_ = false;
}

void TDataSet::AddDataSource(TDataSource* source) {
  data_sources_.push_back(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  data_sources_.erase(std::remove(data_sources_.begin(), data_sources_.end(), source),
                      data_sources_.end());
  if (!HasState(framework::csDestroying)) UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(const TDataSource* source) const {
  std::set<const TDataSet*> seen;
  while (source != nullptr) {
    const TDataSet* dataset = source->DataSet();
    if (dataset == nullptr) return false;
    if (dataset == this) return true;
    if (!seen.insert(dataset).second) return false;
    source = dataset->DataSource();
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Base behaviour of the overridable operations

void TDataSet::ClearCalcArea(TRecordBuffer) {}

void TDataSet::DoOnNewRecord() { Fire(OnNewRecord); }

bool TDataSet::FindRecordByKey(bool, bool) { return false; }

std::string TDataSet::BookmarkText() {
  if (IsEmpty() || bookmark_size_ == 0) return std::string();
  std::string text(static_cast<size_t>(bookmark_size_), '\0');
  BookmarkOfBuffer(ActiveBuffer(), text.data());
  return text;
}

bool TDataSet::CanModifyData() { return true; }

int TDataSet::CountRecords() { return -1; }

int TDataSet::CurrentRecNo() { return -1; }

void TDataSet::CancelRecord() {}

void TDataSet::EditRecord() {}

void TDataSet::RefreshRecords() {}

void TDataSet::GotoBookmarkText(const std::string& text) {
  if (text.empty()) return;
  if (static_cast<int>(text.size()) != bookmark_size_) DatabaseError("Invalid bookmark", this);
  InternalGotoBookmark(text.data());
  ResyncBuffers(rsExact | rsCenter);
}

void TDataSet::MoveToRecNo(int) {}

void TDataSet::UpdateIndexDefs() {}

void TDataSet::InitRecordBuffer(TRecordBuffer) {}

void TDataSet::HandleCursorError() { framework::Application().HandleCurrentException(); }

bool TDataSet::BookmarkIsValid(const void*) { return false; }

int TDataSet::OrderBookmarks(const void*, const void*) { return 0; }

std::unique_ptr<framework::TStream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode) {
  DatabaseError("Field '" + field.FieldName() + "': this dataset has no blob streams", this);
}

bool TDataSet::CopyActiveRecord(TRecordBuffer) { return false; }

int TDataSet::TranslateText(const char* src, char* dest, bool) {
  if (src == nullptr) return 0;
  const size_t length = std::strlen(src);
  if (dest != nullptr && dest != src) std::memmove(dest, src, length + 1);
  return static_cast<int>(length);
}

}  // namespace dataset
