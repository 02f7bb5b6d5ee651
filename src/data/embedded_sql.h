// The SQL files of db/ compiled into the library: the schema migrations in version order and
// the demo factory's data.
#ifndef KORVANE_DATA_EMBEDDED_SQL_H_
#define KORVANE_DATA_EMBEDDED_SQL_H_

#include <string_view>
#include <vector>

namespace korvane::data {

struct EmbeddedSql {
  std::string_view path;  // relative to db/, e.g. "migrations/0001_schema.sql"
  std::string_view text;
};

// Every file below db/ ending in ".sql", ordered by path.
const std::vector<EmbeddedSql>& EmbeddedSqlFiles();
// The text of one file; empty when there is none.
std::string_view EmbeddedSqlFile(std::string_view path);

}  // namespace korvane::data

#endif  // KORVANE_DATA_EMBEDDED_SQL_H_
