#include "dao/table/blob_stream.h"

#include <algorithm>
#include <cstring>

#include "dao/dao_constants.h"
#include "dao/table/blob_values.h"
#include "dao/table/dao_table.h"
#include "dataset/field.h"
#include "framework/application.h"
#include "framework/exception.h"
#include "framework/variant.h"

namespace dao {

using framework::Variant;

TUxBlobStream::TUxBlobStream(dataset::TField& field, dataset::TBlobStreamMode mode)
    : field_(field), mode_(mode) {
  opened_ = true;
  table_ = dynamic_cast<TUxDaoTable*>(field.DataSet());
  if (table_ == nullptr) throw framework::EConvertError("Invalid class typecast");
  buffer_ = table_->StateBuffer();
  if (mode_ == dataset::bmWrite) {
    if (table_->ReadOnly()) throw framework::EDatabaseError("Cannot write to ReadOnly table!");
    Truncate();
    return;
  }
  if (buffer_ != nullptr) LoadContent();
}

TUxBlobStream::~TUxBlobStream() {
  if (modified_ && table_ != nullptr) {
    // Data-aware controls and the record's modified state learn of the change only here, so
    // that a series of writes makes one notification.
    try {
      table_->DataEvent(dataset::deFieldChange, &field_);
    } catch (const std::exception&) {
      try {
        framework::Application().HandleCurrentException();
      } catch (...) {
      }
    } catch (...) {
    }
  }
  content_.clear();
  buffer_ = nullptr;
  opened_ = false;
}

// ---------------------------------------------------------------------------------------------
// Loading

std::string TUxBlobStream::BufferText() const {
  const int index = field_.FieldNo() - 1;
  if (buffer_ == nullptr || !buffer_->Values || index < 0 ||
      index >= static_cast<int>(buffer_->Values->size()))
    return std::string();
  return (*buffer_->Values)[static_cast<size_t>(index)].Text;
}

bool TUxBlobStream::BufferEntryModified() const {
  const int index = field_.FieldNo() - 1;
  if (buffer_ == nullptr || !buffer_->Values || index < 0 ||
      index >= static_cast<int>(buffer_->Values->size()))
    return false;
  return (*buffer_->Values)[static_cast<size_t>(index)].Modified;
}

std::string TUxBlobStream::DefaultText() const {
  const int index = field_.FieldNo() - 1;
  const framework::TStringList& defaults = table_->FieldDefaults();
  if (index < 0 || index >= defaults.Count()) return std::string();
  return defaults.Strings(index);
}

void TUxBlobStream::LoadContent() {
  if (BufferEntryModified()) {
    // Written (or cleared) since the record was read: the buffer holds the value as it stands
    // in this edit, whether the table caches the field or not. The recordset would still give
    // the stored value.
    content_ = BufferText();
    return;
  }
  const bool memo = field_.DataType() == dataset::ftMemo;
  const bool cached = memo ? table_->CacheMemos() : table_->CacheBlobs();
  if (cached) {
    content_ = BufferText();
    if (buffer_->RecordIndex == -1 && content_.empty()) content_ = DefaultText();
  } else {
    content_ = FetchFromRecordset();
  }
}

std::string TUxBlobStream::FetchFromRecordset() {
  TUxDaoTable& table = *table_;
  const std::shared_ptr<Recordset> recordset = table.DaoRecordset();
  if (!recordset) return std::string();
  const int32_t origin = table.RecordsetBookmark(recordset);
  const int32_t target = buffer_->Bookmark;
  const int32_t record_index = buffer_->RecordIndex;
  const dataset::DataSetState state = table.State();
  const bool editing = state == dataset::stEdit || state == dataset::stInsert;
  bool moved = false;
  bool failed = false;
  std::string text;
  try {
    // Moving a recordset ends an edit DAO has in progress, so the cursor only moves when the
    // buffer's record is not the current one already.
    if (target != 0 && target != origin) {
      moved = true;
      table.GotoDaoBookmark(target);
    }
    if (state == dataset::stInsert && record_index == -1) {
      text = BufferText();
      if (text.empty()) text = DefaultText();
    } else {
      const std::shared_ptr<Field> dao_field = recordset->Fields()->Item(field_.FieldNo() - 1);
      const Variant value = dao_field->Value();
      const int32_t size = dao_field->FieldSize();
      if (!value.IsNull()) text = daotable::BlobValueToText(value, size, field_.DataType());
      if (table.EncrypterReady()) text = table.DecryptText(text);
    }
  } catch (const std::exception&) {
    text.clear();
    failed = true;
    // A resync in edit or insert would post the record that is being changed.
    if (table.TableType() != dbOpenForwardOnly && !editing) {
      try {
        table.ResyncBuffers(0);
      } catch (const std::exception&) {
      }
    }
  }
  if (moved) {
    bool back = false;
    if (origin != 0) {
      try {
        table.GotoDaoBookmark(origin);
        back = true;
      } catch (const std::exception&) {
      }
    }
    // The cursor stands elsewhere than the dataset believes (it stood before the first or after
    // the last record, or the ring was rebuilt around the other record): the dataset places it
    // again before its next move.
    if (!back || failed) table.CursorPosChanged();
  }
  if (failed) {
    // The recovery may have refilled the ring; the buffer then holds another record, and a
    // write must not land there.
    if (table.StateBuffer() != buffer_ || buffer_->Bookmark != target ||
        buffer_->RecordIndex != record_index)
      buffer_ = nullptr;
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Stream operations

int64_t TUxBlobStream::Read(void* buffer, int64_t count) {
  if (!opened_ || buffer == nullptr || count <= 0) return 0;
  const int64_t size = Size();
  if (position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, content_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TUxBlobStream::Write(const void* buffer, int64_t count) {
  if (!opened_ || count < 0 || (buffer == nullptr && count > 0)) return 0;
  // Everything after the written bytes is dropped; a gap before them is filled with zeros.
  content_.resize(static_cast<size_t>(position_), '\0');
  if (count > 0) content_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
  StoreContent();
  modified_ = true;
  position_ += count;
  return count;
}

int64_t TUxBlobStream::Seek(int64_t offset, framework::TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == framework::TSeekOrigin::soCurrent) target += position_;
  if (origin == framework::TSeekOrigin::soEnd) target += Size();
  if (target < 0) throw framework::EInOutError("Stream position before its start");
  position_ = target;
  return position_;
}

void TUxBlobStream::SetSize(int64_t size) {
  if (size < 0) throw framework::EInOutError("Negative stream size");
  if (!opened_) return;
  content_.resize(static_cast<size_t>(size), '\0');
  StoreContent();
  modified_ = true;
}

void TUxBlobStream::Truncate() {
  if (!opened_) return;
  if (position_ < Size()) content_.resize(static_cast<size_t>(position_));
  StoreContent();
  modified_ = true;
}

void TUxBlobStream::StoreContent() {
  const int index = field_.FieldNo() - 1;
  if (buffer_ == nullptr || !buffer_->Values || index < 0 ||
      index >= static_cast<int>(buffer_->Values->size()))
    return;
  TFieldValue& entry = (*buffer_->Values)[static_cast<size_t>(index)];
  entry.Text = content_;
  entry.Modified = true;
}

}  // namespace dao
