// The data of a string grid: text cells addressed (column, row), row 0 the heading row, with a
// row count and fixed rows and columns. Windows show it through a view; the import logic reads
// and writes only this model.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace import {

class TStringGrid {
 public:
  TStringGrid(int col_count, int row_count, int fixed_cols, int fixed_rows);

  int ColCount() const { return col_count_; }
  int RowCount() const { return row_count_; }
  int FixedCols() const { return fixed_cols_; }
  int FixedRows() const { return fixed_rows_; }

  // Changes the number of rows. Cells of rows that are cut off are dropped. When the count drops
  // to the number of fixed rows or below, the fixed rows become fewer (one row less than the
  // count), as a grid always keeps one scrolling row.
  void SetRowCount(int rows);
  void SetColCount(int cols);
  void SetFixedRows(int rows);

  // The text of a cell; "" for cells never written or outside the grid.
  std::string Cell(int col, int row) const;
  // Writes a cell. Rows at or past RowCount may be written; they become visible when the row
  // count grows to include them. Raises framework::Exception for a negative address or a column
  // past the last.
  void SetCell(int col, int row, const std::string& text);
  // Writes the cells of a whole row at once, columns 0 to cells.size() - 1; the cheap way to
  // fill a large grid. Raises as SetCell.
  void SetRow(int row, const std::vector<std::string_view>& cells);

  // Bytes the stored cells take in memory (for tests and measurements).
  size_t StorageBytes() const;

  // Told after every change, so that a view can refresh; may be empty.
  std::function<void()> OnChange;

  // Groups changes: OnChange is held back until the matching EndUpdate, which sends one.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();

 private:
  struct Block;
  void Changed();
  // The cells of the record `ref` in `blocks`.
  static std::vector<std::string_view> DecodeRecord(const std::vector<Block>& blocks, uint64_t ref);
  // The cells of a stored row (none for a row never written).
  std::vector<std::string_view> RowCells(int row) const;
  // Stores the cells of `row`, replacing what it held.
  void StoreRow(int row, const std::vector<std::string_view>& cells);
  // Moves the live rows into fresh blocks when the replaced ones take more room than they do.
  void Compact();

  int col_count_;
  int row_count_;
  int fixed_cols_;
  int fixed_rows_;
  int update_count_ = 0;
  bool changed_while_updating_ = false;

  // A grid holds the whole export file, a million rows and more, so its cells are packed: each
  // row is one record of length-prefixed cells in large shared blocks, addressed by one 64-bit
  // reference (block number and offset, 0 for a row never written). A rewritten row is stored
  // anew and its old record becomes garbage, which Compact reclaims.
  struct Block {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    size_t capacity = 0;
  };
  std::vector<uint64_t> rows_;  // may hold more rows than row_count_
  std::vector<Block> blocks_;
  size_t live_bytes_ = 0;
  size_t garbage_bytes_ = 0;
};

}  // namespace import
