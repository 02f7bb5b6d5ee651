// Type inference: whether an expression yields a text, a number or a date, from the catalog's
// columns, the scopes of the statement and the functions it calls.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/tsql_translator_internal.h"
#include "values/variant.h"

namespace korvane::data::tsql {
namespace {

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

// Functions by the type of what they yield; those of kFirstArgFunctions yield the type of their
// first argument whose type is known.
constexpr std::string_view kTextFunctions[] = {
    "substring", "substr", "left",    "right",  "ltrim",     "rtrim", "trim",
    "upper",     "lower",  "replace", "space",  "replicate", "str",   "reverse",
    "stuff",     "char",   "nchar",   "concat", "quotename"};
constexpr std::string_view kNumberFunctions[] = {
    "len",       "charindex",  "patindex",   "count",   "count_big", "sum",   "avg",
    "abs",       "round",      "floor",      "ceiling", "sign",      "power", "sqrt",
    "isnumeric", "datediff",   "datepart",   "year",    "month",     "day",   "ascii",
    "unicode",   "datalength", "row_number", "rank",    "dense_rank"};
constexpr std::string_view kDateFunctions[] = {"getdate", "sysdatetime", "getutcdate", "dateadd"};
constexpr std::string_view kFirstArgFunctions[] = {"isnull", "ifnull", "coalesce",
                                                   "nullif", "max",    "min"};

Ty TypeOfTypeName(const std::string& type) {
  if (OneOf(type, kTextTypes)) return Ty::kText;
  if (OneOf(type, kIntTypes) || OneOf(type, kRealTypes) || OneOf(type, kDecimalTypes)) {
    return Ty::kNumber;
  }
  if (OneOf(type, kDateTypes)) return Ty::kDate;
  return Ty::kUnknown;
}

}  // namespace

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
  if (OneOf(name, kTextFunctions)) return Ty::kText;
  if (OneOf(name, kNumberFunctions)) return Ty::kNumber;
  if (OneOf(name, kDateFunctions)) return Ty::kDate;
  if (OneOf(name, kFirstArgFunctions)) {
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

}  // namespace korvane::data::tsql
