// Storing and deleting process routes against the demo factory: every statement of a save and
// of a delete failing in turn leaves the route tables, the piece rates, the product's current
// route and the form exactly as they were, and the engineer was told.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/test_support.h"
#include "hostapp/fault_loop_test_support.h"
#include "hostapp/reference_host.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"
#include "registration/registry.h"
#include "routing/srlx1.h"

namespace korvane {
namespace {

using namespace routing;

class RouteStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_);
    route_ = std::dynamic_pointer_cast<SRLX1>(ClassRegistry::Instance().Create("Korvane.SRLX1"));
    ASSERT_NE(route_, nullptr);
    route_->Advise(&events_);
    ASSERT_TRUE(route_->Init(host_, 5101, 0));
    ASSERT_TRUE(route_->Refresh());
  }
  void TearDown() override { route_->Unadvise(&events_); }

  void Select(const std::string& key) {
    ASSERT_TRUE(route_->tree().SelectNode(route_->tree().Find(key)));
  }

  // What a failed statement must leave alone: the rows of the tables a save or delete writes,
  // the keys issued, and the route on screen.
  std::vector<std::string> State() {
    std::vector<std::string> rows;
    for (const std::string query :
         {"SELECT * FROM PDMSRLX", "SELECT * FROM PDMSRLXMX", "SELECT * FROM pagzde",
          "SELECT 产品ID, 工艺路线ID FROM PDMCPML", "SELECT * FROM xt_key"}) {
      std::string error;
      const std::unique_ptr<Recordset> read = host_->database().Native().Query(query, {}, error);
      if (read == nullptr) {
        ADD_FAILURE() << query << ": " << error;
        continue;
      }
      for (read->MoveFirst(); !read->Eof(); read->MoveNext()) {
        std::string text = query;
        for (int f = 0; f < read->FieldCount(); ++f) text += "|" + read->Value(f).ToText();
        rows.push_back(std::move(text));
      }
    }
    const controls::Grid& grid = route_->operations();
    for (int r = 0; r < grid.rows(); ++r) {
      std::string text = "grid";
      for (int c = 0; c < grid.cols(); ++c) text += "|" + grid.TextMatrix(r, c);
      rows.push_back(std::move(text));
    }
    rows.push_back("name|" + route_->header(kFieldName).text());
    return rows;
  }

  int FailEach(const std::function<bool()>& operation, const std::function<void()>& before = {}) {
    return test::FailEachStatement(
        *host_, events_.errors, [this] { return State(); }, operation, before);
  }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  std::shared_ptr<SRLX1> route_;
  test::RecordingDocumentEvents events_;
};

TEST_F(RouteStoreTest, EveryStatementOfASaveOrDeleteFailingLeavesEverythingAsItWas) {
  // The shaft's standard route edited: a rate changed (its row updated), an operation added
  // on a process without a rate for the shaft (a rate row added).
  Select("wJJ-BZ-01");
  ASSERT_TRUE(route_->FileEdit());
  controls::Grid& grid = route_->operations();
  ASSERT_TRUE(grid.EditCell(2, kColWage, "2.6"));
  ASSERT_TRUE(grid.EditCell(4, kColProcess, "GX05"));
  ASSERT_TRUE(grid.EditCell(4, kColWage, "4.25"));
  ASSERT_TRUE(grid.EditCell(4, kColNote, "O'Brien's; --"));
  // Header, three updated operations with their rate lookups and updates, the new operation's
  // key, insert, rate lookup, rate key and insert, the product's current route.
  EXPECT_GE(FailEach([&] { return route_->FileSave(); }), 16);
  std::string error;
  auto rates = host_->database().Native().Query(
      "SELECT 单位工资 FROM pagzde WHERE 产品ID = 20 AND 工作中心ID = 0 AND 工序ID IN (2, 5) "
      "ORDER BY 工序ID",
      {}, error);
  ASSERT_NE(rates, nullptr) << error;
  ASSERT_EQ(rates->RecordCount(), 2);
  rates->MoveFirst();
  EXPECT_EQ(rates->Value(0).ToDouble(), 2.6);
  rates->MoveNext();
  EXPECT_EQ(rates->Value(0).ToDouble(), 4.25);
  EXPECT_EQ(grid.TextMatrix(4, kColNote), "O'Brien's; --");

  // A new route of the sleeve, which has one: its delete of stale operations, header, one
  // operation with its rate, the current route.
  Select("wJJ-ZT-01");
  const auto enter_new = [&] {
    route_->FileCancel();
    ASSERT_TRUE(route_->FileNew());
    ASSERT_TRUE(route_->header(kFieldName).Type("轴套返修路线"));
    ASSERT_TRUE(route_->operations().EditCell(1, kColProcess, "GX02"));
    ASSERT_TRUE(route_->operations().EditCell(1, kColWage, "1.1"));
  };
  enter_new();
  EXPECT_GE(FailEach([&] { return route_->FileSave(); }, enter_new), 7);
  // The newest standard route is the one the tree shows.
  EXPECT_EQ(route_->header(kFieldName).text(), "轴套返修路线");

  // Deleting it again: one batch.
  const auto shown = [&] { route_->FileCancel(); };
  shown();
  EXPECT_GE(FailEach(
                [&] {
                  dialogs_->QueueAnswer(MsgAnswer::kYes);
                  return route_->FileDelete();
                },
                shown),
            1);
  // The run that succeeded failed the reload after the delete, which was reported.
  ASSERT_TRUE(route_->FileCancel());
  EXPECT_EQ(route_->header(kFieldName).text(), "轴套标准路线");
}

TEST(RoutePermission, AProcessPassesWhenTheListIsEmptyNamesItOrItIsNone) {
  EXPECT_TRUE(ProcessPermitted("", 3));
  EXPECT_TRUE(ProcessPermitted("1,2", 0));
  EXPECT_TRUE(ProcessPermitted("1,2,4", 4));
  EXPECT_TRUE(ProcessPermitted("1,2,4", 1));
  // Ids are compared whole: 1 is not 12 nor 21.
  EXPECT_FALSE(ProcessPermitted("12,21", 1));
  EXPECT_FALSE(ProcessPermitted("1,2,4", 3));
}

}  // namespace
}  // namespace korvane
