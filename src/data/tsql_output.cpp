// Writing expressions out in SQLite's terms: operators, names, literals, and "+" as the join of
// texts or date arithmetic where the operands' types say so.
#include <string>
#include <string_view>

#include "data/tsql_translator_internal.h"
#include "values/variant.h"

namespace korvane::data::tsql {
namespace {

// Words SQLite reserves that the server lets stand as plain names: such names are quoted.
constexpr std::string_view kSqliteOnlyReserved[] = {
    "isnull", "notnull",    "nothing",     "raise",      "autoincrement", "limit",   "returning",
    "using",  "deferrable", "transaction", "constraint", "references",    "foreign", "primary",
    "unique", "check",      "to",          "index",      "cast"};

// Words PostgreSQL reserves that the server lets stand as plain names.
constexpr std::string_view kPostgresOnlyReserved[] = {
    "analyse",  "analyze",      "array",     "asymmetric",    "both",      "do",
    "fetch",    "ilike",        "initially", "lateral",       "leading",   "limit",
    "offset",   "only",         "placing",   "returning",     "symmetric", "trailing",
    "variadic", "verbose",      "window",    "similar",       "freeze",    "notnull",
    "isnull",   "concurrently", "localtime", "localtimestamp"};

// A name as PostgreSQL reads it quoted: it folds unquoted names to lower case, so a name
// quoted by the statement ([ID], "progID") must reach the same column as the unquoted one.
std::string PostgresQuoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (c == '"') out += '"';
  }
  return out + '"';
}

}  // namespace

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
    if (postgres() && (t.kind == TokKind::kBracketName || t.kind == TokKind::kQuotedName ||
                       (t.kind == TokKind::kWord && e.kind == EK::kName &&
                        OneOf(ToLowerAscii(t.text), kPostgresOnlyReserved)))) {
      out += PostgresQuoted(NameValue(t));
    } else if (t.kind == TokKind::kBracketName) {
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

// SQLite parses "a OR b OR c ..." into a tree as deep as the chain is long and refuses trees
// deeper than 1 000, yet a structure level of a thousand products is such a chain. OR is the
// loosest operator and associative (NULLs included), so a long chain is regrouped into a
// balanced tree of the same value, about ten levels deep for a thousand terms.
constexpr std::size_t kBalancedOrTerms = 64;

std::string Translator::BalancedOrs(const Seq& body, const std::vector<std::size_t>& ors,
                                    std::size_t first, std::size_t last, const Scope* s) {
  if (last - first == 1) {
    const std::size_t begin = first == 0 ? 0 : ors[first - 1] + 1;
    const std::size_t end = first == ors.size() ? body.size() : ors[first];
    return SeqText(body, begin, end, s);
  }
  const std::size_t middle = first + (last - first) / 2;
  return " (" + BalancedOrs(body, ors, first, middle, s) + " OR" +
         BalancedOrs(body, ors, middle, last, s) + ")";
}

std::string Translator::ParenText(const Expr& e, const Scope* s) {
  std::string inner;
  if (!e.body.empty() && (RawIs(e.body[0], "select") || RawIs(e.body[0], "with"))) {
    inner = Lead(e.body[0]) + Query(e.body, 0, e.body.size(), s);
  } else {
    // A list (commas) is left alone; a condition's top-level ORs are its chain.
    std::vector<std::size_t> ors;
    bool list = false;
    for (std::size_t i = 0; i < e.body.size() && !list; ++i) {
      if (RawIs(e.body[i], "or")) ors.push_back(i);
      list = RawOp(e.body[i], ",");
    }
    inner = !list && ors.size() + 1 >= kBalancedOrTerms
                ? BalancedOrs(e.body, ors, 0, ors.size() + 1, s)
                : SeqText(e.body, 0, e.body.size(), s);
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

void Translator::Pin(const Expr& e) {
  if (!shape_) return;
  if (e.kind == EK::kString || e.kind == EK::kNumber) {
    if (e.tok >= pinned_.size()) pinned_.resize(toks_.size(), 0);
    if (e.tok < marked_.size() && marked_[e.tok] != 0) shape_conflict_ = true;
    pinned_[e.tok] = 1;
  }
  for (const Expr& b : e.body) Pin(b);
  for (const Expr& k : e.kids) Pin(k);
}

std::string Translator::LiteralText(const Expr& e) {
  if (shape_ && (e.tok >= pinned_.size() || pinned_[e.tok] == 0)) {
    if (marked_.size() < toks_.size()) marked_.resize(toks_.size(), 0);
    marked_[e.tok] = 1;
    return kShapeMark + std::to_string(e.tok) + kShapeEnd;
  }
  const std::string_view text = toks_[e.tok].text;
  if (e.kind == EK::kString && text[0] != '\'')
    return std::string(text.substr(1));  // N'..' is '..'
  return std::string(text);
}

std::string Translator::Text(const Expr& e, const Scope* s) {
  switch (e.kind) {
    case EK::kRaw:
      return RawText(e.tok);
    case EK::kString:
    case EK::kNumber:
      return LiteralText(e);
    case EK::kVariable: {
      const std::string_view text = toks_[e.tok].text;
      if (text.size() > 1 && text[1] == '@') Unsupported(std::string(text));
      return std::string(text);
    }
    case EK::kNull:
      return std::string(toks_[e.tok].text);
    case EK::kName:
      if (e.parts.size() == 1 && !e.star && IsWord(toks_[e.tok], "current_timestamp")) {
        return LocalNow();
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

}  // namespace korvane::data::tsql
