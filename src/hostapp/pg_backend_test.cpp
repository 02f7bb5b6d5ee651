// The schema, the demo factory, the procedures and the functions on the test run's PostgreSQL
// server, compared with the same on an SQLite file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "data/pg_schema.h"
#include "data/pg_test_database.h"
#include "data/schema.h"
#include "hostapp/db_procedures.h"
#include "hostapp/demo_data.h"
#include "hostapp/test_database.h"

namespace korvane::hostapp {
namespace {

using ::testing::HasSubstr;

// table -> column -> kind, names lower-cased.
using Shape = std::map<std::string, std::map<std::string, data::ColumnKind>>;

Shape SqliteShape(data::SqliteDataService& db) {
  Shape shape;
  std::string error;
  const auto tables = db.Native().Query(
      "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite_%'",
      {}, error);
  EXPECT_NE(tables, nullptr) << error;
  if (tables == nullptr) return shape;
  for (const Recordset::Row& t : tables->Rows()) {
    const std::string table = t[0].ToText();
    const auto columns =
        db.Native().Query("SELECT name, type FROM pragma_table_info(?)", {Variant(table)}, error);
    EXPECT_NE(columns, nullptr) << error;
    if (columns == nullptr) continue;
    for (const Recordset::Row& c : columns->Rows()) {
      shape[ToLowerAscii(table)][ToLowerAscii(c[0].ToText())] =
          data::KindOfDeclaredType(c[1].ToText());
    }
  }
  return shape;
}

Shape PgShape(data::PgDataService& db) {
  Shape shape;
  std::string error;
  const auto columns = db.Native().Query(
      "SELECT table_name, column_name, data_type FROM information_schema.columns"
      " WHERE table_schema = current_schema() AND table_name <> ?",
      {Variant(std::string(data::kPgVersionTable))}, error);
  EXPECT_NE(columns, nullptr) << error;
  if (columns == nullptr) return shape;
  for (const Recordset::Row& c : columns->Rows()) {
    shape[ToLowerAscii(c[0].ToText())][ToLowerAscii(c[1].ToText())] =
        data::KindOfDeclaredType(c[2].ToText());
  }
  return shape;
}

// A view's columns take the kinds of the tables under it on the server; SQLite declares none
// for an expression, so a view column SQLite leaves without a kind is not compared.
void ExpectSameShape(const Shape& sqlite, const Shape& pg) {
  EXPECT_EQ(sqlite.size(), pg.size());
  for (const auto& [table, columns] : sqlite) {
    const auto found = pg.find(table);
    ASSERT_NE(found, pg.end()) << table;
    EXPECT_EQ(columns.size(), found->second.size()) << table;
    for (const auto& [column, kind] : columns) {
      const auto other = found->second.find(column);
      ASSERT_NE(other, found->second.end()) << table << "." << column;
      if (kind != data::ColumnKind::kOther) {
        EXPECT_EQ(static_cast<int>(kind), static_cast<int>(other->second))
            << table << "." << column;
      }
    }
  }
}

class PgBackendTest : public ::testing::Test {
 protected:
  void Migrate() {
    std::string error;
    ASSERT_TRUE(data::MigratePgSchema(*db_, error)) << error;
  }
  void LoadDemo() {
    Migrate();
    std::string error;
    ASSERT_TRUE(LoadDemoData(*db_, error)) << error;
    RegisterDatabaseObjects(*db_);
  }

  test::PgTestDatabase server_;
  std::shared_ptr<data::PgDataService> db_ = server_.Open();
};

TEST(PgDdl, ConvertsTypesOutsideTextsAndDropsComments) {
  const std::vector<std::string> statements = data::PgDdlStatements(
      "-- a table; with a comment\nCREATE TABLE a (x NVARCHAR(5) COLLATE TSQL DEFAULT 'FLOAT;',"
      " d DATETIME, q FLOAT, f BIT, 类别DATETIME INTEGER PRIMARY KEY);\n\nCREATE INDEX i ON a(d);");
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0],
            "CREATE TABLE a (x VARCHAR(5) COLLATE TSQL DEFAULT 'FLOAT;', d TIMESTAMP(0), q DOUBLE"
            " PRECISION, f SMALLINT, 类别DATETIME INTEGER PRIMARY KEY)");
  EXPECT_EQ(statements[1], "CREATE INDEX i ON a(d)");
}

TEST_F(PgBackendTest, TheServerSchemaHasTheTablesColumnsAndKindsOfTheFile) {
  Migrate();
  EXPECT_EQ(data::PgSchemaVersion(*db_), data::LatestSchemaVersion());
  test::EmptyDatabase file;
  ExpectSameShape(SqliteShape(*file.Open()), PgShape(*db_));
  // A second run keeps the rows and changes nothing.
  ASSERT_TRUE(db_->ExecuteSql("insert into xt_menu (progID, menuname) values (1, 'x')"))
      << db_->LastError();
  Migrate();
  EXPECT_EQ(db_->ScalarSql("select count(*) from xt_menu").ToLong(), 1);
  // Names are folded: progID, progid and ProgID reach one column.
  std::string error;
  const auto rows = db_->Native().Query(
      "SELECT progid, ProgID, PROGID FROM XT_MENU WHERE progID = ?", {Variant(1)}, error);
  ASSERT_NE(rows, nullptr) << error;
  EXPECT_EQ(rows->RecordCount(), 1);
  // Text columns compare ignoring case through the collation the schema names.
  ASSERT_TRUE(db_->ExecuteSql("update xt_menu set menuname = 'Pump' where progID = 1"));
  EXPECT_EQ(db_->Native()
                .Query("SELECT count(*) FROM xt_menu WHERE menuname = ?", {Variant("PUMP")}, error)
                ->Value(0)
                .ToLong(),
            1);
  // A newer server schema is refused.
  ASSERT_TRUE(db_->ExecuteSql("update xt_schema_version set version = 9999"));
  EXPECT_FALSE(data::MigratePgSchema(*db_, error));
  EXPECT_THAT(error, HasSubstr("newer Korvane"));
}

TEST_F(PgBackendTest, TheFunctionsAndProceduresAnswerAsOnTheFile) {
  LoadDemo();
  test::DemoDatabase file;
  auto sqlite = file.Open();
  std::string error;
  ASSERT_TRUE(RegisterDatabaseObjects(*sqlite, error)) << error;
  // Every work report line's employees, and the stock of every product in every depot.
  const char* const lines = "SELECT 报工单明细ID FROM SFCDJMX ORDER BY 报工单明细ID";
  const auto ids = sqlite->Native().Query(lines, {}, error);
  ASSERT_NE(ids, nullptr) << error;
  ASSERT_GT(ids->RecordCount(), 3);
  std::vector<std::int64_t> probes = {-5};
  for (const Recordset::Row& r : ids->Rows()) probes.push_back(r[0].ToInt64());
  for (const std::int64_t id : probes) {
    for (const char* function : {"rSfcDjEmp", "rSfcDjEmpID"}) {
      const std::string sql = "SELECT " + std::string(function) + "(?)";
      const auto a = sqlite->Native().Query(sql, {Variant(id)}, error);
      ASSERT_NE(a, nullptr) << error;
      const auto b = db_->Native().Query(sql, {Variant(id)}, error);
      ASSERT_NE(b, nullptr) << error;
      EXPECT_EQ(a->Value(0).ToText(), b->Value(0).ToText()) << function << "(" << id << ")";
    }
  }
  const auto stock = sqlite->Native().Query(
      "SELECT DISTINCT 产品ID, 仓库ID, 批号 FROM st_goods_depot ORDER BY 1, 2, 3", {}, error);
  ASSERT_NE(stock, nullptr) << error;
  ASSERT_GT(stock->RecordCount(), 0);
  for (const Recordset::Row& r : stock->Rows()) {
    for (const Variant& depot : {Variant(0), r[1]}) {
      for (const Variant& batch : {Variant(""), r[2]}) {
        const char* sql = "SELECT rSTGoodsDepotAmount(?, ?, ?, 202603, 0, 0)";
        const auto a = sqlite->Native().Query(sql, {r[0], depot, batch}, error);
        ASSERT_NE(a, nullptr) << error;
        const auto b = db_->Native().Query(sql, {r[0], depot, batch}, error);
        ASSERT_NE(b, nullptr) << error;
        EXPECT_DOUBLE_EQ(a->Value(0).ToDouble(), b->Value(0).ToDouble())
            << r[0].ToText() << "/" << depot.ToText() << "/" << batch.ToText();
      }
    }
  }
  // The pickers' list procedures give the same rows.
  const std::vector<Command> calls = {
      {"p_PDM_CPML_SELECT",
       CommandType::kStoredProcedure,
       {{"", Variant(-1)},
        {"", Variant(0)},
        {"", Variant(-1)},
        {"", Variant(0)},
        {"", Variant("1211,1243")},
        {"", Variant(-1)},
        {"", Variant(0)}}},
      {"p_PDM_CPLB_SELECT", CommandType::kStoredProcedure, {{"", Variant("")}}},
      {"p_PDM_GY_SELECT", CommandType::kStoredProcedure, {{"", Variant(-1)}, {"", Variant("")}}},
      {"p_PDM_BM_SELECT", CommandType::kStoredProcedure, {{"", Variant("")}}},
  };
  for (Command call : calls) {
    Command again = call;
    const auto a = sqlite->Open(call);
    ASSERT_NE(a, nullptr) << sqlite->LastError();
    const auto b = db_->Open(again);
    ASSERT_NE(b, nullptr) << call.text << ": " << db_->LastError();
    ASSERT_EQ(a->RecordCount(), b->RecordCount()) << call.text;
    ASSERT_GT(a->RecordCount(), 0) << call.text;
    for (long r = 0; r < a->RecordCount(); ++r) {
      for (int c = 0; c < a->FieldCount(); ++c) {
        EXPECT_EQ(a->Rows()[r][c].ToText(), b->Rows()[r][c].ToText())
            << call.text << " row " << r << " " << a->Field(c).name;
      }
    }
  }
}

}  // namespace
}  // namespace korvane::hostapp
