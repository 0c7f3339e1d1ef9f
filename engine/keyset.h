// The frozen order behind dynasets and snapshots: one entry per record (a row id, or a row
// number of a snapshot) in the order the set was opened with; records added through the set are
// appended, deleted ones stay as holes, so that bookmarks (entry number + 1) stay valid for the
// keyset's life. A Fenwick tree over the live entries answers position and "n-th record" in
// O(log n). Entries of a row id are found by binary search while the row ids ascend (a keyset in
// row id order, with records appended), else through a map built on first use.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/record_order.h"

namespace engine {

class Keyset : public RecordOrder {
 public:
  Keyset() = default;
  explicit Keyset(std::vector<int64_t> rowids);

  // Number of entries, live or not.
  int32_t Size() const { return static_cast<int32_t>(rowids_.size()); }
  int32_t LiveCount() const override { return live_; }
  bool IsEntry(int32_t entry) const override { return entry >= 0 && entry < Size(); }
  bool IsLive(int32_t entry) const override { return alive_[entry] != 0; }
  int64_t RowId(int32_t entry) const override { return rowids_[entry]; }

  // Appends a record; returns its entry.
  int32_t Append(int64_t rowid);
  void Kill(int32_t entry) override;
  int32_t Position(int32_t entry) const override;
  int32_t EntryAt(int32_t position) const override;
  int32_t Next(int32_t entry) const override;
  int32_t Previous(int32_t entry) const override;
  int32_t EntryOf(int64_t rowid) override;
  uint32_t BookmarkOf(int32_t entry) override { return static_cast<uint32_t>(entry) + 1; }
  int32_t EntryOfBookmark(uint32_t bookmark) override {
    return bookmark == 0 || bookmark > static_cast<uint32_t>(Size()) ? -1 : static_cast<int32_t>(bookmark - 1);
  }

 private:
  void Add(int32_t index, int delta);
  int32_t Prefix(int32_t count) const;  // live entries among the first `count`

  std::vector<int64_t> rowids_;
  std::vector<uint8_t> alive_;
  std::vector<int32_t> tree_;  // Fenwick tree, 1-based
  int32_t live_ = 0;
  bool ascending_ = true;  // rowids_ strictly ascend
  bool map_built_ = false;
  std::unordered_map<int64_t, int32_t> map_;
};

}  // namespace engine
