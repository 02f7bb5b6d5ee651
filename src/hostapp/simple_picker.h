// SimplePicker: the reference host's own pickers (departments, processes, work centres, product
// and process categories, document natures, plan types). Each lists the rows of one query in a
// grid, narrows them to the rows containing what a person types into the find box, and hands
// back the chosen row's value and text (or, with multiple choice, the ticked rows' values and
// texts as comma lists).
//
// Contract:
//  - `finished` is called exactly once: with the choice (OK, Enter or a double click on a row;
//    multiple choice takes the ticked rows, the current row when none is ticked), or with
//    nullopt (Cancel, Escape). A choice with no row to take is ignored and the picker stays.
//  - The picker owns its form and controls. It never touches the database: its rows are given.
#ifndef KORVANE_HOSTAPP_SIMPLE_PICKER_H_
#define KORVANE_HOSTAPP_SIMPLE_PICKER_H_

#include <optional>
#include <string>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "values/recordset.h"

namespace korvane::hostapp {

class SimplePicker {
 public:
  // REQUIRES: `rows` has the columns `value_field` and `text_field`.
  SimplePicker(std::string caption, const Recordset& rows, std::string value_field,
               std::string text_field, bool multiple);
  SimplePicker(const SimplePicker&) = delete;
  SimplePicker& operator=(const SimplePicker&) = delete;

  controls::Form& form() { return form_; }
  controls::Grid& grid() { return *vs_; }

  controls::PickDone finished;

 private:
  // Grid column of the first field of the rows (after the tick column, when there is one).
  int first_field_col() const { return multiple_ ? 1 : 0; }
  void Filter();
  void Choose();
  void Cancel();
  void Finish(std::optional<controls::LookupMatch> match);

  controls::Form form_{"frmPicker"};
  controls::TextBox* find_ = nullptr;
  controls::Grid* vs_ = nullptr;
  controls::Button* ok_ = nullptr;
  controls::Button* cancel_ = nullptr;
  int value_col_ = 0;
  int text_col_ = 0;
  bool multiple_ = false;
  bool finished_ = false;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_SIMPLE_PICKER_H_
