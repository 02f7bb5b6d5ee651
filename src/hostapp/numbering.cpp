// Document numbers: proposed from the highest serial taken, taken and freed by single
// statements whose primary key refuses a second taker.
#include "hostapp/numbering.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

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
  // The digits test is the one piece each database writes its own way.
  const bool server = db_.target() == data::SqlTarget::kPostgres;
  const auto rows = db_.Query(
      std::string("SELECT MAX(CAST(substr(number, ?1 + 1) AS BIGINT)) FROM xt_document_number "
                  "WHERE progid = ?2 AND length(number) > ?1 AND substr(number, 1, ?1) = ?3 "
                  "COLLATE TSQL AND ") +
          (server ? "substr(number, ?1 + 1) COLLATE \"C\" ~ '^[0-9]+$'"
                  : "substr(number, ?1 + 1) NOT GLOB '*[^0-9]*'"),
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

NewKeyAnswer IssuePgKey(data::PgDataService& db, std::string_view table,
                        std::string_view key_column) {
  NewKeyAnswer answer;
  std::string table_name = Trim(table);
  if (table_name.size() > 4 && EqualsIgnoreCase(table_name.substr(0, 4), "dbo.")) {
    table_name.erase(0, 4);
  }
  const std::string column = Trim(key_column);
  if (!db.catalog().HasTable(table_name)) {
    answer.error = "no table " + table_name + " to issue a key for";
    return answer;
  }
  if (!db.catalog().Kind(table_name, column)) {
    answer.error = "table " + table_name + " has no column " + column;
    return answer;
  }
  // Both names are known to the server's catalog; quoted in the lower case the server folds
  // unquoted names to, they name exactly the table and column the schema created.
  const auto quoted = [](const std::string& name) {
    std::string out = "\"";
    for (char c : ToLowerAscii(name)) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
  };
  const std::string& table_key = table_name;
  const std::string& column_key = column;
  const bool own = !db.InTransaction();
  if (own && !db.BeginTrans()) {
    answer.error = db.LastError();
    return answer;
  }
  const auto fail = [&](std::string why) {
    if (own && db.InTransaction()) db.RollbackTrans();
    answer.key = 0;
    answer.error = why.empty() ? "no key was issued for " + table_name : std::move(why);
    return answer;
  };
  std::string error;
  data::SqlReader& sql = db.Native();
  // The row exists before it is locked, so that the first two takers also meet at the lock.
  if (!sql.Exec("INSERT INTO xt_key(table_name, key_column, last_key) VALUES (?, ?, 0)"
                " ON CONFLICT (table_name, key_column) DO NOTHING",
                {Variant(table_key), Variant(column_key)}, error)) {
    return fail(error);
  }
  const auto locked =
      sql.Query("SELECT last_key FROM xt_key WHERE table_name = ? AND key_column = ? FOR UPDATE",
                {Variant(table_key), Variant(column_key)}, error);
  if (locked == nullptr || locked->RecordCount() == 0) return fail(error);
  const auto present = sql.Query(
      "SELECT coalesce(max(" + quoted(column) + "), 0) FROM " + quoted(table_name), {}, error);
  if (present == nullptr || present->RecordCount() == 0) return fail(error);
  const std::int64_t key = std::max(locked->Value(0).ToInt64(), present->Value(0).ToInt64()) + 1;
  if (key > std::numeric_limits<std::int32_t>::max() || key < 1) {
    return fail("the keys of " + table_name + "." + column + " are exhausted");
  }
  if (!sql.Exec("UPDATE xt_key SET last_key = ? WHERE table_name = ? AND key_column = ?",
                {Variant(static_cast<long long>(key)), Variant(table_key), Variant(column_key)},
                error)) {
    return fail(error);
  }
  if (own && !db.CommitTrans()) return fail(db.LastError());
  answer.key = static_cast<std::int32_t>(key);
  return answer;
}

}  // namespace korvane::hostapp
