// The product picker: its form, the list and its reloads, find and filter, ticking, completing
// a selection, the keys and Validate.
#include "pickers/pdm_cpml.h"

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/data_service.h"
#include "host/grid_settings.h"
#include "host/settings_files.h"

namespace korvane {

namespace pickers::cpml {

std::string AccountCondition(std::string_view account_codes) {
  // Callers pass one code, a comma list, or a list already written for a literal
  // ("1211','1221"); every form becomes one quoted literal per code.
  std::string list;
  std::size_t start = 0;
  const std::string codes(account_codes);
  while (start <= codes.size()) {
    std::size_t end = codes.find(',', start);
    if (end == std::string::npos) end = codes.size();
    std::string_view piece = std::string_view(codes).substr(start, end - start);
    while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\''))
      piece.remove_prefix(1);
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\'')) piece.remove_suffix(1);
    if (!piece.empty()) list += (list.empty() ? "" : ",") + SqlQuote(piece);
    start = end + 1;
  }
  if (list.empty()) list = SqlQuote("");
  return " and 产品类别ID in(select 类别ID from pdmcplb where 对应科目编号 in(" + list + "))";
}

}  // namespace pickers::cpml

namespace {

using namespace pickers;
using namespace pickers::cpml;
using controls::grid_align::kCenterCenter;
using controls::grid_align::kLeftCenter;
using controls::grid_align::kRightCenter;

struct ColumnSpec {
  const char* header;
  double width;  // 0: the grid's default
  int alignment;
};

constexpr ColumnSpec kColumns[kColCount] = {
    {"选择", 400, kCenterCenter},
    {"产品ID", 0, -1},
    {"物品编码", 1000, kLeftCenter},
    {"助忆词", 0, -1},
    {"物品名称", 1800, kLeftCenter},
    {"物品产地", 0, kLeftCenter},
    {"规格型号", 1400, kLeftCenter},
    {"单位", 500, kLeftCenter},
    {"产品类别ID", 0, -1},
    {"产品类别", 0, -1},
    {"是否使用", 0, -1},
    {"库存数", 0, kRightCenter},
    {"物品说明", 0, kLeftCenter},
    {"图号", 0, -1},
    {"货位", 0, -1},
    {"颜色", 0, -1},
    {"特性", 0, -1},
    {"尺寸", 0, -1},
};

constexpr double kMinimumRowHeight = 280;

// The row whose band holds the height y, with the grid's own placing: hidden rows and rows
// scrolled off take no room. -1 when y lies below the last row.
int RowAt(const controls::Grid& grid, float y) {
  double top = 0;
  for (int r = 0; r < grid.rows(); ++r) {
    if (grid.RowHidden(r) || (r >= grid.fixed_rows() && r < grid.top_row())) continue;
    const double bottom = top + grid.RowHeight(r);
    if (y >= top && y < bottom) return r;
    top = bottom;
  }
  return -1;
}

}  // namespace

pdmCpml::pdmCpml()
    : ListPicker(std::string(kModuleName), {std::string(kModuleName), "->", ":", "错误："},
                 kColCode) {
  SetUpForm();
  InitVsControl();
  layout_.Record(form_);
  layout_.Attach(form_);
}

pdmCpml::~pdmCpml() = default;

void pdmCpml::SetUpForm() {
  using controls::Geometry;
  form_.SetInnerSize(9600, 6000);
  form_.set_key_preview(true);

  const auto label = [&](std::string name, int index, std::string caption, Geometry at) {
    controls::Label& l = form_.Add<controls::Label>(std::move(name), index);
    l.set_caption(std::move(caption));
    l.set_geometry(at);
    return &l;
  };
  label("Label", 0, "查询(&B):", {60, 90, 900, 240});
  search_ = &form_.Add<controls::TextBox>("Txt", 0);
  search_->set_geometry({960, 60, 1800, 300});
  label("Label", 1, "产品类别(&T):", {2880, 90, 1200, 240});
  categories_ = &form_.Add<controls::ComboBox>("Cmb", 0);
  categories_->set_geometry({4080, 60, 2000, 300});
  label("Label", 2, "产品来源(&S):", {6180, 90, 1200, 240});
  sources_ = &form_.Add<controls::ComboBox>("Cmb", 1);
  sources_->set_geometry({7380, 60, 2100, 300});
  label("Label", 3, "排序列(&S):", {60, 450, 900, 240});
  controls::ComboBox& sort = form_.Add<controls::ComboBox>("cbo");
  sort.set_geometry({960, 420, 1800, 300});
  chk_ = &form_.Add<controls::CheckBox>("Chk");
  chk_->set_caption("已取消产品(&C)");
  chk_->set_geometry({2880, 450, 1600, 240});
  controls::CheckBox& filter = form_.Add<controls::CheckBox>("Check");
  filter.set_caption("过滤(&F)");
  filter.set_geometry({4560, 450, 1000, 240});
  controls::CheckBox& match = form_.Add<controls::CheckBox>("ChkFind");
  match.set_caption(std::string(kWholeMatchCaption));
  match.set_geometry({5640, 450, 1400, 240});
  controls::TextBox& search_columns = form_.Add<controls::TextBox>("Txt", 2);
  search_columns.set_text(std::string(kInitialSearchColumns));
  search_columns.set_visible(false);
  search_columns.set_geometry({7140, 420, 600, 300});
  vs_ = &form_.Add<controls::Grid>("Vs", -1, "VSFlexGrid");
  vs_->set_geometry({60, 840, 9480, 4560});
  lbl_count_ = &form_.Add<controls::Label>("LblCount");
  lbl_count_->set_geometry({60, 5550, 1800, 240});
  ListControls list{vs_, search_, &search_columns, &sort, &filter, &match, {}};
  for (int i = 0; i < 5; ++i) {
    controls::Button& b = form_.Add<controls::Button>("Cmd", i);
    static constexpr const char* kCaptions[] = {"确定(&O)", "取消(&X)", "刷新(&R)", "全选(&A)",
                                                "全清(&N)"};
    b.set_caption(kCaptions[i]);
    b.set_geometry({4200.0 + 1080 * i, 5490, 1000, 360});
    list.buttons[static_cast<std::size_t>(i)] = &b;
  }
  timer_ = &form_.Add<controls::Timer>("Timer");
  AttachList(list);

  // --- Events ------------------------------------------------------------------------------
  list.buttons[2]->click.Connect([this] { HasRefresh(true); });

  for (controls::ComboBox* list : {categories_, sources_}) {
    bool& typed = list == categories_ ? category_typed_ : source_typed_;
    list->click.Connect([this, &typed] {
      typed = false;
      if (loading_) LoadData(false);
    });
    list->change.Connect([&typed] { typed = true; });
    list->lost_focus.Connect([this, &typed] {
      if (!typed) return;
      typed = false;
      if (loading_) LoadData(false);
    });
    list->key_up.Connect([this](int key, int) {
      if (key == controls::keys::kReturn && loading_) LoadData(false);
    });
  }
  chk_->click.Connect([this] {
    if (loading_) LoadData(false);
  });
  search_->change.Connect([this] {
    if (!loading_) return;
    timer_->set_running(false);
    timer_->set_running(true);
  });
  timer_->timer.Connect([this] {
    timer_->set_running(false);
    RunSearch();
  });

  vs_->mouse_down.Connect([this](int&, int&, float&, float& y) { pressed_row_ = RowAt(*vs_, y); });
  vs_->click.Connect([this] {
    if (multiple_choice()) ToggleTick(pressed_row_);
  });
  vs_->double_click.Connect([this] {
    if (!multiple_choice() && pressed_row_ >= vs_->fixed_rows()) CompleteSelection();
  });

  form_.key_down.Connect([this](int& key, int shift) { OnKeyDown(key, shift); });
  form_.key_up.Connect([this](int& key, int shift) { OnKeyUp(key, shift); });
}

void pdmCpml::InitVsControl() {
  guard().Run("InitVsControl", [&] {
    controls::Grid& vs = *vs_;
    vs.set_redraw(false);
    vs.set_rows(1);
    vs.set_cols(kColCount);
    vs.set_fixed_rows(1);
    vs.set_fixed_cols(0);
    for (int c = 0; c < kColCount; ++c) {
      const ColumnSpec& column = kColumns[c];
      vs.SetTextMatrix(0, c, column.header);
      if (column.width > 0) vs.SetColWidth(c, column.width);
      if (column.alignment >= 0) vs.SetColAlignment(c, column.alignment);
    }
    vs.SetColDataType(kColInUse, controls::grid_type::kBoolean);
    vs.SetRowHeight(0, kMinimumRowHeight);
    for (int c : {kColTick, kColId, kColCategoryId, kColCategory, kColInUse}) {
      vs.SetColHidden(c, true);
    }
    vs.SetColHidden(kColTick, !multiple_choice());
    vs.SetColHidden(kColInUse, !chk_->ticked());
    if (host()) {
      vs.SetColHidden(kColBin, !SettingIsOne("warehouse"));
      vs.SetColHidden(kColColour, !SettingIsOne("iscolordisp"));
      vs.SetColHidden(kColCharacteristic, !SettingIsOne("isspecdisp"));
      vs.SetColHidden(kColSize, !SettingIsOne("ismeasuredisp"));
    }
    vs.set_tooltip("提示：双击或按回车键选择完毕！");
    vs.set_redraw(true);
  });
}

bool pdmCpml::SettingIsOne(std::string_view item_code) {
  std::shared_ptr<DataService> data = host()->Data();
  std::unique_ptr<Recordset> rows = data->OpenSql(
      "select item_value from xt_accinformation where system_code='st' and item_code='" +
      std::string(item_code) + "'");
  if (!rows) throw std::runtime_error(data->LastError());
  if (rows->RecordCount() == 0 || rows->FieldCount() == 0) return false;
  rows->MoveFirst();
  return NumericValue(rows->Value(0).ToText()) == 1;
}

void pdmCpml::FillSortList() {
  sort_list().Clear();
  for (int c = 0; c < vs_->cols(); ++c) {
    if (vs_->ColIsVisible(c)) sort_list().AddItem(vs_->TextMatrix(0, c), c);
  }
}

bool pdmCpml::Init(std::shared_ptr<HostContext> context, std::int32_t /*progid*/,
                   std::string_view /*parameter_text*/) {
  if (!context) return false;
  return guard().Run(
      "Init",
      [&] {
        InitList(std::move(context));
        record_ = std::make_shared<clsCpml>();
        timer_->set_running(false);
        timer_->set_interval(kTimerInterval);
        InitVsControl();
        FillSortList();
        ApplyGridSettings(LayoutFileName(), *vs_, false, *host());
        loading_ = false;
        LoadGoodsType();
        loading_ = true;
        AfterInit();
        return true;
      },
      false);
}

bool pdmCpml::Clear() {
  record_.reset();
  return ListPicker::Clear();
}

void pdmCpml::LoadGoodsType() {
  guard().Run("LoadGoodsType", [&] {
    std::shared_ptr<DataService> data = host()->Data();
    if (!data) throw std::runtime_error("the host offers no data service");
    Command command{"p_PDM_CPLB_SELECT",
                    CommandType::kStoredProcedure,
                    {Parameter{"@kmbh", Variant(account_code_), false}}};
    std::unique_ptr<Recordset> categories = data->Open(command);
    categories_->Clear();
    categories_->AddItem(std::string(kAllItems));
    if (!categories) {
      host()->dialogs().MessageBox(data->LastError(), MsgButtons::kOk, MsgIcon::kExclamation,
                                   kPromptTitle);
    } else {
      for (const Recordset::Row& row : categories->Rows()) {
        if (row.size() < 2) continue;
        categories_->AddItem(row[1].ToText(), row[0]);
      }
    }
    categories_->set_list_index(0);

    std::unique_ptr<Recordset> sources = data->OpenSql(
        "select text,caption FROM xt_billattribute where attribute ='产品来源' order by text");
    if (!sources) throw std::runtime_error(data->LastError());
    sources_->Clear();
    sources_->AddItem(std::string(kAllItems));
    for (const Recordset::Row& row : sources->Rows()) {
      sources_->AddItem(row.at(1).ToText(), row.at(0));
    }
    sources_->set_list_index(0);
    search_->set_tooltip("提示：按回车键选择完毕！");
  });
}

std::string pdmCpml::NumericParameter(std::string_view name) const {
  if (!HasParameter(name)) return {};
  return FormatNumber(ParameterNumber(name));
}

bool pdmCpml::Refresh() {
  if (!host()) return false;
  return guard().Run(
      "Refresh",
      [&] {
        ApplyMultipleChoice(ParameterNumber("多选") == 1);
        const std::string account = ParameterText("材料科目编号");
        if (account != account_code_) {
          account_code_ = account;
          loading_ = false;
          const int source = sources_->list_index();
          LoadGoodsType();
          if (source >= 0 && source < sources_->ListCount()) {
            sources_->set_list_index(source);
          } else if (sources_->ListCount() > 0) {
            sources_->set_list_index(0);
          }
          loading_ = true;
        }
        BeforeListReload();
        return HasRefresh(false);
      },
      false);
}

bool pdmCpml::HasRefresh(bool force) {
  loading_ = false;
  const bool loaded = LoadData(force);
  loading_ = true;
  return loaded;
}

namespace {

// The value behind a list's shown item: the chosen item, or the item a typed text names;
// "-1" for "全部" and for a text that names no item.
std::string ListValue(const controls::ComboBox& list) {
  int index = list.list_index();
  if (index < 0 || list.ItemAt(index).text != list.text()) {
    index = -1;
    for (int i = 0; i < list.ListCount() && index < 0; ++i) {
      if (list.ItemAt(i).text == list.text()) index = i;
    }
  }
  if (index < 0 || list.ItemAt(index).text == kAllItems) return "-1";
  return list.ItemAt(index).data.ToText();
}

}  // namespace

std::string pdmCpml::SelectedCategory() const { return ListValue(*categories_); }

std::string pdmCpml::SelectedSource() const { return ListValue(*sources_); }

bool pdmCpml::LoadData(bool force) {
  return guard().Run(
      "LoadData",
      [&] {
        if (!host()) return false;
        std::vector<Variant> values = {
            Variant(static_cast<int>(NumericValue(SelectedCategory()))),
            Variant(chk_->ticked() ? 1 : 0),
            Variant(SelectedSource()),
            Variant(NumericParameter("bomID")),
            Variant(account_code_),
        };
        ExtraListParameters(values);
        std::string key;
        for (const Variant& v : values) key += "[" + v.ToText() + "]";
        if (key == list_key_ && !force) return true;
        list_key_ = key;

        VariantArray parameters(3, static_cast<int>(values.size()));
        for (int i = 0; i < parameters.cols(); ++i) {
          parameters.at(0, i) = values[static_cast<std::size_t>(i)];
          parameters.at(1, i) = "@p" + std::to_string(i);
        }
        vs_->set_redraw(false);
        vs_->set_rows(vs_->fixed_rows());
        const bool ok = gFnRunProc("p_PDM_CPML_SELECT", parameters, *vs_, true, false, *host());
        // A failed load is not the list of this key: the next refresh tries again.
        if (!ok) list_key_.clear();
        for (int r = vs_->fixed_rows(); r < vs_->rows(); ++r) {
          vs_->SetRowHeight(r, kMinimumRowHeight);
        }
        vs_->SetColHidden(kColInUse, !chk_->ticked());
        lbl_count_->set_caption("共:" + std::to_string(DataRows()) + "条");
        vs_->set_redraw(true);
        return ok;
      },
      false);
}

// --- The choice ---------------------------------------------------------------------------

void pdmCpml::LoadChoice(int row) {
  guard().Run("UpdateObject", [&] {
    const int id = row < 1 || DataRows() <= 0
                       ? -1
                       : static_cast<int>(NumericValue(vs_->TextMatrix(row, kColId)));
    std::shared_ptr<DataService> data = host()->Data();
    std::unique_ptr<Recordset> rows =
        data->OpenSql("SELECT * FROM vtPDMCPML WHERE 产品ID =" + std::to_string(id));
    if (!rows) throw std::runtime_error(data->LastError());
    if (!record_) record_ = std::make_shared<clsCpml>();
    LoadRecord(*rows);
  });
}

void pdmCpml::LoadRecord(const Recordset& rows) {
  if (rows.RecordCount() > 0) {
    Recordset first = rows;
    first.MoveFirst();
    record_->LoadFrom(first);
  }
  FillRecordExtras(*record_);
  text_ = record_->s物品编码();
  value_ = Variant(static_cast<int>(record_->l产品ID()));
}

bool pdmCpml::Validate(std::string_view /*table*/, std::string_view value_column,
                       std::string_view text_column, std::string_view typed, std::string& out_value,
                       std::string& out_text) {
  guard().Run("Validate", [&] {
    if (!host()) return;
    record_ = std::make_shared<clsCpml>();
    // A lookup that fails answers "not found".
    value_ = Variant(std::string());
    text_.clear();
    const std::string literal = SqlQuote(typed);
    std::string sql = "select * from vtpdmcpml where (物品编码=" + literal +
                      " OR 物品名称=" + literal + " or 助忆词=" + literal + ")";
    if (HasParameter("bomID")) {
      sql += " and 产品ID in(select 配件ID from pdmbommx where bomid=" + NumericParameter("bomID") +
             ")";
    }
    const std::string account = ParameterText("材料科目编号");
    if (!account.empty()) sql += AccountCondition(account);
    std::shared_ptr<DataService> data = host()->Data();
    std::unique_ptr<Recordset> rows = data->OpenSql(sql);
    if (!rows) throw std::runtime_error(data->LastError());
    LoadRecord(*rows);
    if (rows->RecordCount() > 0) {
      rows->MoveFirst();
      value_ = Variant(rows->Value(value_column.empty() ? "产品ID" : value_column).ToText());
      text_ = rows->Value(text_column.empty() ? "物品编码" : text_column).ToText();
    } else {
      value_ = Variant(std::string());
      text_.clear();
    }
  });
  out_value = value_.ToText();
  out_text = text_;
  return false;
}

// --- Keys, focus and errors ----------------------------------------------------------------

void pdmCpml::ReceiveFocus() { search_->SetFocus(); }

void pdmCpml::MoveToVisibleRow(int step) {
  for (int r = vs_->row() + step; r >= vs_->fixed_rows() && r < vs_->rows(); r += step) {
    if (vs_->RowHidden(r)) continue;
    vs_->set_row(r);
    if (r < vs_->top_row()) vs_->set_top_row(r);
    return;
  }
}

void pdmCpml::OnKeyDown(int& key, int shift) {
  using namespace controls::keys;
  // A key handler must not break the typing: its errors are dropped.
  try {
    const bool ctrl = (shift & kCtrlMask) != 0;
    if (key == kReturn) {
      key = 0;
    } else if (ctrl && (shift & kShiftMask) != 0 && key == 'E') {
      AskSearchColumns();
    } else if (ctrl && key == 'B') {
      search_->SetFocus();
    } else if (ctrl && key == 'T') {
      categories_->SetFocus();
    } else if (ctrl && key == 'L') {
      sources_->SetFocus();
    }
  } catch (...) {
  }
}

void pdmCpml::OnKeyUp(int key, int /*shift*/) {
  using namespace controls::keys;
  try {
    if (key == kReturn && !multiple_choice()) {
      CompleteSelection();
    } else if (key == kDown) {
      MoveToVisibleRow(1);
    } else if (key == kUp) {
      MoveToVisibleRow(-1);
    }
  } catch (...) {
  }
}

}  // namespace korvane
