// korvane user.
#include "user_command.h"

#include <string_view>

#include "data/open_data_service.h"
#include "host/data_service.h"
#include "web/passwords.h"

namespace korvane::cli {
namespace {

bool Exists(DataService& db, const std::string& table, const std::string& name) {
  return db.ScalarSql("SELECT COUNT(*) FROM " + table + " WHERE user_name = " + SqlQuote(name))
             .ToInt64() > 0;
}

// Runs the statements in one transaction; false with the database's text in `error`.
bool RunAll(DataService& db, const std::vector<std::string>& statements, std::string& error) {
  if (!db.BeginTrans()) {
    error = db.LastError();
    return false;
  }
  for (const auto& sql : statements) {
    if (!db.ExecuteSql(sql)) {
      error = db.LastError();
      db.RollbackTrans();
      return false;
    }
  }
  if (!db.CommitTrans()) {
    error = db.LastError();
    return false;
  }
  return true;
}

}  // namespace

int RunUser(const UserOptions& options, std::istream& in, std::ostream& out, std::ostream& err) {
  const std::string where = "korvane user " + options.action + ": ";
  if (options.name.empty()) {
    err << where << "the user name is empty\n";
    return 2;
  }
  std::string password;
  if (options.action != "remove") {
    if (options.password) {
      password = *options.password;
    } else {
      std::getline(in, password);
      if (!password.empty() && password.back() == '\r') password.pop_back();
    }
    if (password.empty()) {
      err << where << "the password is empty (give --password or one line on standard input)\n";
      return 2;
    }
  }
  std::string error;
  auto db = data::OpenDataService(options.database, error);
  if (!db) {
    err << where << "cannot open " << options.database << ": " << error << "\n";
    return 1;
  }
  const std::string name = SqlQuote(options.name);
  const bool exists = Exists(*db, "xt_user", options.name);
  std::vector<std::string> statements;
  if (options.action == "add") {
    if (exists) {
      err << where << options.name << " exists already; korvane user passwd changes a password\n";
      return 1;
    }
    const auto hash = web::HashPassword(password);
    if (!hash) {
      err << where << "the password cannot be hashed\n";
      return 1;
    }
    const std::string full = SqlQuote(options.full_name.empty() ? options.name : options.full_name);
    statements.push_back("INSERT INTO xt_user (user_name, full_name, active) VALUES (" + name +
                         ", " + full + ", 1)");
    statements.push_back("INSERT INTO xt_user_login (user_name, password_hash) VALUES (" + name +
                         ", " + SqlQuote(*hash) + ")");
    for (const int progid : options.rights) {
      statements.push_back("INSERT INTO xt_user_right (user_name, progid) VALUES (" + name + ", " +
                           std::to_string(progid) + ")");
    }
  } else if (options.action == "passwd") {
    if (!exists) {
      err << where << "there is no user " << options.name << "\n";
      return 1;
    }
    const auto hash = web::HashPassword(password);
    if (!hash) {
      err << where << "the password cannot be hashed\n";
      return 1;
    }
    statements.push_back("DELETE FROM xt_user_login WHERE user_name = " + name);
    statements.push_back("INSERT INTO xt_user_login (user_name, password_hash) VALUES (" + name +
                         ", " + SqlQuote(*hash) + ")");
  } else if (options.action == "remove") {
    if (!exists) {
      err << where << "there is no user " << options.name << "\n";
      return 1;
    }
    for (const char* table :
         {"xt_user_login", "xt_user_right", "xt_user_item", "xt_user_setting", "xt_user"}) {
      statements.push_back(std::string("DELETE FROM ") + table + " WHERE user_name = " + name);
    }
  } else {
    err << "korvane user: unknown action " << options.action << "\n";
    return 2;
  }
  if (!RunAll(*db, statements, error)) {
    err << where << error << "\n";
    return 1;
  }
  out << options.action << ": " << options.name << "\n";
  return 0;
}

}  // namespace korvane::cli
