// korvane script: runs a script of JSON steps against the library's modules on a database, and
// prints one JSON answer per step (docs/scripting.md). Callable without a process of its own so
// that tests drive it.
#ifndef KORVANE_APPS_KORVANE_SCRIPT_COMMAND_H_
#define KORVANE_APPS_KORVANE_SCRIPT_COMMAND_H_

#include <istream>
#include <ostream>
#include <string>

namespace korvane::cli {

struct ScriptOptions {
  std::string database = "korvane.db";
  std::string user;    // empty: the reference host's default user
  std::string date;    // business date "yyyy-mm-dd"; empty: the user's stored date
  std::string folder;  // root of the per-user files; empty: the host's default
  std::string file;    // script file; empty or "-" reads `in`
};

// Runs the script. Answers go to `out`, complaints about the options to `err`. Returns 0 when
// every step succeeded, 1 when a step failed or the database could not be opened, 2 for
// unusable options (a date that is no date, a script file that cannot be read).
int RunScript(const ScriptOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_SCRIPT_COMMAND_H_
