// The master plan document: initialisation, the document base's rules, and showing a plan with
// its lines.
#include "planning/plan2.h"

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "document/sql.h"
#include "values/variant.h"

namespace korvane {

namespace {

using namespace planning;

// The header row of a plan with its plan type's name; loading and finding use the same text.
constexpr std::string_view kHeaderSelect =
    " SELECT a.主计划组ID,a.progid,a.smark,a.单据编号,a.性质,a.计划日期,a.计划员,a.制单,a.制单日期,"
    "a.审核,a.审核日期,a.备注,a.计划类型ID,b.类型名称 FROM MRPPlan a left join pdmplantype b on "
    "a.计划类型ID=b.计划类型ID";

document::DocumentRules PlanRules() {
  document::DocumentRules rules;
  rules.module_name = std::string(kModuleName);
  rules.browse_error_title = std::string(kTitle);
  rules.browsing.load_select = std::string(kHeaderSelect);
  rules.browsing.find_select = std::string(kHeaderSelect);
  rules.browsing.key_column = std::string(kKeyColumn);
  rules.browsing.progid_prefix = " progid=";
  rules.browsing.period_module = "MPS";
  rules.browsing.date_column = "计划日期";
  rules.browsing.filter_join = document::FilterJoin::kBaseFirst;
  return rules;
}

// How a stored line fills its row: the column, the field and how the value is shown (NULL
// numbers as 0, dates as yyyy-mm-dd).
enum class Shown { kText, kNumber, kDate };
struct LineColumn {
  int col;
  const char* field;
  Shown kind;
};
constexpr LineColumn kLineColumns[] = {
    {kColProductCode, "物品编码", Shown::kText},    {kColProductName, "物品名称", Shown::kText},
    {kColModel, "物品规格", Shown::kText},          {kColUnit, "库存单位", Shown::kText},
    {kColBatch, "产品批次", Shown::kText},          {kColDemand, "需求数量", Shown::kNumber},
    {kColLineId, "主计划ID", Shown::kNumber},       {kColProductId, "产品ID", Shown::kNumber},
    {kColDemandDate, "需求日期", Shown::kDate},     {kColStart, "预计开工日", Shown::kDate},
    {kColFinish, "预计完工日", Shown::kDate},       {kColStock, "库存数量", Shown::kNumber},
    {kColMinimumStock, "短缺限额", Shown::kNumber},
};

}  // namespace

plan2::plan2() : DocumentBase(PlanRules()) {
  SetUpForm();
  LockForm(true);
}

plan2::~plan2() = default;

bool plan2::Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                 std::int32_t document_id) {
  if (!DocumentBase::Init(std::move(context), progid, document_id)) return false;
  Refresh();
  return true;
}

void plan2::RaiseEvent(const std::function<void(DocumentEvents&)>& event) {
  Raise([&](PlanEvents& sink) { event(sink); });
}

void plan2::InitModule() {
  lookups_ = host_->Lookups();
  for (controls::LookupField* field : fields_) field->set_resolver(lookups_.get());
  controls::LookupDefinition nature = fields_[kFieldNature]->lookup();
  nature.parameters = {{"ProgID", Variant(progid())}};
  fields_[kFieldNature]->set_lookup(std::move(nature));
  stock_ = host_->CreateStockQuery();
  readonly_colours_ = document::ReadOnlyColours(*host_);
  SetUpGrid();
}

void plan2::ClearModule() {
  ResetFields(fields_, true);
  grid_->set_rows(grid_->fixed_rows());
  deleted_.Clear();
  lookups_.reset();
  stock_.reset();
}

void plan2::EmptyForm() {
  previous_id_ = current_id();
  if (chk_->ticked()) {
    // The header carries over to the next plan; only the number is its own.
    filling_ = true;
    fields_[kFieldNumber]->set_text("");
    filling_ = false;
  } else {
    ResetFields(fields_, false);
  }
  grid_->set_rows(grid_->fixed_rows());
  deleted_.Clear();
  record_label_->set_caption("记录：0/0");
}

void plan2::ShowHeader(const Recordset& header) {
  previous_id_ = current_id();
  filling_ = true;
  const auto set = [&](int index, const Variant& value) {
    fields_[static_cast<std::size_t>(index)]->set_text(value.ToText());
  };
  const auto set_date = [&](int index, const Variant& value) {
    fields_[static_cast<std::size_t>(index)]->set_text(document::ShownDate(value));
  };
  set(kFieldNumber, header["单据编号"]);
  set(kFieldPlanner, header["计划员"]);
  set_date(kFieldPlanDate, header["计划日期"]);
  set(kFieldRemark, header["备注"]);
  set(kFieldPreparer, header["制单"]);
  set_date(kFieldPreparedOn, header["制单日期"]);
  set(kFieldApprover, header["审核"]);
  set_date(kFieldApprovedOn, header["审核日期"]);
  set(kFieldNature, header["性质"]);
  fields_[kFieldNature]->set_value(header["性质"]);
  set(kFieldPlanType, header["类型名称"]);
  fields_[kFieldPlanType]->set_value(header["计划类型ID"]);
  filling_ = false;

  stamp_->set_visible(Trim(header["smark"].ToText()) != "01");
  const std::string position = browser_.PositionText();
  record_label_->set_caption("记录：" + (position.empty() ? std::string("0/0") : position));
  ShowLines(current_id());
  deleted_.Clear();
  RaiseProperty();
}

void plan2::ShowLines(std::int32_t plan_id) {
  const std::string setting_1 = document::SqlNumber(NumericValue(host_->Setting(1)));
  std::unique_ptr<Recordset> lines = sql_.Rows(
      " SELECT a.*,c.物品编码,c.库存单位,c.短缺限额,dbo.rSTGoodsDepotAmount(A.产品ID,0,''," +
      setting_1 +
      ",0,0) as 库存数 FROM MRPPlanmx a INNER JOIN  PDMCPML c ON a.产品ID = c.产品ID  where  "
      "a.主计划组ID= " +
      std::to_string(plan_id) + " order by 计划编号");

  controls::Grid& grid = *grid_;
  // Fields are looked up once: by name it is a case-blind search over every field per cell.
  std::array<std::optional<int>, std::size(kLineColumns)> at;
  for (std::size_t i = 0; i < at.size(); ++i) at[i] = lines->FieldIndex(kLineColumns[i].field);
  const std::optional<int> product_at = lines->FieldIndex("产品ID");
  filling_ = true;
  document::FillRows(grid, *lines, [&](int r) {
    for (std::size_t i = 0; i < at.size(); ++i) {
      const LineColumn& column = kLineColumns[i];
      const Variant& value = at[i] ? lines->Value(*at[i]) : (*lines)[column.field];
      std::string shown;
      switch (column.kind) {
        case Shown::kText:
          shown = value.ToText();
          break;
        case Shown::kNumber:
          shown = FormatNumber(value.ToDouble());
          break;
        case Shown::kDate:
          shown = document::ShownDate(value);
          break;
      }
      grid.SetTextMatrix(r, column.col, std::move(shown));
    }
    grid.SetCellKey(r, kColProductCode,
                    product_at ? lines->Value(*product_at) : (*lines)["产品ID"]);
    PaintRow(r);
  });
  filling_ = false;
  const int fixed = grid.fixed_rows();
  if (grid.rows() > fixed && (grid.row() < fixed || grid.row() >= grid.rows())) grid.set_row(fixed);
}

void plan2::RaiseProperty() {
  const controls::Grid& grid = *grid_;
  const int row = grid.row();
  const std::string code = row >= grid.fixed_rows() && row < grid.rows()
                               ? grid.TextMatrix(row, kColProductCode)
                               : std::string();
  Raise([&](PlanEvents& sink) { sink.Property("产品ID", Variant(code), true); });
}

}  // namespace korvane
