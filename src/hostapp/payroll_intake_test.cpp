// The payroll intake against the demo factory: every statement failing in turn leaves the
// intake and payroll tables and the keys as they were.
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

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<ReferenceHost> host_;
};

TEST_F(PayrollIntakeTest, EveryStatementFailingInTurnTakesNothing) {
  std::vector<std::string> errors;
  const auto state = [this] {
    std::vector<std::string> rows;
    for (const char* table : {"PATempDataMx", "paoutdatamx", "xt_key"}) {
      for (std::string& row : Rows(std::string("SELECT * FROM ") + table)) {
        rows.push_back(table + ("|" + row));
      }
    }
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
}

}  // namespace
}  // namespace korvane::hostapp
