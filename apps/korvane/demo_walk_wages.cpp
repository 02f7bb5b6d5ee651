// The demo walk's wages: a work report pulled from the approved plan, its wages handed over and
// taken into payroll, one employee's paid wages, and the work report query over the plan with
// subtotals and the total.
#include <string>

#include "controls/basic_controls.h"
#include "demo_walk.h"
#include "host/settings_files.h"
#include "hostapp/payroll_intake.h"
#include "reports/cx_emp_mx.h"
#include "reports/sccjd_rpt.h"
#include "screen_text.h"
#include "table_text.h"
#include "workreport/sccjd_s.h"

namespace korvane::cli {

namespace {
constexpr std::int32_t kReportProgram = 2101;
constexpr std::int32_t kQueryProgram = 7101;
constexpr std::int32_t kWageQueryProgram = 7201;
// The day the work report is entered for, which the query is narrowed to.
constexpr const char* kReportDay = "2026-03-20";
}  // namespace

void Walk::WorkReport() {
  Opened<SCCJD_S, DocumentEvents> report("Korvane.SCCJD_S", &events_);
  SCCJD_S& wr = *report;

  Step("4. 生产报工单：新建，机加工车间，2026-03-20");
  Expect(wr.Init(host_, kReportProgram, 0) && wr.Refresh(), "opening the work report");
  Expect(wr.FileNew(), "a new work report");
  Expect(wr.field(workreport::kFieldWorkshop).Type("机加工车间") &&
             wr.field(workreport::kFieldWorkshop).Leave(),
         "the workshop 机加工车间");
  Expect(
      wr.field(workreport::kFieldDate).Type(kReportDay) && wr.field(workreport::kFieldDate).Leave(),
      "the production date");

  Step("4.1 选单：从已审核的主生产计划 " + plan_number_ + " 取行");
  Expect(wr.source_button().Click(), "the source button");
  controls::Form& sources = dialogs_.Top("the source selection");
  auto& offered = sources.Get<controls::Grid>("Vs");
  const int plan_row = RowHolding(offered, 2, plan_number_);
  Expect(plan_row > 0, "the approved plan among the sources");
  Expect(offered.DoubleClickCell(plan_row, 2), "ticking the plan line");
  Show(sources);
  Expect(sources.Get<controls::Button>("Cmd", 3).Click() && dialogs_.shown.empty(),
         "confirming the source selection");
  controls::Grid& lines = wr.grid();
  const int row = lines.fixed_rows();
  Expect(lines.TextMatrix(row, workreport::kColSourceNumber) == plan_number_,
         "the line carrying the plan as its source");

  Step("4.2 产品泵盖、工艺精车：标准工资定额取自工艺路线");
  Expect(lines.EditCell(row, workreport::kColProductCode, std::string(kDemoPart)) &&
             lines.EditCell(row, workreport::kColProcess, "精车"),
         "the pump cover on 精车");
  out_ << "  标准工资定额: " << lines.TextMatrix(row, workreport::kColStandardRate) << "\n";
  Expect(lines.TextMatrix(row, workreport::kColStandardRate) == kDemoRate,
         "the route's piece rate as the line's standard rate");
  Expect(lines.EditCell(row, workreport::kColProduced, "8") &&
             lines.EditCell(row, workreport::kColQualified, "8") &&
             lines.EditCell(row, workreport::kColDeduction, "1.5"),
         "the quantities and the deduction");

  Step("4.3 选择员工：张伟 0.6、王芳 0.4（多人共享一行）");
  Expect(lines.ClickCellButton(row, workreport::kColEmployees), "the employee dialog button");
  controls::Form& allocation = dialogs_.Top("the employee dialog");
  auto& people = allocation.Get<controls::Grid>("Vs");
  const int first = people.fixed_rows();
  Expect(people.EditCell(first, 1, "E001") && people.EditCell(first, 3, "0.6") &&
             people.EditCell(first + 1, 1, "王芳") && people.EditCell(first + 1, 3, "0.4"),
         "typing the two employees");
  auto& shared = allocation.Get<controls::CheckBox>("chk");
  if (!shared.ticked()) shared.Click();
  Show(allocation);
  Expect(allocation.Get<controls::Button>("cmdOK").Click() && dialogs_.shown.empty(),
         "confirming the employees");
  Show(wr.form());

  Step("4.4 保存并审核：工资交给工资系统");
  Expect(wr.FileSave() && events_.errors == 0, "saving the report");
  report_id_ = wr.GetID();
  Expect(wr.Check(), "approving the report");
  std::string error;
  Expect(host_->MarkApproval(kReportProgram, report_id_, true, error),
         "recording the approval: " + error);
  Expect(wr.DoSetStatus("", true) && wr.GetID() == report_id_, "showing the approved report");
  Show(wr.form());
  auto handed = Table(
      "select lEmployeeID as 员工ID, B.姓名, tCzDate as 日期, dAmount as 数量, dPrice as 单价, "
      "dMoney as 金额, sStandby2 as 分配比例, sOutNumber as 报工单编号 from PATempDataMx A left "
      "join PDMGY B on A.lEmployeeID=B.雇员ID where lOutAutoID=" +
          std::to_string(report_id_) + " and lOutCzID=" + std::to_string(kReportProgram) +
          " order by lAutoID",
      "the handed-over wage rows");
  Expect(handed->RecordCount() == 2, "two wage rows in PATempDataMx, one per employee");
}

void Walk::Payroll() {
  Step("5. 工资系统接收：PATempDataMx -> paoutdatamx（期间 202603）");
  const hostapp::PayrollIntake intake = hostapp::TakeWagesIntoPayroll(*host_, 202603);
  Expect(intake.done, "the payroll intake: " + intake.error);
  out_ << "  接收 " << intake.taken << " 行\n";
  auto taken = Table(
      "select A.lAutoID, A.lKj as 期间, A.lEmployeeID as 员工ID, B.姓名, A.dAmount as 数量, "
      "A.dPrice as 单价, A.dMoney as 金额, A.sOutNumber as 报工单编号 from paoutdatamx A left "
      "join PDMGY B on A.lEmployeeID=B.雇员ID where A.lOutAutoID=" +
          std::to_string(report_id_) + " and A.lOutCzID=" + std::to_string(kReportProgram) +
          " order by A.lAutoID",
      "the rows taken into payroll");
  Expect(taken->RecordCount() == 2, "both wage rows of the report in paoutdatamx");
}

void Walk::Query() {
  Step("6. 报工单查询：操作日期 " + std::string(kReportDay) + "，按报工单小计并合计");
  // The user's grid settings: a subtotal per report number over the qualified quantity and
  // the actual wage, and the total row.
  const std::string settings = std::to_string(kQueryProgram) + "SCCJD_RPT";
  Expect(WriteSetting(settings, "VsIsGroupOn", "VsCol0", "1", *host_) &&
             WriteSetting(settings, "VsIsTotalOn", "VsCol18", "1", *host_) &&
             WriteSetting(settings, "VsIsTotalOn", "VsCol20", "1", *host_),
         "writing the query's grid settings");
  Opened<SCCJD_RPT, ReportEvents> query("Korvane.SCCJD_RPT", &events_);
  Expect(query->Init(host_, kQueryProgram) && query->DoGetFormStatus(), "opening the query");
  controls::Form& form = query->form();
  for (int index : {sccjd_rpt::kUnapproved, sccjd_rpt::kApproved}) {
    auto& box = form.Get<controls::CheckBox>("Chk", index);
    if (!box.ticked()) box.Click();
  }
  for (int index = 0; index < sccjd_rpt::kFieldCount; ++index) {
    const bool day = index == sccjd_rpt::kDateFrom || index == sccjd_rpt::kDateTo;
    auto& field = form.Get<controls::LookupField>("qxTxt", index);
    if (!day && field.text().empty()) continue;
    Expect(field.Type(day ? kReportDay : std::string()), "the query's conditions");
  }
  Expect(query->Refresh() && events_.errors == 0, "refreshing the query");
  Show(form);
  const auto& grid = form.Get<controls::Grid>("Vs");
  Expect(RowHolding(grid, 0, "合计") > 0, "the total row 合计");
}

void Walk::WageDetail() {
  Step("5.1 职员工资明细查询：张伟，会计期间 202603");
  Opened<Cx_EmpMx, ReportEvents> query("Korvane.Cx_EmpMx", &events_);
  Expect(query->Init(host_, kWageQueryProgram) && query->DoGetFormStatus(),
         "opening the wage detail query");
  controls::Form& form = query->form();
  auto& employee = form.Get<controls::LookupField>("qxTxt", 0);
  Expect(employee.Type("E001") && employee.Leave() && employee.text() == "张伟",
         "the employee 张伟");
  Expect(form.Get<controls::ComboBox>("qxTxt", 2).Type("202603"), "the period 202603");
  // Restored conditions that named nobody leave the query disarmed: the first refresh arms it.
  if (!query->armed()) Expect(query->Refresh(), "arming the wage detail query");
  Expect(query->Refresh() && events_.errors == 0, "refreshing the wage detail query");
  Show(form);
  const auto& grid = form.Get<controls::Grid>("Vs");
  Expect(RowHolding(grid, 5, "BG2026030003") > 0, "张伟's wage row of the work report");
}

}  // namespace korvane::cli
