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
#include "hostapp/module_factory.h"
#include "hostapp/script_host.h"
#include "hostapp/script_host_internal.h"

namespace korvane::hostapp {
namespace script {

// Where the dialogs send what they see; the engine, while it lives.
class DialogOwner {
 public:
  virtual ~DialogOwner() = default;
  virtual MsgAnswer OnMessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                                 std::string_view title) = 0;
  virtual std::optional<std::string> OnInputBox(std::string_view prompt, std::string_view title,
                                                std::string_view default_text) = 0;
  virtual void OnFormShown(controls::Form& form) = 0;
  virtual void OnFormClosed(controls::Form& form) = 0;
};

// The dialogs the modules get; without an owner they answer as nobody would choose otherwise.
class ScriptDialogs final : public Dialogs {
 public:
  void set_owner(DialogOwner* owner) { owner_ = owner; }

  MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                       std::string_view title) override;
  std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                      std::string_view default_text) override;
  void FormShown(controls::Form& form) override;
  void FormClosed(controls::Form& form) override;

 private:
  DialogOwner* owner_ = nullptr;
};

// Hears a module's events (script_steps_modules.cpp).
class ModuleSink;

std::string Join(const std::vector<std::string>& parts, std::string_view separator);

}  // namespace script

struct ScriptHost::Impl final : script::DialogOwner {
  using Json = script::Json;

  struct Module {
    ~Module();

    std::string handle;
    std::string progid;
    std::shared_ptr<Object> object;
    script::ModuleInterfaces interfaces;
    std::unique_ptr<script::ModuleSink> sink;
    EventSource<DocumentEvents>* document_source = nullptr;
    EventSource<PlanEvents>* plan_source = nullptr;
    EventSource<ReportEvents>* report_source = nullptr;
    EventSource<PickerEvents>* picker_source = nullptr;
    // The program id the module's IFormUI.Init took, for recording approvals.
    std::optional<std::int32_t> program_id;
    // The module's own form and the token of the watch on its wait cursor.
    controls::Form* own_form = nullptr;
    int busy_watch = 0;
  };
  struct ShownForm {
    controls::Form* form;
    std::string module;
  };

  explicit Impl(ModuleFactory f);
  ~Impl() override;

  // --- The driver (script_host.cpp) ----------------------------------------------------------
  // A command the driver dispatches to by its name.
  struct Command;
  static const std::vector<Command>& Commands();
  Json Dispatch(const Json& step, std::string& command, std::vector<std::string>& failures);
  std::string RunStep(std::string_view line, int step);

  // --- Modules and their members (script_steps_modules.cpp) ----------------------------------
  Module& ModuleOf(const Json& step);
  Json Open(const Json& step);
  Json CloseModule(Module& m);
  void Unadvise(Module& m);
  Json Close(const Json& step);
  Json Call(const Json& step);
  Json Approve(const Json& step, const std::string& command);

  // --- Controls (script_steps_controls.cpp) --------------------------------------------------
  static controls::Form* OwnForm(const script::ModuleInterfaces& ifs);
  const script::ControlList& ControlsOf(const Json& step, std::string& where,
                                        controls::Form** form);
  Json Act(const Json& step);

  // --- Boxes and dialogs (script_steps_boxes.cpp) --------------------------------------------
  MsgAnswer OnMessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                         std::string_view title) override;
  std::optional<std::string> OnInputBox(std::string_view prompt, std::string_view title,
                                        std::string_view default_text) override;
  void OnFormShown(controls::Form& form) override;
  void OnFormClosed(controls::Form& form) override;
  Json QueueAnswers(const Json& step);
  Json QueueInputs(const Json& step);

  // --- Snapshots, files the modules wrote, expectations (script_steps_expect.cpp) ------------
  Json Snapshot(const Json& step);
  Json HostState() const;
  Json PrintFileOf(Module& m);
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

  ModuleFactory factory;
  std::shared_ptr<script::ScriptDialogs> dialogs;
  std::shared_ptr<HostContext> host;
  std::vector<std::unique_ptr<Module>> modules;
  std::vector<ShownForm> forms;
  std::deque<MsgAnswer> answers;
  std::deque<std::optional<std::string>> inputs;

  // What the running step saw.
  std::string acting;
  Json log_events = Json::array();
  Json log_boxes = Json::array();
  std::vector<std::string> log_failures;
  std::vector<const controls::Form*> log_busy;  // the module forms that showed the wait cursor

  // What the last step that acted saw, for later expectations.
  Json last_result = nullptr;
  Json last_events = Json::array();
  Json last_boxes = Json::array();
  std::vector<const controls::Form*> last_busy;
  int failure_count = 0;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_SCRIPT_ENGINE_INTERNAL_H_
