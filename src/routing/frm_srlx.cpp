// The route selection dialog: listing the standard, valid routes by category and row limit,
// finding and filtering rows by the find columns, and taking the chosen route.
#include "routing/frm_srlx.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "host/data_service.h"
#include "host/dialogs.h"
#include "host/grid_settings.h"
#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane {

using namespace routing::selection;

namespace routing::selection {

std::string RouteListQuery(std::string_view category_code, long limit) {
  const std::string columns =
      "物品编码,物品名称,规格,库存单位,路线名称,case when 日期='1900-01-01' then null else 日期 "
      "end,A.产品ID,ID";
  std::string condition = " where 是否标准=1 and 是否失效<>1";
  const std::string code = Trim(category_code);
  if (!code.empty()) condition += " AND B.类别编码 like '" + SqlEscape(code) + "%'";
  const std::string source = " from pdmsrlx A left join vtPdmcpml B on A.产品ID=B.产品ID";
  const std::string top = limit > 0 ? "TOP " + std::to_string(limit) + " " : std::string();
  return "select " + top + columns + source + condition + " order by 物品编码,路线名称";
}

std::vector<int> ParseFindColumns(std::string_view text) {
  std::vector<int> columns;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    const std::optional<int> col = ParseStoredInt(text.substr(start, end - start));
    if (col) columns.push_back(*col);
    start = end + 1;
  }
  return columns;
}

}  // namespace routing::selection

namespace {

// ASCII letters in upper case; other characters (Chinese among them) compare as they are.
std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

FrmSRLX::FrmSRLX()
    : guard_(document::ErrorGuard::Event(std::string(kFormName), [this](const ErrorReport& r) {
        ErrMessage(r.text, r.level, std::string(kTitle));
      })) {
  SetUpForm();
}

FrmSRLX::~FrmSRLX() {
  if (shown_ && host_) host_->dialogs().FormClosed(form_);
}

void FrmSRLX::RaiseError(const std::string& text) {
  ErrMessage(text, LogLevel::kError, std::string(kTitle));
}

void FrmSRLX::SetUpForm() {
  form_.set_caption(std::string(kTitle));
  form_.SetInnerSize(9600, 6000);
  category_ = &form_.Add<controls::LookupField>("qxTxt", 0);
  category_->set_caption("产品类别");
  category_->set_geometry({120, 120, 2600, 300});
  controls::LookupDefinition categories;
  categories.picker_type = "gy_Cplb_nMx";
  categories.query = "select * from pdmcplb  where (类别编码='@' or 类别名称='@')";
  categories.value_field = "类别编码";
  categories.text_field = "类别名称";
  categories.error_text = "输入有误，请重新输入！";
  category_->set_lookup(std::move(categories));
  category_->invalid.Connect([this](const std::string& text) {
    if (host_) {
      host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kInformation, kPromptTitle);
    }
  });
  limit_ = &form_.Add<controls::LookupField>("qxTxt", 1);
  limit_->set_caption("显示最大记录数");
  limit_->set_field_kind(controls::FieldKind::kNumber);
  limit_->set_geometry({2900, 120, 1600, 300});
  find_ = &form_.Add<controls::TextBox>("TxtFind");
  find_->set_geometry({4700, 120, 1800, 300});
  filter_ = &form_.Add<controls::CheckBox>("ChkFind");
  filter_->set_caption("过滤");
  filter_->set_geometry({6600, 120, 800, 300});
  constexpr const char* kCaptions[] = {"确定(&O)", "关闭(&C)", "刷新(&R)", "查找(&F)"};
  for (int i = 0; i < 4; ++i) {
    controls::Button& button = form_.Add<controls::Button>("Cmd", i);
    button.set_caption(kCaptions[i]);
    button.set_geometry({120 + 1200.0 * i, 5520, 1100, 360});
    button.click.Connect([this, i] { Command(i); });
    cmd_[static_cast<std::size_t>(i)] = &button;
  }
  grid_ = &form_.Add<controls::Grid>("Vs", -1, "VSFlexGrid");
  grid_->set_geometry({120, 540, 9360, 4860});
  grid_->double_click.Connect([this] { Take(); });
  grid_->key_down.Connect([this](int& key, int shift) {
    constexpr int kCtrlShift = controls::keys::kCtrlMask | controls::keys::kShiftMask;
    if (key == 'E' && (shift & kCtrlShift) == kCtrlShift) {
      key = 0;
      AskFindColumns();
    }
  });
}

void FrmSRLX::InitVsControl() {
  try {
    controls::Grid& vs = *grid_;
    vs.set_cols(1);
    vs.set_rows(1);
    vs.set_fixed_rows(1);
    vs.set_fixed_cols(0);
    vs.set_back_color(0xE0E0E0);
    vs.set_editable(false);
  } catch (const std::exception& e) {
    RaiseError("InitVsControl->" + std::string(e.what()));
  }
}

std::string FrmSRLX::LayoutFile() const { return std::to_string(progid_) + std::string(kFormName); }

bool FrmSRLX::py_Init(std::shared_ptr<HostContext> host, std::int32_t progid) {
  if (!host) return false;
  host_ = std::move(host);
  progid_ = progid;
  lookups_ = host_->Lookups();
  category_->set_resolver(lookups_.get());
  const bool ready = guard_.Run(
      "py_Init",
      [&] {
        find_columns_ =
            ReadSetting(LayoutFile(), "Other", "查找列", std::string(kDefaultFindColumns), *host_);
        InitVsControl();
        return true;
      },
      false);
  if (!ready) return false;
  HasRefresh();
  shown_ = true;
  host_->dialogs().FormShown(form_);
  return true;
}

bool FrmSRLX::HasRefresh() {
  return guard_.Run(
      "HasRefresh",
      [&] {
        if (!host_) return false;
        controls::Grid& vs = *grid_;
        vs.set_redraw(false);
        if (vs.cols() < 2) {
          vs.SetFormatString(kGridHeader);
          vs.SetColHidden(kColProductId, true);
          vs.SetColHidden(kColRouteId, true);
        }
        vs.set_rows(vs.fixed_rows());
        vs.set_redraw(true);
        const double typed = NumericValue(limit_->text());
        const long limit = std::isfinite(typed) && typed >= 1 ? static_cast<long>(typed) : 0;
        std::shared_ptr<DataService> data = host_->Data();
        std::unique_ptr<Recordset> rows =
            data->OpenSql(RouteListQuery(category_->value().ToText(), limit));
        const std::string error = data->LastError();
        if (!error.empty() || !rows) {
          RaiseError(error);
          return false;
        }
        std::vector<std::vector<Variant>> values;
        for (const Recordset::Row& row : rows->Rows()) values.push_back(row);
        vs.AppendRows(values, 0);
        ApplyGridSettings(LayoutFile(), vs, false, *host_);
        return true;
      },
      false);
}

bool FrmSRLX::Take() {
  return guard_.Run(
      "Take",
      [&] {
        controls::Grid& vs = *grid_;
        const int row = vs.row();
        if (!shown_ || row < vs.fixed_rows() || row >= vs.rows() || vs.RowHidden(row)) {
          return false;
        }
        const auto route = static_cast<std::int32_t>(NumericValue(vs.TextMatrix(row, kColRouteId)));
        const auto product =
            static_cast<std::int32_t>(NumericValue(vs.TextMatrix(row, kColProductId)));
        Close();
        // The handler may destroy this form: nothing of it is touched afterwards.
        EvHasSelect(route, product);
        return true;
      },
      false);
}

void FrmSRLX::Close() {
  if (!shown_ || !host_) return;
  guard_.Run("Close", [&] { SaveGridSettings(LayoutFile(), *grid_, false, *host_); });
  shown_ = false;
  host_->dialogs().FormClosed(form_);
}

void FrmSRLX::FindRows() {
  guard_.Run("FindRows", [&] {
    controls::Grid& vs = *grid_;
    if (vs.rows() <= vs.fixed_rows()) return;
    vs.set_redraw(false);
    for (int r = vs.fixed_rows(); r < vs.rows(); ++r) vs.SetRowHidden(r, false);
    const std::string wanted = Upper(Trim(find_->text()));
    if (!wanted.empty()) {
      std::vector<int> columns;
      for (int col : ParseFindColumns(find_columns_)) {
        if (col >= 0 && col < vs.cols() && !vs.ColHidden(col)) columns.push_back(col);
      }
      for (int r = vs.fixed_rows(); r < vs.rows(); ++r) {
        const bool match = std::any_of(columns.begin(), columns.end(), [&](int col) {
          return Upper(vs.TextMatrix(r, col)).find(wanted) != std::string::npos;
        });
        if (filter_->ticked() && !match) vs.SetRowHidden(r, true);
      }
    }
    vs.set_redraw(true);
  });
}

void FrmSRLX::AskFindColumns() {
  guard_.Run("AskFindColumns", [&] {
    if (!host_) return;
    const std::optional<std::string> answer = host_->dialogs().InputBox(
        "请输入欲查询的列(格式: 列1;列2;...列n):", std::string(kTitle), find_columns_);
    if (!answer || answer->empty() || *answer == find_columns_) return;
    find_columns_ = *answer;
    WriteSetting(LayoutFile(), "Other", "查找列", find_columns_, *host_);
  });
}

void FrmSRLX::Command(int index) {
  switch (index) {
    case 0:
      Take();
      break;
    case 1:
      Close();
      break;
    case 2:
      HasRefresh();
      break;
    case 3:
      FindRows();
      break;
    default:
      break;
  }
}

}  // namespace korvane
