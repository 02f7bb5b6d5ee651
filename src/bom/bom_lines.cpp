// Entering the lines of a structure: components typed or picked (several at once) with their
// names, models, units and drawing numbers, the sequence numbers of the rows, and the
// removal of a line, which deletes a stored one at once.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bom/bom.h"
#include "host/interfaces.h"
#include "values/variant.h"

namespace korvane {

using namespace bom;

using document::CommaList;

void Bom::SetUpLineEditing() {
  controls::Grid& grid = *grid_;
  // A component code typed into its cell must name a material.
  grid.validate_edit.Connect([this](int row, int col, bool& cancel) {
    if (filling_ || col != kColCode) return;
    cancel = !guard().Run(
        "ValidateEdit", [&] { return ComponentTyped(row, grid_->edit_text()); }, false);
  });
  grid.after_edit.Connect([this](int row, int) {
    if (!filling_) LinesEdited(row);
  });
  grid.cell_button_click.Connect([this](int row, int col) {
    if (col == kColCode) Guard("CellButton", [&] { return PickComponents(row); });
  });
  // Delete on a row of an editable grid removes that line.
  grid.key_down.Connect([this](int& key, int) {
    if (key != controls::keys::kDelete || !grid_->editable()) return;
    key = 0;
    DeleteLine(grid_->row());
  });
}

controls::LookupDefinition Bom::ComponentLookup() const {
  controls::LookupDefinition definition;
  definition.picker_type = "pdmcpml";
  definition.value_field = "产品ID";
  definition.text_field = "物品编码";
  definition.error_text = std::string(kPickError);
  // Components are materials of these inventory accounts only.
  definition.parameters = {{"多选", Variant(1)},
                           {"材料科目编号", Variant(std::string("1211','1221','1232','1241"))}};
  return definition;
}

bool Bom::ComponentTyped(int row, const std::string& typed) {
  if (Trim(typed).empty()) {
    for (int col = kColCode; col <= kColDrawing; ++col) grid_->SetTextMatrix(row, col, "");
    grid_->SetCellKey(row, kColCode, Variant());
    return true;
  }
  const std::optional<controls::LookupMatch> match =
      lookups_ ? lookups_->Resolve(ComponentLookup(), typed) : std::nullopt;
  const auto product = match ? static_cast<std::int32_t>(NumericValue(match->value.ToText())) : 0;
  if (product <= 0) {
    Tell(std::string(kPickError), kPromptTitle);
    return false;
  }
  FillComponent(row, product, match->text);
  grid_->set_edit_text(grid_->TextMatrix(row, kColCode));
  return true;
}

bool Bom::PickComponents(int row) {
  if (!lookups_ || !grid_->editable()) return false;
  std::weak_ptr<Bom*> self = self_;
  return lookups_->Pick(ComponentLookup(), [self, row](std::optional<controls::LookupMatch> match) {
    const std::shared_ptr<Bom*> module = self.lock();
    if (!module || !match) return;
    Bom& m = **module;
    // The grid may have changed while the picker was open.
    if (!m.grid_->editable() || row < m.grid_->fixed_rows() || row >= m.grid_->rows()) return;
    m.Guard("Pick", [&] {
      m.TakeComponents(row, match->value.ToText(), match->text);
      return true;
    });
  });
}

void Bom::TakeComponents(int row, const std::string& ids, const std::string& codes) {
  const std::vector<std::string> id_list = CommaList(ids);
  const std::vector<std::string> code_list = CommaList(codes);
  controls::Grid& grid = *grid_;
  int target = row;
  int last = row;
  for (std::size_t i = 0; i < id_list.size(); ++i) {
    const auto product = static_cast<std::int32_t>(NumericValue(id_list[i]));
    if (product <= 0) continue;
    if (i > 0) {
      // Each further product goes to the next row below without a component.
      ++target;
      while (target < grid.rows() && !Trim(grid.TextMatrix(target, kColCode)).empty()) ++target;
      if (target >= grid.rows()) {
        grid.set_rows(target + 1);
        PaintRow(target);
      }
    }
    FillComponent(target, product, i < code_list.size() ? code_list[i] : std::string());
    last = target;
  }
  LinesEdited(last);
}

void Bom::FillComponent(int row, std::int32_t product, const std::string& code) {
  controls::Grid& grid = *grid_;
  std::unique_ptr<Recordset> found = sql_.Rows(
      "select 物品名称,规格,库存单位,图号 from pdmcpml where 产品ID=" + std::to_string(product));
  filling_ = true;
  grid.SetTextMatrix(row, kColCode, code);
  grid.SetCellKey(row, kColCode, Variant(product));
  if (found->RecordCount() > 0) {
    found->MoveFirst();
    grid.SetTextMatrix(row, kColName, Trim((*found)["物品名称"].ToText()));
    grid.SetTextMatrix(row, kColModel, Trim((*found)["规格"].ToText()));
    grid.SetTextMatrix(row, kColUnit, Trim((*found)["库存单位"].ToText()));
    grid.SetTextMatrix(row, kColDrawing, Trim((*found)["图号"].ToText()));
  }
  // A new component is used once per parent until the person says otherwise.
  for (int col : {kColBase, kColQuantity}) {
    if (NumericValue(grid.TextMatrix(row, col)) == 0) grid.SetTextMatrix(row, col, "1");
  }
  filling_ = false;
  PaintRow(row);
  dirty_ = true;
}

bool Bom::DeleteLine(int row) {
  return Guard("DeleteLine", [&] {
    if (row < grid_->fixed_rows() || row >= grid_->rows()) return false;
    const auto line_id =
        static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, kColLineId)));
    if (line_id > 0) {
      if (host_->dialogs().MessageBox("是否删除当前行记录！", MsgButtons::kYesNo,
                                      MsgIcon::kQuestion, kPromptTitle) != MsgAnswer::kYes) {
        return false;
      }
      const std::string error =
          bom::DeleteStructureLine({*host_, sql_, browser_, guard(), progid()}, line_id);
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

}  // namespace korvane
