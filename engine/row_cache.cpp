#include "engine/row_cache.h"

#include <algorithm>

namespace engine {

const RowCache::Row* RowCache::Find(int32_t entry, uint64_t fresh_from, size_t& hint) const {
  size_t slot = rows_.size();
  if (hint < rows_.size() && rows_[hint].entry == entry) {
    slot = hint;  // the same record again (its next field)
  } else if (hint + 1 < rows_.size() && rows_[hint + 1].entry == entry) {
    slot = hint + 1;
  } else {
    const auto it = std::find_if(rows_.begin(), rows_.end(), [entry](const Row& r) { return r.entry == entry; });
    slot = static_cast<size_t>(it - rows_.begin());
  }
  if (slot == rows_.size() || rows_[slot].statement < fresh_from) return nullptr;
  hint = slot;
  return &rows_[slot];
}

void RowCache::Put(Row row) {
  ++version_;
  for (Row& r : rows_)
    if (r.entry == row.entry) {
      r = std::move(row);
      return;
    }
  if (rows_.size() - window_ >= kMaxSingles) rows_.erase(rows_.begin() + static_cast<long>(window_));
  rows_.push_back(std::move(row));
}

void RowCache::Erase(int32_t entry) {
  ++version_;
  for (size_t k = 0; k < rows_.size(); ++k)
    if (rows_[k].entry == entry) {
      rows_.erase(rows_.begin() + static_cast<long>(k));
      if (k < window_) --window_;
      return;
    }
}

bool RowCache::Accounts(int64_t before, int64_t delta) {
  const bool agree = changes_ == before && delta == 1;
  // An empty cache agrees with anything: the writer's own row may go in either way.
  if (!agree) Clear();
  changes_ = before + delta;
  return agree;
}

}  // namespace engine
