// Applying and saving a grid's per-user settings.
#include "host/grid_settings.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane {
namespace {

using controls::Grid;

// Host settings holding the decimal places of the value classes 1 to 8 (class 4 is quantity
// in the second unit and reads setting 12, not 10).
constexpr int kDecimalSettingOfClass[9] = {0, 7, 8, 9, 12, 10, 13, 11, 14};

std::string ColKey(int col) { return "VsCol" + std::to_string(col); }

// Reads one value of the grid's settings through the store, with the suffix applied.
class GridStore {
 public:
  GridStore(ProfileStore& store, std::string suffix) : store_(store), suffix_(std::move(suffix)) {}

  std::string Text(std::string_view attribute, int col, std::string_view default_value) {
    return store_.Read(std::string(attribute) + suffix_, ColKey(col), default_value);
  }
  double Number(std::string_view attribute, int col, double current) {
    return ParseStoredNumber(Text(attribute, col, FormatNumber(current))).value_or(current);
  }
  int Int(std::string_view attribute, int col, int current) {
    return ParseStoredInt(Text(attribute, col, std::to_string(current))).value_or(current);
  }
  // Whether a flag column holds exactly 1.
  bool IsOne(std::string_view attribute, int col, bool current) {
    return ParseStoredInt(Text(attribute, col, current ? "1" : "0")) == 1;
  }
  std::string GridText(std::string_view key, std::string_view default_value) {
    return store_.Read("Vs" + suffix_, key, default_value);
  }
  double GridNumber(std::string_view key, double current) {
    return ParseStoredNumber(GridText(key, FormatNumber(current))).value_or(current);
  }

  bool Write(std::string_view attribute, int col, std::string_view value) {
    return store_.Write(std::string(attribute) + suffix_, ColKey(col), value);
  }
  bool WriteGrid(std::string_view key, std::string_view value) {
    return store_.Write("Vs" + suffix_, key, value);
  }

 private:
  ProfileStore& store_;
  std::string suffix_;
};

// The number format of a column from the stored settings.
void ApplyFormat(GridStore& settings, Grid& grid, int col, HostContext& host) {
  const int type = grid.ColDataType(col);
  const std::string stored = settings.Text("VsColFormat", col, grid.ColFormat(col));
  if (type != controls::grid_type::kEmpty && type != controls::grid_type::kDouble) {
    // A "###" pattern on a column that is not a plain number would show numbers as the
    // pattern; such columns show their values unformatted.
    grid.SetColFormat(col, stored.find("###") != std::string::npos ? std::string() : stored);
    return;
  }
  if (stored.empty()) return;
  const std::string whole = stored.substr(0, stored.find('.'));

  std::optional<int> places;
  const std::string explicit_places = settings.Text("VsColFormat_Xs", col, "");
  if (!explicit_places.empty()) places = ParseStoredInt(explicit_places);
  if (!places) {
    const int value_class = settings.Int("VsColValDataType", col, 0);
    if (value_class < 1 || value_class > 8) {
      grid.SetColFormat(col, stored);
      return;
    }
    // An unset decimal-place setting means no decimals.
    places = ParseStoredInt(host.Setting(kDecimalSettingOfClass[value_class])).value_or(0);
  }
  const int n = std::clamp(*places, 0, 15);
  grid.SetColFormat(col,
                    n == 0 ? whole : whole + "." + std::string(static_cast<std::size_t>(n), '#'));
}

int FirstVisibleColumn(const Grid& grid) {
  for (int c = grid.fixed_cols(); c < grid.cols(); ++c) {
    if (!grid.ColHidden(c) && grid.ColWidth(c) > 0) return c;
  }
  return grid.fixed_cols();
}

// Subtotal rows (group, then total columns) and the grand-total row below everything.
void AddTotals(Grid& grid, const std::vector<int>& groups, const std::vector<int>& totals) {
  grid.ClearSubtotals();
  grid.set_subtotal_position(controls::SubtotalPosition::kBelow);
  const int first_visible = FirstVisibleColumn(grid);

  for (int g : groups) {
    for (int t : totals) {
      controls::SubtotalSpec sum_rule;
      sum_rule.function = controls::SubtotalFunction::kSum;
      sum_rule.group_on = g;
      sum_rule.total_on = t;
      sum_rule.fore_color = kSubtotalForeColor;
      sum_rule.bold = true;
      sum_rule.caption = "%s" + std::string(kSubtotalCaption);
      grid.Subtotal(sum_rule);
    }
  }

  // Tidy the subtotal rows: a single group's label is repeated where the eye starts reading
  // (the first visible column); with several groups each row keeps only its own group's label,
  // so that a row of an inner group does not also show the outer groups' texts.
  if (!groups.empty()) {
    for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
      if (!grid.IsSubtotal(r)) continue;
      if (groups.size() == 1) {
        if (first_visible != groups.front()) {
          grid.SetTextMatrix(r, first_visible, grid.TextMatrix(r, groups.front()));
        }
        continue;
      }
      const int own = grid.RowOutlineLevel(r);
      for (int g : groups) {
        if (g != own) grid.SetTextMatrix(r, g, std::string());
      }
    }
  }

  for (int t : totals) {
    controls::SubtotalSpec sum_rule;
    sum_rule.function = controls::SubtotalFunction::kSum;
    sum_rule.group_on = -1;
    sum_rule.total_on = t;
    sum_rule.back_color = kGrandTotalBackColor;
    sum_rule.bold = true;
    sum_rule.caption = std::string(kGrandTotalCaption);
    grid.Subtotal(sum_rule);
  }
  if (first_visible != grid.fixed_cols() && grid.rows() > grid.fixed_rows()) {
    grid.SetTextMatrix(grid.rows() - 1, first_visible, std::string(kGrandTotalCaption));
  }
}

void ApplyRowHeightsAndFrozen(GridStore& settings, Grid& grid) {
  if (grid.rows() > grid.fixed_rows()) {
    const double height = settings.GridNumber("VsRowHeight", grid.RowHeight(grid.fixed_rows()));
    if (height >= 0) {
      for (int r = grid.fixed_rows(); r < grid.rows(); ++r) grid.SetRowHeight(r, height);
    }
  }
  if (grid.fixed_rows() > 0) {
    const double height = settings.GridNumber("VsFixedRowHeight", grid.RowHeight(0));
    if (height >= 0) {
      for (int r = 0; r < grid.fixed_rows(); ++r) grid.SetRowHeight(r, height);
    }
  }
  const std::optional<int> frozen =
      ParseStoredInt(settings.GridText("VsFixedCols", std::to_string(grid.frozen_cols())));
  if (frozen && *frozen >= 0 && *frozen <= grid.cols() - grid.fixed_cols()) {
    grid.set_frozen_cols(*frozen);
  }
}

}  // namespace

std::string GridSettingsSuffix(const Grid& grid) {
  std::string suffix;
  if (!EqualsIgnoreCase(grid.name(), "Vs")) suffix = "_" + grid.name();
  if (grid.index() != -1) suffix += "_" + std::to_string(grid.index());
  return suffix;
}

bool ApplyGridSettings(std::string_view file_name, Grid& grid, bool widths_only,
                       HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = OpenSettings(file_name, host);
    if (!store) return true;
    const bool existed = store->FileExists();
    GridStore settings(*store, GridSettingsSuffix(grid));

    std::vector<int> groups;
    std::vector<int> totals;
    for (int c = 0; c < grid.cols(); ++c) {
      const double width = grid.ColWidth(c);
      if (settings.IsOne("VsIsHidden", c, width == 0)) {
        grid.SetColWidth(c, 0);
      } else {
        const double stored = settings.Number("VsColWidth", c, width);
        if (stored >= 0) grid.SetColWidth(c, stored);
      }

      if (!widths_only) {
        grid.set_col(c);
        grid.SetColSort(c, settings.Int("VsIsSort", c, 0));
        grid.SetMergeCol(c, settings.IsOne("VsIsColMerge", c, grid.MergeCol(c)));
        grid.SetColDataType(c, settings.Int("VsColDataType", c, grid.ColDataType(c)));
      }

      ApplyFormat(settings, grid, c, host);
      grid.SetColAlignment(c, settings.Int("VsColAlignment", c, grid.ColAlignment(c)));

      if (settings.IsOne("VsIsGroupOn", c, false)) groups.push_back(c);
      if (settings.IsOne("VsIsTotalOn", c, false)) totals.push_back(c);
    }
    if (widths_only) return true;

    if (ParseStoredInt(settings.GridText("VsTotalSave", "0")) == 1) {
      grid.ClearSubtotals();
      grid.set_subtotal_position(controls::SubtotalPosition::kBelow);
    }
    if (!totals.empty()) AddTotals(grid, groups, totals);
    ApplyRowHeightsAndFrozen(settings, grid);

    store.reset();
    if (!existed) SaveGridSettings(file_name, grid, false, host);
    return true;
  } catch (...) {
    return false;
  }
}

bool SaveGridSettings(std::string_view file_name, const Grid& grid, bool widths_only,
                      HostContext& host) {
  try {
    std::unique_ptr<ProfileStore> store = OpenSettings(file_name, host);
    if (!store) return false;
    GridStore settings(*store, GridSettingsSuffix(grid));
    bool ok = true;
    for (int c = 0; c < grid.cols(); ++c) {
      const double width = grid.ColWidth(c);
      ok = settings.Write("VsIsHidden", c, width == 0 ? "1" : "0") && ok;
      if (width > 0) ok = settings.Write("VsColWidth", c, FormatNumber(width)) && ok;
      if (widths_only) continue;
      ok = settings.Write("VsIsColMerge", c, grid.MergeCol(c) ? "1" : "0") && ok;
      ok = settings.Write("VsColDataType", c, std::to_string(grid.ColDataType(c))) && ok;
      ok = settings.Write("VsColFormat", c, grid.ColFormat(c)) && ok;
      ok = settings.Write("VsColAlignment", c, std::to_string(grid.ColAlignment(c))) && ok;
    }
    if (!widths_only) {
      if (grid.rows() > grid.fixed_rows()) {
        ok = settings.WriteGrid("VsRowHeight", FormatNumber(grid.RowHeight(grid.fixed_rows()))) &&
             ok;
      }
      if (grid.fixed_rows() > 0) {
        ok = settings.WriteGrid("VsFixedRowHeight", FormatNumber(grid.RowHeight(0))) && ok;
      }
      ok = settings.WriteGrid("VsFixedCols", std::to_string(grid.frozen_cols())) && ok;
    }
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace korvane
