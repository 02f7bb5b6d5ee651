// Tests of the INI settings store: reading, line-preserving writing, damaged files.
#include "host/ini_profile_store.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/test_support.h"

namespace korvane {
namespace {

using namespace std::string_literals;
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

// Each file and what it gives for a section and key, "d" being the default. Whatever cannot be
// read yields the default, nothing crashes, and what can be read still is.
TEST_F(IniProfileStoreTest, ReadsWhatTheFileHoldsAndDefaultsForTheRest) {
  EXPECT_FALSE(store_.FileExists());
  EXPECT_EQ(store_.Read("Vs", "VsCol0", "960"), "960");
  IniProfileStore unset;  // no file set: defaults, and nothing written
  EXPECT_EQ(unset.Read("Vs", "K", "d"), "d");
  EXPECT_FALSE(unset.Write("Vs", "K", "1"));

  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) % 256);
  binary += "\0[Vs]\0K=1\0"s;
  std::string oversized = "[Vs]\nK=1\n";
  oversized.resize(IniProfileStore::kMaxFileSize + 1, ';');
  using Read = std::array<const char*, 3>;  // section, key, value
  const std::vector<std::pair<std::string, std::vector<Read>>> files = {
      {"[Vs]\nVsCol0=1200\n",
       {{"Other", "VsCol0", "d"}, {"Vs", "VsCol1", "d"}, {"Vs", "VsCol0", "1200"}}},
      // Names ignore ASCII case; blanks around keys and values are trimmed.
      {"; a comment=not a key\n[Other]\n  查找列 =  物品名称 \n[vscolwidth_qxGrid]\n"
       "\tVSCOL3\t= 1500\nExpr = a=b=c\nEmpty=\n",
       {{"OTHER", "查找列", "物品名称"},
        {"VsColWidth_QXGRID", "VsCol3", "1500"},
        {"VsColWidth_qxGrid", "expr", "a=b=c"},
        {"VsColWidth_qxGrid", "Empty", ""},
        {"Other", "; a comment", "d"}}},
      // The first occurrence of a section or key counts.
      {"[Form]\nK=first\nK=second\n[Form]\nK=third\nL=later\n",
       {{"Form", "K", "first"}, {"Form", "L", "d"}}},
      {"\xEF\xBB\xBF[Vs]\r\nVsFixedCols=2\r\n", {{"Vs", "VsFixedCols", "2"}}},
      {"[Vs]\nGood=1\nBad=\xC3\x28\xFF\n", {{"Vs", "Good", "1"}, {"Vs", "Bad", "d"}}},
      {binary, {{"Vs", "K", "d"}, {"", "", "d"}}},
      {"[Vs]\nVsRowHeight=300\n[VsColWi",
       {{"Vs", "VsRowHeight", "300"}, {"VsColWi", "VsCol0", "d"}}},
      // A damaged header ends the section before it: its keys are not the earlier section's.
      {"[Vs]\nA=1\n[Vs\xFF]\nB=2\n[Form\nC=3",
       {{"Vs", "A", "1"}, {"Vs", "B", "d"}, {"Form", "C", "d"}}},
      {"[Vs]\nVsFixedCols=2", {{"Vs", "VsFixedCols", "2"}}},  // a last line cut after its value
      {oversized, {{"Vs", "K", "d"}}},
  };
  for (const auto& [file, reads] : files) {
    WriteFileBytes(path_, file);
    EXPECT_TRUE(store_.FileExists());
    for (const auto& [section, key, value] : reads) {
      EXPECT_EQ(store_.Read(section, key, "d"), value) << file.substr(0, 60) << " " << key;
    }
  }
  EXPECT_FALSE(store_.Write("Vs", "K", "2")) << "an oversized file was rewritten";
  EXPECT_EQ(std::filesystem::file_size(path_), oversized.size());

  WriteFileBytes(path_, binary);
  EXPECT_TRUE(store_.Write("Vs", "K", "2"));
  EXPECT_EQ(store_.Read("Vs", "K", "d"), "2");
}

// Each file before and after its writes: only the line written changes, a new key goes after
// the section's last one, a new section at the end, and every other byte stays.
TEST_F(IniProfileStoreTest, WritingChangesOneLineAndKeepsEveryOtherByte) {
  using Write = std::array<const char*, 3>;  // section, key, value
  struct Case {
    std::string before;
    std::vector<Write> writes;
    std::string after;
  };
  const Case cases[] = {
      {"; kept by hand\n[VsColWidth]\nVsCol0=100\n# another comment\nVsCol1=200\n\n[Form]\n"
       "TEXTBOX_Txt=甲\na line without equals\n",
       {{"VsColWidth", "VsCol1", "250"}, {"VsColWidth", "VsCol2", "300"}, {"其他", "展开", "1"}},
       "; kept by hand\n[VsColWidth]\nVsCol0=100\n# another comment\nVsCol1=250\nVsCol2=300\n\n"
       "[Form]\nTEXTBOX_Txt=甲\na line without equals\n[其他]\n展开=1\n"},
      {"[Form]\nK=first\nK=second\n[Form]\nK=third\nL=later\n",
       {{"Form", "K", "new"}},
       "[Form]\nK=new\nK=second\n[Form]\nK=third\nL=later\n"},
      {"\xEF\xBB\xBF[Vs]\r\nVsFixedCols=2\r\n",
       {{"Vs", "VsRowHeight", "300"}, {"Vs", "VsFixedCols", "1"}},
       "\xEF\xBB\xBF[Vs]\r\nVsFixedCols=1\r\nVsRowHeight=300\r\n"},
      {"[Vs]\nGood=1\nBad=\xC3\x28\xFF\n\xFE\xFE=3\n",
       {{"Vs", "New", "2"}},
       "[Vs]\nGood=1\nBad=\xC3\x28\xFF\n\xFE\xFE=3\nNew=2\n"},
      {"[Vs]\nVsFixedCols=2", {{"Vs", "VsRowHeight", "1"}}, "[Vs]\nVsFixedCols=2\nVsRowHeight=1\n"},
      // Values are flattened to one line.
      {"[Vs]\nK=1\n", {{"Vs", "K", "line1\nline2"}}, "[Vs]\nK=line1 line2\n"},
  };
  for (const Case& c : cases) {
    WriteFileBytes(path_, c.before);
    for (const auto& [section, key, value] : c.writes) {
      EXPECT_TRUE(store_.Write(section, key, value)) << c.before << key;
    }
    EXPECT_EQ(ReadFileBytes(path_), c.after);
  }
  EXPECT_EQ(store_.Read("Vs", "K", ""), "line1 line2");
  EXPECT_EQ(FilesInFolder(), 1) << "a temporary file was left behind";

  // Names that would break the file are refused and change nothing.
  for (const auto& [section, key] : std::vector<std::pair<const char*, const char*>>{
           {"", "K"}, {"Vs", ""}, {"a]b", "K"}, {"Vs", "a=b"}, {"Vs", "a\nb"}}) {
    EXPECT_FALSE(store_.Write(section, key, "v")) << section << "." << key;
  }
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nK=line1 line2\n");
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

TEST_F(IniProfileStoreTest, WriteCreatesAMissingFileButNotAMissingFolderNorReplacesAFolder) {
  ASSERT_TRUE(store_.Write("Vs", "VsFixedCols", "0"));
  EXPECT_EQ(ReadFileBytes(path_), "[Vs]\nVsFixedCols=0\n");

  IniProfileStore nowhere(folder_ / "missing/settings.txt");
  EXPECT_FALSE(nowhere.Write("Vs", "VsFixedCols", "0"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "missing"));

  // A folder in place of the file is not a file.
  std::filesystem::remove(path_);
  std::filesystem::create_directory(path_);
  EXPECT_FALSE(store_.FileExists());
  EXPECT_EQ(store_.Read("Vs", "K", "d"), "d");
  EXPECT_FALSE(store_.Write("Vs", "K", "1"));
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_EQ(FilesInFolder(), 1);
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

}  // namespace
}  // namespace korvane
