// The work report's form: its controls, the line grid, locking, emptying, the totals, the print
// data and the user's column widths.
#include <string>
#include <string_view>

#include "host/form_state.h"
#include "host/print_file.h"
#include "host/shared_routines.h"
#include "workreport/sccjd_s.h"

namespace korvane {

namespace workreport {

const std::string_view kGridHeader =
    "行号|生产日期   |计划单号 |批次号|成品信息|成品数量|计划套件数|员工    |分配比例|物品编码     "
    "|"
    "物品名称        |规格  |Bom组成数量|单位  |工艺            |"
    "生产数量 |合格数量 |工资定额    |工资金额 |扣减金额|实际工资|标准工资定额|源单类型|源单单号   "
    "|"
    "成品批次号|BomID|备注          | 报工单明细ID   ";

}  // namespace workreport

namespace {

using controls::FieldKind;
using controls::LookupField;

struct FieldSpec {
  const char* caption;
  FieldKind kind;
};

// The header fields in index order.
constexpr FieldSpec kFieldSpecs[workreport::kFieldCount] = {
    {"报工单编号", FieldKind::kText}, {"车间", FieldKind::kLookup},
    {"生产日期", FieldKind::kDate},   {"制单", FieldKind::kText},
    {"制单日期", FieldKind::kDate},   {"审核", FieldKind::kText},
    {"审核日期", FieldKind::kDate},   {"备注", FieldKind::kText},
};

// Approver, approval date, preparer and preparation date are filled by the module only.
bool AlwaysDisabled(int field) {
  return field >= workreport::kFieldPreparer && field <= workreport::kFieldApprovedOn;
}

// "###" or "###." followed by n "#", n the decimal places of a numbered setting.
std::string DisplayFormat(HostContext& host, int setting) {
  const int places = static_cast<int>(NumericValue(host.Setting(setting)));
  return places > 0 ? "###." + std::string(static_cast<std::size_t>(places), '#') : "###";
}

// "##0" or "##0." followed by n "0".
std::string TotalFormat(HostContext& host, int setting) {
  const int places = static_cast<int>(NumericValue(host.Setting(setting)));
  return places > 0 ? "##0." + std::string(static_cast<std::size_t>(places), '0') : "##0";
}

}  // namespace

void SCCJD_S::SetUpForm() {
  for (int i = 0; i < workreport::kFieldCount; ++i) {
    LookupField& field = form_.Add<LookupField>("qxTxt", i);
    field.set_caption(kFieldSpecs[i].caption);
    field.set_field_kind(kFieldSpecs[i].kind);
    field.change.Connect([this] {
      if (!filling_) dirty_ = true;
    });
    // The host's field tells the person what it could not resolve.
    field.invalid.Connect([this](const std::string& text) {
      if (host_)
        host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kExclamation, kPromptTitle);
    });
    fields_.push_back(&field);
  }
  controls::LookupDefinition workshop;
  workshop.picker_type = "pdmbm";
  workshop.value_field = "部门ID";
  workshop.text_field = "部门名称";
  workshop.parameters = {{"pdmbmzzlx", Variant("3")}, {"pdmbmsfmx", Variant(1)}};
  fields_[workreport::kFieldWorkshop]->set_lookup(std::move(workshop));

  AddStatusLabels();
  lbl_quantity_ = &form_.Add<controls::Label>("lblSlHj");
  lbl_quantity_->set_tooltip("数量合计");
  lbl_amount_ = &form_.Add<controls::Label>("lblJeXx");
  lbl_amount_->set_tooltip("金额小写");
  lbl_amount_words_ = &form_.Add<controls::Label>("lblJeDx");
  lbl_amount_words_->set_tooltip("金额大写");
  chkk_ = &form_.Add<controls::CheckBox>("CHKK");
  chkk_->set_caption("保留表头");
  cmd_sources_ = &form_.Add<controls::Button>("Cmd");
  cmd_sources_->set_caption("选单(&S)");
  cmd_sources_->click.Connect([this] { Guard("Cmd_Click", [&] { return OpenSources(); }); });

  grid_ = &form_.Add<controls::Grid>("qxGrid");
  grid_->after_edit.Connect([this](int, int) {
    if (!filling_) dirty_ = true;
  });
  SetUpLineEditing();
  lock_rules_.stays_disabled = [](const controls::Control& control) {
    return control.name() == "qxTxt" && AlwaysDisabled(control.index());
  };
}

void SCCJD_S::SetUpGrid() {
  controls::Grid& grid = *grid_;
  grid.set_redraw(false);
  grid.set_fixed_rows(1);
  grid.set_fixed_cols(1);
  grid.SetFormatString(workreport::kGridHeader);
  if (host_) {
    const std::string quantity = DisplayFormat(*host_, 7);
    const std::string rate = DisplayFormat(*host_, 9);
    const std::string money = DisplayFormat(*host_, 12);
    for (int c : {workreport::kColFinishedQuantity, workreport::kColBomQuantity,
                  workreport::kColProduced, workreport::kColQualified}) {
      grid.SetColFormat(c, quantity);
    }
    grid.SetColFormat(workreport::kColRate, rate);
    for (int c : {workreport::kColWage, workreport::kColDeduction, workreport::kColActualWage}) {
      grid.SetColFormat(c, money);
    }
  }
  grid.SetColDataType(workreport::kColDate, controls::grid_type::kDate);
  ResetGrid(workreport::kMinimumDataRows);
  ApplyColumnRules();
  grid.set_redraw(true);
}

void SCCJD_S::ResetGrid(int data_rows) {
  controls::Grid& grid = *grid_;
  const int fixed = grid.fixed_rows();
  grid.set_rows(fixed);
  grid.set_rows(fixed + data_rows);
  NumberRows(fixed);
  PaintReadOnly(fixed, grid.rows());
}

void SCCJD_S::ClearForm() {
  filling_ = true;
  if (chkk_->ticked()) {
    fields_[workreport::kFieldNumber]->set_text("");
  } else {
    for (LookupField* field : fields_) field->Reset();
  }
  filling_ = false;
  ResetGrid(workreport::kMinimumDataRows);
  deleted_lines_.clear();
  record_label_->set_caption("记录：0/0");
  SumTotals();
}

void SCCJD_S::SumTotals() {
  try {
    double quantity = 0;
    double amount = 0;
    for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
      quantity += NumericValue(grid_->TextMatrix(r, workreport::kColQualified));
      amount += NumericValue(grid_->TextMatrix(r, workreport::kColActualWage));
    }
    if (!host_) {
      lbl_quantity_->set_caption("");
      lbl_amount_->set_caption("");
      lbl_amount_words_->set_caption("");
      return;
    }
    lbl_quantity_->set_caption(controls::FormatNumberVb(quantity, TotalFormat(*host_, 7)));
    lbl_amount_->set_caption(controls::FormatNumberVb(amount, TotalFormat(*host_, 12)));
    lbl_amount_words_->set_caption(host_->AmountInWords(amount));
  } catch (const std::exception& e) {
    RaiseErrorText("SumJe:" + std::string(e.what()), LogLevel::kError);
  }
}

std::optional<std::string> SCCJD_S::WritePrintFile() {
  const PrintTotals totals{lbl_amount_words_->caption(), lbl_amount_->caption(),
                           lbl_quantity_->caption()};
  return WriteDocumentPrintData(*host_, progid(), form_, totals, *grid_);
}

}  // namespace korvane
