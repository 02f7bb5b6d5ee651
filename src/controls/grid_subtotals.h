// The planning of a grid's subtotal rows: which runs of rows make a group, what each group's
// total is and where its subtotal row goes.
#ifndef KORVANE_CONTROLS_GRID_SUBTOTALS_H_
#define KORVANE_CONTROLS_GRID_SUBTOTALS_H_

#include <optional>
#include <string>
#include <vector>

#include "controls/grid.h"

namespace korvane::controls {

// One subtotal row of a plan: a row to put in, or one an earlier Subtotal made for the same
// group column whose total cell is to be filled.
struct SubtotalPlacement {
  int row = 0;  // where the new row goes in, or the row to fill
  bool fresh = false;
  std::string caption;  // the new row's caption, "%s" replaced by the group's text
  // The text of the total cell; none when the group has no such total (an average of no
  // number) or the function only outlines.
  std::optional<std::string> total;
};

struct SubtotalPlan {
  // Where a new row's caption goes; outside the grid when the caption shows nowhere.
  int caption_col = 0;
  // Bottom up: a row put in shifts only the rows below it, so each placement's row is right
  // when they are applied in this order.
  std::vector<SubtotalPlacement> placements;
};

// The subtotal rows Grid::Subtotal makes for `sum_rule` on the grid as it stands, read through
// the grid's public interface. REQUIRES: what Grid::Subtotal requires, and a function other
// than kClear.
SubtotalPlan PlanSubtotals(const Grid& grid, const SubtotalSpec& sum_rule);

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_GRID_SUBTOTALS_H_
