// The storage of work reports: the statements that write one report (its header, the lines
// deleted while editing, its lines with their employees' shares, the use of its number) and
// the ones that delete it, each inside one transaction, from a plain snapshot of what the form
// holds; and the reads that hold a stored report's plan lines to their demand before approval.
// It asks and tells nobody: the caller validates first and tells the person the outcome.
//
// Contract:
//  - REQUIRES: the references of WorkReportStore outlive the call; the browser is started; the
//    snapshot has passed the form's checks (a workshop, a date, every line with a product, a
//    process and its employees).
//  - A save or delete that fails rolls back: nothing of it is written, and a number taken for
//    it is given back. A refused statement is reported through the guard (as an error of
//    "FileSave" or "DeleteData"); a refusal of the numbering or a duplicate number is only
//    returned, for the caller to tell.
#ifndef KORVANE_WORKREPORT_WORK_REPORT_STORE_H_
#define KORVANE_WORKREPORT_WORK_REPORT_STORE_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/browser.h"
#include "document/guard.h"
#include "document/numbering.h"
#include "document/sql.h"
#include "host/host_context.h"

namespace korvane::workreport {

// The header of a report as entered; texts as the fields hold them.
struct ReportHeader {
  std::int32_t id = 0;  // below 1 for a report not stored yet
  std::string number;   // trimmed
  std::int32_t workshop = 0;
  std::string date;  // the production date; a date is written as yyyy-mm-dd
  std::string remarks;
  std::string preparer;
  std::string prepared_on;
  std::string approver;
  std::string approved_on;
};

struct EmployeeShare {
  std::int32_t employee = 0;
  double share = 0;
};

// One line with a product, its quantities and wages as numbers.
struct ReportLine {
  std::int32_t line_id = 0;  // 0 or less for a line not stored yet
  std::string date;
  std::int32_t product = 0;
  std::int32_t process = 0;
  std::int32_t source_type = 0;
  std::int32_t source_line = 0;
  double rate = 0;
  double wage = 0;
  double deduction = 0;
  double qualified = 0;
  double produced = 0;
  double kit_count = 0;
  std::string remarks;
  std::string plan_number;
  std::string batch;
  std::vector<EmployeeShare> shares;
};

struct ReportSnapshot {
  ReportHeader header;
  std::vector<ReportLine> lines;
  // The stored lines deleted while editing; ids below 1 are ignored.
  std::vector<std::int32_t> deleted_lines;
};

// What the store works with.
using WorkReportStore = document::DocumentStore;
using document::DeleteOutcome;
using document::SaveOutcome;
using document::SaveResult;

// Writes the report: a new one takes its number from the numbering on `business_date` and a
// new key; a stored one has every allocation written again, its deleted lines removed and its
// preparation date set to the production date. Nothing is written unless kSaved.
SaveResult SaveReport(const WorkReportStore& store, const ReportSnapshot& report,
                      std::chrono::year_month_day business_date);

// Releases the number of report `report_id` for `day` and deletes the report with its lines
// and their allocations.
DeleteOutcome DeleteReport(const WorkReportStore& store, std::int32_t report_id,
                           const std::string& number, std::chrono::year_month_day day);

// The master plan's document class: its lines are the only sources whose quantities count.
inline constexpr std::string_view kPlanPrograms =
    "(select progID from xt_objects where billitem=6501)";

// A plan line of a report whose approval would exceed what the plan asks for.
struct PlanExcess {
  enum class Kind {
    kNoStructure,     // the plan's product has no valid approved standard structure
    kNotInStructure,  // the line's product is not in that structure
    kTooMuch,         // approved reports and this one produced more than required
  };
  Kind kind = Kind::kTooMuch;
  std::string plan_number;
  std::string batch;
  std::string finished_text;  // code, name and size of the plan's product
  std::string part_text;      // of the line's product; empty for kNoStructure
  std::string process_text;   // number and name of the process; kTooMuch only
  double produced = 0;        // kTooMuch only
  double required = 0;        // kTooMuch only
};

// The first plan line of stored report `report_id` (by its distinct plan line, product, batch
// and process) whose quantity qualified on approved reports and on this one exceeds the plan's
// demand, or the part's share of it; nullopt when all are within. Writes nothing. Throws
// document::DataFailure when a statement is refused.
std::optional<PlanExcess> FindPlanExcess(const WorkReportStore& store, std::int32_t report_id);

}  // namespace korvane::workreport

#endif  // KORVANE_WORKREPORT_WORK_REPORT_STORE_H_
