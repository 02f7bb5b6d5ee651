// korvane payroll import on a demo database file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "host/test_support.h"
#include "korvane/commands.h"

namespace korvane::cli {
namespace {

using ::testing::HasSubstr;

TEST(PayrollCommand, TakesTheWaitingRowsOnceAndRefusesABadPeriod) {
  test::TempFolder folder;
  const std::string db = folder.path() + "/factory.db";
  std::ostringstream init_out, init_err;
  ASSERT_EQ(RunInit({db, true, std::nullopt}, init_out, init_err), 0) << init_err.str();

  const auto run = [&](const std::string& period, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int code = RunPayrollImport({db, period}, o, e);
    out = o.str();
    err = e.str();
    return code;
  };
  std::string out, err;
  EXPECT_EQ(run("202613", out, err), 2);
  EXPECT_THAT(err, HasSubstr("\"202613\""));
  EXPECT_EQ(run("2026-03", out, err), 2);
  // Nothing waits in April; March holds the five rows of report BG2026030001.
  ASSERT_EQ(run("202604", out, err), 0) << err;
  EXPECT_EQ(out, "took 0 wage rows into payroll for period 202604\n");
  ASSERT_EQ(run("202603", out, err), 0) << err;
  EXPECT_EQ(out, "took 5 wage rows into payroll for period 202603\n");
  ASSERT_EQ(run("", out, err), 0) << err;
  EXPECT_EQ(out, "took 0 wage rows into payroll\n");

  std::ostringstream o, e;
  EXPECT_EQ(RunPayrollImport({folder.path() + "/none.db", ""}, o, e), 1);
  EXPECT_THAT(e.str(), HasSubstr("korvane init"));
}

}  // namespace
}  // namespace korvane::cli
