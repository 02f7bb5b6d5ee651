// Condition texts of documents and the approved view's date window.
#include "document/conditions.h"

#include <chrono>
#include <stdexcept>

#include "host/data_service.h"
#include "host/shared_routines.h"
#include "values/variant.h"

namespace korvane::document {

std::optional<std::string> ConditionText(const ConditionArray& conditions) {
  if (conditions.empty()) return std::nullopt;
  std::string text;
  for (int c = 0; c < conditions.cols(); ++c) {
    if (conditions.get(0, c).IsBlank()) continue;
    const std::string field = conditions.get(1, c).ToText();
    const std::string value = SqlEscape(conditions.get(2, c).ToText());
    // The host writes the operator and its blanks; only a row ending exactly in "like" gets the
    // pattern's "%" around the value. "编号 like " (blank after it) compares the value as it is.
    if (RightChars(field, 4) == "like") {
      text += " and " + field + "'%" + value + "%'";
    } else {
      text += " and " + field + "'" + value + "'";
    }
  }
  return text.size() > 4 ? text.substr(4) : std::string();
}

std::string FindNextCondition(std::string_view find, std::string_view key_column,
                              std::int32_t current_id) {
  return std::string(find) + " AND " + std::string(key_column) + " > " + std::to_string(current_id);
}

std::string JoinFilter(std::string_view base, std::string_view filter, FilterJoin join) {
  if (filter.empty()) return std::string(base);
  return join == FilterJoin::kFilterFirst ? std::string(filter) + " AND " + std::string(base)
                                          : std::string(base) + " AND " + std::string(filter);
}

namespace {

using namespace std::chrono;

// The date y-m-d, moved back a day at a time until it exists.
year_month_day ValidDate(int y, unsigned m, int d) {
  year_month_day date = year{y} / month{m} / day{static_cast<unsigned>(d > 0 ? d : 1)};
  while (!date.ok() && static_cast<unsigned>(date.day()) > 1) {
    date = date.year() / date.month() / (date.day() - days{1});
  }
  return date;
}

}  // namespace

DateWindow ApprovedDateWindow(int period, int closing_day, int months_before) {
  const int earlier = SubtractPeriods(period, months_before);
  const year_month_day end =
      ValidDate(period / 100, static_cast<unsigned>(period % 100), closing_day);
  year_month_day start =
      ValidDate(earlier / 100, static_cast<unsigned>(earlier % 100), closing_day);
  start = start - months{1};
  if (!start.ok()) {
    start = ValidDate(static_cast<int>(start.year()), static_cast<unsigned>(start.month()),
                      static_cast<int>(static_cast<unsigned>(start.day())));
  }
  start = year_month_day{sys_days{start} + days{1}};
  return {FormatDate(start), FormatDate(end)};
}

std::string ApprovedWindowCondition(HostContext& host, std::string_view module_code,
                                    std::string_view date_column) {
  const std::optional<ModulePeriod> period = host.Period(module_code);
  if (!period) {
    throw std::runtime_error("no accounting period is set for module " + std::string(module_code));
  }
  const int month = period->period % 100;
  if (period->period < 100 || month < 1 || month > 12) {
    throw std::runtime_error("the accounting period " + std::to_string(period->period) +
                             " of module " + std::string(module_code) + " is not a month yyyymm");
  }
  const int months_before = static_cast<int>(NumericValue(host.Setting("befmonth")));
  const DateWindow window = ApprovedDateWindow(period->period, period->closing_day, months_before);
  const std::string column(date_column);
  return " and " + column + "<='" + window.end + "' and " + column + ">='" + window.start + "'";
}

}  // namespace korvane::document
