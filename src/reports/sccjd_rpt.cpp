// The work report query: its conditions, its statement, the rate marks and the rate update.
#include "reports/sccjd_rpt.h"

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "host/data_service.h"
#include "host/dialogs.h"
#include "values/variant.h"

namespace korvane {

using controls::LookupDefinition;
using controls::LookupField;
using namespace sccjd_rpt;

namespace {

constexpr std::string_view kWrongInput = "输入有误，请重新输入！";

constexpr std::array<std::string_view, kFieldCount> kCaptions = {
    "员工",   "计划单号从", "车间名称", "操作日期从", "到",       "产品名称", "产品类别",
    "批次号", "制单员",     "编号",     "工艺",       "成品名称", "到",
};

// The order the conditions are appended in.
constexpr std::array kConditionOrder = {kWorkshop, kDateFrom, kDateTo,  kPart,  kCategory,
                                        kEmployee, kPlanFrom, kPlanTo,  kBatch, kPreparer,
                                        kNumber,   kProcess,  kFinished};

// The first row of the finished product's standard approved valid structure that uses the
// line's part, times the plan quantity. Its own aliases keep the outer B the plan line.
constexpr std::string_view kStructureQuantity =
    "(select top 1 BM.实际配量分子/BM.实际配量分母 from pdmbommx BM join pdmbom BH on "
    "BM.bomID=BH.bomID where BH.产品ID=B.产品ID and BM.配件ID=sfcdjmx.产品ID and BH.sMark='02' "
    "and isnull(BH.是否失效,0)=0 and BH.是否标准=1)*B.需求数量";

std::string SelectText() {
  return std::string(
             "SELECT  SFCDJ.报工单编号 as 单据编号,  SFCDJMX.生产日期, PDMBM.部门编码 AS "
             "车间编码,PDMBM.部门名称 AS 车间名称 , ") +
         " SFCDJMx.原单号 as 计划单号,SFCDJMX.班次 as 批次号,C.物品编码 as 成品编码,C.物品名称+' "
         "'+isnull(C.规格,'') as 成品信息,B.需求数量 as 成品数量," +
         " dbo.rSfcDjEmp(报工单明细ID) as 员工,PDMCPML.物品编码 as 部件编码,PDMCPML.物品名称 as "
         "部件名称,PDMCPML.规格," +
         std::string(kStructureQuantity) + " as Bom组成数量," +
         "PDMCPML.库存单位 as 单位,PDMSR.编号 as 工艺编码,PDMSR.工艺名称,SFCDJMX.生产数量," +
         " SFCDJMX.合格数量,SFCDJMX.工资定额系数 as 工资定额,SFCDJMX.工资金额 as "
         "实际工资,D.单位工资 as 标准工资定额," +
         "sfcdj.制单 as 制单员,sfcdj.审核 as 审核员,SFCDJ.备注," +
         " SFCDJ.progID,SFCDJ.报工单ID,SFCDJMX.报工单明细ID" + " FROM SFCDJ" +
         " left JOIN SFCDJMX ON  SFCDJ.报工单ID =  SFCDJMX.报工单ID" +
         " left JOIN PDMCPML ON  SFCDJMX.产品ID =  PDMCPML.产品ID" +
         " left JOIN PDMBM ON  SFCDJ.工作中心ID =  PDMBM.部门ID" +
         " left JOIN PDMSR ON  SFCDJMX.工艺ID =  PDMSR.工艺ID" +
         " left join (mrpplan A left join mrpplanmx B on A.主计划组ID=B.主计划组ID) on "
         "sfcdjmx.前置单据=A.progID and sfcdjmx.前置单据ID=B.主计划ID" +
         " left join pdmcpml C on B.产品ID=C.产品ID" +
         " left join (select 产品ID,工序ID,单位工资 from pagzde where 工作中心ID=0 and 品质='') D "
         "on sfcdjmx.产品ID=D.产品ID and sfcdjmx.工艺ID=D.工序ID";
}

// A key value as the number a statement takes: whole ids stay whole, anything unreadable is 0.
std::string AsNumber(const Variant& value) {
  const double number = NumericValue(value.ToText());
  return std::isfinite(number) ? FormatNumber(number) : "0";
}

std::string Today() {
  const auto now = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  return FormatDate(std::chrono::year_month_day{now});
}

LookupDefinition Lookup(std::string type, std::string query, std::string value, std::string text,
                        std::string_view error = kWrongInput) {
  return controls::LookupDefinition::Of(std::move(type), std::move(query), std::move(value),
                                        std::move(text), std::string(error));
}

}  // namespace

SCCJD_RPT::SCCJD_RPT() : ReportBase("SCCJD_RPT") {
  for (int i = 0; i < kFieldCount; ++i) {
    fields_.push_back(&AddConditionField(i, std::string(kCaptions[static_cast<std::size_t>(i)])));
  }
  status_[kUnapproved] = &form_.Add<controls::CheckBox>("Chk", kUnapproved);
  status_[kUnapproved]->set_caption("未审核记录");
  status_[kApproved] = &form_.Add<controls::CheckBox>("Chk", kApproved);
  status_[kApproved]->set_caption("审核记录");
  update_rates_ = &form_.Add<controls::Button>("cmdUpdate");
  update_rates_->set_caption("更新工价(&R)");
  for (int product : {kPart, kFinished}) {
    fields_[product]->set_lookup(Lookup("pdmcpml", "", "产品ID", "物品编码"));
    ShowProductByCodeAndName(*fields_[product]);
  }
  fields_[kEmployee]->set_lookup(
      Lookup("hp_gy", "Select 雇员编号,姓名,雇员ID From pdmgy where 雇员编号='@' or 姓名='@'",
             "雇员ID", "姓名"));
  LookupDefinition workshop =
      Lookup("pdmbm", "", "部门ID", "部门名称", "车间编码或车间名称输入有误，请重新输入！");
  workshop.parameters = {{"pdmbmzzlx", Variant("3")}, {"pdmbmsfmx", Variant(1)}};
  fields_[kWorkshop]->set_lookup(std::move(workshop));
  fields_[kCategory]->set_lookup(Lookup(
      "gy_Cplb_bm", std::string("select * from pdmcplb ") + " where (类别编码='@' or 类别名称='@')",
      "类别编码", "类别名称"));
  fields_[kProcess]->set_lookup(Lookup(
      "gy_sr",
      "select 编号,工艺名称,简称,工艺ID from PDMSr Where ( 编号='@' or 简称='@' or 工艺名称='@')",
      "工艺ID", "工艺名称"));
  update_rates_->click.Connect([this] { Guard("cmdUpdate_Click", [&] { return UpdateRates(); }); });
  AddResultGrid("VSFlexGrid");
  grid_->set_tooltip("提示：双击进入原始单据查询");
}

void SCCJD_RPT::InitModule() { update_rates_->set_enabled(host_->UserMayUse(progid())); }

void SCCJD_RPT::DefaultConditions() {
  if (!fields_[kDateFrom]->text().empty() || !fields_[kDateTo]->text().empty() ||
      !fields_[kPreparer]->text().empty()) {
    return;
  }
  const UserInfo user = host_->User();
  fields_[kDateFrom]->set_text(FormatDate(user.business_date));
  fields_[kDateTo]->set_text(FormatDate(user.business_date));
  fields_[kPreparer]->set_text(user.user_name);
}

std::string SCCJD_RPT::Field(int index, bool trimmed) const {
  const std::string& text = fields_[static_cast<std::size_t>(index)]->text();
  return trimmed ? Trim(text) : text;
}

std::string SCCJD_RPT::ConditionText() const {
  std::string where;
  for (int index : kConditionOrder) {
    const bool trimmed = index <= kPlanFrom || index >= kCategory;
    const std::string text = Field(index, trimmed);
    if (text.empty()) continue;
    const Variant& value = fields_[static_cast<std::size_t>(index)]->value();
    switch (index) {
      case kEmployee:
        where += " and dbo.rSfcDjEmpID(报工单明细ID) like '%;" + AsNumber(value) + ";%'";
        break;
      case kPlanFrom:
        where += " and SFCDJMX.原单号>=" + SqlQuote(text);
        break;
      case kPlanTo:
        where += " and SFCDJMX.原单号<=" + SqlQuote(text);
        break;
      case kWorkshop:
        where += " and SFCDJ.工作中心ID=" + AsNumber(value);
        break;
      case kDateFrom:
        where += " and SFCDJMX.生产日期>=" + SqlQuote(text);
        break;
      case kDateTo:
        // A date includes its whole day: everything before the next one.
        if (const std::optional<DateTime> date = ParseDate(text)) {
          const std::chrono::sys_days next =
              std::chrono::sys_days{DateOf(*date)} + std::chrono::days{1};
          where += " and SFCDJMX.生产日期<'" + FormatDate(std::chrono::year_month_day{next}) + "'";
        } else {
          where += " and SFCDJMX.生产日期<=" + SqlQuote(text);
        }
        break;
      case kPart:
        where += " and SFCDJMX.产品ID=" + AsNumber(value);
        break;
      case kCategory:
        where += " and PDMCPML.产品类别ID IN ( SELECT 类别ID FROM PDMCPLB WHERE 类别编码 Like '" +
                 SqlEscape(Trim(value.ToText())) + "%') ";
        break;
      case kBatch:
        where += " and SFCDJMX.班次=" + SqlQuote(text);
        break;
      case kPreparer:
        where += " and SFCDJ.制单=" + SqlQuote(text);
        break;
      case kNumber:
        where += " and SFCDJ.报工单编号=" + SqlQuote(text);
        break;
      case kProcess:
        where += " and SFCDJMx.工艺ID=" + AsNumber(value);
        break;
      case kFinished:
        where += " and B.产品ID=" + AsNumber(value);
        break;
      default:
        break;
    }
  }
  // Both boxes or neither: reports of both states.
  const bool approved = status_[kApproved]->ticked();
  const bool unapproved = status_[kUnapproved]->ticked();
  if (approved != unapproved) where += approved ? " and sfcdj.smark='02'" : " and sfcdj.smark='01'";
  return where;
}

bool SCCJD_RPT::Refresh() {
  return Guard("IRptUI_Refresh", [&] {
    if (!host_) return false;
    controls::Grid& vs = *grid_;
    const document::RedrawOff redraw_off(vs);
    vs.set_rows(vs.fixed_rows());

    std::string condition = ConditionText();
    // The condition's leading " and " gives way to " where ".
    if (!condition.empty()) condition = " where " + condition.substr(5);
    const std::string statement =
        SelectText() + condition + " order by 报工单编号,SFCDJmx.生产日期,pdmcpml.物品编码";
    std::shared_ptr<DataService> data = host_->Data();
    std::unique_ptr<Recordset> rows = data->OpenSql(statement);
    const std::string error = data->LastError();
    if (!error.empty() || !rows) {
      RaiseErrorText(error.empty() ? "the query gave no rows" : error, LogLevel::kError);
      return false;
    }

    const int fields = static_cast<int>(rows->Fields().size());
    if (vs.cols() != vs.fixed_cols() + fields) {
      vs.set_cols(vs.fixed_cols() + fields);
      for (int f = 0; f < fields; ++f) {
        vs.SetTextMatrix(0, vs.fixed_cols() + f, rows->Fields()[static_cast<std::size_t>(f)].name);
      }
    }
    if (rows->RecordCount() > 0) vs.AppendRows(rows->Rows(), vs.fixed_cols());

    MarkRates();
    ApplyUserGridSettings();
    const int cols = vs.cols();
    for (int c = cols - 3; c < cols; ++c) {
      if (c >= 0) vs.SetColHidden(c, true);
    }
    RaiseMessage("共加载有" + std::to_string(vs.rows() - 1) + "条记录");
    return true;
  });
}

// A line paid at another rate than the standard one carries the note picture.
void SCCJD_RPT::MarkRates() {
  controls::Grid& vs = *grid_;
  const int cols = vs.cols();
  if (cols < 9) return;
  for (int r = vs.fixed_rows(); r < vs.rows(); ++r) {
    const bool differs =
        NumericValue(vs.TextMatrix(r, cols - 7)) != NumericValue(vs.TextMatrix(r, cols - 9));
    vs.SetCellPicture(r, cols - 7, differs ? "note" : "");
  }
}

bool SCCJD_RPT::UpdateRates() {
  if (!host_ || !update_rates_->enabled()) return false;
  controls::Grid& vs = *grid_;
  const std::vector<int> selected = vs.SelectedRows();
  const int cols = vs.cols();
  if (selected.empty() || cols < 10) return false;
  if (host_->dialogs().MessageBox("是否更新当前所选记录的工价?", MsgButtons::kYesNo,
                                  MsgIcon::kInformation, kPlainPromptTitle) != MsgAnswer::kYes) {
    return false;
  }
  struct Change {
    int row;
    double rate;
  };
  std::vector<Change> changed;
  const std::string today = Today();
  std::shared_ptr<DataService> data = host_->Data();
  const bool done = sql_.InTransaction(guard(), "cmdUpdate_Click", [&] {
    for (int r : selected) {
      if (vs.IsSubtotal(r)) continue;
      const double line = NumericValue(vs.TextMatrix(r, cols - 1));
      if (!(line > 0) || vs.TextMatrix(r, cols - 9) == vs.TextMatrix(r, cols - 7)) continue;
      const double rate = NumericValue(vs.TextMatrix(r, cols - 7));
      const std::string standard = document::SqlNumber(rate);
      sql_.Execute("update sfcdjmx set 工资定额系数=" + standard + "," + "工资金额=合格数量*" +
                   standard + "," + "包装单位='" + today + "'" +
                   " where 报工单明细ID=" + FormatNumber(line) +
                   " and 报工单ID in(select 报工单ID from sfcdj where smark='01')");
      // A line of an approved report is left alone by the database: nothing changed.
      if (data->RowsAffected() == 1) changed.push_back({r, rate});
    }
    return true;
  });
  if (!done) return false;
  for (const Change& change : changed) {
    vs.SetTextMatrix(change.row, cols - 9, FormatNumber(change.rate));
    vs.SetTextMatrix(
        change.row, cols - 8,
        FormatNumber(NumericValue(vs.TextMatrix(change.row, cols - 10)) * change.rate));
    vs.SetCellPicture(change.row, cols - 7, "");
  }
  return !changed.empty();
}

std::optional<document::DetailTarget> SCCJD_RPT::DetailOf(int row) const {
  const int cols = grid_->cols();
  if (cols < 3 || grid_->IsSubtotal(row)) return std::nullopt;
  return document::DetailTarget{
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, cols - 3))),
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, cols - 2)))};
}

std::vector<std::string> SCCJD_RPT::HeadingConditionLines() const {
  std::vector<std::string> lines;
  const std::string from = Field(kDateFrom, false);
  const std::string to = Field(kDateTo, false);
  if (!from.empty() && !to.empty()) {
    lines.push_back("操作日期：从 " + from + " 到 " + to);
  } else if (!from.empty()) {
    lines.push_back("操作日期：从 " + from + " 开始");
  } else if (!to.empty()) {
    lines.push_back("操作日期：到 " + to + " 结束");
  }
  if (!Field(kWorkshop, false).empty()) lines.push_back("车间名称：" + Field(kWorkshop, false));
  if (!Field(kPart, false).empty()) lines.push_back("产品名称：" + Field(kPart, false));
  if (!Field(kEmployee, false).empty()) lines.push_back("员工：" + Field(kEmployee, false));
  return lines;
}

}  // namespace korvane
