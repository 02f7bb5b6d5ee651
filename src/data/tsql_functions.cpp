// Function rewrites: T-SQL functions onto SQLite's own and the runtime's korvane_* functions,
// CONVERT and CAST onto SQLite's casts and the runtime's date texts.
#include <charconv>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/tsql_dates_internal.h"
#include "data/tsql_translator_internal.h"
#include "values/variant.h"

namespace korvane::data::tsql {
namespace {

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

}  // namespace

// A call being rewritten, and the pieces its rewrite is made of.
struct Translator::Call {
  Translator& t;
  const Expr& e;
  const Scope* s;
  const std::string& name;  // lower-cased, without "dbo."
  const Ranges& args;

  // The arguments as written and the closing parenthesis: a rewrite that only renames the
  // function keeps them.
  std::string Body() const {
    return t.SeqText(e.body, 0, e.body.size(), s) + (t.toks_[e.close].space_before ? " )" : ")");
  }
  std::string Arg(std::size_t k) const {
    return t.Trimmed(e.body, args[k].first, args[k].second, s);
  }
  // Argument k as one number literal.
  bool Number(std::size_t k) const {
    return e.body[args[k].first].kind == EK::kNumber && args[k].second - args[k].first == 1;
  }
  // Argument k as a date part ("dd", 'month'), in the runtime's spelling and quoted.
  std::string DatePart(std::size_t k) const {
    std::string part;
    if (args[k].second - args[k].first == 1) {
      const Expr& p = e.body[args[k].first];
      if (p.kind == EK::kName && p.parts.size() == 1) {
        part = ToLowerAscii(NameValue(t.toks_[p.tok]));
      }
      if (p.kind == EK::kString) {
        t.Pin(p);
        const std::string_view text = t.toks_[p.tok].text;
        part = ToLowerAscii(text.substr(text.find('\'') + 1, text.size() - text.find('\'') - 2));
      }
    }
    const std::string normal = NormalizeDatePart(part);
    if (normal.empty()) t.Unsupported("date part " + Arg(k) + " in " + name);
    return "'" + normal + "'";
  }
};

// A call with fewer than `min_args` or more than `max_args` arguments is refused before
// `write` sees it.
struct Translator::Rewrite {
  std::size_t min_args;
  std::size_t max_args;
  std::string (*write)(const Call& c);
};

const Translator::Rewrite* Translator::FindRewrite(std::string_view name) {
  constexpr std::size_t kAny = kNone;
  constexpr auto kDatePartOfName = [](const Call& c) {
    return "korvane_datepart('" + c.name + "', " + c.Arg(0) + ")";
  };
  // The runtime's function of the same name.
  constexpr auto kRuntimeNamesake = [](const Call& c) {
    return "korvane_" + c.name + "(" + c.Body();
  };
  static const std::map<std::string_view, Rewrite, std::less<>> kRewrites = {
      {"isnull",
       {2, 2, [](const Call& c) { return (c.t.postgres() ? "coalesce(" : "ifnull(") + c.Body(); }}},
      {"substring",
       {3, 3,
        [](const Call& c) {
          // SQLite's substr agrees with the server for positions and lengths that are not
          // negative.
          return (c.Number(1) && c.Number(2) ? "substr(" : "korvane_substring(") + c.Body();
        }}},
      {"left",
       {2, 2, [](const Call& c) { return "substr(" + c.Arg(0) + ", 1, " + c.Arg(1) + ")"; }}},
      {"right", {2, 2, [](const Call& c) { return "korvane_right(" + c.Body(); }}},
      {"len", {1, 1, [](const Call& c) { return "length(rtrim(" + c.Arg(0) + "))"; }}},
      {"charindex", {2, 3, [](const Call& c) { return "korvane_charindex(" + c.Body(); }}},
      {"replace", {3, 3, [](const Call& c) { return "korvane_replace(" + c.Body(); }}},
      {"getdate", {0, 0, [](const Call& c) { return c.t.LocalNow(); }}},
      {"sysdatetime", {0, 0, [](const Call& c) { return c.t.LocalNow(); }}},
      {"getutcdate",
       {0, 0,
        [](const Call& c) {
          return std::string(c.t.postgres() ? "(now() at time zone 'utc')" : "datetime('now')");
        }}},
      {"year", {1, 1, kDatePartOfName}},
      {"month", {1, 1, kDatePartOfName}},
      {"day", {1, 1, kDatePartOfName}},
      {"datepart",
       {2, 2,
        [](const Call& c) { return "korvane_datepart(" + c.DatePart(0) + ", " + c.Arg(1) + ")"; }}},
      {"datediff",
       {3, 3,
        [](const Call& c) {
          return "korvane_datediff(" + c.DatePart(0) + ", " + c.Arg(1) + ", " + c.Arg(2) + ")";
        }}},
      {"dateadd",
       {3, 3,
        [](const Call& c) {
          return "korvane_dateadd(" + c.DatePart(0) + ", " + c.Arg(1) + ", " + c.Arg(2) + ")";
        }}},
      {"isnumeric", {0, kAny, kRuntimeNamesake}},
      {"space", {0, kAny, kRuntimeNamesake}},
      {"replicate", {0, kAny, kRuntimeNamesake}},
      {"str", {0, kAny, kRuntimeNamesake}},
      {"ascii", {0, kAny, [](const Call& c) { return "unicode(" + c.Body(); }}},
      {"count_big", {0, kAny, [](const Call& c) { return "count(" + c.Body(); }}},
      {"concat",
       {0, kAny,
        [](const Call& c) {
          // The server's concat reads NULL as the empty text.
          std::string out = "(";
          for (std::size_t k = 0; k < c.args.size(); ++k) {
            if (k > 0) out += " || ";
            out += "ifnull(korvane_text(" + c.Arg(k) + "), '')";
          }
          return out + ")";
        }}},
      {"convert",
       {2, 3,
        [](const Call& c) -> std::string {
          if (c.args[0].second - c.args[0].first != 1) {
            c.t.Unsupported("CONVERT to " + c.Arg(0));
            return {};
          }
          const Expr* style = c.args.size() > 2 && c.args[2].second - c.args[2].first == 1
                                  ? &c.e.body[c.args[2].first]
                                  : nullptr;
          if (c.args.size() > 2 && style == nullptr) c.t.Unsupported("CONVERT style " + c.Arg(2));
          return c.t.ConvertText(c.e.body[c.args[0].first], c.e.body, c.args[1].first,
                                 c.args[1].second, style, c.s, "CONVERT");
        }}},
      {"cast",
       {0, kAny,
        [](const Call& c) -> std::string {
          std::size_t as = kNone;
          for (std::size_t k = 0; k < c.e.body.size(); ++k) {
            if (c.t.RawIs(c.e.body[k], "as")) as = k;
          }
          if (as == kNone || as + 2 != c.e.body.size()) {
            c.t.Unsupported("CAST without a plain type");
            return {};
          }
          return c.t.ConvertText(c.e.body[as + 1], c.e.body, 0, as, nullptr, c.s, "CAST");
        }}},
  };
  const auto it = kRewrites.find(name);
  return it == kRewrites.end() ? nullptr : &it->second;
}

std::string Translator::FuncText(const Expr& e, const Scope* s) {
  const std::vector<std::string> parts = NameParts(e);
  const std::string name = parts.size() == 1 ? parts[0] : std::string();
  const Ranges args = SplitAtCommas(e.body, toks_, 0, e.body.size());
  const Call call{*this, e, s, name, args};
  if (const Rewrite* rewrite = FindRewrite(name)) {
    if (args.size() < rewrite->min_args || args.size() > rewrite->max_args) {
      Unsupported(name + " with " + std::to_string(args.size()) + " arguments");
      return {};
    }
    return rewrite->write(call);
  }
  // Everything else keeps its name (without "dbo."): SQLite's own functions and the database's
  // functions registered on the connection.
  Expr name_only = e;
  name_only.kind = EK::kName;
  return NameText(name_only) + (toks_[e.open].space_before ? " (" : "(") + call.Body();
}

namespace {

// A whole number as written in a type or a style; nullopt for anything else, or one too large.
std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string Translator::ConvertText(const Expr& type, const Seq& value_seq, std::size_t vb,
                                    std::size_t ve, const Expr* style, const Scope* s,
                                    const std::string& what) {
  if (type.kind != EK::kName && type.kind != EK::kFunc) {
    Unsupported(what + " to " + Text(type, s));
    return {};
  }
  // The length of a type and the style are read, not passed on.
  Pin(type);
  if (style != nullptr) Pin(*style);
  const std::string type_name = ToLowerAscii(NameValue(toks_[type.parts.back()]));
  std::vector<std::string> params;
  if (type.kind == EK::kFunc) {
    for (const auto& [b, e] : SplitAtCommas(type.body, toks_, 0, type.body.size())) {
      params.push_back(ToLowerAscii(Trimmed(type.body, b, e, s)));
    }
  }
  // A length, precision or scale that is no whole number is refused here rather than thrown
  // out of the translation.
  for (const std::string& param : params) {
    if (param != "max" && !WholeNumber(param)) {
      Unsupported(what + " to " + Text(type, s));
      return {};
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
    const std::optional<int> number = WholeNumber(toks_[style->tok].text);
    if (!number) {
      Unsupported(what + " style " + Text(*style, s));
      return {};
    }
    style_number = *number;
  }
  auto scale = [&](std::size_t k, int fallback) {
    if (params.size() <= k) return fallback;
    return WholeNumber(params[k]).value_or(fallback);
  };

  if (OneOf(type_name, kTextTypes)) {
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
  if (OneOf(type_name, kIntTypes)) return "CAST(" + value + " AS INTEGER)";
  // PostgreSQL's REAL is a single-precision float; the server's FLOAT is a double.
  const std::string real = postgres() ? " AS double precision)" : " AS REAL)";
  if (OneOf(type_name, kRealTypes)) return "CAST(" + value + real;
  if (type_name == "bit") return "(CAST(" + value + real + " <> 0)";
  if (OneOf(type_name, kDecimalTypes)) {
    // REAL, never NUMERIC: a NUMERIC 3.0 becomes the integer 3 and then divides as one.
    const int digits = type_name == "money" || type_name == "smallmoney" ? 4 : scale(1, 0);
    if (postgres()) {
      // PostgreSQL rounds to a number of digits only as numeric.
      return "CAST(round(CAST(" + value + " AS numeric), " + std::to_string(digits) +
             ") AS double precision)";
    }
    return "round(CAST(" + value + " AS REAL), " + std::to_string(digits) + ")";
  }
  if (OneOf(type_name, kDateTypes)) {
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

}  // namespace korvane::data::tsql
