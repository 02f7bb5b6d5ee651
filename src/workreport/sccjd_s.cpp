// The work report document: initialisation, loading by navigation, finding and filtering, and
// showing a report with its lines and employee shares.
#include "workreport/sccjd_s.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "host/data_service.h"
#include "host/shared_routines.h"
#include "workreport/frm_sccjd.h"
#include "workreport/frm_sel_gy.h"

namespace korvane {

namespace {

using workreport::kKeyColumn;

// The header row of a report with its workshop; loading and finding send slightly different
// texts of the same statement.
constexpr std::string_view kLoadSelect =
    "SELECT PDMBM.部门名称 AS 部门名称, PDMBM.部门ID AS 部门ID, SFCDJ.*  FROM SFCDJ LEFT OUTER "
    "JOIN  PDMBM ON SFCDJ.工作中心ID = PDMBM.部门ID ";
constexpr std::string_view kFindSelect =
    "SELECT PDMBM.部门名称 AS 部门名称, PDMBM.部门ID AS 部门ID, SFCDJ.*  FROM SFCDJ LEFT OUTER "
    "JOIN   PDMBM ON SFCDJ.工作中心ID = PDMBM.部门ID ";

std::string LinesQuery(std::int32_t document_id) {
  return std::string(
             "SELECT C.工艺名称 AS 工艺名称, A.*, B.物品编码 AS 物品编码, B.物品名称 AS 物品名称, "
             "B.库存单位 AS 单位,B.规格 AS 规格,D.部门名称 as 仓库名称,E.部门名称 as 车间名称"
             ",单位工资,progname,billitem,BB.产品ID as 成品ID,CC.物品编码 as 成品编码,"
             "CC.物品名称 as 成品名称,CC.规格 as 成品规格,"
             "BB.产品批次 as 成品批次,BB.需求数量 as 成品需求量,AA.单据编号 as 主计划编号"
             ",(select top 1 bomID from pdmbom where 产品ID=BB.产品ID and sMark='02' AND "
             "ISNULL(是否失效,0)=0 AND 是否标准=1 order by bomID desc) as BomID"
             ",(select top 1 实际配量分子/实际配量分母 from pdmbommx A1 left join pdmbom B1 on "
             "A1.bomID=B1.bomID"
             " where 产品ID=BB.产品ID and 配件ID=A.产品ID and sMark='02' AND ISNULL(是否失效,0)=0 "
             "AND 是否标准=1)*BB.需求数量 as Bom组成数量"
             " FROM SFCDJMX A LEFT JOIN PDMCPML B ON A.产品ID=B.产品ID"
             " LEFT JOIN PDMSR C ON A.工艺ID=C.工艺ID"
             " LEFT JOIN PDMBM D ON A.仓库ID=D.部门ID"
             " LEFT JOIN PDMBM E ON A.车间ID=E.部门ID"
             " left join (select 产品ID,工序ID,单位工资 from pagzde where 工作中心ID=0 and "
             "品质='') F on A.产品ID=F.产品ID and A.工艺ID=F.工序ID"
             " left join xt_objects G on A.前置单据=G.progID"
             " left join (mrpplan AA left join mrpplanmx BB on AA.主计划组ID=BB.主计划组ID) on "
             "A.前置单据=AA.progID and A.前置单据ID=BB.主计划ID"
             " left join pdmcpml CC on BB.产品ID=CC.产品ID"
             "  where 报工单ID= ") +
         std::to_string(document_id) + " order by 报工单明细ID";
}

std::string AllocationQuery(std::int32_t line_id) {
  return "select 雇员编号,姓名,员工ID,分配比例,报工单明细附属ID"
         " from sfcdjmxfs A left join pdmgy B on A.员工ID=B.雇员ID"
         " where 报工单明细ID=" +
         std::to_string(line_id) + " order by 报工单明细附属ID";
}

std::string DateText(const Variant& value) {
  const std::optional<DateTime> date = value.ToDate();
  return date ? FormatDate(*date) : std::string();
}

}  // namespace

namespace workreport {

std::string JoinNonEmpty(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += ' ';
    out += part;
  }
  return out;
}

bool RateDiffers(const std::string& used, const std::string& standard) {
  if (used.empty() || standard.empty()) return used.empty() != standard.empty();
  return NumericValue(used) != NumericValue(standard);
}

}  // namespace workreport

namespace {

document::DocumentRules WorkReportRules() {
  document::DocumentRules rules;
  rules.module_name = std::string(workreport::kModuleName);
  rules.browsing.load_select = std::string(kLoadSelect);
  rules.browsing.find_select = std::string(kFindSelect);
  rules.browsing.key_column = std::string(kKeyColumn);
  rules.browsing.period_module = "SFC";
  rules.browsing.date_column = "生产日期";
  return rules;
}

}  // namespace

SCCJD_S::SCCJD_S() : DocumentBase(WorkReportRules()) {
  SetUpForm();
  SetUpGrid();
  LockForm(true);
}

SCCJD_S::~SCCJD_S() = default;

void SCCJD_S::RaiseEvent(const std::function<void(DocumentEvents&)>& event) { Raise(event); }

void SCCJD_S::InitModule() {
  lookups_ = host_->Lookups();
  for (controls::LookupField* field : fields_) field->set_resolver(lookups_.get());

  const std::string attribute =
      "select text from xt_billattribute where progID=" + std::to_string(progid());
  source_progid_ = sql_.Scalar(attribute + " and attribute='原单号'").ToLong();
  process_multi_select_ =
      NumericValue(sql_.Scalar(attribute + " and attribute='工艺选择' and caption='工艺是否多选'")
                       .ToText()) == 1;
  quantity_control_ =
      NumericValue(
          sql_.Scalar(attribute + " and attribute='选单' and caption='数量控制'").ToText()) == 1;

  ReadLineSettings();
  try {
    SetUpGrid();
  } catch (const std::exception& e) {
    RaiseErrorText("加载VS时出错，原因：" + std::string(e.what()), LogLevel::kError);
  }
  SumTotals();
}

void SCCJD_S::ClearModule() {
  filling_ = true;
  for (controls::LookupField* field : fields_) field->Reset();
  filling_ = false;
  ResetGrid(workreport::kMinimumDataRows);
  allocation_.reset();
  sources_.reset();
  for (controls::LookupField* field : fields_) field->set_resolver(nullptr);
  lookups_.reset();
}

void SCCJD_S::EmptyForm() { ClearForm(); }

void SCCJD_S::ShowHeader(const Recordset& header) {
  filling_ = true;
  const auto set = [&](int index, std::string text) {
    fields_[static_cast<std::size_t>(index)]->set_text(std::move(text));
  };
  set(workreport::kFieldNumber, header["报工单编号"].ToText());
  set(workreport::kFieldWorkshop, header["部门名称"].ToText());
  fields_[workreport::kFieldWorkshop]->set_value(header["部门ID"]);
  set(workreport::kFieldDate, DateText(header["生产日期"]));
  set(workreport::kFieldPreparer, header["制单"].ToText());
  set(workreport::kFieldPreparedOn, DateText(header["制单日期"]));
  set(workreport::kFieldApprover, header["审核"].ToText());
  set(workreport::kFieldApprovedOn, DateText(header["审核日期"]));
  set(workreport::kFieldRemarks, header["备注"].ToText());
  filling_ = false;

  record_label_->set_caption("记录：" + browser_.PositionText());
  stamp_->set_visible(Trim(header["smark"].ToText()) != "01");

  ShowLines(current_id());
  SumTotals();
}

void SCCJD_S::ShowLines(std::int32_t document_id) {
  std::unique_ptr<Recordset> lines = sql_.Rows(LinesQuery(document_id));

  controls::Grid& grid = *grid_;
  const int fixed = grid.fixed_rows();
  grid.set_redraw(false);
  ResetGrid(std::max<int>(workreport::kMinimumDataRows, static_cast<int>(lines->RecordCount())));
  deleted_lines_.clear();

  filling_ = true;
  int r = fixed;
  for (lines->MoveFirst(); !lines->Eof(); lines->MoveNext(), ++r) {
    const Recordset& line = *lines;
    const auto text = [&](int col, const Variant& value) {
      grid.SetTextMatrix(r, col, value.ToText());
    };
    using namespace workreport;
    grid.SetTextMatrix(r, kColDate, DateText(line["生产日期"]));
    text(kColPlanNumber, line["原单号"]);
    text(kColBatch, line["班次"]);
    grid.SetTextMatrix(r, kColFinishedProduct,
                       JoinNonEmpty({line["成品编码"].ToText(), line["成品名称"].ToText(),
                                     line["成品规格"].ToText()}));
    text(kColFinishedQuantity, line["成品需求量"]);
    text(kColKitCount, line["包装数量"]);
    text(kColProductCode, line["物品编码"]);
    grid.SetCellKey(r, kColProductCode, line["产品ID"]);
    text(kColProductName, line["物品名称"]);
    text(kColModel, line["规格"]);
    text(kColBomQuantity, line["Bom组成数量"]);
    text(kColUnit, line["单位"]);
    text(kColProcess, line["工艺名称"]);
    grid.SetCellKey(r, kColProcess, line["工艺ID"]);
    text(kColProduced, line["生产数量"]);
    text(kColQualified, line["合格数量"]);
    text(kColRate, line["工资定额系数"]);
    text(kColWage, line["工资金额"]);
    text(kColDeduction, line["工资扣减金额"]);
    grid.SetTextMatrix(r, kColActualWage,
                       FormatNumber(line["工资金额"].ToDouble() - line["工资扣减金额"].ToDouble()));
    text(kColStandardRate, line["单位工资"]);
    grid.SetCellPicture(
        r, kColStandardRate,
        RateDiffers(grid.TextMatrix(r, kColRate), grid.TextMatrix(r, kColStandardRate))
            ? std::string(kNotePicture)
            : std::string());
    text(kColSourceType, line["progname"]);
    grid.SetCellKey(r, kColSourceType, line["前置单据"]);
    text(kColSourceNumber, line["主计划编号"]);
    grid.SetCellKey(r, kColSourceNumber, line["前置单据ID"]);
    text(kColFinishedBatch, line["成品批次"]);
    text(kColBomId, line["BomID"]);
    text(kColRemarks, line["备注"]);
    const std::int32_t line_id = line["报工单明细ID"].ToLong();
    grid.SetTextMatrix(r, kColLineId, std::to_string(line_id));

    std::unique_ptr<Recordset> shares = sql_.Rows(AllocationQuery(line_id));
    std::string names, ratios, employee_ids, allocation_ids;
    for (shares->MoveFirst(); !shares->Eof(); shares->MoveNext()) {
      const std::string separator = shares->Position() == 0 ? "" : ";";
      names += separator + (*shares)["姓名"].ToText();
      ratios += separator + (*shares)["分配比例"].ToText();
      employee_ids += separator + (*shares)["员工ID"].ToText();
      allocation_ids += separator + (*shares)["报工单明细附属ID"].ToText();
    }
    grid.SetTextMatrix(r, kColEmployees, names);
    grid.SetTextMatrix(r, kColShares, ratios);
    if (!employee_ids.empty()) {
      grid.SetCellKey(r, kColEmployees, employee_ids);
      grid.SetCellKey(r, kColShares, allocation_ids);
    }
  }
  filling_ = false;
  grid.set_redraw(true);
}

}  // namespace korvane
