// Helpers the grid tests share: reading a column or a row of texts and filling data rows.
#ifndef KORVANE_CONTROLS_TEST_GRID_H_
#define KORVANE_CONTROLS_TEST_GRID_H_

#include <string>
#include <vector>

#include "controls/grid.h"

namespace korvane::controls::test {

// The texts of a column's data rows, top to bottom.
inline std::vector<std::string> ColumnTexts(const Grid& grid, int col) {
  std::vector<std::string> texts;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
  return texts;
}

// The texts of a row, left to right.
inline std::vector<std::string> RowTexts(const Grid& grid, int row) {
  std::vector<std::string> texts;
  for (int c = 0; c < grid.cols(); ++c) texts.push_back(grid.TextMatrix(row, c));
  return texts;
}

// Sizes the grid to its fixed rows plus one row per line and fills the lines from column 0.
inline void Fill(Grid& grid, const std::vector<std::vector<std::string>>& lines) {
  grid.set_rows(grid.fixed_rows() + static_cast<int>(lines.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (std::size_t c = 0; c < lines[i].size(); ++c) {
      grid.SetTextMatrix(grid.fixed_rows() + static_cast<int>(i), static_cast<int>(c), lines[i][c]);
    }
  }
}

}  // namespace korvane::controls::test

#endif  // KORVANE_CONTROLS_TEST_GRID_H_
