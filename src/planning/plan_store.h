// The storage of master plans: the statements that write one plan (its header with the status
// "01", the lines removed while editing, its lines, the use of its number) and the ones that
// delete it, each inside one transaction, from a plain snapshot of what the form holds. It asks
// and tells nobody: the caller validates first and tells the person the outcome.
//
// Contract:
//  - REQUIRES: the references of PlanStore outlive the call; the browser is started.
//  - A save or delete that fails rolls back: nothing of it is written, and a number taken for
//    it is given back. A refused statement is reported through the guards (the removal of
//    lines as an error of "DeleteMx" through `lines_guard`, the rest as errors of "FileSave"
//    or "DeleteData"); a refusal of the numbering or a duplicate number is only returned.
//  - Every text reaches the statements through SqlQuote.
#ifndef KORVANE_PLANNING_PLAN_STORE_H_
#define KORVANE_PLANNING_PLAN_STORE_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "document/browser.h"
#include "document/guard.h"
#include "document/numbering.h"
#include "document/sql.h"
#include "host/host_context.h"

namespace korvane::planning {

// The header of a plan as entered; texts as the fields hold them.
struct PlanHeader {
  std::int32_t id = 0;  // 0 or below for a plan not stored yet
  std::string number;   // trimmed
  std::string plan_date;
  std::string planner;
  std::string preparer;
  std::string prepared_on;
  std::string approver;
  std::string approved_on;
  std::string remark;
  std::string nature;
  std::int32_t plan_type = 0;
};

// One line with a product; dates and texts as the grid holds them.
struct PlanLine {
  std::int32_t line_id = 0;  // 0 or below for a line not stored yet
  std::int32_t product = 0;
  double stock = 0;
  double demand = 0;  // also the planned quantity
  std::string batch;
  std::string name;
  std::string model;
  std::string demand_date;
  std::string start;
  std::string finish;
};

struct PlanSnapshot {
  PlanHeader header;
  std::vector<PlanLine> lines;
  // The stored lines removed while editing.
  std::vector<std::int32_t> deleted_lines;
};

// What the store works with: the document's pieces, and the guard of a refused removal of
// lines.
struct PlanStore : document::DocumentStore {
  const document::ErrorGuard& lines_guard;
};

using document::DeleteOutcome;
using document::SaveOutcome;
using document::SaveResult;

// Writes the plan: a new one takes its number from the numbering on `business_date` and a new
// key, every new line a new key; each line's number is the plan number, "-" and its id.
SaveResult SavePlan(const PlanStore& store, const PlanSnapshot& plan,
                    std::chrono::year_month_day business_date);

// Gives the number back for `day` and deletes plan `plan_id` with its lines.
DeleteOutcome DeletePlan(const PlanStore& store, std::int32_t plan_id, const std::string& number,
                         std::chrono::year_month_day day);

}  // namespace korvane::planning

#endif  // KORVANE_PLANNING_PLAN_STORE_H_
