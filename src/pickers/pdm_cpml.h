// pdmCpml: the product picker, created by a host as "Korvane.pdmCpml". It lists the product
// catalogue in a grid, narrows it by category, product source and cancelled state, finds or
// filters as the user types, and hands the chosen product back: single choice as its id
// (Value), its code (Text) and the filled clsCpml record (Objects); multiple choice as comma
// lists of the ticked ids and codes. Validate resolves a typed code, name or mnemonic without
// showing the list.
//
// Contract:
//  - Init(context, ...) first; without a context Init returns false and the picker stays empty.
//  - The parameter set (SetParameters) is read only by Refresh and Validate: "多选" = 1 for
//    multiple choice, "材料科目编号" (account codes, comma list) and "bomID" (components of
//    one bill of materials) restrict the list.
//  - Refresh reloads the list only when the list key (category, cancelled, source, bomID,
//    account codes) differs from the last load; Cmd(2) always reloads.
//  - Every routine guards itself: an unexpected error is shown in a message box
//    "FmMCpml->" + routine + ":" + description (critical icon, title "错误："). A failing
//    stored procedure shows the data service's text. Nothing throws to the host.
//  - Validate always returns false; callers decide by the out texts (empty = not found). The
//    typed text reaches the database only as quoted literals.
//  - The object owns its form and controls; the host context is shared and dropped by Clear.
//
// Reuse: the picker with a process tree derives from this class. It adds its controls after
// construction and overrides the protected hooks: ExtraListParameters (more procedure
// parameters, which also extend the list key), FillRecordExtras (process fields of the record
// after a load), AfterInit and BeforeListReload (building the tree), LayoutFileName.
#ifndef KORVANE_PICKERS_PDM_CPML_H_
#define KORVANE_PICKERS_PDM_CPML_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "host/interfaces.h"
#include "values/object.h"
#include "host/shared_routines.h"
#include "records/cls_cpml.h"

namespace korvane {

namespace cpml {

// Columns of the list grid, in the order p_PDM_CPML_SELECT returns them.
enum Col : int {
  kColTick = 0,
  kColId = 1,
  kColCode = 2,
  kColMnemonic = 3,
  kColName = 4,
  kColOrigin = 5,
  kColSpecModel = 6,
  kColUnit = 7,
  kColCategoryId = 8,
  kColCategory = 9,
  kColInUse = 10,
  kColStock = 11,
  kColDescription = 12,
  kColDrawing = 13,
  kColBin = 14,
  kColColour = 15,
  kColCharacteristic = 16,
  kColSize = 17,
  kColCount = 18,
};

inline constexpr std::string_view kModuleName = "FmMCpml";
inline constexpr std::string_view kTick = "√";
inline constexpr std::string_view kAll = "全部";
inline constexpr std::string_view kWholeMatchCaption = "全字匹配";
inline constexpr std::string_view kLeftMatchCaption = "左起字符匹配";
inline constexpr std::string_view kInitialSearchColumns = "2;4";
inline constexpr int kTimerInterval = 200;

// The search columns of a list like "2;4": trimmed, split at ";", each piece read as a column
// number; blank pieces are skipped.
std::vector<int> ParseSearchColumns(std::string_view list);

// The WHERE text restricting a product query to categories of the given account codes: the
// codes are split at "," (quotes and blanks around a code dropped) and each is quoted, so
// " and 产品类别ID in(select 类别ID from pdmcplb where 对应科目编号 in('1211','1221'))".
std::string AccountCondition(std::string_view account_codes);

}  // namespace cpml

class pdmCpml : public Object,
                public IPickerUI,
                public WheelSource,
                public FormView,
                public EventSource<PickerEvents> {
 public:
  pdmCpml();
  ~pdmCpml() override;

  // --- IPickerUI -----------------------------------------------------------------------
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
  void SetParameters(std::shared_ptr<ParameterSet> parameters) override {
    parameters_ = std::move(parameters);
  }
  Variant GetValue() override { return value_; }
  void SetValue(Variant value) override { value_ = std::move(value); }
  std::string GetText() override { return text_; }
  void SetText(std::string text) override { text_ = std::move(text); }
  std::shared_ptr<Object> Objects() override { return record_; }
  bool Validate(std::string_view table, std::string_view value_column, std::string_view text_column,
                std::string_view typed, std::string& out_value, std::string& out_text) override;

  // --- What a host renders and drives ----------------------------------------------------
  const std::vector<std::unique_ptr<controls::Control>>& Controls() const {
    return form_.Controls();
  }
  const std::string& Name() const { return form_.name(); }
  controls::Form& form() { return form_; }
  controls::Form& View() override { return form_; }
  controls::Grid& grid() { return *vs_; }
  controls::TextBox& search_box() { return *search_; }
  controls::TextBox& search_columns_box() { return *search_columns_text_; }
  controls::ComboBox& category_list() { return *categories_; }
  controls::ComboBox& source_list() { return *sources_; }
  controls::ComboBox& sort_list() { return *sort_; }
  controls::CheckBox& cancelled_box() { return *chk_; }
  controls::CheckBox& filter_box() { return *check_; }
  controls::CheckBox& match_box() { return *chk_find_; }
  controls::Label& count_label() { return *lbl_count_; }
  controls::Button& button(int index) { return *cmd_.at(static_cast<std::size_t>(index)); }
  controls::Timer& timer() { return *timer_; }
  controls::MouseWheel& Wheel() override { return wheel_; }
  // The picker as a whole receives the focus: it goes into the search box.
  void ReceiveFocus();

  bool multiple_choice() const { return multiple_; }
  double scroll_rate() const { return scroll_rate_; }
  const std::string& layout_folder() const { return layout_folder_; }
  const std::string& account_code() const { return account_code_; }
  const std::string& list_key() const { return list_key_; }
  const std::vector<int>& search_columns() const { return search_columns_; }
  bool loading_enabled() const { return loading_; }

 protected:
  // --- Hooks for a derived picker ------------------------------------------------------
  // Parameters appended after the five of the list procedure; they extend the list key too.
  virtual void ExtraListParameters(std::vector<Variant>& /*parameters*/) {}
  // Called after a product row was loaded into the record (and before Value and Text are
  // taken from it), by both a selection and Validate.
  virtual void FillRecordExtras(clsCpml& /*record*/) {}
  // Called at the end of Init, with the loading flag set.
  virtual void AfterInit() {}
  // Called by Refresh after the parameters were applied, before the list reload.
  virtual void BeforeListReload() {}
  // The name of the per-user grid layout file.
  virtual std::string LayoutFileName() const { return std::string(cpml::kModuleName); }

  // --- Shared pieces a derived picker uses ---------------------------------------------
  HostContext* host() const { return host_.get(); }
  const std::shared_ptr<ParameterSet>& parameters() const { return parameters_; }
  void set_loading(bool loading) { loading_ = loading; }
  // Reloads the list: without `force` only when the list key changed.
  void LoadData(bool force);
  void HasRefresh(bool force);
  // Shows "FmMCpml->" + routine + ":" + description in a critical message box.
  void ReportError(std::string_view routine, std::string_view description);
  // Runs `body`, turning an escaping exception into the error box of `routine`.
  template <typename Body>
  void Guard(std::string_view routine, Body&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      ReportError(routine, e.what());
    } catch (...) {
      ReportError(routine, "unknown error");
    }
  }
  // Numeric value of a parameter as text ("" when absent).
  std::string NumericParameter(std::string_view name) const;

  controls::Form form_;

 private:
  void SetUpForm();
  void InitVsControl();
  void LoadGoodsType();
  void FillSortList();
  void RebuildSearchColumns();
  void RunSearch();
  void DoFindVs();
  void DoFilterVs();
  void CompleteSelection();
  void UpdateObject(int row);
  // Copies the first row into the record, lets the derived picker add its part, and takes
  // Value and Text from the record.
  void LoadRecord(const Recordset& rows);
  void TickAll(bool tick);
  void ToggleTick(int row);
  void MoveToVisibleRow(int step);
  void AskSearchColumns();
  void OnFilterBoxClick();
  void OnKeyDown(int& key, int shift);
  void OnKeyUp(int key, int shift);
  std::string SelectedCategory() const;
  std::string SelectedSource() const;
  bool SettingIsOne(std::string_view item_code);
  int DataRows() const { return vs_->rows() - vs_->fixed_rows(); }

  controls::TextBox* search_ = nullptr;
  controls::TextBox* search_columns_text_ = nullptr;
  controls::ComboBox* categories_ = nullptr;
  controls::ComboBox* sources_ = nullptr;
  controls::ComboBox* sort_ = nullptr;
  controls::CheckBox* chk_ = nullptr;
  controls::CheckBox* check_ = nullptr;
  controls::CheckBox* chk_find_ = nullptr;
  controls::Grid* vs_ = nullptr;
  controls::Label* lbl_count_ = nullptr;
  std::vector<controls::Button*> cmd_;
  controls::Timer* timer_ = nullptr;
  controls::MouseWheel wheel_;
  int wheel_token_ = 0;
  ProportionalLayout layout_;
  // The row a mouse press landed on; -1 for the header.
  int pressed_row_ = -1;
  // Set when a combo box's text was typed and not yet applied.
  bool category_typed_ = false;
  bool source_typed_ = false;

  std::shared_ptr<HostContext> host_;
  std::shared_ptr<ParameterSet> parameters_;
  std::shared_ptr<clsCpml> record_;
  Variant value_;
  std::string text_;
  std::string account_code_;
  std::string list_key_;
  std::vector<int> search_columns_;
  std::string layout_folder_;
  double scroll_rate_ = 5;
  bool loading_ = true;
  bool multiple_ = false;
};

}  // namespace korvane

#endif  // KORVANE_PICKERS_PDM_CPML_H_
