#include "data/tsql_translator.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tsql_dates_internal.h"
#include "values/variant.h"

namespace korvane::data {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::string_view kUnsupported =
    "T-SQL construct not supported by the embedded database: ";
constexpr std::string_view kUnreadable = "T-SQL text cannot be read: ";

std::string TooDeep() {
  return "T-SQL text nests too deeply: more than " + std::to_string(kMaxTsqlNesting) +
         " levels of parentheses, subqueries, CASE, function calls or operators";
}

template <std::size_t N>
bool OneOf(std::string_view word, const std::string_view (&list)[N]) {
  for (std::string_view w : list) {
    if (EqualsIgnoreCase(word, w)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Tokens

enum class TokKind { kWord, kBracketName, kQuotedName, kString, kNumber, kVariable, kOp };

struct Token {
  TokKind kind;
  std::string_view text;  // as written, delimiters included
  bool space_before = false;
};

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '#' || c == '$' || c == '@' || c >= 0x80;
}

bool IsWordStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits the batch into tokens; comments count as blanks. Returns false with `error` set when
// a literal, name or comment is not closed.
bool Tokenize(std::string_view s, std::vector<Token>& out, std::string& error) {
  std::size_t i = 0;
  bool space = false;
  auto push = [&](TokKind kind, std::size_t begin, std::size_t end) {
    out.push_back(Token{kind, s.substr(begin, end - begin), space});
    space = false;
  };
  // Finds the end of a literal or name closed by `close`, where a doubled `close` stands for
  // itself. Returns kNone when it is not closed.
  auto closing = [&](std::size_t from, char close) {
    for (std::size_t j = from; j < s.size(); ++j) {
      if (s[j] != close) continue;
      if (j + 1 < s.size() && s[j + 1] == close) {
        ++j;
        continue;
      }
      return j + 1;
    }
    return kNone;
  };
  while (i < s.size()) {
    const char c = s[i];
    const auto uc = static_cast<unsigned char>(c);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      space = true;
      ++i;
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
      space = true;
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      // Block comments nest.
      int depth = 0;
      std::size_t j = i;
      while (j < s.size()) {
        if (s[j] == '/' && j + 1 < s.size() && s[j + 1] == '*') {
          ++depth;
          j += 2;
        } else if (s[j] == '*' && j + 1 < s.size() && s[j + 1] == '/') {
          j += 2;
          if (--depth == 0) break;
        } else {
          ++j;
        }
      }
      if (depth != 0) {
        error = std::string(kUnreadable) + "unterminated comment";
        return false;
      }
      i = j;
      space = true;
    } else if (c == '\'' || c == '[' || c == '"' ||
               ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'')) {
      // A literal or a quoted name runs to its closing character, doubled ones included.
      const std::size_t open = c == 'N' || c == 'n' ? i + 1 : i;
      const char opener = s[open];
      const char closer = opener == '[' ? ']' : opener;
      const std::size_t end = closing(open + 1, closer);
      if (end == kNone) {
        error = std::string(kUnreadable) + (opener == '\''  ? "unterminated string literal"
                                            : opener == '[' ? "unterminated [name]"
                                                            : "unterminated \"name\"");
        return false;
      }
      push(opener == '\''  ? TokKind::kString
           : opener == '[' ? TokKind::kBracketName
                           : TokKind::kQuotedName,
           i, end);
      i = end;
    } else if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      std::size_t j = i;
      while (j < s.size() && IsDigit(s[j])) ++j;
      if (j < s.size() && s[j] == '.') {
        ++j;
        while (j < s.size() && IsDigit(s[j])) ++j;
      }
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && IsDigit(s[k])) {
          j = k;
          while (j < s.size() && IsDigit(s[j])) ++j;
        }
      }
      push(TokKind::kNumber, i, j);
      i = j;
    } else if (c == '@') {
      std::size_t j = i + 1;
      while (j < s.size() && IsWordByte(static_cast<unsigned char>(s[j]))) ++j;
      push(TokKind::kVariable, i, j);
      i = j;
    } else if (IsWordStart(uc)) {
      std::size_t j = i + 1;
      while (j < s.size() && IsWordByte(static_cast<unsigned char>(s[j]))) ++j;
      push(TokKind::kWord, i, j);
      i = j;
    } else {
      static constexpr std::string_view kTwoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>",
                                                      "+=", "-=", "*=", "/=", "%=", "&=",
                                                      "|=", "^=", "::", "||"};
      std::size_t len = 1;
      for (std::string_view op : kTwoChar) {
        if (s.substr(i, 2) == op) len = 2;
      }
      push(TokKind::kOp, i, i + len);
      i += len;
    }
  }
  return true;
}

// The name a name token stands for, without its delimiters.
std::string NameValue(const Token& t) {
  if (t.kind != TokKind::kBracketName && t.kind != TokKind::kQuotedName) return std::string(t.text);
  const char close = t.kind == TokKind::kBracketName ? ']' : '"';
  std::string out;
  const std::string_view inner = t.text.substr(1, t.text.size() - 2);
  for (std::size_t i = 0; i < inner.size(); ++i) {
    out += inner[i];
    if (inner[i] == close && i + 1 < inner.size() && inner[i + 1] == close) ++i;
  }
  return out;
}

// Words that are never names in the statements: they structure them.
constexpr std::string_view kKeywords[] = {
    "all",       "alter",  "and",     "any",      "apply",  "as",     "asc",     "begin",
    "between",   "by",     "case",    "collate",  "commit", "create", "cross",   "declare",
    "default",   "delete", "desc",    "distinct", "drop",   "else",   "end",     "escape",
    "except",    "exec",   "execute", "exists",   "for",    "from",   "full",    "go",
    "grant",     "group",  "having",  "if",       "in",     "inner",  "insert",  "intersect",
    "into",      "is",     "join",    "left",     "like",   "merge",  "not",     "null",
    "on",        "option", "or",      "order",    "outer",  "over",   "percent", "print",
    "raiserror", "return", "right",   "rollback", "select", "set",    "some",    "table",
    "then",      "ties",   "top",     "truncate", "union",  "update", "use",     "values",
    "when",      "where",  "while",   "with"};

// Words SQLite reserves that the server lets stand as plain names: such names are quoted.
constexpr std::string_view kSqliteOnlyReserved[] = {
    "isnull", "notnull",    "nothing",     "raise",      "autoincrement", "limit",   "returning",
    "using",  "deferrable", "transaction", "constraint", "references",    "foreign", "primary",
    "unique", "check",      "to",          "index",      "cast"};

// Words that begin a statement when they stand at the top level of a batch.
constexpr std::string_view kStatementWords[] = {
    "insert", "update", "delete", "truncate", "declare",   "exec",   "execute", "if",
    "while",  "begin",  "commit", "rollback", "print",     "return", "create",  "alter",
    "drop",   "use",    "go",     "merge",    "raiserror", "grant"};

bool IsKeywordToken(const Token& t) { return t.kind == TokKind::kWord && OneOf(t.text, kKeywords); }

bool IsWord(const Token& t, std::string_view word) {
  return t.kind == TokKind::kWord && EqualsIgnoreCase(t.text, word);
}

bool IsOp(const Token& t, std::string_view op) { return t.kind == TokKind::kOp && t.text == op; }

bool IsNameToken(const Token& t) {
  return (t.kind == TokKind::kWord && !IsKeywordToken(t)) || t.kind == TokKind::kBracketName ||
         t.kind == TokKind::kQuotedName;
}

// ---------------------------------------------------------------------------------------------
// Expressions: each parenthesised group, CASE ... END and function call is one element, and
// runs of operands joined by arithmetic operators are folded into operator trees, so that every
// "+" knows its two operands.

enum class EK {
  kRaw,
  kString,
  kNumber,
  kVariable,
  kNull,
  kName,
  kFunc,
  kCase,
  kParen,
  kUnary,
  kBinary
};

struct Expr {
  EK kind = EK::kRaw;
  std::size_t tok = 0;             // the token (operator token for kUnary/kBinary)
  std::size_t first = 0;           // first token of the whole element (its leading blank)
  std::size_t open = 0;            // kFunc: '('
  std::size_t close = 0;           // kFunc/kParen: ')'; kCase: END
  std::vector<std::size_t> parts;  // kName/kFunc: name part tokens
  bool star = false;               // kName: "alias.*"
  std::vector<Expr> body;          // kFunc/kParen/kCase: what is inside
  std::vector<Expr> kids;          // kUnary: operand; kBinary: left, right
  // Levels of elements from this one down to its deepest part (1 for a leaf). Translating
  // recurses along body and kids, so this bounds how deep it goes.
  int height = 1;
};
using Seq = std::vector<Expr>;

bool IsOperand(const Expr& e) { return e.kind != EK::kRaw; }

// The type of value an expression yields, as far as the statement tells.
enum class Ty { kUnknown, kText, kNumber, kDate };

Ty ToTy(std::optional<ColumnKind> kind) {
  if (!kind) return Ty::kUnknown;
  switch (*kind) {
    case ColumnKind::kText:
      return Ty::kText;
    case ColumnKind::kNumber:
      return Ty::kNumber;
    case ColumnKind::kDate:
      return Ty::kDate;
    case ColumnKind::kOther:
      break;
  }
  return Ty::kUnknown;
}

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

class Translator {
 public:
  Translator(std::string_view batch, const SchemaCatalog& catalog)
      : batch_(batch), catalog_(catalog) {}

  Translation Run();

 private:
  // --- statements
  std::vector<std::pair<std::size_t, std::size_t>> SplitStatements();
  void NumberParameters(std::size_t begin, std::size_t end);
  std::string Statement(const Seq& seq);
  std::string Insert(const Seq& seq);
  std::string Update(const Seq& seq);
  std::string Delete(const Seq& seq);
  std::string Query(const Seq& seq, std::size_t begin, std::size_t end, const Scope* outer);
  Member Analyze(const Seq& seq, std::size_t begin, std::size_t end) const;
  std::string MemberText(const Seq& seq, const Member& m, std::size_t end, const Scope& scope);
  void BuildFrom(const Seq& seq, std::size_t begin, std::size_t end, Scope& scope) const;
  std::shared_ptr<const Derived> AnalyzeDerived(const Seq& body, const Scope* outer) const;

  // --- parsing
  Seq Parse(std::size_t begin, std::size_t end);
  Expr ParseNameOrCall(std::size_t& i, std::size_t end);
  Expr ParseAdditive(Seq& flat, std::size_t& i);
  Expr ParseMultiplicative(Seq& flat, std::size_t& i);
  Expr ParseUnary(Seq& flat, std::size_t& i);
  bool IsSign(const Expr& e) const;
  bool StartsOperand(const Seq& flat, std::size_t i) const;
  // Sets e.height from its parts; refuses the text when that passes kMaxTsqlNesting.
  void Nest(Expr& e) const;

  // --- output
  std::string Lead(const Expr& e) const { return toks_[e.first].space_before ? " " : ""; }
  std::string Out(const Expr& e, const Scope* s) { return Lead(e) + Text(e, s); }
  std::string Text(const Expr& e, const Scope* s);
  std::string SeqText(const Seq& seq, std::size_t begin, std::size_t end, const Scope* s);
  std::string Trimmed(const Seq& seq, std::size_t begin, std::size_t end, const Scope* s);
  std::string RawText(std::size_t tok);
  std::string NameText(const Expr& e) const;
  std::string ParenText(const Expr& e, const Scope* s);
  std::string BinaryText(const Expr& e, const Scope* s);
  std::string ChildText(const Expr& e, const Scope* s, bool under_concat);
  std::string FuncText(const Expr& e, const Scope* s);
  std::string ConvertText(const Expr& type, const Seq& value_seq, std::size_t vb, std::size_t ve,
                          const Expr* style, const Scope* s, const std::string& what);

  // --- types
  Ty TypeOf(const Expr& e, const Scope* s) const;
  Ty FuncType(const Expr& e, const Scope* s) const;
  Ty ColumnType(const Expr& e, const Scope* s) const;
  std::optional<ColumnKind> RefKind(const TableRef& t, const std::string& column) const;
  bool EmitsConcat(const Expr& e, const Scope* s) const;

  std::vector<std::string> NameParts(const Expr& e) const;  // lower-cased, "dbo" dropped
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
  std::vector<Token> toks_;
  std::vector<std::size_t> match_;  // index of the matching parenthesis
  // Positional '?' parameters get explicit numbers ("?2") when the statement moves one: the
  // count of a TOP goes to the end as LIMIT, and the values are bound in the order written.
  std::map<std::size_t, std::size_t> parameter_numbers_;
  mutable std::string error_;  // the first failure; analysis may record one from const code
  int parse_depth_ = 0;        // Parse calls under way
};

// ---------------------------------------------------------------------------------------------
// Splitting the batch

std::vector<std::pair<std::size_t, std::size_t>> Translator::SplitStatements() {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  std::size_t begin = 0;
  int depth = 0;
  std::string kind;         // first word of the current statement
  bool has_source = false;  // INSERT: VALUES or SELECT seen; WITH: its body seen
  bool has_set = false;     // UPDATE: SET seen
  auto close_at = [&](std::size_t end) {
    if (end > begin) out.emplace_back(begin, end);
    begin = end;
    kind.clear();
    has_source = has_set = false;
  };
  for (std::size_t i = 0; i < toks_.size(); ++i) {
    const Token& t = toks_[i];
    if (IsOp(t, "(")) ++depth;
    if (IsOp(t, ")")) --depth;
    if (depth != 0) continue;
    if (IsOp(t, ";")) {
      close_at(i);
      begin = i + 1;
      continue;
    }
    if (t.kind != TokKind::kWord) continue;
    const std::string word = ToLowerAscii(t.text);
    if (i == begin) {
      kind = word;
      continue;
    }
    bool starts = OneOf(word, kStatementWords);
    if (kind == "with" && !has_source &&
        (word == "select" || word == "insert" || word == "update" || word == "delete")) {
      has_source = true;  // the body of a common table expression
      starts = false;
    } else if (word == "select") {
      const Token& prev = toks_[i - 1];
      const bool after_set_operator = IsWord(prev, "union") || IsWord(prev, "all") ||
                                      IsWord(prev, "except") || IsWord(prev, "intersect");
      if (after_set_operator) {
        starts = false;
      } else if (kind == "insert" && !has_source) {
        has_source = true;
        starts = false;
      } else {
        starts = true;
      }
    } else if (word == "values" && kind == "insert") {
      has_source = true;
    } else if (word == "set") {
      if (kind == "update" && !has_set) {
        has_set = true;
      } else {
        starts = true;
      }
    }
    if (starts) {
      close_at(i);
      kind = word;
    }
  }
  close_at(toks_.size());
  return out;
}

void Translator::NumberParameters(std::size_t begin, std::size_t end) {
  parameter_numbers_.clear();
  bool moved = false;
  for (std::size_t i = begin; i + 2 < end && !moved; ++i) {
    if (!IsWord(toks_[i], "top")) continue;
    std::size_t last = i + 1;
    if (IsOp(toks_[i + 1], "(") && match_[i + 1] < end) last = match_[i + 1];
    for (std::size_t k = i + 1; k <= last; ++k) moved = moved || IsOp(toks_[k], "?");
  }
  if (!moved) return;
  std::size_t number = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (IsOp(toks_[i], "?")) parameter_numbers_[i] = ++number;
  }
}

// ---------------------------------------------------------------------------------------------
// Parsing

Expr Translator::ParseNameOrCall(std::size_t& i, std::size_t end) {
  Expr e;
  e.kind = EK::kName;
  e.tok = e.first = i;
  e.parts.push_back(i++);
  while (i + 1 < end && IsOp(toks_[i], ".")) {
    const Token& next = toks_[i + 1];
    if (next.kind == TokKind::kWord || next.kind == TokKind::kBracketName ||
        next.kind == TokKind::kQuotedName) {
      e.parts.push_back(i + 1);
      i += 2;
    } else if (IsOp(next, "*")) {
      e.star = true;
      i += 2;
      return e;
    } else {
      break;
    }
  }
  if (i < end && IsOp(toks_[i], "(")) {
    e.kind = EK::kFunc;
    e.open = i;
    e.close = match_[i];
    e.body = Parse(i + 1, e.close);
    Nest(e);
    i = e.close + 1;
  }
  return e;
}

bool Translator::IsSign(const Expr& e) const {
  return RawOp(e, "+") || RawOp(e, "-") || RawOp(e, "~");
}

// Signs before an operand ("- - x") are read in a loop: a text may hold thousands of them.
bool Translator::StartsOperand(const Seq& flat, std::size_t i) const {
  while (i < flat.size() && IsSign(flat[i])) ++i;
  return i < flat.size() && IsOperand(flat[i]);
}

void Translator::Nest(Expr& e) const {
  int height = 0;
  for (const Expr& part : e.body) height = std::max(height, part.height);
  for (const Expr& kid : e.kids) height = std::max(height, kid.height);
  e.height = height + 1;
  if (e.height > kMaxTsqlNesting) Fail(TooDeep());
}

// REQUIRES: StartsOperand(flat, i).
Expr Translator::ParseUnary(Seq& flat, std::size_t& i) {
  const std::size_t signs = i;
  while (i < flat.size() && !IsOperand(flat[i])) ++i;
  Expr e = std::move(flat[i++]);
  // Each sign wraps what follows it, the innermost first. A chain too long to translate stops
  // growing, so that the tree given up on is never deeper than the limit.
  for (std::size_t k = i - 1; k-- > signs && error_.empty();) {
    Expr unary;
    unary.kind = EK::kUnary;
    unary.tok = unary.first = flat[k].tok;
    unary.kids.push_back(std::move(e));
    Nest(unary);
    e = std::move(unary);
  }
  return e;
}

Expr Translator::ParseMultiplicative(Seq& flat, std::size_t& i) {
  Expr left = ParseUnary(flat, i);
  // Each operator of a chain adds a level; a chain too long stops growing (see ParseUnary).
  while (error_.empty() && i < flat.size() &&
         (RawOp(flat[i], "*") || RawOp(flat[i], "/") || RawOp(flat[i], "%")) &&
         StartsOperand(flat, i + 1)) {
    Expr e;
    e.kind = EK::kBinary;
    e.tok = flat[i].tok;
    e.first = left.first;
    ++i;
    e.kids.push_back(std::move(left));
    e.kids.push_back(ParseUnary(flat, i));
    Nest(e);
    left = std::move(e);
  }
  return left;
}

// "+", "-" and the bitwise operators share one level and group from the left, as on the
// server.
Expr Translator::ParseAdditive(Seq& flat, std::size_t& i) {
  Expr left = ParseMultiplicative(flat, i);
  while (error_.empty() && i < flat.size() &&
         (RawOp(flat[i], "+") || RawOp(flat[i], "-") || RawOp(flat[i], "&") ||
          RawOp(flat[i], "|") || RawOp(flat[i], "^")) &&
         StartsOperand(flat, i + 1)) {
    Expr e;
    e.kind = EK::kBinary;
    e.tok = flat[i].tok;
    e.first = left.first;
    ++i;
    e.kids.push_back(std::move(left));
    e.kids.push_back(ParseMultiplicative(flat, i));
    Nest(e);
    left = std::move(e);
  }
  return left;
}

Seq Translator::Parse(std::size_t begin, std::size_t end) {
  Seq flat;
  // Parentheses, CASE and calls parse their insides by calling Parse again; the first call
  // past the limit refuses the text instead of going deeper.
  if (parse_depth_ >= kMaxTsqlNesting) {
    Fail(TooDeep());
    return flat;
  }
  ++parse_depth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{parse_depth_};
  std::size_t i = begin;
  while (i < end) {
    const Token& t = toks_[i];
    Expr e;
    e.tok = e.first = i;
    if (IsOp(t, "(")) {
      e.kind = EK::kParen;
      e.close = match_[i];
      e.body = Parse(i + 1, e.close);
      Nest(e);
      i = e.close + 1;
    } else if (t.kind == TokKind::kString) {
      e.kind = EK::kString;
      ++i;
    } else if (t.kind == TokKind::kNumber) {
      e.kind = EK::kNumber;
      ++i;
    } else if (t.kind == TokKind::kVariable) {
      e.kind = EK::kVariable;
      ++i;
    } else if (IsWord(t, "case")) {
      // Find the END of this CASE at this depth.
      std::size_t j = i + 1;
      int nesting = 1;
      while (j < end) {
        if (IsOp(toks_[j], "(")) {
          j = match_[j] + 1;
          continue;
        }
        if (IsWord(toks_[j], "case")) ++nesting;
        if (IsWord(toks_[j], "end") && --nesting == 0) break;
        ++j;
      }
      if (j >= end) {
        Fail(std::string(kUnreadable) + "CASE without END");
        return flat;
      }
      e.kind = EK::kCase;
      e.close = j;
      e.body = Parse(i + 1, j);
      Nest(e);
      i = j + 1;
    } else if (IsWord(t, "null")) {
      e.kind = EK::kNull;
      ++i;
    } else if ((IsWord(t, "left") || IsWord(t, "right")) && i + 1 < end &&
               IsOp(toks_[i + 1], "(")) {
      e = ParseNameOrCall(i, end);
    } else if (IsNameToken(t)) {
      e = ParseNameOrCall(i, end);
    } else {
      e.kind = EK::kRaw;
      ++i;
    }
    flat.push_back(std::move(e));
  }
  Seq out;
  std::size_t k = 0;
  while (k < flat.size()) {
    // TOP's count stands before the first select item without an operator between them; it
    // must not keep that item from being parsed as an expression.
    const bool after_top_count = out.size() >= 2 && RawIs(out[out.size() - 2], "top");
    const bool after_operand = !out.empty() && IsOperand(out.back()) && !after_top_count;
    if (!after_operand && StartsOperand(flat, k)) {
      out.push_back(ParseAdditive(flat, k));
    } else {
      out.push_back(std::move(flat[k++]));
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Types

std::vector<std::string> Translator::NameParts(const Expr& e) const {
  std::vector<std::string> parts;
  for (std::size_t p : e.parts) parts.push_back(ToLowerAscii(NameValue(toks_[p])));
  // "dbo" (and a database name before it) only says where the object lives.
  for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
    if (parts[k] == "dbo") {
      parts.erase(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      break;
    }
  }
  return parts;
}

std::optional<ColumnKind> Translator::RefKind(const TableRef& t, const std::string& column) const {
  if (!t.derived) {
    if (t.table.empty()) return std::nullopt;
    return catalog_.Kind(t.table, column);
  }
  for (const auto& [name, ty] : t.derived->columns) {
    if (name != column) continue;
    switch (ty) {
      case Ty::kText:
        return ColumnKind::kText;
      case Ty::kNumber:
        return ColumnKind::kNumber;
      case Ty::kDate:
        return ColumnKind::kDate;
      case Ty::kUnknown:
        return ColumnKind::kOther;
    }
  }
  if (t.derived->star) {
    for (const TableRef& inner : t.derived->inner.tables) {
      if (auto k = RefKind(inner, column)) return k;
    }
  }
  return std::nullopt;
}

Ty Translator::ColumnType(const Expr& e, const Scope* s) const {
  const std::vector<std::string> parts = NameParts(e);
  if (e.star || parts.empty()) return Ty::kUnknown;
  const std::string& column = parts.back();
  if (parts.size() == 1) {
    if (column == "current_timestamp") return Ty::kDate;
    for (const Scope* sc = s; sc != nullptr; sc = sc->outer) {
      std::optional<ColumnKind> found;
      for (const TableRef& t : sc->tables) {
        const auto k = RefKind(t, column);
        if (!k) continue;
        if (found && *found != *k) return Ty::kUnknown;
        found = k;
      }
      if (found) return ToTy(found);
    }
    return ToTy(catalog_.KindInAnyTable(column));
  }
  const std::string& qualifier = parts[parts.size() - 2];
  for (const Scope* sc = s; sc != nullptr; sc = sc->outer) {
    for (const TableRef& t : sc->tables) {
      if (t.alias == qualifier || (t.alias.empty() && t.table == qualifier)) {
        return ToTy(RefKind(t, column));
      }
    }
  }
  return ToTy(catalog_.Kind(qualifier, column));
}

namespace fn {
constexpr std::string_view kText[] = {"substring", "substr",    "left",   "right",    "ltrim",
                                      "rtrim",     "trim",      "upper",  "lower",    "replace",
                                      "space",     "replicate", "str",    "reverse",  "stuff",
                                      "char",      "nchar",     "concat", "quotename"};
constexpr std::string_view kNumber[] = {
    "len",       "charindex",  "patindex",   "count",   "count_big", "sum",   "avg",
    "abs",       "round",      "floor",      "ceiling", "sign",      "power", "sqrt",
    "isnumeric", "datediff",   "datepart",   "year",    "month",     "day",   "ascii",
    "unicode",   "datalength", "row_number", "rank",    "dense_rank"};
constexpr std::string_view kDate[] = {"getdate", "sysdatetime", "getutcdate", "dateadd"};
constexpr std::string_view kFirstArg[] = {"isnull", "ifnull", "coalesce", "nullif", "max", "min"};
constexpr std::string_view kTextTypes[] = {"char", "nchar", "varchar", "nvarchar",
                                           "text", "ntext", "sysname"};
constexpr std::string_view kIntTypes[] = {"int", "integer", "bigint", "smallint", "tinyint"};
constexpr std::string_view kRealTypes[] = {"float", "real"};
constexpr std::string_view kDecimalTypes[] = {"decimal", "numeric", "money", "smallmoney", "bit"};
constexpr std::string_view kDateTypes[] = {"datetime", "smalldatetime", "datetime2", "date"};
}  // namespace fn

// Where the arguments of a call (or the items of a list) begin and end.
std::vector<std::pair<std::size_t, std::size_t>> SplitAtCommas(const Seq& seq,
                                                               const std::vector<Token>& toks,
                                                               std::size_t begin, std::size_t end) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  if (begin >= end) return out;
  std::size_t from = begin;
  for (std::size_t i = begin; i < end; ++i) {
    if (seq[i].kind == EK::kRaw && IsOp(toks[seq[i].tok], ",")) {
      out.emplace_back(from, i);
      from = i + 1;
    }
  }
  out.emplace_back(from, end);
  return out;
}

Ty TypeOfTypeName(const std::string& type) {
  if (OneOf(type, fn::kTextTypes)) return Ty::kText;
  if (OneOf(type, fn::kIntTypes) || OneOf(type, fn::kRealTypes) || OneOf(type, fn::kDecimalTypes)) {
    return Ty::kNumber;
  }
  if (OneOf(type, fn::kDateTypes)) return Ty::kDate;
  return Ty::kUnknown;
}

Ty Translator::FuncType(const Expr& e, const Scope* s) const {
  const std::vector<std::string> parts = NameParts(e);
  if (parts.size() != 1) return Ty::kUnknown;
  const std::string& name = parts[0];
  const auto args = SplitAtCommas(e.body, toks_, 0, e.body.size());
  auto arg_type = [&](std::size_t k) {
    if (k >= args.size() || args[k].second - args[k].first != 1) return Ty::kUnknown;
    return TypeOf(e.body[args[k].first], s);
  };
  if (name == "convert" && !args.empty() && args[0].second - args[0].first == 1) {
    const Expr& type = e.body[args[0].first];
    if (type.kind == EK::kName || type.kind == EK::kFunc) {
      return TypeOfTypeName(ToLowerAscii(NameValue(toks_[type.parts.back()])));
    }
    return Ty::kUnknown;
  }
  if (name == "cast") {
    for (std::size_t k = 0; k + 1 < e.body.size(); ++k) {
      if (RawIs(e.body[k], "as")) {
        const Expr& type = e.body[k + 1];
        if (type.kind == EK::kName || type.kind == EK::kFunc) {
          return TypeOfTypeName(ToLowerAscii(NameValue(toks_[type.parts.back()])));
        }
      }
    }
    return Ty::kUnknown;
  }
  if (OneOf(name, fn::kText)) return Ty::kText;
  if (OneOf(name, fn::kNumber)) return Ty::kNumber;
  if (OneOf(name, fn::kDate)) return Ty::kDate;
  if (OneOf(name, fn::kFirstArg)) {
    for (std::size_t k = 0; k < args.size(); ++k) {
      const Ty t = arg_type(k);
      if (t != Ty::kUnknown) return t;
    }
  }
  return Ty::kUnknown;
}

Ty Translator::TypeOf(const Expr& e, const Scope* s) const {
  switch (e.kind) {
    case EK::kString:
      return Ty::kText;
    case EK::kNumber:
      return Ty::kNumber;
    case EK::kName:
      return ColumnType(e, s);
    case EK::kFunc:
      return FuncType(e, s);
    case EK::kCase:
      // The first result whose type is known.
      for (std::size_t k = 0; k + 1 < e.body.size(); ++k) {
        if (RawIs(e.body[k], "then") || RawIs(e.body[k], "else")) {
          const Ty t = TypeOf(e.body[k + 1], s);
          if (t != Ty::kUnknown) return t;
        }
      }
      return Ty::kUnknown;
    case EK::kParen:
      if (!e.body.empty() && RawIs(e.body[0], "select")) {
        const auto derived = AnalyzeDerived(e.body, s);
        return derived->columns.empty() ? Ty::kUnknown : derived->columns[0].second;
      }
      return e.body.size() == 1 ? TypeOf(e.body[0], s) : Ty::kUnknown;
    case EK::kUnary:
      return TypeOf(e.kids[0], s) == Ty::kNumber ? Ty::kNumber : Ty::kUnknown;
    case EK::kBinary: {
      const Ty l = TypeOf(e.kids[0], s);
      const Ty r = TypeOf(e.kids[1], s);
      const std::string_view op = toks_[e.tok].text;
      if (op == "+") {
        if (l == Ty::kText && r == Ty::kText) return Ty::kText;
        if (l == Ty::kNumber && r == Ty::kNumber) return Ty::kNumber;
        if ((l == Ty::kDate && r == Ty::kNumber) || (l == Ty::kNumber && r == Ty::kDate)) {
          return Ty::kDate;
        }
        return Ty::kUnknown;
      }
      if (op == "-" && l == Ty::kDate && r == Ty::kNumber) return Ty::kDate;
      return Ty::kNumber;
    }
    case EK::kRaw:
    case EK::kVariable:
    case EK::kNull:
      break;
  }
  return Ty::kUnknown;
}

bool Translator::EmitsConcat(const Expr& e, const Scope* s) const {
  return e.kind == EK::kBinary && toks_[e.tok].text == "+" && TypeOf(e.kids[0], s) == Ty::kText &&
         TypeOf(e.kids[1], s) == Ty::kText;
}

// ---------------------------------------------------------------------------------------------
// Output

std::string Translator::RawText(std::size_t tok) {
  const Token& t = toks_[tok];
  if (t.kind == TokKind::kOp) {
    if (const auto it = parameter_numbers_.find(tok); it != parameter_numbers_.end()) {
      return "?" + std::to_string(it->second);
    }
    if (t.text == "!<") return ">=";
    if (t.text == "!>") return "<=";
    if (t.text.size() == 2 && t.text[1] == '=' && t.text != "<=" && t.text != ">=" &&
        t.text != "!=") {
      Unsupported("compound assignment " + std::string(t.text));
    } else if (t.text == "^") {
      Unsupported("^ (exclusive or)");
    } else if (t.text == "::" || t.text == "||" || t.text == "{" || t.text == "}") {
      Unsupported(std::string(t.text));
    }
  } else if (IsWord(t, "collate")) {
    Unsupported("COLLATE");
  }
  return std::string(t.text);
}

std::string Translator::NameText(const Expr& e) const {
  std::string out;
  std::size_t from = 0;
  // "dbo" (and a database name before it) is dropped: the database has one schema.
  for (std::size_t k = 0; k + 1 < e.parts.size(); ++k) {
    if (EqualsIgnoreCase(NameValue(toks_[e.parts[k]]), "dbo")) {
      from = k + 1;
      break;
    }
  }
  for (std::size_t k = from; k < e.parts.size(); ++k) {
    if (k > from) out += '.';
    const Token& t = toks_[e.parts[k]];
    if (t.kind == TokKind::kBracketName) {
      out += '"';
      for (char c : NameValue(t)) {
        out += c;
        if (c == '"') out += '"';
      }
      out += '"';
    } else if (t.kind == TokKind::kWord && e.kind == EK::kName &&
               OneOf(t.text, kSqliteOnlyReserved)) {
      out += '"' + std::string(t.text) + '"';
    } else {
      out += t.text;
    }
  }
  if (e.star) out += ".*";
  return out;
}

std::string Translator::SeqText(const Seq& seq, std::size_t begin, std::size_t end,
                                const Scope* s) {
  std::string out;
  for (std::size_t i = begin; i < end && i < seq.size(); ++i) out += Out(seq[i], s);
  return out;
}

std::string Translator::Trimmed(const Seq& seq, std::size_t begin, std::size_t end,
                                const Scope* s) {
  std::string out = SeqText(seq, begin, end, s);
  const std::size_t first = out.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : out.substr(first);
}

std::string Translator::ParenText(const Expr& e, const Scope* s) {
  std::string inner;
  if (!e.body.empty() && (RawIs(e.body[0], "select") || RawIs(e.body[0], "with"))) {
    inner = Lead(e.body[0]) + Query(e.body, 0, e.body.size(), s);
  } else {
    inner = SeqText(e.body, 0, e.body.size(), s);
  }
  return "(" + inner + (toks_[e.close].space_before ? " )" : ")");
}

std::string Translator::ChildText(const Expr& e, const Scope* s, bool under_concat) {
  const bool concat = EmitsConcat(e, s);
  const bool wrap =
      under_concat ? (!concat && (e.kind == EK::kBinary || e.kind == EK::kUnary)) : concat;
  return wrap ? Lead(e) + "(" + Text(e, s) + ")" : Out(e, s);
}

std::string Translator::BinaryText(const Expr& e, const Scope* s) {
  const Expr& l = e.kids[0];
  const Expr& r = e.kids[1];
  const std::string_view op = toks_[e.tok].text;
  const std::string op_lead = toks_[e.tok].space_before ? " " : "";
  if (op == "+" || op == "-") {
    const Ty lt = TypeOf(l, s);
    const Ty rt = TypeOf(r, s);
    if (op == "+" && lt == Ty::kText && rt == Ty::kText) {
      // SQLite's || binds tighter than any other operator, so only compound operands need
      // their own parentheses.
      return ChildText(l, s, true).substr(Lead(l).size()) + op_lead + "||" + ChildText(r, s, true);
    }
    if (lt == Ty::kDate && rt == Ty::kNumber) {
      const std::string n = op == "-" ? "-(" + Text(r, s) + ")" : Text(r, s);
      return "korvane_dateadd('day', " + n + ", " + Text(l, s) + ")";
    }
    if (op == "+" && lt == Ty::kNumber && rt == Ty::kDate) {
      return "korvane_dateadd('day', " + Text(l, s) + ", " + Text(r, s) + ")";
    }
    if (op == "-" && lt == Ty::kDate && rt == Ty::kDate) {
      Unsupported("subtracting dates (use DATEDIFF)");
    }
    if (op == "+" && !(lt == Ty::kNumber && rt == Ty::kNumber)) {
      // Text or number only shows when the statement runs.
      return "korvane_plus(" + Text(l, s) + ", " + Text(r, s) + ")";
    }
  }
  std::string out = ChildText(l, s, false).substr(Lead(l).size()) + op_lead + RawText(e.tok) +
                    ChildText(r, s, false);
  // SQLite ranks & and | below + and -; the server ranks them alike, left to right.
  if (op == "&" || op == "|") out = "(" + out + ")";
  return out;
}

std::string Translator::Text(const Expr& e, const Scope* s) {
  switch (e.kind) {
    case EK::kRaw:
      return RawText(e.tok);
    case EK::kString: {
      const std::string_view text = toks_[e.tok].text;
      return std::string(text[0] == '\'' ? text : text.substr(1));  // N'..' is '..'
    }
    case EK::kNumber:
      return std::string(toks_[e.tok].text);
    case EK::kVariable: {
      const std::string_view text = toks_[e.tok].text;
      if (text.size() > 1 && text[1] == '@') Unsupported(std::string(text));
      return std::string(text);
    }
    case EK::kNull:
      return std::string(toks_[e.tok].text);
    case EK::kName:
      if (e.parts.size() == 1 && !e.star && IsWord(toks_[e.tok], "current_timestamp")) {
        return "datetime('now', 'localtime')";
      }
      return NameText(e);
    case EK::kFunc:
      return FuncText(e, s);
    case EK::kCase:
      return std::string(toks_[e.tok].text) + SeqText(e.body, 0, e.body.size(), s) +
             (toks_[e.close].space_before ? " " : "") + std::string(toks_[e.close].text);
    case EK::kParen:
      return ParenText(e, s);
    case EK::kUnary: {
      const Expr& operand = e.kids[0];
      return RawText(e.tok) + ChildText(operand, s, false);
    }
    case EK::kBinary:
      return BinaryText(e, s);
  }
  return {};
}

std::string NormalizeDatePart(std::string part) {
  static const std::map<std::string, std::string, std::less<>> kParts = {
      {"year", "year"},       {"yy", "year"},
      {"yyyy", "year"},       {"quarter", "quarter"},
      {"qq", "quarter"},      {"q", "quarter"},
      {"month", "month"},     {"mm", "month"},
      {"m", "month"},         {"dayofyear", "dayofyear"},
      {"dy", "dayofyear"},    {"y", "dayofyear"},
      {"day", "day"},         {"dd", "day"},
      {"d", "day"},           {"week", "week"},
      {"wk", "week"},         {"ww", "week"},
      {"weekday", "weekday"}, {"dw", "weekday"},
      {"w", "weekday"},       {"hour", "hour"},
      {"hh", "hour"},         {"minute", "minute"},
      {"mi", "minute"},       {"n", "minute"},
      {"second", "second"},   {"ss", "second"},
      {"s", "second"}};
  const auto it = kParts.find(part);
  return it == kParts.end() ? std::string() : it->second;
}

std::string Translator::FuncText(const Expr& e, const Scope* s) {
  const std::vector<std::string> parts = NameParts(e);
  const std::string name = parts.size() == 1 ? parts[0] : std::string();
  const auto args = SplitAtCommas(e.body, toks_, 0, e.body.size());
  const std::string close = toks_[e.close].space_before ? " )" : ")";
  auto body = [&] { return SeqText(e.body, 0, e.body.size(), s) + close; };
  auto arg = [&](std::size_t k) { return Trimmed(e.body, args[k].first, args[k].second, s); };
  auto need_args = [&](std::size_t low, std::size_t high) {
    if (args.size() < low || args.size() > high) {
      Unsupported(ToLowerAscii(name) + " with " + std::to_string(args.size()) + " arguments");
      return false;
    }
    return true;
  };
  auto date_part = [&](std::size_t k) {
    std::string part;
    if (args[k].second - args[k].first == 1) {
      const Expr& p = e.body[args[k].first];
      if (p.kind == EK::kName && p.parts.size() == 1) part = ToLowerAscii(NameValue(toks_[p.tok]));
      if (p.kind == EK::kString) {
        const std::string_view text = toks_[p.tok].text;
        part = ToLowerAscii(text.substr(text.find('\'') + 1, text.size() - text.find('\'') - 2));
      }
    }
    const std::string normal = NormalizeDatePart(part);
    if (normal.empty()) Unsupported("date part " + arg(k) + " in " + name);
    return "'" + normal + "'";
  };

  if (name == "isnull") {
    if (!need_args(2, 2)) return {};
    return "ifnull(" + body();
  }
  if (name == "substring") {
    if (!need_args(3, 3)) return {};
    // SQLite's substr agrees with the server for positions and lengths that are not negative.
    const bool plain =
        e.body[args[1].first].kind == EK::kNumber && args[1].second - args[1].first == 1 &&
        e.body[args[2].first].kind == EK::kNumber && args[2].second - args[2].first == 1;
    return (plain ? "substr(" : "korvane_substring(") + body();
  }
  if (name == "left") {
    if (!need_args(2, 2)) return {};
    return "substr(" + arg(0) + ", 1, " + arg(1) + ")";
  }
  if (name == "right") {
    if (!need_args(2, 2)) return {};
    return "korvane_right(" + body();
  }
  if (name == "len") {
    if (!need_args(1, 1)) return {};
    return "length(rtrim(" + arg(0) + "))";
  }
  if (name == "charindex") {
    if (!need_args(2, 3)) return {};
    return "korvane_charindex(" + body();
  }
  if (name == "replace") {
    if (!need_args(3, 3)) return {};
    return "korvane_replace(" + body();
  }
  if (name == "getdate" || name == "sysdatetime") {
    if (!e.body.empty()) need_args(0, 0);
    return "datetime('now', 'localtime')";
  }
  if (name == "getutcdate") {
    if (!e.body.empty()) need_args(0, 0);
    return "datetime('now')";
  }
  if (name == "year" || name == "month" || name == "day") {
    if (!need_args(1, 1)) return {};
    return "korvane_datepart('" + name + "', " + arg(0) + ")";
  }
  if (name == "datepart") {
    if (!need_args(2, 2)) return {};
    return "korvane_datepart(" + date_part(0) + ", " + arg(1) + ")";
  }
  if (name == "datediff") {
    if (!need_args(3, 3)) return {};
    return "korvane_datediff(" + date_part(0) + ", " + arg(1) + ", " + arg(2) + ")";
  }
  if (name == "dateadd") {
    if (!need_args(3, 3)) return {};
    return "korvane_dateadd(" + date_part(0) + ", " + arg(1) + ", " + arg(2) + ")";
  }
  if (name == "isnumeric" || name == "space" || name == "replicate" || name == "str") {
    return "korvane_" + name + "(" + body();
  }
  if (name == "ascii") return "unicode(" + body();
  if (name == "count_big") return "count(" + body();
  if (name == "concat") {
    // The server's concat reads NULL as the empty text.
    std::string out = "(";
    for (std::size_t k = 0; k < args.size(); ++k) {
      if (k > 0) out += " || ";
      out += "ifnull(korvane_text(" + arg(k) + "), '')";
    }
    return out + ")";
  }
  if (name == "convert") {
    if (!need_args(2, 3)) return {};
    if (args[0].second - args[0].first != 1) {
      Unsupported("CONVERT to " + arg(0));
      return {};
    }
    const Expr* style =
        args.size() > 2 && args[2].second - args[2].first == 1 ? &e.body[args[2].first] : nullptr;
    if (args.size() > 2 && style == nullptr) Unsupported("CONVERT style " + arg(2));
    return ConvertText(e.body[args[0].first], e.body, args[1].first, args[1].second, style, s,
                       "CONVERT");
  }
  if (name == "cast") {
    std::size_t as = kNone;
    for (std::size_t k = 0; k < e.body.size(); ++k) {
      if (RawIs(e.body[k], "as")) as = k;
    }
    if (as == kNone || as + 2 != e.body.size()) {
      Unsupported("CAST without a plain type");
      return {};
    }
    return ConvertText(e.body[as + 1], e.body, 0, as, nullptr, s, "CAST");
  }
  // Everything else keeps its name (without "dbo."): SQLite's own functions and the database's
  // functions registered on the connection.
  Expr name_only = e;
  name_only.kind = EK::kName;
  return NameText(name_only) + (toks_[e.open].space_before ? " (" : "(") + body();
}

std::string Translator::ConvertText(const Expr& type, const Seq& value_seq, std::size_t vb,
                                    std::size_t ve, const Expr* style, const Scope* s,
                                    const std::string& what) {
  if (type.kind != EK::kName && type.kind != EK::kFunc) {
    Unsupported(what + " to " + Text(type, s));
    return {};
  }
  const std::string type_name = ToLowerAscii(NameValue(toks_[type.parts.back()]));
  std::vector<std::string> params;
  if (type.kind == EK::kFunc) {
    for (const auto& [b, e] : SplitAtCommas(type.body, toks_, 0, type.body.size())) {
      params.push_back(ToLowerAscii(Trimmed(type.body, b, e, s)));
    }
  }
  const std::string value = Trimmed(value_seq, vb, ve, s);
  const Ty vt = ve - vb == 1 ? TypeOf(value_seq[vb], s) : Ty::kUnknown;
  int style_number = -1;
  if (style != nullptr) {
    if (style->kind != EK::kNumber) {
      Unsupported(what + " style " + Text(*style, s));
      return {};
    }
    style_number = std::stoi(std::string(toks_[style->tok].text));
  }
  auto scale = [&](std::size_t k, int fallback) {
    if (params.size() <= k) return fallback;
    return std::stoi(params[k]);
  };

  if (OneOf(type_name, fn::kTextTypes)) {
    int length = type_name == "text" || type_name == "ntext" ? -1 : 30;
    if (!params.empty()) length = params[0] == "max" ? -1 : scale(0, 30);
    std::string inner;
    int natural = -1;  // the longest text `inner` can yield, when known
    if (vt == Ty::kText) {
      inner = value;  // the server ignores the style for texts
    } else if (vt == Ty::kNumber) {
      inner = "korvane_text(" + value + ")";
    } else if (style_number >= 0 && style_number != 0) {
      natural = DateStyleLength(style_number);
      if (natural < 0) {
        Unsupported(what + " style " + std::to_string(style_number));
        return {};
      }
      if (vt != Ty::kDate) natural = -1;
      inner = "korvane_datetext(" + value + ", " + std::to_string(style_number) + ")";
    } else if (vt == Ty::kDate) {
      Unsupported(what + " of a date to text without a style");
      return {};
    } else {
      inner = "korvane_text(" + value + ")";
    }
    // char(n) pads with blanks on the server; the padding is left out here, as comparisons
    // ignore trailing blanks and the callers cut the text anyway.
    if (length >= 0 && !(natural >= 0 && natural <= length)) {
      return "substr(" + inner + ", 1, " + std::to_string(length) + ")";
    }
    return inner;
  }
  if (OneOf(type_name, fn::kIntTypes)) return "CAST(" + value + " AS INTEGER)";
  if (OneOf(type_name, fn::kRealTypes)) return "CAST(" + value + " AS REAL)";
  if (type_name == "bit") return "(CAST(" + value + " AS REAL) <> 0)";
  if (OneOf(type_name, fn::kDecimalTypes)) {
    // REAL, never NUMERIC: a NUMERIC 3.0 becomes the integer 3 and then divides as one.
    const int digits = type_name == "money" || type_name == "smallmoney" ? 4 : scale(1, 0);
    return "round(CAST(" + value + " AS REAL), " + std::to_string(digits) + ")";
  }
  if (OneOf(type_name, fn::kDateTypes)) {
    if (style_number >= 0) {
      static constexpr int kReadable[] = {0, 20, 120, 21, 121, 23, 102, 111, 112, 126};
      bool readable = false;
      for (int r : kReadable) readable = readable || r == style_number;
      if (!readable) {
        Unsupported(what + " to " + type_name + " with style " + std::to_string(style_number));
        return {};
      }
    }
    if (type_name == "date") return "substr(korvane_datetime(" + value + "), 1, 10)";
    return "korvane_datetime(" + value + ")";
  }
  Unsupported(what + " to " + type_name);
  return {};
}

// ---------------------------------------------------------------------------------------------
// Queries

Member Translator::Analyze(const Seq& seq, std::size_t begin, std::size_t end) const {
  Member m;
  m.begin = begin;
  m.end = end;
  std::size_t k = begin + 1;
  if (k < end && (RawIs(seq[k], "distinct") || RawIs(seq[k], "all"))) m.distinct = k++;
  if (k < end && RawIs(seq[k], "top")) {
    m.top = k++;
    if (k < end && (seq[k].kind == EK::kNumber || seq[k].kind == EK::kParen ||
                    seq[k].kind == EK::kVariable || RawOp(seq[k], "?"))) {
      m.top_count = k++;
    } else {
      Unsupported("TOP without a count");
    }
    if (k < end && RawIs(seq[k], "percent")) Unsupported("TOP ... PERCENT");
    if (k + 1 < end && RawIs(seq[k], "with") && RawIs(seq[k + 1], "ties")) {
      Unsupported("TOP ... WITH TIES");
    }
    // The server wants DISTINCT before TOP; after it the meaning is still plain.
    if (k < end && m.distinct == kNone && RawIs(seq[k], "distinct")) m.distinct = k++;
  }
  m.list_begin = k;
  m.list_end = end;
  for (std::size_t i = k; i < end; ++i) {
    const Expr& e = seq[i];
    if (e.kind != EK::kRaw) continue;
    if (RawIs(e, "into")) {
      Unsupported("SELECT ... INTO");
    } else if (RawIs(e, "for") || RawIs(e, "option")) {
      Unsupported(ToLowerAscii(toks_[e.tok].text) == "for" ? "SELECT ... FOR" : "OPTION (...)");
    } else if (RawIs(e, "with")) {
      Unsupported("WITH (table hint)");
    } else if (RawIs(e, "from") && m.from == kNone) {
      m.from = i;
    } else if (RawIs(e, "where") || RawIs(e, "group") || RawIs(e, "having") || RawIs(e, "order")) {
      if (m.from != kNone && m.from_end == kNone) m.from_end = i;
      if (RawIs(e, "order")) m.order = i;
    } else {
      continue;
    }
    if (m.list_end == end) m.list_end = i;
  }
  if (m.from != kNone && m.from_end == kNone) m.from_end = end;
  return m;
}

void Translator::BuildFrom(const Seq& seq, std::size_t begin, std::size_t end, Scope& scope) const {
  bool expect_table = true;
  std::size_t i = begin;
  while (i < end) {
    const Expr& e = seq[i];
    if (!expect_table) {
      if (RawOp(e, ",") || RawIs(e, "join") || RawIs(e, "apply")) expect_table = true;
      ++i;
      continue;
    }
    TableRef ref;
    if (e.kind == EK::kName) {
      const auto parts = NameParts(e);
      if (!parts.empty()) ref.table = parts.back();
    } else if (e.kind == EK::kParen) {
      if (!e.body.empty() && RawIs(e.body[0], "select")) {
        ref.derived = AnalyzeDerived(e.body, scope.outer);
      } else {
        // A parenthesised join: its tables are visible outside.
        BuildFrom(e.body, 0, e.body.size(), scope);
      }
    } else if (e.kind != EK::kFunc) {
      ++i;
      continue;
    }
    ++i;
    if (i < end && RawIs(seq[i], "as")) ++i;
    if (i < end && seq[i].kind == EK::kName && seq[i].parts.size() == 1 && !seq[i].star) {
      ref.alias = ToLowerAscii(NameValue(toks_[seq[i].tok]));
      ++i;
    }
    if (!ref.table.empty() || ref.derived || !ref.alias.empty()) scope.tables.push_back(ref);
    expect_table = false;
  }
}

std::shared_ptr<const Derived> Translator::AnalyzeDerived(const Seq& body,
                                                          const Scope* outer) const {
  auto derived = std::make_shared<Derived>();
  derived->inner.outer = outer;
  std::size_t end = body.size();
  for (std::size_t i = 1; i < body.size(); ++i) {
    if (RawIs(body[i], "union") || RawIs(body[i], "except") || RawIs(body[i], "intersect")) {
      end = i;
      break;
    }
  }
  const std::string saved = error_;  // analysis only; the errors show when the text is written
  const Member m = Analyze(body, 0, end);
  if (m.from != kNone) BuildFrom(body, m.from + 1, m.from_end, derived->inner);
  for (const auto& [b, e] : SplitAtCommas(body, toks_, m.list_begin, m.list_end)) {
    if (e <= b) continue;
    if (RawOp(body[b], "*") || (body[b].kind == EK::kName && body[b].star)) {
      derived->star = true;
      continue;
    }
    std::string alias;
    const Expr* value = nullptr;
    if (e - b == 3 && body[b].kind == EK::kName && body[b].parts.size() == 1 &&
        RawOp(body[b + 1], "=")) {
      alias = NameValue(toks_[body[b].tok]);
      value = &body[b + 2];
    } else if (e - b == 3 && RawIs(body[b + 1], "as")) {
      alias = NameValue(toks_[body[e - 1].tok]);
      value = &body[b];
    } else if (e - b == 2 && body[b + 1].kind == EK::kName) {
      alias = NameValue(toks_[body[b + 1].tok]);
      value = &body[b];
    } else if (e - b == 1) {
      value = &body[b];
      if (value->kind == EK::kName) alias = NameValue(toks_[value->parts.back()]);
    }
    const Ty ty = value != nullptr ? TypeOf(*value, &derived->inner) : Ty::kUnknown;
    derived->columns.emplace_back(ToLowerAscii(alias), ty);
  }
  error_ = saved;
  return derived;
}

std::string Translator::MemberText(const Seq& seq, const Member& m, std::size_t end,
                                   const Scope& scope) {
  std::string out = RawText(seq[m.begin].tok);
  if (m.distinct != kNone) out += Out(seq[m.distinct], &scope);
  // The select list; "name = value" items are the server's way of naming a column.
  const auto items = SplitAtCommas(seq, toks_, m.list_begin, m.list_end);
  for (std::size_t k = 0; k < items.size(); ++k) {
    const auto [b, e] = items[k];
    if (k > 0) out += Out(seq[b - 1], &scope);  // the comma
    if (e - b >= 3 && (seq[b].kind == EK::kName || seq[b].kind == EK::kString) &&
        (seq[b].kind != EK::kName || seq[b].parts.size() == 1) && RawOp(seq[b + 1], "=")) {
      out += Lead(seq[b]) + Trimmed(seq, b + 2, e, &scope) + " AS " + Text(seq[b], &scope);
    } else {
      out += SeqText(seq, b, e, &scope);
    }
  }
  out += SeqText(seq, m.list_end, end, &scope);
  return out;
}

std::string Translator::Query(const Seq& seq, std::size_t begin, std::size_t end,
                              const Scope* outer) {
  std::string out;
  std::size_t i = begin;
  if (i < end && RawIs(seq[i], "with")) {
    // Common table expressions: everything up to the body's SELECT.
    while (i < end && !RawIs(seq[i], "select")) out += Out(seq[i++], outer);
    if (i == end) return out;
    out += Lead(seq[i]);
  }
  // Members of a compound select and the operators between them.
  std::vector<std::pair<std::size_t, std::size_t>> members;
  std::size_t from = i;
  for (std::size_t k = i; k < end; ++k) {
    if (RawIs(seq[k], "union") || RawIs(seq[k], "except") || RawIs(seq[k], "intersect")) {
      members.emplace_back(from, k);
      std::size_t next = k + 1;
      if (next < end && RawIs(seq[next], "all")) ++next;
      from = next;
      k = next - 1;
    }
  }
  members.emplace_back(from, end);
  const bool compound = members.size() > 1;
  for (std::size_t n = 0; n < members.size(); ++n) {
    const auto [mb, me] = members[n];
    if (n > 0) {
      out += SeqText(seq, members[n - 1].second, mb, outer);  // UNION [ALL] ...
      if (mb < me) out += Lead(seq[mb]);
    }
    if (mb >= me || !RawIs(seq[mb], "select")) {
      Unsupported("a query member that is not a plain SELECT");
      return out;
    }
    const Member m = Analyze(seq, mb, me);
    Scope scope;
    scope.outer = outer;
    if (m.from != kNone) BuildFrom(seq, m.from + 1, m.from_end, scope);
    const bool last = n + 1 == members.size();
    // The ORDER BY after the last member sorts the whole compound.
    const std::size_t body_end = compound && last && m.order != kNone ? m.order : me;
    std::string text = MemberText(seq, m, body_end, scope);
    if (m.top_count != kNone) {
      const std::string count = Text(seq[m.top_count], &scope);
      if (compound) {
        // LIMIT would end the whole compound; the member keeps its own in a subquery.
        text = "SELECT * FROM (" + text + " LIMIT " + count + ")";
      } else {
        text += " LIMIT " + count;
      }
    }
    out += text;
    if (body_end < me) out += SeqText(seq, body_end, me, &scope);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Statements

std::string Translator::Insert(const Seq& seq) {
  std::string out = RawText(seq[0].tok);
  std::size_t i = 1;
  if (i < seq.size() && RawIs(seq[i], "into")) {
    out += Out(seq[i++], nullptr);
  } else {
    out += " INTO";
  }
  if (i >= seq.size() || (seq[i].kind != EK::kName && seq[i].kind != EK::kFunc)) {
    Unsupported("INSERT without a table name");
    return {};
  }
  const Expr& target = seq[i++];
  out += " ";
  Expr name_only = target;
  name_only.kind = EK::kName;
  out += NameText(name_only);
  if (target.kind == EK::kFunc) {
    out += (toks_[target.open].space_before ? " (" : "(") +
           SeqText(target.body, 0, target.body.size(), nullptr) + ")";
  }
  if (i < seq.size() && (RawIs(seq[i], "select") || RawIs(seq[i], "with"))) {
    return out + Lead(seq[i]) + Query(seq, i, seq.size(), nullptr);
  }
  if (i < seq.size() && (RawIs(seq[i], "exec") || RawIs(seq[i], "execute"))) {
    Unsupported("INSERT ... EXEC");
    return {};
  }
  return out + SeqText(seq, i, seq.size(), nullptr);
}

std::string Translator::Update(const Seq& seq) {
  std::size_t i = 1;
  if (i < seq.size() && RawIs(seq[i], "top")) {
    Unsupported("UPDATE TOP");
    return {};
  }
  if (i >= seq.size() || seq[i].kind != EK::kName) {
    Unsupported("UPDATE without a table name");
    return {};
  }
  const std::vector<std::string> target_parts = NameParts(seq[i]);
  const std::string target = target_parts.empty() ? std::string() : target_parts.back();
  Scope scope;
  scope.tables.push_back(TableRef{"", target, nullptr});
  for (std::size_t k = i + 1; k < seq.size(); ++k) {
    if (!RawIs(seq[k], "from")) continue;
    std::size_t end = k + 1;
    while (end < seq.size() && !RawIs(seq[end], "where") && !RawIs(seq[end], "option")) ++end;
    Scope from;
    BuildFrom(seq, k + 1, end, from);
    for (const TableRef& t : from.tables) {
      if (t.table == target || t.alias == target) {
        // SQLite joins the updated table to FROM by itself; naming it again there would join
        // it twice.
        Unsupported("UPDATE ... FROM naming the updated table again");
        return {};
      }
      scope.tables.push_back(t);
    }
    break;
  }
  return RawText(seq[0].tok) + SeqText(seq, 1, seq.size(), &scope);
}

std::string Translator::Delete(const Seq& seq) {
  std::string out = RawText(seq[0].tok);
  std::size_t i = 1;
  if (i < seq.size() && RawIs(seq[i], "top")) {
    Unsupported("DELETE TOP");
    return {};
  }
  if (i < seq.size() && RawIs(seq[i], "from")) {
    out += Out(seq[i++], nullptr);
  } else {
    out += " FROM";
  }
  if (i >= seq.size() || seq[i].kind != EK::kName) {
    Unsupported("DELETE without a table name");
    return {};
  }
  const std::vector<std::string> parts = NameParts(seq[i]);
  Scope scope;
  scope.tables.push_back(TableRef{"", parts.empty() ? std::string() : parts.back(), nullptr});
  out += " " + NameText(seq[i++]);
  if (i < seq.size() && RawIs(seq[i], "from")) {
    Unsupported("DELETE ... FROM ... (a delete with a join)");
    return {};
  }
  return out + SeqText(seq, i, seq.size(), &scope);
}

std::string Translator::Statement(const Seq& seq) {
  const Expr& head = seq[0];
  if (RawIs(head, "select") || RawIs(head, "with")) return Query(seq, 0, seq.size(), nullptr);
  if (RawIs(head, "insert")) return Insert(seq);
  if (RawIs(head, "update")) return Update(seq);
  if (RawIs(head, "delete")) return Delete(seq);
  if (RawIs(head, "truncate")) {
    if (seq.size() == 3 && RawIs(seq[1], "table") && seq[2].kind == EK::kName) {
      return "DELETE FROM " + NameText(seq[2]);
    }
    Unsupported("TRUNCATE without TABLE name");
    return {};
  }
  if (head.kind == EK::kRaw && toks_[head.tok].kind == TokKind::kWord) {
    std::string word(toks_[head.tok].text);
    for (char& c : word) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    Unsupported(word + " statement");
  } else {
    Unsupported("a statement beginning with '" + std::string(toks_[head.first].text) + "'");
  }
  return {};
}

Translation Translator::Run() {
  Translation result;
  // SQLite reads a statement only up to a NUL byte: what runs would be less than what was sent.
  if (const std::size_t nul = batch_.find('\0'); nul != std::string_view::npos) {
    result.error = std::string(kUnreadable) + "a NUL byte at offset " + std::to_string(nul);
    return result;
  }
  if (!Tokenize(batch_, toks_, error_)) {
    result.error = error_;
    return result;
  }
  // Match the parentheses once.
  match_.assign(toks_.size(), kNone);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < toks_.size(); ++i) {
    if (IsOp(toks_[i], "(")) {
      open.push_back(i);
    } else if (IsOp(toks_[i], ")")) {
      if (open.empty()) {
        result.error = std::string(kUnreadable) + "unbalanced parentheses";
        return result;
      }
      match_[open.back()] = i;
      match_[i] = open.back();
      open.pop_back();
    }
  }
  if (!open.empty()) {
    result.error = std::string(kUnreadable) + "unbalanced parentheses";
    return result;
  }
  for (const auto& [begin, end] : SplitStatements()) {
    NumberParameters(begin, end);
    const Seq seq = Parse(begin, end);
    if (!error_.empty()) break;
    if (seq.empty()) continue;
    std::string text = Statement(seq);
    if (!error_.empty()) break;
    const std::size_t first = text.find_first_not_of(' ');
    result.statements.push_back(first == std::string::npos ? std::string() : text.substr(first));
  }
  if (!error_.empty()) {
    result.statements.clear();
    result.error = error_;
  }
  return result;
}

}  // namespace

Translation TranslateTsql(std::string_view batch, const SchemaCatalog& catalog) {
  return Translator(batch, catalog).Run();
}

std::shared_ptr<const Translation> TranslationCache::Get(std::string_view batch,
                                                         const SchemaCatalog& catalog) {
  std::string key(batch);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(key);
    if (it != entries_.end() && it->second.generation == catalog.generation()) {
      return it->second.translation;
    }
  }
  // Translated outside the lock, so that one long text does not hold up the others.
  auto translation = std::make_shared<const Translation>(TranslateTsql(batch, catalog));
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.size() >= capacity_ && entries_.count(key) == 0) entries_.clear();
  entries_[std::move(key)] = Entry{catalog.generation(), translation};
  return translation;
}

void TranslationCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

std::size_t TranslationCache::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

}  // namespace korvane::data
