// The steps on modules as wholes: opening and closing them, calling their members, and
// approving or withdrawing the document one shows.
#include <algorithm>
#include <functional>

#include "hostapp/document_approval.h"
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Join;
using script::Json;
using script::ScriptError;

namespace script {

// Hears every event set a module may raise, and hands each event on as JSON.
class ModuleSink final : public PlanEvents, public ReportEvents, public PickerEvents {
 public:
  ModuleSink(std::string handle, std::function<void(Json)> record)
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

}  // namespace script

ScriptHost::Impl::Module::~Module() = default;

ScriptHost::Impl::Module& ScriptHost::Impl::ModuleOf(const Json& step) {
  if (step.contains("module")) {
    const std::string handle = script::ToText(step["module"], "\"module\"");
    for (auto& m : modules) {
      if (m->handle == handle) return *m;
    }
    std::vector<std::string> open;
    for (auto& m : modules) open.push_back(m->handle);
    throw ScriptError("unknown module handle \"" + handle +
                      "\" (open: " + (open.empty() ? std::string("none") : Join(open, ", ")) + ")");
  }
  if (modules.empty()) throw ScriptError("no module is open");
  return *modules.back();
}

Json ScriptHost::Impl::Open(const Json& step) {
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

  module->sink = std::make_unique<script::ModuleSink>(
      handle, [this](Json e) { log_events.push_back(std::move(e)); });
  Object* raw = object.get();
  module->document_source = dynamic_cast<EventSource<DocumentEvents>*>(raw);
  module->plan_source = dynamic_cast<EventSource<PlanEvents>*>(raw);
  module->report_source = dynamic_cast<EventSource<ReportEvents>*>(raw);
  module->picker_source = dynamic_cast<EventSource<PickerEvents>*>(raw);
  script::ModuleSink* sink = module->sink.get();
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
Json ScriptHost::Impl::CloseModule(Module& m) {
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

void ScriptHost::Impl::Unadvise(Module& m) {
  script::ModuleSink* sink = m.sink.get();
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

Json ScriptHost::Impl::Close(const Json& step) {
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

Json ScriptHost::Impl::Call(const Json& step) {
  Module& m = ModuleOf(step);
  acting = m.handle;
  const std::string member = script::ToText(step["call"], "\"call\"");
  const Json args = step.contains("args") ? step["args"] : Json();
  Json result = script::CallMember(m.interfaces, member, args, host);
  // Init of a document names its program, which the host needs to record approvals.
  if ((member == "Init" || member == "IFormUI.Init") && m.interfaces.form != nullptr &&
      result == Json(true) && args.is_array() && !args.empty()) {
    m.program_id = script::ToInt32(args[0], "argument 1 of Init");
  }
  return result;
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

}  // namespace korvane::hostapp
