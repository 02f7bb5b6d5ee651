// plan2: the master production plan document (主生产计划), created by a host as
// "Korvane.plan2". It shows one plan at a time: the header fields (number, date, planner,
// nature, plan type, who prepared and approved it) and a line grid asking for a quantity of
// one product each by a demand date, with the planned start and finish. It walks the plans of
// its program id (unapproved ones, or the approved ones of the "MPS" accounting window), finds
// and filters them, writes the print data file and keeps the user's column widths.
//
// Contract:
//  - The host calls Init(context, progid, document id) first. A document id of 1 or more keeps
//    every load on that one plan. Without a context Init returns false and every other call
//    that needs the database returns false.
//  - Every member guards itself: an unexpected error or a database error is raised as
//    ErrMessage("plan2-->" + routine + "::" + text, level 8); errors of loading, finding and
//    printing are titled "主生产计划", the others with the application title. Nothing throws.
//  - After every plan shown, Property("产品ID", product code of the grid's current row, true).
//  - With Chk ticked, emptying the form keeps every header entry but the number.
//  - FileNew and FileEdit unlock the form (a new plan has id 0); while unlocked the grid keeps
//    an empty row at its bottom for the next line. FileSave validates (message boxes), then
//    stores header, removed lines and lines in one transaction with the status "01": on any
//    failure the database is as before and the form keeps what was entered. FileDelete asks
//    first, gives the number back and deletes in one transaction too.
//  - Check and UnCheck change nothing and return true.
//  - The object owns its form and controls; the host context is shared and dropped by Clear.
#ifndef KORVANE_PLANNING_PLAN2_H_
#define KORVANE_PLANNING_PLAN2_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "document/document_base.h"
#include "document/line_grid.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "planning/plan_store.h"

namespace korvane {

namespace planning {

// Columns of the line grid, in the order of its header; the product code cell keeps the
// product id as its key, the last two columns are hidden.
// clang-format off
enum Col : int {
  kColRowNumber, kColProductCode, kColProductName, kColModel, kColUnit, kColBatch,
  kColStock, kColMinimumStock, kColDemand, kColDemandDate, kColStart, kColFinish, kColLineId,
  kColProductId, kColCount
};

// Header fields (the qxTxt array) by index.
enum Field : int {
  kFieldRemark, kFieldNumber, kFieldPlanner, kFieldPlanDate, kFieldPreparedOn, kFieldPreparer,
  kFieldApprovedOn, kFieldApprover, kFieldNature, kFieldPlanType, kFieldCount
};
// clang-format on

inline constexpr std::string_view kModuleName = "plan2";
inline constexpr std::string_view kTitle = "主生产计划";
inline constexpr std::string_view kKeyColumn = "主计划组ID";
// The header texts of the grid; the blanks size the columns.
inline constexpr std::string_view kGridHeader =
    "序号|产品编号   |产品名称   |产品型号     |计量单位|批次号  |库存数量 |最低库存数|  需求数量 "
    "|需求日期|预计开工日期  |预计结束日期|主计划ID|产品ID";
inline constexpr std::string_view kProductError = "输入的产品编码或者名称有误,请重试?";

}  // namespace planning

class plan2 : public document::DocumentBase, public EventSource<PlanEvents> {
 public:
  plan2();
  ~plan2() override;

  // --- What a host renders and drives: the line grid "Vs", the header fields "qxTxt" by
  // index, the check box "Chk" that carries the header over to the next plan.
  controls::Grid& lines() { return *grid_; }
  controls::LookupField& header(int index) { return *fields_.at(static_cast<std::size_t>(index)); }
  controls::CheckBox& carry_over() { return *chk_; }

  // --- IFormUI members of its own --------------------------------------------------------
  // The document base's Init, then the last plan of the view is shown.
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::int32_t document_id) override;
  // Approval is recorded by the host; the plan itself changes nothing and lets it go on.
  bool Check() override { return true; }
  bool UnCheck() override { return true; }
  // A new plan: the proposed number, the business date, the user as preparer.
  bool FileNew() override;
  // The plan on screen unlocked, approved or not.
  bool FileEdit() override;
  // Validated, then header, removed lines and lines in one transaction, "01" as the status.
  bool FileSave() override;
  // After the question, the number given back and the plan with its lines deleted.
  bool FileDelete() override;

  // --- Lines (plan2_lines.cpp) -----------------------------------------------------------
  // Removes a line, logging it and keeping a stored line's id for the next save.
  bool DeleteLine(int row);
  // "12,15,": the stored lines removed since the plan was shown.
  const std::string& deleted_lines() const { return deleted_.text(); }
  // The stock columns of a row from its product: the stock query's quantity and the
  // product's shortage limit.
  void RefreshStock(int row);

 private:
  // --- The document base's hooks -----------------------------------------------------------
  // A plan's header, its lines, then Property.
  void ShowHeader(const Recordset& header) override;
  // Everything, or with Chk ticked the number and the lines only.
  void EmptyForm() override;
  // FileCancel goes back to the plan on screen when the form was last emptied.
  std::int32_t CancelTarget() const override { return previous_id_; }
  // The lookups, the stock query, the colours and the grid's formats.
  void InitModule() override;
  void ClearModule() override;
  std::optional<std::string> WritePrintFile() override;
  // Every event goes to the plan's sinks, which hear Property as well.
  void RaiseEvent(const std::function<void(DocumentEvents&)>& event) override;

  // --- Form (plan2_form.cpp) ---------------------------------------------------------------
  void SetUpForm();
  void SetUpGrid();
  void ShowLines(std::int32_t plan_id);
  void RaiseProperty();
  // Unlocks the form for entry and offers the empty row for a new line.
  void UnlockForEntry() override;
  bool RowInUse(int row) const;

  // --- Lines (plan2_lines.cpp) -------------------------------------------------------------
  void SetUpLineEditing();
  controls::LookupDefinition ProductLookup() const;
  bool ProductTyped(int row, const std::string& typed);
  bool PickProduct(int row);
  // Fills a row from the product the picker resolved.
  void TakeProduct(int row, const controls::LookupMatch& match);
  void PaintRow(int row);

  // --- Storage (plan2_store.cpp) -----------------------------------------------------------
  bool IsCanSave();
  planning::PlanSnapshot Snapshot() const;
  planning::PlanStore Store();
  void Tell(const std::string& text, MsgIcon icon);

  std::vector<controls::LookupField*> fields_;
  controls::Label* caption_ = nullptr;
  controls::CheckBox* chk_ = nullptr;
  std::shared_ptr<controls::LookupResolver> lookups_;
  std::unique_ptr<StockQuery> stock_;
  std::optional<document::CellColours> readonly_colours_;
  document::DeletedLines deleted_;
  // The plan on screen when the form was last emptied: FileCancel goes back to it.
  std::int32_t previous_id_ = 0;
  // Pickers' late answers check through a weak reference that the module is still there.
  std::shared_ptr<plan2*> self_ = std::make_shared<plan2*>(this);
};

}  // namespace korvane

#endif  // KORVANE_PLANNING_PLAN2_H_
