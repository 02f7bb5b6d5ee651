// Moving a factory's whole database between the embedded file and a server: every table with
// every row, keys and numbering state included (they are rows of their own tables), so that
// the copy goes on issuing the keys and numbers the original would have issued next.
//
// Contract:
//  - `from` and `to` are what --db accepts: a PostgreSQL URI or an SQLite file path. The
//    source must exist and carry the schema version of this library (an older one is refused:
//    upgrade it first with korvane init). A file target is created when missing; a server
//    target's database must exist. The target's schema is created or upgraded first.
//  - A target that holds any row in any table is refused before anything is copied, naming the
//    table. The two schemas must have the same tables; a source column the target lacks is
//    refused by name.
//  - The rows are written in one transaction of the target: after a failure the target's
//    tables are as empty as before. The source is only read.
//  - Returns false with `error` set on failure; nothing throws.
#ifndef KORVANE_DATA_DATABASE_COPY_H_
#define KORVANE_DATA_DATABASE_COPY_H_

#include <cstdint>
#include <functional>
#include <string>

namespace korvane::data {

struct CopyCounts {
  int tables = 0;
  std::int64_t rows = 0;
};

// Called after each table is copied, with its name and row count (for a progress line).
using CopyProgress = std::function<void(const std::string& table, std::int64_t rows)>;

bool CopyDatabase(const std::string& from, const std::string& to, CopyCounts& counts,
                  std::string& error, const CopyProgress& progress = {});

}  // namespace korvane::data

#endif  // KORVANE_DATA_DATABASE_COPY_H_
