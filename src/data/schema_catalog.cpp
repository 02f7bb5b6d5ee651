#include "data/schema_catalog.h"

#include <atomic>

#include "values/variant.h"

namespace korvane::data {
namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Generations come from one counter shared by every catalog, so two catalogs built
// separately (before and after a schema change) never share a generation by accident.
std::atomic<std::uint64_t> g_generation{0};

}  // namespace

ColumnKind KindOfDeclaredType(std::string_view declared_type) {
  const std::string type = ToLowerAscii(declared_type);
  // Dates first: "datetime" must not be taken for anything else.
  if (Contains(type, "date") || Contains(type, "time")) return ColumnKind::kDate;
  if (Contains(type, "char") || Contains(type, "text") || Contains(type, "clob") ||
      Contains(type, "sysname") || Contains(type, "uniqueidentifier")) {
    return ColumnKind::kText;
  }
  if (Contains(type, "int") || Contains(type, "real") || Contains(type, "floa") ||
      Contains(type, "doub") || Contains(type, "dec") || Contains(type, "numeric") ||
      Contains(type, "money") || Contains(type, "bit") || Contains(type, "bool") ||
      Contains(type, "number")) {
    return ColumnKind::kNumber;
  }
  return ColumnKind::kOther;
}

void SchemaCatalog::AddColumn(std::string_view table, std::string_view column, ColumnKind kind) {
  tables_[ToLowerAscii(table)][ToLowerAscii(column)] = kind;
  generation_ = ++g_generation;
}

std::optional<ColumnKind> SchemaCatalog::Kind(std::string_view table,
                                              std::string_view column) const {
  const auto t = tables_.find(ToLowerAscii(table));
  if (t == tables_.end()) return std::nullopt;
  const auto c = t->second.find(ToLowerAscii(column));
  if (c == t->second.end()) return std::nullopt;
  return c->second;
}

std::optional<ColumnKind> SchemaCatalog::KindInAnyTable(std::string_view column) const {
  const std::string name = ToLowerAscii(column);
  std::optional<ColumnKind> kind;
  for (const auto& [table, columns] : tables_) {
    const auto c = columns.find(name);
    if (c == columns.end()) continue;
    if (kind && *kind != c->second) return std::nullopt;
    kind = c->second;
  }
  return kind;
}

bool SchemaCatalog::HasTable(std::string_view table) const {
  return tables_.count(ToLowerAscii(table)) != 0;
}

}  // namespace korvane::data
