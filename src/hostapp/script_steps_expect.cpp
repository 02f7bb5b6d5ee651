// The steps that look and check: snapshots of the forms, the files the modules wrote, and the
// expectations on the screen, the last step's result, events and boxes, and the host.
#include <algorithm>

#include "controls/form.h"
#include "host/settings_files.h"
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Json;
using script::ScriptError;

Json ScriptHost::Impl::Snapshot(const Json& step) {
  Json address = step;
  const Json& which = step["snapshot"];
  if (which.is_string()) {
    address["module"] = which;
  } else if (!which.is_boolean()) {
    throw ScriptError("\"snapshot\" must be a module handle or true, not " + script::Show(which));
  }
  return driver.Snapshot(address);
}

Json ScriptHost::Impl::ReadPrint(const Json& step) {
  const Json& which = step["read_print"];
  Json address = Json::object();
  if (which.is_string()) {
    address["module"] = which;
  } else if (!which.is_boolean() || !which.get<bool>()) {
    throw ScriptError("\"read_print\" must be a module handle or true, not " + script::Show(which));
  }
  return driver.PrintFile(driver.ModuleOf(address));
}

Json ScriptHost::Impl::ReadSettings(const Json& step) {
  if (!host()) throw ScriptError("the script has no host context whose settings could be read");
  const std::string name = script::ToText(step["read_settings"], "\"read_settings\"");
  Json file = script::ReadSettingsFile(*host(), name);
  if (!step.contains("section")) {
    if (step.contains("key")) throw ScriptError("\"key\" needs a \"section\"");
    return file;
  }
  const Json section =
      script::SettingsSection(file, script::ToText(step["section"], "\"section\""));
  if (!step.contains("key")) return section.is_null() ? Json::object() : section;
  return script::SettingsValue(section, script::ToText(step["key"], "\"key\""));
}

Json ScriptHost::Impl::WriteSettings(const Json& step) {
  if (!host()) throw ScriptError("the script has no host context whose settings could be written");
  const std::string name = script::ToText(step["write_settings"], "\"write_settings\"");
  const std::string section = script::ToText(step["section"], "\"section\"");
  const std::string key = script::ToText(step["key"], "\"key\"");
  const std::string value = script::ToText(step["value"], "\"value\"");
  if (!WriteSetting(name, section, key, value, *host())) {
    throw ScriptError("the settings file " + name + " could not be written");
  }
  return true;
}

bool ScriptHost::Impl::Matches(const Json& pattern, const Json& item) {
  if (!pattern.is_object()) return false;
  for (const auto& [key, wanted] : pattern.items()) {
    if (key == "text_contains") {
      if (!wanted.is_string() || !item.contains("text") || !item["text"].is_string() ||
          item["text"].get<std::string>().find(wanted.get<std::string>()) == std::string::npos) {
        return false;
      }
    } else if (!item.contains(key) || !script::SameValue(wanted, item[key])) {
      return false;
    }
  }
  return true;
}

void ScriptHost::Impl::CheckOne(const Json& expect, std::vector<std::string>& failures) {
  if (!expect.is_object()) {
    throw ScriptError("an expectation must be an object, not " + script::Show(expect));
  }
  if (expect.contains("control")) {
    std::string where;
    controls::Form* form = nullptr;
    const auto& list = driver.ControlsOf(expect, where, &form);
    script::CheckControl(script::FindControl(list, expect, where), expect, failures);
    return;
  }
  for (const auto& [key, wanted] : expect.items()) {
    if (key == "module" || key == "form") continue;
    if (key == "result") {
      if (!script::SameValue(wanted, last_result)) {
        failures.push_back("the result is " + script::Show(last_result) + ", expected " +
                           script::Show(wanted));
      }
    } else if (key == "result_contains") {
      // For results that depend on where the run happens, such as a file's full path.
      const std::string part = script::ToText(wanted, "\"result_contains\"");
      if (!last_result.is_string() ||
          last_result.get<std::string>().find(part) == std::string::npos) {
        failures.push_back("the result is " + script::Show(last_result) + ", expected a text " +
                           "containing " + script::Show(wanted));
      }
    } else if (key == "event" || key == "box") {
      const Json& list = key == "event" ? last_events : last_boxes;
      bool found = false;
      for (const auto& item : list) found = found || Matches(wanted, item);
      if (!found) {
        failures.push_back("no " + key + " matches " + script::Show(wanted) + " (got " +
                           script::Show(list) + ")");
      }
    } else if (key == "no_event") {
      const std::string name = script::ToText(wanted, "\"no_event\"");
      for (const auto& item : last_events) {
        if (item.value("event", "") == name) {
          failures.push_back("an unwanted " + name + " event came: " + script::Show(item));
        }
      }
    } else if (key == "events") {
      Json names = Json::array();
      for (const auto& item : last_events) names.push_back(item.value("event", ""));
      if (!script::SameValue(wanted, names)) {
        failures.push_back("the events were " + script::Show(names) + ", expected " +
                           script::Show(wanted));
      }
    } else if (key == "boxes") {
      const int want = script::ToInt32(wanted, "\"boxes\"");
      if (static_cast<int>(last_boxes.size()) != want) {
        failures.push_back(std::to_string(last_boxes.size()) + " boxes were shown, expected " +
                           std::to_string(want));
      }
    } else if (key == "caption") {
      std::string where;
      controls::Form* form = nullptr;
      driver.ControlsOf(expect, where, &form);
      const Json actual = form ? Json(form->caption()) : Json(nullptr);
      if (!script::SameValue(wanted, actual)) {
        failures.push_back("the caption of " + where + " is " + script::Show(actual) +
                           ", expected " + script::Show(wanted));
      }
    } else if (key == "focused" || key == "busy" || key == "was_busy") {
      std::string where;
      controls::Form* form = nullptr;
      driver.ControlsOf(expect, where, &form);
      if (form == nullptr) throw ScriptError(where + " shows no form");
      Json actual;
      if (key == "focused") {
        actual = form->focused() ? Json(script::ControlLabel(*form->focused())) : Json(nullptr);
      } else if (key == "busy") {
        actual = form->busy();
      } else {
        actual = std::find(last_busy.begin(), last_busy.end(), form) != last_busy.end();
      }
      if (!script::SameValue(wanted, actual)) {
        failures.push_back("the " + std::string(key == "focused" ? "focused control" : key) +
                           " of " + where + " is " + script::Show(actual) + ", expected " +
                           script::Show(wanted));
      }
    } else if (key == "objects") {
      Module& m = driver.ModuleOf(expect);
      if (m.interfaces.picker == nullptr) {
        throw ScriptError("module " + m.handle + " is no picker (it has no IPickerUI)");
      }
      script::CheckFields("the record of module " + m.handle,
                          script::RecordJson(m.interfaces.picker->Objects()), wanted, failures);
    } else if (key == "print") {
      script::CheckPrint(driver.PrintFile(driver.ModuleOf(expect)), wanted, failures);
    } else if (key == "settings") {
      if (!host()) throw ScriptError("the script has no host context whose settings could be read");
      script::CheckSettings(*host(), wanted, failures);
    } else if (key == "host") {
      if (!host()) throw ScriptError("the script has no host context");
      script::CheckFields("the host", driver.HostState(), wanted, failures);
    } else if (key == "dialogs") {
      Json names = Json::array();
      for (const auto& s : driver.forms()) names.push_back(s.form->name());
      if (!script::SameValue(wanted, names)) {
        failures.push_back("the dialog forms shown are " + script::Show(names) + ", expected " +
                           script::Show(wanted));
      }
    } else if (key == "queued") {
      const int want = script::ToInt32(wanted, "\"queued\"");
      const int have = static_cast<int>(answers.size() + inputs.size());
      if (have != want) {
        failures.push_back(std::to_string(have) + " answers are still queued, expected " +
                           std::to_string(want));
      }
    } else {
      throw ScriptError("unknown expectation \"" + key +
                        "\" (control, result, event, no_event, events, box, boxes, caption, "
                        "focused, busy, was_busy, dialogs, queued, objects, print, settings, "
                        "host)");
    }
  }
}

void ScriptHost::Impl::Check(const Json& expect, std::vector<std::string>& failures) {
  if (expect.is_array()) {
    for (const auto& item : expect) CheckOne(item, failures);
  } else {
    CheckOne(expect, failures);
  }
}

}  // namespace korvane::hostapp
