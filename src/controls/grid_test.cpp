#include "controls/grid.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "controls/form.h"
#include "controls/test_grid.h"

namespace korvane::controls {
namespace {

using test::ColumnTexts;
using test::Fill;
using test::RowTexts;

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

TEST(Grid, CellsOutsideReadEmptyAndRefuseWrites) {
  Grid grid("g");
  grid.set_rows(3);
  grid.set_cols(2);
  grid.SetTextMatrix(2, 1, "x");
  grid.SetCellKey(2, 1, 7);
  EXPECT_EQ(grid.TextMatrix(2, 1), "x");
  EXPECT_EQ(grid.CellKey(2, 1), Variant(7));
  EXPECT_EQ(grid.TextMatrix(3, 0), "");
  EXPECT_EQ(grid.TextMatrix(-1, 0), "");
  EXPECT_TRUE(grid.CellKey(0, 2).IsEmpty());
  EXPECT_EQ(grid.ColWidth(5), grid.default_col_width());
  EXPECT_FALSE(grid.RowHidden(9));
  EXPECT_THROW(grid.SetTextMatrix(3, 0, "y"), std::out_of_range);
  EXPECT_THROW(grid.SetCellKey(0, 2, 1), std::out_of_range);
  EXPECT_THROW(grid.SetColWidth(2, 100), std::out_of_range);
  EXPECT_THROW(grid.SetRowHidden(-1, true), std::out_of_range);
  EXPECT_THROW(grid.set_fixed_rows(4), std::out_of_range);
}

TEST(Grid, SetRowsGrowsWithEmptyRowsAndShrinksFromTheEnd) {
  Grid grid("g");
  grid.set_cols(3);
  grid.set_rows(3);
  grid.SetTextMatrix(1, 1, "kept");
  grid.SetTextMatrix(2, 1, "dropped");
  grid.SetCellKey(2, 1, 5);
  grid.SetRowHidden(2, true);
  grid.set_rows(2);
  EXPECT_EQ(grid.rows(), 2);
  grid.set_rows(4);
  EXPECT_EQ(grid.TextMatrix(1, 1), "kept");
  EXPECT_EQ(grid.TextMatrix(2, 1), "");  // the regrown row is new, not the dropped one
  EXPECT_TRUE(grid.CellKey(2, 1).IsEmpty());
  EXPECT_FALSE(grid.RowHidden(2));
  grid.set_rows(0);
  EXPECT_EQ(grid.fixed_rows(), 0);
  EXPECT_EQ(grid.row(), -1);
}

TEST(Grid, CurrentCellFiresRowColChangeOnlyOnARealMove) {
  Grid grid("g");
  grid.set_rows(5);
  grid.set_cols(4);
  std::vector<std::vector<int>> moves;
  grid.row_col_change.Connect([&](int r0, int c0, int r1, int c1) {
    moves.push_back({r0, c0, r1, c1});
  });
  grid.set_row(1);  // already there
  grid.set_col(1);
  grid.Select(1, 1);
  EXPECT_TRUE(moves.empty());
  grid.set_row(3);
  grid.Select(4, 2);
  grid.set_col(2);
  grid.set_rows(3);  // the current row falls off the end
  grid.set_rows(10);
  EXPECT_EQ(moves, (std::vector<std::vector<int>>{{1, 1, 3, 1}, {3, 1, 4, 2}, {4, 2, 2, 2}}));
  EXPECT_EQ(grid.row(), 2);
  EXPECT_THROW(grid.set_row(10), std::out_of_range);
  EXPECT_EQ(grid.row(), 2);
}

TEST(Grid, TopRowAndLeftColStayInsideTheScrollableArea) {
  Grid grid("g");
  grid.set_rows(6);
  grid.set_fixed_rows(2);
  grid.set_top_row(0);
  EXPECT_EQ(grid.top_row(), 2);
  grid.set_top_row(100);
  EXPECT_EQ(grid.top_row(), 5);
  grid.set_top_row(4);
  grid.set_rows(3);
  EXPECT_EQ(grid.top_row(), 2);
  grid.set_rows(2);  // no scrollable row at all
  EXPECT_EQ(grid.top_row(), 2);
  grid.set_cols(4);
  grid.set_left_col(9);
  EXPECT_EQ(grid.left_col(), 3);
  grid.set_left_col(-3);
  EXPECT_EQ(grid.left_col(), 1);
}

TEST(Grid, HiddenKeysAndRowStateTravelWithTheirRows) {
  Grid grid("g");
  grid.set_cols(3);
  Fill(grid, {{"", "b", "2"}, {"", "a", "10"}, {"", "c", "1"}});
  for (int r = 1; r <= 3; ++r) {
    grid.SetCellKey(r, 1, grid.TextMatrix(r, 1) + "-key");
    grid.SetRowData(r, r * 100);
  }
  grid.SetRowHidden(2, true);

  EXPECT_EQ(grid.AddItem("\tnew\t5\textra piece dropped", 2), 2);
  EXPECT_EQ(ColumnTexts(grid, 1), (std::vector<std::string>{"b", "new", "a", "c"}));
  EXPECT_EQ(grid.CellKey(3, 1), Variant("a-key"));
  EXPECT_TRUE(grid.RowHidden(3));
  EXPECT_TRUE(grid.CellKey(2, 1).IsEmpty());
  EXPECT_EQ(grid.AddItem("\tlast"), 5);

  grid.RemoveItem(1);
  EXPECT_EQ(grid.CellKey(2, 1), Variant("a-key"));
  EXPECT_EQ(grid.FindRowByData(Variant(200.0)), 2);  // numbers compare by value

  int sorted_col = -1;
  grid.after_sort.Connect([&](int col) { sorted_col = col; });
  grid.Sort(2, grid_sort::kNumericAscending);  // "", 1, 5, 10
  EXPECT_EQ(sorted_col, 2);
  EXPECT_EQ(ColumnTexts(grid, 1), (std::vector<std::string>{"last", "c", "new", "a"}));
  EXPECT_EQ(grid.CellKey(grid.FindRow("a", 1, 1), 1), Variant("a-key"));
  EXPECT_EQ(grid.CellKey(grid.FindRow("c", 1, 1), 1), Variant("c-key"));
  EXPECT_TRUE(grid.RowHidden(grid.FindRow("a", 1, 1)));
  EXPECT_EQ(grid.RowData(grid.FindRow("c", 1, 1)), Variant(300));
  EXPECT_EQ(grid.TextMatrix(0, 1), "");  // the fixed row stays
}

TEST(Grid, PicturesColoursAndBoldBelongToOneCellAndTravelWithIt) {
  Grid grid("g");
  grid.set_cols(3);
  Fill(grid, {{"", "b", "2"}, {"", "a", "1"}});
  grid.SetCellPicture(1, 1, "note");
  grid.SetCellBold(1, 1, true);
  grid.SetCellBackColor(1, 2, 0xFFu);
  grid.SetCellForeColor(1, 2, 0x10u);
  // Only the cell set carries them: after the sort the cells of the other row hold nothing.
  grid.Sort(2, grid_sort::kNumericAscending);  // "a" (1) before "b" (2)
  grid.set_cols(5);
  grid.set_rows(8);
  ASSERT_EQ(grid.TextMatrix(2, 1), "b");
  EXPECT_EQ(grid.CellPicture(2, 1), "note");
  EXPECT_TRUE(grid.CellBold(2, 1));
  EXPECT_EQ(grid.CellBackColor(2, 2), 0xFFu);
  EXPECT_EQ(grid.CellForeColor(2, 2), 0x10u);
  EXPECT_EQ(grid.CellPicture(1, 1), "");
  EXPECT_FALSE(grid.CellBold(1, 2));
  EXPECT_EQ(grid.CellBackColor(1, 2), std::nullopt);
  EXPECT_EQ(grid.CellBackColor(2, 1), std::nullopt);

  grid.ClearCells(2, 1, 2, 2);
  grid.SetCellKey(2, 1, 9);  // a key set afresh brings nothing else back
  EXPECT_EQ(grid.TextMatrix(2, 1), "");
  EXPECT_EQ(grid.CellPicture(2, 1), "");
  EXPECT_FALSE(grid.CellBold(2, 1));
  EXPECT_EQ(grid.CellBackColor(2, 2), std::nullopt);
  EXPECT_EQ(grid.CellForeColor(2, 2), std::nullopt);
  EXPECT_EQ(grid.CellKey(2, 1), Variant(9));
}

TEST(Grid, SortSettingsOrderAsTheirNamesSay) {
  Grid grid("g");
  grid.set_cols(2);
  Fill(grid, {{"", "b"}, {"", "10"}, {"", "B"}, {"", "9"}, {"", "a"}});
  grid.Sort(1, grid_sort::kGenericAscending);
  EXPECT_EQ(ColumnTexts(grid, 1), (std::vector<std::string>{"9", "10", "B", "a", "b"}));
  grid.Sort(1, grid_sort::kGenericDescending);
  EXPECT_EQ(ColumnTexts(grid, 1), (std::vector<std::string>{"b", "a", "B", "10", "9"}));
  grid.Sort(1, grid_sort::kStringAscending);
  EXPECT_EQ(ColumnTexts(grid, 1), (std::vector<std::string>{"10", "9", "B", "a", "b"}));
  grid.Sort(1, grid_sort::kStringNoCaseAscending);  // stable: "B" stays before "b"
  EXPECT_EQ(ColumnTexts(grid, 1), (std::vector<std::string>{"10", "9", "a", "B", "b"}));
}

TEST(Grid, FindRowMatchesWholeOrLeadingTextWithoutCase) {
  Grid grid("g");
  grid.set_cols(3);
  Fill(grid, {{"", "AB-100"}, {"", "ab-1"}, {"", "Ab-100"}});
  EXPECT_EQ(grid.FindRow("ab-100", 1, 1), 1);
  EXPECT_EQ(grid.FindRow("ab-100", 2, 1), 3);
  EXPECT_EQ(grid.FindRow("ab-100", 1, 1, true), -1);
  EXPECT_EQ(grid.FindRow("Ab-100", 1, 1, true), 3);
  EXPECT_EQ(grid.FindRow("ab-1", 1, 1, false, false), 1);
  EXPECT_EQ(grid.FindRow("ab-1", 1, 1, false, true), 2);
  EXPECT_EQ(grid.FindRow("zz", 1, 1, false, false), -1);
  EXPECT_EQ(grid.FindRow("ab-1", 1, 7), -1);
  EXPECT_EQ(grid.FindRow("ab-1", -1, 1), 2);
}

class GridEditing : public ::testing::Test {
 protected:
  GridEditing() : grid(form.Add<Grid>("qxGrid")) {
    grid.set_rows(4);
    grid.set_cols(4);
    grid.set_editable(true);
    grid.SetTextMatrix(2, 2, "old");
    grid.before_edit.Connect([this](int r, int c, bool& cancel) {
      log.push_back("before " + std::to_string(r) + "," + std::to_string(c));
      cancel = cancel_before;
    });
    grid.validate_edit.Connect([this](int, int, bool& cancel) {
      log.push_back("validate " + grid.edit_text());
      cancel = cancel_validate;
      if (!replace_with.empty()) grid.set_edit_text(replace_with);
    });
    grid.after_edit.Connect(
        [this](int r, int c) { log.push_back("after " + grid.TextMatrix(r, c)); });
    grid.cell_changed.Connect([this](int, int) { log.push_back("changed"); });
  }
  Form form{"frm"};
  Grid& grid;
  std::vector<std::string> log;
  bool cancel_before = false;
  bool cancel_validate = false;
  std::string replace_with;
};

TEST_F(GridEditing, AnEditRunsBeforeValidateStoreAfterAndMayBeCancelledOrCorrected) {
  cancel_before = true;
  EXPECT_FALSE(grid.EditCell(2, 2, "new"));
  EXPECT_EQ(log, (std::vector<std::string>{"before 2,2"}));
  cancel_before = false;
  cancel_validate = true;
  log.clear();
  EXPECT_FALSE(grid.EditCell(2, 2, "new"));
  EXPECT_EQ(log, (std::vector<std::string>{"before 2,2", "validate new"}));
  EXPECT_EQ(grid.TextMatrix(2, 2), "old");

  cancel_validate = false;
  log.clear();
  EXPECT_TRUE(grid.EditCell(2, 3, "new"));
  EXPECT_EQ(log, (std::vector<std::string>{"before 2,3", "validate new", "changed", "after new"}));
  EXPECT_EQ(grid.row(), 2);
  EXPECT_EQ(grid.col(), 3);
  EXPECT_TRUE(grid.HasFocus());
  replace_with = "12.50";
  EXPECT_TRUE(grid.EditCell(2, 2, "12.5"));
  EXPECT_EQ(grid.TextMatrix(2, 2), "12.50");
}

TEST_F(GridEditing, CellsAPersonCannotEditAreRefused) {
  grid.SetColLocked(3, true);
  grid.SetColHidden(1, true);
  EXPECT_FALSE(grid.EditCell(2, 3, "x"));                     // locked column
  EXPECT_FALSE(grid.EditCell(0, 2, "x"));                     // fixed row
  EXPECT_FALSE(grid.EditCell(2, 0, "x"));                     // fixed column
  EXPECT_FALSE(grid.EditCell(2, 1, "x"));                     // hidden column
  EXPECT_FALSE(grid.EditCell(9, 2, "x"));                     // outside
  EXPECT_FALSE(grid.EditCell(2, 2, std::string("x\0y", 3)));  // no person types a NUL byte
  grid.set_editable(false);
  EXPECT_FALSE(grid.EditCell(2, 2, "x"));
  grid.set_editable(true);
  grid.set_enabled(false);
  EXPECT_FALSE(grid.EditCell(2, 2, "x"));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(grid.TextMatrix(2, 3), "");
  EXPECT_EQ(grid.TextMatrix(0, 2), "");
  EXPECT_EQ(grid.TextMatrix(2, 2), "old");
  EXPECT_EQ(grid.row(), 1);  // refused edits do not move the current cell either
}

TEST_F(GridEditing, DeleteRowPressesDeleteOnTheSelectedRow) {
  std::vector<int> seen;
  grid.key_down.Connect([&](int& key, int) {
    if (key == keys::kDelete) seen.push_back(grid.row());
  });
  EXPECT_TRUE(grid.DeleteRow(3));
  EXPECT_EQ(seen, (std::vector<int>{3}));
  EXPECT_FALSE(grid.DeleteRow(0));
  EXPECT_FALSE(grid.DeleteRow(4));
  grid.set_visible(false);
  EXPECT_FALSE(grid.DeleteRow(2));
  EXPECT_EQ(seen, (std::vector<int>{3}));
}

TEST_F(GridEditing, ClicksFireMouseDownMoveThenClick) {
  grid.SetColWidth(0, 300);
  grid.SetColWidth(1, 1000);
  grid.SetColWidth(2, 500);
  std::vector<std::string> events;
  float x = 0;
  float y = 0;
  grid.mouse_down.Connect([&](int& button, int&, float& mx, float& my) {
    events.push_back("down " + std::to_string(button));
    x = mx;
    y = my;
  });
  grid.row_col_change.Connect([&](int, int, int r, int c) {
    events.push_back("move " + std::to_string(r) + "," + std::to_string(c));
  });
  grid.click.Connect([&] { events.push_back("click"); });
  grid.double_click.Connect([&] { events.push_back("double"); });
  EXPECT_TRUE(grid.DoubleClickCell(2, 2));
  EXPECT_EQ(events, (std::vector<std::string>{"down 1", "move 2,2", "click", "double"}));
  EXPECT_FLOAT_EQ(x, 300 + 1000 + 250);
  EXPECT_FLOAT_EQ(y, 240 + 240 + 120);
  events.clear();
  EXPECT_TRUE(grid.ClickCell(0, 3));  // a header click does not move the current cell
  EXPECT_EQ(events, (std::vector<std::string>{"down 1", "click"}));
  EXPECT_FALSE(grid.ClickCell(7, 0));
}

// A module finds the clicked row from where the mouse went down, as the host grid reports it;
// a click on a row scrolled out of view must land on that row once it is scrolled in (a click
// above the rows shown is the product picker's scenario cpml_click_scrolled_row).
TEST(Grid, ClickingARowOutOfViewScrollsItInAndLandsOnIt) {
  Form form{"frm"};
  Grid& grid = form.Add<Grid>("Vs");
  grid.set_rows(40);
  grid.set_cols(4);
  const auto row_under = [&grid](float y) {
    double top = 0;
    for (int r = 0; r < grid.rows(); ++r) {
      if (grid.RowHidden(r) || (r >= grid.fixed_rows() && r < grid.top_row())) continue;
      if (y >= top && y < top + grid.RowHeight(r)) return r;
      top += grid.RowHeight(r);
    }
    return -1;
  };
  std::vector<int> pressed;
  grid.mouse_down.Connect([&](int&, int&, float&, float& y) { pressed.push_back(row_under(y)); });

  // A grid four data rows high: a row below them scrolls up to be the last one shown.
  grid.set_geometry({0, 0, 4000, 240 * 5});
  ASSERT_TRUE(grid.ClickCell(10, 1));
  EXPECT_EQ(grid.top_row(), 7);
  ASSERT_TRUE(grid.ClickCell(8, 1));  // in view: nothing scrolls
  EXPECT_EQ(grid.top_row(), 7);
  // Hidden rows take no room, so fewer scrolls are needed past them.
  grid.SetRowHidden(12, true);
  ASSERT_TRUE(grid.ClickCell(13, 1));
  EXPECT_EQ(grid.top_row(), 9);
  EXPECT_EQ(pressed, (std::vector<int>{10, 8, 13}));

  // Nobody can click what is hidden; the same holds for columns scrolled off to the left.
  EXPECT_FALSE(grid.ClickCell(12, 1));
  grid.SetColHidden(2, true);
  EXPECT_FALSE(grid.ClickCell(13, 2));
  grid.set_left_col(3);
  ASSERT_TRUE(grid.ClickCell(13, 1));
  EXPECT_EQ(grid.left_col(), 1);
  EXPECT_EQ(pressed.size(), 4u);
}

TEST(Grid, AppendRowsPlacesValuesFromFirstColAndAnnouncesOnce) {
  Grid grid("g");
  grid.set_rows(1);
  grid.set_cols(4);
  std::vector<std::string> announced;
  grid.changed.Connect(
      [&](const Control&, std::string_view what) { announced.emplace_back(what); });
  int cell_events = 0;
  grid.cell_changed.Connect([&](int, int) { ++cell_events; });
  const DateTime with_time =
      std::chrono::sys_days(year_month_day(year(2024), month(3), day(9))) + std::chrono::hours(14);
  grid.AppendRows(
      {{Variant("A1"), Variant(2.5), Variant(year_month_day(year(2024), month(1), day(31)))},
       {Variant::MakeNull(), Variant(7), Variant(with_time), Variant("dropped")}},
      1);
  EXPECT_EQ(announced, (std::vector<std::string>{"rows"}));
  EXPECT_EQ(cell_events, 0);
  ASSERT_EQ(grid.rows(), 3);
  EXPECT_EQ(RowTexts(grid, 1), (std::vector<std::string>{"", "A1", "2.5", "2024-01-31"}));
  EXPECT_EQ(RowTexts(grid, 2), (std::vector<std::string>{"", "", "7", "2024-03-09"}));
}

// A format string gives the columns, their headers and alignment; a zero width hides a column
// as hiding does, but only hiding keeps the width for when it shows again.
TEST(Grid, FormatStringAndVisibility) {
  Grid grid("g");
  grid.SetFormatString("行号|生产日期   |>数量|");
  ASSERT_EQ(grid.cols(), 4);
  EXPECT_EQ(RowTexts(grid, 0), (std::vector<std::string>{"行号", "生产日期   ", "数量", ""}));
  EXPECT_EQ(grid.ColAlignment(2), grid_align::kRightCenter);
  EXPECT_LT(grid.ColWidth(0), grid.ColWidth(1));  // blanks widen a column
  grid.SetColKey(3, "Qty");
  EXPECT_EQ(grid.ColIndex("qty"), 3);
  grid.SetColWidth(3, 0);
  EXPECT_FALSE(grid.ColIsVisible(3));
  grid.SetColWidth(3, -1);
  grid.SetColHidden(3, true);
  EXPECT_FALSE(grid.ColIsVisible(3));
  EXPECT_EQ(grid.ColWidth(3), grid.default_col_width());
}

// A tree built by hand, nodes above their rows, as an expanded structure is: each row is a node
// of the given level.
void BuildOutline(Grid& grid, const std::vector<int>& levels) {
  grid.set_rows(1);
  grid.set_cols(1);
  grid.set_fixed_cols(0);
  grid.set_subtotal_position(SubtotalPosition::kAbove);
  for (int level : levels) {
    const int r = grid.AddItem("L" + std::to_string(level));
    grid.SetIsSubtotal(r, true);
    grid.SetRowOutlineLevel(r, level);
  }
}

std::vector<int> Shown(const Grid& grid) {
  std::vector<int> rows;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (grid.RowIsVisible(r)) rows.push_back(r);
  }
  return rows;
}

TEST(GridOutline, CollapsedNodesHideTheirRowsApartFromRowsTheProgramHid) {
  //                          rows: 1  2  3  4  5  6  7
  Grid grid("g");
  BuildOutline(grid, {1, 2, 3, 4, 3, 2, 3});
  grid.Outline(2);
  EXPECT_EQ(Shown(grid), std::vector<int>({1, 2, 3, 5, 6, 7}));
  EXPECT_EQ(std::vector<bool>({grid.IsCollapsed(2), grid.IsCollapsed(3), grid.IsCollapsed(5)}),
            std::vector<bool>({false, true, true}));
  // The program hides row 5; closing and opening its parent must not show it again, and the
  // inner node 3 stays closed when its parent 2 opens again.
  grid.SetRowHidden(5, true);
  grid.SetIsCollapsed(2, true);
  EXPECT_EQ(Shown(grid), std::vector<int>({1, 2, 6, 7}));
  EXPECT_FALSE(grid.RowHidden(3));
  grid.SetIsCollapsed(2, false);
  EXPECT_EQ(Shown(grid), std::vector<int>({1, 2, 3, 6, 7}));
  EXPECT_TRUE(grid.IsCollapsed(3));
  grid.SetRowHidden(5, false);
  grid.SetIsCollapsed(3, false);
  EXPECT_EQ(Shown(grid), std::vector<int>({1, 2, 3, 4, 5, 6, 7}));
  // A row inserted under a collapsed node is hidden with its new neighbours.
  grid.SetIsCollapsed(6, true);
  grid.AddItem("x", 8);
  EXPECT_EQ(Shown(grid), std::vector<int>({1, 2, 3, 4, 5, 6}));
  // Rows that are no nodes have no collapsed state.
  grid.SetIsCollapsed(8, true);
  EXPECT_FALSE(grid.IsCollapsed(8));
  // Subtotal rows below their groups own the rows above them.
  Grid below("b");
  BuildOutline(below, {2, 2, 1});
  below.set_subtotal_position(SubtotalPosition::kBelow);
  below.SetIsCollapsed(3, true);
  EXPECT_EQ(Shown(below), std::vector<int>({3}));
}

TEST(GridOutline, APersonTogglesANodeByItsButtonOnlyWhereOneIsShown) {
  Grid grid("g");
  BuildOutline(grid, {1, 2, 3, 2});
  int redraws = 0;
  grid.changed.Connect(
      [&](const Control&, std::string_view what) { redraws += what == "row_format" ? 1 : 0; });
  EXPECT_TRUE(grid.ClickOutlineButton(2));
  EXPECT_TRUE(grid.IsCollapsed(2));
  EXPECT_FALSE(grid.RowIsVisible(3));
  EXPECT_EQ(redraws, 1);
  // Row 3 is hidden now; rows 3 and 4 own nothing, so they show no button.
  EXPECT_FALSE(grid.ClickOutlineButton(3));
  EXPECT_FALSE(grid.ClickOutlineButton(4));
  EXPECT_FALSE(grid.ClickOutlineButton(0));
  EXPECT_FALSE(grid.ClickOutlineButton(9));
  grid.set_enabled(false);
  EXPECT_FALSE(grid.ClickOutlineButton(2));
  grid.set_enabled(true);
  EXPECT_TRUE(grid.ClickOutlineButton(2));
  EXPECT_FALSE(grid.IsCollapsed(2));
  EXPECT_TRUE(grid.RowIsVisible(3));
  // Clicks and edits refuse a row the outline hides, as they refuse a hidden one.
  grid.ClickOutlineButton(1);
  EXPECT_FALSE(grid.ClickCell(3, 0));
}

}  // namespace
}  // namespace korvane::controls
