// The master plan's form: its controls, the line grid with its formats and colours, unlocking
// for entry, and the print data.
#include <memory>
#include <string>

#include "host/print_data.h"
#include "host/settings_files.h"
#include "planning/plan2.h"

namespace korvane {

using namespace planning;

namespace {

using controls::LookupField;

// The captions of the header fields in index order; the plan date and the preparation and
// approval dates are dates, nature and plan type lookups (their definitions below).
constexpr const char* kFieldCaptions[kFieldCount] = {"备注",     "计划编号", "计划员",   "计划日期",
                                                     "制单日期", "制单",     "审核日期", "审核",
                                                     "性质",     "计划类型"};
constexpr int kDateFields[] = {kFieldPlanDate, kFieldPreparedOn, kFieldApprovedOn};

// Preparation and approval, with their dates, are the module's and the host's to fill.
bool AlwaysDisabled(int field) { return field >= kFieldPreparedOn && field <= kFieldApprover; }

// Columns filled by the module: a person never types into them.
constexpr int kLockedCols[] = {kColRowNumber, kColProductName,  kColModel,  kColUnit,
                               kColStock,     kColMinimumStock, kColLineId, kColProductId};
// Columns shown in the read-only colours.
constexpr int kReadOnlyColourCols[] = {kColProductName, kColModel, kColUnit};

}  // namespace

void plan2::SetUpForm() {
  caption_ = &form_.Add<controls::Label>("lbl_Caption");
  for (int i = 0; i < kFieldCount; ++i) {
    LookupField& field = form_.Add<LookupField>("qxTxt", i);
    field.set_caption(kFieldCaptions[i]);
    field.change.Connect([this] {
      if (!filling_) dirty_ = true;
    });
    field.invalid.Connect([this](const std::string& text) {
      if (host_) Tell(text, MsgIcon::kExclamation);
    });
    fields_.push_back(&field);
  }
  for (int date : kDateFields)
    fields_[static_cast<std::size_t>(date)]->set_field_kind(controls::FieldKind::kDate);
  controls::LookupDefinition nature;
  nature.picker_type = "pdmdjxz";
  nature.value_field = "性质";
  nature.text_field = "性质";
  fields_[kFieldNature]->set_lookup(std::move(nature));
  controls::LookupDefinition plan_type;
  plan_type.picker_type = "gy_planlx";
  plan_type.query =
      "select 类型编号,类型名称,计划类型ID from pdmplantype where 类型编号='@' or 类型名称='@'";
  plan_type.value_field = "计划类型ID";
  plan_type.text_field = "类型名称";
  plan_type.error_text = "输入有误,请重新输入！";
  fields_[kFieldPlanType]->set_lookup(std::move(plan_type));

  AddStatusLabels();
  chk_ = &form_.Add<controls::CheckBox>("Chk");
  chk_->set_caption("引用数据(&H)");

  grid_ = &form_.Add<controls::Grid>("Vs", -1, "qxGrid");
  grid_->set_fixed_rows(1);
  grid_->set_fixed_cols(1);
  grid_->SetFormatString(kGridHeader);
  grid_->set_rows(grid_->fixed_rows());
  SetUpLineEditing();
  lock_rules_.stays_disabled = [](const controls::Control& control) {
    return control.name() == "qxTxt" && AlwaysDisabled(control.index());
  };
}

void plan2::SetUpGrid() {
  controls::Grid& grid = *grid_;
  caption_->set_caption(form_.caption());
  grid.set_redraw(false);
  const std::string quantity = document::DecimalFormat(*host_, 7);
  for (int col : {kColStock, kColMinimumStock, kColDemand}) grid.SetColFormat(col, quantity);
  for (int col : {kColDemandDate, kColStart, kColFinish}) {
    grid.SetColDataType(col, controls::grid_type::kDate);
  }
  for (int col : kLockedCols) grid.SetColLocked(col, true);
  for (int col : {kColLineId, kColProductId}) grid.SetColHidden(col, true);
  // With plans grouped by batch, the lines of one batch show as one block.
  grid.SetMergeCol(kColBatch, NumericValue(host_->Setting("batchgroup")) == 1);
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) PaintRow(r);
  grid.set_redraw(true);
}

void plan2::PaintRow(int row) {
  if (readonly_colours_) {
    document::PaintCells(*grid_, row, row + 1, kReadOnlyColourCols, *readonly_colours_);
  }
}

bool plan2::RowInUse(int row) const {
  return NumericValue(grid_->TextMatrix(row, kColProductId)) > 0 ||
         !Trim(grid_->TextMatrix(row, kColProductCode)).empty();
}

void plan2::UnlockForEntry() {
  LockForm(false);
  const int added = document::KeepEntryRow(*grid_, [this](int row) { return RowInUse(row); });
  if (added >= 0) PaintRow(added);
}

std::optional<std::string> plan2::WritePrintFile() {
  std::unique_ptr<PrintDataWriter> writer = host_->CreatePrintDataWriter();
  if (!writer) return std::nullopt;
  writer->AddValue("副标题", caption_->caption());
  for (const LookupField* field : fields_) writer->AddValue(Trim(field->caption()), field->text());
  PrintDataWriter::Table cells;
  for (int r = 0; r < grid_->rows(); ++r) {
    if (Trim(grid_->TextMatrix(r, kColProductCode)).empty()) continue;
    std::vector<std::string> row;
    for (int c = 0; c < grid_->cols(); ++c) row.push_back(grid_->TextMatrix(r, c));
    cells.push_back(std::move(row));
  }
  writer->AddTable("VS", std::move(cells));
  const std::string path = PrintPath(progid(), *host_);
  if (!EnsureFolderOf(path) || !writer->WriteFile(path)) return std::nullopt;
  return path;
}

}  // namespace korvane
