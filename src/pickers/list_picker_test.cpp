// The search rules every list picker shares: reading a search-column list, and finding or
// filtering list rows by it.
#include "pickers/list_picker.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

using namespace pickers;

TEST(ListSearch, EveryPieceOfASearchColumnListIsAColumn) {
  EXPECT_EQ(ParseSearchColumns(" 1;2;4 "), (std::vector<int>{1, 2, 4}));
  // Blank pieces are no columns; a piece that holds no number is the first column.
  EXPECT_EQ(ParseSearchColumns("4; ;12;"), (std::vector<int>{4, 12}));
  EXPECT_EQ(ParseSearchColumns("3;x;5"), (std::vector<int>{3, 0, 5}));
  EXPECT_TRUE(ParseSearchColumns("").empty());
}

class ListRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.set_cols(4);
    grid_.set_fixed_cols(0);
    grid_.set_rows(1);
    grid_.AddItem("\t1\tab12\tzeta");
    grid_.AddItem("\t2\tAB1\tab12x");
    grid_.AddItem("\t3\tcd\tmid ab1 end");
  }
  std::vector<bool> Hidden() const {
    return {grid_.RowHidden(1), grid_.RowHidden(2), grid_.RowHidden(3)};
  }
  controls::Grid grid_{"Vs", -1, "VSFlexGrid"};
};

TEST_F(ListRowsTest, FindTriesTheColumnsInOrder) {
  // The first column that yields a row wins, even when a later column matches earlier.
  EXPECT_EQ(FindListRow(grid_, {3, 2}, "ab1", false), 2);
  EXPECT_EQ(FindListRow(grid_, {2, 3}, "ab1", false), 1);
  // Whole-text match, case ignored.
  EXPECT_EQ(FindListRow(grid_, {2}, "ab1", true), 2);
  EXPECT_EQ(FindListRow(grid_, {2}, "zz", false), -1);
  // A column the grid does not have is passed over, not read.
  EXPECT_EQ(FindListRow(grid_, {-1, 9, 2}, "cd", true), 3);
}

TEST_F(ListRowsTest, FilterHidesTheRowsNoColumnMatches) {
  // Containing, upper-cased: all three rows carry "AB1" in column 2 or 3.
  EXPECT_EQ(FilterListRows(grid_, {2, 3}, "ab1", false), 1);
  EXPECT_EQ(Hidden(), (std::vector<bool>{false, false, false}));
  // From the left only: row 3's "mid ab1 end" no longer matches, row 1 is hidden by column 3.
  EXPECT_EQ(FilterListRows(grid_, {3, 7}, "ab1", true), 2);
  EXPECT_EQ(Hidden(), (std::vector<bool>{true, false, true}));
  // An empty text shows everything again.
  EXPECT_EQ(FilterListRows(grid_, {3}, "", true), 1);
  EXPECT_EQ(Hidden(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(FilterListRows(grid_, {3}, "nothing", false), -1);
  EXPECT_EQ(FilterListRows(grid_, {12}, "a", false), -1);
}

}  // namespace
}  // namespace korvane
