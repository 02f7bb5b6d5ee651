#include "workreport/sccjd_s.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workreport/work_report_test_fixture.h"

namespace korvane {
namespace {

using hostapp::demo::kWorkReportProgId;
using namespace workreport;

using test::Conditions;
using WorkReportTest = test::WorkReportFixture;

TEST(WorkReportRates, ARateIsMarkedAgainstAMissingStandardRateButNotAgainstItsOwnValue) {
  EXPECT_TRUE(RateDiffers("12", ""));
  EXPECT_TRUE(RateDiffers("", "0"));
  EXPECT_FALSE(RateDiffers("", ""));
  EXPECT_FALSE(RateDiffers("1.50", "1.5"));
  EXPECT_TRUE(RateDiffers("0", "0.01"));
}

TEST_F(WorkReportTest, WithoutAHostOrAfterClearNothingLoads) {
  EXPECT_FALSE(module_->Init(nullptr, kWorkReportProgId, 0));
  EXPECT_FALSE(module_->Refresh());
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  ASSERT_TRUE(module_->Clear());
  EXPECT_FALSE(module_->Refresh());
  EXPECT_EQ(Number(), "");
}

TEST_F(WorkReportTest, ALongReportGetsARowPerLineAndAFindKeepsATickedHeader) {
  // Report 4 has three lines; 105 more make it longer than the grid's hundred rows.
  Exec(
      "WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 204) "
      "INSERT INTO SFCDJMX (报工单明细ID, 报工单ID, 产品ID, 工艺ID, 合格数量, 工资金额, "
      "工资扣减金额) SELECT i, 4, 20, 1, 1, 1, 0 FROM n");
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(module_->GetID(), 4);
  // A line from a plan line shows the plan's finished product; line 11 has no source.
  EXPECT_EQ(Cell(1, kColFinishedProduct), "CP-LXB-80 单级离心泵 IS80-65-160");
  EXPECT_EQ(Cell(3, kColFinishedProduct), "");
  EXPECT_EQ(module_->grid().rows(), 1 + 3 + 105);
  EXPECT_EQ(Cell(108, kColLineId), "204");
  EXPECT_EQ(module_->quantity_total().caption(), "165.00");

  // With CHKK ticked a find without a match empties only the number and the lines.
  module_->keep_header().set_value(1);
  ASSERT_TRUE(module_->Find(Conditions({{"1", " 报工单编号=", "none"}})));
  EXPECT_EQ(Number(), "");
  EXPECT_EQ(Field(kFieldWorkshop).text(), "机加工车间");
  EXPECT_EQ(Field(kFieldDate).text(), "2026-03-16");
  EXPECT_EQ(Cell(1, kColProductCode), "");
  EXPECT_EQ(module_->grid().rows(), 1 + kMinimumDataRows);
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(WorkReportTest, EditNeedsAReportAndCancellingAGoneOneEmptiesTheForm) {
  ASSERT_TRUE(Open());
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->FileEdit());
  ASSERT_EQ(dialogs_->boxes().size(), 1u);
  EXPECT_EQ(dialogs_->boxes()[0].text, "没有可以修改的单据，不能编辑! ");
  EXPECT_EQ(dialogs_->boxes()[0].icon, MsgIcon::kInformation);

  // What an edit and its cancel do to the report shown is walked by the
  // cancel_layout_print_errors scenario.
  ASSERT_TRUE(module_->Refresh());
  // The report is gone meanwhile: cancelling empties the form.
  ASSERT_TRUE(module_->FileEdit());
  Exec("DELETE FROM SFCDJ WHERE 报工单ID=4");
  ASSERT_TRUE(module_->FileCancel());
  EXPECT_EQ(module_->GetID(), 0);
  EXPECT_EQ(Number(), "");
  EXPECT_TRUE(sink_.errors.empty());
}

}  // namespace
}  // namespace korvane
