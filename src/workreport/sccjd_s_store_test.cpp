// Storing, deleting and approving work reports against the demo factory's database.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hostapp/fault_loop_test_support.h"
#include "hostapp/process_test_support.h"
#include "workreport/work_report_test_fixture.h"

namespace korvane {
namespace {

using hostapp::demo::kReworkReportProgId;
using hostapp::demo::kWorkReportProgId;
using namespace workreport;

// Text that would end a literal, a statement or start a comment if it reached SQL raw.
constexpr const char* kTricky = "O'Brien's \"lot\"; --";

// One line as a clerk would have filled it; the wage columns follow from quantity and rate.
struct LineInput {
  std::string date = "2026-03-20";
  int product = 20;
  std::string code = "JJ-BZ-01";
  int process = 1;
  std::string process_name = "粗车";
  std::string qualified = "10";
  std::string rate = "1";
  std::string deduction;
  std::string employee_ids = "5";
  std::string employee_names = "陈静";
  std::string shares = "1";
  std::string plan_number;
  std::string batch;
  std::string remarks;
  int source_type = 0;
  int plan_line = 0;
  std::string demand;
  std::string bom_id;
};

// Puts a line into a report's grid as the person would have entered it.
void FillLine(controls::Grid& grid, int row, const LineInput& in) {
  grid.SetTextMatrix(row, kColDate, in.date);
  grid.SetTextMatrix(row, kColProductCode, in.code);
  grid.SetCellKey(row, kColProductCode, Variant(in.product));
  grid.SetTextMatrix(row, kColProcess, in.process_name);
  grid.SetCellKey(row, kColProcess, in.process ? Variant(in.process) : Variant());
  grid.SetTextMatrix(row, kColProduced, in.qualified);
  grid.SetTextMatrix(row, kColQualified, in.qualified);
  grid.SetTextMatrix(row, kColRate, in.rate);
  grid.SetTextMatrix(row, kColStandardRate, in.rate);
  grid.SetTextMatrix(row, kColDeduction, in.deduction);
  const double wage = NumericValue(in.qualified) * NumericValue(in.rate);
  grid.SetTextMatrix(row, kColWage, FormatNumber(wage));
  grid.SetTextMatrix(row, kColActualWage, FormatNumber(wage - NumericValue(in.deduction)));
  grid.SetTextMatrix(row, kColEmployees, in.employee_names);
  grid.SetCellKey(row, kColEmployees,
                  in.employee_ids.empty() ? Variant() : Variant(in.employee_ids));
  grid.SetTextMatrix(row, kColShares, in.shares);
  grid.SetTextMatrix(row, kColPlanNumber, in.plan_number);
  grid.SetTextMatrix(row, kColBatch, in.batch);
  grid.SetTextMatrix(row, kColRemarks, in.remarks);
  grid.SetTextMatrix(row, kColFinishedQuantity, in.demand);
  grid.SetTextMatrix(row, kColBomId, in.bom_id);
  grid.SetTextMatrix(row, kColSourceType, in.source_type ? "主生产计划" : "");
  grid.SetCellKey(row, kColSourceType, Variant(in.source_type));
  grid.SetTextMatrix(row, kColSourceNumber, in.plan_line ? in.plan_number : "");
  grid.SetCellKey(row, kColSourceNumber, Variant(in.plan_line));
}

// The tables a save, delete or approval may touch, with every column of every row.
const std::vector<std::string> kWrittenTables = {"SFCDJ",        "SFCDJMX", "SFCDJMXFS",
                                                 "PATempDataMx", "xt_key",  "xt_document_number"};

class StoreTest : public test::WorkReportFixture {
 protected:
  std::map<std::string, std::vector<std::string>> Contents() {
    std::map<std::string, std::vector<std::string>> contents;
    for (const std::string& table : kWrittenTables) {
      contents[table] = Query("SELECT * FROM " + table + " ORDER BY 1, 2");
    }
    return contents;
  }
  // Opens the module on its program and shows the last report.
  bool Show(std::int32_t progid = kWorkReportProgId) { return Open(progid) && module_->Refresh(); }

  void SetWorkshop(int id, const std::string& name) {
    Field(kFieldWorkshop).set_text(name);
    Field(kFieldWorkshop).set_value(Variant(id));
  }
  void SetLine(int row, const LineInput& in) { FillLine(module_->grid(), row, in); }
  // A new report of the machining workshop, ready to be saved but for its lines.
  void NewReport(std::int32_t progid = kWorkReportProgId) {
    ASSERT_TRUE(Show(progid));
    ASSERT_TRUE(module_->FileNew());
    SetWorkshop(3, "机加工车间");
  }
  // What the person entered: every header field and every cell with its key.
  std::vector<std::string> FormState() {
    std::vector<std::string> state{std::to_string(module_->GetID()),
                                   std::to_string(static_cast<int>(module_->mode())),
                                   module_->grid().editable() ? "unlocked" : "locked"};
    for (int i = 0; i < kFieldCount; ++i) {
      state.push_back(Field(i).text() + "=" + Field(i).value().ToText());
    }
    const controls::Grid& grid = module_->grid();
    state.push_back(std::to_string(grid.rows()));
    for (int r = 0; r < grid.rows(); ++r) {
      for (int c = 0; c < grid.cols(); ++c) {
        state.push_back(grid.TextMatrix(r, c) + "=" + grid.CellKey(r, c).ToText());
      }
    }
    return state;
  }
  // The module raised `count` errors so far, the last with this text and level, titled by
  // the module.
  void ExpectError(std::size_t count, const std::string& text, LogLevel level) {
    ASSERT_EQ(sink_.errors.size(), count);
    EXPECT_EQ(sink_.errors.back().text, text);
    EXPECT_EQ(sink_.errors.back().level, level);
    EXPECT_EQ(sink_.errors.back().title, "SCCJD_S");
  }
};

// --- New, edit, save ----------------------------------------------------------------------------

TEST_F(StoreTest, NewReportIsStoredWithItsLinesAndSharesAndShownBack) {
  NewReport();
  Field(kFieldNumber).set_text(kTricky);
  Field(kFieldRemarks).set_text(kTricky);
  LineInput first;
  first.qualified = "12.5";
  first.rate = "0.8";
  first.employee_ids = "5;6";
  first.employee_names = "陈静;杨磊";
  first.shares = "0.6;0.4";
  first.batch = kTricky;
  first.remarks = kTricky;
  first.plan_number = "JH202603001";
  first.source_type = hostapp::demo::kMasterPlanProgId;
  first.plan_line = 7;
  SetLine(1, first);
  // The wage is taken from quantity and rate, whatever the cell says.
  module_->grid().SetTextMatrix(1, kColWage, "");
  LineInput second;
  second.product = 25;
  second.code = "JJ-FG-01";
  second.qualified = "4";
  second.rate = "2.5";
  second.deduction = "1.5";
  second.employee_ids = "2";
  second.employee_names = "王芳";
  SetLine(3, second);  // a gap of one empty row

  ASSERT_TRUE(module_->FileSave()) << (sink_.errors.empty() ? "" : sink_.errors.back().text);
  EXPECT_EQ(sink_.messages.back(), std::string("保存数据成功！编号：") + kTricky);
  const std::string id = std::to_string(module_->GetID());
  EXPECT_EQ(One("SELECT 报工单ID FROM SFCDJ WHERE 报工单编号 = 'O''Brien''s \"lot\"; --'"), id);
  EXPECT_EQ(One("SELECT progID, 工作中心ID, 备注, 生产日期, 制单, 制单日期, 审核, smark, 审核日期 "
                "FROM SFCDJ WHERE 报工单ID = " +
                id),
            std::string("2101|3|") + kTricky + "|2026-03-20|admin|2026-03-20||01|");
  const auto lines = Query(
      "SELECT 报工单明细ID, 生产日期, 产品ID, 工艺ID, 工资定额系数, 工资金额, 工资扣减金额, "
      "合格数量, 生产数量, 前置单据, 前置单据ID, 原单号, 班次, 备注 FROM SFCDJMX "
      "WHERE 报工单ID = " +
      id + " ORDER BY 1");
  ASSERT_EQ(lines.size(), 2u);
  const std::string line1 = lines[0].substr(0, lines[0].find('|'));
  const std::string line2 = lines[1].substr(0, lines[1].find('|'));
  EXPECT_EQ(lines[0], line1 + "|2026-03-20|20|1|0.8|10|0|12.5|12.5|3101|7|JH202603001|" + kTricky +
                          "|" + kTricky);
  EXPECT_EQ(lines[1], line2 + "|2026-03-20|25|1|2.5|10|1.5|4|4|0|0|||");
  EXPECT_EQ(One("SELECT count(*) FROM xt_document_number WHERE progid = 2101 AND number = "
                "'O''Brien''s \"lot\"; --'"),
            "1");

  // Shown again as stored.
  EXPECT_EQ(Cell(1, kColLineId), line1);
  EXPECT_EQ(Cell(2, kColActualWage), "8.5");
  EXPECT_TRUE(dialogs_->boxes().empty());
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(StoreTest, NewReportFromTheApprovedViewKeepsTheHeaderButNotTheApproval) {
  ASSERT_TRUE(Show());
  ASSERT_TRUE(module_->DoSetStatus("", true));
  ASSERT_EQ(Field(kFieldApprover).text(), "admin");
  module_->keep_header().set_value(1);
  ASSERT_TRUE(module_->FileNew());
  EXPECT_EQ(Field(kFieldWorkshop).text(), "装配车间");
  EXPECT_EQ(Field(kFieldApprover).text(), "");
  EXPECT_EQ(Field(kFieldApprovedOn).text(), "");
  LineInput line;
  line.product = 28;
  line.code = "ZJ-ZZ-01";
  line.process = 5;
  line.employee_ids = "7";
  SetLine(1, line);
  ASSERT_TRUE(module_->FileSave());
  // The approved view does not walk the new report; it stays on screen all the same.
  const std::string id = One("SELECT 报工单ID FROM SFCDJ WHERE 报工单编号 = 'BG2026030003'");
  EXPECT_EQ(std::to_string(module_->GetID()), id);
  EXPECT_EQ(Field(kFieldNumber).text(), "BG2026030003");
  EXPECT_FALSE(module_->grid().editable());
  EXPECT_EQ(One("SELECT 工作中心ID, 备注, 审核, smark FROM SFCDJ WHERE 报工单ID = " + id),
            "4|部件装配及总装||01");
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(StoreTest, EditingUpdatesKeptLinesRemovesDeletedOnesAndRenewsEveryAllocation) {
  ASSERT_TRUE(Show());
  const auto others_before = Query("SELECT * FROM SFCDJMXFS WHERE 报工单明细ID NOT IN (9, 10, 11)");
  ASSERT_TRUE(module_->FileEdit());
  Field(kFieldRemarks).set_text("改过");
  Field(kFieldDate).set_text("2026-03-18");
  module_->grid().SetTextMatrix(1, kColQualified, "12.5");
  ASSERT_TRUE(module_->DeleteLine(2));  // line 10
  LineInput added;
  added.product = 21;
  added.process = 2;
  added.rate = "3";
  added.employee_ids = "6;1";
  added.shares = "0.5;0.5";
  SetLine(3, added);

  ASSERT_TRUE(module_->FileSave()) << (sink_.errors.empty() ? "" : sink_.errors.back().text);
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_TRUE(module_->deleted_lines().empty());
  // The preparation date follows the production date on a change.
  EXPECT_EQ(One("SELECT 备注, 生产日期, 制单日期, smark FROM SFCDJ WHERE 报工单ID = 4"),
            "改过|2026-03-18|2026-03-18|01");
  const auto lines = Query(
      "SELECT 报工单明细ID, 产品ID, 工艺ID, 合格数量, 工资金额 FROM SFCDJMX WHERE 报工单ID = 4 "
      "ORDER BY 1");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "9|20|1|12.5|12.5");
  EXPECT_EQ(lines[1], "11|25|1|40|32");
  const std::string added_id = lines[2].substr(0, lines[2].find('|'));
  EXPECT_GT(std::stoi(added_id), 12);
  EXPECT_EQ(lines[2], added_id + "|21|2|10|30");
  // All allocations were written again, with keys never used before; no other one changed.
  const auto shares = Query(
      "SELECT 报工单明细附属ID, 报工单明细ID, 员工ID, 分配比例 FROM SFCDJMXFS WHERE 报工单明细ID "
      "IN (9, 10, 11, " +
      added_id + ") ORDER BY 1");
  std::vector<std::string> owners;
  for (const std::string& share : shares) {
    EXPECT_GT(std::stoi(share.substr(0, share.find('|'))), 18) << share;
    owners.push_back(share.substr(share.find('|') + 1));
  }
  EXPECT_EQ(owners, (std::vector<std::string>{"9|5|1", "11|2|1", added_id + "|6|0.5",
                                              added_id + "|1|0.5"}));
  EXPECT_EQ(
      Query("SELECT * FROM SFCDJMXFS WHERE 报工单明细ID NOT IN (9, 10, 11, " + added_id + ")"),
      others_before);

  // Lines deleted in an editing session that was cancelled stay stored.
  ASSERT_TRUE(module_->FileEdit());
  ASSERT_TRUE(module_->DeleteLine(1));
  ASSERT_TRUE(module_->FileCancel());
  ASSERT_TRUE(module_->FileEdit());
  ASSERT_TRUE(module_->FileSave());
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJMX WHERE 报工单ID = 4"), "3");
  // Saving is for new and edited reports only.
  EXPECT_FALSE(module_->FileSave());
  EXPECT_TRUE(sink_.errors.empty());
}

// --- Validation ---------------------------------------------------------------------------------

TEST_F(StoreTest, HeaderAndLineChecksPointAtTheFaultAndStopTheSave) {
  NewReport();
  const auto before = Contents();
  const auto refused = [&](const std::vector<std::string>& boxes) {
    EXPECT_FALSE(module_->FileSave());
    EXPECT_EQ(Boxes(), boxes);
    EXPECT_EQ(module_->mode(), SCCJD_S::Mode::kNew);
  };
  // A typed workshop that was never resolved is no workshop.
  Field(kFieldWorkshop).Type("机加工");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  refused({"车间名称不能为空，请输入后重试!"});
  EXPECT_TRUE(Field(kFieldWorkshop).HasFocus());

  SetWorkshop(3, "机加工车间");
  Field(kFieldDate).set_text("2026-02-30");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  refused({"生产日期错误，请检查后重试!"});
  EXPECT_TRUE(Field(kFieldDate).HasFocus());
  Field(kFieldDate).set_text("2026-03-20");

  // Row 2 has a zero rate and a process name without its key (never chosen), row 4 no
  // employees.
  LineInput zero;
  zero.rate = "0";
  zero.process = 0;
  SetLine(2, zero);
  LineInput nobody;
  nobody.employee_ids = "";
  SetLine(4, nobody);
  dialogs_->QueueAnswer(MsgAnswer::kYes);
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  refused({"第2行工资定额为零，是否保存！", "第2行工艺名称为空，不能保存！"});
  EXPECT_EQ(module_->grid().row(), 2);
  EXPECT_EQ(module_->grid().col(), kColProcess);

  module_->grid().SetCellKey(2, kColProcess, Variant(1));
  dialogs_->QueueAnswer(MsgAnswer::kYes);
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  refused({"第2行工资定额为零，是否保存！", "第4行员工为空，不能保存！"});
  EXPECT_EQ(module_->grid().row(), 4);
  EXPECT_EQ(module_->grid().col(), kColEmployees);
  EXPECT_EQ(Contents(), before);

  SetLine(4, LineInput{});
  dialogs_->QueueAnswer(MsgAnswer::kYes);
  EXPECT_TRUE(module_->FileSave());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"第2行工资定额为零，是否保存！"});
}

TEST_F(StoreTest, EmployeeRulesAskOrRefuseLineByLine) {
  NewReport();
  const auto save_with = [&](const std::string& ids, const std::string& shares,
                             std::vector<MsgAnswer> answers) {
    LineInput line;
    line.employee_ids = ids;
    line.shares = shares;
    SetLine(1, line);
    for (MsgAnswer answer : answers) dialogs_->QueueAnswer(answer);
    const bool saved = module_->FileSave();
    if (saved) {
      EXPECT_TRUE(module_->FileEdit());
    }
    return saved;
  };
  // 赵敏 (7) works in the assembly workshop: asked about once a line, then the duplicate is
  // refused.
  EXPECT_FALSE(save_with("7;7", "0.6;0.4", {MsgAnswer::kYes, MsgAnswer::kOk}));
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"第1行员工不属于当前所选部门，就是保存？",
                                               "第1行员工有重复，请检查！"}));
  EXPECT_EQ(module_->GetID(), -1);

  // Decimal shares adding up to 1 are not asked about for the binary noise of their sum.
  EXPECT_TRUE(save_with("5;6", "0.7;0.3", {}));
  EXPECT_TRUE(save_with("6;7", "0.6;0.4", {MsgAnswer::kYes}));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"第1行员工不属于当前所选部门，就是保存？"});
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(StoreTest, QuantityControlCountsAllOfTheReportsRowsOfAPlanLine) {
  // Rework reports control quantities. Plan line 6 needs 60 pumps (product 32, structure 13
  // with one rotor assembly 28 each); report 3 already has 60 rotors on process 5.
  NewReport(kReworkReportProgId);
  LineInput line;
  line.product = 28;
  line.code = "ZJ-ZZ-01";
  line.process = 7;
  line.qualified = "30";
  line.plan_number = "JH202603001";
  line.source_type = hostapp::demo::kMasterPlanProgId;
  line.plan_line = 6;
  line.demand = "60";
  line.bom_id = "13";
  SetLine(1, line);
  line.qualified = "31";
  SetLine(2, line);
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->FileSave());
  EXPECT_EQ(Boxes(),
            std::vector<std::string>{
                "第1行对应的生产数量[61]加已生产数量[0]大于需求量[60]，超额[1]个，请检查！"});
  // Rows of another process count apart.
  line.process = 5;
  line.qualified = "0";
  SetLine(2, line);
  ASSERT_TRUE(module_->FileSave()) << (sink_.errors.empty() ? "" : sink_.errors.back().text);
  EXPECT_TRUE(sink_.errors.empty());
}

// --- Numbers --------------------------------------------------------------------------------

TEST_F(StoreTest, NumbersAreCommittedRequiredAndUniqueWithinTheirProgram) {
  NewReport();
  SetLine(1, LineInput{});
  const auto before = Contents();

  Field(kFieldNumber).set_text("  ");
  EXPECT_FALSE(module_->FileSave());
  ExpectError(1, "单据编号不能为空，请输入后重试!  ", LogLevel::kError);
  EXPECT_TRUE(Field(kFieldNumber).HasFocus());

  // A report holding a number the numbering has forgotten still makes it a duplicate; the
  // number taken for the attempt is given back.
  Exec("DELETE FROM xt_document_number WHERE number = 'BG2026030002'");
  const auto forgotten = Contents();
  Field(kFieldNumber).set_text("BG2026030002");
  EXPECT_FALSE(module_->FileSave());
  ExpectError(2, "单据编号重复,请检查后重试!", LogLevel::kWarning);
  EXPECT_EQ(Contents(), forgotten);
  EXPECT_EQ(module_->mode(), SCCJD_S::Mode::kNew);

  // The rework report's number is free for a production report, and the other way round.
  Field(kFieldNumber).set_text("FG2026030001");
  ASSERT_TRUE(module_->FileSave());
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJ WHERE 报工单编号 = 'FG2026030001'"), "2");

  // Changing a stored report's number: not to another report's of the same program.
  ASSERT_TRUE(module_->FileEdit());
  Field(kFieldNumber).set_text("BG2026030001");
  EXPECT_FALSE(module_->FileSave());
  ExpectError(3, "单据编号重复,请检查后重试!", LogLevel::kWarning);
  Field(kFieldNumber).set_text("FG2026030001");
  EXPECT_TRUE(module_->FileSave());
  EXPECT_EQ(sink_.errors.size(), 3u);
  EXPECT_NE(Contents(), before);
}

// --- Delete -------------------------------------------------------------------------------------

TEST_F(StoreTest, DeleteAsksReleasesTheNumberAndDeletesOnlyTheReport) {
  ASSERT_TRUE(module_->Init(host_, kWorkReportProgId, 0));
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->FileDelete());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"没有可删除的记录!"});

  Exec("UPDATE SFCDJ SET smark = '01' WHERE 报工单ID = 3");
  ASSERT_TRUE(module_->Refresh());
  ASSERT_TRUE(module_->RecordTop());
  ASSERT_EQ(module_->GetID(), 3);
  const auto before = Contents();
  dialogs_->QueueAnswer(MsgAnswer::kNo);
  EXPECT_FALSE(module_->FileDelete());
  EXPECT_EQ(Contents(), before);

  // A number the numbering does not hold cannot be released: nothing is deleted.
  Exec("DELETE FROM xt_document_number WHERE number = 'BG2026030001'");
  const auto unnumbered = Contents();
  dialogs_->QueueAnswer(MsgAnswer::kYes);
  EXPECT_FALSE(module_->FileDelete());
  EXPECT_EQ(Contents(), unnumbered);
  ASSERT_EQ(sink_.errors.size(), 1u);
  EXPECT_EQ(sink_.errors[0].text,
            "SCCJD_S-->DeleteData::单据编号[BG2026030001]无法释放，单据未删除");
  Exec("INSERT INTO xt_document_number(progid, number) VALUES (2101, 'BG2026030001')");

  dialogs_->QueueAnswer(MsgAnswer::kYes);
  ASSERT_TRUE(module_->FileDelete());
  EXPECT_EQ(module_->GetID(), 4);
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJ WHERE 报工单ID = 3"), "0");
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJMX WHERE 报工单ID = 3"), "0");
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJMXFS WHERE 报工单明细ID IN (6, 7, 8)"), "0");
  EXPECT_EQ(One("SELECT count(*) FROM xt_document_number WHERE number = 'BG2026030001'"), "0");
  // Everything else stays.
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJMXFS"), "13");
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJMX"), "9");
  EXPECT_EQ(Query("SELECT * FROM PATempDataMx"), before.at("PATempDataMx"));
}

// --- Approval -----------------------------------------------------------------------------------

TEST_F(StoreTest, ApprovalHandsOneRowPerEmployeeAndLineAndWithdrawalTakesThemBack) {
  ASSERT_TRUE(Show());
  // Line 11 produced nothing qualified: it is handed over at unit price 0.
  Exec("UPDATE SFCDJMX SET 合格数量 = 0 WHERE 报工单明细ID = 11");
  const auto others = Query("SELECT * FROM PATempDataMx ORDER BY 1");
  ASSERT_TRUE(module_->Check());
  EXPECT_EQ(
      Query("SELECT lKj, lFsno, lDeptID, lEmployeeID, tCzDate, sScPh, sBanCi, dAmount, dHour, "
            "dPrice, dMoney, sRemark, sStandby1, sStandby2, sStandby3, sStandby4, sStandby5, "
            "lGxID, lWorkCenterID, lOutAutoID, lGoodsID, lOutCzID, bIsIntoGz, sOutNumber "
            "FROM PATempDataMx WHERE lOutAutoID = 4 ORDER BY lAutoID"),
      (std::vector<std::string>{
          "202603|1|3|5|2026-03-16|||10|0|1|10||1|1||||1|3|4|20|2101|0|BG2026030002",
          "202603|1|3|6|2026-03-16|||6|0|3|18||3|0.6||||2|3|4|21|2101|0|BG2026030002",
          "202603|1|3|5|2026-03-16|||4|0|3|12||3|0.4||||2|3|4|21|2101|0|BG2026030002",
          "202603|1|3|2|2026-03-16|||0|0|0|32||0.8|1||||1|3|4|25|2101|0|BG2026030002"}));
  for (const std::string& key : Query("SELECT lAutoID FROM PATempDataMx WHERE lOutAutoID = 4")) {
    EXPECT_GT(std::stoi(key), 13);
  }
  // The approval state is the host's to record.
  EXPECT_EQ(One("SELECT smark, 审核 FROM SFCDJ WHERE 报工单ID = 4"), "01|");
  ASSERT_TRUE(module_->UnCheck());
  EXPECT_EQ(Query("SELECT * FROM PATempDataMx ORDER BY 1"), others);
  EXPECT_TRUE(sink_.errors.empty());
  EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(StoreTest, ApprovalRefusesReportsWithoutLinesEmployeesOrShares) {
  ASSERT_TRUE(Show());
  const auto before = Contents();
  Exec("UPDATE SFCDJMXFS SET 分配比例 = 0 WHERE 报工单明细附属ID = 16");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->Check());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"[E005 陈静]分配系数为零!"});

  Exec("DELETE FROM SFCDJMXFS WHERE 报工单明细ID = 10");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->Check());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"无员工!"});

  Exec("DELETE FROM SFCDJMX WHERE 报工单ID = 4");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->Check());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"无数据记录!"});
  EXPECT_EQ(Query("SELECT * FROM PATempDataMx"), before.at("PATempDataMx"));

  // Without the hand-over to wages approval and withdrawal pass and write nothing.
  Exec("UPDATE xt_accinformation SET item_value = '0' WHERE item_code = 'sfctopay'");
  EXPECT_TRUE(module_->Check());
  EXPECT_TRUE(module_->UnCheck());
  EXPECT_EQ(Query("SELECT * FROM PATempDataMx"), before.at("PATempDataMx"));
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(StoreTest, WithdrawalIsRefusedOnceTheWageSystemTookAnyRow) {
  ASSERT_TRUE(Show());
  ASSERT_TRUE(module_->DoSetStatus("", true));
  ASSERT_EQ(module_->GetID(), 3);
  // One of its five rows taken is enough.
  Exec("UPDATE PATempDataMx SET bIsIntoGz = 1 WHERE lAutoID = 12");
  const auto before = Contents();
  EXPECT_FALSE(module_->UnCheck());
  ASSERT_EQ(sink_.errors.size(), 1u);
  EXPECT_EQ(sink_.errors[0].text, "已有部分数据记入工资系统，请先在工资系统中导出!");
  EXPECT_EQ(sink_.errors[0].level, LogLevel::kError);
  EXPECT_EQ(Contents(), before);

  // "sfctopay_zj" 1: withdrawal asks the wage system nothing and takes nothing back.
  Exec("UPDATE xt_accinformation SET item_value = '1' WHERE item_code = 'sfctopay_zj'");
  EXPECT_TRUE(module_->UnCheck());
  EXPECT_EQ(One("SELECT count(*) FROM PATempDataMx WHERE lOutAutoID = 3"), "5");
  Exec("UPDATE xt_accinformation SET item_value = '0' WHERE item_code = 'sfctopay_zj'");
  Exec("UPDATE PATempDataMx SET bIsIntoGz = 0 WHERE lAutoID = 12");
  EXPECT_TRUE(module_->UnCheck());
  EXPECT_EQ(One("SELECT count(*) FROM PATempDataMx WHERE lOutAutoID = 3"), "0");
  EXPECT_EQ(One("SELECT count(*) FROM PATempDataMx"), "8");
  EXPECT_EQ(sink_.errors.size(), 1u);
}

TEST_F(StoreTest, ApprovalWithQuantityControlChecksThePlanLines) {
  // Rework report 5: 20 pumps (product 32 itself) painted for plan line 6 of 60.
  ASSERT_TRUE(Show(kReworkReportProgId));
  ASSERT_EQ(module_->GetID(), 5);
  const std::string pump =
      "[计划原单:JH202603001 批次号:P2603-01]对应的[产品:CP-LXB-50 单级离心泵 "
      "IS50-32-160";
  Exec("UPDATE SFCDJMX SET 合格数量 = 61 WHERE 报工单明细ID = 12");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->Check());
  EXPECT_EQ(Boxes(), std::vector<std::string>{pump + "][配件:CP-LXB-50 单级离心泵 IS50-32-160]"
                                                     "[工艺:GX07 喷漆]的实际生产量61大于需求量60"});
  ASSERT_EQ(dialogs_->boxes().size(), 0u);
  Exec("UPDATE SFCDJMX SET 合格数量 = 20 WHERE 报工单明细ID = 12");

  // Unapproved reports of the same plan line do not count; this one does.
  Exec(
      "INSERT INTO SFCDJMX (报工单明细ID, 报工单ID, 生产日期, 产品ID, 工艺ID, 合格数量, 工资金额, "
      "工资扣减金额, 前置单据, 前置单据ID, 原单号, 班次) VALUES "
      "(50, 5, '2026-03-18', 20, 7, 1, 3, 0, 3101, 6, 'JH202603001', 'P2603-01')");
  Exec("INSERT INTO SFCDJMXFS VALUES (50, 50, 12, 1)");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->Check());
  EXPECT_EQ(Boxes(), std::vector<std::string>{pump + "]的BOM结构清单中，\n无[配件:JJ-BZ-01 泵轴 "
                                                     "φ24×320]"});
  Exec("UPDATE PDMBOM SET smark = '01' WHERE bomID = 13");
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(module_->Check());
  EXPECT_EQ(Boxes(), std::vector<std::string>{pump + "]的BOM结构不存在"});
  EXPECT_EQ(One("SELECT count(*) FROM PATempDataMx WHERE lOutCzID = 2102"), "0");

  Exec("UPDATE PDMBOM SET smark = '02' WHERE bomID = 13");
  Exec("DELETE FROM SFCDJMX WHERE 报工单明细ID = 50");
  ASSERT_TRUE(module_->Check());
  EXPECT_EQ(One("SELECT count(*), sum(dMoney) FROM PATempDataMx WHERE lOutCzID = 2102"), "1|60");
  EXPECT_TRUE(sink_.errors.empty());
}

// --- Failures -----------------------------------------------------------------------------------

// Every statement of a save, delete or approval failing in turn (test::FailEachStatement).
class FaultTest : public StoreTest {
 protected:
  int FailEachStatement(const std::function<bool()>& operation,
                        const std::function<void()>& before_each = {}) {
    const auto state = [this] {
      std::vector<std::string> lines = FormState();
      for (auto& [table, rows] : Contents()) {
        for (const std::string& row : rows) lines.push_back(table + "|" + row);
      }
      return lines;
    };
    return test::FailEachStatement(*host_, sink_.errors, state, operation, before_each);
  }
};

TEST_F(FaultTest, FailedSaveOfANewReportLeavesTablesAndFormAsTheyWere) {
  NewReport();
  Field(kFieldRemarks).set_text(kTricky);
  LineInput line;
  line.employee_ids = "5;6";
  line.employee_names = "陈静;杨磊";
  line.shares = "0.6;0.4";
  SetLine(1, line);
  SetLine(2, LineInput{});
  const int statements = FailEachStatement([&] { return module_->FileSave(); });
  // Validation, number, duplicate check, header, two lines and three allocations at least.
  EXPECT_GT(statements, 10);
  EXPECT_EQ(
      One("SELECT count(*) FROM SFCDJMX WHERE 报工单ID = " + std::to_string(module_->GetID())),
      "2");
}

TEST_F(FaultTest, FailedSaveOfAnEditedReportLeavesTablesAndFormAsTheyWere) {
  ASSERT_TRUE(Show());
  ASSERT_TRUE(module_->FileEdit());
  Field(kFieldRemarks).set_text("改过");
  ASSERT_TRUE(module_->DeleteLine(2));
  LineInput line;
  SetLine(3, line);
  const int statements = FailEachStatement([&] { return module_->FileSave(); });
  EXPECT_GT(statements, 8);
  EXPECT_EQ(Query("SELECT 报工单明细ID FROM SFCDJMX WHERE 报工单ID = 4 AND 报工单明细ID <= 12 "
                  "ORDER BY 1"),
            (std::vector<std::string>{"9", "11"}));
}

TEST_F(FaultTest, FailedDeleteAndApprovalLeaveTablesAsTheyWere) {
  ASSERT_TRUE(Show());
  EXPECT_GT(FailEachStatement([&] { return module_->Check(); }), 5);
  EXPECT_EQ(One("SELECT count(*) FROM PATempDataMx WHERE lOutAutoID = 4"), "4");
  EXPECT_GT(FailEachStatement([&] { return module_->UnCheck(); }), 1);
  EXPECT_EQ(One("SELECT count(*) FROM PATempDataMx WHERE lOutAutoID = 4"), "0");
  EXPECT_GT(FailEachStatement([&] { return module_->FileDelete(); },
                              [&] { dialogs_->QueueAnswer(MsgAnswer::kYes); }),
            2);
  EXPECT_EQ(One("SELECT count(*) FROM SFCDJ WHERE 报工单ID = 4"), "0");
}

// --- Several clerks at once ---------------------------------------------------------------------

TEST(StoreConcurrency, TwoProcessesSavingOneNumberAtOnceStoreOneReport) {
  test::DemoDatabase db;
  test::TempFolder folder;
  constexpr int kUniqueReports = 4;
  const auto results = test::RunInProcesses(2, folder.path(), [&](int child) {
    auto host = test::OpenClerkHost(db.path(), folder.path(), nullptr);
    test::RecordingDocumentEvents errors;
    SCCJD_S module;
    module.Advise(&errors);
    if (!module.Init(host, kWorkReportProgId, 0)) throw std::runtime_error("no Init");
    std::vector<std::string> out;
    const auto save = [&](const std::string& number) {
      if (!module.FileNew()) throw std::runtime_error("no FileNew");
      module.field(kFieldNumber).set_text(number);
      module.field(kFieldWorkshop).set_text("机加工车间");
      module.field(kFieldWorkshop).set_value(Variant(3));
      LineInput line;
      line.employee_ids = "5;6";
      line.employee_names = "陈静;杨磊";
      line.shares = "0.6;0.4";
      for (int row = 1; row <= 2; ++row) FillLine(module.grid(), row, line);
      errors.errors.clear();
      const bool saved = module.FileSave();
      out.push_back(number + (saved ? " saved " + std::to_string(module.GetID()) : " refused"));
      for (const test::RaisedError& error : errors.errors) out.push_back("error " + error.text);
    };
    for (int i = 0; i < kUniqueReports; ++i) {
      save("P" + std::to_string(child) + "-" + std::to_string(i));
      if (i == kUniqueReports / 2) save("RACE-1");
    }
    module.Unadvise(&errors);
    return out;
  });

  // Every unique number is saved once; of the two saves of RACE-1 one is refused, by the
  // numbering or by the duplicate check.
  int race_saved = 0;
  std::set<std::string> ids;
  for (const test::ChildResult& result : results) {
    ASSERT_EQ(result.exit_code, 0);
    for (std::size_t i = 0; i < result.lines.size(); ++i) {
      const std::string& line = result.lines[i];
      const std::size_t saved = line.find(" saved ");
      if (line.rfind("error ", 0) == 0) continue;
      if (saved != std::string::npos) {
        race_saved += line.rfind("RACE-1 ", 0) == 0;
        EXPECT_TRUE(ids.insert(line.substr(saved + 7)).second) << line;
        continue;
      }
      EXPECT_EQ(line, "RACE-1 refused");
      ASSERT_LT(i + 1, result.lines.size());
      EXPECT_TRUE(result.lines[i + 1] == "error 单据编号重复,请检查后重试!" ||
                  result.lines[i + 1] == "error 单据编号[RACE-1]已被占用或无法登记，请检查后重试!")
          << result.lines[i + 1];
    }
  }
  EXPECT_EQ(race_saved, 1);
  EXPECT_EQ(ids.size(), static_cast<std::size_t>(2 * kUniqueReports + 1));

  auto db_check = db.Open();
  std::string error;
  auto rows = db_check->Native().Query(
      "SELECT (SELECT count(*) FROM SFCDJ WHERE 报工单编号 = 'RACE-1'), "
      "(SELECT count(*) FROM SFCDJMX WHERE 报工单ID > 5), "
      "(SELECT count(*) FROM SFCDJMXFS WHERE 报工单明细ID > 12)",
      {}, error);
  ASSERT_NE(rows, nullptr) << error;
  rows->MoveFirst();
  EXPECT_EQ(rows->Value(0).ToLong(), 1);
  EXPECT_EQ(rows->Value(1).ToLong(), 2 * (2 * kUniqueReports + 1));
  EXPECT_EQ(rows->Value(2).ToLong(), 4 * (2 * kUniqueReports + 1));
}

}  // namespace
}  // namespace korvane
