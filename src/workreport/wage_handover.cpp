// Approval and withdrawal of a work report's wage shares in the wage system's intake table.
#include "workreport/wage_handover.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::workreport {
namespace {

using document::DataFailure;
using document::SqlNumber;

std::string Id(std::int32_t id) { return std::to_string(id); }

struct Share {
  std::int32_t employee;
  double share;
};

struct Line {
  std::string number, date, batch, rate;
  std::int32_t product = 0, process = 0, workshop = 0;
  double quantity = 0, price = 0, amount = 0;
  std::vector<Share> shares;
};

// The report's lines with their employees; nullopt when the report cannot be handed over
// (the person has been told why).
std::optional<std::vector<Line>> ReadLines(const WageHandOver& h) {
  std::vector<Line> lines;
  std::unique_ptr<Recordset> rows = h.sql.Rows(
      "select 报工单编号,报工单明细ID,产品ID,工艺ID,工作中心ID as 车间ID,A.生产日期,'' as 班次,"
      "合格数量 as 数量,case when 合格数量=0 then 0 else (工资金额-工资扣减金额)/合格数量 end as "
      "单价,工资金额-工资扣减金额 as 金额,工资定额系数 from sfcdjmx A left join sfcdj B on "
      "A.报工单ID=B.报工单ID where A.报工单ID=" +
      Id(h.report_id));
  if (rows->RecordCount() == 0) {
    h.tell("无数据记录!");
    return std::nullopt;
  }
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    const Recordset& row = *rows;
    Line line;
    line.number = row["报工单编号"].ToText();
    const std::optional<DateTime> date = row["生产日期"].ToDate();
    line.date = date ? FormatDate(*date) : row["生产日期"].ToText();
    line.batch = row["班次"].ToText();
    line.rate = row["工资定额系数"].ToText();
    line.product = row["产品ID"].ToLong();
    line.process = row["工艺ID"].ToLong();
    line.workshop = row["车间ID"].ToLong();
    line.quantity = row["数量"].ToDouble();
    line.price = row["单价"].ToDouble();
    line.amount = row["金额"].ToDouble();
    std::unique_ptr<Recordset> people = h.sql.Rows(
        "select A.员工ID,分配比例,雇员编号+' '+姓名 as 姓名 from sfcdjmxfs A left join PDMGY B "
        "on A.员工ID=B.雇员ID where A.报工单明细ID=" +
        Id(row["报工单明细ID"].ToLong()));
    if (people->RecordCount() == 0) {
      h.tell("无员工!");
      return std::nullopt;
    }
    for (people->MoveFirst(); !people->Eof(); people->MoveNext()) {
      const double share = (*people)["分配比例"].ToDouble();
      if (share == 0) {
        h.tell("[" + (*people)["姓名"].ToText() + "]" + "分配系数为零!");
        return std::nullopt;
      }
      line.shares.push_back({(*people)["员工ID"].ToLong(), share});
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

bool ApproveWages(const WageHandOver& h) {
  try {
    if (NumericValue(h.host.Setting("sfctopay")) == 0) return true;
    const std::optional<std::vector<Line>> lines = ReadLines(h);
    if (!lines) return false;
    const std::string id = Id(h.report_id);
    const std::string progid = Id(h.progid);
    const std::string period = Id(static_cast<std::int32_t>(NumericValue(h.host.Setting(1))));
    const std::string item = Id(static_cast<std::int32_t>(NumericValue(h.host.Setting(5))));
    return h.sql.InTransaction(h.guard, "WritePaData", [&] {
      for (const Line& line : *lines) {
        for (const Share& share : line.shares) {
          const std::int32_t key = h.browser.NewKey("PATempDataMx", "lAutoID");
          h.sql.Execute(
              " InSert Into PATempDataMx(  lAutoID,lKj,lFsno,lDeptID,lEmployeeID,tCzDate,sScPh,"
              "sBanCi, dAmount,dHour,dPrice,dMoney,sRemark,sStandby1,sStandby2,sStandby3,"
              "sStandby4,sStandby5, lGxID,lWorkCenterID,lOutAutoID,lGoodsID,lOutCzID,bIsIntoGz,"
              "sOutNumber) Values (" +
              Id(key) + "," + period + "," + item + "," + Id(line.workshop) + "," +
              Id(share.employee) + "," + SqlQuote(line.date) + ",''," + SqlQuote(line.batch) + "," +
              SqlNumber(line.quantity * share.share) + ",0," + SqlNumber(line.price) + "," +
              SqlNumber(line.amount * share.share) + ",''," + SqlQuote(line.rate) + "," +
              SqlQuote(Variant(share.share).ToText()) + ",'','',''," + Id(line.process) + "," +
              Id(line.workshop) + "," + id + "," + Id(line.product) + "," + progid + ",0," +
              SqlQuote(line.number) + ")");
        }
      }
      return true;
    });
  } catch (const DataFailure& failure) {
    h.guard.Report("WritePaData", failure.what());
  }
  return false;
}

bool WithdrawWages(const WageHandOver& h) {
  try {
    if (NumericValue(h.host.Setting("sfctopay")) == 0) return true;
    if (NumericValue(h.host.Setting("sfctopay_zj")) == 1) return true;
    const std::string id = Id(h.report_id);
    const std::string progid = Id(h.progid);
    const Variant taken =
        h.sql.Scalar("select max(bIsIntoGz) from PATempDataMx Where lOutAutoID=" + id +
                     " and lOutCzID=" + progid);
    if (taken.ToDouble() != 0) {
      h.raise("已有部分数据记入工资系统，请先在工资系统中导出!");
      return false;
    }
    return h.sql.InTransaction(h.guard, "WritePaData", [&] {
      h.sql.Execute(" Delete from PATempDataMx Where lOutAutoID=" + id + " and lOutCzID=" + progid);
      return true;
    });
  } catch (const DataFailure& failure) {
    h.guard.Report("WritePaData", failure.what());
  }
  return false;
}

}  // namespace korvane::workreport
