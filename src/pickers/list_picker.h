// ListPicker: what the product and employee pickers share. Both show a list grid whose first
// three columns are the tick, the record id and the code or number; both find or filter the
// list as the user types in the columns of a search-column list ("2;4"), sort it by a chosen
// column, tick rows in multiple-choice mode and hand the choice back through Value, Text and
// Objects; both keep their column widths in a layout file of the user's settings folder.
//
// Contract for a picker built on it:
//  - The derived class builds its form in its constructor and then calls AttachList once with
//    the controls it made; from then on the filter and match boxes, the sort list, the OK,
//    cancel, tick-all and clear-all buttons behave the same in every picker.
//  - Init of the derived class calls InitList(context) first; InitList returns false without a
//    context (the picker then stays empty) and otherwise keeps the host, makes the parameter
//    set, reads the wheel's scroll rate and forms the layout folder. It may throw on a
//    database error: the caller runs it under guard().
//  - CompleteSelection reads the row through LoadChoice (the derived class fills its record,
//    Value and Text for one row); in multiple-choice mode Value and Text become the ticked ids
//    and the ticked rows' choice texts, joined by ",". DoSelect is raised only when the choice
//    was made; a hidden current row chooses nothing.
//  - Every handler runs under guard(): an unexpected error is shown in a message box in the
//    picker's BoxStyle and nothing throws to the host.
#ifndef KORVANE_PICKERS_LIST_PICKER_H_
#define KORVANE_PICKERS_LIST_PICKER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "document/guard.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "host/shared_routines.h"
#include "values/object.h"

namespace korvane {

namespace pickers {

inline constexpr std::string_view kAllItems = "全部";
inline constexpr std::string_view kTickMark = "√";
inline constexpr std::string_view kWholeMatchCaption = "全字匹配";
inline constexpr std::string_view kLeftMatchCaption = "左起字符匹配";

// The columns every list picker's grid begins with.
inline constexpr int kTickColumn = 0;
inline constexpr int kIdColumn = 1;
// The column whose empty cell marks a row that tick-all leaves alone.
inline constexpr int kTickAllColumn = 2;

// The search columns of a list such as "2;4": trimmed and split at ";"; every piece that is not
// blank is an entry, read as a number (a piece that holds none is column 0). Order is kept.
std::vector<int> ParseSearchColumns(std::string_view list);

// Find mode: the first data row whose cell in one of `columns` (tried in order, the first
// column that yields a row wins) equals `text` (`whole`) or begins with it, ignoring ASCII
// case; -1 when none. Columns outside the grid are skipped.
int FindListRow(const controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                bool whole);

// Filter mode: unhides every data row, then, for a text that is not empty, hides every data
// row in which no cell of `columns` begins with (`left_match`) or contains the text, compared
// in ASCII upper case. Columns outside the grid are skipped. Returns the first visible data
// row, -1 when none.
int FilterListRows(controls::Grid& grid, const std::vector<int>& columns, std::string_view text,
                   bool left_match);

}  // namespace pickers

class ListPicker : public Object,
                   public IPickerUI,
                   public WheelSource,
                   public FormView,
                   public EventSource<PickerEvents> {
 public:
  // The controls a picker made for the shared behaviour; none may be null.
  struct ListControls {
    controls::Grid* grid = nullptr;
    controls::TextBox* search = nullptr;
    controls::TextBox* search_columns = nullptr;
    controls::ComboBox* sort = nullptr;
    controls::CheckBox* filter = nullptr;
    controls::CheckBox* match = nullptr;
    // OK, cancel, refresh, tick all, clear all.
    std::array<controls::Button*, 5> buttons{};
  };

  ~ListPicker() override;

  // --- IPickerUI members every list picker answers alike -----------------------------------
  bool Clear() override;
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
  controls::MouseWheel& Wheel() override { return wheel_; }

  // --- What a host renders and drives ------------------------------------------------------
  const std::vector<std::unique_ptr<controls::Control>>& Controls() const {
    return form_.Controls();
  }
  const std::string& Name() const { return form_.name(); }
  controls::Form& form() { return form_; }
  controls::Form& View() override { return form_; }
  controls::Grid& grid() { return *list_.grid; }
  controls::TextBox& search_box() { return *list_.search; }
  controls::TextBox& search_columns_box() { return *list_.search_columns; }
  controls::ComboBox& sort_list() { return *list_.sort; }
  controls::CheckBox& filter_box() { return *list_.filter; }
  controls::CheckBox& match_box() { return *list_.match; }
  controls::Button& button(int index) { return *list_.buttons.at(static_cast<std::size_t>(index)); }

  bool multiple_choice() const { return multiple_; }
  double scroll_rate() const { return scroll_rate_; }
  const std::string& layout_folder() const { return layout_folder_; }
  const std::vector<int>& search_columns() const { return search_columns_; }

 protected:
  // `form_name` names the form; `style` is how an unexpected error is boxed; the choice text
  // of a ticked row is its cell in `text_column`.
  ListPicker(std::string form_name, document::BoxStyle style, int text_column);

  // REQUIRES: called once, from the derived constructor, with every control made.
  void AttachList(const ListControls& list);
  // The common part of Init (see the contract). False without a context.
  bool InitList(std::shared_ptr<HostContext> context);

  // Shows or hides the tick column and the tick-all buttons.
  void ApplyMultipleChoice(bool multiple);
  // Finds or filters by the search box, as the filter box says.
  void RunSearch();
  void DoFindVs();
  void DoFilterVs();
  void CompleteSelection();
  // Asks for a new search-column list and takes it when the user changed it.
  void AskSearchColumns();
  void TickAll(bool ticked);
  void ToggleTick(int row);
  int DataRows() const { return list_.grid->rows() - list_.grid->fixed_rows(); }

  // The parameter's text, trimmed; empty when it is not set.
  std::string ParameterText(std::string_view name) const;
  bool HasParameter(std::string_view name) const;
  // The parameter read as a number; 0 when it is not set.
  double ParameterNumber(std::string_view name) const;

  // Fills the record, Value and Text from one row of the list (a row outside the data rows
  // chooses nothing). May throw.
  virtual void LoadChoice(int row) = 0;
  // The file name the grid's layout is kept under.
  virtual std::string LayoutFileName() const = 0;

  HostContext* host() const { return host_.get(); }
  const std::shared_ptr<ParameterSet>& parameters() const { return parameters_; }
  const document::ErrorGuard& guard() const { return guard_; }

  controls::Form form_;
  Variant value_;
  std::string text_;

 private:
  void OnFilterBoxClick();
  void SortByChosenColumn();

  document::ErrorGuard guard_;
  int text_column_;
  ListControls list_;
  controls::MouseWheel wheel_;
  int wheel_token_ = 0;
  std::shared_ptr<HostContext> host_;
  std::shared_ptr<ParameterSet> parameters_;
  std::vector<int> search_columns_;
  std::string layout_folder_;
  double scroll_rate_ = 5;
  bool multiple_ = false;
};

}  // namespace korvane

#endif  // KORVANE_PICKERS_LIST_PICKER_H_
