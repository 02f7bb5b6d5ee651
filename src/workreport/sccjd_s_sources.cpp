// The work report's lines taken from source documents: the source selection dialog and one new
// line per chosen source line, with the source, the finished product and its structure.
#include <memory>
#include <string>
#include <vector>

#include "host/shared_routines.h"
#include "workreport/frm_sccjd.h"
#include "workreport/sccjd_s.h"

namespace korvane {

using namespace workreport;

bool SCCJD_S::OpenSources() {
  if (!host_ || !grid_->editable()) return false;
  sources_ = std::make_unique<frmSccjd>();
  std::weak_ptr<SCCJD_S*> self = self_;
  sources_->EvReturn.Connect([self](const std::vector<clsScRk>& records) {
    const std::shared_ptr<SCCJD_S*> module = self.lock();
    if (!module) return;
    SCCJD_S& m = **module;
    // A form locked meanwhile takes nothing.
    if (!m.grid_->editable()) return;
    m.Guard("Cmd_Click", [&] {
      m.TakeSourceLines(records);
      return true;
    });
  });
  return sources_->py_SubProgram(host_, progid(), 0);
}

int SCCJD_S::FirstFreeRow() {
  int free = grid_->rows();
  for (int r = grid_->rows() - 1; r >= grid_->fixed_rows(); --r) {
    if (!Trim(grid_->TextMatrix(r, kColFinishedProduct)).empty() || HasProduct(r)) break;
    free = r;
  }
  if (free == grid_->rows()) {
    grid_->set_rows(free + 1);
    NumberRows(free);
    PaintReadOnly(free, free + 1);
  }
  return free;
}

void SCCJD_S::TakeSourceLines(const std::vector<clsScRk>& records) {
  const std::int32_t plan_progid =
      sql_.Scalar("select progID from xt_objects where billitem=6501").ToLong();
  for (const clsScRk& record : records) {
    const int r = FirstFreeRow();
    grid_->SetTextMatrix(
        r, kColSourceType,
        sql_.Scalar("select menuname from xt_menu where progID=" + std::to_string(record.progid))
            .ToText());
    grid_->SetCellKey(r, kColSourceType, Variant(record.progid));
    grid_->SetTextMatrix(r, kColSourceNumber, record.number);
    grid_->SetCellKey(r, kColSourceNumber, Variant(record.line_id));
    grid_->SetTextMatrix(r, kColFinishedProduct,
                         record.product_code + " " + record.product_name + " " + record.model);
    grid_->SetTextMatrix(r, kColFinishedBatch, record.batch);
    grid_->SetTextMatrix(r, kColFinishedQuantity, FormatNumber(record.quantity));
    for (int c = kColProductCode; c <= kColStandardRate; ++c) grid_->SetTextMatrix(r, c, "");
    grid_->SetCellKey(r, kColProductCode, Variant());
    grid_->SetCellKey(r, kColProcess, Variant());
    grid_->SetCellPicture(r, kColStandardRate, "");
    std::string structure;
    if (record.progid == plan_progid && plan_progid != 0) {
      std::string products;
      std::unique_ptr<Recordset> rows = sql_.Rows(
          "select 产品ID from mrpplanmx A left join mrpplan B on A.主计划组ID=B.主计划组ID where "
          "smark='02' and 主计划ID=" +
          std::to_string(record.line_id));
      for (const Recordset::Row& row : rows->Rows()) {
        if (row.empty() || row[0].IsBlank()) continue;
        products += (products.empty() ? "" : ",") + FormatNumber(row[0].ToDouble());
      }
      if (!products.empty()) {
        structure = sql_.Scalar("select top 1 bomID from pdmbom where 产品ID in(" + products +
                                ") and sMark='02' AND ISNULL(是否失效,0)=0 AND 是否标准=1 order "
                                "by bomID desc")
                        .ToText();
      }
    }
    grid_->SetTextMatrix(r, kColBomId, structure);
  }
  dirty_ = true;
  SumTotals();
}

}  // namespace korvane
