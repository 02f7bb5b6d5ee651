// Editing the lines of a work report: lookups of product, process, employees and plan line,
// the standard piece rate, each line's wage and the document totals.
#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/data_service.h"
#include "host/shared_routines.h"
#include "records/cls_cpml.h"
#include "workreport/frm_sel_gy.h"
#include "workreport/sccjd_s.h"

namespace korvane {

using namespace workreport;

namespace {

constexpr std::string_view kProductError = "输入的物品编码或物品名称有误，请重试?";
constexpr std::string_view kProcessQuery =
    "select 编号,工艺名称,简称,工艺ID from PDMSr Where ( 编号='@' or 简称='@' or 工艺名称='@') ";
constexpr std::string_view kProcessError = "工艺简称或工艺名称输入有误，请重新输入！";
constexpr std::string_view kEmployeeError = "员工编号或姓名输入有误，请重新输入！";

// Columns a person never types into: they are filled from the lookups and the wage arithmetic.
constexpr int kDerivedCols[] = {kColRowNumber,
                                kColFinishedProduct,
                                kColFinishedQuantity,
                                kColShares,
                                kColProductName,
                                kColModel,
                                kColBomQuantity,
                                kColUnit,
                                kColWage,
                                kColActualWage,
                                kColStandardRate,
                                kColSourceType,
                                kColSourceNumber,
                                kColFinishedBatch,
                                kColBomId,
                                kColLineId};
// Columns shown in the read-only colours.
constexpr int kReadOnlyColourCols[] = {
    kColPlanNumber,   kColBatch,        kColFinishedProduct, kColFinishedQuantity,
    kColShares,       kColProductName,  kColModel,           kColBomQuantity,
    kColWage,         kColActualWage,   kColStandardRate,    kColSourceType,
    kColSourceNumber, kColFinishedBatch};

// Columns a further process (or product) chosen in one go copies from the line it was chosen on.
constexpr int kLineContextCols[] = {kColDate,
                                    kColPlanNumber,
                                    kColBatch,
                                    kColFinishedProduct,
                                    kColFinishedQuantity,
                                    kColFinishedBatch,
                                    kColSourceType,
                                    kColSourceNumber,
                                    kColBomId};
constexpr int kProductCols[] = {kColProductCode, kColProductName, kColModel, kColUnit,
                                kColBomQuantity};

// Full-width separators typed with a Chinese input method count as their ASCII forms.
std::string HalfWidthSeparators(std::string text) {
  for (const auto& [wide, narrow] : {std::pair{"；", ";"}, std::pair{"，", ","}}) {
    const std::string w(wide);
    for (std::size_t at = text.find(w); at != std::string::npos; at = text.find(w, at)) {
      text.replace(at, w.size(), narrow);
    }
  }
  return text;
}

std::string JoinTexts(const std::vector<std::string>& parts, char separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

}  // namespace

// --- Set-up ---------------------------------------------------------------------------------

void SCCJD_S::SetUpLineEditing() {
  grid_->before_edit.Connect([this](int /*row*/, int col, bool& cancel) {
    if (col == kColRate && !rate_editable_) cancel = true;
  });
  grid_->validate_edit.Connect([this](int row, int col, bool& cancel) {
    if (filling_) return;
    bool accepted = true;
    if (!Guard("ValidateEdit", [&] {
          switch (col) {
            case kColProductCode:
              accepted = ProductTyped(row, grid_->edit_text());
              break;
            case kColProcess:
              accepted = ProcessTyped(row, grid_->edit_text());
              break;
            case kColEmployees:
              accepted = EmployeesTyped(row, grid_->edit_text());
              break;
            default:
              break;
          }
          return true;
        })) {
      accepted = false;
    }
    if (!accepted) cancel = true;
  });
  grid_->after_edit.Connect([this](int row, int col) {
    if (filling_) return;
    Guard("AfterEdit", [&] {
      switch (col) {
        case kColPlanNumber:
        case kColBatch:
          PlanLineChanged(row);
          break;
        case kColProduced:
          grid_->SetTextMatrix(row, kColQualified, grid_->TextMatrix(row, kColProduced));
          RecomputeLine(row);
          break;
        case kColQualified:
        case kColRate:
        case kColDeduction:
          RecomputeLine(row);
          break;
        default:
          break;
      }
      return true;
    });
  });
  grid_->cell_button_click.Connect([this](int row, int col) {
    Guard("CellButton", [&] {
      if (col == kColProductCode) return PickProducts(row);
      if (col == kColProcess) return PickProcesses(row);
      if (col == kColEmployees) return OpenAllocation(row);
      return false;
    });
  });
  grid_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != controls::keys::kDelete || !grid_->editable()) return;
    DeleteLine(grid_->row());
    key = 0;
  });
}

void SCCJD_S::ApplyColumnRules() {
  for (int col : kDerivedCols) grid_->SetColLocked(col, true);
  PaintReadOnly(grid_->fixed_rows(), grid_->rows());
}

void SCCJD_S::PaintReadOnly(int first_row, int end_row) {
  if (!readonly_colours_) return;
  for (int r = std::max(first_row, grid_->fixed_rows()); r < end_row && r < grid_->rows(); ++r) {
    for (int col : kReadOnlyColourCols) {
      grid_->SetCellBackColor(r, col, readonly_colours_->back);
      grid_->SetCellForeColor(r, col, readonly_colours_->fore);
    }
  }
}

void SCCJD_S::ReadLineSettings() {
  rate_editable_ = NumericValue(host_->Setting("scgydchangegzxs")) == 1;
  const std::string fore = Trim(host_->Setting("readonlyforecolor"));
  const std::string back = Trim(host_->Setting("readonlybackcolor"));
  readonly_colours_.reset();
  if (!fore.empty() || !back.empty()) {
    readonly_colours_ = ReadOnlyColours{static_cast<std::uint32_t>(NumericValue(fore)),
                                        static_cast<std::uint32_t>(NumericValue(back))};
  }
}

// --- Wages and totals -----------------------------------------------------------------------

void SCCJD_S::RecomputeLine(int row) {
  const double wage = NumericValue(grid_->TextMatrix(row, kColQualified)) *
                      NumericValue(grid_->TextMatrix(row, kColRate));
  grid_->SetTextMatrix(row, kColWage, FormatNumber(wage));
  const double actual = wage - NumericValue(grid_->TextMatrix(row, kColDeduction));
  grid_->SetTextMatrix(row, kColActualWage, FormatNumber(actual));
  grid_->SetCellPicture(
      row, kColStandardRate,
      RateDiffers(grid_->TextMatrix(row, kColRate), grid_->TextMatrix(row, kColStandardRate))
          ? std::string(kNotePicture)
          : std::string());
  SumTotals();
}

void SCCJD_S::LoadStandardRate(std::int32_t product_id, std::int32_t process_id, int row) {
  const Variant rate =
      sql_.Scalar("select 单位工资 from pagzde where 产品ID=" + std::to_string(product_id) +
                  " and 工序ID=" + std::to_string(process_id) + " and 工作中心ID=0 and 品质=''");
  const std::string text = FormatNumber(rate.ToDouble());
  grid_->SetTextMatrix(row, kColRate, text);
  grid_->SetTextMatrix(row, kColStandardRate, text);
  RecomputeLine(row);
}

// --- Deleting and inserting lines -----------------------------------------------------------

bool SCCJD_S::DeleteLine(int row) {
  return Guard("DeleteMx", [&] {
    if (row < grid_->fixed_rows() || row >= grid_->rows()) return false;
    const double line_id = NumericValue(grid_->TextMatrix(row, kColLineId));
    if (line_id > 0) deleted_lines_ += FormatNumber(line_id) + ",";
    grid_->RemoveItem(row);
    // The grid keeps offering its minimum of empty rows.
    if (grid_->rows() - grid_->fixed_rows() < kMinimumDataRows) {
      PaintReadOnly(grid_->AddItem(""), grid_->rows());
    }
    NumberRows(row);
    dirty_ = true;
    SumTotals();
    return true;
  });
}

void SCCJD_S::ForgetDeletedLines() { deleted_lines_.clear(); }

int SCCJD_S::InsertLineCopy(int source_row, int at, bool with_product, bool with_process) {
  const int row = grid_->AddItem("", at);
  PaintReadOnly(row, row + 1);
  const auto copy = [&](int col) {
    grid_->SetTextMatrix(row, col, grid_->TextMatrix(source_row, col));
    grid_->SetCellKey(row, col, grid_->CellKey(source_row, col));
  };
  for (int col : kLineContextCols) copy(col);
  if (with_product) {
    for (int col : kProductCols) copy(col);
  }
  if (with_process) copy(kColProcess);
  NumberRows(row);
  return row;
}

void SCCJD_S::NumberRows(int from_row) {
  for (int r = std::max(from_row, grid_->fixed_rows()); r < grid_->rows(); ++r) {
    grid_->SetTextMatrix(r, kColRowNumber, std::to_string(r));
  }
}

// --- Product --------------------------------------------------------------------------------

controls::LookupDefinition SCCJD_S::ProductLookup(int row) const {
  controls::LookupDefinition definition;
  definition.picker_type = "pdmcpml_sr";
  definition.value_field = "产品ID";
  definition.text_field = "物品编码";
  definition.error_text = std::string(kProductError);
  const std::string structure = Trim(grid_->TextMatrix(row, kColBomId));
  if (!structure.empty()) definition.parameters.emplace_back("bomID", Variant(structure));
  return definition;
}

bool SCCJD_S::ProductTyped(int row, const std::string& typed) {
  if (Trim(typed).empty()) {
    for (int col : kProductCols) {
      grid_->SetTextMatrix(row, col, "");
      grid_->SetCellKey(row, col, Variant());
    }
    return true;
  }
  const std::optional<controls::LookupMatch> match =
      lookups_ ? lookups_->Resolve(ProductLookup(row), typed) : std::nullopt;
  if (!match) return LookupFailed(kProductError);
  TakeProduct(row, static_cast<std::int32_t>(match->value.ToLong()));
  grid_->set_edit_text(grid_->TextMatrix(row, kColProductCode));
  return true;
}

void SCCJD_S::TakeProduct(int row, std::int32_t product_id) {
  std::unique_ptr<Recordset> product =
      sql_.Rows("select 物品编码,物品名称,规格,库存单位 from pdmcpml where 产品ID=" +
                std::to_string(product_id));
  if (product->RecordCount() == 0) return;
  product->MoveFirst();
  grid_->SetTextMatrix(row, kColProductCode, (*product)["物品编码"].ToText());
  grid_->SetCellKey(row, kColProductCode, Variant(product_id));
  grid_->SetTextMatrix(row, kColProductName, (*product)["物品名称"].ToText());
  grid_->SetTextMatrix(row, kColModel, (*product)["规格"].ToText());
  grid_->SetTextMatrix(row, kColUnit, (*product)["库存单位"].ToText());
  // A new line is dated like its report until the clerk says otherwise: the wage hand-over
  // dates every employee's share by it.
  if (Trim(grid_->TextMatrix(row, kColDate)).empty()) {
    grid_->SetTextMatrix(row, kColDate, Trim(fields_[kFieldDate]->text()));
  }
  ComponentQuantity(row);
  const std::int32_t process = static_cast<std::int32_t>(grid_->CellKey(row, kColProcess).ToLong());
  if (process > 0) LoadStandardRate(product_id, process, row);
  dirty_ = true;
}

void SCCJD_S::ComponentQuantity(int row) {
  const std::string structure = Trim(grid_->TextMatrix(row, kColBomId));
  const std::int32_t product =
      static_cast<std::int32_t>(grid_->CellKey(row, kColProductCode).ToLong());
  if (structure.empty() || product <= 0) return;
  const Variant ratio = sql_.Scalar(
      "select 实际配量分子/实际配量分母 from pdmbommx where 配件ID=" + std::to_string(product) +
      " and bomID=" + FormatNumber(NumericValue(structure)));
  grid_->SetTextMatrix(
      row, kColBomQuantity,
      FormatNumber(ratio.ToDouble() * NumericValue(grid_->TextMatrix(row, kColFinishedQuantity))));
}

bool SCCJD_S::PickProducts(int row) {
  if (!lookups_) return false;
  controls::LookupDefinition definition = ProductLookup(row);
  definition.parameters.emplace_back("多选", Variant(process_multi_select_ ? 1 : 0));
  return lookups_->Pick(definition, AnswerOnRow(row, [this](int r, controls::LookupMatch match) {
                          const std::vector<std::string> ids = Split(match.value.ToText(), ',');
                          // Products chosen under a process of the picker's tree bring that process
                          // along.
                          std::int32_t process = 0;
                          std::string process_name;
                          if (auto record = std::dynamic_pointer_cast<clsCpml>(match.record)) {
                            process = static_cast<std::int32_t>(record->Get("l工艺ID").ToLong());
                            process_name = record->Get("s工艺名称").ToText();
                          }
                          int at = r;
                          for (std::size_t i = 0; i < ids.size(); ++i) {
                            const int target =
                                i == 0 ? r : (at = InsertLineCopy(r, at + 1, false, true));
                            TakeProduct(target, static_cast<std::int32_t>(NumericValue(ids[i])));
                            if (process > 0) TakeProcess(target, process, process_name);
                          }
                        }));
}

// --- Process --------------------------------------------------------------------------------

bool SCCJD_S::ProcessTyped(int row, const std::string& typed) {
  if (Trim(typed).empty()) {
    grid_->SetCellKey(row, kColProcess, Variant());
    return true;
  }
  controls::LookupDefinition definition;
  definition.picker_type = "gy_sr";
  definition.query = std::string(kProcessQuery);
  definition.value_field = "工艺ID";
  definition.text_field = "工艺名称";
  definition.error_text = std::string(kProcessError);
  const std::optional<controls::LookupMatch> match =
      lookups_ ? lookups_->Resolve(definition, typed) : std::nullopt;
  if (!match) return LookupFailed(kProcessError);
  TakeProcess(row, static_cast<std::int32_t>(match->value.ToLong()), match->text);
  grid_->set_edit_text(match->text);
  return true;
}

void SCCJD_S::TakeProcess(int row, std::int32_t process_id, const std::string& name) {
  grid_->SetTextMatrix(row, kColProcess, name);
  grid_->SetCellKey(row, kColProcess, Variant(process_id));
  LoadStandardRate(static_cast<std::int32_t>(grid_->CellKey(row, kColProductCode).ToLong()),
                   process_id, row);
  dirty_ = true;
}

bool SCCJD_S::PickProcesses(int row) {
  if (!lookups_) return false;
  controls::LookupDefinition definition;
  definition.picker_type = "pdmsr";
  definition.value_field = "工艺ID";
  definition.text_field = "工艺名称";
  definition.parameters = {
      {"产品ID", Variant(static_cast<std::int32_t>(grid_->CellKey(row, kColProductCode).ToLong()))},
      {"多选", Variant(process_multi_select_ ? 1 : 0)}};
  return lookups_->Pick(definition, AnswerOnRow(row, [this](int r, controls::LookupMatch match) {
                          const std::vector<std::string> ids = Split(match.value.ToText(), ',');
                          const std::vector<std::string> names = Split(match.text, ',');
                          int at = r;
                          for (std::size_t i = 0; i < ids.size(); ++i) {
                            const int target =
                                i == 0 ? r : (at = InsertLineCopy(r, at + 1, true, false));
                            TakeProcess(target, static_cast<std::int32_t>(NumericValue(ids[i])),
                                        i < names.size() ? names[i] : std::string());
                          }
                        }));
}

// --- Employees ------------------------------------------------------------------------------

bool SCCJD_S::EmployeesTyped(int row, const std::string& typed) {
  struct Item {
    std::string id;
    std::string name;
    double share = 0;
  };
  std::vector<Item> items;
  for (const std::string& piece : Split(HalfWidthSeparators(typed), ';')) {
    if (Trim(piece).empty()) continue;
    const std::vector<std::string> parts = Split(piece, ',');
    const std::string who = Trim(parts.front());
    controls::LookupDefinition definition;
    definition.picker_type = "pdmgy";
    definition.value_field = "雇员ID";
    definition.text_field = "姓名";
    definition.error_text = std::string(kEmployeeError);
    definition.parameters = {{"部门名称", Variant(fields_[kFieldWorkshop]->text())}};
    const std::optional<controls::LookupMatch> match =
        who.empty() || !lookups_ ? std::nullopt : lookups_->Resolve(definition, who);
    if (!match) return LookupFailed(kEmployeeError);
    items.push_back({FormatNumber(NumericValue(match->value.ToText())), match->text,
                     parts.size() > 1 ? NumericValue(Trim(parts[1])) : 0.0});
  }
  // A sole employee earns the whole line; of several, the first earns 0.6 unless a share was
  // typed, and every later one the rest of the first one's share.
  std::vector<std::string> ids, names, shares;
  double first = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    double share = items[i].share;
    if (share <= 0) share = items.size() == 1 ? 1.0 : (i == 0 ? 0.6 : 1.0 - first);
    if (i == 0) first = share;
    ids.push_back(items[i].id);
    names.push_back(items[i].name);
    shares.push_back(FormatNumber(share));
  }
  grid_->SetCellKey(row, kColEmployees, ids.empty() ? Variant() : Variant(JoinTexts(ids, ';')));
  grid_->SetTextMatrix(row, kColShares, JoinTexts(shares, ';'));
  grid_->SetCellKey(row, kColShares, Variant());
  grid_->set_edit_text(JoinTexts(names, ';'));
  return true;
}

bool SCCJD_S::OpenAllocation(int row) {
  if (!host_) return false;
  allocation_ = std::make_unique<FrmSelGy>();
  std::weak_ptr<SCCJD_S*> self = self_;
  allocation_->EvHasLoad.Connect([self, row](const VariantArray& employees, bool shared) {
    const std::shared_ptr<SCCJD_S*> module = self.lock();
    if (!module) return;
    SCCJD_S& m = **module;
    if (!m.grid_->editable() || row < m.grid_->fixed_rows() || row >= m.grid_->rows()) return;
    m.Guard("EvHasLoad", [&] {
      m.ApplyEmployeeSelection(row, employees, shared);
      return true;
    });
  });
  return allocation_->py_Init(
      grid_->CellKey(row, kColEmployees).ToText(), grid_->TextMatrix(row, kColEmployees),
      grid_->TextMatrix(row, kColShares), grid_->CellKey(row, kColShares).ToText(), host_, progid(),
      fields_[kFieldWorkshop]->text());
}

void SCCJD_S::ApplyEmployeeSelection(int row, const VariantArray& employees, bool shared) {
  const auto entry = [&](int index) {
    return std::array<std::string, 4>{
        FormatNumber(employees.get(workreport::selgy::kResultEmployeeId, index).ToDouble()),
        employees.get(workreport::selgy::kResultName, index).ToText(),
        FormatNumber(employees.get(workreport::selgy::kResultShare, index).ToDouble()),
        employees.get(workreport::selgy::kResultAllocationId, index).IsBlank()
            ? std::string()
            : FormatNumber(
                  employees.get(workreport::selgy::kResultAllocationId, index).ToDouble())};
  };
  const auto place = [&](int r, int first, int end) {
    std::vector<std::string> ids, names, shares, allocations;
    for (int i = first; i < end; ++i) {
      const auto [id, name, share, allocation] = entry(i);
      ids.push_back(id);
      names.push_back(name);
      shares.push_back(share);
      allocations.push_back(allocation);
    }
    grid_->SetTextMatrix(r, kColEmployees, JoinTexts(names, ';'));
    grid_->SetCellKey(r, kColEmployees, ids.empty() ? Variant() : Variant(JoinTexts(ids, ';')));
    grid_->SetTextMatrix(r, kColShares, JoinTexts(shares, ';'));
    grid_->SetCellKey(r, kColShares,
                      ids.empty() ? Variant() : Variant(JoinTexts(allocations, ';')));
  };
  const int count = employees.cols();
  if (shared || count <= 1) {
    place(row, 0, count);
  } else {
    // One line per employee: each further employee gets a new line with the first one's
    // product, process and source, and the standard rate of that product on that process.
    place(row, 0, 1);
    int at = row;
    for (int i = 1; i < count; ++i) {
      at = InsertLineCopy(row, at + 1, true, true);
      place(at, i, i + 1);
      LoadStandardRate(static_cast<std::int32_t>(grid_->CellKey(at, kColProductCode).ToLong()),
                       static_cast<std::int32_t>(grid_->CellKey(at, kColProcess).ToLong()), at);
    }
  }
  dirty_ = true;
}

// --- Plan line ------------------------------------------------------------------------------

void SCCJD_S::PlanLineChanged(int row) {
  const std::string number = grid_->TextMatrix(row, kColPlanNumber);
  const std::string batch = grid_->TextMatrix(row, kColBatch);
  const Variant plan_line = sql_.Scalar(
      "select 主计划ID from mrpplan A left join mrpplanmx B on A.主计划组ID=B.主计划组ID"
      " where smark='02' and 单据编号=" +
      SqlQuote(number) + " and 产品批次=" + SqlQuote(batch));
  if (plan_line.IsBlank()) return;
  const std::string line_id = FormatNumber(plan_line.ToDouble());

  const Variant plan_progid = sql_.Scalar("select progID from xt_objects where billitem=6501");
  const std::string progid = FormatNumber(plan_progid.ToDouble());
  grid_->SetTextMatrix(row, kColSourceType,
                       sql_.Scalar("select menuname from xt_menu where progID=" + progid).ToText());
  grid_->SetCellKey(row, kColSourceType, plan_progid);
  grid_->SetTextMatrix(row, kColSourceNumber, number);
  grid_->SetCellKey(row, kColSourceNumber, plan_line);

  std::unique_ptr<Recordset> finished = sql_.Rows(
      "select A.产品ID,C.物品编码,C.物品名称,C.规格,产品批次,A.需求数量 from mrpplanmx A left "
      "join mrpplan B on A.主计划组ID=B.主计划组ID left join pdmcpml C on A.产品ID=C.产品ID"
      " where smark='02' and 主计划ID=" +
      line_id);
  if (finished->RecordCount() == 0) return;
  finished->MoveFirst();
  const Recordset& f = *finished;
  grid_->SetTextMatrix(
      row, kColFinishedProduct,
      JoinNonEmpty({f["物品编码"].ToText(), f["物品名称"].ToText(), f["规格"].ToText()}));
  grid_->SetTextMatrix(row, kColFinishedBatch, f["产品批次"].ToText());
  grid_->SetTextMatrix(row, kColFinishedQuantity, f["需求数量"].ToText());
  const Variant structure = sql_.Scalar(
      "select top 1 bomID from pdmbom where 产品ID=" + FormatNumber(f["产品ID"].ToDouble()) +
      " and sMark='02' AND ISNULL(是否失效,0)=0 AND 是否标准=1 order by bomID desc");
  grid_->SetTextMatrix(row, kColBomId, structure.ToText());
  if (grid_->CellKey(row, kColProductCode).ToLong() > 0) ComponentQuantity(row);
  dirty_ = true;
}

// --- Lookup plumbing ------------------------------------------------------------------------

bool SCCJD_S::LookupFailed(std::string_view message) {
  if (host_) {
    host_->dialogs().MessageBox(message, MsgButtons::kOk, MsgIcon::kExclamation, kPromptTitle);
  }
  return false;
}

controls::PickDone SCCJD_S::AnswerOnRow(int row,
                                        std::function<void(int, controls::LookupMatch)> take) {
  std::weak_ptr<SCCJD_S*> self = self_;
  return [self, row, take = std::move(take)](std::optional<controls::LookupMatch> match) {
    const std::shared_ptr<SCCJD_S*> module = self.lock();
    if (!module || !match || Trim(match->value.ToText()).empty()) return;
    SCCJD_S& m = **module;
    // The row may have gone while the picker was open; the grid must still be editable.
    if (!m.grid_->editable() || row < m.grid_->fixed_rows() || row >= m.grid_->rows()) return;
    m.Guard("Pick", [&] {
      take(row, std::move(*match));
      return true;
    });
  };
}

}  // namespace korvane
