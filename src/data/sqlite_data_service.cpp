// The DataService over an embedded SQLite file: translated T-SQL batches, procedures and
// functions implemented in C++, transactions, and the plain SQLite access the host uses.
#include "data/sqlite_data_service.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <exception>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "data/sqlite_values_internal.h"
#include "data/tsql_runtime.h"
#include "data/tsql_shape.h"
#include "data/tsql_translator.h"

namespace korvane::data {

using sqlite_internal::BindVariant;
using sqlite_internal::ResultCollector;
using sqlite_internal::SetResult;
using sqlite_internal::VariantOfValue;

namespace {

// Number literals already converted by SQLite, kept up to this many.
constexpr std::size_t kRealLiteralCapacity = 4096;
// How much of a failing statement an error text quotes.
constexpr std::size_t kQuotedStatementChars = 120;
constexpr const char* kCallSavepoint = "korvane_call";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The statement on one line, cut after kQuotedStatementChars characters. A NUL byte shows as
// "\0": a message holding the byte itself would end there for most readers.
std::string StatementBeginning(std::string_view sql) {
  std::string flat;
  for (char c : sql) {
    if (IsBlank(c)) {
      if (!flat.empty() && flat.back() != ' ') flat += ' ';
    } else if (c == '\0') {
      flat += "\\0";
    } else {
      flat += c;
    }
  }
  while (!flat.empty() && flat.back() == ' ') flat.pop_back();
  if (CodePointCount(flat) <= kQuotedStatementChars) return flat;
  return LeftChars(flat, kQuotedStatementChars) + "...";
}

std::string InStatement(std::string message, std::string_view sql) {
  return message + " (in: " + StatementBeginning(sql) + ")";
}

// Why a statement must not run because its text or a text value holds a NUL byte; empty when
// none does. SQLite would read the statement only up to the NUL ("delete from t\0 where ..."
// deletes every row), and a stored NUL would cut every later statement that quotes the value.
template <typename Values, typename ValueOf>
std::string NulRefusal(std::string_view what, std::string_view sql, const Values& values,
                       ValueOf value_of) {
  if (HoldsNul(sql)) return InStatement(std::string(what) + " refused: it holds a NUL byte", sql);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const Variant& value = value_of(values[i]);
    if (value.type() == VarType::kText && HoldsNul(value.text())) {
      return InStatement(
          std::string(what) + " refused: its value " + std::to_string(i + 1) + " holds a NUL byte",
          sql);
    }
  }
  return {};
}

std::string NulRefusal(std::string_view sql, const std::vector<Variant>& binds) {
  return NulRefusal("statement", sql, binds, [](const Variant& v) -> const Variant& { return v; });
}

// Where a statement's text begins, after blanks and comments (and opening parentheses when
// `parentheses` is set).
std::size_t StatementStart(std::string_view sql, bool parentheses) {
  std::size_t i = 0;
  while (i < sql.size()) {
    if (IsBlank(sql[i]) || (parentheses && sql[i] == '(')) {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      const std::size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(i, 2) == "/*") {
      const std::size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  return i;
}

// The first word of a statement, upper-cased.
std::string FirstKeyword(std::string_view sql) {
  const std::size_t i = StatementStart(sql, true);
  std::size_t end = i;
  while (end < sql.size() &&
         ((sql[end] >= 'A' && sql[end] <= 'Z') || (sql[end] >= 'a' && sql[end] <= 'z'))) {
    ++end;
  }
  return ToUpperAscii(sql.substr(i, end - i));
}

bool IsTransactionControl(const std::string& keyword) {
  return keyword == "BEGIN" || keyword == "COMMIT" || keyword == "END" || keyword == "ROLLBACK" ||
         keyword == "SAVEPOINT" || keyword == "RELEASE";
}

// Whether a batch must run in a transaction of its own so that a failure half-way leaves
// nothing written. Only batches that write need it; a batch that manages its own transaction
// cannot have it.
template <typename Statements, typename TextOf>
bool BatchNeedsTransaction(const Statements& statements, TextOf text_of) {
  if (statements.size() < 2) return false;
  bool writes = false;
  for (const auto& s : statements) {
    const std::string keyword = FirstKeyword(text_of(s));
    if (IsTransactionControl(keyword)) return false;
    if (keyword != "SELECT" && keyword != "VALUES") writes = true;
  }
  return writes;
}

// "[dbo].[p_X]", "dbo.p_x" and "P_X" all name the same procedure.
std::string ProcedureKey(std::string_view name) {
  std::string plain;
  for (char c : Trim(name)) {
    if (c != '[' && c != ']') plain += c;
  }
  if (plain.size() > 4 && EqualsIgnoreCase(std::string_view(plain).substr(0, 4), "dbo.")) {
    plain.erase(0, 4);
  }
  return ToUpperAscii(plain);
}

// KORVANE_SHAPE_CACHE=off (or 0, no, false) turns the literal-shape cache off.
bool ShapeCacheAllowed() {
  const char* value = std::getenv("KORVANE_SHAPE_CACHE");
  if (value == nullptr) return true;
  const std::string v = ToLowerAscii(value);
  return !(v == "off" || v == "0" || v == "no" || v == "false");
}

// A shaped statement as it would read with its literals written in: what an error text
// quotes and the failure hook is asked with.
struct Shown {
  const ShapedStatement& statement;
  const LiteralShape& shape;
};

}  // namespace

struct SqliteDataService::Impl {
  class NativeReader final : public SqlReader {
   public:
    explicit NativeReader(Impl& impl) : impl_(impl) {}
    std::unique_ptr<Recordset> Query(std::string_view sql, const std::vector<Variant>& binds,
                                     std::string& error) override {
      error.clear();
      try {
        if (error = NulRefusal(sql, binds); !error.empty()) return nullptr;
        std::optional<Recordset> rows;
        std::size_t next = 0;
        if (!impl_.RunStatement(sql, binds, next, true, &rows, true, error)) return nullptr;
        return std::make_unique<Recordset>(rows ? std::move(*rows) : Recordset());
      } catch (const std::exception& e) {
        error = InStatement(e.what(), sql);
      }
      return nullptr;
    }
    bool Exec(std::string_view sql, const std::vector<Variant>& binds,
              std::string& error) override {
      error.clear();
      try {
        if (error = NulRefusal(sql, binds); !error.empty()) return false;
        std::size_t next = 0;
        return impl_.RunStatement(sql, binds, next, true, nullptr, true, error);
      } catch (const std::exception& e) {
        error = InStatement(e.what(), sql);
      }
      return false;
    }

   private:
    Impl& impl_;
  };

  // What a registered function's trampoline needs; owned by SQLite (freed by its destructor
  // callback when the function is replaced or the connection closes).
  struct FunctionEntry {
    std::string name;
    ScalarFunction function;
    Impl* impl;
  };

  Impl() : native(*this) {}
  ~Impl() {
    ClearStatements();
    if (real_of_text != nullptr) sqlite3_finalize(real_of_text);
    if (db != nullptr) sqlite3_close_v2(db);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  sqlite3* db = nullptr;
  std::string path;
  SqliteOptions options;
  SchemaCatalog catalog;
  // Set when a statement of this connection may have changed the schema. Checking the
  // database's schema version before every command instead costs more than many a command;
  // another connection's schema changes need ReloadCatalog().
  bool catalog_dirty = false;
  TranslationCache translations;
  std::string last_error;
  // Rows written by the statements of the last Open or Execute.
  std::int64_t rows_affected = 0;
  std::map<std::string, Procedure> procedures;
  std::function<bool(std::string_view)> fail_when;
  // Compiled statements kept for reuse, most recently used first, found by their text (the
  // map's keys view the texts the list holds).
  struct Compiled {
    std::string sql;
    sqlite3_stmt* stmt;
  };
  std::list<Compiled> lru;
  std::unordered_map<std::string_view, std::list<Compiled>::iterator> statements;
  bool shape_cache_on = true;
  ShapeCache shapes;
  // "SELECT CAST(?1 AS REAL)": SQLite's own reading of a number literal with a fraction or an
  // exponent, so that the value bound is the very double the literal would have compiled to.
  sqlite3_stmt* real_of_text = nullptr;
  std::unordered_map<std::string, double> real_literals;
  SqliteStatistics statistics;
  NativeReader native;

  bool InTransaction() const { return sqlite3_get_autocommit(db) == 0; }

  std::string ErrorText(int rc, std::string_view sql) const {
    std::string message = sqlite3_errmsg(db);
    if ((rc & 0xff) == SQLITE_BUSY) {
      message += " (another connection is writing; waited " +
                 std::to_string(options.busy_timeout.count()) + " ms)";
    }
    return InStatement(std::move(message), sql);
  }

  void NoteSchemaChange(std::string_view sql) {
    if (catalog_dirty) return;
    const std::string keyword = FirstKeyword(sql);
    catalog_dirty = keyword == "CREATE" || keyword == "ALTER" || keyword == "DROP";
  }

  bool Injected(std::string_view sql, std::string& error) const {
    if (!fail_when || !fail_when(sql)) return false;
    error = InStatement("injected failure", sql);
    return true;
  }

  // A prepared statement for `sql`, taken out of the cache so that a nested call running the
  // same text (a function reading the database while its caller steps) prepares its own.
  // nullptr with `error` empty when the text holds no statement.
  sqlite3_stmt* Acquire(std::string_view sql, std::string& error) {
    error.clear();
    if (auto it = statements.find(sql); it != statements.end()) {
      sqlite3_stmt* stmt = it->second->stmt;
      const auto node = it->second;
      statements.erase(it);
      lru.erase(node);
      return stmt;
    }
    if (sql.size() > static_cast<std::size_t>(INT_MAX)) {
      error = "statement too long";
      return nullptr;
    }
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    ++statistics.compiled;
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
    if (rc != SQLITE_OK) {
      error = ErrorText(rc, sql);
      return nullptr;
    }
    const std::string_view rest(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail));
    if (rest.find_first_not_of(" \t\r\n\f;") != std::string_view::npos) {
      sqlite3_stmt* second = nullptr;
      sqlite3_prepare_v2(db, rest.data(), static_cast<int>(rest.size()), &second, nullptr);
      if (second != nullptr) {
        sqlite3_finalize(second);
        sqlite3_finalize(stmt);
        error = InStatement("only one statement may run here", sql);
        return nullptr;
      }
    }
    return stmt;
  }

  // Puts a statement back for reuse after it ran (reset, its values cleared); the least
  // recently used one goes when the cache is full. A statement whose text is there already (a
  // nested call ran the same text) is finalized.
  void Release(std::string_view sql, sqlite3_stmt* stmt) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (options.statement_cache == 0 || statements.count(sql) != 0) {
      sqlite3_finalize(stmt);
      return;
    }
    lru.push_front(Compiled{std::string(sql), stmt});
    statements.emplace(lru.front().sql, lru.begin());
    while (lru.size() > options.statement_cache) {
      statements.erase(lru.back().sql);
      sqlite3_finalize(lru.back().stmt);
      lru.pop_back();
    }
  }

  // A statement that failed is not kept: it is finalized rather than reused.
  static void Discard(sqlite3_stmt* stmt) { sqlite3_finalize(stmt); }

  void ClearStatements() {
    statements.clear();
    for (Compiled& c : lru) sqlite3_finalize(c.stmt);
    lru.clear();
  }

  // Runs one statement to its end. Its '?' markers take values from binds[next...]; `last`
  // requires that every remaining value is used. The rows go to `rows` when it is given and
  // the statement returns columns. `inject` lets the test hook fail it. `shown`, for a shaped
  // statement, is what error texts quote and the hook is asked with.
  bool RunStatement(std::string_view sql, const std::vector<Variant>& binds, std::size_t& next,
                    bool last, std::optional<Recordset>* rows, bool inject, std::string& error,
                    const Shown* shown = nullptr) {
    const auto quoted = [&]() -> std::string {
      return shown != nullptr ? shown->statement.Plain(shown->shape) : std::string(sql);
    };
    if (inject && fail_when) {
      if (Injected(shown != nullptr ? std::string_view(quoted()) : sql, error)) return false;
    }
    NoteSchemaChange(sql);
    sqlite3_stmt* stmt = Acquire(sql, error);
    if (stmt == nullptr) return error.empty();
    const auto wanted = static_cast<std::size_t>(sqlite3_bind_parameter_count(stmt));
    const std::size_t available = binds.size() - next;
    if (wanted > available || (last && wanted != available)) {
      error =
          InStatement("the statement takes " + std::to_string(wanted) + " parameter value(s) but " +
                          std::to_string(available) + " were given",
                      quoted());
      Release(sql, stmt);
      return false;
    }
    for (std::size_t i = 0; i < wanted; ++i) {
      const int rc = BindVariant(stmt, static_cast<int>(i + 1), binds[next + i]);
      if (rc != SQLITE_OK) {
        error = ErrorText(rc, quoted());
        Discard(stmt);
        return false;
      }
    }
    next += wanted;
    // The columns are read once the statement has stepped: a cached statement is prepared
    // again by its first step when the schema changed, and may then have other columns.
    std::optional<ResultCollector> collector;
    int rc = SQLITE_OK;
    try {
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (rows == nullptr) continue;
        if (!collector) collector.emplace(stmt);
        collector->AddRow(stmt);
      }
      if (rc == SQLITE_DONE && rows != nullptr && !collector && sqlite3_column_count(stmt) > 0) {
        collector.emplace(stmt);
      }
    } catch (...) {
      Discard(stmt);
      throw;
    }
    if (rc != SQLITE_DONE) {
      error = ErrorText(rc, quoted());
      Discard(stmt);
      return false;
    }
    if (sqlite3_stmt_readonly(stmt) == 0) rows_affected += sqlite3_changes64(db);
    Release(sql, stmt);
    if (collector) *rows = collector->Finish();
    return true;
  }

  // The data service's own statements (transaction control): never injected, no values.
  bool RunInternal(std::string_view sql, std::string& error) {
    std::size_t next = 0;
    return RunStatement(sql, {}, next, true, nullptr, false, error);
  }

  void Undo() {
    std::string ignored;
    if (InTransaction()) RunInternal("ROLLBACK", ignored);
  }

  void UndoCall() {
    std::string ignored;
    if (!InTransaction()) return;
    RunInternal(std::string("ROLLBACK TO ") + kCallSavepoint, ignored);
    RunInternal(std::string("RELEASE ") + kCallSavepoint, ignored);
  }

  void ReloadCatalog() {
    SchemaCatalog fresh;
    std::optional<Recordset> tables;
    std::string error;
    std::size_t next = 0;
    RunStatement(
        "SELECT name, 'main' FROM main.sqlite_schema WHERE type IN ('table', 'view') "
        "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
        "UNION ALL SELECT name, 'temp' FROM temp.sqlite_schema WHERE type IN ('table', 'view') "
        "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
        {}, next, true, &tables, false, error);
    if (tables) {
      for (const Recordset::Row& table : tables->Rows()) {
        std::optional<Recordset> columns;
        next = 0;
        // A view over a table that is gone cannot be described; it just stays unknown.
        if (!RunStatement("SELECT name, type FROM pragma_table_info(?, ?)", table, next, true,
                          &columns, false, error) ||
            !columns) {
          continue;
        }
        const std::string name = table[0].ToText();
        for (const Recordset::Row& column : columns->Rows()) {
          fresh.AddColumn(name, column[0].ToText(), KindOfDeclaredType(column[1].ToText()));
        }
      }
    }
    catalog = std::move(fresh);
    catalog_dirty = false;
    // A rebuilt catalog may have the generation of the one it replaces.
    translations.Clear();
    shapes.Clear();
  }

  void RefreshCatalog() {
    if (catalog_dirty) ReloadCatalog();
  }

  std::unique_ptr<Recordset> Fail(std::string error) {
    last_error = std::move(error);
    return nullptr;
  }

  // The value a number literal stands for, as SQLite would compile it: a whole number that
  // fits 64 bits as an integer, one with a fraction or an exponent as SQLite reads it. False
  // for a whole number too large (SQLite makes it a double, or with a minus before it the
  // smallest integer): such a statement takes the plain path.
  bool NumberValue(std::string_view text, Variant& out) {
    if (text.find_first_of(".eE") == std::string_view::npos) {
      long long value = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (ec != std::errc{} || end != text.data() + text.size()) return false;
      out = Variant(value);
      return true;
    }
    const std::string key(text);
    if (const auto it = real_literals.find(key); it != real_literals.end()) {
      out = Variant(it->second);
      return true;
    }
    if (real_of_text == nullptr &&
        sqlite3_prepare_v3(db, "SELECT CAST(?1 AS REAL)", -1, SQLITE_PREPARE_PERSISTENT,
                           &real_of_text, nullptr) != SQLITE_OK) {
      return false;
    }
    sqlite3_bind_text(real_of_text, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    const bool ok = sqlite3_step(real_of_text) == SQLITE_ROW &&
                    sqlite3_column_type(real_of_text, 0) == SQLITE_FLOAT;
    const double value = ok ? sqlite3_column_double(real_of_text, 0) : 0;
    sqlite3_reset(real_of_text);
    sqlite3_clear_bindings(real_of_text);
    if (!ok) return false;
    if (real_literals.size() >= kRealLiteralCapacity) real_literals.clear();
    real_literals.emplace(key, value);
    out = Variant(value);
    return true;
  }

  // A text command by its literal shape; nullopt when the shape cannot serve it (the plain
  // path then runs it). Every statement of the batch is compiled before the first runs, so a
  // statement SQLite refuses in its shaped form sends the batch the plain way untouched.
  std::optional<std::unique_ptr<Recordset>> RunShaped(const Command& command) {
    LiteralShape shape;
    if (!ReadLiteralShape(command.text, shape)) return std::nullopt;
    const std::shared_ptr<const ShapedTranslation> shaped =
        shapes.Get(command.text, shape, catalog);
    if (shaped == nullptr) return std::nullopt;
    const std::vector<ShapedStatement>& batch = shaped->statements;
    std::vector<std::vector<Variant>> values(batch.size());
    for (std::size_t i = 0; i < batch.size(); ++i) {
      values[i].reserve(batch[i].literals.size());
      for (std::size_t k = 0; k < batch[i].literals.size(); ++k) {
        const LiteralShape::Literal& l = shape.literals[batch[i].literals[k]];
        if (l.is_text) {
          values[i].emplace_back(LiteralTextValue(l));
        } else if (Variant number; NumberValue(l.text, number) &&
                                   !(batch[i].after_minus[k] != 0 &&
                                     number.type() == VarType::kDouble && number.real() == 0)) {
          values[i].push_back(std::move(number));
        } else {
          return std::nullopt;
        }
      }
    }
    std::string error;
    for (const ShapedStatement& statement : batch) {
      sqlite3_stmt* stmt = Acquire(statement.sql, error);
      if (stmt == nullptr && !error.empty()) return std::nullopt;
      if (stmt != nullptr) Release(statement.sql, stmt);
    }
    ++statistics.shaped;

    const bool own_transaction =
        !InTransaction() &&
        BatchNeedsTransaction(batch,
                              [](const ShapedStatement& s) -> std::string_view { return s.sql; });
    if (own_transaction && !RunInternal("BEGIN IMMEDIATE", error)) return Fail(error);
    std::optional<Recordset> result;
    for (std::size_t i = 0; i < batch.size(); ++i) {
      std::optional<Recordset> rows;
      std::size_t next = 0;
      const Shown shown{batch[i], shape};
      if (!RunStatement(batch[i].sql, values[i], next, true, &rows, true, error, &shown)) {
        if (own_transaction) Undo();
        return Fail(error);
      }
      if (rows) result = std::move(rows);
    }
    if (own_transaction && !RunInternal("COMMIT", error)) {
      Undo();
      return Fail(error);
    }
    return std::make_unique<Recordset>(result ? std::move(*result) : Recordset());
  }

  std::unique_ptr<Recordset> RunText(const Command& command) {
    RefreshCatalog();
    if (shape_cache_on && command.parameters.empty()) {
      if (std::optional<std::unique_ptr<Recordset>> shaped = RunShaped(command)) {
        return std::move(*shaped);
      }
    }
    ++statistics.plain;
    const std::shared_ptr<const Translation> translation = translations.Get(command.text, catalog);
    if (!translation->ok()) return Fail(translation->error);
    const std::vector<std::string>& batch = translation->statements;
    std::vector<Variant> values;
    values.reserve(command.parameters.size());
    for (const Parameter& p : command.parameters) values.push_back(p.value);

    std::string error;
    const bool own_transaction =
        !InTransaction() &&
        BatchNeedsTransaction(batch, [](const std::string& s) -> std::string_view { return s; });
    if (own_transaction && !RunInternal("BEGIN IMMEDIATE", error)) return Fail(error);
    std::optional<Recordset> result;
    std::size_t next = 0;
    for (std::size_t i = 0; i < batch.size(); ++i) {
      std::optional<Recordset> rows;
      if (!RunStatement(batch[i], values, next, i + 1 == batch.size(), &rows, true, error)) {
        if (own_transaction) Undo();
        return Fail(error);
      }
      if (rows) result = std::move(rows);
    }
    if (own_transaction && !RunInternal("COMMIT", error)) {
      Undo();
      return Fail(error);
    }
    return std::make_unique<Recordset>(result ? std::move(*result) : Recordset());
  }

  std::unique_ptr<Recordset> RunProcedure(Command& command) {
    const auto it = procedures.find(ProcedureKey(command.text));
    if (it == procedures.end()) return Fail("procedure not found: " + Trim(command.text));
    std::vector<Parameter> parameters = command.parameters;
    std::string error;
    // A procedure that fails after writing must leave nothing behind, as a statement would.
    const bool own_savepoint = !InTransaction();
    if (own_savepoint && !RunInternal(std::string("SAVEPOINT ") + kCallSavepoint, error)) {
      return Fail(error);
    }
    std::unique_ptr<Recordset> rows;
    try {
      rows = it->second(parameters, native, error);
    } catch (const std::exception& e) {
      rows.reset();
      error = e.what();
    } catch (...) {
      rows.reset();
      error.clear();
    }
    if (rows == nullptr) {
      if (own_savepoint) UndoCall();
      return Fail(error.empty() ? "procedure " + Trim(command.text) + " failed"
                                : "procedure " + Trim(command.text) + ": " + error);
    }
    if (own_savepoint && !RunInternal(std::string("RELEASE ") + kCallSavepoint, error)) {
      UndoCall();
      return Fail(error);
    }
    for (std::size_t i = 0; i < command.parameters.size() && i < parameters.size(); ++i) {
      if (command.parameters[i].output) command.parameters[i].value = parameters[i].value;
    }
    return rows;
  }

  std::unique_ptr<Recordset> Run(Command& command) {
    last_error.clear();
    rows_affected = 0;
    try {
      const bool procedure = command.type == CommandType::kStoredProcedure;
      std::string refusal =
          NulRefusal(procedure ? "procedure call" : "statement", command.text, command.parameters,
                     [](const Parameter& p) -> const Variant& { return p.value; });
      if (!refusal.empty()) return Fail(std::move(refusal));
      if (procedure) return RunProcedure(command);
      return RunText(command);
    } catch (const std::exception& e) {
      last_error = std::string("unexpected failure: ") + e.what();
    } catch (...) {
      last_error = "unexpected failure";
    }
    return nullptr;
  }

  template <typename Body>
  bool Guarded(Body body) {
    last_error.clear();
    try {
      std::string error;
      if (body(error)) return true;
      last_error = error.empty() ? "failed" : std::move(error);
    } catch (const std::exception& e) {
      last_error = std::string("unexpected failure: ") + e.what();
    } catch (...) {
      last_error = "unexpected failure";
    }
    return false;
  }

  bool ExecScript(std::string_view script, std::string& error) {
    if (error = NulRefusal(script, {}); !error.empty()) return false;
    const char* p = script.data();
    const char* const end = script.data() + script.size();
    while (p < end) {
      if (end - p > INT_MAX) {
        error = "script too long";
        return false;
      }
      sqlite3_stmt* stmt = nullptr;
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v2(db, p, static_cast<int>(end - p), &stmt, &tail);
      // The statement's own line, not that of the blanks and comments before it.
      const auto line = [&] {
        const std::string_view rest(p, static_cast<std::size_t>(end - p));
        const char* start = p + StatementStart(rest, false);
        return " at line " + std::to_string(1 + std::count(script.data(), start, '\n'));
      };
      if (rc != SQLITE_OK) {
        error = ErrorText(rc, std::string_view(p, static_cast<std::size_t>(end - p))) + line();
        return false;
      }
      if (stmt == nullptr) break;  // only blanks and comments were left
      std::string_view text(p, static_cast<std::size_t>(tail - p));
      text.remove_prefix(StatementStart(text, false));
      if (Injected(text, error)) {
        sqlite3_finalize(stmt);
        error += line();
        return false;
      }
      NoteSchemaChange(text);
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) error = ErrorText(rc, text) + line();
      sqlite3_finalize(stmt);
      if (rc != SQLITE_DONE) return false;
      p = tail;
    }
    return true;
  }

  static void CallFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* entry = static_cast<FunctionEntry*>(sqlite3_user_data(context));
    try {
      std::vector<Variant> args;
      args.reserve(static_cast<std::size_t>(argc));
      for (int i = 0; i < argc; ++i) args.push_back(VariantOfValue(argv[i]));
      SetResult(context, entry->function(args, entry->impl->native));
    } catch (const std::exception& e) {
      sqlite3_result_error(context, e.what(), -1);
    } catch (...) {
      const std::string message = "function " + entry->name + " failed";
      sqlite3_result_error(context, message.c_str(), -1);
    }
  }

  static void DestroyFunction(void* entry) { delete static_cast<FunctionEntry*>(entry); }
};

SqliteDataService::SqliteDataService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SqliteDataService::~SqliteDataService() = default;

std::shared_ptr<SqliteDataService> SqliteDataService::Open(const std::string& path,
                                                           SqliteOptions options,
                                                           std::string& error) {
  error.clear();
  try {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->options = options;
    impl->shape_cache_on = options.shape_cache && ShapeCacheAllowed();
    const int flags = SQLITE_OPEN_READWRITE | (options.create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.c_str(), &impl->db, flags, nullptr);
    if (rc != SQLITE_OK) {
      error = "cannot open the database " + path + ": " +
              (impl->db != nullptr ? sqlite3_errmsg(impl->db) : sqlite3_errstr(rc));
      return nullptr;
    }
    sqlite3* db = impl->db;
    // A double-quoted name that names no column must fail rather than become a text.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    const auto timeout = options.busy_timeout.count();
    sqlite3_busy_timeout(db, timeout < 0         ? 0
                             : timeout > INT_MAX ? INT_MAX
                                                 : static_cast<int>(timeout));
    // Before any statement: the schema's text columns name the collation.
    if (const int runtime = RegisterTsqlRuntime(db); runtime != SQLITE_OK) {
      error = "cannot prepare the database " + path + ": " + sqlite3_errstr(runtime);
      return nullptr;
    }
    std::string step_error;
    // The first statements are the first to read the file: a file that is no database fails
    // here. The schema declares no foreign keys that the server enforced, so none are enforced.
    if (!impl->RunInternal("PRAGMA journal_mode=WAL", step_error) ||
        !impl->RunInternal("PRAGMA foreign_keys=OFF", step_error)) {
      error = "cannot open the database " + path + ": " + step_error;
      return nullptr;
    }
    impl->ReloadCatalog();
    return std::shared_ptr<SqliteDataService>(new SqliteDataService(std::move(impl)));
  } catch (const std::exception& e) {
    error = "cannot open the database " + path + ": " + e.what();
  }
  return nullptr;
}

std::unique_ptr<Recordset> SqliteDataService::Open(Command& command) { return impl_->Run(command); }

bool SqliteDataService::Execute(Command& command) { return impl_->Run(command) != nullptr; }

std::int64_t SqliteDataService::RowsAffected() const { return impl_->rows_affected; }

Variant SqliteDataService::Scalar(Command& command) {
  const std::unique_ptr<Recordset> rows = impl_->Run(command);
  if (rows == nullptr || rows->RecordCount() == 0 || rows->FieldCount() == 0) return {};
  return rows->Rows().front().front();
}

bool SqliteDataService::BeginTrans() {
  return impl_->Guarded([&](std::string& error) {
    if (impl_->InTransaction()) {
      error = "a transaction is already open (transactions do not nest)";
      return false;
    }
    return impl_->RunInternal("BEGIN IMMEDIATE", error);
  });
}

bool SqliteDataService::CommitTrans() {
  return impl_->Guarded([&](std::string& error) {
    if (!impl_->InTransaction()) {
      error = "no transaction is open to commit";
      return false;
    }
    return impl_->RunInternal("COMMIT", error);
  });
}

bool SqliteDataService::RollbackTrans() {
  return impl_->Guarded([&](std::string& error) {
    if (!impl_->InTransaction()) {
      error = "no transaction is open to roll back";
      return false;
    }
    return impl_->RunInternal("ROLLBACK", error);
  });
}

std::string SqliteDataService::LastError() const { return impl_->last_error; }

bool SqliteDataService::InTransaction() const { return impl_->InTransaction(); }

SqliteStatistics SqliteDataService::Statistics() const { return impl_->statistics; }

bool SqliteDataService::ShapeCacheOn() const { return impl_->shape_cache_on; }

SqlReader& SqliteDataService::Native() { return impl_->native; }

bool SqliteDataService::ExecScript(std::string_view script, std::string& error) {
  error.clear();
  const bool ok = impl_->Guarded([&](std::string& e) { return impl_->ExecScript(script, e); });
  error = impl_->last_error;
  return ok;
}

void SqliteDataService::RegisterProcedure(std::string_view name, Procedure procedure) {
  impl_->procedures[ProcedureKey(name)] = std::move(procedure);
}

bool SqliteDataService::RegisterFunction(std::string_view name, int arg_count,
                                         ScalarFunction function) {
  return impl_->Guarded([&](std::string& error) {
    auto entry = std::make_unique<Impl::FunctionEntry>(
        Impl::FunctionEntry{std::string(name), std::move(function), impl_.get()});
    const std::string function_name = entry->name;
    // SQLite owns the entry from here on, and frees it even when it refuses the function.
    const int rc = sqlite3_create_function_v2(impl_->db, function_name.c_str(), arg_count,
                                              SQLITE_UTF8, entry.release(), &Impl::CallFunction,
                                              nullptr, nullptr, &Impl::DestroyFunction);
    if (rc != SQLITE_OK) {
      error = "cannot register the function " + function_name + ": " + sqlite3_errmsg(impl_->db);
      return false;
    }
    return true;
  });
}

const SchemaCatalog& SqliteDataService::catalog() const {
  impl_->RefreshCatalog();
  return impl_->catalog;
}

void SqliteDataService::ReloadCatalog() { impl_->ReloadCatalog(); }

const std::string& SqliteDataService::path() const { return impl_->path; }

sqlite3* SqliteDataService::handle() { return impl_->db; }

void SqliteDataService::InjectFailures(std::function<bool(std::string_view statement)> fail_when) {
  impl_->fail_when = std::move(fail_when);
}

}  // namespace korvane::data
