#include "pickers/pdm_cpml_sr.h"

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

using namespace pickers::cpml_sr;
namespace cpml = pickers::cpml;
using controls::TreeNode;

class ProcessPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_);
    // Counts the statements that read the process categories (one per tree build) and fails
    // those holding `fail_` while it is set.
    host_->database().InjectFailures([this](std::string_view statement) {
      const std::string text = ToLowerAscii(statement);
      if (text.find("pdmsrlb") != std::string::npos && text.find("级次") != std::string::npos) {
        ++category_reads_;
      }
      return !fail_.empty() && text.find(fail_) != std::string::npos;
    });
    picker_ = Create();
  }
  void TearDown() override { host_->database().InjectFailures({}); }

  std::shared_ptr<pdmCpml_Sr> Create() {
    std::shared_ptr<Object> object = ClassRegistry::Instance().Create("Korvane.pdmCpml_Sr");
    EXPECT_NE(QueryInterface<IPickerUI>(object), nullptr);
    return std::dynamic_pointer_cast<pdmCpml_Sr>(object);
  }

  void SetParameters(std::vector<std::pair<std::string, Variant>> values) {
    auto set = std::make_shared<BasicParameterSet>();
    for (auto& [name, value] : values) set->Set(name, value);
    picker_->SetParameters(set);
  }

  std::unique_ptr<Recordset> Rows(const std::string& sql) {
    std::unique_ptr<Recordset> rows = host_->Data()->OpenSql(sql);
    EXPECT_NE(rows, nullptr) << sql << ": " << host_->Data()->LastError();
    return rows;
  }
  // The first column of every row, as whole numbers.
  std::set<long> Ids(const std::string& sql) {
    std::set<long> ids;
    std::unique_ptr<Recordset> rows = Rows(sql);
    if (!rows) return ids;
    for (const Recordset::Row& row : rows->Rows()) ids.insert(row.at(0).ToLong());
    return ids;
  }
  void Exec(const std::string& sql) { ASSERT_TRUE(host_->Data()->ExecuteSql(sql)) << sql; }

  // The process ids the tree shows.
  std::set<long> TreeProcesses() {
    std::set<long> ids;
    for (const TreeNode* node : picker_->tree().Walk()) {
      if (node->key().front() == 'w') ids.insert(static_cast<long>(NumericValue(node->tag())));
    }
    return ids;
  }
  // The product ids the grid lists.
  std::set<long> ListedProducts() {
    std::set<long> ids;
    controls::Grid& vs = picker_->grid();
    for (int r = vs.fixed_rows(); r < vs.rows(); ++r) {
      ids.insert(static_cast<long>(NumericValue(vs.TextMatrix(r, cpml::kColId))));
    }
    return ids;
  }
  TreeNode& Node(const std::string& key) {
    TreeNode* node = picker_->tree().Find(key);
    EXPECT_NE(node, nullptr) << key;
    if (node == nullptr) throw std::runtime_error("no node " + key);
    return *node;
  }
  // The last two parts of the list key: process and zero-rate flag.
  std::string ListKeyTail() {
    const std::string& key = picker_->list_key();
    std::size_t at = key.rfind('[');
    at = key.rfind('[', at - 1);
    return key.substr(at);
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::shared_ptr<pdmCpml_Sr> picker_;
  int category_reads_ = 0;
  std::string fail_;
};

TEST(ProcessPickerPieces, ProcessNamesAndCategoryCodes) {
  EXPECT_EQ(ProcessNameOf("GX01  粗车"), "粗车");
  EXPECT_EQ(ProcessNameOf("工序甲  铣  平面"), "铣  平面");  // only the first separator counts
  EXPECT_EQ(ProcessNameOf("GX01 粗车"), "GX01 粗车");        // one blank is no separator
  EXPECT_EQ(CodeLevels(" 2,2,3 "), (std::vector<int>{2, 2, 3}));
  EXPECT_EQ(CodeLevels("2,x,2"), (std::vector<int>{2}));
  EXPECT_TRUE(CodeLevels("").empty());
  const std::vector<int> levels = {2, 2, 3};
  EXPECT_EQ(ParentCode("0101", 2, levels), "01");
  EXPECT_EQ(ParentCode("0101007", 3, levels), "0101");
  EXPECT_EQ(ParentCode("01", 1, levels), "");
  EXPECT_EQ(ParentCode("01", 2, levels), "");  // too short to have a parent part
  EXPECT_EQ(ParentCode("0101007", 3, {2}), "");
}

// The tree's shape on the demo catalogue, the list a process gives and the expansion kept per
// program are walked by the cpml_sr_tree and cpml_sr_splitter scenarios.
TEST_F(ProcessPickerTest, EveryCategoryAndProcessHangsUnderItsParent) {
  // A third level the "2,2" scheme does not describe still finds its parent by its code.
  Exec(
      "insert into pdmsrlb (类别ID, 类别编码, 类别名称, 级次, 是否明细) values "
      "(9,'010101','数控车',3,1)");
  Exec("update PDMSR set 类别ID=9 where 工艺ID=2");
  ASSERT_TRUE(picker_->Init(host_, 7, ""));
  EXPECT_EQ(Node("k010101").parent()->key(), "k0101");
  EXPECT_EQ(Node("k010101").text(), "010101  数控车");
  // Siblings come in code order.
  EXPECT_EQ(Node("k01").children().at(0)->key(), "k0101");
  EXPECT_EQ(Node("k01").children().at(1)->key(), "k0102");

  std::unique_ptr<Recordset> processes =
      Rows("select A.工艺ID, A.编号, B.类别编码 from PDMSR A join pdmsrlb B on A.类别ID=B.类别ID");
  ASSERT_NE(processes, nullptr);
  for (const Recordset::Row& row : processes->Rows()) {
    const TreeNode& node = Node("w" + row.at(1).ToText());
    EXPECT_EQ(NumericValue(node.tag()), row.at(0).ToDouble());
    EXPECT_EQ(node.parent()->key(), "k" + row.at(2).ToText());
  }
  EXPECT_EQ(picker_->tree().Count(),
            1 + Ids("select 类别ID from pdmsrlb").size() + processes->RecordCount());
  EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(ProcessPickerTest, StructureRestrictsTheProcessesAndRebuildsOncePerChange) {
  ASSERT_TRUE(picker_->Init(host_, 7, ""));
  EXPECT_EQ(category_reads_, 1);
  const std::set<long> all = Ids("select 工艺ID from PDMSR");
  EXPECT_EQ(TreeProcesses(), all);
  ASSERT_TRUE(picker_->Refresh());  // no structure: the tree stays
  EXPECT_EQ(category_reads_, 1);

  SetParameters({{"bomID", Variant("9")}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(category_reads_, 2);
  ASSERT_LT(TreeProcesses().size(), all.size());
  // The same structure, also written with blanks, keeps the tree with its selection.
  ASSERT_TRUE(picker_->tree().SelectNode(&Node("k01")));
  SetParameters({{"bomID", Variant(" 9 ")}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(category_reads_, 2);
  EXPECT_EQ(picker_->tree().selected(), &Node("k01"));

  SetParameters({{"bomID", Variant(13)}});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(category_reads_, 3);
  EXPECT_EQ(TreeProcesses(),
            Ids("select distinct M.工艺ID from PDMSRLXMX M join PDMSRLX L on M.SRLXID=L.ID "
                "where L.产品ID in (select 配件ID from PDMBOMMX where bomID=13)"));
  SetParameters({});
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(category_reads_, 4);
  EXPECT_EQ(picker_->bom_id(), 0);
  EXPECT_EQ(TreeProcesses(), all);
}

TEST_F(ProcessPickerTest, TheChosenNodeAndTheZeroRateBoxGoIntoTheList) {
  ASSERT_TRUE(picker_->Init(host_, 7, ""));
  ASSERT_TRUE(picker_->Refresh());
  EXPECT_EQ(ListKeyTail(), "[-1][0]");  // nothing selected yet
  const std::set<long> everything = ListedProducts();
  ASSERT_TRUE(picker_->tree().SelectNode(&Node("k01")));
  EXPECT_EQ(ListKeyTail(), "[0][0]");  // a category restricts nothing
  EXPECT_EQ(ListedProducts(), everything);
  ASSERT_TRUE(picker_->tree().SelectNode(&Node("wGX03")));
  EXPECT_EQ(ListKeyTail(), "[3][0]");
  ASSERT_TRUE(picker_->zero_rate_box().Click());
  EXPECT_EQ(ListKeyTail(), "[3][1]");
  EXPECT_TRUE(dialogs_->boxes().empty());
}

// The process a choice carries from the list is walked by the work report's line_pickers_delete
// scenario; here, what Validate takes from the selected node.
TEST_F(ProcessPickerTest, ValidateCarriesTheSelectedProcess) {
  ASSERT_TRUE(picker_->Init(host_, 7, ""));
  ASSERT_TRUE(picker_->Refresh());
  std::string value, text;
  const auto validated = [&] {
    picker_->Validate("", "", "", "JJ-BZ-01", value, text);
    EXPECT_EQ(text, "JJ-BZ-01");
    return std::dynamic_pointer_cast<clsCpml>(picker_->Objects());
  };
  ASSERT_TRUE(picker_->tree().SelectNode(&Node("wGX03")));
  EXPECT_EQ(validated()->s工艺名称(), "铣平面");
  // A node text without the two-blank separator is taken whole.
  Node("wGX03").set_text("铣平面工序");
  EXPECT_EQ(validated()->l工艺ID(), 3);
  EXPECT_EQ(validated()->s工艺名称(), "铣平面工序");
  // A category node gives process 0 and no name.
  picker_->tree().set_selected(&Node("k01"));
  EXPECT_EQ(validated()->l工艺ID(), 0);
  EXPECT_EQ(validated()->s工艺名称(), "");
}

TEST_F(ProcessPickerTest, AFailingCategoryReadIsShownAndLeavesTheRoot) {
  fail_ = "pdmsrlb";
  dialogs_->QueueAnswer(MsgAnswer::kOk);
  ASSERT_TRUE(picker_->Init(host_, 7, ""));
  ASSERT_EQ(dialogs_->boxes().size(), 1u);
  EXPECT_EQ(dialogs_->boxes()[0].title, "错误：");
  EXPECT_NE(dialogs_->boxes()[0].text.find("injected failure"), std::string::npos);
  EXPECT_EQ(picker_->tree().Count(), 1);
  // The next build works again.
  fail_.clear();
  picker_->LoadSr();
  EXPECT_GT(picker_->tree().Count(), 1);
}

}  // namespace
}  // namespace korvane
