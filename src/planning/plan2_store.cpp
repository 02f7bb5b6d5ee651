// Starting, editing, validating, storing and deleting master plans. The statements are the
// store's (plan_store); here the form is checked, turned into a snapshot, and the person asked
// and told.
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/dialogs.h"
#include "planning/plan2.h"
#include "planning/plan_store.h"

namespace korvane {

using namespace planning;

void plan2::Tell(const std::string& text, MsgIcon icon) {
  host_->dialogs().MessageBox(text, MsgButtons::kOk, icon, host_->ApplicationTitle());
}

// --- Modes ----------------------------------------------------------------------------------

bool plan2::FileNew() {
  return Guard("FileNew", [&] {
    if (!host_ || !browser_.started()) return false;
    EmptyForm();
    browser_.set_current_id(0);
    set_mode(Mode::kNew);
    UnlockForEntry();
    const UserInfo user = host_->User();
    filling_ = true;
    fields_[kFieldNumber]->set_text(host_->ProposeDocumentNumber(progid(), user.business_date));
    fields_[kFieldPlanDate]->set_text(FormatDate(user.business_date));
    fields_[kFieldPreparedOn]->set_text(FormatDate(user.business_date));
    fields_[kFieldPreparer]->set_text(user.user_name);
    // A header carried over must not pass an earlier plan's approval on to the new one.
    fields_[kFieldApprover]->set_text("");
    fields_[kFieldApprovedOn]->set_text("");
    filling_ = false;
    NewStarted(*fields_[kFieldNumber], *fields_[kFieldPlanner]);
    return true;
  });
}

bool plan2::FileEdit() {
  return Guard("FileEdit", [&] { return StartEditing("没有具体的单据可以供修改！"); });
}

// --- Saving ---------------------------------------------------------------------------------

bool plan2::IsCanSave() {
  // The host's fields have told the person what they could not take when they were left.
  for (controls::LookupField* field : fields_) {
    if (!field->enabled() || field->IsValid()) continue;
    field->SetFocus();
    return false;
  }
  controls::LookupField& date = *fields_[kFieldPlanDate];
  if (!IsDate(Trim(date.text()))) {
    Tell(Trim(date.caption()) + "为空,或者输入错误,请检查后重试！", MsgIcon::kInformation);
    date.SetFocus();
    return false;
  }
  return true;
}

namespace {

// The header's texts by field, the lines' texts by column, as the form holds them.
constexpr std::pair<int, std::string PlanHeader::*> kHeaderTexts[] = {
    {kFieldPlanDate, &PlanHeader::plan_date}, {kFieldPlanner, &PlanHeader::planner},
    {kFieldPreparer, &PlanHeader::preparer},  {kFieldPreparedOn, &PlanHeader::prepared_on},
    {kFieldApprover, &PlanHeader::approver},  {kFieldApprovedOn, &PlanHeader::approved_on},
    {kFieldRemark, &PlanHeader::remark},      {kFieldNature, &PlanHeader::nature},
};
constexpr std::pair<int, std::string PlanLine::*> kLineTexts[] = {
    {kColBatch, &PlanLine::batch}, {kColProductName, &PlanLine::name},
    {kColModel, &PlanLine::model}, {kColDemandDate, &PlanLine::demand_date},
    {kColStart, &PlanLine::start}, {kColFinish, &PlanLine::finish},
};

std::int32_t WholeNumber(const std::string& text) {
  return static_cast<std::int32_t>(std::lround(NumericValue(text)));
}

}  // namespace

PlanSnapshot plan2::Snapshot() const {
  PlanSnapshot plan;
  plan.header.id = current_id();
  plan.header.number = Trim(fields_[kFieldNumber]->text());
  for (const auto& [field, member] : kHeaderTexts) {
    plan.header.*member = fields_[static_cast<std::size_t>(field)]->text();
  }
  plan.header.plan_type = WholeNumber(fields_[kFieldPlanType]->value().ToText());
  plan.deleted_lines = deleted_.Ids();

  const controls::Grid& grid = *grid_;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    PlanLine line;
    line.product = WholeNumber(grid.TextMatrix(r, kColProductId));
    // A row without a product is not a line, whatever else it holds.
    if (line.product <= 0) continue;
    line.line_id = WholeNumber(grid.TextMatrix(r, kColLineId));
    line.stock = NumericValue(grid.TextMatrix(r, kColStock));
    line.demand = NumericValue(grid.TextMatrix(r, kColDemand));
    for (const auto& [col, member] : kLineTexts) line.*member = grid.TextMatrix(r, col);
    plan.lines.push_back(std::move(line));
  }
  return plan;
}

PlanStore plan2::Store() { return {{*host_, sql_, browser_, guard(), progid()}, browse_guard()}; }

bool plan2::FileSave() {
  return Guard("FileSave", [&] {
    if (!host_ || !browser_.started() || mode() == Mode::kBrowsing) return false;
    if (!IsCanSave()) return false;
    const PlanSnapshot plan = Snapshot();
    SaveResult result;
    try {
      result = SavePlan(Store(), plan, host_->User().business_date);
    } catch (const std::exception& e) {
      RaiseErrorText("保存时出错：" + std::string(e.what()), LogLevel::kError);
      return false;
    }
    switch (result.outcome) {
      case SaveOutcome::kSaved:
        break;
      case SaveOutcome::kNumberRefused:
        RaiseErrorText("计划编号[" + plan.header.number + "]已被占用或无法登记,请检查后重试!",
                       LogLevel::kWarning);
        return false;
      case SaveOutcome::kNumberEmpty:
        Tell("计划编号不能为空,请在输入后重试!", MsgIcon::kExclamation);
        fields_[kFieldNumber]->SetFocus();
        return false;
      case SaveOutcome::kNumberDuplicate:
        Tell("计划编号重复,请检查后重试!", MsgIcon::kInformation);
        return false;
      case SaveOutcome::kFailed:
        return false;
    }
    // Stored: the plan is shown as the database now holds it.
    browser_.set_current_id(result.id);
    set_mode(Mode::kBrowsing);
    deleted_.Clear();
    if (!ShowSaved(result.id)) return false;
    LockForm(true);
    dirty_ = false;
    RaiseMessage("保存数据成功!");
    return true;
  });
}

// --- Deleting and approval --------------------------------------------------------------------

bool plan2::FileDelete() {
  return Guard("FileDelete", [&] {
    if (!host_ || !browser_.started()) return false;
    if (!ConfirmDelete()) return false;
    const std::optional<DateTime> date = ParseDate(Trim(fields_[kFieldPlanDate]->text()));
    const std::chrono::year_month_day day = date ? DateOf(*date) : host_->User().business_date;
    const DeleteOutcome outcome =
        DeletePlan(Store(), current_id(), fields_[kFieldNumber]->text(), day);
    if (outcome == DeleteOutcome::kNumberHeld) {
      RaiseError("DeleteData",
                 "计划编号[" + fields_[kFieldNumber]->text() + "]无法释放,计划未删除");
    }
    if (outcome != DeleteOutcome::kDeleted) return false;
    return LoadData(NavigationMode::kNext);
  });
}

}  // namespace korvane
