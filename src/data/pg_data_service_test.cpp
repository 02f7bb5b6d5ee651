// Tests of the PostgreSQL data service against the test run's server, each in a database of
// its own: typed results, batches that fail half-way, transactions, procedures, a connection
// ended by the server and the reconnection after it.
#include "data/pg_data_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/pg_test_database.h"

namespace korvane::data {
namespace {

using ::testing::HasSubstr;

DateTime Day(int y, unsigned m, unsigned d) {
  return DateTime(
      std::chrono::sys_days(std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}));
}

class PgDataServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = database_.Open();
    Script("CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(40))");
  }
  void Script(std::string_view sql) {
    std::string error;
    ASSERT_TRUE(db_->ExecScript(sql, error)) << error;
  }
  // "id:name" of every row of t, by id, read on `db`.
  std::vector<std::string> Rows(PgDataService& db) {
    std::string error;
    const auto rows = db.Native().Query("SELECT id, name FROM t ORDER BY id", {}, error);
    EXPECT_NE(rows, nullptr) << error;
    std::vector<std::string> out;
    if (rows == nullptr) return out;
    for (const Recordset::Row& r : rows->Rows()) out.push_back(r[0].ToText() + ":" + r[1].ToText());
    return out;
  }
  std::vector<std::string> Rows() { return Rows(*db_); }
  // Ends the connection of `db` from the server's side, as a server restart or a network
  // failure would.
  void KillConnection(PgDataService& db) {
    const int pid = db.BackendPid();
    ASSERT_NE(pid, 0);
    std::string error;
    const auto killed =
        database_.admin().Native().Query("SELECT pg_terminate_backend(?)", {Variant(pid)}, error);
    ASSERT_NE(killed, nullptr) << error;
    ASSERT_EQ(killed->Value(0).ToLong(), 1);
  }

  test::PgTestDatabase database_;
  std::shared_ptr<PgDataService> db_;
};

TEST(PgUri, RecognisesServerUrisOnly) {
  EXPECT_TRUE(IsPostgresUri("postgresql://korvane@/factory?host=/tmp/x"));
  EXPECT_TRUE(IsPostgresUri("postgres://user@db.example/factory"));
  EXPECT_FALSE(IsPostgresUri("factory.db"));
  EXPECT_FALSE(IsPostgresUri("/data/postgresql/factory.db"));
  EXPECT_EQ(test::PgUriWithDatabase("postgresql://korvane@/postgres?host=/tmp/x", "k1"),
            "postgresql://korvane@/k1?host=/tmp/x");
  EXPECT_EQ(test::PgUriWithDatabase("postgres://u@h", "k1"), "postgres://u@h/k1");
}

TEST(PgPlaceholders, NumbersMarkersOutsideQuotesAndComments) {
  long highest = 0;
  EXPECT_EQ(PgPlaceholders("SELECT ? , '?', \"a?\" FROM t WHERE x = ? -- ?\n AND y = ?", highest),
            "SELECT $1 , '?', \"a?\" FROM t WHERE x = $2 -- ?\n AND y = $3");
  EXPECT_EQ(highest, 3);
  // Numbered markers keep their numbers; a bare one after them goes one above the highest.
  EXPECT_EQ(PgPlaceholders("substr(n, ?1 + 1) = ?3 AND length(n) > ?1 AND z = ?", highest),
            "substr(n, $1 + 1) = $3 AND length(n) > $1 AND z = $4");
  EXPECT_EQ(highest, 4);
  EXPECT_EQ(PgPlaceholders("SELECT 'it''s ?' /* ? */, ?", highest), "SELECT 'it''s ?' /* ? */, $1");
}

TEST(PgTestServer, MissingServerVariableIsAFailureNotASkip) {
  const std::string saved = test::TestPgUri();
  ::unsetenv("KORVANE_TEST_PG");
  EXPECT_THROW(test::TestPgUri(), std::runtime_error);
  ::setenv("KORVANE_TEST_PG", saved.c_str(), 1);
  std::string error;
  EXPECT_EQ(PgDataService::Open("postgresql://korvane@/postgres?host=/nonexistent-korvane", error),
            nullptr);
  EXPECT_THAT(error, HasSubstr("cannot connect to the database server"));
}

TEST_F(PgDataServiceTest, RecordsetsCarryTheTypesSqliteGives) {
  Script(
      "CREATE TABLE v (a SMALLINT, b INTEGER, c BIGINT, d DOUBLE PRECISION, e NUMERIC(18,4),"
      " f DATE, g TIMESTAMP, h BOOLEAN, i VARCHAR(10), j CHAR(4), k REAL);"
      "INSERT INTO v VALUES (1, 2, 3000000000, 2.5, 3.25, '2026-03-20', '2026-03-20 08:30:15',"
      " true, '泵', 'ab', 0.5), (NULL, NULL, NULL, NULL, NULL, NULL, NULL, false, NULL, NULL,"
      " NULL)");
  const auto rows = db_->OpenSql("select a, b, c, d, e, f, g, h, i, j, k from v order by b desc");
  ASSERT_NE(rows, nullptr) << db_->LastError();
  ASSERT_EQ(rows->RecordCount(), 2);
  const std::vector<int> types = {kAdSmallInt, kAdInteger,     kAdBigInt,      kAdDouble,
                                  kAdNumeric,  kAdDBTimeStamp, kAdDBTimeStamp, kAdSmallInt,
                                  kAdVarWChar, kAdWChar,       kAdDouble};
  for (int i = 0; i < rows->FieldCount(); ++i) EXPECT_EQ(rows->Field(i).type, types[i]) << i;
  // NULLs sort first under DESC.
  const Recordset::Row& empty = rows->Rows()[0];
  for (int i = 0; i < 11; ++i) {
    if (i != 7) {
      EXPECT_TRUE(empty[static_cast<std::size_t>(i)].IsNull()) << i;
    }
  }
  EXPECT_EQ(empty[7].type(), VarType::kInteger);
  EXPECT_EQ(empty[7].integer(), 0);
  const Recordset::Row& full = rows->Rows()[1];
  EXPECT_EQ(full[0].integer(), 1);
  EXPECT_EQ(full[1].integer(), 2);
  EXPECT_EQ(full[2].integer(), 3000000000LL);
  EXPECT_EQ(full[3].type(), VarType::kDouble);
  EXPECT_DOUBLE_EQ(full[3].real(), 2.5);
  EXPECT_EQ(full[4].type(), VarType::kDouble);
  EXPECT_DOUBLE_EQ(full[4].real(), 3.25);
  EXPECT_EQ(full[5].type(), VarType::kDate);
  EXPECT_EQ(full[5].date(), Day(2026, 3, 20));
  EXPECT_EQ(full[6].date(), Day(2026, 3, 20) + std::chrono::hours(8) + std::chrono::minutes(30) +
                                std::chrono::seconds(15));
  EXPECT_EQ(full[7].integer(), 1);
  EXPECT_EQ(full[8].text(), "泵");
  EXPECT_EQ(full[9].text(), "ab  ");
  EXPECT_DOUBLE_EQ(full[10].real(), 0.5);
}

TEST_F(PgDataServiceTest, ValuesAreBoundNeverSplicedAndQuotedTextsRoundTrip) {
  const std::string hostile = "x'); DROP TABLE t; --";
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (1, " + SqlQuote(hostile) + ")"))
      << db_->LastError();
  EXPECT_EQ(db_->RowsAffected(), 1);
  std::string error;
  ASSERT_TRUE(db_->Native().Exec("INSERT INTO t (id, name) VALUES (?, ?)",
                                 {Variant(2), Variant("a'b?")}, error))
      << error;
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:" + hostile, "2:a'b?"}));
  // A NUL byte never reaches the server, by text or by value.
  Command nul{std::string("delete from t\0 where id = 1", 27), CommandType::kText, {}};
  EXPECT_FALSE(db_->Execute(nul));
  EXPECT_THAT(db_->LastError(), HasSubstr("NUL byte"));
  EXPECT_FALSE(
      db_->Native().Exec("DELETE FROM t WHERE name = ?", {Variant(std::string("a\0", 2))}, error));
  EXPECT_THAT(error, HasSubstr("NUL byte"));
  EXPECT_EQ(Rows().size(), 2u);
  // Updates and deletes count what they changed; a select counts nothing.
  ASSERT_TRUE(db_->ExecuteSql("update t set name = 'z'"));
  EXPECT_EQ(db_->RowsAffected(), 2);
  ASSERT_NE(db_->OpenSql("select * from t"), nullptr);
  EXPECT_EQ(db_->RowsAffected(), 0);
  EXPECT_EQ(db_->ScalarSql("select count(*) from t").ToLong(), 2);
  EXPECT_TRUE(db_->ScalarSql("select id from t where id = 99").IsEmpty());
  EXPECT_TRUE(db_->LastError().empty());
}

TEST_F(PgDataServiceTest, ABatchOutsideATransactionIsAllOrNothing) {
  EXPECT_FALSE(
      db_->ExecuteSql("insert into t (id, name) values (1, 'a')"
                      " insert into t (id, name) values (2, 'b')"
                      " insert into missing_table (id) values (3)"));
  EXPECT_THAT(db_->LastError(), HasSubstr("missing_table"));
  EXPECT_TRUE(Rows().empty());
  EXPECT_FALSE(db_->InTransaction());
  ASSERT_TRUE(
      db_->ExecuteSql("insert into t (id, name) values (1, 'a')"
                      " insert into t (id, name) values (2, 'b')"))
      << db_->LastError();
  EXPECT_EQ(db_->RowsAffected(), 2);
  // The rows of the batch's last select come back.
  const auto rows =
      db_->OpenSql("update t set name = 'c' where id = 1 select name from t where id = 1");
  ASSERT_NE(rows, nullptr) << db_->LastError();
  EXPECT_EQ(rows->Value(0).ToText(), "c");
}

TEST_F(PgDataServiceTest, TransactionsBehaveAsOnSqlite) {
  EXPECT_FALSE(db_->CommitTrans());
  EXPECT_THAT(db_->LastError(), HasSubstr("no transaction"));
  EXPECT_FALSE(db_->RollbackTrans());
  ASSERT_TRUE(db_->BeginTrans()) << db_->LastError();
  EXPECT_TRUE(db_->InTransaction());
  EXPECT_FALSE(db_->BeginTrans());
  EXPECT_THAT(db_->LastError(), HasSubstr("do not nest"));
  EXPECT_TRUE(db_->InTransaction());
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (1, 'a')"));
  // A failing statement leaves nothing of itself and the transaction usable.
  EXPECT_FALSE(
      db_->ExecuteSql("insert into t (id, name) values (2, 'b') insert into t (id, name)"
                      " values (1, 'duplicate')"));
  EXPECT_TRUE(db_->InTransaction());
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (3, 'c')")) << db_->LastError();
  // Another connection sees nothing before the commit.
  const auto other = database_.Open();
  EXPECT_TRUE(Rows(*other).empty());
  ASSERT_TRUE(db_->CommitTrans()) << db_->LastError();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(Rows(*other), (std::vector<std::string>{"1:a", "3:c"}));

  ASSERT_TRUE(db_->BeginTrans());
  ASSERT_TRUE(db_->ExecuteSql("delete from t"));
  ASSERT_TRUE(db_->RollbackTrans());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:a", "3:c"}));
  // A statement that tries to end the transaction itself is refused.
  ASSERT_TRUE(db_->BeginTrans());
  EXPECT_FALSE(db_->ExecuteSql("commit"));
  EXPECT_TRUE(db_->InTransaction());
  ASSERT_TRUE(db_->RollbackTrans());
}

TEST_F(PgDataServiceTest, ProceduresRunTheirBodiesOverTheServer) {
  db_->RegisterProcedure("p_Names",
                         [](std::vector<Parameter>& parameters, SqlReader& db,
                            std::string& error) -> std::unique_ptr<Recordset> {
                           EXPECT_EQ(db.target(), SqlTarget::kPostgres);
                           if (!db.Exec("INSERT INTO t (id, name) VALUES (?, ?)",
                                        {parameters.at(0).value, parameters.at(1).value}, error)) {
                             return nullptr;
                           }
                           parameters.at(2).value = Variant(42);
                           return db.Query("SELECT name FROM t WHERE id >= ? ORDER BY id",
                                           {parameters.at(0).value}, error);
                         });
  Command call{"dbo.[P_NAMES]",
               CommandType::kStoredProcedure,
               {{"id", Variant(5)}, {"name", Variant("五")}, {"out", Variant(), true}}};
  const auto rows = db_->Open(call);
  ASSERT_NE(rows, nullptr) << db_->LastError();
  ASSERT_EQ(rows->RecordCount(), 1);
  EXPECT_EQ(rows->Value(0).ToText(), "五");
  EXPECT_EQ(call.parameters[2].value.ToLong(), 42);
  // A call that fails after writing leaves nothing behind, in a transaction or outside one.
  Command again = call;
  EXPECT_EQ(db_->Open(again), nullptr);
  EXPECT_THAT(db_->LastError(), HasSubstr("duplicate key"));
  ASSERT_TRUE(db_->BeginTrans());
  db_->RegisterProcedure(
      "p_Half",
      [](std::vector<Parameter>&, SqlReader& db, std::string& error) -> std::unique_ptr<Recordset> {
        if (!db.Exec("INSERT INTO t (id, name) VALUES (7, 'x')", {}, error)) return nullptr;
        error = "refused half-way";
        return nullptr;
      });
  Command half{"p_Half", CommandType::kStoredProcedure, {}};
  EXPECT_FALSE(db_->Execute(half));
  EXPECT_THAT(db_->LastError(), HasSubstr("refused half-way"));
  EXPECT_TRUE(db_->InTransaction());
  ASSERT_TRUE(db_->CommitTrans());
  EXPECT_EQ(Rows(), (std::vector<std::string>{"5:五"}));
  Command unknown{"p_nothing", CommandType::kStoredProcedure, {}};
  EXPECT_EQ(db_->Open(unknown), nullptr);
  EXPECT_THAT(db_->LastError(), HasSubstr("procedure not found"));
}

TEST_F(PgDataServiceTest, ALostConnectionLosesTheTransactionAndTheNextCallReconnects) {
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (1, 'kept')"));
  ASSERT_TRUE(db_->BeginTrans());
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (2, 'lost')"));
  const int first_pid = db_->BackendPid();
  KillConnection(*db_);
  EXPECT_FALSE(db_->ExecuteSql("insert into t (id, name) values (3, 'lost too')"));
  EXPECT_THAT(db_->LastError(), HasSubstr("connection to the database server was lost"));
  EXPECT_THAT(db_->LastError(), HasSubstr("transaction was lost"));
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_FALSE(db_->CommitTrans());
  // The next call connects again and finds only what was committed.
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:kept"}));
  EXPECT_NE(db_->BackendPid(), first_pid);
  ASSERT_TRUE(db_->ExecuteSql("insert into t (id, name) values (4, 'after')")) << db_->LastError();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:kept", "4:after"}));
  // Outside a transaction the loss fails the one call and no more.
  KillConnection(*db_);
  EXPECT_EQ(db_->OpenSql("select * from t"), nullptr);
  EXPECT_THAT(db_->LastError(), HasSubstr("was lost"));
  EXPECT_THAT(db_->LastError(), ::testing::Not(HasSubstr("transaction")));
  EXPECT_EQ(db_->ScalarSql("select count(*) from t").ToLong(), 2) << db_->LastError();
}

}  // namespace
}  // namespace korvane::data

namespace korvane::data {
namespace {

// The T-SQL the modules write, run on the server: names in brackets or of other case reach the
// folded column, ISNULL keeps the first argument's type, casts to FLOAT and DECIMAL stay
// doubles, a compound member keeps its own TOP and the current date is the server's.
TEST_F(PgDataServiceTest, TsqlStatementsMeanOnTheServerWhatTheyMeanOnSqlite) {
  Script(
      "CREATE TABLE w (ID INTEGER PRIMARY KEY, progID INTEGER, 型号 VARCHAR(20), qty FLOAT);"
      "INSERT INTO w VALUES (1, 2101, NULL, 2.5), (2, 3101, 'IS50', 1), (3, 2101, 'x', 7)");
  auto rows = db_->OpenSql(
      "select top 2 [ID], ProgId, isnull(型号,'') as model, convert(float, qty) / 2 as half, "
      "cast(qty as decimal(10,1)) as d from dbo.w where [PROGID]=2101 order by [id]");
  ASSERT_NE(rows, nullptr) << db_->LastError();
  ASSERT_EQ(rows->RecordCount(), 2);
  EXPECT_EQ(rows->Rows()[0][0].integer(), 1);
  EXPECT_EQ(rows->Rows()[0][1].integer(), 2101);
  EXPECT_EQ(rows->Rows()[0][2].text(), "");
  EXPECT_DOUBLE_EQ(rows->Rows()[0][3].real(), 1.25);
  EXPECT_DOUBLE_EQ(rows->Rows()[0][4].real(), 2.5);
  EXPECT_EQ(rows->Rows()[1][2].text(), "x");

  rows = db_->OpenSql(
      "select top 1 ID from w where progID=3101 union all select ID from w where ID=3 "
      "order by ID");
  ASSERT_NE(rows, nullptr) << db_->LastError();
  ASSERT_EQ(rows->RecordCount(), 2);
  EXPECT_EQ(rows->Rows()[1][0].integer(), 3);

  rows = db_->OpenSql("select getdate() as a, current_timestamp as b");
  ASSERT_NE(rows, nullptr) << db_->LastError();
  EXPECT_EQ(rows->Rows()[0][0].type(), VarType::kDate);
  EXPECT_EQ(rows->Rows()[0][1].type(), VarType::kDate);
}

}  // namespace
}  // namespace korvane::data
