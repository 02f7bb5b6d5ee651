// korvane init and korvane sql on a server database of the test run's PostgreSQL server, and
// the commands that refuse one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "data/open_data_service.h"
#include "data/pg_test_database.h"
#include "korvane/commands.h"
#include "korvane/demo_command.h"

namespace korvane::cli {
namespace {

using ::testing::HasSubstr;

TEST(PgCommandLine, InitAndSqlWorkOnAServerDatabase) {
  test::PgTestDatabase server;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunInit({server.uri(), true, std::nullopt}, out, err), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("created the schema"));
  EXPECT_THAT(out.str(), HasSubstr("loaded the demo factory"));
  // Again: up to date, and the demo is not loaded twice.
  out.str("");
  EXPECT_EQ(RunInit({server.uri(), true, std::nullopt}, out, err), 1);
  EXPECT_THAT(out.str(), HasSubstr("is up to date"));
  EXPECT_THAT(err.str(), HasSubstr("already holds data"));
  out.str("");
  err.str("");
  ASSERT_EQ(RunSql({server.uri(), "select count(*) as n from PDMCPML"}, out, err), 0) << err.str();
  EXPECT_THAT(out.str(), HasSubstr("40"));
  out.str("");
  ASSERT_EQ(RunSql({server.uri(), "update PDMGY set 姓名 = 姓名 where 雇员ID = 1"}, out, err), 0)
      << err.str();
  EXPECT_EQ(out.str(), "(1 row changed)\n");
  EXPECT_EQ(RunSql({server.uri(), "select * from no_such_table"}, out, err), 1);
  EXPECT_THAT(err.str(), HasSubstr("no_such_table"));
  // The one opener hands out the same database the commands used.
  std::string error;
  const auto db = data::OpenDataService(server.uri(), error);
  ASSERT_NE(db, nullptr) << error;
  EXPECT_EQ(db->ScalarSql("select count(*) from PDMGY").ToLong(), 20);
}

TEST(PgCommandLine, AnUnreachableServerAndUnsupportedCommandsFailByName) {
  std::ostringstream out;
  std::ostringstream err;
  const std::string nowhere = "postgresql://korvane@/x?host=/nonexistent-korvane";
  EXPECT_EQ(RunInit({nowhere, false, std::nullopt}, out, err), 1);
  EXPECT_THAT(err.str(), HasSubstr("cannot connect to the database server"));
  err.str("");
  EXPECT_EQ(RunInit({nowhere, false, 1}, out, err), 2);
  EXPECT_THAT(err.str(), HasSubstr("database file only"));
  err.str("");
  EXPECT_EQ(RunPayrollImport({nowhere, ""}, out, err), 1);
  EXPECT_THAT(err.str(), HasSubstr("database file only"));
  err.str("");
  EXPECT_EQ(RunDemo({nowhere}, out, err), 1);
  EXPECT_THAT(err.str(), HasSubstr("database file only"));
  std::string error;
  EXPECT_EQ(data::OpenDataService("/nonexistent-korvane/factory.db", error), nullptr);
  EXPECT_THAT(error, HasSubstr("does not exist"));
}

}  // namespace
}  // namespace korvane::cli
