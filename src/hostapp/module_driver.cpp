// The module-driving core both hosts share: modules opened under handles, their members, the
// actions on their controls, snapshots, boxes and dialog forms, and the events they raise.
#include "hostapp/module_driver.h"

#include <algorithm>

#include "hostapp/document_approval.h"
#include "hostapp/script_host_internal.h"

namespace korvane::hostapp {

using Json = DriverJson;

namespace {

std::string JoinTexts(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

}  // namespace

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

bool AnswerFits(MsgAnswer answer, MsgButtons buttons) {
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

std::optional<MsgAnswer> AnswerByName(std::string_view name) {
  for (MsgAnswer a : {MsgAnswer::kOk, MsgAnswer::kCancel, MsgAnswer::kAbort, MsgAnswer::kRetry,
                      MsgAnswer::kIgnore, MsgAnswer::kYes, MsgAnswer::kNo}) {
    if (EqualsIgnoreCase(AnswerName(a), name)) return a;
  }
  return std::nullopt;
}

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

// The dialogs the modules get; once the driver is gone they answer as nobody would choose
// otherwise.
class ModuleDriver::DialogsProxy final : public Dialogs {
 public:
  explicit DialogsProxy(ModuleDriver* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

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
  ModuleDriver* owner_;
};

ModuleDriver::Module::Module() = default;
ModuleDriver::Module::~Module() = default;

ModuleDriver::ModuleDriver(ModuleFactory factory)
    : factory_(std::move(factory)), dialogs_(std::make_shared<DialogsProxy>(this)) {}

ModuleDriver::~ModuleDriver() {
  CloseAll();
  dialogs_->Detach();
}

std::shared_ptr<Dialogs> ModuleDriver::dialogs() const { return dialogs_; }

void ModuleDriver::set_host(std::shared_ptr<HostContext> host) { host_ = std::move(host); }

void ModuleDriver::BeginOperation() {
  events_ = Json::array();
  boxes_ = Json::array();
  busy_.clear();
  acting_.clear();
}

void ModuleDriver::Record(Json& log, Json item) {
  log.push_back(std::move(item));
  if (listener_) listener_(log.back());
}

ModuleDriver::Module& ModuleDriver::ModuleOf(const Json& address) {
  if (address.contains("module")) {
    const std::string handle = script::ToText(address["module"], "\"module\"");
    for (auto& m : modules_) {
      if (m->handle == handle) return *m;
    }
    std::vector<std::string> open;
    for (auto& m : modules_) open.push_back(m->handle);
    throw UnknownModule("unknown module handle \"" + handle + "\" (open: " +
                        (open.empty() ? std::string("none") : JoinTexts(open, ", ")) + ")");
  }
  if (modules_.empty()) throw UnknownModule("no module is open");
  return *modules_.back();
}

Json ModuleDriver::Open(std::string_view progid_text, std::optional<std::string> as) {
  const std::string progid(progid_text);
  std::string handle = progid;
  if (const auto dot = handle.rfind('.'); dot != std::string::npos) handle.erase(0, dot + 1);
  if (as) handle = *as;
  if (handle.empty()) throw DriverError("a module handle may not be empty");
  for (auto& m : modules_) {
    if (m->handle == handle) {
      throw DriverError("the handle \"" + handle + "\" is taken by " + m->progid +
                        "; close it first or choose another with \"as\"");
    }
  }
  if (!factory_) throw DriverError("this host has no module factory");
  auto object = factory_(progid);
  if (!object) throw DriverError("no module " + progid + " can be created");

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
  if (names.empty()) throw DriverError(progid + " implements no host interface");

  module->sink =
      std::make_unique<ModuleSink>(handle, [this](Json e) { Record(events_, std::move(e)); });
  Object* raw = object.get();
  module->document_source = dynamic_cast<EventSource<DocumentEvents>*>(raw);
  module->plan_source = dynamic_cast<EventSource<PlanEvents>*>(raw);
  module->report_source = dynamic_cast<EventSource<ReportEvents>*>(raw);
  module->picker_source = dynamic_cast<EventSource<PickerEvents>*>(raw);
  ModuleSink* sink = module->sink.get();
  if (module->document_source) module->document_source->Advise(sink);
  if (module->plan_source) module->plan_source->Advise(sink);
  if (module->report_source) module->report_source->Advise(sink);
  if (module->picker_source) module->picker_source->Advise(sink);
  // The wait cursor is gone again when an operation ends; a person saw it all the same.
  module->own_form = OwnForm(module->interfaces);
  if (module->own_form != nullptr) {
    module->busy_watch = module->own_form->changed.Connect([this](const controls::Form& f,
                                                                  std::string_view what) {
      if (what == "busy" && f.busy() && std::find(busy_.begin(), busy_.end(), &f) == busy_.end()) {
        busy_.push_back(&f);
      }
    });
  }
  modules_.push_back(std::move(module));

  Json result = Json::object();
  result["module"] = handle;
  result["interfaces"] = std::move(names);
  return result;
}

// Clears the module and stops listening to it; the caller drops it.
Json ModuleDriver::CloseModule(Module& m) {
  acting_ = m.handle;
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

void ModuleDriver::Unadvise(Module& m) {
  ModuleSink* sink = m.sink.get();
  if (m.document_source) m.document_source->Unadvise(sink);
  if (m.plan_source) m.plan_source->Unadvise(sink);
  if (m.report_source) m.report_source->Unadvise(sink);
  if (m.picker_source) m.picker_source->Unadvise(sink);
  if (m.own_form != nullptr) {
    m.own_form->changed.Disconnect(m.busy_watch);
    std::erase(busy_, m.own_form);
    m.own_form = nullptr;
  }
  std::erase_if(forms_, [&](const ShownForm& s) { return s.module == m.handle; });
}

Json ModuleDriver::Close(std::optional<std::string> handle) {
  Json address = Json::object();
  if (handle) address["module"] = *handle;
  Module& m = ModuleOf(address);
  const std::string name = m.handle;
  Json result;
  try {
    result = CloseModule(m);
  } catch (...) {
    std::erase_if(modules_, [&](const auto& p) { return p->handle == name; });
    throw;
  }
  std::erase_if(modules_, [&](const auto& p) { return p->handle == name; });
  return result;
}

void ModuleDriver::CloseAll() {
  while (!modules_.empty()) {
    try {
      CloseModule(*modules_.back());
    } catch (...) {
      // A module that throws while it is cleared is dropped all the same.
    }
    modules_.pop_back();
  }
}

Json ModuleDriver::Call(Module& m, std::string_view member, const Json& args) {
  acting_ = m.handle;
  Json result = script::CallMember(m.interfaces, member, args, host_);
  // Init of a document names its program, which the host needs to record approvals.
  if ((member == "Init" || member == "IFormUI.Init") && m.interfaces.form != nullptr &&
      result == Json(true) && args.is_array() && !args.empty()) {
    m.program_id = script::ToInt32(args[0], "argument 1 of Init");
  }
  return result;
}

Json ModuleDriver::Approve(Module& m, bool approve) {
  if (m.interfaces.form == nullptr) {
    throw DriverError("module " + m.handle + " is no document (it has no IFormUI)");
  }
  if (!m.program_id) {
    throw DriverError("module " + m.handle + " was not initialised with a program id");
  }
  auto* approval = dynamic_cast<DocumentApproval*>(host_.get());
  if (approval == nullptr) throw DriverError("this host records no approvals");
  acting_ = m.handle;
  if (!(approve ? m.interfaces.form->Check() : m.interfaces.form->UnCheck())) return false;
  const std::int32_t id = m.interfaces.form->GetID();
  std::string error;
  if (!approval->MarkApproval(*m.program_id, id, approve, error)) {
    throw DriverError("the host could not record the " +
                      std::string(approve ? "approval" : "withdrawal") + " of document " +
                      std::to_string(id) + ": " + error);
  }
  return true;
}

// The form a module shows: its FormView's, else the one its designer's controls sit on.
controls::Form* ModuleDriver::OwnForm(const ModuleInterfaces& ifs) {
  if (ifs.view != nullptr) return &ifs.view->View();
  if (ifs.design == nullptr) return nullptr;
  for (const auto& c : ifs.design->Controls()) {
    if (c && c->form()) return c->form();
  }
  return nullptr;
}

const ModuleDriver::ControlList& ModuleDriver::ControlsOf(const Json& address, std::string& where,
                                                          controls::Form** form) {
  *form = nullptr;
  if (address.contains("form")) {
    const std::string name = script::ToText(address["form"], "\"form\"");
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
      if (EqualsIgnoreCase(it->form->name(), name)) {
        where = "form " + it->form->name();
        *form = it->form;
        // What the form's controls do is the work of the module that showed it.
        acting_ = it->module;
        return it->form->Controls();
      }
    }
    // The module's own form may be named too.
    if (!modules_.empty()) {
      Module& m = ModuleOf(address);
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
    for (const auto& s : forms_) open.push_back(s.form->name());
    throw DriverError("no dialog form " + name + " is shown (shown: " +
                      (open.empty() ? std::string("none") : JoinTexts(open, ", ")) + ")");
  }
  Module& m = ModuleOf(address);
  where = "module " + m.handle;
  if (m.interfaces.view != nullptr) {
    *form = &m.interfaces.view->View();
    return m.interfaces.view->View().Controls();
  }
  if (m.interfaces.design == nullptr) {
    throw DriverError("module " + m.handle + " shows no controls (no form, no IDesignUI)");
  }
  *form = OwnForm(m.interfaces);
  return m.interfaces.design->Controls();
}

Json ModuleDriver::Act(const Json& step) {
  const std::string action = script::ToText(step["act"], "\"act\"");
  if (action == "wheel") {
    Module& m = ModuleOf(step);
    auto* source = QueryInterface<WheelSource>(m.object.get());
    if (source == nullptr) throw DriverError("module " + m.handle + " has no mouse wheel");
    if (!step.contains("position")) throw DriverError("act \"wheel\" needs \"position\"");
    const int position = script::ToInt32(step["position"], "\"position\"");
    acting_ = m.handle;
    source->Wheel().Turn(position);
    return true;
  }
  std::string where;
  controls::Form* form = nullptr;
  const auto& list = ControlsOf(step, where, &form);
  if (action == "resize" && !step.contains("control")) {
    if (form == nullptr) throw DriverError(where + " shows no form to resize");
    if (!step.contains("form")) acting_ = ModuleOf(step).handle;
    return script::ResizeForm(*form, step);
  }
  controls::Control& control = script::FindControl(list, step, where);
  if (!step.contains("form")) acting_ = ModuleOf(step).handle;
  return script::Act(control, step);
}

Json ModuleDriver::Snapshot(const Json& address) {
  std::string where;
  controls::Form* form = nullptr;
  const auto& list = ControlsOf(address, where, &form);
  if (address.contains("control")) {
    return script::ControlState(script::FindControl(list, address, where));
  }
  Json out = script::Snapshot(list, form);
  Json shown = Json::array();
  for (const auto& s : forms_) shown.push_back(s.form->name());
  out["dialogs"] = std::move(shown);
  if (host_) out["host"] = HostState();
  return out;
}

Json ModuleDriver::HostState() const {
  const UserInfo user = host_->User();
  Json out = Json::object();
  out["title"] = host_->ApplicationTitle();
  out["user"] = user.user_name;
  out["date"] = FormatDate(user.business_date);
  return out;
}

Json ModuleDriver::PrintFile(Module& m) {
  acting_ = m.handle;
  std::string path;
  if (m.interfaces.form != nullptr) {
    path = m.interfaces.form->ReturnPrintName();
  } else if (m.interfaces.report != nullptr) {
    path = m.interfaces.report->ReturnPrintName();
  } else {
    throw DriverError("module " + m.handle + " prints nothing (no IFormUI or IReportUI)");
  }
  if (path.empty()) {
    throw DriverError("module " + m.handle +
                      " names no print data file (ReturnPrintName is empty): it has not printed");
  }
  return script::ReadPrintFile(path);
}

MsgAnswer ModuleDriver::OnMessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                                     std::string_view title) {
  Json box = Json::object();
  box["module"] = acting_;
  box["box"] = "message";
  box["text"] = text;
  box["title"] = title;
  box["buttons"] = ButtonsName(buttons);
  box["icon"] = IconName(icon);
  MsgAnswer answer = SafestAnswer(buttons);
  if (answerer_ != nullptr) {
    answer = answerer_->AnswerMessage(box, buttons);
    if (!AnswerFits(answer, buttons)) answer = SafestAnswer(buttons);
  }
  if (!box.contains("answer")) box["answer"] = nullptr;
  Record(boxes_, std::move(box));
  return answer;
}

std::optional<std::string> ModuleDriver::OnInputBox(std::string_view prompt, std::string_view title,
                                                    std::string_view default_text) {
  Json box = Json::object();
  box["module"] = acting_;
  box["box"] = "input";
  box["text"] = prompt;
  box["title"] = title;
  box["default"] = default_text;
  std::optional<std::string> answer;
  if (answerer_ != nullptr) answer = answerer_->AnswerInput(box);
  if (!box.contains("answer")) box["answer"] = answer ? Json(*answer) : Json(nullptr);
  Record(boxes_, std::move(box));
  return answer;
}

void ModuleDriver::OnFormShown(controls::Form& form) {
  std::erase_if(forms_, [&](const ShownForm& s) { return s.form == &form; });
  forms_.push_back({&form, acting_});
  Json e = Json::object();
  e["module"] = acting_;
  e["event"] = "FormShown";
  e["form"] = form.name();
  e["caption"] = form.caption();
  Record(events_, std::move(e));
}

void ModuleDriver::OnFormClosed(controls::Form& form) {
  const auto before = forms_.size();
  std::erase_if(forms_, [&](const ShownForm& s) { return s.form == &form; });
  if (forms_.size() == before) return;
  Json e = Json::object();
  e["module"] = acting_;
  e["event"] = "FormClosed";
  e["form"] = form.name();
  Record(events_, std::move(e));
}

}  // namespace korvane::hostapp
