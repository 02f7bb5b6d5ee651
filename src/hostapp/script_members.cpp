// The host interface members a script may call, each with the conversion of its arguments
// from JSON and of its result back to JSON.
#include <functional>

#include "hostapp/script_host_internal.h"

namespace korvane::hostapp::script {
namespace {

// The script's arguments of one call, converted on demand with errors naming the member.
class Args {
 public:
  Args(std::string member, const Json& list) : member_(std::move(member)), list_(list) {}

  std::size_t size() const { return list_.size(); }
  const Json& at(std::size_t i) const {
    static const Json kNull = nullptr;
    return i < list_.size() ? list_[i] : kNull;
  }
  std::string What(std::size_t i) const {
    return "argument " + std::to_string(i + 1) + " of " + member_;
  }
  std::int32_t Int(std::size_t i) const { return ToInt32(at(i), What(i)); }
  std::int32_t Int(std::size_t i, std::int32_t fallback) const {
    return i < size() ? Int(i) : fallback;
  }
  bool Bool(std::size_t i) const { return ToBool(at(i), What(i)); }
  std::string Text(std::size_t i) const { return ToText(at(i), What(i)); }
  std::string Text(std::size_t i, std::string fallback) const {
    return i < size() ? Text(i) : fallback;
  }
  Variant Value(std::size_t i) const { return i < size() ? ToVariant(at(i), What(i)) : Variant(); }
  VariantArray Conditions(std::size_t i) const { return ToConditions(at(i), What(i)); }
  std::shared_ptr<ParameterSet> Parameters(std::size_t i) const {
    return ToParameters(at(i), What(i));
  }

 private:
  std::string member_;
  const Json& list_;
};

using Host = std::shared_ptr<HostContext>;

struct Member {
  std::string_view iface;
  std::string_view name;
  std::size_t min_args;
  std::size_t max_args;
  std::string_view params;  // for messages: "progid, document_id"
  std::function<bool(const ModuleInterfaces&)> has;
  std::function<Json(const ModuleInterfaces&, const Args&, const Host&)> call;
};

Json Parameters(const std::shared_ptr<ParameterSet>& set) {
  return set ? ToJson(*set) : Json(nullptr);
}

void AddFormMembers(std::vector<Member>& out) {
  const auto has = [](const ModuleInterfaces& m) { return m.form != nullptr; };
  const auto add0 = [&](std::string_view name, std::function<Json(IFormUI&)> call) {
    out.push_back(
        {"IFormUI", name, 0, 0, "", has,
         [call](const ModuleInterfaces& m, const Args&, const Host&) { return call(*m.form); }});
  };
  out.push_back({"IFormUI", "Init", 1, 2, "progid, document_id (0 when absent)", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host& host) {
                   const auto progid = a.Int(0);
                   const auto id = a.Int(1, 0);
                   return Json(m.form->Init(host, progid, id));
                 }});
  add0("Clear", [](IFormUI& f) { return Json(f.Clear()); });
  add0("FileNew", [](IFormUI& f) { return Json(f.FileNew()); });
  add0("FileNewNext", [](IFormUI& f) { return Json(f.FileNewNext()); });
  add0("FileEdit", [](IFormUI& f) { return Json(f.FileEdit()); });
  add0("FileDelete", [](IFormUI& f) { return Json(f.FileDelete()); });
  add0("FileSave", [](IFormUI& f) { return Json(f.FileSave()); });
  add0("FileCancel", [](IFormUI& f) { return Json(f.FileCancel()); });
  out.push_back({"IFormUI", "Find", 1, 1, "conditions", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto conditions = a.Conditions(0);
                   return Json(m.form->Find(conditions));
                 }});
  add0("FindNext", [](IFormUI& f) { return Json(f.FindNext()); });
  out.push_back({"IFormUI", "Filter", 1, 1, "conditions", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto conditions = a.Conditions(0);
                   return Json(m.form->Filter(conditions));
                 }});
  add0("Refresh", [](IFormUI& f) { return Json(f.Refresh()); });
  add0("RecordTop", [](IFormUI& f) { return Json(f.RecordTop()); });
  add0("RecordPrevious", [](IFormUI& f) { return Json(f.RecordPrevious()); });
  add0("RecordNext", [](IFormUI& f) { return Json(f.RecordNext()); });
  add0("RecordBottom", [](IFormUI& f) { return Json(f.RecordBottom()); });
  add0("Check", [](IFormUI& f) { return Json(f.Check()); });
  add0("UnCheck", [](IFormUI& f) { return Json(f.UnCheck()); });
  add0("PrintPreview", [](IFormUI& f) { return Json(f.PrintPreview()); });
  add0("DoPrint", [](IFormUI& f) { return Json(f.DoPrint()); });
  add0("PrintSetup", [](IFormUI& f) { return Json(f.PrintSetup()); });
  add0("Help", [](IFormUI& f) { return Json(f.Help()); });
  out.push_back({"IFormUI", "DoSetStatus", 2, 2, "status, approved", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto status = a.Text(0);
                   const auto approved = a.Bool(1);
                   return Json(m.form->DoSetStatus(status, approved));
                 }});
  add0("GetID", [](IFormUI& f) { return Json(f.GetID()); });
  out.push_back({"IFormUI", "CheckStatus", 0, 1, "status (\"\" when absent)", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto status = a.Text(0, "");
                   return Json(m.form->CheckStatus(status));
                 }});
  add0("ReturnPrintName", [](IFormUI& f) { return Json(f.ReturnPrintName()); });
  add0("IsDirty", [](IFormUI& f) { return Json(f.IsDirty()); });
  add0("DoGetFormStatus", [](IFormUI& f) { return Json(f.DoGetFormStatus()); });
  add0("DoSaveFormStatus", [](IFormUI& f) { return Json(f.DoSaveFormStatus()); });
  add0("Attributes", [](IFormUI& f) {
    f.Attributes();
    return Json(nullptr);
  });
}

void AddReportMembers(std::vector<Member>& out) {
  const auto has = [](const ModuleInterfaces& m) { return m.report != nullptr; };
  const auto add0 = [&](std::string_view name, std::function<Json(IReportUI&)> call) {
    out.push_back(
        {"IReportUI", name, 0, 0, "", has,
         [call](const ModuleInterfaces& m, const Args&, const Host&) { return call(*m.report); }});
  };
  out.push_back({"IReportUI", "Init", 1, 1, "progid", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host& host) {
                   const auto progid = a.Int(0);
                   return Json(m.report->Init(host, progid));
                 }});
  add0("Clear", [](IReportUI& r) { return Json(r.Clear()); });
  out.push_back({"IReportUI", "Find", 1, 1, "conditions", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto conditions = a.Conditions(0);
                   return Json(m.report->Find(conditions));
                 }});
  add0("FindNext", [](IReportUI& r) { return Json(r.FindNext()); });
  out.push_back({"IReportUI", "Filter", 1, 1, "conditions", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto conditions = a.Conditions(0);
                   return Json(m.report->Filter(conditions));
                 }});
  add0("Refresh", [](IReportUI& r) { return Json(r.Refresh()); });
  add0("RecordTop", [](IReportUI& r) { return Json(r.RecordTop()); });
  add0("RecordPrevious", [](IReportUI& r) { return Json(r.RecordPrevious()); });
  add0("RecordNext", [](IReportUI& r) { return Json(r.RecordNext()); });
  add0("RecordBottom", [](IReportUI& r) { return Json(r.RecordBottom()); });
  add0("PrintPreview", [](IReportUI& r) { return Json(r.PrintPreview()); });
  add0("DoPrint", [](IReportUI& r) { return Json(r.DoPrint()); });
  add0("PrintSetup", [](IReportUI& r) { return Json(r.PrintSetup()); });
  add0("Help", [](IReportUI& r) { return Json(r.Help()); });
  add0("ReturnPrintName", [](IReportUI& r) { return Json(r.ReturnPrintName()); });
  add0("DoGetFormStatus", [](IReportUI& r) { return Json(r.DoGetFormStatus()); });
  add0("DoSaveFormStatus", [](IReportUI& r) { return Json(r.DoSaveFormStatus()); });
  add0("Attributes", [](IReportUI& r) {
    r.Attributes();
    return Json(nullptr);
  });
  add0("oTable", [](IReportUI& r) {
    const auto table = r.oTable();
    return table ? ToJson(*table) : Json(nullptr);
  });
  add0("GetParameters", [](IReportUI& r) { return Parameters(r.GetParameters()); });
  out.push_back({"IReportUI", "SetParameters", 1, 1, "parameters", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.report->SetParameters(a.Parameters(0));
                   return Json(nullptr);
                 }});
}

void AddPickerMembers(std::vector<Member>& out) {
  const auto has = [](const ModuleInterfaces& m) { return m.picker != nullptr; };
  const auto add0 = [&](std::string_view name, std::function<Json(IPickerUI&)> call) {
    out.push_back(
        {"IPickerUI", name, 0, 0, "", has,
         [call](const ModuleInterfaces& m, const Args&, const Host&) { return call(*m.picker); }});
  };
  out.push_back({"IPickerUI", "Init", 1, 2, "progid, parameter_text (\"\" when absent)", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host& host) {
                   const auto progid = a.Int(0);
                   const auto text = a.Text(1, "");
                   return Json(m.picker->Init(host, progid, text));
                 }});
  add0("Clear", [](IPickerUI& p) { return Json(p.Clear()); });
  add0("Refresh", [](IPickerUI& p) { return Json(p.Refresh()); });
  add0("GetIsDirty", [](IPickerUI& p) { return Json(p.GetIsDirty()); });
  out.push_back({"IPickerUI", "SetIsDirty", 1, 1, "dirty", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.picker->SetIsDirty(a.Bool(0));
                   return Json(nullptr);
                 }});
  add0("DoGetFormStatus", [](IPickerUI& p) { return Json(p.DoGetFormStatus()); });
  add0("DoSaveFormStatus", [](IPickerUI& p) { return Json(p.DoSaveFormStatus()); });
  out.push_back({"IPickerUI", "Attributes", 0, 1, "text (\"\" when absent)", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.picker->Attributes(a.Text(0, ""));
                   return Json(nullptr);
                 }});
  add0("GetParameters", [](IPickerUI& p) { return Parameters(p.GetParameters()); });
  out.push_back({"IPickerUI", "SetParameters", 1, 1, "parameters", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.picker->SetParameters(a.Parameters(0));
                   return Json(nullptr);
                 }});
  add0("GetValue", [](IPickerUI& p) { return ToJson(p.GetValue()); });
  out.push_back({"IPickerUI", "SetValue", 1, 1, "value", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.picker->SetValue(a.Value(0));
                   return Json(nullptr);
                 }});
  add0("GetText", [](IPickerUI& p) { return Json(p.GetText()); });
  out.push_back({"IPickerUI", "SetText", 1, 1, "text", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.picker->SetText(a.Text(0));
                   return Json(nullptr);
                 }});
  add0("Objects", [](IPickerUI& p) { return RecordJson(p.Objects()); });
  out.push_back({"IPickerUI", "Validate", 4, 4, "table, value_column, text_column, typed", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto table = a.Text(0);
                   const auto value_column = a.Text(1);
                   const auto text_column = a.Text(2);
                   const auto typed = a.Text(3);
                   std::string value;
                   std::string text;
                   const bool ok =
                       m.picker->Validate(table, value_column, text_column, typed, value, text);
                   Json out = Json::object();
                   out["result"] = ok;
                   out["value"] = value;
                   out["text"] = text;
                   return out;
                 }});
}

void AddToolMembers(std::vector<Member>& out) {
  const auto has = [](const ModuleInterfaces& m) { return m.tool != nullptr; };
  const auto add0 = [&](std::string_view name, std::function<Json(IToolUI&)> call) {
    out.push_back(
        {"IToolUI", name, 0, 0, "", has,
         [call](const ModuleInterfaces& m, const Args&, const Host&) { return call(*m.tool); }});
  };
  add0("GetParameters", [](IToolUI& t) { return Parameters(t.GetParameters()); });
  out.push_back({"IToolUI", "SetParameters", 1, 1, "parameters", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.tool->SetParameters(a.Parameters(0));
                   return Json(nullptr);
                 }});
  out.push_back({"IToolUI", "Init", 0, 2, "argument1, argument2 (empty when absent)", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host& host) {
                   const auto first = a.Value(0);
                   const auto second = a.Value(1);
                   return Json(m.tool->Init(host, first, second));
                 }});
  add0("Clear", [](IToolUI& t) { return Json(t.Clear()); });
  add0("Author", [](IToolUI& t) { return Json(t.Author()); });
  add0("Version", [](IToolUI& t) { return Json(t.Version()); });
  add0("FriendlyName", [](IToolUI& t) { return Json(t.FriendlyName()); });
  add0("Description", [](IToolUI& t) { return Json(t.Description()); });
  out.push_back({"IToolUI", "Action", 0, 1, "argument (empty when absent)", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   const auto argument = a.Value(0);
                   return Json(m.tool->Action(argument));
                 }});
  add0("Error", [](IToolUI& t) { return Json(t.Error()); });
}

void AddDesignMembers(std::vector<Member>& out) {
  const auto has = [](const ModuleInterfaces& m) { return m.design != nullptr; };
  out.push_back({"IDesignUI", "Controls", 0, 0, "", has,
                 [](const ModuleInterfaces& m, const Args&, const Host&) {
                   Json list = Json::array();
                   for (const auto& control : m.design->Controls()) {
                     if (control) list.push_back(ControlLabel(*control));
                   }
                   return list;
                 }});
  out.push_back({"IDesignUI", "GetParameters", 0, 0, "", has,
                 [](const ModuleInterfaces& m, const Args&, const Host&) {
                   return Parameters(m.design->GetParameters());
                 }});
  out.push_back({"IDesignUI", "SetParameters", 1, 1, "parameters", has,
                 [](const ModuleInterfaces& m, const Args& a, const Host&) {
                   m.design->SetParameters(a.Parameters(0));
                   return Json(nullptr);
                 }});
}

const std::vector<Member>& Members() {
  static const std::vector<Member> members = [] {
    std::vector<Member> out;
    AddFormMembers(out);
    AddReportMembers(out);
    AddPickerMembers(out);
    AddToolMembers(out);
    AddDesignMembers(out);
    return out;
  }();
  return members;
}

std::string ArgumentCount(const Member& m) {
  if (m.min_args == m.max_args) {
    return m.min_args == 0
               ? "no arguments"
               : std::to_string(m.min_args) + (m.min_args == 1 ? " argument" : " arguments") +
                     " (" + std::string(m.params) + ")";
  }
  return std::to_string(m.min_args) + " to " + std::to_string(m.max_args) + " arguments (" +
         std::string(m.params) + ")";
}

}  // namespace

Json CallMember(const ModuleInterfaces& module, std::string_view member, const Json& args,
                const std::shared_ptr<HostContext>& host) {
  std::string_view iface;
  std::string_view name = member;
  if (const auto dot = member.find('.'); dot != std::string_view::npos) {
    iface = member.substr(0, dot);
    name = member.substr(dot + 1);
  }
  if (!args.is_null() && !args.is_array()) {
    throw ScriptError("\"args\" of " + std::string(member) + " must be a list, not " + Show(args));
  }
  static const Json kNoArgs = Json::array();
  const Json& list = args.is_array() ? args : kNoArgs;

  const Member* known = nullptr;
  const Member* chosen = nullptr;
  for (const auto& m : Members()) {
    if (!EqualsIgnoreCase(m.name, name)) continue;
    if (!iface.empty() && !EqualsIgnoreCase(m.iface, iface)) continue;
    if (known == nullptr) known = &m;
    if (m.has(module)) {
      chosen = &m;
      break;
    }
  }
  if (known == nullptr) {
    throw ScriptError("unknown member " + std::string(member) + " (no host interface has it)");
  }
  if (chosen == nullptr) {
    throw ScriptError("the module does not implement " + std::string(known->iface) + "." +
                      std::string(known->name));
  }
  const std::string full = std::string(chosen->iface) + "." + std::string(chosen->name);
  if (list.size() < chosen->min_args || list.size() > chosen->max_args) {
    throw ScriptError(full + " takes " + ArgumentCount(*chosen) + "; got " +
                      std::to_string(list.size()));
  }
  const bool is_init = EqualsIgnoreCase(chosen->name, "Init");
  if (is_init && !host) throw ScriptError(full + " needs a host context, and the script has none");
  const Args a(std::string(chosen->name), list);
  return chosen->call(module, a, host);
}

bool ClearModule(const ModuleInterfaces& module) {
  if (module.form != nullptr) return module.form->Clear();
  if (module.report != nullptr) return module.report->Clear();
  if (module.picker != nullptr) return module.picker->Clear();
  if (module.tool != nullptr) return module.tool->Clear();
  return false;
}

}  // namespace korvane::hostapp::script
