// Copies every row of one database into an empty one of the same schema, file or server.
#include "data/database_copy.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "data/open_data_service.h"
#include "data/pg_data_service.h"
#include "data/pg_schema.h"
#include "data/schema.h"
#include "data/schema_catalog.h"
#include "data/sqlite_data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::data {
namespace {

// The version table of the server stands for SQLite's user_version: each side keeps its own.
bool IsBookkeeping(const std::string& lower_name) {
  return lower_name == kPgVersionTable || lower_name.rfind("sqlite_", 0) == 0;
}

// One end of the copy, whichever kind of database it is.
class Side {
 public:
  bool Open(const std::string& name, bool create, std::string& error) {
    service_ = OpenDataService(name, error, create);
    if (service_ == nullptr) return false;
    sqlite_ = std::dynamic_pointer_cast<SqliteDataService>(service_);
    pg_ = std::dynamic_pointer_cast<PgDataService>(service_);
    return true;
  }

  DataService& service() { return *service_; }
  SqlReader& sql() { return sqlite_ ? sqlite_->Native() : pg_->Native(); }

  int Version() { return sqlite_ ? SchemaVersion(*sqlite_) : PgSchemaVersion(*pg_); }
  bool Migrate(std::string& error) {
    return sqlite_ ? MigrateSchema(*sqlite_, error) : MigratePgSchema(*pg_, error);
  }

  // The tables of the schema by lower-cased name, with the name as the database spells it.
  std::optional<std::map<std::string, std::string>> Tables(std::string& error) {
    const char* const query =
        sqlite_ ? "SELECT name FROM sqlite_master WHERE type = 'table'"
                : "SELECT table_name FROM information_schema.tables"
                  " WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'";
    const std::unique_ptr<Recordset> rows = sql().Query(query, {}, error);
    if (rows == nullptr) return std::nullopt;
    std::map<std::string, std::string> tables;
    for (const Recordset::Row& row : rows->Rows()) {
      const std::string name = row.at(0).ToText();
      const std::string lower = ToLowerAscii(name);
      if (!IsBookkeeping(lower)) tables.emplace(lower, name);
    }
    return tables;
  }

  // The columns of `table` by lower-cased name.
  std::optional<std::vector<std::string>> Columns(const std::string& table, std::string& error) {
    std::unique_ptr<Recordset> rows;
    if (sqlite_) {
      rows = sql().Query("SELECT name FROM pragma_table_info(?)", {Variant(table)}, error);
    } else {
      rows = sql().Query(
          "SELECT column_name FROM information_schema.columns WHERE table_schema = "
          "current_schema() AND table_name = ?",
          {Variant(table)}, error);
    }
    if (rows == nullptr) return std::nullopt;
    std::vector<std::string> columns;
    for (const Recordset::Row& row : rows->Rows())
      columns.push_back(ToLowerAscii(row.at(0).ToText()));
    return columns;
  }

  // A name as this database's SQL must spell it: quoted, and on the server in the lower case
  // it folds the schema's unquoted names to.
  std::string Quoted(const std::string& name) const {
    std::string out = "\"";
    for (char c : pg_ ? ToLowerAscii(name) : name) {
      out += c;
      if (c == '"') out += '"';
    }
    return out + "\"";
  }

  // The kind of a column where this database is strict about it (the server); nullopt where
  // any value goes into any column (the file).
  std::optional<ColumnKind> StrictKind(const std::string& table, const std::string& column) const {
    if (!pg_) return std::nullopt;
    return pg_->catalog().Kind(table, column);
  }

  // The most values one statement may bind on this database.
  std::size_t MaxBinds() const { return sqlite_ ? 30000 : 60000; }

 private:
  std::shared_ptr<DataService> service_;
  std::shared_ptr<SqliteDataService> sqlite_;
  std::shared_ptr<PgDataService> pg_;
};

// A value the file holds as the server's column takes it. The file keeps whatever a statement
// wrote; the modules write an empty text into number and date columns, which the server takes
// as the original server did for numbers (0) and as no date (NULL).
Variant ForColumn(const Variant& value, std::optional<ColumnKind> kind) {
  if (!kind || value.type() != VarType::kText || !Trim(value.text()).empty()) return value;
  if (*kind == ColumnKind::kNumber) return Variant(0);
  if (*kind == ColumnKind::kDate) return Variant::MakeNull();
  return value;
}

// Writes `rows` into `table` of `to` in multi-row inserts; false with `error` set.
bool InsertRows(Side& to, const std::string& table, const Recordset& rows, std::string& error) {
  const int width = rows.FieldCount();
  if (width == 0 || rows.RecordCount() == 0) return true;
  std::vector<std::optional<ColumnKind>> kinds;
  for (int c = 0; c < width; ++c) kinds.push_back(to.StrictKind(table, rows.Field(c).name));
  std::string head = "INSERT INTO " + to.Quoted(table) + " (";
  std::string one_row = "(";
  for (int c = 0; c < width; ++c) {
    head += (c ? ", " : "") + to.Quoted(rows.Field(c).name);
    one_row += c ? ", ?" : "?";
  }
  head += ") VALUES ";
  one_row += ")";
  const std::size_t per_statement =
      std::max<std::size_t>(1, std::min<std::size_t>(500, to.MaxBinds() / width));
  const std::vector<Recordset::Row>& all = rows.Rows();
  for (std::size_t first = 0; first < all.size(); first += per_statement) {
    const std::size_t last = std::min(all.size(), first + per_statement);
    std::string sql = head;
    std::vector<Variant> binds;
    binds.reserve((last - first) * static_cast<std::size_t>(width));
    for (std::size_t r = first; r < last; ++r) {
      sql += (r == first ? "" : ", ") + one_row;
      for (int c = 0; c < width; ++c) {
        binds.push_back(
            ForColumn(all[r][static_cast<std::size_t>(c)], kinds[static_cast<std::size_t>(c)]));
      }
    }
    if (!to.sql().Exec(sql, binds, error)) {
      error = table + ": " + error;
      return false;
    }
  }
  return true;
}

bool CopyTables(Side& from, Side& to, CopyCounts& counts, std::string& error,
                const CopyProgress& progress) {
  const auto source_tables = from.Tables(error);
  if (!source_tables) return false;
  const auto target_tables = to.Tables(error);
  if (!target_tables) return false;
  for (const auto& [lower, name] : *source_tables) {
    if (!target_tables->contains(lower)) {
      error = "the target has no table " + name;
      return false;
    }
  }
  for (const auto& [lower, name] : *target_tables) {
    if (!source_tables->contains(lower)) {
      error = "the source has no table " + name;
      return false;
    }
    const std::unique_ptr<Recordset> any =
        to.sql().Query("SELECT 1 FROM " + to.Quoted(name) + " LIMIT 1", {}, error);
    if (any == nullptr) return false;
    if (any->RecordCount() > 0) {
      error = "the target is not empty: table " + name + " holds rows";
      return false;
    }
  }
  for (const auto& [lower, name] : *source_tables) {
    const auto target_columns = to.Columns(target_tables->at(lower), error);
    if (!target_columns) return false;
    const std::unique_ptr<Recordset> rows =
        from.sql().Query("SELECT * FROM " + from.Quoted(name), {}, error);
    if (rows == nullptr) return false;
    for (const FieldInfo& field : rows->Fields()) {
      if (std::find(target_columns->begin(), target_columns->end(), ToLowerAscii(field.name)) ==
          target_columns->end()) {
        error = "the target's table " + name + " has no column " + field.name;
        return false;
      }
    }
    if (!InsertRows(to, target_tables->at(lower), *rows, error)) return false;
    ++counts.tables;
    counts.rows += rows->RecordCount();
    if (progress) progress(name, rows->RecordCount());
  }
  return true;
}

}  // namespace

bool CopyDatabase(const std::string& from, const std::string& to, CopyCounts& counts,
                  std::string& error, const CopyProgress& progress) {
  counts = {};
  try {
    Side source;
    if (!source.Open(from, false, error)) return false;
    const int version = source.Version();
    if (version != LatestSchemaVersion()) {
      error = from + " has schema version " + std::to_string(version) + ", not " +
              std::to_string(LatestSchemaVersion()) + "; upgrade it first with korvane init";
      return false;
    }
    Side target;
    if (!target.Open(to, true, error)) return false;
    if (!target.Migrate(error)) return false;
    if (!target.service().BeginTrans()) {
      error = target.service().LastError();
      return false;
    }
    if (!CopyTables(source, target, counts, error, progress)) {
      target.service().RollbackTrans();
      counts = {};
      return false;
    }
    if (!target.service().CommitTrans()) {
      error = target.service().LastError();
      target.service().RollbackTrans();
      counts = {};
      return false;
    }
    error.clear();
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    counts = {};
    return false;
  }
}

}  // namespace korvane::data
