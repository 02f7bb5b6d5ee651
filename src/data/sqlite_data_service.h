// SqliteDataService: the host's DataService over an embedded SQLite database file. Statement
// texts arrive in T-SQL and are translated (data/tsql_translator.h) before they run; procedure
// calls (command type 4) and the database's scalar functions are C++ bodies registered here.
//
// One object is one connection. Several processes may share a file: the journal is WAL and a
// busy database is waited for (SqliteOptions::busy_timeout) before the statement fails with an
// error text. Nothing throws through the DataService members; failures return nullptr/false/
// an empty Variant and leave their text in LastError().
#ifndef KORVANE_DATA_SQLITE_DATA_SERVICE_H_
#define KORVANE_DATA_SQLITE_DATA_SERVICE_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/schema_catalog.h"
#include "data/tsql_translator.h"
#include "host/data_service.h"
#include "values/recordset.h"
#include "values/variant.h"

struct sqlite3;

namespace korvane::data {

struct SqliteOptions {
  // How long a statement waits for another connection's write lock before it fails.
  std::chrono::milliseconds busy_timeout{5000};
  // Create the file when it does not exist (otherwise opening a missing file fails).
  bool create = true;
  // Statements that differ only in their number and text literals share one translation and
  // one compiled statement, the literals bound as values (data/tsql_shape.h). Off, every new
  // statement text is translated and compiled afresh. The environment variable
  // KORVANE_SHAPE_CACHE=off turns it off for every connection a process opens.
  bool shape_cache = true;
  // How many compiled statements a connection keeps for reuse; the least recently used goes.
  std::size_t statement_cache = 256;
};

// What a connection has done with the statement texts it was sent, for tests and benchmarks.
struct SqliteStatistics {
  std::uint64_t shaped = 0;    // text commands served by their literal shape
  std::uint64_t plain = 0;     // text commands translated by their whole text
  std::uint64_t compiled = 0;  // statements SQLite compiled (the rest were reused)
};

// Runs SQLite SQL (not T-SQL: no translation) with positional '?' parameters bound to values,
// so no value is ever spliced into the text. What the database's own procedures, functions,
// migrations and the reference host use.
class SqlReader {
 public:
  virtual ~SqlReader() = default;
  // The rows selected; nullptr with `error` set on failure.
  virtual std::unique_ptr<Recordset> Query(std::string_view sql, const std::vector<Variant>& binds,
                                           std::string& error) = 0;
  // Runs one statement for its effect; false with `error` set on failure.
  virtual bool Exec(std::string_view sql, const std::vector<Variant>& binds,
                    std::string& error) = 0;
  // The database the SQL is written for; a body whose SQL cannot be written once for both
  // asks.
  virtual SqlTarget target() const { return SqlTarget::kSqlite; }
};

// A stored procedure: reads its (positional) parameters, may write output parameters back, and
// returns its result set (an empty recordset when it selects nothing). On failure it sets
// `error` and returns nullptr.
using Procedure = std::function<std::unique_ptr<Recordset>(std::vector<Parameter>& parameters,
                                                           SqlReader& db, std::string& error)>;
// A scalar function callable from statements, with or without the "dbo." prefix. Throwing a
// std::exception makes the calling statement fail with the exception's text.
using ScalarFunction = std::function<Variant(const std::vector<Variant>& args, SqlReader& db)>;

class SqliteDataService final : public DataService {
 public:
  // Opens (or creates) the database file and prepares the connection: WAL journal, busy
  // timeout, double-quoted strings off, the T-SQL collation and runtime functions registered.
  // Returns nullptr with `error` set when the file cannot be opened.
  static std::shared_ptr<SqliteDataService> Open(const std::string& path, SqliteOptions options,
                                                 std::string& error);
  ~SqliteDataService() override;
  SqliteDataService(const SqliteDataService&) = delete;
  SqliteDataService& operator=(const SqliteDataService&) = delete;

  // DataService. Text commands may hold several statements; Open returns the rows of the last
  // statement that selects. BeginTrans takes the write lock at once (BEGIN IMMEDIATE), so a
  // transaction never fails half-way because another process wrote first.
  std::unique_ptr<Recordset> Open(Command& command) override;
  bool Execute(Command& command) override;
  Variant Scalar(Command& command) override;
  bool BeginTrans() override;
  bool CommitTrans() override;
  bool RollbackTrans() override;
  std::string LastError() const override;
  std::int64_t RowsAffected() const override;

  bool InTransaction() const;
  SqliteStatistics Statistics() const;
  bool ShapeCacheOn() const;

  // SQLite SQL without translation, for the reference host, migrations and procedures.
  SqlReader& Native();
  // Runs a script of SQLite statements separated by ';' (a migration, the demo data).
  bool ExecScript(std::string_view script, std::string& error);

  // Registers a stored procedure reached by command type 4 (name matched ignoring ASCII case,
  // an optional "dbo." prefix ignored). A later registration of the same name replaces it.
  void RegisterProcedure(std::string_view name, Procedure procedure);
  // Registers a scalar function; `arg_count` -1 accepts any number of arguments.
  // Returns false with LastError() set when SQLite refuses it.
  bool RegisterFunction(std::string_view name, int arg_count, ScalarFunction function);

  // The columns the tables declare; rebuilt by ReloadCatalog() (call it after DDL; migrations
  // do).
  const SchemaCatalog& catalog() const;
  void ReloadCatalog();

  const std::string& path() const;
  // The underlying connection, for benchmarks and tests that need SQLite itself.
  sqlite3* handle();

  // Test hook: before each statement runs, `fail_when` is asked with the statement's SQLite
  // text; when it returns true the statement fails with the text "injected failure" instead of
  // running. Pass an empty function to stop injecting.
  void InjectFailures(std::function<bool(std::string_view statement)> fail_when);

 private:
  struct Impl;
  explicit SqliteDataService(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::data

#endif  // KORVANE_DATA_SQLITE_DATA_SERVICE_H_
