#include "data/tsql_runtime.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "data/schema_catalog.h"
#include "data/tsql_translator.h"

namespace korvane::data {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// An in-memory database with the runtime registered and a few tables declared the way the
// schema declares them: texts with COLLATE TSQL, quantities FLOAT.
class TsqlDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(RegisterTsqlRuntime(db_), SQLITE_OK);
    Native(R"(
      CREATE TABLE pdmcpml (产品ID INTEGER PRIMARY KEY, 物品编码 VARCHAR(30) COLLATE TSQL,
                            物品名称 NVARCHAR(60) COLLATE TSQL, 规格 VARCHAR(60) COLLATE TSQL,
                            产品类别ID INTEGER);
      CREATE TABLE pdmcplb (类别ID INTEGER PRIMARY KEY, 类别编码 VARCHAR(30) COLLATE TSQL);
      CREATE TABLE sfcdjmx (报工单明细ID INTEGER PRIMARY KEY, 产品ID INTEGER, 合格数量 FLOAT,
                            生产数量 FLOAT, 生产日期 DATETIME, 原单号 VARCHAR(30) COLLATE TSQL);
      INSERT INTO pdmcpml VALUES (1, 'A-01', '螺栓', 'M8', 1), (2, 'b-02', '螺母', NULL, 1),
                                 (3, 'O''Brien', '垫片', 'top', 2);
      INSERT INTO pdmcplb VALUES (1, '01'), (2, '02');
      INSERT INTO sfcdjmx VALUES (1, 1, 3, 2, '2024-03-05 08:30:00', 'P1'),
                                 (2, 2, 4, 4, '2024-03-06', 'p1  '),
                                 (3, 1, 1, 1, '2024-02-29', 'P2');
    )");
    catalog_ = CatalogOf();
  }
  void TearDown() override { sqlite3_close(db_); }

  void Native(const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "") << "\n" << sql;
    sqlite3_free(error);
  }

  // What the data service builds: every table's columns with the kinds their types declare.
  SchemaCatalog CatalogOf() {
    SchemaCatalog catalog;
    const Rows tables = NativeRows("SELECT name FROM sqlite_schema WHERE type = 'table'");
    for (const auto& table : tables) {
      for (const auto& column :
           NativeRows("SELECT name, type FROM pragma_table_info('" + table[0] + "')")) {
        catalog.AddColumn(table[0], column[0], KindOfDeclaredType(column[1]));
      }
    }
    return catalog;
  }

  Rows NativeRows(const std::string& sql, std::string* error = nullptr) {
    const auto fail = [&] {
      if (error != nullptr) *error = sqlite3_errmsg(db_);
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

  // Translates a batch and runs it; the rows of its last statement. With `error` given, a
  // failure (translation or execution) lands there instead of failing the test.
  Rows Run(std::string_view tsql, std::string* error = nullptr) {
    const Translation t = TranslateTsql(tsql, catalog_);
    if (!t.ok() && error != nullptr) *error = t.error;
    if (!t.ok() && error == nullptr) ADD_FAILURE() << t.error << "\n" << tsql;
    if (!t.ok()) return {};
    Rows rows;
    for (const std::string& statement : t.statements) {
      rows = NativeRows(statement, error);
      if (error != nullptr && !error->empty()) break;
    }
    return rows;
  }

  // The first value of the first row.
  std::string Value(std::string_view tsql) {
    const Rows rows = Run(tsql);
    if (rows.empty() || rows[0].empty()) {
      ADD_FAILURE() << "no value from " << tsql;
      return {};
    }
    return rows[0][0];
  }

  std::string Failure(std::string_view tsql) {
    std::string error;
    Run(tsql, &error);
    EXPECT_FALSE(error.empty()) << tsql;
    return error;
  }

  sqlite3* db_ = nullptr;
  SchemaCatalog catalog_;
};

TEST_F(TsqlDatabaseTest, TextColumnsCompareIgnoringCaseAndTrailingBlanks) {
  EXPECT_EQ(Value("select count(*) from pdmcpml where 物品编码 = 'a-01  '"), "1");
  EXPECT_EQ(Value("select 产品ID from pdmcpml where 物品编码 = 'B-02'"), "2");
  EXPECT_EQ(Value("select count(*) from sfcdjmx where 原单号 = 'P1'"), "2");
  EXPECT_EQ(Value("select count(*) from sfcdjmx where 原单号 in ('p1', 'x')"), "2");
  EXPECT_EQ(Value("select count(distinct 原单号) from sfcdjmx"), "2");
  EXPECT_EQ(Value("select count(*) from sfcdjmx where 原单号 < 'p2'"), "2");

  // The order agrees with the equality: for every pair exactly one of <, =, > holds, and
  // values equal under the collation sort side by side.
  Native(
      "CREATE TABLE v (s VARCHAR(10) COLLATE TSQL);"
      "INSERT INTO v VALUES ('ab'), ('AB  '), ('a'), ('B'), ('a!'), ('a '), (''), (' '),"
      " ('中文'), ('中'), ('Z'), ('_');");
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

// How the translator decides each + is its own test's; here, that what it decided runs as the
// server would.
TEST_F(TsqlDatabaseTest, PlusJoinsTextsAndAddsNumbers) {
  EXPECT_EQ(Value("select A.物品编码+B.类别编码 from pdmcpml A join pdmcplb B on "
                  "A.产品类别ID=B.类别ID where A.产品ID=3"),
            "O'Brien02");
  // Multiplication first, and SQLite's tighter || does not regroup a text join.
  EXPECT_EQ(Value("select 合格数量 + 生产数量 * 2 from sfcdjmx where 报工单明细ID=1"), "7.0");
  EXPECT_EQ(Value("select 'n' + 物品编码 + 'x' from pdmcpml where 产品ID = 2"), "nb-02x");
  // A number and a text that reads as one are added, as on the server; NULL stays NULL.
  EXPECT_EQ(Value("select '1' + 合格数量 from sfcdjmx where 报工单明细ID=1"), "4.0");
  EXPECT_EQ(Value("select 物品编码 + 规格 from pdmcpml where 产品ID=2"), "NULL");
  EXPECT_EQ(Value("select 'x' + convert(varchar(10), 合格数量) from sfcdjmx where "
                  "报工单明细ID=2"),
            "x4");
  EXPECT_TRUE(Failure("select 'a' + 合格数量 from sfcdjmx").find("Conversion failed") !=
              std::string::npos);

  // Columns the catalog does not know (a table made after it was built) are decided by the
  // values when the statement runs.
  Native(
      "CREATE TABLE later (t VARCHAR(5) COLLATE TSQL, n FLOAT);"
      "INSERT INTO later VALUES ('ab', 2.5);");
  EXPECT_EQ(Run("select t + t, n + n, t + 'c' from later"), (Rows{{"abab", "5.0", "abc"}}));
}

// Where TOP and statement breaks go is the translator test's; the corpus runs them.
TEST_F(TsqlDatabaseTest, LiteralsNamesAndBuiltInsRunAsOnTheServer) {
  EXPECT_EQ(Value("select [产品ID] from [pdmcpml] where 物品编码 = 'o''brien'"), "3");
  EXPECT_EQ(Value("select 产品ID from pdmcpml where 物品名称 = N'螺母'"), "2");
  EXPECT_EQ(Value("select len(原单号) from sfcdjmx where 报工单明细ID = 2"), "2");
  // Whole-number quantities divide as numbers, not as integers.
  EXPECT_EQ(Value("select 合格数量/生产数量 from sfcdjmx where 报工单明细ID=1"), "1.5");
  EXPECT_EQ(Value("select convert(decimal(10,2), 3)/2"), "1.5");
  // The date as text, cut to the day, with and without a stored time.
  const Rows days =
      Run("select substring(convert(char,生产日期,120),1,10), convert(char(19), 生产日期, 120) "
          "from sfcdjmx where substring(convert(char,生产日期,120),1,10)>='2024-03-05' order by 1");
  EXPECT_EQ(days,
            (Rows{{"2024-03-05", "2024-03-05 08:30:00"}, {"2024-03-06", "2024-03-06 00:00:00"}}));
  EXPECT_EQ(Value("select convert(varchar(8), 生产日期, 112) from sfcdjmx where 报工单明细ID=3"),
            "20240229");
  EXPECT_EQ(Value("select dateadd(month, 1, 生产日期) from sfcdjmx where 报工单明细ID=3"),
            "2024-03-29");
  EXPECT_EQ(Value("select count(*) from sfcdjmx where 生产日期 < dateadd(day, 1, '2024-03-05')"),
            "2");
}

TEST(TsqlRuntimeTest, FunctionsFollowTheServersRules) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  ASSERT_EQ(RegisterTsqlRuntime(db), SQLITE_OK);
  auto value = [&](const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      return "prepare: " + std::string(sqlite3_errmsg(db));
    }
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      out = text == nullptr ? "NULL" : text;
    } else {
      out = "error: " + std::string(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    return out;
  };
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
  for (const auto& [sql, expected] : cases) EXPECT_EQ(value(sql), expected) << sql;
  sqlite3_close(db);
}

}  // namespace
}  // namespace korvane::data
