// korvane user add|passwd|remove: the people who may sign in to the web host.
#ifndef KORVANE_APPS_KORVANE_USER_COMMAND_H_
#define KORVANE_APPS_KORVANE_USER_COMMAND_H_

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korvane::cli {

struct UserOptions {
  std::string action;  // "add", "passwd" or "remove"
  std::string database;
  std::string name;
  // Read from the first line of standard input when absent.
  std::optional<std::string> password;
  std::string full_name;    // add: the name shown; the user name when empty
  std::vector<int> rights;  // add: program ids whose privileged actions the user may take
};

// add creates the user (xt_user, its rights in xt_user_right) with a password hash; passwd
// replaces the hash; remove deletes the user with its items, settings, rights and hash.
// 0 done, 1 refused (an existing or unknown user, a database failure), 2 misuse (an empty
// name or password).
int RunUser(const UserOptions& options, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_USER_COMMAND_H_
