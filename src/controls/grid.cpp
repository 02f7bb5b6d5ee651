// The grid model: cells, column and row properties, current cell and sorting; number formats
// and the planning of subtotal rows live beside it.
#include "controls/grid.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "controls/grid_subtotals.h"

namespace korvane::controls {
namespace {

constexpr int kDefaultRows = 50;
constexpr int kDefaultCols = 10;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// Decodes the code points of UTF-8; a byte that starts no well-formed sequence counts as one
// character of its own.
std::vector<char32_t> CodePoints(std::string_view text) {
  std::vector<char32_t> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 3   ? (lead & 0x07u)
                  : extra == 2 ? (lead & 0x0Fu)
                  : extra == 1 ? (lead & 0x1Fu)
                               : lead;
    bool ok = i + extra < text.size();
    for (std::size_t k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      ok = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3Fu);
    }
    if (!ok) {
      out.push_back(lead);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

// The width a header text needs: the host sizes the columns of a format string to their text,
// so modules pad headers with blanks to widen columns. East Asian characters take two cells.
double TextWidthTwips(std::string_view text) {
  constexpr double kNarrow = 90;
  constexpr double kWide = 180;
  constexpr double kMargin = 120;
  double width = kMargin;
  for (char32_t cp : CodePoints(text)) {
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || cp >= 0x2E80;
    width += wide ? kWide : kNarrow;
  }
  return width;
}

}  // namespace

// --- Grid --------------------------------------------------------------------------------------

Grid::Grid(std::string name, int index, std::string type_name)
    : Control(ControlKind::kGrid, std::move(type_name), std::move(name), index) {
  cols_.resize(Idx(kDefaultCols));
  rows_.assign(Idx(kDefaultRows), MakeRow());
  row_ = fixed_rows_;
  col_ = fixed_cols_;
}

Grid::Row Grid::MakeRow() const {
  Row row;
  row.cells.resize(cols_.size());
  return row;
}

void Grid::CheckRow(int row) const {
  if (row < 0 || row >= rows()) {
    throw std::out_of_range("grid " + name() + ": row " + std::to_string(row) + " outside 0.." +
                            std::to_string(rows() - 1));
  }
}

void Grid::CheckCol(int col) const {
  if (col < 0 || col >= cols()) {
    throw std::out_of_range("grid " + name() + ": column " + std::to_string(col) + " outside 0.." +
                            std::to_string(cols() - 1));
  }
}

Grid::Cell& Grid::At(int row, int col) {
  CheckRow(row);
  CheckCol(col);
  return rows_[Idx(row)].cells[Idx(col)];
}

const Grid::Cell* Grid::Peek(int row, int col) const {
  if (row < 0 || row >= rows() || col < 0 || col >= cols()) return nullptr;
  return &rows_[Idx(row)].cells[Idx(col)];
}

// --- Dimensions --------------------------------------------------------------------------------

int Grid::rows() const { return static_cast<int>(rows_.size()); }

void Grid::set_rows(int rows) {
  if (rows < 0) throw std::out_of_range("grid " + name() + ": negative row count");
  if (rows == this->rows()) return;
  rows_.resize(Idx(rows), MakeRow());
  if (fixed_rows_ > rows) {
    fixed_rows_ = rows;
    Changed("fixed_rows");
  }
  OutlineChanged();
  Changed("rows");
  ClampCurrent();
}

int Grid::cols() const { return static_cast<int>(cols_.size()); }

void Grid::set_cols(int cols) {
  if (cols < 0) throw std::out_of_range("grid " + name() + ": negative column count");
  if (cols == this->cols()) return;
  cols_.resize(Idx(cols));
  for (Row& row : rows_) row.cells.resize(Idx(cols));
  if (fixed_cols_ > cols) {
    fixed_cols_ = cols;
    Changed("fixed_cols");
  }
  Changed("cols");
  ClampCurrent();
}

int Grid::fixed_rows() const { return fixed_rows_; }

void Grid::set_fixed_rows(int n) {
  if (n < 0 || n > rows()) {
    throw std::out_of_range("grid " + name() + ": fixed rows " + std::to_string(n) +
                            " outside 0.." + std::to_string(rows()));
  }
  if (n == fixed_rows_) return;
  fixed_rows_ = n;
  OutlineChanged();
  Changed("fixed_rows");
}

int Grid::fixed_cols() const { return fixed_cols_; }

void Grid::set_fixed_cols(int n) {
  if (n < 0 || n > cols()) {
    throw std::out_of_range("grid " + name() + ": fixed columns " + std::to_string(n) +
                            " outside 0.." + std::to_string(cols()));
  }
  if (n == fixed_cols_) return;
  fixed_cols_ = n;
  Changed("fixed_cols");
}

int Grid::frozen_cols() const { return frozen_cols_; }

void Grid::set_frozen_cols(int n) {
  n = std::max(n, 0);
  if (n == frozen_cols_) return;
  frozen_cols_ = n;
  Changed("frozen_cols");
}

void Grid::SetFormatString(std::string_view format) {
  // Pieces after a ";" name row headers, which no module uses; only the columns are taken.
  const std::string_view columns = format.substr(0, format.find(';'));
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (std::size_t bar = columns.find('|'); bar != std::string_view::npos;
       bar = columns.find('|', start)) {
    pieces.push_back(columns.substr(start, bar - start));
    start = bar + 1;
  }
  pieces.push_back(columns.substr(start));

  set_cols(static_cast<int>(pieces.size()));
  if (rows() == 0) set_rows(1);
  for (std::size_t c = 0; c < pieces.size(); ++c) {
    std::string_view text = pieces[c];
    Column& column = cols_[c];
    if (!text.empty() && (text[0] == '<' || text[0] == '>' || text[0] == '^')) {
      column.alignment = text[0] == '<'   ? grid_align::kLeftCenter
                         : text[0] == '>' ? grid_align::kRightCenter
                                          : grid_align::kCenterCenter;
      text.remove_prefix(1);
    }
    column.width = text.empty() ? default_col_width() : TextWidthTwips(text);
    rows_[0].cells[c].text = std::string(text);
  }
  Changed("columns");
  Changed("cells");
}

// --- Cells -------------------------------------------------------------------------------------

std::string Grid::TextMatrix(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell == nullptr ? std::string() : cell->text;
}

void Grid::SetTextMatrix(int row, int col, std::string text) {
  Cell& cell = At(row, col);
  if (cell.text == text) return;
  cell.text = std::move(text);
  Changed("cells");
  cell_changed(row, col);
}

Variant Grid::CellKey(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell == nullptr || !cell->extras ? Variant() : cell->extras->key;
}

void Grid::SetCellKey(int row, int col, Variant key) {
  At(row, col).Extras().key = std::move(key);
  Changed("cells");
}

std::string Grid::DisplayText(int row, int col) const {
  const Cell* cell = Peek(row, col);
  if (cell == nullptr) return {};
  const Column& column = cols_[Idx(col)];
  return CellDisplayText(cell->text, column.format, column.data_type);
}

std::string Grid::CellPicture(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell == nullptr || !cell->extras ? std::string() : cell->extras->picture;
}

void Grid::SetCellPicture(int row, int col, std::string picture) {
  // Clearing a cell that has no picture leaves it as light as it was.
  if (picture.empty()) {
    const Cell* cell = Peek(row, col);
    CheckRow(row);
    CheckCol(col);
    if (cell == nullptr || !cell->extras) return;
  }
  At(row, col).Extras().picture = std::move(picture);
  Changed("cells");
}

std::optional<std::uint32_t> Grid::CellBackColor(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell == nullptr || !cell->extras ? std::nullopt : cell->extras->back_color;
}

void Grid::SetCellBackColor(int row, int col, std::optional<std::uint32_t> color) {
  At(row, col).Extras().back_color = color;
  Changed("cells");
}

std::optional<std::uint32_t> Grid::CellForeColor(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell == nullptr || !cell->extras ? std::nullopt : cell->extras->fore_color;
}

void Grid::SetCellForeColor(int row, int col, std::optional<std::uint32_t> color) {
  At(row, col).Extras().fore_color = color;
  Changed("cells");
}

bool Grid::CellBold(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell != nullptr && cell->extras && cell->extras->bold;
}

void Grid::SetCellBold(int row, int col, bool bold) {
  At(row, col).Extras().bold = bold;
  Changed("cells");
}

void Grid::ClearCells(int row1, int col1, int row2, int col2) {
  if (row1 > row2) std::swap(row1, row2);
  if (col1 > col2) std::swap(col1, col2);
  CheckRow(row1);
  CheckRow(row2);
  CheckCol(col1);
  CheckCol(col2);
  for (int r = row1; r <= row2; ++r) {
    for (int c = col1; c <= col2; ++c) rows_[Idx(r)].cells[Idx(c)] = Cell{};
  }
  Changed("cells");
}

// --- Columns -----------------------------------------------------------------------------------

namespace {
// Reads a column property, giving a new column's value outside the grid.
template <typename Columns, typename Get>
auto ReadCol(const Columns& cols, int col, Get get) {
  using Column = typename Columns::value_type;
  if (col < 0 || Idx(col) >= cols.size()) return get(Column{});
  return get(cols[Idx(col)]);
}
}  // namespace

double Grid::ColWidth(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.width; });
}

void Grid::SetColWidth(int col, double twips) {
  CheckCol(col);
  // A negative width asks for the default width, as in the host grid.
  if (twips < 0) twips = default_col_width();
  if (cols_[Idx(col)].width == twips) return;
  cols_[Idx(col)].width = twips;
  Changed("columns");
}

bool Grid::ColHidden(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.hidden; });
}

void Grid::SetColHidden(int col, bool hidden) {
  CheckCol(col);
  if (cols_[Idx(col)].hidden == hidden) return;
  cols_[Idx(col)].hidden = hidden;
  Changed("columns");
}

bool Grid::ColIsVisible(int col) const {
  if (col < 0 || col >= cols()) return false;
  const Column& c = cols_[Idx(col)];
  return !c.hidden && c.width >= 1;
}

void Grid::AutoSize(int col) {
  CheckCol(col);
  double widest = 0;
  for (int r = 0; r < rows(); ++r) {
    if (RowIsVisible(r)) widest = std::max(widest, TextWidthTwips(DisplayText(r, col)));
  }
  SetColWidth(col, widest);
}

std::string Grid::ColFormat(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.format; });
}

void Grid::SetColFormat(int col, std::string format) {
  CheckCol(col);
  if (cols_[Idx(col)].format == format) return;
  cols_[Idx(col)].format = std::move(format);
  Changed("columns");
}

int Grid::ColDataType(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.data_type; });
}

void Grid::SetColDataType(int col, int type) {
  CheckCol(col);
  if (cols_[Idx(col)].data_type == type) return;
  cols_[Idx(col)].data_type = type;
  Changed("columns");
}

int Grid::ColAlignment(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.alignment; });
}

void Grid::SetColAlignment(int col, int alignment) {
  CheckCol(col);
  if (cols_[Idx(col)].alignment == alignment) return;
  cols_[Idx(col)].alignment = alignment;
  Changed("columns");
}

int Grid::ColSort(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.sort; });
}

void Grid::SetColSort(int col, int sort) {
  CheckCol(col);
  if (cols_[Idx(col)].sort == sort) return;
  cols_[Idx(col)].sort = sort;
  Changed("columns");
}

bool Grid::MergeCol(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.merge; });
}

void Grid::SetMergeCol(int col, bool merge) {
  CheckCol(col);
  if (cols_[Idx(col)].merge == merge) return;
  cols_[Idx(col)].merge = merge;
  Changed("columns");
}

bool Grid::ColLocked(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.locked; });
}

void Grid::SetColLocked(int col, bool locked) {
  CheckCol(col);
  if (cols_[Idx(col)].locked == locked) return;
  cols_[Idx(col)].locked = locked;
  Changed("columns");
}

std::string Grid::ColKey(int col) const {
  return ReadCol(cols_, col, [](const Column& c) { return c.key; });
}

void Grid::SetColKey(int col, std::string key) {
  CheckCol(col);
  if (cols_[Idx(col)].key == key) return;
  cols_[Idx(col)].key = std::move(key);
  Changed("columns");
}

std::optional<int> Grid::ColIndex(std::string_view key) const {
  if (key.empty()) return std::nullopt;
  for (int c = 0; c < cols(); ++c) {
    if (EqualsIgnoreCase(cols_[Idx(c)].key, key)) return c;
  }
  return std::nullopt;
}

// --- Rows --------------------------------------------------------------------------------------

bool Grid::RowHidden(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.hidden; });
}

bool Grid::RowIsVisible(int row) const {
  if (row < 0 || row >= rows()) return false;
  return !rows_[Idx(row)].hidden && !Folded()[Idx(row)];
}

void Grid::SetRowHidden(int row, bool hidden) {
  CheckRow(row);
  if (rows_[Idx(row)].hidden == hidden) return;
  rows_[Idx(row)].hidden = hidden;
  Changed("row_format");
}

double Grid::RowHeight(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.height; });
}

void Grid::SetRowHeight(int row, double twips) {
  CheckRow(row);
  if (twips < 0) twips = default_row_height();
  if (rows_[Idx(row)].height == twips) return;
  rows_[Idx(row)].height = twips;
  Changed("row_format");
}

bool Grid::MergeRow(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.merge; });
}

void Grid::SetMergeRow(int row, bool merge) {
  CheckRow(row);
  if (rows_[Idx(row)].merge == merge) return;
  rows_[Idx(row)].merge = merge;
  Changed("row_format");
}

Variant Grid::RowData(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.data; });
}

void Grid::SetRowData(int row, Variant data) {
  CheckRow(row);
  rows_[Idx(row)].data = std::move(data);
  Changed("row_format");
}

bool Grid::IsSubtotal(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.subtotal; });
}

int Grid::RowOutlineLevel(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.subtotal ? r.outline_level : 0; });
}

void Grid::SetIsSubtotal(int row, bool subtotal) {
  CheckRow(row);
  if (rows_[Idx(row)].subtotal == subtotal) return;
  rows_[Idx(row)].subtotal = subtotal;
  OutlineChanged();
  Changed("row_format");
}

void Grid::SetRowOutlineLevel(int row, int level) {
  CheckRow(row);
  if (rows_[Idx(row)].outline_level == level) return;
  rows_[Idx(row)].outline_level = level;
  OutlineChanged();
  Changed("row_format");
}

int Grid::AddItem(std::string_view tab_separated_text, int row) {
  if (row == -1) row = rows();
  if (row < 0 || row > rows()) {
    throw std::out_of_range("grid " + name() + ": cannot insert a row at " + std::to_string(row));
  }
  Row fresh = MakeRow();
  std::size_t start = 0;
  for (std::size_t c = 0; c < fresh.cells.size(); ++c) {
    const std::size_t tab = tab_separated_text.find('\t', start);
    fresh.cells[c].text = std::string(tab_separated_text.substr(start, tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  rows_.insert(rows_.begin() + row, std::move(fresh));
  OutlineChanged();
  Changed("rows");
  return row;
}

void Grid::RemoveItem(int row) {
  CheckRow(row);
  rows_.erase(rows_.begin() + row);
  if (row < fixed_rows_) {
    --fixed_rows_;
    Changed("fixed_rows");
  }
  OutlineChanged();
  Changed("rows");
  ClampCurrent();
}

void Grid::AppendRows(const std::vector<std::vector<Variant>>& values, int first_col) {
  if (first_col < 0) throw std::out_of_range("grid " + name() + ": negative first column");
  rows_.reserve(rows_.size() + values.size());
  for (const std::vector<Variant>& line : values) {
    Row fresh = MakeRow();
    for (std::size_t i = 0; i < line.size() && Idx(first_col) + i < fresh.cells.size(); ++i) {
      const Variant& v = line[i];
      fresh.cells[Idx(first_col) + i].text =
          v.type() == VarType::kDate ? FormatDate(v.date()) : v.ToText();
    }
    rows_.push_back(std::move(fresh));
  }
  if (!values.empty()) {
    OutlineChanged();
    Changed("rows");
  }
}

// --- Whole grid --------------------------------------------------------------------------------

int Grid::merge_cells() const { return merge_cells_; }

void Grid::set_merge_cells(int setting) {
  if (setting == merge_cells_) return;
  merge_cells_ = setting;
  Changed("merge_cells");
}

bool Grid::editable() const { return editable_; }

void Grid::set_editable(bool editable) {
  if (editable == editable_) return;
  editable_ = editable;
  Changed("editable");
}

bool Grid::redraw() const { return redraw_; }

void Grid::set_redraw(bool redraw) {
  if (redraw == redraw_) return;
  redraw_ = redraw;
  Changed("redraw");
}

int Grid::row() const { return row_; }
int Grid::col() const { return col_; }

void Grid::MoveCurrent(int row, int col) {
  if (row_sel_ != row) {
    row_sel_ = row;
    Changed("selection");
  }
  if (row == row_ && col == col_) return;
  const int old_row = row_;
  const int old_col = col_;
  row_ = row;
  col_ = col;
  Changed("current_cell");
  row_col_change(old_row, old_col, row_, col_);
}

void Grid::ClampCurrent() {
  int row = row_;
  int col = col_;
  if (row >= rows()) row = rows() > fixed_rows_ ? rows() - 1 : -1;
  if (col >= cols()) col = cols() > fixed_cols_ ? cols() - 1 : -1;
  MoveCurrent(row, col);
}

void Grid::set_row(int row) {
  if (row != -1) CheckRow(row);
  MoveCurrent(row, col_);
}

void Grid::set_col(int col) {
  if (col != -1) CheckCol(col);
  MoveCurrent(row_, col);
}

void Grid::Select(int row, int col) {
  if (row != -1) CheckRow(row);
  if (col != -1) CheckCol(col);
  MoveCurrent(row, col);
}

int Grid::top_row() const {
  return std::clamp(top_row_, fixed_rows_, std::max(fixed_rows_, rows() - 1));
}

void Grid::set_top_row(int row) {
  const int before = top_row();
  top_row_ = row;
  top_row_ = top_row();
  if (top_row_ != before) Changed("top_row");
}

int Grid::left_col() const {
  return std::clamp(left_col_, fixed_cols_, std::max(fixed_cols_, cols() - 1));
}

void Grid::set_left_col(int col) {
  const int before = left_col();
  left_col_ = col;
  left_col_ = left_col();
  if (left_col_ != before) Changed("left_col");
}

int Grid::FindRow(std::string_view text, int start_row, int col, bool case_sensitive,
                  bool full_match) const {
  if (col < 0 || col >= cols()) return -1;
  if (start_row < 0) start_row = fixed_rows_;
  const std::string wanted = case_sensitive ? std::string(text) : ToUpperAscii(text);
  for (int r = start_row; r < rows(); ++r) {
    const std::string& cell = rows_[Idx(r)].cells[Idx(col)].text;
    const std::string have = case_sensitive ? cell : ToUpperAscii(cell);
    if (full_match ? have == wanted : have.starts_with(wanted)) return r;
  }
  return -1;
}

int Grid::FindRowByData(const Variant& data, int start_row) const {
  for (int r = std::max(start_row, 0); r < rows(); ++r) {
    const Variant& have = rows_[Idx(r)].data;
    const bool same =
        have.IsNumber() && data.IsNumber() ? have.ToDouble() == data.ToDouble() : have == data;
    if (same) return r;
  }
  return -1;
}

void Grid::Sort(int col, int sort_setting) {
  CheckCol(col);
  if (sort_setting == grid_sort::kNone) return;
  const bool descending = sort_setting == grid_sort::kGenericDescending ||
                          sort_setting == grid_sort::kNumericDescending ||
                          sort_setting == grid_sort::kStringNoCaseDescending ||
                          sort_setting == grid_sort::kStringDescending;
  // Negative, zero or positive as a comes before, with or after b in ascending order.
  auto compare = [sort_setting, col](const Row& a, const Row& b) -> int {
    const std::string& x = a.cells[Idx(col)].text;
    const std::string& y = b.cells[Idx(col)].text;
    switch (sort_setting) {
      case grid_sort::kNumericAscending:
      case grid_sort::kNumericDescending: {
        const double p = NumericValue(x);
        const double q = NumericValue(y);
        return p < q ? -1 : (q < p ? 1 : 0);
      }
      case grid_sort::kStringNoCaseAscending:
      case grid_sort::kStringNoCaseDescending:
        return ToUpperAscii(x).compare(ToUpperAscii(y));
      case grid_sort::kStringAscending:
      case grid_sort::kStringDescending:
        return x.compare(y);
      default: {
        const bool xn = IsNumericText(x);
        const bool yn = IsNumericText(y);
        if (xn && yn) {
          const double p = NumericValue(x);
          const double q = NumericValue(y);
          return p < q ? -1 : (q < p ? 1 : 0);
        }
        if (xn != yn) return xn ? -1 : 1;
        return x.compare(y);
      }
    }
  };
  auto less = [&compare, descending](const Row& a, const Row& b) {
    const int c = compare(a, b);
    return descending ? c > 0 : c < 0;
  };
  // Runs of data rows between subtotal rows are sorted each on their own.
  int r = fixed_rows_;
  while (r < rows()) {
    if (rows_[Idx(r)].subtotal) {
      ++r;
      continue;
    }
    int end = r;
    while (end < rows() && !rows_[Idx(end)].subtotal) ++end;
    std::stable_sort(rows_.begin() + r, rows_.begin() + end, less);
    r = end;
  }
  OutlineChanged();
  Changed("rows");
  after_sort(col);
}

// --- Subtotals ---------------------------------------------------------------------------------

SubtotalPosition Grid::subtotal_position() const { return subtotal_position_; }

void Grid::set_subtotal_position(SubtotalPosition position) {
  if (position == subtotal_position_) return;
  subtotal_position_ = position;
  OutlineChanged();
  Changed("subtotal_position");
}

void Grid::ClearSubtotals() {
  const auto first = rows_.begin() + std::min(fixed_rows_, rows());
  const auto removed = std::remove_if(first, rows_.end(), [](const Row& r) { return r.subtotal; });
  if (removed == rows_.end()) return;
  rows_.erase(removed, rows_.end());
  OutlineChanged();
  Changed("rows");
  ClampCurrent();
}

void Grid::Subtotal(const SubtotalSpec& sum_rule) {
  if (sum_rule.function == SubtotalFunction::kClear) {
    ClearSubtotals();
    return;
  }
  if (sum_rule.group_on != -1) CheckCol(sum_rule.group_on);
  if (sum_rule.function != SubtotalFunction::kNone) CheckCol(sum_rule.total_on);
  const SubtotalPlan plan = PlanSubtotals(*this, sum_rule);
  bool inserted = false;
  for (const SubtotalPlacement& placement : plan.placements) {
    if (placement.fresh) {
      Row fresh = MakeRow();
      fresh.subtotal = true;
      fresh.outline_level = sum_rule.group_on;
      if (plan.caption_col < cols()) fresh.cells[Idx(plan.caption_col)].text = placement.caption;
      rows_.insert(rows_.begin() + placement.row, std::move(fresh));
      inserted = true;
    }
    Row& row = rows_[Idx(placement.row)];
    if (placement.total) row.cells[Idx(sum_rule.total_on)].text = *placement.total;
    for (Cell& cell : row.cells) {
      if (sum_rule.back_color) cell.Extras().back_color = sum_rule.back_color;
      if (sum_rule.fore_color) cell.Extras().fore_color = sum_rule.fore_color;
      if (sum_rule.bold) cell.Extras().bold = true;
    }
  }
  if (inserted) OutlineChanged();
  Changed(inserted ? "rows" : "cells");
}

// --- Outline -----------------------------------------------------------------------------------

bool Grid::IsCollapsed(int row) const {
  return ReadCol(rows_, row, [](const Row& r) { return r.subtotal && r.collapsed; });
}

void Grid::SetIsCollapsed(int row, bool collapsed) {
  CheckRow(row);
  Row& node = rows_[Idx(row)];
  if (!node.subtotal || node.collapsed == collapsed) return;
  node.collapsed = collapsed;
  OutlineChanged();
  Changed("row_format");
}

void Grid::Outline(int level) {
  bool changed = false;
  for (int r = fixed_rows_; r < rows(); ++r) {
    Row& row = rows_[Idx(r)];
    if (!row.subtotal) continue;
    const bool collapsed = row.outline_level > level;
    changed = changed || row.collapsed != collapsed;
    row.collapsed = collapsed;
  }
  if (!changed) return;
  OutlineChanged();
  Changed("row_format");
}

bool Grid::HasOutlineButton(int row) const {
  if (row < fixed_rows_ || row >= rows() || !rows_[Idx(row)].subtotal) return false;
  const int level = rows_[Idx(row)].outline_level;
  const int step = subtotal_position_ == SubtotalPosition::kAbove ? 1 : -1;
  const int next = row + step;
  if (next < fixed_rows_ || next >= rows()) return false;
  const Row& owned = rows_[Idx(next)];
  return !owned.subtotal || owned.outline_level > level;
}

const std::vector<bool>& Grid::Folded() const {
  if (!folds_stale_ && folded_.size() == rows_.size()) return folded_;
  folded_.assign(rows_.size(), false);
  folds_stale_ = false;
  // The nodes a row lies under, outermost first: a node's rows end at the next node of its own
  // or a lower level. Walked from the side the nodes own their rows from.
  struct Open {
    int level;
    bool collapsed;
  };
  std::vector<Open> open;
  int collapsed_open = 0;
  const bool above = subtotal_position_ == SubtotalPosition::kAbove;
  const int first = std::min(fixed_rows_, rows());
  const int count = rows() - first;
  for (int i = 0; i < count; ++i) {
    const int r = above ? first + i : rows() - 1 - i;
    const Row& row = rows_[Idx(r)];
    if (row.subtotal) {
      while (!open.empty() && open.back().level >= row.outline_level) {
        collapsed_open -= open.back().collapsed ? 1 : 0;
        open.pop_back();
      }
    }
    folded_[Idx(r)] = collapsed_open > 0;
    if (row.subtotal) {
      open.push_back({row.outline_level, row.collapsed});
      collapsed_open += row.collapsed ? 1 : 0;
    }
  }
  return folded_;
}

// --- A person's actions ------------------------------------------------------------------------

void Grid::CellCentre(int row, int col, float& x, float& y) const {
  // Scrolled-off rows and columns (between the fixed ones and the top row or left column)
  // take no room; hidden ones neither.
  double left = 0;
  for (int c = 0; c < col; ++c) {
    if (ColIsVisible(c) && (c < fixed_cols_ || c >= left_col())) left += ColWidth(c);
  }
  double top = 0;
  for (int r = 0; r < row; ++r) {
    if (RowIsVisible(r) && (r < fixed_rows_ || r >= top_row())) top += RowHeight(r);
  }
  x = static_cast<float>(left + (ColIsVisible(col) ? ColWidth(col) / 2 : 0));
  y = static_cast<float>(top + (!RowIsVisible(row) ? 0 : RowHeight(row) / 2));
}

void Grid::ShowCell(int row, int col) {
  // The band of scrollable rows (or columns) in view from `first` on, within `room` twips.
  const auto last_in_view = [](int first, int count, double room, auto&& size) {
    int last = first;
    for (double used = 0; last < count; ++last) {
      used += size(last);
      if (used > room) break;
    }
    return std::max(first, last - 1);
  };
  if (row >= fixed_rows_ && row < rows()) {
    if (row < top_row()) {
      set_top_row(row);
    } else if (const double height = geometry().height; height > 0) {
      double fixed = 0;
      for (int r = 0; r < fixed_rows_; ++r) fixed += RowIsVisible(r) ? RowHeight(r) : 0;
      const auto size = [this](int r) { return RowIsVisible(r) ? RowHeight(r) : 0.0; };
      // Scroll down a row at a time until the row fits below the fixed ones.
      while (top_row() < row && row > last_in_view(top_row(), rows(), height - fixed, size)) {
        set_top_row(top_row() + 1);
      }
    }
  }
  if (col >= fixed_cols_ && col < cols()) {
    if (col < left_col()) {
      set_left_col(col);
    } else if (const double width = geometry().width; width > 0) {
      double fixed = 0;
      for (int c = 0; c < fixed_cols_; ++c) fixed += ColIsVisible(c) ? ColWidth(c) : 0;
      const auto size = [this](int c) { return ColIsVisible(c) ? ColWidth(c) : 0.0; };
      while (left_col() < col && col > last_in_view(left_col(), cols(), width - fixed, size)) {
        set_left_col(left_col() + 1);
      }
    }
  }
}

bool Grid::ClickCell(int row, int col) {
  if (!CanAct() || Peek(row, col) == nullptr) return false;
  if (!RowIsVisible(row) || !ColIsVisible(col)) return false;
  ShowCell(row, col);
  int button = 1;
  int shift = 0;
  float x = 0;
  float y = 0;
  CellCentre(row, col, x, y);
  mouse_down(button, shift, x, y);
  SetFocus();
  if (row >= fixed_rows_ && col >= fixed_cols_) Select(row, col);
  click();
  return true;
}

bool Grid::ShiftClickCell(int row, int col) {
  if (!CanAct() || Peek(row, col) == nullptr) return false;
  if (!RowIsVisible(row) || !ColIsVisible(col)) return false;
  ShowCell(row, col);
  int button = 1;
  int shift = 1;
  float x = 0;
  float y = 0;
  CellCentre(row, col, x, y);
  mouse_down(button, shift, x, y);
  SetFocus();
  if (row >= fixed_rows_ && col >= fixed_cols_) {
    if (row_ < fixed_rows_) {
      Select(row, col);
    } else if (row_sel_ != row) {
      row_sel_ = row;
      Changed("selection");
    }
  }
  click();
  return true;
}

std::vector<int> Grid::SelectedRows() const {
  std::vector<int> out;
  if (row_ < fixed_rows_ || row_ >= rows()) return out;
  const int last = std::clamp(row_sel_, fixed_rows_, rows() - 1);
  for (int r = std::min(row_, last); r <= std::max(row_, last); ++r) {
    if (RowIsVisible(r)) out.push_back(r);
  }
  return out;
}

bool Grid::DoubleClickCell(int row, int col) {
  if (!ClickCell(row, col)) return false;
  double_click();
  return true;
}

bool Grid::ClickCellButton(int row, int col) {
  if (!CanAct() || !editable_ || Peek(row, col) == nullptr) return false;
  if (row < fixed_rows_ || col < fixed_cols_ || ColLocked(col)) return false;
  if (!ColIsVisible(col) || !RowIsVisible(row)) return false;
  ShowCell(row, col);
  SetFocus();
  Select(row, col);
  cell_button_click(row, col);
  return true;
}

bool Grid::EditCell(int row, int col, std::string text) {
  if (!CanAct() || !editable_ || Peek(row, col) == nullptr || HoldsNul(text)) return false;
  if (row < fixed_rows_ || col < fixed_cols_ || ColLocked(col)) return false;
  if (!ColIsVisible(col) || !RowIsVisible(row)) return false;
  SetFocus();
  Select(row, col);
  bool cancel = false;
  before_edit(row, col, cancel);
  if (cancel) return false;
  edit_text_ = std::move(text);
  validate_edit(row, col, cancel);
  if (cancel) return false;
  // A handler may have resized the grid while the edit was open.
  if (Peek(row, col) == nullptr) return false;
  SetTextMatrix(row, col, edit_text_);
  after_edit(row, col);
  return true;
}

bool Grid::DeleteRow(int row) {
  if (!CanAct() || row < fixed_rows_ || row >= rows()) return false;
  set_row(row);
  return PressKey(keys::kDelete);
}

bool Grid::ClickOutlineButton(int row) {
  if (!CanAct() || !HasOutlineButton(row) || !RowIsVisible(row)) return false;
  ShowCell(row, fixed_cols_);
  SetFocus();
  SetIsCollapsed(row, !IsCollapsed(row));
  return true;
}

const std::string& Grid::edit_text() const { return edit_text_; }

void Grid::set_edit_text(std::string text) { edit_text_ = std::move(text); }

}  // namespace korvane::controls
