#include "import/string_grid.h"

#include <algorithm>
#include <cassert>

#include "framework/exception.h"

namespace import {

TStringGrid::TStringGrid(int col_count, int row_count, int fixed_cols, int fixed_rows)
    : col_count_(col_count), row_count_(row_count), fixed_cols_(fixed_cols), fixed_rows_(fixed_rows) {
  assert(col_count > 0 && row_count > 0 && fixed_rows < row_count && fixed_cols < col_count);
}

void TStringGrid::SetRowCount(int rows) {
  if (rows < 1) rows = 1;
  row_count_ = rows;
  if (fixed_rows_ >= rows) fixed_rows_ = rows - 1;
  if (static_cast<int>(rows_.size()) > rows) rows_.resize(static_cast<size_t>(rows));
  Changed();
}

void TStringGrid::SetColCount(int cols) {
  if (cols < 1) cols = 1;
  col_count_ = cols;
  if (fixed_cols_ >= cols) fixed_cols_ = cols - 1;
  for (auto& row : rows_)
    if (static_cast<int>(row.size()) > cols) row.resize(static_cast<size_t>(cols));
  Changed();
}

void TStringGrid::SetFixedRows(int rows) {
  if (rows < 0 || rows >= row_count_)
    throw framework::Exception("Fixed row count must be less than row count");
  fixed_rows_ = rows;
  Changed();
}

std::string TStringGrid::Cell(int col, int row) const {
  if (row < 0 || col < 0 || row >= static_cast<int>(rows_.size())) return "";
  const auto& cells = rows_[static_cast<size_t>(row)];
  return col < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(col)] : "";
}

void TStringGrid::SetCell(int col, int row, const std::string& text) {
  if (row < 0 || col < 0 || col >= col_count_)
    throw framework::Exception("Grid index out of range (" + std::to_string(col) + ", " +
                               std::to_string(row) + ")");
  if (row >= static_cast<int>(rows_.size())) rows_.resize(static_cast<size_t>(row) + 1);
  auto& cells = rows_[static_cast<size_t>(row)];
  if (col >= static_cast<int>(cells.size())) cells.resize(static_cast<size_t>(col) + 1);
  cells[static_cast<size_t>(col)] = text;
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
