// The schema on a PostgreSQL server: the same migrations as the SQLite file (db/migrations),
// their DDL converted for PostgreSQL, applied in version order, each in one transaction that
// also records its version in xt_schema_version. Before them the runtime the translated
// statements need (the collation "tsql", db/postgres/runtime.sql); after them the database's
// own functions (the other files of db/postgres, in name order, each re-created every time).
#ifndef KORVANE_DATA_PG_SCHEMA_H_
#define KORVANE_DATA_PG_SCHEMA_H_

#include <string>
#include <string_view>
#include <vector>

#include "data/pg_data_service.h"

namespace korvane::data {

// The table recording the schema version (one row), as PRAGMA user_version does on SQLite.
inline constexpr std::string_view kPgVersionTable = "xt_schema_version";

// The version recorded on the server (0 for an empty database); -1 when it cannot be read.
int PgSchemaVersion(PgDataService& db);

// Brings the database up to the latest version, keeping its data, as MigrateSchema does for a
// file. A database newer than this library is refused. False with `error` set on failure; the
// failing migration leaves nothing behind.
bool MigratePgSchema(PgDataService& db, std::string& error);

// A migration's statements for PostgreSQL: comments removed, split at ';', the server types
// renamed (NVARCHAR -> VARCHAR, DATETIME -> TIMESTAMP(0), FLOAT -> DOUBLE PRECISION, BIT and
// TINYINT -> SMALLINT, NTEXT -> TEXT); names stay unquoted so that the server folds their ASCII
// letters to lower case. Views are left as they are (MigratePgSchema translates their select).
std::vector<std::string> PgDdlStatements(std::string_view script);

}  // namespace korvane::data

#endif  // KORVANE_DATA_PG_SCHEMA_H_
