// The category deletion against the demo factory: every statement failing in turn leaves every
// table it deletes from as it was, and the clerk is shown the error.
#include "tools/c_del_cplb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/fault_loop_test_support.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"

namespace korvane {
namespace {

// The error boxes the clerk saw: the fault loop's record of what was reported.
struct ErrorBoxes {
  test::FakeDialogs& dialogs;
  void clear() { dialogs.ClearShown(); }
  bool empty() const {
    return std::none_of(dialogs.boxes().begin(), dialogs.boxes().end(),
                        [](const test::ShownBox& b) { return b.icon == MsgIcon::kCritical; });
  }
};

TEST(CategoryDeletionTest, EveryStatementFailingInTurnDeletesNothing) {
  test::DemoDatabase db;
  test::TempFolder folder;
  auto dialogs = std::make_shared<test::FakeDialogs>();
  auto host = test::OpenClerkHost(db.path(), folder.path(), dialogs);
  auto tool =
      std::dynamic_pointer_cast<cDelCPLB>(ClassRegistry::Instance().Create("Korvane.cDelCPLB"));
  ASSERT_NE(tool, nullptr);
  ASSERT_TRUE(tool->Init(host, Variant(0), Variant(15)));  // 0402 组件: products 28 to 31

  const auto state = [&] {
    std::vector<std::string> rows;
    for (const std::string table :
         {"pdmcplb", "pdmcpml", "pagzde", "PDMSRLX", "PDMSRLXMX", "PDMBOM", "PDMBOMMX"}) {
      std::string error;
      auto read = host->database().Native().Query("SELECT * FROM " + table, {}, error);
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
  };
  ErrorBoxes errors{*dialogs};
  // The code read and the seven deletes.
  EXPECT_GE(test::FailEachStatement(
                *host, errors, state, [&] { return tool->Action(Variant()); },
                [&] {
                  dialogs->QueueAnswer(MsgAnswer::kYes);
                  dialogs->QueueAnswer(MsgAnswer::kOk);
                }),
            8);
  ASSERT_FALSE(dialogs->boxes().empty());
  EXPECT_EQ(dialogs->boxes().back().text, "删除数据成功！");
}

}  // namespace
}  // namespace korvane
