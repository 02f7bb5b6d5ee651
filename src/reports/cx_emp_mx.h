// Cx_EmpMx: the employee wage detail query ("职员工资明细查询"). It lists the paid-out wage rows
// of one employee for an accounting period and/or a range of operation dates: per row the wage
// item earned on one document with its quantity, unit price, amount, piece-rate factor and share.
// Another module can open it for an employee, period and date through its parameters, and a
// double-click opens the document a row came from.
//
// Contract:
//  - Conditions (control array "qxTxt"): 0 the employee (lookup "pdmgy", value 雇员ID; what
//    resolves to no employee is told "雇员编码或雇员姓名输入有误，请重新输入！"), 1 the operation
//    date from, 3 the operation date to (date fields), 2 the accounting period yyyymm, an
//    editable combo box listing the twelve periods of the current period's year (host setting
//    "period") and preset to the current period.
//  - Refresh: when not armed, arms and does nothing else (true). Refuses, with a level-2
//    ErrMessage titled "职员工资明细查询" and the focus on the field, a query without period and
//    both dates ("会计期间与操作日期不能同时为空！", focus on the period) and one without an
//    employee ("职员不能为空！", focus on the employee); false then. Otherwise reads paoutdatamx
//    of the employee (id as a number), with the period (as a number) and the date bounds (the
//    day of tCzDate as "yyyy-mm-dd", both bounds inclusive, quoted through SqlQuote) when given,
//    ordered by date, item and shift; shows the rows with the last two columns (source program
//    id, source document id) hidden and applies the user's grid settings (subtotals and the
//    "合计" row included). A refused statement is raised by the error rule; false.
//  - The first edit of a condition after a refresh raises Message
//  "查询条件已改变，请按[刷新]按钮！"
//    once; printing is then refused ("查询条件已发生改变，请按[刷新]按钮进行更新后再打印！",
//    level 2) until the next successful refresh. Conditions set by the module (restoring, the
//    host's parameters) are no edits.
//  - SetParameters keeps the host's parameter set; DoGetFormStatus restores the user's
//    conditions and widths, then applies the kept set: "会计期间" gives the period, "empID" the
//    employee (id, and the name read from pdmgy), "date" both operation dates. It arms the
//    report unless the employee or all of period and dates are empty: the next Refresh then only
//    arms it. A report whose conditions were never restored is armed.
//  - GetParameters: a new set with "print" = the heading's condition line, "职员：" + employee
//    and, after a tab, "会计期间：" + period (each when given).
//  - Print heading: the caption, then that line. The print file is "Cx_EmpMx.Prn" in the user's
//    local folder (UserInfo::local_folder, created when missing): the library's installed folder
//    is not the user's to write.
//  - A double-click on a data row whose last two columns hold numbers above 0 raises Detaile
//    (program id, document id); total and subtotal rows open nothing.
#ifndef KORVANE_REPORTS_CX_EMP_MX_H_
#define KORVANE_REPORTS_CX_EMP_MX_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/lookup_field.h"
#include "document/report_base.h"
#include "host/parameter_set.h"

namespace korvane {

class Cx_EmpMx : public document::ReportBase {
 public:
  Cx_EmpMx();
  ~Cx_EmpMx() override;

  bool Refresh() override;
  bool DoGetFormStatus() override;
  std::shared_ptr<ParameterSet> GetParameters() override;
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override;

  bool armed() const { return armed_; }
  bool conditions_changed() const { return conditions_changed_; }

 private:
  void InitModule() override;
  void ClearModule() override;
  std::optional<document::DetailTarget> DetailOf(int row) const override;
  std::vector<std::string> HeadingConditionLines() const override;
  std::string PrintFilePath() override;
  bool MayPrint() override;

  void ConditionEdited();
  void Warn(const std::string& text);
  void ApplyHostParameters();
  std::string HeadingLine() const;
  std::string Statement() const;
  void ShowColumns(const Recordset& rows);

  controls::LookupField* employee_ = nullptr;
  controls::LookupField* date_from_ = nullptr;
  controls::ComboBox* period_ = nullptr;
  controls::LookupField* date_to_ = nullptr;
  std::shared_ptr<ParameterSet> parameters_;
  bool armed_ = true;
  bool conditions_changed_ = false;
  // Conditions are being set by the module, not edited.
  bool filling_ = false;
};

}  // namespace korvane

#endif  // KORVANE_REPORTS_CX_EMP_MX_H_
