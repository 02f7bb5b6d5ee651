// clsGY: the employee record. One read/write property per employee attribute of PDMGY, named by
// type prefix and column (l雇员ID, s姓名, b性别, t雇佣日期), plus the modified flag Change. The
// employee picker fills it from a row and hands it to the host, which reads it by name through
// PropertyBag.
//
// Contract:
//  - A new record holds empty texts, zeros, false and no dates; there is no clearing method.
//  - Assigning a property marked "sets Change" below sets Change to true, even when the value
//    does not differ; only an explicit set_Change(false) resets it.
//  - b性别 is true for a woman; loaded from the column 性别, it is true exactly when the
//    column's numeric value is 1.
//  - Dates are optional: nullopt is "no date" and reads as an empty value through Get.
//  - Get/Set by name ignore ASCII case; Set refuses (returns false) an unknown name and, for a
//    date, a value that names no date.
#ifndef KORVANE_RECORDS_CLS_GY_H_
#define KORVANE_RECORDS_CLS_GY_H_

#include <cstdint>
#include <optional>
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

// The employee record's properties in declaration order:
// X(name, type, column of PDMGY, LoadRule, sets Change, initial value).
// clang-format off
#define KORVANE_CLSGY_PROPERTIES(X)                                                              \
  X(l雇员ID,         std::int32_t,            "雇员ID",         kConvert,   true,  {})             \
  X(s雇员编号,       std::string,             "雇员编号",       kConvert,   true,  {})             \
  X(s姓名,           std::string,             "姓名",           kConvert,   true,  {})             \
  X(b性别,           bool,                    "性别",           kOneIsTrue, true,  {})             \
  X(s身份证号码,     std::string,             "身份证号码",     kConvert,   true,  {})             \
  X(s工作电话,       std::string,             "工作电话",       kConvert,   true,  {})             \
  X(l部门ID,         std::int32_t,            "部门ID",         kConvert,   true,  {})             \
  X(l职务ID,         std::int32_t,            "职务ID",         kConvert,   true,  {})             \
  X(s工资帐号,       std::string,             "工资帐号",       kConvert,   true,  {})             \
  X(l工龄,           std::int32_t,            "工龄",           kConvert,   true,  {})             \
  X(l类别ID,         std::int32_t,            "类别ID",         kConvert,   true,  {})             \
  X(l文化程度ID,     std::int32_t,            "文化程度ID",     kConvert,   true,  {})             \
  X(t雇佣日期,       std::optional<DateTime>, "雇佣日期",       kConvert,   true,  {})             \
  X(t出生日期,       std::optional<DateTime>, "出生日期",       kConvert,   true,  {})             \
  X(s紧急联系人姓名, std::string,             "紧急联系人姓名", kConvert,   true,  {})             \
  X(s紧急联系电话,   std::string,             "紧急联系电话",   kConvert,   true,  {})             \
  X(s照片名,         std::string,             "照片名",         kConvert,   true,  {})             \
  X(s备注,           std::string,             "备注",           kConvert,   true,  {})             \
  X(s家庭电话,       std::string,             "家庭电话",       kConvert,   true,  {})             \
  X(s家庭地址,       std::string,             "家庭地址",       kConvert,   true,  {})             \
  X(s邮编,           std::string,             "邮编",           kConvert,   true,  {})             \
  X(Change,          bool,                    "",               kNotLoaded, false, {})             \
  X(sKey,            std::string,             "",               kNotLoaded, false, {})             \
  X(b是否系统,       bool,                    "",               kNotLoaded, false, {})             \
  X(d工资级别系数,   double,                  "",               kNotLoaded, false, {})
// clang-format on

namespace korvane {

class clsGY : public Object, public PropertyBag {
 public:
  clsGY() = default;

  // Typed accessors, e.g. s姓名() / set_s姓名(std::string), Change() / set_Change(bool).
  KORVANE_CLSGY_PROPERTIES(KORVANE_RECORD_ACCESSORS)

  // Copies the current row of `row` (a row of PDMGY, or of a query with its column names) into
  // the properties loaded from a column, as assignments through the setters would: Change
  // becomes true. Null columns give false, 0, the empty text or no date; sKey, b是否系统,
  // d工资级别系数 and columns the row lacks are left as they are. Returns false, changing
  // nothing, when the recordset has no current row.
  bool LoadFrom(const Recordset& row);

  // The property called `name` (ASCII case ignored); an empty value for an unknown name.
  Variant Get(std::string_view name) const override;
  // Assigns the property called `name` with the null-safe conversion to its type, marking the
  // record changed as its setter does. False, and nothing changed, for an unknown name or a
  // date property given a value that names no date (a blank value clears a date).
  bool Set(std::string_view name, const Variant& value);

  // The properties in declaration order.
  static std::span<const PropertyInfo> Properties();
  // Their names, Change included, for a host that reads the record by name.
  std::vector<std::string_view> PropertyNames() const override;

 private:
  static std::span<const records::MemberPtr<clsGY>> Members();

  KORVANE_CLSGY_PROPERTIES(KORVANE_RECORD_MEMBER)
};

}  // namespace korvane

#endif  // KORVANE_RECORDS_CLS_GY_H_
