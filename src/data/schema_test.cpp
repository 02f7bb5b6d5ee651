// Tests of the schema migrations on real database files.
#include "data/schema.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/embedded_sql.h"
#include "host/test_support.h"

namespace korvane::data {
namespace {

using ::testing::HasSubstr;

// The versions of the migration files, in order.
std::vector<int> MigrationVersions() {
  std::vector<int> out;
  for (const EmbeddedSql& file : EmbeddedSqlFiles()) {
    if (file.path.substr(0, 11) == "migrations/") {
      out.push_back(std::stoi(std::string(file.path.substr(11, 4))));
    }
  }
  return out;
}

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db_ = SqliteDataService::Open(folder_ / "korvane.db", {}, error);
    ASSERT_NE(db_, nullptr) << error;
  }
  bool HasTable(std::string_view name) {
    std::string error;
    const auto rows =
        db_->Native().Query("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?",
                            {Variant(name)}, error);
    EXPECT_NE(rows, nullptr) << error;
    return rows != nullptr && rows->Rows()[0][0].ToInt64() > 0;
  }

  test::TempFolder folder_;
  std::shared_ptr<SqliteDataService> db_;
};

TEST_F(SchemaTest, AnEmptyFileIsBroughtToTheLatestVersionOnce) {
  const std::vector<int> versions = MigrationVersions();
  ASSERT_FALSE(versions.empty());
  EXPECT_EQ(LatestSchemaVersion(), versions.back());
  EXPECT_EQ(SchemaVersion(*db_), 0);

  std::string error;
  ASSERT_TRUE(MigrateSchema(*db_, error)) << error;
  EXPECT_EQ(SchemaVersion(*db_), LatestSchemaVersion());
  EXPECT_TRUE(HasTable("xt_setting_numbered"));
  EXPECT_TRUE(db_->catalog().HasTable("xt_numbering_rule")) << "the catalog was not reloaded";
  EXPECT_FALSE(db_->InTransaction());

  // Up to date: nothing runs again (a second CREATE TABLE would fail).
  ASSERT_TRUE(MigrateSchema(*db_, error)) << error;
  EXPECT_EQ(SchemaVersion(*db_), LatestSchemaVersion());
  std::string check_error;
  const auto check = db_->Native().Query("PRAGMA integrity_check", {}, check_error);
  ASSERT_NE(check, nullptr) << check_error;
  EXPECT_EQ(check->Rows()[0][0], Variant("ok"));
}

TEST_F(SchemaTest, AnOlderDatabaseIsUpgradedWithItsDataKept) {
  const std::vector<int> versions = MigrationVersions();
  std::string error;
  ASSERT_TRUE(MigrateSchema(*db_, error, versions.front())) << error;
  EXPECT_EQ(SchemaVersion(*db_), versions.front());
  ASSERT_TRUE(
      db_->ExecScript("CREATE TABLE kept (v VARCHAR(10)); INSERT INTO kept VALUES ('x');", error))
      << error;

  ASSERT_TRUE(MigrateSchema(*db_, error)) << error;
  EXPECT_EQ(SchemaVersion(*db_), LatestSchemaVersion());
  EXPECT_EQ(db_->ScalarSql("select v from kept"), Variant("x"));
  EXPECT_FALSE(MigrateSchema(*db_, error, LatestSchemaVersion() + 1))
      << "a version no migration reaches was accepted";
}

TEST_F(SchemaTest, ADatabaseFromANewerVersionIsRefused) {
  const int newer = LatestSchemaVersion() + 1;
  std::string error;
  ASSERT_TRUE(db_->Native().Exec("PRAGMA user_version = " + std::to_string(newer), {}, error));
  EXPECT_FALSE(MigrateSchema(*db_, error));
  EXPECT_THAT(error, HasSubstr("newer"));
  EXPECT_NE(error.find(std::to_string(newer)), std::string::npos) << error;
  EXPECT_EQ(SchemaVersion(*db_), newer);
}

TEST_F(SchemaTest, AFailingMigrationLeavesNothingOfItselfAndNamesItsFile) {
  // The reference host's migration fails at one of its middle statements, then at the record
  // of its version; the migrations before it stay applied.
  int before = 0;
  for (int v : MigrationVersions()) {
    if (v < 2) before = v;
  }
  for (const std::string failing : {"CREATE TABLE xt_key", "PRAGMA user_version = 2"}) {
    db_->InjectFailures([&](std::string_view statement) {
      return statement.find(failing) != std::string_view::npos;
    });
    std::string error;
    EXPECT_FALSE(MigrateSchema(*db_, error)) << failing;
    EXPECT_THAT(error, HasSubstr("0002_reference_host.sql"));
    EXPECT_EQ(SchemaVersion(*db_), before) << failing;
    EXPECT_FALSE(HasTable("xt_setting_numbered")) << "a table of the failed migration stayed";
    EXPECT_FALSE(db_->InTransaction());
  }
  db_->InjectFailures({});
  std::string error;
  ASSERT_TRUE(MigrateSchema(*db_, error)) << error;
  EXPECT_EQ(SchemaVersion(*db_), LatestSchemaVersion());
}

}  // namespace
}  // namespace korvane::data
