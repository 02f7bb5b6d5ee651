#include "document/conditions.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/test_support.h"

namespace korvane::document {
namespace {

using test::Conditions;

TEST(DocumentConditions, ConditionArraysBecomeEscapedConditionTexts) {
  EXPECT_EQ(ConditionText(ConditionArray()), std::nullopt);
  // " and " joins; the first four characters go, so the text begins with a blank.
  EXPECT_EQ(*ConditionText(Conditions({{"1", "备注 like", "O'Neil"}})), " 备注 like'%O''Neil%'");
  // Uncounted columns are skipped; the operator and its blanks are the host's. Only a row whose
  // very last four characters are "like" gets the pattern: a blank after it, or another case,
  // leaves the value as it is.
  EXPECT_EQ(*ConditionText(Conditions({{"", "制单 =", "x"},
                                       {"1", "报工单编号=", "BG1"},
                                       {"1", " 制单 like ", "a"},
                                       {"1", " 制单 LIKE", "b"},
                                       {"1", "规格like", "c"}})),
            " 报工单编号='BG1' and  制单 like 'a' and  制单 LIKE'b' and 规格like'%c%'");
  EXPECT_EQ(*ConditionText(Conditions({{"", "制单 =", "x"}})), "");
}

TEST(DocumentConditions, ApprovedWindowSpansOneClosingDayToTheNext) {
  const auto window = [](int period, int day, int before) {
    const DateWindow w = ApprovedDateWindow(period, day, before);
    return w.start + ".." + w.end;
  };
  EXPECT_EQ(window(202603, 25, 0), "2026-02-26..2026-03-25");
  EXPECT_EQ(window(202603, 25, 1), "2026-01-26..2026-03-25");
  EXPECT_EQ(window(202601, 25, 1), "2025-11-26..2026-01-25");
  // Days a month lacks move back to its last day before the month is taken off.
  EXPECT_EQ(window(202603, 31, 0), "2026-03-01..2026-03-31");
  EXPECT_EQ(window(202604, 31, 0), "2026-03-31..2026-04-30");
  EXPECT_EQ(window(202403, 30, 0), "2024-03-01..2024-03-30");
}

TEST(DocumentConditions, FilterJoinsOnEitherSideAndTheWindowRefusesAPeriodItCannotUse) {
  EXPECT_EQ(JoinFilter("progid=1", "", FilterJoin::kFilterFirst), "progid=1");
  EXPECT_EQ(JoinFilter("progid=1", " a='x'", FilterJoin::kFilterFirst), " a='x' AND progid=1");
  EXPECT_EQ(JoinFilter("progid=1", " a='x'", FilterJoin::kBaseFirst), "progid=1 AND  a='x'");
  EXPECT_EQ(FindNextCondition(" a='x'", "主计划组ID", 7), " a='x' AND 主计划组ID > 7");

  test::FakeHostContext host;
  EXPECT_THROW(ApprovedWindowCondition(host, "MPS", "计划日期"), std::runtime_error);
  host.periods["MPS"] = {202613, 25};
  EXPECT_THROW(ApprovedWindowCondition(host, "MPS", "计划日期"), std::runtime_error);
  host.periods["MPS"] = {202603, 25};
  host.settings["befmonth"] = "1";
  EXPECT_EQ(ApprovedWindowCondition(host, "MPS", "计划日期"),
            " and 计划日期<='2026-03-25' and 计划日期>='2026-01-26'");
}

}  // namespace
}  // namespace korvane::document
