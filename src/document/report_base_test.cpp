#include "document/report_base.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "host/test_support.h"
#include "hostapp/demo_data.h"
#include "hostapp/test_database.h"
#include "hostapp/test_host.h"

namespace korvane::document {
namespace {

// A report of the smallest kind: a grid whose last two columns name the
// document a row stands for.
class TinyReport : public ReportBase {
 public:
  TinyReport() : ReportBase("TinyReport") {
    grid_ = &form_.Add<controls::Grid>("Vs");
    grid_->set_fixed_rows(1);
    grid_->set_rows(3);
    grid_->set_cols(3);
  }
  bool Refresh() override { return false; }

  controls::Grid& grid() { return *grid_; }

 private:
  std::optional<DetailTarget> DetailOf(int row) const override {
    return DetailTarget{static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, 1))),
                        static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, 2)))};
  }
};

class Details : public ReportEvents {
 public:
  void Message(const std::string&) override {}
  void ErrMessage(const std::string& text, LogLevel, const std::string&) override {
    errors.push_back(text);
  }
  void Detaile(std::int32_t program, std::int32_t id) override {
    opened.push_back(std::to_string(program) + ":" + std::to_string(id));
  }
  void VsMouseDown(std::int16_t&, std::int16_t&, float&, float&) override { ++mouse_downs; }
  std::vector<std::string> opened;
  std::vector<std::string> errors;
  int mouse_downs = 0;
};

class ReportBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = test::OpenClerkHost(db_.path(), folder_.path(), dialogs_);
    report_.Advise(&events_);
  }
  void TearDown() override { report_.Unadvise(&events_); }

  test::DemoDatabase db_;
  test::TempFolder folder_;
  std::shared_ptr<test::FakeDialogs> dialogs_ = std::make_shared<test::FakeDialogs>();
  std::shared_ptr<hostapp::ReferenceHost> host_;
  TinyReport report_;
  Details events_;
};

// The caption, a double-click that opens a row's document, the conditions kept per user with
// their defaults and the print heading are walked by the report scenarios; these are the ends of
// a report's life and the mouse passed on.
TEST_F(ReportBaseTest, InitShowsTheMenuNameAndADoubleClickOpensOnlyARowThatNamesADocument) {
  EXPECT_FALSE(report_.Init(nullptr, hostapp::demo::kWorkReportProgId));
  ASSERT_TRUE(report_.Init(host_, hostapp::demo::kWorkReportProgId));
  EXPECT_EQ(report_.form().caption(), "生产报工单");
  EXPECT_EQ(report_.scroll_rate(), 3);

  report_.grid().SetTextMatrix(1, 1, "2101");
  report_.grid().SetTextMatrix(1, 2, "4");
  report_.grid().SetTextMatrix(2, 1, "2101");  // no document id: nothing to open
  ASSERT_TRUE(report_.grid().DoubleClickCell(1, 1));
  ASSERT_TRUE(report_.grid().DoubleClickCell(2, 1));
  EXPECT_EQ(events_.opened, std::vector<std::string>{"2101:4"});
  EXPECT_EQ(events_.mouse_downs, 2);
  EXPECT_TRUE(events_.errors.empty());

  EXPECT_TRUE(report_.Clear());
  EXPECT_EQ(report_.grid().rows(), 0);
  EXPECT_FALSE(report_.DoGetFormStatus());  // no host any more
}

}  // namespace
}  // namespace korvane::document
