// The reference host's subcommands, callable without a process of their own so that tests
// drive them: each writes its normal output to `out`, its complaints to `err`, and returns the
// process exit code (0 success, 1 failure, 2 misuse).
#ifndef KORVANE_APPS_KORVANE_COMMANDS_H_
#define KORVANE_APPS_KORVANE_COMMANDS_H_

#include <optional>
#include <ostream>
#include <string>

namespace korvane::cli {

struct InitOptions {
  std::string database;
  bool demo = false;         // load the demo factory (a new database only)
  std::optional<int> scale;  // add generated volume data (scale x 1000 products, x 10000 lines)
};

// Creates the database file with the current schema, or upgrades an older one keeping its
// data; then loads the demo factory or generated data when asked.
int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err);

struct SqlOptions {
  std::string database;
  std::string statement;  // T-SQL: one statement or a batch
};

// Runs a T-SQL statement or batch through the data service the modules use and prints the rows
// it selects as a table, or the number of rows it changed; on failure prints the error text.
int RunSql(const SqlOptions& options, std::ostream& out, std::ostream& err);

struct PayrollImportOptions {
  std::string database;
  std::string period;  // yyyymm; empty takes the rows of every period
};

// The wage office's intake: takes the wage rows work reports handed over and not yet taken (of
// the period, when given) into payroll in one transaction and prints how many it took. A
// period that is no yyyymm is misuse (2); a refused intake prints why and fails (1).
int RunPayrollImport(const PayrollImportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_COMMANDS_H_
