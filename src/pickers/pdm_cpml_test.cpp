#include "pickers/pdm_cpml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/db_procedures.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using namespace pickers;
using namespace pickers::cpml;

class ProductPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reference_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_);
    std::string error;
    // The list procedure runs on a second connection, so that every call is recorded.
    twin_ = data::SqliteDataService::Open(db_.path(), {}, error);
    ASSERT_NE(twin_, nullptr) << error;
    ASSERT_TRUE(hostapp::RegisterDatabaseObjects(*twin_, error)) << error;
    reference_->database().RegisterProcedure(
        "p_PDM_CPML_SELECT",
        [this](std::vector<Parameter>& parameters, data::SqlReader&,
               std::string& failure) -> std::unique_ptr<Recordset> {
          list_calls_.push_back(parameters);
          Command call{"p_PDM_CPML_SELECT", CommandType::kStoredProcedure, parameters};
          std::unique_ptr<Recordset> rows = twin_->Open(call);
          if (rows == nullptr) failure = twin_->LastError();
          return rows;
        });
    std::shared_ptr<Object> object = ClassRegistry::Instance().Create("Korvane.pdmCpml");
    picker_ = std::dynamic_pointer_cast<pdmCpml>(object);
    ASSERT_NE(picker_, nullptr);
    ASSERT_NE(QueryInterface<IPickerUI>(object), nullptr);
  }

  bool Open() { return picker_->Init(reference_, 6101, ""); }

  void SetParameters(std::vector<std::pair<std::string, Variant>> values) {
    auto set = std::make_shared<BasicParameterSet>();
    for (auto& [name, value] : values) set->Set(name, value);
    picker_->SetParameters(set);
  }

  // One value of the demo database.
  Variant Sql(const std::string& sql) {
    std::unique_ptr<Recordset> rows = reference_->Data()->OpenSql(sql);
    EXPECT_NE(rows, nullptr) << sql << ": " << reference_->Data()->LastError();
    if (!rows || rows->RecordCount() == 0) return {};
    rows->MoveFirst();
    return rows->Value(0);
  }
  void Exec(const std::string& sql) { ASSERT_TRUE(reference_->Data()->ExecuteSql(sql)) << sql; }

  controls::Grid& Vs() { return picker_->grid(); }
  int DataRows() { return Vs().rows() - Vs().fixed_rows(); }
  std::string Validate(const std::string& typed) {
    std::string value, text;
    EXPECT_FALSE(picker_->Validate("", "", "", typed, value, text));
    return value;
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> reference_;
  std::shared_ptr<data::SqliteDataService> twin_;
  std::vector<std::vector<Parameter>> list_calls_;
  std::shared_ptr<pdmCpml> picker_;
};

TEST(ProductPickerPieces, AccountConditionsQuoteEveryCode) {
  // A list written for a literal and a plain comma list give the same condition; a quote
  // inside a code stays inside its literal.
  EXPECT_EQ(AccountCondition("1211','1221"), AccountCondition("1211, 1221"));
  EXPECT_NE(AccountCondition("12'11").find("'12''11'"), std::string::npos);
}

TEST_F(ProductPickerTest, InitSetsUpTheColumnsAndTheListsButListsNothing) {
  Exec(
      "update xt_accinformation set item_value='1' where system_code='st' and "
      "item_code='iscolordisp'");
  Exec(
      "update xt_accinformation set item_value='0' where system_code='st' and "
      "item_code='warehouse'");
  ASSERT_TRUE(Open());
  // Hidden by design, by mode, by the cancelled box and by the four settings.
  for (int c : {kColTick, kColId, kColCategoryId, kColCategory, kColInUse, kColBin,
                kColCharacteristic, kColSize}) {
    EXPECT_FALSE(Vs().ColIsVisible(c)) << c;
  }
  EXPECT_TRUE(Vs().ColIsVisible(kColColour));
  // The sort list offers exactly the visible columns, left to right.
  std::vector<std::string> visible, offered;
  for (int c = 0; c < Vs().cols(); ++c) {
    if (Vs().ColIsVisible(c)) visible.push_back(Vs().TextMatrix(0, c));
  }
  for (const auto& item : picker_->sort_list().items()) offered.push_back(item.text);
  EXPECT_EQ(offered, visible);
  EXPECT_EQ(picker_->category_list().ItemAt(0).text, kAllItems);
  EXPECT_EQ(picker_->category_list().ListCount(), 1 + Sql("select count(*) from pdmcplb").ToLong());
  EXPECT_EQ(picker_->source_list().ListCount(),
            1 + Sql("select count(*) from xt_billattribute where attribute='产品来源'").ToLong());
  EXPECT_TRUE(list_calls_.empty());
  EXPECT_EQ(DataRows(), 0);
}

TEST_F(ProductPickerTest, TheListIsReloadedOnlyWhenItsParametersChange) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(picker_->Refresh());
  ASSERT_EQ(list_calls_.size(), 1u);
  const auto last = [&] { return list_calls_.back(); };
  // "全部" in both lists sends -1; nothing ticked, no structure, no account.
  std::vector<std::string> sent;
  for (int i = 0; i < 5; ++i) sent.push_back(last().at(i).value.ToText());
  EXPECT_EQ(sent, (std::vector<std::string>{"-1", "0", "-1", "", ""}));
  EXPECT_EQ(DataRows(), Sql("select count(*) from PDMCPML where 是否使用<>0").ToLong());
  for (int r = Vs().fixed_rows(); r < Vs().rows(); ++r) ASSERT_EQ(Vs().RowHeight(r), 280) << r;

  // A new parameter set with nothing that changes the list does not query again.
  ASSERT_TRUE(picker_->Refresh());
  SetParameters({{"多选", 0}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(list_calls_.size(), 1u);

  // Ticking the cancelled box reloads with the cancelled products and their column.
  ASSERT_TRUE(picker_->cancelled_box().Click());
  ASSERT_EQ(list_calls_.size(), 2u);
  EXPECT_EQ(last().at(1).value.ToText(), "1");
  EXPECT_EQ(DataRows(), Sql("select count(*) from PDMCPML").ToLong());
  EXPECT_TRUE(Vs().ColIsVisible(kColInUse));

  // Choosing a category sends its id; back on "全部" it is -1 again.
  ASSERT_TRUE(picker_->category_list().Choose(2));
  ASSERT_EQ(list_calls_.size(), 3u);
  EXPECT_EQ(last().at(0).value.ToLong(), picker_->category_list().ItemAt(2).data.ToLong());
  ASSERT_TRUE(picker_->category_list().ChooseText(std::string(kAllItems)));
  EXPECT_EQ(last().at(0).value.ToText(), "-1");
  ASSERT_TRUE(picker_->source_list().Choose(1));
  EXPECT_EQ(last().at(2).value.ToText(), picker_->source_list().ItemAt(1).data.ToText());
  const std::size_t before = list_calls_.size();

  // The refresh button always reloads; a structure is a new list.
  ASSERT_TRUE(picker_->button(2).Click());
  EXPECT_EQ(list_calls_.size(), before + 1);
  SetParameters({{"bomID", "9"}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(list_calls_.size(), before + 2);
  EXPECT_EQ(last().at(3).value.ToText(), "9");
}

TEST_F(ProductPickerTest, AnAccountCodeNarrowsTheCategoriesAndKeepsTheSource) {
  ASSERT_TRUE(Open());
  ASSERT_TRUE(picker_->Refresh());
  ASSERT_TRUE(picker_->source_list().Choose(2));
  SetParameters({{"材料科目编号", " 1221 "}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(picker_->account_code(), "1221");
  EXPECT_EQ(picker_->category_list().ListCount(),
            1 + Sql("select count(*) from pdmcplb where 对应科目编号='1221'").ToLong());
  EXPECT_EQ(picker_->source_list().list_index(), 2);
  EXPECT_EQ(list_calls_.back().at(4).value.ToText(), "1221");
}

// Plain lookups, a structure, a single account and a quote are walked by cpml_validate.
TEST_F(ProductPickerTest, ValidateFindsByNameAndReadsAccountLists) {
  ASSERT_TRUE(Open());
  const std::string id = Sql("select 产品ID from PDMCPML where 物品编码='YG-45-20'").ToText();
  // Two products share this name: either one answers.
  const std::string by_name = Validate("45#圆钢");
  EXPECT_EQ(Sql("select 物品名称 from PDMCPML where 产品ID=" + by_name).ToText(), "45#圆钢");
  EXPECT_EQ(std::dynamic_pointer_cast<clsCpml>(picker_->Objects())->l产品ID(), std::stoi(by_name));
  EXPECT_EQ(Validate("YG20' --"), "");
  // A list of account codes takes in the categories of each; blanks are no restriction.
  SetParameters({{"材料科目编号", "1221,1211"}});
  EXPECT_EQ(Validate("YG-45-20"), id);
  EXPECT_NE(Validate("BZ-ZX-01"), "");
  SetParameters({{"材料科目编号", "  "}});
  EXPECT_EQ(Validate("YG-45-20"), id);
  EXPECT_TRUE(dialogs_->boxes().empty());
}

}  // namespace
}  // namespace korvane
