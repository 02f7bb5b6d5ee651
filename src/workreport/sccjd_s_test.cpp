#include "workreport/sccjd_s.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using namespace std::chrono;
using hostapp::demo::kReworkReportProgId;
using hostapp::demo::kWorkReportProgId;
using namespace workreport;

using RecordingSink = test::RecordingDocumentEvents;

ConditionArray Conditions(const std::vector<std::vector<std::string>>& columns) {
  ConditionArray array(3, static_cast<int>(columns.size()));
  for (int c = 0; c < array.cols(); ++c) {
    for (int r = 0; r < 3; ++r) {
      array.at(r, c) = Variant(columns[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)]);
    }
  }
  return array;
}

class WorkReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = OpenHost();
    ASSERT_NE(host_, nullptr);
    module_ = Create();
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    for (auto& m : modules_) m->Unadvise(&sink_);
  }

  std::shared_ptr<hostapp::ReferenceHost> OpenHost() {
    return test::OpenClerkHost(db_.path(), user_folder_.path(), dialogs_);
  }

  // A module as a host creates it, listening to its events.
  SCCJD_S* Create() {
    std::shared_ptr<Object> object = ClassRegistry::Instance().Create("Korvane.SCCJD_S");
    auto module = std::dynamic_pointer_cast<SCCJD_S>(object);
    if (!module || !QueryInterface<IFormUI>(object) || !QueryInterface<IDesignUI>(object)) {
      return nullptr;
    }
    module->Advise(&sink_);
    modules_.push_back(module);
    return module.get();
  }

  void Exec(const std::string& sql) {
    std::string error;
    ASSERT_TRUE(host_->database().Native().Exec(sql, {}, error)) << sql << ": " << error;
  }

  bool Open(std::int32_t progid = kWorkReportProgId, std::int32_t id = 0) {
    return module_->Init(host_, progid, id);
  }

  std::string Cell(int row, int col) { return module_->grid().TextMatrix(row, col); }
  std::string Number() { return module_->field(kFieldNumber).text(); }
  std::string Position() { return module_->record_label().caption(); }

  test::DemoDatabase db_;
  test::TempFolder user_folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  RecordingSink sink_;
  std::vector<std::shared_ptr<SCCJD_S>> modules_;
  SCCJD_S* module_ = nullptr;
};

TEST(WorkReportRates, ARateIsMarkedAgainstAMissingStandardRateButNotAgainstItsOwnValue) {
  EXPECT_TRUE(RateDiffers("12", ""));
  EXPECT_TRUE(RateDiffers("", "0"));
  EXPECT_FALSE(RateDiffers("", ""));
  EXPECT_FALSE(RateDiffers("1.50", "1.5"));
  EXPECT_TRUE(RateDiffers("0", "0.01"));
}

TEST_F(WorkReportTest, InitSetsUpTheDocumentTypeFormAndGrid) {
  EXPECT_FALSE(module_->Init(nullptr, kWorkReportProgId, 0));
  EXPECT_FALSE(module_->Refresh());

  ASSERT_TRUE(Open());
  EXPECT_EQ(module_->form().caption(), "生产报工单");
  EXPECT_EQ(module_->source_progid(), hostapp::demo::kMasterPlanProgId);
  EXPECT_TRUE(module_->process_multi_select());
  EXPECT_FALSE(module_->quantity_control());
  EXPECT_EQ(module_->scroll_rate(), 3);

  SCCJD_S* rework = Create();
  ASSERT_TRUE(rework->Init(host_, kReworkReportProgId, 0));
  EXPECT_EQ(rework->form().caption(), "返工报工单");
  EXPECT_FALSE(rework->process_multi_select());
  EXPECT_TRUE(rework->quantity_control());

  controls::Grid& grid = module_->grid();
  EXPECT_EQ(grid.cols(), kColCount);
  EXPECT_EQ(grid.rows(), 1 + kMinimumDataRows);
  EXPECT_EQ(grid.TextMatrix(0, kColDate), "生产日期   ");
  EXPECT_EQ(grid.TextMatrix(0, kColBomQuantity), "Bom组成数量");
  EXPECT_EQ(grid.TextMatrix(0, kColLineId), " 报工单明细ID   ");
  EXPECT_EQ(grid.TextMatrix(0, kColStandardRate), "标准工资定额");
  EXPECT_EQ(module_->field(kFieldWorkshop).lookup().picker_type, "pdmbm");
  EXPECT_EQ(Position(), "记录：0/0");

  // Browsing: nothing can be typed into the form.
  EXPECT_FALSE(module_->field(kFieldRemarks).Type("x"));
  EXPECT_FALSE(grid.EditCell(1, kColProduced, "5"));

  // The wheel scrolls by the configured rate.
  module_->wheel().Turn(3);
  EXPECT_EQ(grid.top_row(), 6);

  auto colours = std::make_shared<BasicParameterSet>();
  colours->Set("backcolor", Variant(255));
  module_->SetParameters(colours);
  EXPECT_EQ(module_->form().back_color(), 255u);
  EXPECT_EQ(module_->GetParameters(), nullptr);
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(WorkReportTest, BrowsesUnapprovedReportsWithLinesEmployeesAndTotals) {
  Exec("UPDATE SFCDJ SET smark='01' WHERE 报工单ID=3");
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(sink_.refreshed, 1);
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(Number(), "BG2026030002");
  EXPECT_EQ(module_->field(kFieldWorkshop).text(), "机加工车间");
  EXPECT_EQ(module_->field(kFieldWorkshop).value().ToLong(), 3);
  EXPECT_EQ(module_->field(kFieldDate).text(), "2026-03-16");
  EXPECT_EQ(module_->field(kFieldPreparer).text(), "clerk");
  EXPECT_EQ(Position(), "记录：2/2");
  EXPECT_FALSE(module_->stamp().visible());
  EXPECT_FALSE(module_->CheckStatus(""));

  // Line 9: one employee; line 10: two, in allocation order, with their keys.
  EXPECT_EQ(Cell(1, kColProductCode), "JJ-BZ-01");
  EXPECT_EQ(module_->grid().CellKey(1, kColProductCode).ToLong(), 20);
  EXPECT_EQ(Cell(1, kColProcess), "粗车");
  EXPECT_EQ(Cell(1, kColDate), "2026-03-16");
  EXPECT_EQ(Cell(1, kColEmployees), "陈静");
  EXPECT_EQ(Cell(1, kColShares), "1");
  EXPECT_EQ(Cell(2, kColEmployees), "杨磊;陈静");
  EXPECT_EQ(Cell(2, kColShares), "0.6;0.4");
  EXPECT_EQ(module_->grid().CellKey(2, kColEmployees).ToText(), "6;5");
  EXPECT_EQ(module_->grid().CellKey(2, kColShares).ToText(), "15;16");
  EXPECT_EQ(Cell(1, kColFinishedProduct), "CP-LXB-80 单级离心泵 IS80-65-160");
  EXPECT_EQ(Cell(1, kColSourceType), "主生产计划");
  EXPECT_EQ(Cell(1, kColSourceNumber), "JH202603001");
  EXPECT_EQ(module_->grid().CellKey(1, kColSourceNumber).ToLong(), 7);
  EXPECT_EQ(Cell(2, kColLineId), "10");
  // Line 11 has no source: no finished product, no plan.
  EXPECT_EQ(Cell(3, kColFinishedProduct), "");
  EXPECT_EQ(Cell(3, kColActualWage), "32");
  EXPECT_EQ(Cell(4, kColProductCode), "");
  EXPECT_EQ(module_->grid().rows(), 1 + kMinimumDataRows);

  // Qualified 10 + 10 + 40; actual wages 10 + 30 + 32.
  EXPECT_EQ(module_->quantity_total().caption(), "60.00");
  EXPECT_EQ(module_->amount_total().caption(), "72.00");
  EXPECT_EQ(module_->amount_in_words().caption(), hostapp::ChineseCapitalAmount(72));

  // Both ends stay where they are; the rework report (another program) never appears.
  ASSERT_TRUE(module_->RecordNext());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(Position(), "记录：2/2");
  ASSERT_TRUE(module_->RecordTop());
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_EQ(Position(), "记录：1/2");
  EXPECT_EQ(Cell(1, kColProcess), "部件装配");
  EXPECT_EQ(Cell(4, kColProcess), "");
  ASSERT_TRUE(module_->RecordPrevious());
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_EQ(Position(), "记录：1/2");
  ASSERT_TRUE(module_->RecordNext());
  EXPECT_EQ(module_->GetID(), 4);
  ASSERT_TRUE(module_->RecordBottom());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_FALSE(module_->IsDirty());

  // A report longer than the grid's hundred rows gets one row per line.
  Exec(
      "WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 204) "
      "INSERT INTO SFCDJMX (报工单明细ID, 报工单ID, 产品ID, 工艺ID, 合格数量, 工资金额, "
      "工资扣减金额) SELECT i, 4, 20, 1, 1, 1, 0 FROM n");
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(module_->grid().rows(), 1 + 3 + 105);
  EXPECT_EQ(Cell(108, kColLineId), "204");
  EXPECT_EQ(module_->quantity_total().caption(), "165.00");
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(WorkReportTest, ApprovedViewWalksTheReportsOfTheAccountingWindow) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  ASSERT_EQ(module_->GetID(), 4);

  // "befmonth" 1 (the demo's): February and March; report 1 of January stays out.
  ASSERT_TRUE(module_->DoSetStatus("", true));
  EXPECT_EQ(sink_.messages, (std::vector<std::string>{"数据正在切换状态", ""}));
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_TRUE(module_->CheckStatus(""));
  EXPECT_EQ(Position(), "记录：2/2");
  ASSERT_TRUE(module_->RecordTop());
  EXPECT_EQ(module_->GetID(), 2);
  EXPECT_EQ(module_->field(kFieldApprover).text(), "admin");
  EXPECT_EQ(module_->field(kFieldApprovedOn).text(), "2026-02-11");

  // "befmonth" 0: exactly the current period (2026-02-26 to 2026-03-25).
  Exec("UPDATE xt_accinformation SET item_value='0' WHERE item_code='befmonth'");
  ASSERT_TRUE(module_->DoSetStatus("", true));
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_EQ(Position(), "记录：1/1");
  ASSERT_TRUE(module_->RecordTop());
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_FALSE(module_->form().busy());

  // Back to the unapproved reports.
  ASSERT_TRUE(module_->DoSetStatus("", false));
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_FALSE(module_->CheckStatus(""));
}

TEST_F(WorkReportTest, ClosingDayBeyondTheMonthEndsTheWindowOnTheMonthsLastDay) {
  // Period April 2026 closing on the 31st: the window runs 2026-03-31 to 2026-04-30.
  Exec("UPDATE xt_module_period SET period=202604, closing_day=31 WHERE module_code='SFC'");
  Exec("UPDATE xt_accinformation SET item_value='0' WHERE item_code='befmonth'");
  Exec("UPDATE SFCDJ SET 生产日期='2026-04-30' WHERE 报工单ID=1");
  Exec("UPDATE SFCDJ SET 生产日期='2026-03-31' WHERE 报工单ID=2");
  Exec("UPDATE SFCDJ SET 生产日期='2026-03-30' WHERE 报工单ID=3");
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->DoSetStatus("", true));
  EXPECT_EQ(module_->GetID(), 2);
  EXPECT_EQ(Position(), "记录：2/2");
  ASSERT_TRUE(module_->RecordTop());
  EXPECT_EQ(module_->GetID(), 1);
  EXPECT_EQ(module_->field(kFieldDate).text(), "2026-04-30");
}

TEST_F(WorkReportTest, RequestedDocumentKeepsNavigationOnIt) {
  ASSERT_TRUE(Open(kWorkReportProgId, 2));
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(module_->GetID(), 2);
  EXPECT_TRUE(module_->CheckStatus(""));  // an approved report
  EXPECT_EQ(Position(), "记录：1/1");
  for (auto move : {&SCCJD_S::RecordTop, &SCCJD_S::RecordNext, &SCCJD_S::RecordPrevious,
                    &SCCJD_S::RecordBottom}) {
    ASSERT_TRUE((module_->*move)());
    EXPECT_EQ(module_->GetID(), 2);
    EXPECT_EQ(Number(), "BG2026020001");
  }
  // Line 4 kept its deduction: 120 - 5.
  EXPECT_EQ(Cell(2, kColDeduction), "5");
  EXPECT_EQ(Cell(2, kColActualWage), "115");
}

TEST_F(WorkReportTest, FindAndFindNextWalkTheMatches) {
  Exec("UPDATE SFCDJ SET smark='01' WHERE 报工单ID IN (1, 3)");
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());

  ASSERT_TRUE(module_->Find(Conditions({{"1", " 报工单编号 like", "202603"}})));
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_EQ(Number(), "BG2026030001");
  ASSERT_TRUE(module_->FindNext());
  EXPECT_EQ(module_->GetID(), 4);
  // Nothing further: the report on screen stays.
  ASSERT_TRUE(module_->FindNext());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(Number(), "BG2026030002");
  EXPECT_EQ(Cell(1, kColProductCode), "JJ-BZ-01");

  ASSERT_TRUE(module_->Find(Conditions({{"1", " 报工单编号=", "BG2026010001"}})));
  EXPECT_EQ(module_->GetID(), 1);
  EXPECT_EQ(module_->field(kFieldRemarks).text(), "阀门零件加工");

  // No match empties the form; a quote in the value is only text.
  ASSERT_TRUE(module_->Find(Conditions({{"1", " 备注 like", "O'Neil"}})));
  EXPECT_EQ(module_->GetID(), 0);
  EXPECT_EQ(Number(), "");
  EXPECT_EQ(module_->field(kFieldWorkshop).value(), Variant());
  EXPECT_EQ(Cell(1, kColProductCode), "");
  EXPECT_EQ(Position(), "记录：0/0");
  EXPECT_EQ(module_->quantity_total().caption(), "0.00");
  EXPECT_FALSE(module_->Find(ConditionArray()));

  // With CHKK ticked only the number is emptied.
  ASSERT_TRUE(module_->Find(Conditions({{"1", " 报工单编号=", "BG2026030002"}})));
  module_->keep_header().set_value(1);
  ASSERT_TRUE(module_->Find(Conditions({{"1", " 报工单编号=", "none"}})));
  EXPECT_EQ(Number(), "");
  EXPECT_EQ(module_->field(kFieldWorkshop).text(), "机加工车间");
  EXPECT_EQ(module_->field(kFieldDate).text(), "2026-03-16");
  EXPECT_EQ(Cell(1, kColProductCode), "");
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(WorkReportTest, FilterCombinesWithTheBaseConditionUntilCleared) {
  Exec("UPDATE SFCDJ SET smark='01' WHERE 报工单ID=3");
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  EXPECT_FALSE(module_->filter_label().visible());

  ASSERT_TRUE(module_->Filter(Conditions({{"1", " 备注 like", "装配"}})));
  EXPECT_TRUE(module_->filter_label().visible());
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_EQ(Position(), "记录：1/1");

  // Reports 1 and 2 mention 加工 but are approved; the rework report is another program.
  ASSERT_TRUE(module_->Filter(Conditions({{"1", " 备注 like", "加工"}})));
  EXPECT_EQ(module_->GetID(), 0);
  ASSERT_TRUE(module_->Filter(Conditions({{"1", " 备注 like", "返工"}})));
  EXPECT_EQ(module_->GetID(), 0);
  EXPECT_TRUE(module_->filter_label().visible());

  ASSERT_TRUE(module_->Filter(Conditions({{"", " 备注 like", "返工"}})));
  EXPECT_FALSE(module_->filter_label().visible());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(Position(), "记录：2/2");
}

TEST_F(WorkReportTest, NotePictureMarksRatesThatAreNotTheStandardRate) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  // Line 9 was paid 1 where the standard is 1.2; line 10 at the standard 3.
  EXPECT_EQ(Cell(1, kColRate), "1");
  EXPECT_EQ(Cell(1, kColStandardRate), "1.2");
  EXPECT_EQ(module_->grid().CellPicture(1, kColStandardRate), kNotePicture);
  EXPECT_EQ(Cell(2, kColStandardRate), "3");
  EXPECT_EQ(module_->grid().CellPicture(2, kColStandardRate), "");
  EXPECT_EQ(module_->grid().CellPicture(3, kColStandardRate), "");

  Exec("UPDATE pagzde SET 单位工资=3.3 WHERE 产品ID=21 AND 工序ID=2 AND 工作中心ID=0 AND 品质=''");
  Exec("UPDATE pagzde SET 单位工资=1 WHERE 产品ID=20 AND 工序ID=1 AND 工作中心ID=0 AND 品质=''");
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(Cell(2, kColStandardRate), "3.3");
  EXPECT_EQ(module_->grid().CellPicture(2, kColStandardRate), kNotePicture);
  EXPECT_EQ(module_->grid().CellPicture(1, kColStandardRate), "");
  // The picture goes with a report: an empty row shows none.
  EXPECT_EQ(module_->grid().CellPicture(5, kColStandardRate), "");
}

TEST_F(WorkReportTest, StructureQuantityNeedsAValidApprovedStandardStructure) {
  ASSERT_TRUE(Open(kWorkReportProgId, 3));
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(Cell(1, kColBomId), "13");
  EXPECT_EQ(Cell(1, kColBomQuantity), "60");
  EXPECT_EQ(Cell(1, kColFinishedBatch), "P2603-01");

  // The newest structure of the pump withdrawn; the older one is invalid.
  Exec("UPDATE PDMBOM SET smark='01' WHERE bomID=13");
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(module_->GetID(), 3);
  EXPECT_EQ(Cell(1, kColBomId), "");
  EXPECT_EQ(Cell(1, kColBomQuantity), "");
  EXPECT_EQ(Cell(1, kColProductCode), "ZJ-ZZ-01");
}

TEST_F(WorkReportTest, EditAndCancelReturnToTheReportShownBefore) {
  ASSERT_TRUE(Open());
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->FileEdit());
  ASSERT_EQ(dialogs_->boxes().size(), 1u);
  EXPECT_EQ(dialogs_->boxes()[0].text, "没有可以修改的单据，不能编辑! ");
  EXPECT_EQ(dialogs_->boxes()[0].icon, MsgIcon::kInformation);

  ASSERT_TRUE(module_->Refresh());
  ASSERT_TRUE(module_->FileEdit());
  EXPECT_EQ(module_->mode(), SCCJD_S::Mode::kEditing);
  EXPECT_TRUE(module_->field(kFieldRemarks).enabled());
  EXPECT_FALSE(module_->field(kFieldApprover).enabled());
  EXPECT_FALSE(module_->field(kFieldPreparedOn).enabled());
  ASSERT_TRUE(module_->field(kFieldRemarks).Type("改过的备注"));
  ASSERT_TRUE(module_->grid().EditCell(1, kColRemarks, "x"));
  EXPECT_TRUE(module_->IsDirty());

  sink_.messages.clear();
  ASSERT_TRUE(module_->FileCancel());
  EXPECT_EQ(sink_.messages, std::vector<std::string>{""});
  EXPECT_EQ(module_->mode(), SCCJD_S::Mode::kBrowsing);
  EXPECT_FALSE(module_->IsDirty());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(module_->field(kFieldRemarks).text(), "");
  EXPECT_EQ(Cell(1, kColRemarks), "试用普通车床");
  EXPECT_FALSE(module_->field(kFieldRemarks).enabled());

  // The report is gone meanwhile: cancelling empties the form.
  ASSERT_TRUE(module_->FileEdit());
  Exec("DELETE FROM SFCDJ WHERE 报工单ID=4");
  ASSERT_TRUE(module_->FileCancel());
  EXPECT_EQ(module_->GetID(), 0);
  EXPECT_EQ(Number(), "");
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(WorkReportTest, ColumnWidthsSurviveInTheUsersSettingsFile) {
  ASSERT_TRUE(Open());
  module_->grid().SetColWidth(kColBatch, 1234);
  module_->grid().SetColWidth(kColLineId, 0);
  ASSERT_TRUE(module_->DoSaveFormStatus());
  EXPECT_TRUE(std::filesystem::exists(user_folder_ / "selfbb/2101SCCJD_S.txt"));

  SCCJD_S* again = Create();
  ASSERT_TRUE(again->Init(host_, kWorkReportProgId, 0));
  const double designed = again->grid().ColWidth(kColBatch);
  ASSERT_NE(designed, 1234);
  ASSERT_TRUE(again->DoGetFormStatus());
  EXPECT_EQ(again->grid().ColWidth(kColBatch), 1234);
  EXPECT_EQ(again->grid().ColWidth(kColLineId), 0);

  // Another document type keeps its own widths.
  SCCJD_S* rework = Create();
  ASSERT_TRUE(rework->Init(host_, kReworkReportProgId, 0));
  ASSERT_TRUE(rework->DoGetFormStatus());
  EXPECT_EQ(rework->grid().ColWidth(kColBatch), designed);
}

TEST_F(WorkReportTest, PrintWritesTheShownReportAndNamesTheFile) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(module_->ReturnPrintName(), "");
  ASSERT_TRUE(module_->Refresh());
  ASSERT_TRUE(module_->DoPrint());
  const std::string path = module_->ReturnPrintName();
  EXPECT_EQ(std::filesystem::path(path),
            std::filesystem::path(user_folder_ / "selfPrint/2101.txt"));
  const std::string content = test::ReadFileBytes(path);
  for (const char* expected : {"BG2026030002", "机加工车间", "\"数量合计\"", "\"60.00\"",
                               "\"72.00\"", "试用普通车床", "报工单编号"}) {
    EXPECT_NE(content.find(expected), std::string::npos) << expected;
  }
  ASSERT_TRUE(module_->RecordTop());
  ASSERT_TRUE(module_->PrintPreview());
  EXPECT_EQ(module_->ReturnPrintName(), path);
  EXPECT_NE(test::ReadFileBytes(path).find("BG2026030002"), std::string::npos);
  ASSERT_TRUE(module_->PrintSetup());
}

TEST_F(WorkReportTest, DatabaseErrorsReachTheHostAndLeaveTheModuleUsable) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  const std::string title = host_->ApplicationTitle();

  host_->database().InjectFailures([](std::string_view sql) {
    return sql.find("sfcdjmxfs") != std::string_view::npos ||
           sql.find("SFCDJMXFS") != std::string_view::npos;
  });
  EXPECT_FALSE(module_->RecordTop());
  ASSERT_EQ(sink_.errors.size(), 1u);
  EXPECT_EQ(sink_.errors[0].text.rfind("SCCJD_S-->LoadData::", 0), 0u) << sink_.errors[0].text;
  EXPECT_NE(sink_.errors[0].text.find("injected failure"), std::string::npos);
  EXPECT_EQ(sink_.errors[0].level, LogLevel::kError);
  EXPECT_EQ(sink_.errors[0].title, title);

  // The header statement itself fails: the navigator's text comes through the same way.
  host_->database().InjectFailures([](std::string_view) { return true; });
  EXPECT_FALSE(module_->Refresh());
  ASSERT_EQ(sink_.errors.size(), 2u);
  EXPECT_EQ(sink_.errors[1].text.rfind("SCCJD_S-->LoadData::", 0), 0u) << sink_.errors[1].text;
  EXPECT_FALSE(module_->Find(Conditions({{"1", " 制单=", "clerk"}})));
  ASSERT_EQ(sink_.errors.size(), 3u);
  EXPECT_EQ(sink_.errors[2].text.rfind("SCCJD_S-->FindData::", 0), 0u) << sink_.errors[2].text;
  EXPECT_EQ(sink_.errors[2].level, LogLevel::kError);

  host_->database().InjectFailures({});
  ASSERT_TRUE(module_->Refresh());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(Cell(2, kColEmployees), "杨磊;陈静");
  EXPECT_EQ(sink_.errors.size(), 3u);
}

TEST_F(WorkReportTest, ClearDropsTheHost) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(module_->Refresh());
  EXPECT_FALSE(module_->FileNewNext());
  ASSERT_TRUE(module_->Clear());
  EXPECT_FALSE(module_->Refresh());
  EXPECT_EQ(Number(), "");
}

}  // namespace
}  // namespace korvane
