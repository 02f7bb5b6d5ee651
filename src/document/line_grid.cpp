// The line grid pieces documents share.
#include "document/line_grid.h"

#include <algorithm>
#include <cmath>

namespace korvane::document {

bool DeletedLines::Add(double line_id) {
  if (!(line_id > 0)) return false;
  text_ += FormatNumber(line_id) + ",";
  return true;
}

std::vector<std::int32_t> DeletedLines::Ids() const {
  std::vector<std::int32_t> ids;
  for (const std::string& piece : Split(text_, ',')) {
    if (Trim(piece).empty()) continue;
    ids.push_back(static_cast<std::int32_t>(std::lround(NumericValue(piece))));
  }
  return ids;
}

std::optional<CellColours> ReadOnlyColours(HostContext& host) {
  const std::string fore = Trim(host.Setting("readonlyforecolor"));
  const std::string back = Trim(host.Setting("readonlybackcolor"));
  if (fore.empty() && back.empty()) return std::nullopt;
  return CellColours{static_cast<std::uint32_t>(NumericValue(fore)),
                     static_cast<std::uint32_t>(NumericValue(back))};
}

void PaintCells(controls::Grid& grid, int first_row, int end_row, std::span<const int> cols,
                const CellColours& colours) {
  for (int r = std::max(first_row, grid.fixed_rows()); r < end_row && r < grid.rows(); ++r) {
    for (int col : cols) {
      grid.SetCellBackColor(r, col, colours.back);
      grid.SetCellForeColor(r, col, colours.fore);
    }
  }
}

std::string DecimalFormat(HostContext& host, int setting) {
  const int places = static_cast<int>(NumericValue(host.Setting(setting)));
  return places > 0 ? "###." + std::string(static_cast<std::size_t>(places), '#') : "###";
}

std::string ShownDate(const Variant& value) {
  const std::optional<DateTime> date = value.ToDate();
  return date ? FormatDate(*date) : std::string();
}

int KeepEntryRow(controls::Grid& grid, const std::function<bool(int row)>& in_use) {
  if (grid.rows() > grid.fixed_rows() && !in_use(grid.rows() - 1)) return -1;
  return grid.AddItem("");
}

void FillRows(controls::Grid& grid, Recordset& lines, const std::function<void(int row)>& fill) {
  const int fixed = grid.fixed_rows();
  grid.set_redraw(false);
  grid.set_rows(fixed + static_cast<int>(lines.RecordCount()));
  int row = fixed;
  for (lines.MoveFirst(); !lines.Eof(); lines.MoveNext()) fill(row++);
  grid.set_redraw(true);
}

std::string SequenceOf(int position) {
  std::string digits = std::to_string(position);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits + "0";
}

std::vector<std::string> CommaList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    items.push_back(Trim(text.substr(start, end - start)));
    start = end + 1;
  }
  return items;
}

}  // namespace korvane::document
