#include "records/cls_gy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvane {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

Recordset OneRow(std::vector<std::pair<std::string, Variant>> cells) {
  std::vector<FieldInfo> fields;
  Recordset::Row row;
  for (auto& [name, value] : cells) {
    fields.push_back(FieldInfo{name, kAdVariant});
    row.push_back(std::move(value));
  }
  return Recordset(std::move(fields), {std::move(row)});
}

DateTime Date(int y, unsigned m, unsigned d) {
  return DateTime(std::chrono::sys_days(year{y} / month{m} / day{d}));
}

TEST(ClsGYTest, ChangeFollowsTheSetters) {
  clsGY r;
  EXPECT_FALSE(r.Change());
  r.set_s邮编("");  // no difference, still a change
  EXPECT_TRUE(r.Change());
  r.set_Change(false);
  r.set_t雇佣日期(Date(2020, 3, 1));
  EXPECT_TRUE(r.Change());

  for (const PropertyInfo& p : clsGY::Properties()) {
    if (p.name == "Change") continue;
    SCOPED_TRACE(std::string(p.name));
    clsGY fresh;
    ASSERT_TRUE(fresh.Set(p.name, Variant(p.type == PropertyType::kDate ? "2021-01-02" : "1")));
    const bool marks = p.name != "sKey" && p.name != "b是否系统" && p.name != "d工资级别系数";
    EXPECT_EQ(fresh.Change(), marks);
  }
}

// Names, texts and numbers by name are the product record's test (the same code serves both);
// here, the whole numbers' rounding and the dates.
TEST(ClsGYTest, GetAndSetByName) {
  clsGY r;
  EXPECT_TRUE(r.Set("l工龄", Variant(12.6)));
  EXPECT_EQ(r.l工龄(), 13);
  EXPECT_TRUE(r.Set("t出生日期", Variant("1990-05-17")));
  ASSERT_TRUE(r.t出生日期().has_value());
  EXPECT_EQ(*r.t出生日期(), Date(1990, 5, 17));
  EXPECT_EQ(r.Get("t出生日期"), Variant(Date(1990, 5, 17)));

  // A value that names no date is refused and leaves the date as it was.
  r.set_Change(false);
  EXPECT_FALSE(r.Set("t出生日期", Variant("soon")));
  EXPECT_EQ(*r.t出生日期(), Date(1990, 5, 17));
  EXPECT_FALSE(r.Change());
  // A blank value clears it.
  EXPECT_TRUE(r.Set("t出生日期", Variant::MakeNull()));
  EXPECT_FALSE(r.t出生日期().has_value());
}

TEST(ClsGYTest, LoadFromPdmgyRow) {
  clsGY r;
  r.set_sKey("key");
  r.set_d工资级别系数(2.0);
  r.set_b是否系统(true);
  r.set_Change(false);
  const Recordset row = OneRow({
      {"雇员ID", Variant(15)},
      {"部门ID", Variant("4")},
      {"工龄", Variant::MakeNull()},
      {"雇佣日期", Variant(Date(2019, 7, 1))},
      {"出生日期", Variant::MakeNull()},
      {"备注", Variant(3.5)},
      // Columns without a loaded property.
      {"sKey", Variant("other")},
      {"是否系统", Variant(0)},
      {"工资级别系数", Variant(9)},
  });
  ASSERT_TRUE(r.LoadFrom(row));
  EXPECT_EQ(r.l雇员ID(), 15);
  EXPECT_EQ(r.l部门ID(), 4);
  EXPECT_EQ(r.l工龄(), 0);
  EXPECT_EQ(r.t雇佣日期(), Date(2019, 7, 1));
  EXPECT_FALSE(r.t出生日期().has_value());
  EXPECT_EQ(r.s备注(), "3.5");
  EXPECT_EQ(r.sKey(), "key");
  EXPECT_EQ(r.d工资级别系数(), 2.0);
  EXPECT_TRUE(r.b是否系统());
  EXPECT_TRUE(r.Change());
}

TEST(ClsGYTest, SexIsFemaleOnlyForCodeOne) {
  const std::vector<std::pair<Variant, bool>> cases = {
      {Variant(1), true},    {Variant("1"), true},         {Variant(0), false},
      {Variant(2), false},   {Variant::MakeNull(), false}, {Variant("女"), false},
      {Variant(true), false}};
  for (const auto& [code, female] : cases) {
    SCOPED_TRACE(code.ToText());
    clsGY r;
    r.set_b性别(!female);
    ASSERT_TRUE(r.LoadFrom(OneRow({{"性别", code}})));
    EXPECT_EQ(r.b性别(), female);
  }
}

TEST(ClsGYTest, LoadFromTextDateColumns) {
  clsGY r;
  r.set_t出生日期(Date(2000, 1, 1));
  ASSERT_TRUE(
      r.LoadFrom(OneRow({{"雇佣日期", Variant("2018-02-03")}, {"出生日期", Variant("?")}})));
  EXPECT_EQ(r.t雇佣日期(), Date(2018, 2, 3));
  // A column holding no date leaves no date rather than a stale one.
  EXPECT_FALSE(r.t出生日期().has_value());
}

}  // namespace
}  // namespace korvane
