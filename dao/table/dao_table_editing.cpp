// TUxDaoTable: putting the recordset into edit, writing changed values with AddNew/Edit and
// Update, cancelling and deleting, with the OnEditError, OnPostError and OnDeleteError events.
#include "dao/dao_constants.h"
#include "dao/table/blob_values.h"
#include "dao/table/dao_table.h"
#include "dao/table/ignoring.h"
#include "dao/table/key_conditions.h"
#include "dao/table/sql_text.h"
#include "framework/exception.h"

namespace dao {

using daotable::Ignoring;
using framework::Variant;

namespace {

Variant BytesOf(const std::string& text) {
  return Variant(std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

bool TUxDaoTable::CanModifyData() { return open_flag_ && !read_only_; }

framework::EOleException TUxDaoTable::EventError(const std::exception& error) {
  // The handler sees the engine's own description and number of the failure.
  int number = DaoErrorNumber(error);
  std::string description = error.what();
  if (database_ != nullptr) {
    try {
      const TDaoErrRec rec = database_->LastDaoError();
      if (rec.Number != 0 && (number == 0 || rec.Number == number)) {
        number = rec.Number;
        description = rec.Description;
      }
    } catch (const std::exception&) {
    }
  }
  return framework::EOleException(number, description);
}

void TUxDaoTable::EditRecord() {
  ReplaceOldValues();
  dataset::TDataAction action = dataset::eaFail;
  for (;;) {
    try {
      if (dao_recordset_->EditMode() != dbEditInProgress) dao_recordset_->Edit();
    } catch (const std::exception& error) {
      if (dao_recordset_->EditMode() != dbEditInProgress) {
        Ignoring([&] { dao_recordset_->Move(0); });
        ResyncBuffers(0);
      }
      if (!OnEditError) throw;
      framework::EOleException offered = EventError(error);
      OnEditError(*this, offered, action);
      if (action == dataset::eaRetry) continue;
      if (action == dataset::eaAbort) return;
      throw;
    }
    if (TDaoRecordBuffer* buffer = StateBuffer()) LoadRecord(dao_recordset_, true, buffer);
    return;
  }
}

void TUxDaoTable::CancelRecord() {
  if (dao_recordset_)
    Ignoring([&] {
      if (dao_recordset_->EditMode() == dbEditInProgress) dao_recordset_->CancelUpdate();
    });
  FreeOldValues();
  FreeEngineCaches();
}

void TUxDaoTable::PutFieldValue(int index, dataset::TField& field, std::string text) {
  const std::shared_ptr<Field>& target = dao_fields_.at(index);
  if (text.empty()) {
    target->SetValue(Variant::Null());
    return;
  }
  const dataset::TFieldType type = field.DataType();
  if (type == dataset::ftBytes && !daotable::IsGuidField(field)) {
    target->SetValue(BytesOf(text));
    return;
  }
  if (type == dataset::ftDate || type == dataset::ftTime || type == dataset::ftDateTime) {
    const Variant date = daotable::StampTextToDate(text);
    if (!date.IsClear()) target->SetValue(Variant::Date(date.ToDate()));
    return;
  }
  if (field.IsBlob()) {
    if (encrypter_ready_) text = EncryptText(text);
    target->SetValue(daotable::TextToBlobValue(text, type));
    return;
  }
  if (encrypter_ready_ && type == dataset::ftString) text = EncryptText(text);
  target->SetValue(Variant(text));
}

void TUxDaoTable::WriteMarkedValues(TDaoRecordBuffer* buffer) {
  if (buffer == nullptr) return;
  const int count = std::min<int>(static_cast<int>(buffer->Values->size()), value_count_);
  for (int i = 0; i < count; ++i) {
    const TFieldValue& value = (*buffer->Values)[i];
    if (!value.Modified) continue;
    dataset::TField* field = i < static_cast<int>(def_fields_.size()) ? def_fields_[i] : nullptr;
    if (field == nullptr || i >= static_cast<int>(field_writable_.size()) || !field_writable_[i])
      continue;
    PutFieldValue(i, *field, value.Text);
  }
}

void TUxDaoTable::StoreRecord() {
  rec_no_stale_ = false;
  CheckActive();
  const dataset::DataSetState state = State();
  TDaoRecordBuffer* buffer = StateBuffer();
  struct StoreGuard {
    bool& flag;
    explicit StoreGuard(bool& f) : flag(f) { flag = true; }
    ~StoreGuard() { flag = false; }
  } guard(in_store_);
  const std::shared_ptr<Recordset> rs = dao_recordset_;

  if (state == dataset::stEdit && rs->EditMode() != dbEditInProgress) {
    try {
      rs->Edit();
    } catch (const std::exception&) {
      if (rs->EditMode() != dbEditInProgress) Ignoring([&] { rs->Move(0); });
      ResyncOrReopen();
      throw;
    }
  }
  dataset::TDataAction action = dataset::eaFail;
  for (;;) {
    if (state == dataset::stEdit) {
      try {
        WriteMarkedValues(buffer);
        rs->Update();
      } catch (const std::exception& error) {
        const auto give_up = [&] {
          if (!LockEdits() && rs->EditMode() == dbEditInProgress) Ignoring([&] { rs->CancelUpdate(); });
          if (rs->EditMode() != dbEditInProgress) Ignoring([&] { rs->Move(0); });
        };
        if (!OnPostError) {
          give_up();
          throw;
        }
        framework::EOleException offered = EventError(error);
        OnPostError(*this, offered, action);
        if (action == dataset::eaRetry) {
          if (rs->EditMode() != dbEditInProgress) Ignoring([&] { rs->Move(0); });
          continue;
        }
        give_up();
        if (action == dataset::eaAbort) return;
        throw;
      }
    } else {
      try {
        rs->AddNew();
        WriteMarkedValues(buffer);
        rs->Update();
      } catch (const std::exception& error) {
        if (!OnPostError) {
          if (rs->EditMode() == dbEditAdd) Ignoring([&] { rs->CancelUpdate(); });
          throw;
        }
        framework::EOleException offered = EventError(error);
        OnPostError(*this, offered, action);
        if (action == dataset::eaRetry) continue;
        if (action == dataset::eaAbort) {
          if (rs->EditMode() == dbEditAdd) Ignoring([&] { rs->CancelUpdate(); });
          return;
        }
        throw;
      }
      count_stale_ = true;
      ++known_count_;
      ++current_index_;
      if (!bookmarks_supported_) {
        Ignoring([&] {
          CursorToLast();
          if (buffer != nullptr) buffer->RecordIndex = current_index_ - 1;
        });
      }
    }
    break;
  }
  if (state != dataset::stEdit) CursorToLast();
  if (bookmarks_supported_) {
    int32_t bookmark = (EngineType() == dbUseJet || state == dataset::stEdit) ? LastModifiedBookmark(rs)
                                                                                : RecordsetBookmark(rs);
    // After CursorToLast an ODBCDirect recordset stands past its last record, with no bookmark:
    // the new record is the one last modified.
    if (bookmark == 0) bookmark = LastModifiedBookmark(rs);
    if (buffer != nullptr) buffer->Bookmark = bookmark;
    GotoDaoBookmark(bookmark);
    // After CursorToLast the count stands one past the new record; where the recordset knows
    // positions, take the new record's own.
    if (state != dataset::stEdit &&
        (table_type_ == dbOpenDynaset || table_type_ == dbOpenSnapshot || table_type_ == dbOpenDynamic))
      Ignoring([&] { current_index_ = rs->AbsolutePosition(); });
  }
  FreeOldValues();
  FreeEngineCaches();
  rec_no_stale_ = true;
}

void TUxDaoTable::AddRecordAt(dataset::TRecordBuffer buffer, bool append) {
  if (append) {
    CursorToLast();
    SetBookmarkFlagOf(buffer, dataset::bmfEof);
  }
  StoreRecord();
}

void TUxDaoTable::PostRecord() {
  const bool editing = State() == dataset::stEdit || State() == dataset::stInsert;
  dataset::TDataSet::PostRecord();
  // Only a record that was actually stored can have changed its place in the order.
  if (!editing || State() != dataset::stBrowse) return;
  if (sorted_by_.Count() > 0 && refresh_sorted_) {
    CheckBrowseMode();
    ClearBookmarkMap();
    ClearBuffers();
    dao_recordset_->Requery();
    count_stale_ = true;
    ActivateBuffers();
    GoFirst();
  }
}

void TUxDaoTable::RemoveRecord() {
  TDaoRecordBuffer* buffer = StateBuffer();
  if (buffer == nullptr) return;
  const int32_t i = buffer->RecordIndex;
  const auto entry = bookmark_of_index_.find(i);
  if (entry != bookmark_of_index_.end()) {
    index_of_bookmark_.erase(entry->second);
    bookmark_of_index_.erase(entry);
  }
  // Records after the deleted one move up by one place.
  std::map<int32_t, int32_t> moved;
  for (auto it = bookmark_of_index_.upper_bound(i); it != bookmark_of_index_.end();) {
    moved[it->first - 1] = it->second;
    index_of_bookmark_[it->second] = it->first - 1;
    it = bookmark_of_index_.erase(it);
  }
  bookmark_of_index_.insert(moved.begin(), moved.end());

  dataset::TDataAction action = dataset::eaFail;
  for (;;) {
    try {
      dao_recordset_->Delete();
    } catch (const std::exception& error) {
      const int number = EventError(error).ErrorCode();
      if (!OnDeleteError) {
        if (number == err::kRecordDeleted) {
          count_stale_ = true;
          ResyncOrReopen();
          return;
        }
        throw;
      }
      framework::EOleException offered = EventError(error);
      OnDeleteError(*this, offered, action);
      if (action == dataset::eaRetry) continue;
      if (action == dataset::eaAbort) {
        count_stale_ = true;
        ResyncOrReopen();
        return;
      }
      if (number == err::kRecordDeleted) {
        count_stale_ = true;
        ResyncOrReopen();
      }
      throw;
    }
    break;
  }
  FreeEngineCaches();
  count_stale_ = true;
  if (dao_recordset_->Eof())
    dao_recordset_->MoveLast();
  else
    dao_recordset_->MoveNext();
}

}  // namespace dao
