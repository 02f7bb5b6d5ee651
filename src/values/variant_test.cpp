#include "values/variant.h"

#include <gtest/gtest.h>

#include "host/data_service.h"
#include "values/recordset.h"

namespace korvane {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

TEST(NumericValue, ReadsTheNumberATextBeginsWith) {
  const std::pair<const char*, double> cases[] = {
      {"12.5kg", 12.5}, {"  -3", -3.0}, {"1 234", 1234.0},  // blanks between digits are ignored
      {"1.5.6", 1.5},                                       // a second point ends the number
      {"2e3", 2000.0},  {"2e", 2.0},    {"abc", 0.0},      {"", 0.0}, {"-", 0.0}, {".5", 0.5}};
  for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(NumericValue(text), value) << text;
}

TEST(VariantConversions, AreNullSafeAndFollowTheHostsRules) {
  const Variant null = Variant::MakeNull();
  EXPECT_EQ(null.ToText(), "");
  EXPECT_EQ(null.ToLong(), 0);
  EXPECT_EQ(null.ToDouble(), 0.0);
  EXPECT_FALSE(null.ToBool());
  EXPECT_TRUE(null.IsBlank());
  EXPECT_TRUE(Variant("").IsBlank());
  EXPECT_FALSE(Variant(0).IsBlank());

  EXPECT_EQ(Variant(3.0).ToText(), "3");
  EXPECT_EQ(Variant(0.1 + 0.2).ToText(), "0.3");
  EXPECT_EQ(Variant(1234.56).ToText(), "1234.56");
  EXPECT_EQ(Variant(-0.5).ToText(), "-0.5");
  EXPECT_EQ(Variant(true).ToText(), "True");
  EXPECT_EQ(Variant("7.9").ToLong(), 8);
  EXPECT_EQ(Variant(2.5).ToLong(), 2);  // whole numbers round half to even
  EXPECT_EQ(Variant(3.5).ToLong(), 4);
  EXPECT_EQ(Variant(1e12).ToLong(), 2147483647);  // saturates instead of wrapping
  EXPECT_TRUE(Variant("True").ToBool());
  EXPECT_TRUE(Variant("1").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
}

TEST(Dates, ParseFormatAndReject) {
  const auto d = ParseDate("2026-02-28");
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(FormatDate(*d), "2026-02-28");
  EXPECT_EQ(Variant(*d).ToText(), "2026-02-28");
  EXPECT_TRUE(IsDate("2026/2/3"));
  EXPECT_EQ(FormatDate(*ParseDate("2026/2/3")), "2026-02-03");
  EXPECT_TRUE(IsDate("20261231"));
  EXPECT_EQ(Variant(*ParseDate("2026-01-05 08:30:15")).ToText(), "2026-01-05 08:30:15");
  // 2026-02-30: a day the month does not have.
  for (const char* bad :
       {"2026-02-30", "2026-13-01", "2026-01-01x", "2026-1", "", "2026-01-01 25:00"}) {
    EXPECT_FALSE(IsDate(bad)) << bad;
  }
  EXPECT_EQ(FormatDate(year{2027} / month{1} / day{9}), "2027-01-09");
}

TEST(Utf8, CountsCodePointsNotBytes) {
  EXPECT_EQ(CodePointCount("报工单"), 3u);
  EXPECT_EQ(LeftChars("2026报工单", 4), "2026");
  EXPECT_EQ(LeftChars("报工单ID", 2), "报工");
  EXPECT_EQ(RightChars("报工单ID", 3), "单ID");
  EXPECT_EQ(LeftChars("ab", 5), "ab");
  EXPECT_TRUE(IsValidUtf8("生产日期"));
  // A truncated sequence, an overlong encoding, a surrogate, a byte no sequence starts with.
  for (const char* bad : {"\xE7\x94", "\xC0\xAF", "\xED\xA0\x80", "\xFF"}) {
    EXPECT_FALSE(IsValidUtf8(bad));
  }
}

TEST(SqlQuote, DoublesEveryQuoteSoNoTextEndsTheLiteral) {
  EXPECT_EQ(SqlQuote("O'Brien"), "'O''Brien'");
  EXPECT_EQ(SqlQuote("'; drop table SFCDJ; --"), "'''; drop table SFCDJ; --'");
  EXPECT_EQ(SqlQuote(""), "''");
  EXPECT_EQ(SqlEscape("a''b"), "a''''b");
}

TEST(VariantArray, OutsideReadsEmptyAndWritesThrow) {
  VariantArray a(3, 2);
  a.at(1, 1) = "x";
  EXPECT_EQ(a.get(1, 1).ToText(), "x");
  EXPECT_TRUE(a.get(5, 0).IsEmpty());
  EXPECT_THROW(a.at(3, 0), std::out_of_range);
  EXPECT_TRUE(VariantArray().empty());
}

TEST(Recordset, WalksRowsAndFindsFieldsIgnoringCase) {
  Recordset rs({{"报工单ID", kAdInteger}, {"smark", kAdVarWChar}},
               {{Variant(1), Variant("01")}, {Variant(2), Variant("02")}});
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Value("SMARK").ToText(), "01");
  rs.MoveNext();
  EXPECT_EQ(rs["报工单ID"].ToLong(), 2);
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(rs.Value(0), std::out_of_range);
  rs.MovePrevious();
  EXPECT_EQ(rs.Value(1).ToText(), "02");
  EXPECT_THROW(rs.Value("missing"), std::out_of_range);
  rs.MoveFirst();
  const auto rows = rs.GetRows();
  EXPECT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(Recordset({{"a", kAdInteger}}, {{Variant(1), Variant(2)}}), std::invalid_argument);
  Recordset empty({{"a", kAdInteger}}, {});
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.Bof());
}

}  // namespace
}  // namespace korvane
