// The command line's init and sql subcommands on real database files.
#include "korvane/commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "host/test_support.h"
#include "korvane/table_text.h"
#include "values/recordset.h"

namespace korvane::cli {
namespace {

using ::testing::HasSubstr;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Init(const InitOptions& options) {
  std::ostringstream out, err;
  const int code = RunInit(options, out, err);
  return {code, out.str(), err.str()};
}

Outcome Sql(const std::string& db, const std::string& statement) {
  std::ostringstream out, err;
  const int code = RunSql({db, statement}, out, err);
  return {code, out.str(), err.str()};
}

TEST(CommandLine, InitCreatesTheDemoFactoryOnceAndThenReportsItUpToDate) {
  test::TempFolder folder;
  const std::string db = folder.path() + "/factory.db";

  const Outcome created = Init({db, true, std::nullopt});
  ASSERT_EQ(created.code, 0) << created.err;
  EXPECT_NE(created.out.find("created " + db), std::string::npos) << created.out;
  EXPECT_THAT(created.out, HasSubstr("loaded the demo factory"));

  const Outcome again = Init({db, false, std::nullopt});
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_THAT(again.out, HasSubstr("up to date"));

  // The demo goes into a new database only: loading it twice would duplicate every key.
  const Outcome twice = Init({db, true, std::nullopt});
  EXPECT_EQ(twice.code, 1);
  EXPECT_THAT(twice.err, HasSubstr("already holds data"));
}

TEST(CommandLine, SqlPrintsRowsOrChangesOrTheErrorText) {
  test::TempFolder folder;
  const std::string db = folder.path() + "/factory.db";
  ASSERT_EQ(Init({db, true, std::nullopt}).code, 0);

  // T-SQL, not SQLite: TOP and ISNULL must be translated.
  const Outcome rows =
      Sql(db, "select top 2 isnull(menuname,'') as 名称 from xt_menu order by progID");
  ASSERT_EQ(rows.code, 0) << rows.err;
  EXPECT_EQ(rows.out.rfind("名称", 0), 0u) << rows.out;
  EXPECT_THAT(rows.out, HasSubstr("(2 rows)"));

  const Outcome changed = Sql(db, "update xt_menu set menuname=menuname where progID=-12345");
  ASSERT_EQ(changed.code, 0) << changed.err;
  EXPECT_THAT(changed.out, HasSubstr("(0 rows changed)"));

  const Outcome broken = Sql(db, "select 物品编码 form PDMCPML");
  EXPECT_EQ(broken.code, 1);
  EXPECT_FALSE(broken.err.empty());

  const Outcome missing = Sql(folder.path() + "/none.db", "select 1");
  EXPECT_EQ(missing.code, 1);
  EXPECT_THAT(missing.err, HasSubstr("korvane init"));
}

TEST(CommandLine, TablesPadChineseTextByDisplayWidth) {
  EXPECT_EQ(DisplayWidth("abc"), 3);
  EXPECT_EQ(DisplayWidth("物品编码"), 8);
  EXPECT_EQ(DisplayWidth("Ａ1"), 3);  // a full-width letter takes two columns

  Recordset rows({{"编码", kAdVarWChar}, {"qty", kAdDouble}},
                 {{Variant("甲"), Variant(1.5)}, {Variant("ab"), Variant::MakeNull()}});
  const std::string text = FormatTable(rows);
  EXPECT_EQ(text,
            "编码 | qty\n"
            "-----+-----\n"
            "甲   | 1.5\n"
            "ab   | NULL\n"
            "(2 rows)\n");
}

}  // namespace
}  // namespace korvane::cli
