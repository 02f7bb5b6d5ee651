// The shared list picker: the search-column rule, find and filter over list rows, ticking,
// sorting, the completion of a choice and the common part of a picker's Init.
#include "pickers/list_picker.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "host/data_service.h"
#include "host/grid_settings.h"
#include "host/parameter_set.h"
#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane {
namespace pickers {
namespace {

bool InGrid(const controls::Grid& grid, int col) { return col >= 0 && col < grid.cols(); }

}  // namespace

std::vector<int> ParseSearchColumns(std::string_view list) {
  std::vector<int> columns;
  for (const std::string& piece : Split(Trim(list), ';')) {
    const std::string trimmed = Trim(piece);
    if (!trimmed.empty()) columns.push_back(static_cast<int>(NumericValue(trimmed)));
  }
  return columns;
}

int FindListRow(const controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                bool whole) {
  if (grid.rows() <= grid.fixed_rows()) return -1;
  for (int col : columns) {
    if (!InGrid(grid, col)) continue;
    const int row = grid.FindRow(text, grid.fixed_rows(), col, false, whole);
    if (row >= 0) return row;
  }
  return -1;
}

int FilterListRows(controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                   bool left_match) {
  const int first = grid.fixed_rows();
  for (int row = first; row < grid.rows(); ++row) grid.SetRowHidden(row, false);
  const std::string wanted = ToUpperAscii(text);
  if (!wanted.empty()) {
    for (int row = first; row < grid.rows(); ++row) {
      const bool matches = std::any_of(columns.begin(), columns.end(), [&](int col) {
        if (!InGrid(grid, col)) return false;
        const std::string cell = ToUpperAscii(grid.TextMatrix(row, col));
        return left_match ? cell.starts_with(wanted) : cell.find(wanted) != std::string::npos;
      });
      if (!matches) grid.SetRowHidden(row, true);
    }
  }
  for (int row = first; row < grid.rows(); ++row) {
    if (!grid.RowHidden(row)) return row;
  }
  return -1;
}

}  // namespace pickers

using namespace pickers;

namespace {

constexpr std::string_view kScrollRateQuery =
    "select item_value from xt_accinformation where system_code='system' and "
    "item_code='mouseeventscrollrate'";

}  // namespace

ListPicker::ListPicker(std::string form_name, document::BoxStyle style, int text_column)
    : form_(std::move(form_name)),
      guard_(document::ErrorGuard::Box(std::move(style), [this] { return host_.get(); })),
      text_column_(text_column) {}

ListPicker::~ListPicker() {
  if (wheel_token_ != 0) wheel_.wheel.Disconnect(wheel_token_);
}

void ListPicker::AttachList(const ListControls& list) {
  list_ = list;
  list_.filter->click.Connect([this] { OnFilterBoxClick(); });
  list_.match->click.Connect([this] { RunSearch(); });
  list_.sort->click.Connect([this] { SortByChosenColumn(); });
  list_.search_columns->change.Connect(
      [this] { search_columns_ = ParseSearchColumns(list_.search_columns->text()); });
  search_columns_ = ParseSearchColumns(list_.search_columns->text());
  list_.buttons[0]->click.Connect([this] { CompleteSelection(); });
  list_.buttons[1]->click.Connect([this] { Raise([](PickerEvents& sink) { sink.DoCancel(); }); });
  list_.buttons[3]->click.Connect([this] { TickAll(true); });
  list_.buttons[4]->click.Connect([this] { TickAll(false); });
  ApplyMultipleChoice(false);
}

bool ListPicker::InitList(std::shared_ptr<HostContext> context) {
  if (!context) return false;
  host_ = std::move(context);
  layout_folder_ = SettingsFolder(*host_);
  parameters_ = host_->CreateParameterSet();
  if (!parameters_) parameters_ = std::make_shared<BasicParameterSet>();
  if (wheel_token_ == 0) wheel_token_ = AttachWheel(wheel_, *list_.grid, scroll_rate_);
  std::shared_ptr<DataService> data = host_->Data();
  if (!data) throw std::runtime_error("the host offers no data service");
  scroll_rate_ = ScrollRateFromSetting(data->ScalarSql(kScrollRateQuery).ToText());
  return true;
}

bool ListPicker::Clear() {
  if (parameters_) parameters_->Clear();
  parameters_.reset();
  if (wheel_token_ != 0) wheel_.wheel.Disconnect(wheel_token_);
  wheel_token_ = 0;
  host_.reset();
  return true;
}

void ListPicker::ApplyMultipleChoice(bool multiple) {
  multiple_ = multiple;
  list_.grid->SetColHidden(kTickColumn, !multiple_);
  list_.buttons[3]->set_visible(multiple_);
  list_.buttons[4]->set_visible(multiple_);
}

std::string ListPicker::ParameterText(std::string_view name) const {
  if (!parameters_) return {};
  const std::optional<Variant> item = parameters_->Item(name);
  return item ? Trim(item->ToText()) : std::string();
}

bool ListPicker::HasParameter(std::string_view name) const {
  return parameters_ && parameters_->Exists(name);
}

double ListPicker::ParameterNumber(std::string_view name) const {
  if (!parameters_) return 0;
  const std::optional<Variant> item = parameters_->Item(name);
  if (!item) return 0;
  return item->IsNumber() ? item->ToDouble() : NumericValue(item->ToText());
}

void ListPicker::RunSearch() {
  if (list_.filter->ticked()) {
    DoFilterVs();
  } else {
    DoFindVs();
  }
}

void ListPicker::OnFilterBoxClick() {
  controls::Grid& vs = *list_.grid;
  if (list_.filter->ticked()) {
    list_.match->set_caption(std::string(kLeftMatchCaption));
    DoFilterVs();
  } else {
    list_.match->set_caption(std::string(kWholeMatchCaption));
    for (int r = vs.fixed_rows(); r < vs.rows(); ++r) vs.SetRowHidden(r, false);
    DoFindVs();
  }
}

void ListPicker::DoFindVs() {
  guard_.Run("DoFindVs", [&] {
    controls::Grid& vs = *list_.grid;
    const int row = FindListRow(vs, search_columns_, list_.search->text(), list_.match->ticked());
    if (row < 0) return;
    vs.set_row(row);
    vs.set_top_row(row);
  });
}

void ListPicker::DoFilterVs() {
  guard_.Run("DoFilterVs", [&] {
    controls::Grid& vs = *list_.grid;
    if (DataRows() <= 0) return;
    vs.set_redraw(false);
    const int row =
        FilterListRows(vs, search_columns_, list_.search->text(), list_.match->ticked());
    if (row >= 0) {
      vs.set_row(row);
      vs.set_top_row(row);
    }
    vs.set_redraw(true);
    list_.search->SetFocus();
  });
}

void ListPicker::CompleteSelection() {
  const bool chosen = guard_.Run(
      "CompleteSelection",
      [&] {
        if (!host_) return false;
        controls::Grid& vs = *list_.grid;
        const int row = vs.row();
        if (row >= 0 && row < vs.rows() && vs.RowHidden(row)) return false;
        SaveGridSettings(LayoutFileName(), vs, false, *host_);
        LoadChoice(row);
        if (multiple_) {
          std::string ids;
          std::string texts;
          for (int r = vs.fixed_rows(); r < vs.rows(); ++r) {
            if (vs.TextMatrix(r, kTickColumn).empty()) continue;
            ids +=
                (ids.empty() ? "" : ",") + FormatNumber(NumericValue(vs.TextMatrix(r, kIdColumn)));
            texts += (texts.empty() ? "" : ",") + vs.TextMatrix(r, text_column_);
          }
          value_ = Variant(std::move(ids));
          text_ = std::move(texts);
        }
        return true;
      },
      false);
  if (chosen) Raise([](PickerEvents& sink) { sink.DoSelect(); });
}

void ListPicker::AskSearchColumns() {
  if (!host_) return;
  controls::TextBox& box = *list_.search_columns;
  const std::optional<std::string> answer =
      host_->dialogs().InputBox("请输入欲查询的列(格式: 列1;列2;...列n):", "查找", box.text());
  if (!answer || answer->empty() || *answer == box.text()) return;
  box.set_text(*answer);
  search_columns_ = ParseSearchColumns(*answer);
}

void ListPicker::TickAll(bool ticked) {
  controls::Grid& vs = *list_.grid;
  for (int r = vs.fixed_rows(); r < vs.rows(); ++r) {
    if (vs.TextMatrix(r, kTickAllColumn).empty()) continue;
    vs.SetTextMatrix(r, kTickColumn, ticked ? std::string(kTickMark) : std::string());
  }
}

void ListPicker::ToggleTick(int row) {
  controls::Grid& vs = *list_.grid;
  if (row < vs.fixed_rows() || row >= vs.rows()) return;
  const bool ticked = !vs.TextMatrix(row, kTickColumn).empty();
  vs.SetTextMatrix(row, kTickColumn, ticked ? std::string() : std::string(kTickMark));
}

void ListPicker::SortByChosenColumn() {
  guard_.Run("cbo_Click", [&] {
    controls::ComboBox& sort = *list_.sort;
    if (sort.list_index() < 0) return;
    const Variant col = sort.ItemData();
    if (col.IsBlank()) return;
    controls::Grid& vs = *list_.grid;
    vs.set_redraw(false);
    vs.Sort(col.ToLong(), controls::grid_sort::kStringAscending);
    vs.set_redraw(true);
  });
}

}  // namespace korvane
