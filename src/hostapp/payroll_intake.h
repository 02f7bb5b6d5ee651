// The wage office's intake: the wage rows that approved work reports handed over (PATempDataMx)
// are taken into payroll (paoutdatamx), where the employee wage detail query reads them.
//
// Contract:
//  - Takes every handed-over row not yet taken (bIsIntoGz 0 or NULL), only those of accounting
//    period `period` (lKj) when one is given, in key order, all in one transaction: each becomes
//    a paoutdatamx row with a new key (the host's navigator) and every column the two tables
//    share copied as it is, and is marked taken (bIsIntoGz 1). A report whose rows are taken can
//    no longer be withdrawn.
//  - A row whose wage item (lFsno) is not in PaItem, or whose department (lDeptID) is not in
//    vtPABm, would be paid under no name: the whole intake is refused, nothing is taken, and
//    the error names the item or department and the row's document number.
//  - A statement the database refuses rolls everything back; the error holds the database's
//    text. Nothing throws.
//  - Running it again takes nothing (0 rows): taken rows are never taken twice.
//  - `period` must be a yyyymm with a month from 01 to 12 (ValidPayrollPeriod); another is
//    refused before any statement.
#ifndef KORVANE_HOSTAPP_PAYROLL_INTAKE_H_
#define KORVANE_HOSTAPP_PAYROLL_INTAKE_H_

#include <optional>
#include <string>
#include <string_view>

#include "host/host_context.h"

namespace korvane::hostapp {

struct PayrollIntake {
  bool done = false;  // false: nothing was taken, `error` says why
  int taken = 0;      // the rows taken into payroll
  std::string error;
};

// A yyyymm period from 190001 to 999912.
bool ValidPayrollPeriod(long long period);
// The period a person typed ("202612"): six digits forming a valid period, else nullopt.
std::optional<int> ParsePayrollPeriod(std::string_view text);

PayrollIntake TakeWagesIntoPayroll(HostContext& host, std::optional<int> period);

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_PAYROLL_INTAKE_H_
