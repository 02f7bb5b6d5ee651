// SRLX1: the process route document (工艺路线), created by a host as "Korvane.SRLX1". Its window
// is split into the product tree on the left and, on the right, the standard route of the
// product chosen in the tree: the header fields, the grid of operations in sequence (process,
// workshop, work centre, times, output per hour and the operation's piece rate for the
// product), and the button that copies the operations of another route.
//
// Contract:
//  - The host calls Init(context, progid, id) first; Refresh builds the product tree (a product
//    shows picture "4" while it has a standard route). Choosing a product shows its last
//    standard route; any other node empties the form.
//  - The user's item 2017 (comma-separated process ids, empty for no restriction) names the
//    processes the user may work on: an operation of another process can be neither edited nor
//    deleted ("当前用户没有对该工艺的操作权限").
//  - FileNew and FileEdit unlock the editors and lock the tree and "引用数据(&H)"; the button
//    Cmd works only then. FileSave validates (information boxes titled "提示："), then writes
//    the header, every operation with a process, the operation's piece rate for the product
//    and the product's current route in one transaction; on any failure the database is as
//    before and the form keeps what was entered.
//  - Deleting an operation from the grid, and copying another route's operations over the
//    shown ones, delete the stored operations at once, outside any save; a cancel does not
//    bring them back.
//  - Filter, Check, UnCheck, CheckStatus and DoSetStatus do nothing and return false: routes
//    have no status.
//  - Every member guards itself: an unexpected error is raised as ErrMessage("SRLX1-->" +
//    routine + "::" + text, level 8). Nothing throws to the host.
//  - The object owns its form, its controls and the route selection form; the host context is
//    shared and dropped by Clear.
#ifndef KORVANE_ROUTING_SRLX1_H_
#define KORVANE_ROUTING_SRLX1_H_

#include <array>
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
#include "document/product_document.h"
#include "host/interfaces.h"
#include "host/shared_routines.h"
#include "routing/frm_srlx.h"
#include "routing/route_store.h"

namespace korvane {

namespace routing {

// Columns of the operation grid, in the order of its header. The process, workshop and work
// centre cells keep their ids as keys; the last column holds the stored operation's id.
// clang-format off
enum Col : int {
  kColRowNumber, kColSequence, kColProcess, kColWorkshop, kColWorkCentre, kColSetupTime,
  kColProcessingTime, kColPerHour, kColWage, kColRatio, kColProcessPrice, kColNote,
  kColOperationId, kColCount
};

// Header fields (the qxT array) by index.
enum Field : int { kFieldName, kFieldDate, kFieldNote, kFieldProduct, kFieldProductName, kFieldCount };

// Check boxes (the chk array) by index.
enum Check : int { kChkStandard, kChkInvalid, kChkCritical, kChkReuse, kChkCount };
// clang-format on

inline constexpr std::string_view kModuleName = "SRLX1";
inline constexpr std::string_view kTitle = "工艺路线";
inline constexpr std::string_view kGridHeader =
    "行号|顺序号   |工艺名称    |生产车间     |工作中心  |准备工时  |加工工时  |小时加工数  |"
    "工资定额  |比率  |工艺价  |说明             |明细ID";
inline constexpr std::string_view kNoPermission = "当前用户没有对该工艺的操作权限";

// Whether the comma-separated list of permitted process ids lets the user work on `process`:
// an empty list and the process 0 always do.
bool ProcessPermitted(std::string_view permitted, std::int32_t process);

}  // namespace routing

class SRLX1 : public document::ProductDocument, public EventSource<DocumentEvents> {
 public:
  SRLX1();
  ~SRLX1() override;

  // --- What a host renders and drives: the tree "tv", the grid "qxGrid", the header fields
  // "qxT" and check boxes "chk" by index, the button "Cmd" and the route selection form.
  controls::Grid& operations() { return *grid_; }
  controls::LookupField& header(int index) { return *fields_.at(static_cast<std::size_t>(index)); }
  controls::CheckBox& check(int index) { return *chk_.at(static_cast<std::size_t>(index)); }
  controls::Button& copy_button() { return *cmd_; }
  // The selection form while one was opened, else nullptr.
  FrmSRLX* route_selection() { return selection_.get(); }
  // The permitted process list read at Init.
  const std::string& permitted_processes() const { return permitted_; }

  // --- IFormUI members of its own --------------------------------------------------------
  bool Filter(const ConditionArray&) override { return false; }
  bool Check() override { return false; }
  bool UnCheck() override { return false; }
  bool CheckStatus(std::string_view) override { return false; }
  bool DoSetStatus(std::string_view, bool) override { return false; }
  bool FileNew() override;
  bool FileEdit() override;
  bool FileSave() override;
  bool FileDelete() override;
  // The whole layout of the form (fields, check boxes, tree, grid widths).
  bool DoGetFormStatus() override;
  bool DoSaveFormStatus() override;

 private:
  // --- The document base's hooks -----------------------------------------------------------
  void ShowHeader(const Recordset& header) override;
  void EmptyForm() override;
  void InitDocument() override;
  void ClearDocument() override;
  std::optional<std::string> WritePrintFile() override;
  void RaiseEvent(const std::function<void(DocumentEvents&)>& event) override;
  // Unlocked, with an empty row for the next operation.
  void UnlockForEntry() override;
  std::string ShownProductCode() const override;

  // --- Form (srlx1_form.cpp) -------------------------------------------------------------
  void SetUpForm();
  void SetUpGrid();
  // Shows the operations of a route; their piece rates are those of `product`.
  void ShowOperations(Recordset& operations, std::int32_t product);
  void ShowRates(int row, std::int32_t product);

  // --- Operations (srlx1_lines.cpp) ------------------------------------------------------
  void SetUpOperationEditing();
  bool RowPermitted(int row) const;
  bool CellTyped(int row, int col, const std::string& typed);
  bool PickCell(int row, int col);
  // Fills rows from `row` on with the processes of a choice (comma lists of ids and names).
  void TakeProcesses(int row, const std::string& ids, const std::string& names);
  // The stored piece rate of the row's process and work centre for the product on screen;
  // without one, what the row holds stays.
  void ShowStoredRates(int row);
  bool DeleteOperation(int row);
  bool OpenRouteSelection();
  // Replaces the operations on screen by those of route `route_id`, deleting the stored ones.
  void CopyRoute(std::int32_t route_id, std::int32_t product_id);

  // --- Storage (srlx1_store.cpp) ---------------------------------------------------------
  bool Cansave();
  routing::RouteSnapshot Snapshot() const;
  void RaiseTitled(const std::string& text, std::string_view title);
  document::DocumentStore Store();

  std::array<controls::CheckBox*, routing::kChkCount> chk_{};
  controls::Button* cmd_ = nullptr;
  controls::Label* name_label_ = nullptr;
  std::unique_ptr<FrmSRLX> selection_;
  std::string permitted_;
  // Pickers' late answers check through a weak reference that the module is still there.
  std::shared_ptr<SRLX1*> self_ = std::make_shared<SRLX1*>(this);
};

}  // namespace korvane

#endif  // KORVANE_ROUTING_SRLX1_H_
