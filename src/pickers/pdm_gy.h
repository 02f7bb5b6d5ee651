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
#include "controls/form.h"
#include "controls/grid.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "values/object.h"
#include "host/shared_routines.h"
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

inline constexpr std::string_view kAllItems = "全部";
inline constexpr std::string_view kTickMark = "√";
inline constexpr std::string_view kErrorTitle = "错误：";
inline constexpr std::string_view kInitialGySearchColumns = "1;2;4";
inline constexpr std::string_view kWholeMatchCaption = "全字匹配";
inline constexpr std::string_view kLeftMatchCaption = "左起字符匹配";

// The search columns of a list such as "2;4": trimmed, split at ";", each piece read as a
// column number, in order. Pieces that hold no number are skipped.
std::vector<int> ParseSearchColumns(std::string_view list);

// An organisation-type list ("3,4", "'a', 'b'") made safe for an IN list: each comma-separated
// piece that is a whole number stays as it is; any other piece becomes a quoted literal (a
// piece already between single quotes is requoted from its inner text). Empty pieces vanish.
std::string SafeInList(std::string_view list);

// Find mode: the first data row whose cell in one of `columns` (tried in order, the first
// column that yields a row wins) equals `text` (`whole`) or begins with it, ignoring ASCII
// case; -1 when none.
int FindListRow(const controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                bool whole);

// Filter mode: unhides every data row, then, for a text that is not empty, hides every data
// row in which no cell of `columns` begins with (`left_match`) or contains the text, compared
// in ASCII upper case. Returns the first visible data row, -1 when none.
int FilterListRows(controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                   bool left_match);

}  // namespace pickers

class pdmgy : public Object,
              public IPickerUI,
              public WheelSource,
              public FormView,
              public EventSource<PickerEvents> {
 public:
  pdmgy();
  ~pdmgy() override;

  // --- IPickerUI -------------------------------------------------------------------------
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::string_view parameter_text) override;
  bool Clear() override;
  bool Refresh() override;
  bool GetIsDirty() override { return false; }
  void SetIsDirty(bool /*dirty*/) override {}
  bool DoGetFormStatus() override { return true; }
  bool DoSaveFormStatus() override { return true; }
  void Attributes(std::string_view /*text*/) override {}
  std::shared_ptr<ParameterSet> GetParameters() override { return parameters_; }
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override;
  Variant GetValue() override { return value_; }
  void SetValue(Variant value) override { value_ = std::move(value); }
  std::string GetText() override { return text_; }
  void SetText(std::string text) override { text_ = std::move(text); }
  std::shared_ptr<Object> Objects() override { return record_; }
  // The table text is not used. The result is always false: the out texts tell (empty = not
  // found). Only employees still employed are found.
  bool Validate(std::string_view table, std::string_view value_column, std::string_view text_column,
                std::string_view typed, std::string& out_value, std::string& out_text) override;

  controls::MouseWheel& Wheel() override { return wheel_; }

  // --- What a host renders and drives ----------------------------------------------------
  const std::vector<std::unique_ptr<controls::Control>>& Controls() const {
    return form_.Controls();
  }
  const std::string& Name() const { return form_.name(); }
  controls::Form& form() { return form_; }
  controls::Form& View() override { return form_; }
  controls::Grid& grid() { return *vs_; }
  controls::TextBox& search_box() { return *txt_search_; }
  controls::TextBox& search_columns_box() { return *txt_columns_; }
  controls::ComboBox& departments() { return *cmb_; }
  controls::ComboBox& sort_list() { return *cbo_; }
  controls::CheckBox& filter_box() { return *check_; }
  controls::CheckBox& match_box() { return *chk_find_; }
  controls::Button& button(int index) { return *btn_.at(static_cast<std::size_t>(index)); }

  bool multiple_choice() const { return multiple_; }
  double scroll_rate() const { return scroll_rate_; }
  const std::vector<int>& search_columns() const { return search_columns_; }
  const std::string& department_name() const { return department_name_; }

 private:
  void SetUpForm();
  void InitVsControl();
  void LoadDepartments();
  void LoadData();
  // Runs a list procedure into `rows`; false after showing the database's text.
  bool RunProcedure(std::string_view name, std::vector<Parameter> parameters, Recordset& rows);
  void RunSearch();
  void DoFindVs();
  void DoFilterVs();
  void CompleteSelection();
  void UpdateObject(int row);
  void TickAll(bool ticked);
  void SortByChosenColumn();
  void EditSearchColumns();
  void OnKeyDown(int& key, int shift);

  std::string ParameterText(std::string_view name) const;
  bool HasParameter(std::string_view name) const;
  double ParameterNumber(std::string_view name) const;
  void ShowError(std::string_view description);
  // Runs `body`; an escaping exception shows its description and gives false.
  template <typename Body>
  bool Guard(Body&& body);

  controls::Form form_;
  controls::Grid* vs_ = nullptr;
  controls::TextBox* txt_search_ = nullptr;
  controls::TextBox* txt_columns_ = nullptr;
  controls::ComboBox* cmb_ = nullptr;
  controls::ComboBox* cbo_ = nullptr;
  controls::CheckBox* check_ = nullptr;
  controls::CheckBox* chk_find_ = nullptr;
  std::vector<controls::Button*> btn_;
  controls::MouseWheel wheel_;
  int wheel_token_ = 0;
  ProportionalLayout layout_;

  std::shared_ptr<HostContext> host_;
  std::shared_ptr<ParameterSet> parameters_;
  std::shared_ptr<clsGY> record_;
  Variant value_;
  std::string text_;
  std::string department_name_{pickers::kAllItems};
  // The organisation types the department list was loaded for.
  std::string loaded_types_;
  std::vector<int> search_columns_;
  std::string layout_folder_;
  double scroll_rate_ = 5;
  // False while the picker fills its own lists: their change events are then ignored.
  bool loading_ = true;
  bool multiple_ = false;
};

}  // namespace korvane

#endif  // KORVANE_PICKERS_PDM_GY_H_
