// Tests of applying and saving a grid's per-user settings.
#include "host/grid_settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "controls/test_grid.h"
#include "host/settings_files.h"
#include "host/test_support.h"

namespace korvane {
namespace {

using ::testing::HasSubstr;

using controls::Grid;
using controls::test::ColumnTexts;
using controls::test::RowTexts;
using Texts = std::vector<std::string>;
using namespace std::string_literals;
namespace grid_type = controls::grid_type;

constexpr const char* kFile = "1203Cx_EmpMx";

// Several numbers of a grid's state, compared at once.
template <class... T>
std::vector<double> Nums(T... values) {
  return {static_cast<double>(values)...};
}

class GridSettingsTest : public ::testing::Test {
 protected:
  std::string Path() { return SettingsPath(kFile, host_); }
  void WriteFile(const std::string& text) { test::WriteFileBytes(Path(), text); }
  std::string FileText() { return test::ReadFileBytes(Path()); }

  // Fixed column 0 and four columns: 部门, 姓名, 数量, 金额 (widths 1001..1004); one header row.
  static void Fill(Grid& grid, const std::vector<std::vector<std::string>>& lines = {}) {
    grid.set_cols(5);
    grid.set_fixed_cols(1);
    grid.set_rows(1);
    grid.SetFormatString("|部门|姓名|数量|金额");
    for (int c = 0; c < 5; ++c) grid.SetColWidth(c, 1000 + c);
    for (const auto& line : lines) {
      const int r = grid.rows();
      grid.set_rows(r + 1);
      for (std::size_t c = 0; c < line.size(); ++c) {
        grid.SetTextMatrix(r, static_cast<int>(c) + 1, line[c]);
      }
    }
  }
  // Writes the file and applies it in full to `grid` filled with `lines`.
  void Apply(Grid& grid, const std::string& file,
             const std::vector<std::vector<std::string>>& lines = {}) {
    WriteFile(file);
    Fill(grid, lines);
    ApplyGridSettings(kFile, grid, false, host_);
  }

  test::FakeHostContext host_;
};

TEST_F(GridSettingsTest, SectionsCarryTheGridsNameAndIndexExceptForVs) {
  EXPECT_EQ(GridSettingsSuffix(Grid("vS")), "");
  EXPECT_EQ(GridSettingsSuffix(Grid("Vs", 2)), "_2");
  EXPECT_EQ(GridSettingsSuffix(Grid("qxGrid")), "_qxGrid");
  EXPECT_EQ(GridSettingsSuffix(Grid("qxGrid", 0)), "_qxGrid_0");

  Grid grid("Vs");
  Apply(grid, "[VsColWidth]\nVsCol2=1500\n[VsColWidth_Vs]\nVsCol3=2222\n[Vs]\nVsFixedCols=2\n");
  EXPECT_EQ(grid.ColWidth(2), 1500);
  EXPECT_EQ(grid.ColWidth(3), 1003) << "a section with the name must not be read for \"Vs\"";
  EXPECT_EQ(grid.frozen_cols(), 2);

  Grid named("qxGrid", 1);
  Fill(named);
  WriteFile("[VsColWidth]\nVsCol2=1500\n[VsColWidth_qxGrid_1]\nVsCol2=1777\n");
  ApplyGridSettings(kFile, named, true, host_);
  EXPECT_EQ(named.ColWidth(2), 1777);
}

TEST_F(GridSettingsTest, AHiddenColumnIgnoresItsStoredWidth) {
  WriteFile(
      "[VsIsHidden_qxGrid]\nVsCol1=1\nVsCol3=0\n"
      "[VsColWidth_qxGrid]\nVsCol1=1500\nVsCol2=1600\nVsCol3=1700\n");
  Grid grid("qxGrid");
  Fill(grid);
  grid.SetColWidth(2, 0);  // designed hidden: without a stored flag it stays hidden
  ApplyGridSettings(kFile, grid, true, host_);
  EXPECT_EQ(grid.ColWidth(1), 0);
  EXPECT_EQ(grid.ColWidth(2), 0);
  EXPECT_EQ(grid.ColWidth(3), 1700);
  EXPECT_EQ(grid.ColWidth(4), 1004);
}

TEST_F(GridSettingsTest, WidthsOnlyLeavesEverythingButWidthsFormatsAndAlignments) {
  WriteFile(
      "[VsColWidth_qxGrid]\nVsCol1=1500\n"
      "[VsIsSort_qxGrid]\nVsCol1=1\n"
      "[VsIsColMerge_qxGrid]\nVsCol1=1\nVsCol2=2\nVsCol3=0\n"
      "[VsColDataType_qxGrid]\nVsCol1=8\n"
      "[VsColAlignment_qxGrid]\nVsCol1=4\n"
      "[VsIsTotalOn_qxGrid]\nVsCol3=1\n"
      "[Vs_qxGrid]\nVsRowHeight=500\nVsFixedRowHeight=450\nVsFixedCols=2\n");
  Grid grid("qxGrid");
  Fill(grid, {{"A", "x", "1", "2"}, {"B", "y", "3", "4"}});
  const int rows = grid.rows();
  for (int c = 2; c <= 4; ++c) grid.SetMergeCol(c, true);
  ApplyGridSettings(kFile, grid, true, host_);
  // Width, alignment, sort, merges (on exactly when stored as 1, kept when not stored), type,
  // rows (a total row in full mode only), heights, frozen.
  const auto state = [&] {
    return Nums(grid.ColWidth(1), grid.ColAlignment(1), grid.ColSort(1), grid.MergeCol(1),
                grid.MergeCol(2), grid.MergeCol(3), grid.MergeCol(4), grid.ColDataType(1),
                grid.rows(), grid.RowHeight(0), grid.RowHeight(1), grid.RowHeight(2),
                grid.frozen_cols());
  };
  const double fixed_height = grid.RowHeight(0);
  EXPECT_EQ(state(), Nums(1500, 4, 0, false, true, true, true, grid_type::kEmpty, rows,
                          fixed_height, 240, 240, 0));
  ApplyGridSettings(kFile, grid, false, host_);
  EXPECT_EQ(state(), Nums(1500, 4, 1, true, false, false, true, grid_type::kString, rows + 1, 450,
                          500, 500, 2));
}

// Number formats of plain-number columns: the part before the point, then the decimal places
// (stored explicitly, else those of the column's value class).
TEST_F(GridSettingsTest, DecimalPlacesRewriteTheFormatsOfNumberColumnsOnly) {
  struct Case {
    const char* type;
    const char* format;
    const char* places;       // VsColFormat_Xs; nullptr: not stored
    const char* value_class;  // VsColValDataType; nullptr: not stored
    const char* shown;
  };
  const Case cases[] = {
      {"5", "#,##0.00", "3", nullptr, "#,##0.###"},
      {"5", "##0.00", "0", nullptr, "##0"},
      {"0", "0.0", "1", nullptr, "0.#"},
      {"5", "#,##0.00", nullptr, "0", "#,##0.00"},  // class 0 keeps the format as stored
      {"5", "", nullptr, nullptr, "0.00"},          // an empty format leaves the column alone
      {"5", "0.0", "", "1", "0.####"},              // an empty count falls back to the class
      {"8", "###.00", nullptr, nullptr, ""},
      {"7", "yyyy-mm-dd", "2", nullptr, "yyyy-mm-dd"},  // places concern number columns only
      {"3", "#,###", nullptr, nullptr, ""},
  };
  host_.numbered_settings[7] = "4";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.format);
    std::string file = "[VsColDataType_qxGrid]\nVsCol3="s + c.type +
                       "\n[VsColFormat_qxGrid]\nVsCol3=" + c.format + "\n";
    if (c.places) file += "[VsColFormat_Xs_qxGrid]\nVsCol3="s + c.places + "\n";
    if (c.value_class) file += "[VsColValDataType_qxGrid]\nVsCol3="s + c.value_class + "\n";
    Grid grid("qxGrid");
    grid.SetColFormat(3, "0.00");
    Apply(grid, file);
    EXPECT_EQ(grid.ColFormat(3), c.shown);
  }
}

TEST_F(GridSettingsTest, ValueClassesTakeTheirDecimalsFromTheirHostSettings) {
  const int setting_of_class[] = {0, 7, 8, 9, 12, 10, 13, 11, 14};
  for (int n = 7; n <= 14; ++n) host_.numbered_settings[n] = std::to_string(n - 6);
  for (int value_class = 1; value_class <= 8; ++value_class) {
    SCOPED_TRACE("class " + std::to_string(value_class));
    host_.setting_numbers_read.clear();
    Grid grid("qxGrid");
    Apply(grid,
          "[VsColDataType_qxGrid]\nVsCol3=5\n[VsColFormat_qxGrid]\nVsCol3=#,##0.0000\n"
          "[VsColValDataType_qxGrid]\nVsCol3=" +
              std::to_string(value_class) + "\n");
    const int places = setting_of_class[value_class] - 6;
    EXPECT_EQ(grid.ColFormat(3), "#,##0." + std::string(static_cast<std::size_t>(places), '#'));
    EXPECT_EQ(host_.setting_numbers_read, std::vector<int>{setting_of_class[value_class]});
  }
}

TEST_F(GridSettingsTest, GroupAndTotalColumnsAddSubtotalAndGrandTotalRows) {
  const std::string file =
      "[VsIsGroupOn_qxGrid]\nVsCol1=1\n[VsIsTotalOn_qxGrid]\nVsCol3=1\nVsCol4=1\n";
  Grid grid("qxGrid");
  Apply(grid, file,
        {{"一车间", "张三", "1", "10"},
         {"一车间", "李四", "2", "20"},
         {"二车间", "王五", "4", "40"}});
  ASSERT_EQ(grid.rows(), 1 + 3 + 2 + 1);
  const int sub1 = 3, sub2 = 5, grand = 6;
  EXPECT_EQ(RowTexts(grid, sub1), (Texts{"", "一车间小计", "", "3", "30"}));
  EXPECT_EQ(RowTexts(grid, sub2), (Texts{"", "二车间小计", "", "4", "40"}));
  EXPECT_EQ(RowTexts(grid, grand), (Texts{"", "合计", "", "7", "70"}));
  for (int r : {sub1, sub2}) {
    EXPECT_TRUE(grid.IsSubtotal(r));
    EXPECT_EQ(grid.CellForeColor(r, 1), kSubtotalForeColor);
    EXPECT_TRUE(grid.CellBold(r, 3));
  }
  EXPECT_EQ(grid.CellBackColor(grand, 3), kGrandTotalBackColor);
  EXPECT_TRUE(grid.CellBold(grand, 1));

  // Applying again replaces the rows instead of adding a second set.
  ApplyGridSettings(kFile, grid, false, host_);
  EXPECT_EQ(grid.rows(), 7);

  // Captions move to the first visible column.
  Grid hidden("qxGrid");
  Apply(hidden, "[VsIsHidden_qxGrid]\nVsCol1=1\n" + file,
        {{"一车间", "张三", "1", ""}, {"二车间", "王五", "4", ""}});
  EXPECT_EQ(ColumnTexts(hidden, 2), (Texts{"张三", "一车间小计", "王五", "二车间小计", "合计"}));
  EXPECT_EQ(hidden.TextMatrix(5, 3), "5");
}

TEST_F(GridSettingsTest, SeveralGroupsKeepOnlyTheirOwnLabelPerRow) {
  Grid grid("qxGrid");
  Apply(grid, "[VsIsGroupOn_qxGrid]\nVsCol1=1\nVsCol2=1\n[VsIsTotalOn_qxGrid]\nVsCol3=1\n",
        {{"一车间", "张三", "1", ""}, {"一车间", "张三", "2", ""}, {"一车间", "李四", "4", ""}});
  int subtotal_rows = 0;
  for (int r = 1; r < grid.rows(); ++r) {
    if (!grid.IsSubtotal(r) || grid.RowOutlineLevel(r) == -1) continue;
    ++subtotal_rows;
    const int own = grid.RowOutlineLevel(r);
    EXPECT_NE(grid.TextMatrix(r, own).find("小计"), std::string::npos) << "row " << r;
    EXPECT_EQ(grid.TextMatrix(r, own == 1 ? 2 : 1), "") << "row " << r;
  }
  EXPECT_EQ(subtotal_rows, 3);  // 张三, 李四, 一车间
  EXPECT_EQ(grid.TextMatrix(grid.rows() - 1, 3), "7");
}

TEST_F(GridSettingsTest, TotalSaveClearsOldSubtotals) {
  Grid grid("qxGrid");
  Fill(grid, {{"A", "x", "1", "1"}});
  grid.set_subtotal_position(controls::SubtotalPosition::kAbove);
  controls::SubtotalSpec sum_rule;
  sum_rule.total_on = 3;
  grid.Subtotal(sum_rule);
  ASSERT_EQ(grid.rows(), 3);
  WriteFile("[Vs_qxGrid]\nVsTotalSave=1\n");
  ApplyGridSettings(kFile, grid, false, host_);
  EXPECT_EQ(grid.rows(), 2);
  EXPECT_EQ(grid.subtotal_position(), controls::SubtotalPosition::kBelow);
}

TEST_F(GridSettingsTest, AMissingFileIsCreatedOnAFullApplyOnly) {
  Grid grid("qxGrid");
  Fill(grid, {{"A", "x", "1", "2"}});
  grid.SetColDataType(3, grid_type::kDouble);
  grid.SetColFormat(3, "#,##0.00");

  ApplyGridSettings(kFile, grid, true, host_);
  EXPECT_FALSE(std::filesystem::exists(Path()));

  ApplyGridSettings(kFile, grid, false, host_);
  ASSERT_TRUE(std::filesystem::exists(Path()));
  EXPECT_EQ(grid.ColFormat(3), "#,##0.00") << "a missing file leaves the grid as designed";
  IniProfileStore store(Path());
  EXPECT_EQ(store.Read("VsColWidth_qxGrid", "VsCol3", ""), "1003");
  EXPECT_EQ(store.Read("VsColFormat_qxGrid", "VsCol3", ""), "#,##0.00");
  EXPECT_EQ(store.Read("Vs_qxGrid", "VsFixedCols", ""), "0");

  // An existing file is not rewritten by applying it.
  WriteFile("[VsColWidth_qxGrid]\nVsCol1=1\n");
  ApplyGridSettings(kFile, grid, false, host_);
  EXPECT_EQ(FileText(), "[VsColWidth_qxGrid]\nVsCol1=1\n");
}

TEST_F(GridSettingsTest, SaveWritesWhatApplyReadsBack) {
  Grid grid("qxGrid", 3);
  Fill(grid, {{"A", "x", "1", "2"}});
  grid.SetColWidth(2, 0);
  grid.SetColWidth(3, 1888);
  grid.SetMergeCol(1, true);
  grid.SetColDataType(4, grid_type::kCurrency);
  grid.SetColFormat(4, "yyyy");
  grid.SetColAlignment(3, 7);
  grid.SetRowHeight(0, 360);
  grid.SetRowHeight(1, 320);
  grid.set_frozen_cols(2);
  ASSERT_TRUE(SaveGridSettings(kFile, grid, false, host_));

  IniProfileStore store(Path());
  EXPECT_EQ(store.Read("VsColWidth_qxGrid_3", "VsCol2", "none"), "none")
      << "no width is written for a hidden column";

  Grid copy("qxGrid", 3);
  Fill(copy, {{"A", "x", "1", "2"}, {"B", "y", "3", "4"}});
  ApplyGridSettings(kFile, copy, false, host_);
  EXPECT_EQ(Nums(copy.ColWidth(2), copy.ColWidth(3), copy.MergeCol(1), copy.MergeCol(3),
                 copy.ColDataType(4), copy.ColAlignment(3), copy.RowHeight(0), copy.RowHeight(2),
                 copy.frozen_cols()),
            Nums(0, 1888, true, false, grid_type::kCurrency, 7, 360, 320, 2));
  EXPECT_EQ(copy.ColFormat(4), "yyyy");

  // Widths only: the widths and hidden flags, nothing else.
  std::filesystem::remove(Path());
  ASSERT_TRUE(SaveGridSettings(kFile, grid, true, host_));
  const std::string text = FileText();
  EXPECT_THAT(text, HasSubstr("[VsColWidth_qxGrid_3]"));
  EXPECT_THAT(text, HasSubstr("[VsIsHidden_qxGrid_3]"));
  EXPECT_EQ(text.find("VsColDataType"), std::string::npos);
  EXPECT_EQ(text.find("[Vs_qxGrid_3]"), std::string::npos);
}

TEST_F(GridSettingsTest, DamagedValuesAndFilesLeaveTheGridAsItWas) {
  Grid grid("qxGrid");
  grid.SetColDataType(3, grid_type::kDouble);
  grid.SetColFormat(3, "0.00");
  Apply(grid,
        "[VsColWidth_qxGrid]\nVsCol1=abc\nVsCol2=-5\n"
        "[VsColDataType_qxGrid]\nVsCol3=five\n"
        "[VsColFormat_Xs_qxGrid]\nVsCol3=x\n"
        "[Vs_qxGrid]\nVsRowHeight=tall\nVsFixedCols=99\n",
        {{"A", "x", "1", "2"}});
  EXPECT_EQ(Nums(grid.ColWidth(1), grid.ColWidth(2), grid.ColDataType(3), grid.RowHeight(1),
                 grid.frozen_cols()),
            Nums(1001, 1002, grid_type::kDouble, 240, 0));
  EXPECT_EQ(grid.ColFormat(3), "0.00");

  std::string garbage = "\xFF\xFE[VsColWidth_qxGrid]\x00\nVsCol1=5\x80\n"s;
  garbage += std::string(300, '\0');
  WriteFile(garbage);
  ApplyGridSettings(kFile, grid, false, host_);
  EXPECT_EQ(grid.ColWidth(1), 1001);
  EXPECT_EQ(grid.rows(), 2);

  // A host without a store: nothing applied, nothing saved.
  class NoStoreHost : public test::FakeHostContext {
   public:
    std::unique_ptr<ProfileStore> CreateProfileStore() override { return nullptr; }
  } no_store;
  EXPECT_TRUE(ApplyGridSettings(kFile, grid, false, no_store));
  EXPECT_FALSE(SaveGridSettings(kFile, grid, false, no_store));
  EXPECT_EQ(grid.ColWidth(1), 1001);
}

}  // namespace
}  // namespace korvane
