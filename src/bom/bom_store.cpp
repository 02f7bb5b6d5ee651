// Starting, editing, validating, storing and deleting structures. The statements are the
// structure store's; here the form is checked and turned into a snapshot, the cycle check is
// handed over, and the person is asked and told.
#include <exception>
#include <memory>
#include <string>

#include "bom/bom.h"
#include "bom/bom_is_safe.h"
#include "bom/bom_structure_store.h"
#include "values/variant.h"

namespace korvane {

using namespace bom;

namespace {

// A column the user's layout hides holds nothing the save may take.
bool Hidden(const controls::Grid& grid, int col) {
  return grid.ColHidden(col) || grid.ColWidth(col) <= 0;
}

}  // namespace

// --- Modes ----------------------------------------------------------------------------------

bool Bom::FileNew() {
  return Guard("FileNew", [&] {
    if (!host_ || !browser_.started()) return false;
    if (!ProductChosen("无选择项目,不能进行新增", "没有选择产品，不能新增！")) return false;
    browser_.set_current_id(0);
    set_mode(Mode::kNew);
    UnlockForEntry();
    filling_ = true;
    if (Trim(fields_[kFieldProduct]->text()).empty()) {
      std::unique_ptr<Recordset> product = sql_.Rows(
          "select 物品编码,物品名称,规格,库存单位,图号,产品ID FROM pdmcpml where 产品ID=" +
          std::to_string(products_.SelectedProduct()));
      if (product->RecordCount() > 0) {
        product->MoveFirst();
        fields_[kFieldProduct]->set_text(Trim((*product)["物品编码"].ToText()));
        fields_[kFieldProduct]->set_value((*product)["产品ID"]);
        fields_[kFieldName]->set_text(Trim((*product)["物品名称"].ToText()));
        fields_[kFieldUnit]->set_text(Trim((*product)["库存单位"].ToText()));
        fields_[kFieldDrawing]->set_text(Trim((*product)["图号"].ToText()));
      }
    }
    controls::Grid& grid = *grid_;
    if (chk_->ticked()) {
      // The lines shown become the lines of the new structure.
      for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
        grid.SetTextMatrix(r, kColLineId, "-1");
      }
    } else {
      grid.set_rows(grid.fixed_rows());
      UnlockForEntry();
    }
    fields_[kFieldBatch]->set_text("1");
    fields_[kFieldDate]->set_text(FormatDate(host_->User().business_date));
    filling_ = false;
    record_label_->set_caption("新建记录...");
    dirty_ = false;
    return true;
  });
}

bool Bom::FileEdit() {
  return Guard("FileEdit", [&] {
    if (!host_ || !browser_.started()) return false;
    if (!ProductChosen("无选择项目,不能进行编辑", "没有选择产品的BOM项目，不能修改！",
                       "没有选择产品的BOM项目，请先新建！")) {
      return false;
    }
    set_mode(Mode::kEditing);
    UnlockForEntry();
    dirty_ = false;
    record_label_->set_caption("修改记录...");
    return true;
  });
}

// --- Saving ---------------------------------------------------------------------------------

void Bom::Refuse(const std::string& text, int row, int col) {
  Tell(text, kPromptTitle);
  grid_->Select(row, col);
  grid_->ShowCell(row, col);
}

bool Bom::Cansave() {
  try {
    // The fields have told the person what they could not take.
    for (controls::LookupField* field : fields_) {
      if (field->enabled() && !field->Validate()) return false;
    }
    if (Trim(fields_[kFieldProduct]->text()).empty()) {
      Tell("没有具体的主件名称,请录入!", kPromptTitle);
      fields_[kFieldProduct]->SetFocus();
      return false;
    }
    const controls::Grid& grid = *grid_;
    bool any = false;
    for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
      const std::string code = Trim(grid.TextMatrix(r, kColCode));
      if (code.empty()) continue;
      any = true;
      const std::string row = std::to_string(r);
      if (Trim(grid.TextMatrix(r, kColSequence)).empty()) {
        Refuse("第" + row + "行的行顺序号不能为空，请输入后再试", r, kColSequence);
        return false;
      }
      if (NumericValue(grid.TextMatrix(r, kColQuantity)) == 0) {
        Refuse("第" + row + "行组成量不能为0", r, kColQuantity);
        return false;
      }
      if (NumericValue(grid.TextMatrix(r, kColBase)) == 0) {
        Refuse("第" + row + "行底数不能为0", r, kColBase);
        return false;
      }
      const int again = grid.FindRow(code, r + 1, kColCode);
      if (again > 0) {
        Refuse("第" + row + "行子件编号与第" + std::to_string(again) + "行重复", r, kColCode);
        return false;
      }
    }
    if (!any) {
      Tell("表体内无记录，不能保存！", kPromptTitle);
      grid_->SetFocus();
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    RaiseErrorText("Cansave中出错，原因：" + std::string(e.what()), LogLevel::kError);
    return false;
  }
}

StructureSnapshot Bom::Snapshot() const {
  StructureSnapshot structure;
  StructureHeader& h = structure.header;
  h.id = current_id();
  h.product = static_cast<std::int32_t>(NumericValue(fields_[kFieldProduct]->value().ToText()));
  h.name = fields_[kFieldName]->text();
  h.batch = NumericValue(fields_[kFieldBatch]->text());
  h.date = fields_[kFieldDate]->text();
  h.note = fields_[kFieldNote]->text();
  h.preparer = host_->User().user_name;

  const controls::Grid& grid = *grid_;
  // With the actual quantities hidden the composition quantity and base stand for them.
  const bool own_actual_quantity = !Hidden(grid, kColActualQuantity);
  const bool own_actual_base = !Hidden(grid, kColActualBase);
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    StructureLine line;
    line.sequence = grid.TextMatrix(r, kColSequence);
    line.component = static_cast<std::int32_t>(NumericValue(grid.CellKey(r, kColCode).ToText()));
    // A sequence number alone is no line.
    if (Trim(line.sequence).empty() || line.component <= 0) continue;
    const auto number = [&](int col) { return NumericValue(grid.TextMatrix(r, col)); };
    line.line_id = static_cast<std::int32_t>(number(kColLineId));
    line.code = grid.TextMatrix(r, kColCode);
    line.quantity = number(kColQuantity);
    line.base = number(kColBase);
    line.loss = number(kColLoss);
    line.actual_quantity = own_actual_quantity ? number(kColActualQuantity) : line.quantity;
    line.actual_base = own_actual_base ? number(kColActualBase) : line.base;
    line.auxiliary = number(kColAuxiliary);
    line.option = grid.TextMatrix(r, kColOption);
    line.note = grid.TextMatrix(r, kColNote);
    structure.lines.push_back(std::move(line));
  }
  return structure;
}

bool Bom::FileSave() {
  return Guard("FileSave", [&] {
    if (!host_ || !browser_.started() || mode() == Mode::kBrowsing) return false;
    if (!Cansave()) return false;
    const bool is_new = current_id() <= 0;
    const StructureSnapshot structure = Snapshot();
    const CycleCheck is_safe = [this](std::int32_t line, std::int32_t parent,
                                      std::int32_t component) {
      return mBOMIsSafe::IsDataSafe(line, parent, component, "", sql_.service(), host_->dialogs());
    };
    StructureSaveResult result;
    try {
      result = SaveStructure({*host_, sql_, browser_, guard(), progid()}, structure, is_safe);
    } catch (const std::exception& e) {
      const std::string text = "save中出错，原因：" + std::string(e.what());
      RaiseEvent([&](DocumentEvents& sink) {
        sink.ErrMessage(text, LogLevel::kError, std::string(kTitle));
      });
      return false;
    }
    if (result.outcome == StructureOutcome::kNested) {
      Tell("出现BOM结构嵌套" + result.nested_code + "，请检查!", kPromptTitle);
      return false;
    }
    if (result.outcome != StructureOutcome::kSaved) {
      if (!result.error.empty()) {
        const std::string text = "数据库操作错误，原因：" + result.error;
        RaiseEvent([&](DocumentEvents& sink) {
          sink.ErrMessage(text, LogLevel::kError, std::string(kTitle));
        });
      }
      return false;
    }
    Stored(result.id, is_new);
    return true;
  });
}

// --- Deleting -------------------------------------------------------------------------------

bool Bom::FileDelete() {
  return Guard("FileDelete", [&] {
    if (!host_ || !browser_.started()) return false;
    // The delete is refused with the box of an edit when nothing is chosen.
    if (!ProductChosen("无选择项目,不能进行编辑", "没有选择产品的BOM项目，不能删除！",
                       "没有选择产品的BOM项目，不能删除！")) {
      return false;
    }
    controls::TreeNode* node = DeletionConfirmed(MsgIcon::kExclamation);
    if (node == nullptr) return false;
    std::string error;
    if (!DeleteStructure({*host_, sql_, browser_, guard(), progid()}, current_id(), error)) {
      if (!error.empty()) RaiseErrorText("删除数据时出错：" + error, LogLevel::kError);
      return false;
    }
    Deleted(*node);
    RaiseMessage("删除BOM记录成功");
    RaiseErrorText("删除BOM成功", LogLevel::kInformation);
    return true;
  });
}

}  // namespace korvane
