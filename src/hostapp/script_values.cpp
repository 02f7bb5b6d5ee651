// Conversions between a script's JSON values and the values of host calls.
#include <cmath>
#include <limits>

#include "hostapp/script_host_internal.h"

namespace korvane::hostapp::script {
namespace {

std::string KindOf(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return "a number";
    case Json::value_t::string:
      return "a text";
    case Json::value_t::array:
      return "a list";
    case Json::value_t::object:
      return "an object";
    default:
      return "an unusable value";
  }
}

[[noreturn]] void Wrong(std::string_view what, std::string_view wanted, const Json& got) {
  throw ScriptError(std::string(what) + " must be " + std::string(wanted) + ", not " + KindOf(got) +
                    " " + Show(got));
}

}  // namespace

Json ToJson(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return nullptr;
    case VarType::kInteger:
      return value.integer();
    case VarType::kDouble:
      return std::isfinite(value.real()) ? Json(value.real()) : Json(value.ToText());
    case VarType::kText:
      return value.text();
    case VarType::kDate:
    case VarType::kBoolean:
      return value.type() == VarType::kBoolean ? Json(value.boolean()) : Json(value.ToText());
  }
  return nullptr;
}

Json ToJson(const ParameterSet& parameters) {
  Json out = Json::object();
  for (const auto& [name, value] : parameters.Entries()) out[name] = ToJson(value);
  return out;
}

Json ToJson(const Recordset& rows) {
  Json out = Json::object();
  Json columns = Json::array();
  for (const auto& field : rows.Fields()) columns.push_back(field.name);
  Json data = Json::array();
  for (const auto& row : rows.Rows()) {
    Json line = Json::array();
    for (const auto& value : row) line.push_back(ToJson(value));
    data.push_back(std::move(line));
  }
  out["columns"] = std::move(columns);
  out["rows"] = std::move(data);
  return out;
}

double ToDouble(const Json& value, std::string_view what) {
  if (!value.is_number()) Wrong(what, "a number", value);
  return value.get<double>();
}

std::int32_t ToInt32(const Json& value, std::string_view what) {
  if (value.is_number_integer()) {
    const auto n = value.get<std::int64_t>();
    if (n >= std::numeric_limits<std::int32_t>::min() &&
        n <= std::numeric_limits<std::int32_t>::max()) {
      return static_cast<std::int32_t>(n);
    }
  } else if (value.is_number_unsigned()) {
    const auto n = value.get<std::uint64_t>();
    if (n <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      return static_cast<std::int32_t>(n);
    }
  } else if (value.is_number_float()) {
    const double d = value.get<double>();
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 2147483647.0) {
      return static_cast<std::int32_t>(d);
    }
  }
  Wrong(what, "a whole number within 32 bits", value);
}

bool ToBool(const Json& value, std::string_view what) {
  if (!value.is_boolean()) Wrong(what, "true or false", value);
  return value.get<bool>();
}

std::string ToText(const Json& value, std::string_view what) {
  if (!value.is_string()) Wrong(what, "a text", value);
  return value.get<std::string>();
}

Variant ToVariant(const Json& value, std::string_view what) {
  switch (value.type()) {
    case Json::value_t::null:
      return Variant::MakeNull();
    case Json::value_t::boolean:
      return Variant(value.get<bool>());
    case Json::value_t::number_integer:
      return Variant(static_cast<long long>(value.get<std::int64_t>()));
    case Json::value_t::number_unsigned: {
      const auto n = value.get<std::uint64_t>();
      if (n <= static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
        return Variant(static_cast<long long>(n));
      }
      return Variant(static_cast<double>(n));
    }
    case Json::value_t::number_float:
      return Variant(value.get<double>());
    case Json::value_t::string:
      return Variant(value.get<std::string>());
    case Json::value_t::object:
      if (value.size() == 1 && value.contains("date") && value["date"].is_string()) {
        const auto date = ParseDate(value["date"].get<std::string>());
        if (!date) {
          throw ScriptError(std::string(what) + ": " + Show(value["date"]) + " is not a date");
        }
        return Variant(*date);
      }
      break;
    default:
      break;
  }
  Wrong(what, "a number, a text, a boolean, null or {\"date\": \"yyyy-mm-dd\"}", value);
}

VariantArray ToConditions(const Json& value, std::string_view what) {
  if (value.is_null()) return {};
  if (!value.is_array())
    Wrong(what, "a list of conditions [flag, field and operator, value]", value);
  VariantArray out(3, static_cast<int>(value.size()));
  int col = 0;
  for (const auto& condition : value) {
    const std::string which = std::string(what) + ", condition " + std::to_string(col + 1);
    if (!condition.is_array() || condition.size() != 3) {
      Wrong(which, "a list of three: [flag, field and operator, value]", condition);
    }
    for (int row = 0; row < 3; ++row) {
      out.at(row, col) = ToVariant(condition[static_cast<std::size_t>(row)], which);
    }
    ++col;
  }
  return out;
}

std::shared_ptr<ParameterSet> ToParameters(const Json& value, std::string_view what) {
  if (value.is_null()) return nullptr;
  if (!value.is_object()) Wrong(what, "an object of named values", value);
  auto out = std::make_shared<BasicParameterSet>();
  for (const auto& [name, item] : value.items()) {
    out->Set(name, ToVariant(item, std::string(what) + ", entry \"" + name + "\""));
  }
  return out;
}

bool SameValue(const Json& expected, const Json& actual) {
  if (expected.is_number() && actual.is_number()) {
    return std::fabs(expected.get<double>() - actual.get<double>()) < 1e-9;
  }
  if (expected.is_number() && actual.is_string()) {
    // Grid cells and text boxes hold texts; "12.5" is what a person reads as 12.5.
    const std::string text = actual.get<std::string>();
    if (text.empty() || Trim(text) != text) return false;
    try {
      std::size_t used = 0;
      const double read = std::stod(text, &used);
      return used == text.size() && std::fabs(read - expected.get<double>()) < 1e-9;
    } catch (const std::exception&) {
      return false;
    }
  }
  if (expected.is_array() && actual.is_array()) {
    if (expected.size() != actual.size()) return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (!SameValue(expected[i], actual[i])) return false;
    }
    return true;
  }
  if (expected.is_object() && actual.is_object()) {
    if (expected.size() != actual.size()) return false;
    for (const auto& [key, item] : expected.items()) {
      if (!actual.contains(key) || !SameValue(item, actual[key])) return false;
    }
    return true;
  }
  return expected == actual;
}

void CheckFields(const std::string& what, const Json& actual, const Json& expected,
                 std::vector<std::string>& failures) {
  if (!expected.is_object()) {
    throw ScriptError("the properties expected of " + what + " must be an object, not " +
                      Show(expected));
  }
  if (!actual.is_object()) {
    failures.push_back(what + " is " + Show(actual) + ", expected properties " + Show(expected));
    return;
  }
  for (const auto& [name, wanted] : expected.items()) {
    if (!actual.contains(name)) {
      failures.push_back(what + " has no property \"" + name + "\"");
    } else if (!SameValue(wanted, actual[name])) {
      failures.push_back(what + "." + name + " is " + Show(actual[name]) + ", expected " +
                         Show(wanted));
    }
  }
}

Json RecordJson(const std::shared_ptr<Object>& record) {
  if (!record) return nullptr;
  const auto* bag = dynamic_cast<const PropertyBag*>(record.get());
  if (bag == nullptr) throw ScriptError("the module handed out a record the host cannot read");
  Json out = Json::object();
  for (std::string_view name : bag->PropertyNames()) {
    out[std::string(name)] = ToJson(bag->Get(name));
  }
  return out;
}

std::string Show(const Json& value) {
  if (!NestsWithin(value, kMaxAnswerDepth)) {
    return "(a value nested more than " + std::to_string(kMaxAnswerDepth) + " levels deep)";
  }
  try {
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (CodePointCount(text) > 200) text = LeftChars(text, 197) + "...";
    return text;
  } catch (const std::exception&) {
    return "?";
  }
}

}  // namespace korvane::hostapp::script
