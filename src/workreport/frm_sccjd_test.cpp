// The source selection dialog over the demo factory: which approved lines each kind of source
// offers, the filters, the search, ticking, the hand-back and the kept settings.
#include "workreport/frm_sccjd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "data/sqlite_data_service.h"
#include "host/test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"

namespace korvane {
namespace {

using namespace workreport::sccjd;

constexpr std::int32_t kProgId = 6301;

class FrmSccjdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_);
    dialog_ = std::make_unique<frmSccjd>();
    dialog_->EvReturn.Connect([this](const std::vector<clsScRk>& records) {
      ++returns_;
      returned_ = records;
    });
  }

  std::vector<std::string> Column(int col) {
    std::vector<std::string> out;
    controls::Grid& g = dialog_->grid();
    for (int r = g.fixed_rows(); r < g.rows(); ++r) out.push_back(g.TextMatrix(r, col));
    return out;
  }
  int RowOfLine(const std::string& line_id) {
    const std::vector<std::string> lines = Column(kColLineId);
    const auto it = std::find(lines.begin(), lines.end(), line_id);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin()) + 1;
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::unique_ptr<frmSccjd> dialog_;
  int returns_ = 0;
  std::vector<clsScRk> returned_;
};

TEST(SourceSearch, PercentStandsForAnyRunAndCaseIsIgnored) {
  EXPECT_TRUE(SearchMatches("JH202603001", "2603"));
  EXPECT_TRUE(SearchMatches("JH202603001", "jh%001"));
  EXPECT_FALSE(SearchMatches("JH202603001", "jh%002"));
  EXPECT_TRUE(SearchMatches("单级离心泵", "单级%泵"));
  EXPECT_TRUE(SearchMatches("", ""));
  EXPECT_FALSE(SearchMatches("", "a"));
}

TEST(SourceQueryText, FiltersAreQuotedAndTheLimitComesFirst) {
  SourceFilter filter;
  filter.row_limit = 50;
  filter.number_from = "JH'; delete from mrpplan --";
  filter.date_to = "2026-03-31";
  const std::string sql = SourceQuery(Source::kPlan, filter);
  EXPECT_TRUE(sql.starts_with("SELECT TOP 50 单据编号 as 计划编号,")) << sql;
  EXPECT_NE(sql.find(" and 单据编号>='JH''; delete from mrpplan --'"), std::string::npos) << sql;
  EXPECT_NE(sql.find(" and 计划日期<='2026-03-31' ORDER by 单据编号 desc"), std::string::npos);
  EXPECT_EQ(sql.find("单据编号<="), std::string::npos);
  EXPECT_NE(SourceQuery(Source::kSalesOrder, {}).find(" from copdj A left join copdjmx B"),
            std::string::npos);
}

TEST_F(FrmSccjdTest, PlansOfferEveryApprovedOrdinaryLineNewestNumberFirst) {
  ASSERT_TRUE(dialog_->py_SubProgram(host_, kProgId, 0));
  EXPECT_EQ(dialogs_->shown_forms.size(), 1u);
  // Plan 4 is not approved, plan 5 is a forecast, plan 6 is closed by its sign.
  std::vector<std::string> lines = Column(kColLineId);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
  const std::vector<std::string> numbers = Column(kColNumber);
  EXPECT_TRUE(std::is_sorted(numbers.rbegin(), numbers.rend()));
  EXPECT_EQ(numbers.front(), "JH202603001");
  const int r = RowOfLine("3");
  ASSERT_GT(r, 0);
  controls::Grid& g = dialog_->grid();
  // Batch, quantity and kind of source reach the report in the source_lines scenario.
  EXPECT_EQ(g.TextMatrix(r, kColDate), "2026-02-05");
  EXPECT_EQ(g.TextMatrix(r, kColProductId), "33");
  EXPECT_EQ(g.TextMatrix(r, kColDocumentId), "3");

  dialog_->row_limit_box().set_text("2");
  ASSERT_TRUE(dialog_->LoadSources());
  EXPECT_EQ(Column(kColNumber), (std::vector<std::string>{"JH202603001", "JH202603001"}));

  dialog_->row_limit_box().set_text("");
  dialog_->number_from_box().set_text("JH202602001");
  dialog_->date_to_box().set_text("2026-02-28");
  ASSERT_TRUE(dialog_->LoadSources());
  EXPECT_EQ(Column(kColNumber), (std::vector<std::string>(3, "JH202602001")));
}

TEST_F(FrmSccjdTest, WorkOrdersAndSalesOrdersListTheirApprovedLines) {
  ASSERT_TRUE(dialog_->py_SubProgram(host_, kProgId, 0));
  ASSERT_TRUE(dialog_->option(Source::kWorkOrder).Click());
  EXPECT_EQ(Column(kColNumber), (std::vector<std::string>{"GD202603002", "GD202603001"}));
  EXPECT_EQ(Column(kColBatch), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(Column(kColQuantity), (std::vector<std::string>{"10", "30"}));
  EXPECT_EQ(Column(kColDocumentId), Column(kColLineId));

  ASSERT_TRUE(dialog_->option(Source::kSalesOrder).Click());
  std::vector<std::string> lines = Column(kColLineId);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(Column(kColDocumentId), (std::vector<std::string>(3, "1")));
  EXPECT_EQ(Column(kColProgId), (std::vector<std::string>(3, "3301")));
}

TEST_F(FrmSccjdTest, OnlyTickedRowsTheSearchLeavesVisibleAreHandedBack) {
  ASSERT_TRUE(dialog_->py_SubProgram(host_, kProgId, 0));
  controls::Grid& g = dialog_->grid();
  dialog_->command(1).Click();  // tick all
  dialog_->search_switch().Click();
  dialog_->search_box().Type("p2603%");
  int visible = 0;
  for (int r = g.fixed_rows(); r < g.rows(); ++r) visible += g.RowHidden(r) ? 0 : 1;
  EXPECT_EQ(visible, 2);
  // Enter on a visible row takes its tick away again.
  g.Select(RowOfLine("7"), kColNumber);
  int key = controls::keys::kReturn;
  g.key_down(key, 0);
  ASSERT_TRUE(dialog_->command(3).Click());

  EXPECT_EQ(returns_, 1);
  EXPECT_TRUE(dialogs_->shown_forms.empty());  // closed
  // What the line carries onto the report is checked there by the source_lines scenario.
  ASSERT_EQ(returned_.size(), 1u);
  EXPECT_EQ(returned_[0].Key(), "6k");
  EXPECT_EQ(returned_[0].product_code, g.TextMatrix(RowOfLine("6"), kColProductCode));
}

TEST_F(FrmSccjdTest, ANewListingForgetsTheTicksBefore) {
  ASSERT_TRUE(dialog_->py_SubProgram(host_, kProgId, 0));
  dialog_->ToggleRow(RowOfLine("6"));
  ASSERT_TRUE(dialog_->option(Source::kSalesOrder).Click());
  dialog_->ToggleRow(RowOfLine("2"));
  ASSERT_EQ(dialog_->ChosenRecords().size(), 1u);
  EXPECT_EQ(dialog_->ChosenRecords()[0].progid, 3301);
}

TEST_F(FrmSccjdTest, SettingsAreKeptPerProgramAndModeOneOffersPlansOnly) {
  ASSERT_TRUE(dialog_->py_SubProgram(host_, kProgId, 0));
  ASSERT_TRUE(dialog_->option(Source::kSalesOrder).Click());
  dialog_->row_limit_box().set_text("50");
  dialog_->Cancel();
  EXPECT_EQ(returns_, 0);

  frmSccjd again;
  ASSERT_TRUE(again.py_SubProgram(host_, kProgId, 0));
  EXPECT_TRUE(again.option(Source::kSalesOrder).value());
  EXPECT_EQ(again.row_limit_box().text(), "50");
  again.Cancel();

  frmSccjd plans_only;
  ASSERT_TRUE(plans_only.py_SubProgram(host_, kProgId, 1));
  EXPECT_TRUE(plans_only.option(Source::kPlan).value());
  EXPECT_FALSE(plans_only.option(Source::kWorkOrder).visible());
  EXPECT_EQ(plans_only.grid().TextMatrix(1, kColNumber), "JH202603001");
  plans_only.Cancel();
}

TEST_F(FrmSccjdTest, BadInputAndDatabaseErrorsAreTold) {
  ASSERT_TRUE(dialog_->py_SubProgram(host_, kProgId, 0));
  dialog_->row_limit_box().set_text("5x");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(dialog_->LoadSources());
  ASSERT_EQ(dialogs_->boxes().size(), 1u);

  dialog_->row_limit_box().set_text("");
  host_->database().InjectFailures(
      [](std::string_view sql) { return sql.find("copdjmx") != std::string_view::npos; });
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  dialog_->option(Source::kSalesOrder).Click();
  ASSERT_EQ(dialogs_->boxes().size(), 2u);
  EXPECT_TRUE(dialogs_->boxes()[1].text.starts_with("frmSccjd->LoadData2:"))
      << dialogs_->boxes()[1].text;
  EXPECT_EQ(dialogs_->boxes()[1].icon, MsgIcon::kCritical);

  dialogs_->QueueAnswer(MsgAnswer::kOk);
  dialog_->Command(7);
  EXPECT_EQ(dialogs_->boxes().back().text, "未处理的功能");
}

TEST_F(FrmSccjdTest, WithoutAHostNothingIsShown) {
  EXPECT_FALSE(dialog_->py_SubProgram(nullptr, kProgId, 0));
  EXPECT_FALSE(dialog_->Confirm());
  EXPECT_TRUE(dialogs_->shown_forms.empty());
}

}  // namespace
}  // namespace korvane
