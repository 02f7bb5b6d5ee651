// Writing and deleting process routes, each in one transaction.
#include "routing/route_store.h"

#include <string>

#include "host/data_service.h"
#include "values/variant.h"

namespace korvane::routing {
namespace {

using document::DataFailure;
using document::SqlNumber;

std::string Id(std::int32_t id) { return std::to_string(id); }
std::string Flag(bool on) { return on ? "1" : "0"; }

std::int32_t WriteHeader(const document::DocumentStore& s, const RouteHeader& h) {
  const std::string name = SqlQuote(Trim(h.name));
  const std::string date = SqlQuote(document::SqlDate(h.date));
  const std::string note = SqlQuote(Trim(h.note));
  if (h.id > 0) {
    s.sql.Execute("update pdmsrlx set 路线名称=" + name + ",日期=" + date +
                  ",产品ID=" + Id(h.product) + ",说明=" + note + ",是否标准=" + Flag(h.standard) +
                  ",是否失效=" + Flag(h.invalid) + ",是否关键路线=" + Flag(h.critical) +
                  " where ID=" + Id(h.id));
    return h.id;
  }
  const std::int32_t id = s.browser.NewKey("pdmSRLX", "ID");
  // Operations left behind under a reused key must not join the new route.
  s.sql.Execute("DELETE FROM pdmsrlxmx where srlxid=" + Id(id));
  s.sql.Execute(
      "insert into pdmsrlx (ID,产品ID,路线名称,日期,说明,是否标准,是否失效,是否关键路线) values "
      "( " +
      Id(id) + "," + Id(h.product) + "," + name + "," + date + "," + note + "," + Flag(h.standard) +
      "," + Flag(h.invalid) + "," + Flag(h.critical) + ")");
  return id;
}

void WriteOperation(const document::DocumentStore& s, const RouteOperation& op,
                    std::int32_t route_id) {
  const std::string sequence = SqlQuote(Trim(op.sequence));
  const std::string note = SqlQuote(Trim(op.note));
  if (op.operation_id <= 0) {
    const std::int32_t id = s.browser.NewKey("pdmSRLXmx", "ID");
    s.sql.Execute(
        " InSert Into pdmsrlxmx (ID,srlxid,顺序号,工艺ID,部门ID,工作中心ID,准备工时,加工工时,"
        "小时加工数,说明) Values (" +
        Id(id) + "," + Id(route_id) + "," + sequence + "," + Id(op.process) + "," +
        Id(op.workshop) + "," + Id(op.work_centre) + "," + SqlNumber(op.setup_time) + "," +
        SqlNumber(op.processing_time) + "," + SqlNumber(op.per_hour) + "," + note + ")");
    return;
  }
  s.sql.Execute(" Update pdmsrlxmx Set 顺序号=" + sequence + ",工艺ID=" + Id(op.process) +
                ",部门ID=" + Id(op.workshop) + ",工作中心ID=" + Id(op.work_centre) + ",准备工时=" +
                SqlNumber(op.setup_time) + ",加工工时=" + SqlNumber(op.processing_time) +
                ",小时加工数=" + SqlNumber(op.per_hour) + ",说明=" + note +
                " Where ID=" + Id(op.operation_id));
}

// The operation's piece rate for the product: the ordinary grade's row of the process and work
// centre is updated, or added when there is none.
void WriteRate(const document::DocumentStore& s, const RouteOperation& op, std::int32_t product) {
  const std::string rates =
      SqlNumber(op.wage) + "," + SqlNumber(op.ratio) + "," + SqlNumber(op.process_price);
  const double stored = s.sql
                            .Scalar("select ID from pagzde where 工序ID=" + Id(op.process) +
                                    " and 产品ID=" + Id(product) +
                                    " and 工作中心ID=" + Id(op.work_centre) + " and 品质=''")
                            .ToDouble();
  if (stored > 0) {
    s.sql.Execute("update pagzde set 单位工资=" + SqlNumber(op.wage) +
                  ",比率=" + SqlNumber(op.ratio) + ",工艺价=" + SqlNumber(op.process_price) +
                  " where ID=" + FormatNumber(stored));
    return;
  }
  const std::int32_t id = s.browser.NewKey("pagzde", "ID");
  s.sql.Execute(
      "insert into pagzde(ID,工序ID,产品ID,工作中心ID,品质,单位工资,比率,工艺价) values (" +
      Id(id) + "," + Id(op.process) + "," + Id(product) + "," + Id(op.work_centre) + ",''," +
      rates + ")");
}

}  // namespace

RouteSaveResult SaveRoute(const document::DocumentStore& s, const RouteSnapshot& route) {
  RouteSaveResult result{false, route.header.id, {}};
  std::int32_t stored = route.header.id;
  const bool saved = s.sql.InTransaction(s.guard, "FileSave", [&] {
    try {
      stored = WriteHeader(s, route.header);
      for (const RouteOperation& op : route.operations) {
        WriteOperation(s, op, stored);
        if (route.header.product > 0) WriteRate(s, op, route.header.product);
      }
      s.sql.Execute("Update PDMCpml Set 工艺路线ID=" + Id(stored) +
                    " WHERE 产品ID=" + Id(route.header.product));
    } catch (const DataFailure& failure) {
      result.error = failure.what();
      return false;
    }
    return true;
  });
  if (saved) {
    result.saved = true;
    result.id = stored;
  }
  return result;
}

bool DeleteRoute(const document::DocumentStore& s, std::int32_t id, std::string& error) {
  error.clear();
  return s.sql.InTransaction(s.guard, "FileDelete", [&] {
    try {
      s.sql.Execute("delete from pdmsrlx where id=" + Id(id) +
                    " delete from pdmsrlxmx where srlxid=" + Id(id));
    } catch (const DataFailure& failure) {
      error = failure.what();
      return false;
    }
    return true;
  });
}

std::string DeleteRouteOperation(const document::DocumentStore& s, std::int32_t operation_id) {
  std::string error;
  try {
    s.sql.Execute("delete from pdmsrlxmx where id=" + Id(operation_id));
  } catch (const DataFailure& failure) {
    error = failure.what();
  }
  return error;
}

}  // namespace korvane::routing
