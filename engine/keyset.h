// The ordered list of records behind a recordset: one entry per record (a row id, or a row
// number of a snapshot), entries of deleted records kept as holes so that bookmarks (entry
// number + 1) stay valid for the keyset's life. A Fenwick tree over the live entries answers
// position and "n-th record" in O(log n); a row-id map, built on first use, finds entries.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace engine {

class Keyset {
 public:
  Keyset() = default;
  explicit Keyset(std::vector<int64_t> rowids);

  // Number of entries, live or not.
  int32_t Size() const { return static_cast<int32_t>(rowids_.size()); }
  // Number of live entries (the record count).
  int32_t LiveCount() const { return live_; }
  bool IsLive(int32_t entry) const { return alive_[entry] != 0; }
  int64_t RowId(int32_t entry) const { return rowids_[entry]; }

  // Appends a record; returns its entry.
  int32_t Append(int64_t rowid);
  // Marks an entry deleted.
  void Kill(int32_t entry);
  // 0-based position of a live entry among the live ones.
  int32_t Position(int32_t entry) const;
  // The live entry at 0-based `position` (0 <= position < LiveCount()).
  int32_t EntryAt(int32_t position) const;
  // The first live entry after (before) `entry`, or -1. `entry` may be -1 (before the first)
  // for Next and Size() for Previous.
  int32_t Next(int32_t entry) const;
  int32_t Previous(int32_t entry) const;
  // The entry of a row id, or -1.
  int32_t EntryOf(int64_t rowid);

 private:
  void Add(int32_t index, int delta);
  int32_t Prefix(int32_t count) const;  // live entries among the first `count`

  std::vector<int64_t> rowids_;
  std::vector<uint8_t> alive_;
  std::vector<int32_t> tree_;  // Fenwick tree, 1-based
  int32_t live_ = 0;
  bool map_built_ = false;
  std::unordered_map<int64_t, int32_t> map_;
};

}  // namespace engine
