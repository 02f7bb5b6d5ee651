// Starting, editing, validating, storing and deleting routes. The statements are the route
// store's; here the form is checked and turned into a snapshot, and the person is asked and
// told.
#include <exception>
#include <memory>
#include <string>

#include "routing/route_store.h"
#include "routing/srlx1.h"
#include "values/variant.h"

namespace korvane {

using namespace routing;

document::DocumentStore SRLX1::Store() { return {*host_, sql_, browser_, guard(), progid()}; }

// --- Modes ----------------------------------------------------------------------------------

bool SRLX1::FileNew() {
  return Guard("FileNew", [&] {
    if (!host_ || !browser_.started()) return false;
    if (!ProductChosen("无选择项目,不能进行新增", "没有选择产品，不能新增！")) return false;
    browser_.set_current_id(0);
    set_mode(Mode::kNew);
    filling_ = true;
    ResetFields(fields_, false);
    for (int i = kChkStandard; i <= kChkCritical; ++i) {
      chk_[static_cast<std::size_t>(i)]->set_value(0);
    }
    record_label_->set_caption("记录：0/0");
    controls::Grid& grid = *grid_;
    if (chk_[kChkReuse]->ticked()) {
      // The operations shown become the operations of the new route.
      for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
        grid.SetTextMatrix(r, kColOperationId, "");
      }
    } else {
      grid.set_rows(grid.fixed_rows());
    }
    std::unique_ptr<Recordset> product =
        sql_.Rows("select 物品编码,物品名称,规格,库存单位,产品ID FROM pdmcpml where 产品ID=" +
                  std::to_string(products_.SelectedProduct()));
    if (product->RecordCount() > 0) {
      product->MoveFirst();
      fields_[kFieldProduct]->set_text(Trim((*product)["物品编码"].ToText()));
      fields_[kFieldProduct]->set_value((*product)["产品ID"]);
      fields_[kFieldProductName]->set_text(Trim((*product)["物品名称"].ToText()));
      name_label_->set_caption(Trim((*product)["规格"].ToText()) + "  " +
                               Trim((*product)["库存单位"].ToText()));
    }
    chk_[kChkStandard]->set_value(1);
    filling_ = false;
    UnlockForEntry();
    dirty_ = false;
    return true;
  });
}

bool SRLX1::FileEdit() {
  return Guard("FileEdit", [&] {
    if (!host_ || !browser_.started()) return false;
    if (!ProductChosen("无选择项目,不能进行编辑", {}, "没有选择产品的工艺路线，不能修改！")) {
      return false;
    }
    set_mode(Mode::kEditing);
    UnlockForEntry();
    dirty_ = false;
    return true;
  });
}

// --- Saving ---------------------------------------------------------------------------------

bool SRLX1::Cansave() {
  try {
    for (controls::LookupField* field : fields_) {
      if (field->enabled() && !field->Validate()) return false;
    }
    if (Trim(fields_[kFieldProduct]->text()).empty()) {
      Tell("没有具体的产品,请录入!", kPromptTitle);
      fields_[kFieldProduct]->SetFocus();
      return false;
    }
    const std::string name = Trim(fields_[kFieldName]->text());
    if (name.empty()) {
      Tell("工艺路线名称不能为空，请输入后重试!", kPromptTitle);
      fields_[kFieldName]->SetFocus();
      return false;
    }
    const std::string product =
        FormatNumber(NumericValue(fields_[kFieldProduct]->value().ToText()));
    // A route stored before may keep its own name.
    const Variant same_name =
        current_id() <= 0
            ? sql_.Scalar(" Select count(*) From PDMsrlx Where 产品ID=" + product +
                          " AND 路线名称=" + SqlQuote(name))
            : sql_.Scalar(" Select * From PDMsrlx Where ID<>" + std::to_string(current_id()) +
                          " and 产品ID=" + product + " AND 路线名称=" + SqlQuote(name));
    if (same_name.ToDouble() > 0) {
      Tell("同一产品下的路线名称重复,请检查后重试!", kPromptTitle);
      fields_[kFieldName]->SetFocus();
      return false;
    }
    const controls::Grid& grid = *grid_;
    bool any = false;
    for (int r = grid.fixed_rows(); r < grid.rows() && !any; ++r) {
      any = !Trim(grid.TextMatrix(r, kColProcess)).empty();
    }
    if (!any) {
      Tell("路线表体内无记录，不能保存！", kPromptTitle);
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    RaiseTitled("Cansave中出错，原因：" + std::string(e.what()), kTitle);
    return false;
  }
}

RouteSnapshot SRLX1::Snapshot() const {
  RouteSnapshot route;
  RouteHeader& h = route.header;
  h.id = current_id();
  h.product = static_cast<std::int32_t>(NumericValue(fields_[kFieldProduct]->value().ToText()));
  h.name = fields_[kFieldName]->text();
  h.date = fields_[kFieldDate]->text();
  h.note = fields_[kFieldNote]->text();
  h.standard = chk_[kChkStandard]->ticked();
  h.invalid = chk_[kChkInvalid]->ticked();
  h.critical = chk_[kChkCritical]->ticked();

  const controls::Grid& grid = *grid_;
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) {
    if (Trim(grid.TextMatrix(r, kColProcess)).empty()) continue;
    const auto number = [&](int col) { return NumericValue(grid.TextMatrix(r, col)); };
    const auto key = [&](int col) {
      return static_cast<std::int32_t>(NumericValue(grid.CellKey(r, col).ToText()));
    };
    RouteOperation op;
    op.operation_id = static_cast<std::int32_t>(number(kColOperationId));
    op.sequence = grid.TextMatrix(r, kColSequence);
    op.process = key(kColProcess);
    op.workshop = key(kColWorkshop);
    op.work_centre = key(kColWorkCentre);
    op.setup_time = number(kColSetupTime);
    op.processing_time = number(kColProcessingTime);
    op.per_hour = number(kColPerHour);
    op.note = grid.TextMatrix(r, kColNote);
    op.wage = number(kColWage);
    op.ratio = number(kColRatio);
    op.process_price = number(kColProcessPrice);
    route.operations.push_back(std::move(op));
  }
  return route;
}

bool SRLX1::FileSave() {
  return Guard("FileSave", [&] {
    if (!host_ || !browser_.started() || mode() == Mode::kBrowsing) return false;
    if (!Cansave()) return false;
    RouteSaveResult result;
    try {
      result = SaveRoute(Store(), Snapshot());
    } catch (const std::exception& e) {
      RaiseTitled("save中出错，原因：" + std::string(e.what()), kTitle);
      return false;
    }
    if (!result.saved) {
      if (!result.error.empty()) RaiseTitled("数据库操作错误，原因：" + result.error, kTitle);
      return false;
    }
    // Whether new or changed, the route stored is a standard one of the product.
    Stored(result.id, true);
    return true;
  });
}

// --- Deleting -------------------------------------------------------------------------------

bool SRLX1::FileDelete() {
  return Guard("FileDelete", [&] {
    if (!host_ || !browser_.started()) return false;
    // The root is never a selection: it cannot be deleted either.
    if (!ProductChosen("无选择项目,不能进行删除! ", {}, "没有选择产品的工艺路线，不能删除！")) {
      return false;
    }
    controls::TreeNode* node = DeletionConfirmed(MsgIcon::kQuestion);
    if (node == nullptr) return false;
    std::string error;
    try {
      if (!DeleteRoute(Store(), current_id(), error)) {
        if (!error.empty()) RaiseErrorText("删除数据时出错：" + error, LogLevel::kError);
        return false;
      }
    } catch (const std::exception& e) {
      RaiseTitled("删除时出错，原因：" + std::string(e.what()), "错误：");
      return false;
    }
    Deleted(*node);
    return true;
  });
}

}  // namespace korvane
