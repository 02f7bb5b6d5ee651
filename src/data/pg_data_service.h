// PgDataService: the host's DataService over a PostgreSQL server, through one libpq connection.
// Statement texts arrive in T-SQL and are translated for PostgreSQL (data/tsql_translator.h,
// SqlTarget::kPostgres) before they run; procedure calls (command type 4) are the same C++
// bodies the SQLite service runs, reading the server through a SqlReader whose SQL takes '?'
// (or '?N') placeholders.
//
// Recordsets have the field types and values SQLite recordsets have: dates and timestamps as
// dates, float, real and numeric as doubles, smallint, integer and bigint as integers, booleans
// as 0/1, everything else as text.
//
// A batch of several statements sent outside a transaction is applied whole or not at all. In a
// transaction, a failing statement or procedure call leaves nothing of itself and the
// transaction open, as on SQLite (each call runs under a savepoint). Transactions do not nest.
//
// When the connection to the server is lost, the call fails with a text saying so; an open
// transaction is lost whole and the service is no longer in one. The next call connects again.
// Nothing throws through the DataService members.
#ifndef KORVANE_DATA_PG_DATA_SERVICE_H_
#define KORVANE_DATA_PG_DATA_SERVICE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/schema_catalog.h"
#include "data/sqlite_data_service.h"
#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

namespace korvane::data {

// Whether `text` names a PostgreSQL database ("postgresql://..." or "postgres://...").
bool IsPostgresUri(std::string_view text);

class PgDataService final : public DataService {
 public:
  // Connects to the server `uri` names (a libpq connection URI). Returns nullptr with `error`
  // set when the server cannot be reached or refuses the connection.
  static std::shared_ptr<PgDataService> Open(const std::string& uri, std::string& error);
  ~PgDataService() override;
  PgDataService(const PgDataService&) = delete;
  PgDataService& operator=(const PgDataService&) = delete;

  // DataService. Open returns the rows of the last statement of a batch that selects.
  std::unique_ptr<Recordset> Open(Command& command) override;
  bool Execute(Command& command) override;
  Variant Scalar(Command& command) override;
  bool BeginTrans() override;
  bool CommitTrans() override;
  bool RollbackTrans() override;
  std::string LastError() const override;
  std::int64_t RowsAffected() const override;

  bool InTransaction() const;

  // PostgreSQL SQL without translation ('?' placeholders), for the reference host, migrations
  // and procedures.
  SqlReader& Native();
  // Runs a script of PostgreSQL statements in one round trip (no placeholders).
  bool ExecScript(std::string_view script, std::string& error);

  // Registers a stored procedure reached by command type 4 (name matched ignoring ASCII case,
  // an optional "dbo." prefix ignored). A later registration of the same name replaces it.
  void RegisterProcedure(std::string_view name, Procedure procedure);

  // The columns the tables of the current schema declare, from information_schema; rebuilt by
  // ReloadCatalog() and after every statement that changes the schema.
  const SchemaCatalog& catalog() const;
  void ReloadCatalog();

  const std::string& uri() const;
  // The server's process id of the current connection (0 when not connected), so that a test
  // can end it from another connection.
  int BackendPid() const;

 private:
  struct Impl;
  explicit PgDataService(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// "?" and "?N" placeholders of a SQLite-style statement as PostgreSQL's "$N" (a bare "?" takes
// one above the highest number used before it, as SQLite numbers it). Texts in quotes, quoted
// names and comments are left alone.
std::string PgPlaceholders(std::string_view sql);
// The same, setting `highest` to the highest placeholder number (how many values it takes).
std::string PgPlaceholders(std::string_view sql, long& highest);

}  // namespace korvane::data

#endif  // KORVANE_DATA_PG_DATA_SERVICE_H_
