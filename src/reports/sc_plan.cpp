// The process analysis of master plans.
#include "reports/sc_plan.h"

#include <utility>

#include "host/dialogs.h"
#include "host/shared_routines.h"
#include "values/variant.h"

namespace korvane {
namespace {

constexpr int kFieldFrom = 0;
constexpr int kFieldTo = 1;
constexpr int kFieldFinished = 2;
constexpr int kFieldCategory = 3;
constexpr int kFieldPart = 4;
constexpr int kFieldProcess = 5;

constexpr std::string_view kLookupError = "输入有误，请重新输入！";

controls::LookupDefinition Lookup(std::string type, std::string query, std::string value,
                                  std::string text) {
  return controls::LookupDefinition::Of(std::move(type), std::move(query), std::move(value),
                                        std::move(text), std::string(kLookupError));
}

}  // namespace

SC_Plan::SC_Plan() : ReportBase("SC_Plan") {
  static constexpr const char* kCaptions[6] = {"计划单号从", "到",       "成品名称",
                                               "工艺类别",   "产品名称", "工艺"};
  for (int i = 0; i < 6; ++i)
    fields_[static_cast<std::size_t>(i)] = &AddConditionField(i, kCaptions[i]);
  for (int product : {kFieldFinished, kFieldPart}) {
    controls::LookupField& field = *fields_[static_cast<std::size_t>(product)];
    field.set_lookup(Lookup("pdmcpml", "", "产品ID", "物品名称"));
    ShowProductByCodeAndName(field);
  }
  fields_[kFieldProcess]->set_lookup(Lookup(
      "gy_sr",
      "select 编号,工艺名称,简称,工艺ID from PDMSr Where ( 编号='@' or 简称='@' or 工艺名称='@')",
      "工艺ID", "工艺名称"));
  fields_[kFieldCategory]->set_lookup(
      Lookup("gy_Srlb_nMx",
             "select 类别编码,类别名称,类别ID from pdmsrlb  Where (类别编码='@' or 类别名称='@')",
             "类别ID", "类别名称"));
  chk_ = &form_.Add<controls::CheckBox>("Chk");
  chk_->set_caption("不显示定额为零的数据");
  AddResultGrid();
}

SC_Plan::~SC_Plan() = default;

void SC_Plan::ClearModule() {
  for (controls::LookupField* field : fields_) field->Reset();
}

std::string SC_Plan::Text(int field) const {
  return Trim(fields_[static_cast<std::size_t>(field)]->text());
}

std::int32_t SC_Plan::Id(int field) const {
  const controls::LookupField& f = *fields_[static_cast<std::size_t>(field)];
  if (Trim(f.text()).empty()) return 0;
  return static_cast<std::int32_t>(NumericValue(f.value().ToText()));
}

void SC_Plan::DefaultConditions() {
  for (int i = 0; i < 6; ++i) {
    if (!Text(i).empty()) return;
  }
  const std::string newest =
      Trim(sql_.Scalar("select top 1 单据编号 from mrpplan order by 主计划组ID desc").ToText());
  fields_[kFieldFrom]->set_text(newest);
  fields_[kFieldTo]->set_text(newest);
}

bool SC_Plan::Refresh() {
  return Guard("IRptUI_Refresh", [&] {
    if (!host_) return false;
    controls::BusyCursor busy(form_);
    document::RedrawOff redraw(*grid_);
    grid_->set_rows(grid_->fixed_rows());

    const std::pair<const char*, Variant> parameters[] = {
        {"@sSPlanNumber", Variant(Text(kFieldFrom))},    {"@sEPlanNumber", Variant(Text(kFieldTo))},
        {"@lCpID", Variant(Id(kFieldFinished))},         {"@lCpPjID", Variant(Id(kFieldPart))},
        {"@lSrID", Variant(Id(kFieldProcess))},          {"@lSrLbID", Variant(Id(kFieldCategory))},
        {"@bOnly", Variant(chk_->value() == 1 ? 1 : 0)},
    };
    VariantArray array(3, static_cast<int>(std::size(parameters)));
    for (int j = 0; j < array.cols(); ++j) {
      array.at(0, j) = parameters[j].second;
      array.at(1, j) = Variant(std::string(parameters[j].first));
    }
    if (!gFnRunProc("RPT_MPS_PlanSr_Sc", array, *grid_, true, true, *host_)) {
      grid_->set_rows(grid_->fixed_rows());
      const std::shared_ptr<DataService> data = host_->Data();
      std::string error = data ? data->LastError() : std::string();
      if (error.empty()) error = "RPT_MPS_PlanSr_Sc failed";
      guard().Report("IRptUI_Refresh", error);
      return false;
    }
    ApplyUserGridSettings();
    RaiseMessage("共加载有" + std::to_string(grid_->rows() - 1) + "条记录");
    return true;
  });
}

std::optional<document::DetailTarget> SC_Plan::DetailOf(int row) const {
  const int cols = grid_->cols();
  if (cols < 3 || grid_->IsSubtotal(row)) return std::nullopt;
  return document::DetailTarget{
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, cols - 3))),
      static_cast<std::int32_t>(NumericValue(grid_->TextMatrix(row, cols - 2)))};
}

std::vector<std::string> SC_Plan::HeadingConditionLines() const {
  std::vector<std::string> lines;
  const std::string from = Text(kFieldFrom);
  const std::string to = Text(kFieldTo);
  if (!from.empty() && !to.empty()) {
    lines.push_back("计划单号：从 " + from + " 到 " + to);
  } else if (!from.empty()) {
    lines.push_back("计划单号：从 " + from + " 开始");
  } else if (!to.empty()) {
    lines.push_back("计划单号：到 " + to + " 结束");
  }
  if (!Text(kFieldFinished).empty()) lines.push_back("成品名称：" + Text(kFieldFinished));
  if (!Text(kFieldPart).empty()) lines.push_back("产品名称：" + Text(kFieldPart));
  if (!Text(kFieldProcess).empty()) {
    lines.push_back("工艺：" + Text(kFieldProcess));
  } else if (!Text(kFieldCategory).empty()) {
    lines.push_back("工艺类别：" + Text(kFieldCategory));
  }
  return lines;
}

}  // namespace korvane
