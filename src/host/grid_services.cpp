// The host's find, filter and print over a report's grid, asking through the host's dialogs.
#include "host/grid_services.h"

#include <optional>
#include <string>
#include <vector>

#include "host/print_file.h"
#include "values/variant.h"

namespace korvane {
namespace {

constexpr std::string_view kFindTitle = "查找";
constexpr std::string_view kFilterTitle = "过滤";

bool Contains(std::string_view cell_upper, std::string_view wanted_upper) {
  return cell_upper.find(wanted_upper) != std::string_view::npos;
}

std::vector<int> VisibleColumns(const controls::Grid& grid) {
  std::vector<int> cols;
  for (int c = 0; c < grid.cols(); ++c) {
    if (grid.ColIsVisible(c)) cols.push_back(c);
  }
  return cols;
}

}  // namespace

void CollectGridPrint(const controls::Grid& grid, std::string_view heading,
                      PrintDataWriter& writer) {
  const std::vector<int> cols = VisibleColumns(grid);
  PrintDataWriter::Table table;
  std::string subtotal_rows;
  for (int r = 0; r < grid.rows(); ++r) {
    if (!grid.RowIsVisible(r)) continue;
    std::vector<std::string> cells;
    cells.reserve(cols.size());
    for (int c : cols) cells.push_back(grid.DisplayText(r, c));
    if (grid.IsSubtotal(r)) {
      if (!subtotal_rows.empty()) subtotal_rows += ",";
      subtotal_rows += std::to_string(table.size());
    }
    table.push_back(std::move(cells));
  }
  writer.AddValue("heading", heading);
  writer.AddValue("subtotal_rows", subtotal_rows);
  writer.AddTable(grid.name(), std::move(table));
}

bool DialogGridServices::FindInGrid(controls::Grid& grid, int start_col) {
  const std::optional<std::string> answer = dialogs_.InputBox("查找内容：", kFindTitle, find_text_);
  if (!answer || answer->empty()) return false;
  find_text_ = *answer;
  return FindFrom(grid, grid.row(), start_col);
}

bool DialogGridServices::FindNextInGrid(controls::Grid& grid) {
  if (find_text_.empty()) return FindInGrid(grid, grid.col());
  return FindFrom(grid, grid.row(), grid.col());
}

bool DialogGridServices::FindFrom(controls::Grid& grid, int start_row, int start_col) {
  const std::vector<int> cols = VisibleColumns(grid);
  std::vector<int> rows;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (grid.RowIsVisible(r)) rows.push_back(r);
  }
  if (!rows.empty() && !cols.empty()) {
    // The cells in reading order; the search begins after the current cell, or at the start
    // column of the first data row when no data row is current.
    const std::size_t count = rows.size() * cols.size();
    std::size_t begin = 0;
    bool after_current = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] != start_row) continue;
      begin = i * cols.size();
      after_current = true;
      break;
    }
    for (std::size_t j = 0; j < cols.size(); ++j) {
      if (cols[j] >= start_col) {
        begin += j;
        break;
      }
    }
    if (after_current) ++begin;
    const std::string wanted = ToUpperAscii(find_text_);
    for (std::size_t step = 0; step < count; ++step) {
      const std::size_t at = (begin + step) % count;
      const int r = rows[at / cols.size()];
      const int c = cols[at % cols.size()];
      if (!Contains(ToUpperAscii(grid.DisplayText(r, c)), wanted)) continue;
      grid.Select(r, c);
      grid.ShowCell(r, c);
      return true;
    }
  }
  dialogs_.MessageBox("找不到“" + find_text_ + "”！", MsgButtons::kOk, MsgIcon::kInformation,
                      kFindTitle);
  return false;
}

bool DialogGridServices::FilterGrid(controls::Grid& grid, int col) {
  if (col < 0 || col >= grid.cols()) return false;
  const std::string header = grid.rows() > 0 ? grid.TextMatrix(0, col) : std::string();
  const std::optional<std::string> answer =
      dialogs_.InputBox("只显示“" + header + "”包含以下内容的行：", kFilterTitle, "");
  if (!answer) return false;
  const std::string wanted = ToUpperAscii(*answer);
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (grid.IsSubtotal(r)) continue;
    grid.SetRowHidden(r,
                      !wanted.empty() && !Contains(ToUpperAscii(grid.TextMatrix(r, col)), wanted));
  }
  return true;
}

bool DialogGridServices::PrintGrid(const controls::Grid& grid, std::string_view heading,
                                   const std::string& path, GridPrintMode mode) {
  JsonPrintDataWriter writer;
  CollectGridPrint(grid, heading, writer);
  if (!writer.WriteFile(path)) return false;
  last_print_path_ = path;
  last_print_mode_ = mode;
  return true;
}

}  // namespace korvane
