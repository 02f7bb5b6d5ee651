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

}  // namespace

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

}  // namespace pickers

namespace {

using namespace pickers;
namespace keys = controls::keys;

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

pdmgy::pdmgy() : ListPicker("pdmgy", {"", "", "", std::string(kErrorTitle)}, kGyColName) {
  SetUpForm();
}

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
  auto& sort = form_.Add<controls::ComboBox>("cbo");
  sort.set_geometry(Geometry{7100, 80, 1300, 300});
  auto& filter = form_.Add<controls::CheckBox>("Check");
  filter.set_caption("过滤");
  filter.set_geometry(Geometry{120, 480, 800, 240});
  auto& match = form_.Add<controls::CheckBox>("ChkFind");
  match.set_caption(std::string(kWholeMatchCaption));
  match.set_geometry(Geometry{1000, 480, 1400, 240});
  auto& search_columns = form_.Add<controls::TextBox>("Txt", 1);
  search_columns.set_text(std::string(kInitialGySearchColumns));
  search_columns.set_geometry(Geometry{2500, 460, 1200, 300});
  vs_ = &form_.Add<controls::Grid>("Vs", -1, "VSFlexGrid");
  vs_->set_geometry(Geometry{120, 840, 9360, 4500});
  ListControls list{vs_, txt_search_, &search_columns, &sort, &filter, &match, {}};
  static constexpr std::string_view kButtonCaptions[] = {"确定", "取消", "刷新", "全选", "全清"};
  for (int i = 0; i < 5; ++i) {
    auto& b = form_.Add<controls::Button>("btn", i);
    b.set_caption(std::string(kButtonCaptions[i]));
    b.set_geometry(Geometry{120 + 1000.0 * i, 5460, 900, 360});
    list.buttons[static_cast<std::size_t>(i)] = &b;
  }
  AttachList(list);
  layout_.Record(form_);
  layout_.Attach(form_);

  txt_search_->set_tooltip("提示：按回车键选择完毕！");
  txt_search_->change.Connect([this] {
    if (!loading_) return;
    RunSearch();
    txt_search_->SetFocus();
  });
  txt_search_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != keys::kReturn) return;
    key = 0;
    if (!multiple_choice()) CompleteSelection();
  });
  const auto reload = [this] { guard().Run("LoadData", [&] { LoadData(); }); };
  cmb_->click.Connect([this, reload] {
    if (loading_) reload();
  });
  vs_->double_click.Connect([this] {
    if (!multiple_choice()) CompleteSelection();
  });
  vs_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != keys::kReturn) return;
    key = 0;
    if (!multiple_choice()) CompleteSelection();
  });
  vs_->click.Connect([this] {
    if (multiple_choice()) ToggleTick(vs_->row());
  });
  list.buttons[2]->click.Connect(reload);
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
  sort_list().Clear();
  for (int c = 0; c < kGyColCount; ++c) {
    if (!kColumns[c].hidden) sort_list().AddItem(std::string(kColumns[c].header), Variant(c));
  }
}

bool pdmgy::Init(std::shared_ptr<HostContext> context, std::int32_t /*progid*/,
                 std::string_view /*parameter_text*/) {
  if (!context) return false;
  return guard().Run(
      "Init",
      [&] {
        InitList(std::move(context));
        record_ = std::make_shared<clsGY>();
        InitVsControl();
        ApplyGridSettings(LayoutFileName(), *vs_, false, *host());
        loading_ = false;
        LoadDepartments();
        loading_ = true;
        return true;
      },
      false);
}

bool pdmgy::Clear() {
  record_.reset();
  return ListPicker::Clear();
}

bool pdmgy::RunProcedure(std::string_view name, std::vector<Parameter> parameters,
                         Recordset& rows) {
  std::shared_ptr<DataService> data = host()->Data();
  if (!data) throw std::runtime_error("the host offers no data service");
  Command command{std::string(name), CommandType::kStoredProcedure, std::move(parameters)};
  std::unique_ptr<Recordset> result = data->Open(command);
  if (!result) {
    const std::string error = data->LastError();
    host()->dialogs().MessageBox(error.empty() ? std::string(name) : error, MsgButtons::kOk,
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
  if (!host()) return;
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
  return guard().Run(
      "Refresh",
      [&] {
        if (!host()) return false;
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
        ApplyMultipleChoice(ParameterNumber("多选") == 1);
        LoadData();
        return true;
      },
      false);
}

void pdmgy::LoadChoice(int row) {
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

void pdmgy::OnKeyDown(int& key, int shift) {
  try {
    const bool ctrl = (shift & keys::kCtrlMask) != 0;
    const bool with_shift = (shift & keys::kShiftMask) != 0;
    if (ctrl && !with_shift && key == 'B') {
      txt_search_->SetFocus();
    } else if (ctrl && !with_shift && key == 'T') {
      if (cmb_->enabled()) cmb_->SetFocus();
    } else if (ctrl && with_shift && key == 'E') {
      AskSearchColumns();
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
  guard().Run("Validate", [&] {
    if (!host()) return;
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
    std::shared_ptr<DataService> data = host()->Data();
    if (!data) throw std::runtime_error("the host offers no data service");
    std::unique_ptr<Recordset> rows = data->OpenSql(sql);
    if (!rows) throw std::runtime_error(data->LastError());
    if (rows->RecordCount() == 0) return;
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
  });
  out_value = value_.ToText();
  out_text = text_;
  return false;
}

}  // namespace korvane
