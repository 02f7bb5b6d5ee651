#include "data/tsql_runtime.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace korvane::data {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// An in-memory database with the runtime registered. How the translator rewrites each construct
// is its own test's, and the SQL corpus runs the translations on the demo factory; here, that the
// functions and the collation the translations call behave as the server does.
class TsqlRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterTsqlRuntime(db_), SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

  void Native(const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "") << "\n" << sql;
    sqlite3_free(error);
  }

  // Every row as texts (NULL as "NULL"); a failure lands in `error` as "error: " and its text.
  Rows NativeRows(const std::string& sql, std::string* error = nullptr) {
    const auto fail = [&] {
      if (error != nullptr) *error = "error: " + std::string(sqlite3_errmsg(db_));
      if (error == nullptr) ADD_FAILURE() << sqlite3_errmsg(db_) << "\n" << sql;
    };
    Rows rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      fail();
      return rows;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        row.push_back(text == nullptr ? "NULL" : text);
      }
      rows.push_back(row);
    }
    if (rc != SQLITE_DONE) fail();
    sqlite3_finalize(stmt);
    return rows;
  }

  // The first value of the first row, or "error: " and the failure's text.
  std::string Value(const std::string& sql) {
    std::string error;
    const Rows rows = NativeRows(sql, &error);
    if (!error.empty()) return error;
    return rows.empty() || rows[0].empty() ? "(no value)" : rows[0][0];
  }

  sqlite3* db_ = nullptr;
};

TEST_F(TsqlRuntimeTest, TextColumnsCompareIgnoringCaseAndTrailingBlanks) {
  Native(
      "CREATE TABLE v (s VARCHAR(10) COLLATE TSQL);"
      "INSERT INTO v VALUES ('ab'), ('AB  '), ('a'), ('B'), ('a!'), ('a '), (''), (' '),"
      " ('中文'), ('中'), ('Z'), ('_');");
  EXPECT_EQ(Value("select count(*) from v where s = 'ab  '"), "2");
  EXPECT_EQ(Value("select count(*) from v where s in ('A', 'x')"), "2");
  EXPECT_EQ(Value("select count(distinct s) from v"), "9");
  // The order agrees with the equality: for every pair exactly one of <, =, > holds, and
  // values equal under the collation sort side by side.
  const Rows pairs = NativeRows(
      "SELECT x.s, y.s, (x.s < y.s) + (x.s = y.s) + (x.s > y.s), x.s = y.s,"
      " (x.s < y.s) = (y.s > x.s) FROM v x, v y");
  for (const auto& p : pairs) {
    EXPECT_EQ(p[2], "1") << "'" << p[0] << "' vs '" << p[1] << "'";
    EXPECT_EQ(p[4], "1") << "'" << p[0] << "' vs '" << p[1] << "'";
  }
  const Rows sorted = NativeRows("SELECT s FROM v ORDER BY s, rowid");
  // Letters sort as their lower case, so '_' (between the cases) comes before 'a'.
  const std::vector<std::string> expected = {"",   " ",    "_", "a", "a ", "a!",
                                             "ab", "AB  ", "B", "Z", "中", "中文"};
  ASSERT_EQ(sorted.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(sorted[i][0], expected[i]) << i;
}

TEST_F(TsqlRuntimeTest, FunctionsFollowTheServersRules) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Joining or adding, decided by the values.
      {"select korvane_plus('a', 'b')", "ab"},
      {"select korvane_plus(1, 2)", "3"},
      {"select korvane_plus(1.5, '2')", "3.5"},
      {"select korvane_plus(' 7 ', 1)", "8"},
      {"select korvane_plus(NULL, 'b')", "NULL"},
      {"select korvane_plus(9223372036854775807, 1)", "9.22337203685478e+18"},
      {"select korvane_plus('x', 1)",
       "error: Conversion failed when converting the text 'x' to a number"},
      // Positions count characters; those before the first exist but are empty.
      {"select korvane_substring('abc', 0, 2)", "a"},
      {"select korvane_substring('abc', -1, 3)", "a"},
      {"select korvane_substring('中文字', 2, 5)", "文字"},
      {"select korvane_substring('abc', 4, 1)", ""},
      {"select korvane_substring('abc', 1, -1)",
       "error: Invalid length parameter passed to the substring function"},
      {"select korvane_right('中文字', 2)", "文字"},
      {"select korvane_right('ab', 0)", ""},
      {"select korvane_right('ab', 5)", "ab"},
      {"select korvane_charindex('B', 'abcb')", "2"},
      {"select korvane_charindex('b', 'abcb', 3)", "4"},
      {"select korvane_charindex('字', '中文字')", "3"},
      {"select korvane_charindex('', 'abc')", "0"},
      {"select korvane_charindex('z', 'abc')", "0"},
      {"select korvane_replace('aBcAbc', 'ab', '-')", "-c-c"},
      {"select korvane_text(3.0)", "3"},
      {"select korvane_text(2.25)", "2.25"},
      {"select korvane_isnumeric(' 12.5 ')", "1"},
      {"select korvane_isnumeric('12a')", "0"},
      {"select korvane_isnumeric(NULL)", "0"},
      {"select korvane_str(3.14159, 6, 2)", "  3.14"},
      {"select korvane_str(123456, 3)", "***"},
      {"select korvane_space(3) || '|'", "   |"},
      {"select korvane_replicate('ab', 3)", "ababab"},
      // Extreme counts and positions end at once, without wrapping around.
      {"select korvane_replicate('', 1000000000000000000)", ""},
      {"select korvane_replicate('abcd', 4611686018427387904)", "NULL"},
      {"select korvane_substring('abc', 2, 9223372036854775807)", "bc"},
      {"select korvane_substring('abc', -9223372036854775807 - 1, 9223372036854775807)", ""},
      {"select korvane_substring('abc', 9223372036854775807, 9223372036854775807)", ""},
      {"select korvane_dateadd('year', 1e300, '2024-01-31')",
       "error: Adding a value to a 'datetime' column caused an overflow."},
      {"select korvane_dateadd('hour', -9e18, '2024-01-31')",
       "error: Adding a value to a 'datetime' column caused an overflow."},
      // Dates in the stored forms and the styles.
      {"select korvane_datetext('2024-03-05', 120)", "2024-03-05 00:00:00"},
      {"select korvane_datetext('2024-3-5 8:05', 111)", "2024/03/05"},
      {"select korvane_datetext('2024-02-29 08:30', 112)", "20240229"},
      {"select korvane_datetext('not a date', 120)", "not a date"},
      {"select korvane_datetime('20240305')", "2024-03-05"},
      {"select korvane_datetime('2024/03/05 13:01:02')", "2024-03-05 13:01:02"},
      {"select korvane_datetime('2024-02-30')",
       "error: Conversion failed when converting date and/or time from '2024-02-30'"},
      {"select korvane_datediff('year', '2023-12-31', '2024-01-01')", "1"},
      {"select korvane_datediff('month', '2024-01-31', '2024-03-01')", "2"},
      {"select korvane_datediff('day', '2024-03-05 23:59:00', '2024-03-06 00:01:00')", "1"},
      {"select korvane_datediff('week', '2024-03-09', '2024-03-10')", "1"},
      {"select korvane_datediff('hour', '2024-03-05 08:59:00', '2024-03-05 09:00:00')", "1"},
      {"select korvane_dateadd('month', 1, '2024-01-31')", "2024-02-29"},
      {"select korvane_dateadd('day', -1, '2024-03-01')", "2024-02-29"},
      {"select korvane_dateadd('hour', 25, '2024-03-05 08:00:00')", "2024-03-06 09:00:00"},
      {"select korvane_datepart('weekday', '2024-03-10')", "1"},
      {"select korvane_datepart('dayofyear', '2024-03-01')", "61"},
      // LIKE with sets, ranges and negations; trailing blanks of the value do not count.
      {"select 'B-2' like '[a-c]-_'", "1"},
      {"select 'd-2' like '[a-c]-_'", "0"},
      {"select 'x9' like 'x[^0-9]'", "0"},
      {"select 'abc  ' like '%c'", "1"},
      {"select 'abc' like 'abc '", "0"},
      {"select '50%' like '50!%' escape '!'", "1"},
      {"select '中文' like '_文'", "1"},
      {"select 'a[b' like 'a[b'", "1"},
      {"select NULL like 'a'", "NULL"},
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(Value(sql), expected) << sql;
}

}  // namespace
}  // namespace korvane::data
