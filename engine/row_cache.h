// The records a recordset and its clones read or wrote lately, so that a record becoming current
// is not read again: the read-ahead window of a walk, the record a find found, the record an
// Update or AddNew wrote. Each row remembers the connection's statement that read or wrote it, so
// that a refresh can drop what is older than the connection's last look at the file; all rows
// are dropped when the connection changed something they do not account for.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/sqlite_connection.h"

namespace engine {

class RowCache {
 public:
  struct Row {
    int32_t entry = -1;
    bool present = true;      // false: the record was gone when it was read
    uint64_t statement = 0;   // the statement that read or wrote it
    std::vector<Cell> cells;
  };

  // Keeps the rows only when they agree with the connection's change count `changes` and the
  // database's cache epoch; from then on they are taken to agree.
  void Validate(int64_t changes, int64_t epoch) {
    if (changes == changes_ && epoch == epoch_) return;
    Clear();
    changes_ = changes;
    epoch_ = epoch;
  }
  // The row of `entry` read by statement `fresh_from` or a later one, or nullptr. `hint` is the
  // slot found last; a walk finds the next row right after it.
  const Row* Find(int32_t entry, uint64_t fresh_from, size_t& hint) const;
  // Replaces every row by `n` rows of a window, to be filled in place: the rows keep the room
  // their values had, so that a walk reads window after window without allocating.
  std::vector<Row>& StartWindow(size_t n) {
    rows_.resize(n);
    window_ = n;
    ++version_;
    return rows_;
  }
  // Adds a row, or replaces the row of its entry.
  void Put(Row row);
  void Erase(int32_t entry);
  // Rows of the window: slots 0 to window() - 1.
  size_t window() const { return window_; }
  // Changes with every change of the rows: a Row pointer is valid while it stays the same.
  uint64_t version() const { return version_; }
  void Clear() {
    rows_.clear();
    window_ = 0;
    ++version_;
  }
  // After a write through a recordset sharing this cache, that changed the connection's count
  // from `before` by `delta`: true when the rows still agree (the writer then mends its own row),
  // else they are dropped. Either way the cache then agrees with the new count.
  bool Accounts(int64_t before, int64_t delta);

 private:
  // Rows put one by one (finds, writes) beside the window; the oldest goes first.
  static constexpr size_t kMaxSingles = 8;
  std::vector<Row> rows_;   // the window (window_ rows), then the single rows
  size_t window_ = 0;
  uint64_t version_ = 0;
  int64_t changes_ = -1;
  int64_t epoch_ = -1;
};

}  // namespace engine
