// Entering the lines of a master plan: the product through the product picker with its name,
// model, unit and stock, and removing lines.
#include <memory>
#include <optional>
#include <string>

#include "host/interfaces.h"
#include "planning/plan2.h"

namespace korvane {

using namespace planning;

void plan2::SetUpLineEditing() {
  grid_->validate_edit.Connect([this](int row, int col, bool& cancel) {
    if (filling_ || col != kColProductCode) return;
    bool accepted = false;
    Guard("ValidateEdit", [&] {
      accepted = ProductTyped(row, grid_->edit_text());
      return true;
    });
    if (!accepted) cancel = true;
  });
  grid_->after_edit.Connect([this](int row, int /*col*/) {
    if (filling_) return;
    dirty_ = true;
    if (row == grid_->rows() - 1 && RowInUse(row)) UnlockForEntry();
  });
  grid_->cell_button_click.Connect([this](int row, int col) {
    if (col == kColProductCode) Guard("CellButton", [&] { return PickProduct(row); });
  });
  grid_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != controls::keys::kDelete || !grid_->editable()) return;
    DeleteLine(grid_->row());
    key = 0;
  });
}

controls::LookupDefinition plan2::ProductLookup() const {
  controls::LookupDefinition definition;
  definition.picker_type = "pdmcpml";
  definition.value_field = "产品ID";
  definition.text_field = "物品编码";
  definition.error_text = std::string(kProductError);
  return definition;
}

bool plan2::ProductTyped(int row, const std::string& typed) {
  if (Trim(typed).empty()) {
    for (int col : {kColProductCode, kColProductName, kColModel, kColUnit, kColStock,
                    kColMinimumStock, kColProductId}) {
      grid_->SetTextMatrix(row, col, "");
    }
    grid_->SetCellKey(row, kColProductCode, Variant());
    return true;
  }
  const std::optional<controls::LookupMatch> match =
      lookups_ ? lookups_->Resolve(ProductLookup(), typed) : std::nullopt;
  if (!match || Trim(match->value.ToText()).empty()) {
    Tell(std::string(kProductError), MsgIcon::kExclamation);
    return false;
  }
  TakeProduct(row, *match);
  grid_->set_edit_text(grid_->TextMatrix(row, kColProductCode));
  return true;
}

bool plan2::PickProduct(int row) {
  if (!lookups_ || !grid_->editable()) return false;
  std::weak_ptr<plan2*> self = self_;
  return lookups_->Pick(ProductLookup(), [self, row](std::optional<controls::LookupMatch> match) {
    const std::shared_ptr<plan2*> module = self.lock();
    if (!module || !match || Trim(match->value.ToText()).empty()) return;
    plan2& m = **module;
    // The row may have gone while the picker was open; the grid must still be editable.
    if (!m.grid_->editable() || row < m.grid_->fixed_rows() || row >= m.grid_->rows()) return;
    m.Guard("Pick", [&] {
      m.TakeProduct(row, *match);
      m.dirty_ = true;
      if (row == m.grid_->rows() - 1) m.UnlockForEntry();
      return true;
    });
  });
}

void plan2::TakeProduct(int row, const controls::LookupMatch& match) {
  const auto record = std::dynamic_pointer_cast<PropertyBag>(match.record);
  const auto property = [&](std::string_view name) {
    return record ? record->Get(name).ToText() : std::string();
  };
  const Variant product(static_cast<std::int32_t>(NumericValue(match.value.ToText())));
  grid_->SetTextMatrix(row, kColProductCode, match.text);
  grid_->SetCellKey(row, kColProductCode, product);
  grid_->SetTextMatrix(row, kColProductId, product.ToText());
  grid_->SetTextMatrix(row, kColProductName, property("s物品名称"));
  grid_->SetTextMatrix(row, kColModel, property("s规格"));
  grid_->SetTextMatrix(row, kColUnit, property("n_s库存单位"));
  RefreshStock(row);
  dirty_ = true;
}

void plan2::RefreshStock(int row) {
  const auto product =
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, kColProductId)));
  if (stock_) {
    const std::optional<double> quantity =
        stock_->Quantity(product, 0, "", NumericValue(host_->Setting(1)), 0, 0);
    if (quantity) grid_->SetTextMatrix(row, kColStock, FormatNumber(*quantity));
  }
  const Variant limit =
      sql_.Scalar("select 短缺限额 from pdmcpml where 产品ID=" + std::to_string(product));
  grid_->SetTextMatrix(row, kColMinimumStock, FormatNumber(limit.ToDouble()));
}

bool plan2::DeleteLine(int row) {
  return Guard("DeleteMx", [&] {
    if (row < grid_->fixed_rows() || row >= grid_->rows()) return false;
    const double line_id = NumericValue(grid_->TextMatrix(row, kColLineId));
    RaiseErrorText("删除:" + FormatNumber(line_id), LogLevel::kAudit);
    deleted_.Add(line_id);
    RaiseErrorText("删除:" + deleted_.text(), LogLevel::kInformation);
    grid_->RemoveItem(row);
    dirty_ = true;
    if (grid_->editable()) UnlockForEntry();
    return true;
  });
}

}  // namespace korvane
