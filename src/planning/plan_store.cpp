// Writing and deleting master plans, each in one transaction.
#include "planning/plan_store.h"

#include <optional>
#include <string>

#include "host/data_service.h"
#include "values/variant.h"

namespace korvane::planning {
namespace {

using document::SqlDate;
using document::SqlNumber;

std::string Id(std::int32_t id) { return std::to_string(id); }

std::int32_t WriteHeader(const PlanStore& s, const PlanHeader& h) {
  const std::string number = SqlQuote(h.number);
  const std::string plan_date = SqlQuote(SqlDate(h.plan_date));
  const std::string planner = SqlQuote(h.planner);
  const std::string preparer = SqlQuote(h.preparer);
  const std::string prepared_on = SqlQuote(SqlDate(h.prepared_on));
  const std::string approver = SqlQuote(h.approver);
  const std::string approved_on = SqlQuote(SqlDate(h.approved_on));
  const std::string remark = SqlQuote(h.remark);
  const std::string nature = SqlQuote(h.nature);
  if (h.id > 0) {
    s.sql.Execute(" Update MRPPlan set progid=" + Id(s.progid) + ", smark='01', 单据编号=" +
                  number + ", 计划日期=" + plan_date + ", 计划员=" + planner +
                  ", 制单=" + preparer + ", 制单日期=" + prepared_on + ", 审核=" + approver +
                  ", 审核日期=" + approved_on + ", 备注=" + remark + ", 性质=" + nature +
                  ",计划类型ID=" + Id(h.plan_type) + " Where 主计划组ID=" + Id(h.id));
    return h.id;
  }
  const std::int32_t id = s.browser.NewKey("MRPPlan", "主计划组ID");
  s.sql.Execute(
      " InSert Into MRPPlan ( 主计划组ID,progID,smark,单据编号,计划日期,计划员,制单,制单日期,审核,"
      "审核日期,备注,性质,计划类型ID) Values (" +
      Id(id) + "," + Id(s.progid) + ",'01'," + number + "," + plan_date + "," + planner + "," +
      preparer + "," + prepared_on + "," + approver + "," + approved_on + "," + remark + "," +
      nature + "," + Id(h.plan_type) + ")");
  return id;
}

void WriteLine(const PlanStore& s, const PlanLine& line, std::int32_t plan_id,
               const std::string& plan_number) {
  const std::string demand = SqlNumber(line.demand);
  if (line.line_id <= 0) {
    const std::int32_t id = s.browser.NewKey("MRPPlanMX", "主计划ID");
    s.sql.Execute(
        " INSERT INTO MRPPlanmx  ( 主计划ID,主计划组ID,产品ID,库存数量,需求数量,计划数量,status,"
        "产品批次,物品名称,物品规格,计划编号,需求日期,预计开工日,预计完工日,计划类型 ) VALUES  (" +
        Id(id) + "," + Id(plan_id) + "," + Id(line.product) + "," + SqlNumber(line.stock) + "," +
        demand + "," + demand + ",'填单'," + SqlQuote(line.batch) + "," + SqlQuote(line.name) +
        "," + SqlQuote(line.model) + "," + SqlQuote(plan_number + "-" + Id(id)) + "," +
        SqlQuote(line.demand_date) + "," + SqlQuote(line.start) + "," + SqlQuote(line.finish) +
        ",2)");
    return;
  }
  s.sql.Execute(" UPDATE MRPPlanmx SET 主计划组ID=" + Id(plan_id) + ", 产品ID=" + Id(line.product) +
                ", 库存数量=" + SqlNumber(line.stock) + ", 需求数量=" + demand +
                ", 计划数量=" + demand + ", status='填单', 产品批次=" + SqlQuote(line.batch) +
                ", 物品名称=" + SqlQuote(line.name) + ", 物品规格=" + SqlQuote(line.model) +
                ", 计划编号=" + SqlQuote(plan_number + "-" + Id(line.line_id)) +
                ", 需求日期=" + SqlQuote(line.demand_date) +
                ", 预计开工日=" + SqlQuote(line.start) + ", 预计完工日=" + SqlQuote(line.finish) +
                ", 计划类型=2 WHERE 主计划ID=" + Id(line.line_id));
}

// The removal of the lines taken off the grid; false (reported) when it was refused.
bool RemoveLines(const PlanStore& s, const std::vector<std::int32_t>& lines) {
  std::string ids;
  for (const std::int32_t line : lines) {
    if (line > 0) ids += (ids.empty() ? "" : ",") + Id(line);
  }
  if (ids.empty()) return true;
  try {
    s.sql.Execute("Delete from mrpplanMx Where 主计划ID in(" + ids + ")");
  } catch (const document::DataFailure& failure) {
    s.lines_guard.Report("DeleteMx", failure.what());
    return false;
  }
  return true;
}

}  // namespace

SaveResult SavePlan(const PlanStore& s, const PlanSnapshot& plan,
                    std::chrono::year_month_day business_date) {
  const PlanHeader& h = plan.header;
  const std::string duplicate =
      h.id <= 0 ? " select 主计划组ID from  MRPPlan where 单据编号 =" + SqlQuote(h.number) +
                      " and progid =" + Id(s.progid)
                : " Select  * From MRPPlan Where 主计划组ID <> " + Id(h.id) +
                      " and progid =" + Id(s.progid) + " and 单据编号=" + SqlQuote(h.number);
  // The number is taken inside the transaction, so that a save that fails gives it back.
  return document::SaveInTransaction(s, h.id, h.number, duplicate, business_date,
                                     [&]() -> std::optional<std::int32_t> {
                                       const std::int32_t id = WriteHeader(s, h);
                                       if (!RemoveLines(s, plan.deleted_lines)) return std::nullopt;
                                       for (const PlanLine& line : plan.lines)
                                         WriteLine(s, line, id, h.number);
                                       return id;
                                     });
}

DeleteOutcome DeletePlan(const PlanStore& s, std::int32_t plan_id, const std::string& number,
                         std::chrono::year_month_day day) {
  DeleteOutcome outcome = DeleteOutcome::kFailed;
  const bool deleted = s.sql.InTransaction(s.guard, "DeleteData", [&] {
    if (!s.host.ReleaseDocumentNumber(s.progid, day, number)) {
      outcome = DeleteOutcome::kNumberHeld;
      return false;
    }
    s.sql.Execute("Delete from MRPPlan where 主计划组ID=" + Id(plan_id));
    s.sql.Execute("Delete from MRPPlanmx where 主计划组ID=" + Id(plan_id));
    return true;
  });
  return deleted ? DeleteOutcome::kDeleted : outcome;
}

}  // namespace korvane::planning
