// Navigation by composing T-SQL around the module's select, and key issuing through xt_key.
#include "hostapp/record_navigator.h"

#include <exception>
#include <limits>
#include <vector>

#include "values/variant.h"

namespace korvane::hostapp {
namespace {

bool IsIdentifierByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
         c == '_' || c == '@' || c == '#' || c == '$';
}

// Where the clauses of a select begin, found at parenthesis depth 0 outside strings, quoted
// names and comments. npos marks a clause that is absent.
struct SelectShape {
  std::size_t after_select = std::string_view::npos;  // just after SELECT [DISTINCT|ALL]
  bool has_top = false;
  std::size_t from = std::string_view::npos;
  std::size_t where = std::string_view::npos;  // the WHERE keyword
  std::size_t where_body = std::string_view::npos;
  std::size_t head_end = std::string_view::npos;  // GROUP BY / ORDER BY / UNION, else the end
  std::size_t order = std::string_view::npos;     // the first ORDER BY
  bool has_group_or_union = false;
};

// Skips a string, quoted name or comment starting at i; returns the index after it, or i when
// nothing is to be skipped there.
std::size_t SkipQuoted(std::string_view sql, std::size_t i) {
  const char c = sql[i];
  if (c == '\'' || c == '"' || c == '[') {
    const char close = c == '[' ? ']' : c;
    std::size_t j = i + 1;
    while (j < sql.size()) {
      if (sql[j] == close) {
        // A doubled quote inside a string or name stands for itself.
        if (j + 1 < sql.size() && sql[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return sql.size();
  }
  if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
    const std::size_t end = sql.find('\n', i);
    return end == std::string_view::npos ? sql.size() : end + 1;
  }
  if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
    const std::size_t end = sql.find("*/", i + 2);
    return end == std::string_view::npos ? sql.size() : end + 2;
  }
  return i;
}

SelectShape ShapeOf(std::string_view sql) {
  SelectShape shape;
  int depth = 0;
  bool expect_modifier = false;  // the word after SELECT may be DISTINCT, ALL or TOP
  std::size_t i = 0;
  while (i < sql.size()) {
    const std::size_t skipped = SkipQuoted(sql, i);
    if (skipped != i) {
      i = skipped;
      continue;
    }
    const char c = sql[i];
    if (c == '(') {
      ++depth;
      ++i;
      continue;
    }
    if (c == ')') {
      --depth;
      ++i;
      continue;
    }
    if (!IsIdentifierByte(c)) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < sql.size() && IsIdentifierByte(sql[end])) ++end;
    const std::string_view word = sql.substr(i, end - i);
    if (depth == 0) {
      if (shape.after_select == std::string_view::npos) {
        if (!EqualsIgnoreCase(word, "select")) return shape;
        shape.after_select = end;
        expect_modifier = true;
        i = end;
        continue;
      }
      if (expect_modifier) {
        expect_modifier = false;
        if (EqualsIgnoreCase(word, "distinct") || EqualsIgnoreCase(word, "all")) {
          shape.after_select = end;
        } else if (EqualsIgnoreCase(word, "top")) {
          shape.has_top = true;
        }
      }
      if (shape.from == std::string_view::npos) {
        if (EqualsIgnoreCase(word, "from")) shape.from = i;
      } else if (shape.where == std::string_view::npos && EqualsIgnoreCase(word, "where")) {
        shape.where = i;
        shape.where_body = end;
      } else if (EqualsIgnoreCase(word, "order")) {
        if (shape.order == std::string_view::npos) shape.order = i;
        if (shape.head_end == std::string_view::npos) shape.head_end = i;
      } else if (EqualsIgnoreCase(word, "group") || EqualsIgnoreCase(word, "union") ||
                 EqualsIgnoreCase(word, "having")) {
        if (shape.head_end == std::string_view::npos) shape.head_end = i;
        shape.has_group_or_union = true;
      }
    }
    i = end;
  }
  if (shape.head_end == std::string_view::npos) shape.head_end = sql.size();
  return shape;
}

// The select up to its GROUP BY / ORDER BY, with `conditions` ANDed to its WHERE (the select's
// own WHERE text kept in parentheses so that an OR in it cannot swallow them).
std::string RestrictedHead(std::string_view sql, const SelectShape& shape,
                           const std::vector<std::string>& conditions) {
  std::string joined;
  for (const std::string& condition : conditions) {
    if (!joined.empty()) joined += " and ";
    joined += condition;
  }
  const std::string_view head = sql.substr(0, shape.head_end);
  if (joined.empty()) return std::string(head);
  if (shape.where == std::string_view::npos) {
    return std::string(head) + " where " + joined;
  }
  const std::string own = Trim(head.substr(shape.where_body));
  return std::string(head.substr(0, shape.where_body)) + " (" + own + ") and " + joined;
}

std::vector<std::string> ConditionList(std::string_view condition, std::string_view key_bound) {
  std::vector<std::string> list;
  const std::string trimmed = Trim(condition);
  if (!trimmed.empty()) list.push_back("(" + trimmed + ")");
  if (!key_bound.empty()) list.emplace_back(key_bound);
  return list;
}

// A column name, optionally qualified ("A.bomID", "[报工单ID]"): nothing that could end the
// statement's text or open a new clause.
bool IsColumnName(std::string_view name) {
  if (name.empty()) return false;
  std::size_t i = 0;
  while (true) {
    if (i >= name.size()) return false;
    if (name[i] == '[') {
      const std::size_t close = name.find(']', i + 1);
      if (close == std::string_view::npos || close == i + 1) return false;
      i = close + 1;
    } else {
      const std::size_t start = i;
      while (i < name.size() && IsIdentifierByte(name[i])) ++i;
      if (i == start) return false;
    }
    if (i == name.size()) return true;
    if (name[i] != '.') return false;
    ++i;
  }
}

// The name a result column of the key gets: its last part, without brackets.
std::string FieldNameOf(std::string_view key_column) {
  std::string_view last = key_column;
  if (!last.empty() && last.back() == ']') {
    const std::size_t open = last.rfind('[');
    return std::string(last.substr(open + 1, last.size() - open - 2));
  }
  const std::size_t dot = last.rfind('.');
  if (dot != std::string_view::npos) last = last.substr(dot + 1);
  return std::string(last);
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::string WithoutDboPrefix(std::string_view name) {
  const std::string trimmed = Trim(name);
  if (trimmed.size() > 4 && EqualsIgnoreCase(std::string_view(trimmed).substr(0, 4), "dbo.")) {
    return trimmed.substr(4);
  }
  return trimmed;
}

// The two ways a condition is put on the module's select. Derived: the select becomes a derived
// table and the condition and key refer to its result columns, as the modules write them
// ("产品ID=32" over a join whose tables both have 产品ID). Inline: the condition is ANDed into
// the select's own WHERE, for conditions that name a joined table ("B.物品编码 like 'x%'").
enum class Form { kDerived, kInline };

class Composer {
 public:
  Composer(std::string_view select, std::string condition, std::string key)
      : select_(select),
        shape_(ShapeOf(select)),
        condition_(std::move(condition)),
        key_(std::move(key)),
        result_key_(FieldNameOf(key_)) {}

  // The statement for the first row in key order (descending when asked) below/above `bound`
  // ("" for none, else "<" or ">" followed by the key value). Nullopt when the select has a
  // shape this form cannot restrict.
  std::optional<std::string> Row(Form form, std::string_view bound, bool descending) const {
    const std::string& key = form == Form::kDerived ? result_key_ : key_;
    const std::string bound_condition =
        bound.empty() ? std::string() : key + " " + std::string(bound);
    const std::string order = " order by " + key + (descending ? " desc" : " asc");
    if (form == Form::kDerived) {
      if (!Derivable()) return std::nullopt;
      return "select top 1 * from (" + Inner() + ") as nav_rows" +
             Where(ConditionList(condition_, bound_condition)) + order;
    }
    if (!Inlinable()) return std::nullopt;
    std::string head = RestrictedHead(select_, shape_, ConditionList(condition_, bound_condition));
    // Everything RestrictedHead changed lies after the select list, so the offset still holds.
    head.insert(shape_.after_select, " top 1");
    return head + order;
  }

  // The count of the rows of the condition and how many of them have a key up to `shown`.
  std::string Count(Form form, std::int64_t shown) const {
    const std::string& key = form == Form::kDerived ? result_key_ : key_;
    const std::string counts = "select count(*), sum(case when " + key +
                               " <= " + std::to_string(shown) + " then 1 else 0 end)";
    if (form == Form::kDerived) {
      return counts + " from (" + Inner() + ") as nav_rows" + Where(ConditionList(condition_, ""));
    }
    const std::string head = RestrictedHead(select_, shape_, ConditionList(condition_, ""));
    return counts + " " + head.substr(shape_.from);
  }

  const std::string& result_key() const { return result_key_; }

 private:
  bool Derivable() const {
    return shape_.after_select != std::string_view::npos && shape_.from != std::string_view::npos;
  }
  bool Inlinable() const { return Derivable() && !shape_.has_top && !shape_.has_group_or_union; }

  // The select without its ORDER BY, which a derived table may not have and the navigator
  // replaces anyway (kept when TOP depends on it).
  std::string Inner() const {
    if (shape_.order == std::string_view::npos || shape_.has_top) return std::string(select_);
    return std::string(select_.substr(0, shape_.order));
  }

  static std::string Where(const std::vector<std::string>& conditions) {
    std::string out;
    for (const std::string& condition : conditions) {
      out += out.empty() ? " where " : " and ";
      out += condition;
    }
    return out;
  }

  std::string_view select_;
  SelectShape shape_;
  std::string condition_;
  std::string key_;
  std::string result_key_;
};

}  // namespace

SqlRecordNavigator::SqlRecordNavigator(std::shared_ptr<data::SqliteDataService> db)
    : db_(std::move(db)) {}

NavigatorAnswer SqlRecordNavigator::Navigate(std::string_view select, std::string_view condition,
                                             NavigationMode mode, std::int32_t current_key,
                                             std::string_view key_column) {
  position_.clear();
  NavigatorAnswer answer;
  try {
    if (!IsColumnName(Trim(key_column))) {
      answer.error = "not a key column: " + std::string(key_column);
      return answer;
    }
    const std::string key = Trim(key_column);
    const std::string current = std::to_string(current_key);
    const bool nothing_shown = current_key < 1;

    // A step: the bound on the key and the direction; the fallback step runs when it finds
    // nothing.
    struct Step {
      std::string bound;
      bool descending;
    };
    std::vector<Step> steps;
    const std::string below = "< " + current;
    const std::string above = "> " + current;
    switch (mode) {
      case NavigationMode::kFirst:
        steps = {{"", false}};
        break;
      case NavigationMode::kLast:
        steps = {{"", true}};
        break;
      case NavigationMode::kPrevious:
        if (nothing_shown) {
          steps = {{"", true}};
        } else {
          steps = {{below, true}, {"", false}};
        }
        break;
      case NavigationMode::kNext:
        if (nothing_shown) {
          steps = {{"", false}};
        } else {
          steps = {{above, false}, {"", true}};
        }
        break;
      default:
        answer.error = "unknown navigation mode " + std::to_string(static_cast<int>(mode));
        return answer;
    }

    const Composer composer(select, Trim(condition), key);
    // The derived form is tried first; once a form has run, the other steps keep to it.
    std::vector<Form> forms = {Form::kDerived, Form::kInline};
    for (const Step& step : steps) {
      std::unique_ptr<Recordset> rows;
      std::string first_error;
      for (std::size_t f = 0; f < forms.size() && rows == nullptr; ++f) {
        const std::optional<std::string> sql = composer.Row(forms[f], step.bound, step.descending);
        if (!sql) continue;
        Command command{*sql, CommandType::kText, {}};
        rows = db_->Open(command);
        if (rows != nullptr) {
          forms = {forms[f]};
        } else if (first_error.empty()) {
          first_error = db_->LastError().empty() ? "the navigation statement failed: " + *sql
                                                 : db_->LastError();
        }
      }
      if (rows == nullptr) {
        answer.error = first_error.empty()
                           ? "cannot navigate over this select: " + std::string(select)
                           : first_error;
        return answer;
      }
      if (rows->RecordCount() == 0) continue;
      rows->MoveFirst();

      // Position among the rows of the condition: how many keys are not above the shown one.
      if (const std::optional<int> key_field = rows->FieldIndex(composer.result_key())) {
        const std::int64_t shown = rows->Value(*key_field).ToInt64();
        Command count{composer.Count(forms.front(), shown), CommandType::kText, {}};
        const std::unique_ptr<Recordset> counted = db_->Open(count);
        if (counted != nullptr && counted->RecordCount() > 0) {
          position_ = std::to_string(counted->Value(1).ToInt64()) + "/" +
                      std::to_string(counted->Value(0).ToInt64());
        }
      }
      answer.rows = std::move(rows);
      return answer;
    }
    return answer;
  } catch (const std::exception& e) {
    position_.clear();
    answer.rows.reset();
    answer.error = e.what();
    return answer;
  }
}

NavigatorAnswer SqlRecordNavigator::FindFirst(std::string_view select,
                                              std::string_view base_condition,
                                              std::string_view extra_condition,
                                              std::string_view key_column) {
  const std::string base = Trim(base_condition);
  const std::string extra = Trim(extra_condition);
  std::string condition;
  if (!base.empty() && !extra.empty()) {
    condition = "(" + base + ") and (" + extra + ")";
  } else {
    condition = base.empty() ? extra : base;
  }
  return Navigate(select, condition, NavigationMode::kFirst, 0, key_column);
}

NewKeyAnswer SqlRecordNavigator::NewKey(std::string_view table, std::string_view key_column) {
  return IssueKey(*db_, table, key_column);
}

std::string SqlRecordNavigator::PositionText() const { return position_; }

NewKeyAnswer IssueKey(data::SqliteDataService& db, std::string_view table,
                      std::string_view key_column) {
  NewKeyAnswer answer;
  try {
    const std::string table_name = WithoutDboPrefix(table);
    const std::string column = Trim(key_column);
    if (!db.catalog().HasTable(table_name)) {
      answer.error = "no table " + table_name + " to issue a key for";
      return answer;
    }
    if (!db.catalog().Kind(table_name, column)) {
      answer.error = "table " + table_name + " has no column " + column;
      return answer;
    }
    const std::string max_present = "(SELECT IFNULL(MAX(" + QuoteIdentifier(column) +
                                    "), 0) + 1 FROM " + QuoteIdentifier(table_name) + ")";
    // One statement: the write lock covers reading the last key, the rows present and storing
    // the new key, so two processes can never be handed the same key.
    const std::string sql =
        "INSERT INTO xt_key(table_name, key_column, last_key) VALUES (?, ?, " + max_present +
        ") ON CONFLICT(table_name, key_column) DO UPDATE SET last_key = MAX(last_key + 1, " +
        max_present + ") RETURNING last_key";
    std::string error;
    const auto rows = db.Native().Query(sql, {Variant(table_name), Variant(column)}, error);
    if (rows == nullptr || rows->RecordCount() == 0) {
      answer.error = error.empty() ? "no key was issued for " + table_name : error;
      return answer;
    }
    const std::int64_t key = rows->Value(0).ToInt64();
    if (key > std::numeric_limits<std::int32_t>::max() || key < 1) {
      answer.error = "the keys of " + table_name + "." + column + " are exhausted";
      return answer;
    }
    answer.key = static_cast<std::int32_t>(key);
  } catch (const std::exception& e) {
    answer.key = 0;
    answer.error = e.what();
  }
  return answer;
}

}  // namespace korvane::hostapp
