// A module's form as text for a terminal: the caption, the fields with their captions, the
// labels that show something, the check boxes, and each grid as a table of its non-empty rows.
// The demo walk prints every screen with it.
#ifndef KORVANE_APPS_KORVANE_SCREEN_TEXT_H_
#define KORVANE_APPS_KORVANE_SCREEN_TEXT_H_

#include <string>

#include "controls/form.h"
#include "controls/grid.h"

namespace korvane::cli {

// The form's visible controls in their order. Lookup and text fields read "caption: text",
// labels their caption (with the tooltip as caption when the label names no caption of its
// own), check boxes "[x] caption". Grids come last, through GridText.
std::string ScreenText(const controls::Form& form);

// The grid's data rows that hold any text beyond the row number, under the header texts
// (trimmed), showing only the columns some such row fills; "(no lines)" when none.
std::string GridText(const controls::Grid& grid);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_SCREEN_TEXT_H_
