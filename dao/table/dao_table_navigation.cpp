// TUxDaoTable: following the recordset's cursor — placing it before the first or after the last
// record, fetching records into buffers, bookmarks, the record count and the record number, and
// recovering when the recordset lost its position.
#include <cmath>
#include <cstring>

#include "dao/dao_constants.h"
#include "dao/table/dao_table.h"
#include "dao/table/ignoring.h"
#include "framework/exception.h"
#include "framework/strings.h"

namespace dao {

using daotable::Ignoring;
using framework::EDatabaseError;
using framework::Variant;

namespace {

Variant BookmarkVariant(int32_t bookmark) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &bookmark, 4);
  return Variant(std::move(bytes));
}

int32_t BookmarkValue(const Variant& value) {
  const std::vector<uint8_t> bytes = value.ToBytes();
  if (bytes.size() < 4) return 0;
  int32_t bookmark;
  std::memcpy(&bookmark, bytes.data(), 4);
  return bookmark;
}

const char kRepairMessage[] = "needs to be repaired and compacted!";

bool IsRepairError(const std::exception& error) {
  return dynamic_cast<const EDatabaseError*>(&error) != nullptr &&
         std::string(error.what()).find(kRepairMessage) != std::string::npos;
}

}  // namespace

bool TUxDaoTable::FilterActive() const { return Filtered() && static_cast<bool>(OnFilterRecord); }

bool TUxDaoTable::AcceptRecord(TDaoRecordBuffer* buffer) {
  const dataset::DataSetState old = SetTempState(dataset::stFilter);
  TDaoRecordBuffer* const old_filter = filter_buffer_;
  bool accept = true;
  try {
    filter_buffer_ = buffer;
    ClearCalcArea(buffer);
    CalculateFields(buffer);
    if (FilterActive()) OnFilterRecord(*this, accept);
  } catch (...) {
    filter_buffer_ = old_filter;
    RestoreState(old);
    throw;
  }
  filter_buffer_ = old_filter;
  RestoreState(old);
  return accept;
}

// ---------------------------------------------------------------------------------------------
// Bookmarks of the recordset

int32_t TUxDaoTable::RecordsetBookmark(const std::shared_ptr<Recordset>& recordset) {
  if (!recordset || !bookmarks_supported_) return 0;
  try {
    if (recordset->Bof() || recordset->Eof()) return 0;
    return BookmarkValue(recordset->Bookmark());
  } catch (const std::exception&) {
    Ignoring([&] { CursorToFirst(); });
    return 0;
  }
}

int32_t TUxDaoTable::LastModifiedBookmark(const std::shared_ptr<Recordset>& recordset) {
  if (!recordset || !bookmarks_supported_) return 0;
  if (recordset->Bof() && recordset->Eof()) return 0;
  const Variant last = recordset->LastModified();
  if (last.IsClear()) return RecordsetBookmark(recordset);
  const int32_t bookmark = BookmarkValue(last);
  return bookmark != 0 ? bookmark : RecordsetBookmark(recordset);
}

void TUxDaoTable::GotoDaoBookmark(int32_t bookmark) {
  try {
    dao_recordset_->SetBookmark(BookmarkVariant(bookmark));
  } catch (const std::exception& error) {
    if (DaoErrorNumber(error) == err::kRecordDeleted) Ignoring([&] { GoFirst(); });
    throw;
  }
}

int32_t TUxDaoTable::IndexOfBookmark(const std::shared_ptr<Recordset>& recordset, int32_t bookmark) {
  if (!use_get_rec_no_) return -1;
  float p = recordset->PercentPosition() - 2.0f;
  if (!(p >= 0.0f)) p = 0.0f;
  const int n = CountRecords();
  int32_t i = static_cast<int32_t>(std::nearbyint(static_cast<double>(n) * p / 100.0));
  recordset->MoveFirst();
  recordset->Move(i);
  while (!recordset->Eof() && RecordsetBookmark(recordset) != bookmark) {
    recordset->MoveNext();
    ++i;
  }
  if (recordset->Eof()) {
    i = 0;
    recordset->MoveFirst();
    while (!recordset->Eof() && RecordsetBookmark(recordset) != bookmark) {
      recordset->MoveNext();
      ++i;
    }
  }
  if (recordset->Bof() || recordset->Eof()) {
    i = n;
    recordset->MoveLast();
    while (!recordset->Bof() && RecordsetBookmark(recordset) != bookmark) {
      recordset->MovePrevious();
      --i;
    }
  }
  return i;
}

// ---------------------------------------------------------------------------------------------
// Placing the cursor

void TUxDaoTable::CursorToFirst() {
  current_index_ = -1;
  forward_index_ = -1;
  if (!dao_recordset_) return;
  Ignoring([&] {
    if ((dao_recordset_->Bof() && dao_recordset_->Eof()) || table_type_ == dbOpenForwardOnly) return;
    dao_recordset_->MoveFirst();
    dao_recordset_->MovePrevious();
  });
}

void TUxDaoTable::CheckTableCount(int32_t& count) {
  const auto snapshot = dao_recordset_->OpenRecordset(Variant(dbOpenSnapshot));
  int32_t c = 0;
  try {
    snapshot->MoveLast();
    c = snapshot->RecordCount();
  } catch (...) {
    Ignoring([&] { snapshot->Close(); });
    throw;
  }
  Ignoring([&] { snapshot->Close(); });
  if (c != dao_recordset_->RecordCount() && warn_on_bad_database_)
    throw EDatabaseError("Database " + (database_ != nullptr ? database_->Database() : std::string()) +
                         " " + kRepairMessage);
  count = c;
}

void TUxDaoTable::CursorToLast() {
  if (!dao_recordset_) return;
  try {
    if (dao_recordset_->Bof() && dao_recordset_->Eof()) {
      current_index_ = -1;
      return;
    }
    if (table_type_ == dbOpenForwardOnly) {
      if (!dao_recordset_->Eof()) {
        while (!dao_recordset_->Eof()) {
          dao_recordset_->MoveNext();
          ++forward_index_;
        }
        --forward_index_;
      }
      current_index_ = forward_index_;
      return;
    }
    const int32_t p = current_index_;
    dao_recordset_->MoveLast();
    dao_recordset_->MoveNext();
    current_index_ = dao_recordset_->RecordCount();
    if (table_type_ == dbOpenTable &&
        (known_count_ < dao_recordset_->RecordCount() || dao_recordset_->RecordCount() < p)) {
      int32_t count = current_index_;
      CheckTableCount(count);
      current_index_ = count;
      known_count_ = count;
    }
  } catch (const std::exception& error) {
    if (IsRepairError(error)) throw;
  }
}

void TUxDaoTable::CursorToRecord(dataset::TRecordBuffer buffer) {
  if (buffer == nullptr || !dao_recordset_) return;
  if (dao_recordset_->Bof() && dao_recordset_->Eof()) return;
  TDaoRecordBuffer* b = Buf(buffer);
  if (b->Flag != dataset::bmfCurrent && b->Flag != dataset::bmfInserted) return;
  const int32_t p = current_index_;
  current_index_ = b->RecordIndex;
  if (table_type_ == dbOpenForwardOnly || State() == dataset::stSetKey) return;
  if (!bookmarks_supported_) {
    if (current_index_ == p) return;
    try {
      if (FilterActive()) {
        dao_recordset_->MoveFirst();
        dao_recordset_->Move(current_index_);
      } else {
        dao_recordset_->Move(current_index_ - p);
      }
    } catch (const std::exception&) {
      dao_recordset_->MoveFirst();
      dao_recordset_->Move(current_index_);
    }
    return;
  }
  if (State() == dataset::stEdit || State() == dataset::stInsert) return;
  try {
    GotoDaoBookmark(b->Bookmark);
  } catch (const std::exception& error) {
    const std::string text = error.what();
    CursorToFirst();
    ResyncBuffers(dataset::rsCenter);
    throw EDatabaseError(text);
  }
}

// ---------------------------------------------------------------------------------------------
// Fetching

dataset::TFetchResult TUxDaoTable::FetchRecord(dataset::TRecordBuffer buffer, dataset::TFetchMode mode,
                                               bool /*check*/) {
  using namespace dataset;
  if (!dao_recordset_) return fetchError;
  const DataSetState state = State();
  if (state == stInsert) {
    if (!(dao_recordset_->Bof() && dao_recordset_->Eof()) && !in_store_) CheckBrowseMode();
    return fetchError;
  }
  if (state == stEdit && dao_recordset_->EditMode() == dbEditInProgress) {
    if (!in_store_) CheckBrowseMode();
    return fetchError;
  }
  TDaoRecordBuffer* b = Buf(buffer);
  for (;;) {
    TFetchResult r = fetchOk;
    switch (mode) {
      case fetchCurrent:
        if (dao_recordset_->Bof()) r = fetchBof;
        if (dao_recordset_->Eof()) r = fetchEof;
        break;
      case fetchNext:
        if (!(table_type_ == dbOpenForwardOnly && current_index_ == -1) && !dao_recordset_->Eof())
          dao_recordset_->MoveNext();
        if (dao_recordset_->Eof()) {
          r = fetchEof;
        } else {
          ++current_index_;
          ++forward_index_;
        }
        break;
      case fetchPrior:
        if (table_type_ == dbOpenForwardOnly) {
          r = fetchBof;
          break;
        }
        if (!dao_recordset_->Bof()) dao_recordset_->MovePrevious();
        if (dao_recordset_->Bof()) {
          r = fetchBof;
        } else {
          --current_index_;
          --forward_index_;
        }
        break;
    }
    if (r == fetchEof)
      known_count_ = current_index_ + 1;
    else
      known_count_ = std::max(known_count_, current_index_);
    if (r != fetchOk) return r;
    if (!LoadRecord(dao_recordset_, true, b)) return fetchError;
    const bool accepted = AcceptRecord(b);
    if (accepted) return fetchOk;
    if (mode == fetchCurrent) return fetchError;
  }
}

// ---------------------------------------------------------------------------------------------
// Bookmarks of buffers

void TUxDaoTable::InternalGotoBookmark(const void* bookmark) {
  if (!open_flag_)
    throw EDatabaseError("TUxDaoTable.InternalGotoBookmark: Cannot goto Bookmark - Table is not Active");
  if (bookmark == nullptr) throw EDatabaseError("Invalid Bookmark!");
  if (dao_recordset_->Bof() && dao_recordset_->Eof()) return;
  int32_t value;
  std::memcpy(&value, bookmark, 4);
  if (!bookmarks_supported_ || value == 0) throw EDatabaseError("Bookmarks are not supported!");
  const auto found = index_of_bookmark_.find(value);
  if (found == index_of_bookmark_.end()) throw EDatabaseError("Invalid Bookmark!");
  try {
    dao_recordset_->SetBookmark(BookmarkVariant(value));
    current_index_ = found->second;
  } catch (const std::exception& error) {
    if (DaoErrorNumber(error) != err::kRecordDeleted) return;
    ResyncOrReopen();
    CursorToFirst();
    throw;
  }
}

std::string TUxDaoTable::BookmarkText() {
  std::string text(static_cast<size_t>(BookmarkSize()), '\0');
  try {
    TDaoRecordBuffer* b = StateBuffer();
    if (bookmarks_supported_ && b != nullptr && text.size() >= 4) {
      std::memcpy(text.data(), &b->Bookmark, 4);
      RememberBookmark(b->RecordIndex, b->Bookmark);
    }
  } catch (const std::exception&) {
    return std::string(static_cast<size_t>(BookmarkSize()), '\0');
  }
  return text;
}

void TUxDaoTable::GotoBookmarkText(const std::string& text) {
  if (IsEmpty() || !bookmarks_supported_ || text.empty()) return;
  if (text.size() < 4) throw EDatabaseError("Invalid Bookmark!");
  InternalGotoBookmark(text.data());
  ResyncBuffers(dataset::rsExact | dataset::rsCenter);
}

bool TUxDaoTable::BookmarkIsValid(const void* bookmark) {
  if (IsEmpty() || !open_flag_ || !bookmarks_supported_ || bookmark == nullptr) return false;
  int32_t value;
  std::memcpy(&value, bookmark, 4);
  if (value != 0 && index_of_bookmark_.count(value) == 0) return false;
  const dataset::TBookmark taken = TakeBookmark();
  try {
    InternalGotoBookmark(bookmark);
    CursorPosChanged();
    return true;
  } catch (const std::exception&) {
    if (!taken.empty()) Ignoring([&] { InternalGotoBookmark(taken.data()); });
    CursorPosChanged();
    return false;
  }
}

int TUxDaoTable::OrderBookmarks(const void* a, const void* b) {
  if (a == nullptr && b == nullptr) return 0;
  if (b == nullptr) return -1;
  if (a == nullptr) return 1;
  int32_t x;
  int32_t y;
  std::memcpy(&x, a, 4);
  std::memcpy(&y, b, 4);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Record count and number

int TUxDaoTable::CountRecords() {
  if (table_type_ == dbOpenForwardOnly) return -1;
  if (!dao_recordset_) return cached_count_;
  if (use_record_count_ && !count_stale_) {
    known_count_ = cached_count_;
    return cached_count_;
  }
  count_stale_ = false;
  if (dao_recordset_->Bof() && dao_recordset_->Eof()) {
    cached_count_ = known_count_ = 0;
    current_index_ = -1;
    return 0;
  }
  int32_t count = -1;
  if (FilterActive()) {
    const dataset::DataSetState old = SetTempState(dataset::stBrowse);
    const int32_t saved = current_index_;
    dataset::TRecordBuffer walker = NewRecordBuffer();
    count = 0;
    try {
      CursorToFirst();
      while (FetchRecord(walker, dataset::fetchNext, false) == dataset::fetchOk) ++count;
    } catch (...) {
      RestoreState(old);
      current_index_ = saved;
      DisposeRecordBuffer(walker);
      throw;
    }
    RestoreState(old);
    current_index_ = saved;
    DisposeRecordBuffer(walker);
    CursorPosChanged();
  } else {
    if (table_type_ == dbOpenTable) {
      try {
        count = dao_recordset_->RecordCount();
        if (known_count_ < count) CheckTableCount(count);
      } catch (const std::exception& error) {
        if (IsRepairError(error)) throw;
      }
    } else {
      Ignoring([&] {
        dao_recordset_->MoveFirst();
        dao_recordset_->MoveLast();
        count = dao_recordset_->RecordCount();
      });
    }
    Ignoring([&] {
      if (bookmarks_supported_) {
        TDaoRecordBuffer* b = StateBuffer();
        if (b != nullptr && b->Bookmark != 0) GotoDaoBookmark(b->Bookmark);
      } else {
        dao_recordset_->MoveFirst();
        if (current_index_ == -1)
          dao_recordset_->MovePrevious();
        else if (current_index_ < count)
          dao_recordset_->Move(current_index_);
      }
    });
    // The recordset moved: no buffer is known to match its position any more.
    CursorPosChanged();
  }
  cached_count_ = count;
  known_count_ = count;
  return count;
}

int TUxDaoTable::CurrentRecNo() {
  if (!dao_recordset_) return -1;
  UpdateCursorPos();
  TDaoRecordBuffer* b = StateBuffer();
  if (b != nullptr) CursorToRecord(b);
  if (!use_get_rec_no_) return -1;
  if (current_index_ < -1) rec_no_stale_ = true;
  if (table_type_ == dbOpenForwardOnly) return current_index_ + 1;
  if (dao_recordset_->Bof()) return -1;
  const bool by_position = table_type_ == dbOpenDynaset || table_type_ == dbOpenSnapshot ||
                           table_type_ == dbOpenDynamic;
  if (FilterActive()) {
    if (b == nullptr) return -1;
    const dataset::DataSetState old = SetTempState(dataset::stBrowse);
    const int32_t target = b->Bookmark;
    dataset::TRecordBuffer walker = NewRecordBuffer();
    int count = 0;
    bool met = false;
    try {
      CursorToFirst();
      while (FetchRecord(walker, dataset::fetchNext, false) == dataset::fetchOk) {
        if (Buf(walker)->Bookmark == target) {
          met = true;
          break;
        }
        ++count;
      }
      if (!met) CursorToRecord(b);
    } catch (...) {
      DisposeRecordBuffer(walker);
      RestoreState(old);
      throw;
    }
    DisposeRecordBuffer(walker);
    RestoreState(old);
    CursorPosChanged();
    return count + 1;
  }
  if (rec_no_stale_ && b != nullptr) {
    current_index_ = -1;
    if (by_position) {
      current_index_ = dao_recordset_->AbsolutePosition();
    } else {
      Ignoring([&] {
        dao_recordset_->MoveNext();
        if (dao_recordset_->Eof()) current_index_ = dao_recordset_->RecordCount() - 1;
      });
      Ignoring([&] { dao_recordset_->MovePrevious(); });
      if (current_index_ == -1) {
        if (bookmarks_supported_) {
          current_index_ = IndexOfBookmark(dao_recordset_, LastModifiedBookmark(dao_recordset_));
        } else {
          while (!dao_recordset_->Bof()) {
            dao_recordset_->MovePrevious();
            ++current_index_;
          }
        }
      }
    }
    b->RecordIndex = current_index_;
    if (bookmarks_supported_) {
      GotoDaoBookmark(b->Bookmark);
    } else {
      dao_recordset_->MoveFirst();
      dao_recordset_->Move(current_index_);
    }
    rec_no_stale_ = false;
  } else if (by_position) {
    current_index_ = dao_recordset_->AbsolutePosition();
  }
  return current_index_ + 1;
}

void TUxDaoTable::MoveToRecNo(int rec_no) {
  CheckBrowseMode();
  CursorPosChanged();
  if (BeforeScroll) BeforeScroll(*this);
  if (FilterActive()) {
    const dataset::DataSetState old = SetTempState(dataset::stBrowse);
    const int32_t saved = current_index_;
    dataset::TRecordBuffer walker = NewRecordBuffer();
    try {
      CursorToFirst();
      for (int i = 0; i < rec_no; ++i) {
        if (FetchRecord(walker, dataset::fetchNext, false) != dataset::fetchOk) {
          current_index_ = saved;
          break;
        }
      }
    } catch (...) {
      DisposeRecordBuffer(walker);
      RestoreState(old);
      throw;
    }
    RestoreState(old);
    DisposeRecordBuffer(walker);
  } else {
    current_index_ = rec_no - 1;
    dao_recordset_->MoveFirst();
    dao_recordset_->Move(current_index_);
  }
  ResyncBuffers(dataset::rsExact | dataset::rsCenter);
  if (AfterScroll) AfterScroll(*this);
}

// ---------------------------------------------------------------------------------------------
// Recovery

void TUxDaoTable::ResyncOrReopen() {
  count_stale_ = true;
  try {
    ResyncBuffers(dataset::rsExact | dataset::rsCenter);
    return;
  } catch (const std::exception&) {
  }
  Reopen();
}

// The fallback of ResyncOrReopen and RefreshRecords: reopen and return to about the same number.
void TUxDaoTable::Reopen() {
  const int32_t n = current_index_;
  if (State() == dataset::stEdit || State() == dataset::stInsert) {
    // Posting here would run into the same failure again; the record is given up instead.
    Ignoring([&] { CancelRecord(); });
    SetState(dataset::stBrowse);
  } else {
    CheckBrowseMode();
  }
  ClearBuffers();
  CloseDaoRecordset();
  OpenDaoRecordset();
  ActivateBuffers();
  GoFirst();
  if (n > 0 && n < CountRecords())
    StepBy(n);
  else if (n > 0)
    GoLast();
}

void TUxDaoTable::RefreshRecords() {
  count_stale_ = true;
  if (ControlsDisabled()) return;
  try {
    ResyncBuffers(dataset::rsExact | dataset::rsCenter);
    return;
  } catch (const std::exception&) {
  }
  Reopen();
}

}  // namespace dao
