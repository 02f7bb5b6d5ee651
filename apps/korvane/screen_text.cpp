// Forms printed as text: fields, labels, check boxes and grid tables.
#include "screen_text.h"

#include <vector>

#include "controls/basic_controls.h"
#include "controls/lookup_field.h"
#include "table_text.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::cli {

namespace {

bool RowHasData(const controls::Grid& grid, int row) {
  for (int c = grid.fixed_cols(); c < grid.cols(); ++c) {
    if (!Trim(grid.TextMatrix(row, c)).empty()) return true;
  }
  return false;
}

}  // namespace

std::string GridText(const controls::Grid& grid) {
  std::vector<int> rows;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (RowHasData(grid, r)) rows.push_back(r);
  }
  if (rows.empty()) return "(no lines)\n";
  // Hidden columns (keys a module keeps beside its rows) are not on the screen.
  std::vector<int> cols;
  for (int c = 0; c < grid.cols(); ++c) {
    if (grid.ColHidden(c)) continue;
    for (int r : rows) {
      if (!Trim(grid.TextMatrix(r, c)).empty()) {
        cols.push_back(c);
        break;
      }
    }
  }
  std::vector<FieldInfo> fields;
  for (int c : cols) {
    const std::string header = grid.fixed_rows() > 0 ? Trim(grid.TextMatrix(0, c)) : "";
    fields.push_back({header.empty() ? "#" + std::to_string(c) : header, kAdVarWChar});
  }
  std::vector<Recordset::Row> data;
  for (int r : rows) {
    Recordset::Row row;
    for (int c : cols) row.emplace_back(grid.DisplayText(r, c));
    data.push_back(std::move(row));
  }
  std::string table = FormatTable(Recordset(std::move(fields), std::move(data)));
  // The table ends with its row count, which a screen does not show.
  if (const auto last = table.rfind("\n(", table.size() - 2); last != std::string::npos) {
    table.erase(last + 1);
  }
  return table;
}

std::string ScreenText(const controls::Form& form) {
  std::string text = "== " + (form.caption().empty() ? form.name() : form.caption()) + " ==\n";
  std::vector<const controls::Grid*> grids;
  for (const auto& control : form.Controls()) {
    if (!control->visible()) continue;
    if (const auto* grid = dynamic_cast<const controls::Grid*>(control.get())) {
      grids.push_back(grid);
    } else if (const auto* field = dynamic_cast<const controls::LookupField*>(control.get())) {
      text += "  " + field->caption() + ": " + field->text() + "\n";
    } else if (const auto* box = dynamic_cast<const controls::TextBox*>(control.get())) {
      if (!box->text().empty()) text += "  " + control->name() + ": " + box->text() + "\n";
    } else if (const auto* combo = dynamic_cast<const controls::ComboBox*>(control.get())) {
      if (!combo->text().empty()) {
        text += "  " + (control->caption().empty() ? control->name() : control->caption()) + ": " +
                combo->text() + "\n";
      }
    } else if (const auto* check = dynamic_cast<const controls::CheckBox*>(control.get())) {
      text += std::string("  [") + (check->ticked() ? "x" : " ") + "] " + check->caption() + "\n";
    } else if (dynamic_cast<const controls::Label*>(control.get()) != nullptr) {
      if (control->caption().empty()) continue;
      text += "  " + (control->tooltip().empty() ? std::string() : control->tooltip() + ": ") +
              control->caption() + "\n";
    }
  }
  for (const controls::Grid* grid : grids) text += GridText(*grid);
  return text;
}

}  // namespace korvane::cli
