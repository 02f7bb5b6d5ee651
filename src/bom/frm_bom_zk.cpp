// The structure expansion dialog: its form and outline grid, the two directions of expansion
// and the rows they add.
#include "bom/frm_bom_zk.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "host/data_service.h"
#include "host/dialogs.h"
#include "values/variant.h"

namespace korvane {

namespace bom::zk {

std::optional<std::uint32_t> LevelColour(int level) {
  switch (level) {
    case 2:
      return 0xC0FFFF;
    case 3:
      return 0xFFFFC0;
    case 4:
      return 0xC0E0FF;
    case 5:
      return 0xE0E0E0;
    case 6:
      return 0xC0C0FF;
    default:
      return std::nullopt;
  }
}

}  // namespace bom::zk

using namespace bom::zk;

namespace {

// The header of the grid; the last column (the product id) has no caption.
constexpr std::string_view kGridHeader = "配料编码|配料名称|配料规格|配料单位|配量|损耗率|";
constexpr std::uint32_t kWindowColour = 0x80000009;
constexpr double kMinimumRowHeight = 300;
constexpr std::string_view kBusyText = "正在展开BOM...";
constexpr std::string_view kBadProduct = "输入有误，请重新输入！";

// A product with its standard structure's batch; the product row downward, a user upward.
std::string HeadSelect(std::string_view where) {
  return "SELECT B.物品编码,B.物品名称,B.规格,B.库存单位,批量,A.产品ID FROM PDMbom A left join "
         "pdmcpml B on A.产品ID=B.产品ID WHERE " +
         std::string(where) + " and 是否标准=1";
}

// The standard structure lines that use a product.
std::string UsesOf(std::int32_t product) {
  return "SELECT bomID,配量分子,配量分母,损耗率 FROM PDMbommx WHERE 配件ID=" +
         std::to_string(product) + " and bomID in(select bomID from pdmbom where 是否标准=1)";
}

// A field of a row by name; a statement that lacks it is a fault of this form.
const Variant& FieldOf(const Recordset& rows, std::size_t row, std::string_view name) {
  const std::optional<int> field = rows.FieldIndex(name);
  if (!field) throw std::runtime_error("no column " + std::string(name));
  return rows.Rows().at(row).at(static_cast<std::size_t>(*field));
}

std::string TextOf(const Variant& value) { return Trim(value.ToText()); }
std::string NumberOf(const Variant& value) { return FormatNumber(value.ToDouble()); }

std::string Usage(const std::string& batch, const Variant& numerator, const Variant& denominator) {
  return "用量:" + batch + "::" + NumberOf(numerator) + "/" + NumberOf(denominator);
}

}  // namespace

FrmBomZk::FrmBomZk() : form_(std::string(kFormName)) { SetUpForm(); }

FrmBomZk::~FrmBomZk() {
  // Dropped while shown: the host must let go of the form before it goes.
  if (shown_ && host_) host_->dialogs().FormClosed(form_);
}

void FrmBomZk::SetUpForm() {
  form_.set_caption(std::string(kCaption));
  form_.SetInnerSize(10800, 6600);
  static constexpr const char* kFieldCaptions[] = {"产品编码", "产品名称"};
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    auto& field = form_.Add<controls::LookupField>("qxTxt", static_cast<int>(i));
    field.set_caption(kFieldCaptions[i]);
    field.set_geometry({120 + 3300.0 * static_cast<double>(i), 120, 3000, 300});
    fields_[i] = &field;
  }
  fields_[0]->invalid.Connect([this](const std::string& text) {
    if (host_) {
      host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kInformation, kPromptTitle);
    }
  });
  static constexpr const char* kBoxCaptions[] = {"下展(&D)", "上展(&U)"};
  for (std::size_t i = 0; i < chk_.size(); ++i) {
    auto& box = form_.Add<controls::CheckBox>("Chk", static_cast<int>(i));
    box.set_caption(kBoxCaptions[i]);
    box.set_geometry({6900 + 1300.0 * static_cast<double>(i), 120, 1200, 300});
    box.click.Connect([this, i] { ChkClicked(static_cast<int>(i)); });
    chk_[i] = &box;
  }
  vs_ = &form_.Add<controls::Grid>("Vs", -1, "VSFlexGrid");
  vs_->set_geometry({120, 540, 10560, 5940});
  InitVsControl();
}

void FrmBomZk::InitVsControl() {
  try {
    controls::Grid& vs = *vs_;
    vs.set_rows(1);
    vs.SetFormatString(kGridHeader);
    vs.set_fixed_rows(1);
    vs.set_fixed_cols(0);
    vs.set_editable(false);
    // The outline is built by hand, each node above the rows it owns.
    vs.set_subtotal_position(controls::SubtotalPosition::kAbove);
    vs.set_merge_cells(7);
    vs.SetRowHeight(0, kMinimumRowHeight);
    vs.set_back_color(kWindowColour);
    vs.SetColWidth(kColUsage, 1500);
    for (int col = 0; col < kColCount; ++col) {
      vs.SetColAlignment(col, col == kColLoss ? controls::grid_align::kRightCenter
                                              : controls::grid_align::kLeftCenter);
      if (Trim(vs.TextMatrix(0, col)).empty()) vs.SetColHidden(col, true);
    }
  } catch (const std::exception& e) {
    RaiseError("InitVsControl", e.what());
  }
}

bool FrmBomZk::py_Init(std::shared_ptr<HostContext> host, std::int32_t product,
                       const std::string& code, const std::string& name) {
  if (!host || !host->Data()) return false;
  host_ = std::move(host);
  try {
    lookups_ = host_->Lookups();
    controls::LookupDefinition lookup;
    lookup.picker_type = "cpml";
    lookup.value_field = "产品ID";
    lookup.text_field = "物品编码";
    lookup.error_text = std::string(kBadProduct);
    fields_[0]->set_lookup(std::move(lookup));
    fields_[0]->set_resolver(lookups_.get());
    fields_[0]->set_value(product);
    fields_[0]->set_text(code);
    fields_[1]->set_text(name);
    switching_ = true;
    chk_[0]->set_value(1);
    chk_[1]->set_value(0);
    switching_ = false;
    if (!shown_) {
      shown_ = true;
      host_->dialogs().FormShown(form_);
    }
  } catch (const std::exception& e) {
    switching_ = false;
    RaiseError("py_Init", e.what());
    return false;
  }
  sfRefresh(false);
  return true;
}

void FrmBomZk::Close() {
  if (!shown_) return;
  shown_ = false;
  if (host_) host_->dialogs().FormClosed(form_);
}

void FrmBomZk::ChkClicked(int index) {
  if (switching_) return;
  switching_ = true;
  const auto i = static_cast<std::size_t>(index);
  chk_[1 - i]->set_value(chk_[i]->ticked() ? 0 : 1);
  switching_ = false;
  sfRefresh(chk_[1]->ticked());
}

std::int32_t FrmBomZk::ProductInField() const { return fields_[0]->value().ToLong(); }

void FrmBomZk::RaiseError(std::string_view routine, std::string_view text) {
  ErrMessage(std::string(kFormName) + "->" + std::string(routine) + ":" + std::string(text),
             LogLevel::kError, std::string(kFormName));
}

template <typename Body>
void FrmBomZk::Guarded(std::string_view routine, Body&& body) {
  try {
    std::forward<Body>(body)();
  } catch (const Stopped&) {
    throw;
  } catch (const std::exception& e) {
    RaiseError(routine, e.what());
    throw Stopped{};
  } catch (...) {
    RaiseError(routine, "unknown error");
    throw Stopped{};
  }
}

std::unique_ptr<Recordset> FrmBomZk::Rows(const std::string& sql) {
  const std::shared_ptr<DataService> data = host_->Data();
  if (!data) throw std::runtime_error("the host offers no data service");
  std::unique_ptr<Recordset> rows = data->OpenSql(sql);
  const std::string error = data->LastError();
  if (!error.empty()) throw std::runtime_error(error);
  if (!rows) throw std::runtime_error("the statement returned nothing");
  return rows;
}

void FrmBomZk::sfRefresh(bool upward) {
  if (!host_) return;
  vs_->set_redraw(false);
  vs_->set_rows(vs_->fixed_rows());
  {
    controls::BusyCursor busy(form_);
    Message(std::string(kBusyText));
    try {
      Guarded("sfRefresh", [&] {
        const std::int32_t product = ProductInField();
        const std::unique_ptr<Recordset> head =
            Rows(HeadSelect("A.产品ID=" + std::to_string(product)));
        int product_row = -1;
        double batch = 0;
        if (head->RecordCount() > 0) {
          batch = FieldOf(*head, 0, "批量").ToDouble();
          product_row = AppendNode(
              {TextOf(FieldOf(*head, 0, "物品编码")), TextOf(FieldOf(*head, 0, "物品名称")), "", "",
               "批量:" + FormatNumber(batch), "", NumberOf(FieldOf(*head, 0, "产品ID"))},
              -1);
        }
        if (upward) {
          const std::unique_ptr<Recordset> uses = Rows(UsesOf(product));
          for (std::size_t i = 0; i < uses->Rows().size(); ++i) {
            sfLoadData(FieldOf(*uses, i, "bomID").ToLong(), FieldOf(*uses, i, "配量分子"),
                       FieldOf(*uses, i, "配量分母"), FieldOf(*uses, i, "损耗率"), product_row);
          }
        } else {
          sfLoadData(product, product_row, batch);
        }
        // Sized while every row shows, so that the codes fit when a person opens a node.
        vs_->AutoSize(kColCode);
        vs_->Outline(2);
      });
    } catch (const Stopped&) {
      // Reported by the routine that failed; the rows added before it stay.
    }
    vs_->set_redraw(true);
  }
  Message("");
}

void FrmBomZk::sfLoadData(std::int32_t product, int parent_row, double batch) {
  std::unique_ptr<Recordset> lines;
  Guarded("sfLoadData", [&] {
    lines = Rows(
        "SELECT B.物品编码,B.物品名称,B.规格,B.库存单位,配量分子,配量分母,A.损耗率,A.配件ID FROM "
        "PDMbommx A left join pdmcpml B on A.配件ID=B.产品ID WHERE bomid in(select bomID from "
        "pdmbom where 产品ID=" +
        std::to_string(product) +
        " and sMark='02' and isnull(是否失效,0)=0 and 是否标准=1) order by rowindex");
  });
  for (std::size_t i = 0; i < lines->Rows().size(); ++i) {
    const int row = UpdateToForm(*lines, i, batch, parent_row);
    if (vs_->RowOutlineLevel(row) >= kDeepestLevel) continue;
    std::int32_t component = 0;
    double component_batch = 0;
    Guarded("sfLoadData", [&] {
      component = Variant(NumericValue(vs_->TextMatrix(row, kColProductId))).ToLong();
      const std::unique_ptr<Recordset> own = Rows(
          "SELECT 批量 FROM PDMbom WHERE 产品ID=" + std::to_string(component) + " and 是否标准=1");
      component_batch = own->RecordCount() > 0 ? FieldOf(*own, 0, "批量").ToDouble() : 0;
    });
    sfLoadData(component, row, component_batch);
  }
}

void FrmBomZk::sfLoadData(std::int32_t structure, const Variant& numerator,
                          const Variant& denominator, const Variant& loss, int parent_row) {
  std::unique_ptr<Recordset> user;
  Guarded("sfLoadData", [&] { user = Rows(HeadSelect("bomID=" + std::to_string(structure))); });
  if (user->RecordCount() == 0) return;
  const int row = UpdateToForm1(*user, numerator, denominator, loss, parent_row);
  if (vs_->RowOutlineLevel(row) >= kDeepestLevel) return;
  std::unique_ptr<Recordset> uses;
  Guarded("sfLoadData", [&] {
    uses = Rows(UsesOf(Variant(NumericValue(vs_->TextMatrix(row, kColProductId))).ToLong()));
  });
  for (std::size_t i = 0; i < uses->Rows().size(); ++i) {
    sfLoadData(FieldOf(*uses, i, "bomID").ToLong(), FieldOf(*uses, i, "配量分子"),
               FieldOf(*uses, i, "配量分母"), FieldOf(*uses, i, "损耗率"), row);
  }
}

int FrmBomZk::UpdateToForm(const Recordset& lines, std::size_t line, double batch, int parent_row) {
  int row = -1;
  Guarded("UpdateToForm", [&] {
    const auto field = [&](std::string_view name) -> const Variant& {
      return FieldOf(lines, line, name);
    };
    row = AppendNode({TextOf(field("物品编码")), TextOf(field("物品名称")), TextOf(field("规格")),
                      TextOf(field("库存单位")),
                      Usage(FormatNumber(batch), field("配量分子"), field("配量分母")),
                      NumberOf(field("损耗率")), NumberOf(field("配件ID"))},
                     parent_row);
  });
  return row;
}

int FrmBomZk::UpdateToForm1(const Recordset& user, const Variant& numerator,
                            const Variant& denominator, const Variant& loss, int parent_row) {
  int row = -1;
  Guarded("UpdateToForm1", [&] {
    const auto field = [&](std::string_view name) -> const Variant& {
      return FieldOf(user, 0, name);
    };
    row = AppendNode(
        {TextOf(field("物品编码")), TextOf(field("物品名称")), TextOf(field("规格")),
         TextOf(field("库存单位")), Usage(NumberOf(field("批量")), numerator, denominator),
         NumberOf(loss), NumberOf(field("产品ID"))},
        parent_row);
  });
  return row;
}

int FrmBomZk::AppendNode(const std::array<std::string, kColCount>& texts, int parent_row) {
  controls::Grid& vs = *vs_;
  const int level = (parent_row >= vs.fixed_rows() ? vs.RowOutlineLevel(parent_row) : 0) + 1;
  const int row = vs.rows();
  vs.set_rows(row + 1);
  for (int col = 0; col < kColCount; ++col) {
    vs.SetTextMatrix(row, col, texts[static_cast<std::size_t>(col)]);
  }
  vs.SetIsSubtotal(row, true);
  vs.SetRowOutlineLevel(row, level);
  vs.SetRowHeight(row, kMinimumRowHeight);
  if (const std::optional<std::uint32_t> colour = LevelColour(level)) {
    for (int col = 0; col < kColCount; ++col) vs.SetCellBackColor(row, col, colour);
  }
  return row;
}

}  // namespace korvane
