// SCCJD_RPT: the work report query. It lists work report lines with the plan line each came
// from, the employees who did the work, the structure quantity of the part and the standard
// piece rate beside the rate the line was paid at, narrowed by thirteen condition fields and
// the two status boxes; it opens the source report on a double-click and pushes the standard
// rate into selected lines of unapproved reports ("更新工价(&R)").
//
// Contract (besides the report frame's, document/report_base.h):
//  - Init also sets up the conditions, the status boxes and the grid; the rate button is
//    enabled only when the host's user-rights check allows this program id.
//  - Refresh builds the condition text from the fields in their fixed order (employee ids are
//    matched between ";" so that 1 never matches 12; an end date that is a date includes its
//    whole day), runs the query and loads every row at once; a line whose rate differs from
//    the standard rate carries the note picture in the standard rate column. The user's grid
//    settings (subtotals, "合计") are applied, the key columns hidden, and Message tells
//    "共加载有" + rows + "条记录". A statement the database refuses is raised as ErrMessage
//    (its text, level 8) and the grid keeps what was loaded before.
//  - UpdateRates (the button) asks once, then for every selected line whose rate differs
//    from the standard rate runs one update that the database applies only to lines of
//    unapproved reports; a line it changed shows its new rate and wage without the mark, a
//    line of an approved report stays as it was.
//  - Texts typed into the conditions reach SQL only as quoted literals; ids only as numbers.
#ifndef KORVANE_REPORTS_SCCJD_RPT_H_
#define KORVANE_REPORTS_SCCJD_RPT_H_

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/lookup_field.h"
#include "document/report_base.h"

namespace korvane {

namespace sccjd_rpt {
// Condition fields, by index.
inline constexpr int kEmployee = 0;
inline constexpr int kPlanFrom = 1;
inline constexpr int kWorkshop = 2;
inline constexpr int kDateFrom = 3;
inline constexpr int kDateTo = 4;
inline constexpr int kPart = 5;
inline constexpr int kCategory = 6;
inline constexpr int kBatch = 7;
inline constexpr int kPreparer = 8;
inline constexpr int kNumber = 9;
inline constexpr int kProcess = 10;
inline constexpr int kFinished = 11;
inline constexpr int kPlanTo = 12;
inline constexpr int kFieldCount = 13;
// Status boxes.
inline constexpr int kUnapproved = 0;
inline constexpr int kApproved = 1;
}  // namespace sccjd_rpt

class SCCJD_RPT : public document::ReportBase {
 public:
  SCCJD_RPT();

  bool Refresh() override;
  // The rate button's work: see the contract. False when nothing was asked or updated.
  bool UpdateRates();

  // The condition text the fields and status boxes give now: " and ..." pieces in their
  // order, empty when nothing narrows the list.
  std::string ConditionText() const;

 private:
  void InitModule() override;
  void DefaultConditions() override;
  std::optional<document::DetailTarget> DetailOf(int row) const override;
  std::vector<std::string> HeadingConditionLines() const override;

  void MarkRates();
  std::string Field(int index, bool trimmed) const;

  std::vector<controls::LookupField*> fields_;
  std::array<controls::CheckBox*, 2> status_{};
  controls::Button* update_rates_ = nullptr;
};

}  // namespace korvane

#endif  // KORVANE_REPORTS_SCCJD_RPT_H_
