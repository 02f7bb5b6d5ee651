// What the translator's files share, private to the data layer: scopes of tables, the types of
// values, and the Translator that writes a parsed statement out for SQLite.
#ifndef KORVANE_DATA_TSQL_TRANSLATOR_INTERNAL_H_
#define KORVANE_DATA_TSQL_TRANSLATOR_INTERNAL_H_

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/schema_catalog.h"
#include "data/tsql_lexer.h"
#include "data/tsql_parser.h"
#include "data/tsql_translator.h"

namespace korvane::data::tsql {

inline constexpr std::string_view kUnsupported =
    "T-SQL construct not supported by the embedded database: ";

// Type names CONVERT and CAST accept, by the kind of value they make.
inline constexpr std::string_view kTextTypes[] = {"char", "nchar", "varchar", "nvarchar",
                                                  "text", "ntext", "sysname"};
inline constexpr std::string_view kIntTypes[] = {"int", "integer", "bigint", "smallint", "tinyint"};
inline constexpr std::string_view kRealTypes[] = {"float", "real"};
inline constexpr std::string_view kDecimalTypes[] = {"decimal", "numeric", "money", "smallmoney",
                                                     "bit"};
inline constexpr std::string_view kDateTypes[] = {"datetime", "smalldatetime", "datetime2", "date"};

// The type of value an expression yields, as far as the statement tells.
enum class Ty { kUnknown, kText, kNumber, kDate };

// Tables visible to an expression: those of its own FROM clause, then the enclosing ones.
struct Derived;
struct TableRef {
  std::string alias;  // lower-cased; empty when none
  std::string table;  // lower-cased; empty for a derived table
  std::shared_ptr<const Derived> derived;
};
struct Scope {
  const Scope* outer = nullptr;
  std::vector<TableRef> tables;
};
// A derived table "(select ...) alias": its columns by name.
struct Derived {
  Scope inner;
  std::vector<std::pair<std::string, Ty>> columns;
  bool star = false;
};

// The parts of one SELECT (a member of a compound select).
struct Member {
  std::size_t begin = 0, end = 0;  // [SELECT, end)
  std::size_t distinct = kNone;    // ALL / DISTINCT
  std::size_t top = kNone;         // TOP
  std::size_t top_count = kNone;   // the count after TOP
  std::size_t list_begin = 0, list_end = 0;
  std::size_t from = kNone, from_end = kNone;
  std::size_t order = kNone;
};

// Writing out and typing call one another (a subquery's type is that of what it selects, a
// "+" is written by its operands' types), so one object holds them; its members are defined
// by concern in tsql_translator.cpp (statements), tsql_from.cpp, tsql_types.cpp,
// tsql_output.cpp and tsql_functions.cpp.
class Translator {
 public:
  Translator(std::string_view batch, const SchemaCatalog& catalog,
             SqlTarget target = SqlTarget::kSqlite)
      : batch_(batch), catalog_(catalog), target_(target) {}

  Translation Run();

  // Literal-shape mode: every number and text literal not marked in `pinned` (by token index)
  // is written as kShapeMark, its token index and kShapeEnd instead of its text, so that the
  // statement can run with the literal bound as a value. A literal whose value the translation
  // inspects (a TOP count, a CONVERT type or style, a date part, an alias) is pinned on the
  // way and written as it stands; `shape_conflict()` tells that one was inspected after it had
  // been written as a mark, and the translation then holds for these values only.
  void WriteLiteralsAsMarks(std::vector<char> pinned) {
    shape_ = true;
    pinned_ = std::move(pinned);
  }
  bool shape_conflict() const { return shape_conflict_; }
  bool postgres() const { return target_ == SqlTarget::kPostgres; }
  // The local date and time now, as the target database gives it.
  std::string LocalNow() const {
    return postgres() ? "localtimestamp" : "datetime('now', 'localtime')";
  }
  // The tokens a literal-shape translation pinned, by token index.
  const std::vector<char>& pinned() const { return pinned_; }

 private:
  struct Call;
  struct Rewrite;

  // --- statements
  void NumberParameters(std::size_t begin, std::size_t end);
  std::string Statement(const Seq& seq);
  std::string Insert(const Seq& seq);
  std::string Update(const Seq& seq);
  std::string Delete(const Seq& seq);
  std::string Query(const Seq& seq, std::size_t begin, std::size_t end, const Scope* outer);
  std::string MemberText(const Seq& seq, const Member& m, std::size_t end, const Scope& scope);

  // --- FROM clauses and scopes
  Member Analyze(const Seq& seq, std::size_t begin, std::size_t end) const;
  void BuildFrom(const Seq& seq, std::size_t begin, std::size_t end, Scope& scope) const;
  std::shared_ptr<const Derived> AnalyzeDerived(const Seq& body, const Scope* outer) const;

  // --- output
  std::string Lead(const Expr& e) const { return toks_[e.first].space_before ? " " : ""; }
  std::string Out(const Expr& e, const Scope* s) { return Lead(e) + Text(e, s); }
  std::string Text(const Expr& e, const Scope* s);
  std::string SeqText(const Seq& seq, std::size_t begin, std::size_t end, const Scope* s);
  std::string Trimmed(const Seq& seq, std::size_t begin, std::size_t end, const Scope* s);
  std::string RawText(std::size_t tok);
  std::string NameText(const Expr& e) const;
  std::string ParenText(const Expr& e, const Scope* s);
  // The terms [first, last) of a long OR chain (`ors` the positions of its ORs in `body`),
  // regrouped into a balanced tree.
  std::string BalancedOrs(const Seq& body, const std::vector<std::size_t>& ors, std::size_t first,
                          std::size_t last, const Scope* s);
  std::string BinaryText(const Expr& e, const Scope* s);
  std::string ChildText(const Expr& e, const Scope* s, bool under_concat);

  // --- function rewrites
  std::string FuncText(const Expr& e, const Scope* s);
  std::string ConvertText(const Expr& type, const Seq& value_seq, std::size_t vb, std::size_t ve,
                          const Expr* style, const Scope* s, const std::string& what);
  // The rewrite of the function `name` (lower-cased, without "dbo."); null when it keeps its
  // name.
  static const Rewrite* FindRewrite(std::string_view name);

  // --- types
  Ty TypeOf(const Expr& e, const Scope* s) const;
  Ty FuncType(const Expr& e, const Scope* s) const;
  Ty ColumnType(const Expr& e, const Scope* s) const;
  std::optional<ColumnKind> RefKind(const TableRef& t, const std::string& column) const;
  bool EmitsConcat(const Expr& e, const Scope* s) const;

  std::vector<std::string> NameParts(const Expr& e) const;  // lower-cased, "dbo" dropped
  // Literal-shape mode: the literals within `e` are written as they stand.
  void Pin(const Expr& e);
  std::string LiteralText(const Expr& e);
  void Fail(std::string message) const {
    if (error_.empty()) error_ = std::move(message);
  }
  void Unsupported(std::string_view construct) const {
    Fail(std::string(kUnsupported) + std::string(construct));
  }
  bool RawIs(const Expr& e, std::string_view word) const {
    return e.kind == EK::kRaw && IsWord(toks_[e.tok], word);
  }
  bool RawOp(const Expr& e, std::string_view op) const {
    return e.kind == EK::kRaw && IsOp(toks_[e.tok], op);
  }

  std::string_view batch_;
  const SchemaCatalog& catalog_;
  const SqlTarget target_;
  std::vector<Token> toks_;
  std::vector<std::size_t> match_;  // index of the matching parenthesis
  // Positional '?' parameters get explicit numbers ("?2") when the statement moves one: the
  // count of a TOP goes to the end as LIMIT, and the values are bound in the order written.
  std::map<std::size_t, std::size_t> parameter_numbers_;
  mutable std::string error_;  // the first failure; analysis may record one from const code
  bool shape_ = false;
  std::vector<char> pinned_;  // literal-shape mode: by token, written as it stands
  std::vector<char> marked_;  // literal-shape mode: by token, written as a mark
  bool shape_conflict_ = false;
};

// The marks a literal-shape translation writes around a literal's token index.
inline constexpr char kShapeMark = '\x01';
inline constexpr char kShapeEnd = '\x02';

}  // namespace korvane::data::tsql

#endif  // KORVANE_DATA_TSQL_TRANSLATOR_INTERNAL_H_
