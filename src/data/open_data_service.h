// The one way a command line's --db value becomes a DataService: a PostgreSQL URI
// ("postgresql://..." or "postgres://...") opens the server, anything else is an SQLite file.
#ifndef KORVANE_DATA_OPEN_DATA_SERVICE_H_
#define KORVANE_DATA_OPEN_DATA_SERVICE_H_

#include <memory>
#include <string>

#include "host/data_service.h"

namespace korvane::data {

// Opens the database `path_or_uri` names. A file must exist unless `create` is set; a server
// database must exist (korvane init creates its schema, not the database itself). Returns
// nullptr with `error` set when it cannot be opened.
std::shared_ptr<DataService> OpenDataService(const std::string& path_or_uri, std::string& error,
                                             bool create = false);

}  // namespace korvane::data

#endif  // KORVANE_DATA_OPEN_DATA_SERVICE_H_
