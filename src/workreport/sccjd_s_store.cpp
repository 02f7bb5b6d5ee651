// Creating, editing, validating, storing and deleting work reports, and their approval with
// the hand-over of every employee's wage share to the wage system's intake table. The
// statements are the store's (work_report_store) and the hand-over's (wage_handover); here
// the form is checked, turned into a snapshot, and the person asked and told.
#include <charconv>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/data_service.h"
#include "workreport/sccjd_s.h"
#include "workreport/wage_handover.h"
#include "workreport/work_report_store.h"

namespace korvane {

using namespace workreport;

namespace {

// Shares are typed as decimals; a sum such as 0.7 + 0.3 must still count as 1.
constexpr double kShareTolerance = 1e-9;

using document::SqlNumber;

std::string CellNumber(const std::string& text) { return SqlNumber(NumericValue(text)); }

// The whole numbers of a list of ids; blank pieces are skipped.
std::vector<std::int32_t> IdList(std::string_view text, char separator) {
  std::vector<std::int32_t> ids;
  for (const std::string& piece : Split(text, separator)) {
    if (Trim(piece).empty()) continue;
    ids.push_back(static_cast<std::int32_t>(std::lround(NumericValue(piece))));
  }
  return ids;
}

// The ids of a ";"-separated hidden key.
std::vector<std::int32_t> KeyList(const Variant& key) {
  return key.IsBlank() ? std::vector<std::int32_t>() : IdList(key.ToText(), ';');
}

// The shares of a ";"-separated text, one per piece (a blank piece is 0).
std::vector<double> ShareList(const std::string& text) {
  std::vector<double> shares;
  if (Trim(text).empty()) return shares;
  for (const std::string& piece : Split(text, ';')) shares.push_back(NumericValue(piece));
  return shares;
}

std::string Id(std::int32_t id) { return std::to_string(id); }

}  // namespace

// --- Events and boxes -------------------------------------------------------------------

void SCCJD_S::RaiseTitled(const std::string& text, LogLevel level, const std::string& title) {
  Raise([&](DocumentEvents& sink) { sink.ErrMessage(text, level, title); });
}

void SCCJD_S::Tell(const std::string& text, std::string_view title) {
  host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kExclamation, title);
}

bool SCCJD_S::AskYes(const std::string& text, std::string_view title) {
  return host_->dialogs().MessageBox(text, MsgButtons::kYesNo, MsgIcon::kQuestion, title) ==
         MsgAnswer::kYes;
}

void SCCJD_S::PointAt(int row, int col) {
  grid_->set_top_row(row);
  grid_->Select(row, col);
}

// --- Modes ----------------------------------------------------------------------------------

bool SCCJD_S::FileNew() {
  return Guard("FileNew", [&] {
    if (!host_ || !browser_.started()) return false;
    LockForm(false);
    ClearForm();
    const UserInfo user = host_->User();
    const std::string number = host_->ProposeDocumentNumber(progid(), user.business_date);
    browser_.set_current_id(-1);
    set_mode(Mode::kNew);
    ForgetDeletedLines();

    filling_ = true;
    fields_[kFieldNumber]->set_text(number);
    fields_[kFieldDate]->set_text(FormatDate(user.business_date));
    fields_[kFieldPreparer]->set_text(user.user_name);
    fields_[kFieldPreparedOn]->set_text(FormatDate(user.business_date));
    // A kept header must not pass an earlier report's approval on to the new one.
    fields_[kFieldApprover]->set_text("");
    fields_[kFieldApprovedOn]->set_text("");
    filling_ = false;

    if (Trim(number).empty()) {
      fields_[kFieldNumber]->SetFocus();
    } else {
      fields_[kFieldDate]->SetFocus();
    }
    record_label_->set_caption("新建记录...");
    dirty_ = false;
    RaiseMessage("正在新建单据中...");
    return true;
  });
}

bool SCCJD_S::FileEdit() {
  return Guard("FileEdit", [&] {
    if (current_id() < 1) {
      if (host_) {
        host_->dialogs().MessageBox("没有可以修改的单据，不能编辑! ", MsgButtons::kOk,
                                    MsgIcon::kInformation, kPromptTitle);
      }
      return false;
    }
    set_mode(Mode::kEditing);
    // Lines deleted in an editing session that was cancelled stay stored.
    ForgetDeletedLines();
    LockForm(false);
    dirty_ = false;
    RaiseMessage("正在修改单据中...");
    return true;
  });
}

// --- Validation -------------------------------------------------------------------------------

bool SCCJD_S::IsCanSave() {
  try {
    return CheckHeader() && CheckLines() && CheckEmployees();
  } catch (const std::exception& e) {
    RaiseTitled("IsCanSave:" + std::string(e.what()), LogLevel::kError, host_->ApplicationTitle());
  }
  return false;
}

bool SCCJD_S::CheckHeader() {
  for (controls::LookupField* field : fields_) {
    if (field->field_kind() != controls::FieldKind::kLookup || field->IsValid()) continue;
    field->SetFocus();
    Tell(field->lookup().error_text.empty() ? "车间名称不能为空，请输入后重试!"
                                            : field->lookup().error_text,
         kPromptTitle);
    return false;
  }
  if (fields_[kFieldWorkshop]->value().IsBlank() || Trim(fields_[kFieldWorkshop]->text()).empty()) {
    fields_[kFieldWorkshop]->SetFocus();
    Tell("车间名称不能为空，请输入后重试!");
    return false;
  }
  if (!IsDate(Trim(fields_[kFieldDate]->text()))) {
    fields_[kFieldDate]->SetFocus();
    Tell("生产日期错误，请检查后重试!");
    return false;
  }
  return true;
}

bool SCCJD_S::HasProduct(int row) const {
  return !Trim(grid_->TextMatrix(row, kColProductCode)).empty();
}

bool SCCJD_S::CheckLines() {
  bool any = false;
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (!HasProduct(r)) continue;
    any = true;
    const std::string row = std::to_string(r);
    if (NumericValue(grid_->TextMatrix(r, kColRate)) == 0) {
      PointAt(r, kColRate);
      if (!AskYes("第" + row + "行工资定额为零，是否保存！", kPlainPromptTitle)) return false;
    }
    if (quantity_control_ && !CheckPlannedQuantity(r)) return false;
    if (Trim(grid_->TextMatrix(r, kColProcess)).empty() ||
        grid_->CellKey(r, kColProcess).ToLong() <= 0) {
      PointAt(r, kColProcess);
      Tell("第" + row + "行工艺名称为空，不能保存！");
      return false;
    }
    if (KeyList(grid_->CellKey(r, kColEmployees)).empty()) {
      PointAt(r, kColEmployees);
      Tell("第" + row + "行员工为空，不能保存！");
      return false;
    }
  }
  if (!any) {
    Tell("表体内无记录，不能保存！");
    return false;
  }
  return true;
}

// With quantity control a line must come from a plan line whose finished product's structure
// holds the line's product, and the quantity reported for that plan line, product and process
// on all reports must stay within the structure's quantity for the plan's demand.
bool SCCJD_S::CheckPlannedQuantity(int r) {
  const std::string row = std::to_string(r);
  const std::int32_t plan_line = grid_->CellKey(r, kColSourceNumber).ToLong();
  if (plan_line <= 0) {
    PointAt(r, kColSourceNumber);
    Tell("第" + row + "行无选单，不能保存！");
    return false;
  }
  const std::int32_t product = grid_->CellKey(r, kColProductCode).ToLong();
  const std::int32_t process = grid_->CellKey(r, kColProcess).ToLong();
  const auto structure =
      static_cast<std::int32_t>(std::lround(NumericValue(grid_->TextMatrix(r, kColBomId))));
  const std::string demand = CellNumber(grid_->TextMatrix(r, kColFinishedQuantity));
  std::unique_ptr<Recordset> component =
      sql_.Rows("select bomID,配件ID,case when 实际配量分母<>0 then " + demand +
                "*实际配量分子/实际配量分母 else 0 end as 数量" +
                " from pdmbommx where bomid=" + Id(structure) + " and 配件ID=" + Id(product));
  if (component->RecordCount() == 0) {
    PointAt(r, kColProductCode);
    Tell("第" + row + "行部件与成品不一致，请检查！");
    return false;
  }
  component->MoveFirst();
  const double required = (*component)["数量"].ToDouble();
  const double earlier =
      sql_.Scalar(
              "select sum(合格数量) as 数量 from sfcdj A left join sfcdjmx B on "
              "A.报工单ID=B.报工单ID" +
              std::string(" where 前置单据 in") + std::string(kPlanPrograms) +
              " and 前置单据ID=" + Id(plan_line) + " and 产品ID=" + Id(product) +
              " and 工艺ID=" + Id(process) + " and B.报工单ID<>" + Id(current_id()))
          .ToDouble();
  double here = 0;
  for (int other = grid_->fixed_rows(); other < grid_->rows(); ++other) {
    if (!HasProduct(other) || grid_->CellKey(other, kColSourceNumber).ToLong() != plan_line ||
        grid_->CellKey(other, kColProductCode).ToLong() != product ||
        grid_->CellKey(other, kColProcess).ToLong() != process) {
      continue;
    }
    here += NumericValue(grid_->TextMatrix(other, kColQualified));
  }
  if (here + earlier > required) {
    PointAt(r, kColQualified);
    Tell("第" + row + "行对应的生产数量[" + FormatNumber(here) + "]" + "加已生产数量[" +
             FormatNumber(earlier) + "]" + "大于需求量[" + FormatNumber(required) + "]，超额[" +
             FormatNumber(here + earlier - required) + "]个，请检查！",
         kPromptTitle);
    return false;
  }
  return true;
}

bool SCCJD_S::CheckEmployees() {
  std::set<std::int32_t> staff;
  bool staff_read = false;
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (!HasProduct(r)) continue;
    const std::string row = std::to_string(r);
    if (!staff_read) {
      std::unique_ptr<Recordset> rows = sql_.Rows("SELECT 雇员ID FROM PDMGY where 部门ID=" +
                                                  Id(fields_[kFieldWorkshop]->value().ToLong()));
      for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) staff.insert(rows->Value(0).ToLong());
      staff_read = true;
    }
    const std::vector<std::int32_t> employees = KeyList(grid_->CellKey(r, kColEmployees));
    for (std::int32_t employee : employees) {
      if (staff.count(employee) != 0) continue;
      PointAt(r, kColEmployees);
      // One question per line: the answer is the same for every stranger on it.
      if (!AskYes("第" + row + "行员工不属于当前所选部门，就是保存？")) return false;
      break;
    }
    if (std::set<std::int32_t>(employees.begin(), employees.end()).size() != employees.size()) {
      PointAt(r, kColEmployees);
      Tell("第" + row + "行员工有重复，请检查！");
      return false;
    }
    std::vector<double> shares = ShareList(grid_->TextMatrix(r, kColShares));
    shares.resize(employees.size(), 0.0);
    if (employees.size() == 1) {
      if (std::fabs(shares[0] - 1) > kShareTolerance) {
        PointAt(r, kColShares);
        Tell("第" + row + "行员工分配比例必须等于1，请检查！");
        return false;
      }
      continue;
    }
    for (double share : shares) {
      if (share < 1 - kShareTolerance) continue;
      PointAt(r, kColShares);
      Tell("第" + row + "行员工分配比例必须小于1，请检查！");
      return false;
    }
    if (std::fabs(shares[0] + shares[1] - 1) > kShareTolerance) {
      PointAt(r, kColShares);
      if (!AskYes("第" + row + "行前面两个员工分配比例之和不等于1，是否正确?")) return false;
    }
  }
  return true;
}

// --- Saving -------------------------------------------------------------------------------------

bool SCCJD_S::FileSave() {
  return Guard("FileSave", [&] {
    if (!host_ || !browser_.started() || mode() == Mode::kBrowsing) return false;
    if (!IsCanSave()) return false;
    try {
      return SaveData();
    } catch (const std::exception& e) {
      RaiseTitled("保存时出错：" + std::string(e.what()), LogLevel::kError,
                  host_->ApplicationTitle());
    }
    return false;
  });
}

bool SCCJD_S::SaveData() {
  const std::string module_title(kModuleName);
  const UserInfo user = host_->User();
  const ReportSnapshot report = Snapshot();
  const SaveResult result = SaveReport(Store(), report, user.business_date);
  switch (result.outcome) {
    case SaveOutcome::kSaved:
      break;
    case SaveOutcome::kNumberRefused:
      RaiseTitled("单据编号[" + report.header.number + "]已被占用或无法登记，请检查后重试!",
                  LogLevel::kError, module_title);
      return false;
    case SaveOutcome::kNumberEmpty:
      RaiseTitled("单据编号不能为空，请输入后重试!  ", LogLevel::kError, module_title);
      fields_[kFieldNumber]->SetFocus();
      return false;
    case SaveOutcome::kNumberDuplicate:
      RaiseTitled("单据编号重复,请检查后重试!", LogLevel::kWarning, module_title);
      return false;
    case SaveOutcome::kFailed:
      return false;
  }

  // Stored: whatever happens while showing it again, the report is saved.
  const std::int32_t saved_id = result.id;
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (HasProduct(r)) RecomputeLine(r);
  }
  browser_.set_current_id(saved_id);
  set_mode(Mode::kBrowsing);
  ForgetDeletedLines();
  bool found = false;
  // A report the current view does not walk (the approved view, another requested report)
  // stays on screen as entered.
  FindData("报工单ID=" + Id(saved_id), true, found);
  if (!found) {
    browser_.set_shown_id(saved_id);
  }
  LockForm(true);
  dirty_ = false;
  RaiseMessage("保存数据成功！编号：" + report.header.number);
  return true;
}

WorkReportStore SCCJD_S::Store() { return {*host_, sql_, browser_, guard(), progid()}; }

ReportSnapshot SCCJD_S::Snapshot() const {
  ReportSnapshot report;
  ReportHeader& header = report.header;
  header.id = current_id();
  header.number = Trim(fields_[kFieldNumber]->text());
  header.workshop = fields_[kFieldWorkshop]->value().ToLong();
  header.date = fields_[kFieldDate]->text();
  header.remarks = fields_[kFieldRemarks]->text();
  header.preparer = fields_[kFieldPreparer]->text();
  header.prepared_on = fields_[kFieldPreparedOn]->text();
  header.approver = fields_[kFieldApprover]->text();
  header.approved_on = fields_[kFieldApprovedOn]->text();
  report.deleted_lines = IdList(deleted_lines(), ',');

  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (!HasProduct(r)) continue;
    const auto text = [&](int col) { return grid_->TextMatrix(r, col); };
    const auto number = [&](int col) { return NumericValue(text(col)); };
    const auto key = [&](int col) { return grid_->CellKey(r, col).ToLong(); };
    ReportLine line;
    line.line_id = static_cast<std::int32_t>(std::lround(number(kColLineId)));
    line.date = text(kColDate);
    line.product = key(kColProductCode);
    line.process = key(kColProcess);
    line.source_type = key(kColSourceType);
    line.source_line = key(kColSourceNumber);
    line.rate = number(kColRate);
    // The wage as the line shows it once recomputed: qualified quantity times rate.
    line.wage = NumericValue(FormatNumber(number(kColQualified) * line.rate));
    line.deduction = number(kColDeduction);
    line.qualified = number(kColQualified);
    line.produced = number(kColProduced);
    line.kit_count = number(kColKitCount);
    line.remarks = text(kColRemarks);
    line.plan_number = text(kColPlanNumber);
    line.batch = text(kColBatch);
    const std::vector<std::int32_t> employees = KeyList(grid_->CellKey(r, kColEmployees));
    std::vector<double> shares = ShareList(text(kColShares));
    shares.resize(employees.size(), 0.0);
    for (std::size_t i = 0; i < employees.size(); ++i)
      line.shares.push_back({employees[i], shares[i]});
    report.lines.push_back(std::move(line));
  }
  return report;
}

// --- Deleting -----------------------------------------------------------------------------------

bool SCCJD_S::FileDelete() {
  return Guard("FileDelete", [&] {
    if (!host_ || !browser_.started()) return false;
    if (current_id() < 1) {
      host_->dialogs().MessageBox("没有可删除的记录!", MsgButtons::kOk, MsgIcon::kInformation,
                                  kPlainPromptTitle);
      return false;
    }
    if (host_->dialogs().MessageBox("是否删除当前记录:", MsgButtons::kYesNo, MsgIcon::kQuestion,
                                    kPlainPromptTitle) != MsgAnswer::kYes) {
      return false;
    }
    const std::string number = fields_[kFieldNumber]->text();
    const std::optional<DateTime> date = ParseDate(Trim(fields_[kFieldDate]->text()));
    const std::chrono::year_month_day day = date ? DateOf(*date) : host_->User().business_date;
    const DeleteOutcome outcome = DeleteReport(Store(), current_id(), number, day);
    if (outcome == DeleteOutcome::kNumberHeld) {
      RaiseError("DeleteData", "单据编号[" + number + "]无法释放，单据未删除");
    }
    if (outcome != DeleteOutcome::kDeleted) return false;
    ForgetDeletedLines();
    LoadData(NavigationMode::kNext);
    return true;
  });
}

// --- Approval -----------------------------------------------------------------------------------

bool SCCJD_S::Check() {
  return Guard("Check", [&] {
    if (!host_ || !browser_.started()) return false;
    if (quantity_control_ && !CheckPlanQuantities()) return false;
    return HandOverWages(true);
  });
}

bool SCCJD_S::UnCheck() {
  return Guard("UnCheck", [&] {
    if (!host_ || !browser_.started()) return false;
    return HandOverWages(false);
  });
}

bool SCCJD_S::CheckPlanQuantities() {
  try {
    const std::optional<PlanExcess> excess = FindPlanExcess(Store(), current_id());
    if (!excess) return true;
    const std::string prefix = "[计划原单:" + excess->plan_number + " 批次号:" + excess->batch +
                               "]" + "对应的[产品:" + excess->finished_text;
    switch (excess->kind) {
      case PlanExcess::Kind::kNoStructure:
        Tell(prefix + "]的BOM结构不存在");
        break;
      case PlanExcess::Kind::kNotInStructure:
        Tell(prefix + "]的BOM结构清单中，\n无[配件:" + excess->part_text + "]");
        break;
      case PlanExcess::Kind::kTooMuch:
        Tell(prefix + "][配件:" + excess->part_text + "]" + "[工艺:" + excess->process_text +
                 "]的实际生产量" + FormatNumber(excess->produced) + "大于需求量" +
                 FormatNumber(excess->required),
             kPromptTitle);
        break;
    }
    return false;
  } catch (const document::DataFailure& failure) {
    RaiseError("Check", failure.what());
  }
  return false;
}

bool SCCJD_S::HandOverWages(bool write) {
  const workreport::WageHandOver hand_over{
      *host_,
      sql_,
      browser_,
      guard(),
      progid(),
      current_id(),
      [this](const std::string& text) { Tell(text); },
      [this](const std::string& text) { RaiseErrorText(text, LogLevel::kError); }};
  return write ? workreport::ApproveWages(hand_over) : workreport::WithdrawWages(hand_over);
}

}  // namespace korvane
