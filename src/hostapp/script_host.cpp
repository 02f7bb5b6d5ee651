// The scripted host's driver: reads a step, finds its command in the table and has the group of
// commands it belongs to run it, then answers with what happened. See docs/scripting.md for the
// protocol.
#include "hostapp/script_host.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Join;
using script::Json;
using script::ScriptError;

namespace {

bool Skipped(std::string_view line) {
  return line.empty() || line.front() == '#' || line.substr(0, 2) == "//";
}

}  // namespace

std::string script::Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

struct ScriptHost::Impl::Command {
  // What a step of the command answers with, besides the events and boxes every step has.
  enum class Answers {
    kResult,    // "result", kept for the expectations of later steps
    kSnapshot,  // "snapshot"
    kNothing,   // the expectations are all the step does
  };
  using Failures = std::vector<std::string>;

  std::string_view name;
  // The keys the command accepts; any other is a slip of the script's author.
  std::vector<std::string_view> keys;
  Json (*run)(Impl& engine, const Json& step, Failures& failures);
  Answers answers = Answers::kResult;
};

// In this order a step that names several commands is told which.
const std::vector<ScriptHost::Impl::Command>& ScriptHost::Impl::Commands() {
  using Failures = Command::Failures;
  using Answers = Command::Answers;
  static const std::vector<Command> commands = {
      {"open",
       {"open", "as", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.Open(s); }},
      {"close", {"close", "expect"}, [](Impl& e, const Json& s, Failures&) { return e.Close(s); }},
      {"call",
       {"call", "module", "args", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.Call(s); }},
      {"act",
       {"act",    "module", "form",  "control", "index", "row",  "col",      "text",
        "leave",  "key",    "shift", "value",   "item",  "node", "position", "width",
        "height", "by",     "to",    "button",  "x",     "y",    "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.Act(s); }},
      {"answer", {"answer"}, [](Impl& e, const Json& s, Failures&) { return e.QueueAnswers(s); }},
      {"input", {"input"}, [](Impl& e, const Json& s, Failures&) { return e.QueueInputs(s); }},
      {"snapshot",
       {"snapshot", "form", "control", "index"},
       [](Impl& e, const Json& s, Failures&) { return e.Snapshot(s); },
       Answers::kSnapshot},
      {"read_print",
       {"read_print", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.ReadPrint(s); }},
      {"sql",
       {"sql", "expect_rows", "expect_count", "expect"},
       [](Impl& e, const Json& s, Failures& f) { return e.Sql(s, f); }},
      {"fail_statements",
       {"fail_statements", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.FailStatements(s); }},
      {"payroll_import",
       {"payroll_import", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.PayrollImport(s); }},
      {"approve",
       {"approve", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.Approve(s, "approve"); }},
      {"withdraw",
       {"withdraw", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.Approve(s, "withdraw"); }},
      {"expect",
       {"expect"},
       [](Impl& e, const Json& s, Failures& f) {
         e.Check(s["expect"], f);
         return Json();
       },
       Answers::kNothing},
      {"read_settings",
       {"read_settings", "section", "key", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.ReadSettings(s); }},
      {"write_settings",
       {"write_settings", "section", "key", "value", "expect"},
       [](Impl& e, const Json& s, Failures&) { return e.WriteSettings(s); }},
  };
  return commands;
}

ScriptHost::Impl::Impl(ModuleFactory f) : driver(std::move(f)) { driver.set_answerer(this); }

ScriptHost::Impl::~Impl() {
  driver.CloseAll();
  driver.set_answerer(nullptr);
}

// Runs the step; returns the command's own answer keys. Throws for a failed step.
Json ScriptHost::Impl::Dispatch(const Json& step, std::string& command,
                                std::vector<std::string>& failures) {
  std::vector<const Command*> found;
  for (const Command& c : Commands()) {
    if (step.contains(c.name)) found.push_back(&c);
  }
  if (found.size() > 1) {
    std::erase_if(found, [](const Command* c) { return c->name == "expect"; });
  }
  if (found.empty()) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : step.items()) keys.push_back("\"" + key + "\"");
    throw ScriptError(
        "unknown command: the step names none of open, close, call, act, answer, input, "
        "snapshot, read_print, read_settings, write_settings, sql, fail_statements, "
        "payroll_import, approve, "
        "withdraw, "
        "expect (it has " +
        (keys.empty() ? std::string("no keys") : Join(keys, ", ")) + ")");
  }
  if (found.size() > 1) {
    std::vector<std::string> names;
    for (const Command* c : found) names.emplace_back(c->name);
    throw ScriptError("a step holds one command; this one has " + Join(names, " and "));
  }
  const Command& chosen = *found.front();
  command = chosen.name;
  for (const auto& [key, value] : step.items()) {
    if (std::find(chosen.keys.begin(), chosen.keys.end(), key) == chosen.keys.end()) {
      throw ScriptError("unknown key \"" + key + "\" for command " + command);
    }
  }

  Json out = Json::object();
  const Json result = chosen.run(*this, step, failures);
  if (chosen.answers == Command::Answers::kNothing) return out;
  if (chosen.answers == Command::Answers::kSnapshot) {
    out["snapshot"] = result;
    return out;
  }
  out["result"] = result;
  last_result = result;
  last_events = driver.events();
  last_boxes = driver.boxes();
  last_busy = driver.busy_forms();
  if (step.contains("expect")) Check(step["expect"], failures);
  return out;
}

std::string ScriptHost::Impl::RunStep(std::string_view line, int step) {
  driver.BeginOperation();
  log_failures.clear();

  std::string command;
  std::vector<std::string> failures;
  std::string error;
  Json details = Json::object();
  try {
    const Json in = script::ParseStep(line);
    if (!in.is_object()) throw ScriptError("a step must be a JSON object, not " + script::Show(in));
    details = Dispatch(in, command, failures);
  } catch (const ScriptError& e) {
    error = e.what();
  } catch (const std::exception& e) {
    error = std::string("the module threw: ") + e.what();
  } catch (...) {
    error = "the module threw an unknown exception";
  }
  // A box that came unanswered fails the step whatever else happened.
  std::vector<std::string> parts;
  if (!error.empty()) parts.push_back(error);
  for (const auto& f : log_failures) parts.push_back(f);
  if (!failures.empty()) parts.push_back("expectation failed: " + Join(failures, "; "));
  error = Join(parts, "; ");

  Json out = Json::object();
  out["step"] = step;
  out["command"] = command.empty() ? Json(nullptr) : Json(command);
  out["ok"] = error.empty();
  if (!error.empty()) {
    out["error"] = "step " + std::to_string(step) + (command.empty() ? "" : " (" + command + ")") +
                   ": " + error;
    ++failure_count;
  }
  for (auto& [key, value] : details.items()) out[key] = value;
  out["events"] = driver.events();
  out["boxes"] = driver.boxes();
  return script::DumpAnswer(out);
}

ScriptHost::ScriptHost(ModuleFactory factory) : impl_(std::make_unique<Impl>(std::move(factory))) {}

ScriptHost::~ScriptHost() = default;

std::shared_ptr<Dialogs> ScriptHost::dialogs() const { return impl_->driver.dialogs(); }

void ScriptHost::set_host(std::shared_ptr<HostContext> host) {
  impl_->driver.set_host(std::move(host));
}

std::optional<std::string> ScriptHost::RunLine(std::string_view line, int step) {
  std::string text = Trim(line);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  text = Trim(text);
  if (Skipped(text)) return std::nullopt;
  try {
    return impl_->RunStep(text, step);
  } catch (...) {
    // Only running out of memory while building the answer gets here.
    ++impl_->failure_count;
    return "{\"step\":" + std::to_string(step) +
           ",\"command\":null,\"ok\":false,\"error\":\"step " + std::to_string(step) +
           ": the answer could not be built\",\"events\":[],\"boxes\":[]}";
  }
}

int ScriptHost::Run(std::istream& in, std::ostream& out) {
  std::string line;
  int step = 0;
  while (std::getline(in, line)) {
    ++step;
    if (auto answer = RunLine(line, step)) out << *answer << '\n' << std::flush;
  }
  return failures() > 0 ? 1 : 0;
}

int ScriptHost::failures() const { return impl_->failure_count; }

}  // namespace korvane::hostapp
