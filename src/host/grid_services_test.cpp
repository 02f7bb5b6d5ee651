#include "host/grid_services.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "host/test_support.h"

namespace korvane {
namespace {

// A report grid: header row, columns 编号 / 名称 / 数量 / a hidden key; the last row a total.
class GridServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.set_fixed_rows(1);
    grid_.set_cols(4);
    grid_.set_rows(1);
    const char* headers[] = {"编号", "名称", "数量", "key"};
    for (int c = 0; c < 4; ++c) grid_.SetTextMatrix(0, c, headers[c]);
    grid_.AddItem("A1\t泵轴\t10\t7");
    grid_.AddItem("A2\t泵壳\t5\t8");
    grid_.AddItem("B1\t阀轴\t2\t9");
    grid_.AddItem("合计\t\t17\t");
    grid_.SetIsSubtotal(4, true);
    grid_.SetRowOutlineLevel(4, -1);
    grid_.SetColHidden(3, true);
  }

  test::FakeDialogs dialogs_;
  DialogGridServices services_{dialogs_};
  controls::Grid grid_{"Vs"};
};

TEST_F(GridServicesTest, FindGoesOnFromTheCurrentCellInReadingOrderAndWrapsOnce) {
  grid_.Select(1, 1);
  dialogs_.QueueInput("轴");
  ASSERT_TRUE(services_.FindInGrid(grid_, 1));
  EXPECT_EQ(grid_.row(), 3);  // 泵轴 itself is the current cell; the next match is 阀轴
  EXPECT_EQ(grid_.col(), 1);

  ASSERT_TRUE(services_.FindNextInGrid(grid_));
  EXPECT_EQ(grid_.row(), 1);  // wrapped round to the first row

  // Hidden columns and rows are not searched: the key 8 is in a hidden column.
  dialogs_.QueueInput("8");
  dialogs_.QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(services_.FindInGrid(grid_, 0));
  EXPECT_EQ(dialogs_.boxes().back().text, "找不到“8”！");
  EXPECT_EQ(grid_.row(), 1);

  dialogs_.QueueInput(std::nullopt);  // cancelled: nothing moves, nothing is said
  EXPECT_FALSE(services_.FindInGrid(grid_, 0));
  EXPECT_EQ(dialogs_.boxes().size(), 1u);
}

TEST_F(GridServicesTest, FilterHidesDataRowsNotContainingTheTextButKeepsTotals) {
  dialogs_.QueueInput("a");
  ASSERT_TRUE(services_.FilterGrid(grid_, 0));
  EXPECT_FALSE(grid_.RowHidden(1));
  EXPECT_FALSE(grid_.RowHidden(2));
  EXPECT_TRUE(grid_.RowHidden(3));
  EXPECT_FALSE(grid_.RowHidden(4));
  EXPECT_EQ(dialogs_.inputs_shown().at(0).prompt, "只显示“编号”包含以下内容的行：");

  dialogs_.QueueInput("");
  ASSERT_TRUE(services_.FilterGrid(grid_, 0));
  EXPECT_FALSE(grid_.RowHidden(3));
}

// The heading and the named total rows are walked by the work report query scenarios.
TEST_F(GridServicesTest, PrintWritesWhatIsShown) {
  test::TempFolder folder;
  dialogs_.QueueInput("泵");
  ASSERT_TRUE(services_.FilterGrid(grid_, 1));
  const std::string path = folder.path() + "/Rpt1.prn";
  ASSERT_TRUE(
      services_.PrintGrid(grid_, "报表\r\n\t车间名称：一车间", path, GridPrintMode::kPreview));
  std::ifstream in(path);
  const auto printed = nlohmann::json::parse(std::string(std::istreambuf_iterator<char>(in), {}));
  const nlohmann::json want = {
      {"编号", "名称", "数量"}, {"A1", "泵轴", "10"}, {"A2", "泵壳", "5"}, {"合计", "", "17"}};
  EXPECT_EQ(printed["tables"]["Vs"], want);
  EXPECT_EQ(services_.last_print_path(), path);

  EXPECT_FALSE(
      services_.PrintGrid(grid_, "", folder.path() + "/missing/x.prn", GridPrintMode::kPrint));
}

}  // namespace
}  // namespace korvane
