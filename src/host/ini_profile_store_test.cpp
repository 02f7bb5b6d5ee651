// Tests of the INI settings store: reading, line-preserving writing, damaged files.
#include "host/ini_profile_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/test_support.h"

namespace korvane {
namespace {

using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

class IniProfileStoreTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_;
  IniProfileStore store_;
  void SetUp() override {
    path_ = folder_ / "settings.txt";
    store_.SetFile(path_);
  }
  int FilesInFolder() const {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      ++n;
    }
    return n;
  }
};

TEST_F(IniProfileStoreTest, MissingFileSectionOrKeyYieldsDefault) {
  EXPECT_FALSE(store_.FileExists());
  EXPECT_EQ(store_.Read("Vs", "VsCol0", "960"), "960");
  WriteFileBytes(path_, "[Vs]\nVsCol0=1200\n");
  EXPECT_TRUE(store_.FileExists());
  EXPECT_EQ(store_.Read("Other", "VsCol0", "d"), "d");
  EXPECT_EQ(store_.Read("Vs", "VsCol1", "d"), "d");
  EXPECT_EQ(store_.Read("Vs", "VsCol0", "d"), "1200");

  IniProfileStore unset;  // no file set: defaults, and nothing written
  EXPECT_EQ(unset.Read("Vs", "K", "d"), "d");
  EXPECT_FALSE(unset.Write("Vs", "K", "1"));
}

TEST_F(IniProfileStoreTest, ReadsNamesIgnoringAsciiCaseAndTrimsAroundKeyAndValue) {
  WriteFileBytes(path_,
                 "; a comment=not a key\n"
                 "[Other]\n"
                 "  查找列 =  物品名称 \n"
                 "[vscolwidth_qxGrid]\n"
                 "\tVSCOL3\t= 1500\n"
                 "Expr = a=b=c\n"
                 "Empty=\n");
  EXPECT_EQ(store_.Read("OTHER", "查找列", ""), "物品名称");
  EXPECT_EQ(store_.Read("VsColWidth_QXGRID", "VsCol3", ""), "1500");
  EXPECT_EQ(store_.Read("VsColWidth_qxGrid", "expr", ""), "a=b=c");
  EXPECT_EQ(store_.Read("VsColWidth_qxGrid", "Empty", "d"), "");
  EXPECT_EQ(store_.Read("Other", "; a comment", "d"), "d");
}

TEST_F(IniProfileStoreTest, FirstOccurrenceOfASectionOrKeyCounts) {
  WriteFileBytes(path_, "[Form]\nK=first\nK=second\n[Form]\nK=third\nL=later\n");
  EXPECT_EQ(store_.Read("Form", "K", ""), "first");
  EXPECT_EQ(store_.Read("Form", "L", "d"), "d");
  ASSERT_TRUE(store_.Write("Form", "K", "new"));
  EXPECT_EQ(ReadFileBytes(path_), "[Form]\nK=new\nK=second\n[Form]\nK=third\nL=later\n");
}

TEST_F(IniProfileStoreTest, SectionsListWhatReadSeesInFileOrder) {
  WriteFileBytes(path_,
                 "\xEF\xBB\xBFloose=before any section\r\n"
                 "[Form]\r\n"
                 "K = first\r\n"
                 "; K=comment\r\n"
                 "k=second\r\n"
                 "Bad\xFF=x\r\n"
                 "查找列=物品名称\r\n"
                 "[Broken\r\n"
                 "Lost=after a damaged header\r\n"
                 "[FORM]\r\n"
                 "L=later\r\n"
                 "[Vs]\r\n"
                 "VsCol0=1200\r\n");
  const std::vector<IniProfileStore::Section> sections = store_.Sections();
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[0].name, "Form");
  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(sections[0].entries, (Entries{{"K", "first"}, {"查找列", "物品名称"}}));
  EXPECT_EQ(sections[1].name, "Vs");
  EXPECT_EQ(sections[1].entries, (Entries{{"VsCol0", "1200"}}));
  // Every listed value is the one Read gives; the keys left out are those Read does not find.
  for (const auto& section : sections) {
    for (const auto& [key, value] : section.entries) {
      EXPECT_EQ(store_.Read(section.name, key, "?"), value) << section.name << "." << key;
    }
  }
  EXPECT_EQ(store_.Read("Form", "L", "?"), "?");
  EXPECT_EQ(store_.Read("Form", "Lost", "?"), "?");

  WriteFileBytes(path_, std::string(IniProfileStore::kMaxFileSize + 1, 'x'));
  EXPECT_TRUE(store_.Sections().empty());
  std::filesystem::remove(path_);
  EXPECT_TRUE(store_.Sections().empty());
}

TEST_F(IniProfileStoreTest, SkipsByteOrderMarkAndCarriageReturns) {
  WriteFileBytes(path_, "\xEF\xBB\xBF[Vs]\r\nVsFixedCols=2\r\n");
  EXPECT_EQ(store_.Read("Vs", "VsFixedCols", ""), "2");
  ASSERT_TRUE(store_.Write("Vs", "VsRowHeight", "300"));
  ASSERT_TRUE(store_.Write("Vs", "VsFixedCols", "1"));
  EXPECT_EQ(ReadFileBytes(path_), "\xEF\xBB\xBF[Vs]\r\nVsFixedCols=1\r\nVsRowHeight=300\r\n");
}

TEST_F(IniProfileStoreTest, WritingKeepsEveryOtherLine) {
  const std::string before =
      "; kept by hand\n"
      "[VsColWidth]\n"
      "VsCol0=100\n"
      "# another comment\n"
      "VsCol1=200\n"
      "\n"
      "[Form]\n"
      "TEXTBOX_Txt=甲\n"
      "a line without equals\n";
  WriteFileBytes(path_, before);

  ASSERT_TRUE(store_.Write("VsColWidth", "VsCol1", "250"));
  ASSERT_TRUE(store_.Write("VsColWidth", "VsCol2", "300"));  // new key: after the last one
  ASSERT_TRUE(store_.Write("其他", "展开", "1"));            // new section: at the end
  EXPECT_EQ(ReadFileBytes(path_),
            "; kept by hand\n"
            "[VsColWidth]\n"
            "VsCol0=100\n"
            "# another comment\n"
            "VsCol1=250\n"
            "VsCol2=300\n"
            "\n"
            "[Form]\n"
            "TEXTBOX_Txt=甲\n"
            "a line without equals\n"
            "[其他]\n"
            "展开=1\n");
  EXPECT_EQ(store_.Read("其他", "展开", ""), "1");
  EXPECT_EQ(FilesInFolder(), 1) << "a temporary file was left behind";
}

TEST_F(IniProfileStoreTest, WriteCreatesAMissingFileButNotAMissingFolder) {
  ASSERT_TRUE(store_.Write("Vs", "VsFixedCols", "0"));
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nVsFixedCols=0\n");

  IniProfileStore nowhere(folder_ / "missing/settings.txt");
  EXPECT_FALSE(nowhere.Write("Vs", "VsFixedCols", "0"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "missing"));
}

TEST_F(IniProfileStoreTest, RefusesNamesThatWouldBreakTheFileAndFlattensValues) {
  WriteFileBytes(path_, "[Vs]\nK=1\n");
  EXPECT_FALSE(store_.Write("", "K", "v"));
  EXPECT_FALSE(store_.Write("Vs", "", "v"));
  EXPECT_FALSE(store_.Write("a]b", "K", "v"));
  EXPECT_FALSE(store_.Write("Vs", "a=b", "v"));
  EXPECT_FALSE(store_.Write("Vs", "a\nb", "v"));
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nK=1\n");

  ASSERT_TRUE(store_.Write("Vs", "K", "line1\nline2"));
  EXPECT_EQ(store_.Read("Vs", "K", ""), "line1 line2");
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nK=line1 line2\n");
}

TEST_F(IniProfileStoreTest, SeesChangesMadeThroughAnotherStore) {
  IniProfileStore other(path_);
  ASSERT_TRUE(store_.Write("Vs", "K", "1"));
  EXPECT_EQ(store_.Read("Vs", "K", ""), "1");
  ASSERT_TRUE(other.Write("Vs", "K", "22"));
  EXPECT_EQ(store_.Read("Vs", "K", ""), "22");
  ASSERT_TRUE(store_.Write("Vs", "L", "3"));  // must not lose the other store's value
  EXPECT_EQ(other.Read("Vs", "K", ""), "22");
  EXPECT_EQ(other.Read("Vs", "L", ""), "3");
}

// Damaged files: whatever cannot be read yields the default, nothing crashes, and what can be
// read still is.
TEST_F(IniProfileStoreTest, NonUtf8LinesYieldDefaultsAndSurviveWrites) {
  const std::string bad_line = "Bad=\xC3\x28\xFF\n";
  WriteFileBytes(path_, "[Vs]\nGood=1\n" + bad_line + "\xFE\xFE=3\n");
  EXPECT_EQ(store_.Read("Vs", "Good", ""), "1");
  EXPECT_EQ(store_.Read("Vs", "Bad", "d"), "d");
  ASSERT_TRUE(store_.Write("Vs", "New", "2"));
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nGood=1\n" + bad_line + "\xFE\xFE=3\nNew=2\n");
}

TEST_F(IniProfileStoreTest, BinaryFileYieldsDefaults) {
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
  bytes += std::string("\0[Vs]\0K=1\0", 10);
  WriteFileBytes(path_, bytes);
  EXPECT_EQ(store_.Read("Vs", "K", "d"), "d");
  EXPECT_EQ(store_.Read("", "", "d"), "d");
  EXPECT_TRUE(store_.Write("Vs", "K", "2"));
  EXPECT_EQ(store_.Read("Vs", "K", "d"), "2");
}

TEST_F(IniProfileStoreTest, TruncatedFileKeepsWhatWasWrittenCompletely) {
  WriteFileBytes(path_, "[Vs]\nVsRowHeight=300\n[VsColWi");
  EXPECT_EQ(store_.Read("Vs", "VsRowHeight", ""), "300");
  EXPECT_EQ(store_.Read("VsColWi", "VsCol0", "d"), "d");

  // A damaged header ends the section before it: its keys are not the earlier section's.
  WriteFileBytes(path_, "[Vs]\nA=1\n[Vs\xFF]\nB=2\n[Form\nC=3");
  EXPECT_EQ(store_.Read("Vs", "A", ""), "1");
  EXPECT_EQ(store_.Read("Vs", "B", "d"), "d");
  EXPECT_EQ(store_.Read("Form", "C", "d"), "d");

  // A last line cut after its value still counts.
  WriteFileBytes(path_, "[Vs]\nVsFixedCols=2");
  EXPECT_EQ(store_.Read("Vs", "VsFixedCols", ""), "2");
  ASSERT_TRUE(store_.Write("Vs", "VsRowHeight", "1"));
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nVsFixedCols=2\nVsRowHeight=1\n");
}

TEST_F(IniProfileStoreTest, OversizedFileIsNeitherReadNorRewritten) {
  std::string bytes = "[Vs]\nK=1\n";
  bytes.resize(IniProfileStore::kMaxFileSize + 1, ';');
  WriteFileBytes(path_, bytes);
  EXPECT_EQ(store_.Read("Vs", "K", "d"), "d");
  EXPECT_FALSE(store_.Write("Vs", "K", "2"));
  EXPECT_EQ(std::filesystem::file_size(path_), bytes.size());
}

TEST_F(IniProfileStoreTest, AFolderInPlaceOfTheFileIsNotAFile) {
  std::filesystem::create_directory(path_);
  EXPECT_FALSE(store_.FileExists());
  EXPECT_EQ(store_.Read("Vs", "K", "d"), "d");
  EXPECT_FALSE(store_.Write("Vs", "K", "1"));
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_EQ(FilesInFolder(), 1);
}

}  // namespace
}  // namespace korvane
