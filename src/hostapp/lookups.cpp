// The reference host's lookups: typed texts resolved by query, by the library's pickers or by
// the host's own lists, and pickers shown as dialog forms.
#include "hostapp/lookups.h"

#include <algorithm>
#include <array>
#include <utility>

#include "host/data_service.h"
#include "host/interfaces.h"
#include "hostapp/simple_picker.h"

namespace korvane::hostapp {

namespace {

using controls::LookupDefinition;
using controls::LookupMatch;

// A picker of the library, by the type names that lead to it.
struct LibraryType {
  std::string_view type;
  std::string_view class_name;  // also the name the program is registered under in xt_objects
};

constexpr std::array kLibraryTypes = {
    LibraryType{"pdmcpml", "pdmCpml"},       LibraryType{"cpml", "pdmCpml"},
    LibraryType{"pdmcpml_sr", "pdmCpml_Sr"}, LibraryType{"pdmgy", "pdmgy"},
    LibraryType{"hp_gy", "pdmgy"},
};

using Parameters = std::vector<std::pair<std::string, Variant>>;

std::optional<Variant> Parameter(const Parameters& parameters, std::string_view name) {
  for (const auto& [key, value] : parameters) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return std::nullopt;
}

// The whole numbers of a comma-separated list, joined by commas; pieces that are not whole
// numbers are dropped, so that nothing but numbers reaches the statement.
std::string NumberList(std::string_view list) {
  std::string out;
  for (const std::string& piece : Split(list, ',')) {
    const std::string trimmed = Trim(piece);
    if (trimmed.empty() || trimmed.find_first_not_of("-0123456789") != std::string::npos) continue;
    out += (out.empty() ? "" : ",") + trimmed;
  }
  return out;
}

std::string Departments(const Parameters& p) {
  std::string where;
  if (const auto types = Parameter(p, "pdmbmzzlx")) {
    const std::string list = NumberList(types->ToText());
    if (!list.empty()) where += " and 组织类型 in(" + list + ")";
  }
  if (const auto detail = Parameter(p, "pdmbmsfmx"); detail && detail->ToLong() == 1) {
    where += " and 是否明细=1";
  }
  return where;
}

std::string Processes(const Parameters& p) {
  const auto product = Parameter(p, "产品ID");
  if (!product || product->ToLong() <= 0) return {};
  const std::string id = std::to_string(product->ToLong());
  return " and (工艺ID in(select AA.工艺ID from pdmsrlxmx AA left join pdmsrlx BB on "
         "AA.srlxID=BB.ID where BB.产品ID=" +
         id + ") or not exists(select 1 from pdmsrlx where 产品ID=" + id + "))";
}

std::string Natures(const Parameters& p) {
  const auto progid = Parameter(p, "ProgID");
  return progid ? " and progID=" + std::to_string(progid->ToLong()) : std::string();
}

// A list of the host's own, by the type names that lead to it.
struct ListType {
  std::string_view types;  // comma-separated, compared ignoring ASCII case
  std::string_view caption;
  std::string_view columns;
  std::string_view table;
  std::string_view base;                // condition every row meets
  std::vector<std::string_view> match;  // columns a typed text is compared with
  std::string_view value_field;
  std::string_view text_field;
  std::string_view order;
  std::string (*restriction)(const Parameters&);
};

const std::vector<ListType>& ListTypes() {
  static const std::vector<ListType> types = {
      {"pdmbm,gy_CJ",
       "选择部门",
       "部门编码,部门名称,部门ID",
       "PDMBM",
       "1=1",
       {"部门编码", "部门名称"},
       "部门ID",
       "部门名称",
       "部门编码",
       &Departments},
      {"pdmsr,gy_sr",
       "选择工艺",
       "编号,工艺名称,简称,工艺ID",
       "PDMSR",
       "1=1",
       {"编号", "简称", "工艺名称"},
       "工艺ID",
       "工艺名称",
       "编号",
       &Processes},
      {"gy_gzzx",
       "选择工作中心",
       "工作中心代码,工作中心名称,工作中心ID",
       "PDMGZZX",
       "1=1",
       {"工作中心代码", "工作中心名称"},
       "工作中心ID",
       "工作中心名称",
       "工作中心代码",
       nullptr},
      {"gy_Cplb_nMx,gy_Cplb_bm",
       "选择产品类别",
       "类别编码,类别名称,类别ID",
       "pdmcplb",
       "1=1",
       {"类别编码", "类别名称"},
       "类别ID",
       "类别名称",
       "类别编码",
       nullptr},
      {"gy_Srlb_nMx",
       "选择工艺类别",
       "类别编码,类别名称,类别ID",
       "pdmsrlb",
       "1=1",
       {"类别编码", "类别名称"},
       "类别ID",
       "类别名称",
       "类别编码",
       nullptr},
      {"pdmdjxz",
       "选择单据性质",
       "caption as 性质,remark as 说明",
       "xt_billattribute",
       "attribute='单据性质'",
       {"caption"},
       "性质",
       "性质",
       "autoID",
       &Natures},
      {"gy_planlx",
       "选择计划类型",
       "类型编号,类型名称,计划类型ID",
       "pdmplantype",
       "1=1",
       {"类型编号", "类型名称"},
       "计划类型ID",
       "类型名称",
       "类型编号",
       nullptr},
  };
  return types;
}

const ListType* FindListType(std::string_view type) {
  for (const ListType& list : ListTypes()) {
    for (const std::string& name : Split(list.types, ',')) {
      if (EqualsIgnoreCase(name, Trim(type))) return &list;
    }
  }
  return nullptr;
}

const LibraryType* FindLibraryType(std::string_view type) {
  for (const LibraryType& library : kLibraryTypes) {
    if (EqualsIgnoreCase(library.type, Trim(type))) return &library;
  }
  return nullptr;
}

std::string ListSql(const ListType& list, const Parameters& parameters,
                    std::string_view extra_condition) {
  std::string sql = "select " + std::string(list.columns) + " from " + std::string(list.table) +
                    " where " + std::string(list.base) + std::string(extra_condition);
  if (list.restriction != nullptr) sql += list.restriction(parameters);
  return sql + " order by " + std::string(list.order);
}

std::string Field(std::string_view wanted, std::string_view fallback) {
  return std::string(Trim(wanted).empty() ? fallback : Trim(wanted));
}

// Value and text of the first row; nullopt for no row or a field the rows do not have.
std::optional<LookupMatch> FirstRow(Recordset& rows, std::string_view value_field,
                                    std::string_view text_field) {
  if (rows.RecordCount() == 0) return std::nullopt;
  const auto value_index = rows.FieldIndex(value_field);
  const auto text_index = rows.FieldIndex(text_field);
  if (!value_index || !text_index) return std::nullopt;
  rows.MoveFirst();
  return LookupMatch{rows.Value(*value_index), rows.Value(*text_index).ToText(), nullptr};
}

bool WantsSeveral(const Parameters& parameters) {
  const auto several = Parameter(parameters, "多选");
  return several && several->ToLong() == 1;
}

}  // namespace

// --- Sessions: one open picker each ---------------------------------------------------------

struct HostLookups::Session {
  virtual ~Session() = default;
  virtual controls::Form& form() = 0;
  controls::PickDone done;
};

struct HostLookups::LibrarySession final : Session, PickerEvents {
  HostLookups* owner = nullptr;
  std::shared_ptr<Object> object;
  IPickerUI* picker = nullptr;
  FormView* view = nullptr;
  EventSource<PickerEvents>* events = nullptr;

  ~LibrarySession() override {
    events->Unadvise(this);
    picker->Clear();
  }
  controls::Form& form() override { return view->View(); }
  void DoSelect() override {
    owner->Finish(this, LookupMatch{picker->GetValue(), picker->GetText(), picker->Objects()});
  }
  void DoCancel() override { owner->Finish(this, std::nullopt); }
};

struct HostLookups::ListSession final : Session {
  ListSession(std::string caption, const Recordset& rows, std::string value_field,
              std::string text_field, bool multiple)
      : picker(std::move(caption), rows, std::move(value_field), std::move(text_field), multiple) {}
  controls::Form& form() override { return picker.form(); }
  SimplePicker picker;
};

// --- HostLookups ---------------------------------------------------------------------------

HostLookups::HostLookups(HostContext& host, ModuleFactory factory)
    : host_(host), factory_(std::move(factory)) {}

HostLookups::~HostLookups() { CloseAll(); }

bool HostLookups::IsKnownType(std::string_view type) {
  return FindLibraryType(type) != nullptr || FindListType(type) != nullptr;
}

int HostLookups::open_pickers() const { return static_cast<int>(open_.size()); }

void HostLookups::CloseAll() {
  while (!open_.empty()) Finish(open_.front().get(), std::nullopt);
  closed_.clear();
}

void HostLookups::DestroyClosed() {
  if (finishing_ == 0) closed_.clear();
}

void HostLookups::Finish(Session* session, std::optional<LookupMatch> match) {
  const auto it = std::find_if(open_.begin(), open_.end(), [&](const std::unique_ptr<Session>& s) {
    return s.get() == session;
  });
  if (it == open_.end()) return;  // already finished
  closed_.push_back(std::move(*it));
  open_.erase(it);
  host_.dialogs().FormClosed(session->form());
  controls::PickDone done = std::move(session->done);
  ++finishing_;
  if (done) done(std::move(match));
  --finishing_;
}

std::shared_ptr<Object> HostLookups::CreateLibraryPicker(std::string_view class_name) {
  if (!factory_) return nullptr;
  return factory_("Korvane." + std::string(class_name));
}

std::optional<LookupMatch> HostLookups::Resolve(const LookupDefinition& definition,
                                                std::string_view typed) {
  DestroyClosed();
  const std::string text = Trim(typed);
  if (text.empty()) return std::nullopt;
  std::shared_ptr<DataService> data = host_.Data();
  if (!data) return std::nullopt;
  const ListType* list = FindListType(definition.picker_type);
  const std::string value_field =
      Field(definition.value_field, list != nullptr ? list->value_field : "");
  const std::string text_field =
      Field(definition.text_field, list != nullptr ? list->text_field : "");

  if (!Trim(definition.query).empty()) {
    // Every "@" is the typed text, its quotes doubled: the text stays inside its literal.
    std::string sql = definition.query;
    const std::string escaped = SqlEscape(text);
    for (std::size_t at = sql.find('@'); at != std::string::npos;
         at = sql.find('@', at + escaped.size())) {
      sql.replace(at, 1, escaped);
    }
    std::unique_ptr<Recordset> rows = data->OpenSql(sql);
    if (!rows) return std::nullopt;
    return FirstRow(*rows, value_field, text_field);
  }

  if (const LibraryType* library = FindLibraryType(definition.picker_type)) {
    std::shared_ptr<Object> object = CreateLibraryPicker(library->class_name);
    auto* picker = QueryInterface<IPickerUI>(object.get());
    if (picker == nullptr) return std::nullopt;
    const std::shared_ptr<HostContext> context(std::shared_ptr<HostContext>(), &host_);
    std::optional<LookupMatch> match;
    if (picker->Init(context, ProgramId(library->class_name), "")) {
      picker->SetParameters(MakeParameters(definition.parameters));
      std::string value;
      std::string shown;
      picker->Validate("", definition.value_field, definition.text_field, text, value, shown);
      if (!value.empty()) match = LookupMatch{Variant(value), shown, picker->Objects()};
    }
    picker->Clear();
    return match;
  }

  if (list == nullptr) return std::nullopt;
  std::string condition = " and (";
  for (std::size_t i = 0; i < list->match.size(); ++i) {
    condition += (i == 0 ? "" : " or ") + std::string(list->match[i]) + "=" + SqlQuote(text);
  }
  condition += ")";
  std::unique_ptr<Recordset> rows = data->OpenSql(ListSql(*list, definition.parameters, condition));
  if (!rows) return std::nullopt;
  return FirstRow(*rows, value_field, text_field);
}

bool HostLookups::Pick(const LookupDefinition& definition, controls::PickDone done) {
  DestroyClosed();
  std::unique_ptr<Session> session;
  if (const LibraryType* library = FindLibraryType(definition.picker_type)) {
    auto s = std::make_unique<LibrarySession>();
    s->owner = this;
    s->object = CreateLibraryPicker(library->class_name);
    s->picker = QueryInterface<IPickerUI>(s->object.get());
    s->view = QueryInterface<FormView>(s->object.get());
    s->events = QueryInterface<EventSource<PickerEvents>>(s->object.get());
    if (s->picker == nullptr || s->view == nullptr || s->events == nullptr) return false;
    const std::shared_ptr<HostContext> context(std::shared_ptr<HostContext>(), &host_);
    if (!s->picker->Init(context, ProgramId(library->class_name), "")) return false;
    s->events->Advise(s.get());
    s->picker->SetParameters(MakeParameters(definition.parameters));
    if (!s->picker->Refresh()) return false;  // the session's destructor clears the picker
    session = std::move(s);
  } else if (const ListType* list = FindListType(definition.picker_type)) {
    std::shared_ptr<DataService> data = host_.Data();
    if (!data) return false;
    std::unique_ptr<Recordset> rows = data->OpenSql(ListSql(*list, definition.parameters, ""));
    if (!rows) return false;
    auto s = std::make_unique<ListSession>(
        std::string(list->caption), *rows, Field(definition.value_field, list->value_field),
        Field(definition.text_field, list->text_field), WantsSeveral(definition.parameters));
    Session* raw = s.get();
    s->picker.finished = [this, raw](std::optional<LookupMatch> match) {
      Finish(raw, std::move(match));
    };
    session = std::move(s);
  } else {
    return false;
  }
  session->done = std::move(done);
  open_.push_back(std::move(session));
  host_.dialogs().FormShown(open_.back()->form());
  return true;
}

std::int32_t HostLookups::ProgramId(std::string_view class_name) {
  std::shared_ptr<DataService> data = host_.Data();
  if (!data) return 0;
  return static_cast<std::int32_t>(
      data->ScalarSql("select progID from xt_objects where classname=" + SqlQuote(class_name))
          .ToLong());
}

std::shared_ptr<ParameterSet> HostLookups::MakeParameters(
    const std::vector<std::pair<std::string, Variant>>& entries) {
  std::shared_ptr<ParameterSet> parameters = host_.CreateParameterSet();
  if (parameters) {
    for (const auto& [name, value] : entries) parameters->Set(name, value);
  }
  return parameters;
}

}  // namespace korvane::hostapp
