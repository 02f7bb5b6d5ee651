// FROM analysis: the parts of a SELECT, the tables its FROM clause makes visible, and the
// columns of derived tables.
#include <memory>
#include <string>

#include "data/tsql_translator_internal.h"
#include "values/variant.h"

namespace korvane::data::tsql {

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

}  // namespace korvane::data::tsql
