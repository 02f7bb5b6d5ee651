// Tests of the data service with the literal-shape cache: statements of one shape compile
// once, errors and the failure hook still see the values, compiled statements are kept least
// recently used first, and a randomized run of statements of a few shapes with random literals
// answers exactly as the plain path does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "data/sqlite_data_service.h"
#include "host/test_support.h"

namespace korvane::data {
namespace {

using ::testing::HasSubstr;

constexpr std::string_view kSchema =
    "CREATE TABLE r (id INTEGER PRIMARY KEY, name VARCHAR(40) COLLATE TSQL, qty FLOAT, "
    "d DATETIME, code VARCHAR(10) COLLATE TSQL);"
    "INSERT INTO r VALUES (1, 'a', 1.5, '2026-03-01', 'X1'), (2, 'B ', -2, '2026-02-28', NULL),"
    "(3, NULL, 0, NULL, 'x1'), (4, '中文', 1e10, '2026-03-20 08:30:00', '');";

std::shared_ptr<SqliteDataService> OpenWith(const std::string& file, bool shape,
                                            std::size_t statements = 256) {
  SqliteOptions options;
  options.shape_cache = shape;
  options.statement_cache = statements;
  std::string error;
  auto db = SqliteDataService::Open(file, options, error);
  EXPECT_NE(db, nullptr) << error;
  if (db != nullptr) {
    EXPECT_TRUE(db->ExecScript(kSchema, error)) << error;
  }
  return db;
}

// Everything a caller can see of a command's outcome: the error text, or the fields (name and
// type) and every value with its type.
std::string Outcome(SqliteDataService& db, const std::string& text) {
  Command command{text, CommandType::kText, {}};
  const std::unique_ptr<Recordset> rows = db.Open(command);
  if (rows == nullptr) return "error: " + db.LastError();
  std::string out;
  for (int f = 0; f < rows->FieldCount(); ++f) {
    out += rows->Field(f).name + ":" + std::to_string(rows->Field(f).type) + " ";
  }
  out += "\n";
  for (const Recordset::Row& row : rows->Rows()) {
    for (const Variant& v : row) {
      char real[40] = "";
      if (v.type() == VarType::kDouble) std::snprintf(real, sizeof real, "%.17g", v.real());
      out += std::to_string(static_cast<int>(v.type())) + "=" +
             (v.type() == VarType::kDouble ? std::string(real) : v.ToText()) + " | ";
    }
    out += "\n";
  }
  return out;
}

class SqliteShapeTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
};

TEST_F(SqliteShapeTest, StatementsOfOneShapeCompileOnceAndAnswerWithTheirOwnValues) {
  const auto on = OpenWith(folder_ / "on.db", true);
  const auto off = OpenWith(folder_ / "off.db", false);
  ASSERT_NE(on, nullptr);
  ASSERT_NE(off, nullptr);
  EXPECT_TRUE(on->ShapeCacheOn());
  EXPECT_FALSE(off->ShapeCacheOn());
  const SqliteStatistics on_before = on->Statistics();
  const SqliteStatistics off_before = off->Statistics();
  for (int i = 10; i < 60; ++i) {
    const std::string insert = "insert into r (id, name, qty) values (" + std::to_string(i) +
                               ", 'n" + std::to_string(i) + "''s', " + std::to_string(i) + ".25)";
    EXPECT_EQ(Outcome(*on, insert), Outcome(*off, insert));
  }
  const SqliteStatistics on_after = on->Statistics();
  const SqliteStatistics off_after = off->Statistics();
  EXPECT_EQ(on_after.shaped - on_before.shaped, 50U);
  EXPECT_LE(on_after.compiled - on_before.compiled, 2U) << "one shape, compiled once";
  EXPECT_EQ(off_after.plain - off_before.plain, 50U);
  EXPECT_GE(off_after.compiled - off_before.compiled, 50U);
  const std::string check = "select id, name, qty from r where id >= 10 order by id";
  EXPECT_EQ(Outcome(*on, check), Outcome(*off, check));
  EXPECT_THAT(Outcome(*on, "select name as n from r where id = 42"), HasSubstr("n42's"));
}

TEST_F(SqliteShapeTest, ErrorsAndTheFailureHookSeeTheStatementWithItsValues) {
  const auto on = OpenWith(folder_ / "on.db", true);
  const auto off = OpenWith(folder_ / "off.db", false);
  ASSERT_NE(on, nullptr);
  ASSERT_NE(off, nullptr);
  const std::string duplicate = "insert into r (id, name) values (1, 'again')";
  const std::string failed = Outcome(*on, duplicate);
  EXPECT_THAT(failed, HasSubstr("UNIQUE constraint failed"));
  EXPECT_THAT(failed, HasSubstr("values (1, 'again'))"));
  EXPECT_EQ(failed, Outcome(*off, duplicate));
  // The same shape runs again after its failure.
  EXPECT_EQ(Outcome(*on, "insert into r (id, name) values (77, 'fine')"), "\n");

  std::vector<std::string> seen;
  on->InjectFailures([&](std::string_view sql) {
    seen.emplace_back(sql);
    return sql.find("'boom'") != std::string_view::npos;
  });
  const std::string batch =
      "insert into r (id, name) values (80, 'ok') insert into r (id, name) values (81, 'boom')";
  EXPECT_THAT(Outcome(*on, batch), HasSubstr("injected failure"));
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[0], "insert into r (id, name) values (80, 'ok')");
  on->InjectFailures({});
  EXPECT_THAT(Outcome(*on, "select count(*) as n from r where id in (80, 81)"), HasSubstr("=0 | "))
      << "the batch failing half-way wrote nothing";
}

TEST_F(SqliteShapeTest, CompiledStatementsAreKeptLeastRecentlyUsedFirst) {
  const auto db = OpenWith(folder_ / "lru.db", true, 2);
  ASSERT_NE(db, nullptr);
  const std::string a = "select name as n from r where id = 1";
  const std::string b = "select qty as q from r where id = 2";
  const std::string c = "select code as c from r where id = 3";
  const auto compiled = [&] { return db->Statistics().compiled; };
  Outcome(*db, a);
  Outcome(*db, b);
  const auto start = compiled();
  Outcome(*db, a);  // kept
  EXPECT_EQ(compiled(), start);
  Outcome(*db, c);  // b, the least recently used, goes
  EXPECT_EQ(compiled(), start + 1);
  Outcome(*db, a);
  EXPECT_EQ(compiled(), start + 1);
  Outcome(*db, b);
  EXPECT_EQ(compiled(), start + 2);
}

TEST_F(SqliteShapeTest, LiteralsSQLiteReadsSpeciallyTakeThePlainPathOrAgreeWithIt) {
  const auto on = OpenWith(folder_ / "on.db", true);
  const auto off = OpenWith(folder_ / "off.db", false);
  ASSERT_NE(on, nullptr);
  ASSERT_NE(off, nullptr);
  const std::vector<std::string> texts = {
      // Too large for an integer: a double, or with a minus the smallest integer.
      "select 9223372036854775808 as v, typeof(9223372036854775808) as t",
      "select id as v from r where -9223372036854775808 < id and id < 9223372036854775808",
      "select typeof(-9223372036854775808) as t, -9223372036854775808 as v",
      // Numbers as SQLite reads them, the closest double included.
      "select 0.1 + 0.2 as v, 1e308 * 10 as big, .5 as half, 5. as five, 2.5E-3 as e",
      // SQLite negates a zero literal to -0 but subtracts a zero value from 0.
      "select qty * -0.0 as a, qty * - (0.0) as b, -0 as c, qty - 0.0 as d from r order by id",
      "select 1.00000000000000011102230246251565404236316680908203125 as v",
      "select qty as q from r where qty = 1.5 or qty = -2 or qty = 1E10",
      // Columns named by their text and ordered by number.
      "select 1, 'a', name + 'b' from r order by 1, 3",
      "select name, 2 from r group by name order by 2, 1",
      "select 'x' = name, code 'y' from r where id < 3",
      "select top 2 id as i from r order by id desc",
      "select convert(varchar(7), d, 120) as m, datediff(day, d, '2026-03-20') as n from r",
      "select name as n from r where name like 'a%' or name like N'中%' escape '\\'",
      "select name as n from r where code = x'5831'",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Outcome(*on, text), Outcome(*off, text));
    EXPECT_EQ(Outcome(*on, text), Outcome(*off, text)) << "from the cache";
  }
}

// --- Randomized: statements of a few shapes with random literals, shape cache on and off ------

class RandomLiterals {
 public:
  explicit RandomLiterals(unsigned seed) : random_(seed) {}

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  std::string Text() {
    static const std::vector<std::string> kPieces = {
        "a", "B",  " ",  "''", "%",  "_",  "[a-c]",           "中文", "ü",
        "😀", "x1", "X1", "\\", "--", "/*", "; delete from r", "0",    "2026-03-01"};
    std::string inner;
    const int n = Pick(5);
    for (int i = 0; i < n; ++i) inner += kPieces[static_cast<std::size_t>(Pick(18))];
    return (Pick(4) == 0 ? "N'" : "'") + inner + "'";
  }

  std::string Number() {
    static const std::vector<std::string> kEdges = {"0",
                                                    "1",
                                                    "-1",
                                                    "2147483647",
                                                    "2147483648",
                                                    "9223372036854775807",
                                                    "9223372036854775808",
                                                    "-9223372036854775808",
                                                    "1e308",
                                                    "1.7976931348623157e308",
                                                    "4.9e-324",
                                                    "1e-320",
                                                    "0.1",
                                                    ".5",
                                                    "5.",
                                                    "1E+10",
                                                    "00012",
                                                    "-0.0",
                                                    "123456789012345678901234567890",
                                                    "3.14159265358979"};
    switch (Pick(3)) {
      case 0:
        return kEdges[static_cast<std::size_t>(Pick(static_cast<int>(kEdges.size())))];
      case 1:
        return std::to_string(std::uniform_int_distribution<long long>(-100000, 100000)(random_));
      default: {
        char buffer[40];
        const double d = std::uniform_real_distribution<double>(-1e6, 1e6)(random_);
        std::snprintf(buffer, sizeof buffer, Pick(2) == 0 ? "%.17g" : "%.3f", d);
        return buffer;
      }
    }
  }

  std::string Date() {
    static const std::vector<std::string> kDates = {
        "'2026-03-01'", "'2026-03-20 08:30:00'", "'2026-02-30'", "'20260301'",
        "'2025-12-31'", "'not a date'",          "''",           "NULL"};
    return kDates[static_cast<std::size_t>(Pick(static_cast<int>(kDates.size())))];
  }

  // `pattern` with each %t, %n and %d replaced by a random text, number or date; now and then
  // a value is NULL instead.
  std::string Fill(std::string_view pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] != '%' || i + 1 >= pattern.size()) {
        out += pattern[i];
        continue;
      }
      const char kind = pattern[++i];
      if (Pick(12) == 0) {
        out += "NULL";
      } else if (kind == 't') {
        out += Text();
      } else if (kind == 'n') {
        out += Number();
      } else {
        out += Date();
      }
    }
    return out;
  }

 private:
  std::mt19937 random_;
};

TEST_F(SqliteShapeTest, RandomLiteralsInAFewShapesAnswerAsThePlainPathDoes) {
  const auto on = OpenWith(folder_ / "on.db", true);
  const auto off = OpenWith(folder_ / "off.db", false);
  ASSERT_NE(on, nullptr);
  ASSERT_NE(off, nullptr);
  const std::vector<std::string_view> patterns = {
      // Ids stay far below the largest rowid, past which SQLite picks new ones at random.
      "insert into r (id, name, qty, d, code) values (abs(%n) % 1000000 + 100, %t, %n, %d, %t)",
      "select id as i, name + %t as joined, qty * %n as q, qty + %n as p from r "
      "where name = %t or qty > %n order by id",
      "select id as i, %n + qty as s, %t + code as c from r where id between %n and %n "
      "order by id",
      "select top 3 id as i, convert(char(10), d, 120) as dt, datediff(day, d, %d) as dd, "
      "dateadd(dd, %n, d) as later from r where d >= %d or d < %d order by id",
      "update r set qty = qty + %n, name = isnull(name, %t) + %t where id = %n or code = %t",
      "select count(*) as n, sum(qty) as s from r where name like %t or code like %t",
      "select isnull(name, %t) as n, left(name, %n) as l, len(%t) as k, substring(%t, %n, %n) "
      "as ss from r where id in (%n, %n, %n) order by id",
      "select id as i, case when qty > %n then %t else %t end as c, -%n as neg from r "
      "order by id",
      "delete from r where id = %n or name = %t",
      "select id as i from r where code = %t and qty <> %n "
      "select name as n, replace(name, %t, %t) as rr, charindex(%t, name) as ci from r",
  };
  RandomLiterals random(20261207);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int runs = 0;
  while (std::chrono::steady_clock::now() < deadline && runs < 20000) {
    const std::string text = random.Fill(
        patterns[static_cast<std::size_t>(random.Pick(static_cast<int>(patterns.size())))]);
    const std::string answer_on = Outcome(*on, text);
    const std::string answer_off = Outcome(*off, text);
    ASSERT_EQ(answer_on, answer_off) << text;
    ++runs;
  }
  EXPECT_GT(runs, 200);
  const SqliteStatistics stats = on->Statistics();
  EXPECT_GT(stats.shaped, static_cast<std::uint64_t>(runs) / 2)
      << "most statements were served by their shape";
  // NULLs, minus signs before negative numbers and numbers too large for 64 bits make other
  // shapes or take the plain path, so a share of the statements still compiles.
  EXPECT_LT(stats.compiled * 2, off->Statistics().compiled)
      << stats.shaped << " shaped of " << runs;
  // Both databases hold the same rows in the end.
  const std::string all =
      "select id as i, name as n, qty as q, d as dd, code as c from r order by id";
  EXPECT_EQ(Outcome(*on, all), Outcome(*off, all));
}

}  // namespace
}  // namespace korvane::data
