#include "data/tsql_translator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "data/schema_catalog.h"

namespace korvane::data {
namespace {

// A few tables of the factory schema, declared as the migrations declare them.
SchemaCatalog FactoryCatalog() {
  SchemaCatalog c;
  for (const char* column : {"物品编码", "物品名称", "规格", "库存单位"}) {
    c.AddColumn("PDMCPML", column, KindOfDeclaredType("VARCHAR(60)"));
  }
  c.AddColumn("PDMCPML", "产品ID", KindOfDeclaredType("INTEGER"));
  c.AddColumn("PDMCPML", "产品类别ID", KindOfDeclaredType("INTEGER"));
  c.AddColumn("PDMCPLB", "类别ID", KindOfDeclaredType("INTEGER"));
  c.AddColumn("PDMCPLB", "类别编码", KindOfDeclaredType("VARCHAR(30)"));
  c.AddColumn("PDMGY", "雇员ID", KindOfDeclaredType("INTEGER"));
  c.AddColumn("PDMGY", "雇员编号", KindOfDeclaredType("VARCHAR(20)"));
  c.AddColumn("PDMGY", "姓名", KindOfDeclaredType("NVARCHAR(20)"));
  c.AddColumn("SFCDJMX", "报工单明细ID", KindOfDeclaredType("INTEGER"));
  c.AddColumn("SFCDJMX", "合格数量", KindOfDeclaredType("FLOAT"));
  c.AddColumn("SFCDJMX", "工资金额", KindOfDeclaredType("FLOAT"));
  c.AddColumn("SFCDJMX", "原单号", KindOfDeclaredType("VARCHAR(30)"));
  c.AddColumn("SFCDJMX", "生产日期", KindOfDeclaredType("DATETIME"));
  c.AddColumn("SFCDJMXFS", "员工ID", KindOfDeclaredType("INTEGER"));
  // A column name two tables declare differently.
  c.AddColumn("T1", "code", KindOfDeclaredType("VARCHAR(10)"));
  c.AddColumn("T2", "code", KindOfDeclaredType("INTEGER"));
  return c;
}

// The one statement `sql` translates to; fails the test when there is not exactly one.
std::string One(std::string_view sql, const SchemaCatalog& catalog = FactoryCatalog()) {
  const Translation t = TranslateTsql(sql, catalog);
  EXPECT_TRUE(t.ok()) << sql << "\n" << t.error;
  EXPECT_EQ(t.statements.size(), 1u) << sql;
  return t.statements.empty() ? std::string() : t.statements[0];
}

bool Has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

TEST(TsqlTranslatorTest, LiteralsNamesAndCommentsAreNotRewrittenInside) {
  EXPECT_EQ(One("select 'O''Brien' + ' top 5 -- x', [ID], [a]]b], \"q\" from t -- top 1 + 2"),
            "select 'O''Brien' || ' top 5 -- x', \"ID\", \"a]b\", \"q\" from t");
  EXPECT_EQ(One("select N'中文', n'x' from t /* select top 1 /* nested */ isnull( */"),
            "select '中文', 'x' from t");
  // Quotes inside a bracketed name are doubled so that the name survives.
  EXPECT_EQ(One("select [say \"hi\"] from t"), "select \"say \"\"hi\"\"\" from t");
  // Words that only look like the constructs the translator rewrites.
  EXPECT_EQ(One("select 'isnull(a,b)', '[x]', 'a+b' from t"),
            "select 'isnull(a,b)', '[x]', 'a+b' from t");
}

TEST(TsqlTranslatorTest, TopBecomesLimitAtTheEndOfItsOwnSelect) {
  EXPECT_EQ(One(" Select Top 1 报工单ID From SFCDJ Where 报工单编号='X' and progid =3"),
            "Select 报工单ID From SFCDJ Where 报工单编号='X' and progid =3 LIMIT 1");
  EXPECT_EQ(One("select top (5) a from t order by a desc"),
            "select a from t order by a desc LIMIT (5)");
  EXPECT_EQ(One("select distinct top 3 a from t"), "select distinct a from t LIMIT 3");
  EXPECT_EQ(One("select top 3 distinct a from t"), "select distinct a from t LIMIT 3");
  // In a subquery the LIMIT closes that subquery, not the outer statement.
  EXPECT_EQ(One("select a, (select top 1 bomID from pdmbom where x=1 order by bomID desc) as b "
                "from t where a in (select top 2 a from u)"),
            "select a, (select bomID from pdmbom where x=1 order by bomID desc LIMIT 1) as b "
            "from t where a in (select a from u LIMIT 2)");
  // A member of a compound keeps its own limit; the final ORDER BY sorts the whole.
  EXPECT_EQ(One("select top 2 a from t union all select a from u order by a"),
            "SELECT * FROM (select a from t LIMIT 2) union all select a from u order by a");
  EXPECT_EQ(One("select a from t union select top 1 a from u order by a"),
            "select a from t union SELECT * FROM (select a from u LIMIT 1) order by a");
  // Positional parameters keep the order they were written in when the count moves.
  EXPECT_EQ(One("select top (?) a from t where b = ?"), "select a from t where b = ?2 LIMIT (?1)");
  EXPECT_EQ(One("select top 1 a from t where b = ?"), "select a from t where b = ? LIMIT 1");
  const std::string spaced =
      One("SELECT TOP 10 单据编号 as 计划编号 from mrpplan ORDER by 单据编号 desc");
  EXPECT_EQ(spaced, "SELECT 单据编号 as 计划编号 from mrpplan ORDER by 单据编号 desc LIMIT 10");
}

TEST(TsqlTranslatorTest, BatchesSplitAtStatementsWithOrWithoutSeparators) {
  const Translation t = TranslateTsql(
      " DELETE FROM SFCDJMXFS WHERE 报工单明细ID in(select 报工单明细ID from sfcdjmx where "
      "报工单ID=7) DELETE FROM SFCDJ WHERE 报工单ID=7 delete sfcdjmx where 报工单ID=7;;"
      "insert into a (x) select x from b union select x from c "
      "insert into a values (1) select 5 update a set x = 2 where x = 1 ; "
      "insert into a (x) values ('select top 1 -- x')",
      FactoryCatalog());
  ASSERT_TRUE(t.ok()) << t.error;
  const std::vector<std::string> expected = {
      "DELETE FROM SFCDJMXFS WHERE 报工单明细ID in(select 报工单明细ID from sfcdjmx where "
      "报工单ID=7)",
      "DELETE FROM SFCDJ WHERE 报工单ID=7",
      "delete FROM sfcdjmx where 报工单ID=7",
      "insert into a (x) select x from b union select x from c",
      "insert into a values (1)",
      "select 5",
      "update a set x = 2 where x = 1",
      "insert into a (x) values ('select top 1 -- x')"};
  EXPECT_EQ(t.statements, expected);

  const Translation blank = TranslateTsql(" ; -- nothing\n ;", FactoryCatalog());
  EXPECT_TRUE(blank.ok());
  EXPECT_TRUE(blank.statements.empty());
}

TEST(TsqlTranslatorTest, PlusJoinsTextsAndAddsNumbersByWhatTheOperandsAre) {
  // Text columns found through the FROM clause's aliases, and literals.
  EXPECT_EQ(One("SELECT 'w'+A.物品编码 as c, A.物品编码+'  '+A.物品名称 as n FROM PDMCPML A"),
            "SELECT 'w'||A.物品编码 as c, A.物品编码||'  '||A.物品名称 as n FROM PDMCPML A");
  // Unqualified columns: the statement's own tables decide.
  EXPECT_EQ(One("select 雇员编号+' '+姓名 as 姓名 from sfcdjmxfs A left join PDMGY B on "
                "A.员工ID=B.雇员ID"),
            "select 雇员编号||' '||姓名 as 姓名 from sfcdjmxfs A left join PDMGY B on "
            "A.员工ID=B.雇员ID");
  // Numbers stay additions, with the server's precedence.
  EXPECT_EQ(One("select A.合格数量 + A.工资金额 * 2, 1 + 2 from sfcdjmx A"),
            "select A.合格数量 + A.工资金额 * 2, 1 + 2 from sfcdjmx A");
  // Text from functions: isnull of a text column, convert to varchar, substring.
  EXPECT_EQ(One("select C.物品名称+' '+isnull(C.规格,'') from pdmcpml C"),
            "select C.物品名称||' '||ifnull(C.规格,'') from pdmcpml C");
  EXPECT_TRUE(Has(One("select substring(C.物品编码,1,2) + '-' from pdmcpml C"),
                  "substr(C.物品编码,1,2) || '-'"));
  EXPECT_TRUE(Has(One("select 'x' + convert(varchar(10), A.合格数量) from sfcdjmx A"),
                  "'x' || substr(korvane_text(A.合格数量), 1, 10)"));
  // A join under a subtraction keeps its grouping explicit.
  EXPECT_EQ(One("select 'a' + 'b' - 1"), "select ('a' || 'b') - 1");
  EXPECT_EQ(One("select 'a'+'b'*2"), "select korvane_plus('a', 'b'*2)");
  // Undecidable until the statement runs: the runtime decides.
  EXPECT_EQ(One("select x + y, 'a' + 1, A.物品编码 + A.产品ID from PDMCPML A, u"),
            "select korvane_plus(x, y), korvane_plus('a', 1), korvane_plus(A.物品编码, "
            "A.产品ID) from PDMCPML A, u");
  // Columns that two tables of the database declare differently.
  EXPECT_TRUE(Has(One("select code + 'x' from elsewhere"), "korvane_plus(code, 'x')"));
  EXPECT_EQ(One("select T1.code+'x' from T1"), "select T1.code||'x' from T1");
  // Unary signs and a number next to a join.
  EXPECT_EQ(One("select -A.合格数量, +1, 2 - -A.合格数量 from sfcdjmx A"),
            "select -A.合格数量, +1, 2 - -A.合格数量 from sfcdjmx A");
  EXPECT_EQ(One("select 'a' + (A.合格数量 + 1) * 2 from sfcdjmx A"),
            "select korvane_plus('a', (A.合格数量 + 1) * 2) from sfcdjmx A");
  // TOP's count stands right before the first item: the item is still an expression.
  EXPECT_EQ(One("select top 2 A.物品编码 + '-' + A.物品名称 from PDMCPML A"),
            "select A.物品编码 || '-' || A.物品名称 from PDMCPML A LIMIT 2");
  EXPECT_EQ(One("select distinct top (3) 'w' + A.物品编码 from PDMCPML A"),
            "select distinct 'w' || A.物品编码 from PDMCPML A LIMIT (3)");
}

TEST(TsqlTranslatorTest, PlusResolvesAliasesOfDerivedTablesAndEnclosingQueries) {
  // The derived table's columns take the kinds of what it selects.
  EXPECT_EQ(One("select S.物品编码+S.名 from (select 物品编码, 物品名称 as 名 from pdmcpml) S"),
            "select S.物品编码||S.名 from (select 物品编码, 物品名称 as 名 from pdmcpml) S");
  EXPECT_EQ(One("select S.物品编码+'x' from (select A.* from pdmcpml A) S"),
            "select S.物品编码||'x' from (select A.* from pdmcpml A) S");
  // A correlated subquery sees the outer query's aliases.
  EXPECT_EQ(One("select (select B.类别编码+A.物品编码 from pdmcplb B where B.类别ID = "
                "A.产品类别ID) from pdmcpml A"),
            "select (select B.类别编码||A.物品编码 from pdmcplb B where B.类别ID = "
            "A.产品类别ID) from pdmcpml A");
  // A parenthesised join's tables are visible to the whole statement.
  EXPECT_EQ(One("select C.物品编码+B.类别编码 from t left join (pdmcpml C left join pdmcplb B "
                "on C.产品类别ID=B.类别ID) on t.id=C.产品ID"),
            "select C.物品编码||B.类别编码 from t left join (pdmcpml C left join pdmcplb B "
            "on C.产品类别ID=B.类别ID) on t.id=C.产品ID");
  // A scalar subquery takes the kind of what it selects.
  EXPECT_EQ(One("select (select 物品编码 from pdmcpml)+'x'"),
            "select (select 物品编码 from pdmcpml)||'x'");
  // UPDATE and DELETE see their table.
  EXPECT_EQ(One("update pdmgy set 姓名 = 姓名+'*' where 雇员编号 = 'a'+'1'"),
            "update pdmgy set 姓名 = 姓名||'*' where 雇员编号 = 'a'||'1'");
}

TEST(TsqlTranslatorTest, FunctionsAreRewrittenToTheirEmbeddedEquivalents) {
  EXPECT_EQ(One("select isnull(A.sign,0) from mrpplan A where ISNULL(是否失效,0)=0 and x IS NULL"),
            "select ifnull(A.sign,0) from mrpplan A where ifnull(是否失效,0)=0 and x IS NULL");
  EXPECT_EQ(One("select dbo.rSfcDjEmp(报工单明细ID), [dbo].[f](1) from dbo.sfcdjmx"),
            "select rSfcDjEmp(报工单明细ID), \"f\"(1) from sfcdjmx");
  // Date texts: a date column formats, a text column does not, length cuts.
  EXPECT_EQ(One("select substring(convert(char,生产日期,120),1,10) from sfcdjmx"),
            "select substr(korvane_datetext(生产日期, 120),1,10) from sfcdjmx");
  EXPECT_EQ(One("select convert(varchar(10), 生产日期, 120) from sfcdjmx"),
            "select substr(korvane_datetext(生产日期, 120), 1, 10) from sfcdjmx");
  EXPECT_EQ(One("select convert(char(10), x, 23) from t"),
            "select substr(korvane_datetext(x, 23), 1, 10) from t");
  EXPECT_EQ(One("select convert(varchar, 原单号, 120) from sfcdjmx"),
            "select substr(原单号, 1, 30) from sfcdjmx");
  EXPECT_EQ(One("select convert(datetime, '2024-01-05'), cast(x as date) from t"),
            "select korvane_datetime('2024-01-05'), substr(korvane_datetime(x), 1, 10) from t");
  // Numbers: decimals become REAL (rounded to their scale), never NUMERIC.
  EXPECT_EQ(One("select convert(int, x), cast(x as float), convert(decimal(18,2), x), "
                "cast(x as numeric) from t"),
            "select CAST(x AS INTEGER), CAST(x AS REAL), round(CAST(x AS REAL), 2), "
            "round(CAST(x AS REAL), 0) from t");
  EXPECT_EQ(One("select cast(合格数量 as varchar(20)) from sfcdjmx"),
            "select substr(korvane_text(合格数量), 1, 20) from sfcdjmx");
  EXPECT_EQ(One("select len(a), left(a, 2), right(a, 2), charindex('x', a), "
                "charindex('x', a, 3), getdate() from t"),
            "select length(rtrim(a)), substr(a, 1, 2), korvane_right(a, 2), "
            "korvane_charindex('x', a), korvane_charindex('x', a, 3), "
            "datetime('now', 'localtime') from t");
  EXPECT_EQ(One("select year(d), datediff(dd, a, b), dateadd(month, 1, d), datepart(dw, d) "
                "from t"),
            "select korvane_datepart('year', d), korvane_datediff('day', a, b), "
            "korvane_dateadd('month', 1, d), korvane_datepart('weekday', d) from t");
  // A substring with a computed position goes to the runtime, which follows the server.
  EXPECT_EQ(One("select substring(a, n, 2) from t"), "select korvane_substring(a, n, 2) from t");
  // Everything else passes: count(*), case, exists, like, between, unknown functions.
  const std::string plain =
      "select count(*), case when a between 1 and 2 then 'x' else 'y' end, nosuch(a) from t "
      "where exists (select 1 from u where u.a like '%x%') and b not in (1, 2)";
  EXPECT_EQ(One(plain), plain);
  // The server's "name = value" select items.
  EXPECT_EQ(One("select 数量 = sum(合格数量), a from sfcdjmx"),
            "select sum(合格数量) AS 数量, a from sfcdjmx");
}

TEST(TsqlTranslatorTest, ConstructsWithoutAFaithfulTranslationAreErrors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"select top 10 percent a from t", "TOP ... PERCENT"},
      {"select top 5 with ties a from t order by a", "TOP ... WITH TIES"},
      {"update t set a += 1", "compound assignment +="},
      {"select a into #tmp from t", "SELECT ... INTO"},
      {"declare @x int", "DECLARE statement"},
      {"exec p_PDM_GY_SELECT 1", "EXEC statement"},
      {"insert into t exec p", "EXEC"},
      {"update A set x = 1 from t A join u on u.id = A.id", "UPDATE ... FROM naming the updated"},
      {"delete A from t A join u on u.id = A.id", "DELETE ... FROM"},
      {"select a from t with (nolock)", "WITH (table hint)"},
      {"select @@identity", "@@identity"},
      {"select convert(varchar, d, 999) from t", "style 999"},
      {"select convert(xml, d) from t", "CONVERT to xml"},
      {"select cast(a as varchar(abc)) from t", "to varchar(abc)"},
      {"select convert(decimal(18, 99999999999), a) from t", "to decimal"},
      {"select convert(varchar(10), d, 99999999999) from t", "style 99999999999"},
      {"select a collate Chinese_PRC_CI_AS from t", "COLLATE"},
      {"select isnull(a) from t", "isnull with 1 arguments"},
      {"select datediff(fortnight, a, b) from t", "date part fortnight"},
  };
  for (const auto& [sql, construct] : cases) {
    const Translation t = TranslateTsql(sql, FactoryCatalog());
    EXPECT_FALSE(t.ok()) << sql;
    EXPECT_TRUE(t.statements.empty()) << sql;
    EXPECT_TRUE(Has(t.error, "not supported by the embedded database")) << t.error;
    EXPECT_TRUE(Has(t.error, construct)) << sql << " -> " << t.error;
  }
  // Texts that cannot even be read.
  for (const char* sql : {"select 'open", "select [open", "select (1", "select 1)", "/* open",
                          "select case when a then b from t"}) {
    const Translation t = TranslateTsql(sql, FactoryCatalog());
    EXPECT_FALSE(t.ok()) << sql;
    EXPECT_TRUE(Has(t.error, "cannot be read")) << t.error;
  }
  // One bad statement fails the whole batch.
  const Translation mixed =
      TranslateTsql("delete from a select top 1 percent * from b", FactoryCatalog());
  EXPECT_FALSE(mixed.ok());
  EXPECT_TRUE(mixed.statements.empty());
}

TEST(TsqlTranslatorTest, ATextHoldingANulByteIsRefusedWhereverTheByteStands) {
  using namespace std::string_literals;
  for (const std::string& sql : {
           "delete from SFCDJMXFS\0 where 报工单明细ID = 1"s,
           "select 物品编码 from PDMCPML where 物品编码 = 'A\0' or 1 = 1"s,
           "select 1 -- \0 a comment\nselect 2"s,
           "\0"s,
       }) {
    const Translation t = TranslateTsql(sql, FactoryCatalog());
    EXPECT_FALSE(t.ok()) << sql;
    EXPECT_TRUE(t.statements.empty()) << sql;
    EXPECT_TRUE(Has(t.error, "NUL byte at offset " + std::to_string(sql.find('\0')))) << t.error;
  }
}

// One level of each way an expression nests: what comes before and after the level below. A
// kind with several levels takes them in turn.
struct Nesting {
  const char* what;
  std::vector<std::pair<std::string, std::string>> levels;
};

const Nesting kNestings[] = {
    {"parentheses", {{"(", ")"}}},
    {"subqueries", {{"(select ", ")"}}},
    {"CASE", {{"case when 1 = 1 then ", " end"}}},
    {"function arguments", {{"abs(", ")"}}},
    {"conversions", {{"convert(int, ", ")"}}},
    {"signs", {{"- ", ""}}},
    {"additions", {{"", " + 1"}}},
    {"multiplications", {{"", " * 2"}}},
    {"texts joined", {{"", " + 'a'"}}},
    {"all of them in turn",
     {{"(", ")"},
      {"isnull(", ", 0)"},
      {"(select ", " from PDMCPML)"},
      {"case when 产品ID > 0 then ", " else 0 end"},
      {"~ ", ""},
      {"", " / 2"}}},
};

std::string Nested(const Nesting& nesting, int levels) {
  const auto level = [&](int n) { return nesting.levels[n % nesting.levels.size()]; };
  std::string before;
  std::string after;
  for (int n = levels - 1; n >= 0; --n) before += level(n).first;
  for (int n = 0; n < levels; ++n) after += level(n).second;
  return "select " + before + "产品ID" + after + " from PDMCPML";
}

TEST(TsqlTranslatorTest, NestingUpToTheLimitTranslatesAndDeeperIsRefused) {
  for (const Nesting& nesting : kNestings) {
    // Each level wraps the column once more: the column under n levels is n + 1 deep.
    const Translation deepest =
        TranslateTsql(Nested(nesting, kMaxTsqlNesting - 1), FactoryCatalog());
    EXPECT_TRUE(deepest.ok()) << nesting.what << ": " << deepest.error;
    EXPECT_EQ(deepest.statements.size(), 1u) << nesting.what;
    for (int levels : {kMaxTsqlNesting, 10000}) {
      const Translation t = TranslateTsql(Nested(nesting, levels), FactoryCatalog());
      EXPECT_FALSE(t.ok()) << nesting.what << " " << levels;
      EXPECT_TRUE(t.statements.empty()) << nesting.what;
      EXPECT_TRUE(Has(t.error, "nests too deeply")) << nesting.what << ": " << t.error;
    }
  }
  // Words that do not nest may repeat without limit.
  std::string nots = "select 1 from PDMCPML where ";
  for (int i = 0; i < 10000; ++i) nots += "not ";
  EXPECT_TRUE(TranslateTsql(nots + "产品ID = 1", FactoryCatalog()).ok());
}

TEST(TsqlTranslatorTest, NamesSqliteReservesAreQuotedAndOthersKept) {
  EXPECT_EQ(One("select limit, text, status from t order by limit"),
            "select \"limit\", text, status from t order by \"limit\"");
  // Names in UTF-8 with ASCII letters and digits mixed in.
  EXPECT_EQ(One("select Bom组成数量, 工资2 from t"), "select Bom组成数量, 工资2 from t");
}

TEST(SchemaCatalogTest, KindsAndNamesIgnoreAsciiCase) {
  const std::pair<const char*, ColumnKind> types[] = {
      {"VARCHAR(30)", ColumnKind::kText}, {"nvarchar(max)", ColumnKind::kText},
      {"FLOAT", ColumnKind::kNumber},     {"INTEGER", ColumnKind::kNumber},
      {"BIT", ColumnKind::kNumber},       {"DATETIME", ColumnKind::kDate},
      {"BLOB", ColumnKind::kOther},       {"", ColumnKind::kOther}};
  for (const auto& [type, kind] : types) EXPECT_EQ(KindOfDeclaredType(type), kind) << type;

  SchemaCatalog c;
  EXPECT_FALSE(c.HasTable("pdmcpml"));
  const auto before = c.generation();
  c.AddColumn("PDMCPML", "Code物品", ColumnKind::kText);
  EXPECT_NE(c.generation(), before);
  EXPECT_TRUE(c.HasTable("pdmCPML"));
  EXPECT_EQ(c.Kind("pdmcpml", "CODE物品"), ColumnKind::kText);
  EXPECT_EQ(c.Kind("pdmcpml", "other"), std::nullopt);
  EXPECT_EQ(c.Kind("nosuch", "code物品"), std::nullopt);
  EXPECT_EQ(c.KindInAnyTable("code物品"), ColumnKind::kText);
  c.AddColumn("other", "code物品", ColumnKind::kText);
  EXPECT_EQ(c.KindInAnyTable("code物品"), ColumnKind::kText);
  c.AddColumn("third", "CODE物品", ColumnKind::kNumber);
  EXPECT_EQ(c.KindInAnyTable("code物品"), std::nullopt);
  EXPECT_EQ(c.KindInAnyTable("absent"), std::nullopt);

  // Two catalogs built apart never share a generation.
  SchemaCatalog a, b;
  a.AddColumn("t", "x", ColumnKind::kText);
  b.AddColumn("t", "x", ColumnKind::kNumber);
  EXPECT_NE(a.generation(), b.generation());
}

TEST(TranslationCacheTest, CachesByTextAndCatalogGeneration) {
  SchemaCatalog catalog;
  catalog.AddColumn("t", "a", ColumnKind::kNumber);
  TranslationCache cache(3);
  const auto first = cache.Get("select a + b from t", catalog);
  EXPECT_EQ(cache.Get("select a + b from t", catalog), first);
  EXPECT_EQ(first->statements.at(0), "select korvane_plus(a, b) from t");
  EXPECT_EQ(cache.size(), 1u);

  // Once the catalog knows b, the same text is translated again.
  catalog.AddColumn("t", "b", ColumnKind::kNumber);
  const auto second = cache.Get("select a + b from t", catalog);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->statements.at(0), "select a + b from t");

  // Errors are cached like translations.
  const auto bad = cache.Get("select top 1 percent a from t", catalog);
  EXPECT_FALSE(bad->ok());
  EXPECT_EQ(cache.Get("select top 1 percent a from t", catalog), bad);

  // Bounded: filling it beyond its capacity starts it over.
  for (int i = 0; i < 10; ++i) cache.Get("select " + std::to_string(i), catalog);
  EXPECT_LE(cache.size(), 3u);
  cache.Clear();
  EXPECT_EQ(cache.size(), 0u);
}

TEST(TranslationCacheTest, ServesSeveralThreadsAtOnce) {
  SchemaCatalog catalog;
  catalog.AddColumn("t", "a", ColumnKind::kText);
  TranslationCache cache(8);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int n = 0; n < 4; ++n) {
    threads.emplace_back([&, n] {
      for (int i = 0; i < 200; ++i) {
        const std::string sql = "select a+'" + std::to_string((i + n) % 12) + "' from t";
        const auto t = cache.Get(sql, catalog);
        const std::string expected = "select a||'" + std::to_string((i + n) % 12) + "' from t";
        if (!t->ok() || t->statements.size() != 1 || t->statements[0] != expected) ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(cache.size(), 8u);
}

}  // namespace
}  // namespace korvane::data
