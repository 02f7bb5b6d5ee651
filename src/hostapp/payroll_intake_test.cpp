// The payroll intake against the demo factory: every statement failing in turn leaves the
// intake and payroll tables and the keys as they were; only waiting rows of the asked period
// are taken; a row that would be paid under no name refuses the whole intake.
#include "hostapp/payroll_intake.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/fault_loop_test_support.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"

namespace korvane::hostapp {
namespace {

class PayrollIntakeTest : public ::testing::Test {
 protected:
  void SetUp() override { host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_); }

  std::vector<std::string> Rows(const std::string& query) {
    std::vector<std::string> rows;
    std::string error;
    const std::unique_ptr<Recordset> read = host_->database().Native().Query(query, {}, error);
    if (read == nullptr) {
      ADD_FAILURE() << query << ": " << error;
      return rows;
    }
    for (read->MoveFirst(); !read->Eof(); read->MoveNext()) {
      std::string text;
      for (int f = 0; f < read->FieldCount(); ++f) text += read->Value(f).ToText() + "|";
      rows.push_back(std::move(text));
    }
    return rows;
  }
  void Run(const std::string& sql) { ASSERT_TRUE(host_->Data()->ExecuteSql(sql)) << sql; }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<ReferenceHost> host_;
};

TEST_F(PayrollIntakeTest, EveryStatementFailingInTurnTakesNothing) {
  std::vector<std::string> errors;
  const auto state = [this] {
    std::vector<std::string> rows = Rows("SELECT * FROM PATempDataMx ORDER BY lAutoID");
    for (const std::string& row : Rows("SELECT * FROM paoutdatamx ORDER BY lAutoID")) {
      rows.push_back("out|" + row);
    }
    for (const std::string& row : Rows("SELECT * FROM xt_key")) rows.push_back("key|" + row);
    return rows;
  };
  int taken = 0;
  // Two checks, the waiting rows, a key and an insert for each of the five, the mark.
  EXPECT_GE(test::FailEachStatement(*host_, errors, state,
                                    [&] {
                                      const PayrollIntake intake =
                                          TakeWagesIntoPayroll(*host_, std::nullopt);
                                      if (!intake.done) errors.push_back(intake.error);
                                      taken = intake.taken;
                                      return intake.done;
                                    }),
            14);
  EXPECT_EQ(taken, 5);
  EXPECT_EQ(Rows("SELECT count(*) FROM PATempDataMx WHERE bIsIntoGz = 1"),
            std::vector<std::string>{"13|"});
  EXPECT_EQ(Rows("SELECT lAutoID, lEmployeeID, dMoney, sOutNumber FROM paoutdatamx WHERE "
                 "lOutAutoID = 3 ORDER BY lAutoID"),
            (std::vector<std::string>{"10|7|126|BG2026030001|", "11|8|84|BG2026030001|",
                                      "12|9|240|BG2026030001|", "13|10|180|BG2026030001|",
                                      "14|11|180|BG2026030001|"}));
  const PayrollIntake again = TakeWagesIntoPayroll(*host_, std::nullopt);
  EXPECT_TRUE(again.done) << again.error;
  EXPECT_EQ(again.taken, 0);
}

TEST_F(PayrollIntakeTest, TakesWaitingRowsOfThePeriodAndRefusesRowsWithoutANamedDepartment) {
  // A row never marked counts as waiting; one of another period stays where it is.
  Run("UPDATE PATempDataMx SET bIsIntoGz = NULL WHERE lAutoID = 9");
  Run("UPDATE PATempDataMx SET lKj = 202604 WHERE lAutoID = 10");
  const PayrollIntake march = TakeWagesIntoPayroll(*host_, 202603);
  ASSERT_TRUE(march.done) << march.error;
  EXPECT_EQ(march.taken, 4);
  EXPECT_EQ(Rows("SELECT lAutoID, ifnull(bIsIntoGz, 0) FROM PATempDataMx WHERE lAutoID >= 9"),
            (std::vector<std::string>{"9|1|", "10|0|", "11|1|", "12|1|", "13|1|"}));

  Run("UPDATE PATempDataMx SET lDeptID = 99 WHERE lAutoID = 10");
  const std::vector<std::string> before = Rows("SELECT count(*) FROM paoutdatamx");
  const PayrollIntake april = TakeWagesIntoPayroll(*host_, 202604);
  EXPECT_FALSE(april.done);
  EXPECT_NE(april.error.find("department 99 of document BG2026030001"), std::string::npos)
      << april.error;
  EXPECT_EQ(Rows("SELECT count(*) FROM paoutdatamx"), before);

  const PayrollIntake bad = TakeWagesIntoPayroll(*host_, 202600);
  EXPECT_FALSE(bad.done);
  EXPECT_NE(bad.error.find("202600"), std::string::npos);
  EXPECT_EQ(ParsePayrollPeriod("202612"), 202612);
  for (const char* text : {"20261", "2026-1", "202613", "202600", "１２３４５６", "+20261"}) {
    EXPECT_EQ(ParsePayrollPeriod(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace korvane::hostapp
