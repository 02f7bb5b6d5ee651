// Migrations on a PostgreSQL server: the SQLite DDL converted word by word, views through the
// T-SQL translator, the version in a table of its own.
#include "data/pg_schema.h"

#include <algorithm>
#include <map>
#include <optional>

#include "data/embedded_sql.h"
#include "data/schema.h"
#include "data/tsql_translator.h"

namespace korvane::data {
namespace {

constexpr std::string_view kRuntimeFile = "postgres/runtime.sql";
constexpr std::string_view kPostgresFolder = "postgres/";
// What db/postgres/runtime.sql creates first of all: text compared ignoring case.
constexpr const char* kCollation =
    "CREATE COLLATION IF NOT EXISTS tsql (provider = icu, locale = 'und-u-ks-level2',"
    " deterministic = false)";

bool IsWordByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         u >= 0x80;
}

// The server's name for a type word of the migrations; empty when the word stays.
std::string_view PostgresType(const std::string& upper) {
  static const std::map<std::string, std::string_view, std::less<>> kTypes = {
      {"NVARCHAR", "VARCHAR"},
      {"NCHAR", "CHAR"},
      {"DATETIME", "TIMESTAMP(0)"},
      {"SMALLDATETIME", "TIMESTAMP(0)"},
      {"DATETIME2", "TIMESTAMP(0)"},
      {"FLOAT", "DOUBLE PRECISION"},
      {"BIT", "SMALLINT"},
      {"TINYINT", "SMALLINT"},
      {"NTEXT", "TEXT"}};
  const auto found = kTypes.find(upper);
  return found == kTypes.end() ? std::string_view() : found->second;
}

std::string TrimBlank(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\n' || text[b] == '\r' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\n' || text[e - 1] == '\r' ||
                   text[e - 1] == '\t')) {
    --e;
  }
  return std::string(text.substr(b, e - b));
}

std::optional<int> ReadVersion(PgDataService& db, std::string& error) {
  const auto exists = db.Native().Query(
      "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema()"
      " AND table_name = ?",
      {Variant(std::string(kPgVersionTable))}, error);
  if (exists == nullptr) return std::nullopt;
  if (exists->Value(0).ToLong() == 0) return 0;
  const auto rows =
      db.Native().Query("SELECT max(version) FROM " + std::string(kPgVersionTable), {}, error);
  if (rows == nullptr) return std::nullopt;
  return rows->RecordCount() == 0 || rows->Value(0).IsNull()
             ? 0
             : static_cast<int>(rows->Value(0).ToLong());
}

// "CREATE VIEW name AS select": the select translated for the server.
std::optional<std::string> ViewStatement(PgDataService& db, const std::string& statement,
                                         std::string& error) {
  const std::string upper = ToUpperAscii(statement);
  if (upper.rfind("CREATE VIEW", 0) != 0) return statement;
  const std::size_t as = upper.find(" AS");
  if (as == std::string::npos) return statement;
  std::size_t body = as + 3;
  const Translation translation =
      TranslateTsql(std::string_view(statement).substr(body), db.catalog(), SqlTarget::kPostgres);
  if (!translation.ok() || translation.statements.size() != 1) {
    error = translation.ok() ? "a view must be one select" : translation.error;
    return std::nullopt;
  }
  return statement.substr(0, body) + " " + translation.statements.front();
}

bool RunStatements(PgDataService& db, const std::vector<std::string>& statements,
                   std::string& error) {
  for (const std::string& statement : statements) {
    const std::optional<std::string> sql = ViewStatement(db, statement, error);
    if (!sql) return false;
    if (!db.Native().Exec(*sql, {}, error)) return false;
  }
  return true;
}

bool Apply(PgDataService& db, const Migration& migration, std::string& error) {
  const std::string where = "migration " + std::string(migration.path) + ": ";
  if (!db.BeginTrans()) {
    error = where + db.LastError();
    return false;
  }
  const auto fail = [&](const std::string& why) {
    if (db.InTransaction()) db.RollbackTrans();
    error = where + why;
    return false;
  };
  std::string step;
  // One migrating connection at a time: the others wait here, then find the version applied.
  if (!db.Native().Exec("LOCK TABLE " + std::string(kPgVersionTable) + " IN EXCLUSIVE MODE", {},
                        step)) {
    return fail(step);
  }
  const std::optional<int> current = ReadVersion(db, step);
  if (!current) return fail(step);
  if (*current >= migration.version) {
    db.RollbackTrans();
    return true;
  }
  if (!RunStatements(db, PgDdlStatements(migration.text), step)) return fail(step);
  if (!db.Native().Exec("UPDATE " + std::string(kPgVersionTable) + " SET version = ?",
                        {Variant(migration.version)}, step)) {
    return fail(step);
  }
  if (!db.CommitTrans()) return fail(db.LastError());
  return true;
}

}  // namespace

std::vector<std::string> PgDdlStatements(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  std::size_t i = 0;
  while (i < script.size()) {
    const char c = script[i];
    if (c == '\'' || c == '"') {
      std::size_t end = i + 1;
      while (end < script.size()) {
        if (script[end] == c) {
          if (end + 1 < script.size() && script[end + 1] == c) {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      end = std::min(end + 1, script.size());
      current.append(script.substr(i, end - i));
      i = end;
    } else if (script.substr(i, 2) == "--") {
      const std::size_t eol = script.find('\n', i);
      i = eol == std::string_view::npos ? script.size() : eol;
    } else if (c == ';') {
      if (std::string s = TrimBlank(current); !s.empty()) statements.push_back(std::move(s));
      current.clear();
      ++i;
    } else if (IsWordByte(c)) {
      std::size_t end = i;
      while (end < script.size() && IsWordByte(script[end])) ++end;
      const std::string word(script.substr(i, end - i));
      const std::string_view type = PostgresType(ToUpperAscii(word));
      current += type.empty() ? word : std::string(type);
      i = end;
    } else {
      current += c;
      ++i;
    }
  }
  if (std::string s = TrimBlank(current); !s.empty()) statements.push_back(std::move(s));
  return statements;
}

int PgSchemaVersion(PgDataService& db) {
  std::string error;
  return ReadVersion(db, error).value_or(-1);
}

bool MigratePgSchema(PgDataService& db, std::string& error) {
  error.clear();
  if (db.InTransaction()) {
    error = "the schema cannot be migrated while a transaction is open";
    return false;
  }
  // The runtime first: the migrations' text columns name its collation.
  const std::string_view runtime = EmbeddedSqlFile(kRuntimeFile);
  if (!db.ExecScript(runtime.empty() ? std::string_view(kCollation) : runtime, error)) {
    error = "the server runtime: " + error;
    return false;
  }
  if (!db.ExecScript("CREATE TABLE IF NOT EXISTS " + std::string(kPgVersionTable) +
                         " (version INTEGER NOT NULL);"
                         " INSERT INTO " +
                         std::string(kPgVersionTable) +
                         " (version) SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM " +
                         std::string(kPgVersionTable) + ")",
                     error)) {
    return false;
  }
  const std::vector<Migration> migrations = Migrations();
  const int latest = migrations.empty() ? 0 : migrations.back().version;
  const std::optional<int> current = ReadVersion(db, error);
  if (!current) return false;
  if (*current > latest) {
    error = "the database was written by a newer Korvane (schema version " +
            std::to_string(*current) + "); this one knows versions up to " + std::to_string(latest);
    return false;
  }
  for (const Migration& migration : migrations) {
    if (migration.version <= *current) continue;
    if (!Apply(db, migration, error)) {
      db.ReloadCatalog();
      return false;
    }
  }
  // The database's own functions, re-created every time so that an upgrade brings new bodies.
  std::vector<const EmbeddedSql*> functions;
  for (const EmbeddedSql& file : EmbeddedSqlFiles()) {
    if (file.path.substr(0, kPostgresFolder.size()) == kPostgresFolder &&
        file.path != kRuntimeFile) {
      functions.push_back(&file);
    }
  }
  std::sort(functions.begin(), functions.end(),
            [](const EmbeddedSql* a, const EmbeddedSql* b) { return a->path < b->path; });
  for (const EmbeddedSql* file : functions) {
    if (!db.ExecScript(file->text, error)) {
      error = std::string(file->path) + ": " + error;
      return false;
    }
  }
  db.ReloadCatalog();
  return true;
}

}  // namespace korvane::data
