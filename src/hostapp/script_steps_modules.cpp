// The steps on modules as wholes: opening and closing them, calling their members, and
// approving or withdrawing the document one shows.
#include <algorithm>

#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Json;
using script::ScriptError;

Json ScriptHost::Impl::Open(const Json& step) {
  const std::string progid = script::ToText(step["open"], "\"open\"");
  std::optional<std::string> handle;
  if (step.contains("as")) handle = script::ToText(step["as"], "\"as\"");
  return driver.Open(progid, std::move(handle));
}

Json ScriptHost::Impl::Close(const Json& step) {
  const Json& which = step["close"];
  std::optional<std::string> handle;
  if (!which.is_boolean()) handle = script::ToText(which, "\"module\"");
  Json address = Json::object();
  if (handle) address["module"] = *handle;
  // Whether the module's form showed the wait cursor means nothing once the form is gone.
  const controls::Form* form = driver.ModuleOf(address).own_form;
  std::erase(last_busy, form);
  return driver.Close(std::move(handle));
}

Json ScriptHost::Impl::Call(const Json& step) {
  Module& m = driver.ModuleOf(step);
  const std::string member = script::ToText(step["call"], "\"call\"");
  const Json args = step.contains("args") ? step["args"] : Json();
  return driver.Call(m, member, args);
}

// Approves (Check) or withdraws (UnCheck) the document the module shows, as a person does
// with the host's buttons: when the module agrees, the host records the document's new state.
Json ScriptHost::Impl::Approve(const Json& step, const std::string& command) {
  const Json& which = step[command];
  Json address = Json::object();
  if (which.is_string()) {
    address["module"] = which;
  } else if (!which.is_boolean() || !which.get<bool>()) {
    throw ScriptError("\"" + command + "\" must be a module handle or true, not " +
                      script::Show(which));
  }
  return driver.Approve(driver.ModuleOf(address), command == "approve");
}

}  // namespace korvane::hostapp
