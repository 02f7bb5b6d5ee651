// korvane migrate --from A --to B.
#include "migrate_command.h"

#include "data/database_copy.h"

namespace korvane::cli {

int RunMigrate(const MigrateOptions& options, std::ostream& out, std::ostream& err) {
  if (options.from.empty() || options.to.empty() || options.from == options.to) {
    err << "korvane migrate needs two different databases: --from and --to\n";
    return 2;
  }
  data::CopyCounts counts;
  std::string error;
  const bool copied = data::CopyDatabase(options.from, options.to, counts, error,
                                         [&](const std::string& table, std::int64_t rows) {
                                           if (rows > 0)
                                             out << "  " << table << ": " << rows << " rows\n";
                                         });
  if (!copied) {
    err << "korvane migrate: " << error << "; nothing was copied\n";
    return 1;
  }
  out << "copied " << counts.tables << " tables, " << counts.rows << " rows, from " << options.from
      << " to " << options.to << "\n";
  return 0;
}

}  // namespace korvane::cli
