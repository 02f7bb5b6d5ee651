// The hand-over of a work report's wages to the wage system: on approval one intake row
// (PATempDataMx) per employee and line, holding the employee's share of the line's quantity and
// actual wage; on withdrawal the rows are taken back, unless the wage system has begun to use
// them. Both are one transaction each; the settings "sfctopay" (hand over at all) and
// "sfctopay_zj" (withdrawal leaves the rows) decide whether anything is done.
#ifndef KORVANE_WORKREPORT_WAGE_HANDOVER_H_
#define KORVANE_WORKREPORT_WAGE_HANDOVER_H_

#include <cstdint>
#include <functional>
#include <string>

#include "document/browser.h"
#include "document/guard.h"
#include "document/sql.h"
#include "host/host_context.h"

namespace korvane::workreport {

// What the hand-over needs of the report it runs for. REQUIRES: the references outlive the
// call; the browser is started.
struct WageHandOver {
  HostContext& host;
  document::DocumentSql& sql;
  document::DocumentBrowser& browser;  // the intake rows' keys
  const document::ErrorGuard& guard;   // refused statements, as errors of "WritePaData"
  std::int32_t progid = 0;
  std::int32_t report_id = 0;
  // Tells the person why nothing was handed over (a report without lines, a line without
  // employees, an employee with a share of zero).
  std::function<void(const std::string&)> tell;
  // Raises the module's error of its own text (rows already taken by the wage system).
  std::function<void(const std::string&)> raise;
};

// True when the rows were written, or nothing was to be done; false when the report was
// refused (told) or a statement failed (reported, nothing written).
bool ApproveWages(const WageHandOver& hand_over);
// True when the rows were taken back, or are to stay; false when the wage system has used
// them (raised) or a statement failed (reported, nothing deleted).
bool WithdrawWages(const WageHandOver& hand_over);

}  // namespace korvane::workreport

#endif  // KORVANE_WORKREPORT_WAGE_HANDOVER_H_
