// The collation and SQL functions a connection needs before translated statements run on it:
// the server's text comparison (ASCII case and trailing blanks ignored) and the functions the
// translator emits in place of T-SQL built-ins that SQLite lacks.
#ifndef KORVANE_DATA_TSQL_RUNTIME_H_
#define KORVANE_DATA_TSQL_RUNTIME_H_

struct sqlite3;

namespace korvane::data {

// Name of the collation every text column of the schema declares ("COLLATE TSQL"): equal
// when equal ignoring ASCII case and trailing blanks, ordered byte-wise otherwise.
inline constexpr const char* kTsqlCollation = "TSQL";

// Registers the collation and the runtime functions on `db`. Returns the SQLite result code
// (SQLITE_OK on success).
// REQUIRES: `db` is open; called once per connection, before any statement of the schema.
int RegisterTsqlRuntime(sqlite3* db);

}  // namespace korvane::data

#endif  // KORVANE_DATA_TSQL_RUNTIME_H_
