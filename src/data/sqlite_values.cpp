// SQLite values to and from Variants, and result rows typed by their declared column types.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "data/sqlite_values_internal.h"

namespace korvane::data::sqlite_internal {
namespace {

struct TypeName {
  const char* name;
  DeclaredType type;
};

// The server's type names. FLOAT and REAL both read back as doubles; DECIMAL, NUMERIC and MONEY
// are doubles too (quantities and money are doubles throughout).
constexpr TypeName kTypeNames[] = {
    {"INT", {kAdInteger, ValueClass::kInteger}},
    {"INTEGER", {kAdInteger, ValueClass::kInteger}},
    {"BIGINT", {kAdBigInt, ValueClass::kInteger}},
    {"SMALLINT", {kAdSmallInt, ValueClass::kInteger}},
    {"TINYINT", {kAdTinyInt, ValueClass::kInteger}},
    {"FLOAT", {kAdDouble, ValueClass::kDouble}},
    {"REAL", {kAdDouble, ValueClass::kDouble}},
    {"DOUBLE", {kAdDouble, ValueClass::kDouble}},
    {"DOUBLE PRECISION", {kAdDouble, ValueClass::kDouble}},
    {"DECIMAL", {kAdNumeric, ValueClass::kDouble}},
    {"NUMERIC", {kAdNumeric, ValueClass::kDouble}},
    {"MONEY", {kAdCurrency, ValueClass::kDouble}},
    {"SMALLMONEY", {kAdCurrency, ValueClass::kDouble}},
    {"DATE", {kAdDBTimeStamp, ValueClass::kDate}},
    {"DATETIME", {kAdDBTimeStamp, ValueClass::kDate}},
    {"DATETIME2", {kAdDBTimeStamp, ValueClass::kDate}},
    {"SMALLDATETIME", {kAdDBTimeStamp, ValueClass::kDate}},
    {"BIT", {kAdBoolean, ValueClass::kBoolean}},
    {"BOOLEAN", {kAdBoolean, ValueClass::kBoolean}},
    {"CHAR", {kAdChar, ValueClass::kText}},
    {"NCHAR", {kAdWChar, ValueClass::kText}},
    {"VARCHAR", {kAdVarChar, ValueClass::kText}},
    {"NVARCHAR", {kAdVarWChar, ValueClass::kText}},
    {"TEXT", {kAdLongVarChar, ValueClass::kText}},
    {"NTEXT", {kAdLongVarWChar, ValueClass::kText}},
};

// "nvarchar (50)" -> "NVARCHAR"; inner runs of blanks become one.
std::string BaseTypeName(std::string_view declared) {
  std::string out;
  for (char c : declared) {
    if (c == '(') break;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return ToUpperAscii(out);
}

bool IsMidnight(DateTime value) { return value == std::chrono::floor<std::chrono::days>(value); }

std::string DateText(DateTime value) {
  return IsMidnight(value) ? FormatDate(value) : FormatDateTime(value);
}

Variant ToIntegerValue(Variant v) {
  if (v.type() == VarType::kDouble) {
    const double d = v.real();
    // 2^63 is exactly representable, so the comparison is exact.
    if (std::trunc(d) == d && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
      return Variant(static_cast<long long>(d));
    }
  }
  return v;
}

Variant ToDoubleValue(Variant v) {
  if (v.type() == VarType::kInteger) return Variant(static_cast<double>(v.integer()));
  return v;
}

Variant ToDateValue(Variant v) {
  if (v.type() == VarType::kText) {
    if (const std::optional<DateTime> d = ParseDate(v.text())) return Variant(*d);
  }
  return v;
}

Variant ToBooleanValue(Variant v) {
  switch (v.type()) {
    case VarType::kInteger:
      return Variant(v.integer() != 0);
    case VarType::kDouble:
      return Variant(v.real() != 0.0);
    case VarType::kText: {
      const std::string t = Trim(v.text());
      if (t == "1" || EqualsIgnoreCase(t, "true")) return Variant(true);
      if (t == "0" || EqualsIgnoreCase(t, "false")) return Variant(false);
      return v;
    }
    default:
      return v;
  }
}

Variant ToTextValue(Variant v) {
  if (v.IsNumber()) return Variant(v.ToText());
  return v;
}

Variant Convert(Variant v, ValueClass value_class) {
  if (v.IsNull()) return v;
  switch (value_class) {
    case ValueClass::kInteger:
      return ToIntegerValue(std::move(v));
    case ValueClass::kDouble:
      return ToDoubleValue(std::move(v));
    case ValueClass::kDate:
      return ToDateValue(std::move(v));
    case ValueClass::kBoolean:
      return ToBooleanValue(std::move(v));
    case ValueClass::kText:
      return ToTextValue(std::move(v));
  }
  return v;
}

Variant ReadColumn(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
      return Variant(static_cast<long long>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt, i));
    case SQLITE_NULL:
      return Variant::MakeNull();
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      const int size = sqlite3_column_bytes(stmt, i);
      return Variant(std::string(text == nullptr ? "" : text, static_cast<std::size_t>(size)));
    }
  }
}

}  // namespace

std::optional<DeclaredType> DeclaredColumnType(std::string_view declared_type) {
  const std::string base = BaseTypeName(declared_type);
  for (const TypeName& t : kTypeNames) {
    if (base == t.name) return t.type;
  }
  return std::nullopt;
}

int BindVariant(sqlite3_stmt* stmt, int index, const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return sqlite3_bind_null(stmt, index);
    case VarType::kInteger:
      return sqlite3_bind_int64(stmt, index, value.integer());
    case VarType::kDouble:
      return sqlite3_bind_double(stmt, index, value.real());
    case VarType::kText:
      return sqlite3_bind_text64(stmt, index, value.text().data(), value.text().size(),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    case VarType::kDate: {
      const std::string text = DateText(value.date());
      return sqlite3_bind_text64(stmt, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    }
    case VarType::kBoolean:
      return sqlite3_bind_int(stmt, index, value.boolean() ? 1 : 0);
  }
  return SQLITE_MISUSE;
}

Variant VariantOfValue(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return Variant(static_cast<long long>(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
      return Variant(sqlite3_value_double(value));
    case SQLITE_NULL:
      return Variant::MakeNull();
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      const int size = sqlite3_value_bytes(value);
      return Variant(std::string(text == nullptr ? "" : text, static_cast<std::size_t>(size)));
    }
  }
}

void SetResult(sqlite3_context* context, const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      sqlite3_result_null(context);
      return;
    case VarType::kInteger:
      sqlite3_result_int64(context, value.integer());
      return;
    case VarType::kDouble:
      sqlite3_result_double(context, value.real());
      return;
    case VarType::kText:
      sqlite3_result_text64(context, value.text().data(), value.text().size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
      return;
    case VarType::kDate: {
      const std::string text = DateText(value.date());
      sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      return;
    }
    case VarType::kBoolean:
      sqlite3_result_int(context, value.boolean() ? 1 : 0);
      return;
  }
}

ResultCollector::ResultCollector(sqlite3_stmt* stmt) {
  const int n = sqlite3_column_count(stmt);
  names_.reserve(static_cast<std::size_t>(n));
  declared_.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt, i);
    names_.emplace_back(name == nullptr ? "" : name);
    const char* declared = sqlite3_column_decltype(stmt, i);
    declared_.push_back(declared == nullptr ? std::nullopt : DeclaredColumnType(declared));
  }
}

void ResultCollector::AddRow(sqlite3_stmt* stmt) {
  Recordset::Row row;
  row.reserve(names_.size());
  for (int i = 0; i < ColumnCount(); ++i) row.push_back(ReadColumn(stmt, i));
  rows_.push_back(std::move(row));
}

Recordset ResultCollector::Finish() {
  std::vector<FieldInfo> fields;
  fields.reserve(names_.size());
  for (std::size_t c = 0; c < names_.size(); ++c) {
    DeclaredType type;
    if (declared_[c]) {
      type = *declared_[c];
    } else {
      // An expression: one type for the whole column, so that a column mixing 1 and 1.5 does
      // not hand the caller an integer in one row and a double in the next.
      bool any_text = false;
      bool any_real = false;
      bool any_integer = false;
      for (const Recordset::Row& row : rows_) {
        switch (row[c].type()) {
          case VarType::kText:
            any_text = true;
            break;
          case VarType::kDouble:
            any_real = true;
            break;
          case VarType::kInteger:
            any_integer = true;
            break;
          default:
            break;
        }
      }
      if (any_text || (!any_real && !any_integer)) {
        type = {kAdVarWChar, ValueClass::kText};
      } else if (any_real) {
        type = {kAdDouble, ValueClass::kDouble};
      } else {
        type = {kAdInteger, ValueClass::kInteger};
      }
    }
    for (Recordset::Row& row : rows_) row[c] = Convert(std::move(row[c]), type.value_class);
    fields.push_back({names_[c], type.ado_type});
  }
  return Recordset(std::move(fields), std::move(rows_));
}

}  // namespace korvane::data::sqlite_internal
