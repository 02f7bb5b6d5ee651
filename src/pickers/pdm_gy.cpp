// The employee picker: its form, the department and employee lists, find and filter, ticking,
// the choice and the lookup of a typed number or name.
#include "pickers/pdm_gy.h"

#include <algorithm>
#include <cctype>
#include <exception>
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

bool IsWholeNumber(std::string_view text) {
  std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

bool IsDataRowShown(const controls::Grid& grid, int row) { return !grid.RowHidden(row); }

}  // namespace

std::vector<int> ParseSearchColumns(std::string_view list) {
  std::vector<int> columns;
  for (const std::string& piece : Split(Trim(list), ';')) {
    const std::string trimmed = Trim(piece);
    if (trimmed.empty() || !std::isdigit(static_cast<unsigned char>(trimmed[0]))) continue;
    columns.push_back(static_cast<int>(NumericValue(trimmed)));
  }
  return columns;
}

std::string SafeInList(std::string_view list) {
  std::string out;
  for (const std::string& piece : Split(list, ',')) {
    std::string item = Trim(piece);
    if (item.empty()) continue;
    if (!IsWholeNumber(item)) {
      if (item.size() >= 2 && item.front() == '\'' && item.back() == '\'') {
        item = item.substr(1, item.size() - 2);
      }
      item = SqlQuote(item);
    }
    if (!out.empty()) out += ',';
    out += item;
  }
  return out;
}

int FindListRow(const controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                bool whole) {
  if (grid.rows() <= grid.fixed_rows()) return -1;
  for (int col : columns) {
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
        const std::string cell = ToUpperAscii(grid.TextMatrix(row, col));
        return left_match ? cell.starts_with(wanted) : cell.find(wanted) != std::string::npos;
      });
      if (!matches) grid.SetRowHidden(row, true);
    }
  }
  for (int row = first; row < grid.rows(); ++row) {
    if (IsDataRowShown(grid, row)) return row;
  }
  return -1;
}

}  // namespace pickers

namespace {

using namespace pickers;
namespace keys = controls::keys;

constexpr std::string_view kSettingsFile = "pdmgy";
constexpr std::string_view kScrollRateQuery =
    "select item_value from xt_accinformation where system_code='system' and "
    "item_code='mouseeventscrollrate'";

struct ColumnSpec {
  std::string_view header;
  double width;  // 0: the grid's default
  int alignment;
  bool hidden;
};

// The list grid's columns; the tick column shows only in multiple-choice mode.
constexpr ColumnSpec kColumns[kGyColCount] = {
    {"选择", 400, controls::grid_align::kCenterCenter, true},
    {"职工ID", 0, controls::grid_align::kGeneral, true},
    {"编号", 1000, controls::grid_align::kLeftCenter, false},
    {"姓名", 1800, controls::grid_align::kLeftCenter, false},
    {"性别", 500, controls::grid_align::kGeneral, false},
    {"身份证号", 1800, controls::grid_align::kLeftCenter, false},
    {"部门ID", 0, controls::grid_align::kGeneral, true},
    {"公司组织", 0, controls::grid_align::kLeftCenter, false},
};

}  // namespace

template <typename Body>
bool pdmgy::Guard(Body&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    ShowError(e.what());  // the description alone, no routine name
  } catch (...) {
    ShowError("unknown error");
  }
  return false;
}

pdmgy::pdmgy() : form_("pdmgy") { SetUpForm(); }

pdmgy::~pdmgy() = default;

void pdmgy::SetUpForm() {
  using controls::Geometry;
  form_.SetInnerSize(9600, 6000);
  form_.set_key_preview(true);
  const auto label = [&](int index, std::string caption, double left) {
    auto& l = form_.Add<controls::Label>("Lbl", index);
    l.set_caption(std::move(caption));
    l.set_geometry(Geometry{left, 120, 1000, 240});
  };
  label(0, "查询(&B):", 120);
  txt_search_ = &form_.Add<controls::TextBox>("Txt", 0);
  txt_search_->set_geometry(Geometry{1120, 80, 1800, 300});
  label(1, "公司组织(&T):", 3050);
  cmb_ = &form_.Add<controls::ComboBox>("Cmb");
  cmb_->set_geometry(Geometry{4100, 80, 1800, 300});
  label(2, "排序列(&S):", 6050);
  cbo_ = &form_.Add<controls::ComboBox>("cbo");
  cbo_->set_geometry(Geometry{7100, 80, 1300, 300});
  check_ = &form_.Add<controls::CheckBox>("Check");
  check_->set_caption("过滤");
  check_->set_geometry(Geometry{120, 480, 800, 240});
  chk_find_ = &form_.Add<controls::CheckBox>("ChkFind");
  chk_find_->set_caption(std::string(kWholeMatchCaption));
  chk_find_->set_geometry(Geometry{1000, 480, 1400, 240});
  txt_columns_ = &form_.Add<controls::TextBox>("Txt", 1);
  txt_columns_->set_text(std::string(kInitialGySearchColumns));
  txt_columns_->set_geometry(Geometry{2500, 460, 1200, 300});
  vs_ = &form_.Add<controls::Grid>("Vs", -1, "VSFlexGrid");
  vs_->set_geometry(Geometry{120, 840, 9360, 4500});
  static constexpr std::string_view kButtonCaptions[] = {"确定", "取消", "刷新", "全选", "全清"};
  for (int i = 0; i < 5; ++i) {
    auto& b = form_.Add<controls::Button>("btn", i);
    b.set_caption(std::string(kButtonCaptions[i]));
    b.set_geometry(Geometry{120 + 1000.0 * i, 5460, 900, 360});
    btn_.push_back(&b);
  }
  btn_[3]->set_visible(false);
  btn_[4]->set_visible(false);
  layout_.Record(form_);
  layout_.Attach(form_);

  txt_search_->set_tooltip("提示：按回车键选择完毕！");
  txt_search_->change.Connect([this] {
    if (loading_) RunSearch();
  });
  txt_search_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != keys::kReturn) return;
    key = 0;
    if (!multiple_) CompleteSelection();
  });
  txt_columns_->change.Connect(
      [this] { search_columns_ = ParseSearchColumns(txt_columns_->text()); });
  search_columns_ = ParseSearchColumns(txt_columns_->text());
  cmb_->click.Connect([this] {
    if (loading_)
      Guard([&] {
        LoadData();
        return true;
      });
  });
  cbo_->click.Connect([this] { SortByChosenColumn(); });
  check_->click.Connect([this] {
    if (check_->ticked()) {
      chk_find_->set_caption(std::string(kLeftMatchCaption));
      DoFilterVs();
    } else {
      chk_find_->set_caption(std::string(kWholeMatchCaption));
      for (int row = vs_->fixed_rows(); row < vs_->rows(); ++row) vs_->SetRowHidden(row, false);
      DoFindVs();
    }
  });
  chk_find_->click.Connect([this] { RunSearch(); });
  vs_->double_click.Connect([this] {
    if (!multiple_) CompleteSelection();
  });
  vs_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != keys::kReturn) return;
    key = 0;
    if (!multiple_) CompleteSelection();
  });
  vs_->click.Connect([this] {
    const int row = vs_->row();
    if (!multiple_ || row < vs_->fixed_rows() || row >= vs_->rows()) return;
    const bool ticked = !vs_->TextMatrix(row, kGyColTick).empty();
    vs_->SetTextMatrix(row, kGyColTick, ticked ? std::string() : std::string(kTickMark));
  });
  btn_[0]->click.Connect([this] { CompleteSelection(); });
  btn_[1]->click.Connect([this] { Raise([](PickerEvents& sink) { sink.DoCancel(); }); });
  btn_[2]->click.Connect([this] {
    Guard([&] {
      LoadData();
      return true;
    });
  });
  btn_[3]->click.Connect([this] { TickAll(true); });
  btn_[4]->click.Connect([this] { TickAll(false); });
  form_.key_down.Connect([this](int& key, int shift) { OnKeyDown(key, shift); });

  InitVsControl();
}

void pdmgy::InitVsControl() {
  vs_->set_cols(kGyColCount);
  vs_->set_rows(1);
  vs_->set_fixed_rows(1);
  vs_->set_fixed_cols(0);
  vs_->set_tooltip("提示：双击或按回车键选择完毕！");
  for (int c = 0; c < kGyColCount; ++c) {
    const ColumnSpec& column = kColumns[c];
    vs_->SetTextMatrix(0, c, std::string(column.header));
    if (column.width > 0) vs_->SetColWidth(c, column.width);
    vs_->SetColAlignment(c, column.alignment);
    vs_->SetColHidden(c, column.hidden);
  }
  cbo_->Clear();
  for (int c = 0; c < kGyColCount; ++c) {
    if (!kColumns[c].hidden) cbo_->AddItem(std::string(kColumns[c].header), Variant(c));
  }
}

void pdmgy::ShowError(std::string_view description) {
  if (!host_) return;  // with no host there is nobody to tell
  host_->dialogs().MessageBox(description, MsgButtons::kOk, MsgIcon::kCritical, kErrorTitle);
}

bool pdmgy::HasParameter(std::string_view name) const {
  return parameters_ && parameters_->Exists(name);
}

std::string pdmgy::ParameterText(std::string_view name) const {
  if (!parameters_) return {};
  const std::optional<Variant> item = parameters_->Item(name);
  return item ? Trim(item->ToText()) : std::string();
}

double pdmgy::ParameterNumber(std::string_view name) const {
  if (!parameters_) return 0;
  const std::optional<Variant> item = parameters_->Item(name);
  if (!item) return 0;
  return item->IsNumber() ? item->ToDouble() : NumericValue(item->ToText());
}

bool pdmgy::Init(std::shared_ptr<HostContext> context, std::int32_t /*progid*/,
                 std::string_view /*parameter_text*/) {
  if (!context) return false;
  host_ = std::move(context);
  return Guard([&] {
    layout_folder_ = host_->User().local_folder;
    if (!layout_folder_.empty() && layout_folder_.back() != '\\' && layout_folder_.back() != '/') {
      layout_folder_ += '\\';
    }
    layout_folder_ += "selfbb";
    SettingsPath(kSettingsFile, *host_);  // creates the folder

    parameters_ = host_->CreateParameterSet();
    if (!parameters_) parameters_ = std::make_shared<BasicParameterSet>();
    record_ = std::make_shared<clsGY>();
    if (wheel_token_ == 0) wheel_token_ = AttachWheel(wheel_, *vs_, scroll_rate_);

    std::shared_ptr<DataService> data = host_->Data();
    if (!data) throw std::runtime_error("the host offers no data service");
    scroll_rate_ = ScrollRateFromSetting(data->ScalarSql(kScrollRateQuery).ToText());

    InitVsControl();
    ApplyGridSettings(kSettingsFile, *vs_, false, *host_);
    loading_ = false;
    LoadDepartments();
    loading_ = true;
    search_columns_ = ParseSearchColumns(txt_columns_->text());
    return true;
  });
}

bool pdmgy::Clear() {
  if (parameters_) parameters_->Clear();
  parameters_.reset();
  record_.reset();
  if (wheel_token_ != 0) wheel_.wheel.Disconnect(wheel_token_);
  wheel_token_ = 0;
  host_.reset();
  return true;
}

void pdmgy::SetParameters(std::shared_ptr<ParameterSet> parameters) {
  parameters_ = std::move(parameters);
}

bool pdmgy::RunProcedure(std::string_view name, std::vector<Parameter> parameters,
                         Recordset& rows) {
  std::shared_ptr<DataService> data = host_->Data();
  if (!data) throw std::runtime_error("the host offers no data service");
  Command command{std::string(name), CommandType::kStoredProcedure, std::move(parameters)};
  std::unique_ptr<Recordset> result = data->Open(command);
  if (!result) {
    const std::string error = data->LastError();
    host_->dialogs().MessageBox(error.empty() ? std::string(name) : error, MsgButtons::kOk,
                                MsgIcon::kExclamation, kPromptTitle);
    return false;
  }
  rows = std::move(*result);
  return true;
}

void pdmgy::LoadDepartments() {
  const std::string types = ParameterText("组织类型");
  Recordset rows;
  const bool ok = RunProcedure("p_PDM_BM_SELECT", {{"@组织类型", Variant(types)}}, rows);
  loaded_types_ = types;
  cmb_->Clear();
  cmb_->AddItem(std::string(kAllItems), Variant(-1));
  if (ok) {
    for (const Recordset::Row& row : rows.Rows()) {
      if (row.size() < 2) continue;
      cmb_->AddItem(Trim(row[1].ToText()), Variant(row[0].ToLong()));
    }
  }
  cmb_->set_list_index(0);
}

void pdmgy::LoadData() {
  if (!host_) return;
  std::int32_t department = -1;
  if (Trim(cmb_->text()) != kAllItems) {
    // A department name the list does not hold lists nobody rather than everybody.
    department = cmb_->list_index() >= 0 ? cmb_->ItemData().ToLong() : 0;
  }
  vs_->set_redraw(false);
  vs_->set_rows(vs_->fixed_rows());
  Recordset rows;
  if (RunProcedure(
          "p_PDM_GY_SELECT",
          {{"@部门ID", Variant(department)}, {"@组织类型", Variant(ParameterText("组织类型"))}},
          rows)) {
    vs_->AppendRows(rows.Rows(), 0);
  }
  vs_->set_redraw(true);
  if (vs_->rows() > vs_->fixed_rows()) vs_->Select(vs_->fixed_rows(), kGyColNumber);
}

bool pdmgy::Refresh() {
  return Guard([&] {
    if (!host_) return false;
    loading_ = false;
    struct Restore {
      bool& flag;
      ~Restore() { flag = true; }
    } restore{loading_};

    if (HasParameter("部门名称")) department_name_ = ParameterText("部门名称");
    cmb_->set_enabled(!HasParameter("lock") || ParameterNumber("lock") != 1);
    if (ParameterText("组织类型") != loaded_types_) LoadDepartments();
    if (department_name_.empty()) department_name_ = std::string(kAllItems);
    if (Trim(cmb_->text()) != department_name_) {
      int found = -1;
      for (int i = 0; i < cmb_->ListCount(); ++i) {
        if (Trim(cmb_->ItemAt(i).text) == department_name_) {
          found = i;
          break;
        }
      }
      cmb_->set_list_index(found);
      if (found < 0) cmb_->set_text(department_name_);
    }
    multiple_ = HasParameter("多选") && ParameterNumber("多选") == 1;
    vs_->SetColHidden(kGyColTick, !multiple_);
    btn_[3]->set_visible(multiple_);
    btn_[4]->set_visible(multiple_);
    LoadData();
    return true;
  });
}

void pdmgy::RunSearch() {
  if (check_->ticked()) {
    DoFilterVs();
  } else {
    DoFindVs();
  }
  txt_search_->SetFocus();
}

void pdmgy::DoFindVs() {
  Guard([&] {
    if (vs_->rows() <= vs_->fixed_rows()) return true;
    const int row = FindListRow(*vs_, search_columns_, txt_search_->text(), chk_find_->ticked());
    if (row >= 0) {
      vs_->set_row(row);
      vs_->set_top_row(row);
    }
    return true;
  });
}

void pdmgy::DoFilterVs() {
  Guard([&] {
    if (vs_->rows() <= vs_->fixed_rows()) return true;
    const int row = FilterListRows(*vs_, search_columns_, txt_search_->text(), chk_find_->ticked());
    if (row >= 0) vs_->set_row(row);
    txt_search_->SetFocus();
    return true;
  });
}

void pdmgy::UpdateObject(int row) {
  if (!record_) record_ = std::make_shared<clsGY>();
  clsGY& r = *record_;
  if (row < vs_->fixed_rows() || vs_->rows() <= vs_->fixed_rows() || row >= vs_->rows()) {
    r.set_s雇员编号("");
    r.set_s姓名("");
    r.set_s身份证号码("");
  } else {
    const auto cell = [&](int col) { return vs_->TextMatrix(row, col); };
    r.set_l雇员ID(static_cast<std::int32_t>(NumericValue(cell(kGyColId))));
    r.set_s雇员编号(cell(kGyColNumber));
    r.set_s姓名(cell(kGyColName));
    r.set_s身份证号码(cell(kGyColIdentityCard));
    r.set_b性别(cell(kGyColSex) == "女");
    r.set_l部门ID(static_cast<std::int32_t>(NumericValue(cell(kGyColDepartmentId))));
  }
  text_ = r.s姓名();
  value_ = Variant(static_cast<int>(r.l雇员ID()));
}

void pdmgy::CompleteSelection() {
  const bool done = Guard([&] {
    if (!host_) return false;
    const int row = vs_->row();
    if (row >= 0 && row < vs_->rows() && vs_->RowHidden(row)) return false;
    SaveGridSettings(kSettingsFile, *vs_, false, *host_);
    UpdateObject(row);
    if (multiple_) {
      std::string ids;
      std::string names;
      for (int r = vs_->fixed_rows(); r < vs_->rows(); ++r) {
        if (vs_->TextMatrix(r, kGyColTick).empty()) continue;
        ids += FormatNumber(NumericValue(vs_->TextMatrix(r, kGyColId))) + ",";
        names += vs_->TextMatrix(r, kGyColName) + ",";
      }
      if (!ids.empty()) ids.pop_back();
      if (!names.empty()) names.pop_back();
      value_ = Variant(std::move(ids));
      text_ = std::move(names);
    }
    return true;
  });
  if (done) Raise([](PickerEvents& sink) { sink.DoSelect(); });
}

void pdmgy::TickAll(bool ticked) {
  for (int r = vs_->fixed_rows(); r < vs_->rows(); ++r) {
    if (vs_->TextMatrix(r, kGyColNumber).empty()) continue;
    vs_->SetTextMatrix(r, kGyColTick, ticked ? std::string(kTickMark) : std::string());
  }
}

void pdmgy::SortByChosenColumn() {
  if (cbo_->list_index() < 0) return;
  const int col = cbo_->ItemData().ToLong();
  vs_->Sort(col, controls::grid_sort::kStringAscending);
  vs_->set_redraw(true);
}

void pdmgy::EditSearchColumns() {
  if (!host_) return;
  const std::optional<std::string> answer = host_->dialogs().InputBox(
      "请输入欲查询的列(格式: 列1;列2;...列n):", "查找", txt_columns_->text());
  if (!answer || answer->empty() || *answer == txt_columns_->text()) return;
  txt_columns_->set_text(*answer);
  search_columns_ = ParseSearchColumns(*answer);
}

void pdmgy::OnKeyDown(int& key, int shift) {
  try {
    const bool ctrl = (shift & keys::kCtrlMask) != 0;
    const bool with_shift = (shift & keys::kShiftMask) != 0;
    if (ctrl && !with_shift && key == 'B') {
      txt_search_->SetFocus();
    } else if (ctrl && !with_shift && key == 'T') {
      if (cmb_->enabled()) cmb_->SetFocus();
    } else if (ctrl && with_shift && key == 'E') {
      EditSearchColumns();
    } else {
      return;
    }
    key = 0;
  } catch (...) {
    // The key handler ignores errors: a key must never break the host's window.
  }
}

bool pdmgy::Validate(std::string_view /*table*/, std::string_view value_column,
                     std::string_view text_column, std::string_view typed, std::string& out_value,
                     std::string& out_text) {
  record_ = std::make_shared<clsGY>();
  value_ = Variant(std::string());
  text_.clear();
  Guard([&] {
    if (!host_) return false;
    const std::string literal = SqlQuote(typed);
    std::string sql =
        "SELECT PDMGY.雇员编号, PDMGY.雇员ID, PDMGY.姓名, PDMGY.性别, PDMGY.身份证号码, "
        "PDMGY.部门ID,PDMBM.部门编码  FROM PDMGY   Left JOIN PDMBM ON PDMGY.部门ID = PDMBM.部门ID "
        " Where isnull(active,0)=0 and (雇员编号=" +
        literal + " OR PDMGY.姓名=" + literal + ")";
    const std::string types = SafeInList(ParameterText("组织类型"));
    if (!types.empty()) sql += " and 组织类型 in(" + types + ")";
    const std::string department = ParameterText("部门名称");
    if (HasParameter("lock") && ParameterNumber("lock") == 1 && !department.empty()) {
      sql += " and 部门名称=" + SqlQuote(department);
    }
    std::shared_ptr<DataService> data = host_->Data();
    if (!data) throw std::runtime_error("the host offers no data service");
    std::unique_ptr<Recordset> rows = data->OpenSql(sql);
    if (!rows) throw std::runtime_error(data->LastError());
    if (rows->RecordCount() == 0) return true;
    rows->MoveFirst();
    clsGY& r = *record_;
    r.set_b性别(rows->Value("性别").ToDouble() == 1.0);
    r.set_l雇员ID(rows->Value("雇员ID").ToLong());
    r.set_s雇员编号(rows->Value("雇员编号").ToText());
    r.set_s身份证号码(rows->Value("身份证号码").ToText());
    r.set_s姓名(rows->Value("姓名").ToText());
    const std::string_view value_name = value_column.empty() ? "雇员ID" : value_column;
    const std::string_view text_name = text_column.empty() ? "姓名" : text_column;
    const std::optional<int> value_field = rows->FieldIndex(value_name);
    const std::optional<int> text_field = rows->FieldIndex(text_name);
    if (!value_field || !text_field) {
      throw std::runtime_error("no column " + std::string(value_field ? text_name : value_name));
    }
    value_ = Variant(rows->Value(*value_field).ToText());
    text_ = rows->Value(*text_field).ToText();
    return true;
  });
  out_value = value_.ToText();
  out_text = text_;
  return false;
}

}  // namespace korvane
