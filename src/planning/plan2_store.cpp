// Starting, editing, validating, storing and deleting master plans. The statements are the
// store's (plan_store); here the form is checked, turned into a snapshot, and the person asked
// and told.
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>

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
    Unlock();
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
    if (Trim(fields_[kFieldNumber]->text()).empty()) {
      fields_[kFieldNumber]->SetFocus();
    } else {
      fields_[kFieldPlanner]->SetFocus();
    }
    record_label_->set_caption("新建记录...");
    dirty_ = false;
    RaiseMessage("正在新建单据中...");
    return true;
  });
}

bool plan2::FileEdit() {
  return Guard("FileEdit", [&] {
    if (!host_) return false;
    if (current_id() <= 0) {
      Tell("没有具体的单据可以供修改！", MsgIcon::kInformation);
      return false;
    }
    set_mode(Mode::kEditing);
    Unlock();
    dirty_ = false;
    RaiseMessage("正在修改单据中...");
    return true;
  });
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

PlanSnapshot plan2::Snapshot() const {
  PlanSnapshot plan;
  PlanHeader& h = plan.header;
  const auto text = [&](int field) { return fields_[static_cast<std::size_t>(field)]->text(); };
  h.id = current_id();
  h.number = Trim(text(kFieldNumber));
  h.plan_date = text(kFieldPlanDate);
  h.planner = text(kFieldPlanner);
  h.preparer = text(kFieldPreparer);
  h.prepared_on = text(kFieldPreparedOn);
  h.approver = text(kFieldApprover);
  h.approved_on = text(kFieldApprovedOn);
  h.remark = text(kFieldRemark);
  h.nature = text(kFieldNature);
  h.plan_type = static_cast<std::int32_t>(
      std::lround(NumericValue(fields_[kFieldPlanType]->value().ToText())));
  plan.deleted_lines = deleted_.Ids();

  const controls::Grid& grid = *grid_;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    const auto cell = [&](int col) { return grid.TextMatrix(r, col); };
    const auto whole = [&](int col) {
      return static_cast<std::int32_t>(std::lround(NumericValue(cell(col))));
    };
    PlanLine line;
    line.product = whole(kColProductId);
    // A row without a product is not a line, whatever else it holds.
    if (line.product <= 0) continue;
    line.line_id = whole(kColLineId);
    line.stock = NumericValue(cell(kColStock));
    line.demand = NumericValue(cell(kColDemand));
    line.batch = cell(kColBatch);
    line.name = cell(kColProductName);
    line.specification = cell(kColSpecification);
    line.demand_date = cell(kColDemandDate);
    line.start = cell(kColStart);
    line.finish = cell(kColFinish);
    plan.lines.push_back(std::move(line));
  }
  return plan;
}

PlanStore plan2::Store() { return {*host_, sql_, browser_, guard(), browse_guard(), progid()}; }

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
    browser_.set_current_id(result.plan_id);
    set_mode(Mode::kBrowsing);
    deleted_.Clear();
    if (!ShowSaved(result.plan_id)) return false;
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
    if (current_id() <= 0) {
      host_->dialogs().MessageBox("没有可删除的记录!", MsgButtons::kOk, MsgIcon::kInformation,
                                  kPlainPromptTitle);
      return false;
    }
    if (host_->dialogs().MessageBox("是否删除当前记录:", MsgButtons::kYesNo, MsgIcon::kQuestion,
                                    kPlainPromptTitle) != MsgAnswer::kYes) {
      return false;
    }
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

bool plan2::Check() { return true; }
bool plan2::UnCheck() { return true; }

}  // namespace korvane
