// clsCpml: the product record. One read/write property per product attribute of PDMCPML, named
// by type prefix and column (s物品编码, l产品ID, d损耗率, b是否使用), plus the modified flag
// Change and the clearing method sbClear. The product pickers fill it from a row of the view
// vtPDMCPML and hand it to the host, which reads it by name through PropertyBag.
//
// Contract:
//  - A new record is in the cleared state (see sbClear).
//  - Assigning a property marked "sets Change" below sets Change to true, even when the value
//    does not differ; only sbClear or an explicit set_Change(false) resets it.
//  - l重量单位ID holds a double despite its prefix.
//  - Get/Set by name ignore ASCII case; Set refuses (returns false) only an unknown name.
//  - Records are not thread-safe; a record belongs to the thread of its host.
#ifndef KORVANE_RECORDS_CLS_CPML_H_
#define KORVANE_RECORDS_CLS_CPML_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/interfaces.h"
#include "values/object.h"
#include "values/recordset.h"
#include "values/variant.h"
#include "records/record_property.h"

// The product record's properties in declaration order:
// X(name, type, view column of vtPDMCPML, LoadRule, sets Change, value after sbClear).
// Note the exceptions to "column = name without prefix": s工艺路线号 comes from 工艺路线, and
// the n_s names are the display names of the referenced entities.
// clang-format off
#define KORVANE_CLSCPML_PROPERTIES(X)                                   \
  X(l产品ID,           std::int32_t, "产品ID",           kConvert,   true,  {})   \
  X(s物品编码,         std::string,  "物品编码",         kConvert,   true,  {})   \
  X(s助忆词,           std::string,  "助忆词",           kConvert,   true,  {})   \
  X(s物品名称,         std::string,  "物品名称",         kConvert,   true,  {})   \
  X(s物品产地,         std::string,  "物品产地",         kConvert,   true,  {})   \
  X(l库存单位ID,       std::int32_t, "",                 kNotLoaded, true,  {})   \
  X(s物品说明,         std::string,  "物品说明",         kConvert,   true,  {})   \
  X(s缺省货位,         std::string,  "缺省货位",         kConvert,   false, {})   \
  X(l产品类别ID,       std::int32_t, "产品类别ID",       kConvert,   true,  {})   \
  X(d短缺限额,         double,       "短缺限额",         kConvert,   true,  {})   \
  X(d超储限额,         double,       "超储限额",         kConvert,   true,  {})   \
  X(d参考批发价,       double,       "参考批发价",       kConvert,   true,  {})   \
  X(d参考零售价,       double,       "参考零售价",       kConvert,   true,  {})   \
  X(d参考税额,         double,       "参考税额",         kConvert,   true,  {})   \
  X(s条形码,           std::string,  "条形码",           kConvert,   true,  {})   \
  X(d毛重,             double,       "毛重",             kConvert,   true,  {})   \
  X(d净重,             double,       "净重",             kConvert,   true,  {})   \
  X(l重量单位ID,       double,       "",                 kNotLoaded, true,  {})   \
  X(s空余1,            std::string,  "",                 kNotLoaded, true,  {})   \
  X(s空余2,            std::string,  "",                 kNotLoaded, true,  {})   \
  X(s空余3,            std::string,  "",                 kNotLoaded, true,  {})   \
  X(s空余4,            std::string,  "空余4",            kConvert,   true,  {})   \
  X(s空余5,            std::string,  "空余5",            kConvert,   true,  {})   \
  X(b是否多计量单位,   bool,         "是否多计量单位",   kConvert,   true,  true) \
  X(l来源ID,           std::int32_t, "来源ID",           kConvert,   true,  {})   \
  X(l缺省部门ID,       std::int32_t, "缺省部门ID",       kConvert,   true,  {})   \
  X(b是否使用,         bool,         "是否使用",         kConvert,   true,  true) \
  X(b是否需质检,       bool,         "是否需质检",       kConvert,   true,  {})   \
  X(b是否可销售,       bool,         "是否可销售",       kConvert,   true,  {})   \
  X(b是否需单件管理,   bool,         "是否需单件管理",   kConvert,   true,  {})   \
  X(b是否需批次管理,   bool,         "是否需批次管理",   kConvert,   true,  {})   \
  X(b是否需跟踪订单,   bool,         "是否需跟踪订单",   kConvert,   true,  {})   \
  X(b是否需保质期管理, bool,         "是否需保质期管理", kConvert,   true,  {})   \
  X(l主往来ID,         std::int32_t, "主往来ID",         kConvert,   true,  {})   \
  X(l计划ID,           std::int32_t, "",                 kNotLoaded, true,  {})   \
  X(s低层码,           std::string,  "低层码",           kConvert,   true,  {})   \
  X(l积压天数,         std::int32_t, "积压天数",         kConvert,   true,  {})   \
  X(l呆滞天数,         std::int32_t, "呆滞天数",         kConvert,   true,  {})   \
  X(d采购提前期,       double,       "采购提前期",       kConvert,   true,  {})   \
  X(l发料提前期,       std::int32_t, "发料提前期",       kConvert,   true,  {})   \
  X(l完工停放期,       std::int32_t, "完工停放期",       kConvert,   true,  {})   \
  X(d再订货点,         double,       "再订货点",         kConvert,   true,  {})   \
  X(d订货批量,         double,       "订货批量",         kConvert,   true,  {})   \
  X(d订货周期,         double,       "订货周期",         kConvert,   true,  {})   \
  X(d安全库存量,       double,       "安全库存量",       kConvert,   true,  {})   \
  X(l最小包装数,       std::int32_t, "最小包装数",       kConvert,   true,  {})   \
  X(l发放批量,         std::int32_t, "发放批量",         kConvert,   true,  {})   \
  X(d损耗率,           double,       "损耗率",           kConvert,   true,  {})   \
  X(d保质期,           double,       "保质期",           kConvert,   true,  {})   \
  X(s图号,             std::string,  "图号",             kConvert,   true,  {})   \
  X(s版次,             std::string,  "版次",             kConvert,   true,  {})   \
  X(s模具编号,         std::string,  "模具编号",         kConvert,   true,  {})   \
  X(l体积单位ID,       std::int32_t, "",                 kNotLoaded, true,  {})   \
  X(d单位体积,         double,       "单位体积",         kConvert,   true,  {})   \
  X(s工艺路线号,       std::string,  "工艺路线",         kConvert,   true,  {})   \
  X(s规格,             std::string,  "规格",             kConvert,   true,  {})   \
  X(s型号,             std::string,  "型号",             kConvert,   true,  {})   \
  X(s尺寸,             std::string,  "尺寸",             kConvert,   true,  {})   \
  X(s硬度,             std::string,  "硬度",             kConvert,   true,  {})   \
  X(sABC码,            std::string,  "ABC码",            kConvert,   true,  {})   \
  X(l成本来源ID,       std::int32_t, "成本来源ID",       kConvert,   true,  {})   \
  X(l成本核算ID,       std::int32_t, "成本核算ID",       kConvert,   true,  {})   \
  X(d标准成本,         double,       "标准成本",         kConvert,   true,  {})   \
  X(d计划成本,         double,       "计划成本",         kConvert,   true,  {})   \
  X(Change,            bool,         "",                 kNotLoaded, false, {})   \
  X(sKey,              std::string,  "",                 kNotLoaded, false, {})   \
  X(l属性ID,           std::int32_t, "属性ID",           kConvert,   false, {})   \
  X(n_s库存单位,       std::string,  "库存单位",         kConvert,   false, {})   \
  X(n_s体积单位,       std::string,  "体积单位",         kConvert,   false, {})   \
  X(n_s重量单位,       std::string,  "重量单位",         kConvert,   false, {})   \
  X(n_s产品类别,       std::string,  "产品类别",         kConvert,   false, {})   \
  X(s颜色,             std::string,  "颜色",             kConvert,   false, {})   \
  X(s特性,             std::string,  "特性",             kConvert,   false, {})   \
  X(s工艺名称,         std::string,  "",                 kNotLoaded, false, {})   \
  X(l工艺ID,           std::int32_t, "",                 kNotLoaded, false, {})
// clang-format on

namespace korvane {

class clsCpml : public Object, public PropertyBag {
 public:
  // A cleared record.
  clsCpml();

  // Typed accessors, e.g. s物品编码() / set_s物品编码(std::string), Change() / set_Change(bool).
  KORVANE_CLSCPML_PROPERTIES(KORVANE_RECORD_ACCESSORS)

  // Every text empty, every number 0, every boolean false except b是否多计量单位 and b是否使用
  // (true), and Change false.
  void sbClear();

  // Copies the current row of `row` (a row of vtPDMCPML) into the properties that are loaded
  // from a column, as assignments through the setters would: Change becomes true. Null columns
  // give false, 0 or the empty text; properties not loaded from the view (l库存单位ID,
  // l重量单位ID, s空余1..3, l计划ID, l体积单位ID, sKey, s工艺名称, l工艺ID) and columns the row
  // lacks are left as they are. Returns false, changing nothing, when the recordset has no
  // current row.
  bool LoadFrom(const Recordset& row);

  // The property called `name` (ASCII case ignored); an empty value for an unknown name. Texts
  // come as text, l as integer, d (and l重量单位ID) as double, b as boolean.
  Variant Get(std::string_view name) const override;
  // Assigns the property called `name` with the null-safe conversion to its type, marking the
  // record changed as its setter does. False, and nothing changed, for an unknown name.
  bool Set(std::string_view name, const Variant& value);

  // The properties in declaration order.
  static std::span<const PropertyInfo> Properties();
  // Their names, Change included, for a host that reads the record by name.
  std::vector<std::string_view> PropertyNames() const override;

 private:
  static std::span<const records::MemberPtr<clsCpml>> Members();

  KORVANE_CLSCPML_PROPERTIES(KORVANE_RECORD_MEMBER)
};

}  // namespace korvane

#endif  // KORVANE_RECORDS_CLS_CPML_H_
