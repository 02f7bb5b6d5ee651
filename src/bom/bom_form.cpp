// The structure document's form: the split window with the product tree and the document,
// the line grid with its settings and colours, locking, the user's layout and the print data.
#include <memory>
#include <string>

#include "bom/bom.h"
#include "bom/frm_bom_zk.h"
#include "host/form_state.h"
#include "host/print_file.h"
#include "host/settings_files.h"

namespace korvane {

using namespace bom;

namespace {

using controls::LookupField;

constexpr const char* kFieldCaptions[kFieldCount] = {"产品编号", "产品名称", "批量", "说明",
                                                     "日期",     "图号",     "单位"};
// Where the header fields sit: two rows of three or four fields above the grid.
constexpr controls::Geometry kFieldPlaces[kFieldCount] = {
    {3300, 120, 2200, 300}, {6300, 120, 2600, 300}, {9700, 120, 1200, 300}, {3300, 540, 5600, 300},
    {9700, 540, 1200, 300}, {3300, 960, 2200, 300}, {6300, 960, 1200, 300}};

// Columns a person never types into: the module fills them from the component.
constexpr int kLockedCols[] = {kColRowNumber, kColName,    kColModel,
                               kColUnit,      kColDrawing, kColLineId};
constexpr int kReadOnlyColourCols[] = {kColUnit, kColDrawing};
// The header fields that only show the product's data.
bool DisplayOnly(int field) { return field == kFieldDrawing || field == kFieldUnit; }

}  // namespace

void Bom::SetUpForm() {
  AddHeaderFields("qxTxt", kFieldCaptions, kFieldPlaces);
  fields_[kFieldBatch]->set_field_kind(controls::FieldKind::kNumber);
  fields_[kFieldDate]->set_field_kind(controls::FieldKind::kDate);
  controls::LookupDefinition product;
  product.picker_type = "pdmcpml";
  product.value_field = "产品ID";
  product.text_field = "物品编码";
  product.error_text = "输入有误，请重新输入！";
  fields_[kFieldProduct]->set_lookup(std::move(product));

  AddStatusLabels();
  valid_label_ = &form_.Add<controls::Label>("lbl_Valid");
  valid_label_->set_caption("已失效");
  valid_label_->set_visible(false);
  chk_ = &form_.Add<controls::CheckBox>("chk");
  chk_->set_caption("引用数据");
  chk_->set_geometry({kTreeWidth + 6900, 960, 1200, 300});
  cmd_ = &form_.Add<controls::Button>("Cmd");
  cmd_->set_caption("展开");
  cmd_->set_geometry({kTreeWidth + 8100, 960, 800, 300});
  cmd_->click.Connect([this] { OpenExpansion(); });
  stamp_->set_geometry({kTreeWidth + 120, 120, 800, 300});
  filter_mark_->set_geometry({kTreeWidth + 120, 540, 800, 300});
  valid_label_->set_geometry({kTreeWidth + 120, 960, 800, 300});
  record_label_->set_geometry({120, 120, 2400, 300});

  AddTreeAndGrid(kGridHeader, kLockedCols, kColLineId);
  SetUpLineEditing();

  lock_rules_.stays_disabled = [](const controls::Control& control) {
    return control.name() == "qxTxt" && DisplayOnly(control.index());
  };
  // While a structure is entered its product cannot change.
  lock_rules_.disabled_while_unlocked = [this](const controls::Control& control) {
    return &control == &products_.view() || &control == chk_;
  };
  lock_rules_.left_alone = [this](const controls::Control& control) { return &control == cmd_; };
}

void Bom::SetUpGrid() {
  controls::Grid& grid = *grid_;
  grid.set_redraw(false);
  for (int col = kColQuantity; col <= kColActualBase; ++col) {
    grid.SetColDataType(col, controls::grid_type::kDouble);
  }
  grid.SetColHidden(kColDrawing, NumericValue(host_->Setting("displaydrawnoInBom")) != 1);
  grid.SetColHidden(kColAuxiliary, NumericValue(host_->Setting("doubleunit")) != 1);
  grid.SetColHidden(kColLineId, true);
  for (int r = grid.fixed_rows(); r < grid.rows(); ++r) PaintRow(r);
  grid.set_redraw(true);
}

void Bom::PaintRow(int row) {
  if (readonly_colours_) {
    document::PaintCells(*grid_, row, row + 1, kReadOnlyColourCols, *readonly_colours_);
  }
}

bool Bom::RowInUse(int row) const {
  return !Trim(grid_->TextMatrix(row, kColCode)).empty() ||
         !Trim(grid_->TextMatrix(row, kColSequence)).empty();
}

void Bom::UnlockForEntry() {
  LockForm(false);
  const int added = document::KeepEntryRow(*grid_, [this](int row) { return RowInUse(row); });
  if (added >= 0) PaintRow(added);
}

bool Bom::OpenExpansion() {
  return Guard("Cmd_Click", [&] {
    const std::int32_t product = fields_[kFieldProduct]->value().ToLong();
    if (!host_ || product <= 0) return false;
    if (!zk_) {
      zk_ = std::make_unique<FrmBomZk>();
      zk_->Message.Connect([this](const std::string& text) { RaiseMessage(text); });
      zk_->ErrMessage.Connect(
          [this](const std::string& text, LogLevel level, const std::string& title) {
            RaiseEvent([&](DocumentEvents& sink) { sink.ErrMessage(text, level, title); });
          });
    }
    return zk_->py_Init(host_, product, fields_[kFieldProduct]->text(),
                        fields_[kFieldName]->text());
  });
}

bool Bom::DoGetFormStatus() {
  return Guard("DoGetFormStatus", [&] {
    if (!host_) return false;
    const bool restored = RestoreFormState(SettingsFileName(), form_, false, *host_);
    // The line id is the save's, whatever a layout says.
    grid_->SetColHidden(kColLineId, true);
    return restored;
  });
}

bool Bom::DoSaveFormStatus() {
  return Guard("DoSaveFormStatus",
               [&] { return host_ && SaveFormState(SettingsFileName(), form_, false, *host_); });
}

std::optional<std::string> Bom::WritePrintFile() {
  const std::string folder = host_->User().local_folder;
  return WriteDocumentPrintDataTo(
      *host_, (folder.empty() ? std::string(".") : folder) + "/selfPrint/BOM.txt", form_, {},
      *grid_);
}

}  // namespace korvane
