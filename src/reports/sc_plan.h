// SC_Plan: the process analysis of master plans ("计划单工艺分析表"). For the plans within a range
// of plan numbers, narrowed by finished product, part, process and process category, the
// database procedure RPT_MPS_PlanSr_Sc lists the processes each plan line needs; the report
// runs it into its grid, applies the user's grid settings and prints.
//
// Contract:
//  - Conditions (control array "qxTxt"): 0 plan number from, 1 plan number to (text); 2 the
//    finished product and 4 the part (product lookups "pdmcpml", value 产品ID, shown as code, a
//    blank and name); 5 the process (lookup "gy_sr" by number, short name or name, value
//    工艺ID); 3 the process category (lookup "gy_Srlb_nMx" by code or name, value 类别ID); what
//    resolves to nothing is told "输入有误，请重新输入！". Check box "Chk"
//    ("不显示定额为零的数据").
//  - Refresh: runs RPT_MPS_PlanSr_Sc through gFnRunProc (rows cleared, merged, the header from
//    the result's field names) with "@sSPlanNumber", "@sEPlanNumber" (trimmed texts), "@lCpID",
//    "@lCpPjID", "@lSrID", "@lSrLbID" (the fields' values as numbers, 0 when empty) and
//    "@bOnly" (the check box, 0 or 1), in that order; applies the user's grid settings and raises
//    Message "共加载有" + (rows - 1) + "条记录", which counts a total row. A failing procedure
//    leaves the grid without data rows, applies no settings and is raised by the error rule
//    (routine "IRptUI_Refresh"); false.
//  - DoGetFormStatus restores the user's conditions; when all six fields are then empty, both
//    plan number bounds get the number of the newest plan (highest 主计划组ID).
//  - A double-click on a data row whose columns C-3 and C-2 (C the column count) hold numbers
//    above 0 raises Detaile with them (program id, document id); total rows open nothing.
//  - Print heading: the caption, then the plan number range ("计划单号：从 a 到 b", "计划单号：从 a
//    开始" or "计划单号：到 b 结束"), "成品名称：", "产品名称：" and "工艺：" (else "工艺类别：")
//    with the fields' texts, each line when given; the print file is "Rpt" + progid + ".prn" in the
//    user's print folder.
#ifndef KORVANE_REPORTS_SC_PLAN_H_
#define KORVANE_REPORTS_SC_PLAN_H_

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/lookup_field.h"
#include "document/report_base.h"

namespace korvane {

class SC_Plan : public document::ReportBase {
 public:
  SC_Plan();
  ~SC_Plan() override;

  bool Refresh() override;

 private:
  void ClearModule() override;
  void DefaultConditions() override;
  std::optional<document::DetailTarget> DetailOf(int row) const override;
  std::vector<std::string> HeadingConditionLines() const override;

  std::string Text(int field) const;
  std::int32_t Id(int field) const;

  std::array<controls::LookupField*, 6> fields_{};
  controls::CheckBox* chk_ = nullptr;
};

}  // namespace korvane

#endif  // KORVANE_REPORTS_SC_PLAN_H_
