// Conversions between SQLite's values and Variants for the data service: binding parameters,
// reading function arguments, setting function results, and turning the rows a statement
// returns into a Recordset whose field types follow the declared column types.
// Internal to the data layer; nothing here throws except std::bad_alloc.
#ifndef KORVANE_DATA_SQLITE_VALUES_INTERNAL_H_
#define KORVANE_DATA_SQLITE_VALUES_INTERNAL_H_

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::data::sqlite_internal {

// How the values of a column are presented once read.
enum class ValueClass { kInteger, kDouble, kDate, kBoolean, kText };

struct DeclaredType {
  int ado_type = kAdVariant;
  ValueClass value_class = ValueClass::kText;
};

// The field type a declared column type stands for ("NVARCHAR(50)" -> kAdVarWChar, text);
// nullopt for a type the server did not have (then the stored values decide).
std::optional<DeclaredType> DeclaredColumnType(std::string_view declared_type);

// Binds `value` to the 1-based parameter `index`: integers as integers, doubles as reals,
// texts as texts, dates as 'yyyy-mm-dd' (or 'yyyy-mm-dd hh:mm:ss' with a time of day),
// booleans as 0/1, null and empty as NULL. Returns the SQLite result code.
int BindVariant(sqlite3_stmt* stmt, int index, const Variant& value);

// The value of a function argument (a blob reads as a text of its bytes).
Variant VariantOfValue(sqlite3_value* value);
// Sets the result of a function call to `value` (bound as BindVariant binds it).
void SetResult(sqlite3_context* context, const Variant& value);

// Collects the rows of one statement. Created once the statement is prepared, fed every row,
// then turned into the recordset.
class ResultCollector {
 public:
  explicit ResultCollector(sqlite3_stmt* stmt);
  // REQUIRES: sqlite3_step(stmt) just returned SQLITE_ROW.
  void AddRow(sqlite3_stmt* stmt);
  int ColumnCount() const { return static_cast<int>(names_.size()); }
  // The recordset with every value converted to its field's type. A column without a declared
  // type takes its type from the values: texts if any is a text, doubles if any is a real,
  // integers otherwise.
  Recordset Finish();

 private:
  std::vector<std::string> names_;
  std::vector<std::optional<DeclaredType>> declared_;
  std::vector<Recordset::Row> rows_;
};

}  // namespace korvane::data::sqlite_internal

#endif  // KORVANE_DATA_SQLITE_VALUES_INTERNAL_H_
