// The grid's pictures of cell values as text: the host's number display formats and how a
// column's format and data type show a cell's text.
#ifndef KORVANE_CONTROLS_GRID_FORMAT_H_
#define KORVANE_CONTROLS_GRID_FORMAT_H_

#include <string>
#include <string_view>

namespace korvane::controls {

// A number formatted by a display format of the host's kind: "#" is an optional digit, "0"
// a required one, "." the decimal point, "," groups thousands; for example
// FormatNumberVb(3.456, "###.##") is "3.46", FormatNumberVb(0.5, "##0.00") is "0.50" and
// FormatNumberVb(12, "###") is "12". An empty format gives FormatNumber(value).
//
// Rounding is half away from zero on the number's 15 significant decimal digits, so 2.675
// rounds to "2.68" as a person expects. Integer digits beyond the placeholders are all shown.
// As in the host, optional digits show nothing for a zero part: 0 with "###" is the empty
// text and 0.5 with "#.##" is ".5". Unlike the host, a decimal point with no digit after it
// is dropped (3 with "###.##" is "3", not "3."), and a value that rounds to zero has no minus
// sign. Also understood: a "," right before the point (or at the end) divides by 1000; "%"
// multiplies by 100; text in double quotes and a character after "\" are copied; other
// characters are copied as they are; up to three sections "positive;negative;zero" (the
// negative one gets no sign of its own); the named formats "General Number", "Fixed",
// "Standard" and "Percent". A format without any digit placeholder (a date format, say) and
// a value that is not finite give FormatNumber(value).
std::string FormatNumberVb(double value, std::string_view format);

// Whether the whole text, blanks around it aside, is one number (sign, digits, one point, an
// exponent). Totals, numeric sorts and number formats apply only to such cells: "12kg" is a
// text.
bool IsNumericText(std::string_view text);

// A cell's text as a column of this display format and data type (grid_type) shows it: a
// number by the format (FormatNumberVb), except in a text (kString) column; in a boolean
// column "√" for a true value ("True", "√" or a non-zero number) and the empty text
// otherwise; anything else as it is.
std::string CellDisplayText(std::string_view text, std::string_view format, int data_type);

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_GRID_FORMAT_H_
