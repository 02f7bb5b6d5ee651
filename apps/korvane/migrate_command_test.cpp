// korvane migrate between database files and the test run's PostgreSQL server: a whole factory
// there and back unchanged, and the refusals that leave a target as it was.
#include "korvane/migrate_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "data/pg_test_database.h"
#include "data/sqlite_data_service.h"
#include "host/test_support.h"
#include "korvane/commands.h"
#include "values/recordset.h"

namespace korvane::cli {
namespace {

using ::testing::HasSubstr;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Migrate(const std::string& from, const std::string& to) {
  std::ostringstream out, err;
  const int code = RunMigrate({from, to}, out, err);
  return {code, out.str(), err.str()};
}

std::shared_ptr<data::SqliteDataService> OpenFile(const std::string& path, bool create = false) {
  std::string error;
  data::SqliteOptions options;
  options.create = create;
  auto db = data::SqliteDataService::Open(path, options, error);
  if (db == nullptr) ADD_FAILURE() << error;
  return db;
}

// Every row of every table of a database file, as text, rows in the order of all their values.
std::map<std::string, std::string> Contents(const std::string& path) {
  auto db = OpenFile(path);
  std::string error;
  std::map<std::string, std::string> tables;
  const auto names = db->Native().Query(
      "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'", {}, error);
  for (const Recordset::Row& name : names->Rows()) {
    const std::string table = name.at(0).ToText();
    const auto rows = db->Native().Query("SELECT * FROM \"" + table + "\"", {}, error);
    std::string order;
    for (int c = 1; c <= rows->FieldCount(); ++c) order += (c > 1 ? "," : "") + std::to_string(c);
    const auto sorted =
        db->Native().Query("SELECT * FROM \"" + table + "\" ORDER BY " + order, {}, error);
    std::string text;
    for (const Recordset::Row& row : sorted->Rows()) {
      for (const Variant& value : row) {
        text += value.IsNull() ? "<null>" : value.ToText();
        text += '|';
      }
      text += '\n';
    }
    tables[table] = text;
  }
  return tables;
}

long Count(const std::string& uri_or_path, const std::string& table) {
  std::ostringstream out, err;
  RunSql({uri_or_path, "select count(*) as n from " + table}, out, err);
  const std::string text = out.str();
  const std::size_t digits = text.find_first_of("0123456789", text.find('\n'));
  return digits == std::string::npos ? -1 : std::stol(text.substr(digits));
}

TEST(Migrate, AFactoryGoesToTheServerAndBackWithEveryRowKeyAndNumberUnchanged) {
  test::TempFolder folder;
  const std::string original = folder.path() + "/factory.db";
  const std::string back = folder.path() + "/back.db";
  std::ostringstream out, err;
  ASSERT_EQ(RunInit({original, true, std::nullopt}, out, err), 0) << err.str();
  test::PgTestDatabase server;

  const Outcome up = Migrate(original, server.uri());
  ASSERT_EQ(up.code, 0) << up.err;
  EXPECT_THAT(up.out, HasSubstr("PDMCPML: 40 rows"));
  EXPECT_EQ(Count(server.uri(), "PDMCPML"), 40);
  const Outcome down = Migrate(server.uri(), back);
  ASSERT_EQ(down.code, 0) << down.err;

  const auto before = Contents(original);
  const auto after = Contents(back);
  ASSERT_EQ(before.size(), after.size());
  for (const auto& [table, rows] : before) {
    ASSERT_TRUE(after.contains(table)) << table;
    EXPECT_EQ(after.at(table), rows) << table;
  }
}

std::string Folder(const test::TempFolder& folder, const std::string& name) {
  return folder.path() + "/" + name;
}

TEST(Migrate, ATargetWithRowsOrAnOlderSourceIsRefusedAndLeftAsItWas) {
  test::TempFolder folder;
  const std::string factory = Folder(folder, "factory.db");
  std::ostringstream out, err;
  ASSERT_EQ(RunInit({factory, true, std::nullopt}, out, err), 0) << err.str();
  test::PgTestDatabase server;
  ASSERT_EQ(Migrate(factory, server.uri()).code, 0);

  // Once there, the factory is not copied a second time over itself.
  const Outcome again = Migrate(factory, server.uri());
  EXPECT_EQ(again.code, 1);
  EXPECT_THAT(again.err, HasSubstr("the target is not empty: table"));
  EXPECT_EQ(Count(server.uri(), "PDMCPML"), 40);

  // A file without the schema is no factory to move.
  const std::string empty = Folder(folder, "empty.db");
  ASSERT_NE(OpenFile(empty, true), nullptr);
  test::PgTestDatabase other;
  const Outcome old = Migrate(empty, other.uri());
  EXPECT_EQ(old.code, 1);
  EXPECT_THAT(old.err, HasSubstr("has schema version 0"));
  EXPECT_THAT(Migrate(Folder(folder, "missing.db"), other.uri()).err, HasSubstr("does not exist"));
  EXPECT_EQ(Migrate(factory, factory).code, 2);
}

TEST(Migrate, ARowTheServerCannotTakeLeavesNothingCopiedAndBlankNumbersBecomeZero) {
  test::TempFolder folder;
  const std::string factory = Folder(folder, "factory.db");
  std::ostringstream out, err;
  ASSERT_EQ(RunInit({factory, true, std::nullopt}, out, err), 0) << err.str();
  std::string error;
  // The file keeps what a statement wrote: a blank batch size, as the modules write one, and a
  // word where a quantity belongs, which no server column of numbers takes.
  ASSERT_TRUE(OpenFile(factory, false)
                  ->Native()
                  .Exec("UPDATE PDMBOM SET 批量 = '' WHERE bomID = 1", {}, error))
      << error;
  ASSERT_TRUE(OpenFile(factory, false)
                  ->Native()
                  .Exec("UPDATE PDMBOMMX SET 配量分子 = 'abc' WHERE bommxID = 2", {}, error))
      << error;
  test::PgTestDatabase server;
  const Outcome refused = Migrate(factory, server.uri());
  EXPECT_EQ(refused.code, 1);
  EXPECT_THAT(refused.err, HasSubstr("nothing was copied"));
  // Tables copied before the failing one are rolled back with it.
  EXPECT_EQ(Count(server.uri(), "PDMCPML"), 0);
  EXPECT_EQ(Count(server.uri(), "PDMBOM"), 0);

  ASSERT_TRUE(OpenFile(factory, false)
                  ->Native()
                  .Exec("UPDATE PDMBOMMX SET 配量分子 = 6 WHERE bommxID = 2", {}, error))
      << error;
  const Outcome copied = Migrate(factory, server.uri());
  ASSERT_EQ(copied.code, 0) << copied.err;
  std::ostringstream rows, errors;
  ASSERT_EQ(RunSql({server.uri(), "select 批量 from PDMBOM where bomID = 1"}, rows, errors), 0)
      << errors.str();
  EXPECT_THAT(rows.str(), HasSubstr("0"));
  EXPECT_EQ(Count(server.uri(), "PDMBOMMX"), Count(factory, "PDMBOMMX"));
}

}  // namespace
}  // namespace korvane::cli
