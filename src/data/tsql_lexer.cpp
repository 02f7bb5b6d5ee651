// Reading a T-SQL batch into tokens, and telling the words of a token apart.
#include "data/tsql_lexer.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "values/variant.h"

namespace korvane::data::tsql {
namespace {

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '#' || c == '$' || c == '@' || c >= 0x80;
}

bool IsWordStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

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

namespace {

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
static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords)));

// ASCII-lowercase ordering, so that a word is looked up without a copy.
bool LowerLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) < lower(y);
  });
}

}  // namespace

// Every token of every statement is asked this (most of them names), so it is a binary search.
bool IsKeywordToken(const Token& t) {
  if (t.kind != TokKind::kWord) return false;
  const auto* at = std::lower_bound(std::begin(kKeywords), std::end(kKeywords), t.text, LowerLess);
  return at != std::end(kKeywords) && !LowerLess(t.text, *at);
}

bool IsWord(const Token& t, std::string_view word) {
  return t.kind == TokKind::kWord && EqualsIgnoreCase(t.text, word);
}

bool IsOp(const Token& t, std::string_view op) { return t.kind == TokKind::kOp && t.text == op; }

bool IsNameToken(const Token& t) {
  return (t.kind == TokKind::kWord && !IsKeywordToken(t)) || t.kind == TokKind::kBracketName ||
         t.kind == TokKind::kQuotedName;
}

}  // namespace korvane::data::tsql
