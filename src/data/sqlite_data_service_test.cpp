// Tests of the SQLite data service on real database files: typed results, errors, batches
// that fail half-way, transactions, a busy database, procedures and functions.
#include "data/sqlite_data_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/tsql_translator.h"
#include "host/test_support.h"

namespace korvane::data {
namespace {

using ::testing::HasSubstr;

using std::chrono::days;
using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::sys_days;

DateTime Day(int y, unsigned m, unsigned d) {
  return DateTime(sys_days(std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}));
}

class SqliteDataServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = Connect();
    ASSERT_NE(db_, nullptr);
    Script("CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(20) COLLATE TSQL);");
  }

  std::shared_ptr<SqliteDataService> Connect(SqliteOptions options = {}) {
    std::string error;
    auto db = SqliteDataService::Open(file_, options, error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }
  void Script(std::string_view sql) {
    std::string error;
    ASSERT_TRUE(db_->ExecScript(sql, error)) << error;
  }
  // "id:name" of every row of t, by id.
  std::vector<std::string> Rows(SqliteDataService& db) {
    std::string error;
    const auto rows = db.Native().Query("SELECT id, name FROM t ORDER BY id", {}, error);
    EXPECT_NE(rows, nullptr) << error;
    std::vector<std::string> out;
    if (rows == nullptr) return out;
    for (const Recordset::Row& r : rows->Rows()) out.push_back(r[0].ToText() + ":" + r[1].ToText());
    return out;
  }
  std::vector<std::string> Rows() { return Rows(*db_); }
  // The first value of a native query; empty when it fails (failing the test) or selects nothing.
  Variant First(std::string_view sql, const std::vector<Variant>& binds = {}) {
    std::string error;
    const auto rows = db_->Native().Query(sql, binds, error);
    EXPECT_NE(rows, nullptr) << sql << ": " << error;
    return rows == nullptr || rows->Eof() ? Variant() : rows->Rows()[0][0];
  }

  test::TempFolder folder_;
  std::string file_ = folder_ / "korvane.db";
  std::shared_ptr<SqliteDataService> db_;
};

TEST_F(SqliteDataServiceTest, FieldTypesAndValuesFollowTheDeclaredColumnTypes) {
  Script(
      "CREATE TABLE item (i INT, big BIGINT, small SMALLINT, qty FLOAT, price DECIMAL(18, 4),"
      " cost MONEY, made DATETIME, day DATE, flag BIT, code CHAR(4), name VARCHAR(20),"
      " wname NVARCHAR(20), note TEXT);"
      "INSERT INTO item VALUES (7, 5000000000, 3, 3, 2.5, 10, '2024-03-05 08:30:00',"
      " '2024-03-06', 1, 'AB', 'bolt', '螺栓', 'long');"
      "INSERT INTO item (i, made) VALUES (8, 'soon');");
  const auto rs = db_->OpenSql("select * from item order by i");
  ASSERT_NE(rs, nullptr) << db_->LastError();
  std::vector<int> types;
  for (const FieldInfo& f : rs->Fields()) types.push_back(f.type);
  EXPECT_EQ(types, (std::vector<int>{kAdInteger, kAdBigInt, kAdSmallInt, kAdDouble, kAdNumeric,
                                     kAdCurrency, kAdDBTimeStamp, kAdDBTimeStamp, kAdBoolean,
                                     kAdChar, kAdVarChar, kAdVarWChar, kAdLongVarChar}));
  ASSERT_EQ(rs->RecordCount(), 2);
  // A FLOAT holding 3 reads as a double; a text that is no date stays a text.
  EXPECT_EQ(rs->Rows()[0], (Recordset::Row{Variant(7), Variant(5000000000LL), Variant(3),
                                           Variant(3.0), Variant(2.5), Variant(10.0),
                                           Variant(Day(2024, 3, 5) + hours(8) + minutes(30)),
                                           Variant(Day(2024, 3, 6)), Variant(true), Variant("AB"),
                                           Variant("bolt"), Variant("螺栓"), Variant("long")}));
  const Recordset::Row& blank = rs->Rows()[1];
  EXPECT_EQ(blank[6], Variant("soon"));
  EXPECT_TRUE(blank[3].IsNull());
  EXPECT_TRUE(blank[11].IsNull());

  // Expressions take their type from the values; a column mixing 1 and 2.5 is all doubles.
  const auto ex = db_->OpenSql(
      "select qty / 2 as half, i / 2 as whole, 'x' as t from item"
      " where i = 7");
  ASSERT_NE(ex, nullptr) << db_->LastError();
  EXPECT_EQ(ex->Field(0).type, kAdDouble);
  EXPECT_EQ(ex->Rows()[0][0], Variant(1.5));
  EXPECT_EQ(ex->Field(1).type, kAdInteger);
  EXPECT_EQ(ex->Rows()[0][1], Variant(3));
  EXPECT_EQ(ex->Field(2).type, kAdVarWChar);
  EXPECT_EQ(First("SELECT 1 AS v UNION ALL SELECT 2.5"), Variant(1.0));

  // No row: the field list is still there. No columns at all: an empty recordset.
  const auto none = db_->OpenSql("select i, name from item where i = 0");
  ASSERT_NE(none, nullptr) << db_->LastError();
  EXPECT_EQ(none->FieldCount(), 2);
  EXPECT_EQ(none->Field(1).type, kAdVarChar);
  EXPECT_TRUE(none->Eof());
  const auto update = db_->OpenSql("update item set i = i");
  ASSERT_NE(update, nullptr) << db_->LastError();
  EXPECT_EQ(update->FieldCount(), 0);
  // A batch answers with the last statement that selected.
  const auto last = db_->OpenSql("select 1 as a; select 2 as b; update item set i = i");
  ASSERT_NE(last, nullptr) << db_->LastError();
  ASSERT_EQ(last->FieldCount(), 1);
  EXPECT_EQ(last->Field(0).name, "b");

  EXPECT_EQ(db_->ScalarSql("select count(*) from item"), Variant(2));
  EXPECT_TRUE(db_->ScalarSql("select i from item where i = 0").IsEmpty());
  EXPECT_TRUE(db_->ScalarSql("select name from item where i = 8").IsNull());
}

TEST_F(SqliteDataServiceTest, BoundValuesAreStoredAsTheServerWouldStoreThem) {
  Script("CREATE TABLE v (n INTEGER, q FLOAT, s VARCHAR(10), d DATETIME, b BIT);");
  std::string error;
  ASSERT_TRUE(db_->Native().Exec(
      "INSERT INTO v VALUES (?, ?, ?, ?, ?)",
      {Variant(5), Variant(0.25), Variant("a'b"), Variant(Day(2024, 2, 29)), Variant(true)}, error))
      << error;
  ASSERT_TRUE(db_->Native().Exec("INSERT INTO v VALUES (?, ?, ?, ?, ?)",
                                 {Variant(), Variant::MakeNull(), Variant(""),
                                  Variant(Day(2024, 3, 1) + hours(13)), Variant(false)},
                                 error))
      << error;
  const auto raw = db_->Native().Query(
      "SELECT typeof(n), CAST(d AS TEXT), b + 0, s FROM v ORDER BY rowid", {}, error);
  ASSERT_NE(raw, nullptr) << error;
  EXPECT_EQ(raw->Rows()[0], (Recordset::Row{Variant("integer"), Variant("2024-02-29"), Variant(1),
                                            Variant("a'b")}));
  EXPECT_EQ(raw->Rows()[1], (Recordset::Row{Variant("null"), Variant("2024-03-01 13:00:00"),
                                            Variant(0), Variant("")}));

  // Too few or too many values is an error, not a NULL or a silently ignored value.
  EXPECT_FALSE(db_->Native().Exec("INSERT INTO v (n) VALUES (?)", {}, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(db_->Native().Exec("INSERT INTO v (n) VALUES (?)", {Variant(1), Variant(2)}, error));
  // A text command's values are bound in order across its statements.
  Command command{"insert into t (id, name) values (?, ?)",
                  CommandType::kText,
                  {{"", Variant(4), false}, {"", Variant("x'y"), false}}};
  EXPECT_TRUE(db_->Execute(command)) << db_->LastError();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"4:x'y"}));
}

TEST_F(SqliteDataServiceTest, FailuresLeaveATextAndTheNextSuccessClearsIt) {
  const auto expect_failure = [&](std::string_view sql, std::string_view fragment) {
    EXPECT_EQ(db_->OpenSql(sql), nullptr) << sql;
    EXPECT_THAT(db_->LastError(), HasSubstr(fragment)) << sql << " -> " << db_->LastError();
    EXPECT_TRUE(db_->ExecuteSql("select 1")) << db_->LastError();
    EXPECT_EQ(db_->LastError(), "");
  };
  expect_failure("select nosuch from t", "nosuch");
  // Double quotes name a column; they never make a text of an unknown name.
  expect_failure("select \"nosuch\" from t", "nosuch");
  expect_failure("insert into missing_table values (1)", "missing_table");
  std::string error;
  EXPECT_EQ(db_->Native().Query("SELECT \"nosuch\" FROM t", {}, error), nullptr);
  EXPECT_THAT(error, HasSubstr("no such column"));

  EXPECT_TRUE(db_->ScalarSql("select nosuch from t").IsEmpty());
  EXPECT_FALSE(db_->LastError().empty());
  EXPECT_FALSE(
      db_->ExecuteSql("insert into t (id, name) values (1, 'a'); "
                      "insert into t (id, name) values (1, 'b')"));
  EXPECT_THAT(db_->LastError(), HasSubstr("UNIQUE"));

  Command call{"dbo.p_nothing", CommandType::kStoredProcedure, {}};
  EXPECT_FALSE(db_->Execute(call));
  EXPECT_EQ(db_->LastError(), "procedure not found: dbo.p_nothing");

  EXPECT_FALSE(db_->CommitTrans());
  EXPECT_FALSE(db_->LastError().empty());
  EXPECT_TRUE(db_->BeginTrans());
  EXPECT_EQ(db_->LastError(), "");
  EXPECT_FALSE(db_->BeginTrans()) << "transactions do not nest";
  EXPECT_FALSE(db_->LastError().empty());
  EXPECT_TRUE(db_->RollbackTrans());
  EXPECT_FALSE(db_->InTransaction());
}

TEST_F(SqliteDataServiceTest, ABatchFailingHalfWayWritesNothingAndTransactionsDecide) {
  EXPECT_FALSE(
      db_->ExecuteSql("insert into t (id, name) values (1, 'a'); "
                      "update t set name = 'b'; insert into missing values (3)"));
  EXPECT_TRUE(Rows().empty()) << "the statements before the failing one were kept";
  EXPECT_FALSE(db_->InTransaction());

  // Inside a transaction a failure stops the batch; the transaction decides.
  auto other = Connect();
  ASSERT_TRUE(db_->BeginTrans());
  EXPECT_TRUE(db_->ExecuteSql("insert into t (id, name) values (1, 'a')"));
  EXPECT_FALSE(db_->ExecuteSql("insert into t (id, name) values (2, 'b'); select nosuch"));
  EXPECT_TRUE(db_->InTransaction());
  EXPECT_TRUE(Rows(*other).empty()) << "another connection sees uncommitted rows";
  ASSERT_TRUE(db_->RollbackTrans());
  EXPECT_TRUE(Rows().empty());

  ASSERT_TRUE(db_->BeginTrans());
  EXPECT_TRUE(db_->ExecuteSql("insert into t (id, name) values (5, 'kept')"));
  ASSERT_TRUE(db_->CommitTrans()) << db_->LastError();
  EXPECT_EQ(Rows(*other), (std::vector<std::string>{"5:kept"}));
}

TEST_F(SqliteDataServiceTest, AnInjectedFailureAtAnyStatementOfABatchIsAllOrNothing) {
  const std::string batch =
      "insert into t (id, name) values (1, 'a'); update t set name = 'b' where id = 1; "
      "insert into t (id, name) values (2, 'c')";
  for (int n = 1; n <= 3; ++n) {
    int seen = 0;
    db_->InjectFailures([&](std::string_view) { return ++seen == n; });
    EXPECT_FALSE(db_->ExecuteSql(batch)) << "statement " << n;
    EXPECT_THAT(db_->LastError(), HasSubstr("injected failure"));
    EXPECT_TRUE(Rows().empty()) << "failing statement " << n << " left rows behind";
  }
  db_->InjectFailures({});
  ASSERT_TRUE(db_->ExecuteSql(batch)) << db_->LastError();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:b", "2:c"}));

  // Scripts and plain statements fail the same way; the error tells the script's line.
  db_->InjectFailures([](std::string_view s) { return s.find("'second'") != s.npos; });
  std::string error;
  EXPECT_FALSE(
      db_->ExecScript("INSERT INTO t VALUES (10, 'first');\n"
                      "INSERT INTO t VALUES (11, 'second');",
                      error));
  EXPECT_THAT(error, HasSubstr("line 2"));
  EXPECT_FALSE(db_->Native().Exec("UPDATE t SET name = 'second'", {}, error));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:b", "2:c", "10:first"}));
}

TEST_F(SqliteDataServiceTest, DataSurvivesReopeningAndTheFileStaysSound) {
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (1, '物料')"));
  ASSERT_TRUE(db_->BeginTrans());
  for (int i = 2; i <= 200; ++i) {
    ASSERT_TRUE(
        db_->ExecuteSql("insert into t (id, name) values (" + std::to_string(i) + ", 'n')"));
  }
  ASSERT_TRUE(db_->CommitTrans());
  db_.reset();
  db_ = Connect();
  ASSERT_NE(db_, nullptr);
  EXPECT_EQ(db_->ScalarSql("select name from t where id = 1"), Variant("物料"));
  EXPECT_EQ(db_->ScalarSql("select count(*) from t"), Variant(200));
  EXPECT_EQ(First("PRAGMA integrity_check"), Variant("ok"));
  EXPECT_EQ(First("PRAGMA journal_mode"), Variant("wal"));

  // A file that is no database, and a missing file without `create`, are refused with a text.
  std::string error;
  test::WriteFileBytes(folder_ / "junk.db", std::string(4096, 'x'));
  EXPECT_EQ(SqliteDataService::Open(folder_ / "junk.db", {}, error), nullptr);
  EXPECT_FALSE(error.empty());
  SqliteOptions existing;
  existing.create = false;
  EXPECT_EQ(SqliteDataService::Open(folder_ / "missing.db", existing, error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST_F(SqliteDataServiceTest, AWriteWaitsForABusyDatabaseThenFailsWithAText) {
  SqliteOptions impatient;
  impatient.busy_timeout = std::chrono::milliseconds(150);
  auto writer = Connect(impatient);
  auto holder = Connect();
  ASSERT_TRUE(holder->BeginTrans());

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(writer->ExecuteSql("insert into t (id, name) values (1, 'a')"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100))
      << "the write did not wait";
  EXPECT_THAT(writer->LastError(), HasSubstr("locked"));
  EXPECT_FALSE(writer->BeginTrans());
  EXPECT_FALSE(writer->InTransaction());
  // Readers are not held up by a writer.
  EXPECT_EQ(writer->ScalarSql("select count(*) from t"), Variant(0)) << writer->LastError();

  ASSERT_TRUE(holder->CommitTrans());
  EXPECT_TRUE(writer->ExecuteSql("insert into t (id, name) values (1, 'a')"))
      << writer->LastError();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:a"}));
}

TEST_F(SqliteDataServiceTest, ProceduresTakeParametersAndWriteOutputsBack) {
  Script("INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c');");
  db_->RegisterProcedure("p_From",
                         [](std::vector<Parameter>& p, SqlReader& db,
                            std::string& error) -> std::unique_ptr<Recordset> {
                           auto rows = db.Query("SELECT id, name FROM t WHERE id >= ? ORDER BY id",
                                                {p.at(0).value}, error);
                           if (rows == nullptr) return nullptr;
                           p.at(0).value = Variant(-1);  // not an output: must not reach the caller
                           p.at(1).value = Variant(static_cast<long>(rows->RecordCount()));
                           return rows;
                         });
  Command call{"[dbo].[P_FROM]",
               CommandType::kStoredProcedure,
               {{"@from", Variant(2), false}, {"@count", Variant(), true}}};
  const auto rows = db_->Open(call);
  ASSERT_NE(rows, nullptr) << db_->LastError();
  EXPECT_EQ(rows->RecordCount(), 2);
  EXPECT_EQ(call.parameters[0].value, Variant(2));
  EXPECT_EQ(call.parameters[1].value, Variant(2));
  call.parameters[0].value = Variant(3);
  EXPECT_EQ(db_->Scalar(call), Variant(3));

  // A procedure failing after it wrote leaves nothing written, and says why.
  db_->RegisterProcedure(
      "p_half",
      [](std::vector<Parameter>&, SqlReader& db, std::string& error) -> std::unique_ptr<Recordset> {
        if (!db.Exec("DELETE FROM t", {}, error)) return nullptr;
        error = "no stock";
        return nullptr;
      });
  Command half{"p_half", CommandType::kStoredProcedure, {}};
  EXPECT_FALSE(db_->Execute(half));
  EXPECT_THAT(db_->LastError(), HasSubstr("no stock"));
  db_->RegisterProcedure(
      "p_throws",
      [](std::vector<Parameter>&, SqlReader& db, std::string& error) -> std::unique_ptr<Recordset> {
        db.Exec("DELETE FROM t", {}, error);
        throw std::runtime_error("thrown inside");
      });
  Command throws{"p_throws", CommandType::kStoredProcedure, {}};
  EXPECT_FALSE(db_->Execute(throws));
  EXPECT_THAT(db_->LastError(), HasSubstr("thrown inside"));
  EXPECT_EQ(Rows().size(), 3u);
}

TEST_F(SqliteDataServiceTest, EveryWayInRefusesATextHoldingANulByteAndWritesNothing) {
  using namespace std::string_literals;
  Script("INSERT INTO t VALUES (1, 'a'), (2, 'ab'), (3, 'c');");
  int calls = 0;
  db_->RegisterProcedure("p_wipe",
                         [&calls](std::vector<Parameter>&, SqlReader& db,
                                  std::string& error) -> std::unique_ptr<Recordset> {
                           ++calls;
                           if (!db.Exec("DELETE FROM t", {}, error)) return nullptr;
                           return std::make_unique<Recordset>();
                         });
  // Run as far as SQLite reads them, these would delete every row, or add one.
  const std::string cut = "delete from t\0 where id = 1"s;
  const std::vector<Variant> nul_value = {Variant("x\0y"s)};
  // Had the quoting dropped the byte, this would delete the row 'ab'.
  const std::string quoted = "delete from t where name = " + SqlQuote("a\0b"s);
  const auto service = [&](Command command) {
    db_->Execute(command);
    return db_->LastError();
  };
  const auto native = [](bool ok, const std::string& error) { return ok ? std::string() : error; };
  std::string error;
  const std::vector<std::pair<std::string, std::function<std::string()>>> ways = {
      {"ExecuteSql", [&] { return db_->ExecuteSql(cut) ? "" : db_->LastError(); }},
      {"OpenSql", [&] { return db_->OpenSql(cut) ? "" : db_->LastError(); }},
      {"ScalarSql",
       [&] {
         db_->ScalarSql(cut);
         return db_->LastError();
       }},
      {"quoted text", [&] { return db_->ExecuteSql(quoted) ? "" : db_->LastError(); }},
      {"text parameter",
       [&] {
         return service({"insert into t values (9, ?)", CommandType::kText, {{"", nul_value[0]}}});
       }},
      {"procedure name",
       [&] {
         return service({"p_wipe\0"s, CommandType::kStoredProcedure, {}});
       }},
      {"procedure parameter",
       [&] {
         return service({"p_wipe", CommandType::kStoredProcedure, {{"@x", nul_value[0]}}});
       }},
      {"native exec", [&] { return native(db_->Native().Exec(cut, {}, error), error); }},
      {"native query",
       [&] { return native(db_->Native().Query(cut, {}, error) != nullptr, error); }},
      {"native value",
       [&] {
         return native(db_->Native().Exec("INSERT INTO t VALUES (9, ?)", nul_value, error), error);
       }},
      {"script", [&] { return native(db_->ExecScript(cut + ";", error), error); }},
  };
  const std::vector<std::string> before = Rows();
  for (const auto& [way, run] : ways) {
    const std::string refusal = run();
    EXPECT_THAT(refusal, HasSubstr("refused: ")) << way << ": " << refusal;
    EXPECT_THAT(refusal, HasSubstr("holds a NUL byte")) << way << ": " << refusal;
    // The message quotes the statement with the byte shown, not cut short by it.
    EXPECT_FALSE(HoldsNul(refusal)) << way;
    EXPECT_EQ(Rows(), before) << way;
    EXPECT_TRUE(db_->ExecuteSql("select 1")) << db_->LastError();
  }
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_FALSE(db_->ExecuteSql(cut));
  EXPECT_THAT(db_->LastError(), HasSubstr("(in: delete from t\\0 where id = 1)"));
}

TEST_F(SqliteDataServiceTest, AStatementNestedTooDeeplyIsRefusedAndTheDeepestAllowedRuns) {
  Script("INSERT INTO t VALUES (1, 'a'), (2, 'b');");
  const auto nested = [](int levels, std::string_view inner) {
    return std::string(static_cast<std::size_t>(levels), '(') + std::string(inner) +
           std::string(static_cast<std::size_t>(levels), ')');
  };
  // A chain of operators as deep as the translator takes runs; SQLite's own parser stops
  // parentheses sooner, with its own error.
  std::string chain = "id";
  for (int i = 1; i < kMaxTsqlNesting; ++i) chain += " + 0";
  EXPECT_EQ(db_->ScalarSql("select " + chain + " from t where id = 2"), Variant(2))
      << db_->LastError();
  EXPECT_EQ(db_->ScalarSql("select " + nested(50, "id") + " from t where id = 2"), Variant(2))
      << db_->LastError();
  EXPECT_FALSE(db_->ExecuteSql("delete from t where id > " + nested(kMaxTsqlNesting - 1, "0")));
  EXPECT_THAT(db_->LastError(), HasSubstr("parser stack overflow"));
  for (const std::string& deeper :
       {nested(kMaxTsqlNesting, "0"), nested(10000, "0"), chain + " + 0"}) {
    EXPECT_FALSE(db_->ExecuteSql("delete from t where id > " + deeper));
    EXPECT_THAT(db_->LastError(), HasSubstr("nests too deeply"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1:a", "2:b"}));
  }
}

TEST_F(SqliteDataServiceTest, ALongOrChainInParenthesesRunsWithTheValueItHas) {
  // A structure level of thousands of products is one "(配件ID=1 OR 配件ID=2 ...)" condition;
  // SQLite alone refuses such a chain past about a thousand terms.
  Script("INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c'), (4, NULL);");
  std::string ids;
  for (int id = 10; id < 5000; ++id) ids += " OR id=" + std::to_string(id);
  EXPECT_EQ(db_->ScalarSql("select count(*) from t where id > 0 AND (id=3" + ids + ")"), Variant(1))
      << db_->LastError();
  // AND binds tighter than OR, and a NULL term keeps the chain's value as SQL's logic has it.
  std::string mixed = "name='zz'";
  for (int i = 0; i < 100; ++i) mixed += " OR name IS NULL AND id=" + std::to_string(4 + i * 10);
  mixed += " OR id=2 AND name='b' OR NULL";
  EXPECT_EQ(db_->ScalarSql("select count(*) from t where (" + mixed + ")"), Variant(2))
      << db_->LastError();
  EXPECT_EQ(db_->ScalarSql("select count(*) from t where NOT (" + mixed + ")"), Variant(0))
      << db_->LastError();
  // A list in parentheses is not a chain.
  EXPECT_EQ(db_->ScalarSql("select count(*) from t where id in (1, 2" + std::string(",3") + ")"),
            Variant(3));
}

TEST_F(SqliteDataServiceTest, FunctionsReadTheDatabaseWhileTheirStatementSteps) {
  Script("INSERT INTO t VALUES (1, 'a'), (2, 'b');");
  ASSERT_TRUE(
      db_->RegisterFunction("rName", 1, [](const std::vector<Variant>& args, SqlReader& db) {
        std::string error;
        const auto rows = db.Query("SELECT name FROM t WHERE id = ?", {args.at(0)}, error);
        if (rows == nullptr) throw std::runtime_error(error);
        return rows->Eof() ? Variant::MakeNull() : rows->Rows()[0][0];
      }));
  const auto names = db_->OpenSql("select id, rName(id + 1) as next_name from t order by id");
  ASSERT_NE(names, nullptr) << db_->LastError();
  EXPECT_EQ(names->Rows()[0][1], Variant("b"));
  EXPECT_TRUE(names->Rows()[1][1].IsNull());

  // The same statement text running inside itself must not disturb the outer run.
  ASSERT_TRUE(db_->RegisterFunction(
      "rDepth", 1, [](const std::vector<Variant>& args, SqlReader& db) -> Variant {
        const std::int64_t n = args.at(0).ToInt64();
        if (n <= 0) return Variant(0);
        std::string error;
        const auto inner =
            db.Query("SELECT rDepth(?)", {Variant(static_cast<long long>(n - 1))}, error);
        if (inner == nullptr) throw std::runtime_error(error);
        return Variant(static_cast<long long>(inner->Rows()[0][0].ToInt64() + 1));
      }));
  EXPECT_EQ(First("SELECT rDepth(?)", {Variant(4)}), Variant(4));

  ASSERT_TRUE(
      db_->RegisterFunction("rBoom", 0, [](const std::vector<Variant>&, SqlReader&) -> Variant {
        throw std::runtime_error("no price for this item");
      }));
  EXPECT_FALSE(db_->ExecuteSql("update t set name = rBoom()"));
  EXPECT_THAT(db_->LastError(), HasSubstr("no price for this item"));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:a", "2:b"}));
}

TEST_F(SqliteDataServiceTest, SchemaChangesReachTheCatalogAndCachedStatements) {
  EXPECT_EQ(db_->catalog().Kind("t", "name"), ColumnKind::kText);
  EXPECT_FALSE(db_->catalog().HasTable("extra"));
  const auto before = db_->OpenSql("select * from t");
  ASSERT_NE(before, nullptr) << db_->LastError();
  EXPECT_EQ(before->FieldCount(), 2);

  std::string error;
  ASSERT_TRUE(db_->Native().Exec("ALTER TABLE t ADD COLUMN qty FLOAT", {}, error)) << error;
  ASSERT_TRUE(db_->Native().Exec("CREATE TEMP TABLE extra (code VARCHAR(10))", {}, error)) << error;
  EXPECT_EQ(db_->catalog().Kind("t", "qty"), ColumnKind::kNumber);
  EXPECT_EQ(db_->catalog().Kind("extra", "code"), ColumnKind::kText);
  const auto after = db_->OpenSql("select * from t");
  ASSERT_NE(after, nullptr) << db_->LastError();
  ASSERT_EQ(after->FieldCount(), 3) << "a statement prepared before the change answered";
  EXPECT_EQ(after->Field(2).type, kAdDouble);
}

}  // namespace
}  // namespace korvane::data
