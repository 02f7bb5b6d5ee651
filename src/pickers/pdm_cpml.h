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
//    account codes) differs from the last load; Cmd(2) always reloads. Init and Refresh return
//    false when an error stopped them or the list procedure failed (a failed load is tried
//    again by the next Refresh).
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
#include "controls/grid.h"
#include "host/shared_routines.h"
#include "pickers/list_picker.h"
#include "records/cls_cpml.h"

namespace korvane {

namespace pickers::cpml {

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
inline constexpr std::string_view kInitialSearchColumns = "2;4";
inline constexpr int kTimerInterval = 200;

// The WHERE text restricting a product query to categories of the given account codes: the
// codes are split at "," (quotes and blanks around a code dropped) and each is quoted, so
// " and 产品类别ID in(select 类别ID from pdmcplb where 对应科目编号 in('1211','1221'))".
std::string AccountCondition(std::string_view account_codes);

}  // namespace pickers::cpml

class pdmCpml : public ListPicker {
 public:
  pdmCpml();
  ~pdmCpml() override;

  // --- IPickerUI -----------------------------------------------------------------------
  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::string_view parameter_text) override;
  bool Clear() override;
  bool Refresh() override;
  std::shared_ptr<Object> Objects() override { return record_; }
  bool Validate(std::string_view table, std::string_view value_column, std::string_view text_column,
                std::string_view typed, std::string& out_value, std::string& out_text) override;

  // --- What a host renders and drives ------------------------------------------------------
  controls::ComboBox& category_list() { return *categories_; }
  controls::ComboBox& source_list() { return *sources_; }
  controls::CheckBox& cancelled_box() { return *chk_; }
  controls::Label& count_label() { return *lbl_count_; }
  controls::Timer& timer() { return *timer_; }
  void ReceiveFocus();

  const std::string& account_code() const { return account_code_; }
  const std::string& list_key() const { return list_key_; }
  bool loading_enabled() const { return loading_; }

 protected:
  // Hooks of the picker with a process tree.
  virtual void ExtraListParameters(std::vector<Variant>& /*parameters*/) {}
  virtual void FillRecordExtras(clsCpml& /*record*/) {}
  virtual void AfterInit() {}
  virtual void BeforeListReload() {}
  std::string LayoutFileName() const override { return std::string(pickers::cpml::kModuleName); }
  void LoadChoice(int row) override;

  void set_loading(bool loading) { loading_ = loading; }
  // Reloads the list when its key changed since the last load, or always with `force`. False
  // when the list procedure failed.
  bool LoadData(bool force);
  bool HasRefresh(bool force);
  std::string NumericParameter(std::string_view name) const;

 private:
  void SetUpForm();
  void InitVsControl();
  void LoadGoodsType();
  void FillSortList();
  void LoadRecord(const Recordset& rows);
  void MoveToVisibleRow(int step);
  void OnKeyDown(int& key, int shift);
  void OnKeyUp(int key, int shift);
  std::string SelectedCategory() const;
  std::string SelectedSource() const;
  bool SettingIsOne(std::string_view item_code);

  controls::TextBox* search_ = nullptr;
  controls::ComboBox* categories_ = nullptr;
  controls::ComboBox* sources_ = nullptr;
  controls::CheckBox* chk_ = nullptr;
  controls::Grid* vs_ = nullptr;
  controls::Label* lbl_count_ = nullptr;
  controls::Timer* timer_ = nullptr;
  ProportionalLayout layout_;
  int pressed_row_ = -1;
  bool category_typed_ = false;
  bool source_typed_ = false;

  std::shared_ptr<clsCpml> record_;
  std::string account_code_;
  std::string list_key_;
  bool loading_ = true;
};

}  // namespace korvane

#endif  // KORVANE_PICKERS_PDM_CPML_H_
