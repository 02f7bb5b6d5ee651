// korvane script.
#include "script_command.h"

#include <filesystem>
#include <fstream>

#include "data/pg_data_service.h"
#include "hostapp/reference_host.h"
#include "hostapp/script_host.h"
#include "registration/registry.h"
#include "values/variant.h"

namespace korvane::cli {

int RunScript(const ScriptOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err) {
  hostapp::ReferenceHostOptions host_options;
  host_options.database_path = options.database;
  host_options.user_name = options.user;
  host_options.local_folder = options.folder;
  host_options.sqlite.create = false;
  if (!options.date.empty()) {
    const auto date = ParseDate(options.date);
    if (!date) {
      err << "korvane script: --date " << options.date << " is not a date (yyyy-mm-dd)\n";
      return 2;
    }
    host_options.business_date = DateOf(*date);
  }

  std::ifstream file;
  std::istream* source = &in;
  if (!options.file.empty() && options.file != "-") {
    file.open(options.file);
    if (!file) {
      err << "korvane script: cannot read " << options.file << "\n";
      return 2;
    }
    source = &file;
  }

  // The scripted host runs its modules on a database file; a server database is refused by
  // name rather than taken for a file that does not exist.
  if (data::IsPostgresUri(options.database)) {
    err << "korvane script: the scripted host runs on a database file only for now, not on "
        << options.database << "\n";
    return 1;
  }
  if (!std::filesystem::exists(options.database)) {
    err << "korvane script: " << options.database
        << " does not exist; create it with korvane init\n";
    return 1;
  }
  const hostapp::ModuleFactory create = [](std::string_view progid) {
    return ClassRegistry::Instance().Create(progid);
  };
  hostapp::ScriptHost script(create);
  host_options.module_factory = create;
  std::string error;
  auto host = hostapp::ReferenceHost::Open(host_options, script.dialogs(), error);
  if (!host) {
    err << "korvane script: " << error << "\n";
    return 1;
  }
  script.set_host(host);
  const int status = script.Run(*source, out);
  if (status != 0) err << "korvane script: " << script.failures() << " step(s) failed\n";
  return status;
}

}  // namespace korvane::cli
