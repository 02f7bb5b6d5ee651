// Rows as a plain-text table for a terminal: one header line, a rule, one line per row, columns
// padded to their widest cell in display columns (a Chinese character takes two).
#ifndef KORVANE_APPS_KORVANE_TABLE_TEXT_H_
#define KORVANE_APPS_KORVANE_TABLE_TEXT_H_

#include <string>
#include <string_view>

#include "values/recordset.h"

namespace korvane::cli {

// Columns a text takes on a terminal: East Asian wide and full-width characters count two.
int DisplayWidth(std::string_view text);

// Every row of `rows` (regardless of its position) under its field names, followed by the line
// "(n rows)". A cell shows the value's text: dates as "yyyy-mm-dd" (with the time when it has
// one), numbers without trailing zeros, NULL as "NULL".
std::string FormatTable(const Recordset& rows);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_TABLE_TEXT_H_
