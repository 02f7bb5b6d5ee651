// The steps on the database itself: running SQL against what the modules wrote, making
// statements fail as a broken database would, and the wage office's payroll intake.
#include "data/sqlite_data_service.h"
#include "hostapp/payroll_intake.h"
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Json;
using script::ScriptError;

// From now on every statement whose text contains the pattern (ignoring ASCII case) fails as
// a broken database would make it fail; null stops failing. Only the embedded database can.
Json ScriptHost::Impl::FailStatements(const Json& step) {
  if (!host()) throw ScriptError("the script has no host context whose database could fail");
  auto* db = dynamic_cast<data::SqliteDataService*>(host()->Data().get());
  if (db == nullptr) throw ScriptError("this host's data service cannot fail on purpose");
  const Json& value = step["fail_statements"];
  if (value.is_null()) {
    db->InjectFailures({});
    return true;
  }
  const std::string pattern = ToLowerAscii(script::ToText(value, "\"fail_statements\""));
  if (pattern.empty()) throw ScriptError("\"fail_statements\" needs a part of a statement");
  db->InjectFailures([pattern](std::string_view statement) {
    return ToLowerAscii(statement).find(pattern) != std::string::npos;
  });
  return true;
}

Json ScriptHost::Impl::Sql(const Json& step, std::vector<std::string>& failures) {
  const std::string text = script::ToText(step["sql"], "\"sql\"");
  if (!host()) throw ScriptError("the script has no host context to run SQL on");
  auto data = host()->Data();
  if (!data) throw ScriptError("the host context has no data service");
  auto rows = data->OpenSql(text);
  if (!rows) throw ScriptError("the database refused the statement: " + data->LastError());
  Json result = script::ToJson(*rows);
  const Json& got = result["rows"];
  if (step.contains("expect_count")) {
    const int want = script::ToInt32(step["expect_count"], "\"expect_count\"");
    if (static_cast<int>(got.size()) != want) {
      failures.push_back("the statement returned " + std::to_string(got.size()) +
                         " rows, expected " + std::to_string(want));
    }
  }
  if (step.contains("expect_rows")) {
    const Json& want = step["expect_rows"];
    if (!want.is_array()) throw ScriptError("\"expect_rows\" must be a list of rows");
    if (want.size() != got.size()) {
      failures.push_back("the statement returned " + std::to_string(got.size()) +
                         " rows, expected " + std::to_string(want.size()));
    }
    for (std::size_t r = 0; r < want.size() && r < got.size(); ++r) {
      if (!want[r].is_array()) throw ScriptError("each of \"expect_rows\" must be a list");
      if (want[r].size() != got[r].size()) {
        failures.push_back("row " + std::to_string(r + 1) + " has " +
                           std::to_string(got[r].size()) + " columns, expected " +
                           std::to_string(want[r].size()));
        continue;
      }
      for (std::size_t c = 0; c < want[r].size(); ++c) {
        if (!script::SameValue(want[r][c], got[r][c])) {
          failures.push_back("row " + std::to_string(r + 1) + ", column " +
                             result["columns"][c].get<std::string>() + " is " +
                             script::Show(got[r][c]) + ", expected " + script::Show(want[r][c]));
        }
      }
    }
  }
  return result;
}

// The wage office takes the handed-over wage rows into payroll: `true` for every period,
// {"period": yyyymm} for one. The result is the number of rows taken, or the text of the
// refusal when nothing was taken.
Json ScriptHost::Impl::PayrollImport(const Json& step) {
  if (!host()) throw ScriptError("the script has no host context whose wages could be taken");
  const Json& value = step["payroll_import"];
  std::optional<int> period;
  if (value.is_object()) {
    for (const auto& [key, item] : value.items()) {
      if (key != "period") throw ScriptError("unknown key \"" + key + "\" of \"payroll_import\"");
    }
    if (value.contains("period")) period = script::ToInt32(value["period"], "\"period\"");
  } else if (!value.is_boolean() || !value.get<bool>()) {
    throw ScriptError("\"payroll_import\" must be true or {\"period\": yyyymm}, not " +
                      script::Show(value));
  }
  const PayrollIntake intake = TakeWagesIntoPayroll(*host(), period);
  if (!intake.done) return intake.error;
  return intake.taken;
}

}  // namespace korvane::hostapp
