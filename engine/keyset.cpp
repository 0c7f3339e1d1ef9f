#include "engine/keyset.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <cstddef>

namespace engine {

Keyset::Keyset(std::vector<int64_t> rowids) : rowids_(std::move(rowids)) {
  const size_t n = rowids_.size();
  alive_.assign(n, 1);
  tree_.assign(n + 1, 0);
  // Linear construction: every node holds the length of its range.
  for (size_t i = 1; i <= n; ++i) {
    tree_[i] += 1;
    const size_t parent = i + (i & (~i + 1));
    if (parent <= n) tree_[parent] += tree_[i];
  }
  live_ = static_cast<int32_t>(n);
  ascending_ = std::adjacent_find(rowids_.begin(), rowids_.end(), std::greater_equal<int64_t>()) == rowids_.end();
}

void Keyset::Add(int32_t index, int delta) {
  for (size_t i = static_cast<size_t>(index) + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
}

int32_t Keyset::Prefix(int32_t count) const {
  int32_t sum = 0;
  for (size_t i = static_cast<size_t>(count); i > 0; i -= i & (~i + 1)) sum += tree_[i];
  return sum;
}

int32_t Keyset::Append(int64_t rowid) {
  const int32_t entry = Size();
  if (!rowids_.empty() && rowid <= rowids_.back()) ascending_ = false;
  rowids_.push_back(rowid);
  alive_.push_back(1);
  // The new node covers (i - lowbit(i), i]: its own 1 plus the live entries before it there.
  const size_t i = rowids_.size();
  const size_t low = i & (~i + 1);
  tree_.push_back(1 + Prefix(static_cast<int32_t>(i - 1)) - Prefix(static_cast<int32_t>(i - low)));
  ++live_;
  if (map_built_) map_[rowid] = entry;
  return entry;
}

void Keyset::Kill(int32_t entry) {
  assert(entry >= 0 && entry < Size());
  if (!alive_[entry]) return;
  alive_[entry] = 0;
  Add(entry, -1);
  --live_;
}

int32_t Keyset::Position(int32_t entry) const { return Prefix(entry); }

int32_t Keyset::EntryAt(int32_t position) const {
  assert(position >= 0 && position < live_);
  // Binary lifting: the largest index whose prefix is <= position.
  size_t pos = 0;
  int32_t remaining = position + 1;
  size_t step = 1;
  while (step * 2 < tree_.size()) step *= 2;
  for (; step > 0; step /= 2) {
    if (pos + step < tree_.size() && tree_[pos + step] < remaining) {
      pos += step;
      remaining -= tree_[pos];
    }
  }
  return static_cast<int32_t>(pos);
}

int32_t Keyset::Next(int32_t entry) const {
  const int32_t candidate = entry + 1;
  if (candidate >= Size()) return -1;
  if (alive_[candidate]) return candidate;
  const int32_t before = Prefix(candidate);  // live entries before the candidate
  return before < live_ ? EntryAt(before) : -1;
}

int32_t Keyset::Previous(int32_t entry) const {
  const int32_t candidate = entry - 1;
  if (candidate < 0) return -1;
  if (alive_[candidate]) return candidate;
  const int32_t before = Prefix(candidate);
  return before > 0 ? EntryAt(before - 1) : -1;
}

int32_t Keyset::EntryOf(int64_t rowid) {
  if (ascending_) {
    const auto it = std::lower_bound(rowids_.begin(), rowids_.end(), rowid);
    return it != rowids_.end() && *it == rowid ? static_cast<int32_t>(it - rowids_.begin()) : -1;
  }
  if (!map_built_) {
    map_.reserve(rowids_.size());
    for (size_t k = 0; k < rowids_.size(); ++k) map_[rowids_[k]] = static_cast<int32_t>(k);
    map_built_ = true;
  }
  const auto it = map_.find(rowid);
  return it == map_.end() ? -1 : it->second;
}

}  // namespace engine
