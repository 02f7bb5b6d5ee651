// The grid model: cells, column and row properties, current cell, sorting, subtotals, and the
// host's number display formats.
#include "controls/grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace korvane::controls {
namespace {

constexpr int kDefaultRows = 50;
constexpr int kDefaultCols = 10;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the whole text, blanks around it aside, is one number (sign, digits, one point, an
// exponent). Totals and number formats apply only to such cells: "12kg" is a text.
bool IsNumericText(std::string_view text) {
  const std::string t = Trim(text);
  std::size_t i = 0;
  const std::size_t n = t.size();
  if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
  bool digits = false;
  while (i < n && IsDigit(t[i])) {
    ++i;
    digits = true;
  }
  if (i < n && t[i] == '.') {
    ++i;
    while (i < n && IsDigit(t[i])) {
      ++i;
      digits = true;
    }
  }
  if (!digits) return false;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == n || !IsDigit(t[i])) return false;
    while (i < n && IsDigit(t[i])) ++i;
  }
  return i == n;
}

bool IsTrueText(std::string_view text) {
  const std::string t = Trim(text);
  if (EqualsIgnoreCase(t, "true") || t == "√") return true;
  return IsNumericText(t) && NumericValue(t) != 0.0;
}

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

// --- Number display formats ------------------------------------------------------------------

// The integer and fraction digits of a non-negative finite value rounded half away from zero
// to `places` decimals. The value is first taken to 15 significant digits, which is what the
// person typed or saw, so that binary noise (2.675 held as 2.67499...) does not decide.
void RoundedDigits(double value, int places, std::string& int_digits, std::string& frac_digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  std::string mantissa;
  const char* p = buffer;
  for (; *p != '\0' && *p != 'e'; ++p) {
    if (IsDigit(*p)) mantissa.push_back(*p);
  }
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  const int int_len = exponent + 1;
  std::string digits;
  int point = 0;
  if (int_len <= 0) {
    digits = std::string(Idx(-int_len), '0') + mantissa;
    point = 0;
  } else {
    digits = mantissa;
    if (Idx(int_len) > digits.size()) digits.append(Idx(int_len) - digits.size(), '0');
    point = int_len;
  }
  const std::size_t keep = Idx(point + places);
  const bool round_up = digits.size() > keep && digits[keep] >= '5';
  digits.resize(keep, '0');
  if (round_up) {
    std::size_t i = digits.size();
    bool carry = true;
    while (carry && i > 0) {
      --i;
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        carry = false;
      }
    }
    if (carry) {
      digits.insert(digits.begin(), '1');
      ++point;
    }
  }
  int_digits = digits.substr(0, Idx(point));
  const std::size_t first = int_digits.find_first_not_of('0');
  int_digits = first == std::string::npos ? std::string() : int_digits.substr(first);
  frac_digits = digits.substr(Idx(point));
}

struct FormatToken {
  enum Kind { kIntDigit, kFracDigit, kPoint, kLiteral } kind;
  char placeholder = 0;  // '0' or '#'
  std::string text;      // for literals
};

struct ParsedSection {
  std::vector<FormatToken> tokens;
  int int_places = 0;
  int frac_places = 0;
  bool grouping = false;
  int scale_commas = 0;
  int percents = 0;
};

ParsedSection ParseSection(std::string_view format) {
  ParsedSection s;
  bool seen_point = false;
  std::vector<int> comma_positions;  // integer placeholders seen before each comma
  auto literal = [&s](std::string text) {
    if (!s.tokens.empty() && s.tokens.back().kind == FormatToken::kLiteral) {
      s.tokens.back().text += text;
    } else {
      s.tokens.push_back({FormatToken::kLiteral, 0, std::move(text)});
    }
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') {
      const std::size_t end = format.find('"', i + 1);
      const std::size_t stop = end == std::string_view::npos ? format.size() : end;
      literal(std::string(format.substr(i + 1, stop - i - 1)));
      i = stop;
    } else if (c == '\\') {
      if (i + 1 < format.size()) {
        // Copy the whole next character, which may take several bytes.
        std::size_t len = 1;
        while (i + 1 + len < format.size() &&
               (static_cast<unsigned char>(format[i + 1 + len]) & 0xC0) == 0x80) {
          ++len;
        }
        literal(std::string(format.substr(i + 1, len)));
        i += len;
      }
    } else if (c == '0' || c == '#') {
      if (seen_point) {
        s.tokens.push_back({FormatToken::kFracDigit, c, {}});
        ++s.frac_places;
      } else {
        s.tokens.push_back({FormatToken::kIntDigit, c, {}});
        ++s.int_places;
      }
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      s.tokens.push_back({FormatToken::kPoint, 0, {}});
    } else if (c == ',') {
      if (!seen_point) comma_positions.push_back(s.int_places);
    } else if (c == '%') {
      ++s.percents;
      literal("%");
    } else {
      literal(std::string(1, c));
    }
  }
  for (int before : comma_positions) {
    if (before > 0 && before < s.int_places) {
      s.grouping = true;
    } else if (before > 0 && before == s.int_places) {
      ++s.scale_commas;
    }
  }
  return s;
}

std::string FormatSection(double magnitude, const ParsedSection& s, bool negative) {
  double v = magnitude * std::pow(100.0, s.percents) / std::pow(1000.0, s.scale_commas);
  std::string int_digits;
  std::string frac_digits;
  RoundedDigits(v, s.frac_places, int_digits, frac_digits);

  // Required integer digits: from the first "0" placeholder to the point.
  int required = 0;
  int index = 0;
  for (const FormatToken& t : s.tokens) {
    if (t.kind != FormatToken::kIntDigit) continue;
    if (t.placeholder == '0') {
      required = s.int_places - index;
      break;
    }
    ++index;
  }
  if (int_digits.size() < Idx(required)) {
    int_digits.insert(0, Idx(required) - int_digits.size(), '0');
  }
  // Fraction digits shown: up to the last "0" placeholder always, beyond it without trailing
  // zeros.
  int min_frac = 0;
  index = 0;
  for (const FormatToken& t : s.tokens) {
    if (t.kind != FormatToken::kFracDigit) continue;
    ++index;
    if (t.placeholder == '0') min_frac = index;
  }
  while (frac_digits.size() > Idx(min_frac) && frac_digits.back() == '0') frac_digits.pop_back();

  const bool shows_nonzero = int_digits.find_first_not_of('0') != std::string::npos ||
                             frac_digits.find_first_not_of('0') != std::string::npos;
  const int len = static_cast<int>(int_digits.size());
  std::string out;
  auto emit_int_digit = [&](int pos_from_left) {
    out.push_back(int_digits[Idx(pos_from_left)]);
    const int place = len - 1 - pos_from_left;
    if (s.grouping && place > 0 && place % 3 == 0) out.push_back(',');
  };
  bool int_emitted = false;
  auto emit_leading = [&](int placeholders) {
    // Digits beyond the placeholders all go where the first placeholder stands.
    for (int k = 0; k < len - placeholders; ++k) emit_int_digit(k);
    int_emitted = true;
  };
  int int_index = 0;
  int frac_index = 0;
  for (const FormatToken& t : s.tokens) {
    switch (t.kind) {
      case FormatToken::kIntDigit: {
        if (int_index == 0) emit_leading(s.int_places);
        const int place = s.int_places - 1 - int_index;
        if (place < len) emit_int_digit(len - 1 - place);
        ++int_index;
        break;
      }
      case FormatToken::kPoint:
        if (!int_emitted) emit_leading(0);
        if (!frac_digits.empty()) out.push_back('.');
        break;
      case FormatToken::kFracDigit:
        if (Idx(frac_index) < frac_digits.size()) out.push_back(frac_digits[Idx(frac_index)]);
        ++frac_index;
        break;
      case FormatToken::kLiteral:
        out += t.text;
        break;
    }
  }
  return negative && shows_nonzero ? "-" + out : out;
}

// Splits "positive;negative;zero" at semicolons outside quotes and escapes.
std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && !quoted) {
      ++i;
    } else if (c == ';' && !quoted) {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

}  // namespace

std::string FormatNumberVb(double value, std::string_view format) {
  if (format.empty() || !std::isfinite(value)) return FormatNumber(value);
  if (EqualsIgnoreCase(format, "General Number")) return FormatNumber(value);
  if (EqualsIgnoreCase(format, "Fixed")) return FormatNumberVb(value, "0.00");
  if (EqualsIgnoreCase(format, "Standard")) return FormatNumberVb(value, "#,##0.00");
  if (EqualsIgnoreCase(format, "Percent")) return FormatNumberVb(value, "0.00%");

  std::vector<ParsedSection> sections;
  bool any_placeholder = false;
  for (std::string_view piece : SplitSections(format)) {
    sections.push_back(ParseSection(piece));
    any_placeholder =
        any_placeholder || sections.back().int_places > 0 || sections.back().frac_places > 0;
  }
  if (!any_placeholder) return FormatNumber(value);
  auto usable = [&sections](std::size_t i) {
    return i < sections.size() && !sections[i].tokens.empty();
  };
  if (value < 0 && usable(1)) return FormatSection(-value, sections[1], false);
  if (value == 0 && usable(2)) return FormatSection(0, sections[2], false);
  return FormatSection(std::fabs(value), sections[0], value < 0);
}

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
  if (column.data_type == grid_type::kBoolean) return IsTrueText(cell->text) ? "√" : "";
  if (column.format.empty() || column.data_type == grid_type::kString ||
      !IsNumericText(cell->text)) {
    return cell->text;
  }
  return FormatNumberVb(NumericValue(cell->text), column.format);
}

std::string Grid::CellPicture(int row, int col) const {
  const Cell* cell = Peek(row, col);
  return cell == nullptr || !cell->extras ? std::string() : cell->extras->picture;
}

void Grid::SetCellPicture(int row, int col, std::string picture) {
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
  Changed("row_format");
}

void Grid::SetRowOutlineLevel(int row, int level) {
  CheckRow(row);
  if (rows_[Idx(row)].outline_level == level) return;
  rows_[Idx(row)].outline_level = level;
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
  if (!values.empty()) Changed("rows");
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
  Changed("rows");
  after_sort(col);
}

// --- Subtotals ---------------------------------------------------------------------------------

SubtotalPosition Grid::subtotal_position() const { return subtotal_position_; }

void Grid::set_subtotal_position(SubtotalPosition position) {
  if (position == subtotal_position_) return;
  subtotal_position_ = position;
  Changed("subtotal_position");
}

void Grid::ClearSubtotals() {
  const auto first = rows_.begin() + std::min(fixed_rows_, rows());
  const auto removed = std::remove_if(first, rows_.end(), [](const Row& r) { return r.subtotal; });
  if (removed == rows_.end()) return;
  rows_.erase(removed, rows_.end());
  Changed("rows");
  ClampCurrent();
}

void Grid::Subtotal(const SubtotalSpec& sum_rule) {
  if (sum_rule.function == SubtotalFunction::kClear) {
    ClearSubtotals();
    return;
  }
  const int g = sum_rule.group_on;
  if (g != -1) CheckCol(g);
  if (sum_rule.function != SubtotalFunction::kNone) CheckCol(sum_rule.total_on);
  const bool below = subtotal_position_ == SubtotalPosition::kBelow;

  struct Group {
    int first = 0;  // first and last row it spans, subtotal rows of inner levels included
    int last = 0;
    std::vector<int> data;
    std::string value;
  };
  auto is_break = [this, g](int r) {
    return rows_[Idx(r)].subtotal && rows_[Idx(r)].outline_level <= g;
  };
  std::vector<Group> groups;
  for (int r = fixed_rows_; r < rows();) {
    if (is_break(r)) {
      ++r;
      continue;
    }
    int end = r;
    while (end < rows() && !is_break(end)) ++end;
    // Inner subtotal rows belong to the group of their own data rows: the rows above them
    // when subtotals go below, the rows below them otherwise.
    const std::size_t segment_start = groups.size();
    std::vector<int> pending;
    for (int i = r; i < end; ++i) {
      if (rows_[Idx(i)].subtotal) {
        if (below && groups.size() > segment_start) {
          groups.back().last = i;
        } else {
          pending.push_back(i);
        }
        continue;
      }
      std::string value = g >= 0 ? rows_[Idx(i)].cells[Idx(g)].text : std::string();
      if (groups.size() == segment_start || groups.back().value != value) {
        Group group;
        group.first = pending.empty() ? i : pending.front();
        group.value = std::move(value);
        groups.push_back(std::move(group));
      }
      groups.back().last = i;
      groups.back().data.push_back(i);
      pending.clear();
    }
    if (!pending.empty() && groups.size() > segment_start) groups.back().last = pending.back();
    r = end;
  }

  double grand_sum = 0;
  if (sum_rule.function == SubtotalFunction::kPercent) {
    for (const Group& group : groups) {
      for (int r : group.data) {
        const std::string& text = rows_[Idx(r)].cells[Idx(sum_rule.total_on)].text;
        if (IsNumericText(text)) grand_sum += NumericValue(text);
      }
    }
  }
  auto total_of = [&](const Group& group) -> std::optional<double> {
    double sum = 0;
    int numbers = 0;
    int filled = 0;
    double max = 0;
    double min = 0;
    for (int r : group.data) {
      const std::string& text = rows_[Idx(r)].cells[Idx(sum_rule.total_on)].text;
      if (!text.empty()) ++filled;
      if (!IsNumericText(text)) continue;
      const double v = NumericValue(text);
      max = numbers == 0 ? v : std::max(max, v);
      min = numbers == 0 ? v : std::min(min, v);
      sum += v;
      ++numbers;
    }
    switch (sum_rule.function) {
      case SubtotalFunction::kSum:
        return sum;
      case SubtotalFunction::kPercent:
        return grand_sum == 0 ? 0.0 : sum / grand_sum * 100.0;
      case SubtotalFunction::kCount:
        return filled;
      case SubtotalFunction::kAverage:
        if (numbers == 0) return std::nullopt;
        return sum / numbers;
      case SubtotalFunction::kMax:
        if (numbers == 0) return std::nullopt;
        return max;
      case SubtotalFunction::kMin:
        if (numbers == 0) return std::nullopt;
        return min;
      default:
        return std::nullopt;
    }
  };
  const int caption_col = g >= 0 ? g : fixed_cols_;
  auto caption_for = [&sum_rule](const std::string& value) {
    std::string caption = sum_rule.caption;
    for (std::size_t at = caption.find("%s"); at != std::string::npos;
         at = caption.find("%s", at + value.size())) {
      caption.replace(at, 2, value);
    }
    return caption;
  };

  // Bottom up, so that inserting a row leaves the groups above where they were.
  bool inserted = false;
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
    const Group& group = *it;
    // Totalled before a row goes in above the group, which would shift its data rows.
    const std::optional<double> total = total_of(group);
    const int neighbour = below ? group.last + 1 : group.first - 1;
    int target = 0;
    if (neighbour >= fixed_rows_ && neighbour < rows() && rows_[Idx(neighbour)].subtotal &&
        rows_[Idx(neighbour)].outline_level == g) {
      target = neighbour;  // made by an earlier call for another total column
    } else {
      target = below ? group.last + 1 : group.first;
      Row fresh = MakeRow();
      fresh.subtotal = true;
      fresh.outline_level = g;
      if (caption_col < cols()) fresh.cells[Idx(caption_col)].text = caption_for(group.value);
      rows_.insert(rows_.begin() + target, std::move(fresh));
      inserted = true;
    }
    Row& row = rows_[Idx(target)];
    if (total) {
      row.cells[Idx(sum_rule.total_on)].text =
          sum_rule.format.empty() ? FormatNumber(*total) : FormatNumberVb(*total, sum_rule.format);
    }
    for (Cell& cell : row.cells) {
      if (sum_rule.back_color) cell.Extras().back_color = sum_rule.back_color;
      if (sum_rule.fore_color) cell.Extras().fore_color = sum_rule.fore_color;
      if (sum_rule.bold) cell.Extras().bold = true;
    }
  }
  Changed(inserted ? "rows" : "cells");
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
    if (!RowHidden(r) && (r < fixed_rows_ || r >= top_row())) top += RowHeight(r);
  }
  x = static_cast<float>(left + (ColIsVisible(col) ? ColWidth(col) / 2 : 0));
  y = static_cast<float>(top + (RowHidden(row) ? 0 : RowHeight(row) / 2));
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
      for (int r = 0; r < fixed_rows_; ++r) fixed += RowHidden(r) ? 0 : RowHeight(r);
      const auto size = [this](int r) { return RowHidden(r) ? 0.0 : RowHeight(r); };
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
  if (RowHidden(row) || !ColIsVisible(col)) return false;
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

bool Grid::DoubleClickCell(int row, int col) {
  if (!ClickCell(row, col)) return false;
  double_click();
  return true;
}

bool Grid::ClickCellButton(int row, int col) {
  if (!CanAct() || !editable_ || Peek(row, col) == nullptr) return false;
  if (row < fixed_rows_ || col < fixed_cols_ || ColLocked(col)) return false;
  if (!ColIsVisible(col) || RowHidden(row)) return false;
  ShowCell(row, col);
  SetFocus();
  Select(row, col);
  cell_button_click(row, col);
  return true;
}

bool Grid::EditCell(int row, int col, std::string text) {
  if (!CanAct() || !editable_ || Peek(row, col) == nullptr || HoldsNul(text)) return false;
  if (row < fixed_rows_ || col < fixed_cols_ || ColLocked(col)) return false;
  if (!ColIsVisible(col) || RowHidden(row)) return false;
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

const std::string& Grid::edit_text() const { return edit_text_; }

void Grid::set_edit_text(std::string text) { edit_text_ = std::move(text); }

}  // namespace korvane::controls
