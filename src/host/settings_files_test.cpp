// Tests of the per-user file paths and the one-value settings access.
#include "host/settings_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/test_support.h"

namespace korvane {
namespace {

using test::FakeHostContext;
using test::ReadFileBytes;

TEST(SettingsFilesTest, SettingsPathIsInSelfbbAndCreatesTheFolderEveryTime) {
  FakeHostContext host;
  const std::string folder = host.folder.path() + "/selfbb";
  EXPECT_EQ(SettingsPath("1203FrmSelect", host), folder + "/1203FrmSelect.txt");
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  std::filesystem::remove_all(folder);
  SettingsPath("x", host);
  EXPECT_TRUE(std::filesystem::is_directory(folder)) << "folder not created again";

  host.user.local_folder = host.folder.path() + "/";
  EXPECT_EQ(SettingsPath("x", host), folder + "/x.txt") << "separator doubled";
}

TEST(SettingsFilesTest, PrintPathIsInSelfPrintAndEnsureFolderCreatesIt) {
  FakeHostContext host;
  const std::string path = PrintPath(1203, host);
  EXPECT_EQ(path, host.folder.path() + "/selfPrint/1203.txt");
  EXPECT_FALSE(std::filesystem::exists(host.folder.path() + "/selfPrint"));
  EXPECT_TRUE(EnsureFolderOf(path));
  EXPECT_TRUE(std::filesystem::is_directory(host.folder.path() + "/selfPrint"));
}

TEST(SettingsFilesTest, ReadAndWriteOneSetting) {
  FakeHostContext host;
  EXPECT_EQ(ReadSetting("9pdmCpml_Sr", "other", "tvexpand", "0", host), "0");
  ASSERT_TRUE(WriteSetting("9pdmCpml_Sr", "other", "tvexpand", "1", host));
  EXPECT_EQ(ReadSetting("9pdmCpml_Sr", "OTHER", "TVEXPAND", "0", host), "1");
  EXPECT_EQ(ReadFileBytes(SettingsPath("9pdmCpml_Sr", host)), "[other]\ntvexpand=1\n");
}

TEST(SettingsFilesTest, AnUnusableFolderGivesDefaultsAndFailedWrites) {
  FakeHostContext host;
  // A file where the user folder should be: nothing can be created below it.
  test::WriteFileBytes(host.folder.path() + "/blocked", "x");
  host.user.local_folder = host.folder.path() + "/blocked";
  EXPECT_EQ(ReadSetting("f", "s", "k", "d", host), "d");
  EXPECT_FALSE(WriteSetting("f", "s", "k", "v", host));
}

TEST(SettingsFilesTest, StoredNumbersAreReadStrictly) {
  EXPECT_EQ(ParseStoredNumber(" 1200 "), 1200.0);
  EXPECT_EQ(ParseStoredNumber("-2.5"), -2.5);
  for (const char* bad : {"", "12px", "0x10", "nan"}) EXPECT_FALSE(ParseStoredNumber(bad)) << bad;
  EXPECT_EQ(ParseStoredInt("7"), 7);
  EXPECT_FALSE(ParseStoredInt("7.5"));
  EXPECT_FALSE(ParseStoredInt("99999999999"));
}

}  // namespace
}  // namespace korvane
