// Storing and deleting master plans against the demo factory: every statement failing in turn,
// typed texts that look like SQL, and two planners taking one number at the same moment.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/demo_data.h"
#include "hostapp/fault_loop_test_support.h"
#include "hostapp/process_test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "planning/plan2.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using namespace planning;
using hostapp::demo::kMasterPlanProgId;

// Texts that would end a literal, a statement or start a comment if they reached SQL raw.
const std::vector<std::string> kTricky = {"O'Brien's \"lot\"; --", "'); DELETE FROM MRPPlan; --",
                                          "x' OR '1'='1", "批次'/*"};

// Listens to a plan as a host does: the errors it raised, by text.
struct PlanSink : PlanEvents {
  void Message(const std::string&) override {}
  void ErrMessage(const std::string& text, LogLevel, const std::string&) override {
    errors.push_back(text);
  }
  void FormRefreshed() override {}
  void Property(const std::string&, const Variant&, bool) override {}
  std::vector<std::string> errors;
};

hostapp::ModuleFactory Factory() {
  return [](std::string_view id) { return ClassRegistry::Instance().Create(id); };
}

class PlanStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_, Factory());
    plan_ = std::dynamic_pointer_cast<plan2>(ClassRegistry::Instance().Create("Korvane.plan2"));
    ASSERT_NE(plan_, nullptr);
    plan_->Advise(&sink_);
    ASSERT_TRUE(plan_->Init(host_, kMasterPlanProgId, 0));
  }
  void TearDown() override {
    host_->database().InjectFailures({});
    plan_->Unadvise(&sink_);
  }

  // Every row of the tables a save or delete may write, each row's values joined by "|".
  std::vector<std::string> Tables() {
    std::vector<std::string> rows;
    for (const char* table : {"MRPPlan", "MRPPlanmx", "xt_key", "xt_document_number"}) {
      std::string error;
      auto result =
          host_->database().Native().Query(std::string("SELECT * FROM ") + table, {}, error);
      EXPECT_NE(result, nullptr) << error;
      if (!result) continue;
      for (const auto& row : result->Rows()) {
        std::string line = table;
        for (const Variant& value : row) line += "|" + value.ToText();
        rows.push_back(line);
      }
    }
    return rows;
  }
  // What the person sees: mode, id, every field and every cell with its key.
  std::vector<std::string> Screen() {
    std::vector<std::string> screen{std::to_string(plan_->GetID()),
                                    std::to_string(static_cast<int>(plan_->mode()))};
    for (int i = 0; i < kFieldCount; ++i) {
      screen.push_back(plan_->header(i).text() + "=" + plan_->header(i).value().ToText());
    }
    const controls::Grid& grid = plan_->lines();
    for (int r = 0; r < grid.rows(); ++r) {
      for (int c = 0; c < grid.cols(); ++c) {
        screen.push_back(grid.TextMatrix(r, c) + "=" + grid.CellKey(r, c).ToText());
      }
    }
    return screen;
  }
  // A person's entry of a line in the grid's empty bottom row; returns its row.
  int EnterLine(const std::string& code, const std::string& batch, const std::string& demand) {
    controls::Grid& grid = plan_->lines();
    const int row = grid.rows() - 1;
    EXPECT_TRUE(grid.EditCell(row, kColProductCode, code)) << code;
    EXPECT_TRUE(grid.EditCell(row, kColBatch, batch));
    EXPECT_TRUE(grid.EditCell(row, kColDemand, demand));
    EXPECT_TRUE(grid.EditCell(row, kColDemandDate, "2026-04-30"));
    return row;
  }
  // The first row of a query, its values joined by "|".
  std::string One(const std::string& sql) {
    std::string error;
    auto rows = host_->database().Native().Query(sql, {}, error);
    EXPECT_NE(rows, nullptr) << sql << ": " << error;
    if (!rows || rows->RecordCount() == 0) return "";
    const auto& row = rows->Rows().front();
    std::string line = row.at(0).ToText();
    for (std::size_t i = 1; i < row.size(); ++i) line += "|" + row[i].ToText();
    return line;
  }
  bool Type(int field, const std::string& text) {
    return plan_->header(field).Type(text) && plan_->header(field).Leave();
  }

  // The tables a save or delete writes and the screen, for the fault loop.
  std::vector<std::string> State() {
    std::vector<std::string> state = Tables();
    for (std::string& line : Screen()) state.push_back(std::move(line));
    return state;
  }
  int FailEachStatement(const std::function<bool()>& operation,
                        const std::function<void()>& before_each = {}) {
    return test::FailEachStatement(
        *host_, sink_.errors, [this] { return State(); }, operation, before_each);
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::shared_ptr<plan2> plan_;
  PlanSink sink_;
};

TEST_F(PlanStoreTest, EveryStatementOfASaveOrDeleteFailingLeavesTablesAndScreenAsTheyWere) {
  // A new plan of two lines.
  ASSERT_TRUE(plan_->FileNew());
  EnterLine("CP-LXB-50", "F1", "10");
  EnterLine("CP-ZF-50", "F2", "20");
  // Number, duplicate check, header key and insert, two line keys and inserts at least.
  EXPECT_GE(FailEachStatement([&] { return plan_->FileSave(); }), 8);
  const std::string id = std::to_string(plan_->GetID());
  EXPECT_EQ(plan_->lines().TextMatrix(2, kColProductCode), "CP-ZF-50");
  EXPECT_GT(NumericValue(plan_->lines().TextMatrix(2, kColLineId)), 14);

  // The stored plan edited: a stored line removed, one changed, one added.
  ASSERT_TRUE(plan_->RecordTop() && plan_->FileEdit());  // plan 4, lines 8 and 9
  ASSERT_TRUE(plan_->DeleteLine(1));
  ASSERT_TRUE(plan_->lines().EditCell(1, kColDemand, "33"));
  EnterLine("CP-DF-80", "F3", "5");
  EXPECT_GE(FailEachStatement([&] { return plan_->FileSave(); }), 5);
  EXPECT_EQ(
      One("SELECT count(*), min(主计划ID), max(需求数量) FROM MRPPlanmx WHERE 主计划组ID = 4"),
      "2|9|33");

  // Deleting the plan saved first: number release and both deletes.
  ASSERT_TRUE(plan_->RecordBottom());
  ASSERT_EQ(std::to_string(plan_->GetID()), id);
  EXPECT_GE(FailEachStatement([&] { return plan_->FileDelete(); },
                              [&] { dialogs_->QueueAnswer(MsgAnswer::kYes); }),
            3);
  EXPECT_EQ(One("SELECT (SELECT count(*) FROM MRPPlan WHERE 主计划组ID = " + id +
                "), (SELECT count(*) FROM MRPPlanmx WHERE 主计划组ID = " + id + ")"),
            "0|0");
}

TEST_F(PlanStoreTest, QuotesAndSqlInEveryTextFieldAreStoredAndShownBackAsTyped) {
  for (const std::string& text : kTricky) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(plan_->FileNew());
    ASSERT_TRUE(Type(kFieldNumber, text));
    ASSERT_TRUE(Type(kFieldPlanner, text + "员"));
    ASSERT_TRUE(Type(kFieldRemark, text + "备注"));
    EnterLine("CP-LXB-50", text + "批", "1");
    ASSERT_TRUE(plan_->FileSave()) << (sink_.errors.empty() ? "" : sink_.errors.back());
    const std::int32_t id = plan_->GetID();
    // Shown back from the database, exactly as typed.
    EXPECT_EQ(plan_->header(kFieldNumber).text(), text);
    EXPECT_EQ(plan_->header(kFieldPlanner).text(), text + "员");
    EXPECT_EQ(plan_->header(kFieldRemark).text(), text + "备注");
    EXPECT_EQ(plan_->lines().TextMatrix(1, kColBatch), text + "批");
    // The line's plan number is the plan's number and the line's key.
    EXPECT_EQ(One("SELECT 计划编号 FROM MRPPlanmx WHERE 主计划组ID = " + std::to_string(id)),
              text + "-" + plan_->lines().TextMatrix(1, kColLineId));
    // Saved once more as an edited plan: the duplicate check and the updates take it too.
    ASSERT_TRUE(plan_->FileEdit());
    ASSERT_TRUE(Type(kFieldRemark, text + "改"));
    ASSERT_TRUE(plan_->FileSave());
    EXPECT_EQ(plan_->header(kFieldRemark).text(), text + "改");
    EXPECT_EQ(plan_->header(kFieldNumber).text(), text);
  }
  EXPECT_EQ(One("SELECT count(*) FROM MRPPlan"), std::to_string(8 + kTricky.size()));
}

TEST(PlanStoreConcurrency, TwoPlannersSavingOneNumberAtOnceStoreOnePlanWithoutSharedKeys) {
  test::DemoDatabase db;
  test::TempFolder folder;
  constexpr int kOwnPlans = 3;
  const auto results = test::RunInProcesses(2, folder.path(), [&](int child) {
    auto host = test::OpenClerkHost(db.path(), folder.path(), nullptr, Factory());
    plan2 plan;
    PlanSink sink;
    plan.Advise(&sink);
    if (!plan.Init(host, kMasterPlanProgId, 0)) throw std::runtime_error("no Init");
    std::vector<std::string> out;
    const auto save = [&](const std::string& number) {
      if (!plan.FileNew()) throw std::runtime_error("no FileNew");
      plan.header(kFieldNumber).set_text(number);
      controls::Grid& grid = plan.lines();
      for (const char* code : {"CP-LXB-50", "CP-ZF-50"}) {
        if (!grid.EditCell(grid.rows() - 1, kColProductCode, code)) {
          throw std::runtime_error("no line");
        }
      }
      const bool saved = plan.FileSave();
      out.push_back(number + (saved ? " saved" : " refused"));
    };
    for (int i = 0; i < kOwnPlans; ++i) {
      save("P" + std::to_string(child) + "-" + std::to_string(i));
      if (i == 1) save("RACE-1");
    }
    plan.Unadvise(&sink);
    return out;
  });
  int race_saved = 0;
  for (const test::ChildResult& result : results) {
    ASSERT_EQ(result.exit_code, 0);
    ASSERT_EQ(result.lines.size(), static_cast<std::size_t>(kOwnPlans + 1));
    for (const std::string& line : result.lines) {
      if (line.rfind("RACE-1 ", 0) == 0) {
        race_saved += line == "RACE-1 saved";
      } else {
        EXPECT_NE(line.find(" saved"), std::string::npos) << line;
      }
    }
  }
  EXPECT_EQ(race_saved, 1);

  // One plan of the race, two lines for each plan stored, no line in another's plan.
  auto check = db.Open();
  std::string error;
  auto rows = check->Native().Query(
      "SELECT (SELECT count(*) FROM MRPPlan WHERE 单据编号 = 'RACE-1'), "
      "(SELECT count(*) FROM MRPPlan WHERE 主计划组ID > 8), "
      "(SELECT count(*) FROM MRPPlanmx WHERE 主计划ID > 14), "
      "(SELECT count(*) FROM MRPPlanmx L JOIN MRPPlan H ON H.主计划组ID = L.主计划组ID "
      " WHERE L.主计划ID > 14 AND L.计划编号 = H.单据编号 || '-' || L.主计划ID)",
      {}, error);
  ASSERT_NE(rows, nullptr) << error;
  rows->MoveFirst();
  EXPECT_EQ(rows->Value(0).ToLong(), 1);
  const long plans = 2 * kOwnPlans + 1;
  EXPECT_EQ(rows->Value(1).ToLong(), plans);
  EXPECT_EQ(rows->Value(2).ToLong(), 2 * plans);
  EXPECT_EQ(rows->Value(3).ToLong(), 2 * plans);
}

}  // namespace
}  // namespace korvane
