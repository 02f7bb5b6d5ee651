// The route document's form: the split window with the product tree and the route, the
// operation grid with its settings, showing operations with their piece rates, the user's
// layout and the print data.
#include <memory>
#include <string>

#include "document/line_grid.h"
#include "host/form_state.h"
#include "host/print_file.h"
#include "host/settings_files.h"
#include "routing/srlx1.h"
#include "values/variant.h"

namespace korvane {

using namespace routing;

namespace {

using controls::LookupField;

constexpr const char* kFieldCaptions[kFieldCount] = {"路线名称", "日期", "说明", "产品编号",
                                                     "产品名称"};
constexpr controls::Geometry kFieldPlaces[kFieldCount] = {{3300, 120, 2600, 300},
                                                          {6300, 120, 1600, 300},
                                                          {3300, 540, 5600, 300},
                                                          {3300, 960, 2200, 300},
                                                          {6300, 960, 2600, 300}};
constexpr const char* kCheckCaptions[kChkCount] = {"标准", "失效", "关键路线", "引用数据(&H)"};

// Columns a person never types into: the module fills them.
constexpr int kLockedCols[] = {kColRowNumber, kColOperationId};
constexpr int kNumberCols[] = {kColSetupTime, kColProcessingTime, kColPerHour,
                               kColWage,      kColRatio,          kColProcessPrice};

// The product shows in the fields as the tree chose it: a route never moves to another product.
bool ProductField(const controls::Control& control) {
  return control.name() == "qxT" &&
         (control.index() == kFieldProduct || control.index() == kFieldProductName);
}

}  // namespace

void SRLX1::SetUpForm() {
  AddHeaderFields("qxT", kFieldCaptions, kFieldPlaces);
  fields_[kFieldDate]->set_field_kind(controls::FieldKind::kDate);
  name_label_ = &form_.Add<controls::Label>("lblName");
  name_label_->set_geometry({8600, 960, 2400, 300});
  for (int i = 0; i < kChkCount; ++i) {
    controls::CheckBox& box = form_.Add<controls::CheckBox>("chk", i);
    box.set_caption(kCheckCaptions[i]);
    box.set_geometry({kTreeWidth + 5100 + 1100.0 * i, 540, 1050, 300});
    box.click.Connect([this] {
      if (!filling_) dirty_ = true;
    });
    chk_[static_cast<std::size_t>(i)] = &box;
  }
  cmd_ = &form_.Add<controls::Button>("Cmd");
  cmd_->set_caption("引用路线");
  cmd_->set_geometry({kTreeWidth + 8100, 120, 800, 300});
  cmd_->click.Connect([this] { Guard("Cmd_Click", [&] { return OpenRouteSelection(); }); });
  AddStatusLabels();
  stamp_->set_visible(false);
  filter_mark_->set_geometry({kTreeWidth + 120, 540, 800, 300});
  record_label_->set_geometry({120, 120, 2400, 300});

  AddTreeAndGrid(kGridHeader, kLockedCols, kColOperationId);
  SetUpOperationEditing();

  lock_rules_.stays_disabled = ProductField;
  // While a route is entered its product cannot change, and "引用数据" has done its work.
  lock_rules_.disabled_while_unlocked = [this](const controls::Control& control) {
    return &control == &products_.view() || &control == chk_[kChkReuse];
  };
}

void SRLX1::SetUpGrid() {
  controls::Grid& grid = *grid_;
  grid.set_redraw(false);
  for (int col : kNumberCols) grid.SetColDataType(col, controls::grid_type::kDouble);
  grid.SetColHidden(kColWorkCentre, NumericValue(host_->Setting("ishavework")) != 1);
  grid.SetColHidden(kColOperationId, true);
  grid.set_redraw(true);
}

void SRLX1::ShowOperations(Recordset& operations, std::int32_t product) {
  controls::Grid& grid = *grid_;
  filling_ = true;
  document::FillRows(grid, operations, [&](int r) {
    const auto text = [&](const char* field) { return Trim(operations[field].ToText()); };
    const auto number = [&](const char* field) {
      return FormatNumber(operations[field].ToDouble());
    };
    grid.SetTextMatrix(r, kColRowNumber, std::to_string(r - grid.fixed_rows() + 1));
    grid.SetTextMatrix(r, kColSequence, text("顺序号"));
    grid.SetTextMatrix(r, kColProcess, text("工艺名称"));
    grid.SetCellKey(r, kColProcess,
                    Variant(static_cast<std::int32_t>(operations["工艺ID"].ToLong())));
    grid.SetTextMatrix(r, kColWorkshop, text("生产车间"));
    grid.SetCellKey(r, kColWorkshop,
                    Variant(static_cast<std::int32_t>(operations["部门ID"].ToLong())));
    grid.SetTextMatrix(r, kColWorkCentre, text("工作中心"));
    grid.SetCellKey(r, kColWorkCentre,
                    Variant(static_cast<std::int32_t>(operations["工作中心ID"].ToLong())));
    grid.SetTextMatrix(r, kColSetupTime, number("准备工时"));
    grid.SetTextMatrix(r, kColProcessingTime, number("加工工时"));
    grid.SetTextMatrix(r, kColPerHour, number("小时加工数"));
    grid.SetTextMatrix(r, kColNote, text("说明"));
    grid.SetTextMatrix(r, kColOperationId, number("ID"));
    ShowRates(r, product);
  });
  filling_ = false;
}

void SRLX1::ShowRates(int row, std::int32_t product) {
  controls::Grid& grid = *grid_;
  if (product <= 0) {
    for (int col : {kColWage, kColRatio, kColProcessPrice}) grid.SetTextMatrix(row, col, "");
    return;
  }
  const auto key = [&](int col) { return std::to_string(grid.CellKey(row, col).ToLong()); };
  std::unique_ptr<Recordset> rates =
      sql_.Rows("select 单位工资,比率,工艺价 from pagzde where 工序ID=" + key(kColProcess) +
                " and 产品ID=" + std::to_string(product) +
                " and 工作中心ID=" + key(kColWorkCentre) + " and 品质=''");
  const bool found = rates->RecordCount() > 0;
  if (found) rates->MoveFirst();
  const auto rate = [&](const char* field) {
    return found ? FormatNumber((*rates)[field].ToDouble()) : std::string();
  };
  grid.SetTextMatrix(row, kColWage, rate("单位工资"));
  grid.SetTextMatrix(row, kColRatio, rate("比率"));
  grid.SetTextMatrix(row, kColProcessPrice, rate("工艺价"));
}

void SRLX1::UnlockForEntry() {
  LockForm(false);
  document::KeepEntryRow(*grid_, [this](int row) {
    return !Trim(grid_->TextMatrix(row, kColProcess)).empty() ||
           !Trim(grid_->TextMatrix(row, kColSequence)).empty();
  });
}

bool SRLX1::DoGetFormStatus() {
  return Guard("DoGetFormStatus", [&] {
    if (!host_) return false;
    const bool restored = RestoreFormState(SettingsFileName(), form_, false, *host_);
    // The operation id is the save's and the work centre the setting's, whatever a layout says.
    grid_->SetColHidden(kColOperationId, true);
    grid_->SetColHidden(kColWorkCentre, NumericValue(host_->Setting("ishavework")) != 1);
    return restored;
  });
}

bool SRLX1::DoSaveFormStatus() {
  return Guard("DoSaveFormStatus",
               [&] { return host_ && SaveFormState(SettingsFileName(), form_, false, *host_); });
}

std::optional<std::string> SRLX1::WritePrintFile() {
  const std::string folder = host_->User().local_folder;
  const std::string caption = Trim(form_.caption()).empty() ? std::string(kTitle) : form_.caption();
  return WriteDocumentPrintDataTo(
      *host_, (folder.empty() ? std::string(".") : folder) + "/selfPrint/" + caption + ".txt",
      form_, {}, *grid_);
}

}  // namespace korvane
