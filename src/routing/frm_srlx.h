// FrmSRLX: the dialog listing the standard, valid routes of every product (optionally of one
// product category), from which the person takes one route; the route document copies its
// operations into the route being entered.
//
// Contract:
//  - py_Init(host, progid) prepares the category field, lists the routes, applies the user's
//    saved list layout (file progid + "FrmSRLX") and shows the form (Dialogs::FormShown).
//    Without a host it returns false and shows nothing.
//  - The dialog is modeless for the host: Take (button 0, or a double click on a data row)
//    closes the form (Dialogs::FormClosed) and then raises EvHasSelect(route id, product id);
//    the object touches nothing of itself after raising it. Close (button 1) closes without the
//    event. Button 2 lists again, button 3 finds.
//  - The category code and the row limit reach SQL only as a quoted literal and a whole number.
//    A row limit of 0, an empty one or one that is no number lists every route.
//  - Find shows every row again, then (with a find text) tests the find columns of each row
//    (column numbers separated by ";", kept under "Other" / "查找列" of the layout file,
//    "1;" at first; a number outside the grid or of a hidden column is skipped) for the text,
//    ignoring case; with "过滤" ticked the rows without a match are hidden.
//  - Nothing throws: an unexpected error is raised as ErrMessage("FrmSRLX-->" + routine + "::"
//    + text, level 8, "选择工艺路线"); a statement the database refuses, as its error text.
#ifndef KORVANE_ROUTING_FRM_SRLX_H_
#define KORVANE_ROUTING_FRM_SRLX_H_

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
#include "controls/lookup_field.h"
#include "document/guard.h"
#include "host/host_context.h"
#include "values/object.h"

namespace korvane {

namespace routing::selection {

// clang-format off
enum Col : int {
  kColCode, kColName, kColModel, kColUnit, kColRoute, kColDate, kColProductId, kColRouteId,
  kColCount
};
// clang-format on

inline constexpr std::string_view kFormName = "FrmSRLX";
inline constexpr std::string_view kTitle = "选择工艺路线";
inline constexpr std::string_view kGridHeader =
    "物品编码    |物品名称                          |物品规格         |计量单位|路线名称|日期      "
    "|产品ID|ID";
inline constexpr std::string_view kDefaultFindColumns = "1;";

// The statement that lists the routes: of the categories under `category_code` when it is not
// empty, at most `limit` of them when it is above 0.
std::string RouteListQuery(std::string_view category_code, long limit);

// The column numbers of a find-column list ("1;3;"); pieces that are no whole number are
// skipped.
std::vector<int> ParseFindColumns(std::string_view text);

}  // namespace routing::selection

class FrmSRLX : public Object {
 public:
  FrmSRLX();
  ~FrmSRLX() override;

  // See the contract. False without a host.
  bool py_Init(std::shared_ptr<HostContext> host, std::int32_t progid);
  // Lists the routes again under the category and the row limit. False after an error.
  bool HasRefresh();
  // Takes the current row when it is a data row; false otherwise.
  bool Take();
  void Close();
  void FindRows();
  // Asks for the find columns (Ctrl+Shift+E on the list) and keeps a changed answer.
  void AskFindColumns();
  // The command buttons' work by index.
  void Command(int index);

  controls::Event<std::int32_t, std::int32_t> EvHasSelect;  // route id, product id
  controls::Event<const std::string&> Message;
  controls::Event<const std::string&, LogLevel, const std::string&> ErrMessage;

  // --- What a host renders and drives ----------------------------------------------------
  controls::Form& form() { return form_; }
  controls::Grid& list() { return *grid_; }
  controls::LookupField& category() { return *category_; }
  controls::LookupField& row_limit() { return *limit_; }
  controls::TextBox& find_box() { return *find_; }
  controls::CheckBox& filter_switch() { return *filter_; }
  controls::Button& command(int index) { return *cmd_.at(static_cast<std::size_t>(index)); }
  const std::string& find_columns() const { return find_columns_; }
  bool shown() const { return shown_; }

 private:
  void SetUpForm();
  void InitVsControl();
  std::string LayoutFile() const;
  void RaiseError(const std::string& text);

  controls::Form form_{std::string(routing::selection::kFormName)};
  controls::Grid* grid_ = nullptr;
  controls::LookupField* category_ = nullptr;
  controls::LookupField* limit_ = nullptr;
  controls::TextBox* find_ = nullptr;
  controls::CheckBox* filter_ = nullptr;
  std::array<controls::Button*, 4> cmd_{};
  std::shared_ptr<HostContext> host_;
  std::shared_ptr<controls::LookupResolver> lookups_;
  document::ErrorGuard guard_;
  std::int32_t progid_ = 0;
  std::string find_columns_{routing::selection::kDefaultFindColumns};
  bool shown_ = false;
};

}  // namespace korvane

#endif  // KORVANE_ROUTING_FRM_SRLX_H_
