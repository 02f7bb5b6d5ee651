// The command line's init, sql and demo subcommands on real database files.
#include "korvane/commands.h"

#include "korvane/demo_command.h"

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

// The demo walks the whole factory on a new database; what each step leaves behind is read
// back from the database it kept, not from its screens.
TEST(CommandLine, DemoWalksTheFactoryFromStructureToTheWorkReportQuery) {
  test::TempFolder folder;
  const std::string db = folder.path() + "/factory.db";
  std::ostringstream out, err;
  ASSERT_EQ(RunDemo({db}, out, err), 0) << err.str() << out.str();
  const std::string text = out.str();
  for (const char* headline :
       {"1. 产品物料清单", "2. 工艺路线", "3. 主生产计划", "4. 生产报工单", "4.1 选单",
        "5. 工资系统接收", "5.1 职员工资明细查询", "6. 报工单查询", "演示完成"}) {
    EXPECT_THAT(text, HasSubstr(headline));
  }
  EXPECT_THAT(text, HasSubstr("出现BOM结构嵌套ZJ-ZZ-01"));
  // The query's grid ends with a subtotal of the report and the total row.
  EXPECT_THAT(text, HasSubstr("\n合计 "));
  EXPECT_THAT(text, HasSubstr("小计 "));
  // 张伟's share of the line, as the wage office sees it paid, without the hidden keys.
  EXPECT_THAT(text, HasSubstr("| 4.8  | 3.4125 | 16.38 | 3.6          | 0.6\n"));

  // The pump's new structure is approved; the refused one was never stored.
  const Outcome structures =
      Sql(db,
          "select count(*) as n from PDMBOM a join PDMCPML c on a.产品ID=c.产品ID where "
          "c.物品编码 in ('CP-GDB-40','ZJ-ZZ-01') and a.smark='02' and a.bomID>23");
  ASSERT_EQ(structures.code, 0) << structures.err;
  EXPECT_THAT(structures.out, HasSubstr("\n1\n"));
  // The report's line came from the approved plan at the route's rate, and its two wage rows
  // were handed over and taken into payroll.
  const Outcome line =
      Sql(db,
          "select m.前置单据 as s, m.工资定额系数 as r, p.smark as k from SFCDJMX m join "
          "MRPPlanmx x on x.主计划ID=m.前置单据ID join MRPPlan p on "
          "p.主计划组ID=x.主计划组ID join SFCDJ h on h.报工单ID=m.报工单ID "
          "where h.smark='02' and m.报工单ID=(select max(报工单ID) from SFCDJ)");
  ASSERT_EQ(line.code, 0) << line.err;
  EXPECT_THAT(line.out, HasSubstr("3101 | 3.6 | 02"));
  const Outcome taken =
      Sql(db,
          "select count(*) as n, sum(A.dMoney) as m from paoutdatamx A join PATempDataMx B on "
          "B.lOutAutoID=A.lOutAutoID and B.lEmployeeID=A.lEmployeeID where B.bIsIntoGz=1 and "
          "A.lOutCzID=2101 and A.lOutAutoID=(select max(报工单ID) from SFCDJ)");
  ASSERT_EQ(taken.code, 0) << taken.err;
  EXPECT_THAT(taken.out, HasSubstr("2 | 27.3"));

  // A database that exists is never walked over.
  std::ostringstream again_out, again_err;
  EXPECT_EQ(RunDemo({db}, again_out, again_err), 2);
  EXPECT_THAT(again_err.str(), HasSubstr("exists"));
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
