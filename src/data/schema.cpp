// Schema versions and the migrations of db/migrations, applied one transaction each.
#include "data/schema.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/embedded_sql.h"

namespace korvane::data {
namespace {

constexpr std::string_view kMigrationFolder = "migrations/";

// "migrations/0007_add_routes.sql" -> 7; nullopt for any other file.
std::optional<int> MigrationVersion(std::string_view path) {
  if (path.substr(0, kMigrationFolder.size()) != kMigrationFolder) return std::nullopt;
  const std::string_view name = path.substr(kMigrationFolder.size());
  if (name.find('/') != std::string_view::npos) return std::nullopt;
  std::size_t digits = 0;
  int version = 0;
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 9) {
    version = version * 10 + (name[digits] - '0');
    ++digits;
  }
  if (digits == 0 || digits >= name.size() || name[digits] != '_') return std::nullopt;
  return version;
}

}  // namespace

std::vector<Migration> Migrations() {
  std::vector<Migration> out;
  for (const EmbeddedSql& file : EmbeddedSqlFiles()) {
    if (const std::optional<int> version = MigrationVersion(file.path)) {
      out.push_back({*version, file.path, file.text});
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const Migration& a, const Migration& b) { return a.version < b.version; });
  return out;
}

namespace {

std::optional<int> ReadUserVersion(SqliteDataService& db, std::string& error) {
  const std::unique_ptr<Recordset> rows = db.Native().Query("PRAGMA user_version", {}, error);
  if (rows == nullptr || rows->RecordCount() == 0 || rows->FieldCount() == 0) {
    if (error.empty()) error = "the database holds no schema version";
    return std::nullopt;
  }
  return static_cast<int>(rows->Rows()[0][0].ToInt64());
}

// Applies one migration unless another connection already did while this one waited for the
// write lock. False with `error` set (naming the file) when it fails; nothing of it is kept.
bool Apply(SqliteDataService& db, const Migration& migration, std::string& error) {
  const std::string where = "migration " + std::string(migration.path) + ": ";
  if (!db.BeginTrans()) {
    error = where + db.LastError();
    return false;
  }
  const auto fail = [&](const std::string& why) {
    if (db.InTransaction()) db.RollbackTrans();
    error = where + why;
    return false;
  };
  std::string step_error;
  const std::optional<int> current = ReadUserVersion(db, step_error);
  if (!current) return fail(step_error);
  if (*current >= migration.version) {
    db.RollbackTrans();
    return true;
  }
  if (!db.ExecScript(migration.text, step_error)) return fail(step_error);
  // The version must be recorded in the same transaction as the changes it stands for.
  if (!db.InTransaction()) return fail("the script ended the migration's transaction itself");
  if (!db.Native().Exec("PRAGMA user_version = " + std::to_string(migration.version), {},
                        step_error)) {
    return fail(step_error);
  }
  if (!db.CommitTrans()) return fail(db.LastError());
  return true;
}

}  // namespace

int LatestSchemaVersion() {
  const std::vector<Migration> migrations = Migrations();
  return migrations.empty() ? 0 : migrations.back().version;
}

int SchemaVersion(SqliteDataService& db) {
  std::string error;
  return ReadUserVersion(db, error).value_or(-1);
}

bool MigrateSchema(SqliteDataService& db, std::string& error, int target) {
  error.clear();
  const std::vector<Migration> migrations = Migrations();
  for (std::size_t i = 1; i < migrations.size(); ++i) {
    if (migrations[i].version == migrations[i - 1].version) {
      error = "two migrations have version " + std::to_string(migrations[i].version) + ": " +
              std::string(migrations[i - 1].path) + " and " + std::string(migrations[i].path);
      return false;
    }
  }
  const int latest = migrations.empty() ? 0 : migrations.back().version;
  if (target < 0) target = latest;
  if (target > latest) {
    error = "no migration brings the schema to version " + std::to_string(target) +
            " (the latest is " + std::to_string(latest) + ")";
    return false;
  }
  if (db.InTransaction()) {
    error = "the schema cannot be migrated while a transaction is open";
    return false;
  }
  const std::optional<int> current = ReadUserVersion(db, error);
  if (!current) return false;
  if (*current > latest) {
    error = "the database was written by a newer Korvane (schema version " +
            std::to_string(*current) + "); this one knows versions up to " + std::to_string(latest);
    return false;
  }
  for (const Migration& migration : migrations) {
    if (migration.version <= *current || migration.version > target) continue;
    if (!Apply(db, migration, error)) {
      db.ReloadCatalog();
      return false;
    }
  }
  db.ReloadCatalog();
  return true;
}

}  // namespace korvane::data
