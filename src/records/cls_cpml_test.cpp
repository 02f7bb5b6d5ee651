#include "records/cls_cpml.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace korvane {
namespace {

// Properties whose assignment leaves Change alone, written out independently of the record's
// own table so that a wrong flag there is caught.
const std::set<std::string> kNotMarkingChange = {
    "s缺省货位",   "Change",      "sKey",  "l属性ID", "n_s库存单位", "n_s体积单位",
    "n_s重量单位", "n_s产品类别", "s颜色", "s特性",   "s工艺名称",   "l工艺ID"};

Recordset OneRow(std::vector<std::pair<std::string, Variant>> cells) {
  std::vector<FieldInfo> fields;
  Recordset::Row row;
  for (auto& [name, value] : cells) {
    fields.push_back(FieldInfo{name, kAdVariant});
    row.push_back(std::move(value));
  }
  return Recordset(std::move(fields), {std::move(row)});
}

// A new record and a cleared one hold the same defaults: all empty but the two true flags.
void ExpectDefaults(const clsCpml& r) {
  for (const PropertyInfo& p : clsCpml::Properties()) {
    SCOPED_TRACE(std::string(p.name));
    const Variant v = r.Get(p.name);
    switch (p.type) {
      case PropertyType::kText:
        EXPECT_EQ(v, Variant(""));
        break;
      case PropertyType::kBoolean:
        EXPECT_EQ(v.boolean(), p.name == "b是否多计量单位" || p.name == "b是否使用");
        break;
      default:
        EXPECT_EQ(v.ToDouble(), 0.0);
    }
  }
  EXPECT_FALSE(r.Change());
}

TEST(ClsCpmlTest, NewAndClearedRecordsHoldTheDefaults) {
  clsCpml r;
  ExpectDefaults(r);
  for (const PropertyInfo& p : clsCpml::Properties()) {
    ASSERT_TRUE(r.Set(p.name, p.type == PropertyType::kText ? Variant("x") : Variant(7)));
  }
  ASSERT_EQ(r.s物品编码(), "x");
  ASSERT_EQ(r.d计划成本(), 7.0);
  ASSERT_TRUE(r.Change());
  r.set_b是否使用(false);
  r.set_b是否多计量单位(false);
  r.sbClear();
  ExpectDefaults(r);
}

TEST(ClsCpmlTest, ChangeIsSetByMarkedPropertiesEvenWithoutADifference) {
  clsCpml r;
  r.set_s物品编码("");  // same value as before
  EXPECT_TRUE(r.Change());
  clsCpml unmarked;
  unmarked.set_s缺省货位("A-01");
  EXPECT_FALSE(unmarked.Change());

  for (const PropertyInfo& p : clsCpml::Properties()) {
    if (p.name == "Change") continue;
    SCOPED_TRACE(std::string(p.name));
    clsCpml fresh;
    ASSERT_TRUE(fresh.Set(p.name, Variant(1)));
    EXPECT_EQ(fresh.Change(), kNotMarkingChange.count(std::string(p.name)) == 0);
  }
}

TEST(ClsCpmlTest, GetAndSetByNameRoundTripWithConversions) {
  clsCpml r;
  EXPECT_TRUE(r.Set("l产品ID", Variant("42")));
  EXPECT_EQ(r.l产品ID(), 42);
  EXPECT_EQ(r.Get("l产品ID"), Variant(42));

  EXPECT_TRUE(r.Set("l重量单位ID", Variant(1.25)));  // a double despite its prefix
  EXPECT_EQ(r.Get("l重量单位ID"), Variant(1.25));

  EXPECT_TRUE(r.Set("d损耗率", Variant("0.05")));
  EXPECT_DOUBLE_EQ(r.d损耗率(), 0.05);

  EXPECT_TRUE(r.Set("b是否使用", Variant::MakeNull()));
  EXPECT_FALSE(r.b是否使用());
  EXPECT_EQ(r.Get("b是否使用"), Variant(false));

  // The host's scripting language ignores case in names.
  EXPECT_TRUE(r.Set("SABC码", Variant("A")));
  EXPECT_EQ(r.sABC码(), "A");
  EXPECT_EQ(r.Get("change"), Variant(true));

  r.set_Change(false);
  EXPECT_FALSE(r.Set("s不存在", Variant("x")));
  EXPECT_FALSE(r.Change());
  EXPECT_TRUE(r.Get("s不存在").IsEmpty());
}

TEST(ClsCpmlTest, LoadFromCopiesViewColumnsNullSafely) {
  clsCpml r;
  r.set_l库存单位ID(5);
  r.set_sKey("key");
  r.set_b是否需质检(true);
  r.set_Change(false);
  const Recordset row = OneRow({
      {"产品ID", Variant(101)},
      {"物品编码", Variant("C-1")},
      {"工艺路线", Variant("R-7")},
      {"d损耗率", Variant(0.9)},  // a property name is not a column
      {"损耗率", Variant(0.02)},
      {"最小包装数", Variant("12")},
      {"是否使用", Variant::MakeNull()},
      {"是否需质检", Variant::MakeNull()},
      {"物品说明", Variant::MakeNull()},
      {"产品类别ID", Variant::MakeNull()},
      {"库存单位", Variant("只")},
      {"属性ID", Variant(3)},
      // Columns that exist in the view but feed no property.
      {"库存单位ID", Variant(99)},
      {"计划ID", Variant(98)},
  });
  EXPECT_TRUE(r.LoadFrom(row));
  EXPECT_EQ(r.l产品ID(), 101);
  EXPECT_EQ(r.s物品编码(), "C-1");
  EXPECT_EQ(r.s工艺路线号(), "R-7");
  EXPECT_DOUBLE_EQ(r.d损耗率(), 0.02);
  EXPECT_EQ(r.l最小包装数(), 12);
  EXPECT_FALSE(r.b是否使用());
  EXPECT_FALSE(r.b是否需质检());
  EXPECT_EQ(r.s物品说明(), "");
  EXPECT_EQ(r.l产品类别ID(), 0);
  EXPECT_EQ(r.n_s库存单位(), "只");
  EXPECT_EQ(r.l属性ID(), 3);
  // Not loaded from the view.
  EXPECT_EQ(r.l库存单位ID(), 5);
  EXPECT_EQ(r.l计划ID(), 0);
  EXPECT_EQ(r.sKey(), "key");
  // Columns the row lacks leave their properties alone.
  EXPECT_EQ(r.s助忆词(), "");
  EXPECT_TRUE(r.Change());
}

TEST(ClsCpmlTest, LoadFromReadsTheCurrentRowAndNeedsOne) {
  Recordset rows({{"产品ID", kAdInteger}, {"物品编码", kAdVarWChar}},
                 {{Variant(1), Variant("A")}, {Variant(2), Variant("B")}});
  clsCpml r;
  rows.MoveNext();
  ASSERT_TRUE(r.LoadFrom(rows));
  EXPECT_EQ(r.l产品ID(), 2);
  EXPECT_EQ(r.s物品编码(), "B");

  rows.MoveNext();  // EOF
  r.set_Change(false);
  EXPECT_FALSE(r.LoadFrom(rows));
  EXPECT_EQ(r.l产品ID(), 2);
  EXPECT_FALSE(r.Change());

  clsCpml empty;
  EXPECT_FALSE(empty.LoadFrom(Recordset({{"产品ID", kAdInteger}}, {})));
  EXPECT_FALSE(empty.Change());
}

TEST(ClsCpmlTest, LoadFromOnlyUnmarkedColumnsLeavesChangeAlone) {
  clsCpml r;
  ASSERT_TRUE(r.LoadFrom(OneRow({{"颜色", Variant("蓝")}, {"属性ID", Variant(4)}})));
  EXPECT_EQ(r.s颜色(), "蓝");
  EXPECT_FALSE(r.Change());
}

}  // namespace
}  // namespace korvane
