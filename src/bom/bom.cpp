// The bill of materials document: the document base's rules, initialisation, showing a
// structure with its lines.
#include "bom/bom.h"

#include <memory>
#include <string>
#include <utility>

#include "bom/frm_bom_zk.h"
#include "document/conditions.h"
#include "document/sql.h"
#include "values/variant.h"

namespace korvane {

namespace {

using namespace bom;

// The header row of a structure with its product; loading and finding use the same text.
constexpr std::string_view kHeaderSelect =
    " SELECT A.*,B.物品编码,B.物品名称,B.规格,B.库存单位,B.图号 FROM PDMbom A left join pdmcpml B "
    "on "
    "A.产品ID=B.产品ID ";

document::DocumentRules BomRules() {
  document::DocumentRules rules;
  rules.module_name = std::string(kModuleName);
  rules.browse_error_title = std::string(kTitle);
  rules.browsing.load_select = std::string(kHeaderSelect);
  rules.browsing.find_select = std::string(kHeaderSelect);
  rules.browsing.key_column = "BomID";
  // The structures walked are those of the product chosen in the tree; the approved view has
  // no window of dates; finding looks through every product's standard structures.
  rules.browsing.find_base = "是否标准=1";
  rules.browsing.filter_join = document::FilterJoin::kBaseFirst;
  return rules;
}

// How a stored line fills its row: the column, the field, and whether it is a number.
struct LineColumn {
  int col;
  const char* field;
  bool number;
};
constexpr LineColumn kLineColumns[] = {
    {kColSequence, "rowindex", false},
    {kColCode, "物品编码", false},
    {kColName, "物品名称", false},
    {kColModel, "规格", false},
    {kColUnit, "库存单位", false},
    {kColDrawing, "图号", false},
    {kColQuantity, "配量分子", true},
    {kColBase, "配量分母", true},
    {kColLoss, "损耗率", true},
    {kColActualQuantity, "实际配量分子", true},
    {kColActualBase, "实际配量分母", true},
    {kColAuxiliary, "辅助配量", true},
    {kColOption, "选配代号", false},
    {kColNote, "说明", false},
    {kColLineId, "bommxID", true},
};

document::ProductTreeRules TreeRules() {
  document::ProductTreeRules rules;
  rules.root_text = "BOM结构";
  rules.excluded_account = "1211";
  rules.marker_column = "bomID";
  rules.marker_join =
      " left join (select 产品ID,max(bomID) as bomID from pdmbom where 是否标准=1 group by 产品ID) "
      "C on A.产品ID=C.产品ID";
  rules.title = std::string(kTitle);
  return rules;
}

}  // namespace

Bom::Bom() : ProductDocument(BomRules(), TreeRules(), "pdmbom") {
  SetUpForm();
  LockForm(true);
}

Bom::~Bom() = default;

void Bom::RaiseEvent(const std::function<void(DocumentEvents&)>& event) {
  Raise([&](DocumentEvents& sink) { event(sink); });
}

void Bom::InitDocument() {
  readonly_colours_ = document::ReadOnlyColours(*host_);
  SetUpGrid();
}

void Bom::ClearDocument() { zk_.reset(); }

void Bom::EmptyForm() {
  ResetFields(fields_, false);
  grid_->set_rows(grid_->fixed_rows());
  valid_label_->set_visible(false);
  record_label_->set_caption("记录：0/0");
}

void Bom::ShowHeader(const Recordset& header) {
  filling_ = true;
  const auto set = [&](int index, const Variant& value) {
    fields_[static_cast<std::size_t>(index)]->set_text(Trim(value.ToText()));
  };
  set(kFieldNote, header["说明"]);
  fields_[kFieldBatch]->set_text(FormatNumber(header["批量"].ToDouble()));
  fields_[kFieldDate]->set_text(document::ShownDate(header["日期"]));
  set(kFieldProduct, header["物品编码"]);
  fields_[kFieldProduct]->set_value(header["产品ID"]);
  set(kFieldName, header["物品名称"]);
  set(kFieldUnit, header["库存单位"]);
  set(kFieldDrawing, header["图号"]);
  filling_ = false;

  valid_label_->set_visible(header["是否失效"].ToLong() == 1);
  const std::string position = browser_.PositionText();
  record_label_->set_caption("记录：" + (position.empty() ? std::string("0/0") : position));
  stamp_->set_visible(Trim(header["smark"].ToText()) != "01");
  ShowLines(current_id());
}

void Bom::ShowLines(std::int32_t structure_id) {
  std::unique_ptr<Recordset> lines = sql_.Rows(
      "SELECT A.*,B.物品编码,B.物品名称,B.规格,B.库存单位,B.图号 FROM PDMbommx A left join pdmcpml "
      "B on A.配件ID=B.产品ID WHERE bomid=" +
      std::to_string(structure_id) + " order by rowindex");
  controls::Grid& grid = *grid_;
  filling_ = true;
  document::FillRows(grid, *lines, [&](int r) {
    grid.SetTextMatrix(r, kColRowNumber, std::to_string(r - grid.fixed_rows() + 1));
    for (const LineColumn& column : kLineColumns) {
      const Variant& value = (*lines)[column.field];
      grid.SetTextMatrix(r, column.col,
                         column.number ? FormatNumber(value.ToDouble()) : Trim(value.ToText()));
    }
    grid.SetCellKey(r, kColCode, (*lines)["配件ID"]);
    PaintRow(r);
  });
  filling_ = false;
}

std::string Bom::ShownProductCode() const { return fields_[kFieldProduct]->text(); }

}  // namespace korvane
