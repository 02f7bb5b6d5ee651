// The product and employee records: the machinery their property tables share (access by name
// with its conversions, the Change flag, loading the current row null-safely) is tested on the
// product record; the employee record adds its dates, its rounding and its sex code.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "records/cls_cpml.h"
#include "records/cls_gy.h"

namespace korvane {
namespace {

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
  return DateTime(std::chrono::sys_days(std::chrono::year{y} / m / d));
}

// A new record and a cleared one hold the same defaults: all empty but the two true flags.
void ExpectDefaults(const clsCpml& r) {
  for (const PropertyInfo& p : clsCpml::Properties()) {
    const Variant v = r.Get(p.name);
    if (p.type == PropertyType::kText) {
      EXPECT_EQ(v, Variant("")) << p.name;
    } else if (p.type == PropertyType::kBoolean) {
      EXPECT_EQ(v.boolean(), p.name == "b是否多计量单位" || p.name == "b是否使用") << p.name;
    } else {
      EXPECT_EQ(v.ToDouble(), 0.0) << p.name;
    }
  }
}

TEST(RecordTest, NewAndClearedProductRecordsHoldTheDefaults) {
  clsCpml r;
  ExpectDefaults(r);
  for (const PropertyInfo& p : clsCpml::Properties()) {
    ASSERT_TRUE(r.Set(p.name, p.type == PropertyType::kText ? Variant("x") : Variant(7)));
  }
  r.set_b是否使用(false);
  ASSERT_EQ(r.d计划成本(), 7.0);
  r.sbClear();
  ExpectDefaults(r);
}

TEST(RecordTest, MarkedPropertiesSetChangeEvenWithoutADifference) {
  clsCpml r;
  r.set_s物品编码("");  // same value as before
  EXPECT_TRUE(r.Change());
  clsCpml by_name;
  ASSERT_TRUE(by_name.Set("d损耗率", Variant(0)));
  EXPECT_TRUE(by_name.Change());
  clsCpml unmarked;
  unmarked.set_s缺省货位("A-01");
  ASSERT_TRUE(unmarked.Set("n_s库存单位", Variant("只")));
  EXPECT_FALSE(unmarked.Change());
  clsGY employee;
  employee.set_t雇佣日期(Date(2020, 3, 1));
  EXPECT_TRUE(employee.Change());
  clsGY system;
  ASSERT_TRUE(system.Set("b是否系统", Variant(1)));
  EXPECT_FALSE(system.Change());
}

TEST(RecordTest, GetAndSetByNameConvertToThePropertysKind) {
  clsCpml r;
  EXPECT_TRUE(r.Set("l产品ID", Variant("42")));
  EXPECT_EQ(r.Get("l产品ID"), Variant(42));
  EXPECT_TRUE(r.Set("l重量单位ID", Variant(1.25)));  // a double despite its prefix
  EXPECT_EQ(r.Get("l重量单位ID"), Variant(1.25));
  EXPECT_TRUE(r.Set("d损耗率", Variant("0.05")));
  EXPECT_DOUBLE_EQ(r.d损耗率(), 0.05);
  EXPECT_TRUE(r.Set("b是否使用", Variant::MakeNull()));
  EXPECT_EQ(r.Get("b是否使用"), Variant(false));
  // The host's scripting language ignores case in names.
  EXPECT_TRUE(r.Set("SABC码", Variant("A")));
  EXPECT_EQ(r.sABC码(), "A");
  EXPECT_EQ(r.Get("change"), Variant(true));
  r.set_Change(false);
  EXPECT_FALSE(r.Set("s不存在", Variant("x")));
  EXPECT_FALSE(r.Change());
  EXPECT_TRUE(r.Get("s不存在").IsEmpty());

  // Whole numbers round; a date is read from text, refused when it names none, cleared by a
  // blank.
  clsGY e;
  EXPECT_TRUE(e.Set("l工龄", Variant(12.6)));
  EXPECT_EQ(e.l工龄(), 13);
  EXPECT_TRUE(e.Set("t出生日期", Variant("1990-05-17")));
  EXPECT_EQ(e.Get("t出生日期"), Variant(Date(1990, 5, 17)));
  e.set_Change(false);
  EXPECT_FALSE(e.Set("t出生日期", Variant("soon")));
  EXPECT_EQ(*e.t出生日期(), Date(1990, 5, 17));
  EXPECT_FALSE(e.Change());
  EXPECT_TRUE(e.Set("t出生日期", Variant::MakeNull()));
  EXPECT_FALSE(e.t出生日期().has_value());
}

TEST(RecordTest, LoadFromCopiesTheLoadedColumnsNullSafely) {
  clsCpml r;
  r.set_l库存单位ID(5);
  r.set_sKey("key");
  r.set_b是否需质检(true);
  r.set_Change(false);
  EXPECT_TRUE(r.LoadFrom(OneRow({
      {"产品ID", Variant(101)},
      {"工艺路线", Variant("R-7")},
      {"d损耗率", Variant(0.9)},  // a property name is not a column
      {"损耗率", Variant(0.02)},
      {"最小包装数", Variant("12")},
      {"是否需质检", Variant::MakeNull()},
      {"物品说明", Variant::MakeNull()},
      {"库存单位", Variant("只")},
      // Columns that exist in the view but feed no property.
      {"库存单位ID", Variant(99)},
      {"计划ID", Variant(98)},
  })));
  EXPECT_EQ(r.l产品ID(), 101);
  EXPECT_EQ(r.s工艺路线号(), "R-7");
  EXPECT_DOUBLE_EQ(r.d损耗率(), 0.02);
  EXPECT_EQ(r.l最小包装数(), 12);
  EXPECT_FALSE(r.b是否需质检());
  EXPECT_EQ(r.s物品说明(), "");
  EXPECT_EQ(r.n_s库存单位(), "只");
  EXPECT_EQ(r.l库存单位ID(), 5);
  EXPECT_EQ(r.l计划ID(), 0);
  EXPECT_EQ(r.sKey(), "key");
  EXPECT_TRUE(r.b是否使用()) << "a column the row lacks leaves its property alone";
  EXPECT_TRUE(r.Change());
  // Only columns that mark nothing leave Change alone.
  clsCpml unmarked;
  ASSERT_TRUE(unmarked.LoadFrom(OneRow({{"颜色", Variant("蓝")}, {"属性ID", Variant(4)}})));
  EXPECT_EQ(unmarked.s颜色(), "蓝");
  EXPECT_FALSE(unmarked.Change());

  clsGY e;
  e.set_t出生日期(Date(2000, 1, 1));
  e.set_d工资级别系数(2.0);
  ASSERT_TRUE(e.LoadFrom(OneRow({{"部门ID", Variant("4")},
                                 {"工龄", Variant::MakeNull()},
                                 {"雇佣日期", Variant("2018-02-03")},
                                 {"出生日期", Variant("?")},
                                 {"备注", Variant(3.5)},
                                 {"工资级别系数", Variant(9)}})));
  EXPECT_EQ(e.l部门ID(), 4);
  EXPECT_EQ(e.l工龄(), 0);
  EXPECT_EQ(e.t雇佣日期(), Date(2018, 2, 3));
  // A column holding no date leaves no date rather than a stale one.
  EXPECT_FALSE(e.t出生日期().has_value());
  EXPECT_EQ(e.s备注(), "3.5");
  EXPECT_EQ(e.d工资级别系数(), 2.0);
}

TEST(RecordTest, LoadFromReadsTheCurrentRowAndNeedsOne) {
  Recordset rows({{"产品ID", kAdInteger}, {"物品编码", kAdVarWChar}},
                 {{Variant(1), Variant("A")}, {Variant(2), Variant("B")}});
  clsCpml r;
  rows.MoveNext();
  ASSERT_TRUE(r.LoadFrom(rows));
  EXPECT_EQ(r.s物品编码(), "B");
  rows.MoveNext();  // EOF
  r.set_Change(false);
  EXPECT_FALSE(r.LoadFrom(rows));
  EXPECT_EQ(r.l产品ID(), 2);
  rows.MoveFirst();
  rows.MovePrevious();  // BOF
  EXPECT_FALSE(r.LoadFrom(rows));
  EXPECT_EQ(r.l产品ID(), 2);
  EXPECT_FALSE(r.Change());
  clsGY empty;
  EXPECT_FALSE(empty.LoadFrom(Recordset({{"雇员ID", kAdInteger}}, {})));
  EXPECT_FALSE(empty.Change());
}

TEST(RecordTest, SexIsFemaleOnlyForCodeOne) {
  const std::vector<std::pair<Variant, bool>> cases = {
      {Variant(1), true},    {Variant("1"), true},         {Variant(0), false},
      {Variant(2), false},   {Variant::MakeNull(), false}, {Variant("女"), false},
      {Variant(true), false}};
  for (const auto& [code, female] : cases) {
    clsGY r;
    r.set_b性别(!female);
    ASSERT_TRUE(r.LoadFrom(OneRow({{"性别", code}})));
    EXPECT_EQ(r.b性别(), female) << code.ToText();
  }
}

}  // namespace
}  // namespace korvane
