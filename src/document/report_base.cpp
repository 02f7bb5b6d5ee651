// The members every report module answers the same way.
#include "document/report_base.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "document/form_lock.h"
#include "host/form_state.h"
#include "host/grid_settings.h"
#include "host/settings_files.h"
#include "host/shared_routines.h"
#include "values/variant.h"

namespace korvane::document {

std::string PrintHeading(std::string_view title, const std::vector<std::string>& condition_lines) {
  std::string heading(title);
  for (const std::string& line : condition_lines) heading += "\r\n\t" + line;
  return heading;
}

ReportBase::ReportBase(std::string module_name)
    : module_name_(std::move(module_name)),
      form_(module_name_),
      guard_(ErrorGuard::Event(module_name_, [this](const ErrorReport& report) {
        RaiseErrorText(report.text, report.level);
      })) {}

ReportBase::~ReportBase() = default;

void ReportBase::RaiseMessage(const std::string& text) {
  Raise([&](ReportEvents& sink) { sink.Message(text); });
}

void ReportBase::RaiseErrorText(const std::string& text, LogLevel level) {
  const std::string title = host_ ? host_->ApplicationTitle() : std::string(kApplicationTitle);
  Raise([&](ReportEvents& sink) { sink.ErrMessage(text, level, title); });
}

bool ReportBase::Init(std::shared_ptr<HostContext> context, std::int32_t progid) {
  return Guard("Init", [&] {
    progid_ = progid;
    if (!context) return false;
    host_ = std::move(context);
    sql_.Bind(host_->Data());
    if (!sql_.bound()) throw std::runtime_error("the host offers no data service");
    form_.set_caption(
        sql_.Scalar("select menuname from xt_menu where progID=" + std::to_string(progid))
            .ToText());
    lookups_ = host_->Lookups();
    InitModule();
    for (controls::LookupField* field : condition_fields_) {
      if (!field->lookup().empty()) field->set_resolver(lookups_.get());
    }
    if (!wired_ && grid_ != nullptr) {
      AttachWheel(wheel_, *grid_, scroll_rate_);
      grid_->double_click.Connect([this] { RowDoubleClicked(); });
      grid_->mouse_down.Connect([this](int& button, int& shift, float& x, float& y) {
        std::int16_t b = static_cast<std::int16_t>(button);
        std::int16_t s = static_cast<std::int16_t>(shift);
        Raise([&](ReportEvents& sink) { sink.VsMouseDown(b, s, x, y); });
        button = b;
        shift = s;
      });
      wired_ = true;
    }
    scroll_rate_ = ScrollRateFromSetting(host_->Setting("mouseeventscrollrate"));
    return true;
  });
}

void ReportBase::RowDoubleClicked() {
  guard_.Run("Vs_DblClick", [&] {
    if (grid_ == nullptr || grid_->row() < grid_->fixed_rows()) return;
    const std::optional<DetailTarget> target = DetailOf(grid_->row());
    if (!target || target->program_id <= 0 || target->document_id <= 0) return;
    Raise([&](ReportEvents& sink) { sink.Detaile(target->program_id, target->document_id); });
  });
}

bool ReportBase::Clear() {
  return Guard("Clear", [&] {
    if (grid_ != nullptr) grid_->set_rows(0);
    ClearModule();
    for (controls::LookupField* field : condition_fields_) field->set_resolver(nullptr);
    lookups_.reset();
    sql_.Unbind();
    host_.reset();
    return true;
  });
}

controls::LookupField& ReportBase::AddConditionField(int index, std::string caption) {
  auto& field = form_.Add<controls::LookupField>("qxTxt", index);
  field.set_caption(std::move(caption));
  field.invalid.Connect([this](const std::string& text) {
    if (host_) {
      host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kExclamation, kPromptTitle);
    }
  });
  condition_fields_.push_back(&field);
  return field;
}

controls::Grid& ReportBase::AddResultGrid(std::string kind) {
  grid_ = &form_.Add<controls::Grid>("Vs", -1, std::move(kind));
  grid_->set_rows(1);
  grid_->set_cols(1);
  grid_->set_fixed_rows(1);
  grid_->set_fixed_cols(0);
  grid_->set_editable(false);
  return *grid_;
}

void ReportBase::ShowProductByCodeAndName(controls::LookupField& field) {
  const auto show = [this, &field] { guard_.Run("qxTxt_Change", [&] { ShowProduct(field); }); };
  field.picked.Connect(show);
  field.lost_focus.Connect(show);
}

void ReportBase::ShowProduct(controls::LookupField& field) {
  if (!host_ || field.value().IsBlank()) return;
  const double id = NumericValue(field.value().ToText());
  if (!std::isfinite(id) || id <= 0) return;
  const std::unique_ptr<Recordset> rows =
      sql_.Rows("select 物品编码,物品名称 from pdmcpml where 产品ID=" + FormatNumber(id));
  if (rows->RecordCount() == 0) return;
  rows->MoveFirst();
  const std::string shown = Trim(rows->Value(0).ToText()) + " " + Trim(rows->Value(1).ToText());
  if (shown == field.text()) return;
  const Variant value = field.value();
  field.set_text(shown);
  field.set_value(value);
}

std::string ReportBase::SettingsFileName() const { return std::to_string(progid_) + module_name_; }

bool ReportBase::DoGetFormStatus() {
  return Guard("DoGetFormStatus", [&] {
    if (!host_) return false;
    grid_settings_file_ = SettingsFileName();
    const bool restored = RestoreFormState(grid_settings_file_, form_, false, *host_);
    DefaultConditions();
    return restored;
  });
}

bool ReportBase::DoSaveFormStatus() {
  return Guard("DoSaveFormStatus",
               [&] { return host_ && SaveFormState(SettingsFileName(), form_, false, *host_); });
}

bool ReportBase::ApplyUserGridSettings() {
  if (!host_ || grid_ == nullptr || grid_settings_file_.empty()) return false;
  return ApplyGridSettings(grid_settings_file_, *grid_, false, *host_);
}

std::string ReportBase::PreparePrintFile() {
  return PreparePrintFileAt(ReportPrintPath(progid_, *host_));
}

std::string ReportBase::PreparePrintFileAt(const std::string& path) {
  if (!EnsureFolderOf(path)) throw std::runtime_error("the folder of " + path + " is missing");
  print_file_name_ = path;
  return path;
}

bool ReportBase::Find(const ConditionArray&) {
  return Guard("Find",
               [&] { return host_ && grid_ && host_->grids().FindInGrid(*grid_, grid_->col()); });
}

bool ReportBase::FindNext() {
  return Guard("FindNext", [&] { return host_ && grid_ && host_->grids().FindNextInGrid(*grid_); });
}

bool ReportBase::Filter(const ConditionArray&) {
  return Guard("Filter",
               [&] { return host_ && grid_ && host_->grids().FilterGrid(*grid_, grid_->col()); });
}

bool ReportBase::PrintGrid(std::string_view routine, GridPrintMode mode) {
  return Guard(routine, [&] {
    if (!host_ || grid_ == nullptr || !MayPrint()) return false;
    const std::string path = PrintFilePath();
    const std::string heading = PrintHeading(form_.caption(), HeadingConditionLines());
    if (!host_->grids().PrintGrid(*grid_, heading, path, mode)) {
      throw std::runtime_error("the print file " + path + " could not be written");
    }
    return true;
  });
}

bool ReportBase::PrintPreview() { return PrintGrid("PrintPreview", GridPrintMode::kPreview); }
bool ReportBase::DoPrint() { return PrintGrid("DoPrint", GridPrintMode::kPrint); }
bool ReportBase::PrintSetup() { return PrintGrid("PrintSetup", GridPrintMode::kSetup); }

bool ReportBase::RecordTop() { return false; }
bool ReportBase::RecordPrevious() { return false; }
bool ReportBase::RecordNext() { return false; }
bool ReportBase::RecordBottom() { return false; }
bool ReportBase::Help() { return false; }
void ReportBase::Attributes() {}
std::string ReportBase::ReturnPrintName() { return print_file_name_; }
std::shared_ptr<Recordset> ReportBase::oTable() { return nullptr; }

const std::vector<std::unique_ptr<controls::Control>>& ReportBase::Controls() {
  return form_.Controls();
}

std::shared_ptr<ParameterSet> ReportBase::GetParameters() { return nullptr; }

void ReportBase::SetParameters(std::shared_ptr<ParameterSet> parameters) {
  ApplyDesignParameters(form_, parameters);
}

}  // namespace korvane::document
