// The scripted host's engine: reads a step, runs it against the open modules and answers with
// what happened. See docs/scripting.md for the protocol.
#include "hostapp/script_host.h"

#include <algorithm>
#include <deque>
#include <istream>
#include <map>
#include <ostream>

#include "controls/form.h"
#include "data/sqlite_data_service.h"
#include "hostapp/document_approval.h"
#include "hostapp/script_host_internal.h"

namespace korvane::hostapp {

using script::Json;
using script::ScriptError;

namespace {

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

// The answer a box gets when nobody chose one: the one that changes the least.
MsgAnswer SafestAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return MsgAnswer::kOk;
    case MsgButtons::kAbortRetryIgnore:
      return MsgAnswer::kAbort;
    case MsgButtons::kYesNo:
      return MsgAnswer::kNo;
    default:
      return MsgAnswer::kCancel;
  }
}

bool Fits(MsgAnswer answer, MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::kOk:
      return answer == MsgAnswer::kOk;
    case MsgButtons::kOkCancel:
      return answer == MsgAnswer::kOk || answer == MsgAnswer::kCancel;
    case MsgButtons::kAbortRetryIgnore:
      return answer == MsgAnswer::kAbort || answer == MsgAnswer::kRetry ||
             answer == MsgAnswer::kIgnore;
    case MsgButtons::kYesNoCancel:
      return answer == MsgAnswer::kYes || answer == MsgAnswer::kNo || answer == MsgAnswer::kCancel;
    case MsgButtons::kYesNo:
      return answer == MsgAnswer::kYes || answer == MsgAnswer::kNo;
    case MsgButtons::kRetryCancel:
      return answer == MsgAnswer::kRetry || answer == MsgAnswer::kCancel;
  }
  return false;
}

class ScriptDialogs final : public Dialogs {
 public:
  void set_owner(DialogOwner* owner) { owner_ = owner; }

  MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                       std::string_view title) override {
    return owner_ ? owner_->OnMessageBox(text, buttons, icon, title) : SafestAnswer(buttons);
  }
  std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                      std::string_view default_text) override {
    return owner_ ? owner_->OnInputBox(prompt, title, default_text) : std::nullopt;
  }
  void FormShown(controls::Form& form) override {
    if (owner_) owner_->OnFormShown(form);
  }
  void FormClosed(controls::Form& form) override {
    if (owner_) owner_->OnFormClosed(form);
  }

 private:
  DialogOwner* owner_ = nullptr;
};

// Hears every event set a module may raise, and hands each event on as JSON.
class Sink final : public PlanEvents, public ReportEvents, public PickerEvents {
 public:
  Sink(std::string handle, std::function<void(Json)> record)
      : handle_(std::move(handle)), record_(std::move(record)) {}

  void Message(const std::string& text) override {
    Json e = Start("Message");
    e["text"] = text;
    record_(std::move(e));
  }
  void ErrMessage(const std::string& text, LogLevel level, const std::string& title) override {
    Json e = Start("ErrMessage");
    e["text"] = text;
    e["level"] = static_cast<int>(level);
    e["title"] = title;
    record_(std::move(e));
  }
  void FormRefreshed() override { record_(Start("FormRefreshed")); }
  void Property(const std::string& name, const Variant& value, bool auto_update) override {
    Json e = Start("Property");
    e["name"] = name;
    e["value"] = script::ToJson(value);
    e["auto_update"] = auto_update;
    record_(std::move(e));
  }
  void Detaile(std::int32_t program_id, std::int32_t id) override {
    Json e = Start("Detaile");
    e["program_id"] = program_id;
    e["id"] = id;
    record_(std::move(e));
  }
  void VsMouseDown(std::int16_t& button, std::int16_t& shift, float& x, float& y) override {
    Json e = Start("VsMouseDown");
    e["button"] = button;
    e["shift"] = shift;
    e["x"] = x;
    e["y"] = y;
    record_(std::move(e));
  }
  void DoSelect() override { record_(Start("DoSelect")); }
  void DoCancel() override { record_(Start("DoCancel")); }

 private:
  Json Start(const char* name) const {
    Json e = Json::object();
    e["module"] = handle_;
    e["event"] = name;
    return e;
  }
  std::string handle_;
  std::function<void(Json)> record_;
};

bool Skipped(std::string_view line) {
  return line.empty() || line.front() == '#' || line.substr(0, 2) == "//";
}

const std::vector<std::string_view>& CommandNames() {
  static const std::vector<std::string_view> names = {
      "open",    "close",    "call",       "act",          "answer",
      "input",   "snapshot", "read_print", "sql",          "fail_statements",
      "approve", "withdraw", "expect",     "read_settings"};
  return names;
}

// The keys each command accepts; any other is a slip of the script's author.
bool KeyAllowed(std::string_view command, std::string_view key) {
  static const std::map<std::string_view, std::vector<std::string_view>> kKeys = {
      {"open", {"open", "as", "expect"}},
      {"close", {"close", "expect"}},
      {"call", {"call", "module", "args", "expect"}},
      {"act", {"act",      "module", "form",   "control", "index", "row",   "col",
               "text",     "leave",  "key",    "shift",   "value", "item",  "node",
               "position", "width",  "height", "by",      "to",    "expect"}},
      {"answer", {"answer"}},
      {"input", {"input"}},
      {"snapshot", {"snapshot", "form", "control", "index"}},
      {"read_print", {"read_print", "expect"}},
      {"read_settings", {"read_settings", "section", "key", "expect"}},
      {"sql", {"sql", "expect_rows", "expect_count", "expect"}},
      {"fail_statements", {"fail_statements", "expect"}},
      {"approve", {"approve", "expect"}},
      {"withdraw", {"withdraw", "expect"}},
      {"expect", {"expect"}},
  };
  const auto it = kKeys.find(command);
  if (it == kKeys.end()) return false;
  for (auto k : it->second) {
    if (k == key) return true;
  }
  return false;
}

std::optional<MsgAnswer> AnswerByName(std::string_view name) {
  for (MsgAnswer a : {MsgAnswer::kOk, MsgAnswer::kCancel, MsgAnswer::kAbort, MsgAnswer::kRetry,
                      MsgAnswer::kIgnore, MsgAnswer::kYes, MsgAnswer::kNo}) {
    if (EqualsIgnoreCase(AnswerName(a), name)) return a;
  }
  return std::nullopt;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

}  // namespace

struct ScriptHost::Impl final : DialogOwner {
  struct Module {
    std::string handle;
    std::string progid;
    std::shared_ptr<Object> object;
    script::ModuleInterfaces interfaces;
    std::unique_ptr<Sink> sink;
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

  explicit Impl(ModuleFactory f)
      : factory(std::move(f)), dialogs(std::make_shared<ScriptDialogs>()) {
    dialogs->set_owner(this);
  }
  ~Impl() override {
    while (!modules.empty()) {
      try {
        CloseModule(*modules.back());
      } catch (...) {
        // A module that throws while it is cleared is dropped all the same.
      }
      modules.pop_back();
    }
    dialogs->set_owner(nullptr);
  }

  // --- Dialogs -------------------------------------------------------------------------------

  MsgAnswer OnMessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                         std::string_view title) override {
    Json box = Json::object();
    box["module"] = acting;
    box["box"] = "message";
    box["text"] = text;
    box["title"] = title;
    box["buttons"] = ButtonsName(buttons);
    box["icon"] = IconName(icon);
    MsgAnswer answer = SafestAnswer(buttons);
    const std::string shown = "message box \"" + std::string(text) + "\" titled \"" +
                              std::string(title) + "\" with buttons " +
                              std::string(ButtonsName(buttons));
    if (answers.empty()) {
      box["answer"] = nullptr;
      log_failures.push_back("unexpected " + shown + " (no answer queued)");
    } else {
      const MsgAnswer queued = answers.front();
      answers.pop_front();
      if (Fits(queued, buttons)) {
        answer = queued;
        box["answer"] = AnswerName(answer);
      } else {
        box["answer"] = nullptr;
        log_failures.push_back("the queued answer " + std::string(AnswerName(queued)) +
                               " does not fit the " + shown);
      }
    }
    log_boxes.push_back(std::move(box));
    return answer;
  }

  std::optional<std::string> OnInputBox(std::string_view prompt, std::string_view title,
                                        std::string_view default_text) override {
    Json box = Json::object();
    box["module"] = acting;
    box["box"] = "input";
    box["text"] = prompt;
    box["title"] = title;
    box["default"] = default_text;
    std::optional<std::string> answer;
    if (inputs.empty()) {
      box["answer"] = nullptr;
      log_failures.push_back("unexpected input box \"" + std::string(prompt) + "\" titled \"" +
                             std::string(title) + "\" (no input queued)");
    } else {
      answer = inputs.front();
      inputs.pop_front();
      box["answer"] = answer ? Json(*answer) : Json(nullptr);
    }
    log_boxes.push_back(std::move(box));
    return answer;
  }

  void OnFormShown(controls::Form& form) override {
    std::erase_if(forms, [&](const ShownForm& s) { return s.form == &form; });
    forms.push_back({&form, acting});
    Json e = Json::object();
    e["module"] = acting;
    e["event"] = "FormShown";
    e["form"] = form.name();
    e["caption"] = form.caption();
    log_events.push_back(std::move(e));
  }

  void OnFormClosed(controls::Form& form) override {
    const auto before = forms.size();
    std::erase_if(forms, [&](const ShownForm& s) { return s.form == &form; });
    if (forms.size() == before) return;
    Json e = Json::object();
    e["module"] = acting;
    e["event"] = "FormClosed";
    e["form"] = form.name();
    log_events.push_back(std::move(e));
  }

  // --- Modules -------------------------------------------------------------------------------

  Module& ModuleOf(const Json& step) {
    if (step.contains("module")) {
      const std::string handle = script::ToText(step["module"], "\"module\"");
      for (auto& m : modules) {
        if (m->handle == handle) return *m;
      }
      std::vector<std::string> open;
      for (auto& m : modules) open.push_back(m->handle);
      throw ScriptError("unknown module handle \"" + handle + "\" (open: " +
                        (open.empty() ? std::string("none") : Join(open, ", ")) + ")");
    }
    if (modules.empty()) throw ScriptError("no module is open");
    return *modules.back();
  }

  Json Open(const Json& step) {
    const std::string progid = script::ToText(step["open"], "\"open\"");
    std::string handle = progid;
    if (const auto dot = handle.rfind('.'); dot != std::string::npos) handle.erase(0, dot + 1);
    if (step.contains("as")) handle = script::ToText(step["as"], "\"as\"");
    if (handle.empty()) throw ScriptError("a module handle may not be empty");
    for (auto& m : modules) {
      if (m->handle == handle) {
        throw ScriptError("the handle \"" + handle + "\" is taken by " + m->progid +
                          "; close it first or choose another with \"as\"");
      }
    }
    if (!factory) throw ScriptError("this host has no module factory");
    auto object = factory(progid);
    if (!object) throw ScriptError("no module " + progid + " can be created");

    auto module = std::make_unique<Module>();
    module->handle = handle;
    module->progid = progid;
    module->object = object;
    auto& ifs = module->interfaces;
    ifs.form = QueryInterface<IFormUI>(object.get());
    ifs.report = QueryInterface<IReportUI>(object.get());
    ifs.picker = QueryInterface<IPickerUI>(object.get());
    ifs.tool = QueryInterface<IToolUI>(object.get());
    ifs.design = QueryInterface<IDesignUI>(object.get());
    ifs.view = QueryInterface<FormView>(object.get());
    Json names = Json::array();
    if (ifs.form) names.push_back("IFormUI");
    if (ifs.report) names.push_back("IReportUI");
    if (ifs.picker) names.push_back("IPickerUI");
    if (ifs.tool) names.push_back("IToolUI");
    if (ifs.design) names.push_back("IDesignUI");
    if (names.empty()) throw ScriptError(progid + " implements no host interface");

    module->sink =
        std::make_unique<Sink>(handle, [this](Json e) { log_events.push_back(std::move(e)); });
    Object* raw = object.get();
    module->document_source = dynamic_cast<EventSource<DocumentEvents>*>(raw);
    module->plan_source = dynamic_cast<EventSource<PlanEvents>*>(raw);
    module->report_source = dynamic_cast<EventSource<ReportEvents>*>(raw);
    module->picker_source = dynamic_cast<EventSource<PickerEvents>*>(raw);
    Sink* sink = module->sink.get();
    if (module->document_source) module->document_source->Advise(sink);
    if (module->plan_source) module->plan_source->Advise(sink);
    if (module->report_source) module->report_source->Advise(sink);
    if (module->picker_source) module->picker_source->Advise(sink);
    // The wait cursor is gone again when a step ends; a person saw it all the same.
    module->own_form = OwnForm(module->interfaces);
    if (module->own_form != nullptr) {
      module->busy_watch =
          module->own_form->changed.Connect([this](const controls::Form& f, std::string_view what) {
            if (what == "busy" && f.busy() &&
                std::find(log_busy.begin(), log_busy.end(), &f) == log_busy.end()) {
              log_busy.push_back(&f);
            }
          });
    }
    modules.push_back(std::move(module));

    Json result = Json::object();
    result["module"] = handle;
    result["interfaces"] = std::move(names);
    return result;
  }

  // Clears the module and stops listening to it; the caller drops it.
  Json CloseModule(Module& m) {
    acting = m.handle;
    bool cleared = false;
    try {
      cleared = script::ClearModule(m.interfaces);
    } catch (...) {
      Unadvise(m);
      throw;
    }
    Unadvise(m);
    return cleared;
  }

  void Unadvise(Module& m) {
    Sink* sink = m.sink.get();
    if (m.document_source) m.document_source->Unadvise(sink);
    if (m.plan_source) m.plan_source->Unadvise(sink);
    if (m.report_source) m.report_source->Unadvise(sink);
    if (m.picker_source) m.picker_source->Unadvise(sink);
    if (m.own_form != nullptr) {
      m.own_form->changed.Disconnect(m.busy_watch);
      std::erase(log_busy, m.own_form);
      std::erase(last_busy, m.own_form);
      m.own_form = nullptr;
    }
    std::erase_if(forms, [&](const ShownForm& s) { return s.module == m.handle; });
  }

  Json Close(const Json& step) {
    const Json& which = step["close"];
    Json address = Json::object();
    if (!which.is_boolean()) address["module"] = which;
    Module& m = ModuleOf(address);
    const std::string handle = m.handle;
    Json result;
    try {
      result = CloseModule(m);
    } catch (...) {
      std::erase_if(modules, [&](const auto& p) { return p->handle == handle; });
      throw;
    }
    std::erase_if(modules, [&](const auto& p) { return p->handle == handle; });
    return result;
  }

  // --- Controls ------------------------------------------------------------------------------

  // The form a module shows: its FormView's, else the one its designer's controls sit on.
  static controls::Form* OwnForm(const script::ModuleInterfaces& ifs) {
    if (ifs.view != nullptr) return &ifs.view->View();
    if (ifs.design == nullptr) return nullptr;
    for (const auto& c : ifs.design->Controls()) {
      if (c && c->form()) return c->form();
    }
    return nullptr;
  }

  // The controls a step addresses: a dialog form's ("form") or the module's own.
  const script::ControlList& ControlsOf(const Json& step, std::string& where,
                                        controls::Form** form) {
    *form = nullptr;
    if (step.contains("form")) {
      const std::string name = script::ToText(step["form"], "\"form\"");
      for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
        if (EqualsIgnoreCase(it->form->name(), name)) {
          where = "form " + it->form->name();
          *form = it->form;
          // What the form's controls do is the work of the module that showed it.
          acting = it->module;
          return it->form->Controls();
        }
      }
      // The module's own form may be named too.
      if (!modules.empty()) {
        Module& m = ModuleOf(step);
        if (m.interfaces.design) {
          const auto& list = m.interfaces.design->Controls();
          if (!list.empty() && list.front() && list.front()->form() &&
              EqualsIgnoreCase(list.front()->form()->name(), name)) {
            where = "form " + name;
            *form = list.front()->form();
            return list;
          }
        }
      }
      std::vector<std::string> open;
      for (const auto& s : forms) open.push_back(s.form->name());
      throw ScriptError("no dialog form " + name + " is shown (shown: " +
                        (open.empty() ? std::string("none") : Join(open, ", ")) + ")");
    }
    Module& m = ModuleOf(step);
    where = "module " + m.handle;
    if (m.interfaces.view != nullptr) {
      *form = &m.interfaces.view->View();
      return m.interfaces.view->View().Controls();
    }
    if (m.interfaces.design == nullptr) {
      throw ScriptError("module " + m.handle + " shows no controls (no form, no IDesignUI)");
    }
    *form = OwnForm(m.interfaces);
    return m.interfaces.design->Controls();
  }

  Json Act(const Json& step) {
    const std::string action = script::ToText(step["act"], "\"act\"");
    if (action == "wheel") {
      Module& m = ModuleOf(step);
      auto* source = QueryInterface<WheelSource>(m.object.get());
      if (source == nullptr) throw ScriptError("module " + m.handle + " has no mouse wheel");
      if (!step.contains("position")) throw ScriptError("act \"wheel\" needs \"position\"");
      const int position = script::ToInt32(step["position"], "\"position\"");
      acting = m.handle;
      source->Wheel().Turn(position);
      return true;
    }
    std::string where;
    controls::Form* form = nullptr;
    const auto& list = ControlsOf(step, where, &form);
    if (action == "resize" && !step.contains("control")) {
      if (form == nullptr) throw ScriptError(where + " shows no form to resize");
      if (!step.contains("form")) acting = ModuleOf(step).handle;
      return script::ResizeForm(*form, step);
    }
    controls::Control& control = script::FindControl(list, step, where);
    if (!step.contains("form")) acting = ModuleOf(step).handle;
    return script::Act(control, step);
  }

  Json Snapshot(const Json& step) {
    Json address = step;
    const Json& which = step["snapshot"];
    if (which.is_string()) {
      address["module"] = which;
    } else if (!which.is_boolean()) {
      throw ScriptError("\"snapshot\" must be a module handle or true, not " + script::Show(which));
    }
    std::string where;
    controls::Form* form = nullptr;
    const auto& list = ControlsOf(address, where, &form);
    if (step.contains("control")) {
      return script::ControlState(script::FindControl(list, step, where));
    }
    Json out = script::Snapshot(list, form);
    Json shown = Json::array();
    for (const auto& s : forms) shown.push_back(s.form->name());
    out["dialogs"] = std::move(shown);
    if (host) out["host"] = HostState();
    return out;
  }

  Json HostState() const {
    const UserInfo user = host->User();
    Json out = Json::object();
    out["title"] = host->ApplicationTitle();
    out["user"] = user.user_name;
    out["date"] = FormatDate(user.business_date);
    return out;
  }

  // --- Files the modules wrote ---------------------------------------------------------------

  // The print data file the module names by ReturnPrintName.
  Json PrintFileOf(Module& m) {
    acting = m.handle;
    std::string path;
    if (m.interfaces.form != nullptr) {
      path = m.interfaces.form->ReturnPrintName();
    } else if (m.interfaces.report != nullptr) {
      path = m.interfaces.report->ReturnPrintName();
    } else {
      throw ScriptError("module " + m.handle + " prints nothing (no IFormUI or IReportUI)");
    }
    if (path.empty()) {
      throw ScriptError("module " + m.handle +
                        " names no print data file (ReturnPrintName is empty): it has not printed");
    }
    return script::ReadPrintFile(path);
  }

  Json ReadPrint(const Json& step) {
    const Json& which = step["read_print"];
    Json address = Json::object();
    if (which.is_string()) {
      address["module"] = which;
    } else if (!which.is_boolean() || !which.get<bool>()) {
      throw ScriptError("\"read_print\" must be a module handle or true, not " +
                        script::Show(which));
    }
    return PrintFileOf(ModuleOf(address));
  }

  Json ReadSettings(const Json& step) {
    if (!host) throw ScriptError("the script has no host context whose settings could be read");
    const std::string name = script::ToText(step["read_settings"], "\"read_settings\"");
    Json file = script::ReadSettingsFile(*host, name);
    if (!step.contains("section")) {
      if (step.contains("key")) throw ScriptError("\"key\" needs a \"section\"");
      return file;
    }
    const Json section =
        script::SettingsSection(file, script::ToText(step["section"], "\"section\""));
    if (!step.contains("key")) return section.is_null() ? Json::object() : section;
    return script::SettingsValue(section, script::ToText(step["key"], "\"key\""));
  }

  // --- Boxes ---------------------------------------------------------------------------------

  Json QueueAnswers(const Json& step) {
    const Json& value = step["answer"];
    std::vector<MsgAnswer> queued;
    const auto add = [&](const Json& item) {
      const std::string name = script::ToText(item, "an answer");
      const auto answer = AnswerByName(name);
      if (!answer) {
        throw ScriptError("unknown answer \"" + name +
                          "\" (OK, Cancel, Abort, Retry, Ignore, Yes or No)");
      }
      queued.push_back(*answer);
    };
    if (value.is_array()) {
      for (const auto& item : value) add(item);
    } else {
      add(value);
    }
    answers.insert(answers.end(), queued.begin(), queued.end());
    return static_cast<int>(answers.size());
  }

  Json QueueInputs(const Json& step) {
    const Json& value = step["input"];
    std::vector<std::optional<std::string>> queued;
    const auto add = [&](const Json& item) {
      if (item.is_null()) {
        queued.push_back(std::nullopt);
      } else {
        queued.push_back(script::ToText(item, "an input (a text, or null to cancel)"));
      }
    };
    if (value.is_array()) {
      for (const auto& item : value) add(item);
    } else {
      add(value);
    }
    inputs.insert(inputs.end(), queued.begin(), queued.end());
    return static_cast<int>(inputs.size());
  }

  // --- Database ------------------------------------------------------------------------------

  // From now on every statement whose text contains the pattern (ignoring ASCII case) fails as
  // a broken database would make it fail; null stops failing. Only the embedded database can.
  Json FailStatements(const Json& step) {
    if (!host) throw ScriptError("the script has no host context whose database could fail");
    auto* db = dynamic_cast<data::SqliteDataService*>(host->Data().get());
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

  Json Sql(const Json& step, std::vector<std::string>& failures) {
    const std::string text = script::ToText(step["sql"], "\"sql\"");
    if (!host) throw ScriptError("the script has no host context to run SQL on");
    auto data = host->Data();
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

  // --- Approval ------------------------------------------------------------------------------

  // Approves (Check) or withdraws (UnCheck) the document the module shows, as a person does
  // with the host's buttons: when the module agrees, the host records the document's new state.
  Json Approve(const Json& step, const std::string& command) {
    const Json& which = step[command];
    Json address = Json::object();
    if (which.is_string()) {
      address["module"] = which;
    } else if (!which.is_boolean() || !which.get<bool>()) {
      throw ScriptError("\"" + command + "\" must be a module handle or true, not " +
                        script::Show(which));
    }
    Module& m = ModuleOf(address);
    if (m.interfaces.form == nullptr) {
      throw ScriptError("module " + m.handle + " is no document (it has no IFormUI)");
    }
    if (!m.program_id) {
      throw ScriptError("module " + m.handle + " was not initialised with a program id");
    }
    auto* approval = dynamic_cast<DocumentApproval*>(host.get());
    if (approval == nullptr) throw ScriptError("this host records no approvals");
    acting = m.handle;
    const bool approve = command == "approve";
    if (!(approve ? m.interfaces.form->Check() : m.interfaces.form->UnCheck())) return false;
    const std::int32_t id = m.interfaces.form->GetID();
    std::string error;
    if (!approval->MarkApproval(*m.program_id, id, approve, error)) {
      throw ScriptError("the host could not record the " +
                        std::string(approve ? "approval" : "withdrawal") + " of document " +
                        std::to_string(id) + ": " + error);
    }
    return true;
  }

  // --- Expectations --------------------------------------------------------------------------

  static bool Matches(const Json& pattern, const Json& item) {
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

  void CheckOne(const Json& expect, std::vector<std::string>& failures) {
    if (!expect.is_object()) {
      throw ScriptError("an expectation must be an object, not " + script::Show(expect));
    }
    if (expect.contains("control")) {
      std::string where;
      controls::Form* form = nullptr;
      const auto& list = ControlsOf(expect, where, &form);
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
        ControlsOf(expect, where, &form);
        const Json actual = form ? Json(form->caption()) : Json(nullptr);
        if (!script::SameValue(wanted, actual)) {
          failures.push_back("the caption of " + where + " is " + script::Show(actual) +
                             ", expected " + script::Show(wanted));
        }
      } else if (key == "focused" || key == "busy" || key == "was_busy") {
        std::string where;
        controls::Form* form = nullptr;
        ControlsOf(expect, where, &form);
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
        Module& m = ModuleOf(expect);
        if (m.interfaces.picker == nullptr) {
          throw ScriptError("module " + m.handle + " is no picker (it has no IPickerUI)");
        }
        script::CheckFields("the record of module " + m.handle,
                            script::RecordJson(m.interfaces.picker->Objects()), wanted, failures);
      } else if (key == "print") {
        script::CheckPrint(PrintFileOf(ModuleOf(expect)), wanted, failures);
      } else if (key == "settings") {
        if (!host) throw ScriptError("the script has no host context whose settings could be read");
        script::CheckSettings(*host, wanted, failures);
      } else if (key == "host") {
        if (!host) throw ScriptError("the script has no host context");
        script::CheckFields("the host", HostState(), wanted, failures);
      } else if (key == "dialogs") {
        Json names = Json::array();
        for (const auto& s : forms) names.push_back(s.form->name());
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

  void Check(const Json& expect, std::vector<std::string>& failures) {
    if (expect.is_array()) {
      for (const auto& item : expect) CheckOne(item, failures);
    } else {
      CheckOne(expect, failures);
    }
  }

  // --- Steps ---------------------------------------------------------------------------------

  // Runs the step; returns the command's own answer keys. Throws for a failed step.
  Json Dispatch(const Json& step, std::string& command, std::vector<std::string>& failures) {
    std::vector<std::string> found;
    for (auto name : CommandNames()) {
      if (step.contains(name)) found.emplace_back(name);
    }
    if (found.size() > 1) std::erase(found, std::string("expect"));
    if (found.empty()) {
      std::vector<std::string> keys;
      for (const auto& [key, value] : step.items()) keys.push_back("\"" + key + "\"");
      throw ScriptError(
          "unknown command: the step names none of open, close, call, act, answer, input, "
          "snapshot, read_print, read_settings, sql, fail_statements, approve, withdraw, "
          "expect (it has " +
          (keys.empty() ? std::string("no keys") : Join(keys, ", ")) + ")");
    }
    if (found.size() > 1) {
      throw ScriptError("a step holds one command; this one has " + Join(found, " and "));
    }
    command = found.front();
    for (const auto& [key, value] : step.items()) {
      if (!KeyAllowed(command, key)) {
        throw ScriptError("unknown key \"" + key + "\" for command " + command);
      }
    }

    Json out = Json::object();
    const bool checks_after = command != "expect" && step.contains("expect");
    if (command == "expect") {
      Check(step["expect"], failures);
      return out;
    }
    Json result;
    if (command == "open") {
      result = Open(step);
    } else if (command == "close") {
      result = Close(step);
    } else if (command == "call") {
      Module& m = ModuleOf(step);
      acting = m.handle;
      const std::string member = script::ToText(step["call"], "\"call\"");
      const Json args = step.contains("args") ? step["args"] : Json();
      result = script::CallMember(m.interfaces, member, args, host);
      // Init of a document names its program, which the host needs to record approvals.
      if ((member == "Init" || member == "IFormUI.Init") && m.interfaces.form != nullptr &&
          result == Json(true) && args.is_array() && !args.empty()) {
        m.program_id = script::ToInt32(args[0], "argument 1 of Init");
      }
    } else if (command == "act") {
      result = Act(step);
    } else if (command == "answer") {
      result = QueueAnswers(step);
    } else if (command == "input") {
      result = QueueInputs(step);
    } else if (command == "snapshot") {
      out["snapshot"] = Snapshot(step);
      return out;
    } else if (command == "read_print") {
      result = ReadPrint(step);
    } else if (command == "read_settings") {
      result = ReadSettings(step);
    } else if (command == "sql") {
      result = Sql(step, failures);
    } else if (command == "fail_statements") {
      result = FailStatements(step);
    } else if (command == "approve" || command == "withdraw") {
      result = Approve(step, command);
    }
    out["result"] = result;
    last_result = result;
    last_events = log_events;
    last_boxes = log_boxes;
    last_busy = log_busy;
    if (checks_after) Check(step["expect"], failures);
    return out;
  }

  std::string RunStep(std::string_view line, int step) {
    log_events = Json::array();
    log_boxes = Json::array();
    log_failures.clear();
    log_busy.clear();
    acting.clear();

    std::string command;
    std::vector<std::string> failures;
    std::string error;
    Json details = Json::object();
    try {
      const Json in = script::ParseStep(line);
      if (!in.is_object())
        throw ScriptError("a step must be a JSON object, not " + script::Show(in));
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
      out["error"] = "step " + std::to_string(step) +
                     (command.empty() ? "" : " (" + command + ")") + ": " + error;
      ++failure_count;
    }
    for (auto& [key, value] : details.items()) out[key] = value;
    out["events"] = log_events;
    out["boxes"] = log_boxes;
    return script::DumpAnswer(out);
  }

  ModuleFactory factory;
  std::shared_ptr<ScriptDialogs> dialogs;
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

ScriptHost::ScriptHost(ModuleFactory factory) : impl_(std::make_unique<Impl>(std::move(factory))) {}

ScriptHost::~ScriptHost() = default;

std::shared_ptr<Dialogs> ScriptHost::dialogs() const { return impl_->dialogs; }

void ScriptHost::set_host(std::shared_ptr<HostContext> host) { impl_->host = std::move(host); }

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
