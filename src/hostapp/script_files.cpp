// What a script reads of the files a module wrote for its user: the print data file a document
// names by ReturnPrintName, and the per-user settings files.
#include <fstream>
#include <iterator>

#include "host/ini_profile_store.h"
#include "host/settings_files.h"
#include "hostapp/script_host_internal.h"

namespace korvane::hostapp::script {
namespace {

// The member of an object whose name equals `name` ignoring ASCII case, as the settings files
// compare their names; null when there is none.
Json MemberIgnoringCase(const Json& object, std::string_view name) {
  if (!object.is_object()) return nullptr;
  for (const auto& [key, value] : object.items()) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return nullptr;
}

void OnlyKeys(const Json& expect, std::string_view what,
              std::initializer_list<std::string_view> allowed) {
  if (!expect.is_object()) {
    throw ScriptError("\"" + std::string(what) + "\" must be an object, not " + Show(expect));
  }
  for (const auto& [key, value] : expect.items()) {
    bool known = false;
    for (auto a : allowed) known = known || key == a;
    if (!known) {
      std::string names;
      for (auto a : allowed) names += std::string(names.empty() ? "" : ", ") + std::string(a);
      throw ScriptError("unknown key \"" + key + "\" in \"" + std::string(what) + "\" (" + names +
                        ")");
    }
  }
}

}  // namespace

Json ReadPrintFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScriptError("the print data file " + path + " cannot be read");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Json content;
  try {
    content = Json::parse(text);
  } catch (const Json::exception& e) {
    throw ScriptError("the print data file " + path + " is no JSON: " + e.what());
  }
  if (!content.is_object() || !content.contains("values") || !content["values"].is_object() ||
      !content.contains("tables") || !content["tables"].is_object()) {
    throw ScriptError("the print data file " + path + " holds no \"values\" and \"tables\"");
  }
  Json out = Json::object();
  out["file"] = path;
  out["values"] = content["values"];
  out["tables"] = content["tables"];
  return out;
}

void CheckPrint(const Json& content, const Json& expect, std::vector<std::string>& failures) {
  OnlyKeys(expect, "print", {"values", "table", "rows", "cells"});
  if (expect.contains("values")) {
    CheckFields("the print data's values", content["values"], expect["values"], failures);
  }
  if (!expect.contains("table") && !expect.contains("rows") && !expect.contains("cells")) return;
  const Json& tables = content["tables"];
  std::string name;
  if (expect.contains("table")) {
    name = ToText(expect["table"], "\"table\" of \"print\"");
  } else if (!tables.empty()) {
    name = tables.begin().key();
  }
  if (!tables.contains(name)) {
    failures.push_back("the print data has no table \"" + name + "\"");
    return;
  }
  const Json& table = tables[name];
  const std::string where = "the printed table " + name;
  if (expect.contains("rows")) {
    const int want = ToInt32(expect["rows"], "\"rows\" of \"print\"");
    if (static_cast<int>(table.size()) != want) {
      failures.push_back(where + " has " + std::to_string(table.size()) + " rows, expected " +
                         std::to_string(want));
    }
  }
  if (!expect.contains("cells")) return;
  if (!expect["cells"].is_array()) {
    throw ScriptError("\"cells\" of \"print\" must be a list of [row, col, text]");
  }
  for (const auto& cell : expect["cells"]) {
    if (!cell.is_array() || cell.size() != 3) {
      throw ScriptError("each of \"cells\" of \"print\" is [row, col, text], not " + Show(cell));
    }
    const int row = ToInt32(cell[0], "the row of a printed cell");
    const int col = ToInt32(cell[1], "the column of a printed cell");
    const std::string at =
        where + " cell (" + std::to_string(row) + ", " + std::to_string(col) + ")";
    if (row < 0 || row >= static_cast<int>(table.size()) || !table[row].is_array() || col < 0 ||
        col >= static_cast<int>(table[row].size())) {
      failures.push_back(at + " is outside the table");
      continue;
    }
    if (!SameValue(cell[2], table[row][col])) {
      failures.push_back(at + " is " + Show(table[row][col]) + ", expected " + Show(cell[2]));
    }
  }
}

Json ReadSettingsFile(HostContext& host, const std::string& name) {
  if (name.empty()) throw ScriptError("a settings file needs a name");
  std::unique_ptr<ProfileStore> store = host.CreateProfileStore();
  auto* ini = dynamic_cast<IniProfileStore*>(store.get());
  if (ini == nullptr) throw ScriptError("this host's settings are no INI files a script can read");
  ini->SetFile(SettingsPath(name, host));
  Json out = Json::object();
  for (const auto& section : ini->Sections()) {
    Json keys = Json::object();
    for (const auto& [key, value] : section.entries) keys[key] = value;
    out[section.name] = std::move(keys);
  }
  return out;
}

Json SettingsSection(const Json& file, std::string_view section) {
  return MemberIgnoringCase(file, section);
}

Json SettingsValue(const Json& section, std::string_view key) {
  return MemberIgnoringCase(section, key);
}

void CheckSettings(HostContext& host, const Json& expect, std::vector<std::string>& failures) {
  OnlyKeys(expect, "settings", {"file", "section", "values"});
  if (!expect.contains("file") || !expect.contains("section") || !expect.contains("values")) {
    throw ScriptError("\"settings\" needs \"file\", \"section\" and \"values\"");
  }
  const std::string file = ToText(expect["file"], "\"file\" of \"settings\"");
  const std::string name = ToText(expect["section"], "\"section\" of \"settings\"");
  const Json& values = expect["values"];
  if (!values.is_object()) {
    throw ScriptError("\"values\" of \"settings\" must be an object of keys and their values");
  }
  const Json section = SettingsSection(ReadSettingsFile(host, file), name);
  for (const auto& [key, wanted] : values.items()) {
    const Json actual = SettingsValue(section, key);
    if (!SameValue(wanted, actual)) {
      failures.push_back("the setting [" + name + "] " + key + " of " + file + " is " +
                         (actual.is_null() ? std::string("absent") : Show(actual)) + ", expected " +
                         (wanted.is_null() ? std::string("it absent") : Show(wanted)));
    }
  }
}

}  // namespace korvane::hostapp::script
