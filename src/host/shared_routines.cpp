// Stored procedures into grids, field names and alignments, periods, control indexes, the
// mouse wheel and the proportional layout.
#include "host/shared_routines.h"

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/data_service.h"
#include "host/settings_files.h"

namespace korvane {
namespace {

using controls::ControlKind;
using controls::Geometry;
using controls::Grid;

constexpr int kAlignLeftCenter = 1;
constexpr int kAlignRightCenter = 7;

// Sets the grid up for the result of a procedure (see gFnRunProc).
void SetUpMergedGrid(Grid& grid, const VariantArray& fields) {
  const int fixed = grid.fixed_cols();
  grid.set_merge_cells(controls::grid_merge::kRestrictRows);
  grid.set_cols(fixed + fields.cols());
  bool leading = true;
  std::vector<int> numeric;
  for (int i = 0; i < fields.cols(); ++i) {
    const int col = fixed + i;
    if (grid.fixed_rows() > 0) grid.SetTextMatrix(0, col, fields.get(0, i).ToText());
    const int alignment = GetColAlignment(fields.get(1, i).ToLong());
    grid.SetColAlignment(col, alignment);
    // The text columns a result begins with (department, name, ...) describe the rows and are
    // merged where they repeat; the figures after them are not.
    if (alignment != kAlignLeftCenter) leading = false;
    grid.SetMergeCol(col, leading);
    if (alignment == kAlignRightCenter) numeric.push_back(col);
  }
  for (int col : numeric) {
    controls::SubtotalSpec sum_rule;
    sum_rule.function = controls::SubtotalFunction::kSum;
    sum_rule.group_on = -1;
    sum_rule.total_on = col;
    sum_rule.back_color = 0xFFFF80;
    sum_rule.bold = true;
    sum_rule.caption = "合计";
    grid.Subtotal(sum_rule);
  }
}

void ReportRunProcError(HostContext& host, std::string_view text) {
  try {
    host.dialogs().MessageBox("gFnRunProc:" + std::string(text), MsgButtons::kOk,
                              MsgIcon::kExclamation, kPromptTitle);
  } catch (...) {
    // Nothing more can be told when the host's dialogs fail.
  }
}

// The four numbers of a Tag written by ProportionalLayout::Record.
std::optional<Geometry> ParseTag(const std::string& tag) {
  if (tag.find(' ') == std::string::npos) return std::nullopt;
  double numbers[4];
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t end = tag.find(' ', start);
    if ((end == std::string::npos) != (i == 3)) return std::nullopt;
    const std::optional<double> value = ParseStoredNumber(std::string_view(tag).substr(
        start, end == std::string::npos ? std::string::npos : end - start));
    if (!value) return std::nullopt;
    numbers[i] = *value;
    start = end + 1;
  }
  return Geometry{numbers[0], numbers[1], numbers[2], numbers[3]};
}

enum class Scaled { kAll, kLeftTopWidth, kLeftTop };

Scaled ScaledValues(const controls::Control& control) {
  switch (control.kind()) {
    case ControlKind::kLine:
      return Scaled::kAll;
    case ControlKind::kComboBox:
    case ControlKind::kTextBox:
    case ControlKind::kDatePicker:
      return Scaled::kLeftTopWidth;
    case ControlKind::kScrollBar:
      return EqualsIgnoreCase(control.type_name(), "VScrollBar") ? Scaled::kLeftTopWidth
                                                                 : Scaled::kAll;
    case ControlKind::kLabel:
    case ControlKind::kCheckBox:
    case ControlKind::kOptionButton:
    case ControlKind::kShape:
      return Scaled::kLeftTop;
    case ControlKind::kButton: {
      const auto* button = dynamic_cast<const controls::Button*>(&control);
      return button == nullptr || button->style() == 0 ? Scaled::kAll : Scaled::kLeftTopWidth;
    }
    default:
      return Scaled::kAll;
  }
}

}  // namespace

bool gFnRunProc(std::string_view procedure, VariantArray& parameters, Grid& grid, bool clear_rows,
                bool merge, HostContext& host) {
  try {
    std::shared_ptr<DataService> data = host.Data();
    if (!data) {
      ReportRunProcError(host, "no data service");
      return false;
    }
    Command command{std::string(procedure), CommandType::kStoredProcedure, {}};
    for (int j = 0; j < parameters.cols(); ++j) {
      command.parameters.push_back(Parameter{parameters.get(1, j).ToText(), parameters.get(0, j),
                                             !parameters.get(2, j).IsBlank()});
    }
    std::unique_ptr<Recordset> result = data->Open(command);
    if (!result) {
      std::string error = data->LastError();
      if (error.empty()) error = "the procedure returned no result";
      ReportRunProcError(host, error);
      return false;
    }
    for (int j = 0; j < parameters.cols() && j < static_cast<int>(command.parameters.size()); ++j) {
      if (command.parameters[static_cast<std::size_t>(j)].output) {
        parameters.at(0, j) = command.parameters[static_cast<std::size_t>(j)].value;
      }
    }

    VariantArray fields;
    sfFieldName(fields, *result, true);
    if (clear_rows) grid.set_rows(grid.fixed_rows());
    if (grid.cols() < grid.fixed_cols() + fields.cols()) {
      grid.set_cols(grid.fixed_cols() + fields.cols());
    }
    // The grid reads the rows where they lie: a large list is not copied twice.
    if (result->RecordCount() > 0) grid.AppendRows(result->Rows(), grid.fixed_cols());
    if (merge) SetUpMergedGrid(grid, fields);
    return true;
  } catch (const std::exception& e) {
    ReportRunProcError(host, e.what());
    return false;
  } catch (...) {
    ReportRunProcError(host, "unknown error");
    return false;
  }
}

bool sfFieldName(VariantArray& out, const Recordset& recordset, bool with_types) {
  const int n = recordset.FieldCount();
  out = VariantArray(with_types ? 2 : 1, n);
  for (int i = 0; i < n; ++i) {
    out.at(0, i) = recordset.Field(i).name;
    if (with_types) out.at(1, i) = recordset.Field(i).type;
  }
  return true;
}

int GetColAlignment(int ado_type) {
  switch (ado_type) {
    case kAdChar:
    case kAdWChar:
    case kAdDBTimeStamp:
    case kAdVarChar:
    case kAdLongVarChar:
    case kAdVarWChar:
    case kAdLongVarWChar:
      return kAlignLeftCenter;
    default:
      return kAlignRightCenter;
  }
}

int SubtractPeriods(int period, int n) {
  // A month outside 1..12 steps back one at a time until it is a real month (at most 99
  // steps); from there whole years are taken at once, so a large n costs nothing.
  for (int step = 0; step < 100 && n > 0 && (period % 100 < 1 || period % 100 > 12); ++step) {
    period -= 1;
    --n;
  }
  if (n < 1) return period;
  if (period % 100 < 1 || period % 100 > 12) {
    // Not a period at all (a negative number): every step just takes one away.
    const long long result = static_cast<long long>(period) - n;
    return result < std::numeric_limits<int>::min() ? std::numeric_limits<int>::min()
                                                    : static_cast<int>(result);
  }
  const long long months = static_cast<long long>(period / 100) * 12 + (period % 100 - 1) - n;
  long long year = months / 12;
  long long month = months % 12;
  if (month < 0) {
    month += 12;
    --year;
  }
  const long long result = year * 100 + month + 1;
  if (result < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(result);
}

int GetIndex(const controls::Control& control) {
  return control.index() < 0 ? -1 : control.index();
}

double ScrollRateFromSetting(std::string_view text) {
  const std::optional<double> rate = ParseStoredNumber(text);
  return rate && *rate != 0 ? *rate : 5.0;
}

int WheelTopRow(int position, double rate, int last_row) {
  const double top = std::trunc((static_cast<double>(position) - 1.0) * rate);
  if (!(top < static_cast<double>(last_row))) return last_row;  // also catches NaN
  if (top < static_cast<double>(std::numeric_limits<int>::min())) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(top);
}

void ApplyWheel(Grid& grid, int position, double rate) {
  try {
    if (grid.rows() <= 0) return;
    grid.set_top_row(WheelTopRow(position, rate, grid.rows() - 1));
  } catch (...) {
    // A wheel notch that cannot scroll is ignored.
  }
}

int AttachWheel(controls::MouseWheel& wheel, Grid& grid, const double& rate) {
  return wheel.wheel.Connect(
      [&grid, rate_ptr = &rate](int position) { ApplyWheel(grid, position, *rate_ptr); });
}

void ProportionalLayout::Record(controls::Form& form) {
  initial_width_ = form.inner_width();
  initial_height_ = form.inner_height();
  for (const auto& control : form.Controls()) {
    const Geometry& g = control->geometry();
    control->set_tag(FormatNumber(g.left) + " " + FormatNumber(g.top) + " " +
                     FormatNumber(g.width) + " " + FormatNumber(g.height));
  }
}

void ProportionalLayout::Apply(controls::Form& form) const {
  if (!recorded() || form.inner_width() <= 0 || form.inner_height() <= 0) return;
  const double rw = form.inner_width() / initial_width_;
  const double rh = form.inner_height() / initial_height_;
  for (const auto& control : form.Controls()) {
    try {
      const std::optional<Geometry> initial = ParseTag(control->tag());
      if (!initial) continue;
      Geometry g = control->geometry();
      g.left = initial->left * rw;
      g.top = initial->top * rh;
      const Scaled scaled = ScaledValues(*control);
      if (scaled != Scaled::kLeftTop) g.width = initial->width * rw;
      if (scaled == Scaled::kAll) g.height = initial->height * rh;
      control->set_geometry(g);
    } catch (...) {
      // A control that refuses its place keeps the one it had.
    }
  }
}

int ProportionalLayout::Attach(controls::Form& form) {
  return form.resize.Connect([this, &form] { Apply(form); });
}

}  // namespace korvane
