// SCCJD_S: the work report document (报工单), created by a host as "Korvane.SCCJD_S". It shows
// one work report at a time: the header fields, the 28-column line grid with each line's
// employees and shares, and the document totals; it walks the reports of its program id
// (unapproved ones, or the approved ones of the current accounting window), finds and filters
// them, writes the print data file and keeps the user's column widths.
//
// Contract:
//  - The host calls Init(context, progid, document id) first. A document id of 1 or more keeps
//    every load on that one report. Without a context Init returns false and every other call
//    that needs the database returns false.
//  - Every member guards itself: an unexpected error or a database error is raised as
//    ErrMessage("SCCJD_S-->" + routine + "::" + text, level 8, application title) and the member
//    returns false without changing the mode. Nothing throws to the host.
//  - The module is browsing (form locked) after Init and every load; FileEdit unlocks the form
//    for the shown report and FileCancel returns to the report shown before.
//  - FileNew and FileEdit unlock the form (a new report has id -1); FileSave validates, asking
//    or telling the user in message boxes, and stores the report in one transaction (the new
//    number included): on any failure the database is as before, the form keeps what was
//    entered and stays unlocked, and FileSave returns false. FileSave returns false at once
//    while browsing. FileDelete asks first and deletes in one transaction too.
//  - Check hands every employee's wage share of the shown report to the wage intake table
//    PATempDataMx, UnCheck takes the shares back; neither writes the report's approval state,
//    which the host records when they return true.
//  - The object owns its form and controls; the host context is shared and dropped by Clear.
#ifndef KORVANE_WORKREPORT_SCCJD_S_H_
#define KORVANE_WORKREPORT_SCCJD_S_H_

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "document/document_base.h"
#include "host/dialogs.h"
#include "host/error_rule.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "values/object.h"
#include "workreport/work_report_store.h"

namespace korvane {

class FrmSelGy;
class frmSccjd;
struct clsScRk;

namespace workreport {

// Columns of the line grid.
enum Col : int {
  kColRowNumber = 0,
  kColDate = 1,
  kColPlanNumber = 2,
  kColBatch = 3,
  kColFinishedProduct = 4,
  kColFinishedQuantity = 5,
  kColKitCount = 6,
  kColEmployees = 7,    // key: the employee ids, ";"-separated
  kColShares = 8,       // key: the allocation row ids, ";"-separated
  kColProductCode = 9,  // key: 产品ID
  kColProductName = 10,
  kColModel = 11,
  kColBomQuantity = 12,
  kColUnit = 13,
  kColProcess = 14,  // key: 工艺ID
  kColProduced = 15,
  kColQualified = 16,
  kColRate = 17,
  kColWage = 18,
  kColDeduction = 19,
  kColActualWage = 20,
  kColStandardRate = 21,  // shows the "note" picture when the rate used is not this one
  kColSourceType = 22,    // key: 前置单据
  kColSourceNumber = 23,  // key: 前置单据ID
  kColFinishedBatch = 24,
  kColBomId = 25,
  kColRemarks = 26,
  kColLineId = 27,
  kColCount = 28,
};

// Header fields (the qxTxt array) by index.
enum Field : int {
  kFieldNumber = 0,
  kFieldWorkshop = 1,
  kFieldDate = 2,
  kFieldPreparer = 3,
  kFieldPreparedOn = 4,
  kFieldApprover = 5,
  kFieldApprovedOn = 6,
  kFieldRemarks = 7,
  kFieldCount = 8,
};

inline constexpr std::string_view kModuleName = "SCCJD_S";
inline constexpr std::string_view kKeyColumn = "报工单ID";
// The header texts of the grid; the blanks size the columns.
extern const std::string_view kGridHeader;
// Data rows the grid always offers, even for a shorter report.
inline constexpr int kMinimumDataRows = 100;
// The picture marking a rate that is not the standard rate.
inline constexpr std::string_view kNotePicture = "note";

// Code, name and size (规格) of a finished product joined by blanks; empty parts are left out.
std::string JoinNonEmpty(std::initializer_list<std::string> parts);
// Whether the rate used differs from the standard one: by value when both are given, and
// whenever only one of them is.
bool RateDiffers(const std::string& used, const std::string& standard);

}  // namespace workreport

class SCCJD_S : public document::DocumentBase, public EventSource<DocumentEvents> {
 public:
  SCCJD_S();
  ~SCCJD_S() override;

  // --- IFormUI members of its own --------------------------------------------------------
  bool FileNew() override;
  bool FileEdit() override;
  bool FileDelete() override;
  bool FileSave() override;
  bool Check() override;
  bool UnCheck() override;

  // --- What a host renders and drives ----------------------------------------------------
  controls::Grid& grid() { return *grid_; }
  controls::LookupField& field(int index) { return *fields_.at(static_cast<std::size_t>(index)); }
  controls::Label& stamp() { return *stamp_; }
  controls::Label& filter_label() { return *filter_mark_; }
  controls::Label& record_label() { return *record_label_; }
  controls::CheckBox& keep_header() { return *chkk_; }
  // The source button: opens the source selection dialog while a report is entered or edited.
  controls::Button& source_button() { return *cmd_sources_; }
  // The source selection dialog last opened; null before the first.
  frmSccjd* source_dialog() { return sources_.get(); }
  // The totals: quantity (数量合计), amount in figures (金额小写), amount in words (金额大写).
  controls::Label& quantity_total() { return *lbl_quantity_; }
  controls::Label& amount_total() { return *lbl_amount_; }
  controls::Label& amount_in_words() { return *lbl_amount_words_; }
  // The document type's attributes read at Init.
  std::int32_t source_progid() const { return source_progid_; }
  bool process_multi_select() const { return process_multi_select_; }
  bool quantity_control() const { return quantity_control_; }

  // --- Line operations (sccjd_s_lines.cpp) ---------------------------------------------
  // A line's wage is its qualified quantity times its rate, its actual wage the wage less the
  // deduction; both are written at full precision, then the totals are recomputed.
  void RecomputeLine(int row);
  // The standard piece rate of the product on the process (work centre 0, no quality grade;
  // 0 when there is none) into the rate and standard-rate columns, then RecomputeLine.
  void LoadStandardRate(std::int32_t product_id, std::int32_t process_id, int row);
  // Removes a line; a stored line's id is remembered for the next save.
  bool DeleteLine(int row);
  // Ids of the stored lines deleted since the last load or save, each followed by ",".
  const std::string& deleted_lines() const { return deleted_lines_; }
  // Empties that list once the save has deleted them.
  void ForgetDeletedLines();
  // The employees chosen in the allocation dialog (one column per employee: id, name, share,
  // allocation row id) placed on a line: all on the line when they share it, else one line
  // each, the further ones copying the line's product, process and source with its standard
  // rate.
  void ApplyEmployeeSelection(int row, const VariantArray& employees, bool shared);
  // One new line per chosen source line, after the last line in use: its source type and
  // number, finished product, batch and quantity, and (for a plan line) the newest approved,
  // valid, standard structure of the plan line's product; product, process, quantities and
  // wage stay to be entered. Marks the report dirty.
  void TakeSourceLines(const std::vector<clsScRk>& records);

 private:
  // --- The document base's hooks -----------------------------------------------------------
  void InitModule() override;
  void ClearModule() override;
  std::optional<std::string> WritePrintFile() override;
  void RaiseEvent(const std::function<void(DocumentEvents&)>& event) override;
  void ShowHeader(const Recordset& header) override;
  void EmptyForm() override;

  void ShowLines(std::int32_t document_id);
  void ClearForm();
  void ResetGrid(int data_rows);
  void SumTotals();
  void SetUpForm();
  void SetUpGrid();

  std::vector<controls::LookupField*> fields_;
  controls::Label* lbl_quantity_ = nullptr;
  controls::Label* lbl_amount_ = nullptr;
  controls::Label* lbl_amount_words_ = nullptr;
  controls::CheckBox* chkk_ = nullptr;
  controls::Button* cmd_sources_ = nullptr;
  std::shared_ptr<controls::LookupResolver> lookups_;

  std::int32_t source_progid_ = 0;
  bool process_multi_select_ = false;
  bool quantity_control_ = false;

  // --- Line editing (sccjd_s_lines.cpp) -------------------------------------------------
  struct ReadOnlyColours {
    std::uint32_t fore = 0;
    std::uint32_t back = 0;
  };
  void SetUpLineEditing();
  // Locks the columns filled by the module and paints the read-only colours.
  void ApplyColumnRules();
  void PaintReadOnly(int first_row, int end_row);
  // The rate column's editability and the read-only colours, from the host's settings.
  void ReadLineSettings();
  void NumberRows(int from_row);
  // Inserts a line at `at` copying the date, plan, finished product, source and structure of
  // `source_row` (and its product, its process when asked). Returns the new row.
  int InsertLineCopy(int source_row, int at, bool with_product, bool with_process);
  controls::LookupDefinition ProductLookup(int row) const;
  // Typed lookups, from the grid's validate_edit: false refuses the edit (the cell stays).
  bool ProductTyped(int row, const std::string& typed);
  bool ProcessTyped(int row, const std::string& typed);
  bool EmployeesTyped(int row, const std::string& typed);
  void TakeProduct(int row, std::int32_t product_id);
  void TakeProcess(int row, std::int32_t process_id, const std::string& name);
  void ComponentQuantity(int row);
  void PlanLineChanged(int row);
  bool PickProducts(int row);
  bool PickProcesses(int row);
  // Opens the allocation dialog on a line's employees.
  bool OpenAllocation(int row);
  bool LookupFailed(std::string_view message);
  // The answer of a picker opened on `row`: ignored when the module or the row is gone, or the
  // form was locked meanwhile.
  controls::PickDone AnswerOnRow(int row, std::function<void(int, controls::LookupMatch)> take);

  std::string deleted_lines_;
  // The allocation dialog last opened; kept until the next one or Clear.
  std::unique_ptr<FrmSelGy> allocation_;

  // --- Lines from source documents (sccjd_s_sources.cpp) --------------------------------
  // Opens the source selection dialog; false while the form is locked.
  bool OpenSources();
  // The first row after the last one in use; a row is added when the grid is full.
  int FirstFreeRow();
  // The source selection dialog last opened; kept until the next one or Clear.
  std::unique_ptr<frmSccjd> sources_;
  bool rate_editable_ = false;
  std::optional<ReadOnlyColours> readonly_colours_;
  // Pickers' late answers check through a weak reference that the module is still there.
  std::shared_ptr<SCCJD_S*> self_ = std::make_shared<SCCJD_S*>(this);

  // --- Storage and approval (sccjd_s_store.cpp) -----------------------------------------
  // The checks before a save, in their order; the first that fails has told the user.
  bool IsCanSave();
  bool CheckHeader();
  bool CheckLines();
  bool CheckPlannedQuantity(int row);
  bool CheckEmployees();
  bool HasProduct(int row) const;
  // Stores the validated report through the store; false when it was refused or failed
  // (already reported).
  bool SaveData();
  // What the form holds, for the store: the header, every line with a product, the deleted
  // lines.
  workreport::ReportSnapshot Snapshot() const;
  workreport::WorkReportStore Store();
  // With quantity control, approval tells why a plan line of the report exceeds its plan.
  bool CheckPlanQuantities();
  // Approval (write) or withdrawal of the wage shares of the shown report.
  bool HandOverWages(bool write);

  void RaiseTitled(const std::string& text, LogLevel level, const std::string& title);
  void Tell(const std::string& text, std::string_view title = kPromptTitle);
  bool AskYes(const std::string& text, std::string_view title = kPromptTitle);
  // Scrolls the grid to the row of a line problem and selects the cell.
  void PointAt(int row, int col);
};

}  // namespace korvane

#endif  // KORVANE_WORKREPORT_SCCJD_S_H_
