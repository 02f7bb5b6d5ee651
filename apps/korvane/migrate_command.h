// korvane migrate: copies a whole database to a new, empty one, the file to a server or back.
#ifndef KORVANE_APPS_KORVANE_MIGRATE_COMMAND_H_
#define KORVANE_APPS_KORVANE_MIGRATE_COMMAND_H_

#include <ostream>
#include <string>

namespace korvane::cli {

struct MigrateOptions {
  std::string from;  // a database file or a postgresql:// URI
  std::string to;
};

// Prints a line per table copied and a summary. Returns 0 when the copy is committed, 1 when
// it failed (nothing of it is left in the target), 2 for unusable options.
int RunMigrate(const MigrateOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_MIGRATE_COMMAND_H_
