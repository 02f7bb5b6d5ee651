// Tests of literal shapes: which literals become bound values and which stay part of the
// shape, that a shaped translation reads exactly as the plain one with its literals written
// back, and what the cache of shapes keeps.
#include "data/tsql_shape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/schema_catalog.h"
#include "data/tsql_translator.h"

namespace korvane::data {
namespace {

SchemaCatalog Catalog() {
  SchemaCatalog catalog;
  catalog.AddColumn("t", "id", ColumnKind::kNumber);
  catalog.AddColumn("t", "name", ColumnKind::kText);
  catalog.AddColumn("t", "qty", ColumnKind::kNumber);
  catalog.AddColumn("t", "d", ColumnKind::kDate);
  return catalog;
}

struct Shaped {
  LiteralShape shape;
  std::shared_ptr<const ShapedTranslation> translation;
  // The SQL of every statement, joined by "; ".
  std::string Sql() const {
    std::string out;
    for (const ShapedStatement& s : translation->statements)
      out += (out.empty() ? "" : "; ") + s.sql;
    return out;
  }
  // Which literals are bound, in the order they are written: '?' for a bound one, '=' for one
  // that stays in the text.
  std::string Bound() const {
    std::string out;
    for (const LiteralShape::Literal& l : shape.literals) out += l.pinned ? '=' : '?';
    return out;
  }
};

Shaped Shape(const std::string& text, const SchemaCatalog& catalog) {
  Shaped s;
  EXPECT_TRUE(ReadLiteralShape(text, s.shape)) << text;
  s.translation = TranslateShape(text, s.shape, catalog);
  return s;
}

TEST(LiteralShapeTest, OperandLiteralsAreBoundAndTheRestStaysInTheShape) {
  const SchemaCatalog catalog = Catalog();
  struct Case {
    std::string text;
    std::string bound;  // '?' bound, '=' part of the shape, per literal in order
    std::string sql;    // the shaped SQL
  };
  const std::vector<Case> cases = {
      {"select name from t where id = 5 and name = N'x''y'", "??",
       "select name from t where id = ?1 and name = ?2"},
      {"insert into t (id, name, qty) values (1, 'a', -2.5)", "???",
       "insert into t (id, name, qty) values (?1, ?2, -?3)"},
      {"update t set qty = qty + 1.5, name = name + 'x' where id in (1, 2)", "????",
       "update t set qty = qty + ?1, name = name || ?2 where id in (?3, ?4)"},
      // A TOP count, a type length and a style are read by the translation.
      {"select top 3 name from t where id > 0", "=?", "select name from t where id > ?1 LIMIT 3"},
      {"select convert(char(10), d, 120) as x from t where qty = 2", "==?",
       "select substr(korvane_datetext(d, 120), 1, 10) as x from t where qty = ?1"},
      {"select dateadd(dd, 1, d) as x from t", "?",
       "select korvane_dateadd('day', ?1, d) as x from t"},
      {"select datediff('month', d, '2026-03-01') as x from t", "=?",
       "select korvane_datediff('month', d, ?1) as x from t"},
      // Column names: an item without an alias is named by its text; an alias is a name.
      {"select 1, 'a' + name, name as n, 2 as two from t", "==?", ""},
      {"select 'label' = name, qty * 3 'q', qty * 4 q4 from t", "=?=?", ""},
      // A number in ORDER BY or GROUP BY names a column.
      {"select name, count(*) as n from t where qty > 1 group by name order by 2 desc", "?=", ""},
      {"select name as n from t order by case when id = 1 then 0 else 1 end", "===", ""},
      // Literals that touch a word are not plain operands.
      {"select name as n from t where name = x'41'", "=", ""},
      // Several statements of a batch number their values each from 1.
      {"delete from t where id = 7 update t set qty = 0 where id = 8", "???",
       "delete from t where id = ?1; update t set qty = ?1 where id = ?2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Shaped s = Shape(c.text, catalog);
    if (c.text.find("x'41'") != std::string::npos) {
      EXPECT_EQ(s.Bound(), c.bound);
      continue;
    }
    ASSERT_NE(s.translation, nullptr);
    EXPECT_EQ(s.Bound(), c.bound);
    if (!c.sql.empty()) {
      EXPECT_EQ(s.Sql(), c.sql);
    }
    // With the literals written back it is the plain translation, statement by statement.
    const Translation plain = TranslateTsql(c.text, catalog);
    ASSERT_TRUE(plain.ok()) << plain.error;
    ASSERT_EQ(plain.statements.size(), s.translation->statements.size());
    for (std::size_t k = 0; k < plain.statements.size(); ++k) {
      EXPECT_EQ(s.translation->statements[k].Plain(s.shape), plain.statements[k]);
    }
  }
}

TEST(LiteralShapeTest, KeysSeparateKindsAndKeepEverythingButTheValues) {
  LiteralShape a, b, c, d;
  ASSERT_TRUE(ReadLiteralShape("select name from t where id = 5 -- 'note'", a));
  ASSERT_TRUE(ReadLiteralShape("select name from t where id = 123456 -- 'note'", b));
  ASSERT_TRUE(ReadLiteralShape("select name from t where id = '5' -- 'note'", c));
  ASSERT_TRUE(ReadLiteralShape("select name from t where id = 5 -- 'other'", d));
  EXPECT_EQ(a.key, b.key);
  EXPECT_NE(a.key, c.key) << "a text and a number literal are different shapes";
  EXPECT_NE(a.key, d.key) << "comments are part of the text the shape keeps";
  ASSERT_EQ(c.literals.size(), 1U);
  EXPECT_EQ(LiteralTextValue(c.literals[0]), "5");
  LiteralShape e;
  ASSERT_TRUE(ReadLiteralShape("select N'it''s ''x''' as v", e));
  ASSERT_EQ(e.literals.size(), 1U);
  EXPECT_EQ(LiteralSql(e.literals[0]), "'it''s ''x'''");
  EXPECT_EQ(LiteralTextValue(e.literals[0]), "it's 'x'");

  // Values bound by the caller, variables and the bytes of the marks leave a batch to the
  // plain path; so does one that does not read.
  LiteralShape none;
  EXPECT_FALSE(ReadLiteralShape("select name from t where id = ?", none));
  EXPECT_FALSE(ReadLiteralShape("select name from t where id = @id", none));
  EXPECT_FALSE(ReadLiteralShape("select name from t where name = '\x01t'", none));
  EXPECT_FALSE(ReadLiteralShape("select name from t where name = 'open", none));
}

TEST(LiteralShapeTest, TheCacheKeepsOneTranslationPerShapeAndPerPinnedValue) {
  const SchemaCatalog catalog = Catalog();
  ShapeCache cache;
  const auto get = [&](const std::string& text) {
    LiteralShape shape;
    EXPECT_TRUE(ReadLiteralShape(text, shape));
    return cache.Get(text, shape, catalog);
  };
  const auto first = get("select top 2 name from t where id = 1");
  const auto second = get("select top 2 name from t where id = 99");
  const auto other_top = get("select top 5 name from t where id = 1");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second) << "the same shape with the same TOP shares its translation";
  ASSERT_NE(other_top, nullptr);
  EXPECT_NE(first, other_top);
  EXPECT_NE(other_top->statements[0].sql.find("LIMIT 5"), std::string::npos);
  EXPECT_EQ(cache.size(), 1U);

  // A shape that does not translate is remembered as one the cache cannot serve.
  EXPECT_EQ(get("select name from t where id = 1 for xml auto"), nullptr);
  EXPECT_EQ(get("select name from t where id = 2 for xml auto"), nullptr);
  EXPECT_EQ(cache.size(), 2U);

  // A newer catalog translates again: "+" between a column that became a text and a text.
  SchemaCatalog changed = Catalog();
  changed.AddColumn("t", "code", ColumnKind::kText);
  LiteralShape shape;
  const std::string text = "select code + 'x' as c from t where id = 1";
  ASSERT_TRUE(ReadLiteralShape(text, shape));
  const auto before = cache.Get(text, shape, catalog);
  ASSERT_NE(before, nullptr);
  EXPECT_NE(before->statements[0].sql.find("korvane_plus"), std::string::npos);
  ASSERT_TRUE(ReadLiteralShape(text, shape));
  const auto after = cache.Get(text, shape, changed);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->statements[0].sql, "select code || ?1 as c from t where id = ?2");
  cache.Clear();
  EXPECT_EQ(cache.size(), 0U);
}

}  // namespace
}  // namespace korvane::data
