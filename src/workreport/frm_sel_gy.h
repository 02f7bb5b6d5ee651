// FrmSelGy: the dialog "选择员工" in which the clerk picks the employees who did the work of one
// work report line and their shares of the line's wage. The work report opens it from a line's
// employee column, pre-filled with that line's employees, and hears the result through
// EvHasLoad once the shares have been checked.
//
// Contract:
//  - py_Init fills the grid and shows the form (Dialogs::FormShown). The dialog is modeless: the
//    work is finished later by a click on the confirm button (Confirm) or the cancel button
//    (Cancel), each of which closes the form (Dialogs::FormClosed).
//  - Grid "Vs" (a host grid), header "行号|员工      |姓名      |分配比例|附属ID": col 1 shows the
//    employee number with the employee id (雇员ID) as its hidden key, col 2 the name, col 3 the
//    share, col 4 the stored allocation row id (empty for new ones; a hidden column). Only the
//    employee and share columns are editable. The grid always keeps an empty row at its end, so
//    there is always a row to type a further employee into.
//  - "插入当前行" (the grid's context menu) is InsertCurrentRow; a person, or a script, reaches it
//    with the Insert key on the grid.
//  - Confirm raises EvHasLoad(result, chk ticked) after a successful check: the result has one
//    column per grid row holding an employee (hidden key above 0), in grid order, with rows
//    0..3 = employee id (a number), name (a text), share (a number) and allocation row id (a
//    number, empty for a new allocation). The column widths are saved and the form is closed
//    before the event is raised, and the object touches nothing of itself after raising it: the
//    owner may drop the object in its handler or at any time after. Cancel closes the form
//    without raising the event. An object destroyed while its form is shown closes it first.
//  - The column widths live in the per-user settings file progid + "FrmSelGy" (grid rows only)
//    and are restored by py_Init and saved whenever the form closes.
//  - Nothing throws: an unexpected error is shown as "FrmSelGy-->" + routine + "::" + text in a
//    message box with the critical icon, and the action it interrupted returns false.
#ifndef KORVANE_WORKREPORT_FRM_SEL_GY_H_
#define KORVANE_WORKREPORT_FRM_SEL_GY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/event.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "document/guard.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "values/object.h"
#include "values/variant.h"

namespace korvane {

namespace workreport::selgy {

// Columns of the dialog grid.
enum Col : int {
  kColRowNumber = 0,
  kColEmployee = 1,  // employee number; key: 雇员ID
  kColName = 2,
  kColShare = 3,
  kColAllocationId = 4,  // 报工单明细附属ID
  kColCount = 5,
};

// Rows of the result array handed back by EvHasLoad.
enum ResultRow : int {
  kResultEmployeeId = 0,
  kResultName = 1,
  kResultShare = 2,
  kResultAllocationId = 3,
  kResultRows = 4,
};

inline constexpr std::string_view kFormName = "FrmSelGy";
inline constexpr std::string_view kCaption = "选择员工";
inline constexpr std::string_view kGridHeader = "行号|员工      |姓名      |分配比例|附属ID";
inline constexpr std::string_view kMessageTitle = kPromptTitle;
// The employee lookup of the employee column: "@" is the typed text.
inline constexpr std::string_view kEmployeeQuery =
    "Select 雇员编号,姓名,雇员ID From pdmgy where 雇员编号='@' or 姓名='@'";
inline constexpr std::string_view kEmployeeError = "员工名称输入有误，请重新输入！";
// Empty rows the grid offers at least.
inline constexpr int kMinimumDataRows = 10;

}  // namespace workreport::selgy

class FrmSelGy : public Object, public WheelSource {
 public:
  FrmSelGy();
  ~FrmSelGy() override;

  // Fills one row per listed employee from the ";"-separated lists (employee ids, names,
  // shares, allocation row ids; a shorter list leaves the missing cells empty), reads the
  // employee numbers by id, shows the workshop name, reads the scroll rate, restores the
  // column widths and shows the form. The check box starts ticked when the line already has
  // two or more employees, since they share the line.
  // Returns false (and shows nothing) without a host context or on an error.
  bool py_Init(std::string_view employee_ids, std::string_view names, std::string_view shares,
               std::string_view allocation_ids, std::shared_ptr<HostContext> host,
               std::int32_t progid, std::string_view workshop);

  // The confirm button's work: checks the shares and, when they pass, saves the widths, closes
  // the form and raises EvHasLoad. Returns whether the result was handed back.
  bool Confirm();
  // The cancel button's work: saves the widths and closes the form; no event.
  void Cancel();
  // Inserts an empty row at the grid's current row (the first data row when the current row is
  // a fixed one) and numbers the rows again. False when the form is not shown.
  bool InsertCurrentRow();

  // The result and whether the employees share one line (chk ticked). See the contract above.
  controls::Event<const VariantArray&, bool> EvHasLoad;

  // --- What a host renders and drives ----------------------------------------------------
  controls::Form& form() { return form_; }
  controls::Grid& grid() { return *grid_; }
  controls::CheckBox& chk() { return *chk_; }
  controls::Button& confirm_button() { return *cmd_ok_; }
  controls::Button& cancel_button() { return *cmd_cancel_; }
  controls::Label& workshop_label() { return *lbl_workshop_; }
  controls::MouseWheel& Wheel() override { return wheel_; }

  // Whether the form is shown (between py_Init and its closing).
  bool shown() const { return shown_; }
  double scroll_rate() const { return scroll_rate_; }
  // The name of the per-user settings file of the dialog for the owner's program.
  std::string SettingsFileName() const;

 private:
  void SetUpForm();
  void ResetGrid(int data_rows);
  void NumberRows();
  // Keeps an empty row at the end of the grid.
  void KeepFreeRow();
  bool HasEmployee(int row) const;
  // Puts an employee into a row: number with the id as key, and name.
  void SetEmployee(int row, std::int32_t id, const std::string& number, const std::string& name);

  void OnValidateEdit(int row, int col, bool& cancel);
  void OnCellButton(int row, int col);
  // The choice of the employee picker opened on `row`.
  void TakePicked(int row, const controls::LookupMatch& match);
  // Employee numbers and names by id, one query on pdmgy.
  struct Employee {
    std::string number;
    std::string name;
  };
  std::vector<std::pair<std::int32_t, Employee>> EmployeesById(
      const std::vector<std::int32_t>& ids);

  // The checks of the confirm button; false after the first failure was shown.
  bool SharesAreValid();
  // Shows a refusal, scrolls to the row and selects the cell.
  void Refuse(const std::string& text, int row, int col);
  VariantArray Result() const;
  // Saves the widths and closes the form.
  void Close();
  void SaveWidths();

  // Runs `body`; an escaping exception is shown in the dialog's error box and gives false.
  template <typename Body>
  bool Guard(std::string_view routine, Body&& body) {
    return guard_.Run(routine, std::forward<Body>(body), false);
  }

  controls::Form form_;
  document::ErrorGuard guard_;
  controls::Grid* grid_ = nullptr;
  controls::CheckBox* chk_ = nullptr;
  controls::Button* cmd_ok_ = nullptr;
  controls::Button* cmd_cancel_ = nullptr;
  controls::Label* lbl_workshop_ = nullptr;
  controls::MouseWheel wheel_;

  std::shared_ptr<HostContext> host_;
  std::int32_t progid_ = 0;
  std::string workshop_;
  double scroll_rate_ = 5;
  bool shown_ = false;
  // Counts showings and closings, so that a picker opened in an earlier showing cannot fill
  // the grid of a later one.
  int session_ = 0;
  // Answers of pickers still open hold a weak reference, so that a late answer finds out
  // whether the dialog is still there.
  std::shared_ptr<FrmSelGy*> self_ = std::make_shared<FrmSelGy*>(this);
};

}  // namespace korvane

#endif  // KORVANE_WORKREPORT_FRM_SEL_GY_H_
