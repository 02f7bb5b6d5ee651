// The employee wage detail query.
#include "reports/cx_emp_mx.h"

#include <filesystem>
#include <string_view>
#include <utility>

#include "host/data_service.h"
#include "host/dialogs.h"
#include "values/variant.h"

namespace korvane {
namespace {

constexpr std::string_view kTitle = "职员工资明细查询";
constexpr std::string_view kEmployeeError = "雇员编码或雇员姓名输入有误，请重新输入！";
constexpr std::string_view kChanged = "查询条件已改变，请按[刷新]按钮！";
constexpr std::string_view kPrintRefused = "查询条件已发生改变，请按[刷新]按钮进行更新后再打印！";

constexpr int kFieldEmployee = 0;
constexpr int kFieldDateFrom = 1;
constexpr int kFieldPeriod = 2;
constexpr int kFieldDateTo = 3;

// The day of a date value as "yyyy-mm-dd"; a text that is no date stays as it is, trimmed.
std::string DayText(const Variant& value) {
  if (value.type() == VarType::kDate) return FormatDate(value.date());
  if (const std::optional<DateTime> date = value.ToDate()) return FormatDate(*date);
  return Trim(value.ToText());
}

std::string WholeNumber(std::string_view text) {
  return std::to_string(static_cast<long long>(NumericValue(Trim(text))));
}
}  // namespace

Cx_EmpMx::Cx_EmpMx() : ReportBase("Cx_EmpMx") {
  employee_ = &AddConditionField(kFieldEmployee, "职员");
  employee_->set_lookup(
      controls::LookupDefinition::Of("pdmgy", "", "雇员ID", "姓名", std::string(kEmployeeError)));

  date_from_ = &AddConditionField(kFieldDateFrom, "操作日期从");
  date_from_->set_field_kind(controls::FieldKind::kDate);
  period_ = &form_.Add<controls::ComboBox>("qxTxt", kFieldPeriod);
  period_->set_caption("会计期间");
  date_to_ = &AddConditionField(kFieldDateTo, "到");
  date_to_->set_field_kind(controls::FieldKind::kDate);

  for (controls::LookupField* field : {employee_, date_from_, date_to_}) {
    field->change.Connect([this] { ConditionEdited(); });
  }
  period_->change.Connect([this] { ConditionEdited(); });
  period_->click.Connect([this] { ConditionEdited(); });
  AddResultGrid();
}

Cx_EmpMx::~Cx_EmpMx() = default;

void Cx_EmpMx::InitModule() {
  // The twelve periods of the current period's year, the current one preset.
  const std::string current = Trim(host_->Setting("period"));
  filling_ = true;
  period_->Clear();
  if (current.size() >= 4) {
    const std::string year = current.substr(0, 4);
    for (int month = 1; month <= 12; ++month) {
      period_->AddItem(year + (month < 10 ? "0" : "") + std::to_string(month));
    }
  }
  if (!period_->ChooseText(current)) period_->set_text(current);
  filling_ = false;
}

void Cx_EmpMx::ClearModule() {
  filling_ = true;
  for (controls::LookupField* field : {employee_, date_from_, date_to_}) field->Reset();
  period_->Clear();
  filling_ = false;
  parameters_.reset();
  conditions_changed_ = false;
}

void Cx_EmpMx::ConditionEdited() {
  if (filling_ || conditions_changed_) return;
  conditions_changed_ = true;
  RaiseMessage(std::string(kChanged));
}

void Cx_EmpMx::Warn(const std::string& text) {
  Raise(
      [&](ReportEvents& sink) { sink.ErrMessage(text, LogLevel::kWarning, std::string(kTitle)); });
}

void Cx_EmpMx::SetParameters(std::shared_ptr<ParameterSet> parameters) {
  parameters_ = parameters;
  ReportBase::SetParameters(std::move(parameters));
}

std::shared_ptr<ParameterSet> Cx_EmpMx::GetParameters() {
  std::shared_ptr<ParameterSet> out;
  Guard("IRptUI_Parameters", [&] {
    if (!host_) return false;
    out = std::shared_ptr<ParameterSet>(host_->CreateParameterSet());
    if (out) out->Set("print", Variant(HeadingLine()));
    return true;
  });
  return out;
}

bool Cx_EmpMx::DoGetFormStatus() {
  filling_ = true;
  const bool restored = ReportBase::DoGetFormStatus();
  const bool applied = Guard("DoGetFormStatus", [&] {
    if (!host_) return false;
    ApplyHostParameters();
    const bool no_bounds = Trim(period_->text()).empty() && Trim(date_from_->text()).empty() &&
                           Trim(date_to_->text()).empty();
    armed_ = !no_bounds && !Trim(employee_->text()).empty();
    return true;
  });
  filling_ = false;
  return restored && applied;
}

void Cx_EmpMx::ApplyHostParameters() {
  if (!parameters_) return;
  if (const std::optional<Variant> period = parameters_->Item("会计期间")) {
    period_->set_text(Trim(period->ToText()));
  }
  if (const std::optional<Variant> id = parameters_->Item("empID")) {
    const long long employee = static_cast<long long>(NumericValue(Trim(id->ToText())));
    employee_->set_value(Variant(static_cast<std::int32_t>(employee)));
    employee_->set_text(Trim(
        sql_.Scalar("select 姓名 from pdmgy where 雇员ID=" + std::to_string(employee)).ToText()));
  }
  if (const std::optional<Variant> date = parameters_->Item("date")) {
    const std::string day = DayText(*date);
    date_from_->set_text(day);
    date_to_->set_text(day);
  }
}

std::string Cx_EmpMx::Statement() const {
  std::string sql =
      "select tCzDate as 日期,sItemName as 工资项目,sBanCi as 班次,部门名称,工艺名称 as 工序,"
      "soutnumber as 单据编号,F.menuname as 单据类型,物品编码 as 产品编码,物品名称 as 产品名称,"
      "damount as 数量,dprice as 单价,dMoney as 金额,sStandby1 as 工资定额系数,sStandby2 as 比例,"
      "A.sremark as 备注,loutczid,loutautoID"
      " from paoutdatamx A left join PaItem B on A.lFsno=B.lFsno"
      " left join vtPABm C on A.lDeptID=C.部门ID"
      " left join PdmSR D on A.lGxID=D.工艺ID"
      " left join pdmcpml E on A.lGoodsID=E.产品ID"
      " left join xt_menu F on A.lOutCzID=F.progID"
      " where lEmployeeID=" +
      WholeNumber(employee_->value().ToText());
  const std::string period = Trim(period_->text());
  const std::string from = Trim(date_from_->text());
  const std::string to = Trim(date_to_->text());
  if (!period.empty()) sql += " and lkj=" + WholeNumber(period);
  if (!from.empty()) sql += " and substring(convert(char,tczdate,120),1,10)>=" + SqlQuote(from);
  if (!to.empty()) sql += " and substring(convert(char,tczdate,120),1,10)<=" + SqlQuote(to);
  return sql + " order by tczDate,sItemName,sBanCi";
}

void Cx_EmpMx::ShowColumns(const Recordset& rows) {
  const int needed = grid_->fixed_cols() + rows.FieldCount();
  if (grid_->cols() < needed) {
    grid_->set_cols(needed);
    for (int i = 0; i < rows.FieldCount(); ++i) {
      grid_->SetTextMatrix(0, grid_->fixed_cols() + i, rows.Field(i).name);
    }
  }
  const int cols = grid_->cols();
  for (int c = grid_->fixed_cols(); c < cols; ++c) grid_->SetColHidden(c, c >= cols - 2);
}

bool Cx_EmpMx::Refresh() {
  return Guard("IRptUI_Refresh", [&] {
    if (!host_) return false;
    if (!armed_) {
      armed_ = true;
      return true;
    }
    if (Trim(period_->text()).empty() && Trim(date_from_->text()).empty() &&
        Trim(date_to_->text()).empty()) {
      Warn("会计期间与操作日期不能同时为空！");
      period_->SetFocus();
      return false;
    }
    if (Trim(employee_->text()).empty()) {
      Warn("职员不能为空！");
      employee_->SetFocus();
      return false;
    }
    controls::BusyCursor busy(form_);
    document::RedrawOff redraw(*grid_);
    grid_->set_rows(grid_->fixed_rows());
    const std::unique_ptr<Recordset> rows = sql_.Rows(Statement());
    ShowColumns(*rows);
    if (rows->RecordCount() > 0) {
      grid_->AppendRows(rows->Rows(), grid_->fixed_cols());
      ApplyUserGridSettings();
    }
    conditions_changed_ = false;
    RaiseMessage("");
    return true;
  });
}

std::optional<document::DetailTarget> Cx_EmpMx::DetailOf(int row) const {
  const int cols = grid_->cols();
  if (cols < 2 || grid_->IsSubtotal(row)) return std::nullopt;
  return document::DetailTarget{
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, cols - 2))),
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, cols - 1)))};
}

std::string Cx_EmpMx::HeadingLine() const {
  std::string line;
  const std::string employee = Trim(employee_->text());
  const std::string period = Trim(period_->text());
  if (!employee.empty()) line = "职员：" + employee;
  if (!period.empty()) line += (line.empty() ? "" : "\t") + std::string("会计期间：") + period;
  return line;
}

std::vector<std::string> Cx_EmpMx::HeadingConditionLines() const {
  std::string line = HeadingLine();
  if (line.empty()) return {};
  return {std::move(line)};
}

std::string Cx_EmpMx::PrintFilePath() {
  const std::filesystem::path folder(host_->User().local_folder);
  return PreparePrintFileAt((folder / "Cx_EmpMx.Prn").string());
}

bool Cx_EmpMx::MayPrint() {
  if (!conditions_changed_) return true;
  Warn(std::string(kPrintRefused));
  return false;
}

}  // namespace korvane
