// The driver: a batch is read, split and parsed, and each statement written out for SQLite;
// translations are cached by text.
#include "data/tsql_translator.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/tsql_translator_internal.h"

namespace korvane::data {
namespace tsql {

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
      Pin(seq[b]);  // 'name' = value: the text is the column's name
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
      Pin(seq[m.top_count]);
      const std::string count = Text(seq[m.top_count], &scope);
      if (compound) {
        // LIMIT would end the whole compound; the member keeps its own in a subquery.
        // PostgreSQL wants the subquery named.
        text = "SELECT * FROM (" + text + " LIMIT " + count + (postgres() ? ") korvane_top" : ")");
      } else {
        text += " LIMIT " + count;
      }
    }
    out += text;
    if (body_end < me) out += SeqText(seq, body_end, me, &scope);
  }
  return out;
}

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
  if (!MatchParentheses(toks_, match_)) {
    result.error = std::string(kUnreadable) + "unbalanced parentheses";
    return result;
  }
  Parser parser(toks_, match_, error_);
  for (const auto& [begin, end] : SplitStatements(toks_)) {
    NumberParameters(begin, end);
    const Seq seq = parser.Parse(begin, end);
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

}  // namespace tsql

Translation TranslateTsql(std::string_view batch, const SchemaCatalog& catalog, SqlTarget target) {
  return tsql::Translator(batch, catalog, target).Run();
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
  auto translation = std::make_shared<const Translation>(TranslateTsql(batch, catalog, target_));
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
