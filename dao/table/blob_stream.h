// TUxBlobStream: the byte stream through which a memo or blob field of a TUxDaoTable is read and
// written. It holds the whole value of one field of one record buffer in memory: reading takes
// the value at creation, from the buffer's own copy when the table caches memos or blobs,
// otherwise from the DAO recordset; writing changes only the buffer's copy, which reaches the
// database when the record is posted.
//
// A stream lives for one read or write and must not outlive the record it was opened on: it
// keeps the table's record buffer, which the table reuses for other records once the dataset
// moves or closes.
#pragma once

#include <cstdint>
#include <string>

#include "dataset/db_types.h"
#include "framework/stream.h"

namespace dataset {
class TField;
}

namespace dao {

class TUxDaoTable;
struct TDaoRecordBuffer;

class TUxBlobStream : public framework::TStream {
 public:
  // Opens a stream over `field` of the record of the table's current state and loads its
  // content (bmRead, bmReadWrite). bmWrite starts with an empty content and empties the field
  // at once. Raises EConvertError "Invalid class typecast" when the field does not belong to a
  // TUxDaoTable, and EDatabaseError "Cannot write to ReadOnly table!" for bmWrite on a ReadOnly
  // table. Failures of DAO while reading the value give an empty content, never an error.
  TUxBlobStream(dataset::TField& field, dataset::TBlobStreamMode mode);
  // When something was written, tells the table that the field changed; an error raised by that
  // notification goes to the application's exception handler.
  ~TUxBlobStream() override;
  TUxBlobStream(const TUxBlobStream&) = delete;
  TUxBlobStream& operator=(const TUxBlobStream&) = delete;

  // Copies up to `count` bytes from the position; answers how many (0 at or past the end).
  int64_t Read(void* buffer, int64_t count) override;
  // Replaces everything from the position on by the `count` bytes of `buffer` (a position past
  // the end is reached by zero bytes first); answers `count`. The record's value changes at
  // once, the database only when the record is posted.
  int64_t Write(const void* buffer, int64_t count) override;
  // Answers the new position, which may lie past the end. A position before 0 raises
  // EInOutError and leaves the position as it was.
  int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(content_.size()); }
  // Cuts the content to `size` bytes or extends it with zero bytes, as a write would.
  void SetSize(int64_t size) override;
  // Cuts the content at the position.
  void Truncate();

  dataset::TBlobStreamMode Mode() const { return mode_; }
  bool Opened() const { return opened_; }
  // True once anything was written or cut.
  bool Modified() const { return modified_; }

 private:
  void LoadContent();
  // The value as DAO holds it for the buffer's record; the cursor is put back afterwards.
  std::string FetchFromRecordset();
  // The value text of the field in the buffer, and the default of a new record.
  std::string BufferText() const;
  std::string DefaultText() const;
  bool BufferEntryModified() const;
  // Stores the content as the buffer's value text of the field and marks it changed.
  void StoreContent();

  dataset::TField& field_;
  TUxDaoTable* table_ = nullptr;
  TDaoRecordBuffer* buffer_ = nullptr;
  dataset::TBlobStreamMode mode_;
  bool opened_ = false;
  bool modified_ = false;
  int64_t position_ = 0;
  std::string content_;
};

}  // namespace dao
