// The DataService over a PostgreSQL server: translated T-SQL batches, the C++ procedures over
// a SqlReader of the server, transactions, and the reconnection after a lost connection.
#include "data/pg_data_service.h"

#include <libpq-fe.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "data/tsql_translator.h"

namespace korvane::data {
namespace {

constexpr std::size_t kQuotedStatementChars = 120;
constexpr const char* kCallSavepoint = "korvane_call";

// Type oids of the server's built-in types (pg_type.oid; fixed for every server).
constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kOidOid = 26;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kBpcharOid = 1042;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestamptzOid = 1184;
constexpr Oid kNumericOid = 1700;

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The statement on one line, cut after kQuotedStatementChars characters.
std::string StatementBeginning(std::string_view sql) {
  std::string flat;
  for (char c : sql) {
    if (IsBlankChar(c)) {
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

std::string FirstKeyword(std::string_view sql) {
  std::size_t i = 0;
  while (i < sql.size() && (IsBlankChar(sql[i]) || sql[i] == '(')) ++i;
  std::size_t end = i;
  while (end < sql.size() &&
         ((sql[end] >= 'A' && sql[end] <= 'Z') || (sql[end] >= 'a' && sql[end] <= 'z'))) {
    ++end;
  }
  return ToUpperAscii(sql.substr(i, end - i));
}

bool ChangesSchema(std::string_view sql) {
  const std::string keyword = FirstKeyword(sql);
  return keyword == "CREATE" || keyword == "ALTER" || keyword == "DROP";
}

bool IsTransactionControl(const std::string& keyword) {
  return keyword == "BEGIN" || keyword == "COMMIT" || keyword == "END" || keyword == "ROLLBACK" ||
         keyword == "SAVEPOINT" || keyword == "RELEASE" || keyword == "START";
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

// A value as the text of a parameter; nullopt for NULL.
std::optional<std::string> ParameterText(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return std::nullopt;
    case VarType::kInteger:
      return std::to_string(value.integer());
    case VarType::kDouble: {
      const double d = value.real();
      if (!std::isfinite(d)) return std::nullopt;
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", d);
      return std::string(buffer);
    }
    case VarType::kBoolean:
      return std::string(value.ToLong() != 0 ? "1" : "0");
    case VarType::kDate: {
      const DateTime d = value.date();
      return d == std::chrono::floor<std::chrono::days>(d) ? FormatDate(d) : FormatDateTime(d);
    }
    case VarType::kText:
      return value.text();
  }
  return std::nullopt;
}

// How a column's values are read back.
enum class ValueClass { kInteger, kDouble, kDate, kBoolean, kText };

struct ColumnType {
  int ado_type = kAdVarWChar;
  ValueClass value_class = ValueClass::kText;
};

ColumnType TypeOfOid(Oid oid) {
  switch (oid) {
    case kInt2Oid:
      return {kAdSmallInt, ValueClass::kInteger};
    case kInt4Oid:
    case kOidOid:
      return {kAdInteger, ValueClass::kInteger};
    case kInt8Oid:
      return {kAdBigInt, ValueClass::kInteger};
    case kFloat4Oid:
    case kFloat8Oid:
      return {kAdDouble, ValueClass::kDouble};
    case kNumericOid:
      return {kAdNumeric, ValueClass::kDouble};
    case kDateOid:
    case kTimestampOid:
    case kTimestamptzOid:
      return {kAdDBTimeStamp, ValueClass::kDate};
    case kBoolOid:
      return {kAdSmallInt, ValueClass::kBoolean};
    case kBpcharOid:
      return {kAdWChar, ValueClass::kText};
    default:
      return {kAdVarWChar, ValueClass::kText};
  }
}

// "2026-03-20 08:30:00.25+08" -> the date-time of its date and whole seconds; the zone of a
// timestamptz is the session's, which is how it is shown.
Variant DateValue(std::string_view text) {
  std::string_view plain = text;
  if (plain.size() > 19) plain = plain.substr(0, 19);
  if (const std::optional<DateTime> d = ParseDate(plain)) return Variant(*d);
  return Variant(std::string(text));
}

Variant ReadValue(const char* text, int length, ValueClass value_class) {
  const std::string_view value(text, static_cast<std::size_t>(length));
  switch (value_class) {
    case ValueClass::kInteger:
      return Variant(static_cast<long long>(std::strtoll(text, nullptr, 10)));
    case ValueClass::kDouble:
      return Variant(std::strtod(text, nullptr));
    case ValueClass::kDate:
      return DateValue(value);
    case ValueClass::kBoolean:
      return Variant(static_cast<long long>(value == "t" ? 1 : 0));
    case ValueClass::kText:
      return Variant(std::string(value));
  }
  return Variant(std::string(value));
}

Recordset RecordsetOf(const PGresult* result) {
  const int columns = PQnfields(result);
  const int rows = PQntuples(result);
  std::vector<FieldInfo> fields;
  std::vector<ValueClass> classes;
  fields.reserve(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    const ColumnType type = TypeOfOid(PQftype(result, c));
    fields.push_back({PQfname(result, c), type.ado_type});
    classes.push_back(type.value_class);
  }
  std::vector<Recordset::Row> out;
  out.reserve(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    Recordset::Row row;
    row.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      if (PQgetisnull(result, r, c)) {
        row.push_back(Variant::MakeNull());
      } else {
        row.push_back(ReadValue(PQgetvalue(result, r, c), PQgetlength(result, r, c),
                                classes[static_cast<std::size_t>(c)]));
      }
    }
    out.push_back(std::move(row));
  }
  return Recordset(std::move(fields), std::move(out));
}

struct ResultDeleter {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

}  // namespace

bool IsPostgresUri(std::string_view text) {
  return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

std::string PgPlaceholders(std::string_view sql) {
  long highest = 0;
  return PgPlaceholders(sql, highest);
}

std::string PgPlaceholders(std::string_view sql, long& highest) {
  highest = 0;
  std::string out;
  out.reserve(sql.size() + 8);
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      // A quoted text or name, a doubled quote inside it included.
      std::size_t end = i + 1;
      while (end < sql.size()) {
        if (sql[end] == c) {
          if (end + 1 < sql.size() && sql[end + 1] == c) {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      end = end < sql.size() ? end + 1 : end;
      out.append(sql.substr(i, end - i));
      i = end;
    } else if (sql.substr(i, 2) == "--") {
      const std::size_t end = std::min(sql.find('\n', i), sql.size());
      out.append(sql.substr(i, end - i));
      i = end;
    } else if (sql.substr(i, 2) == "/*") {
      const std::size_t found = sql.find("*/", i + 2);
      const std::size_t end = found == std::string_view::npos ? sql.size() : found + 2;
      out.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '?') {
      std::size_t end = i + 1;
      long number = 0;
      while (end < sql.size() && sql[end] >= '0' && sql[end] <= '9' && number < 100000) {
        number = number * 10 + (sql[end] - '0');
        ++end;
      }
      if (end == i + 1) number = highest + 1;
      highest = std::max(highest, number);
      out += '$';
      out += std::to_string(number);
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

struct PgDataService::Impl {
  std::string uri;
  PGconn* conn = nullptr;
  bool in_transaction = false;
  std::string last_error;
  std::int64_t rows_affected = 0;
  std::map<std::string, Procedure> procedures;
  SchemaCatalog catalog;
  bool catalog_stale = true;
  TranslationCache translations{4096, SqlTarget::kPostgres};

  class Reader final : public SqlReader {
   public:
    explicit Reader(Impl& impl) : impl_(impl) {}
    std::unique_ptr<Recordset> Query(std::string_view sql, const std::vector<Variant>& binds,
                                     std::string& error) override {
      std::optional<Recordset> rows;
      if (!impl_.RunStatement(PgPlaceholders(sql), binds, &rows, error)) return nullptr;
      return std::make_unique<Recordset>(rows ? std::move(*rows) : Recordset());
    }
    bool Exec(std::string_view sql, const std::vector<Variant>& binds,
              std::string& error) override {
      return impl_.RunStatement(PgPlaceholders(sql), binds, nullptr, error);
    }
    SqlTarget target() const override { return SqlTarget::kPostgres; }

   private:
    Impl& impl_;
  };
  Reader native{*this};

  ~Impl() {
    if (conn != nullptr) PQfinish(conn);
  }

  bool Connected() const { return conn != nullptr && PQstatus(conn) == CONNECTION_OK; }

  // Connects (again); the session reads and writes UTF-8 and ISO dates.
  bool Connect(std::string& error) {
    if (conn != nullptr) {
      PQfinish(conn);
      conn = nullptr;
    }
    in_transaction = false;
    conn = PQconnectdb(uri.c_str());
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
      error = "cannot connect to the database server " + uri + ": " +
              (conn != nullptr ? Trim(PQerrorMessage(conn)) : std::string("out of memory"));
      if (conn != nullptr) {
        PQfinish(conn);
        conn = nullptr;
      }
      return false;
    }
    const Result r(PQexec(conn,
                          "SET client_encoding = 'UTF8'; SET datestyle = 'ISO, YMD';"
                          " SET client_min_messages = warning"));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
      error = "cannot prepare the connection to " + uri + ": " + Trim(PQerrorMessage(conn));
      return false;
    }
    catalog_stale = true;
    return true;
  }

  // A failure's text. A lost connection says so, and loses the transaction with it.
  std::string FailureText(const PGresult* result, std::string_view sql) {
    if (!Connected()) {
      const bool lost_transaction = in_transaction;
      in_transaction = false;
      std::string text = "the connection to the database server was lost";
      const std::string why = conn != nullptr ? Trim(PQerrorMessage(conn)) : std::string();
      if (!why.empty()) text += " (" + why + ")";
      if (lost_transaction) text += "; the open transaction was lost with everything it wrote";
      return InStatement(text, sql);
    }
    const char* message = result != nullptr ? PQresultErrorMessage(result) : nullptr;
    std::string text =
        message != nullptr && *message != '\0' ? Trim(message) : Trim(PQerrorMessage(conn));
    if (text.rfind("ERROR:", 0) == 0) text = Trim(text.substr(6));
    // Only the first line; the rest points at the statement, which is quoted anyway.
    if (const std::size_t eol = text.find('\n'); eol != std::string::npos) {
      text = Trim(text.substr(0, eol));
    }
    return InStatement(text, sql);
  }

  // Reconnects before a call when the last one lost the connection.
  bool EnsureConnected(std::string& error) {
    if (Connected()) return true;
    return Connect(error);
  }

  // Runs one statement (placeholders already "$N"). Rows go to `rows` when it returns some.
  bool RunStatement(const std::string& sql, const std::vector<Variant>& binds,
                    std::optional<Recordset>* rows, std::string& error) {
    if (HoldsNul(sql)) {
      error = InStatement("statement refused: it holds a NUL byte", sql);
      return false;
    }
    std::vector<std::optional<std::string>> texts;
    texts.reserve(binds.size());
    for (std::size_t i = 0; i < binds.size(); ++i) {
      texts.push_back(ParameterText(binds[i]));
      if (texts.back() && HoldsNul(*texts.back())) {
        error = InStatement(
            "statement refused: its value " + std::to_string(i + 1) + " holds a NUL byte", sql);
        return false;
      }
    }
    std::vector<const char*> values;
    values.reserve(texts.size());
    for (const auto& t : texts) values.push_back(t ? t->c_str() : nullptr);
    if (!EnsureConnected(error)) return false;
    const Result result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                     values.empty() ? nullptr : values.data(), nullptr, nullptr,
                                     0));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      error = FailureText(result.get(), sql);
      return false;
    }
    const char* changed = PQcmdTuples(result.get());
    if (changed != nullptr && *changed != '\0' && FirstKeyword(sql) != "SELECT") {
      rows_affected += std::strtoll(changed, nullptr, 10);
    }
    if (status == PGRES_TUPLES_OK && rows != nullptr) *rows = RecordsetOf(result.get());
    if (ChangesSchema(sql)) catalog_stale = true;
    return true;
  }

  // A statement of the service's own (transaction control).
  bool RunInternal(const std::string& sql, std::string& error) {
    if (!EnsureConnected(error)) return false;
    const Result result(PQexec(conn, sql.c_str()));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
      error = FailureText(result.get(), sql);
      return false;
    }
    return true;
  }

  // Undoes what a failed call wrote: inside the caller's transaction back to the call's
  // savepoint, otherwise the call's own transaction.
  void UndoCall(bool own_transaction) {
    if (!Connected()) return;
    std::string ignored;
    if (own_transaction) {
      RunInternal("ROLLBACK", ignored);
    } else {
      RunInternal(std::string("ROLLBACK TO SAVEPOINT ") + kCallSavepoint, ignored);
      RunInternal(std::string("RELEASE SAVEPOINT ") + kCallSavepoint, ignored);
    }
  }

  // Opens what a call runs under: a savepoint inside the caller's transaction, or a
  // transaction of its own when `whole` (a batch that writes, a procedure).
  bool StartCall(bool whole, bool& own_transaction, std::string& error) {
    own_transaction = false;
    if (in_transaction) {
      return RunInternal(std::string("SAVEPOINT ") + kCallSavepoint, error);
    }
    if (!whole) return true;
    if (!RunInternal("BEGIN", error)) return false;
    own_transaction = true;
    return true;
  }

  bool FinishCall(bool own_transaction, std::string& error) {
    if (own_transaction) return RunInternal("COMMIT", error);
    if (in_transaction) {
      return RunInternal(std::string("RELEASE SAVEPOINT ") + kCallSavepoint, error);
    }
    return true;
  }

  std::nullptr_t Fail(std::string text) {
    last_error = text.empty() ? "failed" : std::move(text);
    return nullptr;
  }

  void RefreshCatalog() {
    if (!catalog_stale || !Connected()) return;
    catalog_stale = false;
    SchemaCatalog fresh;
    const Result result(
        PQexec(conn,
               "SELECT table_name, column_name, data_type FROM information_schema.columns"
               " WHERE table_schema = current_schema() ORDER BY table_name, ordinal_position"));
    if (PQresultStatus(result.get()) == PGRES_TUPLES_OK) {
      for (int r = 0; r < PQntuples(result.get()); ++r) {
        fresh.AddColumn(PQgetvalue(result.get(), r, 0), PQgetvalue(result.get(), r, 1),
                        KindOfDeclaredType(PQgetvalue(result.get(), r, 2)));
      }
    } else {
      catalog_stale = true;
    }
    catalog = std::move(fresh);
  }

  std::unique_ptr<Recordset> RunText(const Command& command) {
    std::string error;
    if (!EnsureConnected(error)) return Fail(error);
    RefreshCatalog();
    const std::shared_ptr<const Translation> translation = translations.Get(command.text, catalog);
    if (!translation->ok()) return Fail(translation->error);
    const std::vector<std::string>& batch = translation->statements;
    std::vector<Variant> values;
    values.reserve(command.parameters.size());
    for (const Parameter& p : command.parameters) values.push_back(p.value);

    bool writes = false;
    bool controls_transaction = false;
    for (const std::string& s : batch) {
      const std::string keyword = FirstKeyword(s);
      if (IsTransactionControl(keyword)) controls_transaction = true;
      if (keyword != "SELECT" && keyword != "VALUES") writes = true;
    }
    if (controls_transaction) return Fail("a statement may not open or end a transaction itself");
    bool own_transaction = false;
    if (!StartCall(batch.size() > 1 && writes, own_transaction, error)) return Fail(error);
    std::optional<Recordset> result;
    std::size_t next = 0;
    for (const std::string& statement : batch) {
      std::optional<Recordset> rows;
      // The caller's values in order: each statement takes those of its own placeholders.
      long count = 0;
      const std::string sql = PgPlaceholders(statement, count);
      std::vector<Variant> mine;
      for (long k = 0; k < count; ++k) {
        mine.push_back(next < values.size() ? values[next] : Variant::MakeNull());
        ++next;
      }
      if (!RunStatement(sql, mine, &rows, error)) {
        UndoCall(own_transaction);
        return Fail(error);
      }
      if (rows) result = std::move(rows);
    }
    if (!FinishCall(own_transaction, error)) {
      UndoCall(own_transaction);
      return Fail(error);
    }
    return std::make_unique<Recordset>(result ? std::move(*result) : Recordset());
  }

  std::unique_ptr<Recordset> RunProcedure(Command& command) {
    const auto it = procedures.find(ProcedureKey(command.text));
    if (it == procedures.end()) return Fail("procedure not found: " + Trim(command.text));
    std::vector<Parameter> parameters = command.parameters;
    std::string error;
    if (!EnsureConnected(error)) return Fail(error);
    // A procedure that fails after writing must leave nothing behind, as a statement would.
    bool own_transaction = false;
    if (!StartCall(true, own_transaction, error)) return Fail(error);
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
      UndoCall(own_transaction);
      return Fail(error.empty() ? "procedure " + Trim(command.text) + " failed"
                                : "procedure " + Trim(command.text) + ": " + error);
    }
    if (!FinishCall(own_transaction, error)) {
      UndoCall(own_transaction);
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
      const std::string what = procedure ? "procedure call" : "statement";
      if (HoldsNul(command.text)) {
        return Fail(InStatement(what + " refused: it holds a NUL byte", command.text));
      }
      for (std::size_t i = 0; i < command.parameters.size(); ++i) {
        const Variant& v = command.parameters[i].value;
        if (v.type() == VarType::kText && HoldsNul(v.text())) {
          return Fail(InStatement(
              what + " refused: its value " + std::to_string(i + 1) + " holds a NUL byte",
              command.text));
        }
      }
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
};

PgDataService::PgDataService(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PgDataService::~PgDataService() = default;

std::shared_ptr<PgDataService> PgDataService::Open(const std::string& uri, std::string& error) {
  error.clear();
  try {
    auto impl = std::make_unique<Impl>();
    impl->uri = uri;
    if (!impl->Connect(error)) return nullptr;
    impl->RefreshCatalog();
    return std::shared_ptr<PgDataService>(new PgDataService(std::move(impl)));
  } catch (const std::exception& e) {
    error = "cannot connect to the database server " + uri + ": " + e.what();
  }
  return nullptr;
}

std::unique_ptr<Recordset> PgDataService::Open(Command& command) { return impl_->Run(command); }

bool PgDataService::Execute(Command& command) { return impl_->Run(command) != nullptr; }

Variant PgDataService::Scalar(Command& command) {
  const std::unique_ptr<Recordset> rows = impl_->Run(command);
  if (rows == nullptr || rows->RecordCount() == 0 || rows->FieldCount() == 0) return {};
  return rows->Rows().front().front();
}

bool PgDataService::BeginTrans() {
  return impl_->Guarded([&](std::string& error) {
    if (impl_->in_transaction && impl_->Connected()) {
      error = "a transaction is already open (transactions do not nest)";
      return false;
    }
    if (!impl_->RunInternal("BEGIN", error)) return false;
    impl_->in_transaction = true;
    return true;
  });
}

bool PgDataService::CommitTrans() {
  return impl_->Guarded([&](std::string& error) {
    if (!impl_->in_transaction) {
      error = "no transaction is open to commit";
      return false;
    }
    const bool ok = impl_->RunInternal("COMMIT", error);
    impl_->in_transaction = false;
    return ok;
  });
}

bool PgDataService::RollbackTrans() {
  return impl_->Guarded([&](std::string& error) {
    if (!impl_->in_transaction) {
      error = "no transaction is open to roll back";
      return false;
    }
    const bool ok = impl_->RunInternal("ROLLBACK", error);
    impl_->in_transaction = false;
    return ok;
  });
}

std::string PgDataService::LastError() const { return impl_->last_error; }

std::int64_t PgDataService::RowsAffected() const { return impl_->rows_affected; }

bool PgDataService::InTransaction() const { return impl_->in_transaction; }

SqlReader& PgDataService::Native() { return impl_->native; }

bool PgDataService::ExecScript(std::string_view script, std::string& error) {
  error.clear();
  const bool ok = impl_->Guarded([&](std::string& e) {
    if (HoldsNul(script)) {
      e = InStatement("statement refused: it holds a NUL byte", script);
      return false;
    }
    if (!impl_->EnsureConnected(e)) return false;
    const std::string text(script);
    const Result result(PQexec(impl_->conn, text.c_str()));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY) {
      e = impl_->FailureText(result.get(), script);
      return false;
    }
    impl_->catalog_stale = true;
    return true;
  });
  error = impl_->last_error;
  return ok;
}

void PgDataService::RegisterProcedure(std::string_view name, Procedure procedure) {
  impl_->procedures[ProcedureKey(name)] = std::move(procedure);
}

const SchemaCatalog& PgDataService::catalog() const {
  impl_->RefreshCatalog();
  return impl_->catalog;
}

void PgDataService::ReloadCatalog() {
  impl_->catalog_stale = true;
  impl_->RefreshCatalog();
}

const std::string& PgDataService::uri() const { return impl_->uri; }

int PgDataService::BackendPid() const { return impl_->Connected() ? PQbackendPID(impl_->conn) : 0; }

}  // namespace korvane::data
