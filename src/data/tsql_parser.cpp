// Statement splitting and the expression tree: grouping, operator precedence and the nesting
// limit.
#include "data/tsql_parser.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tsql_translator.h"
#include "values/variant.h"

namespace korvane::data::tsql {
namespace {

std::string TooDeep() {
  return "T-SQL text nests too deeply: more than " + std::to_string(kMaxTsqlNesting) +
         " levels of parentheses, subqueries, CASE, function calls or operators";
}

// Words that begin a statement when they stand at the top level of a batch.
constexpr std::string_view kStatementWords[] = {
    "insert", "update", "delete", "truncate", "declare",   "exec",   "execute", "if",
    "while",  "begin",  "commit", "rollback", "print",     "return", "create",  "alter",
    "drop",   "use",    "go",     "merge",    "raiserror", "grant"};

}  // namespace

bool MatchParentheses(const std::vector<Token>& toks, std::vector<std::size_t>& match) {
  match.assign(toks.size(), kNone);
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < toks.size(); ++i) {
    if (IsOp(toks[i], "(")) {
      open.push_back(i);
    } else if (IsOp(toks[i], ")")) {
      if (open.empty()) return false;
      match[open.back()] = i;
      match[i] = open.back();
      open.pop_back();
    }
  }
  return open.empty();
}

Ranges SplitStatements(const std::vector<Token>& toks) {
  Ranges out;
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
  for (std::size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
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
      const Token& prev = toks[i - 1];
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
  close_at(toks.size());
  return out;
}

Ranges SplitAtCommas(const Seq& seq, const std::vector<Token>& toks, std::size_t begin,
                     std::size_t end) {
  Ranges out;
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

Expr Parser::ParseNameOrCall(std::size_t& i, std::size_t end) {
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

bool Parser::IsSign(const Expr& e) const { return RawOp(e, "+") || RawOp(e, "-") || RawOp(e, "~"); }

// Signs before an operand ("- - x") are read in a loop: a text may hold thousands of them.
bool Parser::StartsOperand(const Seq& flat, std::size_t i) const {
  while (i < flat.size() && IsSign(flat[i])) ++i;
  return i < flat.size() && IsOperand(flat[i]);
}

void Parser::Nest(Expr& e) {
  int height = 0;
  for (const Expr& part : e.body) height = std::max(height, part.height);
  for (const Expr& kid : e.kids) height = std::max(height, kid.height);
  e.height = height + 1;
  if (e.height > kMaxTsqlNesting) Fail(TooDeep());
}

// REQUIRES: StartsOperand(flat, i).
Expr Parser::ParseUnary(Seq& flat, std::size_t& i) {
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

// One level of binary operators that group from the left: operands of the next level joined by
// any of `ops`. Each operator of a chain adds a level; a chain too long stops growing (see
// ParseUnary).
Expr Parser::ParseLeftChain(Seq& flat, std::size_t& i, std::initializer_list<std::string_view> ops,
                            Expr (Parser::*operand)(Seq&, std::size_t&)) {
  const auto at_operator = [&] {
    for (std::string_view op : ops) {
      if (RawOp(flat[i], op)) return true;
    }
    return false;
  };
  Expr left = (this->*operand)(flat, i);
  while (error_.empty() && i < flat.size() && at_operator() && StartsOperand(flat, i + 1)) {
    Expr e;
    e.kind = EK::kBinary;
    e.tok = flat[i].tok;
    e.first = left.first;
    ++i;
    e.kids.push_back(std::move(left));
    e.kids.push_back((this->*operand)(flat, i));
    Nest(e);
    left = std::move(e);
  }
  return left;
}

Expr Parser::ParseMultiplicative(Seq& flat, std::size_t& i) {
  return ParseLeftChain(flat, i, {"*", "/", "%"}, &Parser::ParseUnary);
}

// "+", "-" and the bitwise operators share one level and group from the left, as on the
// server.
Expr Parser::ParseAdditive(Seq& flat, std::size_t& i) {
  return ParseLeftChain(flat, i, {"+", "-", "&", "|", "^"}, &Parser::ParseMultiplicative);
}

Seq Parser::Parse(std::size_t begin, std::size_t end) {
  Seq flat;
  // Parentheses, CASE and calls parse their insides by calling Parse again; the first call
  // past the limit refuses the text instead of going deeper.
  if (depth_ >= kMaxTsqlNesting) {
    Fail(TooDeep());
    return flat;
  }
  ++depth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{depth_};
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

}  // namespace korvane::data::tsql
