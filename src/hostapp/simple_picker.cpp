// The reference host's list pickers: a find box, a grid of rows and OK / Cancel.
#include "hostapp/simple_picker.h"

#include <utility>

#include "values/variant.h"

namespace korvane::hostapp {

namespace {
constexpr std::string_view kTick = "√";

bool Contains(std::string_view cell, std::string_view wanted_upper) {
  return ToUpperAscii(cell).find(wanted_upper) != std::string::npos;
}
}  // namespace

SimplePicker::SimplePicker(std::string caption, const Recordset& rows, std::string value_field,
                           std::string text_field, bool multiple)
    : multiple_(multiple) {
  form_.set_caption(std::move(caption));
  form_.Add<controls::Label>("lblFind").set_caption("查找");
  find_ = &form_.Add<controls::TextBox>("txtFind");
  vs_ = &form_.Add<controls::Grid>("Vs");
  ok_ = &form_.Add<controls::Button>("cmdOK");
  ok_->set_caption("确定(&O)");
  cancel_ = &form_.Add<controls::Button>("cmdCancel");
  cancel_->set_caption("取消(&C)");

  const int first = first_field_col();
  vs_->set_cols(first + rows.FieldCount());
  vs_->set_rows(1 + static_cast<int>(rows.RecordCount()));
  vs_->set_fixed_rows(1);
  vs_->set_fixed_cols(0);
  if (multiple_) vs_->SetTextMatrix(0, 0, "选择");
  for (int f = 0; f < rows.FieldCount(); ++f) {
    const std::string& name = rows.Field(f).name;
    vs_->SetTextMatrix(0, first + f, name);
    if (EqualsIgnoreCase(name, value_field)) value_col_ = first + f;
    if (EqualsIgnoreCase(name, text_field)) text_col_ = first + f;
  }
  int r = 1;
  for (const Recordset::Row& row : rows.Rows()) {
    for (std::size_t f = 0; f < row.size(); ++f) {
      vs_->SetTextMatrix(r, first + static_cast<int>(f), row[f].ToText());
    }
    ++r;
  }
  if (vs_->rows() > 1) vs_->set_row(1);

  find_->change.Connect([this] { Filter(); });
  find_->key_down.Connect([this](int& key, int) {
    if (key == controls::keys::kReturn) Choose();
    if (key == controls::keys::kEscape) Cancel();
  });
  vs_->key_down.Connect([this](int& key, int) {
    if (key == controls::keys::kReturn) Choose();
    if (key == controls::keys::kEscape) Cancel();
  });
  vs_->click.Connect([this] {
    const int row = vs_->row();
    if (!multiple_ || vs_->col() != 0 || row < 1) return;
    vs_->SetTextMatrix(row, 0, vs_->TextMatrix(row, 0).empty() ? std::string(kTick) : "");
  });
  vs_->double_click.Connect([this] {
    if (!multiple_) Choose();
  });
  ok_->click.Connect([this] { Choose(); });
  cancel_->click.Connect([this] { Cancel(); });
}

void SimplePicker::Filter() {
  const std::string wanted = ToUpperAscii(Trim(find_->text()));
  int first_visible = -1;
  for (int r = 1; r < vs_->rows(); ++r) {
    bool shown = wanted.empty();
    for (int c = first_field_col(); !shown && c < vs_->cols(); ++c) {
      shown = Contains(vs_->TextMatrix(r, c), wanted);
    }
    vs_->SetRowHidden(r, !shown);
    if (shown && first_visible < 0) first_visible = r;
  }
  if (first_visible > 0) vs_->set_row(first_visible);
}

void SimplePicker::Choose() {
  std::string values;
  std::string texts;
  if (multiple_) {
    for (int r = 1; r < vs_->rows(); ++r) {
      if (vs_->TextMatrix(r, 0).empty()) continue;
      values += (values.empty() ? "" : ",") + vs_->TextMatrix(r, value_col_);
      texts += (texts.empty() ? "" : ",") + vs_->TextMatrix(r, text_col_);
    }
  }
  if (values.empty()) {
    const int row = vs_->row();
    if (row < 1 || row >= vs_->rows() || vs_->RowHidden(row)) return;
    values = vs_->TextMatrix(row, value_col_);
    texts = vs_->TextMatrix(row, text_col_);
  }
  Finish(controls::LookupMatch{Variant(values), texts, nullptr});
}

void SimplePicker::Cancel() { Finish(std::nullopt); }

void SimplePicker::Finish(std::optional<controls::LookupMatch> match) {
  if (finished_) return;
  finished_ = true;
  if (finished) finished(std::move(match));
}

}  // namespace korvane::hostapp
