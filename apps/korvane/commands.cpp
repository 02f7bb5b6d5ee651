// korvane init, korvane sql and korvane payroll import.
#include "commands.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "data/open_data_service.h"
#include "data/pg_data_service.h"
#include "data/pg_schema.h"
#include "data/schema.h"
#include "data/sqlite_data_service.h"
#include "hostapp/db_procedures.h"
#include "hostapp/demo_data.h"
#include "hostapp/payroll_intake.h"
#include "hostapp/reference_host.h"
#include "table_text.h"

namespace korvane::cli {
namespace {

std::shared_ptr<data::SqliteDataService> OpenFile(const std::string& path, bool create,
                                                  std::ostream& err) {
  std::string error;
  data::SqliteOptions sqlite;
  sqlite.create = create;
  auto db = data::SqliteDataService::Open(path, sqlite, error);
  if (!db) err << "korvane: cannot open " << path << ": " << error << "\n";
  return db;
}

bool HoldsBusinessData(data::SqliteDataService& db) {
  std::string error;
  auto rows = db.Native().Query("SELECT COUNT(*) FROM xt_menu", {}, error);
  return rows && rows->RecordCount() > 0 && rows->Rows()[0][0].ToInt64() > 0;
}

bool HoldsBusinessData(DataService& db) {
  const Variant count = db.ScalarSql("select count(*) from xt_menu");
  return count.ToInt64() > 0;
}

// korvane init on a server database: the schema created or upgraded, the demo when asked.
int RunInitOnServer(const InitOptions& options, std::ostream& out, std::ostream& err) {
  if (options.scale) {
    err << "korvane init: --scale generates data into a database file only\n";
    return 2;
  }
  std::string error;
  auto db = data::PgDataService::Open(options.database, error);
  if (!db) {
    err << "korvane init: " << error << "\n";
    return 1;
  }
  const int before = data::PgSchemaVersion(*db);
  if (before < 0 || !data::MigratePgSchema(*db, error)) {
    err << "korvane init: " << (before < 0 ? db->LastError() : error) << "\n";
    return 1;
  }
  const int after = data::PgSchemaVersion(*db);
  if (before == 0) {
    out << "created the schema in " << options.database << " at schema version " << after << "\n";
  } else if (before < after) {
    out << "upgraded " << options.database << " from schema version " << before << " to " << after
        << "\n";
  } else {
    out << options.database << " is up to date (schema version " << after << ")\n";
  }
  if (options.demo) {
    if (HoldsBusinessData(static_cast<DataService&>(*db))) {
      err << "korvane init: " << options.database
          << " already holds data; the demo factory is loaded into a new database only\n";
      return 1;
    }
    if (!hostapp::LoadDemoData(*db, error)) {
      err << "korvane init: loading the demo factory failed: " << error << "\n";
      return 1;
    }
    out << "loaded the demo factory\n";
  }
  return 0;
}

// korvane sql on a server database: the procedures registered, the batch run.
int RunSqlOnServer(const SqlOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  auto service = data::OpenDataService(options.database, error);
  auto* db = dynamic_cast<data::PgDataService*>(service.get());
  if (db == nullptr) {
    err << "korvane sql: " << error << "\n";
    return 1;
  }
  hostapp::RegisterDatabaseObjects(*db);
  Command command{options.statement, CommandType::kText, {}};
  auto rows = db->Open(command);
  if (!rows) {
    err << db->LastError() << "\n";
    return 1;
  }
  if (rows->FieldCount() > 0) {
    out << FormatTable(*rows);
  } else {
    const auto changed = db->RowsAffected();
    out << "(" << changed << (changed == 1 ? " row changed)\n" : " rows changed)\n");
  }
  return 0;
}

}  // namespace

int RunInit(const InitOptions& options, std::ostream& out, std::ostream& err) {
  if (options.database.empty()) {
    err << "korvane init: --db FILE is required\n";
    return 2;
  }
  if (options.demo && options.scale) {
    err << "korvane init: choose either --demo or --scale\n";
    return 2;
  }
  if (data::IsPostgresUri(options.database)) return RunInitOnServer(options, out, err);
  if (options.scale && *options.scale < 1) {
    err << "korvane init: --scale must be 1 or more\n";
    return 2;
  }
  const bool existed = std::filesystem::exists(options.database);
  auto db = OpenFile(options.database, true, err);
  if (!db) return 1;

  const int before = data::SchemaVersion(*db);
  std::string error;
  if (before < 0 || !data::MigrateSchema(*db, error)) {
    err << "korvane init: " << (before < 0 ? db->LastError() : error) << "\n";
    return 1;
  }
  const int after = data::SchemaVersion(*db);
  if (before == 0) {
    out << (existed ? "created the schema in " : "created ") << options.database
        << " at schema version " << after << "\n";
  } else if (before < after) {
    out << "upgraded " << options.database << " from schema version " << before << " to " << after
        << "\n";
  } else {
    out << options.database << " is up to date (schema version " << after << ")\n";
  }

  if (options.demo) {
    if (HoldsBusinessData(*db)) {
      err << "korvane init: " << options.database
          << " already holds data; the demo factory is loaded into a new database only\n";
      return 1;
    }
    if (!hostapp::LoadDemoData(*db, error)) {
      err << "korvane init: loading the demo factory failed: " << error << "\n";
      return 1;
    }
    out << "loaded the demo factory\n";
  }
  if (options.scale) {
    if (!hostapp::GenerateScaleData(*db, *options.scale, error)) {
      err << "korvane init: generating data failed: " << error << "\n";
      return 1;
    }
    out << "generated data at scale " << *options.scale << "\n";
  }
  return 0;
}

int RunSql(const SqlOptions& options, std::ostream& out, std::ostream& err) {
  if (options.database.empty()) {
    err << "korvane sql: --db FILE is required\n";
    return 2;
  }
  if (data::IsPostgresUri(options.database)) return RunSqlOnServer(options, out, err);
  if (!std::filesystem::exists(options.database)) {
    err << "korvane sql: " << options.database << " does not exist; create it with korvane init\n";
    return 1;
  }
  std::string error;
  hostapp::ReferenceHostOptions host_options;
  host_options.database_path = options.database;
  host_options.sqlite.create = false;
  auto host = hostapp::ReferenceHost::Open(host_options, nullptr, error);
  if (!host) {
    err << "korvane sql: " << error << "\n";
    return 1;
  }
  auto& db = host->database();
  const auto changes_before = sqlite3_total_changes64(db.handle());
  Command command{options.statement, CommandType::kText, {}};
  auto rows = db.Open(command);
  if (!rows) {
    err << db.LastError() << "\n";
    return 1;
  }
  if (rows->FieldCount() > 0) {
    out << FormatTable(*rows);
  } else {
    const auto changed = sqlite3_total_changes64(db.handle()) - changes_before;
    out << "(" << changed << (changed == 1 ? " row changed)\n" : " rows changed)\n");
  }
  return 0;
}

int RunPayrollImport(const PayrollImportOptions& options, std::ostream& out, std::ostream& err) {
  if (options.database.empty()) {
    err << "korvane payroll import: --db FILE is required\n";
    return 2;
  }
  if (data::IsPostgresUri(options.database)) {
    err << "korvane payroll import: the intake runs on a database file only for now\n";
    return 1;
  }
  std::optional<int> period;
  if (!options.period.empty()) {
    period = hostapp::ParsePayrollPeriod(options.period);
    if (!period) {
      err << "korvane payroll import: --period must be a period yyyymm with a month 01 to 12, not "
             "\""
          << options.period << "\"\n";
      return 2;
    }
  }
  if (!std::filesystem::exists(options.database)) {
    err << "korvane payroll import: " << options.database
        << " does not exist; create it with korvane init\n";
    return 1;
  }
  std::string error;
  hostapp::ReferenceHostOptions host_options;
  host_options.database_path = options.database;
  host_options.sqlite.create = false;
  auto host = hostapp::ReferenceHost::Open(host_options, nullptr, error);
  if (!host) {
    err << "korvane payroll import: " << error << "\n";
    return 1;
  }
  const hostapp::PayrollIntake intake = hostapp::TakeWagesIntoPayroll(*host, period);
  if (!intake.done) {
    err << "korvane payroll import: " << intake.error << "\n";
    return 1;
  }
  out << "took " << intake.taken << (intake.taken == 1 ? " wage row" : " wage rows")
      << " into payroll" << (period ? " for period " + options.period : std::string()) << "\n";
  return 0;
}

}  // namespace korvane::cli
