// korvane: the reference host's command line.
#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "demo_command.h"
#include "migrate_command.h"
#include "script_command.h"
#include "serve_command.h"
#include "user_command.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Korvane is a library of manufacturing-ERP business modules (work reports with piece-rate\n"
      "wages, master production plans, bills of materials, process routes, pickers and reports)\n"
      "that a host application embeds. This command is its reference host.",
      "korvane"};
  app.set_version_flag("-V,--version", std::string("korvane ") + KORVANE_VERSION);
  app.require_subcommand(0, 1);

  korvane::cli::InitOptions init;
  int scale = 0;
  auto* init_cmd = app.add_subcommand(
      "init", "Create a database or upgrade an older one, optionally with demo or volume data");
  init_cmd->add_option("--db", init.database, "database file")->required();
  auto* demo = init_cmd->add_flag("--demo", init.demo, "load the demo factory (new database)");
  init_cmd
      ->add_option("--scale", scale,
                   "generate volume data: N x 1000 products and N x 10000 work report lines")
      ->excludes(demo);

  korvane::cli::SqlOptions sql;
  auto* sql_cmd = app.add_subcommand("sql", "Run a T-SQL statement or batch and print its rows");
  sql_cmd->add_option("--db", sql.database, "database file")->required();
  sql_cmd->add_option("statement", sql.statement, "T-SQL text")->required();

  korvane::cli::ScriptOptions script;
  auto* script_cmd = app.add_subcommand(
      "script", "Drive modules from JSON steps (one a line) and print one JSON answer a step");
  script_cmd->add_option("--db", script.database, "database file")->capture_default_str();
  script_cmd->add_option("--user", script.user, "user name");
  script_cmd->add_option("--date", script.date, "business date yyyy-mm-dd");
  script_cmd->add_option("--folder", script.folder, "root folder of the per-user files");
  script_cmd->add_option("file", script.file, "script file; - or none reads standard input");

  korvane::cli::ServeOptions serve;
  auto* serve_cmd = app.add_subcommand(
      "serve", "Serve the modules to web browsers: the page and its JSON API (docs/web.md)");
  serve_cmd->add_option("--db", serve.database, "database file")->required();
  serve_cmd->add_option("--listen", serve.listen, "address and port to listen on")
      ->capture_default_str();
  serve_cmd->add_option("--user", serve.user, "user name of every session");
  serve_cmd->add_option("--date", serve.date, "business date yyyy-mm-dd");
  serve_cmd->add_option("--folder", serve.folder, "root folder of the per-user files");

  korvane::cli::PayrollImportOptions payroll;
  auto* payroll_cmd = app.add_subcommand("payroll", "The wage office's steps on the database");
  payroll_cmd->require_subcommand(1);
  auto* payroll_import = payroll_cmd->add_subcommand(
      "import", "Take the wage rows approved work reports handed over into payroll");
  payroll_import->add_option("--db", payroll.database, "database file")->required();
  payroll_import->add_option("--period", payroll.period,
                             "only the rows of this accounting period yyyymm");

  korvane::cli::DemoOptions demo_walk;
  auto* demo_cmd = app.add_subcommand(
      "demo", "Create a demo factory and walk a work report from entry to the wage hand-over");
  demo_cmd->add_option("--db", demo_walk.database,
                       "database file to create (a temporary folder when left out)");

  korvane::cli::MigrateOptions migrate;
  auto* migrate_cmd = app.add_subcommand(
      "migrate", "Copy a whole database into a new, empty one: a file to a server or back");
  migrate_cmd->add_option("--from", migrate.from, "database file or postgresql:// URI")->required();
  migrate_cmd->add_option("--to", migrate.to, "database file or postgresql:// URI")->required();

  korvane::cli::UserOptions user;
  std::string user_password;
  auto* user_cmd = app.add_subcommand("user", "Add, change or remove the users who sign in");
  user_cmd->require_subcommand(1);
  std::vector<CLI::App*> user_actions;
  for (const char* action : {"add", "passwd", "remove"}) {
    auto* sub = user_cmd->add_subcommand(
        action, std::string_view(action) == "add" ? "Add a user with a password"
                : std::string_view(action) == "passwd"
                    ? "Set a user's password"
                    : "Remove a user with everything kept for them");
    sub->add_option("--db", user.database, "database file or postgresql:// URI")->required();
    sub->add_option("name", user.name, "user name")->required();
    if (std::string_view(action) != "remove") {
      sub->add_option("--password", user_password,
                      "password; standard input's first line when left out");
    }
    if (std::string_view(action) == "add") {
      sub->add_option("--full-name", user.full_name, "the name shown");
      sub->add_option("--right", user.rights, "program id the user may approve in (0: all)");
    }
    user_actions.push_back(sub);
  }

  CLI11_PARSE(app, argc, argv);

  for (auto* sub : user_actions) {
    if (!sub->parsed()) continue;
    user.action = sub->get_name();
    if (auto* given = sub->get_option_no_throw("--password"); given && given->count() > 0) {
      user.password = user_password;
    }
    return korvane::cli::RunUser(user, std::cin, std::cout, std::cerr);
  }

  if (init_cmd->parsed()) {
    if (init_cmd->count("--scale") > 0) init.scale = scale;
    return korvane::cli::RunInit(init, std::cout, std::cerr);
  }
  if (migrate_cmd->parsed()) return korvane::cli::RunMigrate(migrate, std::cout, std::cerr);
  if (sql_cmd->parsed()) return korvane::cli::RunSql(sql, std::cout, std::cerr);
  if (payroll_import->parsed()) {
    return korvane::cli::RunPayrollImport(payroll, std::cout, std::cerr);
  }
  if (demo_cmd->parsed()) return korvane::cli::RunDemo(demo_walk, std::cout, std::cerr);
  if (serve_cmd->parsed()) return korvane::cli::RunServe(serve, std::cout, std::cerr);
  if (script_cmd->parsed()) return korvane::cli::RunScript(script, std::cin, std::cout, std::cerr);
  std::cout << app.help();
  return 0;
}
