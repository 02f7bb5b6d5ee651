// The state of the scripted host's engine and the steps it runs, shared by the driver in
// script_host.cpp and the files that each hold one group of commands.
#ifndef KORVANE_HOSTAPP_SCRIPT_ENGINE_INTERNAL_H_
#define KORVANE_HOSTAPP_SCRIPT_ENGINE_INTERNAL_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/dialogs.h"
#include "host/host_context.h"
#include "hostapp/module_driver.h"
#include "hostapp/module_factory.h"
#include "hostapp/script_host.h"
#include "hostapp/script_host_internal.h"

namespace korvane::hostapp {
namespace script {

std::string Join(const std::vector<std::string>& parts, std::string_view separator);

}  // namespace script

// The script's side of driving modules: the driver does the work, the engine reads the steps,
// answers boxes from the script's queues and checks the expectations.
struct ScriptHost::Impl final : BoxAnswerer {
  using Json = script::Json;
  using Module = ModuleDriver::Module;

  explicit Impl(ModuleFactory f);
  ~Impl() override;

  // --- The driver (script_host.cpp) ----------------------------------------------------------
  // A command the driver dispatches to by its name.
  struct Command;
  static const std::vector<Command>& Commands();
  Json Dispatch(const Json& step, std::string& command, std::vector<std::string>& failures);
  std::string RunStep(std::string_view line, int step);

  // --- Modules and their members (script_steps_modules.cpp) ----------------------------------
  Json Open(const Json& step);
  Json Close(const Json& step);
  Json Call(const Json& step);
  Json Approve(const Json& step, const std::string& command);

  // --- Controls (script_steps_controls.cpp) --------------------------------------------------
  Json Act(const Json& step);

  // --- Boxes (script_steps_boxes.cpp) --------------------------------------------------------
  MsgAnswer AnswerMessage(Json& box, MsgButtons buttons) override;
  std::optional<std::string> AnswerInput(Json& box) override;
  Json QueueAnswers(const Json& step);
  Json QueueInputs(const Json& step);

  // --- Snapshots, files the modules wrote, expectations (script_steps_expect.cpp) ------------
  Json Snapshot(const Json& step);
  Json ReadPrint(const Json& step);
  Json ReadSettings(const Json& step);
  Json WriteSettings(const Json& step);
  static bool Matches(const Json& pattern, const Json& item);
  void CheckOne(const Json& expect, std::vector<std::string>& failures);
  void Check(const Json& expect, std::vector<std::string>& failures);

  // --- The database (script_steps_database.cpp) ----------------------------------------------
  Json FailStatements(const Json& step);
  Json Sql(const Json& step, std::vector<std::string>& failures);
  Json PayrollImport(const Json& step);

  const std::shared_ptr<HostContext>& host() const { return driver.host(); }

  ModuleDriver driver;
  std::deque<MsgAnswer> answers;
  std::deque<std::optional<std::string>> inputs;

  // What the running step saw besides the driver's events and boxes.
  std::vector<std::string> log_failures;

  // What the last step that acted saw, for later expectations.
  Json last_result = nullptr;
  Json last_events = Json::array();
  Json last_boxes = Json::array();
  std::vector<const controls::Form*> last_busy;
  int failure_count = 0;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_SCRIPT_ENGINE_INTERNAL_H_
