// Writing and deleting work reports, each in one transaction, and the plan check of approval.
#include "workreport/work_report_store.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::workreport {
namespace {

using document::SqlNumber;

std::string Id(std::int32_t id) { return std::to_string(id); }

// A date as "yyyy-mm-dd"; a text that is no date is kept as it is (trimmed).
std::string DateText(std::string_view text) {
  const std::string trimmed = Trim(text);
  if (const std::optional<DateTime> date = ParseDate(trimmed)) return FormatDate(*date);
  return trimmed;
}

std::int32_t WriteHeader(const WorkReportStore& s, const ReportSnapshot& report) {
  const ReportHeader& h = report.header;
  const std::string workshop = Id(h.workshop);
  const std::string remarks = SqlQuote(h.remarks);
  const std::string date = SqlQuote(DateText(h.date));
  const std::string preparer = SqlQuote(h.preparer);

  if (h.id >= 1) {
    s.sql.Execute(
        "Delete from SFCDJMxfs Where 报工单明细ID in(select 报工单明细ID from sfcdjmx where "
        "报工单ID=" +
        Id(h.id) + ")");
    std::string deleted;
    for (const std::int32_t line : report.deleted_lines) {
      if (line <= 0) continue;
      deleted += (deleted.empty() ? "" : ",") + Id(line);
    }
    if (!deleted.empty())
      s.sql.Execute("Delete from SFCDJMx Where 报工单明细ID in(" + deleted + ")");
    // The preparation date follows the production date when a report is changed.
    s.sql.Execute(" Update SFCDJ  Set progID =" + Id(s.progid) + "," +
                  "报工单编号 =" + SqlQuote(h.number) + "," + "工作中心ID =" + workshop + "," +
                  "备注= " + remarks + "," + "生产日期 =" + date + "," + "制单 =" + preparer + "," +
                  "制单日期 =" + date + " Where 报工单ID=" + Id(h.id));
    return h.id;
  }
  const std::int32_t id = s.browser.NewKey("SFCDJ", "报工单ID");
  s.sql.Execute(
      " InSert Into SFCDJ (报工单ID,progID,报工单编号,工作中心ID,备注,生产日期,制单,制单日期,"
      "审核,smark,审核日期) Values (" +
      Id(id) + "," + Id(s.progid) + "," + SqlQuote(h.number) + "," + workshop + "," + remarks +
      "," + date + "," + preparer + "," + SqlQuote(DateText(h.prepared_on)) + "," +
      SqlQuote(h.approver) + ",'01'," + SqlQuote(DateText(h.approved_on)) + ")");
  return id;
}

void WriteLine(const WorkReportStore& s, const ReportLine& line, std::int32_t report_id) {
  const std::string date = SqlQuote(DateText(line.date));
  std::int32_t line_id = line.line_id;
  if (line_id <= 0) {
    line_id = s.browser.NewKey("SFCDJMx", "报工单明细ID");
    s.sql.Execute(
        " InSert Into SFCDJMx (报工单明细ID,报工单ID,生产日期,工艺ID,工资定额系数,工资金额,"
        "工资扣减金额,合格数量,生产数量,包装数量,产品ID,备注,前置单据,前置单据ID,原单号,班次) "
        "Values (" +
        Id(line_id) + "," + Id(report_id) + "," + date + "," + Id(line.process) + "," +
        SqlNumber(line.rate) + "," + SqlNumber(line.wage) + "," + SqlNumber(line.deduction) + "," +
        SqlNumber(line.qualified) + "," + SqlNumber(line.produced) + "," +
        SqlNumber(line.kit_count) + "," + Id(line.product) + "," + SqlQuote(line.remarks) + "," +
        Id(line.source_type) + "," + Id(line.source_line) + "," + SqlQuote(line.plan_number) + "," +
        SqlQuote(line.batch) + ")");
  } else {
    s.sql.Execute(" Update SFCDJMx Set 工艺ID=" + Id(line.process) + ",生产日期=" + date +
                  ",工资定额系数=" + SqlNumber(line.rate) + ",工资金额=" + SqlNumber(line.wage) +
                  ",工资扣减金额=" + SqlNumber(line.deduction) + ",合格数量=" +
                  SqlNumber(line.qualified) + ",生产数量=" + SqlNumber(line.produced) +
                  ",包装数量=" + SqlNumber(line.kit_count) + ",备注=" + SqlQuote(line.remarks) +
                  ",前置单据=" + Id(line.source_type) + ",前置单据ID=" + Id(line.source_line) +
                  ",产品ID=" + Id(line.product) + ",原单号=" + SqlQuote(line.plan_number) +
                  ",班次=" + SqlQuote(line.batch) + " Where 报工单明细ID=" + Id(line_id));
  }
  for (const EmployeeShare& share : line.shares) {
    const std::int32_t allocation = s.browser.NewKey("SFCDJMxfs", "报工单明细附属ID");
    s.sql.Execute("insert into sfcdjmxfs(报工单明细附属ID,报工单明细ID,员工ID,分配比例)values(" +
                  Id(allocation) + "," + Id(line_id) + "," + Id(share.employee) + "," +
                  SqlNumber(share.share) + ")");
  }
}

// Code, name and size of a product, joined by blanks.
std::string ProductText(const WorkReportStore& s, std::int32_t product) {
  std::unique_ptr<Recordset> rows =
      s.sql.Rows("select 物品编码,物品名称,规格 from pdmcpml where 产品ID=" + Id(product));
  if (rows->RecordCount() == 0) return {};
  rows->MoveFirst();
  std::string text;
  for (const char* column : {"物品编码", "物品名称", "规格"}) {
    const std::string part = Trim((*rows)[column].ToText());
    if (part.empty()) continue;
    text += (text.empty() ? "" : " ") + part;
  }
  return text;
}

}  // namespace

SaveResult SaveReport(const WorkReportStore& s, const ReportSnapshot& report,
                      std::chrono::year_month_day business_date) {
  const ReportHeader& h = report.header;
  const std::string duplicate =
      h.id < 1 ? " select Top 1 报工单ID from SFCDJ where 报工单编号=" + SqlQuote(h.number) +
                     " and progid =" + Id(s.progid)
               : " Select Top 1 报工单ID From SFCDJ Where 报工单ID <> " + Id(h.id) +
                     " and progid =" + Id(s.progid) + " and 报工单编号=" + SqlQuote(h.number);
  // The number is taken inside the transaction, so that a save that fails gives it back.
  return document::SaveInTransaction(s, h.id, h.number, duplicate, business_date,
                                     [&]() -> std::optional<std::int32_t> {
                                       const std::int32_t id = WriteHeader(s, report);
                                       for (const ReportLine& line : report.lines)
                                         WriteLine(s, line, id);
                                       return id;
                                     });
}

DeleteOutcome DeleteReport(const WorkReportStore& s, std::int32_t report_id,
                           const std::string& number, std::chrono::year_month_day day) {
  DeleteOutcome outcome = DeleteOutcome::kFailed;
  const std::string id = Id(report_id);
  const bool deleted = s.sql.InTransaction(s.guard, "DeleteData", [&] {
    if (!s.host.ReleaseDocumentNumber(s.progid, day, number)) {
      outcome = DeleteOutcome::kNumberHeld;
      return false;
    }
    s.sql.Execute(
        " DELETE FROM SFCDJMXFS WHERE 报工单明细ID in(select 报工单明细ID from sfcdjmx where "
        "报工单ID=" +
        id + ") DELETE FROM SFCDJ WHERE 报工单ID=" + id +
        " DELETE FROM SFCDJMX WHERE 报工单ID=" + id);
    return true;
  });
  return deleted ? DeleteOutcome::kDeleted : outcome;
}

std::optional<PlanExcess> FindPlanExcess(const WorkReportStore& s, std::int32_t report_id) {
  const std::string id = Id(report_id);
  std::unique_ptr<Recordset> sources = s.sql.Rows(
      "select DISTINCT 前置单据ID,产品ID,原单号,班次 as 批次号,工艺ID from sfcdjmx where "
      "报工单ID=" +
      id + " and 前置单据 in" + std::string(kPlanPrograms));
  for (sources->MoveFirst(); !sources->Eof(); sources->MoveNext()) {
    const Recordset& source = *sources;
    const std::int32_t plan_line = source["前置单据ID"].ToLong();
    const std::int32_t product = source["产品ID"].ToLong();
    const std::int32_t process = source["工艺ID"].ToLong();

    std::unique_ptr<Recordset> plan = s.sql.Rows(
        "select 需求数量,产品ID from mrpplanmx A left join mrpplan B on "
        "A.主计划组ID=B.主计划组ID where smark='02' and 主计划ID=" +
        Id(plan_line));
    double demand = 0;
    std::int32_t finished = 0;
    if (plan->RecordCount() > 0) {
      plan->MoveFirst();
      demand = (*plan)["需求数量"].ToDouble();
      finished = (*plan)["产品ID"].ToLong();
    }
    PlanExcess excess;
    excess.plan_number = source["原单号"].ToText();
    excess.batch = source["批次号"].ToText();
    excess.finished_text = ProductText(s, finished);
    double required = demand;
    if (product != finished) {
      const Variant structure = s.sql.Scalar(
          "select top 1 bomID from pdmbom where 产品ID=" + Id(finished) +
          " and sMark='02' AND ISNULL(是否失效,0)=0 AND 是否标准=1 order by bomID desc");
      if (structure.IsBlank()) {
        excess.kind = PlanExcess::Kind::kNoStructure;
        return excess;
      }
      std::unique_ptr<Recordset> component = s.sql.Rows(
          "select 配件ID,case when 实际配量分母<>0 then " + SqlNumber(demand) +
          "*实际配量分子/实际配量分母 else 0 end as 数量" +
          " from pdmbommx where bomID=" + Id(structure.ToLong()) + " and 配件ID=" + Id(product));
      if (component->RecordCount() == 0) {
        excess.kind = PlanExcess::Kind::kNotInStructure;
        excess.part_text = ProductText(s, product);
        return excess;
      }
      component->MoveFirst();
      required = (*component)["数量"].ToDouble();
    }
    const double produced =
        s.sql
            .Scalar(
                "select sum(合格数量) as 数量 from sfcdj A left join sfcdjmx B on "
                "A.报工单ID=B.报工单ID where (smark='02' or A.报工单ID=" +
                id + ") and 前置单据 in" + std::string(kPlanPrograms) + " and 前置单据ID=" +
                Id(plan_line) + " and 产品ID=" + Id(product) + " and 工艺ID=" + Id(process))
            .ToDouble();
    if (produced > required) {
      std::unique_ptr<Recordset> step =
          s.sql.Rows("select 编号,工艺名称 from PDMSR where 工艺ID=" + Id(process));
      if (step->RecordCount() > 0) {
        step->MoveFirst();
        excess.process_text =
            Trim((*step)["编号"].ToText()) + " " + Trim((*step)["工艺名称"].ToText());
      }
      excess.kind = PlanExcess::Kind::kTooMuch;
      excess.part_text = ProductText(s, product);
      excess.produced = produced;
      excess.required = required;
      return excess;
    }
  }
  return std::nullopt;
}

}  // namespace korvane::workreport
