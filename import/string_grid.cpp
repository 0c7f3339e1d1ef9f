#include "import/string_grid.h"

#include <algorithm>
#include <cassert>
#include <memory>

#include "framework/exception.h"

namespace import {

TStringGrid::TStringGrid(int col_count, int row_count, int fixed_cols, int fixed_rows)
    : col_count_(col_count), row_count_(row_count), fixed_cols_(fixed_cols), fixed_rows_(fixed_rows) {
  assert(col_count > 0 && row_count > 0 && fixed_rows < row_count && fixed_cols < col_count);
}

namespace {

constexpr size_t kBlockSize = size_t{1} << 20;

void PutVarint(char*& out, uint64_t v) {
  while (v >= 0x80) {
    *out++ = static_cast<char>(v | 0x80);
    v >>= 7;
  }
  *out++ = static_cast<char>(v);
}

uint64_t GetVarint(const char*& in) {
  uint64_t v = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char b = static_cast<unsigned char>(*in++);
    v |= uint64_t{b & 0x7Fu} << shift;
    if (b < 0x80) return v;
  }
}

size_t VarintSize(uint64_t v) {
  size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

// Bytes of the record of a row: the cell count, then each cell's length and bytes.
size_t RecordSize(const std::vector<std::string_view>& cells) {
  size_t n = VarintSize(cells.size());
  for (const std::string_view c : cells) n += VarintSize(c.size()) + c.size();
  return n;
}

// A row's reference: block number in the high 24 bits, offset + 1 in the low 40.
constexpr int kOffsetBits = 40;
uint64_t MakeRef(size_t block, size_t offset) {
  return (uint64_t{block} << kOffsetBits) | (uint64_t{offset} + 1);
}

}  // namespace

void TStringGrid::SetRowCount(int rows) {
  if (rows < 1) rows = 1;
  row_count_ = rows;
  if (fixed_rows_ >= rows) fixed_rows_ = rows - 1;
  if (static_cast<int>(rows_.size()) > rows) {
    for (size_t r = static_cast<size_t>(rows); r < rows_.size(); ++r) StoreRow(static_cast<int>(r), {});
    rows_.resize(static_cast<size_t>(rows));
    Compact();
  }
  Changed();
}

void TStringGrid::SetColCount(int cols) {
  if (cols < 1) cols = 1;
  col_count_ = cols;
  if (fixed_cols_ >= cols) fixed_cols_ = cols - 1;
  for (size_t r = 0; r < rows_.size(); ++r) {
    std::vector<std::string_view> cells = RowCells(static_cast<int>(r));
    if (static_cast<int>(cells.size()) <= cols) continue;
    const std::vector<std::string> kept(cells.begin(), cells.begin() + cols);
    StoreRow(static_cast<int>(r), std::vector<std::string_view>(kept.begin(), kept.end()));
  }
  Changed();
}

void TStringGrid::SetFixedRows(int rows) {
  if (rows < 0 || rows >= row_count_)
    throw framework::Exception("Fixed row count must be less than row count");
  fixed_rows_ = rows;
  Changed();
}

std::vector<std::string_view> TStringGrid::DecodeRecord(const std::vector<Block>& blocks, uint64_t ref) {
  std::vector<std::string_view> cells;
  if (ref == 0) return cells;
  const Block& block = blocks[ref >> kOffsetBits];
  const char* p = block.data.get() + ((ref & ((uint64_t{1} << kOffsetBits) - 1)) - 1);
  const uint64_t count = GetVarint(p);
  cells.reserve(count);
  for (uint64_t k = 0; k < count; ++k) {
    const uint64_t length = GetVarint(p);
    cells.emplace_back(p, length);
    p += length;
  }
  return cells;
}

std::vector<std::string_view> TStringGrid::RowCells(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
  return DecodeRecord(blocks_, rows_[static_cast<size_t>(row)]);
}

void TStringGrid::StoreRow(int row, const std::vector<std::string_view>& cells) {
  if (row >= static_cast<int>(rows_.size())) rows_.resize(static_cast<size_t>(row) + 1, 0);
  uint64_t& ref = rows_[static_cast<size_t>(row)];
  if (ref != 0) {
    const size_t old_size = RecordSize(RowCells(row));
    live_bytes_ -= old_size;
    garbage_bytes_ += old_size;
    ref = 0;
  }
  size_t used = cells.size();  // trailing empty cells need no room
  while (used > 0 && cells[used - 1].empty()) --used;
  if (used == 0) return;
  const std::vector<std::string_view> stored(cells.begin(), cells.begin() + used);
  const size_t size = RecordSize(stored);
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().size < size) {
    Block block;
    block.capacity = std::max(kBlockSize, size);
    block.data = std::make_unique_for_overwrite<char[]>(block.capacity);
    blocks_.push_back(std::move(block));
  }
  Block& block = blocks_.back();
  char* out = block.data.get() + block.size;
  ref = MakeRef(blocks_.size() - 1, block.size);
  PutVarint(out, stored.size());
  for (const std::string_view c : stored) {
    PutVarint(out, c.size());
    std::copy(c.begin(), c.end(), out);
    out += c.size();
  }
  block.size += size;
  live_bytes_ += size;
  if (garbage_bytes_ > live_bytes_ + kBlockSize) Compact();
}

void TStringGrid::Compact() {
  if (garbage_bytes_ == 0) return;
  const std::vector<Block> source = std::move(blocks_);
  const std::vector<uint64_t> old_rows = std::move(rows_);
  blocks_.clear();
  rows_.assign(old_rows.size(), 0);
  live_bytes_ = garbage_bytes_ = 0;
  for (size_t r = 0; r < old_rows.size(); ++r) {
    if (old_rows[r] == 0) continue;
    StoreRow(static_cast<int>(r), DecodeRecord(source, old_rows[r]));
  }
}

size_t TStringGrid::StorageBytes() const {
  size_t bytes = rows_.capacity() * sizeof(uint64_t);
  for (const Block& b : blocks_) bytes += b.capacity;
  return bytes;
}

std::string TStringGrid::Cell(int col, int row) const {
  if (col < 0) return "";
  const std::vector<std::string_view> cells = RowCells(row);
  return col < static_cast<int>(cells.size()) ? std::string(cells[static_cast<size_t>(col)]) : "";
}

void TStringGrid::SetCell(int col, int row, const std::string& text) {
  if (row < 0 || col < 0 || col >= col_count_)
    throw framework::Exception("Grid index out of range (" + std::to_string(col) + ", " +
                               std::to_string(row) + ")");
  // The row's cells point into the blocks that storing may replace, so they are copied first.
  const std::vector<std::string_view> current = RowCells(row);
  std::vector<std::string> cells(current.begin(), current.end());
  if (static_cast<int>(cells.size()) <= col) cells.resize(static_cast<size_t>(col) + 1);
  cells[static_cast<size_t>(col)] = text;
  StoreRow(row, std::vector<std::string_view>(cells.begin(), cells.end()));
  Changed();
}

void TStringGrid::SetRow(int row, const std::vector<std::string_view>& cells) {
  if (row < 0 || static_cast<int>(cells.size()) > col_count_)
    throw framework::Exception("Grid index out of range (" + std::to_string(cells.size()) + ", " +
                               std::to_string(row) + ")");
  StoreRow(row, cells);
  Changed();
}

void TStringGrid::EndUpdate() {
  assert(update_count_ > 0);
  if (--update_count_ == 0 && changed_while_updating_) {
    changed_while_updating_ = false;
    Changed();
  }
}

void TStringGrid::Changed() {
  if (update_count_ > 0) {
    changed_while_updating_ = true;
    return;
  }
  if (OnChange) OnChange();
}

}  // namespace import
