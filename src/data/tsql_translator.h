// The T-SQL translator: turns the statement texts the modules send (written for a T-SQL
// server) into statements the embedded SQLite database, or a PostgreSQL server, runs with the
// same meaning.
//
// It works on tokens, never on raw text: literals, bracketed and quoted names and comments are
// never rewritten. A construct it cannot translate faithfully yields an error naming the
// construct; it never returns a statement that would mean something different.
#ifndef KORVANE_DATA_TSQL_TRANSLATOR_H_
#define KORVANE_DATA_TSQL_TRANSLATOR_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/schema_catalog.h"

namespace korvane::data {

// The database a translation is written for.
enum class SqlTarget { kSqlite, kPostgres };

struct Translation {
  // One target statement per statement of the batch, in order, without trailing ';'.
  std::vector<std::string> statements;
  // Not empty when the batch cannot be translated; `statements` is then empty.
  std::string error;
  bool ok() const { return error.empty(); }
};

// How deeply the expressions of a statement may nest: parentheses, subqueries, CASE, function
// arguments, chains of unary operators and of binary operators each add a level. The
// statements the modules send nest a few dozen levels at most; the limit keeps the
// translator's recursion far from the end of the stack, sanitizer builds and worker threads
// included.
inline constexpr int kMaxTsqlNesting = 256;

// Translates a batch of one or more T-SQL statements (separated by ';' or by nothing at all,
// as the server allows). `catalog` decides whether "+" joins texts or adds numbers where the
// operands alone do not tell. A batch holding a NUL byte, or nesting deeper than
// kMaxTsqlNesting, is refused with an error.
Translation TranslateTsql(std::string_view batch, const SchemaCatalog& catalog,
                          SqlTarget target = SqlTarget::kSqlite);

// Translations remembered by statement text. Entries made against an older catalog generation
// are translated again.
class TranslationCache {
 public:
  explicit TranslationCache(std::size_t capacity = 4096, SqlTarget target = SqlTarget::kSqlite)
      : capacity_(capacity), target_(target) {}
  // Returns the cached translation of `batch`, translating it on first use.
  std::shared_ptr<const Translation> Get(std::string_view batch, const SchemaCatalog& catalog);
  void Clear();
  std::size_t size() const;

 private:
  struct Entry {
    std::uint64_t generation;
    std::shared_ptr<const Translation> translation;
  };
  std::size_t capacity_;
  SqlTarget target_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace korvane::data

#endif  // KORVANE_DATA_TSQL_TRANSLATOR_H_
