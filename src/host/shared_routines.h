// Small routines every module shares: running a stored procedure into a grid (gFnRunProc),
// the field names of a recordset (sfFieldName), the grid alignment of a field type
// (GetColAlignment), accounting-period arithmetic (SubtractPeriods), the index of a control in
// its control array (GetIndex), the mouse-wheel scrolling of a grid and the proportional
// layout of a form's controls. None of them throws.
#ifndef KORVANE_HOST_SHARED_ROUTINES_H_
#define KORVANE_HOST_SHARED_ROUTINES_H_

#include <string_view>

#include "controls/basic_controls.h"
#include "controls/control.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "host/host_context.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane {

// Runs a stored procedure and shows its result in a grid.
// `parameters` has one column per parameter: row 0 the value, row 1 the name, row 2 a marker
// that, when not blank, makes it an output parameter; after the call row 0 of every output
// parameter holds the value the procedure returned. With `clear_rows` the grid is first cut
// back to its fixed rows; the result rows are appended from column fixed_cols (the grid gets
// at least as many columns as the result needs). With `merge` the grid is set up for the
// result: merging restricted to rows, fixed_cols + field count columns, the field names as
// header texts, alignments by field type, the leading text columns merged, and a "合计" row
// totalling every other column.
// On failure (no data service, a database error) a message box "gFnRunProc:" + the error text,
// titled "提示：", is shown through the host's dialogs and false is returned; output parameters
// are then left as they were.
bool gFnRunProc(std::string_view procedure, VariantArray& parameters, controls::Grid& grid,
                bool clear_rows, bool merge, HostContext& host);

// The field names of a recordset: a 1 x n array of names, or with `with_types` a 2 x n array
// with the names in row 0 and the field type codes in row 1. Always returns true.
bool sfFieldName(VariantArray& out, const Recordset& recordset, bool with_types);

// The grid alignment for a field type: 1 (left, centred vertically) for the text and
// date-time types 129, 130, 135, 200, 201, 202 and 203; 7 (right, centred vertically) for
// every other type.
int GetColAlignment(int ado_type);

// The period (yyyymm) n months before `period`: n times, a January becomes December of the
// year before and any other month goes back by one. n below 1 returns the period unchanged.
int SubtractPeriods(int period, int n);

// The control's index in its control array; -1 when it is not in one.
int GetIndex(const controls::Control& control);

// --- Mouse wheel -------------------------------------------------------------------------

// The scroll rate a setting text gives: 0, empty or unreadable means 5.
double ScrollRateFromSetting(std::string_view text);
// The top row for wheel position n (1-based): the whole part of (n - 1) * rate, at most
// `last_row`.
int WheelTopRow(int position, double rate, int last_row);
// Scrolls the grid to the top row of the wheel position.
void ApplyWheel(controls::Grid& grid, int position, double rate);
// Connects the wheel to the grid; the rate is read at every notch, so a module may set it
// after attaching. REQUIRES: `grid` and `rate` outlive the connection. Returns the token for
// MouseWheel::wheel.Disconnect.
int AttachWheel(controls::MouseWheel& wheel, controls::Grid& grid, const double& rate);

// --- Proportional layout -------------------------------------------------------------------

// Keeps a form's controls in proportion when the form is resized. Record, when the module is
// first set up, writes each control's geometry into its Tag as four numbers separated by
// single blanks (left, top, width, height; x1, y1, x2, y2 for a line) and keeps the form's
// inner size. Apply places every control whose Tag holds such numbers again, the horizontal
// numbers scaled by new width / initial width and the vertical ones by new height / initial
// height, according to its kind:
//   line: all four; combo box, text box, date picker, vertical scroll bar ("VScrollBar"):
//   left, top, width; label, check box, option button, shape: left, top; command button:
//   all four with the standard style (0), else left, top, width; any other control: all four.
// A control whose Tag holds no blank, or not four numbers, is left alone; nothing moves while
// no initial size other than 0 was recorded or the form has no size.
class ProportionalLayout {
 public:
  void Record(controls::Form& form);
  void Apply(controls::Form& form) const;
  // Applies the layout on every resize of the form. REQUIRES: this object outlives the
  // connection. Returns the token for Form::resize.Disconnect.
  int Attach(controls::Form& form);

  bool recorded() const { return initial_width_ > 0 && initial_height_ > 0; }
  double initial_width() const { return initial_width_; }
  double initial_height() const { return initial_height_; }

 private:
  double initial_width_ = 0;
  double initial_height_ = 0;
};

}  // namespace korvane

#endif  // KORVANE_HOST_SHARED_ROUTINES_H_
