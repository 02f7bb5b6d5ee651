// The members every document module answers the same way.
#include "document/document_base.h"

#include <stdexcept>
#include <utility>

#include "host/form_state.h"
#include "host/shared_routines.h"
#include "values/variant.h"

namespace korvane::document {

DocumentBase::DocumentBase(DocumentRules rules)
    : rules_(std::move(rules)),
      form_(rules_.module_name),
      browser_(rules_.browsing, *this, sql_),
      guard_(ErrorGuard::Event(
          rules_.module_name,
          [this](const ErrorReport& report) { RaiseErrorText(report.text, report.level); })),
      browse_guard_(ErrorGuard::Event(rules_.module_name, [this](const ErrorReport& report) {
        const std::string title =
            rules_.browse_error_title.empty() ? error_title() : rules_.browse_error_title;
        RaiseEvent(
            [&](DocumentEvents& sink) { sink.ErrMessage(report.text, report.level, title); });
      })) {}

DocumentBase::~DocumentBase() = default;

std::string DocumentBase::error_title() const {
  if (!rules_.error_title.empty()) return rules_.error_title;
  return host_ ? host_->ApplicationTitle() : std::string(kApplicationTitle);
}

void DocumentBase::RaiseMessage(const std::string& text) {
  RaiseEvent([&](DocumentEvents& sink) { sink.Message(text); });
}

void DocumentBase::RaiseError(std::string_view routine, std::string_view description) {
  guard_.Report(routine, description);
}

void DocumentBase::RaiseErrorText(const std::string& text, LogLevel level) {
  const std::string title = error_title();
  RaiseEvent([&](DocumentEvents& sink) { sink.ErrMessage(text, level, title); });
}

bool DocumentBase::Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                        std::int32_t document_id) {
  return Guard("Init", [&] {
    browser_.Start(nullptr, progid, document_id);
    if (!context) return false;
    host_ = std::move(context);
    sql_.Bind(host_->Data());
    std::unique_ptr<RecordNavigator> navigator = host_->CreateRecordNavigator();
    if (!sql_.bound() || !navigator) throw std::runtime_error("the host offers no data service");
    browser_.Start(std::move(navigator), progid, document_id);

    form_.set_caption(
        sql_.Scalar("select menuname from xt_menu where progID=" + std::to_string(progid))
            .ToText());
    InitModule();
    if (!wheel_attached_ && grid_ != nullptr) {
      AttachWheel(wheel_, *grid_, scroll_rate_);
      wheel_attached_ = true;
    }
    scroll_rate_ = ScrollRateFromSetting(host_->Setting("mouseeventscrollrate"));
    mode_ = Mode::kBrowsing;
    LockForm(true);
    return true;
  });
}

bool DocumentBase::Clear() {
  return Guard("Clear", [&] {
    ClearModule();
    browser_.Stop();
    sql_.Unbind();
    host_.reset();
    dirty_ = false;
    return true;
  });
}

void DocumentBase::ResetFields(const std::vector<controls::LookupField*>& fields, bool release) {
  filling_ = true;
  for (controls::LookupField* field : fields) {
    field->Reset();
    if (release) field->set_resolver(nullptr);
  }
  filling_ = false;
}

void DocumentBase::LockForm(bool locked) { document::LockForm(form_, locked, lock_rules_); }

void DocumentBase::ShowFilterMark(bool filtered) {
  if (filter_mark_ != nullptr) filter_mark_->set_visible(filtered);
}

bool DocumentBase::ApprovedView() const { return stamp_ != nullptr && stamp_->visible(); }

void DocumentBase::Loaded() {
  mode_ = Mode::kBrowsing;
  LockForm(true);
  dirty_ = false;
  if (grid_ != nullptr) grid_->set_redraw(true);
  RaiseEvent([](DocumentEvents& sink) { sink.FormRefreshed(); });
}

bool DocumentBase::LoadData(NavigationMode mode) {
  return BrowseGuard("LoadData", [&] {
    if (!host_ || !browser_.started()) return false;
    browser_.Load(*host_, mode);
    Loaded();
    return true;
  });
}

bool DocumentBase::FindData(std::string_view extra, bool keep_form, bool& found) {
  found = false;
  return BrowseGuard("FindData", [&] {
    if (!host_ || !browser_.started()) return false;
    found = browser_.ShowFirst(*host_, extra, keep_form);
    if (grid_ != nullptr) grid_->set_redraw(true);
    return true;
  });
}

bool DocumentBase::ShowSaved(std::int32_t id) {
  const std::string condition = rules_.browsing.key_column + "=" + std::to_string(id);
  bool found = false;
  if (!FindData(condition, true, found)) return false;
  if (found) return true;
  return BrowseGuard("FindData", [&] {
    if (!browser_.ShowStored(condition)) browser_.set_shown_id(id);
    if (grid_ != nullptr) grid_->set_redraw(true);
    return true;
  });
}

bool DocumentBase::Refresh() { return host_ ? LoadData(NavigationMode::kLast) : false; }
bool DocumentBase::RecordTop() { return LoadData(NavigationMode::kFirst); }
bool DocumentBase::RecordPrevious() { return LoadData(NavigationMode::kPrevious); }
bool DocumentBase::RecordNext() { return LoadData(NavigationMode::kNext); }
bool DocumentBase::RecordBottom() { return LoadData(NavigationMode::kLast); }

bool DocumentBase::Find(const ConditionArray& conditions) {
  if (!ConditionText(conditions)) return false;
  return BrowseGuard("FindData", [&] {
    if (!host_ || !browser_.started()) return false;
    browser_.Find(*host_, conditions);
    if (grid_ != nullptr) grid_->set_redraw(true);
    return true;
  });
}

bool DocumentBase::FindNext() {
  return BrowseGuard("FindData", [&] {
    if (!host_ || !browser_.started()) return false;
    const bool searched = browser_.FindNext(*host_);
    if (searched && grid_ != nullptr) grid_->set_redraw(true);
    return searched;
  });
}

bool DocumentBase::Filter(const ConditionArray& conditions) {
  if (!ConditionText(conditions)) return false;
  return BrowseGuard("LoadData", [&] {
    if (!host_ || !browser_.started()) return false;
    browser_.Filter(*host_, conditions);
    Loaded();
    return true;
  });
}

bool DocumentBase::DoSetStatus(std::string_view /*status*/, bool approved) {
  controls::BusyCursor busy(form_);
  RaiseMessage("数据正在切换状态");
  LockForm(true);
  if (stamp_ != nullptr) stamp_->set_visible(approved);
  const bool result = LoadData(NavigationMode::kLast);
  RaiseMessage("");
  return result;
}

bool DocumentBase::FileCancel() {
  bool found = false;
  const std::string condition =
      " " + rules_.browsing.key_column + "=" + std::to_string(CancelTarget());
  if (!FindData(condition, false, found)) return false;
  mode_ = Mode::kBrowsing;
  LockForm(true);
  dirty_ = false;
  RaiseMessage("");
  return true;
}

bool DocumentBase::WritePrintData(std::string_view routine) {
  return BrowseGuard(routine, [&] {
    if (!host_) return false;
    const std::optional<std::string> path = WritePrintFile();
    if (!path) throw std::runtime_error("the print data file could not be written");
    print_file_name_ = *path;
    return true;
  });
}

bool DocumentBase::PrintPreview() { return WritePrintData("PrintPreview"); }
bool DocumentBase::DoPrint() { return WritePrintData("DoPrint"); }
bool DocumentBase::PrintSetup() { return WritePrintData("PrintSetup"); }

std::string DocumentBase::SettingsFileName() const {
  return std::to_string(browser_.progid()) + rules_.module_name;
}

bool DocumentBase::DoGetFormStatus() {
  return Guard("DoGetFormStatus",
               [&] { return host_ && RestoreFormState(SettingsFileName(), form_, true, *host_); });
}

bool DocumentBase::DoSaveFormStatus() {
  return Guard("DoSaveFormStatus",
               [&] { return host_ && SaveFormState(SettingsFileName(), form_, true, *host_); });
}

void DocumentBase::AddStatusLabels() {
  stamp_ = &form_.Add<controls::Label>("Lab_Succeed");
  stamp_->set_caption("已审核");
  stamp_->set_visible(false);
  filter_mark_ = &form_.Add<controls::Label>("LabFilter");
  filter_mark_->set_caption("已过滤");
  filter_mark_->set_visible(false);
  record_label_ = &form_.Add<controls::Label>("lblRecord");
  record_label_->set_caption("记录：0/0");
}

void DocumentBase::NewStarted(controls::LookupField& number, controls::Control& next) {
  if (Trim(number.text()).empty()) {
    number.SetFocus();
  } else {
    next.SetFocus();
  }
  record_label_->set_caption("新建记录...");
  dirty_ = false;
  RaiseMessage("正在新建单据中...");
}

bool DocumentBase::StartEditing(std::string_view refusal) {
  if (!host_) return false;
  if (current_id() <= 0) {
    host_->dialogs().MessageBox(refusal, MsgButtons::kOk, MsgIcon::kInformation,
                                host_->ApplicationTitle());
    return false;
  }
  mode_ = Mode::kEditing;
  UnlockForEntry();
  dirty_ = false;
  RaiseMessage("正在修改单据中...");
  return true;
}

bool DocumentBase::ConfirmDelete() {
  if (current_id() <= 0) {
    host_->dialogs().MessageBox("没有可删除的记录!", MsgButtons::kOk, MsgIcon::kInformation,
                                kPlainPromptTitle);
    return false;
  }
  return host_->dialogs().MessageBox("是否删除当前记录:", MsgButtons::kYesNo, MsgIcon::kQuestion,
                                     kPlainPromptTitle) == MsgAnswer::kYes;
}

bool DocumentBase::FileNewNext() { return false; }
bool DocumentBase::Help() { return false; }
void DocumentBase::Attributes() {}

std::int32_t DocumentBase::GetID() { return browser_.current_id(); }
bool DocumentBase::CheckStatus(std::string_view /*status*/) { return ApprovedView(); }
std::string DocumentBase::ReturnPrintName() { return print_file_name_; }
bool DocumentBase::IsDirty() { return dirty_; }

const std::vector<std::unique_ptr<controls::Control>>& DocumentBase::Controls() {
  return form_.Controls();
}

std::shared_ptr<ParameterSet> DocumentBase::GetParameters() { return nullptr; }

void DocumentBase::SetParameters(std::shared_ptr<ParameterSet> parameters) {
  ApplyDesignParameters(form_, parameters);
}

}  // namespace korvane::document
