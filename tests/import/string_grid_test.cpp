#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/exception.h"
#include "import/string_grid.h"

namespace import {
namespace {

// The grid packs its cells; a plain table of strings is the reference it must always agree with.
TEST(StringGrid, PackedCellsAgreeWithAPlainTableThroughRandomWrites) {
  TStringGrid grid(4, 2, 0, 1);
  std::vector<std::vector<std::string>> plain;
  auto plain_cell = [&](int col, int row) -> std::string {
    if (row >= static_cast<int>(plain.size())) return "";
    const auto& cells = plain[static_cast<size_t>(row)];
    return col < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(col)] : "";
  };
  auto plain_set = [&](int col, int row, const std::string& text) {
    if (row >= static_cast<int>(plain.size())) plain.resize(static_cast<size_t>(row) + 1);
    auto& cells = plain[static_cast<size_t>(row)];
    if (col >= static_cast<int>(cells.size())) cells.resize(static_cast<size_t>(col) + 1);
    cells[static_cast<size_t>(col)] = text;
  };
  unsigned seed = 1;
  auto next = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  auto text = [&] {
    // Empty, short, with NUL bytes, and long enough for a multi-byte length.
    switch (next(5)) {
      case 0: return std::string();
      case 1: return std::string("x\0y", 3);
      case 2: return std::string(next(300) + 128, static_cast<char>('a' + next(26)));
      default: return std::to_string(next(100000));
    }
  };
  int rows = 2;
  for (int step = 0; step < 60000; ++step) {
    const unsigned op = next(100);
    if (op < 60) {
      const int col = static_cast<int>(next(4)), row = static_cast<int>(next(3000));
      const std::string t = text();
      grid.SetCell(col, row, t);
      plain_set(col, row, t);
    } else if (op < 95) {
      const int row = static_cast<int>(next(3000));
      const std::vector<std::string> cells = {text(), text(), text(), text()};
      grid.SetRow(row, {cells[0], cells[1], cells[2], cells[3]});
      for (int c = 0; c < 4; ++c) plain_set(c, row, cells[static_cast<size_t>(c)]);
    } else if (op < 99) {
      rows = static_cast<int>(next(3000)) + 1;
      grid.SetRowCount(rows);
      if (static_cast<int>(plain.size()) > rows) plain.resize(static_cast<size_t>(rows));
    } else {
      for (int row = 0; row < 3000; ++row)
        for (int col = 0; col < 5; ++col)
          ASSERT_EQ(plain_cell(col, row), grid.Cell(col, row)) << step << " " << col << "," << row;
    }
  }
  // Rewriting rows again and again does not pile up their old cells.
  grid.SetRowCount(1000);
  for (int round = 0; round < 1000; ++round)
    for (int row = 0; row < 1000; ++row)
      grid.SetRow(row, {"1234", "01.01.1970", "Name " + std::to_string(round)});
  EXPECT_EQ("Name 999", grid.Cell(2, 999));
  EXPECT_LE(grid.StorageBytes(), size_t{3} << 20);
  EXPECT_THROW(grid.SetRow(1, {"a", "b", "c", "d", "e"}), framework::Exception);
  EXPECT_THROW(grid.SetCell(4, 1, "x"), framework::Exception);
}

}  // namespace
}  // namespace import
