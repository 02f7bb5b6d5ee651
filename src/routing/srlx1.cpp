// The process route document: the document base's rules, initialisation, showing a route with
// its operations and their piece rates.
#include "routing/srlx1.h"

#include <memory>
#include <string>
#include <utility>

#include "document/conditions.h"
#include "document/line_grid.h"
#include "values/variant.h"

namespace korvane {

using namespace routing;

namespace routing {

bool ProcessPermitted(std::string_view permitted, std::int32_t process) {
  if (Trim(permitted).empty() || process == 0) return true;
  const std::string list = "," + std::string(permitted) + ",";
  return list.find("," + std::to_string(process) + ",") != std::string::npos;
}

}  // namespace routing

namespace {

// The header row of a route with its product; loading and finding use the same text.
constexpr std::string_view kHeaderSelect =
    "SELECT PDMSRLX.路线名称, PDMSRLX.ID, PDMSRLX.日期, PDMSRLX.工作编号, PDMSRLX.说明, "
    "PDMSRLX.产品ID, PDMSRLX.是否标准, PDMSRLX.是否失效, PDMSRLX.是否系统, "
    "PDMSRLX.是否关键路线, PDMCPML.物品编码, PDMCPML.物品名称, PDMCPML.库存单位 , PDMCPML.规格 "
    " FROM PDMSRLX LEFT OUTER JOIN  PDMCPML ON PDMSRLX.产品ID = PDMCPML.产品ID  ";

document::DocumentRules RouteRules() {
  document::DocumentRules rules;
  rules.module_name = std::string(kModuleName);
  rules.browse_error_title = std::string(kTitle);
  rules.browsing.load_select = std::string(kHeaderSelect);
  rules.browsing.find_select = std::string(kHeaderSelect);
  rules.browsing.key_column = "ID";
  // The routes walked are the standard ones of the product chosen in the tree; finding looks
  // through every product's standard routes.
  rules.browsing.find_base = "是否标准=1";
  rules.browsing.walks_status = false;
  return rules;
}

document::ProductTreeRules TreeRules() {
  document::ProductTreeRules rules;
  rules.root_text = "工艺路线";
  rules.excluded_account = "1243";
  rules.marker_column = "srlxID";
  rules.marker_join =
      " left join (select 产品ID,max(ID) as srlxID from pdmsrlx where 是否标准=1 group by 产品ID) "
      "C on A.产品ID=C.产品ID";
  rules.title = std::string(kTitle);
  return rules;
}

}  // namespace

SRLX1::SRLX1() : ProductDocument(RouteRules(), TreeRules(), "pdmsrlx") {
  SetUpForm();
  LockForm(true);
}

SRLX1::~SRLX1() = default;

void SRLX1::RaiseEvent(const std::function<void(DocumentEvents&)>& event) {
  Raise([&](DocumentEvents& sink) { event(sink); });
}

void SRLX1::RaiseTitled(const std::string& text, std::string_view title) {
  RaiseEvent(
      [&](DocumentEvents& sink) { sink.ErrMessage(text, LogLevel::kError, std::string(title)); });
}

void SRLX1::InitDocument() {
  permitted_ = Trim(host_->UserItem(2017));
  SetUpGrid();
}

void SRLX1::ClearDocument() { selection_.reset(); }

void SRLX1::EmptyForm() {
  ResetFields(fields_, false);
  filling_ = true;
  for (int i = kChkStandard; i <= kChkCritical; ++i)
    chk_[static_cast<std::size_t>(i)]->set_value(0);
  filling_ = false;
  name_label_->set_caption("");
  grid_->set_rows(grid_->fixed_rows());
  record_label_->set_caption("记录：0/0");
}

void SRLX1::ShowHeader(const Recordset& header) {
  filling_ = true;
  const auto set = [&](int index, const Variant& value) {
    fields_[static_cast<std::size_t>(index)]->set_text(Trim(value.ToText()));
  };
  set(kFieldName, header["路线名称"]);
  fields_[kFieldDate]->set_text(document::ShownDate(header["日期"]));
  set(kFieldNote, header["说明"]);
  set(kFieldProduct, header["物品编码"]);
  fields_[kFieldProduct]->set_value(header["产品ID"]);
  set(kFieldProductName, header["物品名称"]);
  name_label_->set_caption(Trim(header["规格"].ToText()) + "  " +
                           Trim(header["库存单位"].ToText()));
  chk_[kChkStandard]->set_value(header["是否标准"].ToLong() == 1 ? 1 : 0);
  chk_[kChkInvalid]->set_value(header["是否失效"].ToLong() == 1 ? 1 : 0);
  chk_[kChkCritical]->set_value(header["是否关键路线"].ToLong() == 1 ? 1 : 0);
  filling_ = false;
  const std::string position = browser_.PositionText();
  record_label_->set_caption("记录：" + (position.empty() ? std::string("0/0") : position));

  std::unique_ptr<Recordset> operations = sql_.Rows(
      "SELECT PDMSRLXMX.*, PDMSR.工艺名称 AS 工艺名称, PDMBM.部门名称 AS 生产车间,"
      "PDMGZZX.工作中心名称 as 工作中心 FROM PDMSRLXMX LEFT OUTER JOIN PDMSR ON PDMSRLXMX.工艺ID "
      "= PDMSR.工艺ID LEFT OUTER JOIN PDMBM ON PDMSRLXMX.部门ID = PDMBM.部门ID LEFT OUTER JOIN "
      "PDMGZZX ON PDMSRLXMX.工作中心ID = PDMGZZX.工作中心ID  WHERE PDMSRLXMX.SRLXID = " +
      std::to_string(current_id()) + " ORDER BY PDMSRLXMX.顺序号");
  ShowOperations(*operations, static_cast<std::int32_t>(NumericValue(header["产品ID"].ToText())));
}

std::string SRLX1::ShownProductCode() const { return fields_[kFieldProduct]->text(); }

}  // namespace korvane
