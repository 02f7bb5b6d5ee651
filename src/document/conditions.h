// The condition texts every document walks its records by: the condition of a host's condition
// array, the find-next condition, the filter joined with the base, and the approved view's
// date window of an accounting period.
#ifndef KORVANE_DOCUMENT_CONDITIONS_H_
#define KORVANE_DOCUMENT_CONDITIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_context.h"
#include "host/interfaces.h"

namespace korvane::document {

// The condition text of a host condition array (one column per condition: row 0 non-empty when
// it counts, row 1 field and operator, row 2 the value): " and " + row 1 + "'%" + value + "%'"
// when the last four characters of row 1 are exactly "like" (a blank after it, or "LIKE", makes
// it an equality), else " and " + row 1 + "'" + value + "'", for every counted condition, with
// the first four characters of the result cut off (so it begins with a blank). The values are
// user text and are escaped. nullopt for an empty array.
std::optional<std::string> ConditionText(const ConditionArray& conditions);

// The next match after the document on screen: find + " AND " + key + " > " + id.
std::string FindNextCondition(std::string_view find, std::string_view key_column,
                              std::int32_t current_id);

// Which side of " AND " the filter goes: before the base (the usual) or after it.
enum class FilterJoin { kFilterFirst, kBaseFirst };
// The base alone when there is no filter, else both joined by " AND ".
std::string JoinFilter(std::string_view base, std::string_view filter, FilterJoin join);

// The approved view's window of dates: from the day after the closing day one month before
// period `period` less `months_before` months, to the closing day of `period` ("yyyy-mm-dd"
// each). A closing day the month does not have moves back to the month's last day.
// REQUIRES: period is yyyymm with a month 1 to 12.
struct DateWindow {
  std::string start;
  std::string end;
};
DateWindow ApprovedDateWindow(int period, int closing_day, int months_before);

// " and <date column><='end' and <date column>>='start'" for the current period of
// `module_code` and the setting "befmonth" as the months before it. Throws std::runtime_error
// when the module has no period or the period is not a month yyyymm, so a wrong window is
// never walked.
std::string ApprovedWindowCondition(HostContext& host, std::string_view module_code,
                                    std::string_view date_column);

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_CONDITIONS_H_
