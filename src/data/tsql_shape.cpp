// Literal shapes: reading a batch's literals and the places that pin them, translating a shape
// with its literals as bound values, and the cache of shaped translations.
#include "data/tsql_shape.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tsql_lexer.h"
#include "data/tsql_translator.h"
#include "data/tsql_translator_internal.h"

namespace korvane::data {
namespace {

using tsql::IsNameToken;
using tsql::IsOp;
using tsql::IsWord;
using tsql::Token;
using tsql::TokKind;

bool IsLiteral(const Token& t) { return t.kind == TokKind::kString || t.kind == TokKind::kNumber; }

// Words after which a literal is an operand like any other value.
constexpr std::string_view kOperandWords[] = {
    "all",    "and",    "between", "case", "distinct", "else", "escape",
    "exists", "having", "in",      "is",   "like",     "not",  "on",
    "or",     "return", "select",  "then", "values",   "when", "where"};

bool PrecedesOperand(const Token& t) {
  if (t.kind == TokKind::kOp) return t.text != ")" && t.text != ".";
  return t.kind == TokKind::kWord && tsql::OneOf(t.text, kOperandWords);
}

// Words that end a select list or an ORDER BY / GROUP BY clause at their own depth.
constexpr std::string_view kClauseWords[] = {
    "delete", "except", "for",   "from",   "group",  "having", "insert", "intersect",
    "into",   "option", "order", "select", "update", "union",  "where",  "with"};

// What the part of a statement at one parenthesis depth is in.
struct Frame {
  bool in_list = false;  // a select list; `item` is where its current item begins
  bool in_by = false;    // ORDER BY / GROUP BY
  std::size_t item = 0;
};

class Pinner {
 public:
  Pinner(const std::vector<Token>& toks, std::vector<char>& pinned)
      : toks_(toks), pinned_(pinned) {}

  void Run() {
    frames_.assign(1, Frame{});
    for (std::size_t i = 0; i < toks_.size(); ++i) {
      const Token& t = toks_[i];
      if (IsLiteral(t)) {
        if (by_depth_ > 0 || !PlainOperand(i)) pinned_[i] = 1;
        continue;
      }
      if (IsOp(t, "(")) {
        frames_.push_back(Frame{});
        continue;
      }
      if (IsOp(t, ")")) {
        if (frames_.size() > 1) {
          EndClause(i);
          frames_.pop_back();
        }
        continue;
      }
      Frame& f = frames_.back();
      if (IsOp(t, ";")) {
        EndClause(i);
        continue;
      }
      if (f.in_list && IsOp(t, ",")) {
        Item(f.item, i);
        f.item = i + 1;
        continue;
      }
      if (t.kind != TokKind::kWord || !tsql::OneOf(t.text, kClauseWords)) continue;
      EndClause(i);
      if (IsWord(t, "select")) {
        frames_.back().in_list = true;
        frames_.back().item = i + 1;
      } else if ((IsWord(t, "order") || IsWord(t, "group")) && i + 1 < toks_.size() &&
                 IsWord(toks_[i + 1], "by")) {
        frames_.back().in_by = true;
        ++by_depth_;
      }
    }
    while (!frames_.empty()) {
      EndClause(toks_.size());
      frames_.pop_back();
    }
  }

 private:
  // The clause of the innermost frame ends at token `end`.
  void EndClause(std::size_t end) {
    Frame& f = frames_.back();
    if (f.in_list) Item(f.item, end);
    if (f.in_by) --by_depth_;
    f = Frame{};
  }

  // Whether the literal at `i` is plainly an operand: after an operator or a word that
  // introduces one, and not touching a word or another literal.
  bool PlainOperand(std::size_t i) const {
    if (i == 0 || !PrecedesOperand(toks_[i - 1])) return false;
    if (!toks_[i].space_before && toks_[i - 1].kind != TokKind::kOp) return false;
    if (i + 1 < toks_.size() && !toks_[i + 1].space_before && toks_[i + 1].kind != TokKind::kOp) {
      return false;
    }
    return true;
  }

  // A select-list item [begin, end): the literals of one without an alias are part of the
  // column's name, and a text alias is the name itself.
  void Item(std::size_t begin, std::size_t end) {
    if (begin >= end) return;
    const auto alias_token = [&](const Token& t) {
      return IsNameToken(t) || t.kind == TokKind::kString;
    };
    if (end - begin >= 3 && alias_token(toks_[begin]) && IsOp(toks_[begin + 1], "=")) {
      pinned_[begin] = 1;  // "name = value"; a literal name is pinned as a name
      return;
    }
    const Token& last = toks_[end - 1];
    if (end - begin >= 2 && alias_token(last)) {
      const Token& before = toks_[end - 2];
      if (IsWord(before, "as")) return;
      const bool operand_end = before.kind == TokKind::kOp ? before.text == ")"
                               : before.kind == TokKind::kWord && tsql::IsKeywordToken(before)
                                   ? IsWord(before, "end")
                                   : true;
      if (operand_end) {
        if (last.kind == TokKind::kString) pinned_[end - 1] = 1;
        return;
      }
    }
    for (std::size_t k = begin; k < end; ++k) {
      if (IsLiteral(toks_[k])) pinned_[k] = 1;
    }
  }

  const std::vector<Token>& toks_;
  std::vector<char>& pinned_;
  std::vector<Frame> frames_;
  int by_depth_ = 0;
};

}  // namespace

bool ReadLiteralShape(std::string_view batch, LiteralShape& shape) {
  shape.key.clear();
  shape.literals.clear();
  if (batch.find_first_of(std::string_view("\x01\x02\0", 3)) != std::string_view::npos) {
    return false;
  }
  std::vector<Token> toks;
  std::string error;
  if (!tsql::Tokenize(batch, toks, error)) return false;
  std::vector<char> pinned(toks.size(), 0);
  for (const Token& t : toks) {
    if (t.kind == TokKind::kVariable || IsOp(t, "?")) return false;
  }
  Pinner(toks, pinned).Run();
  shape.key.reserve(batch.size());
  std::size_t copied = 0;
  for (std::size_t i = 0; i < toks.size(); ++i) {
    const Token& t = toks[i];
    if (!IsLiteral(t)) continue;
    const auto at = static_cast<std::size_t>(t.text.data() - batch.data());
    shape.key.append(batch.substr(copied, at - copied));
    shape.key += tsql::kShapeMark;
    shape.key += t.kind == TokKind::kString ? 't' : 'n';
    copied = at + t.text.size();
    shape.literals.push_back(
        LiteralShape::Literal{t.text, t.kind == TokKind::kString, pinned[i] != 0});
  }
  shape.key.append(batch.substr(copied));
  return true;
}

std::string_view LiteralSql(const LiteralShape::Literal& literal) {
  return literal.is_text && literal.text[0] != '\'' ? literal.text.substr(1) : literal.text;
}

std::string LiteralTextValue(const LiteralShape::Literal& literal) {
  const std::string_view sql = LiteralSql(literal);
  std::string out;
  out.reserve(sql.size());
  for (std::size_t i = 1; i + 1 < sql.size(); ++i) {
    out += sql[i];
    if (sql[i] == '\'') ++i;  // a doubled quote stands for one
  }
  return out;
}

std::string ShapedStatement::Plain(const LiteralShape& shape) const {
  std::string out = pieces.front();
  for (std::size_t k = 0; k < literals.size(); ++k) {
    out += LiteralSql(shape.literals[literals[k]]);
    out += pieces[k + 1];
  }
  return out;
}

std::shared_ptr<const ShapedTranslation> TranslateShape(std::string_view batch, LiteralShape& shape,
                                                        const SchemaCatalog& catalog) {
  // The literals' token indices, as the translator numbers the tokens.
  std::vector<Token> toks;
  std::string error;
  if (!tsql::Tokenize(batch, toks, error)) return nullptr;
  std::vector<char> pinned(toks.size(), 0);
  std::vector<std::size_t> literal_of(toks.size(), tsql::kNone);
  std::size_t n = 0;
  for (std::size_t i = 0; i < toks.size(); ++i) {
    if (!IsLiteral(toks[i])) continue;
    if (n >= shape.literals.size()) return nullptr;
    literal_of[i] = n;
    pinned[i] = shape.literals[n].pinned ? 1 : 0;
    ++n;
  }
  if (n != shape.literals.size()) return nullptr;

  tsql::Translator translator(batch, catalog);
  translator.WriteLiteralsAsMarks(std::move(pinned));
  const Translation marked = translator.Run();
  if (!marked.ok() || translator.shape_conflict()) return nullptr;
  const std::vector<char>& now_pinned = translator.pinned();
  for (std::size_t i = 0; i < toks.size() && i < now_pinned.size(); ++i) {
    if (now_pinned[i] != 0 && literal_of[i] != tsql::kNone) {
      shape.literals[literal_of[i]].pinned = true;
    }
  }

  auto shaped = std::make_shared<ShapedTranslation>();
  for (const std::string& text : marked.statements) {
    ShapedStatement statement;
    std::string piece;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != tsql::kShapeMark) {
        piece += text[i];
        continue;
      }
      const std::size_t close = text.find(tsql::kShapeEnd, i);
      std::size_t token = 0;
      const auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + close, token);
      if (close == std::string::npos || ec != std::errc{} || end != text.data() + close ||
          token >= literal_of.size() || literal_of[token] == tsql::kNone) {
        return nullptr;
      }
      statement.literals.push_back(literal_of[token]);
      const std::size_t before = piece.find_last_not_of(" (");
      statement.after_minus.push_back(before != std::string::npos && piece[before] == '-' ? 1 : 0);
      statement.sql += piece;
      statement.sql += "?" + std::to_string(statement.literals.size());
      statement.pieces.push_back(std::move(piece));
      piece.clear();
      i = close;
    }
    statement.sql += piece;
    statement.pieces.push_back(std::move(piece));
    shaped->statements.push_back(std::move(statement));
  }

  // The shape is served only when it gives what the plain translation gives.
  const Translation plain = TranslateTsql(batch, catalog);
  if (!plain.ok() || plain.statements.size() != shaped->statements.size()) return nullptr;
  for (std::size_t k = 0; k < plain.statements.size(); ++k) {
    if (shaped->statements[k].Plain(shape) != plain.statements[k]) return nullptr;
  }
  return shaped;
}

std::shared_ptr<const ShapedTranslation> ShapeCache::Get(std::string_view batch,
                                                         LiteralShape& shape,
                                                         const SchemaCatalog& catalog) {
  auto it = entries_.find(shape.key);
  if (it != entries_.end() && it->second.generation != catalog.generation()) {
    entries_.erase(it);
    it = entries_.end();
  }
  // The values of the pinned literals, each with its length so that no two lists read alike.
  const auto values_key = [&](const std::vector<std::size_t>& pinned) {
    std::string key;
    for (std::size_t i : pinned) {
      const std::string_view text = shape.literals[i].text;
      key += std::to_string(text.size());
      key += ':';
      key += text;
    }
    return key;
  };
  if (it != entries_.end()) {
    for (std::size_t i : it->second.pinned) shape.literals[i].pinned = true;
    const std::string values = values_key(it->second.pinned);
    if (const auto found = it->second.by_values.find(values); found != it->second.by_values.end()) {
      return found->second;
    }
    // Entries of one shape are bounded too: a pinned literal that takes ever new values (a TOP
    // count typed by the user) would otherwise let them grow without end.
    if (it->second.by_values.size() >= capacity_) it->second.by_values.clear();
    const std::vector<std::size_t> before = it->second.pinned;
    std::shared_ptr<const ShapedTranslation> shaped = TranslateShape(batch, shape, catalog);
    std::vector<std::size_t> after;
    for (std::size_t i = 0; i < shape.literals.size(); ++i) {
      if (shape.literals[i].pinned) after.push_back(i);
    }
    // A translation that pinned other literals than the shape's first one did is not kept.
    if (after != before) return nullptr;
    it->second.by_values.emplace(values, shaped);
    return shaped;
  }
  if (entries_.size() >= capacity_) entries_.clear();
  std::shared_ptr<const ShapedTranslation> shaped = TranslateShape(batch, shape, catalog);
  Entry entry;
  entry.generation = catalog.generation();
  for (std::size_t i = 0; i < shape.literals.size(); ++i) {
    if (shape.literals[i].pinned) entry.pinned.push_back(i);
  }
  entry.by_values.emplace(values_key(entry.pinned), shaped);
  entries_.emplace(shape.key, std::move(entry));
  return shaped;
}

void ShapeCache::Clear() { entries_.clear(); }

}  // namespace korvane::data
