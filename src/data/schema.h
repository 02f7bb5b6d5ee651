// The database's schema version and its migrations: the SQL files of db/migrations, applied in
// order, each in one transaction that also records its version.
#ifndef KORVANE_DATA_SCHEMA_H_
#define KORVANE_DATA_SCHEMA_H_

#include <string>
#include <string_view>
#include <vector>

#include "data/sqlite_data_service.h"

namespace korvane::data {

// One file of db/migrations: "migrations/0007_add_routes.sql" is version 7.
struct Migration {
  int version = 0;
  std::string_view path;
  std::string_view text;
};

// The migrations in version order (the SQLite text as written; data/pg_schema.h converts it
// for PostgreSQL).
std::vector<Migration> Migrations();

// The version the newest migration brings a database to.
int LatestSchemaVersion();
// The version recorded in the database (0 for an empty file); -1 when it cannot be read.
int SchemaVersion(SqliteDataService& db);

// Brings the database up to `target` (default: the latest) by applying every migration above
// its recorded version, each in its own transaction. Data already present is kept. Returns
// false with `error` set when a migration fails; that migration leaves nothing behind, and the
// versions applied before it stay. A database newer than this library is refused.
bool MigrateSchema(SqliteDataService& db, std::string& error, int target = -1);

}  // namespace korvane::data

#endif  // KORVANE_DATA_SCHEMA_H_
