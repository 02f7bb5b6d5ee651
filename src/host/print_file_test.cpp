// Tests of the print data writer and of collecting a document's print data.
#include "host/print_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "controls/basic_controls.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "host/settings_files.h"
#include "host/test_support.h"

namespace korvane {
namespace {

using nlohmann::ordered_json;

ordered_json ParseFile(const std::string& path) {
  return ordered_json::parse(test::ReadFileBytes(path));
}

TEST(JsonPrintDataWriterTest, KeepsOrderAndLetsALaterValueReplaceAnEarlierOne) {
  test::TempFolder folder;
  JsonPrintDataWriter writer;
  writer.AddValue("数量合计", "3");
  writer.AddValue("车间", "一车间");
  writer.AddValue("数量合计", "4");
  writer.AddTable("qxGrid", {{"a", "b"}, {"c", "d"}});
  const std::string path = folder / "p.txt";
  ASSERT_TRUE(writer.WriteFile(path));

  const ordered_json doc = ParseFile(path);
  ASSERT_EQ(doc["values"].size(), 2u);
  EXPECT_EQ(doc["values"].begin().key(), "数量合计");
  EXPECT_EQ(doc["values"]["数量合计"], "4");
  EXPECT_EQ(doc["values"]["车间"], "一车间");
  EXPECT_EQ(doc["tables"]["qxGrid"][1][0], "c");
}

TEST(JsonPrintDataWriterTest, BadBytesAreReplacedAndAMissingFolderFails) {
  test::TempFolder folder;
  JsonPrintDataWriter writer;
  writer.AddValue("名称", "ab\xFF\xFE");
  ASSERT_TRUE(writer.WriteFile(folder / "p.txt"));
  const std::string text = ParseFile(folder / "p.txt")["values"]["名称"];
  EXPECT_EQ(text.substr(0, 2), "ab");
  EXPECT_TRUE(IsValidUtf8(text));

  EXPECT_FALSE(writer.WriteFile(folder / "missing/p.txt"));
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

class DocumentPrintTest : public ::testing::Test {
 protected:
  DocumentPrintTest() {
    auto& workshop = form_.Add<controls::LookupField>("Txt_CJ");
    workshop.set_caption(" 车间 ");
    workshop.set_text("一车间");
    form_.Add<controls::TextBox>("Txt_Memo").set_text("not a field");
    auto& date = form_.Add<controls::LookupField>("Txt_Date");
    date.set_caption("日期");
    date.set_text("2026-01-15");
    grid_.set_cols(3);
    grid_.set_rows(2);
    grid_.SetTextMatrix(0, 1, "产品");
    grid_.SetTextMatrix(1, 1, "螺栓");
    grid_.SetTextMatrix(1, 2, "12.5");
  }

  test::FakeHostContext host_;
  controls::Form form_{"SCCJD_S"};
  controls::Grid& grid_ = form_.Add<controls::Grid>("qxGrid");
  PrintTotals totals_{"壹拾贰元伍角", "12.50", "12.5"};
};

TEST_F(DocumentPrintTest, WritesTotalsFieldsAndEveryGridCell) {
  const std::optional<std::string> path =
      WriteDocumentPrintData(host_, 1203, form_, totals_, grid_);
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, PrintPath(1203, host_));

  const ordered_json doc = ParseFile(*path);
  const ordered_json expected_values = {{"金额大写", "壹拾贰元伍角"},
                                        {"金额小写", "12.50"},
                                        {"数量合计", "12.5"},
                                        {"车间", "一车间"},
                                        {"日期", "2026-01-15"}};
  EXPECT_EQ(doc["values"], expected_values);
  const ordered_json expected_cells = {{"", "产品", ""}, {"", "螺栓", "12.5"}};
  EXPECT_EQ(doc["tables"]["qxGrid"], expected_cells);
}

TEST_F(DocumentPrintTest, FailsWithoutWriterOrWritableFolder) {
  host_.print_writer_available = false;
  EXPECT_FALSE(WriteDocumentPrintData(host_, 1203, form_, totals_, grid_));

  host_.print_writer_available = true;
  test::WriteFileBytes(host_.folder / "selfPrint", "a file where the folder belongs");
  EXPECT_FALSE(WriteDocumentPrintData(host_, 1203, form_, totals_, grid_));
}

}  // namespace
}  // namespace korvane
