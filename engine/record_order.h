// The ordered records a recordset walks, as the recordset sees them: entries are small integers
// that each name one record for the order's life. A deleted record keeps its entry (a recordset
// may still stand on it) but has no position and is passed over by every move.
#pragma once

#include <cstdint>

namespace engine {

class RecordOrder {
 public:
  virtual ~RecordOrder() = default;

  // Number of live records.
  virtual int32_t LiveCount() const = 0;
  // True when `entry` names a record of this order, live or deleted.
  virtual bool IsEntry(int32_t entry) const = 0;
  virtual bool IsLive(int32_t entry) const = 0;
  virtual int64_t RowId(int32_t entry) const = 0;
  // Live entries before `entry` (its 0-based position when it is live).
  virtual int32_t Position(int32_t entry) const = 0;
  // The live entry at 0-based `position` (0 <= position < LiveCount()).
  virtual int32_t EntryAt(int32_t position) const = 0;
  // The live entry of a row id, or -1.
  virtual int32_t EntryOf(int64_t rowid) = 0;
  // Marks an entry deleted.
  virtual void Kill(int32_t entry) = 0;
  // The 4-byte bookmark of an entry (never 0) and back; EntryOfBookmark answers -1 for a value
  // that names no entry of this order.
  virtual uint32_t BookmarkOf(int32_t entry) = 0;
  virtual int32_t EntryOfBookmark(uint32_t bookmark) = 0;

  // The first (last) live entry, or -1.
  int32_t First() const { return LiveCount() > 0 ? EntryAt(0) : -1; }
  int32_t Last() const { return LiveCount() > 0 ? EntryAt(LiveCount() - 1) : -1; }
  // The first live entry after (before) `entry`, live or not, or -1.
  virtual int32_t Next(int32_t entry) const {
    const int32_t p = Position(entry) + (IsLive(entry) ? 1 : 0);
    return p < LiveCount() ? EntryAt(p) : -1;
  }
  virtual int32_t Previous(int32_t entry) const {
    const int32_t p = Position(entry);
    return p > 0 ? EntryAt(p - 1) : -1;
  }
};

}  // namespace engine
