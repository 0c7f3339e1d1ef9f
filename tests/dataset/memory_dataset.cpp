#include "tests/dataset/memory_dataset.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dataset/db_error.h"
#include "framework/exception.h"

namespace dataset_test {

using dataset::TField;
using framework::Variant;

namespace {

const char* ModeName(dataset::TFetchMode mode) {
  switch (mode) {
    case dataset::fetchCurrent: return "current";
    case dataset::fetchNext: return "next";
    case dataset::fetchPrior: return "prior";
  }
  return "?";
}

// The native form of `value` for `field` (see dataset/field.h), written to `dest`.
void ToNative(const TField& field, const Variant& value, void* dest) {
  std::memset(dest, 0, static_cast<size_t>(std::max(field.DataSize(), 1)));
  switch (field.DataType()) {
    case dataset::ftString: {
      const std::string text = value.ToString();
      std::memcpy(dest, text.data(), std::min<size_t>(text.size(), field.DataSize() - 1));
      break;
    }
    case dataset::ftSmallint: case dataset::ftInteger: case dataset::ftWord:
    case dataset::ftAutoInc: {
      const int32_t n = value.ToInt32();
      std::memcpy(dest, &n, 4);
      break;
    }
    case dataset::ftBoolean: {
      const int16_t n = value.ToBool() ? 1 : 0;
      std::memcpy(dest, &n, 2);
      break;
    }
    case dataset::ftFloat: case dataset::ftCurrency: case dataset::ftBCD: {
      const double d = value.ToDouble();
      std::memcpy(dest, &d, 8);
      break;
    }
    case dataset::ftDate: {
      const int32_t day = framework::DateTimeToTimeStamp(value.ToDate()).Date;
      std::memcpy(dest, &day, 4);
      break;
    }
    case dataset::ftTime: {
      const int32_t ms = framework::DateTimeToTimeStamp(value.ToDate()).Time;
      std::memcpy(dest, &ms, 4);
      break;
    }
    case dataset::ftDateTime: {
      const framework::TTimeStamp stamp = framework::DateTimeToTimeStamp(value.ToDate());
      const double ms = static_cast<double>(stamp.Date) * framework::kMillisecondsPerDay + stamp.Time;
      std::memcpy(dest, &ms, 8);
      break;
    }
    case dataset::ftBytes: {
      const std::vector<uint8_t> bytes = value.ToBytes();
      std::memcpy(dest, bytes.data(), std::min<size_t>(bytes.size(), field.Size()));
      break;
    }
    case dataset::ftVarBytes: {
      const std::vector<uint8_t> bytes = value.ToBytes();
      const uint16_t length = static_cast<uint16_t>(std::min<size_t>(bytes.size(), field.Size()));
      std::memcpy(dest, &length, 2);
      std::memcpy(static_cast<uint8_t*>(dest) + 2, bytes.data(), length);
      break;
    }
    default:
      break;
  }
}

// The value held natively in `data` for `field`.
Variant FromNative(const TField& field, const void* data) {
  switch (field.DataType()) {
    case dataset::ftString:
      return Variant(std::string(static_cast<const char*>(data)));
    case dataset::ftSmallint: case dataset::ftInteger: case dataset::ftWord:
    case dataset::ftAutoInc: {
      int32_t n;
      std::memcpy(&n, data, 4);
      return Variant(n);
    }
    case dataset::ftBoolean: {
      int16_t n;
      std::memcpy(&n, data, 2);
      return Variant(n != 0);
    }
    case dataset::ftFloat: case dataset::ftCurrency: case dataset::ftBCD: {
      double d;
      std::memcpy(&d, data, 8);
      return Variant(d);
    }
    case dataset::ftDate: {
      int32_t day;
      std::memcpy(&day, data, 4);
      return Variant::Date(framework::TimeStampToDateTime({0, day}));
    }
    case dataset::ftTime: {
      int32_t ms;
      std::memcpy(&ms, data, 4);
      return Variant::Date(framework::TimeStampToDateTime({ms, framework::kDateDelta}));
    }
    case dataset::ftDateTime: {
      double ms;
      std::memcpy(&ms, data, 8);
      const double day = std::floor(ms / framework::kMillisecondsPerDay);
      return Variant::Date(framework::TimeStampToDateTime(
          {static_cast<int32_t>(ms - day * framework::kMillisecondsPerDay), static_cast<int32_t>(day)}));
    }
    case dataset::ftBytes: {
      const uint8_t* bytes = static_cast<const uint8_t*>(data);
      return Variant(std::vector<uint8_t>(bytes, bytes + field.Size()));
    }
    case dataset::ftVarBytes: {
      uint16_t length;
      std::memcpy(&length, data, 2);
      const uint8_t* bytes = static_cast<const uint8_t*>(data) + 2;
      return Variant(std::vector<uint8_t>(bytes, bytes + length));
    }
    default:
      return Variant::Null();
  }
}

// A blob's content as a stream; a write stream hands its content to the dataset when released.
class MemoryBlobStream : public framework::TMemoryStream {
 public:
  MemoryBlobStream(MemoryDataSet& owner, TField& field, bool writing, std::string content)
      : framework::TMemoryStream(std::move(content)), owner_(owner), field_(field),
        writing_(writing) {}
  ~MemoryBlobStream() override {
    if (writing_) owner_.StoreBlob(field_, DataText());
  }

 private:
  MemoryDataSet& owner_;
  TField& field_;
  bool writing_;
};

}  // namespace

MemoryDataSet::MemoryDataSet(framework::TComponent* owner) : dataset::TDataSet(owner) {}

MemoryDataSet::~MemoryDataSet() { Close(); }

void MemoryDataSet::AddColumn(const std::string& name, dataset::TFieldType type, int size,
                              bool required) {
  columns_.push_back({name, type, size, required});
  for (Record& row : rows_) row.values.push_back(Variant::Null());
}

void MemoryDataSet::AddRow(std::vector<Variant> values) {
  values.resize(columns_.size(), Variant::Null());
  rows_.push_back({next_id_++, std::move(values)});
}

std::vector<std::string> MemoryDataSet::LogOf(const std::vector<std::string>& names) const {
  std::vector<std::string> result;
  for (const std::string& entry : log) {
    const std::string name = entry.substr(0, entry.find('('));
    if (std::find(names.begin(), names.end(), name) != names.end()) result.push_back(entry);
  }
  return result;
}

void MemoryDataSet::LogEvents() {
  auto logger = [this](const char* name) {
    return [this, name](dataset::TDataSet&) { log.push_back(name); };
  };
  BeforeOpen = logger("BeforeOpen");
  AfterOpen = logger("AfterOpen");
  BeforeClose = logger("BeforeClose");
  AfterClose = logger("AfterClose");
  BeforeInsert = logger("BeforeInsert");
  AfterInsert = logger("AfterInsert");
  BeforeEdit = logger("BeforeEdit");
  AfterEdit = logger("AfterEdit");
  BeforePost = logger("BeforePost");
  AfterPost = logger("AfterPost");
  BeforeCancel = logger("BeforeCancel");
  AfterCancel = logger("AfterCancel");
  BeforeDelete = logger("BeforeDelete");
  AfterDelete = logger("AfterDelete");
  BeforeScroll = logger("BeforeScroll");
  AfterScroll = logger("AfterScroll");
  OnNewRecord = logger("OnNewRecord");
}

std::vector<int32_t> MemoryDataSet::RingIds() const {
  std::vector<int32_t> ids;
  for (int i = 0; i < FilledCount(); ++i) ids.push_back(Ring(i)->bookmark);
  return ids;
}

int MemoryDataSet::IndexOfId(int32_t id) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].id == id) return static_cast<int>(i);
  return -1;
}

MemoryBuffer* MemoryDataSet::StateBuffer() {
  switch (State()) {
    case dataset::stBrowse: case dataset::stBlockRead:
      return IsEmpty() ? nullptr : static_cast<MemoryBuffer*>(ActiveBuffer());
    case dataset::stEdit: case dataset::stInsert: case dataset::stNewValue:
    case dataset::stCurValue: case dataset::stOldValue:
      return static_cast<MemoryBuffer*>(ActiveBuffer());
    case dataset::stCalcFields:
      return static_cast<MemoryBuffer*>(CalcBuffer());
    case dataset::stFilter:
      return filter_buffer_;
    default:
      return nullptr;
  }
}

bool MemoryDataSet::AcceptRecord(MemoryBuffer* buffer) {
  const dataset::DataSetState old = SetTempState(dataset::stFilter);
  bool accept = true;
  try {
    ClearCalcArea(buffer);
    CalculateFields(buffer);
    if (FilterActive()) {
      filter_buffer_ = buffer;
      OnFilterRecord(*this, accept);
    }
  } catch (...) {
    RestoreState(old);
    throw;
  }
  RestoreState(old);
  return accept;
}

// ---------------------------------------------------------------------------------------------
// The overridable operations

void MemoryDataSet::ClearCalcArea(dataset::TRecordBuffer buffer) {
  Note("ClearCalcArea");
  auto* b = static_cast<MemoryBuffer*>(buffer);
  b->calc.assign(static_cast<size_t>(CalcFieldsSize()), 0);
}

void MemoryDataSet::DoOnNewRecord() {
  Note("NewRecordHook");
  TDataSet::DoOnNewRecord();
}

std::string MemoryDataSet::BookmarkText() {
  Note("BookmarkText");
  return TDataSet::BookmarkText();
}

bool MemoryDataSet::CanModifyData() {
  Note("CanModifyData");
  return !read_only;
}

int MemoryDataSet::CountRecords() {
  Note("CountRecords");
  if (!FilterActive()) return RowCount();
  MemoryBuffer probe;
  int count = 0;
  for (const Record& row : rows_) {
    probe.values = row.values;
    probe.calc.assign(static_cast<size_t>(CalcFieldsSize()), 0);
    if (AcceptRecord(&probe)) ++count;
  }
  return count;
}

int MemoryDataSet::CurrentRecNo() {
  Note("CurrentRecNo");
  UpdateCursorPos();
  if (IsEmpty() || cursor_ < 0 || cursor_ >= RowCount()) return -1;
  if (!FilterActive()) return cursor_ + 1;
  MemoryBuffer probe;
  int number = 0;
  for (int i = 0; i <= cursor_; ++i) {
    probe.values = rows_[i].values;
    probe.calc.assign(static_cast<size_t>(CalcFieldsSize()), 0);
    if (AcceptRecord(&probe)) ++number;
  }
  return number;
}

void MemoryDataSet::CancelRecord() { Note("CancelRecord"); }

void MemoryDataSet::EditRecord() {
  Note("EditRecord");
  if (fail_edit > 0) {
    --fail_edit;
    throw framework::EDatabaseError("The record is locked");
  }
}

void MemoryDataSet::RefreshRecords() { Note("RefreshRecords"); }

void MemoryDataSet::MoveToRecNo(int rec_no) {
  Note("MoveToRecNo(" + std::to_string(rec_no) + ")");
  CheckBrowseMode();
  int seen = 0;
  for (int i = 0; i < RowCount(); ++i) {
    MemoryBuffer probe;
    probe.values = rows_[i].values;
    probe.calc.assign(static_cast<size_t>(CalcFieldsSize()), 0);
    if (AcceptRecord(&probe) && ++seen == rec_no) {
      if (BeforeScroll) BeforeScroll(*this);
      cursor_ = i;
      ResyncBuffers(dataset::rsExact | dataset::rsCenter);
      if (AfterScroll) AfterScroll(*this);
      return;
    }
  }
  dataset::DatabaseError("Record " + std::to_string(rec_no) + " does not exist", this);
}

dataset::TRecordBuffer MemoryDataSet::NewRecordBuffer() {
  Note("NewRecordBuffer");
  auto* buffer = new MemoryBuffer;
  buffer->values.assign(FieldDefs().Count(), Variant::Null());
  buffer->calc.assign(static_cast<size_t>(CalcFieldsSize()), 0);
  ++live_buffers;
  return buffer;
}

void MemoryDataSet::DisposeRecordBuffer(dataset::TRecordBuffer& buffer) {
  Note("DisposeRecordBuffer");
  if (buffer == nullptr) return;
  delete static_cast<MemoryBuffer*>(buffer);
  buffer = nullptr;
  --live_buffers;
}

void MemoryDataSet::BookmarkOfBuffer(dataset::TRecordBuffer buffer, void* out) {
  Note("BookmarkOfBuffer");
  if (out == nullptr) return;
  const int32_t id = bookmarks && buffer != nullptr ? static_cast<MemoryBuffer*>(buffer)->bookmark : 0;
  std::memcpy(out, &id, 4);
}

dataset::TBookmarkFlag MemoryDataSet::BookmarkFlagOf(dataset::TRecordBuffer buffer) {
  Note("BookmarkFlagOf");
  return static_cast<MemoryBuffer*>(buffer)->flag;
}

uint16_t MemoryDataSet::RecordBufferSize() {
  return static_cast<uint16_t>(16 + CalcFieldsSize());
}

void MemoryDataSet::Insert(MemoryBuffer* buffer, bool append) {
  int at;
  if (append || buffer->flag == dataset::bmfEof)
    at = RowCount();
  else if (buffer->flag == dataset::bmfBof)
    at = 0;
  else
    at = std::clamp(cursor_, 0, RowCount());
  Record row{next_id_++, buffer->values};
  rows_.insert(rows_.begin() + at, row);
  buffer->bookmark = row.id;
  buffer->index = at;
  cursor_ = at;
}

void MemoryDataSet::AddRecordAt(dataset::TRecordBuffer buffer, bool append) {
  Note(std::string("AddRecordAt(") + (append ? "append" : "insert") + ")");
  if (fail_store > 0) {
    --fail_store;
    throw framework::EDatabaseError("The record cannot be stored");
  }
  Insert(static_cast<MemoryBuffer*>(buffer), append);
}

void MemoryDataSet::RemoveRecord() {
  Note("RemoveRecord");
  if (fail_remove > 0) {
    --fail_remove;
    throw framework::EDatabaseError("The record cannot be deleted");
  }
  if (cursor_ < 0 || cursor_ >= RowCount()) dataset::DatabaseError("No current record", this);
  rows_.erase(rows_.begin() + cursor_);
  if (cursor_ >= RowCount()) cursor_ = RowCount() - 1;
}

void MemoryDataSet::CursorToFirst() {
  Note("CursorToFirst");
  cursor_ = -1;
}

void MemoryDataSet::CursorToLast() {
  Note("CursorToLast");
  cursor_ = RowCount();
}

void MemoryDataSet::InternalGotoBookmark(const void* bookmark) {
  Note("InternalGotoBookmark");
  int32_t id;
  std::memcpy(&id, bookmark, 4);
  const int index = IndexOfId(id);
  if (index < 0) dataset::DatabaseError("Invalid bookmark", this);
  cursor_ = index;
}

void MemoryDataSet::InitRecordBuffer(dataset::TRecordBuffer buffer) {
  Note("InitRecordBuffer");
  auto* b = static_cast<MemoryBuffer*>(buffer);
  b->values.assign(FieldDefs().Count(), Variant::Null());
  for (TField* field : Fields()) {
    if (field->FieldNo() > 0 && !field->DefaultExpression().empty())
      b->values[field->FieldNo() - 1] = Variant(field->DefaultExpression());
  }
  b->flag = dataset::bmfInserted;
  b->bookmark = 0;
  b->index = -1;
}

void MemoryDataSet::StoreRecord() {
  Note("StoreRecord");
  if (fail_store > 0) {
    --fail_store;
    throw framework::EDatabaseError("The record cannot be stored");
  }
  auto* b = static_cast<MemoryBuffer*>(ActiveBuffer());
  if (State() == dataset::stEdit) {
    const int index = IndexOfId(b->bookmark);
    if (index < 0) dataset::DatabaseError("Record not found", this);
    rows_[index].values = b->values;
    cursor_ = index;
  } else {
    Insert(b, false);
  }
}

void MemoryDataSet::CursorToRecord(dataset::TRecordBuffer buffer) {
  Note("CursorToRecord");
  auto* b = static_cast<MemoryBuffer*>(buffer);
  if (b->bookmark == 0) return;
  const int index = IndexOfId(b->bookmark);
  if (index < 0) dataset::DatabaseError("Record not found or changed by another user", this);
  cursor_ = index;
}

void MemoryDataSet::SetBookmarkFlagOf(dataset::TRecordBuffer buffer, dataset::TBookmarkFlag flag) {
  Note("SetBookmarkFlagOf(" + std::to_string(flag) + ")");
  static_cast<MemoryBuffer*>(buffer)->flag = flag;
}

void MemoryDataSet::SetBookmarkOfBuffer(dataset::TRecordBuffer buffer, const void* data) {
  Note("SetBookmarkOfBuffer");
  if (buffer == nullptr || data == nullptr) return;
  std::memcpy(&static_cast<MemoryBuffer*>(buffer)->bookmark, data, 4);
}

void MemoryDataSet::WriteFieldValue(TField& field, const void* data) {
  Note("WriteFieldValue(" + field.FieldName() + ")");
  MemoryBuffer* b = StateBuffer();
  if (b == nullptr) return;
  if (field.FieldKind() == dataset::fkCalculated || field.FieldKind() == dataset::fkLookup) {
    uint8_t* slot = b->calc.data() + field.Offset();
    slot[0] = data != nullptr ? 1 : 0;
    if (data != nullptr) std::memcpy(slot + 1, data, static_cast<size_t>(field.DataSize()));
  } else {
    field.Validate(data);
    b->values.at(field.FieldNo() - 1) = data != nullptr ? FromNative(field, data) : Variant::Null();
  }
  const dataset::DataSetState state = State();
  if (state != dataset::stCalcFields && state != dataset::stFilter &&
      state != dataset::stNewValue && state != dataset::stInternalCalc)
    DataEvent(dataset::deFieldChange, &field);
}

dataset::TFetchResult MemoryDataSet::FetchRecord(dataset::TRecordBuffer buffer,
                                                 dataset::TFetchMode mode, bool /*check*/) {
  Note(std::string("FetchRecord(") + ModeName(mode) + ")");
  auto* b = static_cast<MemoryBuffer*>(buffer);
  for (;;) {
    switch (mode) {
      case dataset::fetchCurrent:
        if (cursor_ < 0) return dataset::fetchBof;
        if (cursor_ >= RowCount()) return dataset::fetchEof;
        break;
      case dataset::fetchNext:
        if (cursor_ < RowCount()) ++cursor_;
        if (cursor_ >= RowCount()) return dataset::fetchEof;
        break;
      case dataset::fetchPrior:
        if (cursor_ >= 0) --cursor_;
        if (cursor_ < 0) return dataset::fetchBof;
        break;
    }
    b->values = rows_[cursor_].values;
    b->bookmark = rows_[cursor_].id;
    b->index = cursor_;
    b->flag = dataset::bmfCurrent;
    if (AcceptRecord(b)) return dataset::fetchOk;
    if (mode == dataset::fetchCurrent) return dataset::fetchError;
  }
}

void MemoryDataSet::CursorClose() {
  Note("CursorClose");
  open_ = false;
}

void MemoryDataSet::BuildFieldDefs() {
  Note("BuildFieldDefs");
  FieldDefs().Clear();
  for (const Column& column : columns_)
    FieldDefs().Add(column.name, column.type, column.size, column.required);
}

void MemoryDataSet::CursorOpen() {
  Note("CursorOpen");
  BuildFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  SetBookmarkSize(bookmarks ? 4 : 0);
  cursor_ = -1;
  open_ = true;
}

bool MemoryDataSet::CursorIsOpen() { return open_; }

bool MemoryDataSet::BookmarkIsValid(const void* bookmark) {
  Note("BookmarkIsValid");
  int32_t id;
  std::memcpy(&id, bookmark, 4);
  return IndexOfId(id) >= 0;
}

int MemoryDataSet::OrderBookmarks(const void* a, const void* b) {
  Note("OrderBookmarks");
  if (a == nullptr || b == nullptr) return a == b ? 0 : (a == nullptr ? -1 : 1);
  int32_t ia, ib;
  std::memcpy(&ia, a, 4);
  std::memcpy(&ib, b, 4);
  const int pa = IndexOfId(ia), pb = IndexOfId(ib);
  return pa < pb ? -1 : (pa > pb ? 1 : 0);
}

bool MemoryDataSet::CopyActiveRecord(dataset::TRecordBuffer dest) {
  Note("CopyActiveRecord");
  MemoryBuffer* source = StateBuffer();
  if (source == nullptr || dest == nullptr) return false;
  *static_cast<MemoryBuffer*>(dest) = *source;
  return true;
}

bool MemoryDataSet::ReadFieldValue(TField& field, void* dest) {
  Note("ReadFieldValue(" + field.FieldName() + ")");
  MemoryBuffer* b = StateBuffer();
  if (b == nullptr) return false;
  if (field.FieldKind() == dataset::fkCalculated || field.FieldKind() == dataset::fkLookup) {
    const uint8_t* slot = b->calc.data() + field.Offset();
    if (slot[0] == 0) return false;
    if (dest != nullptr) std::memcpy(dest, slot + 1, static_cast<size_t>(field.DataSize()));
    return true;
  }
  const Variant& value = b->values.at(field.FieldNo() - 1);
  if (value.IsClear()) return false;
  if (dest != nullptr && !field.IsBlob()) ToNative(field, value, dest);
  return true;
}

void MemoryDataSet::ResyncBuffers(dataset::TResyncOptions options) {
  std::string text;
  if (options & dataset::rsExact) text += "exact";
  if (options & dataset::rsCenter) text += text.empty() ? "center" : ",center";
  Note("ResyncBuffers(" + text + ")");
  TDataSet::ResyncBuffers(options);
}

std::unique_ptr<framework::TStream> MemoryDataSet::CreateBlobStream(TField& field,
                                                                    dataset::TBlobStreamMode mode) {
  Note("CreateBlobStream(" + field.FieldName() + ")");
  MemoryBuffer* b = StateBuffer();
  std::string content;
  if (mode != dataset::bmWrite && b != nullptr) {
    const Variant& value = b->values.at(field.FieldNo() - 1);
    if (!value.IsClear()) {
      const std::vector<uint8_t> bytes = value.ToBytes();
      content.assign(bytes.begin(), bytes.end());
    }
  }
  return std::make_unique<MemoryBlobStream>(*this, field, mode != dataset::bmRead, content);
}

void MemoryDataSet::StoreBlob(TField& field, const std::string& content) {
  MemoryBuffer* b = StateBuffer();
  if (b == nullptr) return;
  if (content.empty())
    b->values.at(field.FieldNo() - 1) = Variant::Null();
  else if (field.DataType() == dataset::ftMemo)
    b->values.at(field.FieldNo() - 1) = Variant(content);
  else
    b->values.at(field.FieldNo() - 1) = Variant(std::vector<uint8_t>(content.begin(), content.end()));
  DataEvent(dataset::deFieldChange, &field);
}

}  // namespace dataset_test
