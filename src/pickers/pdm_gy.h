// pdmgy: the employee picker, created by a host as "Korvane.pdmgy". It lists the employees still
// employed (with their department), narrowed by department and organisation type, finds or
// filters the list as the user types, sorts it and, in multiple-choice mode, lets the user tick
// rows. The choice goes back through Value (employee id, or the ticked ids joined by ","), Text
// (name, or the ticked names) and Objects (a clsGY record). Validate resolves a typed number or
// name without showing the list.
//
// Contract:
//  - The host calls Init(context, ...) first; without a context Init returns false and the
//    picker stays empty. Parameters(set) then Refresh applies "多选", "组织类型", "部门名称" and
//    "lock" and reloads the list; every Refresh reloads.
//  - Every routine guards itself: an unexpected error shows its description alone in a message
//    box (critical icon, title "错误："); a database error of a list procedure shows the
//    database's text. Nothing throws to the host.
//  - Texts typed by the user reach SQL only as quoted literals.
//  - The object owns its form and controls; the host context is shared and dropped by Clear.
#ifndef KORVANE_PICKERS_PDM_GY_H_
#define KORVANE_PICKERS_PDM_GY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "pickers/list_picker.h"
#include "records/cls_gy.h"

namespace korvane {

namespace pickers {

// Columns of the employee list.
enum GyCol : int {
  kGyColTick = 0,
  kGyColId = 1,
  kGyColNumber = 2,
  kGyColName = 3,
  kGyColSex = 4,
  kGyColIdentityCard = 5,
  kGyColDepartmentId = 6,
  kGyColOrganisation = 7,
  kGyColCount = 8,
};

inline constexpr std::string_view kErrorTitle = "错误：";
inline constexpr std::string_view kInitialGySearchColumns = "1;2;4";

// An organisation-type list ("3,4", "'a', 'b'") made safe for an IN list: each comma-separated
// piece that is a whole number stays as it is; any other piece becomes a quoted literal (a
// piece already between single quotes is requoted from its inner text). Empty pieces vanish.
std::string SafeInList(std::string_view list);

}  // namespace pickers

class pdmgy : public ListPicker {
 public:
  pdmgy();
  ~pdmgy() override;

  // --- IPickerUI -------------------------------------------------------------------------
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::string_view parameter_text) override;
  bool Clear() override;
  bool Refresh() override;
  std::shared_ptr<Object> Objects() override { return record_; }
  // The table text is not used. The result is always false: the out texts tell (empty = not
  // found). Only employees still employed are found.
  bool Validate(std::string_view table, std::string_view value_column, std::string_view text_column,
                std::string_view typed, std::string& out_value, std::string& out_text) override;

  // --- What a host renders and drives ----------------------------------------------------
  controls::ComboBox& departments() { return *cmb_; }
  const std::string& department_name() const { return department_name_; }

 protected:
  void LoadChoice(int row) override;
  std::string LayoutFileName() const override { return "pdmgy"; }

 private:
  void SetUpForm();
  void InitVsControl();
  void LoadDepartments();
  void LoadData();
  // Runs a list procedure into `rows`; false after showing the database's text.
  bool RunProcedure(std::string_view name, std::vector<Parameter> parameters, Recordset& rows);
  void OnKeyDown(int& key, int shift);

  controls::Grid* vs_ = nullptr;
  controls::TextBox* txt_search_ = nullptr;
  controls::ComboBox* cmb_ = nullptr;
  ProportionalLayout layout_;

  std::shared_ptr<clsGY> record_;
  std::string department_name_{pickers::kAllItems};
  // The organisation types the department list was loaded for.
  std::string loaded_types_;
  // False while the picker fills its own lists: their change events are then ignored.
  bool loading_ = true;
};

}  // namespace korvane

#endif  // KORVANE_PICKERS_PDM_GY_H_
