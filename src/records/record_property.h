// Property descriptors shared by the record classes (the product record clsCpml and the
// employee record clsGY): one table row per property gives its name, type, the column it is
// loaded from and whether assigning it marks the record changed. The typed accessors, loading
// from a recordset row and access by name are all generated from that one table, so they cannot
// drift apart.
//
// Conversions are null-safe as the host's value helpers are: a null or empty value becomes
// false, 0, the empty text or "no date". Nothing here throws except on memory exhaustion.
#ifndef KORVANE_RECORDS_RECORD_PROPERTY_H_
#define KORVANE_RECORDS_RECORD_PROPERTY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "values/recordset.h"
#include "values/variant.h"

namespace korvane {

// The value kind behind a property's type prefix: l (32-bit), d (double), b (boolean), s and
// n_s (text), t (date). A property's prefix can lie (l重量单位ID is a double): the kind is what
// counts.
enum class PropertyType { kLong, kDouble, kBoolean, kText, kDate };

// How a column value becomes the property when a record is loaded from a row.
enum class LoadRule {
  kNotLoaded,  // never filled from a row; loading leaves it as it is
  kConvert,    // null-safe conversion to the property's type
  kOneIsTrue,  // boolean column holding a code: true exactly when its numeric value is 1
};

struct PropertyInfo {
  std::string_view name;  // e.g. "s物品编码"
  PropertyType type;
  std::string_view column;  // the column it is loaded from; empty when not loaded
  LoadRule load;
  bool sets_change;  // assigning it sets the record's Change flag
};

template <typename T>
inline constexpr bool kIsPropertyValue =
    std::is_same_v<T, std::int32_t> || std::is_same_v<T, double> || std::is_same_v<T, bool> ||
    std::is_same_v<T, std::string> || std::is_same_v<T, std::optional<DateTime>>;

template <typename T>
constexpr PropertyType PropertyTypeOf() {
  static_assert(kIsPropertyValue<T>, "not a record property type");
  if constexpr (std::is_same_v<T, std::int32_t>) return PropertyType::kLong;
  if constexpr (std::is_same_v<T, double>) return PropertyType::kDouble;
  if constexpr (std::is_same_v<T, bool>) return PropertyType::kBoolean;
  if constexpr (std::is_same_v<T, std::string>) return PropertyType::kText;
  return PropertyType::kDate;
}

// Getters return scalars by value and texts and dates by reference.
template <typename T>
using PropertyGetType = std::conditional_t<std::is_scalar_v<T>, T, const T&>;

namespace records {

template <typename R>
using MemberPtr = std::variant<std::int32_t R::*, double R::*, bool R::*, std::string R::*,
                               std::optional<DateTime> R::*>;

inline Variant ToVariant(std::int32_t v) { return Variant(static_cast<int>(v)); }
inline Variant ToVariant(double v) { return Variant(v); }
inline Variant ToVariant(bool v) { return Variant(v); }
inline Variant ToVariant(const std::string& v) { return Variant(v); }
// No date reads as an empty value.
inline Variant ToVariant(const std::optional<DateTime>& v) { return v ? Variant(*v) : Variant(); }

// Converts into `out`; false (and `out` untouched) when the value cannot be of that kind.
inline bool FromVariant(const Variant& v, std::int32_t& out) {
  out = v.ToLong();
  return true;
}
inline bool FromVariant(const Variant& v, double& out) {
  out = v.ToDouble();
  return true;
}
inline bool FromVariant(const Variant& v, bool& out) {
  out = v.ToBool();
  return true;
}
inline bool FromVariant(const Variant& v, std::string& out) {
  out = v.ToText();
  return true;
}
// A blank value clears the date; a value that names no date is refused.
inline bool FromVariant(const Variant& v, std::optional<DateTime>& out) {
  if (v.IsBlank()) {
    out.reset();
    return true;
  }
  std::optional<DateTime> date = v.ToDate();
  if (!date) return false;
  out = date;
  return true;
}

// Index of the property called `name` (ASCII case ignored, as the host's scripting language
// does); nullopt when there is none.
inline std::optional<std::size_t> FindProperty(std::span<const PropertyInfo> infos,
                                               std::string_view name) {
  for (std::size_t i = 0; i < infos.size(); ++i) {
    if (EqualsIgnoreCase(infos[i].name, name)) return i;
  }
  return std::nullopt;
}

inline std::vector<std::string_view> NamesOf(std::span<const PropertyInfo> infos) {
  std::vector<std::string_view> names;
  names.reserve(infos.size());
  for (const PropertyInfo& info : infos) names.push_back(info.name);
  return names;
}

template <typename R>
Variant Read(const R& record, const MemberPtr<R>& member) {
  return std::visit([&record](auto ptr) { return ToVariant(record.*ptr); }, member);
}

template <typename R>
bool Write(R& record, const MemberPtr<R>& member, const Variant& value) {
  return std::visit([&record, &value](auto ptr) { return FromVariant(value, record.*ptr); },
                    member);
}

// Copies the loaded columns of the recordset's current row into the record. A column the row
// lacks leaves its property untouched; a date column that names no date clears the date.
// Returns whether a property that sets the Change flag was assigned; `loaded` tells whether
// there was a row at all.
template <typename R>
bool LoadRow(R& record, std::span<const PropertyInfo> infos, std::span<const MemberPtr<R>> members,
             const Recordset& row, bool& loaded) {
  loaded = !row.Bof() && !row.Eof();
  if (!loaded) return false;
  bool marks_change = false;
  for (std::size_t i = 0; i < infos.size(); ++i) {
    const PropertyInfo& info = infos[i];
    if (info.load == LoadRule::kNotLoaded) continue;
    const std::optional<int> field = row.FieldIndex(info.column);
    if (!field) continue;
    Variant value = row.Value(*field);
    if (info.load == LoadRule::kOneIsTrue) value = Variant(value.ToDouble() == 1.0);
    if (!Write(record, members[i], value)) Write(record, members[i], Variant());
    marks_change = marks_change || info.sets_change;
  }
  return marks_change;
}

// The bodies of a record's LoadFrom, Get and Set, shared by every record class; `change` is the
// record's Change flag.
template <typename R>
bool LoadRecord(R& record, std::span<const MemberPtr<R>> members, const Recordset& row,
                bool& change) {
  bool loaded = false;
  if (LoadRow(record, R::Properties(), members, row, loaded)) change = true;
  return loaded;
}

template <typename R>
Variant GetProperty(const R& record, std::span<const MemberPtr<R>> members, std::string_view name) {
  const std::optional<std::size_t> index = FindProperty(R::Properties(), name);
  if (!index) return Variant();
  return Read(record, members[*index]);
}

template <typename R>
bool SetProperty(R& record, std::span<const MemberPtr<R>> members, std::string_view name,
                 const Variant& value, bool& change) {
  const std::optional<std::size_t> index = FindProperty(R::Properties(), name);
  if (!index) return false;
  if (!Write(record, members[*index], value)) return false;
  if (R::Properties()[*index].sets_change) change = true;
  return true;
}

}  // namespace records
}  // namespace korvane

// Expands one row of a record's property table, (name, C++ type, column, LoadRule, sets Change,
// value of a cleared record), into the typed getter and setter. The setter marks the record
// changed whenever the table says so, whether or not the value differs.
#define KORVANE_RECORD_ACCESSORS(name, type, column, load, sets_change, cleared) \
  ::korvane::PropertyGetType<type> name() const { return name##_; }              \
  void set_##name(type value) {                                                  \
    name##_ = std::move(value);                                                  \
    if constexpr (sets_change) Change_ = true;                                   \
  }

#define KORVANE_RECORD_MEMBER(name, type, column, load, sets_change, cleared) type name##_{};

#define KORVANE_RECORD_INFO(name, type, column, load, sets_change, cleared) \
  ::korvane::PropertyInfo{#name, ::korvane::PropertyTypeOf<type>(), column, \
                          ::korvane::LoadRule::load, sets_change},

#endif  // KORVANE_RECORDS_RECORD_PROPERTY_H_
