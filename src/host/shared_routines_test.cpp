// Tests of the shared routines: procedures into grids, field names, alignments, periods,
// control indexes, the mouse wheel and the proportional layout.
#include "host/shared_routines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/test_grid.h"
#include "host/test_support.h"

namespace korvane {
namespace {

using controls::Grid;

// The rule stated one month at a time: a January becomes December of the year before; a
// count below one leaves the period.
TEST(SubtractPeriodsTest, AgreesWithStepwiseRuleIncludingOddMonths) {
  auto stepwise = [](int period, int n) {
    for (int i = 0; i < n; ++i) period = period % 100 == 1 ? period - 100 + 11 : period - 1;
    return period;
  };
  for (int period : {202601, 202602, 202607, 202612, 202600, 202613, 202699, 200001}) {
    for (int n = -3; n <= 130; ++n) {
      ASSERT_EQ(SubtractPeriods(period, n), stepwise(period, n)) << period << " by " << n;
    }
  }
  EXPECT_EQ(SubtractPeriods(202605, 1200), 192605);
}

// With types, the names are what gFnRunProc sets a merged grid up from (see below).
TEST(SfFieldNameTest, NamesAloneAreOneRow) {
  const Recordset rs({{"部门", kAdVarWChar}, {"数量", kAdNumeric}}, {});
  VariantArray names;
  EXPECT_TRUE(sfFieldName(names, rs, false));
  ASSERT_EQ(names.rows(), 1);
  ASSERT_EQ(names.cols(), 2);
  EXPECT_EQ(names.at(0, 1).ToText(), "数量");
}

class RunProcTest : public ::testing::Test {
 protected:
  RunProcTest() {
    grid_.set_cols(2);
    grid_.set_fixed_cols(1);
    grid_.set_rows(3);
    grid_.SetTextMatrix(1, 1, "old 1");
    grid_.SetTextMatrix(2, 1, "old 2");
    params_.at(0, 0) = "202601";
    params_.at(1, 0) = "@period";
    params_.at(0, 1) = 0;
    params_.at(1, 1) = "@count";
    params_.at(2, 1) = "out";
  }

  void ScriptResult() {
    test::FakeDataService::Response response;
    response.rows = Recordset({{"部门", kAdVarWChar}, {"姓名", kAdVarChar}, {"工资", kAdNumeric}},
                              {{"一车间", "张三", 100.5}, {"一车间", "李四", 200}});
    response.outputs = {{"@COUNT", 2}, {"@period", "changed"}};
    host_.data->When("rSfcDjEmp", response);
  }

  test::FakeHostContext host_;
  Grid grid_{"qxGrid"};
  VariantArray params_{3, 2};
};

TEST_F(RunProcTest, CallsTheProcedureCopiesOutputsBackAndClearsOrAppendsRows) {
  ScriptResult();
  ASSERT_TRUE(gFnRunProc("rSfcDjEmp", params_, grid_, true, false, host_));
  ASSERT_EQ(host_.data->calls().size(), 1u);
  const test::DataCall& call = host_.data->calls()[0];
  EXPECT_EQ(call.text, "rSfcDjEmp");
  EXPECT_EQ(call.type, CommandType::kStoredProcedure);
  ASSERT_EQ(call.parameters.size(), 2u);
  EXPECT_EQ(call.parameters[0].name, "@period");
  EXPECT_EQ(call.parameters[0].value.ToText(), "202601");
  EXPECT_FALSE(call.parameters[0].output);
  EXPECT_TRUE(call.parameters[1].output);
  EXPECT_EQ(params_.at(0, 1).ToLong(), 2);
  EXPECT_EQ(params_.at(0, 0).ToText(), "202601") << "an input parameter is not copied back";

  // Clearing replaces the data rows, from the first scrollable column.
  ASSERT_EQ(grid_.rows(), 3);
  EXPECT_GE(grid_.cols(), 4);
  EXPECT_EQ(controls::test::RowTexts(grid_, 2),
            (std::vector<std::string>{"", "一车间", "李四", "200"}));
  // Without clearing, the result is appended.
  ASSERT_TRUE(gFnRunProc("rSfcDjEmp", params_, grid_, false, false, host_));
  ASSERT_EQ(grid_.rows(), 5);
  EXPECT_EQ(controls::test::RowTexts(grid_, 3),
            (std::vector<std::string>{"", "一车间", "张三", "100.5"}));
}

// The headers and the total row of a merged result are walked by the plan report scenario.
TEST_F(RunProcTest, MergeSetsTheGridUpForTheResult) {
  ScriptResult();
  grid_.set_cols(9);
  ASSERT_TRUE(gFnRunProc("rSfcDjEmp", params_, grid_, true, true, host_));
  EXPECT_EQ(grid_.merge_cells(), controls::grid_merge::kRestrictRows);
  ASSERT_EQ(grid_.cols(), 1 + 3);
  // Texts align left and numbers right; the text columns merge, the number column is totalled.
  EXPECT_EQ((std::vector<int>{grid_.ColAlignment(1), grid_.ColAlignment(2), grid_.ColAlignment(3)}),
            (std::vector<int>{1, 1, 7}));
  EXPECT_EQ((std::vector<bool>{grid_.MergeCol(1), grid_.MergeCol(2), grid_.MergeCol(3)}),
            (std::vector<bool>{true, true, false}));
  EXPECT_EQ(grid_.TextMatrix(3, 3), "300.5");
}

TEST_F(RunProcTest, AnErrorIsShownAndNothingChanges) {
  host_.data->WhenFails("p_missing", "Could not find stored procedure 'p_missing'.");
  host_.dialogs_fake.QueueAnswer(MsgAnswer::kOk);
  EXPECT_FALSE(gFnRunProc("p_missing", params_, grid_, true, true, host_));
  ASSERT_EQ(host_.dialogs_fake.boxes().size(), 1u);
  EXPECT_EQ(host_.dialogs_fake.boxes()[0].text,
            "gFnRunProc:Could not find stored procedure 'p_missing'.");
  EXPECT_EQ(params_.at(0, 1).ToLong(), 0);
  EXPECT_EQ(grid_.rows(), 3);
  EXPECT_EQ(grid_.TextMatrix(1, 1), "old 1");
}

TEST_F(RunProcTest, AnEmptyResultStillClearsAndSetsUp) {
  host_.data->WhenRows("rEmpty", Recordset({{"名称", kAdVarChar}}, {}));
  ASSERT_TRUE(gFnRunProc("rEmpty", params_, grid_, true, true, host_));
  EXPECT_EQ(grid_.rows(), 1);
  EXPECT_EQ(grid_.cols(), 2);
  EXPECT_EQ(grid_.TextMatrix(0, 1), "名称");
}

TEST(MouseWheelTest, TopRowIsTheScaledPositionAtMostTheLastRowAndTheRateDefaultsToFive) {
  EXPECT_EQ(WheelTopRow(1, 5, 100), 0);
  EXPECT_EQ(WheelTopRow(3, 5, 100), 10);
  EXPECT_EQ(WheelTopRow(4, 2.5, 100), 7);
  EXPECT_EQ(WheelTopRow(30, 5, 50), 50);
  EXPECT_EQ(WheelTopRow(2'000'000'000, 5, 50), 50);
  for (const char* setting : {"", "0", "abc"}) EXPECT_EQ(ScrollRateFromSetting(setting), 5);
  EXPECT_EQ(ScrollRateFromSetting("3"), 3);
}

TEST(MouseWheelTest, AttachedWheelScrollsWithTheRateOfTheMoment) {
  Grid grid("qxGrid");
  grid.set_rows(40);
  controls::MouseWheel wheel;
  double rate = 5;
  AttachWheel(wheel, grid, rate);
  wheel.Turn(3);
  EXPECT_EQ(grid.top_row(), 10);
  rate = 2;
  wheel.Turn(4);
  EXPECT_EQ(grid.top_row(), 6);
  wheel.Turn(100);
  EXPECT_EQ(grid.top_row(), 39);
}

TEST(ProportionalLayoutTest, RecordsGeometryInTagsAndScalesEachKindByItsRule) {
  using controls::ControlKind;
  using controls::Geometry;
  controls::Form form("f");
  form.SetInnerSize(1000, 500);
  auto add_static = [&](const char* name, ControlKind kind,
                        const char* type) -> controls::Control& {
    return form.Add<controls::StaticControl>(name, -1, kind, std::string(type));
  };
  controls::Control& line = add_static("Line1", ControlKind::kLine, "Line");
  controls::Control& text = form.Add<controls::TextBox>("Txt");
  controls::Control& vscroll = add_static("VS1", ControlKind::kScrollBar, "VScrollBar");
  controls::Control& hscroll = add_static("HS1", ControlKind::kScrollBar, "HScrollBar");
  controls::Control& label = form.Add<controls::Label>("Lab");
  controls::Control& shape = add_static("Shp", ControlKind::kShape, "Shape");
  controls::Control& standard = form.Add<controls::Button>("CmdOk");
  auto& graphical = form.Add<controls::Button>("CmdPic");
  graphical.set_style(1);
  controls::Control& grid = form.Add<Grid>("qxGrid");
  controls::Control& untagged = form.Add<controls::TextBox>("Txt_Free");
  const Geometry start{100, 50, 300, 200};
  for (const auto& control : form.Controls()) control->set_geometry(start);

  ProportionalLayout layout;
  layout.Record(form);
  EXPECT_EQ(line.tag(), "100 50 300 200");
  EXPECT_EQ(layout.initial_width(), 1000);
  untagged.set_tag("keep");
  layout.Attach(form);

  form.SetInnerSize(2000, 1500);  // x2 horizontally, x3 vertically
  const Geometry all{200, 150, 600, 600};
  const Geometry left_top_width{200, 150, 600, 200};
  const Geometry left_top{200, 150, 300, 200};
  EXPECT_EQ(line.geometry(), all);
  EXPECT_EQ(text.geometry(), left_top_width);
  EXPECT_EQ(vscroll.geometry(), left_top_width);
  EXPECT_EQ(hscroll.geometry(), all);
  EXPECT_EQ(label.geometry(), left_top);
  EXPECT_EQ(shape.geometry(), left_top);
  EXPECT_EQ(standard.geometry(), all);
  EXPECT_EQ(graphical.geometry(), left_top_width);
  EXPECT_EQ(grid.geometry(), all);
  EXPECT_EQ(untagged.geometry(), start);

  // Scaling always starts from the recorded numbers, so going back restores the start.
  form.SetInnerSize(1000, 500);
  EXPECT_EQ(grid.geometry(), start);
  EXPECT_EQ(text.geometry(), start);
}

TEST(ProportionalLayoutTest, NothingMovesWithoutARecordedSize) {
  controls::Form form("f");
  auto& text = form.Add<controls::TextBox>("Txt");
  text.set_geometry({10, 10, 10, 10});
  ProportionalLayout layout;
  layout.Record(form);  // inner size 0
  form.SetInnerSize(100, 100);
  layout.Apply(form);
  EXPECT_EQ(text.geometry(), (controls::Geometry{10, 10, 10, 10}));
}

}  // namespace
}  // namespace korvane
