// Storing and deleting product structures against the demo factory: every statement of a save
// and of a delete failing in turn leaves the tables as they were, and the person was told.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bom/bom.h"
#include "host/test_support.h"
#include "hostapp/fault_loop_test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"

namespace korvane {
namespace {

using namespace bom;

// Answers every box with OK or Yes and keeps their texts.
struct AnsweringDialogs : Dialogs {
  MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon,
                       std::string_view) override {
    texts.emplace_back(text);
    return buttons == MsgButtons::kYesNo ? MsgAnswer::kYes : MsgAnswer::kOk;
  }
  std::optional<std::string> InputBox(std::string_view, std::string_view,
                                      std::string_view) override {
    return std::nullopt;
  }
  std::vector<std::string> texts;
};

// What the person was told: the module's errors (not its notes) and the boxes it showed. The
// fault loop clears it before each run and finds it empty when a failure went unreported.
struct Told {
  test::RecordingDocumentEvents& events;
  AnsweringDialogs& dialogs;
  void clear() {
    events.errors.clear();
    dialogs.texts.clear();
  }
  bool empty() const {
    return dialogs.texts.empty() &&
           std::none_of(events.errors.begin(), events.errors.end(),
                        [](const test::RaisedError& e) { return e.level == LogLevel::kError; });
  }
};

class BomStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_, [](std::string_view id) {
      return ClassRegistry::Instance().Create(id);
    });
    bom_ = std::dynamic_pointer_cast<Bom>(ClassRegistry::Instance().Create("Korvane.Bom"));
    ASSERT_NE(bom_, nullptr);
    bom_->Advise(&sink_);
    ASSERT_TRUE(bom_->Init(host_, 4101, 0));
    ASSERT_TRUE(bom_->Refresh());
  }
  void TearDown() override {
    host_->database().InjectFailures({});
    bom_->Unadvise(&sink_);
  }

  bool Select(const std::string& key) { return bom_->tree().SelectNode(bom_->tree().Find(key)); }

  // The rows of the structure tables and the keys issued, each row as one text.
  std::vector<std::string> Tables() {
    std::vector<std::string> rows;
    for (const std::string table : {"PDMBOM", "PDMBOMMX", "xt_key"}) {
      std::string error;
      const std::unique_ptr<Recordset> read =
          host_->database().Native().Query("SELECT * FROM " + table, {}, error);
      if (read == nullptr) {
        ADD_FAILURE() << table << ": " << error;
        continue;
      }
      for (read->MoveFirst(); !read->Eof(); read->MoveNext()) {
        std::string text = table;
        for (int f = 0; f < read->FieldCount(); ++f) text += "|" + read->Value(f).ToText();
        rows.push_back(std::move(text));
      }
    }
    return rows;
  }

  int FailEachStatement(const std::function<bool()>& operation,
                        const std::function<void()>& before_each) {
    Told told{sink_, *dialogs_};
    return test::FailEachStatement(
        *host_, told, [this] { return Tables(); }, operation, before_each);
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<AnsweringDialogs> dialogs_ = std::make_shared<AnsweringDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::shared_ptr<Bom> bom_;
  test::RecordingDocumentEvents sink_;
};

TEST_F(BomStoreTest, EveryStatementOfASaveOrDeleteFailingLeavesTheTablesAsTheyWere) {
  // 电机底座组件's unapproved view shows nothing: a new structure of two lines.
  const auto enter_new = [&] {
    bom_->FileCancel();
    ASSERT_TRUE(Select("wZJ-DZ-01"));
    ASSERT_TRUE(bom_->FileNew());
    controls::Grid& grid = bom_->lines();
    ASSERT_TRUE(grid.EditCell(1, kColCode, "JJ-DZ-01"));
    ASSERT_TRUE(grid.EditCell(2, kColCode, "BJ-LS-M8"));
    ASSERT_TRUE(grid.EditCell(2, kColQuantity, "4"));
    ASSERT_TRUE(grid.EditCell(2, kColNote, "O'Brien's; --"));
  };
  // Header key and insert, and for each line the cycle check's queries, its key and insert.
  EXPECT_GE(FailEachStatement([&] { return bom_->FileSave(); }, enter_new), 6);
  const std::int32_t id = bom_->GetID();
  ASSERT_GT(id, 23);
  EXPECT_EQ(bom_->lines().TextMatrix(2, kColNote), "O'Brien's; --");
  EXPECT_EQ(bom_->tree().Find("wZJ-DZ-01")->image(), kImageWithStructure);

  // The stored structure edited: one line changed, one added.
  const auto edit = [&] {
    bom_->FileCancel();
    ASSERT_TRUE(bom_->FileEdit());
    controls::Grid& grid = bom_->lines();
    ASSERT_TRUE(grid.EditCell(1, kColQuantity, "2"));
    ASSERT_TRUE(grid.EditCell(3, kColCode, "BJ-LM-M8"));
  };
  EXPECT_GE(FailEachStatement([&] { return bom_->FileSave(); }, edit), 4);
  EXPECT_EQ(bom_->lines().TextMatrix(1, kColQuantity), "2");
  EXPECT_EQ(bom_->lines().TextMatrix(3, kColCode), "BJ-LM-M8");

  // Deleting it: the one batch, then the product has only its approved structure left.
  const auto shown = [&] { ASSERT_TRUE(bom_->FileCancel() && bom_->GetID() == id); };
  EXPECT_GE(FailEachStatement([&] { return bom_->FileDelete(); }, shown), 1);
  std::string error;
  auto left = host_->database().Native().Query(
      "SELECT (SELECT count(*) FROM PDMBOM WHERE bomID = " + std::to_string(id) +
          "), (SELECT count(*) FROM PDMBOMMX WHERE bomID = " + std::to_string(id) + ")",
      {}, error);
  ASSERT_NE(left, nullptr) << error;
  left->MoveFirst();
  EXPECT_EQ(left->Value(0).ToLong() + left->Value(1).ToLong(), 0);
  EXPECT_EQ(bom_->tree().Find("wZJ-DZ-01")->image(), kImageWithStructure);
}

TEST_F(BomStoreTest, DeletingTheLastStandardStructureShowsTheProductWithoutOne) {
  // 管道泵 has one standard structure only, approved; the approved view shows it.
  ASSERT_TRUE(bom_->DoSetStatus("", true));
  ASSERT_TRUE(Select("wCP-GDB-40"));
  ASSERT_EQ(bom_->GetID(), 15);
  ASSERT_TRUE(bom_->FileDelete());
  EXPECT_EQ(bom_->tree().Find("wCP-GDB-40")->image(), kImageWithoutStructure);
  EXPECT_EQ(bom_->GetID(), 0);
  // A category is no product: nothing to delete.
  ASSERT_TRUE(Select("k0501"));
  dialogs_->texts.clear();
  EXPECT_FALSE(bom_->FileDelete());
  EXPECT_EQ(dialogs_->texts, std::vector<std::string>{"没有选择产品的BOM项目，不能删除！"});
}

}  // namespace
}  // namespace korvane
