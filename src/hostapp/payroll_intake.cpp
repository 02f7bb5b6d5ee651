// Taking the handed-over wage rows into payroll, in one transaction.
#include "hostapp/payroll_intake.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::hostapp {
namespace {

// The columns paoutdatamx shares with PATempDataMx, but for its own key.
constexpr const char* kSharedColumns =
    "lKj,lFsno,lDeptID,lEmployeeID,tCzDate,sScPh,sBanCi,dAmount,dHour,dPrice,dMoney,sRemark,"
    "sStandby1,sStandby2,sStandby3,sStandby4,sStandby5,lGxID,lWorkCenterID,lOutAutoID,lGoodsID,"
    "lOutCzID,sOutNumber";

// A statement the database refused; its text is the database's.
class Refused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Intake {
 public:
  Intake(HostContext& host, DataService& data, std::optional<int> period)
      : host_(host), data_(data), period_(period) {}

  // The rows not yet taken (of the period), as a condition on PATempDataMx named `table`.
  std::string Waiting(const std::string& table = "A") const {
    std::string condition = "isnull(" + table + ".bIsIntoGz,0)=0";
    if (period_) condition += " and " + table + ".lKj=" + std::to_string(*period_);
    return condition;
  }

  std::unique_ptr<Recordset> Rows(const std::string& sql) {
    std::unique_ptr<Recordset> rows = data_.OpenSql(sql);
    if (rows == nullptr) throw Refused(data_.LastError());
    return rows;
  }
  void Execute(const std::string& sql) {
    if (!data_.ExecuteSql(sql)) throw Refused(data_.LastError());
  }

  // Why a waiting row could not be paid under a name; empty when every row can.
  std::string Unnamed() {
    std::unique_ptr<Recordset> item = Rows(
        "select top 1 A.lFsno,A.sOutNumber from PATempDataMx A left join PaItem B on "
        "A.lFsno=B.lFsno where " +
        Waiting() + " and B.lFsno is null order by A.lAutoID");
    if (item->RecordCount() > 0) {
      return "wage item " + Shown((*item)["lFsno"]) + " of document " +
             Shown((*item)["sOutNumber"]) + " is not in PaItem";
    }
    std::unique_ptr<Recordset> department = Rows(
        "select top 1 A.lDeptID,A.sOutNumber from PATempDataMx A left join vtPABm C on "
        "A.lDeptID=C.部门ID where " +
        Waiting() + " and C.部门ID is null order by A.lAutoID");
    if (department->RecordCount() > 0) {
      return "department " + Shown((*department)["lDeptID"]) + " of document " +
             Shown((*department)["sOutNumber"]) + " is not in vtPABm";
    }
    return {};
  }

  // Copies the waiting rows and marks them taken; the number taken.
  int Take() {
    std::unique_ptr<Recordset> waiting =
        Rows("select A.lAutoID from PATempDataMx A where " + Waiting() + " order by A.lAutoID");
    std::unique_ptr<RecordNavigator> keys = host_.CreateRecordNavigator();
    if (keys == nullptr) throw Refused("the host issues no keys");
    int taken = 0;
    for (waiting->MoveFirst(); !waiting->Eof(); waiting->MoveNext()) {
      const NewKeyAnswer key = keys->NewKey("paoutdatamx", "lAutoID");
      if (!key.error.empty()) throw Refused(key.error);
      Execute(std::string("insert into paoutdatamx (lAutoID,") + kSharedColumns + ") select " +
              std::to_string(key.key) + "," + kSharedColumns + " from PATempDataMx where lAutoID=" +
              std::to_string((*waiting)["lAutoID"].ToInt64()));
      ++taken;
    }
    if (taken > 0) Execute("update PATempDataMx set bIsIntoGz=1 where " + Waiting("PATempDataMx"));
    return taken;
  }

 private:
  static std::string Shown(const Variant& value) {
    return value.IsNull() || value.IsEmpty() ? std::string("(none)") : value.ToText();
  }

  HostContext& host_;
  DataService& data_;
  std::optional<int> period_;
};

}  // namespace

bool ValidPayrollPeriod(long long period) {
  const long long month = period % 100;
  return period >= 190001 && period <= 999912 && month >= 1 && month <= 12;
}

std::optional<int> ParsePayrollPeriod(std::string_view text) {
  if (text.size() != 6) return std::nullopt;
  int period = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    period = period * 10 + (c - '0');
  }
  if (!ValidPayrollPeriod(period)) return std::nullopt;
  return period;
}

PayrollIntake TakeWagesIntoPayroll(HostContext& host, std::optional<int> period) {
  PayrollIntake result;
  if (period && !ValidPayrollPeriod(*period)) {
    result.error = "the period " + std::to_string(*period) + " is no yyyymm with a month 01 to 12";
    return result;
  }
  try {
    const std::shared_ptr<DataService> data = host.Data();
    if (data == nullptr) {
      result.error = "the host has no database";
      return result;
    }
    if (!data->BeginTrans()) {
      result.error = "the payroll intake could not begin: " + data->LastError();
      return result;
    }
    Intake intake(host, *data, period);
    try {
      const std::string unnamed = intake.Unnamed();
      if (!unnamed.empty()) {
        data->RollbackTrans();
        result.error = unnamed + "; nothing was taken into payroll";
        return result;
      }
      const int taken = intake.Take();
      if (!data->CommitTrans()) throw Refused(data->LastError());
      result.done = true;
      result.taken = taken;
    } catch (...) {
      data->RollbackTrans();
      throw;
    }
  } catch (const std::exception& e) {
    result.error = std::string("the payroll intake failed, nothing was taken: ") + e.what();
  } catch (...) {
    result.error = "the payroll intake failed, nothing was taken";
  }
  return result;
}

}  // namespace korvane::hostapp
