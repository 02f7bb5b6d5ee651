// The reference host's lookups over the demo factory: typed texts, restrictions by parameter,
// texts with quotes, and list pickers shown, filtered, chosen from and cancelled.
#include "hostapp/lookups.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "host/test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"

namespace korvane::hostapp {
namespace {

using controls::LookupDefinition;
using controls::LookupMatch;

class HostLookupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(
        file_.path(), (std::filesystem::path(file_.path()).parent_path() / "user").string(), log_);
    lookups_ = host_->Lookups();
  }

  std::optional<LookupMatch> Resolve(const LookupDefinition& definition, std::string_view typed) {
    return lookups_->Resolve(definition, typed);
  }

  // Opens the picker; the answer lands in `answer` (nullopt while it is open or cancelled).
  controls::Form& Open(const LookupDefinition& definition) {
    answered_ = false;
    answer_.reset();
    EXPECT_TRUE(lookups_->Pick(definition, [this](std::optional<LookupMatch> match) {
      EXPECT_TRUE(log_->shown_forms.empty()) << "the picker is closed before the answer";
      answered_ = true;
      answer_ = std::move(match);
    }));
    EXPECT_EQ(log_->shown_forms.size(), 1u);
    return *log_->shown_forms.back();
  }

  static controls::Grid& GridOf(controls::Form& form) { return form.Get<controls::Grid>("Vs"); }
  static std::vector<std::string> ShownColumn(controls::Grid& grid, const std::string& header) {
    int col = -1;
    for (int c = 0; c < grid.cols(); ++c) {
      if (grid.TextMatrix(0, c) == header) col = c;
    }
    std::vector<std::string> texts;
    for (int r = 1; r < grid.rows(); ++r) {
      if (!grid.RowHidden(r)) texts.push_back(grid.TextMatrix(r, col));
    }
    return texts;
  }

  test::DemoDatabase file_;
  std::shared_ptr<test::FakeDialogs> log_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<ReferenceHost> host_;
  std::shared_ptr<controls::LookupResolver> lookups_;
  bool answered_ = false;
  std::optional<LookupMatch> answer_;
};

const LookupDefinition kWorkshop{
    "pdmbm",    "", "部门ID",
    "部门名称", "", {{"pdmbmzzlx", Variant("3")}, {"pdmbmsfmx", Variant(1)}}};

TEST_F(HostLookupsTest, HostListsResolveByCodeOrNameWithinTheirRestrictions) {
  // By code, a warehouse refused and the list picked from: the header_lookups scenario.
  auto by_name = Resolve(kWorkshop, " 喷涂车间 ");
  ASSERT_TRUE(by_name);
  EXPECT_EQ(by_name->value.ToLong(), 5);
  // The production department is not a detail department.
  EXPECT_FALSE(Resolve(kWorkshop, "生产部"));
  EXPECT_TRUE(Resolve({"pdmbm", "", "", "", "", {}}, "生产部"));

  // Processes by code, short name or name; fields default to the type's own.
  auto process = Resolve({"gy_sr", "", "", "", "", {}}, "zk");
  ASSERT_TRUE(process);
  EXPECT_EQ(process->value.ToLong(), 4);
  EXPECT_EQ(process->text, "钻孔");
  // Document natures of one document type only.
  EXPECT_TRUE(Resolve({"pdmdjxz", "", "", "", "", {{"ProgID", Variant(3101)}}}, "试制"));
  EXPECT_FALSE(Resolve({"pdmdjxz", "", "", "", "", {{"ProgID", Variant(2101)}}}, "试制"));
  EXPECT_FALSE(Resolve({"no_such_type", "", "", "", "", {}}, "01"));
}

TEST_F(HostLookupsTest, LookupQueriesTakeTheTypedTextAsData) {
  const LookupDefinition plan_type{
      "gy_planlx",
      "select 类型编号,类型名称,计划类型ID from pdmplantype where 类型编号='@' or 类型名称='@'",
      "计划类型ID",
      "类型名称",
      "输入有误,请重新输入！",
      {}};
  auto first = Resolve(plan_type, "01");
  ASSERT_TRUE(first);
  EXPECT_GT(first->value.ToLong(), 0);

  // Quotes, a statement separator and a comment stay inside the literal.
  for (const char* hostile :
       {"O'Brien's \"lot\"; --", "' or '1'='1", "x'; delete from pdmplantype; --", "@", "'@'"}) {
    EXPECT_FALSE(Resolve(plan_type, hostile)) << hostile;
    EXPECT_FALSE(Resolve(kWorkshop, hostile)) << hostile;
  }
  EXPECT_GT(host_->Data()->ScalarSql("select count(*) from pdmplantype").ToLong(), 0);

  // A field the query does not give resolves to nothing rather than a wrong value.
  EXPECT_FALSE(Resolve({"gy_planlx", plan_type.query, "no_such_field", "类型名称", "", {}}, "01"));
}

TEST_F(HostLookupsTest, SeveralProcessesComeBackAsCommaLists) {
  // The pump shaft's routes use rough turning, finish turning, milling and drilling.
  controls::Form& form =
      Open({"pdmsr", "", "", "", "", {{"多选", Variant(1)}, {"产品ID", Variant(20)}}});
  controls::Grid& grid = GridOf(form);
  const std::vector<std::string> names = ShownColumn(grid, "工艺名称");
  EXPECT_LT(names.size(), 8u);
  ASSERT_GE(names.size(), 2u);
  grid.ClickCell(1, 0);
  grid.ClickCell(2, 0);
  grid.ClickCell(2, 0);  // ticked and unticked again
  grid.ClickCell(grid.rows() - 1, 0);
  grid.DoubleClickCell(1, 1);  // multiple choice: a double click only ticks nothing
  EXPECT_FALSE(answered_);
  form.Get<controls::Button>("cmdOK").Click();
  ASSERT_TRUE(answer_);
  EXPECT_EQ(answer_->text, names.front() + "," + names.back());
  EXPECT_EQ(Split(answer_->value.ToText(), ',').size(), 2u);
}

TEST_F(HostLookupsTest, ClosingTheHostCancelsPickersStillOpen) {
  Open(kWorkshop);
  host_.reset();
  lookups_.reset();
  EXPECT_TRUE(answered_);
  EXPECT_FALSE(answer_);
}

}  // namespace
}  // namespace korvane::hostapp
