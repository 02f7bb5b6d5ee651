// An SQLite file or a PostgreSQL server, by the form of the name.
#include "data/open_data_service.h"

#include <filesystem>

#include "data/pg_data_service.h"
#include "data/sqlite_data_service.h"

namespace korvane::data {

std::shared_ptr<DataService> OpenDataService(const std::string& path_or_uri, std::string& error,
                                             bool create) {
  error.clear();
  if (IsPostgresUri(path_or_uri)) return PgDataService::Open(path_or_uri, error);
  std::error_code ec;
  if (!create && !std::filesystem::exists(path_or_uri, ec)) {
    error = path_or_uri + " does not exist; create it with korvane init";
    return nullptr;
  }
  SqliteOptions options;
  options.create = create;
  return SqliteDataService::Open(path_or_uri, options, error);
}

}  // namespace korvane::data
