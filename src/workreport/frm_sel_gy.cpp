// The employee allocation dialog of a work report line: filling, employee entry by lookup and
// by picker, the checks of the shares and the hand-back of the result.
#include "workreport/frm_sel_gy.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

#include "host/data_service.h"
#include "host/error_rule.h"
#include "host/form_state.h"
#include "host/shared_routines.h"

namespace korvane {

using namespace workreport::selgy;

namespace {

// Shares are typed as decimals; two that add up to 1 in decimal may miss it by the last bit
// in binary (0.33 + 0.67), which is not a difference a clerk made.
constexpr double kShareTolerance = 1e-9;

bool IsOne(double value) { return std::fabs(value - 1.0) < kShareTolerance; }

// The pieces of a ";"-separated list, trailing empty pieces dropped ("1;2;" has two).
std::vector<std::string> Pieces(std::string_view list, char separator) {
  std::vector<std::string> pieces = Split(list, separator);
  while (!pieces.empty() && Trim(pieces.back()).empty()) pieces.pop_back();
  return pieces;
}

std::string PieceAt(const std::vector<std::string>& pieces, std::size_t i) {
  return i < pieces.size() ? Trim(pieces[i]) : std::string();
}

std::int32_t IdOf(std::string_view text) {
  const double value = NumericValue(text);
  if (!(value >= 1) || value > 2147483647.0) return 0;
  return static_cast<std::int32_t>(value);
}

std::string RowText(int row) { return std::to_string(row); }

}  // namespace

FrmSelGy::FrmSelGy()
    : form_(std::string(kFormName)),
      guard_(document::ErrorGuard::Box({std::string(kFormName), "-->", "::", ""},
                                       [this] { return host_.get(); })) {
  SetUpForm();
  AttachWheel(wheel_, *grid_, scroll_rate_);
}

FrmSelGy::~FrmSelGy() {
  // A picker still open answers into nothing.
  *self_ = nullptr;
  // Dropped while shown: the host must let go of the form before it goes.
  if (shown_ && host_) host_->dialogs().FormClosed(form_);
}

std::string FrmSelGy::SettingsFileName() const {
  return std::to_string(progid_) + std::string(kFormName);
}

void FrmSelGy::SetUpForm() {
  form_.set_caption(std::string(kCaption));
  form_.SetInnerSize(5400, 4200);

  lbl_workshop_ = &form_.Add<controls::Label>("lblWorkshop");
  lbl_workshop_->set_geometry({120, 120, 3000, 255});

  chk_ = &form_.Add<controls::CheckBox>("chk");
  chk_->set_caption("多人共享一行");
  chk_->set_geometry({3240, 90, 2000, 300});

  grid_ = &form_.Add<controls::Grid>("Vs");
  grid_->set_geometry({120, 480, 5160, 3000});
  grid_->SetFormatString(kGridHeader);
  grid_->set_fixed_rows(1);
  grid_->set_fixed_cols(1);
  grid_->SetColWidth(kColRowNumber, 500);
  grid_->SetColWidth(kColEmployee, 1200);
  grid_->SetColWidth(kColName, 1500);
  grid_->SetColWidth(kColShare, 1000);
  // The allocation row id is for the work report's storage, not for the clerk.
  grid_->SetColWidth(kColAllocationId, 0);
  grid_->SetColAlignment(kColRowNumber, controls::grid_align::kCenterCenter);
  grid_->SetColAlignment(kColEmployee, controls::grid_align::kLeftCenter);
  grid_->SetColAlignment(kColName, controls::grid_align::kLeftCenter);
  grid_->SetColAlignment(kColShare, controls::grid_align::kRightCenter);
  grid_->SetColLocked(kColName, true);
  grid_->SetColLocked(kColAllocationId, true);
  grid_->set_editable(true);
  ResetGrid(kMinimumDataRows);

  cmd_ok_ = &form_.Add<controls::Button>("cmdOK");
  cmd_ok_->set_caption("确定(&O)");
  cmd_ok_->set_geometry({2760, 3660, 1100, 375});
  cmd_cancel_ = &form_.Add<controls::Button>("cmdCancel");
  cmd_cancel_->set_caption("取消(&U)");
  cmd_cancel_->set_geometry({4020, 3660, 1100, 375});

  grid_->validate_edit.Connect(
      [this](int row, int col, bool& cancel) { OnValidateEdit(row, col, cancel); });
  grid_->after_edit.Connect([this](int /*row*/, int /*col*/) { KeepFreeRow(); });
  grid_->cell_button_click.Connect([this](int row, int col) { OnCellButton(row, col); });
  grid_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != controls::keys::kInsert) return;
    key = 0;
    InsertCurrentRow();
  });
  cmd_ok_->click.Connect([this] { Confirm(); });
  cmd_cancel_->click.Connect([this] { Cancel(); });
}

void FrmSelGy::ResetGrid(int data_rows) {
  grid_->set_rows(grid_->fixed_rows());
  grid_->set_rows(grid_->fixed_rows() + data_rows);
  NumberRows();
}

void FrmSelGy::NumberRows() {
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    grid_->SetTextMatrix(r, kColRowNumber, RowText(r));
  }
}

bool FrmSelGy::HasEmployee(int row) const { return grid_->CellKey(row, kColEmployee).ToLong() > 0; }

void FrmSelGy::KeepFreeRow() {
  const int last = grid_->rows() - 1;
  if (last >= grid_->fixed_rows() && !HasEmployee(last) &&
      Trim(grid_->TextMatrix(last, kColEmployee)).empty()) {
    return;
  }
  grid_->set_rows(grid_->rows() + 1);
  NumberRows();
}

void FrmSelGy::SetEmployee(int row, std::int32_t id, const std::string& number,
                           const std::string& name) {
  grid_->SetCellKey(row, kColEmployee, Variant(static_cast<int>(id)));
  grid_->SetTextMatrix(row, kColEmployee, number);
  grid_->SetTextMatrix(row, kColName, name);
}

std::vector<std::pair<std::int32_t, FrmSelGy::Employee>> FrmSelGy::EmployeesById(
    const std::vector<std::int32_t>& ids) {
  std::vector<std::pair<std::int32_t, Employee>> found;
  std::string list;
  for (const std::int32_t id : ids) {
    if (id > 0) list += (list.empty() ? "" : ",") + std::to_string(id);
  }
  if (list.empty()) return found;
  std::shared_ptr<DataService> data = host_ ? host_->Data() : nullptr;
  if (!data) throw std::runtime_error("the host offers no data service");
  std::unique_ptr<Recordset> rows =
      data->OpenSql("select 雇员ID,雇员编号,姓名 from pdmgy where 雇员ID in (" + list + ")");
  if (!rows) throw std::runtime_error(data->LastError());
  for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
    found.emplace_back(rows->Value("雇员ID").ToLong(),
                       Employee{rows->Value("雇员编号").ToText(), rows->Value("姓名").ToText()});
  }
  return found;
}

bool FrmSelGy::py_Init(std::string_view employee_ids, std::string_view names,
                       std::string_view shares, std::string_view allocation_ids,
                       std::shared_ptr<HostContext> host, std::int32_t progid,
                       std::string_view workshop) {
  if (!host) return false;
  host_ = std::move(host);
  progid_ = progid;
  workshop_ = Trim(workshop);
  return Guard("py_Init", [&] {
    const std::vector<std::string> id_list = Pieces(employee_ids, ';');
    const std::vector<std::string> name_list = Split(names, ';');
    const std::vector<std::string> share_list = Split(shares, ';');
    const std::vector<std::string> allocation_list = Split(allocation_ids, ';');

    std::vector<std::int32_t> ids;
    for (const std::string& piece : id_list) ids.push_back(IdOf(piece));
    const auto known = EmployeesById(ids);
    const auto number_of = [&](std::int32_t id) {
      const auto it = std::find_if(known.begin(), known.end(),
                                   [id](const auto& entry) { return entry.first == id; });
      return it == known.end() ? std::string() : it->second.number;
    };

    ResetGrid(std::max(static_cast<int>(ids.size()) + 1, kMinimumDataRows));
    int row = grid_->fixed_rows();
    int listed = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (ids[i] <= 0) continue;
      SetEmployee(row, ids[i], number_of(ids[i]), PieceAt(name_list, i));
      grid_->SetTextMatrix(row, kColShare, PieceAt(share_list, i));
      const std::int32_t allocation = IdOf(PieceAt(allocation_list, i));
      grid_->SetTextMatrix(row, kColAllocationId,
                           allocation > 0 ? std::to_string(allocation) : std::string());
      ++row;
      ++listed;
    }
    KeepFreeRow();
    chk_->set_value(listed >= 2 ? 1 : 0);
    lbl_workshop_->set_caption(workshop_);
    scroll_rate_ = ScrollRateFromSetting(host_->Setting("mouseeventscrollrate"));
    RestoreFormState(SettingsFileName(), form_, true, *host_);
    grid_->set_top_row(grid_->fixed_rows());
    grid_->Select(grid_->fixed_rows(), kColEmployee);
    shown_ = true;
    ++session_;
    host_->dialogs().FormShown(form_);
    return true;
  });
}

void FrmSelGy::OnValidateEdit(int row, int col, bool& cancel) {
  if (col != kColEmployee) return;
  if (!shown_ || !host_) {
    cancel = true;
    return;
  }
  const bool ok = Guard("Vs_ValidateEdit", [&] {
    const std::string typed = Trim(grid_->edit_text());
    if (typed.empty()) {
      // Clearing the number takes the employee off the row.
      grid_->SetCellKey(row, kColEmployee, Variant());
      grid_->SetTextMatrix(row, kColName, "");
      grid_->set_edit_text("");
      return true;
    }
    std::optional<controls::LookupMatch> match;
    if (const std::shared_ptr<controls::LookupResolver> lookups =
            host_ ? host_->Lookups() : nullptr) {
      const controls::LookupDefinition definition{"pdmgy", std::string(kEmployeeQuery), "雇员ID",
                                                  "姓名",  std::string(kEmployeeError), {}};
      match = lookups->Resolve(definition, typed);
    }
    const std::int32_t id = match ? IdOf(match->value.ToText()) : 0;
    if (id <= 0) {
      host_->dialogs().MessageBox(kEmployeeError, MsgButtons::kOk, MsgIcon::kExclamation,
                                  kMessageTitle);
      return false;
    }
    // The lookup may have matched the name: the column shows the number either way.
    const auto known = EmployeesById({id});
    const std::string number = known.empty() ? typed : known.front().second.number;
    grid_->SetCellKey(row, kColEmployee, Variant(static_cast<int>(id)));
    grid_->SetTextMatrix(row, kColName, match->text);
    grid_->set_edit_text(number);
    return true;
  });
  if (!ok) cancel = true;
}

void FrmSelGy::OnCellButton(int row, int col) {
  if (col != kColEmployee || !shown_ || !host_) return;
  Guard("Vs_CellButtonClick", [&] {
    const std::shared_ptr<controls::LookupResolver> lookups = host_->Lookups();
    if (!lookups) return false;
    const controls::LookupDefinition definition{
        "pdmgy",
        "",
        "雇员ID",
        "姓名",
        std::string(kEmployeeError),
        {{"部门名称", Variant(workshop_)}, {"多选", Variant(1)}}};
    const std::weak_ptr<FrmSelGy*> self = self_;
    const int session = session_;
    return lookups->Pick(definition, [self, session, row](std::optional<controls::LookupMatch> m) {
      const std::shared_ptr<FrmSelGy*> alive = self.lock();
      if (!alive || *alive == nullptr || !m) return;
      FrmSelGy& dialog = **alive;
      if (!dialog.shown_ || dialog.session_ != session) return;
      dialog.Guard("Vs_CellButtonClick", [&] {
        dialog.TakePicked(row, *m);
        return true;
      });
    });
  });
}

void FrmSelGy::TakePicked(int row, const controls::LookupMatch& match) {
  if (row < grid_->fixed_rows() || row >= grid_->rows()) return;
  const std::vector<std::string> id_list = Pieces(match.value.ToText(), ',');
  const std::vector<std::string> name_list = Split(match.text, ',');
  std::vector<std::int32_t> ids;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < id_list.size(); ++i) {
    const std::int32_t id = IdOf(id_list[i]);
    if (id <= 0) continue;
    ids.push_back(id);
    names.push_back(PieceAt(name_list, i));
  }
  if (ids.empty()) return;
  const auto known = EmployeesById(ids);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const int target = row + static_cast<int>(i);
    // Further employees get rows of their own, so the rows below keep theirs.
    if (i > 0) grid_->AddItem("", target);
    const auto it = std::find_if(known.begin(), known.end(),
                                 [&](const auto& entry) { return entry.first == ids[i]; });
    if (it == known.end()) {
      SetEmployee(target, ids[i], "", names[i]);
    } else {
      SetEmployee(target, ids[i], it->second.number, it->second.name);
    }
  }
  NumberRows();
  KeepFreeRow();
}

bool FrmSelGy::InsertCurrentRow() {
  if (!shown_) return false;
  return Guard("InsertCurrentRow", [&] {
    const int row = std::max(grid_->row(), grid_->fixed_rows());
    grid_->AddItem("", std::min(row, grid_->rows()));
    NumberRows();
    grid_->Select(row, kColEmployee);
    return true;
  });
}

void FrmSelGy::Refuse(const std::string& text, int row, int col) {
  host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kExclamation, kMessageTitle);
  grid_->set_top_row(row);
  grid_->Select(row, col);
}

bool FrmSelGy::SharesAreValid() {
  std::vector<int> rows;
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (HasEmployee(r)) rows.push_back(r);
  }
  const auto share = [&](int r) { return NumericValue(grid_->TextMatrix(r, kColShare)); };

  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int r = rows[i];
    const std::int32_t id = grid_->CellKey(r, kColEmployee).ToLong();
    for (std::size_t j = i + 1; j < rows.size(); ++j) {
      if (grid_->CellKey(rows[j], kColEmployee).ToLong() == id) {
        Refuse("第" + RowText(r) + "行员工与第" + RowText(rows[j]) + "行重复,请重新选择！", r,
               kColEmployee);
        return false;
      }
    }
    if (!(share(r) > 0)) {
      Refuse("第" + RowText(r) + "行分配比例为零，请重新输入！", r, kColShare);
      return false;
    }
  }

  if (rows.empty()) {
    host_->dialogs().MessageBox("无员工数据，请选择！", MsgButtons::kOk, MsgIcon::kExclamation,
                                kMessageTitle);
    return false;
  }

  if (!chk_->ticked() || rows.size() == 1) {
    for (const int r : rows) {
      if (!IsOne(share(r))) {
        Refuse("第" + RowText(r) + "行分配比例必须等于1，请重新输入！", r, kColShare);
        return false;
      }
    }
    return true;
  }

  // Shared line: the employees pair up in row order (1st with 2nd, 3rd with 4th, ...); a last
  // one without a partner is only held to the share below 1.
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int r = rows[i];
    if (share(r) >= 1 || IsOne(share(r))) {
      Refuse("第" + RowText(r) + "行分配比例必须小于1，请重新输入！", r, kColShare);
      return false;
    }
    if (i % 2 == 1 && !IsOne(share(rows[i - 1]) + share(r))) {
      const MsgAnswer answer = host_->dialogs().MessageBox(
          "第" + RowText(r) + "行与上一行分配比例之和不等于1，是否正确?", MsgButtons::kYesNo,
          MsgIcon::kQuestion, kMessageTitle);
      if (answer != MsgAnswer::kYes) {
        grid_->set_top_row(r);
        grid_->Select(r, kColShare);
        return false;
      }
    }
  }
  return true;
}

VariantArray FrmSelGy::Result() const {
  std::vector<int> rows;
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (HasEmployee(r)) rows.push_back(r);
  }
  VariantArray result(kResultRows, static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int r = rows[i];
    const int c = static_cast<int>(i);
    result.at(kResultEmployeeId, c) = Variant(grid_->CellKey(r, kColEmployee).ToLong());
    result.at(kResultName, c) = Variant(grid_->TextMatrix(r, kColName));
    result.at(kResultShare, c) = Variant(NumericValue(grid_->TextMatrix(r, kColShare)));
    const std::int32_t allocation = IdOf(grid_->TextMatrix(r, kColAllocationId));
    if (allocation > 0) result.at(kResultAllocationId, c) = Variant(allocation);
  }
  return result;
}

void FrmSelGy::SaveWidths() {
  if (host_) SaveFormState(SettingsFileName(), form_, true, *host_);
}

void FrmSelGy::Close() {
  SaveWidths();
  shown_ = false;
  ++session_;
  // The host drops the form here and the owner may drop this object: nothing of it is touched
  // after this call.
  host_->dialogs().FormClosed(form_);
}

bool FrmSelGy::Confirm() {
  if (!shown_ || !host_) return false;
  VariantArray result;
  bool shared = false;
  const bool valid = Guard("cmdOK_Click", [&] {
    if (!SharesAreValid()) return false;
    result = Result();
    shared = chk_->ticked();
    return true;
  });
  if (!valid) return false;
  // The handlers are copied first: the owner may drop this object in one of them.
  const controls::Event<const VariantArray&, bool> event = EvHasLoad;
  Close();
  event(result, shared);
  return true;
}

void FrmSelGy::Cancel() {
  if (!shown_ || !host_) return;
  Close();
}

}  // namespace korvane
