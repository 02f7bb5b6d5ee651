// Document numbers: proposed from the highest serial taken, taken and freed by single
// statements whose primary key refuses a second taker.
#include "hostapp/numbering.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "values/variant.h"

namespace korvane::hostapp {
namespace {

std::string Padded(long long value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  }
  return digits;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view head) {
  return text.size() >= head.size() && EqualsIgnoreCase(text.substr(0, head.size()), head);
}

// The wall-clock time a number was taken, as the database stores date-times.
std::string NowText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

}  // namespace

std::string FormatDatePart(std::string_view pattern, std::chrono::year_month_day date) {
  const int year = static_cast<int>(date.year());
  const int month = static_cast<int>(static_cast<unsigned>(date.month()));
  const int day = static_cast<int>(static_cast<unsigned>(date.day()));
  std::string out;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::string_view rest = pattern.substr(i);
    if (StartsWithIgnoreCase(rest, "yyyy")) {
      out += Padded(year, 4);
      i += 4;
    } else if (StartsWithIgnoreCase(rest, "yy")) {
      out += Padded(((year % 100) + 100) % 100, 2);
      i += 2;
    } else if (StartsWithIgnoreCase(rest, "mm")) {
      out += Padded(month, 2);
      i += 2;
    } else if (StartsWithIgnoreCase(rest, "dd")) {
      out += Padded(day, 2);
      i += 2;
    } else {
      out += pattern[i];
      ++i;
    }
  }
  return out;
}

NumberingRule DocumentNumbering::Rule(std::int32_t progid) {
  NumberingRule rule;
  std::string error;
  const auto rows =
      db_.Query("SELECT prefix, date_part, serial_width FROM xt_numbering_rule WHERE progid = ?",
                {Variant(progid)}, error);
  if (rows == nullptr || rows->RecordCount() == 0) return rule;
  rule.prefix = rows->Value(0).ToText();
  rule.date_part = rows->Value(1).ToText();
  rule.serial_width = std::clamp(static_cast<int>(rows->Value(2).ToLong()), 1, 18);
  return rule;
}

std::string DocumentNumbering::Propose(std::int32_t progid, std::chrono::year_month_day date,
                                       std::string& error) {
  const NumberingRule rule = Rule(progid);
  const std::string head = rule.prefix + FormatDatePart(rule.date_part, date);
  const auto head_length = static_cast<long long>(CodePointCount(head));
  // Only numbers that are this head followed by digits alone count as serials: a number typed
  // by hand in another form never pushes the serials on.
  const auto rows = db_.Query(
      "SELECT MAX(CAST(substr(number, ?1 + 1) AS INTEGER)) FROM xt_document_number "
      "WHERE progid = ?2 AND length(number) > ?1 AND substr(number, 1, ?1) = ?3 COLLATE TSQL "
      "AND substr(number, ?1 + 1) NOT GLOB '*[^0-9]*'",
      {Variant(head_length), Variant(progid), Variant(head)}, error);
  if (rows == nullptr) return {};
  long long highest = 0;
  if (rows->RecordCount() > 0 && !rows->Value(0).IsNull()) highest = rows->Value(0).ToInt64();
  if (highest < 0 || highest >= 999999999999999999LL) {
    error = "the serials of program " + std::to_string(progid) + " are exhausted under " + head;
    return {};
  }
  error.clear();
  return head + Padded(highest + 1, rule.serial_width);
}

bool DocumentNumbering::Commit(std::int32_t progid, std::string_view number,
                               std::string_view user_name, std::string& error) {
  if (Trim(number).empty()) {
    error = "a document number cannot be empty";
    return false;
  }
  const auto rows = db_.Query(
      "INSERT INTO xt_document_number(progid, number, taken_by, taken_at) VALUES (?, ?, ?, ?) "
      "ON CONFLICT(progid, number) DO NOTHING RETURNING number",
      {Variant(progid), Variant(number), Variant(user_name), Variant(NowText())}, error);
  if (rows == nullptr) return false;
  if (rows->RecordCount() == 0) {
    error = "the number " + std::string(number) + " is already taken";
    return false;
  }
  error.clear();
  return true;
}

bool DocumentNumbering::Release(std::int32_t progid, std::string_view number, std::string& error) {
  const auto rows =
      db_.Query("DELETE FROM xt_document_number WHERE progid = ? AND number = ? RETURNING number",
                {Variant(progid), Variant(number)}, error);
  if (rows == nullptr) return false;
  if (rows->RecordCount() == 0) {
    error = "the number " + std::string(number) + " is not taken";
    return false;
  }
  error.clear();
  return true;
}

}  // namespace korvane::hostapp
