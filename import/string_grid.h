// The data of a string grid: text cells addressed (column, row), row 0 the heading row, with a
// row count and fixed rows and columns. Windows show it through a view; the import logic reads
// and writes only this model.
#pragma once

#include <functional>
#include <string>
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

  // Told after every change, so that a view can refresh; may be empty.
  std::function<void()> OnChange;

  // Groups changes: OnChange is held back until the matching EndUpdate, which sends one.
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();

 private:
  void Changed();

  int col_count_;
  int row_count_;
  int fixed_cols_;
  int fixed_rows_;
  int update_count_ = 0;
  bool changed_while_updating_ = false;
  std::vector<std::vector<std::string>> rows_;  // may hold more rows than row_count_
};

}  // namespace import
