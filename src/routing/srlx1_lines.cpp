// Entering the operations of a route: processes, workshops and work centres typed or picked
// (several processes at once), the sequence numbers of the rows, the user's permitted
// processes guarding edits and removals, removing an operation (a stored one at once), and
// copying another route's operations over the shown ones.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/line_grid.h"
#include "host/interfaces.h"
#include "routing/srlx1.h"
#include "values/variant.h"

namespace korvane {

using namespace routing;

namespace {

using document::CommaList;

struct CellLookup {
  int col;
  const char* picker;
  const char* query;
  const char* value_field;
  const char* text_field;
  const char* error;
};

constexpr CellLookup kCellLookups[] = {
    {kColProcess, "gy_sr",
     "select 编号,工艺名称,简称,工艺ID from PDMSr where 编号 = '@' or 工艺名称 = '@'", "工艺ID",
     "工艺名称", "工艺名称输入有误，请重新输入！"},
    {kColWorkshop, "gy_CJ",
     "Select 部门编码,部门名称,部门ID From PDMBM where 部门编码 = '@' or 部门名称 = '@'", "部门ID",
     "部门名称", "车间编码或名称输入有误，请重新输入！"},
    {kColWorkCentre, "gy_gzzx",
     "Select 工作中心代码,工作中心名称,工作中心ID From PDMGZZX where 工作中心代码='@' or "
     "工作中心名称='@'",
     "工作中心ID", "工作中心名称", "工作中心编码或名称输入有误，请重新输入！"},
};

const CellLookup* LookupOf(int col) {
  for (const CellLookup& lookup : kCellLookups) {
    if (lookup.col == col) return &lookup;
  }
  return nullptr;
}

controls::LookupDefinition Definition(const CellLookup& lookup) {
  controls::LookupDefinition definition;
  definition.picker_type = lookup.picker;
  definition.query = lookup.query;
  definition.value_field = lookup.value_field;
  definition.text_field = lookup.text_field;
  definition.error_text = lookup.error;
  return definition;
}

std::int32_t KeyOf(const controls::Grid& grid, int row, int col) {
  return static_cast<std::int32_t>(NumericValue(grid.CellKey(row, col).ToText()));
}

}  // namespace

void SRLX1::SetUpOperationEditing() {
  controls::Grid& grid = *grid_;
  // An operation of a process the user may not work on cannot be changed.
  grid.before_edit.Connect([this](int row, int, bool& cancel) {
    if (!filling_ && !RowPermitted(row)) cancel = true;
  });
  grid.validate_edit.Connect([this](int row, int col, bool& cancel) {
    if (filling_ || LookupOf(col) == nullptr) return;
    cancel = !guard().Run(
        "ValidateEdit", [&] { return CellTyped(row, col, grid_->edit_text()); }, false);
  });
  grid.after_edit.Connect([this](int row, int) {
    if (!filling_) LinesEdited(row);
  });
  grid.cell_button_click.Connect([this](int row, int col) {
    if (LookupOf(col) != nullptr) Guard("CellButton", [&] { return PickCell(row, col); });
  });
  // Delete on a row of an editable grid removes that operation.
  grid.key_down.Connect([this](int& key, int) {
    if (key != controls::keys::kDelete || !grid_->editable()) return;
    key = 0;
    DeleteOperation(grid_->row());
  });
}

bool SRLX1::RowPermitted(int row) const {
  if (row < grid_->fixed_rows() || row >= grid_->rows()) return true;
  return ProcessPermitted(permitted_, KeyOf(*grid_, row, kColProcess));
}

bool SRLX1::CellTyped(int row, int col, const std::string& typed) {
  const CellLookup& lookup = *LookupOf(col);
  if (Trim(typed).empty()) {
    grid_->SetCellKey(row, col, Variant());
    return true;
  }
  const std::optional<controls::LookupMatch> match =
      lookups_ ? lookups_->Resolve(Definition(lookup), typed) : std::nullopt;
  const auto id = match ? static_cast<std::int32_t>(NumericValue(match->value.ToText())) : 0;
  if (id <= 0) {
    Tell(lookup.error, kPromptTitle);
    return false;
  }
  if (col == kColProcess && !ProcessPermitted(permitted_, id)) {
    host_->dialogs().MessageBox(kNoPermission, MsgButtons::kOk, MsgIcon::kExclamation,
                                kPlainPromptTitle);
    return false;
  }
  grid_->SetCellKey(row, col, Variant(id));
  grid_->set_edit_text(match->text);
  if (col == kColProcess || col == kColWorkCentre) ShowStoredRates(row);
  return true;
}

bool SRLX1::PickCell(int row, int col) {
  if (!lookups_ || !grid_->editable()) return false;
  if (!RowPermitted(row)) return false;
  controls::LookupDefinition definition = Definition(*LookupOf(col));
  if (col == kColProcess) {
    // Several processes may be chosen at once; they fill this row and the next ones.
    definition.picker_type = "pdmsr";
    definition.query.clear();
    definition.parameters = {{"多选", Variant(1)}};
  }
  std::weak_ptr<SRLX1*> self = self_;
  return lookups_->Pick(definition, [self, row, col](std::optional<controls::LookupMatch> match) {
    const std::shared_ptr<SRLX1*> module = self.lock();
    if (!module || !match) return;
    SRLX1& m = **module;
    // The grid may have changed while the picker was open.
    if (!m.grid_->editable() || row < m.grid_->fixed_rows() || row >= m.grid_->rows()) return;
    m.Guard("Pick", [&] {
      if (col == kColProcess) {
        m.TakeProcesses(row, match->value.ToText(), match->text);
      } else {
        m.grid_->SetTextMatrix(row, col, match->text);
        m.grid_->SetCellKey(
            row, col, Variant(static_cast<std::int32_t>(NumericValue(match->value.ToText()))));
        if (col == kColWorkCentre) m.ShowStoredRates(row);
        m.LinesEdited(row);
      }
      return true;
    });
  });
}

void SRLX1::TakeProcesses(int row, const std::string& ids, const std::string& names) {
  const std::vector<std::string> id_list = CommaList(ids);
  const std::vector<std::string> name_list = CommaList(names);
  controls::Grid& grid = *grid_;
  int target = row;
  int last = row;
  bool first = true;
  for (std::size_t i = 0; i < id_list.size(); ++i) {
    const auto process = static_cast<std::int32_t>(NumericValue(id_list[i]));
    if (process <= 0) continue;
    if (!ProcessPermitted(permitted_, process)) {
      host_->dialogs().MessageBox(kNoPermission, MsgButtons::kOk, MsgIcon::kExclamation,
                                  kPlainPromptTitle);
      continue;
    }
    if (!first) {
      // Each further process goes to the next row below without a process.
      ++target;
      while (target < grid.rows() && !Trim(grid.TextMatrix(target, kColProcess)).empty()) {
        ++target;
      }
      if (target >= grid.rows()) grid.set_rows(target + 1);
    }
    first = false;
    filling_ = true;
    grid.SetTextMatrix(target, kColProcess, i < name_list.size() ? name_list[i] : std::string());
    grid.SetCellKey(target, kColProcess, Variant(process));
    filling_ = false;
    ShowStoredRates(target);
    last = target;
  }
  LinesEdited(last);
}

void SRLX1::ShowStoredRates(int row) {
  const auto product =
      static_cast<std::int32_t>(NumericValue(fields_[kFieldProduct]->value().ToText()));
  if (product <= 0 || KeyOf(*grid_, row, kColProcess) <= 0) return;
  const std::string wage = grid_->TextMatrix(row, kColWage);
  const std::string ratio = grid_->TextMatrix(row, kColRatio);
  const std::string price = grid_->TextMatrix(row, kColProcessPrice);
  filling_ = true;
  ShowRates(row, product);
  // Without a stored rate what the person typed stays.
  if (grid_->TextMatrix(row, kColWage).empty() && grid_->TextMatrix(row, kColRatio).empty() &&
      grid_->TextMatrix(row, kColProcessPrice).empty()) {
    grid_->SetTextMatrix(row, kColWage, wage);
    grid_->SetTextMatrix(row, kColRatio, ratio);
    grid_->SetTextMatrix(row, kColProcessPrice, price);
  }
  filling_ = false;
}

bool SRLX1::DeleteOperation(int row) {
  return Guard("DeleteOperation", [&] {
    if (row < grid_->fixed_rows() || row >= grid_->rows()) return false;
    if (!RowPermitted(row)) {
      host_->dialogs().MessageBox(kNoPermission, MsgButtons::kOk, MsgIcon::kExclamation,
                                  kPlainPromptTitle);
      return false;
    }
    if (host_->dialogs().MessageBox("是否删除当前行记录！", MsgButtons::kYesNo, MsgIcon::kQuestion,
                                    kPromptTitle) != MsgAnswer::kYes) {
      return false;
    }
    const auto operation_id =
        static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, kColOperationId)));
    if (operation_id > 0) {
      const std::string error = DeleteRouteOperation(Store(), operation_id);
      if (!error.empty()) {
        RaiseErrorText("删除数据时出错：" + error, LogLevel::kError);
        return false;
      }
    }
    grid_->RemoveItem(row);
    dirty_ = true;
    UnlockForEntry();
    return true;
  });
}

bool SRLX1::OpenRouteSelection() {
  if (!host_ || mode() == Mode::kBrowsing) return false;
  selection_ = std::make_unique<FrmSRLX>();
  FrmSRLX& form = *selection_;
  form.Message.Connect([this](const std::string& text) { RaiseMessage(text); });
  form.ErrMessage.Connect(
      [this](const std::string& text, LogLevel level, const std::string& title) {
        RaiseEvent([&](DocumentEvents& sink) { sink.ErrMessage(text, level, title); });
      });
  form.EvHasSelect.Connect([this](std::int32_t route_id, std::int32_t product_id) {
    Guard("mFrmSel_EvHasSelect", [&] {
      CopyRoute(route_id, product_id);
      return true;
    });
  });
  return form.py_Init(host_, progid());
}

void SRLX1::CopyRoute(std::int32_t route_id, std::int32_t product_id) {
  // A route chosen after the entry was left copies nothing.
  if (mode() == Mode::kBrowsing) return;
  controls::Grid& grid = *grid_;
  // The operations on screen give way at once, whatever the entry's end.
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    const auto operation_id =
        static_cast<std::int32_t>(NumericValue(grid.TextMatrix(r, kColOperationId)));
    if (operation_id <= 0) continue;
    const std::string error = DeleteRouteOperation(Store(), operation_id);
    if (!error.empty()) {
      RaiseErrorText("删除数据时出错：" + error, LogLevel::kError);
      return;
    }
  }
  grid.set_rows(grid.fixed_rows());
  std::unique_ptr<Recordset> operations = sql_.Rows(
      "SELECT A.*, B.工艺名称 AS 工艺名称,C.部门名称 AS 生产车间,D.工作中心名称 as 工作中心 FROM "
      "PDMSRLXMX A LEFT JOIN PDMSR B ON A.工艺ID=B.工艺ID LEFT JOIN PDMBM C ON A.部门ID=C.部门ID  "
      "LEFT JOIN PDMGZZX D ON A.工作中心ID=D.工作中心ID  WHERE A.SRLXID = " +
      std::to_string(route_id) + " ORDER BY A.顺序号");
  ShowOperations(*operations, product_id);
  // The copies are new operations of this route.
  filling_ = true;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) grid.SetTextMatrix(r, kColOperationId, "");
  filling_ = false;
  LinesEdited(grid.rows() - 1);
}

}  // namespace korvane
