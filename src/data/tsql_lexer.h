// The tokens of a T-SQL batch and the reading of a batch into them, private to the data layer.
#ifndef KORVANE_DATA_TSQL_LEXER_H_
#define KORVANE_DATA_TSQL_LEXER_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "values/variant.h"

namespace korvane::data::tsql {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);
inline constexpr std::string_view kUnreadable = "T-SQL text cannot be read: ";

template <std::size_t N>
bool OneOf(std::string_view word, const std::string_view (&list)[N]) {
  for (std::string_view w : list) {
    if (EqualsIgnoreCase(word, w)) return true;
  }
  return false;
}

enum class TokKind { kWord, kBracketName, kQuotedName, kString, kNumber, kVariable, kOp };

struct Token {
  TokKind kind;
  std::string_view text;  // as written, delimiters included
  bool space_before = false;
};

// Splits the batch into tokens; comments count as blanks. Returns false with `error` set when
// a literal, name or comment is not closed.
bool Tokenize(std::string_view s, std::vector<Token>& out, std::string& error);

// The name a name token stands for, without its delimiters.
std::string NameValue(const Token& t);

// A word that structures the statements and is never a name in them.
bool IsKeywordToken(const Token& t);

bool IsWord(const Token& t, std::string_view word);
bool IsOp(const Token& t, std::string_view op);
bool IsNameToken(const Token& t);

}  // namespace korvane::data::tsql

#endif  // KORVANE_DATA_TSQL_LEXER_H_
