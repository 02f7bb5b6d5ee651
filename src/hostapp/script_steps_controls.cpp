// The steps that act on a module's controls as a person does, on its own form or on a dialog
// form it shows.
#include "controls/form.h"
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Join;
using script::Json;
using script::ScriptError;

// The form a module shows: its FormView's, else the one its designer's controls sit on.
controls::Form* ScriptHost::Impl::OwnForm(const script::ModuleInterfaces& ifs) {
  if (ifs.view != nullptr) return &ifs.view->View();
  if (ifs.design == nullptr) return nullptr;
  for (const auto& c : ifs.design->Controls()) {
    if (c && c->form()) return c->form();
  }
  return nullptr;
}

// The controls a step addresses: a dialog form's ("form") or the module's own.
const script::ControlList& ScriptHost::Impl::ControlsOf(const Json& step, std::string& where,
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

Json ScriptHost::Impl::Act(const Json& step) {
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

}  // namespace korvane::hostapp
