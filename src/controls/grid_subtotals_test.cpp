#include "controls/grid_subtotals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/grid.h"
#include "controls/test_grid.h"

namespace korvane::controls {
namespace {

using test::ColumnTexts;
using test::Fill;

// Department, product, quantity, amount.
class GridSubtotals : public ::testing::Test {
 protected:
  GridSubtotals() : grid("Vs") {
    grid.set_cols(5);
    Fill(grid, {{"", "A", "p1", "1", "10"},
                {"", "A", "p2", "2", "20"},
                {"", "B", "p3", "4", "x"},
                {"", "A", "p4", "8", "80"}});
  }
  SubtotalSpec Sum(int group_on, int total_on, std::string caption = "%s") {
    SubtotalSpec sum_rule;
    sum_rule.group_on = group_on;
    sum_rule.total_on = total_on;
    sum_rule.caption = std::move(caption);
    return sum_rule;
  }
  std::vector<int> SubtotalRows() {
    std::vector<int> found;
    for (int r = 0; r < grid.rows(); ++r) {
      if (grid.IsSubtotal(r)) found.push_back(r);
    }
    return found;
  }
  Grid grid;
};

TEST_F(GridSubtotals, GroupsAreRunsOfEqualValuesWithTheCaptionBelow) {
  grid.Subtotal(Sum(1, 3, "%s 小计"));
  // A, A, [A], B, [B], A, [A]
  EXPECT_EQ(SubtotalRows(), (std::vector<int>{3, 5, 7}));
  EXPECT_EQ(ColumnTexts(grid, 1),
            (std::vector<std::string>{"A", "A", "A 小计", "B", "B 小计", "A", "A 小计"}));
  EXPECT_EQ(ColumnTexts(grid, 3), (std::vector<std::string>{"1", "2", "3", "4", "4", "8", "8"}));
  EXPECT_EQ(grid.RowOutlineLevel(3), 1);
  EXPECT_EQ(grid.RowOutlineLevel(2), 0);
  EXPECT_FALSE(grid.IsSubtotal(2));
}

TEST_F(GridSubtotals, GrandTotalCaptionGoesToTheFirstScrollableColumn) {
  grid.Subtotal(Sum(1, 3));
  SubtotalSpec grand = Sum(-1, 3, "合计");
  grand.back_color = 0xFFFF80;
  grand.bold = true;
  grid.Subtotal(grand);
  grand.total_on = 4;
  grid.Subtotal(grand);
  const int last = grid.rows() - 1;
  EXPECT_EQ(SubtotalRows(), (std::vector<int>{3, 5, 7, 8}));
  EXPECT_EQ(grid.RowOutlineLevel(last), -1);
  EXPECT_EQ(grid.TextMatrix(last, 1), "合计");
  EXPECT_EQ(grid.TextMatrix(last, 3), "15");   // data rows only, not the subtotals
  EXPECT_EQ(grid.TextMatrix(last, 4), "110");  // "x" is not a number
  for (int c = 0; c < grid.cols(); ++c) {
    EXPECT_EQ(grid.CellBackColor(last, c), 0xFFFF80u);
    EXPECT_TRUE(grid.CellBold(last, c));
  }
  EXPECT_FALSE(grid.CellBold(3, 1));
  EXPECT_EQ(grid.CellBackColor(2, 1), std::nullopt);
}

TEST_F(GridSubtotals, NestedGroupsAndPositionAbove) {
  grid.set_subtotal_position(SubtotalPosition::kAbove);
  SubtotalSpec inner = Sum(2, 3, "%s:");
  inner.fore_color = 128;
  grid.Subtotal(Sum(1, 3));  // outer groups first
  grid.Subtotal(inner);
  // [A] [p1] A [p2] A [B] [p3] B [A] [p4] A
  EXPECT_EQ(SubtotalRows(), (std::vector<int>{1, 2, 4, 6, 7, 9, 10}));
  EXPECT_EQ(grid.TextMatrix(1, 1), "A");
  EXPECT_EQ(grid.TextMatrix(1, 3), "3");
  EXPECT_EQ(grid.TextMatrix(2, 2), "p1:");
  EXPECT_EQ(grid.TextMatrix(2, 3), "1");
  EXPECT_EQ(grid.TextMatrix(3, 2), "p1");
  EXPECT_EQ(grid.CellForeColor(2, 4), 128u);
  EXPECT_EQ(grid.CellForeColor(1, 4), std::nullopt);
  EXPECT_EQ(grid.RowOutlineLevel(2), 2);
  // A later total column for the outer groups fills their rows; the inner rows are no breaks.
  grid.Subtotal(Sum(1, 4));
  EXPECT_EQ(SubtotalRows(), (std::vector<int>{1, 2, 4, 6, 7, 9, 10}));
  EXPECT_EQ(grid.TextMatrix(1, 4), "30");
  EXPECT_EQ(grid.TextMatrix(9, 4), "80");
}

TEST_F(GridSubtotals, FunctionsAndTotalFormats) {
  struct Case {
    SubtotalFunction function;
    int group_on, total_on;
    const char* format;
    int row;  // -1: the grand total, the last row
    const char* total;
  };
  const Case cases[] = {
      {SubtotalFunction::kAverage, -1, 3, "0.00", -1, "3.75"},
      {SubtotalFunction::kMax, -1, 4, "", -1, "80"},
      {SubtotalFunction::kCount, -1, 4, "", -1, "4"},   // "x" counts as a filled cell
      {SubtotalFunction::kPercent, 1, 3, "", 3, "20"},  // 3 of 15
  };
  for (const Case& c : cases) {
    grid.ClearSubtotals();
    SubtotalSpec sum_rule = Sum(c.group_on, c.total_on);
    sum_rule.function = c.function;
    sum_rule.format = c.format;
    grid.Subtotal(sum_rule);
    EXPECT_EQ(grid.TextMatrix(c.row < 0 ? grid.rows() - 1 : c.row, c.total_on), c.total) << c.total;
  }
}

TEST_F(GridSubtotals, ClearSubtotalsRemovesExactlyThoseRows) {
  grid.SetCellKey(4, 2, 33);
  grid.set_row(4);
  grid.Subtotal(Sum(1, 3));
  grid.Subtotal(Sum(-1, 3, "合计"));
  grid.AddItem("\tZ\tp9\t1\t1");  // a plain row after the totals
  SubtotalSpec clear;
  clear.function = SubtotalFunction::kClear;
  grid.Subtotal(clear);
  EXPECT_TRUE(SubtotalRows().empty());
  EXPECT_EQ(ColumnTexts(grid, 2), (std::vector<std::string>{"p1", "p2", "p3", "p4", "p9"}));
  EXPECT_EQ(grid.CellKey(grid.FindRow("p4", 1, 2), 2), Variant(33));
  EXPECT_EQ(grid.TextMatrix(1, 3), "1");
  grid.Subtotal(Sum(1, 3));  // and they can be made again
  EXPECT_EQ(SubtotalRows().size(), 4u);
}

TEST_F(GridSubtotals, SortKeepsSubtotalRowsInPlace) {
  grid.Subtotal(Sum(1, 3));
  grid.Sort(2, grid_sort::kStringDescending);
  EXPECT_EQ(ColumnTexts(grid, 2), (std::vector<std::string>{"p2", "p1", "", "p3", "", "p4", ""}));
}

TEST(Grid, OutlineRowsMarkedByHand) {
  Grid grid("Vs");
  grid.set_rows(3);
  grid.SetIsSubtotal(1, true);
  grid.SetIsSubtotal(2, true);
  grid.SetRowOutlineLevel(2, 2);
  grid.SetIsSubtotal(2, false);
  EXPECT_EQ(grid.RowOutlineLevel(2), 0);  // a plain row has no level
  grid.ClearSubtotals();
  EXPECT_EQ(grid.rows(), 2);
}

}  // namespace
}  // namespace korvane::controls
