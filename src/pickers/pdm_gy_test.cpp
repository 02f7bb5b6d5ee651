#include "pickers/pdm_gy.h"

#include <gtest/gtest.h>

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
    ASSERT_TRUE(picker_->Init(host_, 6301, ""));
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

  test::DemoDatabase db_;
  test::TempFolder user_folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::shared_ptr<Object> object_;
  std::shared_ptr<pdmgy> picker_;
};

// The department list itself and a department's people are walked by the gy_objects scenario.
TEST_F(EmployeePickerTest, TheListHoldsNoLeaversAndFollowsTheDepartmentAndOrganisationType) {
  ASSERT_TRUE(picker_->Refresh());
  const auto active = Column("SELECT 雇员编号 FROM PDMGY WHERE isnull(active,0)=0");
  EXPECT_EQ(Sorted(ListColumn(kGyColNumber)), Sorted(active));
  ASSERT_TRUE(picker_->departments().ChooseText("装配车间"));
  for (const auto& org : ListColumn(kGyColOrganisation)) EXPECT_EQ(org, "装配车间");
  ASSERT_TRUE(picker_->departments().ChooseText("全部"));
  EXPECT_EQ(ListColumn(kGyColNumber).size(), active.size());

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

// A locked department and the Validate answers under it are walked by the gy_validate scenario.
TEST_F(EmployeePickerTest, OnlyLockOneFixesTheDepartmentAndTheNameStaysWithoutOne) {
  Parameters({{"部门名称", Variant(" 装配车间 ")}, {"lock", Variant(1)}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_FALSE(picker_->departments().enabled());
  for (const auto& org : ListColumn(kGyColOrganisation)) EXPECT_EQ(org, "装配车间");
  Parameters({{"部门名称", Variant("装配车间")}, {"lock", Variant("0")}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_TRUE(picker_->departments().enabled());
  Parameters({});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(picker_->departments().text(), "装配车间");
}

TEST_F(EmployeePickerTest, ValidateFillsTheRecordAndEmptiesItOnAMiss) {
  EXPECT_EQ(Check("E002").text, "王芳");
  auto record = std::dynamic_pointer_cast<clsGY>(picker_->Objects());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->s雇员编号(), "E002");
  EXPECT_TRUE(record->b性别());
  EXPECT_EQ(record->s身份证号码(), "320502199007080025");
  Check("张伟");
  EXPECT_FALSE(std::dynamic_pointer_cast<clsGY>(picker_->Objects())->b性别());
  // Whoever left is never found; the record is then fresh and empty.
  EXPECT_EQ(Check("罗军").value, "");
  record = std::dynamic_pointer_cast<clsGY>(picker_->Objects());
  EXPECT_EQ(record->s姓名(), "");
  EXPECT_FALSE(record->Change());
  EXPECT_TRUE(dialogs_->boxes().empty());
}

}  // namespace
}  // namespace korvane
