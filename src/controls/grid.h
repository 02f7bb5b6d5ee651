// Grid: the spreadsheet-like grid every module shows its lines in (the host's `qxGrid`, a
// wrapper of the VSFlexGrid grid, or a plain VSFlexGrid). A model of rows and columns of cell
// texts, each cell with an optional hidden key beside its text; per-column width, hidden flag,
// format, data type, alignment, merging and sort; per-row hidden flag, height and outline
// level; subtotal rows and their outline (collapsed nodes hide the rows under them); cell
// pictures and colours; a current cell and a top row.
//
// Rows and columns are 0-based and include the fixed (header) rows and columns. Reading a cell
// outside the grid returns the empty text; writing one throws std::out_of_range, since that is
// a fault of the caller. The same holds for row and column properties: reading one outside the
// grid gives the value a new row or column has, setting one throws. A new grid has the host
// grid's defaults: 50 rows, 10 columns, one fixed row and one fixed column, current cell (1, 1).
//
// Every change of state is announced through Control::changed with one of these names, so a
// renderer can observe: "rows" (rows added, removed or reordered), "cols", "fixed_rows",
// "fixed_cols", "frozen_cols", "cells" (texts, keys, pictures, colours), "columns" (a column
// property), "row_format" (a row property), "current_cell", "top_row", "left_col",
// "merge_cells", "editable", "redraw", "subtotal_position". Bulk operations (AddItem,
// AppendRows, Sort, Subtotal) announce once and do not fire cell_changed per cell.
#ifndef KORVANE_CONTROLS_GRID_H_
#define KORVANE_CONTROLS_GRID_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/control.h"
#include "controls/grid_format.h"
#include "values/variant.h"

namespace korvane::controls {

// Column data types.
namespace grid_type {
inline constexpr int kEmpty = 0;
inline constexpr int kShort = 2;
inline constexpr int kLong = 3;
inline constexpr int kSingle = 4;
inline constexpr int kDouble = 5;
inline constexpr int kCurrency = 6;
inline constexpr int kDate = 7;
inline constexpr int kString = 8;
inline constexpr int kBoolean = 11;
}  // namespace grid_type

// Alignments.
namespace grid_align {
inline constexpr int kLeftTop = 0;
inline constexpr int kLeftCenter = 1;
inline constexpr int kLeftBottom = 2;
inline constexpr int kCenterTop = 3;
inline constexpr int kCenterCenter = 4;
inline constexpr int kCenterBottom = 5;
inline constexpr int kRightTop = 6;
inline constexpr int kRightCenter = 7;
inline constexpr int kRightBottom = 8;
inline constexpr int kGeneral = 9;
}  // namespace grid_align

// Sort settings.
namespace grid_sort {
inline constexpr int kNone = 0;
inline constexpr int kGenericAscending = 1;
inline constexpr int kGenericDescending = 2;
inline constexpr int kNumericAscending = 3;
inline constexpr int kNumericDescending = 4;
inline constexpr int kStringNoCaseAscending = 5;
inline constexpr int kStringNoCaseDescending = 6;
inline constexpr int kStringAscending = 7;
inline constexpr int kStringDescending = 8;
}  // namespace grid_sort

// Merge settings of the whole grid.
namespace grid_merge {
inline constexpr int kNever = 0;
inline constexpr int kFree = 1;
inline constexpr int kRestrictRows = 2;
inline constexpr int kRestrictColumns = 3;
inline constexpr int kRestrictAll = 4;
}  // namespace grid_merge

enum class SubtotalFunction { kNone, kClear, kSum, kPercent, kCount, kAverage, kMax, kMin };
enum class SubtotalPosition { kAbove, kBelow };

struct SubtotalSpec {
  SubtotalFunction function = SubtotalFunction::kSum;
  // Column whose value changes delimit the groups; -1 makes one grand total over all rows.
  int group_on = -1;
  int total_on = 0;
  std::string format;  // display format of the total, empty for the column's
  std::optional<std::uint32_t> back_color;
  std::optional<std::uint32_t> fore_color;
  bool bold = false;
  // Caption of the subtotal row; "%s" stands for the group's value.
  std::string caption = "%s";
};

class Grid : public Control {
 public:
  // `type_name` is "qxGrid" for the host's grid wrapper and "VSFlexGrid" for a plain grid.
  Grid(std::string name, int index = -1, std::string type_name = "qxGrid");

  // --- Dimensions ---------------------------------------------------------------------
  int rows() const;
  // Growing adds empty rows at the end; shrinking drops rows from the end.
  void set_rows(int rows);
  int cols() const;
  void set_cols(int cols);
  int fixed_rows() const;
  void set_fixed_rows(int n);  // REQUIRES: n <= rows()
  int fixed_cols() const;
  void set_fixed_cols(int n);  // REQUIRES: n <= cols()
  // Frozen (non-scrolling) columns after the fixed ones.
  int frozen_cols() const;
  void set_frozen_cols(int n);
  // Sets the columns and the header row from "text|text|..." (one column per piece).
  void SetFormatString(std::string_view format);

  // --- Cells ---------------------------------------------------------------------------
  std::string TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, std::string text);
  // The hidden key kept beside a cell's text (the product id behind a code, the employee ids
  // behind the names); empty when none was set. Moving or removing rows carries the keys.
  Variant CellKey(int row, int col) const;
  void SetCellKey(int row, int col, Variant key);
  // The cell text as shown: a number in a column with a format is formatted by it
  // (FormatNumberVb), except in a text (kString) column; a boolean column shows "√" for a
  // true value ("True", "√" or a non-zero number) and the empty text otherwise.
  std::string DisplayText(int row, int col) const;
  // Pictures and colours of single cells. A picture is named ("note" for the note icon);
  // the empty name removes it.
  std::string CellPicture(int row, int col) const;
  void SetCellPicture(int row, int col, std::string picture);
  std::optional<std::uint32_t> CellBackColor(int row, int col) const;
  void SetCellBackColor(int row, int col, std::optional<std::uint32_t> color);
  std::optional<std::uint32_t> CellForeColor(int row, int col) const;
  void SetCellForeColor(int row, int col, std::optional<std::uint32_t> color);
  bool CellBold(int row, int col) const;
  void SetCellBold(int row, int col, bool bold);
  // Empties texts, keys, pictures and colours of a block of cells (inclusive bounds).
  void ClearCells(int row1, int col1, int row2, int col2);

  // --- Columns -------------------------------------------------------------------------
  double ColWidth(int col) const;
  void SetColWidth(int col, double twips);
  bool ColHidden(int col) const;
  void SetColHidden(int col, bool hidden);
  // False when the column is hidden or narrower than one twip.
  bool ColIsVisible(int col) const;
  // Sizes a column to the widest text it shows, its header included; rows not shown count
  // for nothing.
  void AutoSize(int col);
  std::string ColFormat(int col) const;
  void SetColFormat(int col, std::string format);
  int ColDataType(int col) const;
  void SetColDataType(int col, int type);
  int ColAlignment(int col) const;
  void SetColAlignment(int col, int alignment);
  int ColSort(int col) const;
  void SetColSort(int col, int sort);
  bool MergeCol(int col) const;
  void SetMergeCol(int col, bool merge);
  // A column a person may not edit even when the grid is editable.
  bool ColLocked(int col) const;
  void SetColLocked(int col, bool locked);
  // A column name for lookups by name; empty by default.
  std::string ColKey(int col) const;
  void SetColKey(int col, std::string key);
  // The first column with this key, compared without regard to ASCII case.
  std::optional<int> ColIndex(std::string_view key) const;

  // --- Rows ----------------------------------------------------------------------------
  // Whether the program hid the row. A row under a collapsed outline node is not shown either
  // but keeps this flag as it was: see RowIsVisible.
  bool RowHidden(int row) const;
  void SetRowHidden(int row, bool hidden);
  // False when the row is hidden by the program or lies under a collapsed outline node.
  bool RowIsVisible(int row) const;
  double RowHeight(int row) const;
  void SetRowHeight(int row, double twips);
  bool MergeRow(int row) const;
  void SetMergeRow(int row, bool merge);
  Variant RowData(int row) const;
  void SetRowData(int row, Variant data);
  bool IsSubtotal(int row) const;
  // Outline level of a subtotal row (its group column, -1 for a grand total); 0 for others.
  int RowOutlineLevel(int row) const;
  // Marks a row as an outline node (a subtotal row) of a level, as an outline built by hand
  // (a structure expanded level by level) does. ClearSubtotals removes such rows too.
  void SetIsSubtotal(int row, bool subtotal);
  void SetRowOutlineLevel(int row, int level);

  // --- Outline -------------------------------------------------------------------------
  // A node (a subtotal row) owns the rows on its side of it (below it when subtotals sit
  // above their groups, above it otherwise) up to the next node of its own or a lower level.
  // A collapsed node hides the rows it owns; a node inside them keeps its own state, so
  // opening the outer node again shows the inner one as it was. Rows the program hid stay
  // hidden whatever the outline does.
  //
  // Whether a node is collapsed; false for a row that is no node.
  bool IsCollapsed(int row) const;
  // Collapses or opens a node; a row that is no node has no such state and is left alone.
  void SetIsCollapsed(int row, bool collapsed);
  // Opens every node of a level up to `level` and collapses every deeper one.
  void Outline(int level);
  // Whether a node owns any row, so that it shows an outline button.
  bool HasOutlineButton(int row) const;
  // Inserts a row at `row` (the end when -1) with the cells of `tab_separated_text` from
  // column 0; pieces beyond the last column are dropped. Returns the index of the new row.
  // The current row keeps its index.
  int AddItem(std::string_view tab_separated_text, int row = -1);
  // Removing a fixed row lowers fixed_rows. A current row past the end moves to the last row.
  void RemoveItem(int row);
  // Appends one row per value row, the values placed from `first_col` on as their texts
  // (dates "yyyy-mm-dd" without a time of day, null as the empty text); values beyond the last
  // column are dropped. Redraws once.
  void AppendRows(const std::vector<std::vector<Variant>>& values, int first_col);

  // --- Whole grid ----------------------------------------------------------------------
  int merge_cells() const;
  void set_merge_cells(int setting);
  bool editable() const;
  void set_editable(bool editable);
  bool redraw() const;
  void set_redraw(bool redraw);
  int default_col_width() const { return 960; }
  int default_row_height() const { return 240; }

  // Current cell; -1 when there is none. Setting it fires row_col_change when it moves, and
  // so does a change of size that leaves it outside the grid (it moves to the last data row or
  // column, or to -1 when there is none). Fixed cells may be made current by code.
  int row() const;
  int col() const;
  void set_row(int row);
  void set_col(int col);
  void Select(int row, int col);
  // The selected block of rows runs from the current row to row_sel (a person extends it with
  // a shift-click); moving the current cell makes it that one row again.
  int row_sel() const { return row_sel_; }
  // The visible data rows of the selected block, top to bottom; empty when no data row is
  // current.
  std::vector<int> SelectedRows() const;
  // First scrollable row shown; clamped to [fixed_rows, rows-1].
  int top_row() const;
  void set_top_row(int row);
  int left_col() const;
  void set_left_col(int col);
  // Scrolls as little as needed to bring a cell into view: a row above the top row becomes the
  // top row, and, when the grid has a height (its geometry), a row below the last one shown
  // becomes the last one shown; columns likewise with the left column and the width. Fixed
  // rows and columns are always in view.
  void ShowCell(int row, int col);

  // First row at or after `start_row` (fixed_rows when negative) whose cell in `col` equals the
  // text (ASCII case-insensitive unless `case_sensitive`), or begins with it when `full_match`
  // is false; hidden rows are searched too; -1 when none or `col` is outside the grid.
  int FindRow(std::string_view text, int start_row, int col, bool case_sensitive = false,
              bool full_match = true) const;
  // Finds the row whose RowData equals `data` (numbers compare by value); -1 when none.
  int FindRowByData(const Variant& data, int start_row = 0) const;

  // Sorts the data rows (fixed rows stay) by a column with a sort setting (grid_sort); rows
  // carry their keys, data and formats. The sort is stable and runs between subtotal rows,
  // which stay where they are. Generic sorts put numbers (by value) before texts (by bytes);
  // numeric sorts read each text's leading number. Fires after_sort; kNone does nothing.
  void Sort(int col, int sort_setting);

  // --- Subtotals -----------------------------------------------------------------------
  SubtotalPosition subtotal_position() const;
  void set_subtotal_position(SubtotalPosition position);
  // Removes every subtotal row.
  void ClearSubtotals();
  // Adds subtotal rows (or fills the total column of the subtotal rows already made for the
  // same group column). Groups are runs of consecutive data rows with the same text in
  // `group_on`; each gets a subtotal row below (or above) it whose `group_on` cell holds the
  // caption with "%s" replaced by the group's text, and whose `total_on` cell holds the
  // total. A grand total (group_on -1) puts its caption in column fixed_cols.
  //
  // Outline levels nest as in the host grid: a subtotal row of a lower level (a column further
  // left, -1 outermost) ends the groups of a higher one, and rows of higher levels inside a
  // group are neither totalled nor group breaks. Totals are taken over the cells whose text is
  // a number: kSum, kAverage, kMax, kMin as named, kCount the non-empty cells, kPercent the
  // group's sum as a percentage (x100) of the sum over all data rows; kNone only outlines and
  // kClear is ClearSubtotals. A group with no number gets no average, maximum or minimum.
  // The total's text is FormatNumberVb(total, format), or FormatNumber(total) without a
  // format. Colours (when given) and bold (when set) apply to every cell of the subtotal row.
  // REQUIRES: group_on is -1 or a column; total_on is a column unless the function is kNone.
  void Subtotal(const SubtotalSpec& sum_rule);

  // --- A person's actions ----------------------------------------------------------------
  // Each returns false, doing nothing, when the control cannot act (Control::CanAct) or the
  // cell is outside the grid.
  // Clicks a cell: scrolls it into view (ShowCell) as a person must before clicking it, fires
  // mouse_down (left button, the cell's centre in twips), takes the focus, moves the current
  // cell there (a click on a fixed cell does not move it), then fires click. False for a
  // hidden row or column, which nobody can click.
  bool ClickCell(int row, int col);
  // Shift-clicks a cell: the current row stays and the selected block reaches to `row`.
  bool ShiftClickCell(int row, int col);
  // As a person's double click: the click of ClickCell, then double_click.
  bool DoubleClickCell(int row, int col);
  // Clicks the button a lookup cell shows (the host grid's cell button), the way a person
  // opens the cell's picker: moves to the cell and fires cell_button_click. False, doing
  // nothing, where EditCell would refuse the cell.
  bool ClickCellButton(int row, int col);
  // Edits a cell as a person does: moves to it, fires before_edit (may cancel), sets
  // edit_text, fires validate_edit (may cancel or change edit_text), stores edit_text into
  // the cell and fires after_edit. Returns false when the grid or column is not editable, the
  // cell is fixed or not shown (hidden row or column), the text holds a NUL byte (no person
  // types one), or a handler cancelled; the cell is then unchanged.
  bool EditCell(int row, int col, std::string text);
  // Selects a data row and presses Delete on it, the way a person removes a line; the owning
  // module's key_down handler decides what happens. False for a fixed row.
  bool DeleteRow(int row);
  // Clicks the outline button of a node, as a person opens or closes it: the node toggles
  // between collapsed and open. False for a row that shows no outline button or is not shown.
  bool ClickOutlineButton(int row);
  // The text being edited, during validate_edit.
  const std::string& edit_text() const;
  void set_edit_text(std::string text);

  // --- Events -------------------------------------------------------------------------
  Event<int, int, int, int> row_col_change;      // old row, old col, new row, new col
  Event<int, int, bool&> before_edit;            // row, col, cancel
  Event<int, int, bool&> validate_edit;          // row, col, cancel
  Event<int, int> after_edit;                    // row, col
  Event<int, int> cell_changed;                  // row, col: text set by code or edit
  Event<int&, int&, float&, float&> mouse_down;  // button, shift, x, y
  Event<int> after_sort;                         // col
  Event<int, int> cell_button_click;             // row, col

 private:
  // What few cells carry besides their text.
  struct CellExtras {
    Variant key;
    std::string picture;
    std::optional<std::uint32_t> back_color;
    std::optional<std::uint32_t> fore_color;
    bool bold = false;
  };
  // A list of 100 000 rows holds almost two million cells, nearly all of them a bare text:
  // the rest lives apart, made on first use, so that a cell stays small to make and to free.
  struct Cell {
    std::string text;
    std::unique_ptr<CellExtras> extras;

    Cell() = default;
    Cell(const Cell& other)
        : text(other.text),
          extras(other.extras ? std::make_unique<CellExtras>(*other.extras) : nullptr) {}
    Cell& operator=(const Cell& other) {
      if (this != &other) *this = Cell(other);
      return *this;
    }
    Cell(Cell&&) noexcept = default;
    Cell& operator=(Cell&&) noexcept = default;
    ~Cell() = default;

    CellExtras& Extras() {
      if (!extras) extras = std::make_unique<CellExtras>();
      return *extras;
    }
  };
  struct Column {
    double width = 960;
    bool hidden = false;
    std::string format;
    int data_type = grid_type::kEmpty;
    int alignment = grid_align::kGeneral;
    int sort = grid_sort::kNone;
    bool merge = false;
    bool locked = false;
    std::string key;
  };
  struct Row {
    std::vector<Cell> cells;
    bool hidden = false;
    double height = 240;
    bool merge = false;
    Variant data;
    bool subtotal = false;
    int outline_level = 0;
    bool collapsed = false;
  };

  Cell& At(int row, int col);
  const Cell* Peek(int row, int col) const;
  void CheckRow(int row) const;
  void CheckCol(int col) const;
  Row MakeRow() const;
  // Moves the current cell, firing row_col_change when it really moves.
  void MoveCurrent(int row, int col);
  // Brings a current cell left outside the grid back in after a change of size.
  void ClampCurrent();
  // Where a click at a cell lands, in twips from the grid's top left corner.
  void CellCentre(int row, int col, float& x, float& y) const;
  // The outline changed (rows, nodes, levels or collapsed states): the rows it hides are
  // worked out again when next asked.
  void OutlineChanged() { folds_stale_ = true; }
  // Which rows lie under a collapsed node, worked out once per change of the outline.
  const std::vector<bool>& Folded() const;

  std::vector<Row> rows_;
  std::vector<Column> cols_;
  int fixed_rows_ = 1;
  int fixed_cols_ = 1;
  int frozen_cols_ = 0;
  int merge_cells_ = grid_merge::kNever;
  bool editable_ = false;
  bool redraw_ = true;
  int row_ = -1;
  int row_sel_ = -1;
  int col_ = -1;
  int top_row_ = 1;
  int left_col_ = 1;
  std::string edit_text_;
  SubtotalPosition subtotal_position_ = SubtotalPosition::kBelow;
  mutable std::vector<bool> folded_;
  mutable bool folds_stale_ = true;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_GRID_H_
