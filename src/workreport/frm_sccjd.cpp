// The source selection dialog of the work report: the three listings of approved source lines,
// the search over the listed rows, ticking and the hand-back of the chosen records.
#include "workreport/frm_sccjd.h"

#include <array>
#include <cctype>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

#include "host/data_service.h"
#include "host/form_state.h"
#include "host/settings_files.h"
#include "host/shared_routines.h"
#include "values/variant.h"

namespace korvane {
namespace workreport::sccjd {
namespace {

// What one kind of source lists: the fields after SELECT [TOP n], the FROM and WHERE text,
// the number and date columns the filters narrow, the order, and the field names that fill
// the grid columns from the number (col 2) to the document id (col 14).
struct Listing {
  std::string_view routine;
  std::string_view body;
  std::string_view number_column;
  std::string_view date_column;
  std::string_view order;
  std::array<std::string_view, kColCount - kColNumber> fields;
};

const Listing& ListingOf(Source source) {
  static const Listing kPlans{
      "LoadData",
      " 单据编号 as 计划编号,计划日期,C.物品编码,C.物品名称,C.规格 as 规格型号,C.库存单位 as "
      "单位,产品批次,B.需求数量,A.备注,B.产品ID,B.主计划ID,A.progID from mrpplan A left join "
      "mrpplanmx B on A.主计划组ID=B.主计划组ID left join pdmcpml C on B.产品ID=C.产品ID WHERE "
      "smark='02' and isnull(计划类型ID,0)=0 and isnull(A.sign,0)<100000 and "
      "isnull(B.sign,0)<100000",
      "单据编号",
      "计划日期",
      " ORDER by 单据编号 desc",
      {"计划编号", "计划日期", "物品编码", "物品名称", "规格型号", "单位", "产品批次", "需求数量",
       "备注", "产品ID", "主计划ID", "progID", "主计划ID"}};
  static const Listing kWorkOrders{
      "LoadData1",
      " 工单编号,计划日期,物品编码,B.物品名称,B.规格 as 规格型号,B.库存单位 as 单位,null as "
      "产品批次,预计产量 as 数量,摘要,A.产品ID,工单ID,progID,前置单据,前置单据ID from MocGdmx A "
      "left join pdmcpml B on A.产品ID=B.产品ID left join mocgd C on A.工单组ID=C.工单组ID WHERE "
      "smark='02' and isnull(A.sign,0)<1000 and isnull(C.sign,0)<1000",
      "工单编号",
      "计划日期",
      " ORDER by 工单编号 desc",
      {"工单编号", "计划日期", "物品编码", "物品名称", "规格型号", "单位", "产品批次", "数量",
       "摘要", "产品ID", "工单ID", "progID", "工单ID"}};
  static const Listing kSalesOrders{
      "LoadData2",
      " 订单编号,订单日期,C.物品编码,C.物品名称,C.规格 as 规格型号,C.库存单位 as "
      "单位,产品批次,B.订单数量,A.备注,B.产品ID,A.销售订单ID,A.progID,B.销售订单明细ID from copdj "
      "A left join copdjmx B on A.销售订单ID=B.销售订单ID left join pdmcpml C on "
      "B.产品ID=C.产品ID WHERE smark='02' and isnull(A.sign,0)<1000000 and "
      "isnull(B.sign,0)<1000000",
      "订单编号",
      "订单日期",
      " ORDER by 订单编号 desc",
      {"订单编号", "订单日期", "物品编码", "物品名称", "规格型号", "单位", "产品批次", "订单数量",
       "备注", "产品ID", "销售订单明细ID", "progID", "销售订单ID"}};
  switch (source) {
    case Source::kWorkOrder:
      return kWorkOrders;
    case Source::kSalesOrder:
      return kSalesOrders;
    case Source::kPlan:
      break;
  }
  return kPlans;
}

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Whether `pattern` matches `text` from its start, "%" standing for any run.
bool MatchesFrom(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return text.empty();
  if (pattern.front() == '%') {
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (MatchesFrom(text.substr(i), pattern.substr(1))) return true;
    }
    return false;
  }
  return !text.empty() && Upper(text.front()) == Upper(pattern.front()) &&
         MatchesFrom(text.substr(1), pattern.substr(1));
}

std::int32_t IdOf(const Variant& value) {
  const double number = NumericValue(value.ToText());
  return number >= 1 && number <= 2147483647.0 ? static_cast<std::int32_t>(number) : 0;
}

}  // namespace

std::string SourceQuery(Source source, const SourceFilter& filter) {
  const Listing& listing = ListingOf(source);
  std::string sql = "SELECT";
  if (filter.row_limit > 0) sql += " TOP " + std::to_string(filter.row_limit);
  sql += listing.body;
  const auto bound = [&](std::string_view column, std::string_view op, const std::string& value) {
    if (Trim(value).empty()) return;
    sql += " and " + std::string(column) + std::string(op) + SqlQuote(Trim(value));
  };
  bound(listing.number_column, ">=", filter.number_from);
  bound(listing.number_column, "<=", filter.number_to);
  bound(listing.date_column, ">=", filter.date_from);
  bound(listing.date_column, "<=", filter.date_to);
  sql += listing.order;
  return sql;
}

bool SearchMatches(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return true;
  // A search finds its text anywhere in a cell.
  const std::string anywhere = "%" + std::string(pattern) + "%";
  return MatchesFrom(text, anywhere);
}

}  // namespace workreport::sccjd

using namespace workreport::sccjd;

namespace {

constexpr std::string_view kCommandCaptions[] = {"刷新(&R)", "全选(&A)", "全清(&N)", "确定(&O)",
                                                 "取消(&X)"};
enum CommandIndex : int { kLoad = 0, kTickAll = 1, kClearAll = 2, kOk = 3, kCancel = 4 };

}  // namespace

frmSccjd::frmSccjd()
    : form_(std::string(kFormName)),
      guard_(document::ErrorGuard::Box({std::string(kFormName), "->", ":", ""},
                                       [this] { return host_.get(); })) {
  SetUpForm();
}

frmSccjd::~frmSccjd() {
  // Dropped while shown: the host must let go of the form before it goes.
  if (shown_ && host_) host_->dialogs().FormClosed(form_);
}

std::string frmSccjd::SettingsFileName() const {
  return std::to_string(progid_) + std::string(kFormName);
}

void frmSccjd::SetUpForm() {
  form_.set_caption("选择来源单据");
  form_.SetInnerSize(10800, 6600);
  const auto label = [&](int index, std::string caption, controls::Geometry at) {
    auto& l = form_.Add<controls::Label>("Label", index);
    l.set_caption(std::move(caption));
    l.set_geometry(at);
  };
  label(0, "返回行数:", {120, 150, 900, 240});
  txt_top_ = &form_.Add<controls::TextBox>("txtTop");
  txt_top_->set_geometry({1020, 120, 700, 300});
  static constexpr std::string_view kFilterCaptions[] = {"单据编号从:", "到:", "日期从:", "到:"};
  for (int i = 0; i < 4; ++i) {
    const double left = 1860 + 2200.0 * i;
    label(i + 1, std::string(kFilterCaptions[i]), {left, 150, 1000, 240});
    txt_[static_cast<std::size_t>(i)] = &form_.Add<controls::TextBox>("Txt", i);
    txt_[static_cast<std::size_t>(i)]->set_geometry({left + 1000, 120, 1100, 300});
  }
  static constexpr std::string_view kSourceCaptions[] = {"主生产计划", "生产工单", "销售订单"};
  for (int i = 0; i < 3; ++i) {
    auto& option = form_.Add<controls::OptionButton>("Opt", i);
    option.set_caption(std::string(kSourceCaptions[i]));
    option.set_geometry({120 + 1600.0 * i, 540, 1500, 300});
    option.click.Connect([this] {
      if (shown_) LoadSources();
    });
    opt_[static_cast<std::size_t>(i)] = &option;
  }
  opt_[0]->set_value(true);
  chk_search_ = &form_.Add<controls::CheckBox>("ChkSearch");
  chk_search_->set_caption("查询");
  chk_search_->set_geometry({5040, 540, 800, 300});
  txt_search_ = &form_.Add<controls::TextBox>("txtSearch");
  txt_search_->set_geometry({5880, 540, 2000, 300});
  txt_search_->change.Connect([this] { ApplySearch(); });
  chk_search_->click.Connect([this] { ApplySearch(); });

  grid_ = &form_.Add<controls::Grid>("Vs");
  grid_->set_geometry({120, 960, 10560, 4920});
  InitVsControl();
  grid_->double_click.Connect([this] { ToggleRow(grid_->row()); });
  grid_->key_down.Connect([this](int& key, int /*shift*/) {
    if (key != controls::keys::kReturn) return;
    key = 0;
    ToggleRow(grid_->row());
  });

  for (int i = 0; i < static_cast<int>(std::size(kCommandCaptions)); ++i) {
    auto& b = form_.Add<controls::Button>("Cmd", i);
    b.set_caption(std::string(kCommandCaptions[i]));
    b.set_geometry({4680 + 1200.0 * i, 6060, 1100, 375});
    b.click.Connect([this, i] { Command(i); });
    cmd_.push_back(&b);
  }
}

void frmSccjd::InitVsControl() {
  guard_.Run("InitVsControl", [&] {
    grid_->set_rows(1);
    grid_->SetFormatString(kGridHeader);
    grid_->set_fixed_rows(1);
    grid_->set_fixed_cols(1);
    grid_->set_tooltip("提示：双击或按回车键选择完毕！");
    for (int c : {kColProductId, kColLineId, kColProgId, kColDocumentId}) {
      grid_->SetColHidden(c, true);
    }
    grid_->SetColAlignment(kColChosen, controls::grid_align::kCenterCenter);
    grid_->SetColAlignment(kColQuantity, controls::grid_align::kRightCenter);
  });
}

bool frmSccjd::py_SubProgram(std::shared_ptr<HostContext> host, std::int32_t progid, int mode) {
  if (!host) return false;
  host_ = std::move(host);
  progid_ = progid;
  return guard_.Run(
      "py_SubProgram",
      [&] {
        const bool plans_only = mode == 1;
        opt_[1]->set_visible(!plans_only);
        opt_[2]->set_visible(!plans_only);
        RestoreFormState(SettingsFileName(), form_, false, *host_);
        if (plans_only) opt_[0]->set_value(true);
        shown_ = true;
        host_->dialogs().FormShown(form_);
        LoadSources();
        return true;
      },
      false);
}

Source frmSccjd::ChosenSource() const {
  for (int i = 0; i < 3; ++i) {
    if (opt_[static_cast<std::size_t>(i)]->value()) return static_cast<Source>(i);
  }
  return Source::kPlan;
}

bool frmSccjd::LoadSources() {
  if (!host_) return false;
  const Source source = ChosenSource();
  const Listing& listing = ListingOf(source);
  return guard_.Run(
      listing.routine,
      [&] {
        SourceFilter filter;
        const std::string limit = Trim(txt_top_->text());
        const std::optional<int> rows =
            limit.empty() ? std::optional<int>(0) : ParseStoredInt(limit);
        if (!rows || *rows < 0) {
          host_->dialogs().MessageBox("返回行数必须是不小于0的整数！", MsgButtons::kOk,
                                      MsgIcon::kInformation, kPromptTitle);
          txt_top_->SetFocus();
          return false;
        }
        filter.row_limit = *rows;
        filter.number_from = txt_[0]->text();
        filter.number_to = txt_[1]->text();
        filter.date_from = txt_[2]->text();
        filter.date_to = txt_[3]->text();
        std::shared_ptr<DataService> data = host_->Data();
        if (!data) throw std::runtime_error("the host offers no data service");
        std::unique_ptr<Recordset> found = data->OpenSql(SourceQuery(source, filter));
        if (!found) throw std::runtime_error(data->LastError());
        std::vector<int> fields;
        for (std::string_view name : listing.fields) {
          const std::optional<int> field = found->FieldIndex(name);
          if (!field) throw std::runtime_error("no column " + std::string(name));
          fields.push_back(*field);
        }
        grid_->set_redraw(false);
        grid_->set_rows(grid_->fixed_rows());
        for (const Recordset::Row& record : found->Rows()) {
          const int r = grid_->rows();
          grid_->set_rows(r + 1);
          grid_->SetTextMatrix(r, kColMarker, std::to_string(r));
          for (std::size_t i = 0; i < fields.size(); ++i) {
            const Variant& value = record.at(static_cast<std::size_t>(fields[i]));
            const int col = kColNumber + static_cast<int>(i);
            std::string text = value.ToText();
            if (col == kColDate) text = text.substr(0, 10);
            if (col == kColQuantity) text = FormatNumber(NumericValue(text));
            grid_->SetTextMatrix(r, col, text);
          }
        }
        grid_->set_redraw(true);
        ApplySearch();
        return true;
      },
      false);
}

void frmSccjd::ToggleRow(int row) {
  if (row < grid_->fixed_rows() || row >= grid_->rows()) return;
  const bool chosen = grid_->TextMatrix(row, kColChosen) == "√";
  grid_->SetTextMatrix(row, kColChosen, chosen ? "" : "√");
}

void frmSccjd::TickVisible(bool ticked) {
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (!grid_->RowHidden(r)) grid_->SetTextMatrix(r, kColChosen, ticked ? "√" : "");
  }
}

void frmSccjd::ApplySearch() {
  const std::string pattern = chk_search_->ticked() ? Trim(txt_search_->text()) : std::string();
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    bool matches = pattern.empty();
    for (int c = kColNumber; c <= kColRemark && !matches; ++c) {
      matches = SearchMatches(grid_->TextMatrix(r, c), pattern);
    }
    grid_->SetRowHidden(r, !matches);
  }
}

std::vector<clsScRk> frmSccjd::ChosenRecords() const {
  std::vector<clsScRk> chosen;
  for (int r = grid_->fixed_rows(); r < grid_->rows(); ++r) {
    if (grid_->RowHidden(r) || grid_->TextMatrix(r, kColChosen) != "√") continue;
    const auto cell = [&](int col) { return grid_->TextMatrix(r, col); };
    clsScRk record;
    record.number = cell(kColNumber);
    record.date = cell(kColDate);
    record.document_id = IdOf(Variant(cell(kColDocumentId)));
    record.remark = cell(kColRemark);
    record.line_id = IdOf(Variant(cell(kColLineId)));
    record.product_id = IdOf(Variant(cell(kColProductId)));
    record.product_code = cell(kColProductCode);
    record.product_name = cell(kColProductName);
    record.unit = cell(kColUnit);
    record.model = cell(kColModel);
    record.quantity = NumericValue(cell(kColQuantity));
    record.progid = IdOf(Variant(cell(kColProgId)));
    record.batch = cell(kColBatch);
    chosen.push_back(std::move(record));
  }
  return chosen;
}

void frmSccjd::Close() {
  if (!shown_) return;
  shown_ = false;
  if (!host_) return;
  SaveFormState(SettingsFileName(), form_, false, *host_);
  host_->dialogs().FormClosed(form_);
}

bool frmSccjd::Confirm() {
  if (!shown_) return false;
  std::vector<clsScRk> chosen;
  const bool built = guard_.Run(
      "DoreturnSelect",
      [&] {
        chosen = ChosenRecords();
        return true;
      },
      false);
  if (!built) return false;
  Close();
  // The owner may drop this object while it handles the records.
  EvReturn(chosen);
  return true;
}

void frmSccjd::Cancel() { Close(); }

void frmSccjd::Command(int index) {
  switch (index) {
    case kLoad:
      LoadSources();
      return;
    case kTickAll:
      TickVisible(true);
      return;
    case kClearAll:
      TickVisible(false);
      return;
    case kOk:
      Confirm();
      return;
    case kCancel:
      Cancel();
      return;
    default:
      if (host_) {
        host_->dialogs().MessageBox("未处理的功能", MsgButtons::kOk, MsgIcon::kInformation,
                                    kPromptTitle);
      }
  }
}

}  // namespace korvane
