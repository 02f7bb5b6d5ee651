// The employee allocation dialog over the demo factory: filling from a line, employee entry by
// number, name and picker, the checks of the shares in their order, the hand-back and the
// per-user column widths.
#include "workreport/frm_sel_gy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/demo_data.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "pickers/pdm_gy.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using hostapp::demo::kWorkReportProgId;
using namespace workreport::selgy;

struct Handed {
  int count = 0;
  VariantArray result;
  bool shared = false;
};

class FrmSelGyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = OpenHost(user_folder_.path());
    ASSERT_NE(host_, nullptr);
    dialog_ = MakeDialog();
  }

  std::shared_ptr<hostapp::ReferenceHost> OpenHost(const std::string& folder) {
    return test::OpenClerkHost(db_.path(), folder, dialogs_, [](std::string_view progid) {
      return ClassRegistry::Instance().Create(progid);
    });
  }

  std::unique_ptr<FrmSelGy> MakeDialog() {
    auto dialog = std::make_unique<FrmSelGy>();
    dialog->EvHasLoad.Connect([this](const VariantArray& result, bool shared) {
      ++handed_.count;
      handed_.result = result;
      handed_.shared = shared;
    });
    return dialog;
  }

  bool Open(std::string_view ids, std::string_view names, std::string_view shares,
            std::string_view allocations = "") {
    return dialog_->py_Init(ids, names, shares, allocations, host_, kWorkReportProgId,
                            "机加工车间");
  }

  controls::Grid& Grid() { return dialog_->grid(); }
  std::string Cell(int row, int col) { return Grid().TextMatrix(row, col); }
  std::int32_t Key(int row) { return Grid().CellKey(row, kColEmployee).ToLong(); }

  // Confirms expecting one refusal box with this text; the dialog stays open.
  void ExpectRefused(const std::string& text) {
    dialogs_->ClearShown();
    dialogs_->QueueAnswer(MsgAnswer::kOk);
    EXPECT_FALSE(dialog_->Confirm());
    ASSERT_EQ(dialogs_->boxes().size(), 1u);
    EXPECT_EQ(dialogs_->boxes()[0].text, text);
    EXPECT_EQ(dialogs_->boxes()[0].title, "提示：");
    EXPECT_EQ(handed_.count, 0);
    EXPECT_TRUE(dialog_->shown());
  }

  void ExpectAccepted() {
    dialogs_->ClearShown();
    ASSERT_TRUE(dialog_->confirm_button().Click());
    EXPECT_EQ(handed_.count, 1);
    EXPECT_FALSE(dialog_->shown());
    EXPECT_EQ(std::ranges::count(dialogs_->shown_forms, &dialog_->form()), 0);
  }

  // Reopens the dialog as new, with no result handed yet.
  void Reopen(std::string_view ids, std::string_view names, std::string_view shares) {
    dialog_ = MakeDialog();
    handed_ = {};
    ASSERT_TRUE(Open(ids, names, shares));
  }

  // The shown picker form (the last form shown that is not the dialog).
  controls::Form* Picker() {
    for (auto it = dialogs_->shown_forms.rbegin(); it != dialogs_->shown_forms.rend(); ++it) {
      if (*it != &dialog_->form()) return *it;
    }
    return nullptr;
  }

  static int RowHolding(const controls::Grid& grid, int col, const std::string& text) {
    for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
      if (grid.TextMatrix(r, col) == text) return r;
    }
    return -1;
  }

  test::DemoDatabase db_;
  test::TempFolder user_folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  Handed handed_;
  std::unique_ptr<FrmSelGy> dialog_;
};

TEST_F(FrmSelGyTest, SharesAreCheckedRowByRowInTheOrderOfTheRules) {
  struct Case {
    const char* ids;
    const char* shares;
    int tick;             // -1 leaves the box as opened (ticked for two employees or more)
    const char* refusal;  // nullptr: accepted without a question
    int row;              // the row pointed at by the refusal
  };
  const Case cases[] = {
      {"1", "0.5", -1, "第1行分配比例必须等于1，请重新输入！", 1},
      // Unticked, two employees get a line each: both shares must be 1.
      {"1;2", "1;0.4", 0, "第2行分配比例必须等于1，请重新输入！", 2},
      // Ticked, a sole employee is still held to 1.
      {"1", "0.6", 1, "第1行分配比例必须等于1，请重新输入！", 1},
      // The third employee pairs with the fourth, never with the second.
      {"1;2;3", "0.7;0.3;0.2", -1, nullptr, 0},
      {"1;2;3;4", "0.7;0.3;0.2;0.8", -1, nullptr, 0},
      // Decimal shares that add up to 1 are not asked about for the binary noise of their sum.
      {"1;2", "0.33;0.67", -1, nullptr, 0},
      // A shared share must stay below 1.
      {"1;2", "0.5;1", -1, "第2行分配比例必须小于1，请重新输入！", 2},
      {"1;2;1", "0.5;0.5;0.5", -1, "第1行员工与第3行重复,请重新选择！", 1},
      // A zero share is refused before the equal-to-1 rule; so is a missing or negative one.
      {"1", "0", -1, "第1行分配比例为零，请重新输入！", 1},
      {"1;2", "1;", 0, "第2行分配比例为零，请重新输入！", 2},
      {"1;2", "-0.5;0.5", -1, "第1行分配比例为零，请重新输入！", 1},
      // Rows in order: a zero share on row 1 comes before row 2's duplicate of row 3.
      {"1;2;2", "0;0.5;0.5", -1, "第1行分配比例为零，请重新输入！", 1},
      {"", "", -1, "无员工数据，请选择！", 0},
  };
  const char* names[] = {"", "张伟", "王芳", "李强", "刘洋"};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ids) + " / " + c.shares);
    std::string listed;
    for (const std::string& id : Split(c.ids, ';')) {
      if (id.empty()) continue;
      listed += (listed.empty() ? "" : ";") + std::string(names[std::stoi(id)]);
    }
    Reopen(c.ids, listed, c.shares);
    if (c.tick >= 0) dialog_->chk().set_value(c.tick);
    if (c.refusal == nullptr) {
      ExpectAccepted();
      EXPECT_TRUE(dialogs_->boxes().empty());
      continue;
    }
    ExpectRefused(c.refusal);
    if (c.row > 0) {
      EXPECT_EQ(Grid().row(), c.row);
    }
  }

  // A pair not adding up to 1 is the person's call; the fourth pairs with the third.
  Reopen("1;2;3;4", "张伟;王芳;李强;刘洋", "0.7;0.3;0.2;0.5");
  dialogs_->ClearShown();
  dialogs_->QueueAnswer(MsgAnswer::kNo);
  EXPECT_FALSE(dialog_->Confirm());
  ASSERT_EQ(dialogs_->boxes().size(), 1u);
  EXPECT_EQ(dialogs_->boxes()[0].text, "第4行与上一行分配比例之和不等于1，是否正确?");
  EXPECT_EQ(handed_.count, 0);
  dialogs_->QueueAnswer(MsgAnswer::kYes);
  ExpectAccepted();

  // Clearing the only employee leaves none.
  Reopen("1", "张伟", "1");
  ASSERT_TRUE(Grid().EditCell(1, kColEmployee, ""));
  EXPECT_EQ(Key(1), 0);
  EXPECT_EQ(Cell(1, kColName), "");
  ExpectRefused("无员工数据，请选择！");
}

TEST_F(FrmSelGyTest, EmployeesAreTypedByNumberOrName) {
  ASSERT_TRUE(Open("", "", ""));
  const int last = Grid().rows() - 1;
  // By name (the allocation_placement scenario types one), the column still shows the number.
  ASSERT_TRUE(Grid().EditCell(1, kColEmployee, " 李强 "));
  EXPECT_EQ(Cell(1, kColEmployee), "E003");
  EXPECT_EQ(Key(1), 3);
  EXPECT_EQ(Cell(1, kColName), "李强");

  // A wrong entry is refused and the cell stays as it was.
  for (const std::string wrong : {"某某", "O'Brien' or '1'='1"}) {
    dialogs_->QueueAnswer(MsgAnswer::kOk);
    EXPECT_FALSE(Grid().EditCell(1, kColEmployee, wrong));
    ASSERT_FALSE(dialogs_->boxes().empty());
    EXPECT_EQ(dialogs_->boxes().back().text, "员工名称输入有误，请重新输入！");
    EXPECT_EQ(Cell(1, kColEmployee), "E003");
    EXPECT_EQ(Key(1), 3);
    EXPECT_EQ(Cell(1, kColName), "李强");
  }

  // An employee typed by number into the last row leaves a free row below it.
  ASSERT_TRUE(Grid().EditCell(last, kColEmployee, "E004"));
  EXPECT_EQ(Cell(last, kColName), "刘洋");
  ASSERT_EQ(Grid().rows(), last + 2);
  EXPECT_EQ(Cell(last + 1, kColRowNumber), std::to_string(last + 1));
  EXPECT_EQ(Key(last + 1), 0);
}

TEST_F(FrmSelGyTest, ThePickerFillsARowAndInsertsOnesBelow) {
  ASSERT_TRUE(Open("1;5", "张伟;陈静", "0.6;0.4"));
  ASSERT_TRUE(Grid().ClickCellButton(1, kColEmployee));
  controls::Form* picker = Picker();
  ASSERT_NE(picker, nullptr);
  // Narrowed to the workshop, several choices allowed.
  EXPECT_EQ(picker->Get<controls::ComboBox>("Cmb").text(), "机加工车间");
  auto& list = picker->Get<controls::Grid>("Vs");
  EXPECT_EQ(RowHolding(list, pickers::kGyColNumber, "E007"), -1);  // the assembly shop's
  const int a = RowHolding(list, pickers::kGyColNumber, "E003");
  const int b = RowHolding(list, pickers::kGyColNumber, "E004");
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ASSERT_TRUE(list.ClickCell(a, pickers::kGyColName));
  ASSERT_TRUE(list.ClickCell(b, pickers::kGyColName));
  ASSERT_TRUE(picker->Get<controls::Button>("btn", 0).Click());
  EXPECT_EQ(Picker(), nullptr);

  // The first chosen takes row 1 with its share; the second gets a new row 2, and 陈静 moves
  // down to row 3.
  const bool a_first = a < b;
  EXPECT_EQ(Cell(1, kColEmployee), a_first ? "E003" : "E004");
  EXPECT_EQ(Cell(1, kColShare), "0.6");
  EXPECT_EQ(Cell(2, kColEmployee), a_first ? "E004" : "E003");
  EXPECT_EQ(Key(2), a_first ? 4 : 3);
  EXPECT_EQ(Cell(2, kColName), a_first ? "刘洋" : "李强");
  EXPECT_EQ(Cell(2, kColShare), "");
  EXPECT_EQ(Cell(3, kColEmployee), "E005");
  EXPECT_EQ(Cell(3, kColShare), "0.4");
  EXPECT_EQ(Cell(3, kColRowNumber), "3");
  EXPECT_EQ(Key(4), 0);

  // A picker answering after the dialog closed, or after it is gone, changes nothing.
  ASSERT_TRUE(Grid().ClickCellButton(1, kColEmployee));
  controls::Form* late = Picker();
  ASSERT_NE(late, nullptr);
  dialog_->cancel_button().Click();
  auto& late_list = late->Get<controls::Grid>("Vs");
  ASSERT_TRUE(late_list.ClickCell(RowHolding(late_list, pickers::kGyColNumber, "E006"),
                                  pickers::kGyColName));
  ASSERT_TRUE(late->Get<controls::Button>("btn", 0).Click());
  EXPECT_EQ(Cell(1, kColEmployee), a_first ? "E003" : "E004");
  ASSERT_TRUE(Open("1", "张伟", "1"));
  ASSERT_TRUE(Grid().ClickCellButton(1, kColEmployee));
  late = Picker();
  ASSERT_NE(late, nullptr);
  dialog_.reset();
  ASSERT_TRUE(late->Get<controls::Button>("btn", 1).Click());
}

TEST_F(FrmSelGyTest, InsertKeyAddsAnEmptyRowAtTheCurrentOne) {
  ASSERT_TRUE(Open("1;2", "张伟;王芳", "0.6;0.4", "11;12"));
  const int rows = Grid().rows();
  ASSERT_TRUE(Grid().ClickCell(2, kColShare));
  ASSERT_TRUE(Grid().PressKey(controls::keys::kInsert));
  EXPECT_EQ(Grid().rows(), rows + 1);
  EXPECT_EQ(Key(2), 0);
  EXPECT_EQ(Cell(2, kColShare), "");
  EXPECT_EQ(Cell(3, kColEmployee), "E002");
  EXPECT_EQ(Cell(3, kColAllocationId), "12");
  // The empty row is not an employee: the pair is rows 1 and 3, handed back once.
  ExpectAccepted();
  ASSERT_EQ(handed_.result.cols(), 2);
  EXPECT_EQ(handed_.result.at(kResultEmployeeId, 1).ToLong(), 2);
  EXPECT_EQ(handed_.result.at(kResultAllocationId, 1).ToLong(), 12);
  EXPECT_TRUE(handed_.shared);
  EXPECT_FALSE(dialog_->InsertCurrentRow());  // closed
  EXPECT_FALSE(dialog_->Confirm());
  EXPECT_EQ(handed_.count, 1);
}

TEST_F(FrmSelGyTest, TheOwnerMayDropTheDialogInsideItsHandler) {
  ASSERT_TRUE(Open("1", "张伟", "1"));
  int heard = 0;
  dialog_->EvHasLoad.Connect([&](const VariantArray& result, bool) {
    heard = result.cols();
    dialog_.reset();
  });
  ASSERT_TRUE(dialog_->Confirm());
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(dialog_, nullptr);
  EXPECT_TRUE(dialogs_->shown_forms.empty());
}

TEST_F(FrmSelGyTest, ColumnWidthsAreKeptPerUserAndProgram) {
  ASSERT_TRUE(Open("1", "张伟", "1"));
  const double designed = Grid().ColWidth(kColName);
  Grid().SetColWidth(kColName, designed + 777);
  ASSERT_TRUE(dialog_->cancel_button().Click());
  Reopen("1", "张伟", "1");
  EXPECT_EQ(Grid().ColWidth(kColName), designed + 777);
  EXPECT_EQ(Grid().ColWidth(kColAllocationId), 0);
  Grid().SetColWidth(kColShare, 1555);
  ExpectAccepted();  // a confirm saves them as well
  Reopen("1", "张伟", "1");
  EXPECT_EQ(Grid().ColWidth(kColShare), 1555);

  // Another program keeps its own file; another user (another folder) his own widths.
  dialog_ = MakeDialog();
  ASSERT_TRUE(dialog_->py_Init("1", "张伟", "1", "", host_, kWorkReportProgId + 1, ""));
  EXPECT_EQ(Grid().ColWidth(kColName), designed);
  test::TempFolder other_folder;
  host_ = OpenHost(other_folder.path());
  ASSERT_NE(host_, nullptr);
  Reopen("1", "张伟", "1");
  EXPECT_EQ(Grid().ColWidth(kColName), designed);
}

TEST_F(FrmSelGyTest, ADatabaseFailureIsReportedAndShowsNothing) {
  host_->database().InjectFailures(
      [](std::string_view sql) { return sql.find("雇员ID in") != std::string_view::npos; });
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(Open("1", "张伟", "1"));
  ASSERT_EQ(dialogs_->boxes().size(), 1u);
  EXPECT_NE(dialogs_->boxes()[0].text.find("FrmSelGy-->py_Init::"), std::string::npos);
  EXPECT_EQ(dialogs_->boxes()[0].icon, MsgIcon::kCritical);
  EXPECT_FALSE(dialog_->shown());
  EXPECT_TRUE(dialogs_->shown_forms.empty());
}

}  // namespace
}  // namespace korvane
