// SchemaCatalog: what the database's tables declare about their columns, as far as the T-SQL
// translation needs it (whether "+" between two columns joins texts or adds numbers).
//
// A plain value: the data service builds it from the open database and rebuilds it when the
// schema changes; tests build it by hand.
#ifndef KORVANE_DATA_SCHEMA_CATALOG_H_
#define KORVANE_DATA_SCHEMA_CATALOG_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::data {

enum class ColumnKind { kText, kNumber, kDate, kOther };

// The kind a declared column type stands for ("VARCHAR(20)" is text, "FLOAT" a number,
// "DATETIME" a date).
ColumnKind KindOfDeclaredType(std::string_view declared_type);

class SchemaCatalog {
 public:
  // Table and column names are matched ignoring ASCII case, as the database matches them.
  void AddColumn(std::string_view table, std::string_view column, ColumnKind kind);

  // The kind of table.column; nullopt when the table or the column is unknown.
  std::optional<ColumnKind> Kind(std::string_view table, std::string_view column) const;
  // The kind of an unqualified column as every table that has it declares it; nullopt when no
  // table has it or the tables disagree.
  std::optional<ColumnKind> KindInAnyTable(std::string_view column) const;
  bool HasTable(std::string_view table) const;

  // Changes whenever columns are added, so that cached translations can tell they are stale.
  std::uint64_t generation() const { return generation_; }

 private:
  // lower-cased table -> lower-cased column -> kind
  std::map<std::string, std::map<std::string, ColumnKind>> tables_;
  std::uint64_t generation_ = 0;
};

}  // namespace korvane::data

#endif  // KORVANE_DATA_SCHEMA_CATALOG_H_
