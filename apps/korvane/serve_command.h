// korvane serve: the web host. Serves the page and the module API (docs/web.md) on a
// database until it is interrupted (SIGINT or SIGTERM).
#ifndef KORVANE_APPS_KORVANE_SERVE_COMMAND_H_
#define KORVANE_APPS_KORVANE_SERVE_COMMAND_H_

#include <ostream>
#include <string>

namespace korvane::cli {

struct ServeOptions {
  std::string database;
  std::string listen = "127.0.0.1:8080";  // host:port; a port alone listens on 127.0.0.1
  std::string user;                       // empty: the reference host's default user
  std::string date;                       // business date "yyyy-mm-dd"; empty: the user's
  std::string folder;                     // root of the per-user files; empty: the default
};

// Serves until SIGINT or SIGTERM. Returns 0 after a clean stop, 1 when the database cannot be
// opened or the address cannot be bound, 2 for unusable options.
int RunServe(const ServeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_SERVE_COMMAND_H_
