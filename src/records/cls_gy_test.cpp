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

TEST(ClsGYTest, PropertiesInDeclarationOrder) {
  std::vector<std::string> names;
  for (const PropertyInfo& p : clsGY::Properties()) names.emplace_back(p.name);
  const std::vector<std::string> expected = {
      "l雇员ID",       "s雇员编号",   "s姓名",     "b性别",     "s身份证号码",
      "s工作电话",     "l部门ID",     "l职务ID",   "s工资帐号", "l工龄",
      "l类别ID",       "l文化程度ID", "t雇佣日期", "t出生日期", "s紧急联系人姓名",
      "s紧急联系电话", "s照片名",     "s备注",     "s家庭电话", "s家庭地址",
      "s邮编",         "Change",      "sKey",      "b是否系统", "d工资级别系数"};
  EXPECT_EQ(names, expected);
}

TEST(ClsGYTest, NewRecordIsEmpty) {
  clsGY r;
  EXPECT_FALSE(r.Change());
  EXPECT_FALSE(r.b性别());
  EXPECT_FALSE(r.b是否系统());
  EXPECT_EQ(r.l雇员ID(), 0);
  EXPECT_EQ(r.d工资级别系数(), 0.0);
  EXPECT_EQ(r.s姓名(), "");
  EXPECT_FALSE(r.t雇佣日期().has_value());
  EXPECT_TRUE(r.Get("t出生日期").IsEmpty());
}

TEST(ClsGYTest, ChangeFollowsTheSetters) {
  clsGY r;
  r.set_sKey("k");
  r.set_b是否系统(true);
  r.set_d工资级别系数(1.2);
  EXPECT_FALSE(r.Change());

  r.set_s邮编("");  // no difference, still a change
  EXPECT_TRUE(r.Change());
  r.set_Change(false);
  r.set_t雇佣日期(Date(2020, 3, 1));
  EXPECT_TRUE(r.Change());
  r.set_Change(false);
  r.set_l雇员ID(7);
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

TEST(ClsGYTest, GetAndSetByName) {
  clsGY r;
  EXPECT_TRUE(r.Set("s姓名", Variant("张三")));
  EXPECT_EQ(r.Get("s姓名"), Variant("张三"));
  EXPECT_TRUE(r.Set("l工龄", Variant(12.6)));
  EXPECT_EQ(r.l工龄(), 13);
  EXPECT_TRUE(r.Set("d工资级别系数", Variant("1.5")));
  EXPECT_EQ(r.Get("d工资级别系数"), Variant(1.5));

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

  EXPECT_FALSE(r.Set("sNoSuch", Variant("x")));
  EXPECT_TRUE(r.Get("sNoSuch").IsEmpty());
}

TEST(ClsGYTest, LoadFromPdmgyRow) {
  clsGY r;
  r.set_sKey("key");
  r.set_d工资级别系数(2.0);
  r.set_b是否系统(true);
  r.set_Change(false);
  const Recordset row = OneRow({
      {"雇员ID", Variant(15)},
      {"雇员编号", Variant("E015")},
      {"姓名", Variant("李四")},
      {"性别", Variant(1)},
      {"身份证号码", Variant::MakeNull()},
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
  EXPECT_EQ(r.s雇员编号(), "E015");
  EXPECT_EQ(r.s姓名(), "李四");
  EXPECT_TRUE(r.b性别());
  EXPECT_EQ(r.s身份证号码(), "");
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
      {Variant(1), true},           {Variant("1"), true},   {Variant(1.0), true},
      {Variant(0), false},          {Variant(2), false},    {Variant(-1), false},
      {Variant::MakeNull(), false}, {Variant("女"), false}, {Variant(true), false}};
  for (const auto& [code, female] : cases) {
    SCOPED_TRACE(code.ToText());
    clsGY r;
    r.set_b性别(!female);
    ASSERT_TRUE(r.LoadFrom(OneRow({{"性别", code}})));
    EXPECT_EQ(r.b性别(), female);
  }
}

TEST(ClsGYTest, LoadFromEmptyRecordsetChangesNothing) {
  clsGY r;
  r.set_s姓名("王五");
  r.set_Change(false);
  EXPECT_FALSE(r.LoadFrom(Recordset({{"姓名", kAdVarWChar}}, {})));
  EXPECT_EQ(r.s姓名(), "王五");
  EXPECT_FALSE(r.Change());
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
