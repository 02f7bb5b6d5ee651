// frmSccjd: the dialog in which the clerk picks, from approved source documents, the lines
// work is reported for: approved master plan lines (the usual source), approved work order
// lines or approved sales order lines. The work report opens it from its source button and
// makes one report line per chosen record.
//
// Contract:
//  - py_SubProgram(host, progid, mode) restores the dialog's controls and grid layout from the
//    per-user settings file progid + "frmSccjd", lists the kind of source the option buttons
//    choose, and shows the form (Dialogs::FormShown). Without a host it returns false and shows
//    nothing. Mode 1 offers master plans only (the other two options are hidden).
//  - The dialog is modeless for the host: the clerk ticks rows (double-click or Enter toggles
//    "√", the tick-all and clear-all commands act on the visible rows) and confirms. Confirm
//    saves the settings, closes the form (Dialogs::FormClosed) and then raises EvReturn with
//    the records of the rows that are ticked and visible, in grid order; the object touches
//    nothing of itself after raising it. Cancel saves and closes without the event.
//  - The filter fields (row limit, number from/to, date from/to) reach SQL only as quoted
//    literals; a row limit that is no whole number of 0 or more is refused with a message.
//  - Nothing throws: an unexpected or database error is shown as "frmSccjd->" + routine + ":"
//    + text in a message box with the critical icon, and the action returns false.
#ifndef KORVANE_WORKREPORT_FRM_SCCJD_H_
#define KORVANE_WORKREPORT_FRM_SCCJD_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/event.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "document/guard.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "values/object.h"

namespace korvane {

// One chosen source line.
struct clsScRk {
  std::string number;  // 单据编号
  std::string date;
  std::int32_t document_id = 0;
  std::string remark;
  std::int32_t line_id = 0;
  std::int32_t product_id = 0;
  std::string product_code;
  std::string product_name;
  std::string unit;
  std::string model;
  double quantity = 0;
  std::int32_t progid = 0;
  std::string batch;

  // The record's key in the collection: the source line id followed by "k".
  std::string Key() const { return std::to_string(line_id) + "k"; }
};

namespace workreport::sccjd {

enum Col : int {
  kColMarker = 0,
  kColChosen = 1,
  kColNumber = 2,
  kColDate = 3,
  kColProductCode = 4,
  kColProductName = 5,
  kColModel = 6,
  kColUnit = 7,
  kColBatch = 8,
  kColQuantity = 9,
  kColRemark = 10,
  kColProductId = 11,
  kColLineId = 12,
  kColProgId = 13,
  kColDocumentId = 14,
  kColCount = 15,
};

// The kinds of source, in the order of the option buttons.
enum class Source : int { kPlan = 0, kWorkOrder = 1, kSalesOrder = 2 };

inline constexpr std::string_view kFormName = "frmSccjd";
// clang-format off
inline constexpr std::string_view kGridHeader = "  |选择|单据编号  |操作日期  |物品编码  |物品名称       |规格型号   |单位 |批次号|数量  |备注          |产品ID|单据明细ID|ProgID|单据ID";
// clang-format on

// The filters of one listing, as typed.
struct SourceFilter {
  int row_limit = 0;  // 0: all rows
  std::string number_from;
  std::string number_to;
  std::string date_from;
  std::string date_to;
};

// The statement that lists one kind of source under `filter`.
std::string SourceQuery(Source source, const SourceFilter& filter);

// Whether `text` matches the search `pattern` anywhere, "%" standing for any run of
// characters, ASCII case ignored. An empty pattern matches everything.
bool SearchMatches(std::string_view text, std::string_view pattern);

}  // namespace workreport::sccjd

class frmSccjd : public Object {
 public:
  frmSccjd();
  ~frmSccjd() override;

  // See the contract. False without a host or when the first listing failed to set up.
  bool py_SubProgram(std::shared_ptr<HostContext> host, std::int32_t progid, int mode);

  // Lists the chosen kind of source again under the filter fields. False after an error was
  // shown.
  bool LoadSources();
  // Toggles the tick of a data row.
  void ToggleRow(int row);
  // Ticks (or clears) every visible data row.
  void TickVisible(bool ticked);
  // Hides the rows the search box does not match, while the search box is switched on.
  void ApplySearch();
  // The records of the ticked, visible rows, in grid order.
  std::vector<clsScRk> ChosenRecords() const;
  bool Confirm();
  void Cancel();
  // The command buttons' work by index; an index without a handler tells "未处理的功能".
  void Command(int index);

  controls::Event<const std::vector<clsScRk>&> EvReturn;

  // --- What a host renders and drives ----------------------------------------------------
  controls::Form& form() { return form_; }
  controls::Grid& grid() { return *grid_; }
  controls::TextBox& row_limit_box() { return *txt_top_; }
  controls::TextBox& number_from_box() { return *txt_[0]; }
  controls::TextBox& number_to_box() { return *txt_[1]; }
  controls::TextBox& date_from_box() { return *txt_[2]; }
  controls::TextBox& date_to_box() { return *txt_[3]; }
  controls::OptionButton& option(workreport::sccjd::Source source) {
    return *opt_.at(static_cast<std::size_t>(source));
  }
  controls::TextBox& search_box() { return *txt_search_; }
  controls::CheckBox& search_switch() { return *chk_search_; }
  controls::Button& command(int index) { return *cmd_.at(static_cast<std::size_t>(index)); }
  bool shown() const { return shown_; }

 private:
  void SetUpForm();
  void InitVsControl();
  workreport::sccjd::Source ChosenSource() const;
  void Close();
  std::string SettingsFileName() const;

  controls::Form form_;
  document::ErrorGuard guard_;
  controls::Grid* grid_ = nullptr;
  controls::TextBox* txt_top_ = nullptr;
  std::array<controls::TextBox*, 4> txt_{};
  std::array<controls::OptionButton*, 3> opt_{};
  controls::TextBox* txt_search_ = nullptr;
  controls::CheckBox* chk_search_ = nullptr;
  std::vector<controls::Button*> cmd_;

  std::shared_ptr<HostContext> host_;
  std::int32_t progid_ = 0;
  bool shown_ = false;
};

}  // namespace korvane

#endif  // KORVANE_WORKREPORT_FRM_SCCJD_H_
