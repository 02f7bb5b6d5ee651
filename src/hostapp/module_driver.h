// ModuleDriver: the one place a host drives the library's modules from outside. It opens modules
// by programmatic identifier under a handle, calls their host interface members with JSON
// arguments, acts on their controls and on the dialog forms they show as a person does, takes
// snapshots of forms as JSON, approves and withdraws documents, and collects the events the
// modules raise and the boxes they show. `korvane script` (ScriptHost) and `korvane serve`
// (the web host) both drive modules only through it.
//
// Contract:
//  - Caller faults (an unknown handle, member, control or key, a wrong argument) throw
//    DriverError, an unknown module handle UnknownModule; the modules' own exceptions pass
//    through. Nothing else throws.
//  - A driver and its modules belong to one thread: every member, and the destructor, must be
//    called on the thread that opened the modules. The listener and the answerer are called
//    on that thread too, from inside a module's call.
//  - The driver owns the modules it opens and calls Clear on each still open when it is
//    destroyed. The host context is shared; it must be built with dialogs() so that boxes and
//    dialog forms reach the driver.
#ifndef KORVANE_HOSTAPP_MODULE_DRIVER_H_
#define KORVANE_HOSTAPP_MODULE_DRIVER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "controls/control.h"
#include "controls/form.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "hostapp/module_factory.h"
#include "values/object.h"

namespace korvane::hostapp {

using DriverJson = nlohmann::ordered_json;

// A fault of the caller rather than of the module: the operation fails with this text.
class DriverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A module handle that names no module the driver has open.
class UnknownModule : public DriverError {
 public:
  using DriverError::DriverError;
};

// The host interfaces a module implements, and the form it shows.
struct ModuleInterfaces {
  IFormUI* form = nullptr;
  IReportUI* report = nullptr;
  IPickerUI* picker = nullptr;
  IToolUI* tool = nullptr;
  IDesignUI* design = nullptr;
  FormView* view = nullptr;  // the module's form, when it shows one
};

// The answer a box gets when nobody chose one: the one that changes the least (Cancel, No, OK
// or Abort).
MsgAnswer SafestAnswer(MsgButtons buttons);
// Whether the box has a button for the answer.
bool AnswerFits(MsgAnswer answer, MsgButtons buttons);
// "Yes" -> kYes, ignoring ASCII case; nullopt for no answer's name.
std::optional<MsgAnswer> AnswerByName(std::string_view name);

// Who answers the boxes the modules show: a script's queue, a person at a page.
class BoxAnswerer {
 public:
  virtual ~BoxAnswerer() = default;
  // `box` holds "module", "box" ("message"), "text", "title", "buttons" and "icon"; the
  // answerer adds "answer" (the chosen answer's name, null when nobody chose) and returns the
  // answer the module gets, one the box has a button for.
  virtual MsgAnswer AnswerMessage(DriverJson& box, MsgButtons buttons) = 0;
  // `box` holds "module", "box" ("input"), "text", "title" and "default"; the answerer adds
  // "answer" (the text, null for Cancel) and returns it.
  virtual std::optional<std::string> AnswerInput(DriverJson& box) = 0;
};

class ModuleSink;

class ModuleDriver {
 public:
  using Json = DriverJson;
  using ControlList = std::vector<std::unique_ptr<controls::Control>>;

  struct Module {
    Module();
    ~Module();

    std::string handle;
    std::string progid;
    std::shared_ptr<Object> object;
    ModuleInterfaces interfaces;
    std::unique_ptr<ModuleSink> sink;
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
    std::string module;  // the handle of the module that showed it
  };

  explicit ModuleDriver(ModuleFactory factory);
  ~ModuleDriver();
  ModuleDriver(const ModuleDriver&) = delete;
  ModuleDriver& operator=(const ModuleDriver&) = delete;

  // The dialogs to build the host context with. They stay valid after the driver is gone,
  // answering Cancel, No, OK or Abort and nothing for an input box.
  std::shared_ptr<Dialogs> dialogs() const;
  // The context modules get with Init; without one Init fails.
  void set_host(std::shared_ptr<HostContext> host);
  const std::shared_ptr<HostContext>& host() const { return host_; }
  // Who answers boxes; without one every box gets the safest answer.
  void set_answerer(BoxAnswerer* answerer) { answerer_ = answerer; }
  // Hears every event and every answered box as it is collected (the JSON of events() and
  // boxes()), and the host's FormShown / FormClosed.
  void set_listener(std::function<void(const Json&)> listener) { listener_ = std::move(listener); }

  // Starts an operation: forgets the events, boxes and wait cursors collected so far.
  void BeginOperation();
  // What the modules did since BeginOperation: their events ({"module", "event", ...}), the
  // boxes shown with their answers, and the module forms that showed the wait cursor.
  const Json& events() const { return events_; }
  const Json& boxes() const { return boxes_; }
  const std::vector<const controls::Form*>& busy_forms() const { return busy_; }

  // Creates the module and listens to its events. The handle defaults to the class name
  // ("SCCJD_S" for "Korvane.SCCJD_S"). Returns {"module": handle, "interfaces": [...]}.
  Json Open(std::string_view progid, std::optional<std::string> handle = std::nullopt);
  // Clears the module (the last opened when `handle` is empty) and drops it; returns what
  // Clear answered.
  Json Close(std::optional<std::string> handle = std::nullopt);
  // Closes every module, the last opened first. A module that throws is dropped all the same.
  void CloseAll();
  // Calls a member ("Refresh", "IPickerUI.Init") with a list of JSON arguments; Init gets the
  // host context ahead of them. Returns the member's result.
  Json Call(Module& module, std::string_view member, const Json& args);
  // A person's action on a control: `step` holds "act" and its keys (docs/scripting.md).
  Json Act(const Json& step);
  // The state of a form's controls: `address` may hold "module", "form", "control", "index".
  Json Snapshot(const Json& address);
  // What a person does with the host's approve (or withdraw) button: the module's Check (or
  // UnCheck), and when it agrees, the host records the document's new state.
  Json Approve(Module& module, bool approve);
  // The print data file the module names by ReturnPrintName, as {"file", "values", "tables"}.
  Json PrintFile(Module& module);

  // The module `address` names with "module", else the last opened.
  Module& ModuleOf(const Json& address);
  // The controls an address names: a dialog form's ("form") or the module's own; `where`
  // names them for messages, `form` gets the form they sit on (null when none).
  const ControlList& ControlsOf(const Json& address, std::string& where, controls::Form** form);
  // {"title", "user", "date"} of the host context.
  Json HostState() const;

  const std::vector<std::unique_ptr<Module>>& modules() const { return modules_; }
  const std::vector<ShownForm>& forms() const { return forms_; }
  // The handle boxes and dialog forms are put down to while a module works.
  void set_acting(std::string handle) { acting_ = std::move(handle); }

 private:
  class DialogsProxy;
  friend class DialogsProxy;

  MsgAnswer OnMessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                         std::string_view title);
  std::optional<std::string> OnInputBox(std::string_view prompt, std::string_view title,
                                        std::string_view default_text);
  void OnFormShown(controls::Form& form);
  void OnFormClosed(controls::Form& form);
  void Record(Json& log, Json item);
  Json CloseModule(Module& m);
  void Unadvise(Module& m);
  static controls::Form* OwnForm(const ModuleInterfaces& ifs);

  ModuleFactory factory_;
  std::shared_ptr<DialogsProxy> dialogs_;
  std::shared_ptr<HostContext> host_;
  BoxAnswerer* answerer_ = nullptr;
  std::function<void(const Json&)> listener_;
  std::vector<std::unique_ptr<Module>> modules_;
  std::vector<ShownForm> forms_;
  std::string acting_;
  Json events_ = Json::array();
  Json boxes_ = Json::array();
  std::vector<const controls::Form*> busy_;
};

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_MODULE_DRIVER_H_
