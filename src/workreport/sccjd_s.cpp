// The work report document: initialisation, loading by navigation, finding and filtering, and
// showing a report with its lines and employee shares.
#include "workreport/sccjd_s.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "host/data_service.h"
#include "host/shared_routines.h"
#include "workreport/frm_sel_gy.h"

namespace korvane {

namespace workreport {

std::optional<std::string> ConditionText(const ConditionArray& conditions) {
  if (conditions.empty()) return std::nullopt;
  std::string text;
  for (int c = 0; c < conditions.cols(); ++c) {
    if (conditions.get(0, c).IsBlank()) continue;
    const std::string field = conditions.get(1, c).ToText();
    const std::string value = SqlEscape(conditions.get(2, c).ToText());
    // The host writes the operator and its blanks; only a row ending exactly in "like" gets the
    // pattern's "%" around the value. "编号 like " (blank after it) compares the value as it is.
    if (RightChars(field, 4) == "like") {
      text += " and " + field + "'%" + value + "%'";
    } else {
      text += " and " + field + "'" + value + "'";
    }
  }
  return text.size() > 4 ? text.substr(4) : std::string();
}

namespace {

using namespace std::chrono;

// The date y-m-d, moved back a day at a time until it exists.
year_month_day ValidDate(int y, unsigned m, int d) {
  year_month_day date = year{y} / month{m} / day{static_cast<unsigned>(d > 0 ? d : 1)};
  while (!date.ok() && static_cast<unsigned>(date.day()) > 1) {
    date = date.year() / date.month() / (date.day() - days{1});
  }
  return date;
}

}  // namespace

DateWindow ApprovedDateWindow(int period, int closing_day, int months_before) {
  const int earlier = SubtractPeriods(period, months_before);
  const year_month_day end =
      ValidDate(period / 100, static_cast<unsigned>(period % 100), closing_day);
  year_month_day start =
      ValidDate(earlier / 100, static_cast<unsigned>(earlier % 100), closing_day);
  start = start - months{1};
  if (!start.ok()) {
    start = ValidDate(static_cast<int>(start.year()), static_cast<unsigned>(start.month()),
                      static_cast<int>(static_cast<unsigned>(start.day())));
  }
  start = year_month_day{sys_days{start} + days{1}};
  return {FormatDate(start), FormatDate(end)};
}

}  // namespace workreport

namespace {

using workreport::kKeyColumn;

// The header row of a report with its workshop; loading and finding send slightly different
// texts of the same statement.
constexpr std::string_view kLoadSelect =
    "SELECT PDMBM.部门名称 AS 部门名称, PDMBM.部门ID AS 部门ID, SFCDJ.*  FROM SFCDJ LEFT OUTER "
    "JOIN  PDMBM ON SFCDJ.工作中心ID = PDMBM.部门ID ";
constexpr std::string_view kFindSelect =
    "SELECT PDMBM.部门名称 AS 部门名称, PDMBM.部门ID AS 部门ID, SFCDJ.*  FROM SFCDJ LEFT OUTER "
    "JOIN   PDMBM ON SFCDJ.工作中心ID = PDMBM.部门ID ";

std::string LinesQuery(std::int32_t document_id) {
  return std::string(
             "SELECT C.工艺名称 AS 工艺名称, A.*, B.物品编码 AS 物品编码, B.物品名称 AS 物品名称, "
             "B.库存单位 AS 单位,B.规格 AS 规格,D.部门名称 as 仓库名称,E.部门名称 as 车间名称"
             ",单位工资,progname,billitem,BB.产品ID as 成品ID,CC.物品编码 as 成品编码,"
             "CC.物品名称 as 成品名称,CC.规格 as 成品规格,"
             "BB.产品批次 as 成品批次,BB.需求数量 as 成品需求量,AA.单据编号 as 主计划编号"
             ",(select top 1 bomID from pdmbom where 产品ID=BB.产品ID and sMark='02' AND "
             "ISNULL(是否失效,0)=0 AND 是否标准=1 order by bomID desc) as BomID"
             ",(select top 1 实际配量分子/实际配量分母 from pdmbommx A1 left join pdmbom B1 on "
             "A1.bomID=B1.bomID"
             " where 产品ID=BB.产品ID and 配件ID=A.产品ID and sMark='02' AND ISNULL(是否失效,0)=0 "
             "AND 是否标准=1)*BB.需求数量 as Bom组成数量"
             " FROM SFCDJMX A LEFT JOIN PDMCPML B ON A.产品ID=B.产品ID"
             " LEFT JOIN PDMSR C ON A.工艺ID=C.工艺ID"
             " LEFT JOIN PDMBM D ON A.仓库ID=D.部门ID"
             " LEFT JOIN PDMBM E ON A.车间ID=E.部门ID"
             " left join (select 产品ID,工序ID,单位工资 from pagzde where 工作中心ID=0 and "
             "品质='') F on A.产品ID=F.产品ID and A.工艺ID=F.工序ID"
             " left join xt_objects G on A.前置单据=G.progID"
             " left join (mrpplan AA left join mrpplanmx BB on AA.主计划组ID=BB.主计划组ID) on "
             "A.前置单据=AA.progID and A.前置单据ID=BB.主计划ID"
             " left join pdmcpml CC on BB.产品ID=CC.产品ID"
             "  where 报工单ID= ") +
         std::to_string(document_id) + " order by 报工单明细ID";
}

std::string AllocationQuery(std::int32_t line_id) {
  return "select 雇员编号,姓名,员工ID,分配比例,报工单明细附属ID"
         " from sfcdjmxfs A left join pdmgy B on A.员工ID=B.雇员ID"
         " where 报工单明细ID=" +
         std::to_string(line_id) + " order by 报工单明细附属ID";
}

std::string DateText(const Variant& value) {
  const std::optional<DateTime> date = value.ToDate();
  return date ? FormatDate(*date) : std::string();
}

}  // namespace

namespace workreport {

std::string JoinNonEmpty(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += ' ';
    out += part;
  }
  return out;
}

bool RateDiffers(const std::string& used, const std::string& standard) {
  if (used.empty() || standard.empty()) return used.empty() != standard.empty();
  return NumericValue(used) != NumericValue(standard);
}

}  // namespace workreport

SCCJD_S::SCCJD_S() : form_(std::string(workreport::kModuleName)) {
  SetUpForm();
  SetUpGrid();
  LockForm(true);
}

SCCJD_S::~SCCJD_S() = default;

void SCCJD_S::RaiseMessage(const std::string& text) {
  Raise([&](DocumentEvents& sink) { sink.Message(text); });
}

void SCCJD_S::RaiseError(const ErrorReport& report) {
  const std::string title = host_ ? host_->ApplicationTitle() : report.title;
  Raise([&](DocumentEvents& sink) { sink.ErrMessage(report.text, report.level, title); });
}

bool SCCJD_S::Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                   std::int32_t document_id) {
  return Guard("Init", [&] {
    progid_ = progid;
    requested_id_ = document_id;
    if (!context) return false;
    host_ = std::move(context);
    data_ = host_->Data();
    navigator_ = host_->CreateRecordNavigator();
    if (!data_ || !navigator_) throw std::runtime_error("the host offers no data service");
    lookups_ = host_->Lookups();
    for (controls::LookupField* field : fields_) field->set_resolver(lookups_.get());

    const std::string id = std::to_string(progid);
    const auto scalar = [&](const std::string& sql) {
      Variant value = data_->ScalarSql(sql);
      if (const std::string error = data_->LastError(); !error.empty()) {
        last_error_ = error;
        throw std::runtime_error(error);
      }
      return value;
    };
    form_.set_caption(scalar("select menuname from xt_menu where progID=" + id).ToText());
    const std::string attribute = "select text from xt_billattribute where progID=" + id;
    source_progid_ = scalar(attribute + " and attribute='原单号'").ToLong();
    process_multi_select_ =
        NumericValue(
            scalar(attribute + " and attribute='工艺选择' and caption='工艺是否多选'").ToText()) ==
        1;
    quantity_control_ =
        NumericValue(scalar(attribute + " and attribute='选单' and caption='数量控制'").ToText()) ==
        1;

    ReadLineSettings();
    try {
      SetUpGrid();
    } catch (const std::exception& e) {
      RaiseError({"加载VS时出错，原因：" + std::string(e.what()), LogLevel::kError,
                  host_->ApplicationTitle()});
    }
    if (!wheel_attached_) {
      AttachWheel(wheel_, *grid_, scroll_rate_);
      wheel_attached_ = true;
    }
    scroll_rate_ = ScrollRateFromSetting(host_->Setting("mouseeventscrollrate"));
    current_id_ = 0;
    last_shown_id_ = 0;
    first_status_.clear();
    mode_ = Mode::kBrowsing;
    LockForm(true);
    SumTotals();
    return true;
  });
}

bool SCCJD_S::Clear() {
  return Guard("Clear", [&] {
    filling_ = true;
    for (controls::LookupField* field : fields_) field->Reset();
    filling_ = false;
    ResetGrid(workreport::kMinimumDataRows);
    navigator_.reset();
    allocation_.reset();
    for (controls::LookupField* field : fields_) field->set_resolver(nullptr);
    lookups_.reset();
    data_.reset();
    host_.reset();
    current_id_ = 0;
    dirty_ = false;
    return true;
  });
}

std::string SCCJD_S::BaseCondition() {
  std::string condition = "progid=" + std::to_string(progid_);
  if (requested_id_ < 1) {
    if (!approved_view()) {
      condition += " and smark='01'";
    } else {
      condition += " and smark='02'";
      const std::optional<ModulePeriod> period = host_->Period("SFC");
      if (!period) throw std::runtime_error("no accounting period is set for module SFC");
      const int months_before = static_cast<int>(NumericValue(host_->Setting("befmonth")));
      const workreport::DateWindow window =
          workreport::ApprovedDateWindow(period->period, period->closing_day, months_before);
      condition += " and 生产日期<='" + window.end + "' and 生产日期>='" + window.start + "'";
    }
  } else {
    if (!first_status_.empty())
      condition += approved_view() ? " and smark='02'" : " and smark='01'";
    condition += " and 报工单ID=" + std::to_string(requested_id_);
  }
  return condition;
}

bool SCCJD_S::LoadData(NavigationMode mode) {
  return Guard("LoadData", [&] {
    if (!host_ || !navigator_) return false;
    base_condition_ = BaseCondition();
    std::string condition = base_condition_;
    if (!filter_condition_.empty()) condition = filter_condition_ + " AND " + base_condition_;
    lab_filter_->set_visible(!filter_condition_.empty());

    NavigatorAnswer answer =
        navigator_->Navigate(kLoadSelect, condition, mode, current_id_, kKeyColumn);
    if (!answer.error.empty()) {
      last_error_ = answer.error;
      RaiseError(MakeErrorReport(workreport::kModuleName, "LoadData", answer.error));
      return false;
    }
    ClearForm();
    current_id_ = 0;
    mode_ = Mode::kBrowsing;
    LockForm(true);
    if (answer.rows && answer.rows->RecordCount() > 0) {
      answer.rows->MoveFirst();
      ShowDocument(*answer.rows);
    }
    dirty_ = false;
    grid_->set_redraw(true);
    Raise([](DocumentEvents& sink) { sink.FormRefreshed(); });
    return true;
  });
}

bool SCCJD_S::FindData(std::string_view extra_condition, bool keep_form, bool& found) {
  found = false;
  return Guard("FindData", [&] {
    if (!host_ || !navigator_) return false;
    if (base_condition_.empty()) base_condition_ = BaseCondition();
    NavigatorAnswer answer =
        navigator_->FindFirst(kFindSelect, base_condition_, extra_condition, kKeyColumn);
    if (!answer.error.empty()) {
      last_error_ = answer.error;
      RaiseError(MakeErrorReport(workreport::kModuleName, "FindData", answer.error));
      return false;
    }
    found = answer.rows && answer.rows->RecordCount() > 0;
    if (found) {
      ClearForm();
      answer.rows->MoveFirst();
      ShowDocument(*answer.rows);
    } else if (!keep_form) {
      ClearForm();
      current_id_ = 0;
    }
    grid_->set_redraw(true);
    return true;
  });
}

void SCCJD_S::ShowDocument(const Recordset& header) {
  current_id_ = header[kKeyColumn].ToLong();
  last_shown_id_ = current_id_;

  filling_ = true;
  const auto set = [&](int index, std::string text) {
    fields_[static_cast<std::size_t>(index)]->set_text(std::move(text));
  };
  set(workreport::kFieldNumber, header["报工单编号"].ToText());
  set(workreport::kFieldWorkshop, header["部门名称"].ToText());
  fields_[workreport::kFieldWorkshop]->set_value(header["部门ID"]);
  set(workreport::kFieldDate, DateText(header["生产日期"]));
  set(workreport::kFieldPreparer, header["制单"].ToText());
  set(workreport::kFieldPreparedOn, DateText(header["制单日期"]));
  set(workreport::kFieldApprover, header["审核"].ToText());
  set(workreport::kFieldApprovedOn, DateText(header["审核日期"]));
  set(workreport::kFieldRemarks, header["备注"].ToText());
  filling_ = false;

  lbl_record_->set_caption("记录：" + navigator_->PositionText());

  const std::string status = Trim(header["smark"].ToText());
  if (first_status_.empty()) first_status_ = status;
  lab_succeed_->set_visible(status != "01");

  ShowLines(current_id_);
  SumTotals();
}

void SCCJD_S::ShowLines(std::int32_t document_id) {
  std::unique_ptr<Recordset> lines = data_->OpenSql(LinesQuery(document_id));
  if (!lines) throw std::runtime_error(data_->LastError());

  controls::Grid& grid = *grid_;
  const int fixed = grid.fixed_rows();
  grid.set_redraw(false);
  ResetGrid(std::max<int>(workreport::kMinimumDataRows, static_cast<int>(lines->RecordCount())));
  deleted_lines_.clear();

  filling_ = true;
  int r = fixed;
  for (lines->MoveFirst(); !lines->Eof(); lines->MoveNext(), ++r) {
    const Recordset& line = *lines;
    const auto text = [&](int col, const Variant& value) {
      grid.SetTextMatrix(r, col, value.ToText());
    };
    using namespace workreport;
    grid.SetTextMatrix(r, kColDate, DateText(line["生产日期"]));
    text(kColPlanNumber, line["原单号"]);
    text(kColBatch, line["班次"]);
    grid.SetTextMatrix(r, kColFinishedProduct,
                       JoinNonEmpty({line["成品编码"].ToText(), line["成品名称"].ToText(),
                                     line["成品规格"].ToText()}));
    text(kColFinishedQuantity, line["成品需求量"]);
    text(kColKitCount, line["包装数量"]);
    text(kColProductCode, line["物品编码"]);
    grid.SetCellKey(r, kColProductCode, line["产品ID"]);
    text(kColProductName, line["物品名称"]);
    text(kColSpecification, line["规格"]);
    text(kColBomQuantity, line["Bom组成数量"]);
    text(kColUnit, line["单位"]);
    text(kColProcess, line["工艺名称"]);
    grid.SetCellKey(r, kColProcess, line["工艺ID"]);
    text(kColProduced, line["生产数量"]);
    text(kColQualified, line["合格数量"]);
    text(kColRate, line["工资定额系数"]);
    text(kColWage, line["工资金额"]);
    text(kColDeduction, line["工资扣减金额"]);
    grid.SetTextMatrix(r, kColActualWage,
                       FormatNumber(line["工资金额"].ToDouble() - line["工资扣减金额"].ToDouble()));
    text(kColStandardRate, line["单位工资"]);
    grid.SetCellPicture(
        r, kColStandardRate,
        RateDiffers(grid.TextMatrix(r, kColRate), grid.TextMatrix(r, kColStandardRate))
            ? std::string(kNotePicture)
            : std::string());
    text(kColSourceType, line["progname"]);
    grid.SetCellKey(r, kColSourceType, line["前置单据"]);
    text(kColSourceNumber, line["主计划编号"]);
    grid.SetCellKey(r, kColSourceNumber, line["前置单据ID"]);
    text(kColFinishedBatch, line["成品批次"]);
    text(kColBomId, line["BomID"]);
    text(kColRemarks, line["备注"]);
    const std::int32_t line_id = line["报工单明细ID"].ToLong();
    grid.SetTextMatrix(r, kColLineId, std::to_string(line_id));

    std::unique_ptr<Recordset> shares = data_->OpenSql(AllocationQuery(line_id));
    if (!shares) throw std::runtime_error(data_->LastError());
    std::string names, ratios, employee_ids, allocation_ids;
    for (shares->MoveFirst(); !shares->Eof(); shares->MoveNext()) {
      const std::string separator = shares->Position() == 0 ? "" : ";";
      names += separator + (*shares)["姓名"].ToText();
      ratios += separator + (*shares)["分配比例"].ToText();
      employee_ids += separator + (*shares)["员工ID"].ToText();
      allocation_ids += separator + (*shares)["报工单明细附属ID"].ToText();
    }
    grid.SetTextMatrix(r, kColEmployees, names);
    grid.SetTextMatrix(r, kColShares, ratios);
    if (!employee_ids.empty()) {
      grid.SetCellKey(r, kColEmployees, employee_ids);
      grid.SetCellKey(r, kColShares, allocation_ids);
    }
  }
  filling_ = false;
  grid.set_redraw(true);
}

// --- Navigation, finding, filtering -------------------------------------------------------

bool SCCJD_S::Refresh() { return host_ ? LoadData(NavigationMode::kLast) : false; }
bool SCCJD_S::RecordTop() { return LoadData(NavigationMode::kFirst); }
bool SCCJD_S::RecordPrevious() { return LoadData(NavigationMode::kPrevious); }
bool SCCJD_S::RecordNext() { return LoadData(NavigationMode::kNext); }
bool SCCJD_S::RecordBottom() { return LoadData(NavigationMode::kLast); }

bool SCCJD_S::Find(const ConditionArray& conditions) {
  const std::optional<std::string> condition = workreport::ConditionText(conditions);
  if (!condition) return false;
  find_condition_ = *condition;
  bool found = false;
  return FindData(find_condition_, false, found);
}

bool SCCJD_S::FindNext() {
  if (find_condition_.empty()) return false;
  bool found = false;
  return FindData(find_condition_ + " AND 报工单ID > " + std::to_string(current_id_), true, found);
}

bool SCCJD_S::Filter(const ConditionArray& conditions) {
  const std::optional<std::string> condition = workreport::ConditionText(conditions);
  if (!condition) return false;
  filter_condition_ = *condition;
  return LoadData(NavigationMode::kLast);
}

bool SCCJD_S::DoSetStatus(std::string_view /*status*/, bool approved) {
  controls::BusyCursor busy(form_);
  RaiseMessage("数据正在切换状态");
  LockForm(true);
  lab_succeed_->set_visible(approved);
  const bool result = LoadData(NavigationMode::kLast);
  RaiseMessage("");
  return result;
}

bool SCCJD_S::FileCancel() {
  bool found = false;
  if (!FindData(" 报工单ID=" + std::to_string(last_shown_id_), false, found)) return false;
  mode_ = Mode::kBrowsing;
  LockForm(true);
  dirty_ = false;
  RaiseMessage("");
  return true;
}

bool SCCJD_S::FileNewNext() { return false; }
bool SCCJD_S::Help() { return false; }
void SCCJD_S::Attributes() {}

std::int32_t SCCJD_S::GetID() { return current_id_; }
bool SCCJD_S::CheckStatus(std::string_view /*status*/) { return lab_succeed_->visible(); }
std::string SCCJD_S::ReturnPrintName() { return print_file_name_; }
bool SCCJD_S::IsDirty() { return dirty_; }

}  // namespace korvane
