// Splitting a batch into statements and reading a statement into its expression tree, private
// to the data layer.
#ifndef KORVANE_DATA_TSQL_PARSER_H_
#define KORVANE_DATA_TSQL_PARSER_H_

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tsql_lexer.h"

namespace korvane::data::tsql {

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

// Token ranges [begin, end).
using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

inline bool IsOperand(const Expr& e) { return e.kind != EK::kRaw; }

// Finds each parenthesis' partner: `match[i]` is the index of the one matching toks[i].
// Returns false when they do not balance.
bool MatchParentheses(const std::vector<Token>& toks, std::vector<std::size_t>& match);

// The statements of a batch, which the server lets follow one another without a ';'.
Ranges SplitStatements(const std::vector<Token>& toks);

// Where the arguments of a call (or the items of a list) begin and end.
Ranges SplitAtCommas(const Seq& seq, const std::vector<Token>& toks, std::size_t begin,
                     std::size_t end);

class Parser {
 public:
  // `match` as MatchParentheses fills it. The first failure goes to `error`, which must
  // outlive the parser; once it holds one, trees stop growing.
  Parser(const std::vector<Token>& toks, const std::vector<std::size_t>& match, std::string& error)
      : toks_(toks), match_(match), error_(error) {}

  Seq Parse(std::size_t begin, std::size_t end);

 private:
  Expr ParseNameOrCall(std::size_t& i, std::size_t end);
  Expr ParseAdditive(Seq& flat, std::size_t& i);
  Expr ParseMultiplicative(Seq& flat, std::size_t& i);
  Expr ParseLeftChain(Seq& flat, std::size_t& i, std::initializer_list<std::string_view> ops,
                      Expr (Parser::*operand)(Seq&, std::size_t&));
  Expr ParseUnary(Seq& flat, std::size_t& i);
  bool IsSign(const Expr& e) const;
  bool StartsOperand(const Seq& flat, std::size_t i) const;
  // Sets e.height from its parts; refuses the text when that passes kMaxTsqlNesting.
  void Nest(Expr& e);
  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }
  bool RawIs(const Expr& e, std::string_view word) const {
    return e.kind == EK::kRaw && IsWord(toks_[e.tok], word);
  }
  bool RawOp(const Expr& e, std::string_view op) const {
    return e.kind == EK::kRaw && IsOp(toks_[e.tok], op);
  }

  const std::vector<Token>& toks_;
  const std::vector<std::size_t>& match_;
  std::string& error_;
  int depth_ = 0;  // Parse calls under way
};

}  // namespace korvane::data::tsql

#endif  // KORVANE_DATA_TSQL_PARSER_H_
