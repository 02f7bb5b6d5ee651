#include "pickers/pdm_gy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using namespace pickers;

class CountingSink : public PickerEvents {
 public:
  void DoSelect() override { ++selected; }
  void DoCancel() override { ++cancelled; }
  int selected = 0;
  int cancelled = 0;
};

// --- Pure helpers ------------------------------------------------------------------------------

TEST(PdmGyHelpers, OrganisationTypeListsAreReadSafely) {
  EXPECT_EQ(SafeInList("3, 4"), "3,4");
  EXPECT_EQ(SafeInList("'a',b"), "'a','b'");
  // A piece that tries to close the list stays one literal.
  EXPECT_EQ(SafeInList("3) or (1=1"), "'3) or (1=1'");
  EXPECT_EQ(SafeInList("x'y"), "'x''y'");
  EXPECT_EQ(SafeInList(" , "), "");
}

// --- The picker on the demo factory ------------------------------------------------------------

class EmployeePickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), user_folder_.path(), dialogs_);
    object_ = ClassRegistry::Instance().Create("Korvane.pdmgy");
    picker_ = std::dynamic_pointer_cast<pdmgy>(object_);
    ASSERT_NE(picker_, nullptr);
    ASSERT_NE(QueryInterface<IPickerUI>(object_), nullptr);
    picker_->Advise(&sink_);
    ASSERT_TRUE(picker_->Init(host_, 6301, ""));
  }
  void TearDown() override {
    if (picker_) picker_->Unadvise(&sink_);
  }

  // Texts of one column of a query, read straight from the database.
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> out;
    std::unique_ptr<Recordset> rows = host_->Data()->OpenSql(sql);
    EXPECT_NE(rows, nullptr) << sql << ": " << host_->Data()->LastError();
    if (rows) {
      for (const auto& row : rows->Rows()) out.push_back(row.at(0).ToText());
    }
    return out;
  }

  std::vector<std::string> ListColumn(int col) {
    std::vector<std::string> out;
    controls::Grid& g = picker_->grid();
    for (int r = g.fixed_rows(); r < g.rows(); ++r) out.push_back(g.TextMatrix(r, col));
    return out;
  }

  std::set<std::string> Sorted(std::vector<std::string> v) { return {v.begin(), v.end()}; }
  std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t comma; (comma = list.find(',', start)) != std::string::npos;
         start = comma + 1) {
      out.push_back(list.substr(start, comma - start));
    }
    out.push_back(list.substr(start));
    return out;
  }

  void Parameters(std::vector<std::pair<std::string, Variant>> entries) {
    auto set = std::make_shared<BasicParameterSet>();
    for (auto& [name, value] : entries) set->Set(name, value);
    picker_->SetParameters(set);
  }

  struct Lookup {
    bool result;
    std::string value;
    std::string text;
  };
  Lookup Check(std::string_view typed, std::string_view value_col = "",
               std::string_view text_col = "") {
    Lookup l;
    l.result = picker_->Validate("PDMGY", value_col, text_col, typed, l.value, l.text);
    return l;
  }

  int RowOf(std::string_view number) {
    return picker_->grid().FindRow(number, 1, kGyColNumber, false, true);
  }

  test::DemoDatabase db_;
  test::TempFolder user_folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::shared_ptr<Object> object_;
  std::shared_ptr<pdmgy> picker_;
  CountingSink sink_;
};

TEST_F(EmployeePickerTest, DepartmentListStartsWithAllAndAllListsEveryActiveEmployee) {
  controls::ComboBox& cmb = picker_->departments();
  ASSERT_GE(cmb.ListCount(), 2);
  EXPECT_EQ(cmb.ItemAt(0).text, "全部");
  EXPECT_EQ(cmb.ItemAt(0).data.ToLong(), -1);
  std::vector<std::string> names;
  for (int i = 1; i < cmb.ListCount(); ++i) names.push_back(cmb.ItemAt(i).text);
  EXPECT_EQ(Sorted(names), Sorted(Column("SELECT 部门名称 FROM PDMBM")));

  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(cmb.text(), "全部");
  const auto active = Column("SELECT 雇员编号 FROM PDMGY WHERE isnull(active,0)=0");
  EXPECT_EQ(Sorted(ListColumn(kGyColNumber)), Sorted(active));
  const auto gone = Column("SELECT 雇员编号 FROM PDMGY WHERE active=1");
  ASSERT_FALSE(gone.empty());
  for (const auto& number : gone) EXPECT_EQ(RowOf(number), -1) << number;

  // Choosing a department lists its people only; "全部" brings everybody back.
  ASSERT_TRUE(cmb.ChooseText("装配车间"));
  const auto assembly = Column(
      "SELECT 雇员编号 FROM PDMGY G JOIN PDMBM B ON G.部门ID=B.部门ID WHERE B.部门名称='装配车间' "
      "AND isnull(G.active,0)=0");
  ASSERT_FALSE(assembly.empty());
  EXPECT_EQ(Sorted(ListColumn(kGyColNumber)), Sorted(assembly));
  for (const auto& org : ListColumn(kGyColOrganisation)) EXPECT_EQ(org, "装配车间");
  ASSERT_TRUE(cmb.ChooseText("全部"));
  EXPECT_EQ(ListColumn(kGyColNumber).size(), active.size());
}

// Validate under these parameters is walked by the gy_validate scenario.
TEST_F(EmployeePickerTest, OrganisationTypeNarrowsDepartmentsAndEmployees) {
  Parameters({{"组织类型", Variant("4")}});
  ASSERT_TRUE(picker_->Refresh());
  std::vector<std::string> names;
  for (int i = 1; i < picker_->departments().ListCount(); ++i) {
    names.push_back(picker_->departments().ItemAt(i).text);
  }
  EXPECT_EQ(Sorted(names), Sorted(Column("SELECT 部门名称 FROM PDMBM WHERE 组织类型=4")));
  EXPECT_EQ(Sorted(ListColumn(kGyColNumber)),
            Sorted(Column("SELECT 雇员编号 FROM PDMGY G JOIN PDMBM B ON G.部门ID=B.部门ID "
                          "WHERE B.组织类型=4 AND isnull(G.active,0)=0")));
}

TEST_F(EmployeePickerTest, LockFixesTheDepartmentForListAndValidate) {
  Parameters({{"部门名称", Variant(" 装配车间 ")}, {"lock", Variant(1)}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_FALSE(picker_->departments().enabled());
  EXPECT_EQ(picker_->departments().text(), "装配车间");
  for (const auto& org : ListColumn(kGyColOrganisation)) EXPECT_EQ(org, "装配车间");
  EXPECT_FALSE(ListColumn(kGyColNumber).empty());

  // "lock" with another value leaves the list usable.
  Parameters({{"部门名称", Variant("装配车间")}, {"lock", Variant("0")}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_TRUE(picker_->departments().enabled());
  // Without "部门名称" the department chosen before stays.
  Parameters({});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(picker_->departments().text(), "装配车间");
}

// The answers of Validate, and leavers and quotes, are walked by the gy_validate scenario.
TEST_F(EmployeePickerTest, ValidateFillsTheRecordAndEmptiesItOnAMiss) {
  EXPECT_EQ(Check("E002").text, "王芳");
  auto record = std::dynamic_pointer_cast<clsGY>(picker_->Objects());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->s雇员编号(), "E002");
  EXPECT_TRUE(record->b性别());
  EXPECT_EQ(record->s身份证号码(), "320502199007080025");
  EXPECT_EQ(Check("张伟", "雇员编号", "身份证号码").value, "E001");
  EXPECT_FALSE(std::dynamic_pointer_cast<clsGY>(picker_->Objects())->b性别());

  // Whoever left is never found; the record is then fresh and empty.
  EXPECT_EQ(Check("罗军").value, "");
  record = std::dynamic_pointer_cast<clsGY>(picker_->Objects());
  EXPECT_EQ(record->s姓名(), "");
  EXPECT_FALSE(record->Change());
  for (const char* typed : {"O'Neil", "x')) OR ((1=1"}) {
    const auto l = Check(typed);
    EXPECT_EQ(l.value + l.text, "") << typed;
  }
  EXPECT_TRUE(dialogs_->boxes().empty());
  EXPECT_EQ(picker_->GetText(), "");
}

TEST_F(EmployeePickerTest, SingleChoiceFillsTheRecordFromTheRow) {
  ASSERT_TRUE(picker_->Refresh());
  const int row = RowOf("E005");
  ASSERT_GT(row, 0);
  ASSERT_TRUE(picker_->grid().DoubleClickCell(row, kGyColName));
  EXPECT_EQ(sink_.selected, 1);
  EXPECT_EQ(picker_->GetText(), "陈静");
  EXPECT_EQ(picker_->GetValue().ToText(),
            Column("SELECT 雇员ID FROM PDMGY WHERE 雇员编号='E005'").at(0));
  auto record = std::dynamic_pointer_cast<clsGY>(picker_->Objects());
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(record->b性别());
  EXPECT_EQ(record->l部门ID(), 3);
  EXPECT_EQ(record->s雇员编号(), "E005");

  // A man's row gives false; Enter on the grid completes as well.
  const int man = RowOf("E006");
  ASSERT_TRUE(picker_->grid().ClickCell(man, kGyColName));
  ASSERT_TRUE(picker_->grid().PressKey(controls::keys::kReturn));
  EXPECT_EQ(sink_.selected, 2);
  EXPECT_FALSE(std::dynamic_pointer_cast<clsGY>(picker_->Objects())->b性别());

  ASSERT_TRUE(picker_->button(1).Click());
  EXPECT_EQ(sink_.cancelled, 1);
}

TEST_F(EmployeePickerTest, MultipleChoiceReturnsTheTickedRows) {
  Parameters({{"多选", Variant(1)}});
  ASSERT_TRUE(picker_->Refresh());
  controls::Grid& g = picker_->grid();
  EXPECT_FALSE(g.ColHidden(kGyColTick));
  EXPECT_TRUE(picker_->button(3).visible());
  EXPECT_TRUE(picker_->button(4).visible());

  const int a = RowOf("E003");
  const int b = RowOf("E010");
  ASSERT_TRUE(g.ClickCell(b, kGyColName));
  ASSERT_TRUE(g.ClickCell(a, kGyColName));
  // Double click and Enter do not complete in this mode; the click of the double click
  // unticks, a further click ticks again.
  ASSERT_TRUE(g.DoubleClickCell(a, kGyColName));
  EXPECT_EQ(g.TextMatrix(a, kGyColTick), "");
  ASSERT_TRUE(g.ClickCell(a, kGyColName));
  EXPECT_EQ(g.TextMatrix(a, kGyColTick), "√");
  ASSERT_TRUE(g.PressKey(controls::keys::kReturn));
  EXPECT_EQ(sink_.selected, 0);

  ASSERT_TRUE(picker_->button(0).Click());
  EXPECT_EQ(sink_.selected, 1);
  const std::string id_a = g.TextMatrix(a, kGyColId);
  const std::string id_b = g.TextMatrix(b, kGyColId);
  // Top to bottom, whatever order they were ticked in.
  const bool a_first = a < b;
  EXPECT_EQ(picker_->GetValue().ToText(), a_first ? id_a + "," + id_b : id_b + "," + id_a);
  EXPECT_EQ(picker_->GetText(), a_first ? "李强,吴娟" : "吴娟,李强");

  // Tick all includes rows hidden by the filter; untick all clears every one.
  ASSERT_TRUE(picker_->filter_box().Click());
  ASSERT_TRUE(picker_->search_box().Type("E01"));
  int hidden = 0;
  for (int r = 1; r < g.rows(); ++r) hidden += g.RowHidden(r) ? 1 : 0;
  EXPECT_GT(hidden, 0);
  ASSERT_TRUE(picker_->button(3).Click());
  ASSERT_TRUE(picker_->button(0).Click());
  EXPECT_EQ(Sorted(Split(picker_->GetText())), Sorted(ListColumn(kGyColName)));
  ASSERT_TRUE(picker_->button(4).Click());
  ASSERT_TRUE(picker_->button(0).Click());
  EXPECT_EQ(picker_->GetText(), "");
  EXPECT_EQ(picker_->GetValue().ToText(), "");
}

TEST_F(EmployeePickerTest, EveryChangeOfTheSearchBoxSearchesAtOnce) {
  ASSERT_TRUE(picker_->Refresh());
  controls::Grid& g = picker_->grid();
  controls::TextBox& box = picker_->search_box();
  // Find mode on the initial columns (id, number, sex): the number matches from the left.
  ASSERT_TRUE(box.Type("e01"));
  EXPECT_EQ(g.row(), RowOf("E010"));
  EXPECT_TRUE(box.HasFocus());
  ASSERT_TRUE(box.Type("E015"));
  EXPECT_EQ(g.row(), RowOf("E015"));
  // Names are not searched until the list says so.
  const int before = g.row();
  ASSERT_TRUE(box.Type("陈静"));
  EXPECT_EQ(g.row(), before);
  ASSERT_TRUE(picker_->search_columns_box().Type("3"));
  ASSERT_TRUE(box.Type("陈"));
  EXPECT_EQ(g.row(), RowOf("E005"));

  // Filter mode hides the rows that do not contain the text and keeps the caption rule.
  ASSERT_TRUE(picker_->filter_box().Click());
  EXPECT_EQ(picker_->match_box().caption(), "左起字符匹配");
  ASSERT_TRUE(box.Type("静"));
  ASSERT_GT(g.row(), 0);
  EXPECT_FALSE(g.RowHidden(g.row()));
  for (int r = 1; r < g.rows(); ++r) {
    EXPECT_EQ(g.RowHidden(r), g.TextMatrix(r, kGyColName).find("静") == std::string::npos) << r;
  }
  ASSERT_TRUE(picker_->filter_box().Click());
  EXPECT_EQ(picker_->match_box().caption(), "全字匹配");
  for (int r = 1; r < g.rows(); ++r) EXPECT_FALSE(g.RowHidden(r));
  // Enter in the search box completes the selection with the row found.
  ASSERT_TRUE(box.PressKey(controls::keys::kReturn));
  EXPECT_EQ(sink_.selected, 1);
  EXPECT_EQ(picker_->GetText(), "陈静");
}

TEST_F(EmployeePickerTest, KeysFocusTheFieldsAndEditTheSearchColumns) {
  ASSERT_TRUE(picker_->Refresh());
  ASSERT_TRUE(picker_->grid().PressKey('T', controls::keys::kCtrlMask));
  EXPECT_TRUE(picker_->departments().HasFocus());
  ASSERT_TRUE(picker_->grid().PressKey('B', controls::keys::kCtrlMask));
  EXPECT_TRUE(picker_->search_box().HasFocus());

  dialogs_->QueueInput(std::string("2;3"));
  ASSERT_TRUE(
      picker_->grid().PressKey('E', controls::keys::kCtrlMask | controls::keys::kShiftMask));
  ASSERT_EQ(dialogs_->inputs_shown().size(), 1u);
  EXPECT_EQ(dialogs_->inputs_shown()[0].title, "查找");
  EXPECT_EQ(dialogs_->inputs_shown()[0].default_text, "1;2;4");
  EXPECT_EQ(picker_->search_columns(), (std::vector<int>{2, 3}));
  // Cancelling keeps the list.
  dialogs_->QueueInput(std::nullopt);
  ASSERT_TRUE(
      picker_->grid().PressKey('E', controls::keys::kCtrlMask | controls::keys::kShiftMask));
  EXPECT_EQ(picker_->search_columns_box().text(), "2;3");
}

TEST_F(EmployeePickerTest, DatabaseFailuresShowTheirTextAndClearReleases) {
  ASSERT_TRUE(picker_->Refresh());
  ASSERT_FALSE(ListColumn(kGyColNumber).empty());
  host_->database().InjectFailures(
      [](std::string_view sql) { return ToUpperAscii(sql).find("PDMGY") != std::string::npos; });
  // The list procedure's failure: the database's text, and an empty list.
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  EXPECT_TRUE(picker_->Refresh());
  ASSERT_EQ(dialogs_->boxes().size(), 1u);
  EXPECT_NE(dialogs_->boxes()[0].text.find("injected failure"), std::string::npos);
  EXPECT_TRUE(ListColumn(kGyColNumber).empty());
  // Validate's failure: the description alone, critical, titled "错误：".
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  const auto l = Check("E001");
  EXPECT_FALSE(l.result);
  EXPECT_EQ(l.value, "");
  ASSERT_EQ(dialogs_->boxes().size(), 2u);
  EXPECT_EQ(dialogs_->boxes()[1].title, "错误：");
  EXPECT_EQ(dialogs_->boxes()[1].icon, MsgIcon::kCritical);
  EXPECT_EQ(dialogs_->boxes()[1].text.find("Validate"), std::string::npos);
  EXPECT_NE(dialogs_->boxes()[1].text.find("injected failure"), std::string::npos);
  host_->database().InjectFailures({});

  ASSERT_TRUE(picker_->Clear());
  EXPECT_EQ(picker_->Objects(), nullptr);
  EXPECT_EQ(picker_->GetParameters(), nullptr);
  // With no host the picker does nothing and shows nothing.
  EXPECT_FALSE(picker_->Refresh());
  EXPECT_EQ(dialogs_->boxes().size(), 2u);
}

}  // namespace
}  // namespace korvane
